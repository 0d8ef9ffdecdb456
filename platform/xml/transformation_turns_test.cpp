#include "platform/xml/transformation_turns.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <random>
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

// A style sheet stopped by its time limit is long work however short its turn was (it waited most
// of its time for the turn): it never counts as short again and takes the turn left for short
// work. Only work that finished within a second makes a style sheet short again.
TEST(TransformationTurnsTest, WorkStoppedByItsTimeIsLongWorkHoweverShortItsTurn) {
  using WorkEnded = TransformationTurns::WorkEnded;
  TransformationTurns turns(3, &FakeNow);
  constexpr std::size_t kRunaway = 1, kOtherRunaway = 2, kNew = 3, kShort = 4;
  TransformationTurns::Turn first = turns.Take(kRunaway, Clock::now());
  TransformationTurns::Turn other = turns.Take(kOtherRunaway, Clock::now());
  fake_now += std::chrono::seconds(2);
  first.Release(WorkEnded::kTimeRanOut);
  other.Release(WorkEnded::kTimeRanOut);  // both are long work now
  first = turns.Take(kRunaway, Clock::now());
  fake_now += milliseconds(300);
  first.Release(WorkEnded::kTimeRanOut);  // stopped soon after its turn came
  TransformationTurns::Turn fresh = turns.Take(kNew, Clock::now());
  fake_now += milliseconds(300);
  fresh.Release(WorkEnded::kTimeRanOut);  // a new style sheet stopped as soon

  first = turns.Take(kRunaway, Clock::now());
  other = turns.Take(kOtherRunaway, Clock::now());
  ASSERT_TRUE(first.held() && other.held());
  for (const std::size_t style : {kRunaway, kNew}) {
    EXPECT_FALSE(turns.Take(style, Clock::now()).held()) << style << " took the last turn";
  }
  EXPECT_TRUE(turns.Take(kShort, Clock::now()).held());
  fake_now += milliseconds(300);
  first.Release(WorkEnded::kFinished);  // it answered within a second: short work again
  EXPECT_TRUE(turns.Take(kRunaway, Clock::now()).held());
}

// Runaway style sheets of every time limit, more of them than turns, each called again by its
// thread soon after a call ends (stopped at its limit, waiting or working), in any order: once
// each has run away once, a small report finds a turn at every moment.
TEST(TransformationTurnsTest, SmallReportsKeepATurnWhateverMixOfRunawaySheetsRunsBeside) {
  TransformationTurns turns(8, &FakeNow);
  struct Runaway {
    std::size_t style;
    milliseconds limit;
    Clock::time_point call_at, stop_at;  // its thread's call: when it starts, when it is stopped
    TransformationTurns::Turn turn;
    bool ran_away = false;
  };
  std::mt19937 random(92);
  std::vector<Runaway> runaways(12);
  for (std::size_t i = 0; i < runaways.size(); ++i) {
    runaways[i].style = 100 + i;
    runaways[i].limit = milliseconds(200 + random() % 4'800);
    runaways[i].call_at = fake_now;
    runaways[i].stop_at = fake_now + runaways[i].limit;
  }
  constexpr std::size_t kSmall = 1;
  int checked = 0, stalled = 0;
  for (int step = 0; step < 2'400; ++step) {
    fake_now += milliseconds(50);
    std::shuffle(runaways.begin(), runaways.end(), random);
    for (Runaway& runaway : runaways) {
      if (fake_now < runaway.call_at) continue;
      if (fake_now >= runaway.stop_at) {
        runaway.ran_away |= runaway.turn.held();
        runaway.turn.Release(TransformationTurns::WorkEnded::kTimeRanOut);
        runaway.call_at = fake_now + milliseconds(random() % 500);
        runaway.stop_at = runaway.call_at + runaway.limit;
      } else if (!runaway.turn.held()) {
        runaway.turn = turns.Take(runaway.style, Clock::now());
      }
    }
    if (!std::all_of(runaways.begin(), runaways.end(), [](const Runaway& r) { return r.ran_away; }))
      continue;
    ++checked;
    if (!turns.Take(kSmall, Clock::now()).held()) ++stalled;
  }
  EXPECT_GT(checked, 1'200);
  EXPECT_EQ(stalled, 0) << "of " << checked;
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
