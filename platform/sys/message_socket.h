// MessageSocket: one end of a local connection that carries whole messages (AF_UNIX,
// SOCK_SEQPACKET): each message a kind, a status and a payload, received whole or not at all,
// optionally with one descriptor passed along. On the wire a message is its kind and its status
// as four bytes each, least significant first, then the payload's bytes: no structure's layout
// travels. A reader never guesses an outcome from a closed connection: the protocol above says
// which message ends the work.
//
//   MessageSocket host, worker;
//   MessageSocket::MakePair(host, worker);
//   host.Send(kind, status, "bytes");            // one message
//   Message message;
//   worker.Receive(message, deadline);           // kMessage: message.kind, status, payload
//
// Every descriptor is made close-on-exec and at 3 or above (high_descriptor.h); a socket closes
// its descriptor when destroyed. Writing to a connection whose other end is closed fails (EPIPE),
// it never raises SIGPIPE. Close drops this copy of the descriptor only; Shutdown ends the
// connection itself, whatever copies of it other processes hold (a host's forked children).
//
// Thread-safety: one socket belongs to one thread at a time.
#pragma once

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvalis::sys {

struct Message {
  std::uint32_t kind = 0;
  std::uint32_t status = 0;
  std::string payload;
};

class MessageSocket {
 public:
  // The largest payload of one message; a socket whose send buffer is smaller sends smaller
  // ones (PayloadLimit).
  static constexpr std::size_t kMaxPayload = 60 * 1024;
  // A payload every socket sends in one message, whatever its send buffer.
  static constexpr std::size_t kMinPayload = 1024;
  // The bytes of a message's kind and status on the wire.
  static constexpr std::size_t kHeaderBytes = 8;
  using Deadline = std::optional<std::chrono::steady_clock::time_point>;

  enum class Received {
    kMessage,         // `message` holds the next message (and *passed a descriptor it carried)
    kClosed,          // the other end is closed and every message was read
    kDeadlinePassed,  // the deadline passed first
    kFailed,          // the connection failed (errno), or a message was malformed (EPROTO)
  };

  MessageSocket() = default;
  // Takes over `descriptor`. Precondition: a descriptor at 3 or above, or -1.
  explicit MessageSocket(int descriptor) : descriptor_(descriptor) {}
  ~MessageSocket() { Close(); }
  MessageSocket(MessageSocket&& other) noexcept
      : descriptor_(other.Release()), payload_limit_(other.payload_limit_) {}
  MessageSocket& operator=(MessageSocket&& other) noexcept;
  MessageSocket(const MessageSocket&) = delete;
  MessageSocket& operator=(const MessageSocket&) = delete;

  // Connects two new sockets, each with a send buffer that holds several messages of
  // kMaxPayload where the system admits it; 0, or the errno of the failure.
  static int MakePair(MessageSocket& first, MessageSocket& second);
  // Whether a send that failed with `error` found the other end gone (rather than the system
  // short of memory or buffers, which a later send may overcome).
  static bool PeerGone(int error) { return error == EPIPE || error == ECONNRESET; }

  bool IsOpen() const { return descriptor_ >= 0; }
  int descriptor() const { return descriptor_; }
  // The descriptor, no longer closed by this socket.
  int Release();
  void Close();
  // Ends the connection in both directions for every copy of it, then closes this one: the
  // other end reads the end of the connection even while other processes hold copies.
  void Shutdown();

  // The largest payload this socket sends in one message: kMaxPayload, or less when its send
  // buffer is smaller than that.
  std::size_t PayloadLimit();

  // Sends one message, waiting for room until `deadline` (none: as long as it takes). False
  // with errno when it cannot be sent (ETIMEDOUT at the deadline, EPIPE or ECONNRESET when the
  // other end is closed, EMSGSIZE past PayloadLimit). `passed`, when not negative, is a
  // descriptor the message carries along (the receiver gets its own copy).
  bool Send(std::uint32_t kind, std::uint32_t status, std::string_view payload,
            const Deadline& deadline = std::nullopt, int passed = -1);
  // Sends `text` as messages of `kind` of at most PayloadLimit bytes each (none for an empty
  // text); false as Send. *sent, when given, counts the bytes that went, whole or not.
  bool SendPieces(std::uint32_t kind, std::string_view text,
                  const Deadline& deadline = std::nullopt, std::size_t* sent = nullptr);
  // Sends one message only if there is room at once; for a sender that must never block.
  bool SendNow(std::uint32_t kind, std::uint32_t status, std::string_view payload);

  // Receives the next message, waiting until `deadline`. A descriptor the message carried is
  // stored in *passed (close-on-exec, at 3 or above; the caller owns it), or closed when
  // `passed` is null.
  Received Receive(Message& message, const Deadline& deadline = std::nullopt,
                   int* passed = nullptr);

 private:
  // Waits until the socket is ready for `events` or the deadline passes: false at the deadline.
  bool Wait(short events, const Deadline& deadline);

  int descriptor_ = -1;
  std::size_t payload_limit_ = 0;  // 0 until first asked
};

}  // namespace korvalis::sys
