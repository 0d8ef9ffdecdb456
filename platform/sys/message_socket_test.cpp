#include "platform/sys/message_socket.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

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
  EXPECT_EQ(worker.Receive(message, soon), Received::kDeadlinePassed);
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

TEST(MessageSocketTest, AShutdownEndsTheConnectionWhateverCopiesOfItRemain) {
  MessageSocket host, worker;
  ASSERT_EQ(MessageSocket::MakePair(host, worker), 0);
  const int copy = ::dup(host.descriptor());  // as a forked child of the host holds one
  ASSERT_GE(copy, 0);
  host.Shutdown();
  EXPECT_FALSE(host.IsOpen());
  Message message;
  EXPECT_EQ(worker.Receive(message, std::chrono::steady_clock::now() + milliseconds(500)),
            Received::kClosed);
  EXPECT_FALSE(worker.Send(1, 0, "late"));
  EXPECT_TRUE(MessageSocket::PeerGone(errno)) << errno;
  ::close(copy);
}

TEST(MessageSocketTest, ASmallSendBufferCarriesSmallerMessages) {
  MessageSocket host, worker;
  ASSERT_EQ(MessageSocket::MakePair(host, worker), 0);
  const int small = 4096;
  ASSERT_EQ(::setsockopt(host.descriptor(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small), 0);
  ASSERT_LT(host.PayloadLimit(), MessageSocket::kMaxPayload);
  EXPECT_FALSE(host.Send(1, 0, std::string(MessageSocket::kMaxPayload, 'z')));
  EXPECT_EQ(errno, EMSGSIZE);
  const std::string text(100'000, 'w');
  std::string joined;
  std::thread reader([&] {
    Message message;
    while (joined.size() < text.size() && worker.Receive(message) == Received::kMessage) {
      joined += message.payload;
    }
  });
  EXPECT_TRUE(host.SendPieces(8, text));
  reader.join();
  EXPECT_EQ(joined, text);
  // Where the connection has no room for the whole text by the deadline, what went is counted,
  // and the rest goes on from there.
  std::size_t sent = 0;
  EXPECT_FALSE(host.SendPieces(8, text, std::chrono::steady_clock::now(), &sent));
  EXPECT_EQ(errno, ETIMEDOUT);
  EXPECT_GT(sent, 0u);
  EXPECT_LT(sent, text.size());
  joined.clear();
  std::thread rest([&] {
    Message message;
    while (joined.size() < text.size() && worker.Receive(message) == Received::kMessage) {
      joined += message.payload;
    }
  });
  EXPECT_TRUE(host.SendPieces(8, std::string_view(text).substr(sent)));
  rest.join();
  EXPECT_EQ(joined, text);
}

// A host that closed its standard descriptors: the library's land above them.
void MakePairWithoutStandardDescriptors() {
  for (int standard = 0; standard < 3; ++standard) ::close(standard);
  MessageSocket first, second;
  if (MessageSocket::MakePair(first, second) != 0) ::_exit(2);
  ::_exit(first.descriptor() >= 3 && second.descriptor() >= 3 && ::fcntl(0, F_GETFD) < 0 ? 0 : 1);
}

TEST(MessageSocketTest, DescriptorsStayAboveTheStandardOnes) {
  EXPECT_EXIT(MakePairWithoutStandardDescriptors(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace korvalis::sys
