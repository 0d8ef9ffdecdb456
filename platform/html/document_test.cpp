#include "platform/html/document.h"

#include <gtest/gtest.h>

#include <string>

namespace korvalis::html {
namespace {

TEST(HtmlDocument, QueriesFollowDocumentOrder) {
  Document doc;
  doc.Load(u"<div id=a name=n><span id=b name=n>x</span></div><p id=a>second a</p>"
           u"<input name=N><customtag:de_n name=n id=STD_DE_02></customtag:de_n>");
  std::vector<Element*> all = doc.All();
  ASSERT_EQ(all.size(), 8u);
  EXPECT_EQ(all[0], doc.documentElement());
  EXPECT_EQ(all[1], doc.head());
  EXPECT_EQ(all[2], doc.body());
  EXPECT_EQ(all[3]->tagName(), u"DIV");
  EXPECT_EQ(all[4]->tagName(), u"SPAN");

  Element* first_a = doc.GetElementById(u"a");
  ASSERT_NE(first_a, nullptr);
  EXPECT_EQ(first_a->tagName(), u"DIV");
  EXPECT_EQ(doc.GetElementById(u"A"), nullptr);
  EXPECT_EQ(doc.GetElementById(u"missing"), nullptr);

  std::vector<Element*> named = doc.GetElementsByName(u"n");
  ASSERT_EQ(named.size(), 3u);
  EXPECT_EQ(named[2]->tagName(), u"DE_N");
  EXPECT_EQ(doc.GetElementsByTagName(u"De_N").size(), 1u);
  EXPECT_EQ(doc.GetElementsByTagName(u"*").size(), all.size());
}

TEST(HtmlDocument, AttributesIgnoreCaseAndClassNameIsClass) {
  Document doc;
  doc.Load(u"<td Class=old ID=c1 DisplayType=2>");
  Element* td = doc.GetElementsByTagName(u"TD").front();
  EXPECT_EQ(td->id(), u"c1");
  EXPECT_EQ(td->GetAttribute(u"displaytype"), u"2");
  EXPECT_EQ(td->GetAttribute(u"className"), u"old");
  td->SetAttribute(u"CLASSNAME", u"new");
  td->SetAttribute(u"data", u"a \"quoted\" & <text>");
  EXPECT_EQ(td->OuterHtml(),
            u"<TD Class=new ID=c1 DisplayType=2 data=\"a &quot;quoted&quot; &amp; <text>\"></TD>");
  EXPECT_FALSE(td->HasAttribute(u"absent"));
  EXPECT_EQ(td->GetAttribute(u"absent"), u"");
  EXPECT_TRUE(td->RemoveAttribute(u"displaytype"));
  EXPECT_FALSE(td->RemoveAttribute(u"displaytype"));
  // What was written survives a second load unchanged.
  Document again;
  again.Load(doc.documentElement()->OuterHtml());
  EXPECT_EQ(again.GetElementById(u"c1")->GetAttribute(u"data"), u"a \"quoted\" & <text>");
}

TEST(HtmlDocument, InnerTextRendersTextAndLineBreaks) {
  Document doc;
  doc.Load(u"<div id=d>\r\n  <p>first   line</p><p>second<br>third</p>"
           u"<table><tr><td> 90 </td></tr></table><style>x{}</style><!-- c -->"
           u"<pre>a  b\r\nc</pre>&nbsp;end </div>");
  EXPECT_EQ(doc.GetElementById(u"d")->InnerText(),
            u"first line\r\nsecond\r\nthird\r\n90\r\na  b\r\nc\r\n\u00A0end");
  EXPECT_EQ(doc.GetElementsByTagName(u"td").front()->InnerText(), u"90");

  Element* d = doc.GetElementById(u"d");
  d->SetInnerText(u"a < b\r\nnext\nlast");
  EXPECT_EQ(d->InnerHtml(), u"a &lt; b<BR>next<BR>last");
  EXPECT_EQ(d->InnerText(), u"a < b\r\nnext\r\nlast");
}

TEST(HtmlDocument, InnerAndOuterHtmlPut) {
  Document doc;
  doc.Load(u"<div id=d><span id=s>x</span></div><br id=br>");
  Element* span = doc.GetElementById(u"s");
  ASSERT_TRUE(span->SetInnerHtml(u"<P>1.A<P>&nbsp;&nbsp;a1</P>"));
  EXPECT_EQ(span->InnerHtml(), u"<P>1.A</P><P>&nbsp;&nbsp;a1</P>");
  EXPECT_FALSE(doc.GetElementById(u"br")->SetInnerHtml(u"x"));

  ASSERT_TRUE(span->SetOuterHtml(u"<b>bold</b>tail<i>it"));
  EXPECT_EQ(doc.GetElementById(u"d")->InnerHtml(), u"<B>bold</B>tail<I>it</I>");
  // The replaced element is detached but still usable.
  EXPECT_EQ(span->parent(), nullptr);
  EXPECT_EQ(span->InnerText(), u"1.A\r\n\u00A0\u00A0a1");
  EXPECT_FALSE(span->SetOuterHtml(u"<b>again</b>"));
  EXPECT_FALSE(doc.body()->SetOuterHtml(u"<div></div>"));
  EXPECT_FALSE(doc.documentElement()->SetOuterHtml(u""));
}

TEST(HtmlDocument, RemoveElementAndWhatLiesBetweenTwoPoints) {
  Document doc;
  doc.Load(u"<div id=r>a<b id=b1>b1<i>i1</i>b2</b>mid<u id=u1>u1<s>s1</s>u2</u>z</div>");
  Element* root = doc.GetElementById(u"r");
  Element* b = doc.GetElementById(u"b1");
  Element* u = doc.GetElementById(u"u1");
  // From inside B (after "b1") to inside U (before "u2"): the tails and heads go, the
  // elements that are only partly covered stay.
  ASSERT_TRUE(doc.RemoveBetween({b, 1}, {u, 2}));
  EXPECT_EQ(root->InnerHtml(), u"a<B id=b1>b1</B><U id=u1>u2</U>z");

  doc.Load(u"<div id=r>a<b id=b1>b<i id=i1>i</i></b>c</div>");
  root = doc.GetElementById(u"r");
  Element* i = doc.GetElementById(u"i1");
  // The end point lies in a descendant of the begin point's container, and the reverse.
  ASSERT_TRUE(doc.RemoveBetween({root, 0}, {i, 1}));
  EXPECT_EQ(root->InnerHtml(), u"<B id=b1><I id=i1></I></B>c");
  doc.Load(u"<div id=r>a<b id=b1>b<i id=i1>i</i>j</b>c</div>");
  root = doc.GetElementById(u"r");
  ASSERT_TRUE(doc.RemoveBetween({doc.GetElementById(u"i1"), 0}, {root, 3}));
  EXPECT_EQ(root->InnerHtml(), u"a<B id=b1>b<I id=i1></I></B>");

  // Reversed or invalid points change nothing.
  doc.Load(u"<div id=r>a<b id=b1>b</b>c</div>");
  root = doc.GetElementById(u"r");
  EXPECT_FALSE(doc.RemoveBetween({root, 2}, {root, 1}));
  EXPECT_FALSE(doc.RemoveBetween({root, 3}, {doc.GetElementById(u"b1"), 0}));
  EXPECT_FALSE(doc.RemoveBetween({root, 9}, {root, 9}));
  Document other;
  EXPECT_FALSE(doc.RemoveBetween({root, 0}, {other.body(), 0}));
  EXPECT_EQ(root->InnerHtml(), u"a<B id=b1>b</B>c");

  // Emptying an element, then removing it.
  Element* bold = doc.GetElementById(u"b1");
  ASSERT_TRUE(doc.RemoveBetween({bold, 0}, {bold, bold->children().size()}));
  bold->Remove();
  EXPECT_EQ(root->InnerHtml(), u"ac");
  EXPECT_EQ(doc.GetElementById(u"b1"), nullptr);
}

TEST(HtmlDocument, StyleSheetsAreStyleElementsUpToThirtyOne) {
  Document doc;
  doc.Load(u"<style id=first>a{}</style><p>x</p><style>b{}</style>");
  std::vector<Element*> sheets = doc.StyleSheets();
  ASSERT_EQ(sheets.size(), 2u);
  EXPECT_EQ(doc.StyleSheetById(u"first"), sheets[0]);
  EXPECT_EQ(doc.StyleSheetById(u"none"), nullptr);

  Element* created = doc.CreateStyleSheet();
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(created->parent(), doc.head());
  Document::SetStyleSheetText(*created, u"td > p { font: 12pt \"宋体\" }");
  EXPECT_EQ(Document::StyleSheetText(*created), u"td > p { font: 12pt \"宋体\" }");
  EXPECT_EQ(created->OuterHtml(), u"<STYLE>td > p { font: 12pt \"宋体\" }</STYLE>");

  while (doc.StyleSheets().size() < Document::kMaxStyleSheets) {
    ASSERT_NE(doc.CreateStyleSheet(), nullptr);
  }
  EXPECT_EQ(doc.CreateStyleSheet(), nullptr);
  EXPECT_EQ(doc.StyleSheets().size(), Document::kMaxStyleSheets);
}

TEST(HtmlDocument, LoadReplacesTheWholeContent) {
  Document doc;
  doc.Load(u"<!DOCTYPE html><p id=x>one</p>");
  doc.Load(u"<p id=y>two</p>");
  EXPECT_TRUE(doc.prologue().empty());
  EXPECT_EQ(doc.GetElementById(u"x"), nullptr);
  EXPECT_EQ(doc.documentElement()->OuterHtml(),
            u"<HTML><HEAD></HEAD><BODY><P id=y>two</P></BODY></HTML>");
  Element* created = doc.CreateElement(u"customtag:mark");
  EXPECT_EQ(created->QualifiedName(), u"CUSTOMTAG:MARK");
  doc.body()->AppendChild(created);
  EXPECT_EQ(doc.body()->InnerHtml(), u"<P id=y>two</P><CUSTOMTAG:MARK></CUSTOMTAG:MARK>");
}

}  // namespace
}  // namespace korvalis::html
