#include "foundation/xml/xml_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include <xercesc/dom/DOM.hpp>

#include "foundation/testing/data_source_test_util.h"
#include "platform/text/unicode.h"
#include "platform/xml/entity_bound.h"
#include "platform/xml/testing/entity_bombs.h"

namespace {

using korvalis::datasource::testing::EventLogCapture;
using xercesc::DOMDocument;
using xercesc::DOMElement;

std::u16string RootName(DOMDocument* document) {
  return document->getDocumentElement()->getNodeName();
}

TEST(XmlLibraryTest, StartsOnceFromManyThreads) {
  std::vector<xercesc::DOMImplementation*> seen(8);
  std::vector<std::thread> threads;
  for (auto& slot : seen) {
    threads.emplace_back([&slot] { slot = GetDomImplementation(); });
  }
  for (auto& thread : threads) thread.join();
  ASSERT_NE(seen[0], nullptr);
  for (auto* implementation : seen) EXPECT_EQ(implementation, seen[0]);
}

TEST(CXmlStringParserTest, ParsesWideTextWhateverItsDeclarationSays) {
  const std::u16string declared_utf8 =
      u"<?xml version=\"1.0\" encoding=\"UTF-8\"?><root><name>张三</name></root>";
  CXmlStringParser parser(declared_utf8);
  DOMDocument* document = parser.GetDocument();
  ASSERT_NE(document, nullptr);
  EXPECT_EQ(std::u16string(document->getDocumentElement()->getTextContent()), u"张三");
  EXPECT_EQ(parser.GetDocument(), document) << "parses at most once";

  const std::u16string declared_utf16 =
      u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><root a=\"1\"/>";
  CXmlStringParser wide(declared_utf16);
  ASSERT_NE(wide.GetDocument(), nullptr);
  EXPECT_EQ(RootName(wide.GetDocument()), u"root");
}

TEST(CXmlStringParserTest, ParsesBstrAndNarrowText) {
  BSTR text = korvalis::AllocBstr(u"<list><item/></list>");
  {
    CXmlStringParser parser(text);
    ASSERT_NE(parser.GetDocument(), nullptr);
    EXPECT_EQ(RootName(parser.GetDocument()), u"list");
  }
  SysFreeString(text);

  const std::string narrow = korvalis::ToUtf8(u"<?xml version=\"1.0\" encoding=\"utf-8\"?><r>内科</r>");
  CXmlStringParser parser(narrow);
  ASSERT_NE(parser.GetDocument(), nullptr);
  EXPECT_EQ(std::u16string(parser.GetDocument()->getDocumentElement()->getTextContent()), u"内科");
}

TEST(CXmlStringParserTest, KeepsPrefixedNamesAsWritten) {
  const std::u16string text = u"<root><hl7:code>1</hl7:code></root>";
  CXmlStringParser parser(text);
  ASSERT_NE(parser.GetDocument(), nullptr);
  auto* child = parser.GetDocument()->getDocumentElement()->getFirstChild();
  EXPECT_EQ(std::u16string(child->getNodeName()), u"hl7:code");
}

TEST(CXmlStringParserTest, BlankTextGivesDocumentWithoutElement) {
  for (const std::u16string& text : {std::u16string(), std::u16string(u"  \r\n\t ")}) {
    CXmlStringParser parser(text);
    DOMDocument* document = parser.GetDocument();
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document->getDocumentElement(), nullptr);
  }
  CXmlStringParser null_bstr(static_cast<BSTR>(nullptr));
  ASSERT_NE(null_bstr.GetDocument(), nullptr);
  EXPECT_EQ(null_bstr.GetDocument()->getDocumentElement(), nullptr);
}

TEST(CXmlStringParserTest, MalformedTextGivesNoDocument) {
  for (const std::u16string& text :
       {std::u16string(u"<root><a>1</a>"), std::u16string(u"garbage"),
        std::u16string(u"<root><a>1</b></root>"), std::u16string(u"<root>\x01</root>"),
        std::u16string(u"<root/><second/>")}) {
    CXmlStringParser parser(text);
    EXPECT_EQ(parser.GetDocument(), nullptr) << korvalis::ToUtf8(text);
  }
}

TEST(CXmlStringParserTest, FetchesNoExternalEntityAndBoundsExpansion) {
  const std::u16string external =
      u"<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY x SYSTEM \"file:///etc/hostname\">]>"
      u"<r>&x;</r>";
  CXmlStringParser parser(external);
  DOMDocument* document = parser.GetDocument();
  const bool read_the_file = document != nullptr && document->getDocumentElement() != nullptr &&
                             !std::u16string(document->getDocumentElement()->getTextContent()).empty();
  EXPECT_FALSE(read_the_file);

  std::u16string laughs = u"<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY a \"aaaaaaaaaa\">";
  const char16_t* previous = u"a";
  const std::u16string names[] = {u"b", u"c", u"d", u"e", u"f", u"g", u"h", u"i"};
  for (const auto& name : names) {
    laughs += u"<!ENTITY " + name + u" \"";
    for (int i = 0; i < 10; ++i) laughs += u"&" + std::u16string(previous) + u";";
    laughs += u"\">";
    previous = name.c_str();
  }
  laughs += u"]><r>&i;</r>";
  CXmlStringParser bomb(laughs);
  EXPECT_EQ(bomb.GetDocument(), nullptr);
}

// Content, attribute values and defaults alike: past the bound nothing is built; below it, pages
// of many small references parse.
TEST(CXmlStringParserTest, EntitiesAreHeldToTheBytesTheyExpandTo) {
  const std::u16string large = u"<!ENTITY q \"" + std::u16string(100'000, u'x') + u"\">";
  std::u16string references;
  for (int i = 0; i < 2'000; ++i) references += u"&q;";
  const EventLogCapture events;
  for (const std::u16string& bomb :
       {u"<!DOCTYPE r [" + large + u"]><r>" + references + u"</r>",
        u"<!DOCTYPE r [" + large + u"]><r a=\"" + references + u"\"/>",
        u"<!DOCTYPE r [" + large + u"<!ATTLIST r a CDATA \"" + references + u"\">]><r/>"}) {
    CXmlStringParser parser(bomb);
    EXPECT_EQ(parser.GetDocument(), nullptr);
  }
  const std::vector<korvalis::sys::EventRecord> records = events.Records();
  ASSERT_EQ(records.size(), 3u);
  for (const auto& record : records) {
    EXPECT_EQ(record.text, u"解析XML文档错误: its entities expand past the bound of 16 MB");
  }
  std::u16string cells = u"<!DOCTYPE r [<!ENTITY nbsp \"&#160;\">]><r>";
  for (int i = 0; i < 130'000; ++i) cells += u"<td>&nbsp;</td>";
  cells += u"</r>";
  CXmlStringParser page(cells);
  ASSERT_NE(page.GetDocument(), nullptr);
  EXPECT_EQ(std::u16string(page.GetDocument()->getDocumentElement()->getTextContent()),
            std::u16string(130'000, u'\u00A0'));
}

// Every expansion costs work, in content, attribute values and defaults alike: bombs of empty
// entities are refused as those of text are, and the parser tells its caller why.
TEST(CXmlStringParserTest, BombsInEveryPlaceAreRefusedAndNamed) {
  for (const auto& bomb : korvalis::xml::testing::EntityBombs("r", "<a>1</a>")) {
    const std::u16string text = korvalis::FromUtf8(bomb.text);
    CXmlStringParser parser(text);
    EXPECT_EQ(parser.GetDocument(), nullptr) << bomb.shape;
    EXPECT_EQ(parser.EntityRefusal(), korvalis::xml::kExpansionRefused) << bomb.shape;
  }
  // A chain of entities may be 16 deep, in an attribute's value or default as in content.
  for (const std::string place : {"<r a='&c1;'/>", "<r>&c1;</r>"}) {
    for (int depth : {16, 17}) {
      const std::u16string text = korvalis::FromUtf8(
          "<!DOCTYPE r [" + korvalis::xml::testing::EntityChain(depth) + "]>" + place);
      CXmlStringParser parser(text);
      EXPECT_EQ(parser.GetDocument() == nullptr, depth == 17) << place << depth;
      EXPECT_EQ(parser.EntityRefusal(), depth == 17 ? korvalis::xml::kNestingRefused : "");
    }
  }
  const std::u16string ampersand = u"<r>&amp;</r>";
  CXmlStringParser plain(ampersand);
  ASSERT_NE(plain.GetDocument(), nullptr);
  EXPECT_EQ(plain.EntityRefusal(), "");
}

TEST(CXmlStringParserTest, RefusesNestingBeyondTheLimit) {
  auto nested = [](std::size_t depth) {
    std::u16string text;
    for (std::size_t i = 0; i < depth; ++i) text += u"<a>";
    text += u"text";
    for (std::size_t i = 0; i < depth; ++i) text += u"</a>";
    return text;
  };
  const std::u16string within = nested(kMaxXmlDepth);
  CXmlStringParser fits(within);
  EXPECT_NE(fits.GetDocument(), nullptr);
  const std::u16string beyond = nested(kMaxXmlDepth + 1);
  CXmlStringParser too_deep(beyond);
  EXPECT_EQ(too_deep.GetDocument(), nullptr);
  const std::u16string far_beyond = nested(200000);
  CXmlStringParser huge(far_beyond);
  EXPECT_EQ(huge.GetDocument(), nullptr);
}

TEST(XmlEscapeTest, ReplacesOnlyTheThreePairsInOrder) {
  std::u16string text = u"<a href=\"x\">&amp;'#</a>";
  EscapeXmlText(text);
  EXPECT_EQ(text, u"#lt;a href=#quot;x#quot;#gt;&amp;'##lt;/a#gt;");
  UnescapeXmlText(text);
  EXPECT_EQ(text, u"<a href=\"x\">&amp;'#</a>");

  std::u16string literal = u"#lt;#gt;#quot;#amp;";
  UnescapeXmlText(literal);
  EXPECT_EQ(literal, u"<>\"#amp;");
}

TEST(GetInnerXmlTest, SerialisesElementChildrenOrGivesText) {
  const std::u16string text =
      u"<root><empty/><text>a &amp; b</text>"
      u"<mixed>lead<x id=\"1\">t</x>mid<!--c--><y/>tail</mixed></root>";
  CXmlStringParser parser(text);
  ASSERT_NE(parser.GetDocument(), nullptr);
  auto* root = parser.GetDocument()->getDocumentElement();
  auto child = [root](const char16_t* name) {
    return root->getElementsByTagName(name)->item(0);
  };
  EXPECT_EQ(GetInnerXml(child(u"empty")), u"");
  EXPECT_EQ(GetInnerXml(child(u"text")), u"a & b");
  EXPECT_EQ(GetInnerXml(child(u"mixed")), u"<x id=\"1\">t</x><y/>");
  EXPECT_EQ(GetInnerXml(nullptr), u"");
}

}  // namespace
