// A throwaway PostgreSQL server for tests: a cluster made by initdb in a temporary directory,
// its server listening only on a socket in that directory (so no port of the machine is
// taken), run as the `postgres` user when the tests run as root (the server refuses root).
// It starts on first use and is stopped and removed when the process ends, also when the
// process is killed with every process under it: a small keeper process (postgres_keeper.cpp),
// started first and out of the process's tree, waits for the end of the test process and then
// stops the server, in whatever state it was left, and removes the directory.
//
//   PostgresTestServer& server = PostgresTestServer::Get();
//   std::string init = server.CreateDatabase();  // "Provider=PostgreSQL;Host=...;..."
//
// Thread-safety: Get and CreateDatabase may be called from any thread; Stop and Start belong to
// one test at a time.
#pragma once

#include <unistd.h>

#include <mutex>
#include <string>

namespace korvalis::db::testing {

class PostgresTestServer {
 public:
  // The process's server, started when first asked for. Throws std::runtime_error, with the
  // server's own log, when it cannot be made or started. A server for tests skips the flush of
  // each commit to the disk; `durable` (heeded on the first call only) keeps it, for
  // benchmarks that hold the server against the embedded file.
  static PostgresTestServer& Get(bool durable = false);

  // A new database, empty or a copy of the database `template_init` names (which nobody may
  // be connected to); returns the initialisation string that names it.
  std::string CreateDatabase(const std::string& template_init = "");
  // Drops the database `init_string` names, closing whatever is connected to it.
  void DropDatabase(const std::string& init_string);
  // Runs `sql` (PostgreSQL's own, any number of statements) in the database that
  // `init_string` names; returns the first value of its last result (empty when none).
  // Throws std::runtime_error with the server's message.
  std::string RunSql(const std::string& init_string, const std::string& sql);

  // The initialisation string of `database` on this server (which need not exist).
  std::string InitString(const std::string& database) const;
  // The libpq connection string of the database `init_string` names, for the server's client
  // programs (pg_dump, pg_restore).
  std::string ClientConninfo(const std::string& init_string) const {
    return Conninfo(DatabaseOf(init_string));
  }

  // The directory of the cluster, its socket and its logs.
  const std::string& directory() const { return directory_; }
  // A second directory of the server's socket, which the server was given as a path relative
  // to its data directory: a client connects by this absolute path (Host=).
  std::string RelativeSocketDirectory() const { return directory_ + "/relative"; }

  // What the server wrote into its own log so far.
  std::string ServerLog() const;

  // Stops the server at once (as a crash would) and starts it again: for failure tests.
  void Stop();
  void Start();

  ~PostgresTestServer();
  PostgresTestServer(const PostgresTestServer&) = delete;
  PostgresTestServer& operator=(const PostgresTestServer&) = delete;

 private:
  explicit PostgresTestServer(bool durable);
  void StartKeeper();
  // Runs a server program (as the server's user), its output into the cluster's log; false
  // when it fails.
  bool RunProgram(const std::string& program, const std::string& arguments);
  std::string Log() const;
  std::string Conninfo(const std::string& database) const;
  static std::string DatabaseOf(const std::string& init_string);

  std::string bin_;        // the server's programs
  std::string directory_;  // the cluster, its socket and its log
  int port_ = 5432;
  bool durable_ = false;
  pid_t owner_ = ::getpid();  // the process that made the server
  int keeper_watched_ = -1;   // the keeper reads its end until this process ends
  int keeper_done_ = -1;      // the keeper holds its end until the cluster is gone
  std::mutex mutex_;
  int next_database_ = 0;
};

}  // namespace korvalis::db::testing
