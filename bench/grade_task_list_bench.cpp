// Raw side: the statement the call runs, translated once, prepared once on raw SQLite with the
// provider's settings, one transaction a run, every column read as text.
//
// The grade task list over 1,000 tasks holding 100,000 visits (100 a task, dispatched to 40
// QC users in turn, one visit in ten not yet dispatched):
//   - QCTask.GetTaskList of one user through IDispatch::Invoke, the whole call (method frame,
//     data source from telv.config.xml, condition document, statement, the list written by
//     the DOM writer), every task with its three visit counts;
//   - the statement it runs, translated once, on raw SQLite: prepared, stepped and every
//     column read as text. Goal: the call within 1.3 times of it.
// The raw benchmark's label shows SQLite's plan: which index carries the per-task counts.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/call_and_statement.h"
#include "classes/qc_task_class.h"
#include "foundation/data/db_type.h"
#include "foundation/xml/xml_property.h"
#include "interface/emr_call_scope.h"
#include "platform/db/catalog.h"
#include "platform/db/sql_translator.h"
#include "platform/text/unicode.h"
#include "quality/rules/grade_task_statements.h"

namespace {

using korvalis::bench::CheckSqlite;

constexpr int kTasks = 1000;
constexpr int kVisitsPerTask = 100;
constexpr int kUsers = 40;
constexpr char16_t kCondition[] =
    u"<root><user_id>U7</user_id><executor_id>U7</executor_id></root>";

void FillTasks(sqlite3* db) {
  sqlite3_stmt* task = nullptr;
  sqlite3_stmt* visit = nullptr;
  CheckSqlite(
      sqlite3_prepare_v2(db,
                         "INSERT INTO PEV_GRADE_TASK (ID, TITLE, CREATE_DATE, CREATOR_ID, "
                         "CREATOR, PHASE_TYPE, CONTENT_TYPE, OWNER_TYPE, STATUS, VALID, "
                         "EXECUTOR_TYPE, CONTENT) VALUES (?1, ?2, ?3, '9001', '韩志强', 1, 1, "
                         "1, 1, 1, 0, '质控科抽查出院病历')",
                         -1, &task, nullptr),
      db);
  CheckSqlite(
      sqlite3_prepare_v2(db,
                         "INSERT INTO PEV_GRADE_PATIENT (TASK_ID, PATIENT_ID, EVENT_NO, "
                         "STATUS, EXECUTOR_ID, USER_ID, ADD_DATE) VALUES (?1, ?2, ?3, ?4, ?5, "
                         "?5, ?6)",
                         -1, &visit, nullptr),
      db);
  for (int t = 0; t < kTasks; ++t) {
    char id[40], date[32];
    std::snprintf(id, sizeof id, "7f1d2c3b-%04d-4a5b-8c6d-000000000000", t);
    std::snprintf(date, sizeof date, "20%02d-%02d-%02d 08:00:00", 24 + t / 365,
                  1 + t % 365 / 31 % 12, 1 + t % 28);
    const std::string title = "第" + std::to_string(t) + "期病历抽查";
    sqlite3_bind_text(task, 1, id, -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(task, 2, title.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(task, 3, date, -1, SQLITE_TRANSIENT);
    CheckSqlite(sqlite3_step(task), db);
    sqlite3_reset(task);
    for (int v = 0; v < kVisitsPerTask; ++v) {
      const int n = t * kVisitsPerTask + v;
      const std::string patient = "P" + std::to_string(n);
      const std::string user = "U" + std::to_string(n % kUsers);
      sqlite3_bind_text(visit, 1, id, -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(visit, 2, patient.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(visit, 3, "1", -1, SQLITE_STATIC);
      const bool dispatched = v % 10 != 0;
      sqlite3_bind_int(visit, 4, dispatched ? 1 : 0);
      if (dispatched) {
        sqlite3_bind_text(visit, 5, user.c_str(), -1, SQLITE_TRANSIENT);
      } else {
        sqlite3_bind_null(visit, 5);
      }
      sqlite3_bind_text(visit, 6, date, -1, SQLITE_TRANSIENT);
      CheckSqlite(sqlite3_step(visit), db);
      sqlite3_reset(visit);
    }
  }
  sqlite3_finalize(task);
  sqlite3_finalize(visit);
}

// The tasks' database; its directory is the process's current directory.
const korvalis::bench::BenchDatabase& TheTasks() {
  static const korvalis::bench::BenchDatabase tasks("korvalis-tasks", FillTasks);
  return tasks;
}

void BM_GetTaskListInvoke(benchmark::State& state) {
  TheTasks();
  korvalis::frame::InstallEMRCallScope();
  IDispatch* task = nullptr;
  if (CreateQCTask(nullptr, IID_IDispatch, reinterpret_cast<void**>(&task)) != S_OK) {
    state.SkipWithError("no QCTask object");
    return;
  }
  korvalis::bench::InvokeList(state, task, 5, {kCondition}, u"<item>", "tasks");
  task->Release();
}

void BM_GetTaskListRawSqlite(benchmark::State& state) {
  korvalis::bench::RunRawStatement(
      state, TheTasks().path(),
      [](sqlite3* db) {
        CDBOracle oracle;
        const std::u16string statement =
            korvalis::quality::TaskListStatement(oracle, CXmlProperty(kCondition));
        return korvalis::db::Translate(korvalis::ToUtf8(statement),
                                       *korvalis::db::Catalog::Load(db))
            .statements.back();
      },
      true, "tasks");
}

BENCHMARK(BM_GetTaskListInvoke)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetTaskListRawSqlite)->Unit(benchmark::kMillisecond);

}  // namespace
