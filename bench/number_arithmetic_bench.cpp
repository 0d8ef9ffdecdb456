// Arithmetic-heavy queries through the embedded provider on 10,000 rows of integer and decimal
// columns: every result column computed (sums, products, quotients, chains of them, functions
// of them), and the same arithmetic inside a condition and a sort, where numbers stay numbers
// the engine sorts.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/db/connection_pool.h"

namespace {

using namespace korvalis::db;

constexpr int kRows = 10000;

std::unique_ptr<Connection> OpenFilledDatabase() {
  auto c = CreateDatabase("Provider=SQLite;Data Source=:memory:");
  c->Execute("CREATE TABLE CHARGES (ID NUMBER, QTY NUMBER(6), PRICE NUMBER(10,2), "
             "RATE NUMBER(6,4))");
  c->Begin(Connection::TransactionMode::kWriting);
  for (int i = 1; i <= kRows; ++i) {
    c->Execute("INSERT INTO CHARGES VALUES (" + std::to_string(i) + ", " + std::to_string(i % 17 + 1) +
               ", " + std::to_string(i % 997) + "." + std::to_string(i % 100) + ", 0." +
               std::to_string(1000 + i % 9000) + ")");
  }
  c->Commit();
  return c;
}

void Run(benchmark::State& state, const char* sql) {
  auto c = OpenFilledDatabase();
  size_t bytes = 0;
  for (auto _ : state) {
    auto rows = c->Execute(sql);
    while (rows->Next()) {
      for (int i = 0; i < rows->ColumnCount(); ++i) bytes += rows->Text(i).size();
    }
  }
  benchmark::DoNotOptimize(bytes);
  state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_ComputedResultColumns(benchmark::State& state) {
  Run(state,
      "SELECT ID + 1, QTY * PRICE, PRICE * RATE, PRICE - RATE, QTY * PRICE * (1 + RATE) FROM "
      "CHARGES");
}
BENCHMARK(BM_ComputedResultColumns)->Unit(benchmark::kMillisecond);

void BM_ComputedQuotients(benchmark::State& state) {
  Run(state, "SELECT PRICE / QTY, ID / 7, (PRICE + 1) / (QTY + RATE) FROM CHARGES");
}
BENCHMARK(BM_ComputedQuotients)->Unit(benchmark::kMillisecond);

void BM_ArithmeticInConditionAndSort(benchmark::State& state) {
  Run(state,
      "SELECT ID FROM CHARGES WHERE QTY * PRICE > 100 AND PRICE / QTY < 500 ORDER BY PRICE * "
      "RATE");
}
BENCHMARK(BM_ArithmeticInConditionAndSort)->Unit(benchmark::kMillisecond);

void BM_FunctionsOfComputedNumbers(benchmark::State& state) {
  Run(state,
      "SELECT ROUND(PRICE / QTY, 2), TRUNC(PRICE * RATE, 3), MOD(ID, 7), ABS(PRICE - 500), "
      "GREATEST(PRICE / QTY, RATE) FROM CHARGES");
}
BENCHMARK(BM_FunctionsOfComputedNumbers)->Unit(benchmark::kMillisecond);

}  // namespace
