// Raw sides: the statements the calls run, translated once (the search) or written for SQLite
// (the list), prepared once on raw SQLite with the provider's settings, one transaction a run,
// every column read as text.
//
// The final QC over 100,000 visits discharged in November in 60 departments (one visit in 50
// already in the task):
//   - TerminalQCPatient.SearchPatient through IDispatch::Invoke drawing 10 visits of each
//     department, the whole call (method frame, data source, condition, statement, the list
//     written by the element query), against its statement. Goal: within 1.2 times.
//   - TerminalQCPatient.GetPatientList of the task (its 2,000 visits grouped by department, with
//     whether each was scored) against its grouping statement. Goal: within 1.5 times.
// The raw benchmarks' labels show SQLite's plans.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <string>

#include "bench/call_and_statement.h"
#include "classes/terminal_qc_patient_class.h"
#include "foundation/data/db_type.h"
#include "foundation/xml/xml_property.h"
#include "interface/emr_call_scope.h"
#include "platform/db/catalog.h"
#include "platform/db/sql_translator.h"
#include "platform/text/unicode.h"
#include "quality/rules/terminal_qc_patient.h"

namespace {

using korvalis::bench::CheckSqlite;

constexpr int kVisits = 100000;
constexpr int kDepts = 60;
constexpr DISPID kGetPatientList = 3;
constexpr DISPID kSearchPatient = 5;

std::string DeptId(int d) {
  char id[12];
  std::snprintf(id, sizeof id, "%04d", 1000 + d);
  return id;
}

std::u16string Condition() {
  std::string depts;
  for (int d = 0; d < kDepts; ++d) depts += (d == 0 ? "" : ",") + DeptId(d);
  return korvalis::FromUtf8(
      "<root><begin_date>2026-11-01</begin_date><end_date>2026-11-30</end_date>"
      "<task_id>1</task_id><patient_per_dept>10</patient_per_dept><dept_id>" +
      depts + "</dept_id></root>");
}

void FillVisits(sqlite3* db) {
  CheckSqlite(sqlite3_exec(db,
                           "INSERT INTO PEV_TASK_RECORD (ID, TITLE, STATUS) VALUES (1, '终末质控', "
                           "2); INSERT INTO PEV_FINAL_DEPT_RECORD (ID, DEPT_ID, DEPT_NAME, "
                           "QCTASK_ID, STATUS) VALUES (1, '1000', '科室', 1, 1)",
                           nullptr, nullptr, nullptr),
              db);
  sqlite3_stmt* patient = nullptr;
  sqlite3_stmt* visit = nullptr;
  sqlite3_stmt* assigned = nullptr;
  CheckSqlite(sqlite3_prepare_v2(db, "INSERT INTO TELV_PATIENT (ID, NAME, SEX) VALUES (?1, ?2, 1)",
                                 -1, &patient, nullptr),
              db);
  CheckSqlite(sqlite3_prepare_v2(
                  db,
                  "INSERT INTO TELV_VISIT_RECORD (PATIENT_ID, EVENT_NO, SERIAL_NO, NOW_DEPT_ID, "
                  "NOW_DEPT_NAME, DOCTOR_NAME, IN_TIME, OUT_TIME) VALUES (?1, '1', 1, ?2, ?3, "
                  "'主治医师', '2026-10-20 08:00:00', ?4)",
                  -1, &visit, nullptr),
              db);
  CheckSqlite(sqlite3_prepare_v2(db,
                                 "INSERT INTO PEV_FINAL_PATIENT_RECORD (PATIENT_ID, EVENT_NO, ID, "
                                 "TOTAL_POINT, EMR_LEVEL, STATUS) VALUES (?1, '1', 1, 100, 1, 1)",
                                 -1, &assigned, nullptr),
              db);
  for (int n = 0; n < kVisits; ++n) {
    const std::string id = "P" + std::to_string(n), name = "病人" + std::to_string(n);
    const std::string dept = DeptId(n % kDepts), dept_name = "科室" + dept;
    char out[32];
    std::snprintf(out, sizeof out, "2026-11-%02d %02d:00:00", 1 + n % 30, n % 24);
    sqlite3_bind_text(patient, 1, id.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(patient, 2, name.c_str(), -1, SQLITE_TRANSIENT);
    CheckSqlite(sqlite3_step(patient), db);
    sqlite3_reset(patient);
    sqlite3_bind_text(visit, 1, id.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(visit, 2, dept.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(visit, 3, dept_name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(visit, 4, out, -1, SQLITE_TRANSIENT);
    CheckSqlite(sqlite3_step(visit), db);
    sqlite3_reset(visit);
    if (n % 50 == 0) {
      sqlite3_bind_text(assigned, 1, id.c_str(), -1, SQLITE_TRANSIENT);
      CheckSqlite(sqlite3_step(assigned), db);
      sqlite3_reset(assigned);
    }
  }
  sqlite3_finalize(patient);
  sqlite3_finalize(visit);
  sqlite3_finalize(assigned);
}

// The visits' database; its directory is the process's current directory.
const korvalis::bench::BenchDatabase& TheVisits() {
  static const korvalis::bench::BenchDatabase visits("korvalis-final-qc", FillVisits);
  return visits;
}

// Calls method `dispid` of a TerminalQCPatient object with its one argument once per iteration.
void InvokeFinalQc(benchmark::State& state, DISPID dispid, const std::u16string& argument) {
  TheVisits();
  korvalis::frame::InstallEMRCallScope();
  IDispatch* final_qc = nullptr;
  if (CreateTerminalQCPatient(nullptr, IID_IDispatch, reinterpret_cast<void**>(&final_qc)) !=
      S_OK) {
    state.SkipWithError("no TerminalQCPatient object");
    return;
  }
  korvalis::bench::InvokeList(state, final_qc, dispid, {argument}, u"<patient ", "visits");
  final_qc->Release();
}

void BM_SearchPatientInvoke(benchmark::State& state) {
  InvokeFinalQc(state, kSearchPatient, Condition());
}

void BM_SearchPatientRawSqlite(benchmark::State& state) {
  korvalis::bench::RunRawStatement(
      state, TheVisits().path(),
      [](sqlite3* db) {
        CDBOracle oracle;
        const std::u16string statement =
            korvalis::quality::FinalQcSearchStatement(oracle, CXmlProperty(Condition()));
        return korvalis::db::Translate(korvalis::ToUtf8(statement),
                                       *korvalis::db::Catalog::Load(db))
            .statements.back();
      },
      true, "visits", true);
}

// The task's visits with their deductions counted, grouped and ordered by department.
constexpr char kPatientListStatement[] =
    "SELECT A.NAME, B.PATIENT_ID, B.EVENT_NO, B.EMR_LEVEL, B.TOTAL_POINT, C.DEPT_NAME, C.DEPT_ID, "
    "B.STATUS, A.SEX, COUNT(D.POINT_ITEM_ID) FROM TELV_PATIENT A JOIN PEV_FINAL_PATIENT_RECORD B "
    "ON A.ID = B.PATIENT_ID JOIN PEV_FINAL_DEPT_RECORD C ON B.ID = C.ID LEFT JOIN "
    "PEV_FINAL_ITEM_RECORD D ON B.PATIENT_ID = D.PATIENT_ID AND B.EVENT_NO = D.EVENT_NO AND B.ID "
    "= D.ID WHERE C.QCTASK_ID = 1 GROUP BY A.NAME, B.PATIENT_ID, B.EVENT_NO, B.EMR_LEVEL, "
    "B.TOTAL_POINT, C.DEPT_NAME, C.DEPT_ID, B.STATUS, A.SEX ORDER BY C.DEPT_NAME NULLS LAST";

void BM_GetPatientListInvoke(benchmark::State& state) {
  InvokeFinalQc(state, kGetPatientList, u"1");
}

void BM_GetPatientListRawSqlite(benchmark::State& state) {
  korvalis::bench::RunRawStatement(
      state, TheVisits().path(), [](sqlite3*) { return std::string(kPatientListStatement); }, true,
      "visits", true);
}

BENCHMARK(BM_SearchPatientInvoke)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchPatientRawSqlite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetPatientListInvoke)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetPatientListRawSqlite)->Unit(benchmark::kMillisecond);

}  // namespace
