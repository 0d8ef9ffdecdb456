#include "foundation/xml/dom_builder.h"

#include <gtest/gtest.h>

#include <xercesc/dom/DOMElement.hpp>

#include "foundation/calls/emr_exception.h"
#include "foundation/testing/emr_exception_test_util.h"

namespace {

using korvalis::DomDocumentBuilder;
using korvalis::testing::FailureOf;

TEST(DomDocumentBuilderTest, WritesTheDeclarationAndEscapesTextsAndAttributes) {
  DomDocumentBuilder document(u"root");
  xercesc::DOMElement* in = document.Append(document.root(), u"in");
  DomDocumentBuilder::SetAttribute(document.Append(in, u"dept", u"内科 & <外科>"), u"id",
                                   u"\"01\" & <02>");
  document.Append(in, u"room");
  EXPECT_EQ(document.Write(),
            u"<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\" ?>"
            u"<root><in><dept id=\"&quot;01&quot; &amp; &lt;02>\">内科 &amp; &lt;外科&gt;</dept>"
            u"<room/></in></root>");
}

TEST(DomDocumentBuilderTest, ATextXmlCannotCarryFailsTheWriteWithAMessage) {
  DomDocumentBuilder document(u"root");
  xercesc::DOMElement* name = document.Append(document.root(), u"name", u"a\x01b");
  EXPECT_EQ(FailureOf([&] { document.Write(); }), korvalis::kUnwritableXmlMessage);
  DomDocumentBuilder::SetText(name, u"ab");
  DomDocumentBuilder::SetAttribute(name, u"id", u"\x02");
  EXPECT_EQ(FailureOf([&] { document.Write(); }), korvalis::kUnwritableXmlMessage);
}

TEST(DomDocumentBuilderTest, TextsWrittenByConcatenationAreWrittenAsTheDocumentWritesThem) {
  for (const char16_t* value :
       {u"", u"内科 & <外科> \"x\" 'y'", u"a\tb\nc\rd", u"]]>", u"\U0001F600 \u00A0\uFFFD"}) {
    DomDocumentBuilder document(u"root");
    DomDocumentBuilder::SetAttribute(document.Append(document.root(), u"e", value), u"a", value);
    std::u16string written = std::u16string(korvalis::kDomDeclaration) + u"<root><e a=\"";
    korvalis::AppendDomAttributeValue(written, value);
    written += u"\"";
    if (*value == u'\0') {
      written += u"/>";
    } else {
      written += u">";
      korvalis::AppendDomText(written, value);
      written += u"</e>";
    }
    EXPECT_EQ(written + u"</root>", document.Write());
  }
  for (const char16_t* unwritable : {u"a\x01b", u"\uFFFE", u"\xD800x", u"x\xDC00"}) {
    std::u16string out;
    EXPECT_EQ(FailureOf([&] { korvalis::AppendDomText(out, unwritable); }),
              korvalis::kUnwritableXmlMessage);
    EXPECT_EQ(FailureOf([&] { korvalis::AppendDomAttributeValue(out, unwritable); }),
              korvalis::kUnwritableXmlMessage);
  }
}

}  // namespace
