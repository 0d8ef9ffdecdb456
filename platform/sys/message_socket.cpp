#include "platform/sys/message_socket.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/sys/high_descriptor.h"

namespace korvalis::sys {
namespace {

// The send buffer asked for: four messages of the largest payload. The system may admit less
// (net.core.wmem_max); PayloadLimit follows what it admits.
constexpr int kWantedSendBuffer = 4 * (MessageSocket::kMaxPayload + 1024);
// What the system keeps of a send buffer for its own accounting of one message.
constexpr std::size_t kBufferOverhead = 512;

void PutWord(unsigned char* bytes, std::uint32_t word) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(word >> (8 * i));
}

std::uint32_t GetWord(const unsigned char* bytes) {
  std::uint32_t word = 0;
  for (int i = 0; i < 4; ++i) word |= static_cast<std::uint32_t>(bytes[i]) << (8 * i);
  return word;
}

// Milliseconds left until `deadline` for poll: -1 for none, 0 once it has passed.
int MillisecondsLeft(const MessageSocket::Deadline& deadline) {
  if (!deadline) return -1;
  const auto left =
      std::chrono::ceil<std::chrono::milliseconds>(*deadline - std::chrono::steady_clock::now());
  if (left.count() <= 0) return 0;
  return static_cast<int>(std::min<long long>(left.count(), 1'000'000));
}

}  // namespace

MessageSocket& MessageSocket::operator=(MessageSocket&& other) noexcept {
  if (this != &other) {
    Close();
    payload_limit_ = other.payload_limit_;
    descriptor_ = other.Release();
  }
  return *this;
}

int MessageSocket::MakePair(MessageSocket& first, MessageSocket& second) {
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) return errno;
  first = MessageSocket(AboveStandard(ends[0]));
  second = MessageSocket(AboveStandard(ends[1]));
  if (!first.IsOpen() || !second.IsOpen()) {
    const int error = errno;
    first.Close();
    second.Close();
    return error;
  }
  for (const int end : {first.descriptor(), second.descriptor()}) {
    // Best effort: a smaller buffer only makes smaller messages.
    ::setsockopt(end, SOL_SOCKET, SO_SNDBUF, &kWantedSendBuffer, sizeof kWantedSendBuffer);
  }
  return 0;
}

int MessageSocket::Release() {
  const int descriptor = descriptor_;
  descriptor_ = -1;
  payload_limit_ = 0;
  return descriptor;
}

void MessageSocket::Close() {
  if (descriptor_ >= 0) ::close(descriptor_);
  descriptor_ = -1;
  payload_limit_ = 0;
}

void MessageSocket::Shutdown() {
  if (descriptor_ >= 0) ::shutdown(descriptor_, SHUT_RDWR);
  Close();
}

std::size_t MessageSocket::PayloadLimit() {
  if (payload_limit_ != 0) return payload_limit_;
  int buffer = 0;
  socklen_t length = sizeof buffer;
  payload_limit_ = kMaxPayload;
  if (::getsockopt(descriptor_, SOL_SOCKET, SO_SNDBUF, &buffer, &length) == 0 &&
      static_cast<std::size_t>(buffer) < kMaxPayload + kHeaderBytes + kBufferOverhead) {
    // The system's least send buffer still carries a few kilobytes.
    payload_limit_ = static_cast<std::size_t>(
        std::max<int>(buffer - static_cast<int>(kHeaderBytes + kBufferOverhead),
                      static_cast<int>(kMinPayload)));
  }
  return payload_limit_;
}

bool MessageSocket::Wait(short events, const Deadline& deadline) {
  for (;;) {
    const int wait = MillisecondsLeft(deadline);
    pollfd ready{descriptor_, events, 0};
    const int polled = ::poll(&ready, 1, wait);
    if (polled > 0) return true;
    if (polled == 0 && wait >= 0 && MillisecondsLeft(deadline) == 0) return false;
    if (polled < 0 && errno != EINTR) return true;  // the send or receive reports the failure
  }
}

bool MessageSocket::Send(std::uint32_t kind, std::uint32_t status, std::string_view payload,
                         const Deadline& deadline, int passed) {
  // A payload within kMinPayload fits any socket: no need to ask for its buffer.
  if (payload.size() > kMinPayload && payload.size() > PayloadLimit()) {
    errno = EMSGSIZE;
    return false;
  }
  unsigned char header[kHeaderBytes];
  PutWord(header, kind);
  PutWord(header + 4, status);
  iovec parts[2] = {{header, sizeof header}, {const_cast<char*>(payload.data()), payload.size()}};
  msghdr message{};
  message.msg_iov = parts;
  message.msg_iovlen = payload.empty() ? 1 : 2;
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
  if (passed >= 0) {
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* carried = CMSG_FIRSTHDR(&message);
    carried->cmsg_level = SOL_SOCKET;
    carried->cmsg_type = SCM_RIGHTS;
    carried->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(carried), &passed, sizeof(int));
  }
  for (;;) {
    if (::sendmsg(descriptor_, &message, MSG_NOSIGNAL | MSG_DONTWAIT) >= 0) return true;
    if (errno == EINTR) continue;
    if (errno != EAGAIN) return false;
    if (!Wait(POLLOUT, deadline)) {
      errno = ETIMEDOUT;
      return false;
    }
  }
}

bool MessageSocket::SendPieces(std::uint32_t kind, std::string_view text, const Deadline& deadline,
                               std::size_t* sent) {
  // A text within kMinPayload fits any socket: no need to ask for its buffer.
  const std::size_t limit = text.size() <= kMinPayload ? kMinPayload : PayloadLimit();
  if (sent != nullptr) *sent = 0;
  while (!text.empty()) {
    const std::size_t length = std::min(text.size(), limit);
    if (!Send(kind, 0, text.substr(0, length), deadline)) return false;
    text.remove_prefix(length);
    if (sent != nullptr) *sent += length;
  }
  return true;
}

bool MessageSocket::SendNow(std::uint32_t kind, std::uint32_t status, std::string_view payload) {
  const auto now = std::chrono::steady_clock::now();
  return Send(kind, status, payload, now);
}

MessageSocket::Received MessageSocket::Receive(Message& message, const Deadline& deadline,
                                               int* passed) {
  if (passed != nullptr) *passed = -1;
  // The next message's length, read without taking it: the payload is sized to it, so that a
  // short message writes no more memory than it holds (in a process just forked, every page
  // written is a page copied).
  ssize_t length = -1;
  for (;;) {
    length = ::recv(descriptor_, nullptr, 0, MSG_PEEK | MSG_TRUNC | MSG_DONTWAIT);
    if (length >= 0) break;
    if (errno == EINTR || errno == ECONNRESET) continue;
    if (errno != EAGAIN) return Received::kFailed;
    if (!Wait(POLLIN, deadline)) return Received::kDeadlinePassed;
  }
  const std::size_t room =
      std::min(kMaxPayload, static_cast<std::size_t>(length) > kHeaderBytes
                                ? static_cast<std::size_t>(length) - kHeaderBytes
                                : std::size_t{0});
  unsigned char header[kHeaderBytes] = {};
  message.payload.resize(room);
  iovec parts[2] = {{header, sizeof header}, {message.payload.data(), room}};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
  msghdr received{};
  received.msg_iov = parts;
  received.msg_iovlen = 2;
  received.msg_control = control;
  received.msg_controllen = sizeof control;
  for (;;) {
    length = ::recvmsg(descriptor_, &received, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
    if (length >= 0) break;
    // A peer that ended with messages of ours unread reports ECONNRESET once, ahead of the
    // messages it sent before: those are read next.
    if (errno == EINTR || errno == ECONNRESET) continue;
    if (errno != EAGAIN) return Received::kFailed;
    if (!Wait(POLLIN, deadline)) return Received::kDeadlinePassed;
  }
  for (cmsghdr* carried = CMSG_FIRSTHDR(&received); carried != nullptr;
       carried = CMSG_NXTHDR(&received, carried)) {
    if (carried->cmsg_level != SOL_SOCKET || carried->cmsg_type != SCM_RIGHTS) continue;
    int descriptor = -1;
    std::memcpy(&descriptor, CMSG_DATA(carried), sizeof(int));
    if (passed != nullptr && *passed < 0) {
      *passed = AboveStandard(descriptor);
    } else {
      ::close(descriptor);
    }
  }
  if (length == 0) return Received::kClosed;
  if (static_cast<std::size_t>(length) < sizeof header ||
      (received.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) != 0) {
    if (passed != nullptr && *passed >= 0) ::close(*passed);
    if (passed != nullptr) *passed = -1;
    errno = EPROTO;
    return Received::kFailed;
  }
  message.kind = GetWord(header);
  message.status = GetWord(header + 4);
  message.payload.resize(static_cast<std::size_t>(length) - sizeof header);
  return Received::kMessage;
}

}  // namespace korvalis::sys
