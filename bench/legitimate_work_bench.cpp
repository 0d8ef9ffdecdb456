// Work that the functions' bounds must leave at its speed, on the embedded file and on the tests'
// PostgreSQL server with a Command Timeout of 60 s: a regular-expression replacement over a 5 MB
// text (with and without a subexpression in the replacement), a 30 MB text built by RPAD (the
// server pads to 32,767 characters at most), a million levels of CONNECT BY, a report of
// 200,000 rows through the text and date functions, LIKE of a phrase over the 5 MB text and
// ROUND over the 200,000 rows.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/db/connection_pool.h"
#include "platform/db/testing/postgres_test_server.h"

namespace {

using namespace korvalis::db;

enum class Engine { kFile, kServer };

std::unique_ptr<Connection> Open(Engine engine) {
  auto c = engine == Engine::kFile
               ? CreateDatabase("Provider=SQLite;Data Source=:memory:;Command Timeout=60")
               : OpenConnection(
                     korvalis::db::testing::PostgresTestServer::Get(/*durable=*/true)
                         .CreateDatabase() +
                     ";Command Timeout=60");
  c->Execute("CREATE TABLE NOTE (ID NUMBER, BODY CLOB)");
  // 5,000,000 characters: a word, a number and a unit every 17 (RPAD writes at most 32,767).
  c->Execute("INSERT INTO NOTE VALUES (1, REPLACE(RPAD('x', 5000, 'x'), 'x', "
             "RPAD('temp 38 degrees; ', 1000, 'temp 38 degrees; ')))");
  c->Execute("CREATE TABLE VISITS (ID NUMBER(10), NAME VARCHAR2(40), SEEN DATE, NOTE VARCHAR2(200))");
  c->Execute("INSERT INTO VISITS SELECT LEVEL, '患者' || LEVEL, TO_DATE('2026-01-01', 'YYYY-MM-DD') + "
             "MOD(LEVEL, 365), RPAD('胸痛' || LEVEL, 60, ' 咳嗽3天') FROM DUAL CONNECT BY LEVEL <= 200000");
  return c;
}

void Run(benchmark::State& state, const std::string& sql) {
  auto c = Open(static_cast<Engine>(state.range(0)));
  size_t bytes = 0;
  for (auto _ : state) {
    auto rows = c->Execute(sql);
    while (rows->Next()) bytes += rows->Text(0).size();
  }
  benchmark::DoNotOptimize(bytes);
}

// The file (server:0) and the server (server:1).
void OnBothEngines(benchmark::internal::Benchmark* b) {
  b->Arg(0)->Arg(1)->ArgName("server")->Unit(benchmark::kMillisecond);
}

void BM_RegexpReplace5MB(benchmark::State& state) {
  Run(state, "SELECT LENGTH(REGEXP_REPLACE(BODY, '[0-9]+ deg', 'N deg')) FROM NOTE");
}
BENCHMARK(BM_RegexpReplace5MB)->Apply(OnBothEngines);

void BM_RegexpReplaceSubexpression5MB(benchmark::State& state) {
  Run(state, "SELECT LENGTH(REGEXP_REPLACE(BODY, '([0-9]+) (deg)', '\\2 \\1')) FROM NOTE");
}
BENCHMARK(BM_RegexpReplaceSubexpression5MB)->Apply(OnBothEngines);

void BM_Rpad30MB(benchmark::State& state) {
  // 30,000 pieces of 1,000 characters, each padded out by RPAD.
  Run(state, "SELECT LENGTH(REPLACE(RPAD('x', 30000, 'x'), 'x', RPAD('患者', 1000, '主诉发热 fever'))) "
             "FROM DUAL");
}
BENCHMARK(BM_Rpad30MB)->Apply(OnBothEngines);

void BM_ConnectByMillion(benchmark::State& state) {
  Run(state, "SELECT COUNT(*) FROM DUAL CONNECT BY LEVEL <= 1000000");
}
BENCHMARK(BM_ConnectByMillion)->Apply(OnBothEngines);

void BM_Report200kRows(benchmark::State& state) {
  Run(state, "SELECT ID || ',' || UPPER(NAME) || ',' || TO_CHAR(SEEN, 'YYYY-MM-DD') || ',' || "
             "SUBSTR(NOTE, 3, 20) || ',' || INSTR(NOTE, '咳嗽', 1, 2) || ',' || REPLACE(NOTE, '3', '三') "
             "FROM VISITS ORDER BY SEEN, ID");
}
BENCHMARK(BM_Report200kRows)->Apply(OnBothEngines);

void BM_LikeOfAPhrase5MB(benchmark::State& state) {
  Run(state, "SELECT COUNT(*) FROM NOTE WHERE BODY LIKE '%temp 39 degrees%' OR "
             "BODY LIKE '%; temp 38 degrees; temp%'");
}
BENCHMARK(BM_LikeOfAPhrase5MB)->Apply(OnBothEngines);
void BM_RoundOf200kRows(benchmark::State& state) {
  Run(state, "SELECT SUM(ROUND(ID / 7, 2)) || ',' || MAX(ROUND(ID * 1.005, 1)) FROM VISITS");
}
BENCHMARK(BM_RoundOf200kRows)->Apply(OnBothEngines);
}  // namespace
