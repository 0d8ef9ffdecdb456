#include "platform/sys/message_socket.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace korvalis::sys {
namespace {

struct WireHeader {
  std::uint32_t kind;
  std::uint32_t status;
};

// Milliseconds left until `deadline` for poll: -1 for none, 0 once it has passed.
int MillisecondsLeft(const MessageSocket::Deadline& deadline) {
  if (!deadline) return -1;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(
      *deadline - std::chrono::steady_clock::now());
  if (left.count() <= 0) return 0;
  return static_cast<int>(std::min<long long>(left.count(), 1'000'000));
}

}  // namespace

MessageSocket& MessageSocket::operator=(MessageSocket&& other) noexcept {
  if (this != &other) {
    Close();
    descriptor_ = other.Release();
  }
  return *this;
}

int MessageSocket::MakePair(MessageSocket& first, MessageSocket& second) {
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) return errno;
  first = MessageSocket(ends[0]);
  second = MessageSocket(ends[1]);
  return 0;
}

int MessageSocket::Release() {
  const int descriptor = descriptor_;
  descriptor_ = -1;
  return descriptor;
}

void MessageSocket::Close() {
  if (descriptor_ >= 0) ::close(descriptor_);
  descriptor_ = -1;
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
  WireHeader header{kind, status};
  iovec parts[2] = {{&header, sizeof header},
                    {const_cast<char*>(payload.data()), payload.size()}};
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

bool MessageSocket::SendPieces(std::uint32_t kind, std::string_view text,
                               const Deadline& deadline) {
  while (!text.empty()) {
    const std::size_t length = std::min(text.size(), kMaxPayload);
    if (!Send(kind, 0, text.substr(0, length), deadline)) return false;
    text.remove_prefix(length);
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
  WireHeader header{};
  message.payload.resize(kMaxPayload);
  iovec parts[2] = {{&header, sizeof header}, {message.payload.data(), kMaxPayload}};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
  msghdr received{};
  received.msg_iov = parts;
  received.msg_iovlen = 2;
  received.msg_control = control;
  received.msg_controllen = sizeof control;
  ssize_t length = -1;
  for (;;) {
    length = ::recvmsg(descriptor_, &received, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
    if (length >= 0) break;
    // A peer that ended with messages of ours unread reports ECONNRESET once, ahead of the
    // messages it sent before: those are read next.
    if (errno == EINTR || errno == ECONNRESET) continue;
    if (errno != EAGAIN) return Received::kFailed;
    if (!Wait(POLLIN, deadline)) return Received::kTimedOut;
  }
  for (cmsghdr* carried = CMSG_FIRSTHDR(&received); carried != nullptr;
       carried = CMSG_NXTHDR(&received, carried)) {
    if (carried->cmsg_level != SOL_SOCKET || carried->cmsg_type != SCM_RIGHTS) continue;
    int descriptor = -1;
    std::memcpy(&descriptor, CMSG_DATA(carried), sizeof(int));
    if (passed != nullptr && *passed < 0) {
      *passed = descriptor;
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
  message.kind = header.kind;
  message.status = header.status;
  message.payload.resize(static_cast<std::size_t>(length) - sizeof header);
  return Received::kMessage;
}

}  // namespace korvalis::sys
