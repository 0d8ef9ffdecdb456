#include "platform/sys/message_socket.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace korvalis::sys {
namespace {

using Received = MessageSocket::Received;
using std::chrono::milliseconds;

TEST(MessageSocketTest, MessagesArriveWholeWithTheirKindStatusAndDescriptor) {
  MessageSocket host, worker;
  ASSERT_EQ(MessageSocket::MakePair(host, worker), 0);
  const std::string text(3 * MessageSocket::kMaxPayload + 5, 'x');
  ASSERT_TRUE(host.Send(7, 3, "first"));
  ASSERT_TRUE(host.SendPieces(8, text));
  int pipe_ends[2];
  ASSERT_EQ(::pipe(pipe_ends), 0);
  ASSERT_TRUE(host.Send(9, 0, {}, std::nullopt, pipe_ends[1]));
  ::close(pipe_ends[1]);

  Message message;
  ASSERT_EQ(worker.Receive(message), Received::kMessage);
  EXPECT_EQ(message.kind, 7u);
  EXPECT_EQ(message.status, 3u);
  EXPECT_EQ(message.payload, "first");
  std::string joined;
  for (int piece = 0; piece < 4; ++piece) {
    ASSERT_EQ(worker.Receive(message), Received::kMessage);
    EXPECT_EQ(message.kind, 8u);
    joined += message.payload;
  }
  EXPECT_EQ(joined, text);
  int passed = -1;
  ASSERT_EQ(worker.Receive(message, std::nullopt, &passed), Received::kMessage);
  EXPECT_TRUE(message.payload.empty());
  ASSERT_GE(passed, 0);
  EXPECT_EQ(::fcntl(passed, F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
  EXPECT_EQ(::write(passed, "p", 1), 1);
  char read_back = 0;
  EXPECT_EQ(::read(pipe_ends[0], &read_back, 1), 1);
  EXPECT_EQ(read_back, 'p');
  ::close(passed);
  ::close(pipe_ends[0]);
}

TEST(MessageSocketTest, DeadlinesAndEndsAreToldApart) {
  MessageSocket host, worker;
  ASSERT_EQ(MessageSocket::MakePair(host, worker), 0);
  Message message;
  const auto soon = std::chrono::steady_clock::now() + milliseconds(20);
  EXPECT_EQ(worker.Receive(message, soon), Received::kTimedOut);
  // A sender whose reader reads nothing fills the connection, then times out.
  const std::string piece(MessageSocket::kMaxPayload, 'y');
  bool timed_out = false;
  for (int i = 0; i < 10'000 && !timed_out; ++i) {
    timed_out = !host.Send(1, 0, piece, std::chrono::steady_clock::now() + milliseconds(5));
  }
  EXPECT_TRUE(timed_out);
  EXPECT_EQ(errno, ETIMEDOUT);
  // A peer that ended with messages of ours unread still delivers what it sent before its end.
  ASSERT_TRUE(worker.Send(2, 5, "the end"));
  worker.Close();
  EXPECT_FALSE(host.Send(1, 0, "more"));
  EXPECT_TRUE(errno == EPIPE || errno == ECONNRESET) << errno;
  ASSERT_EQ(host.Receive(message), Received::kMessage);
  EXPECT_EQ(message.status, 5u);
  EXPECT_EQ(message.payload, "the end");
  EXPECT_EQ(host.Receive(message), Received::kClosed);
}

}  // namespace
}  // namespace korvalis::sys
