#include "report/monitor_call_counter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace korvalis::report {
namespace {

// Counts `calls` calls; answers the numbers (1-based) of those that were to check, each check
// completed at once.
std::vector<int> Checks(MonitorCallCounter& counter, int calls) {
  std::vector<int> checks;
  for (int call = 1; call <= calls; ++call) {
    if (!counter.Count()) continue;
    MonitorCallCounter::Check check(counter);
    check.Complete();
    checks.push_back(call);
  }
  return checks;
}

TEST(MonitorCallCounter, EveryFiftiethCallAfterACompletedCheckChecks) {
  MonitorCallCounter counter;
  EXPECT_EQ(Checks(counter, 160), (std::vector<int>{50, 100, 150}));
  EXPECT_EQ(counter.count(), 10);
}

TEST(MonitorCallCounter, AFailedCheckLeavesTheCountSoTheNextCallChecksAgain) {
  MonitorCallCounter counter;
  for (int call = 1; call < 50; ++call) ASSERT_FALSE(counter.Count());
  ASSERT_TRUE(counter.Count());
  { MonitorCallCounter::Check failed(counter); }
  EXPECT_EQ(counter.count(), 50);
  EXPECT_EQ(Checks(counter, 51), (std::vector<int>{1, 51}));
}

TEST(MonitorCallCounter, CallsDuringACheckDoNotCheckAndTheCountStopsAtFifty) {
  MonitorCallCounter counter;
  for (int call = 1; call < 50; ++call) counter.Count();
  ASSERT_TRUE(counter.Count());
  {
    MonitorCallCounter::Check running(counter);
    for (int call = 0; call < 1000; ++call) EXPECT_FALSE(counter.Count());
    EXPECT_EQ(counter.count(), 50);
    running.Complete();
  }
  EXPECT_EQ(Checks(counter, 50), (std::vector<int>{50}));
}

TEST(MonitorCallCounter, ThreadsCountingAtOnceNeverCheckTwiceAtATime) {
  MonitorCallCounter counter;
  std::atomic<int> checking{0};
  std::atomic<int> overlaps{0};
  std::atomic<int> checks{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&] {
      for (int call = 0; call < 5000; ++call) {
        if (!counter.Count()) continue;
        MonitorCallCounter::Check check(counter);
        if (checking.fetch_add(1) != 0) ++overlaps;
        ++checks;
        checking.fetch_sub(1);
        check.Complete();
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(overlaps, 0);
  EXPECT_GE(checks, 1);
  EXPECT_LE(checks, 8 * 5000 / 50);
}

}  // namespace
}  // namespace korvalis::report
