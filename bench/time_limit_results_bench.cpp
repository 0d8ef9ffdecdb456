// Raw side: the statement the call runs, translated once, prepared once on raw SQLite with the
// provider's settings, one transaction a run, every column read as text.
//
// The time-limit QC list of one of 60 departments over 100,000 visits holding 300,000 rule
// instances (three a visit: closed by a record, open, and suspended) and 14,286 superior-
// signature deadlines (one visit in seven):
//   - QCCollector.GetQCList through IDispatch::Invoke, the whole call (method frame, data
//     source from telv.config.xml, condition document, statement, the list written by the DOM
//     writer), about 5,000 instances and 240 deadlines;
//   - the statement it runs, translated once, on raw SQLite: prepared, stepped and every
//     column read as text. Goal: the call within 1.2 times of it.
// The raw benchmark's label shows SQLite's plan: which indexes carry the department's visits
// and their instances.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <string>

#include "bench/call_and_statement.h"
#include "classes/qc_collector_class.h"
#include "foundation/data/db_type.h"
#include "foundation/xml/xml_property.h"
#include "interface/emr_call_scope.h"
#include "platform/db/catalog.h"
#include "platform/db/sql_translator.h"
#include "platform/text/unicode.h"
#include "quality/review/time_limit_statements.h"

namespace {

using korvalis::bench::CheckSqlite;

constexpr int kVisits = 100000;
constexpr int kDepartments = 60;
constexpr int kRules = 3;
constexpr char16_t kCondition[] = u"<root><dept_id>D07</dept_id></root>";

sqlite3_stmt* Prepare(sqlite3* db, const char* sql) {
  sqlite3_stmt* stmt = nullptr;
  CheckSqlite(sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr), db);
  return stmt;
}

void Step(sqlite3* db, sqlite3_stmt* stmt) {
  CheckSqlite(sqlite3_step(stmt), db);
  sqlite3_reset(stmt);
}

void Text(sqlite3_stmt* stmt, int at, const std::string& text) {
  sqlite3_bind_text(stmt, at, text.c_str(), -1, SQLITE_TRANSIENT);
}

void FillVisits(sqlite3* db) {
  CheckSqlite(sqlite3_exec(db,
                           "INSERT INTO PEV_STANDARD_ITEM (ID, STANDARD, POINT, STATUS) VALUES "
                           "(1, '书写超时', 2, 1);"
                           "INSERT INTO PEV_RULE (ID, NAME, POINT_ID, STATUS) VALUES "
                           "(1, '入院记录24小时内完成', 1, 1), (2, '首次病程记录8小时内完成', 1, "
                           "1), (3, '主治医师首次查房记录48小时内完成', NULL, 1)",
                           nullptr, nullptr, nullptr),
              db);
  sqlite3_stmt* patient =
      Prepare(db, "INSERT INTO TELV_PATIENT (ID, NAME, SEX) VALUES (?1, ?2, 1)");
  sqlite3_stmt* visit = Prepare(
      db,
      "INSERT INTO TELV_VISIT_RECORD (PATIENT_ID, EVENT_NO, IN_TIME, IN_DEPT_NAME, NOW_DEPT_ID, "
      "NOW_DEPT_NAME, BED_NO, DOCTOR_NAME, REG_DOCTOR_ID) VALUES (?1, ?2, ?3, '内科', ?4, '内科', "
      "'01', '刘静怡', '1002')");
  sqlite3_stmt* record = Prepare(
      db,
      "INSERT INTO TELV_EMR_CONTENT (ID, TITLE, PATIENT_ID, EVENT_NO, CATALOG_ID, EMR_TYPE, "
      "STATUS) VALUES (?1, '入院记录', ?2, ?3, 2, 2, 1)");
  sqlite3_stmt* instance = Prepare(
      db,
      "INSERT INTO PEV_TIME_RULE_RECORD (PATIENT_ID, EVENT_NO, SERIAL, RULE_ID, START_TIME, "
      "OVER_TIME, STATUS, EMR_TYPE, EMR_ID, FINISH_TIME, OVER_HOUR) VALUES (?1, ?2, ?3, ?3, ?4, "
      "?5, ?6, 2, ?7, ?8, ?9)");
  sqlite3_stmt* signature =
      Prepare(db,
              "INSERT INTO PEV_SUPERIOR_SIGN_REC (PATIENT_ID, EVENT_NO, RULE_ID, EMR_ID, STATUS, "
              "SIGN_START_TIME, SIGN_END_TIME) VALUES (?1, ?2, 1, ?3, 1, ?4, ?5)");
  for (int n = 0; n < kVisits; ++n) {
    char in_time[32], deadline[32], dept[8];
    std::snprintf(in_time, sizeof in_time, "2026-%02d-%02d 08:00:00", 1 + n % 12, 1 + n % 28);
    std::snprintf(deadline, sizeof deadline, "2026-%02d-%02d 20:00:00", 1 + n % 12, 2 + n % 27);
    std::snprintf(dept, sizeof dept, "D%02d", n % kDepartments);
    const std::string patient_id = "P" + std::to_string(n);
    const std::string event_no = std::to_string(2026000000 + n);
    const std::string record_id = "R" + std::to_string(n);
    Text(patient, 1, patient_id);
    Text(patient, 2, "病人" + std::to_string(n));
    Step(db, patient);
    Text(visit, 1, patient_id);
    Text(visit, 2, event_no);
    Text(visit, 3, in_time);
    Text(visit, 4, dept);
    Step(db, visit);
    Text(record, 1, record_id);
    Text(record, 2, patient_id);
    Text(record, 3, event_no);
    Step(db, record);
    for (int serial = 1; serial <= kRules; ++serial) {
      const int status = serial == 1 ? 2 : serial == 2 ? 1 : 3;
      Text(instance, 1, patient_id);
      Text(instance, 2, event_no);
      sqlite3_bind_int(instance, 3, serial);
      Text(instance, 4, in_time);
      Text(instance, 5, deadline);
      sqlite3_bind_int(instance, 6, status);
      if (status == 2) {
        Text(instance, 7, record_id);
        Text(instance, 8, in_time);
        sqlite3_bind_int(instance, 9, n % 3);
      } else {
        for (int at : {7, 8, 9}) sqlite3_bind_null(instance, at);
      }
      Step(db, instance);
    }
    if (n % 7 == 0) {
      Text(signature, 1, patient_id);
      Text(signature, 2, event_no);
      Text(signature, 3, record_id);
      Text(signature, 4, in_time);
      Text(signature, 5, deadline);
      Step(db, signature);
    }
  }
  for (sqlite3_stmt* stmt : {patient, visit, record, instance, signature}) sqlite3_finalize(stmt);
}

// The visits' database; its directory is the process's current directory.
const korvalis::bench::BenchDatabase& TheVisits() {
  static const korvalis::bench::BenchDatabase visits("korvalis-qc-results", FillVisits);
  return visits;
}

void BM_GetQCListInvoke(benchmark::State& state) {
  TheVisits();
  korvalis::frame::InstallEMRCallScope();
  IDispatch* collector = nullptr;
  if (CreateQCCollector(nullptr, IID_IDispatch, reinterpret_cast<void**>(&collector)) != S_OK) {
    state.SkipWithError("no QCCollector object");
    return;
  }
  korvalis::bench::InvokeList(state, collector, 4, {kCondition}, u"<patient_name ", "rows");
  collector->Release();
}

void BM_GetQCListRawSqlite(benchmark::State& state) {
  korvalis::bench::RunRawStatement(
      state, TheVisits().path(),
      [](sqlite3* db) {
        // The settings the provider gives every connection: the same page cache, memory map and
        // temporary store for the UNION's B-tree on both sides.
        CheckSqlite(sqlite3_exec(db,
                                 "PRAGMA cache_size=-16384; PRAGMA mmap_size=268435456; "
                                 "PRAGMA temp_store=MEMORY; PRAGMA case_sensitive_like=ON",
                                 nullptr, nullptr, nullptr),
                    db);
        CDBOracle oracle;
        const std::u16string statement =
            korvalis::review::QcListStatement(oracle, CXmlProperty(kCondition));
        return korvalis::db::Translate(korvalis::ToUtf8(statement),
                                       *korvalis::db::Catalog::Load(db))
            .statements.back();
      },
      true, "rows");
}

BENCHMARK(BM_GetQCListInvoke)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetQCListRawSqlite)->Unit(benchmark::kMillisecond);

}  // namespace
