#include "platform/xml/xslt.h"

#include <gtest/gtest.h>

#include <string>

namespace korvalis::xml {
namespace {

constexpr TransformLimits kRoomy{1 << 20, 64 << 20};

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

TEST(TransformTest, RunawayRecursionFailsCleanly) {
  Document source, stylesheet;
  ASSERT_TRUE(source.LoadXml("<r/>"));
  ASSERT_TRUE(stylesheet.LoadXml(
      "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
      "<xsl:template match=\"/\"><xsl:call-template name=\"loop\"/></xsl:template>"
      "<xsl:template name=\"loop\"><x><xsl:call-template name=\"loop\"/></x></xsl:template>"
      "</xsl:stylesheet>"));
  std::string output = "unchanged";
  EXPECT_EQ(TransformToText(source, stylesheet, kRoomy, output), TransformOutcome::kFailed);
  EXPECT_EQ(output, "unchanged");
}

TEST(TransformTest, NodeSetOfAnyValueAndNoDeclarationWhenOmitted) {
  Document source, stylesheet;
  ASSERT_TRUE(source.LoadXml("<r/>"));
  ASSERT_TRUE(stylesheet.LoadXml(
      "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\""
      " xmlns:ms=\"urn:schemas-microsoft-com:xslt\" exclude-result-prefixes=\"ms\">"
      "<xsl:output omit-xml-declaration=\"yes\"/>"
      "<xsl:template match=\"/\"><o n=\"{ms:node-set(42)}\" b=\"{count(ms:node-set(r))}\"/>"
      "</xsl:template></xsl:stylesheet>"));
  std::string output;
  ASSERT_EQ(TransformToText(source, stylesheet, kRoomy, output), TransformOutcome::kDone);
  EXPECT_EQ(output, "<o n=\"42\" b=\"1\"/>\n");
}

TEST(TransformTest, OutputAndWorkStopAtTheirBounds) {
  Document source, stylesheet;
  ASSERT_TRUE(source.LoadXml("<r/>"));
  // 2^10 copies of "a😀é": 4 UTF-16 units each, 7 bytes of UTF-8.
  ASSERT_TRUE(stylesheet.LoadXml(Doubling(10, false, "<xsl:value-of select=\"$t\"/>")));
  std::string output;
  ASSERT_EQ(TransformToText(source, stylesheet, {4 << 10, 64 << 20}, output),
            TransformOutcome::kDone);
  EXPECT_EQ(output.size(), 7u << 10);
  output = "unchanged";
  EXPECT_EQ(TransformToText(source, stylesheet, {(4 << 10) - 1, 64 << 20}, output),
            TransformOutcome::kTooLarge);
  EXPECT_EQ(output, "unchanged");

  // Texts and trees doubled 40 times would take terabytes: the work stops at its budget, again
  // and again, with a small answer or none.
  for (bool tree : {false, true}) {
    ASSERT_TRUE(stylesheet.LoadXml(
        Doubling(40, tree, "<xsl:value-of select=\"string-length($t) + count($t//x)\"/>")));
    for (int run = 0; run < 3; ++run) {
      EXPECT_EQ(TransformToText(source, stylesheet, {1 << 20, 16 << 20}, output),
                TransformOutcome::kTooLarge)
          << "tree " << tree;
    }
  }
}

TEST(TransformTest, WorkStoppedAtAnyPointEndsCleanly) {
  // A page of rows as reports write them; its work is stopped at budgets from one that admits
  // almost nothing to one that admits all, so the stop falls in every kind of allocation: in
  // XPath evaluations, in the result tree, in the serialisation.
  std::string rows = "<root>";
  for (int i = 0; i < 400; ++i) {
    const std::string n = std::to_string(i);
    rows += "<patient bed=\"" + n + "\" doctor=\"\xE5\x8C\xBB\xE7\x94\x9F" + n +
            "\" event_no=\"E00000" + n + "\" in_time=\"2026-01-01 00:01\">\xE6\x82\xA3" + n +
            "</patient>";
  }
  rows += "</root>";
  Document source, stylesheet;
  ASSERT_TRUE(source.LoadXml(rows));
  ASSERT_TRUE(stylesheet.LoadXml(
      "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
      "<xsl:output method=\"html\" encoding=\"UTF-8\"/><xsl:template match=\"/root\">"
      "<HTML><BODY><TABLE><xsl:for-each select=\"patient\"><TR><TD><xsl:value-of select=\".\"/>"
      "</TD><TD><xsl:value-of select=\"@event_no\"/></TD><TD><xsl:value-of select=\"@bed\"/>"
      "</TD><TD><xsl:value-of select=\"concat(@doctor, ' ', @in_time)\"/></TD></TR>"
      "</xsl:for-each></TABLE></BODY></HTML></xsl:template></xsl:stylesheet>"));
  std::string whole;
  ASSERT_EQ(TransformToText(source, stylesheet, kRoomy, whole), TransformOutcome::kDone);
  bool stopped = false;
  bool done = false;
  for (std::size_t budget = 1024; !done; budget += 1024) {
    std::string output;
    const TransformOutcome outcome = TransformToText(source, stylesheet, {1 << 20, budget}, output);
    ASSERT_NE(outcome, TransformOutcome::kFailed) << budget;
    stopped = stopped || outcome == TransformOutcome::kTooLarge;
    done = outcome == TransformOutcome::kDone;
    if (done) {
      EXPECT_EQ(output, whole);
    }
  }
  EXPECT_TRUE(stopped);
}

}  // namespace
}  // namespace korvalis::xml
