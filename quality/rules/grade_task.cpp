// The grade task operations of CBQCTask: a task is created (New, NewDeptQCTask), changed
// (Modify), deleted (Delete) and summed up by the users who took part (SetTaskSummarize).
//
// A task has no states of its own: its STATUS and VALID are the codes its client sets. It
// lives from its creation to Delete, which removes the task row only: its visits, grade
// items, summaries and rectification links stay. It holds one summary per user, replaced as
// a whole.
#include <string>
#include <vector>

#include "foundation/calls/body_arguments.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/sql_key.h"
#include "foundation/suite/factory.h"
#include "foundation/xml/xml_property.h"
#include "quality/rules/grade_task_statements.h"
#include "quality/rules/qc_task.h"

namespace {

using korvalis::BstrView;
using korvalis::PropertyBag;
using korvalis::RowValue;
using korvalis::SqlKey;
using korvalis::quality::TaskCode;
using korvalis::quality::TaskCreateDate;

// The columns of NewTaskValues.
constexpr std::u16string_view kNewTaskColumns =
    u"TITLE, CREATE_DATE, CREATOR_ID, CREATOR, PHASE_TYPE, CONTENT_TYPE, OWNER_TYPE, STATUS, VALID";

// The values of a new task's kNewTaskColumns from its property document: the four texts, the
// date as TaskCreateDate gives it, the codes checked in their order.
std::vector<RowValue> NewTaskValues(CEMRDataSource* data_source, const CXmlProperty& task) {
  std::vector<RowValue> values = {task.GetValue(u"title"),
                                  TaskCreateDate(*data_source->GetDBType(), task),
                                  task.GetValue(u"creator_id"), task.GetValue(u"creator")};
  for (const char16_t* code :
       {u"phase_type", u"content_type", u"owner_type", u"status", u"valid"}) {
    values.push_back(RowValue::Number(TaskCode(task, code)));
  }
  return values;
}

}  // namespace

long CBQCTask::New(CEMRDataSource* pDataSource, BSTR bstrProperty, BSTR* pbstrTaskID) {
  const CXmlProperty task = PropertyBag(bstrProperty);
  std::vector<RowValue> values = NewTaskValues(pDataSource, task);
  values.push_back(RowValue::Number(TaskCode(task, u"executor_type")));
  values.push_back(task.GetValue(u"content"));
  const std::u16string id = CEMRFactory::Instance()->NewGuid();
  values.push_back(id);
  korvalis::InsertRow(*pDataSource, u"PEV_GRADE_TASK",
                      std::u16string(kNewTaskColumns) + u", executor_type, CONTENT, ID", values);
  korvalis::StoreBstrResult(pbstrTaskID, id);
  return 0;
}

long CBQCTask::NewDeptQCTask(CEMRDataSource* pDataSource, BSTR bstrProperty) {
  const CXmlProperty task = PropertyBag(bstrProperty);
  std::vector<RowValue> values = NewTaskValues(pDataSource, task);
  values.push_back(task.GetValue(u"content"));
  values.push_back(task.GetValue(u"id"));
  korvalis::InsertRow(*pDataSource, u"PEV_GRADE_TASK",
                      std::u16string(kNewTaskColumns) + u", CONTENT, ID", values);
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
  pDataSource->Execute(u"DELETE FROM PEV_GRADE_TASK XAT" +
                       SqlKey().Equals(u"XAT.ID", bstrTaskID).Where());
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
  pDataSource->Execute(u"DELETE FROM PEV_GRADE_TASK_SUMMARIZE" +
                       SqlKey().Equals(u"TASK_ID", task_id).Equals(u"USER_ID", user_id).Where());
  korvalis::InsertRow(
      *pDataSource, u"PEV_GRADE_TASK_SUMMARIZE", u"TASK_ID, USER_ID, OPINION, SUGGESTION",
      {task_id, user_id, summary.GetValue(u"opinion"), summary.GetValue(u"suggestion")});
  return 0;
}
