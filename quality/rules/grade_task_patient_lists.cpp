// The patient lists of the grade tasks: the visits in grade tasks with their grade, executor,
// current rectification notice and task (CBQCTask::GetPatientList, which hands a condition
// naming the self-grade task to the self-grade list), and every visit of a department with
// its grades in the department's tasks and each grader's name from the user-lookup component
// (CBQCTask::GetDeptQCPatientList).
//
// Both lists are written by hand from a fixed template, every value escaped; the codes that
// filter the first list stand bare in its statement and are checked to be numbers before it
// runs. The department list asks the user-lookup component once per grader of the list, empty
// grader included, and keeps no name between calls.
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "foundation/calls/body_arguments.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/data/db_type.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/suite/factory.h"
#include "foundation/suite/sibling_component.h"
#include "foundation/data/sql_conditions.h"
#include "foundation/data/sql_key.h"
#include "foundation/suite/suite_interfaces.h"
#include "foundation/xml/xml_property.h"
#include "foundation/xml/xml_text.h"
#include "platform/com/scoped_bstr.h"
#include "quality/rules/grade_task_statements.h"
#include "quality/rules/list_fields.h"
#include "quality/rules/qc_task.h"
#include "quality/rules/self_grade_list.h"

namespace {

using korvalis::BstrView;
using korvalis::PropertyBag;
using korvalis::SqlConditions;
using korvalis::SqlKey;
using korvalis::quality::AppendListFields;
using korvalis::quality::DayOf;
using korvalis::quality::ListField;
using korvalis::quality::kDeptVisitColumns;

constexpr char16_t kListHead[] = u"<?xml version='1.0' ?><root>";

// The columns of the task patient list's statement and the attributes of a listed visit.
constexpr unsigned kTaskVisitColumns = 25;
constexpr ListField kTaskVisitFields[] = {
    {u"<item patient_id = '", 0}, {u"' patient_name = '", 18}, {u"' sex = '", 19},
    {u"' event_no = '", 1},       {u"' status = '", 2},        {u"' score = '", 3},
    {u"' class = '", 4},          {u"' user_id ='", 5},        {u"' grade_date ='", 6},
    {u"' rectify_id ='", 7},      {u"' executor_id ='", 8},    {u"' rectify_status ='", 9},
    {u"' now_dept_name ='", 12},  {u"' now_dept_id ='", 13},   {u"' doctor_name ='", 14},
    {u"' in_time ='", 16},        {u"' out_time='", 17},       {u"' emr_status='", 15},
    {u"' has_emr='", 10},         {u"' rectify_count='", 11},  {u"' task_id='", 20},
    {u"' task_title='", 21},      {u"' task_status='", 22},    {u"' bed_no='", 23},
    {u"' add_time='", 24}};

// The attributes of a listed visit of a department before and after the grader's name.
constexpr ListField kDeptVisitFieldsBeforeName[] = {
    {u"<item patient_id = '", 0}, {u"' patient_name = '", 13}, {u"' task_id = '", 2},
    {u"' sex = '", 14},           {u"' event_no = '", 1},      {u"' status = '", 3},
    {u"' score = '", 4},          {u"' class = '", 5},         {u"' user_id ='", 6}};
constexpr ListField kDeptVisitFieldsAfterName[] = {
    {u"' grade_date ='", 7},  {u"' in_dept_name ='", 8}, {u"' doctor_name ='", 9},
    {u"' emr_status ='", 10}, {u"' in_time ='", 11},     {u"' out_time='", 12}};

// The units of a department visit's element besides its values, and room for a grader's name.
constexpr std::size_t kDeptVisitRowTemplate = 256;

// The conditions of the task patient list's document, in their order.
std::u16string TaskVisitConditions(const CXmlProperty& condition) {
  SqlConditions conditions(condition);
  conditions.Equals(u"task_id", u"A.TASK_ID");
  if (conditions.Value(u"self_grade") == u"0") {
    conditions.And(SqlKey().Compare(u"A.TASK_ID", u"<>", korvalis::quality::kSelfGradeTaskId).Sql());
  }
  const std::u16string& user_id = conditions.Value(u"user_id");
  const std::u16string& executor_id = conditions.Value(u"executor_id");
  if (!user_id.empty() || !executor_id.empty()) {
    // An empty one of the two matches no row.
    conditions.And(SqlKey()
                       .AnyOf({SqlKey().Equals(u"A.USER_ID", user_id),
                               SqlKey().Equals(u"A.executor_id", executor_id)})
                       .Sql());
  }
  return conditions.Equals(u"patient_id", u"A.PATIENT_ID")
      .Equals(u"event_no", u"A.EVENT_NO")
      .Number(u"status", u"A.STATUS")
      .Number(u"class", u"A.\"CLASS\"")
      .Number(u"task_valid", u"B.VALID")
      .Number(u"owner_type", u"B.OWNER_TYPE")
      .Number(u"task_status", u"B.STATUS")
      .Sql();
}

// The display names that the user-lookup component gives for the graders of one list: the
// "name" of each property document, empty when it hands back no text. The component is
// created at the first question and each grader asked once, since its answer cannot change
// while the list is written.
class GraderNames {
 public:
  // Throws the component's failure, and "解析属性信息错误." for an answer that is not XML.
  const std::u16string& Of(const std::u16string& user_id) {
    const auto known = names_.find(user_id);
    if (known != names_.end()) return known->second;
    if (!users_) {
      users_.emplace(*DIDUFactory::Instance(), IID_IUserProperty);
    }
    korvalis::com::ScopedBstr id(user_id), property;
    CheckSiblingCall((*users_)->GetUserProperty(id.get(), property.out()));
    return names_.emplace(user_id, CXmlProperty(property.text()).GetValue(u"name"))
        .first->second;
  }

 private:
  std::optional<korvalis::Sibling<IUserProperty>> users_;
  std::map<std::u16string, std::u16string> names_;
};

}  // namespace

long CBQCTask::GetPatientList(CEMRDataSource* pDataSource, BSTR bstrCondition,
                              BSTR* pbstrPatientList) {
  const CXmlProperty condition = PropertyBag(bstrCondition);
  if (condition.GetMap().empty()) {
    korvalis::StoreBstrResult(pbstrPatientList, u"<?xml version='1.0' ?><root></root>");
    return 0;
  }
  if (condition.GetValue(u"task_id") == korvalis::quality::kSelfGradeTaskId) {
    return korvalis::quality::GetSelfGradePatientList(pDataSource, bstrCondition, pbstrPatientList);
  }
  const std::u16string conditions = TaskVisitConditions(condition);

  const CDBType& dialect = *pDataSource->GetDBType();
  const std::u16string visits =
      u"(SELECT XAP.ADD_DATE, XAP.TASK_ID, XAP.PATIENT_ID, XAP.EVENT_NO, XAP.STATUS, XAP.SCORE, "
      u"XAP.CLASS, XAP.USER_ID," +
      DayOf(dialect, u"XAP.GRADE_DATE ") + u" GRADE_DATE, XAP.RECTIFY_ID, XAP.executor_id, " +
      DayOf(dialect, u"XAV.IN_TIME") + u" IN_TIME, " + DayOf(dialect, u"XAV.OUT_TIME") +
      u"OUT_TIME,XAV.NAME, XAV.SEX, XAV.NOW_DEPT_NAME, XAV.NOW_DEPT_ID, XAV.DOCTOR_NAME, "
      u"XAV.EMR_STATUS, (SELECT 1 FROM TELV_EMR_CONTENT T WHERE T.PATIENT_ID = XAP.PATIENT_ID "
      u"AND T.EVENT_NO = XAP.EVENT_NO AND T.STATUS = 1 AND ROWNUM = 1) AS HAS_EMR, (SELECT "
      u"COUNT(*) FROM PEV_GRADE_TASK_RECTIFY T WHERE T.PATIENT_ID = XAP.PATIENT_ID AND "
      u"T.EVENT_NO = XAP.EVENT_NO AND T.TASK_ID = XAP.TASK_ID) AS RECTIFY_COUNT , XAV.BED_NO  "
      u"FROM PEV_GRADE_PATIENT XAP, TELV_V_PATIENT_VISIT_RECORD XAV  WHERE XAP.PATIENT_ID = "
      u"XAV.PATIENT_ID AND XAP.EVENT_NO = XAV.EVENT_NO ) ";
  std::vector<std::u16string> values;
  pDataSource->Query(
      u"SELECT A.PATIENT_ID, A.EVENT_NO, A.STATUS, A.SCORE, A.CLASS, A.USER_ID, A.GRADE_DATE,  "
      u"A.RECTIFY_ID, A.executor_id, C.STATUS,  A.HAS_EMR, A.RECTIFY_COUNT, "
      u"A.NOW_DEPT_NAME,A.NOW_DEPT_ID, A.DOCTOR_NAME, A.EMR_STATUS, A.IN_TIME, A.OUT_TIME, "
      u"A.NAME, A.SEX, A.TASK_ID, B.TITLE AS TASK_TITLE, B.STATUS AS TASK_STATUS, A.BED_NO, "
      u"A.ADD_DATE  FROM " +
          visits +
          u" A  LEFT JOIN PEV_GRADE_TASK B ON B.ID = A.TASK_ID  LEFT JOIN PEV_RECTIFY_INFO C ON "
          u"C.ID = A.RECTIFY_ID  WHERE 1=1 " +
          conditions + u" ORDER BY A.GRADE_DATE DESC, A.TASK_ID, A.PATIENT_ID, A.EVENT_NO",
      kTaskVisitColumns, values);

  std::u16string list = kListHead;
  for (std::size_t row = 0; row + kTaskVisitColumns <= values.size(); row += kTaskVisitColumns) {
    AppendListFields(list, kTaskVisitFields, &values[row]);
    list.append(u"'></item>");
  }
  korvalis::StoreBstrResult(pbstrPatientList, list.append(u"</root>"));
  return 0;
}

long CBQCTask::GetDeptQCPatientList(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                    BSTR* pbstrPatientList) {
  const CXmlProperty condition = PropertyBag(bstrCondition);
  std::vector<std::u16string> values;
  pDataSource->Query(korvalis::quality::DeptVisitStatement(*pDataSource->GetDBType(), condition),
                     kDeptVisitColumns, values);

  // Room for the whole list at once: the values, the template around each row and a little
  // for escapes and names, so that a long list is not copied as it grows.
  std::size_t room =
      std::size(kListHead) + kDeptVisitRowTemplate * (values.size() / kDeptVisitColumns);
  for (const std::u16string& value : values) room += value.size() + value.size() / 8;
  std::u16string list;
  list.reserve(room);
  list.append(kListHead);
  GraderNames graders;
  for (std::size_t row = 0; row + kDeptVisitColumns <= values.size(); row += kDeptVisitColumns) {
    const std::u16string* visit = &values[row];
    AppendListFields(list, kDeptVisitFieldsBeforeName, visit);
    list.append(u"' user_name ='");
    korvalis::AppendXmlEscapedWithQuotes(list, graders.Of(visit[6]));
    AppendListFields(list, kDeptVisitFieldsAfterName, visit);
    list.append(u"'></item>");
  }
  korvalis::StoreBstrResult(pbstrPatientList, list.append(u"</root>"));
  return 0;
}
