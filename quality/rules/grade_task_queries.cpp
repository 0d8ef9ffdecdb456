// The read-only questions about grade tasks of CBQCTask: the rectification notices sent from
// valid tasks with their time-out flag (GetQCRectifyList), one user's summary of a task
// (GetTaskSummarize), the tasks older than seven days that a QC officer still has to sum up
// (GetToSummariseTask), the task in which a visit was graded last (GetTaskId) and a task's
// columns as a property document (GetProperty).
//
// Every value that stands bare in a statement (hours, codes, a role) is checked to be a
// number before the statement runs; texts stand quoted, LIKE patterns keep their "contains"
// meaning with their quotes doubled, and the hand-made answers escape every value.
#include <iterator>
#include <string>
#include <vector>

#include "foundation/calls/body_arguments.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/data/sql_conditions.h"
#include "foundation/data/sql_key.h"
#include "foundation/data/sql_text.h"
#include "foundation/xml/xml_property.h"
#include "foundation/xml/xml_text.h"
#include "quality/rules/list_fields.h"
#include "quality/rules/qc_task.h"

namespace {

using korvalis::BstrView;
using korvalis::PropertyBag;
using korvalis::SqlConditions;
using korvalis::SqlKey;
using korvalis::SqlNumber;

constexpr char16_t kMissingTaskOrUser[] = u"任务ID与用户ID不能为空!";
// The role codes of the QC officers who sum up tasks: of a clinical department, and of the QC
// department.
constexpr char16_t kDeptQcOfficer[] = u"40";
constexpr char16_t kQcOfficeOfficer[] = u"41";

// "1" when `hours` is passed: by now for a notice awaiting its answer (STATUS 2), by its
// answer for an answered one (STATUS above 2); "0" otherwise and for STATUS below 2.
std::u16string TimeoutColumn(const std::u16string& over_time) {
  if (over_time.empty()) return u" '0' AS TIMEOUT_STATUS ";
  const std::u16string hours = SqlNumber(over_time, u"over_time");
  return u"DECODE(SIGN(C.STATUS - 2), -1, '0', 0, DECODE(SIGN((SYSDATE - C.CREATE_DATE) * 24 -  " +
         hours +
         u") , -1, '0', 0, '0' , 1, '1' ) , 1, DECODE(SIGN((C.FEED_TIME - C.CREATE_DATE) * 24 -  " +
         hours + u") , -1, '0', 0, '0' , 1, '1' ))  AS TIMEOUT_STATUS ";
}

}  // namespace

long CBQCTask::GetQCRectifyList(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                BSTR* pbstrRectifyList) {
  const CXmlProperty condition = PropertyBag(bstrCondition);
  const std::u16string timeout = TimeoutColumn(condition.GetValue(u"over_time"));
  const std::u16string conditions =
      SqlConditions(condition)
          .Equals(u"patient_id", u"D.PATIENT_ID")
          .Contains(u"patient_name", u"F.NAME")
          .Contains(u"event_no", u"D.EVENT_NO")
          .Equals(u"dept_id", u"D.IN_DEPT_ID")
          .Number(u"status", u"C.STATUS")
          .DateFrom(u"in_dept_begin", u"D.IN_TIME")
          .DateUntil(u"in_dept_end", u"D.IN_TIME")
          .Number(u"owner_type", u"E.OWNER_TYPE")
          .DateFrom(u"send_date_begin", u"C.CREATE_DATE")
          .DateUntil(u"send_date_end", u"C.CREATE_DATE")
          .Number(u"task_status", u"T.STATUS")
          .Sql();
  pDataSource->QueryElements(
      u"SELECT C.TITLE, C.ID, F.NAME, D.PATIENT_ID, D.EVENT_NO, E.OWNER_TYPE, C.USER_ID, "
      u"C.USER_NAME, TO_CHAR(C.CREATE_DATE, 'yyyy-MM-dd HH24:MI') CREATE_DATE, C.PEV_USER_NAME, "
      u"C.STATUS, D.IN_DEPT_ID, D.IN_DEPT_NAME , TO_CHAR(C.FEED_TIME, 'yyyy-MM-dd HH24:MI'), "
      u"D.IN_TIME, D.OUT_TIME, D.OUT_DEPT_NAME, C.USER_NAME, B.TASK_ID, T.TITLE, " +
          timeout +
          u"FROM PEV_RECTIFY_INFO C JOIN PEV_GRADE_TASK_RECTIFY B ON B.RECTIFY_ID = C.ID  LEFT "
          u"JOIN PEV_GRADE_TASK T ON T.ID = B.TASK_ID LEFT JOIN TELV_VISIT_RECORD D ON "
          u"D.PATIENT_ID = C.PATIENT_ID AND D.EVENT_NO = C.EVENT_NO LEFT JOIN TELV_PATIENT F ON "
          u"F.ID = D.PATIENT_ID LEFT JOIN PEV_GRADE_TASK E ON E.ID = B.TASK_ID  WHERE 1=1 " +
          conditions + u" AND T.VALID = 1  ORDER BY CREATE_DATE DESC, C.ID",
      {u"item",          u"rectify_id",    u"patient_name",  u"patient_id", u"event_no",
       u"owner_type",    u"receiver_id",   u"receiver_name", u"send_time",  u"sender_name",
       u"status",        u"in_dept_id",    u"in_dept_name",  u"feed_time",  u"in_time",
       u"out_time",      u"out_dept_name", u"user_name",     u"task_id",    u"task_name",
       u"timeout_status"},
      pbstrRectifyList);
  return 0;
}

long CBQCTask::GetTaskSummarize(CEMRDataSource* pDataSource, BSTR bstrTaskID, BSTR bstrUserID,
                                BSTR* pbstrTaskSummarize) {
  if (SysStringLen(bstrTaskID) == 0 || SysStringLen(bstrUserID) == 0) {
    throw CEMRException(std::u16string(kMissingTaskOrUser));
  }
  std::vector<std::u16string> summary;
  pDataSource->Query(
      u"SELECT TS.TASK_ID, TS.USER_ID, TS.OPINION, TS.SUGGESTION  FROM PEV_GRADE_TASK_SUMMARIZE "
      u"TS" +
          SqlKey().Equals(u"TS.TASK_ID", bstrTaskID).Equals(u"TS.USER_ID", bstrUserID).Where(),
      4, summary);
  if (summary.empty()) {
    korvalis::StoreBstrResult(pbstrTaskSummarize, u"<?xml version='1.0' ?><root></root>");
    return 0;
  }
  static constexpr const char16_t* kElements[] = {u"task_id", u"user_id", u"opinion",
                                                  u"suggestion"};
  std::u16string xml = u"<?xml version='1.0' ?><root>";
  for (std::size_t i = 0; i < std::size(kElements); ++i) {
    xml.append(u" \t<").append(kElements[i]).append(u">");
    korvalis::AppendXmlEscaped(xml, summary[i]);
    xml.append(u"</").append(kElements[i]).append(u">");
  }
  korvalis::StoreBstrResult(pbstrTaskSummarize, xml.append(u" </root> "));
  return 0;
}

long CBQCTask::GetToSummariseTask(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                  BSTR* pbstrTaskList) {
  const CXmlProperty condition = PropertyBag(bstrCondition);
  const std::u16string user_id = condition.GetValue(u"user_id");
  const std::u16string dept_id = condition.GetValue(u"dept_id");
  const std::u16string identity_text = condition.GetValue(u"user_indentity");
  if (identity_text.empty()) {
    korvalis::StoreBstrResult(pbstrTaskList, u"<?xml version='1.0' ?><root/>");
    return 0;
  }
  const std::u16string identity = SqlNumber(identity_text, u"user_indentity");
  // Valid phase-1 tasks at least eight whole days old: for a department's officer the
  // department tasks he created and the QC office's tasks with a visit dispatched to his
  // department, for a QC office officer the tasks with a visit dispatched to him.
  const auto dispatched_to = [](const std::u16string& executor) {
    return u"(SELECT COUNT(1) FROM PEV_GRADE_PATIENT P" +
           SqlKey().And(u"P.TASK_ID = A.ID").Equals(u"P.EXECUTOR_ID", executor).Where() + u")>0";
  };
  constexpr unsigned kColumns = 6;
  std::vector<std::u16string> tasks;
  pDataSource->Query(
      u" SELECT A.ID AS TASK_ID, A.TITLE AS TAKS_TITLE, A.OWNER_TYPE, TO_CHAR(A.CREATE_DATE, "
      u"'yyyy-MM-dd') AS CREATE_DATE, B.OPINION, B.SUGGESTION  FROM PEV_GRADE_TASK A  LEFT JOIN "
      u"PEV_GRADE_TASK_SUMMARIZE B ON " +
          SqlKey().And(u"B.TASK_ID = A.ID").Equals(u"B.USER_ID", user_id).Sql() +
          u"  WHERE TRUNC(SYSDATE - A.CREATE_DATE) > 7    AND A.VALID = 1 AND PHASE_TYPE = 1  AND "
          u"( (" +
          SqlKey().Number(kDeptQcOfficer, identity).And(u"A.EXECUTOR_TYPE = 1").Sql() + u" AND (" +
          SqlKey().And(u"A.OWNER_TYPE = 2").Equals(u"A.CREATOR_ID", user_id).Sql() +
          u" OR A.OWNER_TYPE = 1 AND " + dispatched_to(dept_id) + u"))   OR " +
          SqlKey()
              .Number(kQcOfficeOfficer, identity)
              .And(u"A.EXECUTOR_TYPE = 0")
              .And(dispatched_to(user_id))
              .Sql() +
          u") ",
      kColumns, tasks);

  static constexpr korvalis::quality::ListField kFields[] = {{u"<item task_id='", 0},
                                                             {u"' task_title='", 1},
                                                             {u"' create_date='", 3},
                                                             {u"' owner_type='", 2}};
  std::u16string list = u"<?xml version='1.0' ?><root> ";
  for (std::size_t row = 0; row + kColumns <= tasks.size(); row += kColumns) {
    // A task summed up with both an opinion and a suggestion is done.
    if (!tasks[row + 4].empty() && !tasks[row + 5].empty()) continue;
    korvalis::quality::AppendListFields(list, kFields, &tasks[row]);
    list.append(u"' />");
  }
  korvalis::StoreBstrResult(pbstrTaskList, list.append(u"</root>"));
  return 0;
}

long CBQCTask::GetTaskId(CEMRDataSource* pDataSource, BSTR bstrOwnerType, BSTR* pbstrTaskID) {
  const CXmlProperty condition = PropertyBag(bstrOwnerType);
  // The owner type is compared with a number column: a text that is no number is refused
  // here rather than by the database.
  const std::u16string owner_type = condition.GetValue(u"owner_type");
  if (!owner_type.empty()) SqlNumber(owner_type, u"owner_type");
  std::u16string task_id;
  pDataSource->QueryScalar(u"SELECT A.TASK_ID FROM PEV_GRADE_PATIENT A, PEV_GRADE_TASK B" +
                               SqlKey()
                                   .And(u"A.TASK_ID = B.ID")
                                   .Equals(u"A.PATIENT_ID", condition.GetValue(u"patient_id"))
                                   .Equals(u"A.EVENT_NO", condition.GetValue(u"event_no"))
                                   .Equals(u"B.OWNER_TYPE", owner_type)
                                   .And(u"A.GRADE_DATE IS NOT NULL")
                                   .Where() +
                               u"  ORDER BY A.GRADE_DATE DESC ",
                           task_id);
  korvalis::StoreBstrResult(pbstrTaskID, task_id);
  return 0;
}

long CBQCTask::GetProperty(CEMRDataSource* pDataSource, BSTR bstrTaskID, BSTR* pbstrProperty) {
  if (SysStringLen(bstrTaskID) == 0) return 1;  // the result stays unset
  static constexpr const char16_t* kKeys[] = {u"id",           u"title",         u"create_date",
                                              u"creator_id",   u"creator",       u"phase_type",
                                              u"content_type", u"owner_type",    u"status",
                                              u"valid",        u"executor_type", u"content"};
  std::vector<std::u16string> values;
  pDataSource->Query(
      u"SELECT XAT.ID, XAT.TITLE, TO_CHAR(XAT.CREATE_DATE, 'YYYY-MM-DD HH24:MI') AS CREATE_DATE, "
      u"XAT.CREATOR_ID, XAT.CREATOR, XAT.PHASE_TYPE, XAT.CONTENT_TYPE, XAT.OWNER_TYPE, "
      u"XAT.STATUS, XAT.VALID, XAT.executor_type, XAT.CONTENT FROM PEV_GRADE_TASK XAT" +
          SqlKey().Equals(u"XAT.ID", bstrTaskID).Where(),
      std::size(kKeys), values);
  if (values.size() != std::size(kKeys)) {
    korvalis::StoreBstrResult(pbstrProperty, u"<?xml version='1.0' ?><root/>");
    return 0;
  }
  CXmlProperty::Map task;
  for (std::size_t i = 0; i < std::size(kKeys); ++i) task[kKeys[i]] = values[i];
  korvalis::StoreBstrResult(pbstrProperty, CXmlProperty(task).ToXml());
  return 0;
}
