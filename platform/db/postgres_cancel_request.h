// A request to a PostgreSQL server to cancel the statement a connection runs, bounded by a
// deadline. The request is the protocol's own: a connection of its own to the server's main
// process (at the address the connection reached it by), a CancelRequest packet with the
// backend's process id and secret key, and the main process closing that connection once it
// took it. It is written here on a non-blocking socket (close-on-exec) made for the request and
// closed before the call returns, each step waiting by poll until the deadline at most: a main
// process that is stopped, or a network that drops packets, holds nothing past it. No thread is
// made, no signal is raised (a peer that closed early gives an error, never SIGPIPE), and no
// descriptor of the host's is touched. Every call here is async-signal-safe, so a signal
// handler sends the same request the same way (cancel_at_signal.h).
//
//   connecting --connected: the packet written whole--> awaiting --the main process closes--> taken
//       |--refused, failed, or the deadline---------------> not sent
//                                                          \--the deadline--> unknown
//
// libpq keeps the secret key to itself: it is read from libpq's cancel object, whose first
// fields (the server's address as libpq connected to it, the backend's process id, its key) have
// kept one layout in every libpq from 12 to 17. The request goes to that address, the one the
// client connected by: the name the server's socket reports may differ from it (a socket
// directory given to the server as a relative path, or mounted elsewhere in a container).
//
// A libpq outside those versions, or whose object does not hold the connection's own process id
// where the layout says, gives no such target; its own request is sent instead: its cancel
// connection (libpq_cancel_connection.h), polled until the deadline, where the library has one,
// else PQcancel, which waits as long as the server's main process takes to answer (libpq
// documents it safe in a signal handler). When not even that can be had, the event log says so,
// once for the process.
//
// Thread-safety: ReadCancelTarget as the connection it reads (one thread at a time);
// SendCancelRequests is reentrant and async-signal-safe.
#pragma once

#include <sys/socket.h>

#include <chrono>
#include <cstdint>

struct pg_conn;
struct pg_cancel;

namespace korvalis::db {

enum class CancelOutcome {
  kTaken,    // the server's main process took the request
  kNotSent,  // nothing reached the server: no cancel can arrive later
  kUnknown,  // the request may have been sent but was not taken by the deadline: it may still
             // arrive later, and cancel whatever the connection then runs
};

// Where a connection's cancel request goes, and what it says. Plain data, which a signal
// handler may read.
struct CancelTarget {
  sockaddr_storage address;  // of the server's main process, as the connection reached it
  socklen_t address_length;  // 0: the request is libpq's own, by `libpq_cancel`
  int32_t backend_pid;
  int32_t key;
  pg_cancel* libpq_cancel;   // libpq's cancel object, owned by whoever read the target
};

// Reads the target of the open `connection`: the request of the system's own where libpq's
// cancel object is known as described above, else libpq's cancel object itself (which
// FreeCancelTarget frees); false when it has neither (not connected).
bool ReadCancelTarget(pg_conn* connection, CancelTarget* target) noexcept;
// Frees what ReadCancelTarget took from libpq for `target`.
void FreeCancelTarget(CancelTarget* target) noexcept;

// At most this many requests are sent at once.
inline constexpr int kMaxCancelRequests = 16;

// Sends the request of each of the `count` targets (at most kMaxCancelRequests), side by side,
// waiting at most until `end` (libpq's own requests by PQcancel one after another, as long as
// each takes); `outcomes[i]` says what became of `targets[i]`.
void SendCancelRequests(const CancelTarget* targets, int count,
                        std::chrono::steady_clock::time_point end,
                        CancelOutcome* outcomes) noexcept;

// Asks the server of `connection` to cancel the statement it runs (one that ended meanwhile is
// not affected), waiting at most until `end`.
CancelOutcome RequestCancel(pg_conn* connection,
                            std::chrono::steady_clock::time_point end) noexcept;

}  // namespace korvalis::db
