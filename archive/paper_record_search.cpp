#include "archive/paper_record_search.h"

#include "archive/discharged_visit_conditions.h"
#include "archive/patient_paper_mag.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/data/sql_date.h"
#include "foundation/xml/xml_document.h"

namespace korvalis::archive {
namespace {

// The log's columns that each visit shows from its latest row.
constexpr const char16_t* kLatestRowColumns[] = {
    u"COMMIT_SERIAL", u"COMMIT_DATE",   u"COMMIT_OPER_NAME",   u"COMMIT_OPER_ID",
    u"COMMIT_MEMO",   u"ROLLBACK_DATE", u"ROLLBACK_OPER_NAME", u"ROLLBACK_OPER_ID",
    u"ROLLBACK_MEMO", u"CHECKIN_DATE",  u"CHECKIN_OPER_NAME",  u"CHECKIN_OPER_ID",
    u"CHECKIN_MEMO"};

}  // namespace

const std::vector<std::u16string>& PaperRecordSearchNames() {
  // clang-format off
  static const std::vector<std::u16string>& names = *new std::vector<std::u16string>{
      u"patient", u"sex", u"id", u"event_no", u"doctor", u"out_time", u"out_dept_name",
      u"out_dept_id", u"paper_status", u"commit_serial", u"commit_date", u"commit_oper_name",
      u"commit_oper_id", u"commit_memo", u"rollback_date", u"rollback_oper_name",
      u"rollback_oper_id", u"rollback_memo", u"checkin_date", u"checkin_oper_name",
      u"checkin_oper_id", u"checkin_memo", u"serial", u"emr_status"};
  // clang-format on
  return names;
}

std::u16string PaperRecordSearchSql(const CDBType& dialect, std::u16string_view condition) {
  CXmlDocument document;
  document.Load(std::u16string(condition), false);
  CXmlNode root = document.GetRootNode();
  const auto text = [&root](const char16_t* name) { return root.GetChild(name).GetText(); };

  // Conditions on the visit, and on the hand-over log's rows that may count as the latest.
  const std::u16string visit_conditions =
      DischargedVisitConditions(dialect, root, PaperStatusCondition::kNumberList);
  std::u16string log_conditions;
  AppendDateBetween(dialect, text(u"checkin_time"), u"L.CHECKIN_DATE", log_conditions);
  AppendDateBetween(dialect, text(u"commit_time"), u"L.COMMIT_DATE", log_conditions);

  // Every discharged visit that passes, with the log row of the largest SERIAL among its rows
  // that pass (found through the log's key, one row per visit). Without conditions on the log
  // a visit without rows is listed with empty log values; with them, only visits with a row
  // that passes. Ordered by the latest commit, then by visit.
  std::u16string sql;
  sql.reserve(2048 + visit_conditions.size() + log_conditions.size());
  sql.append(
      u"SELECT C.NAME, C.SEX, A.PATIENT_ID, A.EVENT_NO, A.DOCTOR_NAME, A.OUT_TIME, "
      u"A.OUT_DEPT_NAME, A.OUT_DEPT_ID, A.PAPER_EMR_STATUS,");
  for (const char16_t* column : kLatestRowColumns) sql.append(u" B.").append(column).append(u",");
  sql.append(u" B.SERIAL, A.EMR_STATUS FROM TELV_VISIT_RECORD A JOIN TELV_PATIENT C ON C.ID = "
             u"A.PATIENT_ID ");
  sql.append(log_conditions.empty() ? u"LEFT JOIN" : u"JOIN");
  sql.append(
      u" TELV_PAPER_CHECKIN_RECORD B ON B.PATIENT_ID = A.PATIENT_ID AND B.EVENT_NO = A.EVENT_NO "
      u"AND B.SERIAL = (SELECT MAX(L.SERIAL) FROM TELV_PAPER_CHECKIN_RECORD L WHERE "
      u"L.PATIENT_ID = A.PATIENT_ID AND L.EVENT_NO = A.EVENT_NO");
  sql.append(log_conditions);
  sql.append(u") WHERE ").append(kDischargedVisit);
  sql.append(visit_conditions);
  sql.append(u" ORDER BY B.COMMIT_DATE, B.COMMIT_SERIAL, A.PATIENT_ID, A.EVENT_NO");
  return sql;
}

}  // namespace korvalis::archive

long CBPatientPaperMag::SearchPatientPMRList(CEMRDataSource* pDataSource, BSTR bstrSearchInfo,
                                             BSTR* pbstrPatientList) {
  using korvalis::archive::PaperRecordSearchNames;
  // A visit is known by its patient and visit number.
  static const std::vector<std::u16string>& kVisitKey =
      *new std::vector<std::u16string>{u"id", u"event_no"};
  pDataSource->QueryElements(korvalis::archive::PaperRecordSearchSql(
                                 *pDataSource->GetDBType(), korvalis::BstrView(bstrSearchInfo)),
                             PaperRecordSearchNames(), pbstrPatientList, kVisitKey);
  return 0;
}
