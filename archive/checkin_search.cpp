#include "archive/checkin_search.h"

#include "archive/archive_patient.h"
#include "archive/discharged_visit_conditions.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/xml/xml_document.h"

namespace korvalis::archive {

const std::vector<std::u16string>& CheckinPatientNames() {
  // clang-format off
  static const std::vector<std::u16string>& names = *new std::vector<std::u16string>{
      u"patient", u"sex", u"id", u"event_no", u"in_time", u"in_dept", u"leave_time",
      u"leave_dept", u"emr_status", u"forbid_flag", u"operator", u"oper_time", u"paper_status",
      u"oper_memo", u"serial_no"};
  // clang-format on
  return names;
}

std::u16string CheckinPatientSql(const CDBType& dialect, std::u16string_view condition) {
  CXmlDocument document;
  document.Load(std::u16string(condition), false);
  CXmlNode root = document.GetRootNode();
  const std::u16string filter =
      DischargedVisitConditions(dialect, root, PaperStatusCondition::kOneNumber);

  // Every discharged visit once per flow entry (once with empty flow values without one),
  // filtered, numbered within the visit from its newest entry; the first of each visit is
  // listed, with the largest entry number of the visit. Ordered by patient and visit.
  std::u16string sql;
  sql.reserve(1280 + filter.size());
  sql.append(
      u"SELECT NAME, SEX, PATIENT_ID, EVENT_NO, IN_TIME, IN_DEPT_NAME, OUT_TIME, OUT_DEPT_NAME, "
      u"EMR_STATUS, FORBID_FLAG, OPERATOR, OPER_TIME, NEW_STATUS, MEMO, LAST_SERIAL_NO FROM ("
      u"SELECT C.NAME, C.SEX, A.PATIENT_ID, A.EVENT_NO, A.IN_TIME, A.IN_DEPT_NAME, A.OUT_TIME, "
      u"A.OUT_DEPT_NAME, A.EMR_STATUS, A.FORBID_FLAG, B.OPERATOR, B.OPER_TIME, B.NEW_STATUS, "
      u"B.MEMO, MAX(B.SERIAL_NO) OVER (PARTITION BY A.PATIENT_ID, A.EVENT_NO) LAST_SERIAL_NO, "
      u"ROW_NUMBER() OVER (PARTITION BY A.PATIENT_ID, A.EVENT_NO ORDER BY B.SERIAL_NO DESC) "
      u"NEWEST FROM TELV_VISIT_RECORD A, TELV_PATIENT C, TELV_EMR_FLOW_RECORD B"
      u" WHERE A.PATIENT_ID = C.ID AND ");
  sql.append(kDischargedVisit);
  sql.append(u" AND A.RESIDENCE_FLAG = 1 AND A.PATIENT_ID = B.PATIENT_ID(+) AND "
             u"A.EVENT_NO = B.EVENT_NO(+)");
  sql.append(filter);
  sql.append(u") WHERE NEWEST = 1 ORDER BY PATIENT_ID, EVENT_NO");
  return sql;
}

}  // namespace korvalis::archive

long CBArchivePatient::SearchCheckinPatient(CEMRDataSource* pDataSource, BSTR bstrSearchInfo,
                                            BSTR* bstrPatientList) {
  using korvalis::archive::CheckinPatientNames;
  // A visit is known by its patient and visit number.
  static const std::vector<std::u16string>& kVisitKey =
      *new std::vector<std::u16string>{u"id", u"event_no"};
  pDataSource->QueryElements(korvalis::archive::CheckinPatientSql(
                                 *pDataSource->GetDBType(), korvalis::BstrView(bstrSearchInfo)),
                             CheckinPatientNames(), bstrPatientList, kVisitKey);
  return 0;
}
