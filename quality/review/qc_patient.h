// CBQCPatient: the bodies behind the automation class QCPatient: the review of one patient's
// records: rectification notices, grades and content QC findings.
//
// The method wrappers of CQCPatient call each member with the call's data source first and the
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

class CBQCPatient {
 public:
  // ---- rectify_notice.cpp ----
  static long SendRectifyInfo(CEMRDataSource* pDataSource, BSTR bstrInfo, LONG lngRectifyType,
                              BSTR* pbstrRectifyID);
  static long UpdateRectifyInfo(CEMRDataSource* pDataSource, BSTR bstrInfo);

  // ---- rectify_lists.cpp ----
  static long GetEmrRectifyProperty(CEMRDataSource* pDataSource, BSTR bstrRectifyID,
                                    BSTR* pbstrInfo);
  static long GetRectifyInfo(CEMRDataSource* pDataSource, BSTR bstrCondition, BSTR* pbstrInfo);
  static long GetRectificationPatientList(CEMRDataSource* pDataSource, BSTR bstrFilter,
                                          BSTR* pbstrPatientList);

  // ---- qc_patient.cpp ----
  static long FeedBackRectifyInfo(CEMRDataSource* pDataSource, BSTR bstrRectifyID, BSTR bstrInfo);

  // ---- emr_grade.cpp ----
  static long GetEmrGradeInfo(CEMRDataSource* pDataSource, BSTR bstrCondition, BSTR* pbstrList);
  static long SaveEmrGrade(CEMRDataSource* pDataSource, BSTR bstrList);
  static long GetQCPatientGradeList(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                    BSTR* pbstrList);
  static long GetPatientProperty(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                 BSTR* pbstrPatientList);

  // ---- content_qc_markers.cpp ----
  // The content QC markers of live records, newest visit number first, filtered by the
  // condition's keys (content_qc_markers.cpp).
  static long GetContentQCInfo(CEMRDataSource* pDataSource, BSTR bstrCondition, BSTR* pbstrList);

  // With `emr_id` and `send_count`: the send count of the record's markers. Otherwise the
  // record's markers are replaced by the marker cells of `bstrContent` (the hand-over form of
  // its page; none when empty), for the record, patient and visit the document names
  // (content_qc_markers.h).
  static long SaveContentQCInfo(CEMRDataSource* pDataSource, BSTR bstrList, BSTR bstrContent);
};
