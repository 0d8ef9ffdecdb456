// Template readers: properties, the five contents with their compressions, template 0, the empty
// document and the process's default style sheet.
#include "emrdoc/emr_template.h"

#include <gtest/gtest.h>

#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "emrdoc/testing/template_fixture.h"
#include "foundation/testing/data_source_test_util.h"
#include "foundation/testing/test_data_source.h"
#include "foundation/xml/xhtml_document.h"
#include "foundation/xml/xml_property.h"

namespace korvalis::emrdoc::testing {
namespace {

using korvalis::testing::FailureOf;

constexpr char16_t kCss[] = u"BODY { FONT-SIZE: 10.5pt }";

// The texts of a page's style sheets, in document order.
std::vector<std::u16string> StyleSheets(const std::u16string& page) {
  html::Document document;
  document.Load(page);
  std::vector<std::u16string> sheets;
  for (const html::Element* sheet : document.StyleSheets()) {
    sheets.push_back(sheet->id() + u":" + html::Document::StyleSheetText(*sheet));
  }
  return sheets;
}

class TemplateReaderTest : public TemplateTest {
 protected:
  TemplateReaderTest() { SetParameter("system_default_css", ToUtf8(kCss)); }

  std::u16string Properties(LONG id) {
    com::ScopedBstr properties;
    GetTemplateProperty(&data_source_, id, properties.out());
    return properties.text();
  }
  std::u16string Content(LONG id, LONG index) {
    com::ScopedBstr content;
    GetTemplateContent(&data_source_, id, index, content.out());
    return content.text();
  }
  std::u16string Html(LONG id) {
    com::ScopedBstr content;
    GetTemplateHtml(&data_source_, id, content.out());
    return content.text();
  }
};

TEST_F(TemplateReaderTest, TemplateZeroHasNoPropertiesTheEmptyDocumentAndNoOtherContent) {
  EXPECT_TRUE(CXmlProperty(Properties(0)).GetMap().empty());
  EXPECT_EQ(TemplateEmrType(data_source_, 0), u"");
  const std::u16string page = Html(0);
  EXPECT_EQ(StyleSheets(page),
            std::vector<std::u16string>{u"system_default_css:" + std::u16string(kCss)});
  com::ScopedBstr empty;
  BuildEmptyTemplateHtml(&data_source_, empty.out());
  EXPECT_EQ(page, empty.text());
  // Template 0 is answered before its index is looked at.
  for (LONG index : {2, 3, 4, 5, 9}) EXPECT_EQ(Content(0, index), u"") << index;
  com::ScopedBstr frame, xsl;
  GetTemplateXmlFrame(&data_source_, 0, frame.out());
  GetTemplateXsl(&data_source_, 0, xsl.out());
  EXPECT_EQ(frame.text() + xsl.text(), u"");
}

TEST_F(TemplateReaderTest, PropertiesAreTheTwentyFiveColumnsUnderTheirKeys) {
  AddTemplate({.id = 7, .emr_type = 30, .superior_sign_flag = 1, .print_flag = 0});
  Run("UPDATE TELV_EMR_TEMPLATE SET NAME = '长期医嘱单', CREATOR = '李<医生>', SEX = '2', "
      "CREATE_DATE = TO_DATE('2026-01-02 03:04:05', 'YYYY-MM-DD HH24:MI:SS'), "
      "PAGE_SETUP = 'A4&横向', STD_PARSE_FLAG = 1 WHERE ID = 7");
  const CXmlProperty::Map properties = CXmlProperty(Properties(7)).GetMap();
  EXPECT_EQ(properties.size(), 25u);
  const std::pair<const char16_t*, const char16_t*> kExpected[] = {
      {u"name", u"长期医嘱单"}, {u"author", u"李<医生>"},
      {u"sex", u"2"},           {u"createdate", u"2026-01-02 03:04:05"},
      {u"emrtype", u"30"},      {u"superiorsignflag", u"1"},
      {u"printflag", u"0"},     {u"pagesetup", u"A4&横向"},
      {u"stdparseflag", u"1"},  {u"innerparseflag", u""},
      {u"authorid", u""},       {u"catalogid", u""}};
  for (const auto& [key, value] : kExpected) {
    ASSERT_EQ(properties.count(key), 1u) << ToUtf8(key);
    EXPECT_EQ(properties.at(key), value) << ToUtf8(key);
  }
  EXPECT_EQ(TemplateEmrType(data_source_, 7), u"30");
}

TEST_F(TemplateReaderTest, AMissingTemplateIndexOrCompressionFailsWithItsMessage) {
  com::ScopedBstr properties;
  EXPECT_EQ(FailureOf([&] { GetTemplateProperty(&data_source_, 99, properties.out()); }),
            u"获取模板属性出错:99");
  EXPECT_EQ(properties.text(), u"");
  EXPECT_EQ(FailureOf([&] { Content(99, 1); }), u"获取模版内容压缩参数错误:ID=99");

  AddTemplate({.id = 3});
  for (LONG index : {0, 6, -1}) {
    EXPECT_EQ(FailureOf([&] { Content(3, index); }), kTemplateContentIndexMessage) << index;
  }
  // A template whose content was never written has no compression type.
  EXPECT_EQ(FailureOf([&] { Content(3, 4); }), u"获取模版内容压缩参数错误:ID=3");
  EXPECT_EQ(FailureOf([&] { Html(3); }), u"获取模版内容压缩参数错误:ID=3");
  // A type number that is no codec's: the data source reports the read as failed.
  SetTemplateContent(3, 4, u"样式");
  Run("UPDATE TELV_EMR_TEMPLATE SET COMPRESSION4 = '7' WHERE ID = 3");
  EXPECT_EQ(FailureOf([&] { Content(3, 4); }), kDatabaseErrorMessage);
}

TEST_F(TemplateReaderTest, EveryContentReadsBackThroughItsCompression) {
  AddTemplate({.id = 4});
  const std::u16string xsl =
      u"<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\"/>";
  SetTemplateContent(4, 1, u"<HTML><BODY>首页</BODY></HTML>");
  SetTemplateContent(4, 2, u"<root><name xid=\"n\"/></root>");
  SetTemplateContent(4, 3, u"内容三" + std::u16string(1, u'\0'));  // stored with its terminator
  SetTemplateContent(4, 4, xsl, 1);
  SetTemplateContent(4, 5, u"");
  EXPECT_EQ(Html(4), u"<HTML><BODY>首页</BODY></HTML>");
  EXPECT_EQ(Content(4, 3), u"内容三");
  EXPECT_EQ(Content(4, 5), u"");
  com::ScopedBstr frame, stored_xsl;
  GetTemplateXmlFrame(&data_source_, 4, frame.out());
  GetTemplateXsl(&data_source_, 4, stored_xsl.out());
  EXPECT_EQ(frame.text(), u"<root><name xid=\"n\"/></root>");
  EXPECT_EQ(stored_xsl.text(), xsl);
  EXPECT_EQ(Scalar(u"SELECT COMPRESSION4 FROM TELV_EMR_TEMPLATE WHERE ID = 4"), u"1");
}

TEST_F(TemplateReaderTest, AnEmptyFirstContentGivesTheEmptyDocument) {
  AddTemplate({.id = 5});
  SetTemplateContent(5, 1, u"");
  EXPECT_EQ(Html(5), Html(0));
}

TEST_F(TemplateReaderTest, TheDefaultSheetIsReplacedNeverDuplicated) {
  XHTMLDocument document;
  ASSERT_EQ(document.Load(std::u16string(
                u"<HTML><HEAD><STYLE id=system_default_css>P { }</STYLE><STYLE>TD { }</STYLE>"
                u"<STYLE id=system_default_css>OLD { }</STYLE></HEAD><BODY></BODY></HTML>")),
            S_OK);
  ApplyDefaultCss(&data_source_, document);
  ApplyDefaultCss(&data_source_, document);
  std::u16string page;
  ASSERT_EQ(document.GetHtml(page), S_OK);
  EXPECT_EQ(StyleSheets(page), (std::vector<std::u16string>{
                                   u"system_default_css:" + std::u16string(kCss), u":TD { }"}));
}

TEST_F(TemplateReaderTest, TheDefaultSheetIsKeptOnceReadAndReadAgainWhileEmpty) {
  SetParameter("system_default_css", std::nullopt);
  EXPECT_EQ(GetDefaultCss(&data_source_), u"");
  SetParameter("system_default_css", "A { }");
  EXPECT_EQ(GetDefaultCss(&data_source_), u"A { }");
  SetParameter("system_default_css", "B { }");
  EXPECT_EQ(GetDefaultCss(&data_source_), u"A { }");
}

// Eight calls on their own threads and connections read the sheet first at once: each gets it,
// and the process keeps it.
TEST(DefaultStyleSheet, ConcurrentFirstReadsAllGetTheSheet) {
  datasource::testing::ScratchDatabase database;
  database.Run("DELETE FROM TELV_SYS_PARAM WHERE NAME = 'system_default_css'");
  database.Run("INSERT INTO TELV_SYS_PARAM (NAME, VALUE) VALUES ('system_default_css', 'P { }')");
  DefaultStyleSheet().Clear();
  constexpr int kThreads = 8;
  std::vector<std::u16string> sheets(kThreads);
  std::latch start(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      korvalis::testing::TestDataSource data_source(database.init_string());
      start.arrive_and_wait();
      sheets[i] = GetDefaultCss(&data_source);
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(sheets, std::vector<std::u16string>(kThreads, u"P { }"));
  korvalis::testing::TestDataSource unreachable(korvalis::testing::kUnreachableDatabase);
  EXPECT_EQ(GetDefaultCss(&unreachable), u"P { }");
  DefaultStyleSheet().Clear();
}

}  // namespace
}  // namespace korvalis::emrdoc::testing
