#include "foundation/xml/xml_document.h"

#include <gtest/gtest.h>

#include "foundation/calls/emr_exception.h"
#include "foundation/testing/emr_exception_test_util.h"
#include "platform/text/unicode.h"
#include "platform/xml/testing/attribute_floods.h"
#include "platform/xml/testing/entity_bombs.h"

namespace {

using korvalis::testing::FailureOf;

TEST(CXmlDocumentTest, EmptyTextLoadsTheDefaultDocument) {
  CXmlDocument document;
  ASSERT_TRUE(document.HasRoot());
  CXmlNode root = document.GetRootNode();
  EXPECT_EQ(root.GetName(), u"root");
  EXPECT_EQ(root.GetChildCount(u""), 0);
  CXmlDocument from_empty(u"", false, true);
  EXPECT_EQ(from_empty.GetDocumentElement().GetXml(), u"<root/>");
  root.AppendChild(u"item", u"").SetAttribute(u"a", u"<'&\"");
  EXPECT_EQ(document.GetXml(),
            u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><root><item a=\"&lt;'&amp;&quot;\"/></root>");
}

TEST(CXmlDocumentTest, LineBreaksAreRemovedEverywhere) {
  CXmlDocument document(u"<root a=\"1\r\n2\">\r\n  <b>line\none</b>\n</root>", false, false);
  CXmlNode root = document.GetRootNode();
  EXPECT_EQ(root.GetAttribute(u"a"), u"12");
  EXPECT_EQ(root.GetChild(u"b").GetText(), u"lineone");
  EXPECT_EQ(root.GetChildCount(u""), 1) << "white-space-only text is dropped";
}

TEST(CXmlDocumentTest, UnparsableTextLeavesNoDocumentElement) {
  CXmlDocument document(u"<root><a></root>", false, false);
  EXPECT_FALSE(document.HasRoot());
  EXPECT_EQ(FailureOf([&] { document.GetRootNode(); }), u"无效XML!");
  EXPECT_EQ(FailureOf([&] { document.GetXml(); }), u"无效XML!");
  EXPECT_FALSE(document.Load(u"not xml", false));
  EXPECT_TRUE(document.Load(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><other/>", false));
  EXPECT_EQ(document.GetRootNode(u"ignored").GetName(), u"other");
}

// A document refused for its entities, wherever they stand, tells its caller why.
TEST(CXmlDocumentTest, EntityBombsAreRefusedAndNamed) {
  for (const auto& bomb : korvalis::xml::testing::EntityBombs("root", "<a>1</a>")) {
    CXmlDocument document(korvalis::FromUtf8(bomb.text), false, false);
    EXPECT_EQ(FailureOf([&] { document.GetRootNode(); }),
              u"无效XML! its entities expand past the bound of 16 MB")
        << bomb.shape;
  }
}

// A start tag of more attributes than libxml2 reads in time, however it takes them, is refused
// before it is parsed and named; one of as many as the bound admits loads.
TEST(CXmlDocumentTest, AttributesPastTheParsersBoundAreRefusedAndNamed) {
  for (const auto& flood : korvalis::xml::testing::AttributeFloods("root", "<a>1</a>")) {
    CXmlDocument document(korvalis::FromUtf8(flood.text), false, false);
    EXPECT_EQ(FailureOf([&] { document.GetRootNode(); }),
              u"无效XML! its elements hold more attributes than the parser reads in time")
        << flood.shape;
  }
  CXmlDocument most(korvalis::FromUtf8(korvalis::xml::testing::MostAttributes("root", "<a>1</a>")),
                    false, false);
  EXPECT_EQ(most.GetRootNode().GetChild(u"x").GetAttribute(u"a16383"), u"1");
}

TEST(CXmlDocumentTest, BstrConstructorTakesTheString) {
  CXmlDocument document(korvalis::AllocBstr(u"<r><x>1</x></r>"), false, false);
  EXPECT_EQ(document.GetRootNode().GetChild(u"x").GetText(), u"1");
  CXmlDocument null_text(static_cast<BSTR>(nullptr), false, false);
  EXPECT_EQ(null_text.GetRootNode().GetName(), u"root");
}

TEST(CXmlNodeTest, GetChildFindsOrCreatesUnlessReadOnly) {
  CXmlDocument writable(u"<root><a>1</a><a>2</a></root>", false, false);
  CXmlNode root = writable.GetRootNode();
  EXPECT_EQ(root.GetChild(u"a").GetText(), u"1");
  CXmlNode created = root.GetChild(u"missing");
  EXPECT_EQ(created.GetText(), u"");
  EXPECT_EQ(root.GetXml(), u"<root><a>1</a><a>2</a><missing/></root>");
  EXPECT_EQ(root.GetChild(u"missing").GetXml(), u"<missing/>") << "found, not added again";

  CXmlDocument read_only(u"<root><a>1</a></root>", false, true);
  CXmlNode absent = read_only.GetRootNode().GetChild(u"missing");
  EXPECT_TRUE(absent.IsEmpty());
  EXPECT_EQ(FailureOf([&] { absent.GetText(); }), u"无效XML节点!");
  EXPECT_EQ(FailureOf([&] { absent.SetAttribute(u"x", u"1"); }), u"无效XML节点!");
  EXPECT_EQ(absent.GetXml(), u"") << "not guarded";
  EXPECT_EQ(read_only.GetRootNode().GetXml(), u"<root><a>1</a></root>");
}

TEST(CXmlNodeTest, GetChildKeepsPrefixedNamesAndFollowsPaths) {
  CXmlDocument document(u"<root><hl7:id>5</hl7:id><p><q>deep</q></p></root>", false, false);
  CXmlNode root = document.GetRootNode();
  EXPECT_EQ(root.GetChild(u"hl7:id").GetText(), u"5");
  EXPECT_EQ(root.GetChild(u"hl7:id").GetName(), u"hl7:id");
  EXPECT_EQ(root.GetChild(u"p/q").GetText(), u"deep");
  EXPECT_EQ(root.GetChildCount(u"hl7:id"), 1) << "not appended again";
}

TEST(CXmlNodeTest, ReadOnlyDocumentKeepsTextAndAttributes) {
  CXmlDocument document(u"<root a=\"1\">text</root>", false, true);
  CXmlNode root = document.GetRootNode();
  root.SetText(u"changed");
  root.PutText(u"changed");
  root.SetAttribute(u"a", u"2");
  EXPECT_EQ(root.GetText(), u"text");
  EXPECT_EQ(root.GetAttribute(u"a"), u"1");
  root.AppendChild(u"added", u"x");
  EXPECT_EQ(root.GetXml(), u"<root a=\"1\">text<added>x</added></root>") << "AppendChild appends";
  document.Load(u"<root/>", false);
  root.SetText(u"now writable");
  EXPECT_EQ(root.GetText(), u"now writable") << "the rule follows the document's last load";
}

TEST(CXmlNodeTest, ChildCountDepthRules) {
  CXmlDocument document(
      u"<root>t<item/><group><item/><item><item/></item></group><!--c--></root>", false, false);
  CXmlNode root = document.GetRootNode();
  EXPECT_EQ(root.GetChildCount(u"item"), 4) << "descendants at any depth";
  EXPECT_EQ(root.GetChildCount(u""), 4) << "child nodes of every type";
  EXPECT_EQ(root.GetChildCount(u"*"), 5);
  CXmlNode text = root.GetChildAt(0);
  EXPECT_EQ(text.GetName(), u"#text");
  EXPECT_EQ(text.GetChildCount(u"item"), 0);
  EXPECT_EQ(root.GetChildAt(3).GetName(), u"#comment");
  EXPECT_TRUE(root.GetChildAt(4).IsEmpty());
  EXPECT_TRUE(root.GetChildAt(-1).IsEmpty());
  EXPECT_TRUE(text.GetChildAt(0).IsEmpty());
  EXPECT_EQ(root.GetElementsByTagName(u"item").size(), 4u);
  EXPECT_TRUE(text.GetElementsByTagName(u"*").empty());
}

TEST(CXmlNodeTest, AttributesAndTexts) {
  CXmlDocument document;
  CXmlNode root = document.GetRootNode();
  CXmlNode child = root.AppendChild(u"name", u"张 & <三>");
  child.SetAttribute(u"id", u"a\"b<c&d");
  child.SetAttribute(u"", u"ignored");
  child.SetAttribute(u"id", u"second");
  EXPECT_EQ(child.GetAttribute(u"id"), u"second");
  EXPECT_EQ(child.GetAttribute(u"missing"), u"");
  EXPECT_EQ(child.GetXml(), u"<name id=\"second\">张 &amp; &lt;三&gt;</name>");
  child.SetAttribute(u"q", u"a\"<&");
  EXPECT_EQ(child.GetAttributes().back(),
            (std::pair<std::u16string, std::u16string>(u"q", u"a\"<&")));
  EXPECT_TRUE(root.AppendChild(u"1bad", u"x").IsEmpty());
  EXPECT_TRUE(root.AppendChild(u"", u"x").IsEmpty());
  root.SetText(nullptr);
  EXPECT_EQ(root.GetXml(), u"<root/>");
  EXPECT_EQ(child.GetName(), u"name") << "a handle outlives its removal from the tree";
}

TEST(CXmlNodeTest, InnerXmlCutsOuterTags) {
  CXmlDocument document(u"<root><a x=\"1\">lead<b>t</b></a><e/></root>", false, false);
  CXmlNode root = document.GetRootNode();
  EXPECT_EQ(root.GetChild(u"a").GetInnerXml(), u"lead<b>t</b>");
  EXPECT_EQ(root.GetChild(u"e").GetInnerXml(), u"");
  CXmlNode text = root.GetChild(u"a").GetChildAt(0);
  text.SetText(u"x<y");
  EXPECT_EQ(text.GetInnerXml(), u"x&lt;y");
}

TEST(CXmlNodeTest, AppendXmlCopiesElementsExactly) {
  CXmlDocument document;
  CXmlNode root = document.GetRootNode();
  CXmlNode item = root.AppendChild(u"item", u"");
  item.SetAttribute(u"standard_id", u"7");
  EXPECT_TRUE(item.AppendXml(u"<p a=\"1\">one</p><p a=\"2\" b=\"3\">two</p>"));
  EXPECT_EQ(item.GetXml(),
            u"<item standard_id=\"7\"><p a=\"1\">one</p><p a=\"2\" b=\"3\">two</p></item>");

  CXmlNode nested = root.AppendChild(u"nested", u"");
  nested.AppendXml(u"<a>x<b>y</b>z<c k=\"v\"><d/></c></a>lead<e/>tail");
  EXPECT_EQ(nested.GetInnerXml(), u"<a>x<b>y</b>z<c k=\"v\"><d/></c></a>lead<e/>tail");
}

TEST(CXmlNodeTest, AppendXmlOfTextEmptyAndMalformed) {
  CXmlDocument document(u"<root><old/></root>", false, false);
  CXmlNode root = document.GetRootNode();
  EXPECT_TRUE(root.AppendXml(u""));
  EXPECT_EQ(root.GetXml(), u"<root><old/></root>");
  EXPECT_TRUE(root.AppendXml(u"plain &amp; text"));
  EXPECT_EQ(root.GetXml(), u"<root>plain &amp; text</root>") << "the text replaces the children";
  EXPECT_EQ(FailureOf([&] { root.AppendXml(u"<unclosed>"); }), u"无效XML!");
  EXPECT_EQ(root.GetText(), u"plain & text");

  EXPECT_TRUE(root.AppendXml(u"<!--note--><![CDATA[a<b]]>"));
  EXPECT_EQ(root.GetXml(), u"<root>plain &amp; text<!--note--><![CDATA[a<b]]></root>")
      << "markup other than elements is copied too";

  CXmlDocument read_only(u"<root><old/></root>", false, true);
  CXmlNode fixed = read_only.GetRootNode();
  fixed.AppendXml(u"text only");
  EXPECT_EQ(fixed.GetXml(), u"<root><old/></root>");
}

TEST(CXmlNodeTest, AppendCopyOfNonElementSetsText) {
  CXmlDocument source(u"<r>moved<x/></r>", false, false);
  CXmlDocument target(u"<t><child/></t>", false, false);
  CXmlNode to = target.GetRootNode();
  CXmlNode::AppendCopy(source.GetRootNode().GetChildAt(0), to);
  EXPECT_EQ(to.GetXml(), u"<t>moved</t>");
  CXmlNode::AppendCopy(source.GetRootNode().GetChildAt(1), to);
  EXPECT_EQ(to.GetXml(), u"<t>moved<x/></t>");
  CXmlNode::AppendCopy(CXmlNode(&source), to);
  EXPECT_EQ(to.GetXml(), u"<t>moved<x/></t>");
}

TEST(CXmlNodeTest, HandlesSurviveTheirDocument) {
  CXmlNode kept(nullptr);
  {
    CXmlDocument document(u"<root><a>1</a></root>", false, false);
    kept = document.GetRootNode().GetChild(u"a");
    document.Load(u"<other/>", false);
    EXPECT_EQ(kept.GetText(), u"1");
  }
  kept.SetText(u"2");
  EXPECT_EQ(kept.GetXml(), u"<a>2</a>");
}

}  // namespace
