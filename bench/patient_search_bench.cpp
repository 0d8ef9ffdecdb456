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
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "archive/patient_search.h"
#include "bench/call_and_statement.h"
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
constexpr int kDepartments = 60;
constexpr int kRecordsPerVisit = 3;
constexpr int kDays = 1070;          // admissions from 2024-01-01 to 2026-12-05
constexpr int kInHospitalDays = 14;  // admitted this recently: not yet discharged

std::string Department(int i) {
  char code[8];
  std::snprintf(code, sizeof code, "%04d", 101 + i % kDepartments);
  return code;
}

// "YYYY-MM-DD HH:MM:SS" of day `day` after 2024-01-01 and `hour`.
std::string Date(int day, int hour) {
  static const int kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int year = 2024, month = 0;
  for (;;) {
    int length = kMonthDays[month] + (month == 1 && year % 4 == 0 ? 1 : 0);
    if (day < length) break;
    day -= length;
    if (++month == 12) month = 0, ++year;
  }
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:00:00", year, month + 1, day + 1, hour);
  return text;
}

// Visits in admission order spread over the departments, one patient each.
void FillHospital(sqlite3* db) {
  sqlite3_stmt* patient = nullptr;
  sqlite3_stmt* visit = nullptr;
  sqlite3_stmt* record = nullptr;
  CheckSqlite(sqlite3_prepare_v2(db,
                                 "INSERT INTO TELV_PATIENT (ID, NAME, SEX, BIRTHDAY, CASE_NO) "
                                 "VALUES (?1, ?2, ?3, '1960-05-01 00:00:00', ?1)",
                                 -1, &patient, nullptr),
              db);
  CheckSqlite(
      sqlite3_prepare_v2(
          db,
          "INSERT INTO TELV_VISIT_RECORD (PATIENT_ID, EVENT_NO, SERIAL_NO, IN_TIME, "
          "IN_DEPT_ID, IN_DEPT_NAME, NOW_DEPT_ID, NOW_DEPT_NAME, BED_NO, OUT_TIME, OUT_DEPT_ID, "
          "OUT_DEPT_NAME, DOCTOR_NAME, REG_DOCTOR_ID, RESIDENCE_FLAG, EVENT_STATUS, EMR_STATUS, "
          "FORBID_FLAG, PAPER_EMR_STATUS, COMMIT_TIME, ADMISSION_DEPT_TIME) VALUES (?1, ?2, 1, "
          "?3, ?4, '内科', ?4, '内科', ?5, ?6, ?7, ?8, '刘静怡', '1002', 2, 1, ?9, '0', 0, "
          "?10, ?3)",
          -1, &visit, nullptr),
      db);
  CheckSqlite(
      sqlite3_prepare_v2(db,
                         "INSERT INTO TELV_EMR_CONTENT (ID, PATIENT_ID, EVENT_NO, CATALOG_ID, "
                         "TEMPLATE_ID, EMR_TYPE, TITLE, CREATE_DATE, STATUS) VALUES (?1, ?2, "
                         "?3, 2, 2, 2, '病程记录', ?4, ?5)",
                         -1, &record, nullptr),
      db);
  for (int i = 0; i < kVisits; ++i) {
    const std::string id = "P" + std::to_string(i);
    const std::string event_no = "E" + std::to_string(i);
    const std::string dept = Department(i);
    const int day = static_cast<int>(static_cast<long long>(i) * kDays / kVisits);
    const bool in_hospital = day >= kDays - kInHospitalDays;
    const std::string in_time = Date(day, 9);
    const std::string out_time = Date(day + 8, 10);
    const std::string name = "病人" + std::to_string(i);
    sqlite3_bind_text(patient, 1, id.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(patient, 2, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(patient, 3, i % 2);
    CheckSqlite(sqlite3_step(patient), db);
    sqlite3_reset(patient);

    sqlite3_bind_text(visit, 1, id.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(visit, 2, event_no.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(visit, 3, in_time.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(visit, 4, dept.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(visit, 5, std::to_string(i % 40 + 1).c_str(), -1, SQLITE_TRANSIENT);
    for (int column : {6, 7, 8, 10}) sqlite3_bind_null(visit, column);
    if (!in_hospital) {
      sqlite3_bind_text(visit, 6, out_time.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(visit, 7, dept.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(visit, 8, "内科", -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(visit, 10, Date(day + 10, 16).c_str(), -1, SQLITE_TRANSIENT);
    }
    sqlite3_bind_int(visit, 9, in_hospital ? 1 : (i % 10 == 0 ? 1 : 2));
    CheckSqlite(sqlite3_step(visit), db);
    sqlite3_reset(visit);

    for (int r = 0; r < kRecordsPerVisit; ++r) {
      const std::string record_id = event_no + "-" + std::to_string(r);
      sqlite3_bind_text(record, 1, record_id.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(record, 2, id.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(record, 3, event_no.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(record, 4, Date(day, 11 + r).c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_int(record, 5, r == 0 && i % 3 == 0 ? 0 : 1);
      CheckSqlite(sqlite3_step(record), db);
      sqlite3_reset(record);
    }
  }
  sqlite3_finalize(patient);
  sqlite3_finalize(visit);
  sqlite3_finalize(record);
}

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
std::string TranslatedStatement(sqlite3* db, const CXmlProperty::Map& condition) {
  char now[24];
  std::time_t t = std::time(nullptr);
  std::strftime(now, sizeof now, "%Y-%m-%d %H:%M:%S", std::localtime(&t));
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

BENCHMARK(BM_GetInPatientListInvoke)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GetInPatientListNewStatementInvoke)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GetInPatientListRawSqlite)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GetAllInPatientListInvoke)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GetAllInPatientListRawSqlite)->Unit(benchmark::kMicrosecond);

}  // namespace
