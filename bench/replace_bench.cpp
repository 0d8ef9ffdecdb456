// REPLACE whose replacement is longer than what it replaces, two million calls on short texts
// ('胸痛' || n to '胸部疼痛', '3' || n to '三'), called straight on an embedded connection: the
// function as registered today beside the same function as it was built before functions read
// their texts in place and built their results in SQLite's memory (copies of the texts, a
// result copied once more to SQLite) and registered as it was then, so that both run in one
// process on one machine.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <string>

#include "platform/db/oracle_functions.h"
#include "platform/db/sql_function_support.h"

namespace {

using namespace korvalis::db;
using namespace korvalis::db::functions;

// The function as it was built before.
void CopyingReplace(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  std::string s = AsText(argv[0]);
  if (IsNull(argv[1])) return ResultText(ctx, s);
  std::string from = AsText(argv[1]);
  std::string to = argc > 2 && !IsNull(argv[2]) ? AsText(argv[2]) : std::string();
  if (from.empty()) return ResultText(ctx, s);
  std::string out;
  size_t at = 0;
  for (;;) {
    size_t found = s.find(from, at);
    if (found == std::string::npos) break;
    out.append(s, at, found - at);
    out.append(to);
    at = found + from.size();
  }
  out.append(s, at, std::string::npos);
  ResultText(ctx, out);
}

// Its registration then: the body alone, its failure reported.
void CopyingReplaceGuarded(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  try {
    CopyingReplace(ctx, argc, argv);
  } catch (const FunctionError& e) {
    sqlite3_result_error(ctx, e.message.c_str(), -1);
  }
}

void Run(benchmark::State& state, const char* function, const char* from, const char* to) {
  sqlite3* db = nullptr;
  sqlite3_open(":memory:", &db);
  RegisterEmbeddedFunctions(db);
  sqlite3_create_function_v2(db, "copying_replace", -1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                             CopyingReplaceGuarded, nullptr, nullptr, nullptr);
  const std::string sql = std::string("WITH RECURSIVE N(I) AS (SELECT 1 UNION ALL SELECT I + 1 FROM N "
                                      "WHERE I < 2000000) SELECT SUM(LENGTH(") +
                          function + "('" + from + "' || I, '" + from + "', '" + to + "'))) FROM N";
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
  int64_t total = 0;
  for (auto _ : state) {
    while (sqlite3_step(stmt) == SQLITE_ROW) total += sqlite3_column_int64(stmt, 0);
    sqlite3_reset(stmt);
  }
  benchmark::DoNotOptimize(total);
  sqlite3_finalize(stmt);
  sqlite3_close(db);
}

void BM_ReplaceLonger(benchmark::State& state) { Run(state, "ora_replace", "胸痛", "胸部疼痛"); }
void BM_ReplaceLongerBefore(benchmark::State& state) {
  Run(state, "copying_replace", "胸痛", "胸部疼痛");
}
void BM_ReplaceDigit(benchmark::State& state) { Run(state, "ora_replace", "3", "三"); }
void BM_ReplaceDigitBefore(benchmark::State& state) { Run(state, "copying_replace", "3", "三"); }
BENCHMARK(BM_ReplaceLonger)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaceLongerBefore)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaceDigit)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaceDigitBefore)->Unit(benchmark::kMillisecond);

}  // namespace
