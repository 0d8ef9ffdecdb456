// Regular expressions on the embedded file over one text of 1k, 10k and 100k characters, a match
// every four characters: counting the matches, and replacing each by a text that names its
// subexpression. The time per character stays flat as the text grows.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/db/connection_pool.h"

namespace {

using namespace korvalis::db;

std::unique_ptr<Connection> OpenNote(int64_t characters) {
  auto c = CreateDatabase("Provider=SQLite;Data Source=:memory:");
  c->Execute("CREATE TABLE NOTES (ID NUMBER, BODY CLOB)");
  const std::string quarter = "RPAD('a', " + std::to_string(characters / 4) + ", 'ab c')";
  c->Execute("INSERT INTO NOTES VALUES (1, " + quarter + " || " + quarter + " || " + quarter +
             " || " + quarter + ")");
  return c;
}

void Run(benchmark::State& state, const char* sql) {
  auto c = OpenNote(state.range(0));
  size_t bytes = 0;
  for (auto _ : state) {
    auto rows = c->Execute(sql);
    while (rows->Next()) bytes += rows->Text(0).size();
  }
  benchmark::DoNotOptimize(bytes);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_RegexpCount(benchmark::State& state) {
  Run(state, "SELECT REGEXP_COUNT(BODY, 'a') FROM NOTES");
}
BENCHMARK(BM_RegexpCount)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

void BM_RegexpReplaceSubexpression(benchmark::State& state) {
  Run(state, "SELECT REGEXP_REPLACE(BODY, '(a)', '<\\1>') FROM NOTES");
}
BENCHMARK(BM_RegexpReplaceSubexpression)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
