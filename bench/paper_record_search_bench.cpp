// The paper-record search over an archive of 100,000 discharged visits in 60 departments, each
// with three hand-over log rows (committed and returned, committed again and returned, committed
// and signed in):
//   - PatientPaperMag.SearchPatientPMRList with the empty condition through IDispatch::Invoke,
//     the whole call (method frame, data source from telv.config.xml, condition document,
//     statement, result document of every visit), against the statement it runs (each visit's
//     newest log row found by its key, the best statement we know for the answer), translated
//     once, on raw SQLite with the provider's connection settings: prepared, stepped and every
//     column read as text. Goal: within 1.5 times.
// The label of the raw side shows the plan, and with it the index that carries the outer join
// to the log.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <string>

#include "archive/paper_record_search.h"
#include "bench/call_and_statement.h"
#include "bench/discharged_visits.h"
#include "com/patient_paper_mag.h"
#include "foundation/db_type.h"
#include "interface/emr_call_scope.h"
#include "platform/db/catalog.h"
#include "platform/db/sql_translator.h"
#include "platform/text/unicode.h"

namespace {

using korvalis::bench::CheckSqlite;
using korvalis::bench::YearMinute;

constexpr int kVisits = 100000;
constexpr int kRowsPerVisit = 3;
constexpr char16_t kEmptyCondition[] = u"<root/>";

// One patient and one discharged visit per index, each visit with its three log rows; the
// visits' commit dates are spread over the year, not in the order of their numbers.
void FillArchive(sqlite3* db) {
  korvalis::bench::DischargedVisits visits(db);
  sqlite3_stmt* row = nullptr;
  CheckSqlite(
      sqlite3_prepare_v2(
          db,
          "INSERT INTO TELV_PAPER_CHECKIN_RECORD (PATIENT_ID, EVENT_NO, SERIAL, COMMIT_SERIAL, "
          "COMMIT_DATE, OLD_PAPER_STATUS, COMMIT_OPER_NAME, COMMIT_OPER_ID, COMMIT_MEMO, "
          "ROLLBACK_DATE, ROLLBACK_OPER_NAME, ROLLBACK_OPER_ID, ROLLBACK_MEMO, CHECKIN_DATE, "
          "CHECKIN_OPER_NAME, CHECKIN_OPER_ID, CHECKIN_MEMO) VALUES (?1, ?2, ?3, ?4, ?5, 1, "
          "'刘静怡', '1002', ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14)",
          -1, &row, nullptr),
      db);
  for (int i = 0; i < kVisits; ++i) {
    const auto [id, event_no, discharged] = visits.Add(i);
    for (int serial = 1; serial <= kRowsPerVisit; ++serial) {
      const long committed = discharged + serial * 2 * 24 * 60;
      const bool signed_in = serial == kRowsPerVisit;
      const std::string memo = "第" + std::to_string(serial) + "次提交";
      sqlite3_bind_text(row, 1, id.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(row, 2, event_no.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_int(row, 3, serial);
      sqlite3_bind_int(row, 4, serial == 1 ? 1000 + i : serial);
      sqlite3_bind_text(row, 5, YearMinute(committed).c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(row, 6, memo.c_str(), -1, SQLITE_TRANSIENT);
      // The return's columns (7 to 10) or the sign-in's (11 to 14), a day after the commit.
      const int first = signed_in ? 11 : 7;
      for (int column = 7; column <= 14; ++column) sqlite3_bind_null(row, column);
      sqlite3_bind_text(row, first, YearMinute(committed + 24 * 60).c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(row, first + 1, "马丽华", -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(row, first + 2, "9003", -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(row, first + 3, signed_in ? "完整" : "缺出院小结", -1, SQLITE_TRANSIENT);
      CheckSqlite(sqlite3_step(row), db);
      sqlite3_reset(row);
    }
  }
  sqlite3_finalize(row);
}

// The archive's database; its directory is the process's current directory.
const korvalis::bench::BenchDatabase& TheArchive() {
  static const korvalis::bench::BenchDatabase archive("korvalis-paper", FillArchive);
  return archive;
}

void BM_SearchPatientPMRListInvoke(benchmark::State& state) {
  TheArchive();
  korvalis::frame::InstallEMRCallScope();
  IDispatch* paper = nullptr;
  if (CreatePatientPaperMag(nullptr, IID_IDispatch, reinterpret_cast<void**>(&paper)) != S_OK) {
    state.SkipWithError("no PatientPaperMag object");
    return;
  }
  korvalis::bench::InvokeList(state, paper, 1, {kEmptyCondition}, u"<patient ", "visits");
  paper->Release();
}

// The search's statement for the empty condition, translated for `db` as the provider does.
std::string TranslatedStatement(sqlite3* db) {
  const CDBOracle oracle;
  return korvalis::db::Translate(
             korvalis::ToUtf8(korvalis::archive::PaperRecordSearchSql(oracle, kEmptyCondition)),
             *korvalis::db::Catalog::Load(db))
      .statements.back();
}

void BM_SearchPatientPMRListRawSqlite(benchmark::State& state) {
  korvalis::bench::RunRawStatement(state, TheArchive().path(), TranslatedStatement, false, "visits",
                                   true);
}

BENCHMARK(BM_SearchPatientPMRListInvoke)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchPatientPMRListRawSqlite)->Unit(benchmark::kMillisecond);

}  // namespace
