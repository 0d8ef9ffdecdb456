// Date arithmetic through the embedded provider: one statement moves each of 200,000 rows of a
// DATE column by a fraction of a day written as a division of literals (an hour, eight hours,
// a second back) and keeps the greatest result, against the statement that reads the same rows
// bare, so that the file's work on the dates is what is timed. Goal: each within 1.1 times of
// the build before the range of dates was checked (run this file in both builds, medians of 5:
// --benchmark_repetitions=5 --benchmark_report_aggregates_only=true).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "platform/db/connection_pool.h"

namespace {

using namespace korvalis::db;

constexpr int kRows = 200000;

Connection& FilledDatabase() {
  static Connection& c = [] () -> Connection& {
    Connection& opened = *CreateDatabase("Provider=SQLite;Data Source=:memory:").release();
    opened.Execute("CREATE TABLE BENCH_DATE (ID NUMBER, D DATE)");
    opened.Begin(Connection::TransactionMode::kWriting);
    opened.Execute(
        "INSERT INTO BENCH_DATE SELECT LEVEL, TO_DATE('2000-01-31 08:30:00', "
        "'YYYY-MM-DD HH24:MI:SS') + LEVEL * 37 / 1440 FROM DUAL CONNECT BY LEVEL <= " +
        std::to_string(kRows));
    opened.Commit();
    return opened;
  }();
  return c;
}

void Run(benchmark::State& state, const char* sql) {
  Connection& c = FilledDatabase();
  size_t bytes = 0;
  for (auto _ : state) {
    auto rows = c.Execute(sql);
    while (rows->Next()) bytes += rows->Text(0).size();
  }
  benchmark::DoNotOptimize(bytes);
  state.SetItemsProcessed(state.iterations() * kRows);
}

#define KORVALIS_DATE_ARITHMETIC_BENCH(name, sql)          \
  void name(benchmark::State& state) { Run(state, sql); }  \
  BENCHMARK(name)->Unit(benchmark::kMillisecond)->UseRealTime()

KORVALIS_DATE_ARITHMETIC_BENCH(BM_Bare, "SELECT MAX(D) FROM BENCH_DATE");
KORVALIS_DATE_ARITHMETIC_BENCH(BM_PlusAnHour, "SELECT MAX(D + 1/24) FROM BENCH_DATE");
KORVALIS_DATE_ARITHMETIC_BENCH(BM_PlusEightHours, "SELECT MAX(D + 1/3) FROM BENCH_DATE");
KORVALIS_DATE_ARITHMETIC_BENCH(BM_LessASecond, "SELECT MAX(D - 1/86400) FROM BENCH_DATE");
KORVALIS_DATE_ARITHMETIC_BENCH(BM_PlusRowHours, "SELECT MAX(D + ID / 24) FROM BENCH_DATE");

}  // namespace
