// Raw side: the statement the call runs, translated once, prepared once on raw SQLite with the
// provider's settings, one transaction a run, every column read as text.
//
// The department patient list of the grade tasks over a hospital of 10 departments with 2,000
// visits each (20,000 visits; another number from KORVALIS_BENCH_VISITS, e.g. 100000), every
// visit graded in its department's task by one of 20 QC users and every fourth also in a QC
// office task (which the list leaves out):
//   - QCTask.GetDeptQCPatientList of one department through IDispatch::Invoke, the whole call
//     (method frame, data source from telv.config.xml, statement, the user-property stand-in
//     created once and asked once per grader of the list, the list written by hand);
//   - its parts on their own in one run: the statement, translated once, on raw SQLite with
//     every column read as text, and one call of the user-property stand-in (created once)
//     per grader of the rows;
//   - the statement alone. Goal: the call within 1.5 times of it.
// The stand-ins are the suite's own library, registered in a registry of the benchmark's own
// and answering from the staff tables of the same database.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "bench/call_and_statement.h"
#include "classes/qc_task_class.h"
#include "foundation/data/db_type.h"
#include "foundation/suite/suite_interfaces.h"
#include "foundation/xml/xml_property.h"
#include "interface/emr_call_scope.h"
#include "platform/com/object_creation.h"
#include "platform/com/scoped_bstr.h"
#include "platform/db/catalog.h"
#include "platform/db/sql_translator.h"
#include "platform/text/unicode.h"
#include "quality/rules/grade_task_statements.h"
#include "suite/components.h"
#include "suite/sample_config.h"

namespace {

using korvalis::bench::CheckSqlite;

constexpr int kDepartments = 10;
const int kVisitsPerDepartment = [] {
  const char* given = std::getenv("KORVALIS_BENCH_VISITS");
  return given != nullptr && std::atoi(given) >= kDepartments ? std::atoi(given) / kDepartments
                                                                : 2000;
}();
constexpr int kGraders = 20;
constexpr char16_t kCondition[] = u"<root><dept_id>0101</dept_id></root>";
void Run(sqlite3_stmt* statement, sqlite3* db) { CheckSqlite(sqlite3_step(statement), db); }

void FillHospital(sqlite3* db) {
  sqlite3_stmt* staff = nullptr;
  sqlite3_stmt* task = nullptr;
  sqlite3_stmt* patient = nullptr;
  sqlite3_stmt* visit = nullptr;
  sqlite3_stmt* grade = nullptr;
  CheckSqlite(sqlite3_prepare_v2(db,
                                 "INSERT INTO TELV_STAFF_DICT (ID, NAME, SEX, TITLE_ID, WORK_KIND, "
                                 "VALID_FLAG) VALUES (?1, ?2, '女', '40', '40', '1')",
                                 -1, &staff, nullptr),
              db);
  CheckSqlite(sqlite3_prepare_v2(
                  db,
                  "INSERT INTO PEV_GRADE_TASK (ID, TITLE, CREATE_DATE, CREATOR_ID, CREATOR, "
                  "PHASE_TYPE, CONTENT_TYPE, OWNER_TYPE, STATUS, VALID, EXECUTOR_TYPE, CONTENT) "
                  "VALUES (?1, ?2, '2026-12-01 08:00:00', ?3, ?2, 1, 1, ?4, 1, 1, 1, ?2)",
                  -1, &task, nullptr),
              db);
  CheckSqlite(sqlite3_prepare_v2(db, "INSERT INTO TELV_PATIENT (ID, NAME, SEX) VALUES (?1, ?2, 1)",
                                 -1, &patient, nullptr),
              db);
  CheckSqlite(sqlite3_prepare_v2(
                  db,
                  "INSERT INTO TELV_VISIT_RECORD (PATIENT_ID, EVENT_NO, SERIAL_NO, IN_TIME, "
                  "NOW_DEPT_ID, NOW_DEPT_NAME, DOCTOR_NAME, EMR_STATUS, FORBID_FLAG) VALUES (?1, "
                  "?2, 1, '2026-11-20 08:00:00', ?3, '科室', '医生', 1, '0')",
                  -1, &visit, nullptr),
              db);
  CheckSqlite(sqlite3_prepare_v2(
                  db,
                  "INSERT INTO PEV_GRADE_PATIENT (TASK_ID, PATIENT_ID, EVENT_NO, STATUS, SCORE, "
                  "CLASS, USER_ID, EXECUTOR_ID, GRADE_DATE, ADD_DATE) VALUES (?1, ?2, ?3, 2, 90, "
                  "1, ?4, ?4, '2026-12-05 10:00:00', '2026-12-02 08:00:00')",
                  -1, &grade, nullptr),
              db);
  for (int g = 0; g < kGraders; ++g) {
    const std::string id = "Q" + std::to_string(g);
    const std::string name = "质控员" + std::to_string(g);
    sqlite3_bind_text(staff, 1, id.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(staff, 2, name.c_str(), -1, SQLITE_TRANSIENT);
    Run(staff, db);
    sqlite3_reset(staff);
  }
  const auto add_task = [&](const std::string& id, const std::string& creator, int owner_type) {
    sqlite3_bind_text(task, 1, id.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(task, 2, ("任务" + id).c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(task, 3, creator.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(task, 4, owner_type);
    Run(task, db);
    sqlite3_reset(task);
  };
  add_task("QC-OFFICE", "9001", 1);
  int graded = 0;
  for (int d = 0; d < kDepartments; ++d) {
    char dept[8];
    std::snprintf(dept, sizeof dept, "01%02d", d + 1);
    const std::string dept_task = std::string("DEPT-") + dept;
    add_task(dept_task, dept, 2);
    for (int v = 0; v < kVisitsPerDepartment; ++v, ++graded) {
      const std::string id = "P" + std::to_string(graded);
      const std::string grader = "Q" + std::to_string(graded % kGraders);
      sqlite3_bind_text(patient, 1, id.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(patient, 2, ("病人" + id).c_str(), -1, SQLITE_TRANSIENT);
      Run(patient, db);
      sqlite3_reset(patient);
      sqlite3_bind_text(visit, 1, id.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(visit, 2, "E1", -1, SQLITE_STATIC);
      sqlite3_bind_text(visit, 3, dept, -1, SQLITE_TRANSIENT);
      Run(visit, db);
      sqlite3_reset(visit);
      for (const std::string& task_id : {dept_task, std::string("QC-OFFICE")}) {
        if (task_id == "QC-OFFICE" && v % 4 != 0) continue;
        sqlite3_bind_text(grade, 1, task_id.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(grade, 2, id.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(grade, 3, "E1", -1, SQLITE_STATIC);
        sqlite3_bind_text(grade, 4, grader.c_str(), -1, SQLITE_TRANSIENT);
        Run(grade, db);
        sqlite3_reset(grade);
      }
    }
  }
  for (sqlite3_stmt* statement : {staff, task, patient, visit, grade}) sqlite3_finalize(statement);
}

// The hospital's database, with the suite's stand-ins registered in a registry beside it and
// configured to read their staff from it. Its directory is the process's current directory.
const korvalis::bench::BenchDatabase& TheHospital() {
  static const korvalis::bench::BenchDatabase database("korvalis-deptqc", FillHospital);
  static const bool registered = [] {
    const std::string directory = database.path().substr(0, database.path().rfind('/'));
    ::setenv("KORVALIS_REGISTRY", (directory + "/registry").c_str(), 1);
    korvalis::suite::WriteSuiteConfig(directory, "Provider=SQLite;Data Source=" + database.path(),
                                      false);
    using RegisterServer = HRESULT (*)();
    auto register_server = reinterpret_cast<RegisterServer>(
        korvalis::com::FindLibraryExport(KORVALIS_SUITE_MODULE, "DllRegisterServer", nullptr));
    return register_server != nullptr && register_server() == S_OK;
  }();
  if (!registered) std::abort();
  return database;
}

// The stand-in class that serves the user properties.
CLSID UserPropertyClass() {
  for (const korvalis::suite::StandInClass& stand_in : korvalis::suite::StandInClasses()) {
    if (*stand_in.iid == IID_IUserProperty) return stand_in.clsid;
  }
  std::abort();
}

void BM_GetDeptQCPatientListInvoke(benchmark::State& state) {
  TheHospital();
  korvalis::frame::InstallEMRCallScope();
  IDispatch* task = nullptr;
  if (CreateQCTask(nullptr, IID_IDispatch, reinterpret_cast<void**>(&task)) != S_OK) {
    state.SkipWithError("no QCTask object");
    return;
  }
  korvalis::bench::InvokeList(state, task, 12, {kCondition}, u"<item ", "visits");
  task->Release();
}

// The body's statement for kCondition, translated for `db`.
std::string TranslatedStatement(sqlite3* db) {
  CDBOracle oracle;
  return korvalis::db::Translate(korvalis::ToUtf8(korvalis::quality::DeptVisitStatement(
                                     oracle, CXmlProperty(kCondition))),
                                 *korvalis::db::Catalog::Load(db))
      .statements.back();
}

// The statement alone on raw SQLite.
void BM_StatementRawSqlite(benchmark::State& state) {
  korvalis::bench::RunRawStatement(state, TheHospital().path(), TranslatedStatement, true,
                                   "visits");
}

// The statement on raw SQLite, and the stand-in called with each row's grader.
void BM_StatementAndStandInCalls(benchmark::State& state) {
  TheHospital();
  sqlite3* db = nullptr;
  CheckSqlite(sqlite3_open_v2(TheHospital().path().c_str(), &db, SQLITE_OPEN_READWRITE, nullptr),
              db);
  CheckSqlite(korvalis::db::RegisterOracleFunctions(db), db);
  const std::string sql = TranslatedStatement(db);
  state.SetLabel(korvalis::bench::QueryPlan(db, sql));
  IUserProperty* users = nullptr;
  if (CoCreateInstance(UserPropertyClass(), nullptr, CLSCTX_INPROC_SERVER, IID_IUserProperty,
                       reinterpret_cast<void**>(&users)) != S_OK) {
    state.SkipWithError("no user-property stand-in");
    sqlite3_close(db);
    return;
  }
  std::size_t rows = 0;
  for (auto _ : state) {
    sqlite3_stmt* stmt = nullptr;
    CheckSqlite(sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr), db);
    const int columns = sqlite3_column_count(stmt);
    std::set<std::string> asked;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      ++rows;
      for (int c = 0; c < columns; ++c) benchmark::DoNotOptimize(sqlite3_column_text(stmt, c));
      const char* grader = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 6));
      const std::string grader_id = grader == nullptr ? "" : grader;
      if (!asked.insert(grader_id).second) continue;
      korvalis::com::ScopedBstr id(korvalis::FromUtf8(grader_id)), property;
      if (users->GetUserProperty(id.get(), property.out()) != S_OK) {
        state.SkipWithError("the stand-in failed");
        break;
      }
      benchmark::DoNotOptimize(property.get());
    }
    sqlite3_finalize(stmt);
  }
  users->Release();
  sqlite3_close(db);
  state.SetItemsProcessed(static_cast<int64_t>(rows));
  state.counters["visits"] =
      static_cast<double>(rows) / static_cast<double>(std::max<int64_t>(state.iterations(), 1));
}

BENCHMARK(BM_GetDeptQCPatientListInvoke)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StatementAndStandInCalls)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StatementRawSqlite)->Unit(benchmark::kMillisecond);

}  // namespace
