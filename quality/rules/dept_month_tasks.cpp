// The monthly process-QC tasks of a department (CBQCTask::NewMonthTaskForDept): the first call
// for a department in a calendar month creates its department tasks (OWNER_TYPE 2, the
// department as creator) for the month, one task or four numbered weekly ones as the system
// parameter "emr_grade_default" says; later calls of the month find a department task there
// and write nothing.
//
//   month without a department task ──first call──▶ month's tasks ──any later call──▶ unchanged
//
// Titles take the year and month of the database's SYSDATE ("<dept>2012年05月环节质控", or
// "<dept>2012年05月第N周环节质控" for N = 1 to 4, whatever the calendar). The check and the
// inserts run in the call's one writing transaction, which holds the database's write lock
// from the check on: two first calls of a month create the tasks once, and a failing insert
// leaves none of the month's tasks behind.
#include <string>

#include "foundation/calls/body_arguments.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/sql_key.h"
#include "foundation/suite/factory.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/xml_document.h"
#include "foundation/xml/xml_property.h"
#include "lookups/sys_param.h"
#include "platform/com/bstr.h"
#include "quality/rules/qc_task.h"

namespace {

using korvalis::PropertyBag;
using korvalis::RowValue;

// "frequency" of the parameter's "dept_grade_task_autocreate" that makes one task a month.
constexpr char16_t kMonthly[] = u"1";
constexpr int kWeeks = 4;

// The parameter's frequency; the empty text when the parameter or the element is absent.
// Throws "无效XML!" for a parameter that is set and does not load.
std::u16string TaskFrequency(CEMRDataSource* data_source) {
  CXmlDocument parameter(GetSysParam(*data_source, u"emr_grade_default"), false, false);
  return parameter.GetRootNode()
      .GetChild(u"dept_grade_task_autocreate")
      .GetChild(u"frequency")
      .GetText();
}

// The year and month of the database's now as a task's title writes them: "2012年05".
std::u16string TitleMonth(CEMRDataSource* data_source) {
  std::u16string month;
  data_source->QueryScalar(
      u"SELECT TO_CHAR(SYSDATE, 'yyyy') || '年' || TO_CHAR(SYSDATE, 'MM') FROM DUAL", month);
  return month;
}

void InsertDeptTask(CEMRDataSource* data_source, const std::u16string& dept_id,
                    const std::u16string& dept_name, const std::u16string& title) {
  korvalis::InsertRow(*data_source, u"PEV_GRADE_TASK",
                      u"ID, TITLE, CREATE_DATE, CREATOR_ID, CREATOR, PHASE_TYPE, CONTENT_TYPE, "
                      u"OWNER_TYPE, STATUS, VALID, EXECUTOR_TYPE, CONTENT",
                      {CEMRFactory::Instance()->NewGuid(), title, RowValue::Now(), dept_id,
                       dept_name, RowValue::Number(1), RowValue::Number(1), RowValue::Number(2),
                       u"1", RowValue::Number(1), RowValue::Number(1), title});
}

}  // namespace

long CBQCTask::NewMonthTaskForDept(CEMRDataSource* pDataSource, BSTR bstrCondition) {
  const CXmlProperty condition = PropertyBag(bstrCondition);
  const std::u16string dept_id = condition.GetValue(u"dept_id");
  const std::u16string dept_name = condition.GetValue(u"dept_name");

  std::u16string existing;
  pDataSource->QueryScalar(
      u"SELECT COUNT(1) FROM PEV_GRADE_TASK" +
          korvalis::SqlKey()
              .And(u"OWNER_TYPE = 2")
              .Equals(u"CREATOR_ID", dept_id)
              .And(u"TO_CHAR(SYSDATE, 'yyyy-MM') = TO_CHAR(CREATE_DATE, 'yyyy-MM')")
              .Where(),
      existing);
  if (!existing.empty() && existing != u"0") return 0;  // the month has its tasks

  const std::u16string month = dept_name + TitleMonth(pDataSource);
  if (TaskFrequency(pDataSource) == kMonthly) {
    InsertDeptTask(pDataSource, dept_id, dept_name, month + u"月环节质控");
    return 0;
  }
  for (int week = 1; week <= kWeeks; ++week) {
    InsertDeptTask(pDataSource, dept_id, dept_name,
                   month + u"月第" + LongToString(week) + u"周环节质控");
  }
  return 0;
}
