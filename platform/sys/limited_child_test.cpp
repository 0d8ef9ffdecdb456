#include "platform/sys/limited_child.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>

namespace korvalis::sys {
namespace {

using std::chrono::milliseconds;

constexpr ChildLimits kLimits{milliseconds(5'000), std::size_t{64} << 20, 1 << 20,
                              std::size_t{64} << 20};

// Writes `argument` (a C string) 1,000 times with a note and ends with status 5.
int WriteAThousandTimes(ChildChannel& channel, void* argument) {
  const char* text = static_cast<const char*>(argument);
  for (int i = 0; i < 1000; ++i) {
    if (!channel.Write(text)) return 1;
  }
  channel.Note("written");
  return channel.Flush() ? 5 : 1;
}

int Recurse(int depth) {
  volatile char frame[1024];
  frame[0] = static_cast<char>(depth);
  return depth == 0 ? frame[0] : Recurse(depth - 1) + 1;
}

TEST(LimitedChildTest, OutputStatusNoteAndAStackOfItsOwn) {
  char text[] = "0123456789";
  ChildResult result = RunInChild(kLimits, WriteAThousandTimes, text);
  ASSERT_EQ(result.end, ChildEnd::kFinished) << result.note;
  EXPECT_EQ(result.status, 5);
  EXPECT_EQ(result.output.size(), 10'000u);
  EXPECT_EQ(result.output.substr(9'990), "0123456789");
  EXPECT_EQ(result.note, "written");

  ChildLimits small = kLimits;
  small.max_output_bytes = 9'999;
  EXPECT_EQ(RunInChild(small, WriteAThousandTimes, text).end, ChildEnd::kOutputTooLarge);

  // 40 MB of stack frames: far beyond a thread's usual 8 MB.
  result = RunInChild(
      kLimits, [](ChildChannel&, void*) { return Recurse(40'000) == 40'000 ? 0 : 1; }, nullptr);
  EXPECT_EQ(result.end, ChildEnd::kFinished) << result.note;
  EXPECT_EQ(result.status, 0);
}

TEST(LimitedChildTest, TheKernelBoundsTheChildsMemoryAndTime) {
  // 1 GB more than the child may take: the allocation fails in the child.
  ChildResult result = RunInChild(
      kLimits,
      [](ChildChannel&, void*) {
        void* memory = std::malloc(std::size_t{1} << 30);
        return memory == nullptr ? 9 : 0;
      },
      nullptr);
  EXPECT_EQ(result.end, ChildEnd::kFinished) << result.note;
  EXPECT_EQ(result.status, 9);
  // Short of memory, the kernel ends the child first.
  result = RunInChild(
      kLimits,
      [](ChildChannel& channel, void*) {
        std::ifstream adjustment("/proc/self/oom_score_adj");
        std::string value;
        adjustment >> value;
        return channel.Write(value) && channel.Flush() ? 0 : 1;
      },
      nullptr);
  EXPECT_EQ(result.output, "1000");

  ChildLimits brief = kLimits;
  brief.max_duration = milliseconds(300);
  result = RunInChild(
      brief,
      [](ChildChannel&, void*) {
        std::atomic<unsigned> spins{0};
        for (;;) spins.fetch_add(1, std::memory_order_relaxed);
        return 0;
      },
      nullptr);
  EXPECT_EQ(result.end, ChildEnd::kTimedOut);
  EXPECT_TRUE(result.output.empty());
}

std::mutex held_at_fork;

TEST(LimitedChildTest, AFaultOrAnInheritedLockEndsOnlyTheChild) {
  ChildResult result = RunInChild(
      kLimits,
      [](ChildChannel& channel, void*) {
        channel.Note("about to fault");
        ::raise(SIGSEGV);
        return 0;
      },
      nullptr);
  EXPECT_EQ(result.end, ChildEnd::kDied);
  EXPECT_NE(result.note.find("signal " + std::to_string(SIGSEGV)), std::string::npos)
      << result.note;
  EXPECT_NE(result.note.find("about to fault"), std::string::npos) << result.note;

  // A lock the caller holds at the fork is never released in the child: each attempt is seen
  // asleep without progress and ended, long before the deadline (which would be kTimedOut).
  const std::lock_guard<std::mutex> lock(held_at_fork);
  result = RunInChild(
      kLimits,
      [](ChildChannel&, void*) {
        const std::lock_guard<std::mutex> never(held_at_fork);
        return 0;
      },
      nullptr);
  EXPECT_EQ(result.end, ChildEnd::kDied);
  EXPECT_NE(result.note.find("hung on a lock"), std::string::npos) << result.note;
}

}  // namespace
}  // namespace korvalis::sys
