// A request to a PostgreSQL server to cancel the statement a connection runs, bounded by a
// deadline. The request is the protocol's own: a connection of its own to the server's main
// process (the address the connection's socket is connected to), a CancelRequest packet with the
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
// fields (the server's address, the backend's process id, its key) have kept one layout in every
// libpq from 12 to 17. A libpq outside those, or whose object does not hold the connection's own
// process id where the layout says, gives no target, and no request is sent.
//
// Thread-safety: ReadCancelTarget as the connection it reads (one thread at a time);
// SendCancelRequests is reentrant and async-signal-safe.
#pragma once

#include <sys/socket.h>

#include <chrono>
#include <cstdint>

struct pg_conn;

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
  socklen_t address_length;
  int32_t backend_pid;
  int32_t key;
};

// Reads the target of the open `connection`; false when it has none (not connected, or a libpq
// that does not give its key as described above).
bool ReadCancelTarget(pg_conn* connection, CancelTarget* target) noexcept;

// At most this many requests are sent at once.
inline constexpr int kMaxCancelRequests = 16;

// Sends the request of each of the `count` targets (at most kMaxCancelRequests), side by side,
// waiting at most until `end`; `outcomes[i]` says what became of `targets[i]`.
void SendCancelRequests(const CancelTarget* targets, int count,
                        std::chrono::steady_clock::time_point end,
                        CancelOutcome* outcomes) noexcept;

// Asks the server of `connection` to cancel the statement it runs (one that ended meanwhile is
// not affected), waiting at most until `end`.
CancelOutcome RequestCancel(pg_conn* connection,
                            std::chrono::steady_clock::time_point end) noexcept;

}  // namespace korvalis::db
