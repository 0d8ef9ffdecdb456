// Raw side: the best SQLite statement for the answer, written by hand: the visits read in the
// table's order, each visit's newest hand-over row found by its key (a correlated MAX), one sort.
//
// The paper-record search over an archive of 100,000 discharged visits in 60 departments, each
// with three hand-over log rows (committed and returned, committed again and returned, committed
// and signed in): PatientPaperMag.SearchPatientPMRList with the empty condition through
// IDispatch::Invoke, the whole call (method frame, data source from telv.config.xml, condition
// document, statement, result document of every visit), against that statement prepared once on
// raw SQLite with the provider's connection settings, stepped and every column read as text.
// Goal: within 1.5 times. The label of the raw side shows its plan.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <string>

#include "bench/call_and_statement.h"
#include "bench/discharged_visits.h"
#include "classes/patient_paper_mag_class.h"
#include "interface/emr_call_scope.h"

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

// The answer of the empty condition as a careful engineer writes it for SQLite.
constexpr char kBestStatement[] =
    "SELECT C.NAME, C.SEX, A.PATIENT_ID, A.EVENT_NO, A.DOCTOR_NAME, A.OUT_TIME, A.OUT_DEPT_NAME, "
    "A.OUT_DEPT_ID, A.PAPER_EMR_STATUS, B.COMMIT_SERIAL, B.COMMIT_DATE, B.COMMIT_OPER_NAME, "
    "B.COMMIT_OPER_ID, B.COMMIT_MEMO, B.ROLLBACK_DATE, B.ROLLBACK_OPER_NAME, B.ROLLBACK_OPER_ID, "
    "B.ROLLBACK_MEMO, B.CHECKIN_DATE, B.CHECKIN_OPER_NAME, B.CHECKIN_OPER_ID, B.CHECKIN_MEMO, "
    "B.SERIAL, A.EMR_STATUS FROM TELV_VISIT_RECORD A NOT INDEXED JOIN TELV_PATIENT C ON C.ID = "
    "A.PATIENT_ID LEFT JOIN TELV_PAPER_CHECKIN_RECORD B ON B.PATIENT_ID = A.PATIENT_ID AND "
    "B.EVENT_NO = A.EVENT_NO AND B.SERIAL = (SELECT MAX(L.SERIAL) FROM TELV_PAPER_CHECKIN_RECORD L "
    "WHERE L.PATIENT_ID = A.PATIENT_ID AND L.EVENT_NO = A.EVENT_NO) WHERE A.OUT_TIME IS NOT NULL "
    "AND A.OUT_DEPT_ID IS NOT NULL ORDER BY B.COMMIT_DATE NULLS LAST, B.COMMIT_SERIAL NULLS LAST, "
    "A.PATIENT_ID, A.EVENT_NO";

void BM_SearchPatientPMRListRawSqlite(benchmark::State& state) {
  korvalis::bench::RunRawStatement(
      state, TheArchive().path(), [](sqlite3*) { return std::string(kBestStatement); }, true,
      "visits", true);
}

BENCHMARK(BM_SearchPatientPMRListInvoke)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchPatientPMRListRawSqlite)->Unit(benchmark::kMillisecond);

}  // namespace
