#include "foundation/xml/xml_text.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/text/unicode.h"
#include "platform/xml/dom.h"

namespace {

using korvalis::AppendXmlEscaped;
using korvalis::AppendXmlEscapedWithQuotes;
using korvalis::FromUtf8;
using korvalis::ToUtf8;
using korvalis::XmlEscaped;
using korvalis::XmlEscapedWithQuotes;

// A text with every character that markup gives a meaning to, a carriage return
// that a parser would turn into a line feed, a reference that must stay text,
// and characters beyond ASCII.
const std::u16string kAwkward = u"a<b>&amp;c\"d'e\r\nf \u75c5\u5386 \U0001F600 ]]>";

// The text and the `v` attribute of the root element of `xml`, as the parser
// reads them.
std::pair<std::u16string, std::u16string> ReadBack(const std::u16string& xml) {
  korvalis::xml::Document document;
  EXPECT_TRUE(document.LoadXml(ToUtf8(xml))) << ToUtf8(xml);
  if (!document.HasDocumentElement()) return {};
  std::string attribute;
  document.DocumentElement().GetAttribute("v", attribute);
  return {FromUtf8(document.DocumentElement().Text()), FromUtf8(attribute)};
}

TEST(XmlText, EscapedTextReadsBackAsItselfInElementsAndQuotedAttributes) {
  const std::u16string element = XmlEscaped(kAwkward);
  EXPECT_EQ(element.find(u'\r'), std::u16string::npos);
  EXPECT_EQ(ReadBack(u"<r>" + element + u"</r>").first, kAwkward);

  const std::u16string value = XmlEscapedWithQuotes(kAwkward);
  EXPECT_EQ(ReadBack(u"<r>" + value + u"</r>").first, kAwkward);
  // Attribute values normalise a line feed to a blank, so only the rest of the
  // text can come back there; it does so between either kind of quote.
  const std::u16string one_line = u"x<y>&\"'\rz";
  EXPECT_EQ(ReadBack(u"<r v=\"" + XmlEscapedWithQuotes(one_line) + u"\"/>").second, one_line);
  EXPECT_EQ(ReadBack(u"<r v='" + XmlEscapedWithQuotes(one_line) + u"'/>").second, one_line);
  // The attribute form keeps every character, tab and line feed included.
  const std::u16string awkward_value = kAwkward + u"\t";
  std::u16string attribute;
  korvalis::AppendXmlAttributeValue(attribute, awkward_value);
  EXPECT_EQ(ReadBack(u"<r v=\"" + attribute + u"\"/>").second, awkward_value);
  EXPECT_EQ(ReadBack(u"<r v='" + attribute + u"'/>").second, awkward_value);
}

TEST(XmlText, OnlyMarkupCharactersChange) {
  EXPECT_EQ(XmlEscaped(u""), u"");
  EXPECT_EQ(XmlEscaped(u"plain \u75c5\u5386"), u"plain \u75c5\u5386");
  EXPECT_EQ(XmlEscaped(u"\"'"), u"\"'");
  EXPECT_EQ(XmlEscapedWithQuotes(u"\"'"), u"&quot;&apos;");
  EXPECT_EQ(XmlEscaped(u"&&"), u"&amp;&amp;");

  std::u16string appended = u"<r>";
  AppendXmlEscaped(appended, u"1<2");
  EXPECT_EQ(appended, u"<r>1&lt;2");
  AppendXmlEscapedWithQuotes(appended, u" a='b'");
  EXPECT_EQ(appended, u"<r>1&lt;2 a=&apos;b&apos;");

  std::u16string elements;
  korvalis::AppendXmlTextElement(elements, u"code", u"");
  korvalis::AppendXmlTextElement(elements, u"value", u"a<b&c\r");
  EXPECT_EQ(elements, u"<code/><value>a&lt;b&amp;c&#13;</value>");
}

TEST(XmlText, CarriableTextReplacesOnlyWhatXmlCannotCarry) {
  EXPECT_EQ(korvalis::XmlCarriable(u"a\tb\nc\rd \u75c5"), u"a\tb\nc\rd \u75c5");
  EXPECT_EQ(korvalis::XmlCarriable(std::u16string(u"\x01x\0y\x1F\uFFFE\uFFFF", 7)),
            u"\uFFFDx\uFFFDy\uFFFD\uFFFD\uFFFD");
}

TEST(XmlText, NarrowTextLeavesMultiByteSequencesWhole) {
  const std::string utf8 = ToUtf8(kAwkward);
  const std::string escaped = XmlEscaped(utf8);
  EXPECT_EQ(FromUtf8(escaped), XmlEscaped(kAwkward));
  // Bytes that are not UTF-8 pass through untouched as well.
  EXPECT_EQ(XmlEscaped(std::string_view("\xFF<\x80", 3)), "\xFF&lt;\x80");

  std::string appended = "<r>";
  AppendXmlEscaped(appended, "a&b");
  EXPECT_EQ(appended, "<r>a&amp;b");
}

}  // namespace
