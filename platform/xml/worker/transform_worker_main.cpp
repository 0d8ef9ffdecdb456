// korvalis-transformer: the transformation worker. A host process starts it when it first
// transforms (platform/xml/transform_worker.h) with its control connection as standard input,
// the host's standard error as standard output, a pipe to the host as standard error, and the
// host's process id as its argument. The worker announces its version (kHello), from then on
// writes its own and its children's faults to the host's standard error, and hands each
// transformation the host hands it to a child forked ahead from its own small image, in which the
// processor is loaded and started once (worker/spare_children.h); the child does the work within
// its bounds (worker/transform_child.h). A child that tells it is free (kChildFree, before the
// kEnd of a whole page) waits among the spares for the next transformation: its word is read when
// the host hangs up on it, so that the worker is not woken, and takes no processor from the child,
// before the host has its page.
// The worker itself runs no style sheet.
//
//   child states:  running ──(host hung up, kChildFree read)──────▶ a spare again
//                     │  ├──(its own end: kEnd sent)──────────────▶ reaped: nothing to say
//                     │  └──(killed, crashed, processor time)─────▶ reaped: kEnd(how) sent, or
//                     │                                              held until there is room
//                     └──(host hung up, no kChildFree)──▶ killed ──▶ reaped
//
//   worker states: serving ──(control connection closed)──▶ draining ──(no child left)──▶ ended
//                     └──────(host process ended)─────────────────────────────────────────▶ ended,
//                                                                            its children killed
//
// The worker kills only children it has not reaped yet, so a process id it kills is always its
// own child's. Core dumps are off: a child's memory holds patient data.
#include <fcntl.h>
#include <malloc.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/signalfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/sys/message_socket.h"
#include "platform/sys/on_demand_library.h"
#include "platform/xml/child_end.h"
#include "platform/xml/transform_protocol.h"
#include "platform/xml/worker/spare_children.h"
#include "platform/xml/worker/xslt_processor.h"

namespace {

using korvalis::sys::Message;
using korvalis::sys::MessageSocket;
using korvalis::xml::TransformMessage;
using korvalis::xml::TransformOutcome;

using korvalis::xml::Kind;

// The version of the messages this program speaks, read by the host in its file before it runs
// it.
[[gnu::used]] constexpr std::array kVersionMark = korvalis::xml::WorkerVersionMark();

// Spares kept waiting: enough that a burst of the host's calls finds them ready, while the worker
// forks the next between the calls.
constexpr std::size_t kSpareChildren = 2;
// A spare writes ahead the memory of its transformation only while fewer transformations than
// this run: then the processors it takes would be idle, and its transformation answers sooner;
// beside a full cap of them it would take processor time from their work.
constexpr std::size_t kQuietTransformations = 2;
// Children free again that wait at most, the spares included: as many as a host's turns, so that
// a host's threads each find one warm.
//
// The children alive at once are those that wait (kIdleChildren at most, the kSpareChildren fresh
// ones among them; one that came back retires after kIdleRetirement) and those at work: one for
// each transformation that holds a turn (the host's turns, max_children), one for each whose
// source is still written (those hold no turn), and, while as many work as the host has turns,
// none more for one that was killed and is still ending. A host of 8 turns whose sources are all
// written has at most 16 children alive at once, and an idle host 2.
constexpr std::size_t kIdleChildren = 8;

struct Child {
  pid_t pid;
  MessageSocket connection;  // the worker's copy: hangs up when the host shuts its end down
  MessageSocket own;         // the worker's end of the child's own connection: kChildFree
  std::uint32_t cpu_seconds;  // the processor time it may have used at its end; 0: no limit
  bool killed;
  // How many processes the out-of-memory killer had ended shortly before the child was handed
  // its work.
  std::optional<std::uint64_t> memory_kills;
};

// A worker's kEnd for a child that ended without its own, waiting for room on the connection.
struct HeldEnd {
  MessageSocket connection;
  TransformOutcome outcome;
  std::string note;
};

// A start that waits for a killed child to be reaped, so that the children ending do not add to
// those the host's turns admit.
struct WaitingStart {
  int descriptor;
  korvalis::xml::TransformOrder order;
};

struct Served {
  MessageSocket control;
  int child_ends = -1;  // signalfd of SIGCHLD
  pid_t host_pid = 0;   // the host process, the worker's parent
  int host = -1;        // pidfd of the host process; -1 where the system refuses pidfd_open
  pid_t worker = 0;
  std::vector<Child> children;
  std::vector<HeldEnd> held;
  std::deque<WaitingStart> waiting;
  korvalis::xml::ChildSandbox sandbox;
  std::optional<korvalis::xml::SpareChildren> spares;
  // The out-of-memory killer's count as last read, and when: the system makes it afresh from
  // every processor's counters, too dear to read for each transformation.
  std::optional<std::uint64_t> memory_kills;
  std::chrono::steady_clock::time_point memory_kills_read;
};

// How often the out-of-memory killer's count is read at most.
constexpr std::chrono::milliseconds kMemoryKillsRead{250};

// The out-of-memory killer's count, read within the last kMemoryKillsRead.
std::optional<std::uint64_t> RecentMemoryKills(Served& served) {
  const auto now = std::chrono::steady_clock::now();
  if (now - served.memory_kills_read >= kMemoryKillsRead) {
    served.memory_kills = korvalis::xml::MemoryKillerEnded();
    served.memory_kills_read = now;
  }
  return served.memory_kills;
}

// Sends a kEnd now; one that finds no room is held until there is.
void SendEnd(Served& served, MessageSocket connection, TransformOutcome outcome, std::string note) {
  if (connection.SendNow(Kind(TransformMessage::kEnd), static_cast<std::uint32_t>(outcome), note)) {
    return;
  }
  if (errno == ETIMEDOUT) served.held.push_back({std::move(connection), outcome, std::move(note)});
}

void ReapChildren(Served& served) {
  for (;;) {
    int wait_status = 0;
    rusage usage{};
    const pid_t pid = ::wait4(-1, &wait_status, WNOHANG, &usage);
    if (pid <= 0) return;
    for (auto child = served.children.begin(); child != served.children.end(); ++child) {
      if (child->pid != pid) continue;
      // Read afresh only for a child killed by a signal, which is seldom.
      const std::optional<std::uint64_t> memory_kills =
          child->memory_kills && WIFSIGNALED(wait_status) ? korvalis::xml::MemoryKillerEnded()
                                                          : std::nullopt;
      const std::optional<korvalis::xml::ChildEnd> end =
          child->killed
              ? std::nullopt
              : korvalis::xml::ChildEndOf(wait_status, usage, child->cpu_seconds,
                                          memory_kills && *memory_kills != *child->memory_kills);
      if (end) SendEnd(served, std::move(child->connection), end->outcome, end->note);
      served.children.erase(child);
      break;
    }
    served.spares->Forget(pid);
  }
}

// Hands the transformation whose connection came with a kStart to a spare child.
void StartChild(Served& served, int descriptor, const korvalis::xml::TransformOrder& order) {
  MessageSocket connection(descriptor);
  korvalis::xml::SpareChildren::Handed handed = served.spares->HandOver(descriptor, order);
  if (handed.pid < 0) {
    SendEnd(served, std::move(connection), TransformOutcome::kUnavailable,
            std::string("the transformation's process cannot be started: ") + std::strerror(errno));
    return;
  }
  connection.SendNow(Kind(TransformMessage::kStarted), 0, {});
  const std::uint32_t cpu_seconds =
      order.cpu_seconds > 0 ? handed.used_seconds + order.cpu_seconds : 0;
  served.children.push_back({handed.pid, std::move(connection), std::move(handed.socket),
                             cpu_seconds, false, RecentMemoryKills(served)});
}

// Reads the child's kChildFree without waiting: the processor seconds it has used, or nullopt
// when it has not told it is free (it is still at work, or it ended).
std::optional<std::uint32_t> TakeFree(Child& child) {
  Message message;
  std::uint32_t used = 0;
  if (child.own.Receive(message, std::chrono::steady_clock::now()) !=
          MessageSocket::Received::kMessage ||
      message.kind != Kind(TransformMessage::kChildFree) ||
      std::from_chars(message.payload.data(), message.payload.data() + message.payload.size(),
                      used)
              .ec != std::errc()) {
    return std::nullopt;
  }
  return used;
}

// Children whose host hung up on them go back among the spares when they told they are free, and
// are killed otherwise. `ready` holds each child's connection from `first`.
void TendChildren(Served& served, const std::vector<pollfd>& ready, std::size_t first) {
  std::vector<Child> still;
  for (std::size_t i = 0; i < served.children.size(); ++i) {
    Child& child = served.children[i];
    const bool hung_up = ready[first + i].revents != 0;
    // A child tells it is free before its host can hang up: its word is read first.
    const std::optional<std::uint32_t> free =
        hung_up && !child.killed ? TakeFree(child) : std::nullopt;
    if (free) {
      served.spares->TakeBack({child.pid, std::move(child.own), *free});
      continue;
    }
    if (hung_up && !child.killed) {
      ::kill(child.pid, SIGKILL);  // not reaped yet: the id is still the child's
      child.killed = true;
    }
    still.push_back(std::move(child));
  }
  served.children = std::move(still);
}

// Takes the next control message; false when the host has closed the control connection.
bool TakeControl(Served& served) {
  Message message;
  int descriptor = -1;
  if (served.control.Receive(message, std::nullopt, &descriptor) !=
      MessageSocket::Received::kMessage) {
    return false;
  }
  if (descriptor < 0) return true;
  const std::optional<korvalis::xml::TransformOrder> order =
      message.kind == Kind(TransformMessage::kStart) ? korvalis::xml::DecodeOrder(message.payload)
                                                     : std::nullopt;
  if (!order) {
    SendEnd(served, MessageSocket(descriptor), TransformOutcome::kUnavailable,
            "the transformation worker reads version " +
                std::to_string(korvalis::xml::kTransformProtocolVersion) +
                " of the messages; the start was not one of them");
    return true;
  }
  served.waiting.push_back({descriptor, *order});
  return true;
}

// Whether a child that was killed is still dying, with as many children as the host has turns:
// a start waits for its end rather than overlap it.
bool MustWaitForTheDying(const Served& served, std::uint32_t max_children) {
  if (served.children.size() < max_children) return false;
  for (const Child& child : served.children) {
    if (child.killed) return true;
  }
  return false;
}

// Starts the waiting transformations, in their order, as the dying children let them.
void StartWaiting(Served& served) {
  while (!served.waiting.empty() &&
         !MustWaitForTheDying(served, served.waiting.front().order.max_children)) {
    const WaitingStart start = served.waiting.front();
    served.waiting.pop_front();
    StartChild(served, start.descriptor, start.order);
  }
}

// Sends held ends that now find room; drops those whose host has gone.
void SendHeldEnds(Served& served, const std::vector<pollfd>& ready, std::size_t first) {
  std::vector<HeldEnd> still;
  for (std::size_t i = 0; i < served.held.size(); ++i) {
    HeldEnd& end = served.held[i];
    const bool keep = ready[first + i].revents == 0 ||
                      (!end.connection.SendNow(Kind(TransformMessage::kEnd),
                                               static_cast<std::uint32_t>(end.outcome), end.note) &&
                       errno == ETIMEDOUT);
    if (keep) still.push_back(std::move(end));
  }
  served.held = std::move(still);
}

// How long the worker may wait for its descriptors: until the next idle child is due to retire,
// and a second at most where the host's end is seen only by its parent's id changing.
constexpr int kHostCheckMilliseconds = 1000;

int PollTimeout(Served& served) {
  const int retirement = served.spares->RetireIdle();
  if (served.host >= 0) return retirement;
  return retirement < 0 ? kHostCheckMilliseconds : std::min(retirement, kHostCheckMilliseconds);
}

void Serve(Served& served) {
  std::vector<pollfd> watched;
  for (;;) {
    if (!served.control.IsOpen() && served.children.empty() && served.held.empty() &&
        served.waiting.empty()) {
      return;
    }
    watched.assign({{served.control.IsOpen() ? served.control.descriptor() : -1, POLLIN, 0},
                    {served.child_ends, POLLIN, 0},
                    {served.host, POLLIN, 0}});
    for (const Child& child : served.children) {
      watched.push_back({child.killed ? -1 : child.connection.descriptor(), POLLRDHUP, 0});
    }
    const std::size_t first_held = watched.size();
    for (const HeldEnd& end : served.held)
      watched.push_back({end.connection.descriptor(), POLLOUT, 0});
    // A spare is forked while nothing else waits to be done; children idle too long retire.
    const bool idle_work = served.control.IsOpen() && served.spares->Wanted();
    const int ready = ::poll(watched.data(), watched.size(), idle_work ? 0 : PollTimeout(served));
    if (served.host < 0 && ::getppid() != served.host_pid) return;  // the host process has ended
    if (ready < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (ready == 0) {
      if (idle_work) served.spares->AddOne(served.children.size() < kQuietTransformations);
      continue;
    }
    if (watched[2].revents != 0) return;  // the host process has ended
    TendChildren(served, watched, 3);
    SendHeldEnds(served, watched, first_held);
    if (watched[1].revents != 0) {
      signalfd_siginfo ended;
      while (::read(served.child_ends, &ended, sizeof ended) == sizeof ended) {
      }
      ReapChildren(served);
    }
    if (watched[0].revents != 0 && !TakeControl(served)) served.control.Close();
    StartWaiting(served);
  }
}

// Answers every transformation with the reason the processor cannot be started.
// Ends when the host closes the control connection or ends.
int RefuseAll(Served& served, const std::string& reason) {
  for (;;) {
    pollfd watched[2] = {{served.control.descriptor(), POLLIN, 0}, {served.host, POLLIN, 0}};
    const int ready = ::poll(watched, 2, served.host >= 0 ? -1 : kHostCheckMilliseconds);
    if (watched[1].revents != 0 || (served.host < 0 && ::getppid() != served.host_pid)) return 0;
    if (ready <= 0) continue;
    Message message;
    int descriptor = -1;
    const MessageSocket::Received received =
        served.control.Receive(message, std::chrono::steady_clock::now(), &descriptor);
    if (received == MessageSocket::Received::kDeadlinePassed) continue;
    if (received != MessageSocket::Received::kMessage) return 0;
    if (descriptor >= 0) {
      MessageSocket(descriptor)
          .SendNow(Kind(TransformMessage::kEnd),
                   static_cast<std::uint32_t>(TransformOutcome::kUnavailable), reason);
    }
  }
}

// The worker and its children go first should the machine run short of memory; a child's
// memory is never dumped; none of them holds a capability.
void ProtectHost() {
  const rlimit no_core{0, 0};
  ::setrlimit(RLIMIT_CORE, &no_core);
  ::prctl(PR_SET_DUMPABLE, 0);
  if (const int adjustment = ::open("/proc/self/oom_score_adj", O_WRONLY | O_CLOEXEC);
      adjustment >= 0) {
    [[maybe_unused]] const ssize_t written = ::write(adjustment, "1000", 4);
    ::close(adjustment);
  }
  // The worker needs no capability once it runs, and its children hold none from the first.
  korvalis::xml::DropCapabilities();
}

// The stack a child may grow to: a level of templates takes under 500 bytes of it, so that
// 10,000 levels nesting ten instructions each fit. The children run on the worker's main stack,
// which grows (and is charged to the system's commit limit) only as far as it is used; the
// layout of the address space leaves it room only when the limit was this large at the exec,
// so a worker started with less raises its limit and runs itself again. A hard limit below it
// leaves the children the stack it allows.
constexpr rlim_t kWorkStackBytes = rlim_t{256} << 20;

void EnsureWorkStack(char** argv) {
  rlimit stack{};
  if (::getrlimit(RLIMIT_STACK, &stack) != 0 || stack.rlim_cur == RLIM_INFINITY ||
      stack.rlim_cur >= kWorkStackBytes ||
      (stack.rlim_max != RLIM_INFINITY && stack.rlim_max < kWorkStackBytes)) {
    return;
  }
  stack.rlim_cur = kWorkStackBytes;
  if (::setrlimit(RLIMIT_STACK, &stack) == 0) ::execv("/proc/self/exe", argv);
}

// The control connection moves from standard input to a descriptor of its own, and standard
// input reads /dev/null.
int TakeControlConnection() {
  const int control = ::fcntl(0, F_DUPFD_CLOEXEC, 3);
  if (const int nothing = ::open("/dev/null", O_RDONLY | O_CLOEXEC); nothing >= 0) {
    ::dup2(nothing, 0);
    ::close(nothing);
  }
  return control;
}

// The host process, the worker's parent, watched through a descriptor of its own where the
// system gives one (a kernel before 5.3, or a host's own filter, refuses pidfd_open: then its end
// is seen as the worker's parent changing). False when it has already ended.
bool WatchHost(Served& served, const char* host_argument) {
  served.host_pid = host_argument ? static_cast<pid_t>(std::atol(host_argument)) : 0;
  if (served.host_pid <= 0) return false;
  served.host = static_cast<int>(::syscall(SYS_pidfd_open, served.host_pid, 0));
  return ::getppid() == served.host_pid;
}

// After the announcement, standard error is the host's (standard output until then), and
// standard output reads /dev/null.
void WriteToTheHostsError() {
  ::dup2(1, 2);
  if (const int nothing = ::open("/dev/null", O_WRONLY | O_CLOEXEC); nothing >= 0) {
    ::dup2(nothing, 1);
    ::close(nothing);
  }
}

}  // namespace

int main(int argc, char** argv) {
  EnsureWorkStack(argv);
  ::close(3);  // the program, as the host opened it
  ::prctl(PR_SET_NAME, "korvalis-transf");
  ProtectHost();
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, nullptr);
  // One arena: a child's allocations grow the heap it inherited, with no arena of its own to map.
  ::mallopt(M_ARENA_MAX, 1);
  // Blocks up to 1 MiB come from the heap and freed memory stays in it, so that what a spare
  // writes ahead is what its transformation allocates.
  ::mallopt(M_MMAP_THRESHOLD, 1 << 20);
  ::mallopt(M_TRIM_THRESHOLD, 8 << 20);
  Served served;
  served.control = MessageSocket(TakeControlConnection());
  served.worker = ::getpid();
  if (!WatchHost(served, argc > 1 ? argv[1] : nullptr) || !served.control.IsOpen()) return 1;
  sigset_t child_signals;
  ::sigemptyset(&child_signals);
  ::sigaddset(&child_signals, SIGCHLD);
  ::sigprocmask(SIG_BLOCK, &child_signals, nullptr);
  served.child_ends = ::signalfd(-1, &child_signals, SFD_NONBLOCK | SFD_CLOEXEC);
  if (!served.control.Send(Kind(TransformMessage::kHello), 0, korvalis::xml::EncodeHello())) {
    return 1;
  }
  WriteToTheHostsError();
  try {
    korvalis::xml::StartProcessor();
    korvalis::xml::WarmProcessor();
  } catch (const korvalis::sys::LibraryUnavailable& unavailable) {
    return RefuseAll(served, unavailable.what());
  }
  if (served.child_ends < 0) {
    return RefuseAll(served, std::string("no signal descriptor: ") + std::strerror(errno));
  }
  if (const std::string failure = served.sandbox.Prepare(); !failure.empty()) {
    return RefuseAll(served, "the transformations' confinement cannot be made: " + failure);
  }
  served.spares.emplace(served.worker, kSpareChildren, kIdleChildren, served.sandbox);
  Serve(served);
  served.spares.reset();
  for (const Child& child : served.children) ::kill(child.pid, SIGKILL);
  return 0;
}
