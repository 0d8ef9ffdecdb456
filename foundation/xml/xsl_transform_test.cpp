#include "foundation/xml/xsl_transform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "foundation/calls/call_scope.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/comm_data_source.h"
#include "foundation/testing/data_source_test_util.h"
#include "platform/com/scoped_bstr.h"
#include "platform/text/unicode.h"
#include "platform/xml/testing/entity_bombs.h"

namespace {

using Bstr = korvalis::com::ScopedBstr;

std::u16string Transform(std::u16string_view xml, std::u16string_view xsl) {
  Bstr source(xml), stylesheet(xsl), output;
  EXPECT_TRUE(XslTransform(source.get(), stylesheet.get(), output.out()));
  return output.text();
}

std::u16string Failure(std::u16string_view xml, std::u16string_view xsl) {
  Bstr source(xml), stylesheet(xsl), output;
  try {
    XslTransform(source.get(), stylesheet.get(), output.out());
  } catch (const CEMRException& error) {
    EXPECT_EQ(output.get(), nullptr) << "no output on failure";
    return error.GetText();
  }
  return u"(no error)";
}

constexpr char16_t kScores[] =
    u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n"
    u"<root>\n  <item dept=\"内科\" score=\"3\"/>\n  <item dept=\"外科\" score=\"5\"/>\n"
    u"  <item dept=\"内科\" score=\"4\"/>\n</root>";

TEST(XslTransformTest, NodeSetOfResultTreeFragment) {
  const std::u16string xsl =
      u"<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\""
      u" xmlns:msxsl=\"urn:schemas-microsoft-com:xslt\">"
      u"<xsl:output method=\"text\"/>"
      u"<xsl:template match=\"/\">"
      u"<xsl:variable name=\"sorted\"><xsl:for-each select=\"root/item\">"
      u"<xsl:sort select=\"@score\" data-type=\"number\" order=\"descending\"/>"
      u"<row dept=\"{@dept}\" score=\"{@score}\"/></xsl:for-each></xsl:variable>"
      u"<xsl:for-each select=\"msxsl:node-set($sorted)/row\">"
      u"<xsl:value-of select=\"position()\"/>:<xsl:value-of select=\"@dept\"/>=<xsl:value-of "
      u"select=\"@score\"/>;</xsl:for-each>"
      u"|<xsl:value-of select=\"count(msxsl:node-set('text'))\"/>"
      u"|<xsl:value-of select=\"sum(msxsl:node-set($sorted)/row[@dept='内科']/@score)\"/>"
      u"</xsl:template></xsl:stylesheet>";
  EXPECT_EQ(Transform(kScores, xsl), u"1:外科=5;2:内科=4;3:内科=3;|1|7");
}

TEST(XslTransformTest, WhiteSpaceOnlyTextIsDroppedFromTheSource) {
  const std::u16string xsl =
      u"<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
      u"<xsl:output method=\"text\"/><xsl:template match=\"/\">"
      u"<xsl:value-of select=\"count(root/node())\"/></xsl:template></xsl:stylesheet>";
  EXPECT_EQ(Transform(kScores, xsl), u"3");
}

TEST(XslTransformTest, XmlOutputDeclaresUtf16AndHtmlOutputIsMarkup) {
  const std::u16string to_xml =
      u"<?xml version=\"1.0\" encoding=\"gb2312\"?>"
      u"<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
      u"<xsl:output method=\"xml\" encoding=\"gb2312\"/><xsl:template match=\"/\">"
      u"<list><xsl:copy-of select=\"root/item[1]\"/></list></xsl:template></xsl:stylesheet>";
  const std::u16string xml = Transform(kScores, to_xml);
  EXPECT_EQ(xml.rfind(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>", 0), 0u) << std::string(xml.begin(), xml.end());
  EXPECT_NE(xml.find(u"<list><item dept=\"内科\" score=\"3\"/></list>"), std::u16string::npos);

  const std::u16string to_html =
      u"<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
      u"<xsl:output method=\"html\"/><xsl:template match=\"/\">"
      u"<html><body><table><xsl:for-each select=\"root/item\">"
      u"<tr><td><xsl:value-of select=\"@dept\"/></td></tr></xsl:for-each></table>"
      u"</body></html></xsl:template></xsl:stylesheet>";
  const std::u16string html = Transform(kScores, to_html);
  EXPECT_EQ(html.find(u"<?xml"), std::u16string::npos);
  EXPECT_NE(html.find(u"<td>外科</td>"), std::u16string::npos);
}

TEST(XslTransformTest, TextsThatDoNotLoadFail) {
  const std::u16string identity =
      u"<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
      u"<xsl:template match=\"/\">ok</xsl:template></xsl:stylesheet>";
  EXPECT_EQ(Failure(u"<root><unclosed></root>", identity), u"转换XSLT内容错误.");
  EXPECT_EQ(Failure(u"", identity), u"转换XSLT内容错误.");
  EXPECT_EQ(Failure(kScores, u"<xsl:stylesheet"), u"转换XSLT内容错误.");
  EXPECT_EQ(Failure(kScores, u"<root>not a stylesheet</root>"), u"转换XSLT内容错误.");
  EXPECT_EQ(Failure(kScores,
                    u"<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                    u"<xsl:template match=\"/\"><xsl:value-of select=\"undefined-function()\"/>"
                    u"</xsl:template></xsl:stylesheet>"),
            u"转换XSLT内容错误.");
  EXPECT_EQ(Failure(kScores,
                    u"<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                    u"<xsl:template match=\"/\"><xsl:message terminate=\"yes\">stop</xsl:message>"
                    u"</xsl:template></xsl:stylesheet>"),
            u"转换XSLT内容错误.");
  Bstr source(kScores), stylesheet(identity);
  EXPECT_THROW(XslTransform(source.get(), stylesheet.get(), nullptr), CEMRException);
  // A text refused for its entities says so.
  const std::u16string bomb = korvalis::FromUtf8(
      korvalis::xml::testing::EntityBombs("root", "<a>1</a>")[1].text);  // in an attribute
  EXPECT_EQ(Failure(kScores, bomb),
            u"转换XSLT内容错误. its entities expand past the bound of 16 MB");
  EXPECT_EQ(Failure(bomb, identity),
            u"转换XSLT内容错误. its entities expand past the bound of 16 MB");
}

TEST(XslTransformTest, TransformsOnManyThreadsAtOnce) {
  const std::u16string xsl =
      u"<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\""
      u" xmlns:msxsl=\"urn:schemas-microsoft-com:xslt\"><xsl:output method=\"text\"/>"
      u"<xsl:template match=\"/\"><xsl:variable name=\"v\"><n><xsl:value-of select=\"sum(root/item/@score)\"/></n>"
      u"</xsl:variable><xsl:value-of select=\"msxsl:node-set($v)/n\"/></xsl:template></xsl:stylesheet>";
  std::vector<std::thread> threads;
  std::vector<int> wrong(6, 0);
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 50; ++i) {
        Bstr source(kScores), stylesheet(xsl), output;
        if (!XslTransform(source.get(), stylesheet.get(), output.out()) || output.text() != u"12") {
          ++wrong[t];
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(wrong, std::vector<int>(6, 0));
}

TEST(XslTransformTest, StylesheetReadsNoFile) {
  const std::u16string reader =
      u"<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
      u"<xsl:output method=\"text\"/><xsl:template match=\"/\">"
      u"[<xsl:value-of select=\"document('file:///etc/hostname')\"/>]"
      u"</xsl:template></xsl:stylesheet>";
  Bstr source(kScores), stylesheet(reader), output;
  bool transformed = false;
  try {
    transformed = XslTransform(source.get(), stylesheet.get(), output.out());
  } catch (const CEMRException&) {
  }
  EXPECT_TRUE(!transformed || output.text() == u"[]") << "the file must not be read";
}

TEST(XslTransformTest, StylesheetWritesNoFileAndRunawayRecursionFails) {
  const std::filesystem::path target =
      std::filesystem::temp_directory_path() / "korvalis_xslt_must_not_write.txt";
  std::filesystem::remove(target);
  const std::u16string writer =
      u"<xsl:stylesheet version=\"1.1\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
      u"<xsl:template match=\"/\"><xsl:document href=\"" +
      korvalis::FromUtf8(target.string()) +
      u"\">written</xsl:document></xsl:template></xsl:stylesheet>";
  Bstr source(kScores), stylesheet(writer), output;
  try {
    XslTransform(source.get(), stylesheet.get(), output.out());
  } catch (const CEMRException&) {
  }
  EXPECT_FALSE(std::filesystem::exists(target)) << "the file must not be written";

  // A template calling itself without end is stopped by the processor, not by the stack.
  const std::u16string endless =
      u"<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
      u"<xsl:template match=\"/\"><xsl:call-template name=\"r\"/></xsl:template>"
      u"<xsl:template name=\"r\"><a><xsl:call-template name=\"r\"/></a></xsl:template>"
      u"</xsl:stylesheet>";
  EXPECT_EQ(Failure(kScores, endless), u"转换XSLT内容错误.");
}

}  // namespace

namespace {

// A refusal for time names the bound that applied and its seconds.
TEST(XslTransformTest, ATransformationPastItsTimeNamesTheBoundThatApplied) {
  korvalis::datasource::testing::ScratchDatabase database(korvalis::db::Engine::kSqlite);
  CCallScope call(CCallScope::Mode::kReading);
  CCommDataSource source(database.connection_string() + u";Command Timeout=1", u"oracle");
  std::u16string count;
  source.QueryScalar(u"SELECT COUNT(*) FROM PEV_RULE", count);
  const std::u16string storm =  // 2^30 calls of a template that does nothing but call
      u"<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
      u"<xsl:template match=\"/\"><xsl:call-template name=\"s\"><xsl:with-param name=\"n\" "
      u"select=\"30\"/></xsl:call-template></xsl:template><xsl:template name=\"s\">"
      u"<xsl:param name=\"n\"/><xsl:if test=\"$n &gt; 0\"><xsl:call-template name=\"s\">"
      u"<xsl:with-param name=\"n\" select=\"$n - 1\"/></xsl:call-template><xsl:call-template "
      u"name=\"s\"><xsl:with-param name=\"n\" select=\"$n - 1\"/></xsl:call-template></xsl:if>"
      u"</xsl:template></xsl:stylesheet>";
  EXPECT_EQ(Failure(kScores, storm),
            std::u16string(kTransformTimedOutPrefix) + u"Command Timeout 1" +
                kTransformTimedOutSuffix);
}

}  // namespace
