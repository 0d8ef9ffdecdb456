// A test process killed with everything under it, as CTest ends a test past its time, leaves
// neither its PostgreSQL server nor its cluster behind, even with the server's main process and
// a backend stopped.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/db/testing/postgres_test_server.h"
#include "platform/db/testing/process_tree.h"

extern char** environ;

namespace korvalis::db::testing {
namespace {

namespace fs = std::filesystem;

constexpr char kChildVariable[] = "KORVALIS_TEST_SERVER_CHILD";

// In the child this binary is run as: starts the server, writes its directory on standard
// output and waits to be killed.
[[maybe_unused]] const bool kChild = [] {
  if (std::getenv(kChildVariable) == nullptr) return false;
  const std::string line = PostgresTestServer::Get().directory() + "\n";
  if (::write(1, line.data(), line.size()) != static_cast<ssize_t>(line.size())) ::_exit(1);
  for (;;) ::pause();
}();

// Stops `pid`, kills everything under it, then kills it: what CTest does at a test's timeout.
void KillTree(pid_t pid) {
  ::kill(pid, SIGSTOP);
  for (const pid_t child : ChildrenOf(pid)) KillTree(child);
  ::kill(pid, SIGKILL);
}

// This binary run as a child that starts a server, killed with everything under it at
// Kill() or at the latest when the object is destroyed.
class ServerChild {
 public:
  ServerChild() {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    std::vector<char*> environment;
    for (char** variable = environ; *variable != nullptr; ++variable) {
      environment.push_back(*variable);
    }
    std::string child_variable = std::string(kChildVariable) + "=1";
    environment.push_back(child_variable.data());
    environment.push_back(nullptr);
    const std::string self = fs::read_symlink("/proc/self/exe");
    const char* argv[] = {self.c_str(), nullptr};
    if (posix_spawn(&pid_, self.c_str(), &actions, nullptr, const_cast<char**>(argv),
                    environment.data()) != 0) {
      pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    pollfd readable{out[0], POLLIN, 0};
    char c;
    while (pid_ > 0 && ::poll(&readable, 1, 120'000) > 0 && ::read(out[0], &c, 1) == 1 &&
           c != '\n') {
      directory_ += c;
    }
    ::close(out[0]);
  }
  ~ServerChild() { Kill(); }

  // The server's directory; empty when the child wrote none within two minutes.
  const std::string& directory() const { return directory_; }

  void Kill() {
    if (pid_ <= 0) return;
    KillTree(pid_);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  std::string directory_;
};

// True when the process `pidfd` refers to has ended within `until`.
bool EndedBy(int pidfd, std::chrono::steady_clock::time_point until) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      until - std::chrono::steady_clock::now());
  pollfd ended{pidfd, POLLIN, 0};
  return ::poll(&ended, 1, std::max<int>(0, static_cast<int>(left.count()))) > 0;
}

TEST(PostgresTestServerTest, AKilledTestLeavesNoServerNorCluster) {
  ServerChild child;
  const std::string directory = child.directory();
  ASSERT_FALSE(directory.empty()) << "the child started no server";
  PGconn* connection =
      PQconnectdb(("host=" + directory + " port=5432 user=postgres dbname=postgres").c_str());
  ASSERT_EQ(PQstatus(connection), CONNECTION_OK) << PQerrorMessage(connection);
  std::ifstream pid_file(directory + "/data/postmaster.pid");
  pid_t postmaster = 0;
  pid_file >> postmaster;
  const int postmaster_fd = ::pidfd_open(postmaster, 0);
  PGresult* backend = PQexec(connection, "SELECT pg_backend_pid()");
  ASSERT_EQ(PQresultStatus(backend), PGRES_TUPLES_OK) << PQerrorMessage(connection);
  const int backend_fd = ::pidfd_open(std::atoi(PQgetvalue(backend, 0, 0)), 0);
  PQclear(backend);
  ASSERT_GE(postmaster_fd, 0);
  ASSERT_GE(backend_fd, 0);
  // A backend stopped in the middle of a statement, and the server's main process stopped.
  ASSERT_EQ(PQsendQuery(connection, "SELECT pg_sleep(600)"), 1);
  ::pidfd_send_signal(backend_fd, SIGSTOP, nullptr, 0);
  ::pidfd_send_signal(postmaster_fd, SIGSTOP, nullptr, 0);

  child.Kill();

  // The keeper gives the server 15 s to quit before it kills it.
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  EXPECT_TRUE(EndedBy(postmaster_fd, until));
  EXPECT_TRUE(EndedBy(backend_fd, until));
  while (fs::exists(directory) && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_FALSE(fs::exists(directory));
  PQfinish(connection);
  ::close(postmaster_fd);
  ::close(backend_fd);
}

}  // namespace
}  // namespace korvalis::db::testing
