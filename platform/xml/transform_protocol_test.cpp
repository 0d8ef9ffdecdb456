// The messages' encoding, how a child's end is told, and the messages of a small transformation on
// the wire.
#include "platform/xml/transform_protocol.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <vector>

#include "platform/sys/message_socket.h"
#include "platform/xml/child_end.h"
#include "platform/xml/testing/runaway_transformations.h"
#include "platform/xml/testing/worker_processes.h"

namespace korvalis::xml {
namespace {

TEST(TransformProtocolTest, AnOrderTravelsFieldByFieldAndAnotherVersionIsRefused) {
  const TransformOrder order{(1ULL << 40) + 3, 7, 601, TextWriter::kSystem, TextWriter::kCaller, 8};
  const std::string bytes = EncodeOrder(order);
  ASSERT_EQ(bytes.size(), 30u);
  EXPECT_EQ(bytes[0], static_cast<char>(kTransformProtocolVersion)) << "the version comes first";
  const std::optional<TransformOrder> read = DecodeOrder(bytes);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->max_output_units, order.max_output_units);
  EXPECT_EQ(read->max_working_bytes, 7u);
  EXPECT_EQ(read->cpu_seconds, 601u);
  EXPECT_EQ(read->stylesheet_writer, TextWriter::kSystem);
  EXPECT_EQ(read->source_writer, TextWriter::kCaller);
  EXPECT_EQ(read->max_children, 8u);

  std::string other = bytes;
  other[0] = static_cast<char>(kTransformProtocolVersion + 1);
  EXPECT_FALSE(DecodeOrder(other));
  EXPECT_FALSE(DecodeOrder(bytes.substr(0, 29)));
  EXPECT_FALSE(DecodeOrder(bytes + "x"));
  std::string bad_writer = bytes;
  bad_writer[25] = 9;
  EXPECT_FALSE(DecodeOrder(bad_writer));

  EXPECT_EQ(DecodeHello(EncodeHello()), kTransformProtocolVersion);
  EXPECT_FALSE(DecodeHello("ab"));
  EXPECT_EQ(OutcomeFromWire(99), TransformOutcome::kFailed);
  EXPECT_EQ(OutcomeFromWire(static_cast<std::uint32_t>(TransformOutcome::kCrashed)),
            TransformOutcome::kCrashed);
}

// On the wire: the texts sent behind the start without waiting for its acknowledgement, and a
// page shorter than a message comes whole in the child's end, with no kPage of its own.
TEST(TransformProtocolTest, ASmallPageComesInTheEndOfTextsSentAhead) {
  std::string cause;
  sys::MessageSocket host_end = testing::HandedToWorker(
      {1 << 20, 64 << 20, 20, TextWriter::kCaller, TextWriter::kCaller, 8}, &cause);
  ASSERT_TRUE(host_end.IsOpen()) << cause;
  const std::string source = "<r><v>40</v><v>2</v></r>";
  for (const auto& [kind, text] : {std::pair{TransformMessage::kStylesheet, testing::kSum},
                                   std::pair{TransformMessage::kSource, source},
                                   std::pair{TransformMessage::kRun, std::string()}}) {
    ASSERT_TRUE(host_end.Send(static_cast<std::uint32_t>(kind), 0, text));
  }
  std::vector<std::uint32_t> kinds;
  sys::Message message;
  while (host_end.Receive(message, std::chrono::steady_clock::now() + std::chrono::seconds(5)) ==
             sys::MessageSocket::Received::kMessage &&
         message.kind != static_cast<std::uint32_t>(TransformMessage::kEnd)) {
    kinds.push_back(message.kind);
  }
  EXPECT_EQ(
      std::count(kinds.begin(), kinds.end(), static_cast<std::uint32_t>(TransformMessage::kPage)),
      0);
  ASSERT_EQ(message.kind, static_cast<std::uint32_t>(TransformMessage::kEnd));
  EXPECT_EQ(OutcomeFromWire(message.status), TransformOutcome::kDone);
  EXPECT_EQ(message.payload, "42");
}

TEST(ChildEndTest, CausesAreToldFromTheSignalAndTheProcessorTimeUsed) {
  rusage idle{};
  rusage spent{};
  spent.ru_utime.tv_sec = 2;
  spent.ru_stime.tv_usec = 950'000;
  auto outcome = [](int status, const rusage& usage, std::uint32_t seconds) {
    const std::optional<ChildEnd> end = ChildEndOf(status, usage, seconds, false);
    return end ? end->outcome : TransformOutcome::kDone;
  };
  // An out-of-memory kill is no processor limit, however often SIGKILL comes from there.
  EXPECT_EQ(outcome(W_EXITCODE(0, SIGKILL), idle, 3), TransformOutcome::kKilled);
  EXPECT_EQ(outcome(W_EXITCODE(0, SIGXCPU), spent, 3), TransformOutcome::kProcessorTimeSpent);
  EXPECT_EQ(outcome(W_EXITCODE(0, SIGKILL), spent, 3), TransformOutcome::kProcessorTimeSpent);
  EXPECT_EQ(outcome(W_EXITCODE(0, SIGXCPU), idle, 3), TransformOutcome::kKilled);
  EXPECT_EQ(outcome(W_EXITCODE(0, SIGSEGV), spent, 3), TransformOutcome::kCrashed);
  EXPECT_EQ(outcome(W_EXITCODE(0, SIGABRT), idle, 0), TransformOutcome::kCrashed);
  EXPECT_EQ(outcome(W_EXITCODE(0, SIGSYS), idle, 0), TransformOutcome::kForbiddenCall);
  EXPECT_EQ(outcome(W_EXITCODE(kChildMisread, 0), idle, 0), TransformOutcome::kCrashed);
  EXPECT_EQ(outcome(W_EXITCODE(1, 0), idle, 0), TransformOutcome::kCrashed);
  // A child that told its own end, or whose host went away, leaves nothing to tell.
  EXPECT_FALSE(ChildEndOf(W_EXITCODE(kChildSentItsEnd, 0), idle, 0, false));
  EXPECT_FALSE(ChildEndOf(W_EXITCODE(kChildLostItsHost, 0), idle, 0, false));
  const std::optional<ChildEnd> crash = ChildEndOf(W_EXITCODE(0, SIGSEGV), idle, 0, false);
  ASSERT_TRUE(crash);
  EXPECT_NE(crash->note.find("signal 11"), std::string::npos) << crash->note;
  // A kill from outside names its signal, and the shortage of memory only when the system's
  // out-of-memory killer acted meanwhile.
  const auto note = [&](int signal, bool memory_killer_acted) {
    return ChildEndOf(W_EXITCODE(0, signal), idle, 3, memory_killer_acted).value().note;
  };
  EXPECT_EQ(note(SIGTERM, true),
            "the transformation's process ended by signal 15 (Terminated) from outside, after "
            "0.00 s of processor time");
  EXPECT_EQ(note(SIGKILL, false).find("memory"), std::string::npos) << note(SIGKILL, false);
  EXPECT_NE(note(SIGKILL, true).find("signal 9 (Killed) from outside, after 0.00 s of processor "
                                     "time (the system is short of memory"),
            std::string::npos)
      << note(SIGKILL, true);
  EXPECT_TRUE(MemoryKillerEnded().has_value()) << "the system tells no out-of-memory kills";
}

}  // namespace
}  // namespace korvalis::xml
