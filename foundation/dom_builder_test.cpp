#include "foundation/dom_builder.h"

#include <gtest/gtest.h>

#include <xercesc/dom/DOMElement.hpp>

#include "foundation/emr_exception.h"
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

}  // namespace
