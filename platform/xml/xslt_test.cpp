#include "platform/xml/xslt.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <numeric>
#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "platform/xml/testing/runaway_transformations.h"
#include "platform/xml/testing/worker_processes.h"

namespace korvalis::xml {
namespace {

using std::chrono::milliseconds;

constexpr TransformLimits kRoomy{1 << 20, 256 << 20, milliseconds(60'000)};

TransformOutcome Transform(const std::string& source, const std::string& stylesheet,
                           const TransformLimits& limits, std::string& output,
                           std::string* cause = nullptr) {
  return TransformText(source, TextWriter::kCaller, stylesheet, TextWriter::kCaller, limits, output,
                       cause);
}

constexpr char kStylesheetStart[] =
    "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
    "<xsl:output method=\"text\"/>";

// A template "t" that calls itself `levels` deep, adding each level to a running total.
std::string RunningTotal(int levels) {
  return kStylesheetStart +
         std::string("<xsl:template match=\"/\"><xsl:call-template name=\"t\">"
                     "<xsl:with-param name=\"n\" select=\"") +
         std::to_string(levels) +
         "\"/><xsl:with-param name=\"s\" select=\"0\"/></xsl:call-template></xsl:template>"
         "<xsl:template name=\"t\"><xsl:param name=\"n\"/><xsl:param name=\"s\"/><xsl:choose>"
         "<xsl:when test=\"$n = 0\"><xsl:value-of select=\"$s\"/></xsl:when><xsl:otherwise>"
         "<xsl:call-template name=\"t\"><xsl:with-param name=\"n\" select=\"$n - 1\"/>"
         "<xsl:with-param name=\"s\" select=\"$s + $n\"/></xsl:call-template></xsl:otherwise>"
         "</xsl:choose></xsl:template></xsl:stylesheet>";
}

// A stylesheet whose template "d" doubles $t (a text, or with `tree` a tree of <x/> elements)
// $n times, then writes `result`.
std::string Doubling(int times, bool tree, const std::string& result) {
  const std::string doubled = tree ? "<xsl:copy-of select=\"$t\"/><xsl:copy-of select=\"$t\"/>"
                                   : "<xsl:value-of select=\"concat($t, $t)\"/>";
  return "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\""
         " xmlns:ms=\"urn:schemas-microsoft-com:xslt\"><xsl:output method=\"text\"/>"
         "<xsl:template match=\"/\"><xsl:call-template name=\"d\"><xsl:with-param name=\"t\">"
         "<x>a\xF0\x9F\x98\x80\xC3\xA9</x></xsl:with-param><xsl:with-param name=\"n\" select=\"" +
         std::to_string(times) +
         "\"/></xsl:call-template></xsl:template>"
         "<xsl:template name=\"d\"><xsl:param name=\"t\"/><xsl:param name=\"n\"/><xsl:choose>"
         "<xsl:when test=\"$n = 0\">" + result + "</xsl:when><xsl:otherwise>"
         "<xsl:variable name=\"u\">" + doubled + "</xsl:variable>"
         "<xsl:call-template name=\"d\"><xsl:with-param name=\"t\" select=\"ms:node-set($u)\"/>"
         "<xsl:with-param name=\"n\" select=\"$n - 1\"/></xsl:call-template>"
         "</xsl:otherwise></xsl:choose></xsl:template></xsl:stylesheet>";
}

TEST(TransformTest, TemplatesNestTenThousandDeepAndEndlessRecursionFailsWithItsCause) {
  std::string source = "<r>";
  for (int i = 1; i <= 10'000; ++i) source += "<row v=\"" + std::to_string(i) + "\"/>";
  source += "</r>";
  std::string output, cause;
  std::string stylesheet = RunningTotal(10'000);
  ASSERT_EQ(Transform(source, stylesheet, kRoomy, output), TransformOutcome::kDone);
  EXPECT_EQ(output, "50005000");
  // The running total of a list, row after row: apply-templates to the next row, 10,000 deep.
  stylesheet =
      kStylesheetStart +
      std::string("<xsl:template match=\"/\"><xsl:apply-templates select=\"r/row[1]\"/>"
                  "</xsl:template><xsl:template match=\"row\"><xsl:param name=\"s\" select=\"0\"/>"
                  "<xsl:variable name=\"t\" select=\"$s + @v\"/><xsl:choose>"
                  "<xsl:when test=\"following-sibling::row\"><xsl:apply-templates "
                  "select=\"following-sibling::row[1]\"><xsl:with-param name=\"s\" select=\"$t\"/>"
                  "</xsl:apply-templates></xsl:when><xsl:otherwise><xsl:value-of select=\"$t\"/>"
                  "</xsl:otherwise></xsl:choose></xsl:template></xsl:stylesheet>");
  ASSERT_EQ(Transform(source, stylesheet, kRoomy, output), TransformOutcome::kDone);
  EXPECT_EQ(output, "50005000");

  // A level that nests its call six instructions deep, in a sort, a variable and an element.
  stylesheet =
      kStylesheetStart +
      std::string("<xsl:template match=\"/\"><xsl:call-template name=\"t\"><xsl:with-param "
                  "name=\"n\" select=\"10000\"/></xsl:call-template></xsl:template><xsl:template "
                  "name=\"t\"><xsl:param name=\"n\"/><xsl:for-each select=\"/r/row[1]\">"
                  "<xsl:sort select=\"@v\"/><xsl:variable name=\"v\"><e><xsl:if test=\"$n &gt; 0\">"
                  "<xsl:choose><xsl:when test=\"$n &gt; 1\"><xsl:call-template name=\"t\">"
                  "<xsl:with-param name=\"n\" select=\"$n - 1\"/></xsl:call-template></xsl:when>"
                  "<xsl:otherwise>deep</xsl:otherwise></xsl:choose></xsl:if></e></xsl:variable>"
                  "<xsl:value-of select=\"$v\"/></xsl:for-each></xsl:template></xsl:stylesheet>");
  ASSERT_EQ(Transform(source, stylesheet, kRoomy, output), TransformOutcome::kDone);
  EXPECT_EQ(output, "deep");

  output = "unchanged";
  for (const std::string& endless :
       {RunningTotal(1'000'000),
        kStylesheetStart +
            std::string("<xsl:template match=\"/\"><xsl:call-template name=\"l\"/></xsl:template>"
                        "<xsl:template name=\"l\"><x><xsl:call-template name=\"l\"/></x>"
                        "</xsl:template></xsl:stylesheet>")}) {
    cause.clear();
    EXPECT_EQ(Transform(source, endless, kRoomy, output, &cause), TransformOutcome::kFailed);
    EXPECT_NE(cause.find("infinite template recursion"), std::string::npos) << cause;
    EXPECT_EQ(output, "unchanged");
  }
}

TEST(TransformTest, NodeSetOfAnyValueAndNoDeclarationWhenOmitted) {
  const std::string source = "<r/>";
  const std::string stylesheet =
      "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\""
      " xmlns:ms=\"urn:schemas-microsoft-com:xslt\" exclude-result-prefixes=\"ms\">"
      "<xsl:output omit-xml-declaration=\"yes\"/>"
      "<xsl:template match=\"/\"><o n=\"{ms:node-set(42)}\" b=\"{count(ms:node-set(r))}\"/>"
      "</xsl:template></xsl:stylesheet>";
  std::string output;
  ASSERT_EQ(Transform(source, stylesheet, kRoomy, output), TransformOutcome::kDone);
  EXPECT_EQ(output, "<o n=\"42\" b=\"1\"/>\n");
}

TEST(TransformTest, OutputAndWorkStopAtTheirBounds) {
  const std::string source = "<r/>";
  // 2^10 copies of "a😀é": 4 UTF-16 units each, 7 bytes of UTF-8.
  std::string stylesheet = Doubling(10, false, "<xsl:value-of select=\"$t\"/>");
  std::string output;
  ASSERT_EQ(Transform(source, stylesheet, {4 << 10, 64 << 20, milliseconds(0)}, output),
            TransformOutcome::kDone);
  EXPECT_EQ(output.size(), 7u << 10);
  output = "unchanged";
  EXPECT_EQ(Transform(source, stylesheet, {(4 << 10) - 1, 64 << 20, milliseconds(0)}, output),
            TransformOutcome::kTooLarge);
  EXPECT_EQ(output, "unchanged");

  // Texts and trees doubled 40 times would take terabytes: the work stops at its budget, again
  // and again, with a small answer or none.
  for (bool tree : {false, true}) {
    stylesheet = Doubling(40, tree, "<xsl:value-of select=\"string-length($t) + count($t//x)\"/>");
    for (int run = 0; run < 3; ++run) {
      EXPECT_EQ(Transform(source, stylesheet, {1 << 20, 16 << 20, milliseconds(0)}, output),
                TransformOutcome::kOutOfMemory)
          << "tree " << tree;
    }
  }
}

TEST(TransformTest, APageOfManyMessagesComesExactWithItsLastPieceInTheEnd) {
  // 2^15 copies of "a😀é": 224 KiB of UTF-8, several messages and a last piece.
  const std::string stylesheet = Doubling(15, false, "<xsl:value-of select=\"$t\"/>");
  std::string expected;
  for (int i = 0; i < 1 << 15; ++i) expected += "a\xF0\x9F\x98\x80\xC3\xA9";
  std::string output;
  ASSERT_EQ(Transform("<r/>", stylesheet, {4 << 15, 64 << 20, milliseconds(0)}, output),
            TransformOutcome::kDone);
  EXPECT_EQ(output, expected);
  EXPECT_EQ(Transform("<r/>", stylesheet, {(4 << 15) - 1, 64 << 20, milliseconds(0)}, output),
            TransformOutcome::kTooLarge);
}

TEST(TransformTest, OneStepThatBuildsATextStopsAtTheBudget) {
  // A text of 4 MB, then one concat() of 40 copies of it: 160 MB built within one XPath step.
  std::string copies = "$big";
  for (int i = 1; i < 40; ++i) copies += ", $big";
  const std::string source = "<r/>";
  const std::string stylesheet =
      Doubling(19, false,
               "<xsl:variable name=\"big\" select=\"string($t)\"/><xsl:value-of "
               "select=\"string-length(concat(" + copies + "))\"/>");
  std::string output;
  ASSERT_EQ(Transform(source, stylesheet, {1 << 20, 48 << 20, milliseconds(0)}, output),
            TransformOutcome::kOutOfMemory);
}

TEST(TransformTest, WorkStopsAtItsTimeLimitWhateverItsShape) {
  std::string source = "<r>";
  for (int i = 0; i < 20'000; ++i) source += "<x>" + std::to_string(i % 1000) + "</x>";
  source += "</r>";
  const std::string storm =  // 2^27 calls of a template that does nothing but call
      kStylesheetStart +
      std::string("<xsl:template match=\"/\"><xsl:call-template name=\"s\"><xsl:with-param "
                  "name=\"n\" select=\"27\"/></xsl:call-template></xsl:template>"
                  "<xsl:template name=\"s\"><xsl:param name=\"n\"/><xsl:if test=\"$n &gt; 0\">"
                  "<xsl:call-template name=\"s\"><xsl:with-param name=\"n\" select=\"$n - 1\"/>"
                  "</xsl:call-template><xsl:call-template name=\"s\"><xsl:with-param name=\"n\" "
                  "select=\"$n - 1\"/></xsl:call-template></xsl:if></xsl:template>"
                  "</xsl:stylesheet>");
  const std::string one_step =  // 400 million comparisons in one XPath step
      kStylesheetStart +
      std::string("<xsl:template match=\"/\"><xsl:value-of select=\"count(r/x[. = ../x])\"/>"
                  "</xsl:template></xsl:stylesheet>");
  for (const std::string& runaway : {storm, one_step}) {
    std::string output = "unchanged";
    EXPECT_EQ(Transform(source, runaway, {1 << 20, 64 << 20, milliseconds(1'000)}, output),
              TransformOutcome::kDeadlinePassed);
    EXPECT_EQ(output, "unchanged");
  }
}

int reaped_by_host = 0;
void ReapEveryChild(int) {
  while (waitpid(-1, nullptr, WNOHANG) > 0) ++reaped_by_host;
}

TEST(TransformTest, AHostThatIgnoresOrReapsItsChildrenGetsItsOutcomes) {
  const std::string source = "<r><v>7</v></r>";
  const std::string done = kStylesheetStart + std::string("<xsl:template match=\"/\">"
                                                          "<xsl:value-of select=\"r/v * 6\"/>"
                                                          "</xsl:template></xsl:stylesheet>");
  const std::string failing = kStylesheetStart +
                              std::string("<xsl:template match=\"/\"><xsl:message "
                                          "terminate=\"yes\">no visit</xsl:message>"
                                          "</xsl:template></xsl:stylesheet>");
  struct sigaction ignore {}, reap {}, before {};
  ignore.sa_handler = SIG_IGN;
  reap.sa_handler = ReapEveryChild;
  reap.sa_flags = SA_RESTART;
  for (const struct sigaction* host : {&ignore, &reap}) {
    ASSERT_EQ(sigaction(SIGCHLD, host, &before), 0);
    for (int run = 0; run < 5; ++run) {
      std::string output, cause;
      EXPECT_EQ(Transform(source, done, kRoomy, output), TransformOutcome::kDone);
      EXPECT_EQ(output, "42");
      EXPECT_EQ(Transform(source, failing, kRoomy, output, &cause), TransformOutcome::kFailed);
      EXPECT_NE(cause.find("no visit"), std::string::npos) << cause;
    }
    sigaction(SIGCHLD, &before, nullptr);
  }
}

TEST(TransformTest, WorkStoppedAtAnyPointEndsCleanly) {
  // A page of rows as reports write them; its work is stopped at budgets from one that admits
  // almost nothing to one that admits all, so the stop falls in every kind of allocation: in
  // XPath evaluations, in the result tree, in the serialisation.
  std::string source = "<root>";
  for (int i = 0; i < 400; ++i) {
    const std::string n = std::to_string(i);
    source += "<patient bed=\"" + n + "\" doctor=\"\xE5\x8C\xBB\xE7\x94\x9F" + n +
            "\" event_no=\"E00000" + n + "\" in_time=\"2026-01-01 00:01\">\xE6\x82\xA3" + n +
            "</patient>";
  }
  source += "</root>";
  const std::string stylesheet =
      "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
      "<xsl:output method=\"html\" encoding=\"UTF-8\"/><xsl:template match=\"/root\">"
      "<HTML><BODY><TABLE><xsl:for-each select=\"patient\"><TR><TD><xsl:value-of select=\".\"/>"
      "</TD><TD><xsl:value-of select=\"@event_no\"/></TD><TD><xsl:value-of select=\"@bed\"/>"
      "</TD><TD><xsl:value-of select=\"concat(@doctor, ' ', @in_time)\"/></TD></TR>"
      "</xsl:for-each></TABLE></BODY></HTML></xsl:template></xsl:stylesheet>";
  std::string whole;
  ASSERT_EQ(Transform(source, stylesheet, kRoomy, whole), TransformOutcome::kDone);
  bool stopped = false;
  bool done = false;
  for (std::size_t budget = 4096; !done; budget += 4096) {
    std::string output, cause;
    const TransformOutcome outcome =
        Transform(source, stylesheet, {1 << 20, budget, milliseconds(0)}, output, &cause);
    ASSERT_TRUE(outcome == TransformOutcome::kDone || outcome == TransformOutcome::kOutOfMemory)
        << budget << ": " << static_cast<int>(outcome) << " " << cause;
    stopped = stopped || outcome == TransformOutcome::kOutOfMemory;
    done = outcome == TransformOutcome::kDone;
    if (done) {
      EXPECT_EQ(output, whole);
    }
  }
  EXPECT_TRUE(stopped);
}

using korvalis::xml::testing::LimitsWithin;
using korvalis::xml::testing::RunawayStyle;
using Runaways = korvalis::xml::testing::RunawayTransformations;

const std::string kSmallSource = "<r><v>7</v></r>";
const std::string kSmallStyle = kStylesheetStart + std::string(
    "<xsl:template match=\"/\"><xsl:value-of select=\"r/v * 6\"/></xsl:template>"
    "</xsl:stylesheet>");

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(TransformTurnsTest, ThreadsOfSmallTransformationsAreServedAlikeAndNoneRefused) {
  constexpr int kThreads = 32;
  std::vector<int> done(kThreads), refused(kThreads);
  std::atomic<bool> stop{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      while (!stop) {
        std::string output;
        const TransformOutcome outcome =
            Transform(kSmallSource, kSmallStyle, LimitsWithin(milliseconds(2'000)), output);
        ++(outcome == TransformOutcome::kDone ? done[t] : refused[t]);
      }
    });
  }
  std::this_thread::sleep_for(milliseconds(3'000));
  stop = true;
  for (std::thread& thread : threads) thread.join();
  const auto [fewest, most] = std::minmax_element(done.begin(), done.end());
  EXPECT_EQ(std::accumulate(refused.begin(), refused.end(), 0), 0);
  EXPECT_GE(*fewest * 3, *most) << "fewest " << *fewest << ", most " << *most;
}

TEST(TransformTurnsTest, ASourceStillWrittenHoldsNoTurn) {
  const int capacity = ProcessTransformationTurns().capacity();
  const std::string row = "<row>" + std::string(1'000, 'x') + "</row>";
  std::vector<std::unique_ptr<Transformation>> written;
  for (int i = 0; i < capacity; ++i) {
    written.push_back(std::make_unique<Transformation>(kSmallStyle, TextWriter::kCaller,
                                                       TextWriter::kSystem, kRoomy));
    written.back()->AppendSource("<r><v>7</v>");
    for (std::size_t sent = 0; sent <= 2 * kHeldSourceBytes; sent += row.size()) {
      written.back()->AppendSource(row);
    }
  }
  std::string output;
  EXPECT_EQ(Transform(kSmallSource, kSmallStyle, LimitsWithin(milliseconds(1'000)), output),
            TransformOutcome::kDone);
  for (std::unique_ptr<Transformation>& transformation : written) {
    output.clear();
    EXPECT_EQ(transformation->Finish("</r>", output), TransformOutcome::kDone);
    EXPECT_EQ(output, "42");
  }
}

TEST(TransformTurnsTest, TheTimeLimitCountsOnceFromTheStartWhateverTheWaitForATurn) {
  // The turns are taken for three of the five seconds of the limit: a limit counted afresh once
  // a turn is free would end past seven, beyond the limit and two more of room for a loaded
  // machine.
  Runaways runaways(ProcessTransformationTurns().capacity(), false, milliseconds(3'000));
  // A source larger than is held, as a report's rows are.
  std::string source = "<r>";
  while (source.size() <= 2 * kHeldSourceBytes) source += "<v>7</v>";
  source += "</r>";
  const auto start = std::chrono::steady_clock::now();
  std::string output;
  EXPECT_EQ(Transform(source, RunawayStyle(100), LimitsWithin(milliseconds(5'000)), output),
            TransformOutcome::kDeadlinePassed);
  EXPECT_LT(SecondsSince(start), 5.0 + 2.0);
}

TEST(TransformTurnsTest, ATransformationThatNeverHadATurnIsToldBusy) {
  // A style sheet known for running long, beside long work that holds every turn but one for
  // four seconds: told only once a turn is free, it would be told past the second of its limit
  // and two more of room for a loaded machine.
  const std::string runaway = RunawayStyle(300);
  {
    const TransformationTurns::Turn turn = ProcessTransformationTurns().Take(
        TransformationTurns::StyleOf(runaway), std::chrono::steady_clock::now());
    ASSERT_TRUE(turn.held());
    std::this_thread::sleep_for(kLongWork + milliseconds(100));
  }
  Runaways runaways(ProcessTransformationTurns().capacity() - 1, false, milliseconds(4'000));
  std::this_thread::sleep_for(kLongWork);  // their turns are long work now
  const auto start = std::chrono::steady_clock::now();
  std::string output, cause;
  EXPECT_EQ(Transform(kSmallSource, runaway, LimitsWithin(milliseconds(1'000)), output, &cause),
            TransformOutcome::kBusy);
  EXPECT_LT(SecondsSince(start), 1.0 + 2.0);
  EXPECT_NE(cause.find("no turn"), std::string::npos) << cause;
  for (TransformOutcome outcome : runaways.Outcomes()) EXPECT_EQ(outcome, TransformOutcome::kDeadlinePassed);
}

TEST(TransformTurnsTest, OneStyleSheetRunByEveryThreadLeavesATurnForOthers) {
  const int capacity = ProcessTransformationTurns().capacity();
  Runaways runaways(capacity + 1, true, milliseconds(2'000));
  for (int i = 0; i < 5; ++i) {
    std::string output;
    EXPECT_EQ(Transform(kSmallSource, kSmallStyle, LimitsWithin(milliseconds(1'000)), output),
              TransformOutcome::kDone);
  }
}

// A style sheet stopped by its time limit within a second of its turn is no long work: beside long
// work that holds every turn but one it takes the last, and a small report still finds a turn.
TEST(TransformTurnsTest, AStyleSheetStoppedSoonAfterItsTurnCameIsNoLongWork) {
  const std::string stopped = RunawayStyle(200);
  std::string output;
  ASSERT_EQ(Transform(kSmallSource, stopped, LimitsWithin(milliseconds(300)), output),
            TransformOutcome::kDeadlinePassed);
  Runaways others(ProcessTransformationTurns().capacity() - 1, false, milliseconds(5'000));
  std::this_thread::sleep_for(kLongWork + milliseconds(200));  // their turns are long work now
  EXPECT_EQ(Transform(kSmallSource, stopped, LimitsWithin(milliseconds(500)), output),
            TransformOutcome::kDeadlinePassed)
      << "it had no turn";
  EXPECT_EQ(Transform(kSmallSource, kSmallStyle, LimitsWithin(milliseconds(2'000)), output),
            TransformOutcome::kDone);
}

// A transformation stopped by its time limit says what the limit went on besides the work: the
// wait for the process to take the rows, and the wait for a turn, which the turns held by long
// work make.
TEST(TransformTurnsTest, AStoppedTransformationSaysWhatItWaitedFor) {
  std::string output, cause;
  ASSERT_EQ(Transform(kSmallSource, RunawayStyle(201), LimitsWithin(milliseconds(300)), output,
                      &cause),
            TransformOutcome::kDeadlinePassed);
  EXPECT_NE(cause.find("for the transformation's process to take its rows and 0."),
            std::string::npos)
      << cause;
  EXPECT_NE(cause.find(" s for a turn"), std::string::npos) << cause;
}

// A child of the host, forked while transformations hold every turn, transforms on its own.
TEST(TransformTurnsTest, AProcessForkedWhileTransformationsRunTransformsAtOnce) {
  Runaways runaways(ProcessTransformationTurns().capacity(), false, milliseconds(2'000));
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::string output;
    const TransformOutcome outcome =
        Transform(kSmallSource, kSmallStyle, LimitsWithin(milliseconds(1'000)), output);
    ::_exit(outcome == TransformOutcome::kDone && output == "42" ? 0 : 1 + static_cast<int>(outcome));
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

// A source whose process takes its pieces slowly (stopped again and again while the source is
// written) spends the time limit as the writer waits: once, not afresh for each piece.
TEST(TransformTurnsTest, TheTimeAWrittenSourceWaitsForItsProcessIsSpentFromTheOneLimit) {
  using korvalis::xml::testing::ChildrenOf;
  using korvalis::xml::testing::Gone;
  using korvalis::xml::testing::Worker;
  Transformation transformation(kSmallStyle, TextWriter::kCaller, TextWriter::kSystem,
                                {1 << 20, 256 << 20, milliseconds(1'000)});
  std::string rows;
  while (rows.size() < 64 * 1024) rows += "<v>7</v>";
  transformation.AppendSource("<r>");
  for (std::size_t sent = 0; sent <= kHeldSourceBytes; sent += rows.size()) {
    transformation.AppendSource(rows);
  }
  std::vector<pid_t> children = ChildrenOf(Worker());
  std::erase_if(children, Gone);
  ASSERT_FALSE(children.empty()) << "the source's process parses it as it comes";
  std::atomic<bool> written{false};
  std::thread pausing([&] {
    while (!written) {
      for (pid_t child : children) ::kill(child, SIGSTOP);
      std::this_thread::sleep_for(milliseconds(600));
      for (pid_t child : children) ::kill(child, SIGCONT);
      std::this_thread::sleep_for(milliseconds(50));
    }
  });
  const auto start = std::chrono::steady_clock::now();
  for (int piece = 0; piece < 200; ++piece) transformation.AppendSource(rows);
  std::string output;
  const TransformOutcome outcome = transformation.Finish("</r>", output);
  const double took = SecondsSince(start);
  written = true;
  pausing.join();
  for (pid_t child : children) ::kill(child, SIGCONT);
  EXPECT_EQ(outcome, TransformOutcome::kDeadlinePassed);
  EXPECT_LT(took, 1.0 + 2.0);  // the limit, with room for a loaded machine
}

}  // namespace
}  // namespace korvalis::xml
