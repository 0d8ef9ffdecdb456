#include "archive/patient_search.h"

#include <exception>

#include "archive/archive_patient.h"
#include "archive/search_pieces.h"
#include "foundation/data/db_type.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/sql_conditions.h"
#include "foundation/data/sql_date.h"
#include "foundation/text/string_util.h"

namespace korvalis::archive {
namespace {

// The select list up to the two day counts that read the server time, between them, and after.
constexpr std::u16string_view kSelectHead =
    u"SELECT/*+rule*/ NAME, SEX, PATIENT_ID, EVENT_NO, BIRTHDAY, IN_TIME, OUT_TIME, "
    u"IN_DEPT_NAME, NOW_DEPT_NAME, OUT_DEPT_NAME, EMR_STATUS, COMMIT_TIME, ROLLBACK_TIME, "
    u"ARCHIVE_TIME, FORBID_FLAG, BED_NO, DOCTOR_NAME, REG_DOCTOR_ID, CODE_STATUS, CODE_DATE, "
    u"ROLLBACK_NOTES, TRUNC(";
constexpr std::u16string_view kSelectMiddle = u" - OUT_TIME), TRUNC(";
// The EMR probe stops at the first confirmed record of the visit.
constexpr std::u16string_view kSelectTail =
    u" - COMMIT_TIME), TRUNC(ARCHIVE_TIME - OUT_TIME), ARCHIVER, ARCHIVE_NOTES, EVENT_STATUS, "
    u"DECODE(V.ROLLBACKER, NULL, 1, 2) COMMIT_TIMES, RECTIFY_STATUS, V.COMMITER, V.COMMIT_NOTES, "
    u"(SELECT 1 FROM TELV_EMR_CONTENT A WHERE A.PATIENT_ID = V.PATIENT_ID AND "
    u"A.EVENT_NO = V.EVENT_NO AND A.STATUS = 1 AND ROWNUM = 1), ADMISSION_DEPT_TIME, CASE_NO "
    u"FROM TELV_VISIT_RECORD V, TELV_PATIENT W WHERE V.PATIENT_ID = W.ID";

// The pieces of the condition that stand bare in the statement, checked; empty when not given.
struct SqlPieces {
  std::u16string emr_status;   // emrtype
  std::u16string code_status;  // code
  std::u16string null_test;    // leavetime_span when it holds "null"
  std::u16string order_by;
  std::u16string row_limit;
};

// Refuses (search_pieces.h) a piece of any other form than those the search takes.
SqlPieces CheckedPieces(const SqlConditions& condition) {
  SqlPieces pieces;
  if (const std::u16string& emrtype = condition.Value(u"emrtype"); !emrtype.empty()) {
    pieces.emr_status = ConditionNumberList(u"emrtype", emrtype);
  }
  if (const std::u16string& code = condition.Value(u"code"); !code.empty()) {
    pieces.code_status = ConditionNumberList(u"code", code);
  }
  if (const std::u16string& leave = condition.Value(u"leavetime_span");
      leave.find(u"null") != std::u16string::npos) {
    pieces.null_test = ConditionNullTest(leave);
  }
  if (const std::u16string& orderby = condition.Value(u"orderby"); !orderby.empty()) {
    pieces.order_by = ConditionOrderBy(orderby);
  }
  if (const std::u16string& maxrow = condition.Value(u"maxrow"); !maxrow.empty()) {
    pieces.row_limit = ConditionRowLimit(maxrow);
  }
  return pieces;
}

// The statement of `condition`, whose conditions are written into it; `pieces` are its checked
// bare pieces.
std::u16string StatementOf(const CDBType& dialect, std::u16string_view now,
                           SqlConditions& condition, const SqlPieces& pieces) {
  condition.Contains(u"name", u"NAME");
  if (!condition.Value(u"eventno").empty()) {
    condition.Contains(u"eventno", u"EVENT_NO").Equals(u"patient_id", u"PATIENT_ID");
  }
  condition.Contains(u"doctor", u"DOCTOR_NAME");
  if (const std::u16string& type = condition.Value(u"patienttype");
      !type.empty() && type != u"99") {
    condition.And(u"RESIDENCE_FLAG=" + LongToString(StringToLong(type)));
  }
  condition.Equals(u"forbid_flag", u"FORBID_FLAG");
  if (!pieces.emr_status.empty()) condition.And(u"EMR_STATUS IN (" + pieces.emr_status + u")");
  condition.Equals(u"code_status", u"CODE_STATUS")
      .Equals(u"trans_status", u"EVENT_STATUS")
      .Equals(u"indept", u"IN_DEPT_ID")
      .Equals(u"leavedept", u"OUT_DEPT_ID")
      .Equals(u"nowdept", u"NOW_DEPT_ID")
      .HalfOpenSpan(u"intime_span", u"IN_TIME", dialect);
  // The leave time is a null test when the text names null, else a span.
  if (!pieces.null_test.empty()) {
    condition.And(u"OUT_TIME " + pieces.null_test);
  } else {
    condition.HalfOpenSpan(u"leavetime_span", u"OUT_TIME", dialect);
  }
  condition.HalfOpenSpan(u"commit_time_span", u"COMMIT_TIME", dialect)
      .HalfOpenSpan(u"archive_time_span", u"ARCHIVE_TIME", dialect)
      .Equals(u"forbid", u"FORBID_FLAG");
  if (!pieces.code_status.empty()) condition.And(u"CODE_STATUS IN (" + pieces.code_status + u")");
  condition.HalfOpenSpan(u"codedate", u"CODE_DATE", dialect)
      .Equals(u"caseno", u"CASE_NO")
      .Equals(u"paper_status", u"PAPER_EMR_STATUS");

  const std::u16string now_literal = SqlDateValue(dialect, now);
  std::u16string sql;
  sql.reserve(2048);
  sql.append(kSelectHead).append(now_literal).append(kSelectMiddle).append(now_literal);
  sql.append(kSelectTail).append(condition.Sql());

  // The visit's key decides between rows the client's order leaves tied, and orders the rows
  // when the client gives no order, so that every engine lists the same visits in the same
  // order and a cut keeps the same visits in every call.
  sql.append(u" ORDER BY ");
  if (!pieces.order_by.empty()) sql.append(pieces.order_by).append(u", ");
  sql.append(u"V.PATIENT_ID, V.EVENT_NO");
  if (!pieces.row_limit.empty()) {
    sql = u"SELECT * FROM (" + sql + u") WHERE ROWNUM < " + pieces.row_limit;
  }
  return sql;
}

}  // namespace

const std::vector<std::u16string>& PatientSearchNames() {
  // clang-format off
  static const std::vector<std::u16string>& names = *new std::vector<std::u16string>{
      u"patient", u"sex", u"id", u"eventno", u"birth", u"intime", u"leavetime", u"indept",
      u"nowdept", u"leavedept", u"status", u"committime", u"rollbacktime", u"archivetime",
      u"forbid", u"bed", u"doctor", u"doctorid", u"codestatus", u"codedate", u"rollbacknotes",
      u"leaveday", u"commitday", u"archiveday", u"archiver", u"archivernotes", u"eventstatus",
      u"commit_times", u"rectify_status", u"commiter", u"commit_notes", u"have_emr",
      u"admission_dept_time", u"case_no"};
  // clang-format on
  return names;
}

std::u16string PatientSearchSql(const CDBType& dialect, std::u16string_view now,
                                const CXmlProperty::Map& map) {
  SqlConditions condition(SqlConditions::Values(map.begin(), map.end()));
  const SqlPieces pieces = CheckedPieces(condition);
  return StatementOf(dialect, now, condition, pieces);
}

void SearchPatients(CEMRDataSource& data_source, const std::u16string& condition, BSTR* pbstrList) {
  // The pieces the condition places bare in the statement are checked before any statement
  // runs. A condition that is not XML still fails after the server time is read.
  CXmlProperty::Map map;
  std::exception_ptr not_xml;
  try {
    map = CXmlProperty(condition).GetMap();
  } catch (const CEMRException&) {
    not_xml = std::current_exception();
  }
  SqlConditions fields(SqlConditions::Values(map.begin(), map.end()));
  const SqlPieces pieces = CheckedPieces(fields);
  // The day counts are taken against the database server's clock.
  CDBType& dialect = *data_source.GetDBType();
  std::u16string now;
  data_source.QueryScalar(dialect.GetSysDateSql(), now);
  if (not_xml) std::rethrow_exception(not_xml);
  // A visit is known by its patient and visit number.
  static const std::vector<std::u16string>& kVisitKey =
      *new std::vector<std::u16string>{u"id", u"eventno"};
  data_source.QueryElements(StatementOf(dialect, now, fields, pieces), PatientSearchNames(),
                            pbstrList, kVisitKey);
}

}  // namespace korvalis::archive

long CBArchivePatient::SearchPatient(CEMRDataSource* pDataSource, BSTR bstrSearchInfo,
                                     BSTR* pbstrList) {
  korvalis::archive::SearchPatients(*pDataSource,
                                    std::u16string(korvalis::BstrView(bstrSearchInfo)), pbstrList);
  return 0;
}
