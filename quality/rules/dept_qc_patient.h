// CBDeptQCPatient: the bodies behind the automation class DeptQCPatient: department QC of one
// patient visit: adding, removing, scoring and verifying it, its score document, the visits of a
// department, and the QC report that stores the score as a signed EMR record of the visit.
//
// A visit under department QC is one row of PEV_DEPT_PATIENT_RECORD (key PATIENT_ID, EVENT_NO);
// its deductions are the rows of PEV_DEPT_ITEM_RECORD, replaced as a whole by each scoring. The
// server does no score arithmetic: the total, the level and the deductions are the client's.
// STATUS of the visit's row:
//
//   (no row) ──AddQCPatient──▶ 1 added (TOTAL_POINT 100, EMR_LEVEL 1)
//   0 removed ──AddQCPatient──▶ row deleted and inserted anew: 1 (items stay until the next score)
//   1, 2, 3 ──AddQCPatient──▶ unchanged
//   any ──RemoveQCPatient──▶ 0 (score and items stay)
//   any row ──ScorePatient──▶ 2 scored (from 3 the verification is lost, from 0 the visit is back)
//   2 ──VerifyPatientScore(verify)──▶ 3 verified
//   3 ──VerifyPatientScore(verify)──▶ 3, nothing written
//   3 ──VerifyPatientScore(cancel)──▶ 2
//
// Scoring a visit without a row writes its items and no row.
//
// The method wrappers of CDeptQCPatient call each member with the call's data source first and the
// interface arguments unchanged and in their order, result pointers last. A member returns 0, which
// the wrapper ignores, writes its results only through those pointers and fails by throwing
// CEMRException. Every call is atomic (its call scope): a failure leaves nothing it wrote.
//
// Thread-safety: the members keep no state of their own but the process-wide number of the QC
// result template (GetQcResultTemplate), an atomic value; concurrent calls work on their own data
// sources. Two simultaneous first additions of one visit leave one row: the writing call holds
// the database's write lock from its status read to its commit, and the table's key refuses a
// second row.
#pragma once

#include "platform/com/bstr.h"
#include "platform/com/types.h"

class CEMRDataSource;

inline constexpr char16_t kDeptQcVisitMissingMessage[] = u"病人未添加到科室质控.";
inline constexpr char16_t kVerifyUnscoredMessage[] = u"病人未评分不允许审核.";
inline constexpr char16_t kCancelUnverifiedMessage[] = u"病人评分未审核不允许取消审核.";
inline constexpr char16_t kQcResultTemplateMissingMessage[] = u"未设置质控结果查看模板";
inline constexpr char16_t kQcResultTemplateParamFailedMessage[] = u"获取质控结果查看模板参数失败.";

class CBDeptQCPatient {
 public:
  // ---- dept_qc_patient.cpp ----
  // Puts the visit under the department QC of the client's user and department, unless it is
  // there already. `*plngStatus`: the status before the call, 0 when the visit had no row or a
  // removed one.
  static long AddQCPatient(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                           BSTR bstrClientInfo, LONG* plngStatus);

  // Sets the visit's status to 0; `bstrClientInfo` is not used.
  static long RemoveQCPatient(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                              BSTR bstrClientInfo);

  // Replaces the visit's items by those of the score document (qc_score_info.h) and sets its
  // total, level, QC date and status 2. A score document or client identity that cannot be read
  // fails before any statement.
  static long ScorePatient(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                           BSTR bstrScoreInfo, BSTR bstrClientInfo);

  // The score document: `root` with one `item` per deduction (text: the standard, or the user's
  // note for a standard of TYPE 4; attributes item_id, score, note, serial, emr_id, emr_title,
  // item_catalog, catalog_name, item_type, item_count, item_point, numbers with at most two
  // decimals and no trailing point), then `score`, `grade`, `status`, `qc_user` and `qc_date`.
  // A removed visit is answered; a visit without a row fails with "病人未添加到科室质控.".
  static long GetPatientScore(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                              BSTR* pbstrScoreInfo);

  // The visits of a department: `bstrDeptID` is a property bag with `dept`, `status` (a comma
  // list of status numbers, required) and, applied only together, `qc_date_begin` and
  // `qc_date_end` ("YYYY-MM-DD HH24:MI:SS", both ends included). One `patient` element per visit.
  static long GetQCPatient(CEMRDataSource* pDataSource, BSTR bstrDeptID, BSTR* pbstrList);

  // Verifies a scored visit (`varCancel` zero) or cancels the verification of a verified one.
  static long VerifyPatientScore(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                                 VARIANT_BOOL varCancel);

  // ---- dept_qc_report.cpp ----
  // Renders the score document by the QC result template's XSL, fills its live data elements and
  // stores it as the visit's live record of that template: a new record signed with the client's
  // user name (its id through `pbstrReportID`), or new content of the live record (`pbstrReportID`
  // left as passed). `pbstrContent`: the stored content in the hand-over form.
  static long GenerateQCReport(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                               BSTR bstrClientInfo, BSTR* pbstrReportID, BSTR* pbstrContent);

  // The record template of the QC result, from the `template` of the system parameter
  // `dept_qc_param`; 0 when none is set. Kept for the process once read: an empty parameter
  // keeps 0 (until the process restarts); a `template` that is no whole number of zero or more
  // is not kept (the next call reads again) and gives 0. A parameter that cannot be read or
  // parsed fails with "获取质控结果查看模板参数失败." and is read again by the next call.
  static long GetQcResultTemplate(CEMRDataSource* pDataSource);

  // Forgets the kept template, for tests that change the parameter.
  static void ForgetQcResultTemplate();
};
