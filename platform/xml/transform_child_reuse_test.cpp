// The worker's children taken again: a child that answered a whole page serves the next
// transformation, one that answered anything else (or took much memory) never does, and no
// transformation's page or messages reach another's answer.
#include <gtest/gtest.h>
#include <sys/types.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/sys/testing/sanitizer.h"
#include "platform/xml/testing/runaway_transformations.h"
#include "platform/xml/testing/worker_processes.h"
#include "platform/xml/worker/spare_children.h"
#include "platform/xml/xslt.h"

namespace korvalis::xml {
namespace {

using std::chrono::milliseconds;
using testing::ChildrenOf;
using testing::Gone;
using testing::Within;
using testing::Worker;
using testing::WorkingChildrenOf;

using testing::kRoomy;

// The sum of the source's values, after a message naming them.
const std::string kSumTold =
    "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
    "<xsl:output method=\"text\"/><xsl:template match=\"/\"><xsl:message>told <xsl:value-of "
    "select=\"r/v[1]\"/></xsl:message><xsl:value-of select=\"sum(r/v)\"/></xsl:template>"
    "</xsl:stylesheet>";
// Stops with a message naming the source's first value.
const std::string kStopTold =
    "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
    "<xsl:template match=\"/\"><xsl:message terminate=\"yes\">stopped <xsl:value-of "
    "select=\"r/v[1]\"/></xsl:message></xsl:template></xsl:stylesheet>";

struct Answer {
  TransformOutcome outcome;
  std::string output;
  std::string cause;
};

Answer Transform(const std::string& source, const std::string& stylesheet,
                 const TransformLimits& limits = kRoomy) {
  Answer answer{};
  answer.outcome = TransformText(source, TextWriter::kSystem, stylesheet, TextWriter::kCaller,
                                 limits, answer.output, &answer.cause);
  return answer;
}

std::string Values(long first) { return "<r><v>" + std::to_string(first) + "</v><v>1</v></r>"; }

// A source of `count` values: 600,000 make a tree of about 100 MB.
std::string Large(int count = 600'000) {
  std::string source = "<r>";
  for (int i = 0; i < count; ++i) source += "<v>1</v>";
  return source + "</r>";
}

// The worker's children once none is at work and those that ended are reaped.
std::vector<pid_t> IdleChildren() {
  EXPECT_TRUE(Within(milliseconds(4'000), [] { return WorkingChildrenOf(Worker()).empty(); }));
  std::vector<pid_t> children = ChildrenOf(Worker());
  std::erase_if(children, Gone);
  std::sort(children.begin(), children.end());
  return children;
}

// How many of `before` have ended.
std::size_t Ended(const std::vector<pid_t>& before) {
  return static_cast<std::size_t>(std::count_if(before.begin(), before.end(), Gone));
}

TEST(TransformChildReuseTest, AChildThatAnsweredAWholePageServesTheNextAndOneThatFailedNever) {
  // The first calls may leave one more spare, forked while a child was out at work.
  for (long i = 0; i < 3; ++i) ASSERT_EQ(Transform(Values(41), kSumTold).output, "42");
  const std::vector<pid_t> idle = IdleChildren();
  ASSERT_FALSE(idle.empty());
  for (long i = 0; i < 10; ++i)
    ASSERT_EQ(Transform(Values(i), kSumTold).output, std::to_string(i + 1));
  EXPECT_EQ(IdleChildren(), idle) << "the children that answered whole pages wait for more";

  const struct {
    std::string source;
    std::string stylesheet;
    TransformLimits limits;
    TransformOutcome outcome;
  } failures[] = {
      {"<r><v>1</v>", kSumTold, kRoomy, TransformOutcome::kSourceNotLoaded},
      {Values(1), "<xsl:stylesheet", kRoomy, TransformOutcome::kStylesheetNotLoaded},
      {Values(1), kStopTold, kRoomy, TransformOutcome::kFailed},
      {Values(123456), kSumTold, {3, 64 << 20, milliseconds(20'000)}, TransformOutcome::kTooLarge},
      // A whole page, but after a source whose tree took more memory than a waiting child keeps.
      {Large(), kSumTold, {1 << 20, 512 << 20, milliseconds(20'000)}, TransformOutcome::kDone},
  };
  for (const auto& failure : failures) {
    const std::vector<pid_t> before = IdleChildren();
    // The transformation goes to the child that last answered a page.
    EXPECT_EQ(Transform(failure.source, failure.stylesheet, failure.limits).outcome,
              failure.outcome);
    EXPECT_TRUE(Within(milliseconds(4'000), [&] { return Ended(before) >= 1; }))
        << "the child of a failed or large transformation is not taken again";
    EXPECT_EQ(Ended(before), 1u);
    ASSERT_EQ(Transform(Values(5), kSumTold).output, "6") << "the next is served";
  }
}

TEST(TransformChildReuseTest, ThreadsOfTheirOwnValuesGetTheirOwnPagesAndMessages) {
  constexpr int kThreads = 8;
  constexpr long kRuns = 150;
  std::vector<std::string> faults(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &faults] {
      for (long run = 0; run < kRuns && faults[t].empty(); ++run) {
        const long value = (t + 1) * 1'000'000L + run;
        // Every fifth stops with its own message: none of the messages of the pages its child
        // answered before may come with it.
        if (run % 5 == 4) {
          const Answer stopped = Transform(Values(value), kStopTold);
          if (stopped.outcome != TransformOutcome::kFailed ||
              stopped.cause.find("stopped " + std::to_string(value)) == std::string::npos ||
              stopped.cause.find("told") != std::string::npos) {
            faults[t] = "stop " + std::to_string(value) + ": " + stopped.cause;
          }
          continue;
        }
        const Answer summed = Transform(Values(value), kSumTold);
        if (summed.outcome != TransformOutcome::kDone ||
            summed.output != std::to_string(value + 1)) {
          faults[t] = "sum " + std::to_string(value) + ": " + summed.output + summed.cause;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(faults[t], "") << "thread " << t;
}

// A child that served a large page gives its heap's free memory back while it waits, and one
// that waits a few seconds is retired: an idle host's worker keeps only fresh spares.
TEST(TransformChildReuseTest, AChildGivesBackWhatAPageTookAndAnIdleOneRetires) {
  // Under the sanitizer a child's heap is the sanitizer's, which holds freed blocks back and
  // makes a large page's tree more than a waiting child keeps: the heap's measure is left out
  // there, and a smaller page keeps its child.
  constexpr bool kHeapMeasured = !sys::testing::kSanitizerHoldsMemory;
  // A tree of about 30 MB: more than a child gives back, less than one that ends with its page.
  constexpr int kValues = kHeapMeasured ? 180'000 : 20'000;
  // The page goes to one of the children that wait (the worker starts with a first page).
  ASSERT_EQ(Transform(Values(1), kSumTold).output, "2");
  const std::vector<pid_t> waiting = IdleChildren();
  ASSERT_FALSE(waiting.empty());
  ASSERT_EQ(Transform(Large(kValues), kSumTold).output, std::to_string(kValues));
  if (kHeapMeasured) {
    // The child that served it: the one whose resident memory passed 20 MB.
    const auto status = [](pid_t child) { return "/proc/" + std::to_string(child) + "/status"; };
    std::vector<pid_t> served = IdleChildren();
    std::erase_if(served, [&](pid_t child) {
      return testing::ProcKilobytes(status(child), "VmHWM:") < 20 * 1024;
    });
    ASSERT_EQ(served.size(), 1u);
    EXPECT_TRUE(Within(
        milliseconds(3'000),
        [&] { return testing::ProcKilobytes(status(served.front()), "RssAnon:") < 12 * 1024; }))
        << testing::ProcKilobytes(status(served.front()), "RssAnon:") << " kB kept";
  }
  EXPECT_TRUE(
      Within(std::chrono::duration_cast<milliseconds>(kIdleRetirement) + milliseconds(2'000),
             [&] { return Ended(waiting) >= 1; }))
      << "an idle child that served stays";
  EXPECT_FALSE(IdleChildren().empty()) << "fresh spares wait";
}

}  // namespace
}  // namespace korvalis::xml
