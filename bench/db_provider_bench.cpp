// Raw side: one SQLite connection with the provider's settings, the statement prepared once
// (the key bound as a parameter where the text changes), each run in autocommit as the provider's.
//
// A point query through the provider against the same query on raw SQLite, on a file
// database of 10,000 patients: the same statement text each time (translation and prepared
// statement cached), and a new literal each time (as bodies build their statements, which the
// provider runs as one prepared statement with the key bound). Goal: within 1.3 times.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <filesystem>
#include <string>

#include "bench/call_and_statement.h"
#include "platform/db/connection_pool.h"
#include "platform/db/script_runner.h"

namespace {

using namespace korvalis::db;

constexpr int kPatients = 10000;

const std::string& DatabaseFile() {
  static const std::string file = [] {
    std::string path = (std::filesystem::temp_directory_path() /
                        ("korvalis_bench_" + std::to_string(::getpid()) + ".db")).string();
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path + suffix);
    auto c = CreateDatabase("Provider=SQLite;Data Source=" + path);
    c->Execute("CREATE TABLE TELV_PATIENT (ID VARCHAR2(20) PRIMARY KEY, NAME VARCHAR2(40), "
               "SEX VARCHAR2(2), BIRTHDAY DATE)");
    c->Begin(Connection::TransactionMode::kWriting);
    for (int i = 0; i < kPatients; ++i) {
      c->Execute("INSERT INTO TELV_PATIENT VALUES ('p" + std::to_string(i) + "', 'name" +
                 std::to_string(i) + "', '1', '1970-01-01')");
    }
    c->Commit();
    return path;
  }();
  return file;
}

std::string PointQuery(int i) {
  return "SELECT NAME, BIRTHDAY FROM TELV_PATIENT WHERE ID = 'p" + std::to_string(i) + "'";
}

void BM_ProviderPointQuerySameText(benchmark::State& state) {
  auto c = OpenConnection("Provider=SQLite;Data Source=" + DatabaseFile());
  const std::string sql = PointQuery(4242);
  size_t bytes = 0;
  for (auto _ : state) {
    auto rows = c->Execute(sql);
    while (rows->Next()) bytes += rows->Text(0).size() + rows->Text(1).size();
  }
  benchmark::DoNotOptimize(bytes);
}
BENCHMARK(BM_ProviderPointQuerySameText);

void BM_RawSqlitePointQuerySameText(benchmark::State& state) {
  sqlite3* db = korvalis::bench::OpenAsProvider(DatabaseFile());
  const std::string sql = "SELECT \"NAME\", \"BIRTHDAY\" FROM \"TELV_PATIENT\" WHERE \"ID\" = 'p4242'";
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v3(db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
  size_t bytes = 0;
  for (auto _ : state) {
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      benchmark::DoNotOptimize(sqlite3_column_text(stmt, 0));
      benchmark::DoNotOptimize(sqlite3_column_text(stmt, 1));
      bytes += static_cast<size_t>(sqlite3_column_bytes(stmt, 0)) +
               static_cast<size_t>(sqlite3_column_bytes(stmt, 1));
    }
    sqlite3_reset(stmt);
  }
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  benchmark::DoNotOptimize(bytes);
}
BENCHMARK(BM_RawSqlitePointQuerySameText);

void BM_ProviderPointQueryNewLiteral(benchmark::State& state) {
  auto c = OpenConnection("Provider=SQLite;Data Source=" + DatabaseFile());
  int i = 0;
  size_t bytes = 0;
  for (auto _ : state) {
    auto rows = c->Execute(PointQuery(i++ % kPatients));
    while (rows->Next()) bytes += rows->Text(0).size() + rows->Text(1).size();
  }
  benchmark::DoNotOptimize(bytes);
}
BENCHMARK(BM_ProviderPointQueryNewLiteral);

void BM_RawSqlitePointQueryNewLiteral(benchmark::State& state) {
  sqlite3* db = korvalis::bench::OpenAsProvider(DatabaseFile());
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v3(db, "SELECT \"NAME\", \"BIRTHDAY\" FROM \"TELV_PATIENT\" WHERE \"ID\" = ?1", -1,
                     SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
  int i = 0;
  size_t bytes = 0;
  for (auto _ : state) {
    const std::string key = "p" + std::to_string(i++ % kPatients);
    sqlite3_bind_text(stmt, 1, key.data(), static_cast<int>(key.size()), SQLITE_STATIC);
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      benchmark::DoNotOptimize(sqlite3_column_text(stmt, 0));
      benchmark::DoNotOptimize(sqlite3_column_text(stmt, 1));
      bytes += static_cast<size_t>(sqlite3_column_bytes(stmt, 0)) +
               static_cast<size_t>(sqlite3_column_bytes(stmt, 1));
    }
    sqlite3_reset(stmt);
  }
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  benchmark::DoNotOptimize(bytes);
}
BENCHMARK(BM_RawSqlitePointQueryNewLiteral);

// Removes the database file when the benchmarks end.
struct Cleanup {
  ~Cleanup() {
    std::error_code ec;
    for (const char* suffix : {"", "-wal", "-shm"}) {
      std::filesystem::remove(DatabaseFile() + suffix, ec);
    }
  }
} cleanup;

}  // namespace
