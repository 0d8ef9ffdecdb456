#include "platform/sys/command_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "platform/sys/spawn.h"

namespace korvalis::sys {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kOutputLimit = 64 * 1024;
constexpr auto kWaitStep = std::chrono::milliseconds(2);

// A descriptor closed when the scope ends.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() { Close(); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

int MillisecondsUntil(Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left <= 0 ? 0 : static_cast<int>(left);
}

// Reads the pipe until its end or the deadline; false when the deadline came first.
bool ReadUntilEnd(int fd, Clock::time_point deadline, std::string& output) {
  char buffer[4096];
  while (true) {
    pollfd readable{fd, POLLIN, 0};
    const int ready = ::poll(&readable, 1, MillisecondsUntil(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return true;
    const std::size_t room = kOutputLimit - output.size();
    output.append(buffer, static_cast<std::size_t>(n) < room ? n : room);
  }
}

// Waits for the child until the deadline; kills it when the deadline passes. Answers its status
// as waitpid gives it, and whether it ended by itself.
bool WaitUntil(pid_t pid, Clock::time_point deadline, int& status) {
  while (true) {
    const pid_t ended = ::waitpid(pid, &status, WNOHANG);
    if (ended == pid) return true;
    if (ended < 0 && errno != EINTR) return false;
    if (Clock::now() >= deadline) break;
    std::this_thread::sleep_for(kWaitStep);
  }
  ::kill(pid, SIGKILL);
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return false;
}

}  // namespace

CommandResult SpawnCommandRunner::Run(const std::vector<std::string>& argv,
                                      std::chrono::milliseconds timeout) {
  CommandResult result;
  const Clock::time_point deadline = Clock::now() + timeout;
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return result;
  Descriptor read_end(ends[0]);
  // The write end must not be one of the standard descriptors the child is given.
  Descriptor write_end(ends[1] >= 3 ? ends[1] : ::fcntl(ends[1], F_DUPFD_CLOEXEC, 3));
  if (ends[1] < 3) ::close(ends[1]);
  if (write_end.get() < 0) return result;

  pid_t pid = 0;
  if (SpawnProcess(argv, {.standard_output = write_end.get(), .new_session = true}, &pid) != 0) {
    return result;
  }
  write_end.Close();
  const bool complete = ReadUntilEnd(read_end.get(), deadline, result.output);
  int status = 0;
  const bool ended = WaitUntil(pid, complete ? deadline : Clock::now(), status);
  if (ended && WIFEXITED(status)) {
    result.exited = true;
    result.exit_status = WEXITSTATUS(status);
  }
  return result;
}

}  // namespace korvalis::sys
