#include "platform/xml/transform_worker.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/sys/high_descriptor.h"
#include "platform/sys/installed_file.h"
#include "platform/sys/process_starter.h"
#include "platform/sys/spawn.h"
#include "platform/xml/child_end.h"
#include "platform/xml/worker_program_file.h"

extern char** environ;

namespace korvalis::xml {
namespace {

using Clock = std::chrono::steady_clock;
using Deadline = sys::MessageSocket::Deadline;

// The most of a worker's standard error kept for the cause of a failed start.
constexpr std::size_t kMaxStartReport = 2048;
// How long a worker that closed its connection has to be reaped and to finish its report.
constexpr std::chrono::milliseconds kEndWait{1000};
// How many ended workers' ends are remembered.
constexpr std::uint64_t kEndsKept = 16;

// A worker this process started that has not been reaped yet: how to signal it, how many
// transformations it took are still in the host's hands, and whether it was replaced for having
// stopped answering (it is killed once none is).
struct Launched {
  pid_t pid = 0;
  int pidfd = -1;
  int in_flight = 0;
  bool replaced = false;
};

// The worker of one process, and how its recent workers ended.
//
//   no worker ──start──▶ starting ──kHello──▶ announced ──(ends, or let go)──▶ no worker
//      ▲                    │ (ends, another version, silent)        │ (replaced: stopped
//      └──── pause ◀────────┘                                        ▼  answering)
//                                           killed once its transformations are over
struct Worker {
  explicit Worker(pid_t process) : owner(process) {}

  const pid_t owner;                      // the process whose worker this is
  std::timed_mutex mutex;                 // a caller waits for it no longer than its deadline
  std::condition_variable_any end_known;  // an entry was added to `ends`
  std::string chosen_program;             // SetWorkerProgram's, else empty
  std::string program_path;
  int program = -1;            // the program, held open from the first start
  sys::MessageSocket control;  // open from the start until the worker is let go
  bool announced = false;
  int start_report = -1;  // its standard error, read until it announced itself
  Clock::time_point started_at;
  std::uint64_t generation = 0;  // the running worker's, or the last one's
  // Held alone, or within `mutex`, and never across a wait: a transformation gives its ticket
  // back without waiting for a start of another.
  std::mutex launched_mutex;
  std::map<std::uint64_t, Launched> launched;
  std::string failed_start;      // why the last start failed
  Clock::time_point next_start;  // no start before this after a failed one
  std::map<std::uint64_t, std::string> ends;
};

std::atomic<Worker*> the_worker{nullptr};

// The program the worker of a process runs, as that process last chose and opened it; a process
// forked from it starts from the same, the descriptor held open being its own copy. Each is
// never changed once published, so that a fork amid a change copies a whole one.
struct ProgramChoice {
  std::string chosen;             // SetWorkerProgram's, else empty
  std::string path;               // the program opened, else empty
  int program;                    // its descriptor, -1 before the first start
  const ProgramChoice* replaced;  // the choice published before, kept for a reader still on it
};
std::atomic<const ProgramChoice*> the_program{nullptr};

// Publishes the worker's choice of program when it changed. Precondition: worker.mutex is held.
void PublishProgram(const Worker& worker) {
  const ProgramChoice* published = the_program.load(std::memory_order_acquire);
  if (published != nullptr && published->chosen == worker.chosen_program &&
      published->path == worker.program_path && published->program == worker.program) {
    return;
  }
  // Never destroyed: a process forked from this one reads it; a choice changes seldom.
  the_program.store(
      new ProgramChoice{worker.chosen_program, worker.program_path, worker.program, published},
      std::memory_order_release);
}

// A new process's worker state: the program its parent chose and held open, if any.
Worker* MakeWorker(pid_t self) {
  auto* fresh = new Worker(self);
  if (const ProgramChoice* inherited = the_program.load(std::memory_order_acquire)) {
    fresh->chosen_program = inherited->chosen;
    if (inherited->program >= 0 && ::fcntl(inherited->program, F_GETFD) >= 0) {
      fresh->program = inherited->program;
      fresh->program_path = inherited->path;
    }
  }
  return fresh;
}

// The worker state of the calling process. A forked child of the host finds its parent's state,
// whose lock another thread may have held at the fork: it makes its own and leaves that one.
Worker& TheWorker() {
  const pid_t self = ::getpid();
  Worker* current = the_worker.load(std::memory_order_acquire);
  while (current == nullptr || current->owner != self) {
    Worker* fresh = MakeWorker(self);  // never destroyed: no exit-time race with a caller
    if (the_worker.compare_exchange_strong(current, fresh, std::memory_order_acq_rel)) {
      return *fresh;
    }
    delete fresh;
  }
  return *current;
}

void CloseDescriptor(int& descriptor) {
  if (descriptor >= 0) ::close(descriptor);
  descriptor = -1;
}

// Opens the worker's program: the chosen one, else the first installed candidate that exists.
bool OpenProgram(Worker& worker, std::string* cause) {
  if (worker.program >= 0) return true;
  const std::vector<std::string> candidates =
      worker.chosen_program.empty() ? sys::InstalledFileCandidates(kTransformWorkerName)
                                    : std::vector<std::string>{worker.chosen_program};
  for (const std::string& candidate : candidates) {
    // Opened with O_PATH, which opens nothing: whatever stands there, the call does not wait.
    const int program = sys::AboveStandard(::open(candidate.c_str(), O_PATH | O_CLOEXEC));
    const int error = errno;
    if (program < 0 && ::access(candidate.c_str(), F_OK) != 0) continue;
    const std::string named = std::string("the transformation worker ") + candidate;
    if (program < 0) {
      *cause = named + " cannot be opened: " + std::strerror(error);
      return false;
    }
    // What is no regular file is named for what it is when the program is looked at.
    struct stat status {};
    if (::fstat(program, &status) == 0 && S_ISREG(status.st_mode) &&
        ::access(candidate.c_str(), X_OK) != 0) {
      *cause = named + " cannot be run: " + std::strerror(errno);
      ::close(program);
      return false;
    }
    worker.program = program;
    worker.program_path = candidate;
    PublishProgram(worker);
    return true;
  }
  std::string places;
  for (const std::string& candidate : candidates)
    places += (places.empty() ? "" : ", ") + candidate;
  *cause = std::string("the transformation worker ") + kTransformWorkerName +
           " cannot be found (looked for " + places + ")";
  return false;
}

// Why the worker program `named` ("the transformation worker <path>") cannot serve: it speaks
// messages of `version` (0: it does not tell), not this library's.
std::string AnotherVersion(const std::string& named, std::uint32_t version) {
  return named + " is of another version of the system (" +
         (version != 0 ? "its messages' version " + std::to_string(version)
                       : std::string("it does not tell the version of its messages")) +
         ", this library's " + std::to_string(kTransformProtocolVersion) +
         "): the package was changed since this process started, or is partly installed; "
         "restart the process once it is whole";
}

// Why the program `named` cannot serve: the file tells no version of the worker's messages, and
// is `found` ("a program (ELF) of 39 KB").
std::string NoWorker(const std::string& named, const std::string& found) {
  return named + " is no transformation worker of this system: the file is " + found +
         ", which does not tell the version of the worker's messages (this library's " +
         std::to_string(kTransformProtocolVersion) +
         "): the package is partly installed, or another file stands in the worker's place; "
         "install the package whole and restart the process";
}

// Why the program `named` cannot serve: what stands in its place, `found` ("a directory"), is
// no file a program can be.
std::string NoProgramFile(const std::string& named, const std::string& found) {
  return named + " is no transformation worker of this system: " + found +
         " stands in its place, not a program's file: the package is partly installed, or "
         "something else was put in the worker's place; install the package whole and restart "
         "the process";
}

// Reads the version that the program's file tells (transform_protocol.h), so that another is
// named at once rather than by a start that fails, and so that nothing but a regular file is
// ever opened or run. True for this library's, and for a file that may be run but not read (its
// kHello tells then).
bool SpeaksOurVersion(const Worker& worker, std::string* cause) {
  const WorkerProgramFile told = InspectWorkerProgram(worker.program);
  const std::string named = "the transformation worker " + worker.program_path;
  if (!told.regular) {
    *cause = NoProgramFile(named, told.found);
    return false;
  }
  if (!told.read || told.version == kTransformProtocolVersion) return true;
  *cause = told.version ? AnotherVersion(named, *told.version) : NoWorker(named, told.found);
  return false;
}

// Records how the worker `generation` ended once it has, on a thread of its own.
void WatchEnd(Worker& worker, std::uint64_t generation, pid_t pid) {
  auto watch = [&worker, generation, pid] {
    int status = 0;
    pid_t waited = 0;
    while ((waited = ::waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    std::lock_guard lock(worker.mutex);
    std::lock_guard launched_lock(worker.launched_mutex);
    if (const auto ended = worker.launched.find(generation); ended != worker.launched.end()) {
      CloseDescriptor(ended->second.pidfd);
      worker.launched.erase(ended);
    }
    worker.ends[generation] = waited == pid ? DescribeEnd(status) : std::string();
    while (worker.ends.size() > kEndsKept) worker.ends.erase(worker.ends.begin());
    worker.end_known.notify_all();
  };
  try {
    std::thread(watch).detach();
  } catch (const std::system_error&) {
    sys::ReapWhenEnded(pid);
  }
}

// Lets the running worker go: it ends when its children have, or with the host.
void LetGo(Worker& worker) {
  worker.control.Close();
  worker.announced = false;
  CloseDescriptor(worker.start_report);
}

// Kills the worker `generation` unless it was reaped already (its process id may then be
// another's). Precondition: worker.launched_mutex is held.
void KillLaunched(Worker& worker, std::uint64_t generation) {
  const auto launched = worker.launched.find(generation);
  if (launched == worker.launched.end() || launched->second.pid <= 0) return;
  if (launched->second.pidfd >= 0) {
    ::syscall(SYS_pidfd_send_signal, launched->second.pidfd, SIGKILL, nullptr, 0);
  } else {
    ::kill(launched->second.pid, SIGKILL);
  }
}

void Kill(Worker& worker, std::uint64_t generation) {
  std::lock_guard lock(worker.launched_mutex);
  KillLaunched(worker, generation);
}

void FailStart(Worker& worker, std::string cause, std::string* cause_out) {
  Kill(worker, worker.generation);
  LetGo(worker);
  worker.failed_start = cause;
  worker.next_start = Clock::now() + kWorkerRestartPause;
  *cause_out = std::move(cause);
}

// The worker's environment: of the host's, only what decides how the program itself loads and
// runs. The loader's library path finds the libraries as the host found them, and the
// sanitizers' options keep a checked build's settings in the worker; nothing else of the host's
// (its passwords, keys and connection strings) reaches a process that runs authors' style sheets.
// The loader binds every symbol when the worker starts, so that no child binds one again.
std::vector<std::string> WorkerEnvironment() {
  static constexpr std::string_view kKept[] = {
      "LD_LIBRARY_PATH=", "ASAN_OPTIONS=", "UBSAN_OPTIONS=", "LSAN_OPTIONS="};
  std::vector<std::string> kept = {"LD_BIND_NOW=1"};
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string_view text(*entry);
    for (const std::string_view name : kKept) {
      if (text.starts_with(name)) kept.emplace_back(text);
    }
  }
  return kept;
}

// The host's standard error, where the worker writes once it runs; -1 when the host closed it.
int HostStandardError() { return ::fcntl(2, F_GETFD) >= 0 ? 2 : -1; }

bool StartWorker(Worker& worker, std::string* cause) {
  if (Clock::now() < worker.next_start) {
    *cause = worker.failed_start;
    return false;
  }
  if (!OpenProgram(worker, cause)) return false;
  if (!SpeaksOurVersion(worker, cause)) {
    // Found again at the next start, which may find the package whole by then.
    const int program = worker.program;
    worker.program = -1;
    worker.program_path.clear();
    PublishProgram(worker);
    ::close(program);
    worker.failed_start = *cause;
    worker.next_start = Clock::now() + kWorkerRestartPause;
    return false;
  }
  sys::MessageSocket host_end, worker_end;
  int error = sys::MessageSocket::MakePair(host_end, worker_end);
  int report[2] = {-1, -1};
  if (error == 0 && ::pipe2(report, O_CLOEXEC) != 0) error = errno;
  for (int& end : report) end = sys::AboveStandard(end);
  if (error == 0 && (report[0] < 0 || report[1] < 0)) error = errno;
  pid_t pid = 0;
  const std::vector<std::string> environment = WorkerEnvironment();
  if (error == 0) {
    error = sys::SpawnProcess({worker.program_path, std::to_string(::getpid())},
                              {.standard_input = worker_end.descriptor(),
                               .standard_output = HostStandardError(),
                               .standard_error = report[1],
                               .program = worker.program,
                               .new_session = true,
                               .environment = &environment},
                              &pid);
  }
  CloseDescriptor(report[1]);
  if (error != 0) {
    CloseDescriptor(report[0]);
    *cause = "the transformation worker " + worker.program_path +
             " cannot be started: " + std::strerror(error);
    return false;
  }
  ++worker.generation;
  {
    std::lock_guard launched_lock(worker.launched_mutex);
    worker.launched[worker.generation] = {
        pid, sys::AboveStandard(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)))};
  }
  WatchEnd(worker, worker.generation, pid);
  worker.control = std::move(host_end);
  worker.start_report = report[0];
  worker.started_at = Clock::now();
  return true;
}

// What a worker that ended at its start wrote to its standard error, trimmed.
std::string ReadStartReport(int report) {
  std::string text;
  char buffer[512];
  const auto until = Clock::now() + kEndWait;
  while (text.size() < kMaxStartReport) {
    pollfd ready{report, POLLIN, 0};
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
    if (left.count() <= 0 || ::poll(&ready, 1, static_cast<int>(left.count())) <= 0) break;
    const ssize_t length = ::read(report, buffer, sizeof buffer);
    if (length <= 0) break;
    text.append(buffer, static_cast<std::size_t>(length));
  }
  text.resize(std::min(text.size(), kMaxStartReport));
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
  std::replace(text.begin(), text.end(), '\n', ' ');
  return text;
}

// Reads the new worker's kHello. False with *outcome and *cause when it ended, spoke another
// version or stayed silent (each such start fails the next ones for a pause), or when the
// caller's deadline came first (the worker is kept for the next caller).
bool AwaitHello(Worker& worker, std::unique_lock<std::timed_mutex>& lock, const Deadline& deadline,
                TransformOutcome* outcome, std::string* cause) {
  const Clock::time_point answer_by = worker.started_at + kWorkerAnswerTime;
  const Deadline bound = deadline ? std::min(*deadline, answer_by) : answer_by;
  const std::string named = "the transformation worker " + worker.program_path;
  sys::Message message;
  const sys::MessageSocket::Received received = worker.control.Receive(message, bound);
  if (received == sys::MessageSocket::Received::kMessage) {
    const std::optional<std::uint32_t> version = message.kind == Kind(TransformMessage::kHello)
                                                     ? DecodeHello(message.payload)
                                                     : std::nullopt;
    if (version == kTransformProtocolVersion) {
      worker.announced = true;
      CloseDescriptor(worker.start_report);
      return true;
    }
    FailStart(worker, AnotherVersion(named, version.value_or(0)), cause);
    return false;
  }
  if (received == sys::MessageSocket::Received::kDeadlinePassed) {
    if (Clock::now() < answer_by) {
      *outcome = TransformOutcome::kDeadlinePassed;
      *cause = named + " was still starting";
      return false;
    }
    FailStart(worker,
              named + " did not announce itself within " +
                  std::to_string(kWorkerAnswerTime.count()) + " s",
              cause);
    return false;
  }
  const std::uint64_t generation = worker.generation;
  worker.end_known.wait_for(lock, kEndWait, [&] { return worker.ends.count(generation) != 0; });
  const std::string end = worker.ends.count(generation) ? worker.ends[generation] : "";
  const std::string report = ReadStartReport(worker.start_report);
  FailStart(worker,
            named + (end.empty() ? " ended" : " " + end) + " as it started" +
                (report.empty() ? std::string() : ": " + report),
            cause);
  return false;
}

}  // namespace

bool HandToWorker(sys::MessageSocket& worker_end, const TransformOrder& order,
                  const Deadline& deadline, WorkerTicket* ticket, TransformOutcome* outcome,
                  std::string* cause) {
  ticket->Release();
  Worker& worker = TheWorker();
  std::unique_lock lock(worker.mutex, std::defer_lock);
  if (!deadline) {
    lock.lock();
  } else if (!lock.try_lock_until(*deadline)) {
    worker_end.Close();
    *outcome = TransformOutcome::kDeadlinePassed;
    *cause = "the transformation worker was being started or reached for another call";
    return false;
  }
  const std::string start = EncodeOrder(order);
  *outcome = TransformOutcome::kUnavailable;
  // A worker that has ended is found out by the hand-over; one more is started then.
  for (int attempt = 0; attempt < 2; ++attempt) {
    if ((!worker.control.IsOpen() && !StartWorker(worker, cause)) ||
        (!worker.announced && !AwaitHello(worker, lock, deadline, outcome, cause))) {
      break;
    }
    if (worker.control.Send(Kind(TransformMessage::kStart), 0, start, deadline,
                            worker_end.descriptor())) {
      ticket->generation_ = worker.generation;
      ticket->process_ = worker.owner;
      {
        // A worker reaped already is not counted: nothing is left of it to kill.
        std::lock_guard launched_lock(worker.launched_mutex);
        const auto launched = worker.launched.find(worker.generation);
        if (launched != worker.launched.end()) ++launched->second.in_flight;
      }
      worker_end.Close();
      return true;
    }
    const int error = errno;
    *cause = std::string("the transformation worker cannot be reached: ") + std::strerror(error);
    if (error == ETIMEDOUT) *outcome = TransformOutcome::kDeadlinePassed;
    // Short of memory or buffers, the worker still runs: only this transformation fails.
    if (!sys::MessageSocket::PeerGone(error)) break;
    LetGo(worker);
  }
  worker_end.Close();
  return false;
}

void ReplaceWorker(const WorkerTicket& ticket) {
  Worker& worker = TheWorker();
  std::lock_guard lock(worker.mutex);
  if (ticket.generation() != worker.generation || !worker.control.IsOpen()) return;
  // Its children at work still answer their transformations: it is killed once they are over.
  {
    std::lock_guard launched_lock(worker.launched_mutex);
    const auto launched = worker.launched.find(worker.generation);
    if (launched != worker.launched.end()) launched->second.replaced = true;
  }
  LetGo(worker);
}

void WorkerTicket::Release() {
  if (generation_ == 0 || process_ != ::getpid()) return;
  Worker& worker = TheWorker();
  std::lock_guard lock(worker.launched_mutex);
  const auto launched = worker.launched.find(generation_);
  if (launched != worker.launched.end() && --launched->second.in_flight == 0 &&
      launched->second.replaced) {
    KillLaunched(worker, generation_);
  }
  generation_ = 0;
}

std::string WorkerEnd(const WorkerTicket& ticket, std::chrono::milliseconds wait) {
  Worker& worker = TheWorker();
  std::unique_lock lock(worker.mutex);
  worker.end_known.wait_for(lock, wait,
                            [&] { return worker.ends.count(ticket.generation()) != 0; });
  const auto end = worker.ends.find(ticket.generation());
  return end == worker.ends.end() ? std::string() : end->second;
}

void SetWorkerProgram(const std::string& path) {
  Worker& worker = TheWorker();
  std::lock_guard lock(worker.mutex);
  LetGo(worker);
  const int program = worker.program;
  worker.program = -1;
  worker.chosen_program = path;
  worker.program_path.clear();
  PublishProgram(worker);  // before the close: a process forked between holds a whole choice
  if (program >= 0) ::close(program);
  worker.failed_start.clear();
  worker.next_start = {};
}

}  // namespace korvalis::xml
