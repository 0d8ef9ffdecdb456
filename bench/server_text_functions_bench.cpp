// The server's text functions per call: one statement applies a function to each of 200,000
// rows and keeps the greatest result, so that the server's work on the calls is what is timed.
// LTRIM and RTRIM with and without a set, TO_NUMBER and a text read as a number, TRANSLATE,
// UPPER, LOWER and INITCAP, a concatenation, a later occurrence of one character (INSTR from
// the second character, its second occurrence), against the statement that reads the same rows
// bare. Goal: each within 1.1 times of the build before their bounds (run this file in both
// builds, medians of 7: --benchmark_repetitions=7 --benchmark_report_aggregates_only=true).
#include <benchmark/benchmark.h>

#include <string>

#include "bench/server_table.h"

namespace {

korvalis::db::Connection& Server() {
  static korvalis::db::Connection& c = korvalis::bench::OpenServerTable(
      "CREATE TABLE BENCH_TEXT (ID NUMBER, PADDED VARCHAR2(40), DIGITS VARCHAR2(40))",
      "INSERT INTO \"BENCH_TEXT\" SELECT i, '  name ' || i || 'xx  ', "
      "(i * 7)::text || '.25' FROM generate_series(1, 200000) AS i");
  return c;
}

void Run(benchmark::State& state, const std::string& expression) {
  korvalis::bench::RunRows(state, Server(), "SELECT MAX(" + expression + ") FROM BENCH_TEXT");
}

#define KORVALIS_CALLS_BENCH(name, expression)                          \
  void name(benchmark::State& state) { Run(state, expression); }        \
  BENCHMARK(name)->Unit(benchmark::kMillisecond)

KORVALIS_CALLS_BENCH(BM_Bare, "PADDED");
KORVALIS_CALLS_BENCH(BM_Ltrim, "LTRIM(PADDED)");
KORVALIS_CALLS_BENCH(BM_LtrimSet, "LTRIM(PADDED, ' nam')");
KORVALIS_CALLS_BENCH(BM_Rtrim, "RTRIM(PADDED)");
KORVALIS_CALLS_BENCH(BM_RtrimSet, "RTRIM(PADDED, ' x')");
KORVALIS_CALLS_BENCH(BM_ToNumber, "TO_NUMBER(DIGITS)");
KORVALIS_CALLS_BENCH(BM_TextAsNumber, "DIGITS + 0");
KORVALIS_CALLS_BENCH(BM_Translate, "TRANSLATE(PADDED, 'name', 'NAME')");
KORVALIS_CALLS_BENCH(BM_Upper, "UPPER(PADDED)");
KORVALIS_CALLS_BENCH(BM_Lower, "LOWER(PADDED)");
KORVALIS_CALLS_BENCH(BM_Initcap, "INITCAP(PADDED)");
KORVALIS_CALLS_BENCH(BM_Concatenation, "'<' || PADDED || DIGITS || ID || '>'");
KORVALIS_CALLS_BENCH(BM_InstrLater, "INSTR(PADDED, 'x', 2, 2)");

}  // namespace
