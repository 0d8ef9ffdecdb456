// CBArchivePatient: the bodies behind the automation class ArchivePatient: the patient lists and
// searches of medical-record archive management (in-hospital, discharged, to-commit, committed,
// uncoded, sealed and copied records, first pages and batch printing, the record check and the
// paper check-in).
//
// The method wrappers of CArchivePatient call each member with the call's data source first and the
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

class CBArchivePatient {
 public:
  // ---- archive_patient_lists.cpp ----
  static long GetInPatientList(CEMRDataSource* pDataSource, BSTR bstrDeptID, BSTR bstrStartTime,
                               BSTR bstrEndTime, BSTR* pbstrList);
  static long GetAllInPatientList(CEMRDataSource* pDataSource, BSTR bstrStartTime, BSTR bstrEndTime,
                                  BSTR* pbstrList);
  static long GetLeavePatientList(CEMRDataSource* pDataSource, BSTR bstrDeptID, BSTR bstrStartTime,
                                  BSTR bstrEndTime, BSTR* pbstrList);
  static long GetAllLeavePatientList(CEMRDataSource* pDataSource, BSTR bstrStartTime,
                                     BSTR bstrEndTime, BSTR* pbstrList);
  static long GetToCommitPatient(CEMRDataSource* pDataSource, BSTR bstrDeptID, BSTR* pbstrList);
  static long GetAllToCommitPatient(CEMRDataSource* pDataSource, BSTR bstrStartTime,
                                    BSTR bstrEndTime, BSTR* pbstrList);
  static long GetCommitedPatient(CEMRDataSource* pDataSource, BSTR bstrArgs, BSTR* pbstrList);
  static long GetAllCommitedPatient(CEMRDataSource* pDataSource, BSTR bstrStartTime,
                                    BSTR bstrEndTime, BSTR* pbstrList);
  static long GetUncodedPatient(CEMRDataSource* pDataSource, BSTR bstrDeptID, BSTR* pbstrList);
  static long GetAllUncodedPatient(CEMRDataSource* pDataSource, BSTR bstrStartTime,
                                   BSTR bstrEndTime, BSTR* pbstrList);
  static long GetPreCommitPatient(CEMRDataSource* pDataSource, BSTR bstrArgs, BSTR* pbstrList);
  static long GetAllPreCommitPatient(CEMRDataSource* pDataSource, BSTR bstrStartTime,
                                     BSTR bstrEndTime, BSTR* pbstrList);

  // ---- patient_search.cpp ----
  static long SearchPatient(CEMRDataSource* pDataSource, BSTR bstrSearchInfo, BSTR* pbstrList);

  // ---- sealed_checked_patients.cpp ----
  static long GetFreezePatient(CEMRDataSource* pDataSource, BSTR bstrArgs, BSTR* pbstrList);
  static long GetCheckPatientList(CEMRDataSource* pDataSource, BSTR bstrArgs,
                                  BSTR* pbstrPatientList);
  static long SaveCheckEMR(CEMRDataSource* pDataSource, BSTR bstrEMRInfo, BSTR bstrContent,
                           BSTR bstrXML, BSTR bstrClientInfo);
  static long GetCheckEMR(CEMRDataSource* pDataSource, BSTR bstrEMRInfo, BSTR* pbstrXml,
                          BSTR* pbstrContent);

  // ---- header_records.cpp ----
  static long GetPatientHeaderEmrList(CEMRDataSource* pDataSource, BSTR bstrPatientID,
                                      BSTR bstrEventNo, BSTR* pbstrIds);
  static long SavePatientHeaderRecord(CEMRDataSource* pDataSource, BSTR bstrPatientID,
                                      BSTR bstrEventNo, BSTR bstrList);
  static long GetEmrBatchPrintCatalogList(CEMRDataSource* pDataSource, BSTR bstrPatientID,
                                          BSTR bstrEventNo, BSTR* pbstrList);
  static long GetEmrBatchPrintList(CEMRDataSource* pDataSource, BSTR bstrPatientID,
                                   BSTR bstrEventNo, LONG lngCatalogID, BSTR* pbstrList);

  // ---- copied_records.cpp ----
  static long SaveCopiedPatient(CEMRDataSource* pDataSource, BSTR bstrArgs, BSTR* pbstrRecordId);
  static long GetCopiedPatientList(CEMRDataSource* pDataSource, BSTR bstrArgs, BSTR* pbstrList);
  static long DeleteCopyRecord(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                               BSTR bstrSerial);

  // ---- checkin_search.cpp ----
  static long SearchCheckinPatient(CEMRDataSource* pDataSource, BSTR bstrSearchInfo,
                                   BSTR* bstrPatientList);
};
