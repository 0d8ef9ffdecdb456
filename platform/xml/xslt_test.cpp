#include "platform/xml/xslt.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <string>

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

}  // namespace
}  // namespace korvalis::xml
