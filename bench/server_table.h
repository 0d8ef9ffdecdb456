// The benchmarks that time the server's work on one table's rows: a database of the tests'
// durable throwaway server (postgres_test_server.h) holding a table the front end made and
// the server's own SQL filled, and a statement run over it with every row read as text.
//
// Thread-safety: a table's connection belongs to the benchmark's thread.
#pragma once

#include <benchmark/benchmark.h>

#include <cstddef>
#include <string>

#include "platform/db/connection_pool.h"
#include "platform/db/testing/postgres_test_server.h"

namespace korvalis::bench {

// A connection, kept for the process, to a new database in which the front end's `create`
// made a table and the server's `fill` filled it (analysed after).
inline db::Connection& OpenServerTable(const std::string& create, const std::string& fill) {
  db::testing::PostgresTestServer& server = db::testing::PostgresTestServer::Get(/*durable=*/true);
  const std::string init = server.CreateDatabase();
  db::Connection& opened = *db::OpenConnection(init + ";Command Timeout=60").release();
  opened.Execute(create);
  server.RunSql(init, fill + "; ANALYZE");
  return opened;
}

// Runs `sql` on `c` once an iteration, reading every row's first column.
inline void RunRows(benchmark::State& state, db::Connection& c, const std::string& sql) {
  std::size_t bytes = 0;
  for (auto _ : state) {
    auto rows = c.Execute(sql);
    while (rows->Next()) bytes += rows->Text(0).size();
  }
  benchmark::DoNotOptimize(bytes);
}

}  // namespace korvalis::bench
