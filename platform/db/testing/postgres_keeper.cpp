// korvalis_postgres_keeper <cluster directory>: stops a test's PostgreSQL server and removes its
// cluster once the test process is gone, however it ended: a normal exit, a crash, or a SIGKILL
// of the test and of every process under it (CTest ends a test that passes its time that way).
//
// Its standard input is a pipe whose writing end only the test process holds: end of file means
// that the process has exited. Its standard output is a pipe that it holds until the cluster is
// gone, so that a test ending normally can wait for that. It leaves the process tree of the test
// at once (it forks, and its first process exits), so that a kill of that tree spares it.
//
// The server may be in any state a test leaves it in: its main process or its backends stopped
// (SIGSTOP), so each is continued before the main process is told to quit at once, and killed
// when it has not quit in time.
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/db/testing/process_tree.h"

namespace {

namespace fs = std::filesystem;
using korvalis::db::testing::ChildrenOf;

// Waits until the test process has closed its end of standard input, that is, has ended.
void AwaitTestEnd() {
  char ignored[64];
  for (;;) {
    const ssize_t got = ::read(0, ignored, sizeof ignored);
    if (got == 0 || (got < 0 && errno != EINTR)) return;
  }
}

// The process that `pid_file` (a server's postmaster.pid) names, or 0.
pid_t PostmasterOf(const fs::path& pid_file) {
  std::ifstream in(pid_file);
  long pid = 0;
  return in >> pid && pid > 0 ? static_cast<pid_t>(pid) : 0;
}

// True when `pidfd`'s process has ended within `milliseconds`.
bool Ended(int pidfd, int milliseconds) {
  pollfd ready{pidfd, POLLIN, 0};
  for (;;) {
    const int result = ::poll(&ready, 1, milliseconds);
    if (result >= 0) return result > 0;
    if (errno != EINTR) return false;
  }
}

void SignalServer(int pidfd, pid_t postmaster, int signal) {
  for (const pid_t child : ChildrenOf(postmaster)) ::kill(child, signal);
  ::pidfd_send_signal(pidfd, signal, nullptr, 0);
}

// Stops the server of the cluster `data` if it runs: continued, told to quit at once (it then
// quits its backends, a stopped one by SIGKILL after some seconds, and frees its shared memory),
// killed with its backends when it has not ended in 15 s.
void StopServer(const fs::path& data) {
  const pid_t postmaster = PostmasterOf(data / "postmaster.pid");
  if (postmaster == 0) return;
  // Held from here, the process cannot be confused with a later one of the same number.
  const int pidfd = ::pidfd_open(postmaster, 0);
  if (pidfd < 0) return;
  // The file may be left from a server that ended: its number then names another process.
  std::error_code ec;
  if (!fs::equivalent("/proc/" + std::to_string(postmaster) + "/cwd", data, ec)) {
    ::close(pidfd);
    return;
  }
  SignalServer(pidfd, postmaster, SIGCONT);
  ::pidfd_send_signal(pidfd, SIGQUIT, nullptr, 0);
  if (!Ended(pidfd, 15'000)) {
    SignalServer(pidfd, postmaster, SIGKILL);
    Ended(pidfd, 5'000);
  }
  ::close(pidfd);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  // Out of the test's process tree and its session: the first process ends here, its parent
  // waits for it, and the second one is nobody's child but the system's.
  const pid_t second = ::fork();
  if (second != 0) return second < 0 ? 1 : 0;
  ::setsid();
  AwaitTestEnd();
  const fs::path cluster = argv[1];
  StopServer(cluster / "data");
  std::error_code ignored;
  fs::remove_all(cluster, ignored);
  return 0;
}
