#include "quality/review/config_task.h"

#include <iterator>
#include <string_view>
#include <vector>
#include <xercesc/dom/DOM.hpp>

#include "foundation/calls/body_arguments.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/xml/dom_elements.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/data/query_statements.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/sql_conditions.h"
#include "foundation/data/sql_key.h"
#include "foundation/data/sql_text.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/xml_list.h"
#include "foundation/xml/xml_parser.h"
#include "foundation/xml/xml_property.h"
#include "foundation/xml/xml_text.h"
#include "platform/com/scoped_bstr.h"
#include "platform/sys/local_clock.h"

namespace {

using korvalis::ArgumentText;
using korvalis::BstrView;
using korvalis::InsertRow;
using korvalis::PropertyBag;
using korvalis::RowValue;
using korvalis::SqlConditions;
using korvalis::SqlKey;
using korvalis::UpdateRow;
using korvalis::com::ScopedBstr;

// The identity code of nurses, who are offered tasks of type "1" only.
constexpr LONG kNurseIdentity = 20;
constexpr char16_t kNurseTasksOnly[] = u" AND T.TYPE = '1' ";
constexpr char16_t kDeptIdPlaceholder[] = u"{DeptId}";

// The local time of day as hours (seconds ignored), read once per call so that every window of
// the call is judged at the same moment.
double LocalHourOfDay() {
  const korvalis::sys::LocalTime now = korvalis::sys::CurrentLocalTime();
  return now.hour + now.minute / 60.0;
}

bool WindowIsActive(double start, double end, double now) {
  if (start < end) return start < now && now <= end;
  if (start > end) return (start < now && now <= 24) || (0 < now && now <= end);
  return false;
}

// The text of a value that the client wrote for a place between single quotes, its own quotes
// doubled: the value with each pair of quotes made one again, so that it enters the statement
// quoted as written. A run of quotes of odd length would have ended the literal early and
// changed the statement, so it is refused before anything runs.
std::u16string ClientQuotedText(const std::u16string& value, std::u16string_view method,
                                std::u16string_view name) {
  for (std::size_t i = 0; i < value.size();) {
    if (value[i] != u'\'') {
      ++i;
      continue;
    }
    std::size_t run = 0;
    while (i < value.size() && value[i] == u'\'') ++run, ++i;
    if (run % 2 != 0) {
      throw CEMRException(u"CBConfigTask::" + std::u16string(method) + u": " +
                          std::u16string(name) + u" 中的单引号须成对书写(''), 不能单独出现.");
    }
  }
  std::u16string text = value;
  ReplaceAll(text, u"''", u"'");
  return text;
}

// The task's query with the department in place of every "{DeptId}" (which the stored queries
// put between quotes). A stored statement that is no query is refused before it runs.
std::u16string TaskQueryOfDept(std::u16string config_sql, BSTR dept_id) {
  ReplaceAll(config_sql, kDeptIdPlaceholder, korvalis::SqlEscaped(dept_id));
  korvalis::CheckQueryStatement(config_sql, u"任务SQL语句不是查询语句,无法获取任务病人: ");
  return config_sql;
}

// The values of a task property document in the order of the table's columns NAME, TYPE,
// CONFIG_SQL, DEFAULT_SCHEDULE, AUTO_REMIND_FLAG, VIEW_CODE, NOTES.
constexpr const char16_t* kTaskKeys[] = {u"task",       u"type",      u"config_sql", u"schedule",
                                         u"autoremind", u"view_code", u"notes"};

}  // namespace

std::u16string CBConfigTask::GetActiveScheduleText(const std::u16string& schedule,
                                                   double now_hours) {
  if (schedule.empty()) return std::u16string();
  const std::u16string document_text =
      u"<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\" ?><root>" + schedule +
      u"</root>";
  CXmlStringParser parser(document_text);
  const xercesc::DOMDocument* document = parser.GetDocument();
  if (document == nullptr) return std::u16string();
  for (const korvalis::ListElement& window :
       korvalis::ReadListElements(document, u"time", {u"start", u"end"})) {
    const double start = StringToDouble(window.attributes[0]);
    const double end = StringToDouble(window.attributes[1]);
    if (WindowIsActive(start, end, now_hours)) {
      return window.text.empty() ? std::u16string(u" ") : window.text;
    }
  }
  return std::u16string();
}

long CBConfigTask::CountRowElements(const std::u16string& xml) {
  if (xml.empty()) return 0;
  CXmlStringParser parser(xml);
  const xercesc::DOMDocument* document = parser.GetDocument();
  if (document == nullptr) return 0;
  return static_cast<long>(ElementChildren(document->getDocumentElement()).size());
}

long CBConfigTask::GetQcTaskCountList(CEMRDataSource* pDataSource, BSTR /*strUserId*/,
                                      BSTR strDeptId, LONG lngUserIdentity, BSTR* bstrList) {
  std::u16string sql =
      u"SELECT T.NAME, T.NOTES, T.ID, T.DEFAULT_SCHEDULE, T.VIEW_CODE, T.CONFIG_SQL "
      u" FROM PEV_TASK_CONFIG_RECORD T "
      u" WHERE T.VALID_FLAG = '1' AND T.AUTO_REMIND_FLAG = '1'";
  if (lngUserIdentity == kNurseIdentity) sql += kNurseTasksOnly;
  sql += u" ORDER BY T.SEQUENCE_NO ";
  enum Column : unsigned { kName, kNotes, kId, kSchedule, kViewCode, kConfigSql, kColumns };
  std::vector<std::u16string> tasks;
  pDataSource->Query(sql, kColumns, tasks);

  const double now = LocalHourOfDay();
  std::u16string list = u"<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\" ?> <root>";
  for (std::size_t row = 0; row + kColumns <= tasks.size(); row += kColumns) {
    const std::u16string* task = &tasks[row];
    const std::u16string window = GetActiveScheduleText(task[kSchedule], now);
    if (window.empty()) continue;
    ScopedBstr visits;
    pDataSource->QueryElements(TaskQueryOfDept(task[kConfigSql], strDeptId),
                               {u"patient_id", u"event_no"}, visits.out());
    const long count = CountRowElements(visits.text());
    if (count == 0) continue;
    list += u"<task notes=\"";
    korvalis::AppendXmlEscapedWithQuotes(list, task[kNotes]);
    list += u"\" id=\"";
    korvalis::AppendXmlEscapedWithQuotes(list, task[kId]);
    list += u"\" count=\"" + LongToString(count) + u"\"\tschedule=\"";
    korvalis::AppendXmlEscapedWithQuotes(list, window);
    list += u"\" view_code=\"";
    korvalis::AppendXmlEscapedWithQuotes(list, task[kViewCode]);
    list += u"\">";
    korvalis::AppendXmlEscaped(list, task[kName]);
    list += u"</task> ";
  }
  list += u"</root>";
  korvalis::StoreBstrResult(bstrList, list);
  return 0;
}

long CBConfigTask::GetTaskPatientList(CEMRDataSource* pDataSource, BSTR /*strUserId*/,
                                      BSTR strDeptId, LONG lngUserIdentity, BSTR strTaskId,
                                      BSTR* bstrList) {
  const std::u16string task_id(BstrView(strTaskId));
  std::u16string sql =
      u"SELECT T.ID, T.DEFAULT_SCHEDULE, T.CONFIG_SQL  FROM PEV_TASK_CONFIG_RECORD T " +
      SqlKey()
          .And(u"T.VALID_FLAG = '1'")
          .Equals(u"T.ID", ClientQuotedText(task_id, u"GetTaskPatientList", u"strTaskId"))
          .Where() +
      u" ";
  if (lngUserIdentity == kNurseIdentity) sql += kNurseTasksOnly;
  sql += u" ORDER BY T.SEQUENCE_NO ";
  enum Column : unsigned { kId, kSchedule, kConfigSql, kColumns };
  std::vector<std::u16string> tasks;
  pDataSource->Query(sql, kColumns, tasks);
  // Anything but exactly one task, or a task outside its windows, answers nothing at all.
  if (tasks.size() != kColumns) return 0;
  if (GetActiveScheduleText(tasks[kSchedule], LocalHourOfDay()).empty()) return 0;
  pDataSource->QueryElements(TaskQueryOfDept(tasks[kConfigSql], strDeptId),
                             {u"patient", u"patient_id", u"event_no"}, bstrList);
  return 0;
}

long CBConfigTask::NewTendTask(CEMRDataSource* pDataSource, BSTR bstrProperty,
                               LONG* plngNewTaskId) {
  const CXmlProperty property = PropertyBag(bstrProperty);
  std::vector<std::u16string> values;
  for (const char16_t* key : kTaskKeys) {
    values.push_back(ClientQuotedText(property.GetValue(key), u"NewTendTask", key));
  }

  std::u16string max_id;
  pDataSource->QueryScalar(u"SELECT MAX(ID) MAX_ID FROM PEV_TASK_CONFIG_RECORD", max_id);
  const LONG new_id = max_id.empty() ? 0 : static_cast<LONG>(StringToLong(max_id) + 1);
  const std::u16string id = LongToString(new_id);

  // NAME, ID, then the other columns in the order of kTaskKeys, then SEQUENCE_NO = ID.
  std::vector<RowValue> row = {values[0], id};
  row.insert(row.end(), values.begin() + 1, values.end());
  row.insert(row.end(), {id, u"1"});
  InsertRow(*pDataSource, u"PEV_TASK_CONFIG_RECORD",
            u"NAME, ID, TYPE, CONFIG_SQL, DEFAULT_SCHEDULE, AUTO_REMIND_FLAG, VIEW_CODE, NOTES, "
            u"SEQUENCE_NO, VALID_FLAG",
            row);
  if (plngNewTaskId != nullptr) *plngNewTaskId = new_id;
  return 0;
}

long CBConfigTask::GetTendTaskList(CEMRDataSource* pDataSource, BSTR strTaskId, BSTR* bstrList) {
  const std::u16string task_id(BstrView(strTaskId));
  std::u16string sql =
      u"SELECT NAME, ID, TYPE, CONFIG_SQL, DEFAULT_SCHEDULE, AUTO_REMIND_FLAG, VIEW_CODE, NOTES, "
      u"VALID_FLAG  FROM PEV_TASK_CONFIG_RECORD  WHERE 1=1 " +
      SqlConditions(SqlConditions::Values{{u"id", ClientQuotedText(task_id, u"GetTendTaskList", u"strTaskId")}})
          .Equals(u"id", u"ID")
          .Sql() +
      u" ORDER BY SEQUENCE_NO";
  pDataSource->QueryElements(sql,
                             {u"task", u"id", u"type", u"config_sql", u"schedule", u"autoremind",
                              u"view_code", u"notes", u"valid"},
                             bstrList, {u"id"});
  return 0;
}

long CBConfigTask::UpdateTendTask(CEMRDataSource* pDataSource, BSTR bstrProperty, BSTR bstrTaskID) {
  const CXmlProperty property = PropertyBag(bstrProperty);
  const std::u16string valid = property.GetValue(u"valid");
  if (valid != u"1" && valid != u"0") {
    throw CEMRException(
        std::u16string(u"CBConfigTask::UpdateTendTask: 任务的有效标志(valid)只能为\"1\"或\"0\"."));
  }
  const std::u16string where =
      SqlKey()
          .Equals(u"ID", ClientQuotedText(ArgumentText(bstrTaskID), u"UpdateTendTask",
                                          u"bstrTaskID"))
          .Sql();
  if (valid == u"0") {
    UpdateRow(*pDataSource, u"PEV_TASK_CONFIG_RECORD", {{u"VALID_FLAG", u"0"}}, where);
    return 0;
  }
  const auto value = [&property](std::size_t key) {
    return ClientQuotedText(property.GetValue(kTaskKeys[key]), u"UpdateTendTask", kTaskKeys[key]);
  };
  // In the order of kTaskKeys.
  UpdateRow(*pDataSource, u"PEV_TASK_CONFIG_RECORD",
            {{u"NAME", value(0)},
             {u"TYPE", value(1)},
             {u"CONFIG_SQL", value(2)},
             {u"DEFAULT_SCHEDULE", value(3)},
             {u"AUTO_REMIND_FLAG", value(4)},
             {u"VIEW_CODE", value(5)},
             {u"NOTES", value(6)},
             {u"VALID_FLAG", u"1"}},
            where);
  return 0;
}
