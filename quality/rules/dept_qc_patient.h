// CBDeptQCPatient: the bodies behind the automation class DeptQCPatient: department QC of one
// patient visit: adding, removing, scoring and verifying it, and its result document.
//
// The method wrappers of CDeptQCPatient call each member with the call's data source first and the
// interface arguments unchanged and in their order, result pointers last. A member returns 0, which
// the wrapper ignores, writes its results only through those pointers and fails by throwing
// CEMRException.
//
// Thread-safety: static members without state of their own; concurrent calls work on
// their own data sources.
#pragma once

#include "platform/com/bstr.h"
#include "platform/com/types.h"

class CEMRDataSource;

class CBDeptQCPatient {
 public:
  static long AddQCPatient(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                           BSTR bstrClientInfo, LONG* plngStatus);
  static long RemoveQCPatient(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                              BSTR bstrClientInfo);
  static long ScorePatient(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                           BSTR bstrScoreInfo, BSTR bstrClientInfo);
  static long GetPatientScore(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                              BSTR* pbstrScoreInfo);
  static long GetQCPatient(CEMRDataSource* pDataSource, BSTR bstrDeptID, BSTR* pbstrList);
  static long VerifyPatientScore(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                                 VARIANT_BOOL varCancel);
  static long GenerateQCReport(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                               BSTR bstrClientInfo, BSTR* pbstrReportID, BSTR* pbstrContent);
};
