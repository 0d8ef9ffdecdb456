// Raw side: the statement the call runs, translated once, prepared once on one SQLite connection
// with the provider's settings, one transaction a run, every column read as text.
//
// The archive patient lists over a hospital of 100,000 visits in 60 departments (three years of
// admissions, those of the last two weeks still in hospital, three records per visit; another
// number of visits from KORVALIS_BENCH_VISITS, e.g. 1000000):
//   - ArchivePatient.GetInPatientList of one department through IDispatch::Invoke, the whole
//     call (method frame, data source from telv.config.xml, server time, condition document,
//     statement, result document), against the statement it runs. Goal: within 1.2 times.
//   - the same call with a statement new to the database on every call (its end time changes),
//     as a client meets it once a second, the server time being part of the statement;
//   - GetAllInPatientList (every department) the same way, for the rows per second of a long list.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "archive/patient_search.h"
#include "bench/call_and_statement.h"
#include "bench/patient_hospital.h"
#include "classes/archive_patient_class.h"
#include "foundation/data/db_type.h"
#include "foundation/xml/xml_property.h"
#include "interface/emr_call_scope.h"
#include "platform/db/catalog.h"
#include "platform/db/sql_translator.h"
#include "platform/text/unicode.h"

namespace {

using korvalis::bench::CheckSqlite;

// The hospital's visits: KORVALIS_BENCH_VISITS, or 100,000.
const int kVisits = [] {
  const char* given = std::getenv("KORVALIS_BENCH_VISITS");
  return given != nullptr && std::atoi(given) > 0 ? std::atoi(given) : 100000;
}();

void FillHospital(sqlite3* db) { korvalis::bench::FillPatientHospital(db, kVisits); }

// The hospital's database; its directory is the process's current directory.
const korvalis::bench::BenchDatabase& TheHospital() {
  static const korvalis::bench::BenchDatabase hospital("korvalis-search", FillHospital);
  return hospital;
}

constexpr char16_t kDepartment[] = u"0101";
constexpr char16_t kStart[] = u"2026-11-01";
constexpr char16_t kEnd[] = u"2027-01-01";

// An end time after every admission of the hospital, a different one for each `n`.
std::u16string DistinctEndTime(long n) {
  char text[64];
  std::snprintf(text, sizeof text, "2027-01-%02ld %02ld:%02ld:%02ld", 1 + n / 86400 % 28,
                n / 3600 % 24, n / 60 % 60, n % 60);
  return korvalis::FromUtf8(text);
}

// Calls a list method through Invoke with BSTR arguments given in order; counts the patients.
// With `new_statement` the last argument, an end time, changes on every call, so that each
// call's statement is one the database has not met before.
void InvokeList(benchmark::State& state, DISPID dispid, std::vector<std::u16string> texts,
                bool new_statement = false) {
  TheHospital();
  korvalis::frame::InstallEMRCallScope();
  IDispatch* list = nullptr;
  if (CreateArchivePatient(nullptr, IID_IDispatch, reinterpret_cast<void**>(&list)) != S_OK) {
    state.SkipWithError("no ArchivePatient object");
    return;
  }
  std::function<void(long, std::vector<VARIANT>&)> new_end_time;
  if (new_statement) {
    new_end_time = [](long calls, std::vector<VARIANT>& arguments) {
      SysFreeString(arguments[0].bstrVal);
      arguments[0].bstrVal = korvalis::AllocBstr(DistinctEndTime(calls));
    };
  }
  korvalis::bench::InvokeList(state, list, dispid, texts, u"<patient ", "patients", new_end_time);
  list->Release();
}

// The search's statement for the condition, as the embedded provider translates it.
std::string TranslatedStatement(sqlite3* db, const CXmlProperty::Map& condition,
                                const std::string& now = korvalis::bench::Now()) {
  CDBOracle oracle;
  const std::u16string sql =
      korvalis::archive::PatientSearchSql(oracle, korvalis::FromUtf8(now), condition);
  korvalis::db::Translation translation =
      korvalis::db::Translate(korvalis::ToUtf8(sql), *korvalis::db::Catalog::Load(db));
  return translation.statements.back();
}

// The search's statement for the condition stepped on raw SQLite, prepared once.
void RawList(benchmark::State& state, const CXmlProperty::Map& condition) {
  korvalis::bench::RunRawStatement(
      state, TheHospital().path(),
      [&condition](sqlite3* db) { return TranslatedStatement(db, condition); }, true, "patients");
}

const CXmlProperty::Map kInPatientCondition = {{u"nowdept", kDepartment},
                                               {u"intime_span", u"2026-11-01|2027-01-01"},
                                               {u"leavetime_span", u"is null"},
                                               {u"patienttype", u"2"},
                                               {u"emrtype", u"1"}};
const CXmlProperty::Map kAllInPatientCondition = {{u"intime_span", u"2026-11-01|2027-01-01"},
                                                  {u"leavetime_span", u" is null "},
                                                  {u"patienttype", u"2"},
                                                  {u"emrtype", u"1"}};

void BM_GetInPatientListInvoke(benchmark::State& state) {
  InvokeList(state, 1, {kDepartment, kStart, kEnd});
}
void BM_GetInPatientListNewStatementInvoke(benchmark::State& state) {
  InvokeList(state, 1, {kDepartment, kStart, kEnd}, true);
}
void BM_GetInPatientListRawSqlite(benchmark::State& state) { RawList(state, kInPatientCondition); }
void BM_GetAllInPatientListInvoke(benchmark::State& state) { InvokeList(state, 2, {kStart, kEnd}); }
void BM_GetAllInPatientListRawSqlite(benchmark::State& state) {
  RawList(state, kAllInPatientCondition);
}

// SearchPatient with the empty condition: every visit of the hospital, 34 attributes each.
void BM_SearchPatientInvoke(benchmark::State& state) { InvokeList(state, 11, {u"<root/>"}); }

// The answer of the empty condition as a careful engineer writes it for SQLite, the day counts
// taken against the same server time; `now` is "YYYY-MM-DD HH:MM:SS".
std::string BestSearchStatement(const std::string& now) {
  const std::string days_since = "(unixepoch('" + now + "') - unixepoch(V.";
  return "SELECT W.NAME, W.SEX, V.PATIENT_ID, V.EVENT_NO, W.BIRTHDAY, V.IN_TIME, V.OUT_TIME, "
         "V.IN_DEPT_NAME, V.NOW_DEPT_NAME, V.OUT_DEPT_NAME, V.EMR_STATUS, V.COMMIT_TIME, "
         "V.ROLLBACK_TIME, V.ARCHIVE_TIME, V.FORBID_FLAG, V.BED_NO, V.DOCTOR_NAME, "
         "V.REG_DOCTOR_ID, V.CODE_STATUS, V.CODE_DATE, V.ROLLBACK_NOTES, " +
         days_since + "OUT_TIME)) / 86400, " + days_since +
         "COMMIT_TIME)) / 86400, (unixepoch(V.ARCHIVE_TIME) - unixepoch(V.OUT_TIME)) / 86400, "
         "V.ARCHIVER, V.ARCHIVE_NOTES, V.EVENT_STATUS, IIF(V.ROLLBACKER IS NULL OR V.ROLLBACKER "
         "= '', 1, 2), V.RECTIFY_STATUS, V.COMMITER, V.COMMIT_NOTES, (SELECT 1 FROM "
         "TELV_EMR_CONTENT A WHERE A.PATIENT_ID = V.PATIENT_ID AND A.EVENT_NO = V.EVENT_NO AND "
         "A.STATUS = 1 LIMIT 1), V.ADMISSION_DEPT_TIME, W.CASE_NO FROM TELV_VISIT_RECORD V JOIN "
         "TELV_PATIENT W ON W.ID = V.PATIENT_ID ORDER BY V.PATIENT_ID, V.EVENT_NO";
}

// Every row of `sql` as one text, NULL written apart from the empty text.
std::string RowsOf(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* stmt = nullptr;
  CheckSqlite(sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr), db);
  std::string rows;
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
      const unsigned char* text = sqlite3_column_text(stmt, c);
      rows += text == nullptr ? std::string("\x01") : reinterpret_cast<const char*>(text);
      rows += '\x02';
    }
    rows += '\n';
  }
  sqlite3_finalize(stmt);
  return rows;
}

// The best statement, once checked to give the rows of the call's statement in their order.
void BM_SearchPatientRawSqlite(benchmark::State& state) {
  korvalis::bench::RunRawStatement(
      state, TheHospital().path(),
      [](sqlite3* db) {
        const std::string now = korvalis::bench::Now();
        const std::string best = BestSearchStatement(now);
        if (RowsOf(db, best) != RowsOf(db, TranslatedStatement(db, {}, now))) std::abort();
        return best;
      },
      true, "patients");
}

BENCHMARK(BM_GetInPatientListInvoke)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GetInPatientListNewStatementInvoke)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GetInPatientListRawSqlite)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GetAllInPatientListInvoke)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GetAllInPatientListRawSqlite)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SearchPatientInvoke)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchPatientRawSqlite)->Unit(benchmark::kMillisecond);

}  // namespace
