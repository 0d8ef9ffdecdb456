// What a transformation's processes hold, seen from the host through /proc: the worker keeps
// none of the host's environment but what it needs to load and run, a child at work is confined
// (no capability, no new privileges, a system call filter), and a child that the filter ends is
// told as such.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <future>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/xml/testing/worker_processes.h"
#include "platform/xml/xslt.h"

namespace korvalis::xml {
namespace {

using std::chrono::milliseconds;

// A transformation that runs until it is stopped: 2^40 calls of a template.
const std::string kEndless =
    "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
    "<xsl:template match=\"/\"><xsl:call-template name=\"s\"><xsl:with-param name=\"n\" "
    "select=\"40\"/></xsl:call-template></xsl:template><xsl:template name=\"s\">"
    "<xsl:param name=\"n\"/><xsl:if test=\"$n &gt; 0\"><xsl:call-template name=\"s\">"
    "<xsl:with-param name=\"n\" select=\"$n - 1\"/></xsl:call-template><xsl:call-template "
    "name=\"s\"><xsl:with-param name=\"n\" select=\"$n - 1\"/></xsl:call-template></xsl:if>"
    "</xsl:template></xsl:stylesheet>";
constexpr TransformLimits kTenSeconds{1 << 20, 64 << 20, milliseconds(10'000)};

struct Ended {
  TransformOutcome outcome;
  std::string cause;
};

// Starts the endless transformation on a thread of its own.
std::future<Ended> StartEndless() {
  return std::async(std::launch::async, [] {
    std::string output, cause;
    const TransformOutcome outcome = TransformText("<r/>", TextWriter::kSystem, kEndless,
                                                   TextWriter::kCaller, kTenSeconds, output, &cause);
    return Ended{outcome, cause};
  });
}

std::map<std::string, std::string> StatusOf(pid_t pid);

// The worker's child that works on a transformation, confined, and is none of `known`; 0 after
// two seconds.
pid_t WorkingChild(const std::vector<pid_t>& known) {
  for (int wait = 0; wait < 200; ++wait) {
    for (pid_t child : testing::WorkingChildrenOf(testing::Worker())) {
      if (std::find(known.begin(), known.end(), child) != known.end()) continue;
      std::map<std::string, std::string> status = StatusOf(child);
      if (status["Seccomp:"] == "2" && status["State:"].rfind('Z', 0) != 0) return child;
    }
    std::this_thread::sleep_for(milliseconds(10));
  }
  return 0;
}

std::map<std::string, std::string> StatusOf(pid_t pid) {
  std::map<std::string, std::string> fields;
  std::ifstream lines("/proc/" + std::to_string(pid) + "/status");
  for (std::string field, value; lines >> field && std::getline(lines >> std::ws, value);) {
    fields[field] = value;
  }
  return fields;
}

TEST(TransformConfinementTest, TheWorkerKeepsNoneOfTheHostsEnvironment) {
  std::string output;
  ASSERT_EQ(TransformText("<r/>", TextWriter::kSystem,
                          "<xsl:stylesheet version=\"1.0\" "
                          "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\"/>",
                          TextWriter::kCaller, kTenSeconds, output),
            TransformOutcome::kDone);
  ASSERT_NE(::getenv("PATH"), nullptr) << "the host must have more than the worker keeps";
  const pid_t worker = testing::Worker();
  ASSERT_NE(worker, 0);
  std::ifstream environ("/proc/" + std::to_string(worker) + "/environ");
  const std::set<std::string> kept = {"LD_BIND_NOW", "LD_LIBRARY_PATH", "ASAN_OPTIONS",
                                      "UBSAN_OPTIONS", "LSAN_OPTIONS"};
  for (std::string entry; std::getline(environ, entry, '\0');) {
    EXPECT_TRUE(kept.contains(entry.substr(0, entry.find('=')))) << entry;
  }
}

// xsl:sort's lang makes the processor look for the locale's files, which the child cannot open:
// the sort goes on without them.
TEST(TransformConfinementTest, ASortInALanguageTransformsWithoutTheLocalesFiles) {
  std::string output;
  EXPECT_EQ(TransformText("<r><v>b</v><v>a</v><v>c</v></r>", TextWriter::kSystem,
                          "<xsl:stylesheet version=\"1.0\" "
                          "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                          "<xsl:output method=\"text\"/><xsl:template match=\"/\">"
                          "<xsl:for-each select=\"r/v\"><xsl:sort select=\".\" lang=\"de\"/>"
                          "<xsl:value-of select=\".\"/></xsl:for-each></xsl:template>"
                          "</xsl:stylesheet>",
                          TextWriter::kCaller, kTenSeconds, output),
            TransformOutcome::kDone);
  EXPECT_EQ(output, "abc");
}

TEST(TransformConfinementTest, AChildAtWorkHoldsNothingAndIsFiltered) {
  const std::vector<pid_t> known = testing::WorkingChildrenOf(testing::Worker());
  std::future<Ended> endless = StartEndless();
  const pid_t child = WorkingChild(known);
  ASSERT_NE(child, 0) << "no confined child at work";
  std::map<std::string, std::string> status = StatusOf(child);
  EXPECT_EQ(status["NoNewPrivs:"], "1");
  // Its limits, which the worker set: the processor time of its order (twice the time limit and
  // a second, counted on from what it had used) and a bounded address space.
  std::ifstream limits("/proc/" + std::to_string(child) + "/limits");
  std::map<std::string, std::string> soft;
  for (std::string line; std::getline(limits, line);) {
    for (const char* name : {"Max cpu time", "Max address space"}) {
      if (line.rfind(name, 0) == 0) soft[name] = line.substr(26, 21);
    }
  }
  EXPECT_GE(std::stol(soft["Max cpu time"]), 21);
  EXPECT_LE(std::stol(soft["Max cpu time"]), 30);
  EXPECT_NE(soft["Max address space"].find_first_of("0123456789"), std::string::npos);
  for (const char* set : {"CapInh:", "CapPrm:", "CapEff:", "CapAmb:"}) {
    EXPECT_EQ(status[set], "0000000000000000") << set;
  }
  // The filter's own end, SIGSYS, is told as a forbidden call.
  ::kill(child, SIGSYS);
  const Ended ended = endless.get();
  EXPECT_EQ(ended.outcome, TransformOutcome::kForbiddenCall);
  EXPECT_NE(ended.cause.find("forbidden system call"), std::string::npos) << ended.cause;
}

}  // namespace
}  // namespace korvalis::xml
