#include "tools/temporary_files.h"

#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "platform/db/cancel_at_signal.h"

namespace korvalis::tools {
namespace {

// Every signal whose default action ends the process, SIGKILL and SIGSTOP aside, which no
// process can catch: those sent to end a run (SIGINT, SIGTERM, SIGHUP, SIGQUIT), those of a
// pipe, a timer or a limit (SIGPIPE, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU, SIGXFSZ), those that
// mean nothing to the command (SIGUSR1, SIGUSR2, SIGIO, SIGPWR, SIGSTKFLT, the real-time ones)
// and those of a fault (SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGTRAP, SIGSYS).
const sigset_t& EndingSignals() {
  static const sigset_t ending = [] {
    sigset_t set;
    sigemptyset(&set);
    for (int signal_number :
         {SIGHUP, SIGINT, SIGQUIT, SIGILL, SIGTRAP, SIGABRT, SIGBUS, SIGFPE, SIGUSR1, SIGSEGV,
          SIGUSR2, SIGPIPE, SIGALRM, SIGTERM, SIGSTKFLT, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF,
          SIGIO, SIGPWR, SIGSYS}) {
      sigaddset(&set, signal_number);
    }
    for (int signal_number = SIGRTMIN; signal_number <= SIGRTMAX; ++signal_number) {
      sigaddset(&set, signal_number);
    }
    return set;
  }();
  return ending;
}

// A place for one path. The handler reads only places whose `taken` is set, which is set after
// the path is written and cleared before it changes.
struct Place {
  char path[PATH_MAX];
  volatile sig_atomic_t taken;
};

Place places[kMaxTemporaryFiles];

// The line written at a signal: two buffers, the one `said` names being read by the handler
// while the other is written, so that the handler never reads a line half changed.
struct SaidLine {
  char text[512];
  volatile sig_atomic_t length;
};
SaidLine said_lines[2];
volatile sig_atomic_t said = 0;

// Only async-signal-safe calls: the cancel requests, unlink, rmdir, sigaction by way of the
// reset disposition, raise. A folder is taken before the files made in it, so places are emptied
// from the last.
void RemoveAndEnd(int signal_number) {
  db::CancelStatementsAtSignal();
  const SaidLine& line = said_lines[said];
  if (line.length > 0) {
    const int saved_errno = errno;
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, line.text, line.length);
    errno = saved_errno;
  }
  for (int i = kMaxTemporaryFiles - 1; i >= 0; --i) {
    const Place& place = places[i];
    if (place.taken && ::unlink(place.path) != 0 && errno == EISDIR) ::rmdir(place.path);
  }
  // The disposition was reset on entry: the signal, pending until the handler returns, ends
  // the process.
  ::raise(signal_number);
}

void InstallHandlers() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
    if (sigismember(&EndingSignals(), signal_number) != 1) continue;
    // A signal ignored, or handled by someone else (a sanitizer's fault handler), stays so.
    struct sigaction before {};
    if (::sigaction(signal_number, nullptr, &before) != 0 ||
        (before.sa_flags & SA_SIGINFO) != 0 || before.sa_handler != SIG_DFL) {
      continue;
    }
    struct sigaction action {};
    action.sa_handler = RemoveAndEnd;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal_number, &action, nullptr);
  }
}

}  // namespace

void CancelStatementsAtSignal() {
  db::EnableCancelAtSignal();
  InstallHandlers();
}

bool RemoveAtSignal(const std::string& path) {
  if (path.size() >= PATH_MAX) return false;
  InstallHandlers();
  // The place after the last one taken, so that the order of the places is the order taken.
  int free = kMaxTemporaryFiles;
  while (free > 0 && !places[free - 1].taken) --free;
  if (free == kMaxTemporaryFiles) return false;
  std::memcpy(places[free].path, path.c_str(), path.size() + 1);
  places[free].taken = 1;
  return true;
}

void KeepAtSignal(const std::string& path) {
  for (Place& place : places) {
    if (place.taken && path == place.path) place.taken = 0;
  }
}

void SayAtSignal(std::string_view line) {
  SaidLine& next = said_lines[1 - said];
  const size_t length = std::min(line.size(), sizeof next.text - 1);
  std::memcpy(next.text, line.data(), length);
  next.text[length] = '\n';
  next.length = line.empty() ? 0 : static_cast<sig_atomic_t>(length + 1);
  said = 1 - said;
}

SignalsHeld::SignalsHeld() {
  ::sigprocmask(SIG_BLOCK, &EndingSignals(), &before_);
}

SignalsHeld::~SignalsHeld() { ::sigprocmask(SIG_SETMASK, &before_, nullptr); }

}  // namespace korvalis::tools
