// Raw side: the best SQLite statement for the same answer, written by hand: each visit's newest
// flow entry numbered by one window over the record flow alone, joined to the visits by key.
// (The flow has no key: a correlated MAX would list a visit twice when two entries share its
// newest number, so it is not the same answer.)
//
// The list of the paper check-in over an archive of 100,000 discharged visits in 60 departments,
// each with three entries in its record flow (committed, returned, committed again):
// ArchivePatient.SearchCheckinPatient with the empty condition through IDispatch::Invoke, the
// whole call (method frame, data source from telv.config.xml, condition document, statement,
// result document of every visit), against that statement prepared once on raw SQLite with the
// provider's connection settings, stepped and every column read as text. Goal: within 1.5 times.
// The label of the raw side shows its plan.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <string>

#include "bench/call_and_statement.h"
#include "bench/discharged_visits.h"
#include "classes/archive_patient_class.h"
#include "interface/emr_call_scope.h"

namespace {

using korvalis::bench::CheckSqlite;
using korvalis::bench::YearMinute;

constexpr int kVisits = 100000;
constexpr int kFlowEntriesPerVisit = 3;
constexpr DISPID kSearchCheckinPatient = 25;

// One patient and one discharged visit per index, each visit with its flow entries.
void FillArchive(sqlite3* db) {
  korvalis::bench::DischargedVisits visits(db);
  sqlite3_stmt* flow = nullptr;
  CheckSqlite(sqlite3_prepare_v2(db,
                                 "INSERT INTO TELV_EMR_FLOW_RECORD (PATIENT_ID, EVENT_NO, "
                                 "SERIAL_NO, OPERATOR, OPER_TIME, NEW_STATUS, MEMO) VALUES (?1, "
                                 "?2, ?3, ?4, ?5, ?6, ?7)",
                                 -1, &flow, nullptr),
              db);
  for (int i = 0; i < kVisits; ++i) {
    const auto [id, event_no, discharged] = visits.Add(i);
    // Committed, returned, committed again, a day apart.
    for (int serial = 1; serial <= kFlowEntriesPerVisit; ++serial) {
      const bool returned = serial % 2 == 0;
      sqlite3_bind_text(flow, 1, id.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(flow, 2, event_no.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_int(flow, 3, serial);
      sqlite3_bind_text(flow, 4, returned ? "马丽华" : "刘静怡", -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(flow, 5, YearMinute(discharged + serial * 24 * 60).c_str(), -1,
                        SQLITE_TRANSIENT);
      sqlite3_bind_int(flow, 6, returned ? 2 : 1);
      sqlite3_bind_text(flow, 7, returned ? "缺出院小结" : "提交", -1, SQLITE_TRANSIENT);
      CheckSqlite(sqlite3_step(flow), db);
      sqlite3_reset(flow);
    }
  }
  sqlite3_finalize(flow);
}

// The archive's database; its directory is the process's current directory.
const korvalis::bench::BenchDatabase& TheArchive() {
  static const korvalis::bench::BenchDatabase archive("korvalis-checkin", FillArchive);
  return archive;
}

void BM_SearchCheckinPatientInvoke(benchmark::State& state) {
  TheArchive();
  korvalis::frame::InstallEMRCallScope();
  IDispatch* archive = nullptr;
  if (CreateArchivePatient(nullptr, IID_IDispatch, reinterpret_cast<void**>(&archive)) != S_OK) {
    state.SkipWithError("no ArchivePatient object");
    return;
  }
  korvalis::bench::InvokeList(state, archive, kSearchCheckinPatient, {u""}, u"<patient ", "visits");
  archive->Release();
}

// The answer of the empty condition as a careful engineer writes it for SQLite.
constexpr char kBestStatement[] =
    "SELECT C.NAME, C.SEX, A.PATIENT_ID, A.EVENT_NO, A.IN_TIME, A.IN_DEPT_NAME, A.OUT_TIME, "
    "A.OUT_DEPT_NAME, A.EMR_STATUS, A.FORBID_FLAG, B.OPERATOR, B.OPER_TIME, B.NEW_STATUS, B.MEMO, "
    "B.LAST_SERIAL_NO FROM TELV_VISIT_RECORD A JOIN TELV_PATIENT C ON C.ID = A.PATIENT_ID LEFT "
    "JOIN (SELECT PATIENT_ID, EVENT_NO, OPERATOR, OPER_TIME, NEW_STATUS, MEMO, MAX(SERIAL_NO) OVER "
    "(PARTITION BY PATIENT_ID, EVENT_NO) LAST_SERIAL_NO, ROW_NUMBER() OVER (PARTITION BY "
    "PATIENT_ID, EVENT_NO ORDER BY SERIAL_NO DESC NULLS FIRST) NEWEST FROM TELV_EMR_FLOW_RECORD) B "
    "ON B.PATIENT_ID = A.PATIENT_ID AND B.EVENT_NO = A.EVENT_NO AND B.NEWEST = 1 WHERE +A.OUT_TIME "
    "IS NOT NULL AND A.OUT_DEPT_ID IS NOT NULL AND A.RESIDENCE_FLAG = 1 ORDER BY A.PATIENT_ID, "
    "A.EVENT_NO";

void BM_SearchCheckinPatientRawSqlite(benchmark::State& state) {
  korvalis::bench::RunRawStatement(
      state, TheArchive().path(), [](sqlite3*) { return std::string(kBestStatement); }, true,
      "visits", true);
}

BENCHMARK(BM_SearchCheckinPatientInvoke)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchCheckinPatientRawSqlite)->Unit(benchmark::kMillisecond);

}  // namespace
