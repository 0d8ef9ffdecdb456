// A request to a PostgreSQL server to cancel the statement a connection runs, bounded by a
// deadline. libpq's PQcancel connects to the server's main process, sends the request and waits
// until that process has taken it, each step without a limit of its own: a main process that is
// stopped holds it for ever on a local socket, and a host whose network drops packets until TCP
// gives up (minutes). So the request is made on a thread of its own, whose descriptor table is
// its own too: a thread not done by the deadline is cancelled in the call it waits in and
// joined, and its table closes the request's socket as it ends. Nothing of the request outlives
// the call: no thread, descriptor or memory. The table is a copy of the process's: a descriptor
// that another thread closes meanwhile stays open until the request ends (within the deadline),
// and the process's record locks stay as they are (they belong to its own table).
//
// Thread-safety: as the connection it is made for (one thread at a time); the request's thread
// blocks every signal, which the host's own threads receive as before.
#pragma once

#include <chrono>

struct pg_conn;

namespace korvalis::db {

enum class CancelOutcome {
  kTaken,    // the server's main process took the request
  kNotSent,  // nothing reached the server: no cancel can arrive later
  kUnknown,  // the request may have been sent but was not taken by the deadline: it may still
             // arrive later, and cancel whatever the connection then runs
};

// Asks the server of `connection` to cancel the statement it runs (one that ended meanwhile is
// not affected), waiting at most until `end`.
CancelOutcome RequestCancel(pg_conn* connection,
                            std::chrono::steady_clock::time_point end) noexcept;

}  // namespace korvalis::db
