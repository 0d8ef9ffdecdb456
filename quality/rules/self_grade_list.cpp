#include "quality/rules/self_grade_list.h"

#include <string>
#include <vector>

#include "foundation/calls/body_arguments.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/data/sql_key.h"
#include "foundation/xml/xml_property.h"
#include "quality/rules/list_fields.h"

namespace korvalis::quality {
namespace {

// The columns of the list's statement and the attributes of a listed visit.
constexpr unsigned kColumns = 11;
constexpr ListField kFields[] = {
    {u"<item patient_id = '", 0}, {u"' patient_name = '", 2}, {u"' sex = '", 3},
    {u"' event_no = '", 1},       {u"' status = '", 6},       {u"' score = '", 7},
    {u"' class = '", 8},          {u"' user_id ='", 9},       {u"' grade_date ='", 10},
    {u"' emr_status='", 4},       {u"'  has_emr='", 5}};

}  // namespace

long GetSelfGradePatientList(CEMRDataSource* pDataSource, BSTR bstrCondition,
                             BSTR* pbstrPatientList) {
  const CXmlProperty condition = korvalis::PropertyBag(bstrCondition);
  std::vector<std::u16string> visits;
  pDataSource->Query(
      u"SELECT A.PATIENT_ID, A.EVENT_NO, A.PATIENT_NAME, A.SEX, A.EMR_STATUS, A.HAS_EMR, "
      u"B.STATUS, B.SCORE, B.CLASS, B.USER_ID, B.GRADE_DATE FROM (SELECT A.PATIENT_ID, "
      u"A.EVENT_NO, B.NAME AS PATIENT_NAME, B.SEX, B.EMR_STATUS, (SELECT 1 FROM TELV_EMR_CONTENT "
      u"T WHERE T.PATIENT_ID = A.PATIENT_ID AND T.EVENT_NO = A.EVENT_NO AND T.STATUS = 1 AND "
      u"ROWNUM = 1) AS HAS_EMR FROM TELV_MANAGE_PATIENT A JOIN TELV_V_PATIENT_VISIT_RECORD B ON "
      u"A.PATIENT_ID = B.PATIENT_ID AND A.EVENT_NO = B.EVENT_NO" +
          korvalis::SqlKey().Equals(u"A.USER_ID", condition.GetValue(u"user_id")).Where() +
          u") A LEFT JOIN PEV_GRADE_PATIENT B ON " +
          korvalis::SqlKey()
              .And(u"B.PATIENT_ID = A.PATIENT_ID AND B.EVENT_NO = A.EVENT_NO")
              .Equals(u"B.TASK_ID", kSelfGradeTaskId)
              .Sql() +
          u" ORDER BY B.GRADE_DATE DESC",

      kColumns, visits);
  std::u16string list = u"<?xml version='1.0' ?><root>";
  for (std::size_t row = 0; row + kColumns <= visits.size(); row += kColumns) {
    AppendListFields(list, kFields, &visits[row]);
    list.append(u"'></item>");
  }
  StoreBstrResult(pbstrPatientList, list.append(u"</root>"));
  return 0;
}

}  // namespace korvalis::quality
