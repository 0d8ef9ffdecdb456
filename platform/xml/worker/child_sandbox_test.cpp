// A confined child as the kernel sees it: each case forks a process that enters the sandbox and
// then tries one thing; what it may do succeeds, opening a file fails, and every other call ends
// it with SIGSYS.
#include "platform/xml/worker/child_sandbox.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace korvalis::xml {
namespace {

// The sandbox as the worker prepares it, once for every child.
ChildSandbox& Prepared() {
  static ChildSandbox& sandbox = []() -> ChildSandbox& {
    auto* made = new ChildSandbox;
    if (!made->Prepare().empty()) std::abort();
    return *made;
  }();
  return sandbox;
}

// Runs `attempt` in a confined child and answers its wait status; the child exits with the
// attempt's value. Exit code 99: the sandbox could not be entered.
int Confined(const std::function<int()>& attempt) {
  ChildSandbox& sandbox = Prepared();
  const pid_t child = ::fork();
  if (child == 0) {
    if (sandbox.Enter() != 0) ::_exit(99);
    ::_exit(attempt());
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return status;
}

bool EndedBy(int status, int signal) { return WIFSIGNALED(status) && WTERMSIG(status) == signal; }
int ExitCode(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status); }

// Its limits are the worker's to set: the child can neither raise nor lower them, nor keep
// SIGXCPU from ending it at its processor limit.
TEST(ChildSandboxTest, AConfinedChildCannotChangeItsLimitsNorHowSIGXCPUEndsIt) {
  const rlimit soft{600, RLIM_INFINITY};
  ASSERT_EQ(::setrlimit(RLIMIT_CPU, &soft), 0);  // inherited by the children below
  for (const int resource : {RLIMIT_CPU, RLIMIT_AS}) {
    EXPECT_EQ(ExitCode(Confined([resource] {
                rlimit limit{};
                if (::getrlimit(resource, &limit) != 0) return 2;
                limit.rlim_cur = limit.rlim_max;
                if (::setrlimit(resource, &limit) == 0) return 3;
                return ::prlimit(0, static_cast<__rlimit_resource>(resource), &limit, nullptr) == 0
                           ? 4
                           : 0;
              })),
              0)
        << resource;
  }
  EXPECT_EQ(ExitCode(Confined([] {
              struct sigaction ignore {};
              ignore.sa_handler = SIG_IGN;
              if (::sigaction(SIGXCPU, &ignore, nullptr) == 0) return 3;
              return ::signal(SIGXCPU, SIG_IGN) == SIG_ERR ? 0 : 4;
            })),
            0);
  const rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY};
  ::setrlimit(RLIMIT_CPU, &unlimited);
}

TEST(ChildSandboxTest, AConfinedChildCannotOpenAFileButComputesAndTalks) {
  EXPECT_EQ(ExitCode(Confined([] {
              const int file = ::open("/etc/hostname", O_RDONLY);
              return file < 0 && errno == EACCES ? 0 : 1;
            })),
            0);
  EXPECT_EQ(ExitCode(Confined([] { return ::access("/etc/hostname", R_OK) < 0 ? 0 : 1; })), 0);
  // Memory, reading its own limits, time, its descriptors.
  int ends[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, ends), 0);
  EXPECT_EQ(ExitCode(Confined([&ends] {
              std::vector<char> large(8 << 20, 'x');
              std::string text(large.begin(), large.begin() + 5);
              rlimit limit{};
              if (::getrlimit(RLIMIT_CPU, &limit) != 0) return 2;
              timespec now{};
              ::clock_gettime(CLOCK_MONOTONIC, &now);
              return ::send(ends[1], text.data(), text.size(), 0) == 5 ? 0 : 3;
            })),
            0);
  char received[8] = {};
  EXPECT_EQ(::recv(ends[0], received, sizeof received, MSG_DONTWAIT), 5);
  ::close(ends[0]);
  ::close(ends[1]);
  // abort() signals the process itself: the end the worker reports as a crash.
  EXPECT_TRUE(EndedBy(Confined([] {
                        std::abort();
                        return 0;
                      }),
                      SIGABRT));
}

// A child stopped and continued in a timed wait (a debugger, a stopped process group) resumes the
// wait, which the kernel restarts by a call of its own.
TEST(ChildSandboxTest, AConfinedChildStoppedAndContinuedGoesOn) {
  ChildSandbox& sandbox = Prepared();
  const pid_t child = ::fork();
  if (child == 0) {
    if (sandbox.Enter() != 0) ::_exit(99);
    ::poll(nullptr, 0, 300);
    ::_exit(0);
  }
  ::usleep(50'000);
  ::kill(child, SIGSTOP);
  ::usleep(50'000);
  ::kill(child, SIGCONT);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_EQ(ExitCode(status), 0);
}

TEST(ChildSandboxTest, EveryOtherCallEndsTheChildWithSIGSYS) {
  const pid_t parent = ::getpid();
  const std::map<std::string, std::function<int()>> forbidden = {
      {"socket", [] { return ::socket(AF_INET, SOCK_STREAM, 0); }},
      {"exec", [] { return ::execl("/bin/true", "true", nullptr); }},
      {"fork", [] { return static_cast<int>(::fork()); }},
      {"ptrace", [parent] { return static_cast<int>(::ptrace(PTRACE_ATTACH, parent, 0, 0)); }},
      {"a signal to another process", [parent] { return ::kill(parent, 0); }},
      {"another process's limits",
       [parent] { return ::prlimit(parent, RLIMIT_CPU, nullptr, nullptr); }},
      {"executable memory",
       [] {
         return ::mmap(nullptr, 4096, PROT_READ | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0) ==
                        MAP_FAILED
                    ? 1
                    : 0;
       }},
      {"a new descriptor", [] { return ::dup(2); }},
  };
  for (const auto& [name, attempt] : forbidden) {
    const int status = Confined(attempt);
    EXPECT_TRUE(EndedBy(status, SIGSYS)) << name << " gave " << ExitCode(status);
  }
}

// The kernel's view of a confined child: no capability, no new privileges, filtered.
TEST(ChildSandboxTest, AConfinedChildHoldsNoCapability) {
  int gate[2];
  ASSERT_EQ(::pipe(gate), 0);
  ChildSandbox& sandbox = Prepared();
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(gate[1]);
    if (sandbox.Enter() != 0) ::_exit(99);
    char byte;
    ::_exit(::read(gate[0], &byte, 1) == 0 ? 0 : 1);  // waits for the parent to look
  }
  ::close(gate[0]);
  std::map<std::string, std::string> status;
  for (int look = 0; look < 200 && status["Seccomp:"] != "2"; ++look) {
    ::usleep(5000);
    std::ifstream lines("/proc/" + std::to_string(child) + "/status");
    for (std::string field, value; lines >> field && std::getline(lines >> std::ws, value);) {
      status[field] = value;
    }
  }
  ::close(gate[1]);
  int ended = 0;
  ::waitpid(child, &ended, 0);
  EXPECT_EQ(ExitCode(ended), 0);
  EXPECT_EQ(status["Seccomp:"], "2");
  EXPECT_EQ(status["NoNewPrivs:"], "1");
  for (const char* set : {"CapInh:", "CapPrm:", "CapEff:", "CapAmb:"}) {
    EXPECT_EQ(status[set], "0000000000000000") << set;
  }
  if (::geteuid() == 0) {
    EXPECT_EQ(status["CapBnd:"], "0000000000000000");
  }
}

}  // namespace
}  // namespace korvalis::xml
