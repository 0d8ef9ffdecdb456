// One PostgreSQL database as the process sees it, per initialisation string: the parameters
// libpq connects with, the catalog the front end translates against and the translations
// already made (shared by every connection to it), and the runtime objects of
// postgres_runtime.h, checked once per process.
//
// The initialisation string names the server with Host, Port, Database (or Initial Catalog),
// User ID and Password, or with a libpq service name, a URI or a connection string in
// Data Source; Connect Timeout (seconds, default 10) bounds the wait for a server that does
// not answer; Idle Transaction Timeout (seconds, default 60; 0: no bound) bounds how long a
// transaction holding the writers' turn may stay idle before the server ends its session and
// undoes its work; Command Timeout (seconds, default kDefaultCommandTimeout; 0: no bound) how
// long one statement may run before the server cancels it. The runtime's installation, when a
// connection finds it missing or of another version, is bounded by Command Timeout too, but by
// no less than kInstallationFloor.
//
// Thread-safety: thread-safe.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/db/catalog.h"
#include "platform/db/connection_string.h"
#include "platform/db/translation_cache.h"

struct pg_conn;
struct pg_result;

namespace korvalis::db {

class PostgresDatabase {
 public:
  // The least time the runtime's installation is given: it is no statement of a call, and a short
  // Command Timeout must not leave a database that no connection can prepare.
  static constexpr std::chrono::seconds kInstallationFloor{10};

  // Throws DbError (kCannotConnect) when the string names no server.
  explicit PostgresDatabase(const ConnectionString& init);

  // A new libpq connection with the session settings the provider relies on, the runtime
  // objects installed. The caller owns it (PQfinish). Throws DbError (kCannotConnect); no
  // password appears in its description. Given `runtime_left_open`, objects that must be
  // installed are installed in a transaction left open, which the caller then owns and commits
  // or rolls back with its own work, and *runtime_left_open tells whether that happened.
  pg_conn* Connect(bool* runtime_left_open = nullptr);

  // How long a transaction holding the writers' turn may stay idle, in milliseconds, as the
  // server's setting reads it ("0": no bound).
  const std::string& idle_transaction_timeout_ms() const { return idle_transaction_timeout_ms_; }
  // The same bound in seconds; zero: no bound.
  std::chrono::seconds idle_transaction_timeout() const { return idle_transaction_timeout_; }
  // How long one statement may run; zero: no bound.
  std::chrono::seconds command_timeout() const { return command_timeout_; }

  // Runs one statement (no parameters) on a connection, bounded as a statement is; returns its
  // result, owned by the caller. Throws DbError when it fails or its server is given up.
  using ServerQuery = std::function<pg_result*(const char* sql)>;

  uint64_t generation() const { return translations_.generation(); }
  void SchemaChanged() { translations_.SchemaChanged(); }
  // The translation of `oracle_sql`; `query` reads the catalog when it must be loaded.
  // `transaction` (when given) keeps the translations of a transaction of that connection that
  // changed the schema, made against the schema as that transaction sees it. Throws SqlError,
  // or DbError when the catalog cannot be read.
  std::shared_ptr<const Translation> Translate(std::string_view oracle_sql,
                                               const ServerQuery& query,
                                               bool* seen_before = nullptr,
                                               TranslationCache* transaction = nullptr);
  std::shared_ptr<const Catalog> CurrentCatalog(const ServerQuery& query,
                                                TranslationCache* transaction = nullptr);

 private:
  // True when it left its installation's transaction open, as `leave_open` allows. The check
  // runs through `query`; the installation waits as long as it takes.
  bool EnsureRuntime(pg_conn* connection, const ServerQuery& query, bool leave_open);
  static std::shared_ptr<const Catalog> LoadCatalog(const ServerQuery& query);

  std::vector<std::pair<std::string, std::string>> parameters_;  // libpq keyword, value
  std::chrono::seconds idle_transaction_timeout_;
  std::string idle_transaction_timeout_ms_;
  std::chrono::seconds command_timeout_;
  TranslationCache translations_{Engine::kPostgres};
  std::mutex runtime_mutex_;
  bool runtime_checked_ = false;
};

// Runs `sql` (one or more statements, no parameters) on the non-blocking `connection` that
// Connect made, waiting for the server by `bound` at most (zero: as long as it takes); throws
// DbError.
void RunPostgresScript(pg_conn* connection, const char* sql, std::chrono::seconds bound);

}  // namespace korvalis::db
