// The transformation worker as a host process meets it: every path ends without a descriptor
// or a process left behind, a host that forks and parses beside its calls gets every answer,
// the worker dumps no core and is started again when it has ended, and the transformations in
// flight are capped.
#include "platform/xml/transform_worker.h"

#include <gtest/gtest.h>
#include <libxml/xmlmemory.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/sys/testing/sanitizer.h"
#include "platform/xml/dom.h"
#include "platform/xml/memory_budget.h"
#include "platform/xml/testing/runaway_transformations.h"
#include "platform/xml/testing/worker_processes.h"
#include "platform/xml/xslt.h"

namespace korvalis::xml {
namespace {

using std::chrono::milliseconds;
using testing::ChildrenOf;
using testing::Worker;
using testing::WorkingChildrenOf;

using testing::kRoomy;
using testing::kSum;
// 2^30 calls of a template that does nothing but call.
const std::string kStorm =
    "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
    "<xsl:template match=\"/\"><xsl:call-template name=\"s\"><xsl:with-param name=\"n\" "
    "select=\"30\"/></xsl:call-template></xsl:template><xsl:template name=\"s\">"
    "<xsl:param name=\"n\"/><xsl:if test=\"$n &gt; 0\"><xsl:call-template name=\"s\">"
    "<xsl:with-param name=\"n\" select=\"$n - 1\"/></xsl:call-template><xsl:call-template "
    "name=\"s\"><xsl:with-param name=\"n\" select=\"$n - 1\"/></xsl:call-template></xsl:if>"
    "</xsl:template></xsl:stylesheet>";

TransformOutcome Transform(const std::string& source, const std::string& stylesheet,
                           const TransformLimits& limits, std::string& output) {
  return TransformText(source, TextWriter::kSystem, stylesheet, TextWriter::kCaller, limits,
                       output);
}

// The process's open descriptors, each with what it refers to (but the listing's own).
std::set<std::pair<int, std::string>> OpenDescriptors() {
  const std::string listing = "/proc/" + std::to_string(::getpid()) + "/fd";
  std::set<std::pair<int, std::string>> open;
  for (const auto& entry : std::filesystem::directory_iterator(listing)) {
    std::error_code error;
    const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
    if (target != listing) open.emplace(std::stoi(entry.path().filename().string()), target);
  }
  return open;
}

// What `now` holds that `before` did not: a descriptor left open. (A worker that an earlier case
// let go may end meanwhile, and its descriptor close: that is no leftover.)
std::string Added(const std::set<std::pair<int, std::string>>& before,
                  const std::set<std::pair<int, std::string>>& now) {
  std::string added;
  for (const auto& [descriptor, target] : now) {
    if (!before.contains({descriptor, target})) {
      added += std::to_string(descriptor) + " " + target + "\n";
    }
  }
  return added;
}

// The worker's children, once those that were ended have gone (the worker reaps them).
std::size_t WorkerChildrenSettled() {
  std::size_t count = 0;
  for (int wait = 0; wait < 200; ++wait) {
    count = WorkingChildrenOf(Worker()).size();
    if (count == 0) break;
    std::this_thread::sleep_for(milliseconds(10));
  }
  return count;
}

TEST(TransformWorkerTest, EveryPathEndsWithoutADescriptorOrProcessLeft) {
  std::string output;
  ASSERT_EQ(Transform("<r><v>2</v></r>", kSum, kRoomy, output), TransformOutcome::kDone);
  const auto descriptors = OpenDescriptors();
  const pid_t worker = Worker();
  ASSERT_NE(worker, 0);

  EXPECT_EQ(Transform("<r><v>2", kSum, kRoomy, output), TransformOutcome::kSourceNotLoaded);
  EXPECT_EQ(Transform("<r/>", "<xsl:stylesheet", kRoomy, output),
            TransformOutcome::kStylesheetNotLoaded);
  EXPECT_EQ(Transform("<r/>", kStorm, {1 << 20, 64 << 20, milliseconds(300)}, output),
            TransformOutcome::kDeadlinePassed);
  // A transformation given up while its source streams: the caller's stack unwinds.
  for (bool sent : {false, true}) {
    Transformation abandoned(kSum, TextWriter::kCaller, TextWriter::kSystem, kRoomy);
    abandoned.AppendSource("<r>");
    if (sent) abandoned.AppendSource(std::string(kHeldSourceBytes, ' '));
  }
  EXPECT_EQ(Added(descriptors, OpenDescriptors()), "");
  EXPECT_EQ(WorkerChildrenSettled(), 0u);
  EXPECT_EQ(Worker(), worker) << "the worker serves every transformation of the process";
}

TEST(TransformWorkerTest, AHostThatForksAndParsesBesideItsCallsGetsEveryAnswer) {
  std::atomic<bool> stop{false};
  // A thread of the host forks children that keep what they inherited for a while.
  std::thread forking([&] {
    while (!stop) {
      const pid_t child = ::fork();
      if (child == 0) {
        ::usleep(20'000);
        ::_exit(0);
      }
      if (child > 0) ::waitpid(child, nullptr, 0);
      std::this_thread::sleep_for(milliseconds(2));
    }
  });
  // Another parses with libxml2, as a host's own code does.
  std::thread parsing([&] {
    while (!stop) {
      Document document;
      document.LoadXml("<a><b c=\"d\">text</b></a>");
    }
  });
  std::vector<std::thread> callers;
  std::atomic<int> wrong{0};
  for (int t = 0; t < 4; ++t) {
    callers.emplace_back([&] {
      for (int i = 0; i < 40; ++i) {
        std::string output;
        if (Transform("<r><v>40</v><v>2</v></r>", kSum, kRoomy, output) !=
                TransformOutcome::kDone ||
            output != "42") {
          ++wrong;
        }
      }
    });
  }
  for (std::thread& caller : callers) caller.join();
  stop = true;
  forking.join();
  parsing.join();
  EXPECT_EQ(wrong, 0);
}

TEST(TransformWorkerTest, TheWorkerDumpsNoCoreAndIsStartedAgainWhenItHasEnded) {
  std::string output;
  ASSERT_EQ(Transform("<r><v>1</v></r>", kSum, kRoomy, output), TransformOutcome::kDone);
  const pid_t worker = Worker();
  ASSERT_NE(worker, 0);
  rlimit core{};
  ASSERT_EQ(::prlimit(worker, RLIMIT_CORE, nullptr, &core), 0);
  EXPECT_EQ(core.rlim_cur, 0u);
  ::kill(worker, SIGKILL);
  for (int wait = 0; wait < 200 && Worker() == worker; ++wait) {
    std::this_thread::sleep_for(milliseconds(10));
  }
  ASSERT_EQ(Transform("<r><v>3</v></r>", kSum, kRoomy, output), TransformOutcome::kDone);
  EXPECT_EQ(output, "3");
  EXPECT_NE(Worker(), worker);
}

TEST(TransformWorkerTest, TransformationsInFlightAreCappedAndTheRestWaitWithinTheirTime) {
  const std::size_t cap = ProcessTransformationTurns().capacity();
  std::atomic<bool> stop{false};
  std::atomic<std::size_t> most{0};
  std::string output;
  ASSERT_EQ(Transform("<r/>", kSum, kRoomy, output), TransformOutcome::kDone);
  ASSERT_EQ(WorkerChildrenSettled(), 0u) << "the children of earlier tests are gone";
  std::thread sampling([&] {
    while (!stop) {
      most = std::max<std::size_t>(most, WorkingChildrenOf(Worker()).size());
      std::this_thread::sleep_for(milliseconds(5));
    }
  });
  std::vector<std::thread> runaways;
  std::atomic<int> timed_out{0};
  std::atomic<int> busy{0};
  // Each runaway by a style sheet of its own, so that together they may take every turn.
  auto run_away = [&](milliseconds limit) {
    runaways.emplace_back([&, limit,
                           style = xml::testing::RunawayStyle(static_cast<int>(runaways.size()))] {
      std::string page;
      const TransformOutcome outcome = Transform("<r/>", style, {1 << 20, 64 << 20, limit}, page);
      if (outcome == TransformOutcome::kDeadlinePassed) ++timed_out;
      if (outcome == TransformOutcome::kBusy) ++busy;
    });
  };
  // As many runaways as the cap admits, then as many more, which wait for a turn in vain: their
  // time ends before the first ones', by two seconds and more for a loaded machine.
  for (std::size_t t = 0; t < cap; ++t) run_away(milliseconds(2'500));
  for (int wait = 0; wait < 2'500 && most < cap; ++wait) {
    std::this_thread::sleep_for(milliseconds(2));
  }
  for (std::size_t t = 0; t < cap; ++t) run_away(milliseconds(300));
  for (std::thread& runaway : runaways) runaway.join();
  stop = true;
  sampling.join();
  EXPECT_EQ(timed_out, static_cast<int>(cap));
  EXPECT_EQ(busy, static_cast<int>(cap)) << "those that never had a turn say so";
  EXPECT_EQ(most, cap);
}

// An allocation the system refuses (the address space is spent) ends the work as a memory
// refusal, so that no page built after it is ever answered.
void AllocateBeyondTheAddressSpace() {
  const rlimit small{std::size_t{1} << 30, std::size_t{1} << 30};
  ::setrlimit(RLIMIT_AS, &small);
  MemoryBudget budget(std::size_t{8} << 30);
  budget.OnExceeded([](void*) { ::_exit(3); }, nullptr);
  void* huge = xmlMalloc(std::size_t{2} << 30);
  ::_exit(huge == nullptr ? 4 : 5);
}

TEST(MemoryBudgetTest, ARefusedAllocationEndsTheWork) {
  if (sys::testing::kSanitizerHoldsMemory) {
    GTEST_SKIP() << "the sanitizer's allocator needs more address space than the limit leaves";
  }
  EnsureLibraryStarted();
  EXPECT_EXIT(AllocateBeyondTheAddressSpace(), ::testing::ExitedWithCode(3), "");
}

}  // namespace
}  // namespace korvalis::xml
