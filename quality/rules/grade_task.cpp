// The grade task operations of CBQCTask: a task is created (New, NewDeptQCTask), changed
// (Modify), deleted (Delete) and summed up by the users who took part (SetTaskSummarize).
//
// A task has no states of its own: its STATUS and VALID are the codes its client sets. It
// lives from its creation to Delete, which removes the task row only: its visits, grade
// items, summaries and rectification links stay. It holds one summary per user, replaced as
// a whole.
#include <string>

#include "foundation/calls/body_arguments.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/suite/factory.h"
#include "foundation/data/sql_text.h"
#include "foundation/xml/xml_property.h"
#include "quality/rules/grade_task_statements.h"
#include "quality/rules/qc_task.h"

namespace {

using korvalis::BstrView;
using korvalis::PropertyBag;
using korvalis::SqlQuoted;
using korvalis::quality::TaskCode;
using korvalis::quality::TaskCreateDate;

// The columns of a new task from its property document, from TITLE to VALID, each followed
// by ", ": the four texts quoted, the date as TaskCreateDate gives it, the codes checked in
// their order.
std::u16string NewTaskValues(CEMRDataSource* data_source, const CXmlProperty& task) {
  std::u16string values;
  values.append(SqlQuoted(task.GetValue(u"title")))
      .append(u",  ")
      .append(TaskCreateDate(*data_source->GetDBType(), task))
      .append(u", ")
      .append(SqlQuoted(task.GetValue(u"creator_id")))
      .append(u", ")
      .append(SqlQuoted(task.GetValue(u"creator")));
  for (const char16_t* code :
       {u"phase_type", u"content_type", u"owner_type", u"status", u"valid"}) {
    values.append(u", ").append(TaskCode(task, code));
  }
  return values.append(u", ");
}

}  // namespace

long CBQCTask::New(CEMRDataSource* pDataSource, BSTR bstrProperty, BSTR* pbstrTaskID) {
  const CXmlProperty task = PropertyBag(bstrProperty);
  std::u16string values = NewTaskValues(pDataSource, task);
  values.append(TaskCode(task, u"executor_type"))
      .append(u", ")
      .append(SqlQuoted(task.GetValue(u"content")));
  const std::u16string id = CEMRFactory::Instance()->NewGuid();
  pDataSource->Execute(
      u"INSERT INTO PEV_GRADE_TASK(ID, TITLE, CREATE_DATE, CREATOR_ID, CREATOR, PHASE_TYPE, "
      u"CONTENT_TYPE, OWNER_TYPE, STATUS, VALID, executor_type, CONTENT) VALUES (" +
      SqlQuoted(id) + u", " + values + u") ");
  korvalis::StoreBstrResult(pbstrTaskID, id);
  return 0;
}

long CBQCTask::NewDeptQCTask(CEMRDataSource* pDataSource, BSTR bstrProperty) {
  const CXmlProperty task = PropertyBag(bstrProperty);
  const std::u16string values =
      NewTaskValues(pDataSource, task).append(SqlQuoted(task.GetValue(u"content")));
  pDataSource->Execute(
      u"INSERT INTO PEV_GRADE_TASK(ID, TITLE, CREATE_DATE, CREATOR_ID, CREATOR, PHASE_TYPE, "
      u"CONTENT_TYPE, OWNER_TYPE, STATUS, VALID, CONTENT) VALUES (" +
      SqlQuoted(task.GetValue(u"id")) + u", " + values + u") ");
  return 0;
}

long CBQCTask::Modify(CEMRDataSource* pDataSource, BSTR bstrTaskID, BSTR bstrProperty) {
  if (SysStringLen(bstrTaskID) == 0) return 1;
  const CXmlProperty task = PropertyBag(bstrProperty);
  pDataSource->Execute(korvalis::quality::TaskUpdateStatement(*pDataSource->GetDBType(),
                                                              BstrView(bstrTaskID), task));
  return 0;
}

long CBQCTask::Delete(CEMRDataSource* pDataSource, BSTR bstrTaskID) {
  if (SysStringLen(bstrTaskID) == 0) return 1;
  pDataSource->Execute(u"DELETE FROM PEV_GRADE_TASK XAT WHERE XAT.ID = " + SqlQuoted(bstrTaskID));
  return 0;
}

long CBQCTask::SetTaskSummarize(CEMRDataSource* pDataSource, BSTR bstrProperty) {
  const CXmlProperty summary = PropertyBag(bstrProperty);
  const std::u16string task_id = summary.GetValue(u"task_id");
  const std::u16string user_id = summary.GetValue(u"user_id");
  if (task_id.empty() || user_id.empty()) {
    throw CEMRException(std::u16string(u"任务ID与用户ID不能为空!"));
  }
  // One summary per task and user: the old one goes, in the same transaction as the new one
  // comes, so a failed insert leaves the old one in place.
  pDataSource->Execute(u"DELETE FROM PEV_GRADE_TASK_SUMMARIZE WHERE TASK_ID=" + SqlQuoted(task_id) +
                       u" AND USER_ID=" + SqlQuoted(user_id));
  pDataSource->Execute(
      u"INSERT INTO PEV_GRADE_TASK_SUMMARIZE (TASK_ID, USER_ID, OPINION, SUGGESTION)  VALUES (" +
      SqlQuoted(task_id) + u", " + SqlQuoted(user_id) + u", " +
      SqlQuoted(summary.GetValue(u"opinion")) + u", " + SqlQuoted(summary.GetValue(u"suggestion")) +
      u")");
  return 0;
}
