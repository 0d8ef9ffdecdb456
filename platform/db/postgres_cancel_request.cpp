#include "platform/db/postgres_cancel_request.h"

#include <libpq-fe.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/db/libpq_cancel_connection.h"
#include "platform/sys/event_log.h"
#include "platform/text/unicode.h"

namespace korvalis::db {
namespace {

using Clock = std::chrono::steady_clock;

// The leading fields of libpq's cancel object, 12 to 17: the server's address as libpq keeps
// it (a structure of its own, padded to the address's alignment), then the backend's process id
// and secret key.
struct LibpqCancelHead {
  struct {
    sockaddr_storage address;
    socklen_t length;
  } server;
  int backend_pid;
  int key;
};
constexpr int kFirstKnownLibpq = 120000, kFirstUnknownLibpq = 180000;

// The request's packet: its length, the request's code, the backend's process id and key, each
// four bytes in network order.
constexpr int kPacketLength = 16;
constexpr uint32_t kCancelRequestCode = 80877102;

void PutWord(uint32_t word, unsigned char* at) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(word >> (24 - 8 * i));
}

enum class Stage { kConnecting, kAwaiting, kDone };

struct Request {
  int fd = -1;
  Stage stage = Stage::kDone;
};

void Finish(Request& request, CancelOutcome* outcome, CancelOutcome what) {
  ::close(request.fd);
  request.fd = -1;
  request.stage = Stage::kDone;
  *outcome = what;
}

// Writes the packet on the connected socket; a fresh socket takes 16 bytes at once.
void Send(const CancelTarget& target, Request& request, CancelOutcome* outcome) {
  unsigned char packet[kPacketLength];
  PutWord(kPacketLength, packet);
  PutWord(kCancelRequestCode, packet + 4);
  PutWord(static_cast<uint32_t>(target.backend_pid), packet + 8);
  PutWord(static_cast<uint32_t>(target.key), packet + 12);
  const ssize_t written = ::send(request.fd, packet, sizeof packet, MSG_NOSIGNAL);
  if (written == kPacketLength) {
    request.stage = Stage::kAwaiting;
  } else {
    Finish(request, outcome, written <= 0 ? CancelOutcome::kNotSent : CancelOutcome::kUnknown);
  }
}

// Opens the request's socket and starts connecting it. A Unix socket whose listening queue is
// full refuses at once (EAGAIN): nothing is sent.
void Start(const CancelTarget& target, Request& request, CancelOutcome* outcome) {
  *outcome = CancelOutcome::kNotSent;
  request.fd = ::socket(target.address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (request.fd < 0) return;
  request.stage = Stage::kConnecting;
  if (::connect(request.fd, reinterpret_cast<const sockaddr*>(&target.address),
                target.address_length) == 0) {
    Send(target, request, outcome);
  } else if (errno != EINPROGRESS && errno != EINTR) {
    Finish(request, outcome, CancelOutcome::kNotSent);
  }
}

// Moves a request on once poll found its socket ready.
void Advance(const CancelTarget& target, Request& request, CancelOutcome* outcome) {
  if (request.stage == Stage::kConnecting) {
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(request.fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
      Finish(request, outcome, CancelOutcome::kNotSent);
    } else {
      Send(target, request, outcome);
    }
    return;
  }
  // The main process sends nothing: it closes the connection once it took the request.
  char dropped[64];
  const ssize_t got = ::recv(request.fd, dropped, sizeof dropped, 0);
  if (got == 0) {
    Finish(request, outcome, CancelOutcome::kTaken);
  } else if (got < 0 && errno != EAGAIN && errno != EINTR) {
    Finish(request, outcome, CancelOutcome::kUnknown);
  }
}

// Whole milliseconds until `end`, rounded up; 0 once passed.
int MillisecondsUntil(Clock::time_point end) {
  const auto left = end - Clock::now();
  if (left <= Clock::duration::zero()) return 0;
  return static_cast<int>(
      std::min<long long>(std::chrono::ceil<std::chrono::milliseconds>(left).count(), 60'000));
}

// Reads the target of the system's own request from libpq's cancel object; false when the
// library's object is not the one known here.
bool ReadOwnTarget(pg_conn* connection, PGcancel* cancel, CancelTarget* target) {
  const int version = PQlibVersion();
  if (version < kFirstKnownLibpq || version >= kFirstUnknownLibpq) return false;
  const int socket = PQsocket(connection);
  sockaddr_storage own;
  socklen_t own_length = sizeof own;
  if (socket < 0 || ::getsockname(socket, reinterpret_cast<sockaddr*>(&own), &own_length) != 0) {
    return false;
  }
  LibpqCancelHead head;
  std::memcpy(&head, cancel, sizeof head);
  // The object's own process id and kind of address must be the connection's: else the layout
  // is not the one known here, and the key is not where it says.
  if (head.backend_pid != PQbackendPID(connection) ||
      head.server.address.ss_family != own.ss_family || head.server.length == 0 ||
      head.server.length > sizeof head.server.address) {
    return false;
  }
  target->address = head.server.address;
  target->address_length = head.server.length;
  target->backend_pid = head.backend_pid;
  target->key = head.key;
  return true;
}

// Says once for the process that a cancel request could not be sent, and why: the statement
// runs on until the server's own timeout, or its finding the client gone, ends it.
void ReportNoCancel(const char* why) noexcept {
  static std::atomic<bool> reported{false};
  if (reported.exchange(true)) return;
  try {
    sys::ReportEvent(sys::kEventWarning,
                     u"PostgreSQL: a cancel request could not be sent (" + FromUtf8(why) +
                         u"); a statement past its Command Timeout runs on until the server's "
                         u"own timeout ends it",
                     nullptr, 0);
  } catch (...) {
  }
}

// libpq's own request through its cancel connection, polled until `end`: as a connection is,
// waiting on its socket first for what the last poll asked (writing, before the first).
CancelOutcome SendByCancelConnection(const LibpqCancelConnection& f, pg_conn* connection,
                                     Clock::time_point end) {
  pg_cancel_conn* cancel = f.create(connection);
  if (cancel == nullptr) return CancelOutcome::kNotSent;
  CancelOutcome outcome = CancelOutcome::kNotSent;
  bool written = false;  // the request went out: libpq waits for the main process to close
  PostgresPollingStatusType state =
      f.start(cancel) == 1 ? PGRES_POLLING_WRITING : PGRES_POLLING_FAILED;
  while (state != PGRES_POLLING_FAILED) {
    written = written || state == PGRES_POLLING_READING;
    pollfd ready{f.socket(cancel),
                 static_cast<short>(state == PGRES_POLLING_READING ? POLLIN : POLLOUT), 0};
    const int wait = MillisecondsUntil(end);
    if (ready.fd < 0 || wait == 0 || (::poll(&ready, 1, wait) < 0 && errno != EINTR)) break;
    state = f.poll(cancel);
    if (state == PGRES_POLLING_OK) {
      outcome = CancelOutcome::kTaken;
      break;
    }
  }
  if (outcome != CancelOutcome::kTaken && written) outcome = CancelOutcome::kUnknown;
  f.finish(cancel);
  return outcome;
}

CancelOutcome SendByPQcancel(PGcancel* cancel) noexcept {
  char error[256];
  return PQcancel(cancel, error, sizeof error) == 1 ? CancelOutcome::kTaken
                                                    : CancelOutcome::kNotSent;
}

}  // namespace

bool ReadCancelTarget(pg_conn* connection, CancelTarget* target) noexcept {
  *target = CancelTarget{};
  if (PQsocket(connection) < 0 || PQbackendPID(connection) <= 0) return false;
  PGcancel* cancel = PQgetCancel(connection);
  if (cancel == nullptr) return false;
  if (ReadOwnTarget(connection, cancel, target)) {
    PQfreeCancel(cancel);
  } else {
    *target = CancelTarget{};
    target->libpq_cancel = cancel;
  }
  return true;
}

void FreeCancelTarget(CancelTarget* target) noexcept {
  PQfreeCancel(target->libpq_cancel);
  target->libpq_cancel = nullptr;
}

void SendCancelRequests(const CancelTarget* targets, int count, Clock::time_point end,
                        CancelOutcome* outcomes) noexcept {
  count = std::clamp(count, 0, kMaxCancelRequests);
  Request requests[kMaxCancelRequests];
  for (int i = 0; i < count; ++i) {
    if (targets[i].address_length > 0) Start(targets[i], requests[i], &outcomes[i]);
  }
  for (int i = 0; i < count; ++i) {
    if (targets[i].address_length == 0) outcomes[i] = SendByPQcancel(targets[i].libpq_cancel);
  }
  for (;;) {
    pollfd ready[kMaxCancelRequests];
    int of[kMaxCancelRequests];  // the request of each entry of `ready`
    int waiting = 0;
    for (int i = 0; i < count; ++i) {
      if (requests[i].stage == Stage::kDone) continue;
      const short events = requests[i].stage == Stage::kConnecting ? POLLOUT : POLLIN;
      ready[waiting] = pollfd{requests[i].fd, events, 0};
      of[waiting++] = i;
    }
    const int wait = MillisecondsUntil(end);
    if (waiting == 0 || wait == 0) break;
    const int polled = ::poll(ready, static_cast<nfds_t>(waiting), wait);
    if (polled < 0 && errno != EINTR) break;
    for (int k = 0; k < waiting && polled > 0; ++k) {
      if (ready[k].revents != 0) Advance(targets[of[k]], requests[of[k]], &outcomes[of[k]]);
    }
  }
  // What the deadline left: a request not yet written never arrives; one written may.
  for (int i = 0; i < count; ++i) {
    if (requests[i].stage == Stage::kConnecting) {
      Finish(requests[i], &outcomes[i], CancelOutcome::kNotSent);
    } else if (requests[i].stage == Stage::kAwaiting) {
      Finish(requests[i], &outcomes[i], CancelOutcome::kUnknown);
    }
  }
}

CancelOutcome RequestCancel(pg_conn* connection, Clock::time_point end) noexcept {
  CancelTarget target;
  if (!ReadCancelTarget(connection, &target)) {
    // A connection without its socket runs nothing; an open one whose libpq gives no cancel
    // object cannot be cancelled.
    if (PQsocket(connection) >= 0) ReportNoCancel("libpq gives no cancel object");
    return CancelOutcome::kNotSent;
  }
  CancelOutcome outcome = CancelOutcome::kNotSent;
  const char* route =
      "the server's main process did not take the request at the address the "
      "connection reached it by";
  if (target.address_length > 0) {
    SendCancelRequests(&target, 1, end, &outcome);
  } else if (LibpqCancelConnectionFunctions().create != nullptr) {
    outcome = SendByCancelConnection(LibpqCancelConnectionFunctions(), connection, end);
    route = "libpq's cancel connection failed";
  } else {
    outcome = SendByPQcancel(target.libpq_cancel);
    route = "libpq's PQcancel failed";
  }
  FreeCancelTarget(&target);
  if (outcome == CancelOutcome::kNotSent) ReportNoCancel(route);
  return outcome;
}

}  // namespace korvalis::db
