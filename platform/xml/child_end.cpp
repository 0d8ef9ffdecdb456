#include "platform/xml/child_end.h"

#include <signal.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstring>

namespace korvalis::xml {
namespace {

// The processor time a child's usage shows may fall short of its limit by the kernel's tick.
constexpr double kProcessorTimeSlack = 0.1;

double Seconds(const timeval& time) {
  return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

bool IsFaultSignal(int signal) {
  return signal == SIGSEGV || signal == SIGBUS || signal == SIGILL || signal == SIGFPE ||
         signal == SIGABRT || signal == SIGTRAP;
}

}  // namespace

std::string DescribeEnd(int wait_status) {
  if (WIFEXITED(wait_status)) return "exited with code " + std::to_string(WEXITSTATUS(wait_status));
  if (WIFSIGNALED(wait_status)) {
    const int signal = WTERMSIG(wait_status);
    const char* name = ::strsignal(signal);
    return "ended by signal " + std::to_string(signal) + " (" + (name ? name : "unknown") + ")";
  }
  return "ended (status " + std::to_string(wait_status) + ")";
}

std::optional<ChildEnd> ChildEndOf(int wait_status, const rusage& usage, std::uint32_t cpu_seconds,
                                   bool memory_killer_acted) {
  if (WIFEXITED(wait_status)) {
    const int code = WEXITSTATUS(wait_status);
    if (code == kChildSentItsEnd || code == kChildLostItsHost) return std::nullopt;
    return ChildEnd{
        TransformOutcome::kCrashed,
        "the transformation's process " + DescribeEnd(wait_status) + " without finishing its work"};
  }
  if (!WIFSIGNALED(wait_status)) return std::nullopt;
  const int signal = WTERMSIG(wait_status);
  const double used = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
  if ((signal == SIGXCPU || signal == SIGKILL) && cpu_seconds > 0 &&
      used + kProcessorTimeSlack >= cpu_seconds) {
    return ChildEnd{TransformOutcome::kProcessorTimeSpent,
                    "the transformation's process used its processor time (" +
                        std::to_string(cpu_seconds) + " s)"};
  }
  const std::string how = "the transformation's process " + DescribeEnd(wait_status);
  if (signal == SIGSYS) {
    return ChildEnd{TransformOutcome::kForbiddenCall, how + ": it made a forbidden system call"};
  }
  if (IsFaultSignal(signal)) return ChildEnd{TransformOutcome::kCrashed, how + ": it crashed"};
  char spent[32];
  std::snprintf(spent, sizeof spent, "%.2f", used);
  return ChildEnd{TransformOutcome::kKilled,
                  how + " from outside, after " + spent + " s of processor time" +
                      (signal == SIGKILL && memory_killer_acted
                           ? " (the system is short of memory: its out-of-memory killer ended "
                             "processes meanwhile)"
                           : "")};
}

std::optional<std::uint64_t> MemoryKillerEnded() {
  std::FILE* statistics = std::fopen("/proc/vmstat", "re");
  if (statistics == nullptr) return std::nullopt;
  std::optional<std::uint64_t> ended;
  char name[64];
  unsigned long long value = 0;
  while (std::fscanf(statistics, "%63s %llu", name, &value) == 2) {
    if (std::strcmp(name, "oom_kill") == 0) {
      ended = value;
      break;
    }
  }
  std::fclose(statistics);
  return ended;
}

}  // namespace korvalis::xml
