// CBPatientPaperMag: the bodies behind the automation class PatientPaperMag: the circulation of
// paper records: search, commit, cancel, return and sign-in.
//
// The method wrappers of CPatientPaperMag call each member with the call's data source first and
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

class CBPatientPaperMag {
 public:
  // ---- paper_record_search.cpp ----
  static long SearchPatientPMRList(CEMRDataSource* pDataSource, BSTR bstrSearchInfo,
                                   BSTR* pbstrPatientList);

  // ---- paper_record_handover.cpp ----
  static long CommitPaperCase(CEMRDataSource* pDataSource, BSTR bstrPMRInfo, BSTR bstrClientInfo);
  static long CancelCommitPaper(CEMRDataSource* pDataSource, BSTR bstrPMRInfo);
  static long RollbackPaperCase(CEMRDataSource* pDataSource, BSTR bstrPMRInfo, BSTR bstrClientInfo);
  static long CheckinPaperCase(CEMRDataSource* pDataSource, BSTR bstrPMRInfo, BSTR bstrClientInfo);
};
