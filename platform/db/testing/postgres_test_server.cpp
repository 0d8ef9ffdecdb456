#include "platform/db/testing/postgres_test_server.h"

#include <fcntl.h>
#include <libpq-fe.h>
#include <poll.h>
#include <pwd.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

extern char** environ;

namespace korvalis::db::testing {
namespace {

namespace fs = std::filesystem;

// The newest installed server's programs (Debian keeps them per version).
std::string ServerPrograms() {
  std::vector<fs::path> found;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/usr/lib/postgresql", ec)) {
    if (fs::exists(entry.path() / "bin" / "pg_ctl")) found.push_back(entry.path() / "bin");
  }
  if (found.empty()) {
    throw std::runtime_error(
        "no PostgreSQL server is installed (/usr/lib/postgresql/*/bin/pg_ctl); run scripts/setup");
  }
  std::sort(found.begin(), found.end(), [](const fs::path& a, const fs::path& b) {
    return std::stoi(a.parent_path().filename()) < std::stoi(b.parent_path().filename());
  });
  return found.back().string();
}

// Runs `command` through the shell in the root directory (the server's user may not enter
// this process's, which may be gone) and waits for it; its exit status.
int Shell(const std::string& command) {
  pid_t pid;
  const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, "/");
  const int spawned =
      posix_spawn(&pid, "/bin/sh", &actions, nullptr, const_cast<char**>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// As the `postgres` user when this process is root.
std::string AsServerUser(const std::string& command) {
  if (::geteuid() != 0) return command;
  return "runuser -u postgres -- " + command;
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

}  // namespace

PostgresTestServer& PostgresTestServer::Get(bool durable) {
  static PostgresTestServer server(durable);
  return server;
}

PostgresTestServer::PostgresTestServer(bool durable) : bin_(ServerPrograms()), durable_(durable) {
  std::string pattern = (fs::temp_directory_path() / "korvalis-pg-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp " + pattern);
  directory_ = pattern;
  if (::geteuid() == 0) {
    const passwd* user = ::getpwnam("postgres");
    if (user == nullptr) throw std::runtime_error("no postgres user; run scripts/setup");
    if (::chown(directory_.c_str(), user->pw_uid, user->pw_gid) != 0) {
      throw std::runtime_error("cannot give " + directory_ + " to the postgres user");
    }
  }
  StartKeeper();
  if (!RunProgram("initdb", "-D " + Quoted(directory_ + "/data") +
                                " -A trust -U postgres -E UTF8 --locale=C.UTF-8 --no-sync")) {
    throw std::runtime_error("initdb failed:\n" + Log());
  }
  const std::string relative = RelativeSocketDirectory();
  if (::mkdir(relative.c_str(), 0700) != 0 ||
      (::geteuid() == 0 && ::chown(relative.c_str(), ::getpwnam("postgres")->pw_uid,
                                   ::getpwnam("postgres")->pw_gid) != 0)) {
    throw std::runtime_error("cannot make " + relative);
  }
  Start();
}

// The keeper (postgres_keeper.cpp) reads `watched` until this process has ended, then stops the
// server and removes the cluster, and holds `done` until it has.
void PostgresTestServer::StartKeeper() {
  int watched[2], done[2];
  if (::pipe2(watched, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  if (::pipe2(done, O_CLOEXEC) != 0) {
    ::close(watched[0]);
    ::close(watched[1]);
    throw std::runtime_error("pipe");
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, watched[0], 0);
  posix_spawn_file_actions_adddup2(&actions, done[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addchdir_np(&actions, "/");
  pid_t keeper;
  const char* argv[] = {KORVALIS_POSTGRES_KEEPER, directory_.c_str(), nullptr};
  const int spawned = posix_spawn(&keeper, KORVALIS_POSTGRES_KEEPER, &actions, nullptr,
                                  const_cast<char**>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(watched[0]);
  ::close(done[1]);
  // Its first process ends at once, its second one leaves this process's tree.
  int status = 0;
  while (spawned == 0 && ::waitpid(keeper, &status, 0) < 0 && errno == EINTR) {
  }
  if (spawned != 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    ::close(watched[1]);
    ::close(done[0]);
    throw std::runtime_error(std::string("cannot start ") + KORVALIS_POSTGRES_KEEPER);
  }
  keeper_watched_ = watched[1];
  keeper_done_ = done[0];
}

PostgresTestServer::~PostgresTestServer() {
  // A process forked from this one and exiting leaves the server to this one.
  if (::getpid() != owner_) return;
  ::close(keeper_watched_);
  // The keeper's end of `done` closes once the cluster is gone: waited for, within a bound.
  pollfd closed{keeper_done_, POLLIN, 0};
  char ignored[64];
  while (::poll(&closed, 1, 30'000) > 0 && ::read(keeper_done_, ignored, sizeof ignored) > 0) {
  }
  ::close(keeper_done_);
}

bool PostgresTestServer::RunProgram(const std::string& program, const std::string& arguments) {
  return Shell(AsServerUser(bin_ + "/" + program + " " + arguments) + " >>" +
               Quoted(directory_ + "/log") + " 2>&1") == 0;
}

namespace {

std::string FileText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

std::string PostgresTestServer::Log() const { return FileText(directory_ + "/log"); }

std::string PostgresTestServer::ServerLog() const { return FileText(directory_ + "/server.log"); }

void PostgresTestServer::Start() {
  // Only sockets in the cluster's own directory: the port names the socket, no TCP port is
  // opened. The second is named to the server by a path relative to its data directory (its
  // sockets then report that relative name). Durability is not needed of a throwaway cluster of tests. A failing statement's
  // error is logged without the statement's text: the function sweeps fail tens of thousands of
  // statements that carry texts of megabytes each, which would fill the disk with their copies.
  std::string options = "-k " + directory_ + ",../relative -p " + std::to_string(port_) +
                        " -c listen_addresses= -c max_connections=60"
                        " -c log_min_error_statement=panic";
  if (!durable_) options += " -c fsync=off -c full_page_writes=off";
  if (!RunProgram("pg_ctl", "start -s -w -t 60 -D " + Quoted(directory_ + "/data") + " -o " +
                                Quoted(options) + " -l " + Quoted(directory_ + "/server.log"))) {
    throw std::runtime_error("the PostgreSQL server did not start:\n" + Log());
  }
}

void PostgresTestServer::Stop() {
  RunProgram("pg_ctl", "stop -s -m immediate -D " + Quoted(directory_ + "/data"));
}

std::string PostgresTestServer::Conninfo(const std::string& database) const {
  return "host=" + directory_ + " port=" + std::to_string(port_) +
         " user=postgres dbname=" + database;
}

std::string PostgresTestServer::InitString(const std::string& database) const {
  return "Provider=PostgreSQL;Host=" + directory_ + ";Port=" + std::to_string(port_) +
         ";User ID=postgres;Database=" + database;
}

std::string PostgresTestServer::DatabaseOf(const std::string& init_string) {
  const size_t at = init_string.rfind("Database=");
  return at == std::string::npos ? "postgres" : init_string.substr(at + 9);
}

std::string PostgresTestServer::CreateDatabase(const std::string& template_init) {
  std::string name;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    name = "korvalis_" + std::to_string(++next_database_);
  }
  const std::string init = InitString(name);
  const std::string from = template_init.empty() ? "template0" : DatabaseOf(template_init);
  RunSql("Database=postgres",
         "CREATE DATABASE " + name + " TEMPLATE " + from + " ENCODING 'UTF8' STRATEGY FILE_COPY");
  return init;
}

void PostgresTestServer::DropDatabase(const std::string& init_string) {
  RunSql("Database=postgres",
         "DROP DATABASE IF EXISTS " + DatabaseOf(init_string) + " WITH (FORCE)");
}

std::string PostgresTestServer::RunSql(const std::string& init_string, const std::string& sql) {
  PGconn* c = PQconnectdb(Conninfo(DatabaseOf(init_string)).c_str());
  PQsetNoticeProcessor(
      c, [](void*, const char*) {}, nullptr);
  PGresult* r = PQexec(c, sql.c_str());
  const ExecStatusType status = PQresultStatus(r);
  const std::string message = PQerrorMessage(c);
  const std::string value =
      status == PGRES_TUPLES_OK && PQntuples(r) > 0 ? PQgetvalue(r, 0, 0) : std::string();
  PQclear(r);
  PQfinish(c);
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
    throw std::runtime_error("the test server failed: " + message);
  }
  return value;
}

}  // namespace korvalis::db::testing
