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

// Returns once `waiting` calls stand in line for a turn (or 10 s passed).
void InLine(TransformationTurns& turns, std::size_t waiting) {
  for (int i = 0; i < 10'000 && turns.Waiting() < waiting; ++i) {
    std::this_thread::sleep_for(milliseconds(1));
  }
}

// Threads that take a turn each, in the order they were started, and keep it 20 ms.
class Takers {
 public:
  explicit Takers(TransformationTurns& turns) : turns_(turns) {}
  ~Takers() {
    for (std::thread& taker : threads_) taker.join();
  }
  // Starts a taker for `style` and returns once it stands in line.
  // Precondition: no turn is free for `style`.
  void Start(int id, std::size_t style) {
    const std::size_t waiting = turns_.Waiting() + 1;
    threads_.emplace_back([this, id, style] {
      TransformationTurns::Turn turn = turns_.Take(style, In(milliseconds(10'000)));
      {
        std::lock_guard lock(mutex_);
        order_.push_back(id);
      }
      std::this_thread::sleep_for(milliseconds(20));
    });
    InLine(turns_, waiting);
  }
  // The ids of the takers served, once `served` of them were (or 10 s passed).
  std::vector<int> Order(std::size_t served) {
    for (int i = 0; i < 10'000; ++i) {
      {
        std::lock_guard lock(mutex_);
        if (order_.size() >= served) return order_;
      }
      std::this_thread::sleep_for(milliseconds(1));
    }
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
    order = takers.Order(5);
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
    EXPECT_EQ(takers.Order(1), (std::vector<int>{2}));
    EXPECT_EQ(turns.Waiting(), 1u) << "the style sheet at its share still waits";
    first.Release();
    order = takers.Order(2);
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
  InLine(turns, 1);
  other.Release();
  waiter.join();
  EXPECT_TRUE(turns.Take(kShort, Clock::now()).held());
}

using WorkEnded = TransformationTurns::WorkEnded;

// A small report's sheet that waited most of its time for a turn and was stopped soon after it
// took one is not long work: beside runaways that hold every other turn it takes the free one.
// Work stopped after it held its turn long is long work, and a long sheet stopped soon stays so.
TEST(TransformationTurnsTest, OnlyWorkThatRanLongOnItsTurnCountsAsLong) {
  TransformationTurns turns(4, &FakeNow);
  constexpr std::size_t kSmall = 1, kRunaways[] = {2, 3, 4};
  turns.Take(kSmall, Clock::now()).Release();  // known short
  std::vector<TransformationTurns::Turn> runaways;
  for (const std::size_t style : kRunaways) runaways.push_back(turns.Take(style, Clock::now()));
  fake_now += std::chrono::seconds(2);  // they are long work now, all turns but one
  TransformationTurns::Turn small = turns.Take(kSmall, Clock::now());
  ASSERT_TRUE(small.held());
  fake_now += milliseconds(300);
  small.Release(WorkEnded::kTimeRanOut);
  for (int run = 0; run < 3; ++run) {
    TransformationTurns::Turn again = turns.Take(kSmall, Clock::now());
    EXPECT_TRUE(again.held()) << "run " << run << " found no turn although one was free";
    fake_now += milliseconds(50);
  }
  // A runaway stopped after a long turn is long, and stays long when next stopped soon.
  runaways[0].Release(WorkEnded::kTimeRanOut);
  runaways[0] = turns.Take(kRunaways[0], Clock::now());
  ASSERT_TRUE(runaways[0].held()) << "two turns held by long work";
  fake_now += milliseconds(300);
  runaways[0].Release(WorkEnded::kTimeRanOut);
  TransformationTurns::Turn third = turns.Take(5, Clock::now());
  fake_now += milliseconds(1'100);  // long work holds all turns but one again
  EXPECT_FALSE(turns.Take(kRunaways[0], Clock::now()).held())
      << "a long sheet stopped soon after its turn came took the last turn";
  // It answers within a second: short work again, which the last turn is kept for.
  third.Release();
  turns.Take(kRunaways[0], Clock::now()).Release();
  third = turns.Take(5, Clock::now());
  ASSERT_TRUE(third.held());
  EXPECT_TRUE(turns.Take(kRunaways[0], Clock::now()).held());
}

// Once long work holds every turn but one, short work and new work each keep a turn of their
// own beside it: new runaways hold the new work's turn a second each, never the short work's.
TEST(TransformationTurnsTest, ShortAndNewWorkEachKeepATurnBesideLongWork) {
  TransformationTurns turns(3, &FakeNow);
  constexpr std::size_t kShort = 1, kOtherShort = 2, kFirstNew = 10, kSecondNew = 11;
  for (const std::size_t style : {kShort, kOtherShort}) turns.Take(style, Clock::now()).Release();
  std::vector<TransformationTurns::Turn> runaways;
  for (const std::size_t style : {20, 21, 22}) runaways.push_back(turns.Take(style, Clock::now()));
  EXPECT_FALSE(turns.Take(kShort, Clock::now()).held()) << "the new work is not long yet";
  fake_now += std::chrono::seconds(2);  // new work held every turn and turned long
  TransformationTurns::Turn first_new = turns.Take(kFirstNew, Clock::now());
  EXPECT_TRUE(first_new.held());
  EXPECT_FALSE(turns.Take(kSecondNew, Clock::now()).held()) << "one turn for new work";
  TransformationTurns::Turn short_work = turns.Take(kShort, Clock::now());
  EXPECT_TRUE(short_work.held()) << "the new work's turn took the short work's";
  EXPECT_FALSE(turns.Take(kOtherShort, Clock::now()).held()) << "one turn for short work";
  fake_now += milliseconds(1'100);  // the first new one ran away too
  runaways.push_back(std::move(first_new));
  EXPECT_FALSE(turns.Take(20, Clock::now()).held()) << "long work took a turn past its own";
  // New runaways, one after another, up to twice the capacity at work in all.
  runaways.push_back(turns.Take(kSecondNew, Clock::now()));
  EXPECT_TRUE(runaways.back().held());
  fake_now += milliseconds(1'100);
  EXPECT_FALSE(turns.Take(30, Clock::now()).held()) << "six at work: twice the capacity";
  short_work.Release();
  EXPECT_TRUE(turns.Take(kOtherShort, Clock::now()).held()) << "short work keeps its turn";
}

// A waiter wakes by itself when the work held turns long and opens the turn kept beside it.
TEST(TransformationTurnsTest, AWaiterTakesTheTurnThatWorkTurningLongOpens) {
  TransformationTurns turns(2, &FakeNow);
  constexpr std::size_t kShort = 1;
  turns.Take(kShort, Clock::now()).Release();
  TransformationTurns::Turn first = turns.Take(5, Clock::now());
  TransformationTurns::Turn second = turns.Take(6, Clock::now());
  std::thread waiter([&] { EXPECT_TRUE(turns.Take(kShort, In(milliseconds(20'000))).held()); });
  InLine(turns, 1);
  fake_now += std::chrono::seconds(2);  // no turn is given back: the waiter looks by itself
  waiter.join();
}

// Runaway style sheets of every time limit, some known long and some new at every call, three
// times as many as the turns, each called again by its thread soon after a call ends: a small
// report known short finds a turn within a second at every moment, from the first, and never more
// than twice the capacity work at once.
TEST(TransformationTurnsTest, SmallReportsKeepATurnWhateverMixOfRunawaySheetsRunsBeside) {
  TransformationTurns turns(8, &FakeNow);
  struct Runaway {
    std::size_t style;
    bool new_each_call;
    milliseconds limit;
    Clock::time_point call_at, stop_at;  // its thread's call: when it starts, when it is stopped
    TransformationTurns::Turn turn;
  };
  std::mt19937 random(92);
  std::vector<Runaway> runaways(24);
  std::size_t next_style = 1'000;
  for (std::size_t i = 0; i < runaways.size(); ++i) {
    Runaway& runaway = runaways[i];
    runaway.style = next_style++;
    runaway.new_each_call = i % 2 == 0;
    runaway.limit =
        milliseconds(runaway.new_each_call ? 2'000 + random() % 300'000 : 200 + random() % 4'800);
    runaway.call_at = fake_now;
    runaway.stop_at = fake_now + runaway.limit;
  }
  constexpr std::size_t kSmall = 1;
  turns.Take(kSmall, Clock::now()).Release();
  TransformationTurns::Turn small;
  Clock::time_point small_since = fake_now;
  milliseconds longest_wait{0};
  int answered = 0;
  long most_held = 0;
  for (int step = 0; step < 2'400; ++step) {
    fake_now += milliseconds(50);
    if (small.held()) {  // it answers within its step
      small.Release();
      ++answered;
      small_since = fake_now;
    }
    std::shuffle(runaways.begin(), runaways.end(), random);
    for (Runaway& runaway : runaways) {
      if (fake_now < runaway.stop_at) continue;
      runaway.turn.Release(WorkEnded::kTimeRanOut);
      if (runaway.new_each_call) runaway.style = next_style++;
      runaway.call_at = fake_now + milliseconds(random() % 500);
      runaway.stop_at = runaway.call_at + runaway.limit;
    }
    // The small report stands in line before the runaways' calls that come after it.
    small = turns.Take(kSmall, Clock::now());
    if (!small.held()) {
      longest_wait =
          std::max(longest_wait, std::chrono::duration_cast<milliseconds>(fake_now - small_since));
    }
    for (Runaway& runaway : runaways) {
      if (fake_now >= runaway.call_at && !runaway.turn.held()) {
        runaway.turn = turns.Take(runaway.style, Clock::now());
      }
    }
    most_held =
        std::max<long>(most_held, std::count_if(runaways.begin(), runaways.end(),
                                                [](const Runaway& r) { return r.turn.held(); }));
  }
  EXPECT_GT(answered, 1'500);
  EXPECT_LE(longest_wait, milliseconds(1'050));
  EXPECT_LE(most_held, 16);
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
