#include "platform/xml/xslt.h"

#include <gtest/gtest.h>

#include <string>

namespace korvalis::xml {
namespace {

TEST(TransformTest, RunawayRecursionFailsCleanly) {
  Document source, stylesheet;
  ASSERT_TRUE(source.LoadXml("<r/>"));
  ASSERT_TRUE(stylesheet.LoadXml(
      "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
      "<xsl:template match=\"/\"><xsl:call-template name=\"loop\"/></xsl:template>"
      "<xsl:template name=\"loop\"><x><xsl:call-template name=\"loop\"/></x></xsl:template>"
      "</xsl:stylesheet>"));
  std::string output = "unchanged";
  EXPECT_FALSE(TransformToText(source, stylesheet, output));
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
  ASSERT_TRUE(TransformToText(source, stylesheet, output));
  EXPECT_EQ(output, "<o n=\"42\" b=\"1\"/>\n");
}

}  // namespace
}  // namespace korvalis::xml
