// The client's side of Command Timeout on a server connection: every wait for the server's
// answer to a round trip (its requests sent, its results received) ends by the round trip's
// deadline. The server cancels a statement at Command Timeout itself, but only where the
// statement looks for interrupts; a backend busy inside a function that never does (a text
// function over hundreds of megabytes, an XML library inside one evaluation) would keep its
// client waiting as long as it runs. So at the deadline the client asks the server to cancel;
// a server that still does not answer within kCancelGrace is given up: the connection's socket
// is shut and closed, the connection is lost for good (libpq's status CONNECTION_BAD), and the
// server, once its backend looks again, finds its client gone and ends the session, undoing its
// transaction and releasing what it held.
//
//   waiting --an answer is whole--------------------------------------------> answered
//      |--deadline passes: the server asked to cancel--> cancelling --answer whole--> answered
//      \--Cancel(): a reader stops early---------------/      |--grace passes--> given up
//                                                             \--request not taken--> given up
//
// The cancel request itself is bounded by the grace (postgres_cancel_request.h); one that the
// server's main process did not take by then may still arrive and cancel whatever the connection
// would run next, so the connection is given up at once.
//
// After a cancel at the deadline the grace is counted from the cancel; after a cancel of the
// client's own, from the last answer received (so a server that still sends what it computed
// is read to its end), but never past the grace after Command Timeout.
//
// A bound of zero waits as long as the server takes.
//
// Every wait of the client on the server, and how it ends (the libpq calls that could block):
//   connecting      PQconnectdbParams: libpq's connect_timeout, Connect Timeout (the name's
//                   lookup: the system's resolver and its own timeout)
//   round trips     the catalog's load, the session's settings, the runtime's check, every
//                   statement, COMMIT and ROLLBACK: sent with PQsendQuery, PQsendQueryParams,
//                   PQsendPrepare, PQsendQueryPrepared and PQpipelineSync on a non-blocking
//                   connection (they never wait), then AnswerWait: poll on the socket until the
//                   deadline, PQflush and PQconsumeInput (never waiting), PQgetResult once
//                   PQisBusy says the result is whole; never PQexec, PQprepare or PQexecPrepared
//   cancel          the request written on a non-blocking socket of its own, polled until the
//                   grace (RequestCancel)
//   closing         PQfinish on a non-blocking connection: its goodbye is written without
//                   waiting; a COMMIT whose answer was not read is read for a second first
//   at a signal     the same requests, sent by the program's signal handler, by the grace
//                   (cancel_at_signal.h)
//   installation    the runtime's, on a connection that finds it missing or old: round trips
//                   as above, by Command Timeout but no less than kInstallationFloor
//
// Thread-safety: one thread at a time, with the connection it waits on.
#pragma once

#include <chrono>

struct pg_conn;
struct pg_result;

namespace korvalis::db {

class AnswerWait {
 public:
  using Clock = std::chrono::steady_clock;
  // How long a server asked to cancel may take to answer before its connection is given up.
  static constexpr Clock::duration kCancelGrace = std::chrono::milliseconds(500);

  AnswerWait() = default;
  // A round trip of `connection` that starts now, bounded by `bound` (zero: no bound).
  AnswerWait(pg_conn* connection, std::chrono::seconds bound);

  // Waits until what was sent is sent and libpq holds the next result whole, so that
  // PQgetResult returns at once; true also when the connection failed meanwhile (PQgetResult
  // then reports it). False when the server was given up: the connection is lost and its
  // descriptor closed.
  bool Await();
  // Asks the server to cancel now; the answer is then awaited for the grace alone.
  void Cancel() noexcept;
  // Whether the server was asked to cancel at the deadline: the round trip's cancelled
  // statement ran past Command Timeout.
  bool timed_out() const { return timed_out_; }
  // Whether the server was given up.
  bool given_up() const { return given_up_; }
  // Whether every request of the round trip was sent whole (the server may have run them all).
  bool sent() const { return sent_; }
  std::chrono::seconds bound() const { return bound_; }

 private:
  // Shuts the socket and lets libpq find it closed: libpq then closes the descriptor and marks
  // the connection lost.
  void GiveUp() noexcept;

  pg_conn* connection_ = nullptr;
  std::chrono::seconds bound_{0};
  Clock::time_point deadline_ = Clock::time_point::max();  // of the present state
  Clock::time_point last_ = Clock::time_point::max();      // Command Timeout and the grace
  bool cancelled_ = false;                                 // the server was asked to cancel
  bool timed_out_ = false;                                 // ... at the deadline
  bool unconfirmed_ = false;  // ... by a request that may still arrive: the server is given up
  bool given_up_ = false;
  bool sent_ = false;
};

// Runs `sql` (no parameters, any number of statements) on the non-blocking `connection` as one
// round trip, as PQexec does, awaited through `wait` (made for it): the last result, owned by
// the caller, unless one failed before it; nullptr when it could not be sent or the server was
// given up (wait->given_up()).
pg_result* ExecAwaited(pg_conn* connection, const char* sql, AnswerWait* wait) noexcept;

}  // namespace korvalis::db
