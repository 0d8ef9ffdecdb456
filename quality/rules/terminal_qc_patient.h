// CBTerminalQCPatient: the bodies behind the automation class TerminalQCPatient: final QC of
// discharged visits in tasks: the sample of a period, the department records of a task, the
// scoring of each visit and the lists.
//
// A task (PEV_TASK_RECORD, made outside this system) holds one department record per department
// (PEV_FINAL_DEPT_RECORD, identifiers MAX(ID) + 1), each holding visits
// (PEV_FINAL_PATIENT_RECORD) whose deductions are PEV_FINAL_ITEM_RECORD rows of that record.
// The server does no score arithmetic: it stores the client's values and counts, per department
// record, the visits of each level and the scored ones.
//
//   visit:  (none) ──ManagePatient status 1──▶ 1 assigned (100 points, level 1)
//           1, 2   ──ManagePatient status 1──▶ 1 again (its items stay)
//           1, 2   ──ManagePatient status 0──▶ (none; its items stay)
//           1, 2   ──ScorePatient──▶ 2 scored (items replaced)
//   task:   any ──ManagePatient──▶ 2 (the task of the list's last department)
//           any ──ScorePatient leaving every assigned visit of the task scored──▶ 3
//   department record: created by the first ManagePatient naming it for its task, deleted by a
//           ManagePatient that leaves it without visits.
//
// The method wrappers of CTerminalQCPatient call each member with the call's data source first and
// the interface arguments unchanged and in their order, result pointers last. A member returns 0,
// which the wrapper ignores, writes its results only through those pointers and fails by throwing
// CEMRException. Every call is atomic (its call scope): a failure leaves nothing it wrote.
//
// Thread-safety: static members without state of their own; concurrent calls work on their own
// data sources. Department record identifiers stay unique under simultaneous assignments: the
// writing call holds the database's write lock from its MAX(ID) read to its commit, and the
// table's key refuses a second row of one identifier.
#pragma once

#include <string>

#include "platform/com/bstr.h"
#include "platform/com/types.h"

class CDBType;
class CEMRDataSource;
class CXmlProperty;

inline constexpr char16_t kFinalQcVisitMissingMessage[] = u"病人未添加到终末质控任务";
inline constexpr char16_t kSearchDateMissingMessage[] = u"检索条件错误: 出院时间不能为空!";
inline constexpr char16_t kSearchTaskMissingMessage[] = u"检索条件错误: 质控任务ID不能为空!";
// Followed by the value, "' (" and the field's name, then ")".
inline constexpr char16_t kSearchDateInvalidMessage[] = u"检索条件错误: 不是有效的日期: '";
inline constexpr char16_t kDeptInternalMissingMessage[] = u"评分信息中没有科室记录(dept_internal).";
inline constexpr char16_t kDeptRecordEmptyMessage[] = u"终末质控科室记录中没有病人: ";

class CBTerminalQCPatient {
 public:
  // `root` with one `dept` per department record of the task: text its name, attributes `id`,
  // `internal` (the record), `count`, `score` (scored visits), `grade_a`, `grade_b`, `grade_c`.
  static long GetDeptList(CEMRDataSource* pDataSource, LONG lngTaskID, BSTR* pbstrDeptList);
  // `root` with one `patient` per visit of the task's department `bstrDeptID`: text the name,
  // attributes `id`, `event`, `grade`, `score`.
  static long GetDeptPatientList(CEMRDataSource* pDataSource, LONG lngTaskID, BSTR bstrDeptID,
                                 BSTR* pbstrPatientList);
  // `root` with one `dept` (`id`, `name`) per run of rows of one department, ordered by
  // department name, each holding its `patient` elements (`id`, `event`, `grade`, `score`,
  // `status`, `sex`, `scored`: "1" when the visit has deductions in this record, else "0").
  static long GetPatientList(CEMRDataSource* pDataSource, LONG lngTaskID, BSTR* pbstrPatientList);
  // Applies the `dept` elements of the list (`id`, `name`, `task_id`) in document order: each
  // one's `patient` elements (`id`, `event`, `status` 1 assign, 0 take out, other ignored) go to
  // the department record of its task, made when missing and deleted when left empty; then the
  // task of the last `dept` gets STATUS 2. A list that is not well formed, or a `task_id` that is
  // no number, fails before any statement.
  static long ManagePatient(CEMRDataSource* pDataSource, BSTR bstrPatientList, BSTR bstrClientInfo);
  // The visits discharged between `begin_date` and the end of `end_date` (both required, then
  // `task_id`), optionally of the departments of the comma list `dept_id` and drawn at random,
  // at most `patient_per_dept` per department; `task_id` attribute set on the visits already in
  // the task. Ordered by department.
  static long SearchPatient(CEMRDataSource* pDataSource, BSTR bstrWhatInfo, BSTR* pbstrPatientList);
  // Replaces the visit's deductions in the department record `dept_internal` of the score
  // document, sets its score, level and STATUS 2, recounts the record and completes its task
  // when every assigned visit of the task is scored. The score document is checked whole, and
  // the record must hold visits, before any statement.
  static long ScorePatient(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                           BSTR bstrScoreInfo, BSTR bstrClientInfo);
  // `root` with one `item` per deduction, then `dept_internal`, `score` and `grade`. A visit not
  // in exactly one department record of the task fails with kFinalQcVisitMissingMessage.
  static long GetPatientScore(CEMRDataSource* pDataSource, LONG lngTaskID, BSTR bstrPatientID,
                              BSTR bstrEventNo, BSTR* pbstrScore);
  // Does nothing and succeeds.
  static long RemoveAllPatient(CEMRDataSource* pDataSource, LONG lngTaskID);

  // MAX(ID) + 1 of the department records as decimal text (1 for none).
  static std::u16string NextFinalDeptRecordId(CEMRDataSource* pDataSource);
  // Sets STATUS 3 on the task of department record `record_id` when its departments' assigned
  // visits all are scored. Precondition: `record_id` is a number.
  static void CompleteTaskIfAllVerified(CEMRDataSource* pDataSource,
                                        const std::u16string& record_id);
};

namespace korvalis::quality {

// The statement of CBTerminalQCPatient::SearchPatient for the condition, its dates as literals
// of `dialect`. Throws CEMRException kSearchDateMissingMessage, kSearchDateInvalidMessage (for a
// `begin_date` that is no date or an `end_date` that is no day), then kSearchTaskMissingMessage,
// and SqlNumber's message for a `patient_per_dept` that is no number.
std::u16string FinalQcSearchStatement(const CDBType& dialect, const CXmlProperty& condition);

}  // namespace korvalis::quality
