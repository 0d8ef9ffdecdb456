// The engines the database layer's tests run one body on: the embedded SQLite and a PostgreSQL
// server (the throwaway one of postgres_test_server.h). A test parameterised by Engine opens
// an empty database of its engine and runs the same statements on both.
//
// Thread-safety: OpenEmptyDatabase may be called from one thread at a time.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/db/provider.h"
#include "platform/db/sql_translator.h"

namespace korvalis::db::testing {

// A connection to an empty database of `engine`: SQLite in memory, or the server's scratch
// database emptied of every table, view and description a test made before. `init_string`
// (when given) receives what opens it again (for the server; SQLite's memory database is the
// connection's own).
std::unique_ptr<Connection> OpenEmptyDatabase(Engine engine, std::string* init_string = nullptr);

// An empty database of `engine` that further connections open through init_string(): for
// SQLite a file of the process's own, named after `name` and removed with the object; for the
// server its scratch database, emptied (OpenEmptyDatabase).
class SharedEmptyDatabase {
 public:
  SharedEmptyDatabase(Engine engine, const std::string& name);
  ~SharedEmptyDatabase();
  SharedEmptyDatabase(const SharedEmptyDatabase&) = delete;
  SharedEmptyDatabase& operator=(const SharedEmptyDatabase&) = delete;

  const std::string& init_string() const { return init_string_; }
  // The connection that made the database.
  Connection& owner() { return *owner_; }

 private:
  void RemoveFile();

  std::string file_;  // empty for the server
  std::string init_string_;
  std::unique_ptr<Connection> owner_;
};

// "Sqlite" or "Postgres": the name of a test's engine parameter.
std::string EngineName(const ::testing::TestParamInfo<Engine>& info);

inline const auto kBothEngines = ::testing::Values(Engine::kSqlite, Engine::kPostgres);

}  // namespace korvalis::db::testing
