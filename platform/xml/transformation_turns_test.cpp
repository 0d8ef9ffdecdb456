#include "platform/xml/transformation_turns.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace korvalis::xml {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

TransformationTurns::Deadline In(milliseconds wait) { return Clock::now() + wait; }

// Threads that take a turn each, in the order they were started, and keep it 20 ms.
class Takers {
 public:
  explicit Takers(TransformationTurns& turns) : turns_(turns) {}
  ~Takers() {
    for (std::thread& taker : threads_) taker.join();
  }
  // Starts a taker for `style` and gives it time to stand in line.
  void Start(int id, std::size_t style) {
    threads_.emplace_back([this, id, style] {
      TransformationTurns::Turn turn = turns_.Take(style, In(milliseconds(10'000)));
      {
        std::lock_guard lock(mutex_);
        order_.push_back(id);
      }
      std::this_thread::sleep_for(milliseconds(20));
    });
    std::this_thread::sleep_for(milliseconds(50));
  }
  std::vector<int> Order() {
    std::lock_guard lock(mutex_);
    return order_;
  }

 private:
  TransformationTurns& turns_;
  std::mutex mutex_;
  std::vector<int> order_;
  std::vector<std::thread> threads_;
};

TEST(TransformationTurnsTest, TheLineIsFirstComeFirstServedAndAReleaseNeverTakesItsTurnBack) {
  TransformationTurns turns(1);
  TransformationTurns::Turn held = turns.Take(1, std::nullopt);
  ASSERT_TRUE(held.held());
  std::vector<int> order;
  {
    Takers takers(turns);
    for (int id : {3, 1, 4, 0, 2}) takers.Start(id, 7);
    held.Release();
    // The thread that released asks again at once: the turn went to the first in line.
    EXPECT_FALSE(turns.Take(1, Clock::now()).held());
    std::this_thread::sleep_for(milliseconds(300));
    order = takers.Order();
  }
  EXPECT_EQ(order, (std::vector<int>{3, 1, 4, 0, 2}));
}

TEST(TransformationTurnsTest, OneStyleSheetLeavesATurnForTheOthersAndLetsThemPass) {
  TransformationTurns turns(3);
  ASSERT_EQ(turns.share(), 2);
  TransformationTurns::Turn first = turns.Take(1, std::nullopt);
  TransformationTurns::Turn second = turns.Take(1, std::nullopt);
  EXPECT_FALSE(turns.Take(1, In(milliseconds(30))).held()) << "the style sheet holds its share";
  TransformationTurns::Turn other = turns.Take(2, Clock::now());
  EXPECT_TRUE(other.held());

  // The style sheet at its share stands first in line; another behind it is served past it.
  std::vector<int> order;
  {
    Takers takers(turns);
    takers.Start(1, 1);
    takers.Start(2, 2);
    other.Release();
    std::this_thread::sleep_for(milliseconds(100));
    EXPECT_EQ(takers.Order(), (std::vector<int>{2}));
    first.Release();
    std::this_thread::sleep_for(milliseconds(100));
    order = takers.Order();
  }
  EXPECT_EQ(order, (std::vector<int>{2, 1}));
  // A capacity of one still serves every style sheet.
  TransformationTurns single(1);
  EXPECT_EQ(single.share(), 1);
  EXPECT_TRUE(single.Take(5, Clock::now()).held());
}

TEST(TransformationTurnsTest, AWaiterWhoseDeadlinePassedLeavesTheLine) {
  TransformationTurns turns(1);
  TransformationTurns::Turn held = turns.Take(1, std::nullopt);
  const auto start = Clock::now();
  EXPECT_FALSE(turns.Take(2, In(milliseconds(100))).held());
  EXPECT_GE(Clock::now() - start, milliseconds(100));
  held.Release();  // hands the turn to no one gone
  EXPECT_TRUE(turns.Take(3, Clock::now()).held());
}

// The test's clock of the turns held.
Clock::time_point fake_now{};
Clock::time_point FakeNow() { return fake_now; }

// Runaway style sheets, each within its share, hold no more than all turns but one: the last is
// kept for short work.
TEST(TransformationTurnsTest, LongWorkLeavesATurnForShortWork) {
  TransformationTurns turns(3, &FakeNow);
  constexpr std::size_t kRunaway = 1, kOtherRunaway = 2, kShort = 3;
  TransformationTurns::Turn first = turns.Take(kRunaway, Clock::now());
  fake_now += std::chrono::seconds(2);
  first.Release();  // its style sheet is long work now
  first = turns.Take(kRunaway, Clock::now());
  TransformationTurns::Turn other = turns.Take(kOtherRunaway, Clock::now());
  ASSERT_TRUE(first.held() && other.held());
  fake_now += std::chrono::seconds(2);  // the other has run long too
  EXPECT_FALSE(turns.Take(kRunaway, Clock::now()).held()) << "long work took the last turn";
  EXPECT_FALSE(turns.Take(kOtherRunaway, Clock::now()).held());
  TransformationTurns::Turn short_work = turns.Take(kShort, Clock::now());
  EXPECT_TRUE(short_work.held());
  short_work.Release();  // short: its style sheet stays short work
  // A turn released by long work goes to long work waiting again.
  std::thread waiter([&] { EXPECT_TRUE(turns.Take(kRunaway, In(milliseconds(5'000))).held()); });
  std::this_thread::sleep_for(milliseconds(50));
  other.Release();
  waiter.join();
  EXPECT_TRUE(turns.Take(kShort, Clock::now()).held());
}

// A process forked while every turn is held starts with turns of its own.
TEST(TransformationTurnsTest, AForkedProcessHasTurnsOfItsOwn) {
  TransformationTurns& turns = ProcessTransformationTurns();
  std::vector<TransformationTurns::Turn> held;
  for (int i = 0; i < turns.capacity(); ++i) held.push_back(turns.Take(i, Clock::now()));
  ASSERT_FALSE(turns.Take(99, Clock::now()).held());
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    TransformationTurns& own = ProcessTransformationTurns();
    ::_exit(&own != &turns && own.Take(99, In(milliseconds(1'000))).held() ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(&ProcessTransformationTurns(), &turns);
}

}  // namespace
}  // namespace korvalis::xml
