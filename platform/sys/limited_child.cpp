#include "platform/sys/limited_child.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <poll.h>
#include <ucontext.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/sys/write_all.h"

namespace korvalis::sys {
namespace {

// The page both processes map: the child writes its end there, the caller reads it once the
// child is gone.
struct EndPage {
  int finished = 0;  // set last, with release order, by Finish
  int status = 0;
  std::size_t note_length = 0;
  char note[ChildChannel::kMaxNoteBytes];
};

// The exit code of a child that could not begin its work.
constexpr int kSetUpFailed = 127;

// How often a child that writes nothing is looked at, and how many children are started for one
// work when each hangs on a lock that a thread of the caller held at the fork (libxml2 guards
// its dictionaries with one lock for the whole process, for instance).
constexpr int kProbeMilliseconds = 25;
constexpr int kAttempts = 3;

// What /proc says of a child: asleep (waiting, not running nor faulting), and the processor
// time it has used.
struct Progress {
  bool asleep = false;
  unsigned long long cpu_ticks = 0;
};

Progress ProgressOf(pid_t child) {
  Progress progress;
  const std::string path = "/proc/" + std::to_string(child) + "/stat";
  const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (file < 0) return progress;
  char text[512] = {};
  const ssize_t length = ::read(file, text, sizeof text - 1);
  ::close(file);
  // "pid (name) state ppid ..." where the name may hold anything: the fields follow the last ')'.
  const char* fields = length > 0 ? std::strrchr(text, ')') : nullptr;
  if (fields == nullptr || fields[1] != ' ') return progress;
  progress.asleep = fields[2] == 'S';
  // After the state: ppid pgrp session tty_nr tpgid flags minflt cminflt majflt cmajflt utime stime.
  char* cursor = const_cast<char*>(fields + 3);
  for (int field = 0; field < 10; ++field) std::strtoull(cursor, &cursor, 10);
  const unsigned long long user = std::strtoull(cursor, &cursor, 10);
  const unsigned long long system = std::strtoull(cursor, &cursor, 10);
  progress.cpu_ticks = user + system;
  return progress;
}

// The work's entry on its own stack; the child has one thread, so plain statics carry it.
ucontext_t caller_context;
ucontext_t work_context;
ChildWork current_work = nullptr;
void* current_argument = nullptr;
int current_pipe = -1;
EndPage* current_end = nullptr;

// The channel and its buffer live on the work's stack: the caller's thread may have little.
void RunCurrentWork() {
  ChildChannel channel(current_pipe, current_end);
  channel.Finish(current_work(channel, current_argument));
}

void AddNote(EndPage* end, std::string_view text) {
  const std::size_t room = ChildChannel::kMaxNoteBytes - end->note_length;
  const std::size_t length = text.size() < room ? text.size() : room;
  std::memcpy(end->note + end->note_length, text.data(), length);
  end->note_length += length;
}

// The address space the process has mapped now, from /proc; 0 when it cannot be read.
std::size_t MappedBytes() {
  const int file = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
  if (file < 0) return 0;
  char text[64] = {};
  const ssize_t length = ::read(file, text, sizeof text - 1);
  ::close(file);
  if (length <= 0) return 0;
  return static_cast<std::size_t>(std::strtoull(text, nullptr, 10)) *
         static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

void SetLimit(int resource, rlim_t value) {
  rlimit current{};
  if (::getrlimit(resource, &current) == 0 && current.rlim_max != RLIM_INFINITY &&
      current.rlim_max < value) {
    value = current.rlim_max;
  }
  const rlimit limit{value, value};
  ::setrlimit(resource, &limit);
}

// Signals as a fresh process has them: the caller's handlers and mask are not the child's, and
// a write to a pipe the caller closed fails instead of killing.
void ResetSignals() {
  struct sigaction default_action {};
  default_action.sa_handler = SIG_DFL;
  for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
    ::sigaction(signal_number, &default_action, nullptr);  // fails harmlessly for the reserved
  }
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, nullptr);
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
}

[[noreturn]] void BecomeChild(const ChildLimits& limits, ChildWork work, void* argument, int pipe,
                              EndPage* end, pid_t caller) {
  // A caller that dies takes its child along.
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != caller) ::_exit(kSetUpFailed);
  ResetSignals();
  // Only the pipe stays open: another caller's pipe held here would keep its end of file away.
  if (pipe > 3) ::close_range(3, static_cast<unsigned>(pipe) - 1, 0);
  ::close_range(static_cast<unsigned>(pipe) + 1, ~0U, 0);

  // Should the host run short of memory, the kernel ends the child before anything else.
  if (const int adjustment = ::open("/proc/self/oom_score_adj", O_WRONLY | O_CLOEXEC);
      adjustment >= 0) {
    WriteAll(adjustment, "1000");
    ::close(adjustment);
  }
  const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  if (limits.max_duration.count() > 0) {
    const auto seconds = static_cast<rlim_t>((limits.max_duration.count() + 999) / 1000 + 1);
    const rlimit cpu{seconds, seconds + 1};  // SIGXCPU, then SIGKILL a second later
    ::setrlimit(RLIMIT_CPU, &cpu);
  }
  SetLimit(RLIMIT_AS, MappedBytes() + limits.max_memory_growth + limits.stack_bytes + page);

  // The stack, with an inaccessible page below it so that an overflow faults.
  void* stack = ::mmap(nullptr, limits.stack_bytes + page, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK, -1, 0);
  if (stack == MAP_FAILED || ::mprotect(stack, page, PROT_NONE) != 0) {
    AddNote(end, "the work's stack cannot be mapped: ");
    AddNote(end, std::strerror(errno));
    ::_exit(kSetUpFailed);
  }
  current_work = work;
  current_argument = argument;
  current_pipe = pipe;
  current_end = end;
  ::getcontext(&work_context);
  work_context.uc_stack.ss_sp = static_cast<char*>(stack) + page;
  work_context.uc_stack.ss_size = limits.stack_bytes;
  work_context.uc_link = nullptr;
  ::makecontext(&work_context, RunCurrentWork, 0);
  ::swapcontext(&caller_context, &work_context);
  ::_exit(kSetUpFailed);  // not reached: the work ends through Finish
}

// Waits for the child's end; false when another waiter of the process reaped it.
bool Reap(pid_t child, int* wait_status) {
  for (;;) {
    if (::waitpid(child, wait_status, 0) == child) return true;
    if (errno != EINTR) return false;
  }
}

std::string HowItDied(bool reaped, int wait_status) {
  if (!reaped) return "the work's process ended without finishing its work";
  if (WIFSIGNALED(wait_status)) {
    return "the work's process was ended by signal " + std::to_string(WTERMSIG(wait_status)) +
           " (" + strsignal(WTERMSIG(wait_status)) + ")";
  }
  return "the work's process exited with code " + std::to_string(WEXITSTATUS(wait_status)) +
         " without finishing its work";
}

}  // namespace

bool ChildChannel::Write(std::string_view bytes) {
  if (buffered_ + bytes.size() > kBufferBytes && !Flush()) return false;
  if (bytes.size() >= kBufferBytes) return WriteAll(pipe_, bytes);
  std::memcpy(buffer_ + buffered_, bytes.data(), bytes.size());
  buffered_ += bytes.size();
  return true;
}

bool ChildChannel::Flush() {
  const bool written = WriteAll(pipe_, std::string_view(buffer_, buffered_));
  buffered_ = 0;
  return written;
}

void ChildChannel::Note(std::string_view text) { AddNote(static_cast<EndPage*>(end_page_), text); }

void ChildChannel::Finish(int status) {
  auto* end = static_cast<EndPage*>(end_page_);
  end->status = status;
  __atomic_store_n(&end->finished, 1, __ATOMIC_RELEASE);
  ::_exit(status);
}

namespace {

// One run of the work in a child; *stuck tells that the child hung on a lock it inherited and
// was killed for it.
ChildResult RunOnce(const ChildLimits& limits, ChildWork work, void* argument,
                    std::chrono::steady_clock::time_point deadline, bool* stuck) {
  *stuck = false;
  ChildResult result;
  void* shared = ::mmap(nullptr, sizeof(EndPage), PROT_READ | PROT_WRITE,
                        MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (shared == MAP_FAILED) {
    result.note = std::string("no page can be shared with the work's process: ") +
                  std::strerror(errno);
    return result;
  }
  auto* end = new (shared) EndPage;
  int pipe[2];
  if (::pipe2(pipe, O_CLOEXEC) != 0) {
    result.note = std::string("no pipe can be made for the work's process: ") +
                  std::strerror(errno);
    ::munmap(shared, sizeof(EndPage));
    return result;
  }
  const pid_t caller = ::getpid();
  const pid_t child = ::fork();
  if (child == 0) BecomeChild(limits, work, argument, pipe[1], end, caller);
  ::close(pipe[1]);
  if (child < 0) {
    result.note = std::string("the work's process cannot be started: ") + std::strerror(errno);
    ::close(pipe[0]);
    ::munmap(shared, sizeof(EndPage));
    return result;
  }

  // Read until the child's end of file, its deadline or its bound, whichever comes first.
  using Clock = std::chrono::steady_clock;
  const bool bounded = limits.max_duration.count() > 0;
  bool timed_out = false;
  bool too_large = false;
  bool lost = false;
  std::string read_failure;
  Progress last;
  char buffer[64 * 1024];
  for (;;) {
    int wait_ms = kProbeMilliseconds;
    if (bounded) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) {
        timed_out = true;
        break;
      }
      if (left.count() < wait_ms) wait_ms = static_cast<int>(left.count());
    }
    pollfd ready{pipe[0], POLLIN, 0};
    const int polled = ::poll(&ready, 1, wait_ms);
    if (polled < 0 && errno == EINTR) continue;
    if (polled == 0) {
      // Nothing to read for a while: a child asleep twice in a row without using the processor
      // in between waits for a lock no thread of its own will release.
      const Progress now = ProgressOf(child);
      *stuck = now.asleep && last.asleep && now.cpu_ticks == last.cpu_ticks;
      if (*stuck) break;
      last = now;
      continue;
    }
    const ssize_t length = polled < 0 ? -1 : ::read(pipe[0], buffer, sizeof buffer);
    if (length == 0) break;
    if (length < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      lost = true;
      read_failure = std::string("the work's output cannot be read: ") + std::strerror(errno);
      break;
    }
    last = Progress{};
    if (result.output.size() + static_cast<std::size_t>(length) > limits.max_output_bytes) {
      too_large = true;
      break;
    }
    result.output.append(buffer, static_cast<std::size_t>(length));
  }
  ::close(pipe[0]);
  // Before its end of file the child still holds its pipe, so it is alive and the id is its own.
  if (timed_out || too_large || lost || *stuck) ::kill(child, SIGKILL);
  int wait_status = 0;
  const bool reaped = Reap(child, &wait_status);

  const bool finished = __atomic_load_n(&end->finished, __ATOMIC_ACQUIRE) != 0;
  if (timed_out) {
    result.end = ChildEnd::kTimedOut;
  } else if (too_large) {
    result.end = ChildEnd::kOutputTooLarge;
  } else if (finished && !lost && !*stuck) {
    result.end = ChildEnd::kFinished;
    result.status = end->status;
  } else if (reaped && WIFSIGNALED(wait_status) && WTERMSIG(wait_status) == SIGXCPU) {
    result.end = ChildEnd::kTimedOut;
  } else {
    result.end = ChildEnd::kDied;
  }
  if (result.end != ChildEnd::kFinished) result.output.clear();
  if (result.end == ChildEnd::kFinished || result.end == ChildEnd::kDied) {
    result.note.assign(end->note, end->note_length);
  }
  if (result.end == ChildEnd::kDied) {
    const std::string how = *stuck ? "the work's process hung on a lock it inherited"
                            : lost ? read_failure
                                   : HowItDied(reaped, wait_status);
    result.note = result.note.empty() ? how : how + ": " + result.note;
  }
  ::munmap(shared, sizeof(EndPage));
  return result;
}

}  // namespace

ChildResult RunInChild(const ChildLimits& limits, ChildWork work, void* argument) {
  const auto deadline = std::chrono::steady_clock::now() + limits.max_duration;
  ChildResult result;
  bool stuck = true;
  for (int attempt = 0; stuck && attempt < kAttempts; ++attempt) {
    result = RunOnce(limits, work, argument, deadline, &stuck);
  }
  return result;
}

}  // namespace korvalis::sys
