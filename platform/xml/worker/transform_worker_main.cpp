// korvalis-transformer: the transformation worker. A host process starts it when it first
// transforms (platform/xml/transform_worker.h) with its control connection as standard input,
// and hands it one connection for each transformation; the worker forks a child for each from
// its own small image, in which the processor is loaded and started once, and the child does
// the work within its bounds (worker/transform_child.h). The worker itself runs no style sheet.
//
//   child states:  running ──(its end)──────────────▶ reaped: nothing more to say
//                     │  └──(crash, processor time)─▶ reaped: kEnd(kDied or kTimedOut) sent
//                     └──(host closed its end)──▶ killed ──▶ reaped
//
// The worker kills only children it has not reaped yet, so a process id it kills is always its
// own child's. When the control connection closes (the host ended), it kills its children and
// ends. Core dumps are off: a child's memory holds patient data.
#include <fcntl.h>
#include <malloc.h>
#include <pthread.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/signalfd.h>
#include <sys/wait.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "platform/sys/message_socket.h"
#include "platform/sys/on_demand_library.h"
#include "platform/xml/transform_protocol.h"
#include "platform/xml/worker/transform_child.h"
#include "platform/xml/worker/xslt_processor.h"

namespace {

using korvalis::sys::Message;
using korvalis::sys::MessageSocket;
using korvalis::xml::TransformMessage;
using korvalis::xml::TransformStatus;

struct Child {
  pid_t pid;
  MessageSocket connection;  // the worker's copy: hangs up when the host closes its end
  bool killed;
};

void SendEnd(MessageSocket& connection, TransformStatus status, const std::string& note) {
  connection.SendNow(static_cast<std::uint32_t>(TransformMessage::kEnd),
                     static_cast<std::uint32_t>(status), note);
}

// Answers for a child that ended without its own kEnd.
void ReportEnd(Child& child, int wait_status) {
  if (child.killed || (WIFEXITED(wait_status) && WEXITSTATUS(wait_status) == 0)) return;
  if (WIFSIGNALED(wait_status) &&
      (WTERMSIG(wait_status) == SIGXCPU || WTERMSIG(wait_status) == SIGKILL)) {
    // SIGKILL comes from the kernel a second after SIGXCPU, or when the machine is short of
    // memory; the processor time is the likelier.
    SendEnd(child.connection, TransformStatus::kTimedOut,
            "the transformation's process used its processor time");
    return;
  }
  const std::string how =
      WIFSIGNALED(wait_status)
          ? "the transformation's process was ended by signal " +
                std::to_string(WTERMSIG(wait_status)) + " (" + strsignal(WTERMSIG(wait_status)) + ")"
          : "the transformation's process exited with code " +
                std::to_string(WEXITSTATUS(wait_status)) + " without finishing its work";
  SendEnd(child.connection, TransformStatus::kDied, how);
}

void ReapChildren(std::vector<Child>& children) {
  for (;;) {
    int wait_status = 0;
    const pid_t pid = ::waitpid(-1, &wait_status, WNOHANG);
    if (pid <= 0) return;
    for (auto child = children.begin(); child != children.end(); ++child) {
      if (child->pid != pid) continue;
      ReportEnd(*child, wait_status);
      children.erase(child);
      break;
    }
  }
}

// Forks the child of a transformation whose connection came with a kStart.
void StartChild(std::vector<Child>& children, int descriptor, pid_t worker) {
  MessageSocket connection(descriptor);
  const pid_t pid = ::fork();
  if (pid == 0) korvalis::xml::RunTransformationChild(descriptor, worker);
  if (pid < 0) {
    SendEnd(connection, TransformStatus::kNotStarted,
            std::string("the transformation's process cannot be started: ") +
                std::strerror(errno));
    return;
  }
  children.push_back({pid, std::move(connection), false});
}

// Takes the next control message; false when the host is gone.
bool TakeControl(MessageSocket& control, std::vector<Child>& children, pid_t worker) {
  Message message;
  int descriptor = -1;
  const MessageSocket::Received received = control.Receive(message, std::nullopt, &descriptor);
  if (received != MessageSocket::Received::kMessage) return false;
  if (message.kind == static_cast<std::uint32_t>(TransformMessage::kStart) && descriptor >= 0) {
    StartChild(children, descriptor, worker);
  } else if (descriptor >= 0) {
    ::close(descriptor);
  }
  return true;
}

int Serve(MessageSocket& control, int child_ends) {
  const pid_t worker = ::getpid();
  std::vector<Child> children;
  std::vector<pollfd> watched;
  for (;;) {
    watched.assign({{control.descriptor(), POLLIN, 0}, {child_ends, POLLIN, 0}});
    for (const Child& child : children) {
      watched.push_back({child.killed ? -1 : child.connection.descriptor(), POLLRDHUP, 0});
    }
    if (::poll(watched.data(), watched.size(), -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (watched[1].revents != 0) {
      signalfd_siginfo ended;
      while (::read(child_ends, &ended, sizeof ended) == sizeof ended) {
      }
      ReapChildren(children);
    }
    for (std::size_t i = 2; i < watched.size() && i - 2 < children.size(); ++i) {
      Child& child = children[i - 2];
      if (watched[i].revents != 0 && !child.killed && watched[i].fd == child.connection.descriptor()) {
        ::kill(child.pid, SIGKILL);  // not reaped yet: the id is still the child's
        child.killed = true;
      }
    }
    if (watched[0].revents != 0 && !TakeControl(control, children, worker)) break;
  }
  for (const Child& child : children) ::kill(child.pid, SIGKILL);
  return 0;
}

// The stack the worker serves on, and so each child's: a level of templates takes under 500
// bytes of it, so that 10,000 levels nesting ten instructions each fit.
constexpr std::size_t kWorkStackBytes = std::size_t{256} << 20;

struct ServeArguments {
  MessageSocket* control;
  int child_ends;
};

void* ServeOnLargeStack(void* argument) {
  const auto* serve = static_cast<ServeArguments*>(argument);
  Serve(*serve->control, serve->child_ends);
  return nullptr;
}

// Answers every transformation with the reason the processor cannot be started.
int RefuseAll(MessageSocket& control, const std::string& reason) {
  Message message;
  int descriptor = -1;
  while (control.Receive(message, std::nullopt, &descriptor) == MessageSocket::Received::kMessage) {
    if (descriptor < 0) continue;
    MessageSocket connection(descriptor);
    SendEnd(connection, TransformStatus::kNotStarted, reason);
  }
  return 0;
}

// The worker and its children go first should the machine run short of memory; a child's
// memory is never dumped.
void ProtectHost() {
  const rlimit no_core{0, 0};
  ::setrlimit(RLIMIT_CORE, &no_core);
  ::prctl(PR_SET_DUMPABLE, 0);
  if (const int adjustment = ::open("/proc/self/oom_score_adj", O_WRONLY | O_CLOEXEC);
      adjustment >= 0) {
    [[maybe_unused]] const ssize_t written = ::write(adjustment, "1000", 4);
    ::close(adjustment);
  }
}

}  // namespace

int main() {
  ProtectHost();
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, nullptr);
  // One arena: a child's allocations grow the heap it inherited, with no arena of its own to map.
  ::mallopt(M_ARENA_MAX, 1);
  MessageSocket control(0);
  try {
    korvalis::xml::StartProcessor();
  } catch (const korvalis::sys::LibraryUnavailable& unavailable) {
    return RefuseAll(control, unavailable.what());
  }
  sigset_t child_signals;
  ::sigemptyset(&child_signals);
  ::sigaddset(&child_signals, SIGCHLD);
  ::sigprocmask(SIG_BLOCK, &child_signals, nullptr);
  const int child_ends = ::signalfd(-1, &child_signals, SFD_NONBLOCK | SFD_CLOEXEC);
  if (child_ends < 0) return RefuseAll(control, std::string("no signal descriptor: ") +
                                                    std::strerror(errno));
  // Children are forked by a thread whose stack is large enough for the deepest transformation,
  // so that each child has it at no cost of its own.
  ServeArguments arguments{&control, child_ends};
  pthread_attr_t attributes;
  pthread_t serving;
  if (::pthread_attr_init(&attributes) != 0 ||
      ::pthread_attr_setstacksize(&attributes, kWorkStackBytes) != 0 ||
      ::pthread_create(&serving, &attributes, ServeOnLargeStack, &arguments) != 0) {
    return RefuseAll(control, "the transformations' stack cannot be made");
  }
  ::pthread_join(serving, nullptr);
  return 0;
}
