#include "platform/db/cancel_at_signal.h"

#include <fcntl.h>
#include <libpq-fe.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>

#include "platform/db/postgres_answer_wait.h"

namespace korvalis::cancel_at_signal_detail {

// The cancel object of one connection, with the libpq function of the copy of this code that
// made it: that copy's library is loaded, where another copy's may not be (loading is no work
// for a signal handler).
struct Place {
  PGcancel* cancel;
  int (*send)(PGcancel*, char*, int);
};

// A static data member of a class template has vague linkage, which the toolchain gives unique
// binding: every shared object of the process that carries this code uses the same members.
struct PlacesTag;
template <typename Tag>
struct ProcessWide {
  static inline std::atomic<bool> enabled{false};
  static inline std::atomic<void*> places[korvalis::db::kMaxCancelAtSignal]{};
  // The cancelling thread's pipes: a byte written to `ask` has it send the requests, and it
  // writes a byte to `done` once they were taken. -1 until the thread runs.
  static inline std::atomic<int> ask{-1};
  static inline std::atomic<int> done{-1};
  static inline std::atomic<pid_t> thread_process{0};  // the process the thread runs in
};
using Shared = ProcessWide<PlacesTag>;

}  // namespace korvalis::cancel_at_signal_detail

namespace korvalis::db {
namespace {

using cancel_at_signal_detail::Place;
using cancel_at_signal_detail::Shared;

// Sends the request of every open connection; each is taken from its place, never freed: the
// connection's end finds it gone.
void SendRequests() {
  for (std::atomic<void*>& slot : Shared::places) {
    if (auto* place = static_cast<Place*>(slot.exchange(nullptr))) {
      char error[256];
      place->send(place->cancel, error, sizeof error);
    }
  }
}

// The cancelling thread, with every signal blocked: reads its pipe until a handler asks.
void* CancelWhenAsked(void* pipes) {
  const int* fds = static_cast<const int*>(pipes);
  const int ask = fds[0], done = fds[1];
  delete[] fds;
  for (char byte = 0;;) {
    const ssize_t got = ::read(ask, &byte, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return nullptr;
    SendRequests();
    while (::write(done, &byte, 1) < 0 && errno == EINTR) {
    }
  }
}

void StartCancellingThread() {
  static std::atomic<bool> started{false};
  if (started.exchange(true)) return;
  int ask[2], done[2];
  if (::pipe2(ask, O_CLOEXEC) != 0) return;
  if (::pipe2(done, O_CLOEXEC) != 0) {
    ::close(ask[0]);
    ::close(ask[1]);
    return;
  }
  sigset_t all, before;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &before);
  pthread_t thread;
  int* thread_ends = new int[2]{ask[0], done[1]};
  const bool created = pthread_create(&thread, nullptr, CancelWhenAsked, thread_ends) == 0;
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
  if (!created) {
    delete[] thread_ends;
    for (int fd : {ask[0], ask[1], done[0], done[1]}) ::close(fd);
    return;
  }
  pthread_detach(thread);
  Shared::thread_process.store(::getpid());
  Shared::done.store(done[0]);
  Shared::ask.store(ask[1]);
}

// Milliseconds from `start` to `start` + the grace, 0 once passed.
int GraceLeft(const timespec& start) {
  timespec now;
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  const long long passed_ms =
      (now.tv_sec - start.tv_sec) * 1000LL + (now.tv_nsec - start.tv_nsec) / 1'000'000;
  const long long grace_ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(AnswerWait::kCancelGrace).count();
  return passed_ms >= grace_ms ? 0 : static_cast<int>(grace_ms - passed_ms);
}

}  // namespace

void EnableCancelAtSignal() {
  Shared::enabled.store(true);
  StartCancellingThread();
}

void CancelStatementsAtSignal() noexcept {
  const int saved_errno = errno;
  const int ask = Shared::ask.load();
  if (ask >= 0 && Shared::thread_process.load() == ::getpid()) {
    timespec start;
    ::clock_gettime(CLOCK_MONOTONIC, &start);
    const char byte = 1;
    if (::write(ask, &byte, 1) == 1) {
      pollfd done{Shared::done.load(), POLLIN, 0};
      for (int left = GraceLeft(start); left > 0; left = GraceLeft(start)) {
        const int polled = ::poll(&done, 1, left);
        if (polled > 0) {
          char answer;
          if (::read(done.fd, &answer, 1) == 1) break;
        } else if (polled == 0 || errno != EINTR) {
          break;
        }
      }
    }
  }
  errno = saved_errno;
}

CancelAtSignal::CancelAtSignal(pg_conn* connection) {
  if (!Shared::enabled.load()) return;
  PGcancel* cancel = PQgetCancel(connection);
  if (cancel == nullptr) return;
  auto* place = new Place{cancel, &PQcancel};
  for (int i = 0; i < kMaxCancelAtSignal; ++i) {
    void* free_place = nullptr;
    if (Shared::places[i].compare_exchange_strong(free_place, place)) {
      place_ = i;
      return;
    }
  }
  PQfreeCancel(cancel);
  delete place;
}

CancelAtSignal::~CancelAtSignal() {
  if (place_ < 0) return;
  if (auto* place = static_cast<Place*>(Shared::places[place_].exchange(nullptr))) {
    PQfreeCancel(place->cancel);
    delete place;
  }
}

}  // namespace korvalis::db
