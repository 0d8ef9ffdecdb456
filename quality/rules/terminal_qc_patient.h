// CBTerminalQCPatient: the bodies behind the automation class TerminalQCPatient: terminal QC: the
// sampled discharged patients of a task, their departments and scores.
//
// The method wrappers of CTerminalQCPatient call each member with the call's data source first and
// the interface arguments unchanged and in their order, result pointers last. A member returns 0,
// which the wrapper ignores, writes its results only through those pointers and fails by throwing
// CEMRException.
//
// Thread-safety: static members without state of their own; concurrent calls work on
// their own data sources.
#pragma once

#include "platform/com/bstr.h"
#include "platform/com/types.h"

class CEMRDataSource;

class CBTerminalQCPatient {
 public:
  static long GetDeptList(CEMRDataSource* pDataSource, LONG lngTaskID, BSTR* pbstrDeptList);
  static long GetDeptPatientList(CEMRDataSource* pDataSource, LONG lngTaskID, BSTR bstrDeptID,
                                 BSTR* pbstrPatientList);
  static long GetPatientList(CEMRDataSource* pDataSource, LONG lngTaskID, BSTR* pbstrPatientList);
  static long ManagePatient(CEMRDataSource* pDataSource, BSTR bstrPatientList, BSTR bstrClientInfo);
  static long SearchPatient(CEMRDataSource* pDataSource, BSTR bstrWhatInfo, BSTR* pbstrPatientList);
  static long ScorePatient(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                           BSTR bstrScoreInfo, BSTR bstrClientInfo);
  static long GetPatientScore(CEMRDataSource* pDataSource, LONG lngTaskID, BSTR bstrPatientID,
                              BSTR bstrEventNo, BSTR* pbstrScore);
  static long RemoveAllPatient(CEMRDataSource* pDataSource, LONG lngTaskID);
};
