#include "quality/rules/grade_task_statements.h"

#include <utility>

#include "foundation/data/db_type.h"
#include "foundation/data/sql_conditions.h"
#include "foundation/data/sql_date.h"
#include "foundation/data/sql_key.h"
#include "foundation/data/sql_text.h"
#include "foundation/xml/xml_property.h"

namespace korvalis::quality {

namespace {

enum class ValueKind { kText, kDate, kCode };

struct TaskColumn {
  const char16_t* key;
  const char16_t* column;
  ValueKind kind;
};

// The columns a change may set, in the order of their assignments; CONTENT follows always.
constexpr TaskColumn kChangeableColumns[] = {
    {u"title", u"XAT.TITLE", ValueKind::kText},
    {u"create_date", u"XAT.CREATE_DATE", ValueKind::kDate},
    {u"creator_id", u"XAT.CREATOR_ID", ValueKind::kText},
    {u"creator", u"XAT.CREATOR", ValueKind::kText},
    {u"phase_type", u"XAT.PHASE_TYPE", ValueKind::kCode},
    {u"content_type", u"XAT.CONTENT_TYPE", ValueKind::kCode},
    {u"owner_type", u"XAT.OWNER_TYPE", ValueKind::kCode},
    {u"status", u"XAT.STATUS", ValueKind::kCode},
    {u"valid", u"XAT.VALID", ValueKind::kCode},
    {u"executor_type", u"XAT.EXECUTOR_TYPE", ValueKind::kCode},
};

// The task codes that filter the list, in the order of their conditions.
constexpr std::pair<const char16_t*, const char16_t*> kCodeFilters[] = {
    {u"phase_type", u"XAT.PHASE_TYPE"}, {u"content_type", u"XAT.CONTENT_TYPE"},
    {u"owner_type", u"XAT.OWNER_TYPE"}, {u"status", u"XAT.STATUS"},
    {u"valid", u"XAT.VALID"},           {u"executor_type", u"XAT.executor_type"},
};

// "(SELECT COUNT(1) ...) AS <alias>" of the visits dispatched to `user`, or the text 0.
std::u16string DispatchedCount(const std::u16string& user, std::u16string_view alias) {
  std::u16string count;
  if (user.empty()) {
    count.append(u" '0' AS ").append(alias).append(u" ");
  } else {
    count.append(u"(SELECT COUNT(1) FROM PEV_GRADE_PATIENT P")
        .append(SqlKey().And(u"P.TASK_ID = XAT.ID").Equals(u"P.EXECUTOR_ID", user).Where())
        .append(u") AS ")
        .append(alias);
  }
  return count;
}

}  // namespace

std::u16string TaskCode(const CXmlProperty& task, std::u16string_view key) {
  const std::u16string name(key);
  return SqlNumber(task.GetValue(name), name);
}

RowValue TaskCreateDate(const CDBType& dialect, const CXmlProperty& task) {
  const std::u16string date = task.GetValue(u"create_date");
  return date.empty() ? RowValue::Now() : RowValue::Date(dialect, date);
}

std::u16string TaskUpdateStatement(const CDBType& dialect, std::u16string_view task_id,
                                   const CXmlProperty& task) {
  std::u16string assignments;
  for (const TaskColumn& column : kChangeableColumns) {
    const std::u16string value = task.GetValue(column.key);
    if (value.empty()) continue;
    const RowValue assigned = column.kind == ValueKind::kText ? RowValue(value)
                              : column.kind == ValueKind::kDate
                                  ? RowValue::Date(dialect, value)
                                  : RowValue::Number(TaskCode(task, column.key));
    assignments.append(u" ")
        .append(column.column)
        .append(u" = ")
        .append(assigned.Sql())
        .append(u",");
  }
  assignments.append(u" XAT.CONTENT = ").append(RowValue(task.GetValue(u"content")).Sql());
  return u"UPDATE PEV_GRADE_TASK XAT SET " + assignments +
         SqlKey().Equals(u"XAT.ID", task_id).Where();
}

std::u16string TaskListStatement(const CDBType& dialect, const CXmlProperty& condition) {
  std::u16string sql =
      u"SELECT XAT.ID, XAT.TITLE, TO_CHAR(XAT.CREATE_DATE, 'YYYY-MM-DD HH24:MI') AS "
      u"CREATE_DATE, XAT.CREATOR_ID, XAT.CREATOR, XAT.PHASE_TYPE, XAT.CONTENT_TYPE, "
      u"XAT.OWNER_TYPE, XAT.STATUS, XAT.VALID, XAT.executor_type, XAT.CONTENT, (SELECT "
      u"COUNT(1) FROM PEV_GRADE_PATIENT P WHERE P.TASK_ID = XAT.ID) AS PATIENT_COUNT, ";
  sql.append(DispatchedCount(condition.GetValue(u"user_id"), u"USER_PATIENT_COUNT"))
      .append(u" , ")
      .append(DispatchedCount(condition.GetValue(u"executor_id"), u"RECEIVER_PATIENT_COUNT"))
      .append(u" FROM PEV_GRADE_TASK XAT  WHERE 1=1 ");

  SqlConditions conditions(condition);
  conditions.Equals(u"title", u"XAT.TITLE")
      .DateFrom(u"create_date_from", u"XAT.CREATE_DATE", dialect)
      .DateBefore(u"create_date_to", u"XAT.CREATE_DATE", dialect);
  const std::u16string creators[] = {conditions.Value(u"creator_id"), conditions.Value(u"dept_id")};
  if (!creators[0].empty() || !creators[1].empty()) {
    // The user's own tasks and those of the department: an empty one of the two matches none.
    conditions.And(SqlKey().In(u"XAT.CREATOR_ID", creators).Sql());
  }

  conditions.Equals(u"creator", u"XAT.CREATOR");
  for (const auto& [key, column] : kCodeFilters) conditions.Number(key, column);
  sql.append(conditions.Sql());
  return sql.append(u" ORDER BY XAT.CREATE_DATE DESC");
}

std::u16string DayOf(const CDBType& dialect, std::u16string_view column) {
  return dialect.ToChar(column, u"YYYY-MM-DD", true);
}

std::u16string DeptVisitStatement(const CDBType& dialect, const CXmlProperty& condition) {
  SqlConditions conditions(condition);
  std::u16string outer = conditions.Equals(u"dept_id", u"A.NOW_DEPT_ID")
                             .DatesBetween(u"start_time", u"end_time", u"A.IN_TIME", dialect)
                             .Sql();
  if (!conditions.Value(u"start_time").empty() && !conditions.Value(u"end_time").empty()) {
    outer.append(u" ORDER BY A.IN_TIME DESC");
  }
  // The department's grades in every task but those of OWNER_TYPE 1 (an empty department
  // has none).
  const std::u16string grades =
      u" (SELECT XAP.PATIENT_ID,XAP.EVENT_NO,XAT.OWNER_TYPE, XAP.TASK_ID, XAP.STATUS, XAP.SCORE, "
      u"XAP.CLASS, XAP.USER_ID, XAP.GRADE_DATE FROM PEV_GRADE_PATIENT XAP, PEV_GRADE_TASK XAT, "
      u"TELV_VISIT_RECORD XAV" +
      SqlKey()
          .And(
              u"XAP.PATIENT_ID = XAV.PATIENT_ID AND XAP.EVENT_NO = XAV.EVENT_NO AND "
              u"XAP.TASK_ID = XAT.ID")
          .Equals(u"XAV.NOW_DEPT_ID", conditions.Value(u"dept_id"))
          .And(u"XAT.OWNER_TYPE <> 1")
          .Where() +
      u")";
  return u"SELECT A.PATIENT_ID, A.EVENT_NO, B.TASK_ID, B.STATUS,B.SCORE,B.CLASS,B.USER_ID ," +
         DayOf(dialect, u"B.GRADE_DATE ") + u",A.NOW_DEPT_NAME , A.DOCTOR_NAME, A.EMR_STATUS, " +
         DayOf(dialect, u"A.IN_TIME ") + u"," + DayOf(dialect, u"A.OUT_TIME") +
         u",C.NAME,C.SEX FROM TELV_VISIT_RECORD A, " + grades +
         u" B, TELV_PATIENT C WHERE A.PATIENT_ID = B.PATIENT_ID(+) AND A.EVENT_NO = "
         u"B.EVENT_NO(+) AND A.PATIENT_ID = C.ID (+) " +
         outer;
}

}  // namespace korvalis::quality
