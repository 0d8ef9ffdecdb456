// Test helpers: a style sheet that answers at once and limits roomy enough for it, style sheets
// that run until they are stopped, and threads that hold the process's transformation turns
// with them while a test does something else.
//
// Thread-safety: a RunawayTransformations belongs to the thread that made it.
#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/xml/transformation_turns.h"
#include "platform/xml/xslt.h"

namespace korvalis::xml::testing {

// Limits roomy in size, bounded at 20 s.
inline constexpr TransformLimits kRoomy{1 << 20, 64 << 20, std::chrono::milliseconds(20'000)};

// Writes the sum of the source's r/v values as text.
inline const std::string kSum =
    "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
    "<xsl:output method=\"text\"/><xsl:template match=\"/\"><xsl:value-of select=\"sum(r/v)\"/>"
    "</xsl:template></xsl:stylesheet>";

// A style sheet that runs until it is stopped (2^40 calls of a template that only calls), its
// text made distinct from the others' by `mark`.
inline std::string RunawayStyle(int mark) {
  return "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
         "<xsl:output method=\"text\"/><!-- " +
         std::to_string(mark) +
         " --><xsl:template match=\"/\"><xsl:call-template name=\"s\"><xsl:with-param "
         "name=\"n\" select=\"40\"/></xsl:call-template></xsl:template>"
         "<xsl:template name=\"s\"><xsl:param name=\"n\"/><xsl:if test=\"$n &gt; 0\">"
         "<xsl:call-template name=\"s\"><xsl:with-param name=\"n\" select=\"$n - 1\"/>"
         "</xsl:call-template><xsl:call-template name=\"s\"><xsl:with-param name=\"n\" "
         "select=\"$n - 1\"/></xsl:call-template></xsl:if></xsl:template></xsl:stylesheet>";
}

// Limits roomy in size, bounded in time.
inline TransformLimits LimitsWithin(std::chrono::milliseconds duration) {
  return {1 << 20, 64 << 20, duration};
}

// `count` runaway transformations, each on a thread of its own and stopped at `duration`: all
// of one style sheet, or each of its own. They hold their turns once the constructor returns
// (as many as the turns admit); the destructor waits for their ends. Each set runs style sheets
// no earlier set ran, so that the turns do not know them for long work yet.
class RunawayTransformations {
 public:
  RunawayTransformations(int count, bool one_style, std::chrono::milliseconds duration)
      : outcomes_(count) {
    static std::atomic<int> next_mark{1'000};
    const int first = next_mark.fetch_add(count);
    for (int i = 0; i < count; ++i) {
      threads_.emplace_back([this, i, one_style, first, duration] {
        std::string output;
        outcomes_[i] =
            TransformText("<r/>", TextWriter::kCaller, RunawayStyle(one_style ? first : first + i),
                          TextWriter::kCaller, LimitsWithin(duration), output);
      });
    }
    // Until each holds its turn or waits in line for one: no other work of the test's runs.
    const auto given_up = std::chrono::steady_clock::now() + duration;
    while (ProcessTransformationTurns().HoldingOrWaiting() < static_cast<std::size_t>(count) &&
           std::chrono::steady_clock::now() < given_up) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  ~RunawayTransformations() { Outcomes(); }
  RunawayTransformations(const RunawayTransformations&) = delete;
  RunawayTransformations& operator=(const RunawayTransformations&) = delete;

  // Waits for their ends.
  std::vector<TransformOutcome> Outcomes() {
    for (std::thread& thread : threads_) thread.join();
    threads_.clear();
    return outcomes_;
  }

 private:
  std::vector<TransformOutcome> outcomes_;
  std::vector<std::thread> threads_;
};

}  // namespace korvalis::xml::testing
