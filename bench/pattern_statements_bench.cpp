// Everyday statements of patterns and concatenations over 200,000 rows on both engines: LIKE of
// literal and computed patterns, regular expressions, and functions of a concatenation. Each
// statement keeps one value of its rows (a count or a greatest result), so that the engine's
// work on the rows is what is timed. Goal: each within 1.1 times of the build before the bounds
// of patterns and concatenations (run this file in both builds, alternating, medians of 7:
// --benchmark_repetitions=7 --benchmark_report_aggregates_only=true).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "platform/db/connection_pool.h"
#include "platform/db/testing/postgres_test_server.h"

namespace {

using namespace korvalis::db;

// X: "word<d> P<7 digits> note of bed <n>" ending in C for a tenth of the rows; N: X's first
// word; S: the code; DIGITS: a number's text.
constexpr const char* kRows =
    "INSERT INTO T_NOTE SELECT LEVEL, 'word' || MOD(LEVEL, 10) || ' P' || LPAD(LEVEL, 7, '0') "
    "|| ' note of bed ' || MOD(LEVEL * 7, 1000) || CASE WHEN MOD(LEVEL, 10) = 3 THEN 'C' END, "
    "'word' || MOD(LEVEL, 7), 'P' || LPAD(LEVEL, 7, '0'), TO_CHAR(LEVEL * 3) "
    "FROM DUAL CONNECT BY LEVEL <= 200000";

void Fill(Connection& c) {
  c.Execute("CREATE TABLE T_NOTE (ID NUMBER, X VARCHAR2(200), N VARCHAR2(20), S VARCHAR2(20), "
            "DIGITS VARCHAR2(20))");
  c.Begin(Connection::TransactionMode::kWriting);
  c.Execute(kRows);
  c.Commit();
}

Connection& File() {
  static Connection& c = [] () -> Connection& {
    Connection& opened = *CreateDatabase("Provider=SQLite;Data Source=:memory:").release();
    Fill(opened);
    return opened;
  }();
  return c;
}

Connection& Server() {
  static Connection& c = [] () -> Connection& {
    testing::PostgresTestServer& server = testing::PostgresTestServer::Get(/*durable=*/true);
    const std::string init = server.CreateDatabase();
    Connection& opened = *OpenConnection(init + ";Command Timeout=60").release();
    Fill(opened);
    server.RunSql(init, "ANALYZE");
    return opened;
  }();
  return c;
}

void Run(benchmark::State& state, Connection& c, const std::string& sql) {
  size_t bytes = 0;
  for (auto _ : state) {
    auto rows = c.Execute(sql);
    while (rows->Next()) bytes += rows->Text(0).size();
  }
  benchmark::DoNotOptimize(bytes);
}

const std::string kLongLiteral =
    "'%" + std::string(60, 'w') + "ord3 P" + std::string(45, '_') + "%'";

#define KORVALIS_BENCH(name, engine, sql)                                         \
  void name(benchmark::State& state) { Run(state, engine(), sql); }              \
  BENCHMARK(name)->Unit(benchmark::kMillisecond)

KORVALIS_BENCH(BM_ServerLikeLongLiteral, Server,
               "SELECT COUNT(*) FROM T_NOTE WHERE X LIKE " + kLongLiteral);
KORVALIS_BENCH(BM_ServerLikeColumnPrefix, Server,
               "SELECT COUNT(*) FROM T_NOTE WHERE X LIKE N || '%'");
KORVALIS_BENCH(BM_ServerNotLikeSubstrPrefix, Server,
               "SELECT COUNT(*) FROM T_NOTE WHERE X NOT LIKE SUBSTR(S, 1, 3) || '%'");
KORVALIS_BENCH(BM_ServerLikeShortLiteral, Server,
               "SELECT COUNT(*) FROM T_NOTE WHERE X LIKE '%3 P%1_'");
KORVALIS_BENCH(BM_ServerRegexpReplace, Server,
               "SELECT MAX(REGEXP_REPLACE(X, '[0-9]+', '#')) FROM T_NOTE");
KORVALIS_BENCH(BM_ServerRegexpSubstr, Server,
               "SELECT MAX(REGEXP_SUBSTR(X, '[0-9]+', 1, 2)) FROM T_NOTE");
KORVALIS_BENCH(BM_ServerRegexpInstr, Server,
               "SELECT MAX(REGEXP_INSTR(X, '[0-9]+', 1, 2)) FROM T_NOTE");
KORVALIS_BENCH(BM_ServerRegexpCount, Server, "SELECT MAX(REGEXP_COUNT(X, '[0-9]')) FROM T_NOTE");
KORVALIS_BENCH(BM_ServerLtrimOfConcatenation, Server,
               "SELECT MAX(LTRIM('   ' || LEVEL)) FROM DUAL CONNECT BY LEVEL <= 200000");
KORVALIS_BENCH(BM_ServerRtrimOfConcatenation, Server,
               "SELECT MAX(RTRIM(LEVEL || '   ')) FROM DUAL CONNECT BY LEVEL <= 200000");
KORVALIS_BENCH(BM_ServerNumberOfConcatenation, Server,
               "SELECT MAX(TO_NUMBER(LEVEL || '.5')) FROM DUAL CONNECT BY LEVEL <= 200000");
KORVALIS_BENCH(BM_ServerNumberOfColumnConcatenation, Server,
               "SELECT MAX(TO_NUMBER(DIGITS || '1')) FROM T_NOTE");
KORVALIS_BENCH(BM_ServerConcatenation, Server,
               "SELECT MAX('<' || X || '|' || N || ID || '>') FROM T_NOTE");

KORVALIS_BENCH(BM_FileLikeWordAnyBlank, File, "SELECT COUNT(*) FROM T_NOTE WHERE X LIKE 'word_ %'");
KORVALIS_BENCH(BM_FileLikeCodeDigits, File,
               "SELECT COUNT(*) FROM T_NOTE WHERE S LIKE 'P___1__1%'");
KORVALIS_BENCH(BM_FileLikeSuffix, File, "SELECT COUNT(*) FROM T_NOTE WHERE X LIKE '%C'");
KORVALIS_BENCH(BM_FileLikeAny, File, "SELECT COUNT(*) FROM T_NOTE WHERE X LIKE '%'");
KORVALIS_BENCH(BM_FileLikePrefixScan, File,
               "SELECT COUNT(*) FROM T_NOTE WHERE X LIKE 'word3 P%'");
KORVALIS_BENCH(BM_FileLikeColumnPrefix, File,
               "SELECT COUNT(*) FROM T_NOTE WHERE X LIKE N || '%'");
KORVALIS_BENCH(BM_FileNotLikeSubstrPrefix, File,
               "SELECT COUNT(*) FROM T_NOTE WHERE X NOT LIKE SUBSTR(S, 1, 3) || '%'");
// Patterns of two or three '%' that end in plain characters, and one with an escaped '%'.
KORVALIS_BENCH(BM_FileLikeInnerThenEnd, File, "SELECT COUNT(*) FROM T_NOTE WHERE S LIKE '%a%C'");
KORVALIS_BENCH(BM_FileLikeTwoInnerThenEnd, File,
               "SELECT COUNT(*) FROM T_NOTE WHERE X LIKE '%_n%m%C'");
KORVALIS_BENCH(BM_FileLikeEscapedInner, File,
               "SELECT COUNT(*) FROM T_NOTE WHERE X LIKE '%ab\\%c%' ESCAPE '\\'");
KORVALIS_BENCH(BM_FileLikeBedThenEnd, File,
               "SELECT COUNT(*) FROM T_NOTE WHERE X LIKE '%bed 1%C'");
KORVALIS_BENCH(BM_FileRegexpLikeBackReference, File,
               "SELECT COUNT(*) FROM T_NOTE WHERE REGEXP_LIKE(X, '([0-9])\\1')");

}  // namespace
