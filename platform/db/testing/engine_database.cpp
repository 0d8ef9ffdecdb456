#include "platform/db/testing/engine_database.h"

#include <unistd.h>

#include <filesystem>

#include "platform/db/connection_pool.h"
#include "platform/db/testing/postgres_test_server.h"

namespace korvalis::db::testing {
namespace {

// Drops what tests made in the scratch database: every table and view but the runtime's, and
// every description of them.
constexpr const char* kEmptyScratch = R"(
DO $$
DECLARE r record;
BEGIN
  FOR r IN SELECT c.relname, c.relkind FROM pg_class c
           WHERE c.relnamespace = current_schema()::regnamespace AND c.relkind IN ('r', 'v')
             AND c.relname NOT ILIKE 'korvalis\_%' AND c.relname <> 'DUAL' LOOP
    EXECUTE format('DROP %s IF EXISTS %I CASCADE',
                   CASE r.relkind WHEN 'v' THEN 'VIEW' ELSE 'TABLE' END, r.relname);
  END LOOP;
  DELETE FROM korvalis_tables;
  DELETE FROM korvalis_columns;
  DELETE FROM korvalis_constraints;
  DELETE FROM korvalis_cons_columns;
END $$)";

}  // namespace

std::unique_ptr<Connection> OpenEmptyDatabase(Engine engine, std::string* init_string) {
  if (engine == Engine::kSqlite) {
    if (init_string) init_string->clear();
    return OpenConnection("Provider=SQLite;Data Source=:memory:");
  }
  static const std::string scratch = PostgresTestServer::Get().CreateDatabase();
  // Closing the pools forgets the catalog of what is dropped here.
  ConnectionPools::Close(scratch);
  {
    std::unique_ptr<Connection> c = OpenConnection(scratch);
    c->Execute("SELECT 1 FROM DUAL");  // the runtime objects exist from here on
  }
  PostgresTestServer::Get().RunSql(scratch, kEmptyScratch);
  if (init_string) *init_string = scratch;
  return OpenConnection(scratch);
}

SharedEmptyDatabase::SharedEmptyDatabase(Engine engine, const std::string& name) {
  if (engine == Engine::kPostgres) {
    owner_ = OpenEmptyDatabase(engine, &init_string_);
    return;
  }
  file_ = (std::filesystem::temp_directory_path() /
           ("korvalis_" + name + "_" + std::to_string(::getpid()) + ".db"))
              .string();
  RemoveFile();
  init_string_ = "Provider=SQLite;Data Source=" + file_;
  owner_ = CreateDatabase(init_string_);
}

SharedEmptyDatabase::~SharedEmptyDatabase() {
  owner_.reset();
  if (!file_.empty()) RemoveFile();
}

void SharedEmptyDatabase::RemoveFile() {
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(file_ + suffix);
}

std::string EngineName(const ::testing::TestParamInfo<Engine>& info) {
  return info.param == Engine::kSqlite ? "Sqlite" : "Postgres";
}

}  // namespace korvalis::db::testing
