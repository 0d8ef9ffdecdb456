#include "archive/paper_record_search.h"

#include "archive/patient_paper_mag.h"
#include "foundation/emr_data_source.h"
#include "foundation/sql_date.h"
#include "foundation/sql_text.h"
#include "foundation/xml_document.h"

namespace korvalis::archive {
namespace {

// The log's columns that each visit shows from its latest row.
constexpr const char16_t* kLatestRowColumns[] = {
    u"COMMIT_SERIAL", u"COMMIT_DATE",   u"COMMIT_OPER_NAME",   u"COMMIT_OPER_ID",
    u"COMMIT_MEMO",   u"ROLLBACK_DATE", u"ROLLBACK_OPER_NAME", u"ROLLBACK_OPER_ID",
    u"ROLLBACK_MEMO", u"CHECKIN_DATE",  u"CHECKIN_OPER_NAME",  u"CHECKIN_OPER_ID",
    u"CHECKIN_MEMO"};

// Appends " AND " `column` " LIKE '%value%'" when the value is given, its quotes doubled.
void AppendContains(const std::u16string& value, std::u16string_view column, std::u16string& sql) {
  if (value.empty()) return;
  sql.append(u" AND ").append(column).append(u" LIKE '%").append(SqlEscaped(value)).append(u"%'");
}

// Appends " AND " `column` " IN (list)" when the value is given; it must be a list of numbers.
void AppendInNumbers(const std::u16string& value, std::u16string_view column,
                     std::u16string_view element, std::u16string& sql) {
  if (value.empty()) return;
  sql.append(u" AND ").append(column).append(u" IN (");
  sql.append(SqlNumberList(value, element)).append(u")");
}

}  // namespace

const std::vector<std::u16string>& PaperRecordSearchNames() {
  // clang-format off
  static const std::vector<std::u16string> names = {
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

  std::u16string conditions;
  AppendContains(text(u"name"), u"C.NAME", conditions);
  AppendContains(text(u"patient_id"), u"A.PATIENT_ID", conditions);
  AppendContains(text(u"event_no"), u"A.EVENT_NO", conditions);
  if (const std::u16string dept = text(u"leave_dept"); !dept.empty()) {
    conditions.append(u" AND A.OUT_DEPT_ID = ").append(SqlQuoted(dept));
  }
  AppendDateBetween(dialect, text(u"checkin_time"), u"B.CHECKIN_DATE", conditions);
  AppendDateBetween(dialect, text(u"leavetime_span"), u"A.OUT_TIME", conditions);
  AppendInNumbers(text(u"paper_status"), u"A.PAPER_EMR_STATUS", u"paper_status", conditions);
  AppendInNumbers(text(u"emr_status"), u"A.EMR_STATUS", u"emr_status", conditions);
  AppendDateBetween(dialect, text(u"commit_time"), u"B.COMMIT_DATE", conditions);

  // Inner: every discharged visit once per log row (once with empty log columns without one),
  // filtered. Middle: each row carries the values of the visit's latest row that passed.
  // Outer: the rows of a visit, alike but for SERIAL, collapse to one with the largest SERIAL.
  std::u16string sql;
  sql.reserve(3072 + conditions.size());
  sql.append(
      u"SELECT NAME, SEX, PATIENT_ID, EVENT_NO, DOCTOR_NAME, OUT_TIME, OUT_DEPT_NAME, "
      u"OUT_DEPT_ID, PAPER_EMR_STATUS, COMMIT_SERIAL, COMMIT_DATE, COMMIT_OPER_NAME, "
      u"COMMIT_OPER_ID, COMMIT_MEMO, ROLLBACK_DATE, ROLLBACK_OPER_NAME,ROLLBACK_OPER_ID,"
      u"ROLLBACK_MEMO,CHECKIN_DATE,CHECKIN_OPER_NAME, CHECKIN_OPER_ID, CHECKIN_MEMO, "
      u"MAX(SERIAL),EMR_STATUS FROM (SELECT NAME, SEX, PATIENT_ID, EVENT_NO, DOCTOR_NAME, "
      u"OUT_TIME, OUT_DEPT_NAME, OUT_DEPT_ID, PAPER_EMR_STATUS,");
  for (const char16_t* column : kLatestRowColumns) {
    sql.append(u" FIRST_VALUE(").append(column);
    sql.append(u") OVER(PARTITION BY EVENT_NO ORDER BY SERIAL DESC) ").append(column).append(u",");
  }
  sql.append(
      u" MAX(SERIAL) OVER(PARTITION BY SERIAL) SERIAL,EMR_STATUS FROM (SELECT C.NAME, C.SEX, "
      u"A.PATIENT_ID, A.EVENT_NO, A.DOCTOR_NAME, A.OUT_TIME, A.OUT_DEPT_NAME, A.OUT_DEPT_ID, "
      u"A.PAPER_EMR_STATUS, B.COMMIT_SERIAL, B.COMMIT_DATE, B.COMMIT_OPER_NAME, "
      u"B.COMMIT_OPER_ID, B.COMMIT_MEMO, B.ROLLBACK_DATE, B.ROLLBACK_OPER_NAME, "
      u"B.ROLLBACK_OPER_ID, B.ROLLBACK_MEMO, B.CHECKIN_DATE, B.CHECKIN_OPER_NAME, "
      u"B.CHECKIN_OPER_ID, B.CHECKIN_MEMO, B.SERIAL,A.EMR_STATUS FROM TELV_VISIT_RECORD A, "
      u"TELV_PAPER_CHECKIN_RECORD B, TELV_PATIENT C WHERE A.PATIENT_ID = C.ID AND A.OUT_TIME IS "
      u"NOT NULL AND A.OUT_DEPT_ID IS NOT NULL AND A.PATIENT_ID = B.PATIENT_ID(+) AND "
      u"A.EVENT_NO = B.EVENT_NO(+)");
  sql.append(conditions);
  sql.append(
      u")) WHERE 1=1 GROUP BY NAME, SEX, PATIENT_ID, EVENT_NO, DOCTOR_NAME, OUT_TIME, "
      u"OUT_DEPT_NAME, OUT_DEPT_ID, PAPER_EMR_STATUS, COMMIT_SERIAL, COMMIT_DATE, "
      u"COMMIT_OPER_NAME, COMMIT_OPER_ID, COMMIT_MEMO, ROLLBACK_DATE, ROLLBACK_OPER_NAME, "
      u" ROLLBACK_OPER_ID, ROLLBACK_MEMO, CHECKIN_DATE, CHECKIN_OPER_NAME, CHECKIN_OPER_ID, "
      u"CHECKIN_MEMO,EMR_STATUS ORDER BY COMMIT_DATE, COMMIT_SERIAL");
  return sql;
}

}  // namespace korvalis::archive

long CBPatientPaperMag::SearchPatientPMRList(CEMRDataSource* pDataSource, BSTR bstrSearchInfo,
                                             BSTR* pbstrPatientList) {
  using korvalis::archive::PaperRecordSearchNames;
  // A visit is known by its patient and visit number.
  static const std::vector<std::u16string> kVisitKey = {u"id", u"event_no"};
  pDataSource->QueryElements(korvalis::archive::PaperRecordSearchSql(
                                 *pDataSource->GetDBType(), korvalis::BstrView(bstrSearchInfo)),
                             PaperRecordSearchNames(), pbstrPatientList, kVisitKey);
  return 0;
}
