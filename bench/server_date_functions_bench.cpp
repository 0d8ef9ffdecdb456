// The server's date arithmetic per row: one statement applies a date function to each of
// 200,000 rows of a DATE column and keeps the greatest result (or counts the rows a condition
// of date arithmetic keeps), so that the server's work on the dates is what is timed.
// ADD_MONTHS, NEXT_DAY, a date plus whole days, less a day and a half and plus days read
// from the row, a condition of a date plus days against SYSDATE, against the statement that
// reads the same rows bare. Goal: each within 1.1 times of the build before the range of dates
// was checked (run this file in both builds, medians of 7: --benchmark_repetitions=7
// --benchmark_report_aggregates_only=true).
#include <benchmark/benchmark.h>

#include <string>

#include "bench/server_table.h"

namespace {

void Run(benchmark::State& state, const std::string& sql) {
  static korvalis::db::Connection& c = korvalis::bench::OpenServerTable(
      "CREATE TABLE BENCH_DATE (ID NUMBER, D DATE)",
      "INSERT INTO \"BENCH_DATE\" SELECT i, timestamp '2000-01-31 08:30:00' "
      "+ i * interval '37 minutes' FROM generate_series(1, 200000) AS i");
  korvalis::bench::RunRows(state, c, sql);
}

#define KORVALIS_DATES_BENCH(name, sql)                          \
  void name(benchmark::State& state) { Run(state, sql); }        \
  BENCHMARK(name)->Unit(benchmark::kMillisecond)->UseRealTime()

KORVALIS_DATES_BENCH(BM_Bare, "SELECT MAX(D) FROM BENCH_DATE");
KORVALIS_DATES_BENCH(BM_AddMonths, "SELECT MAX(ADD_MONTHS(D, 1)) FROM BENCH_DATE");
KORVALIS_DATES_BENCH(BM_NextDay, "SELECT MAX(NEXT_DAY(D, 'MONDAY')) FROM BENCH_DATE");
KORVALIS_DATES_BENCH(BM_PlusDay, "SELECT MAX(D + 1) FROM BENCH_DATE");
KORVALIS_DATES_BENCH(BM_LessDayAndAHalf, "SELECT MAX(D - 1.5) FROM BENCH_DATE");
KORVALIS_DATES_BENCH(BM_PlusRowDays, "SELECT MAX(D + ID) FROM BENCH_DATE");
KORVALIS_DATES_BENCH(BM_PlusDaysAfterNow,
                     "SELECT COUNT(*) FROM BENCH_DATE WHERE D + 30 > SYSDATE");

}  // namespace
