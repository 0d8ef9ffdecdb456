#include "platform/db/postgres_cancel_request.h"

#include <libpq-fe.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>

#include <cstdint>

namespace korvalis::db {
namespace {

// What the request's thread returns, besides PTHREAD_CANCELED.
int taken_marker, not_sent_marker;

// The request's thread. Its socket is made in a descriptor table of the thread's own, so that
// it is closed when the thread ends, also when the thread is cancelled inside PQcancel (whose
// frames hold nothing else: it allocates no memory, being safe in a signal handler). Without a
// table of its own the thread sends nothing rather than risk a descriptor left open.
// Not noexcept: a cancellation unwinds through it.
void* SendRequest(void* cancel) {
  if (::unshare(CLONE_FILES) != 0) return &not_sent_marker;
  char error[256];
  const int sent = PQcancel(static_cast<PGcancel*>(cancel), error, sizeof error);
  return sent == 1 ? &taken_marker : &not_sent_marker;
}

timespec MonotonicTime(std::chrono::steady_clock::time_point t) {
  const auto since = t.time_since_epoch();
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since);
  return timespec{static_cast<time_t>(seconds.count()),
                  static_cast<long>(std::chrono::nanoseconds(since - seconds).count())};
}

}  // namespace

CancelOutcome RequestCancel(pg_conn* connection,
                            std::chrono::steady_clock::time_point end) noexcept {
  PGcancel* cancel = PQgetCancel(connection);
  if (cancel == nullptr) return CancelOutcome::kNotSent;
  // The thread starts with every signal blocked: the host's signals go to its own threads.
  sigset_t all, before;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &before);
  pthread_t thread;
  const int created = pthread_create(&thread, nullptr, SendRequest, cancel);
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
  if (created != 0) {
    PQfreeCancel(cancel);
    return CancelOutcome::kNotSent;
  }
  void* result = nullptr;
  const timespec deadline = MonotonicTime(end);
  if (pthread_clockjoin_np(thread, &result, CLOCK_MONOTONIC, &deadline) != 0) {
    // Connecting, sending and waiting for the answer are all points where a cancellation acts.
    pthread_cancel(thread);
    pthread_join(thread, &result);
  }
  PQfreeCancel(cancel);
  if (result == &taken_marker) return CancelOutcome::kTaken;
  if (result == &not_sent_marker) return CancelOutcome::kNotSent;
  return CancelOutcome::kUnknown;
}

}  // namespace korvalis::db
