#include "platform/db/postgres_answer_wait.h"

#include <libpq-fe.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

#include "platform/db/postgres_cancel_request.h"

namespace korvalis::db {
namespace {

// The time until `end` as poll takes it: whole milliseconds rounded up, -1 for no end.
int PollMilliseconds(AnswerWait::Clock::time_point end) {
  if (end == AnswerWait::Clock::time_point::max()) return -1;
  const auto left = end - AnswerWait::Clock::now();
  if (left <= AnswerWait::Clock::duration::zero()) return 0;
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
  return ms > 60'000 ? 60'000 : static_cast<int>(ms);
}

}  // namespace

AnswerWait::AnswerWait(pg_conn* connection, std::chrono::seconds bound)
    : connection_(connection),
      bound_(bound),
      deadline_(bound.count() > 0 ? Clock::now() + bound : Clock::time_point::max()),
      last_(deadline_ == Clock::time_point::max() ? deadline_ : deadline_ + kCancelGrace) {}

bool AnswerWait::Await() {
  for (;;) {
    if (unconfirmed_) {
      GiveUp();
      return false;
    }
    // Requests not yet sent (a server busy with an earlier one reads none) go out as it reads.
    const int unsent = PQflush(connection_);
    if (unsent < 0 || PQstatus(connection_) != CONNECTION_OK) return true;
    sent_ = sent_ || unsent == 0;
    if (unsent == 0 && !PQisBusy(connection_)) return true;
    // Also while the answer still arrives: a huge value sent back ends by the deadline too.
    if (Clock::now() >= deadline_) {
      if (cancelled_) {
        GiveUp();
        return false;
      }
      timed_out_ = true;
      Cancel();
      continue;
    }
    pollfd ready{PQsocket(connection_), static_cast<short>(POLLIN | (unsent ? POLLOUT : 0)), 0};
    if (ready.fd < 0) return true;
    const int polled = ::poll(&ready, 1, PollMilliseconds(deadline_));
    if (polled < 0 && errno != EINTR) return true;     // libpq reports the failure
    if ((ready.revents & POLLNVAL) != 0) return true;  // libpq reports the closed socket
    if ((ready.revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
    if (PQconsumeInput(connection_) != 1) return true;  // PQgetResult reports the failure
    // A server that answers a cancel of the client's own (the rest of rows it does not want)
    // is waited for while it sends, up to the grace after its Command Timeout.
    if (cancelled_ && !timed_out_) deadline_ = std::min(Clock::now() + kCancelGrace, last_);
  }
}

void AnswerWait::Cancel() noexcept {
  if (connection_ == nullptr || given_up_) return;
  const Clock::time_point start = Clock::now();
  unconfirmed_ = RequestCancel(connection_, start + kCancelGrace) == CancelOutcome::kUnknown;
  cancelled_ = true;
  deadline_ = start + kCancelGrace;
}

void AnswerWait::GiveUp() noexcept {
  given_up_ = true;
  unconfirmed_ = false;
  ::shutdown(PQsocket(connection_), SHUT_RDWR);
  // What the server sent before the shutdown is read first, then the end of the stream, at
  // which libpq drops the connection. The socket receives nothing more, so this ends; the
  // count only guards against a library that would not say so.
  for (int read = 0; read < 1 << 20 && PQstatus(connection_) == CONNECTION_OK; ++read) {
    if (PQconsumeInput(connection_) != 1) break;
  }
}

pg_result* ExecAwaited(pg_conn* connection, const char* sql, AnswerWait* wait) noexcept {
  if (PQsendQuery(connection, sql) != 1) return nullptr;
  // As PQexec: the last result, unless one failed before it.
  PGresult* last = nullptr;
  while (wait->Await()) {
    PGresult* r = PQgetResult(connection);
    if (r == nullptr) break;
    if (last != nullptr && PQresultStatus(last) == PGRES_FATAL_ERROR) {
      PQclear(r);
    } else {
      PQclear(last);
      last = r;
    }
  }
  if (wait->given_up()) {
    PQclear(last);
    return nullptr;
  }
  return last;
}

}  // namespace korvalis::db
