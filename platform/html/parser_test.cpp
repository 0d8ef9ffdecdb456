#include "platform/html/parser.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/html/document.h"

namespace korvalis::html {
namespace {

std::u16string Outer(std::u16string_view html) {
  Document doc;
  doc.Load(html);
  return doc.documentElement()->OuterHtml();
}

std::u16string Body(std::u16string_view html) {
  Document doc;
  doc.Load(html);
  return doc.body()->InnerHtml();
}

TEST(HtmlParser, FramesAnyTextWithHtmlHeadAndBody) {
  EXPECT_EQ(Outer(u""), u"<HTML><HEAD></HEAD><BODY></BODY></HTML>");
  EXPECT_EQ(Outer(u"<HTML XMLNS:CUSTOMTAG></HTML>"),
            u"<HTML XMLNS:CUSTOMTAG><HEAD></HEAD><BODY></BODY></HTML>");
  EXPECT_EQ(Outer(u"plain"), u"<HTML><HEAD></HEAD><BODY>plain</BODY></HTML>");
  EXPECT_EQ(Outer(u"<title>T</title><p>x"),
            u"<HTML><HEAD><TITLE>T</TITLE></HEAD><BODY><P>x</P></BODY></HTML>");
  // Attributes of repeated HTML and BODY tags join the elements that exist; none is lost.
  EXPECT_EQ(Outer(u"<body bgcolor=white>a<body text=red bgcolor=black>b"),
            u"<HTML><HEAD></HEAD><BODY bgcolor=white text=red>ab</BODY></HTML>");
}

TEST(HtmlParser, NamesAreUpperCaseAndCustomTagsKeepTheirPrefix) {
  Document doc;
  doc.Load(u"<p><customtag:label id=l1>Name</customtag:label><Label>x</LABEL>"
           u"<CUSTOMTAG:DE_Y id=STD_DE_01>yes</CUSTOMTAG:DE_Y></p>");
  auto labels = doc.GetElementsByTagName(u"label");
  ASSERT_EQ(labels.size(), 2u);
  EXPECT_EQ(labels[0]->prefix(), u"CUSTOMTAG");
  EXPECT_EQ(labels[0]->tagName(), u"LABEL");
  EXPECT_EQ(labels[1]->prefix(), u"");
  EXPECT_EQ(doc.body()->InnerHtml(),
            u"<P><CUSTOMTAG:LABEL id=l1>Name</CUSTOMTAG:LABEL><LABEL>x</LABEL>"
            u"<CUSTOMTAG:DE_Y id=STD_DE_01>yes</CUSTOMTAG:DE_Y></P>");
  // An end tag closes only its own namespace's element.
  EXPECT_EQ(Body(u"<customtag:label>a</label>b</customtag:label>c"),
            u"<CUSTOMTAG:LABEL>ab</CUSTOMTAG:LABEL>c");
}

TEST(HtmlParser, AttributesQuotedUnquotedBareAndRepeated) {
  EXPECT_EQ(Body(u"<td width=100 class='a b' title=\"x &amp; &quot;y&quot;\" nowrap>"),
            u"<TD width=100 class=\"a b\" title=\"x &amp; &quot;y&quot;\" nowrap></TD>");
  EXPECT_EQ(Body(u"<span ID=a id=b Style=\"color:red\">t</span>"),
            u"<SPAN ID=a Style=\"color:red\">t</SPAN>");
  // Unquoted values end at blanks and '>' only.
  EXPECT_EQ(Body(u"<a href=/x/y?a=1&b=2>l</a>"), u"<A href=\"/x/y?a=1&amp;b=2\">l</A>");
  // Query strings in attributes keep entity-like names that have no ';'.
  EXPECT_EQ(Body(u"<a href=\"?x=1&copy=2&amp;z\">l</a>"),
            u"<A href=\"?x=1&amp;copy=2&amp;z\">l</A>");
  // A name that begins with '=' stays a name: the valueless attribute before it is written
  // with an empty value, so that it reads back the same.
  EXPECT_EQ(Body(u"<td nowrap/=0>"), u"<TD nowrap=\"\" =0></TD>");
  EXPECT_EQ(Body(u"<td nowrap=\"\" =0>"), u"<TD nowrap=\"\" =0></TD>");
  // A value with a no-break space writes it back as &nbsp;.
  EXPECT_EQ(Body(u"<p title=\"a&nbsp;b\">x</p>"), u"<P title=\"a&nbsp;b\">x</P>");
}

TEST(HtmlParser, OmittedEndTagsAreImplied) {
  EXPECT_EQ(Body(u"<p>one<p>two<div>three</div>"), u"<P>one</P><P>two</P><DIV>three</DIV>");
  EXPECT_EQ(Body(u"<ul><li>a<li>b<ul><li>c</ul><li>d</ul>"),
            u"<UL><LI>a</LI><LI>b<UL><LI>c</LI></UL></LI><LI>d</LI></UL>");
  EXPECT_EQ(Body(u"<dl><dt>t<dd>d<dt>u</dl>"), u"<DL><DT>t</DT><DD>d</DD><DT>u</DT></DL>");
  EXPECT_EQ(Body(u"<table><tr><td>1<td>2<tr><th>3</table>after"),
            u"<TABLE><TR><TD>1</TD><TD>2</TD></TR><TR><TH>3</TH></TR></TABLE>after");
  EXPECT_EQ(Body(u"<table><thead><tr><td>h<tbody><tr><td>b</table>"),
            u"<TABLE><THEAD><TR><TD>h</TD></TR></THEAD><TBODY><TR><TD>b</TD></TR></TBODY>"
            u"</TABLE>");
  // A cell's table inside keeps its own rows; the outer row goes on afterwards.
  EXPECT_EQ(Body(u"<table><tr><td><table><tr><td>in</table><td>out</table>"),
            u"<TABLE><TR><TD><TABLE><TR><TD>in</TD></TR></TABLE></TD><TD>out</TD></TR>"
            u"</TABLE>");
  // Without a document type a TABLE does not close an open P (quirks mode).
  EXPECT_EQ(Body(u"<p>a<table><tr><td>b</table>c"),
            u"<P>a<TABLE><TR><TD>b</TD></TR></TABLE>c</P>");
  EXPECT_EQ(Body(u"<select><option>a<option>b</select>"),
            u"<SELECT><OPTION>a</OPTION><OPTION>b</OPTION></SELECT>");
  EXPECT_EQ(Body(u"<h1>a<h2>b"), u"<H1>a</H1><H2>b</H2>");
  // A heading whose open P closes first still closes the heading around it.
  EXPECT_EQ(Body(u"<h1><p>a<h2>b"), u"<H1><P>a</P></H1><H2>b</H2>");
}

TEST(HtmlParser, VoidAndSelfClosedElements) {
  EXPECT_EQ(Body(u"a<br>b<BR/>c<img src=x.png><hr>"),
            u"a<BR>b<BR>c<IMG src=x.png><HR>");
  // </BR> is a line break, as browsers read it.
  EXPECT_EQ(Body(u"a</br>b"), u"a<BR>b");
  // A self-closed custom tag is empty; a self-closed HTML container is not.
  EXPECT_EQ(Body(u"<customtag:mark id=\"m1\"/>x<div/>y"),
            u"<CUSTOMTAG:MARK id=m1></CUSTOMTAG:MARK>x<DIV>y</DIV>");
}

TEST(HtmlParser, StyleScriptAndTitleText) {
  Document doc;
  doc.Load(u"<style id=s>p > td { color: red } /* <b> */</STYLE>"
           u"<script>if (a < b && c) x = '</p>';</script><title>A &amp; B</title>");
  EXPECT_EQ(doc.head()->InnerHtml(),
            u"<STYLE id=s>p > td { color: red } /* <b> */</STYLE>"
            u"<SCRIPT>if (a < b && c) x = '</p>';</SCRIPT><TITLE>A &amp; B</TITLE>");
  EXPECT_EQ(Document::StyleSheetText(*doc.StyleSheetById(u"s")), u"p > td { color: red } /* <b> */");
  // A STYLE in the body stays there; an unclosed one takes the rest of the text.
  EXPECT_EQ(Body(u"<p>x</p><style>.a{}</style><style>.b{"), u"<P>x</P><STYLE>.a{}</STYLE><STYLE>.b{</STYLE>");
}

TEST(HtmlParser, CommentsDeclarationsAndInstructionsSurvive) {
  Document doc;
  doc.Load(u"<!DOCTYPE html><!-- saved --><html><body><!-- a <b> -->"
           u"<?xml:namespace prefix = o ns = \"urn:x\" /><![if !supportLists]>1.<![endif]>"
           u"<o:p></o:p><!-- open");
  ASSERT_EQ(doc.prologue().size(), 2u);
  EXPECT_EQ(doc.body()->InnerHtml(),
            u"<!-- a <b> --><?xml:namespace prefix = o ns = \"urn:x\" /><![if !supportLists]>"
            u"1.<![endif]><O:P></O:P><!-- open-->");
}

TEST(HtmlParser, CharacterReferences) {
  Document doc;
  doc.Load(u"&lt;&gt;&amp;&nbsp;&copy;&#20013;&#x6587;&#150;&#0;&#x110000;&bogus;&amp"
           u"&notit;&#128512;");
  std::u16string text = doc.body()->InnerText();
  EXPECT_EQ(text, u"<>&\u00A0\u00A9\u4E2D\u6587\u2013\uFFFD\uFFFD&bogus;&\u00ACit;\U0001F600");
  EXPECT_EQ(doc.body()->InnerHtml(),
            u"&lt;&gt;&amp;&nbsp;\u00A9\u4E2D\u6587\u2013\uFFFD\uFFFD&amp;bogus;&amp;\u00ACit;"
            u"\U0001F600");
}

TEST(HtmlParser, MalformedMarkupKeepsEveryCharacterOfText) {
  EXPECT_EQ(Body(u"a < b and c<>d <3 </ x"), u"a &lt; b and c&lt;&gt;d &lt;3 &lt;/ x");
  // A tag cut off by the end of the text stays text.
  EXPECT_EQ(Body(u"text<span class=\"x"), u"text&lt;span class=\"x");
  EXPECT_EQ(Body(u"text<span"), u"text&lt;span");
  EXPECT_EQ(Body(u"x<!doctype"), u"x&lt;!doctype");
  // Stray end tags go, their text stays; an end tag does not leave a table cell.
  EXPECT_EQ(Body(u"a</i>b</p>c"), u"abc");
  EXPECT_EQ(Body(u"<div><table><tr><td>x</div>y</td></tr></table>z</div>"),
            u"<DIV><TABLE><TR><TD>xy</TD></TR></TABLE>z</DIV>");
  // Misnested inline tags close at the first matching end tag.
  EXPECT_EQ(Body(u"<b>1<i>2</b>3</i>"), u"<B>1<I>2</I></B>3");
  // Text after the end of the page still belongs to it; white space there does not.
  EXPECT_EQ(Outer(u"<html><body>a</body></html>\r\n tail"),
            u"<HTML><HEAD></HEAD><BODY>a\r\n tail</BODY></HTML>");
  EXPECT_EQ(Outer(u"<html><body>a</body>\r\n</html>\r\n"),
            u"<HTML><HEAD></HEAD><BODY>a</BODY></HTML>");
}

TEST(HtmlParser, NestingIsBoundedInDepth) {
  std::u16string deep;
  for (size_t i = 0; i < kMaxDepth * 4; ++i) deep += u"<div>";
  deep += u"end";
  Document doc;
  doc.Load(deep);
  size_t depth = 0;
  const Element* e = doc.body();
  while (!e->children().empty() && e->children().front()->IsElement()) {
    e = static_cast<const Element*>(e->children().front());
    ++depth;
  }
  EXPECT_LT(depth, kMaxDepth);
  EXPECT_EQ(doc.GetElementsByTagName(u"div").size(), kMaxDepth * 4);
  EXPECT_EQ(doc.body()->InnerText(), u"end");
}

TEST(HtmlParser, APageBeyondTheDepthLimitReadsBackInTheSameShape) {
  std::u16string deep;
  for (size_t i = 0; i < kMaxDepth * 2; ++i) {
    deep += i % 3 == 0 ? u"<div>" : i % 3 == 1 ? u"<span>t" : u"<CUSTOMTAG:LABEL>";
  }
  deep += u"<div>x</div><span>y</span><div></div>end";
  const std::u16string once = Outer(deep);
  const std::u16string twice = Outer(once);
  EXPECT_EQ(twice, once);
  EXPECT_EQ(Outer(twice), once);
  Document doc;
  doc.Load(twice);
  EXPECT_EQ(doc.GetElementsByTagName(u"div").size(), (kMaxDepth * 2 + 2) / 3 + 2);
  EXPECT_EQ(doc.GetElementsByTagName(u"LABEL").size(), kMaxDepth * 2 / 3);
  // At the limit, content follows its empty element; no text is lost.
  EXPECT_NE(once.find(u"<DIV></DIV>x<SPAN></SPAN>y<DIV></DIV>end</CUSTOMTAG:LABEL>"),
            std::u16string::npos);
}

TEST(HtmlParser, FragmentsIgnorePageTagsAndStayInTheirContext) {
  Document doc;
  doc.Load(u"<div id=d>old</div><p>after</p>");
  Element* div = doc.GetElementById(u"d");
  ASSERT_TRUE(div->SetInnerHtml(u"<html><body><p>1<p>2</div>3<style>x{}</style>"));
  EXPECT_EQ(doc.body()->InnerHtml(),
            u"<DIV id=d><P>1</P><P>23<STYLE>x{}</STYLE></P></DIV><P>after</P>");
}

// Element with many attributes: the same names, values and order as one SetAttribute after
// another would give (repeats in the tag: the first wins; "classname" sets class).
TEST(HtmlParser, ManyAttributesReadAsFewDo) {
  std::u16string tag = u"<p";
  Document expected_doc;
  Element* expected = expected_doc.CreateElement(u"P");
  for (int i = 0; i < 40; ++i) {
    const std::u16string n = std::u16string(1, u'a' + i % 26) + std::u16string(1, u'0' + i / 26);
    tag += u" " + n + u"=" + n;
    expected->SetAttribute(n, n);
  }
  tag += u" A0=dup class=c1 CLASSNAME=c2 z9=last>x</p>";
  expected->SetAttribute(u"class", u"c1");
  expected->SetAttribute(u"classname", u"c2");
  expected->SetAttribute(u"z9", u"last");
  Document doc;
  doc.Load(tag);
  const Element* p = doc.GetElementsByTagName(u"P").at(0);
  ASSERT_EQ(p->attributes().size(), expected->attributes().size());
  for (size_t i = 0; i < p->attributes().size(); ++i) {
    EXPECT_EQ(p->attributes()[i].name, expected->attributes()[i].name);
    EXPECT_EQ(p->attributes()[i].value, expected->attributes()[i].value);
  }
  EXPECT_EQ(p->GetAttribute(u"a0"), u"a0");
  EXPECT_EQ(p->GetAttribute(u"class"), u"c2");

  // Repeated BODY tags: each attribute the body lacks joins it, the first value stays.
  std::u16string bodies;
  for (int i = 0; i < 30; ++i) {
    bodies += u"<body x" + std::u16string(1, u'a' + i % 26) + std::u16string(1, u'0' + i / 26) +
              u"=" + std::u16string(1, u'0' + i % 10) + u" X" +
              std::u16string(1, u'a' + (i + 1) % 26) + std::u16string(1, u'0' + (i + 1) / 26) +
              u"=late>";
  }
  doc.Load(bodies + u"t");
  EXPECT_EQ(doc.body()->attributes().size(), 31u);
  EXPECT_EQ(doc.body()->GetAttribute(u"xa0"), u"0");
  EXPECT_EQ(doc.body()->GetAttribute(u"xb0"), u"late") << "came first as the second attribute";
  EXPECT_EQ(doc.body()->GetAttribute(u"xd1"), u"late");
}

// Texts made of broken tags (no '>' ahead, quotes that never close, thousands of them) read
// as the text they are, whole; every '<' that cannot start a tag stays a character.
TEST(HtmlParser, BrokenTagsInBulkStayText) {
  auto body_text = [](const std::u16string& html) {
    Document doc;
    doc.Load(html);
    const auto& kids = doc.body()->children();
    EXPECT_EQ(kids.size(), 1u);
    return kids.empty() || kids[0]->kind() != NodeKind::kText
               ? std::u16string()
               : static_cast<const CharacterData*>(kids[0])->data();
  };
  std::u16string unclosed_quotes;
  std::u16string open_quote_at_end;
  std::u16string no_close;
  for (int i = 0; i < 20000; ++i) {
    unclosed_quotes += u"<P a=\"";
    open_quote_at_end += u"<P a=1 ";
    no_close += u"<a";
  }
  open_quote_at_end += u"b=\"x>";
  EXPECT_EQ(body_text(unclosed_quotes), unclosed_quotes);
  EXPECT_EQ(body_text(open_quote_at_end), open_quote_at_end);
  EXPECT_EQ(body_text(no_close), no_close);
  // After all that, a sound tag is still a tag.
  Document doc;
  doc.Load(open_quote_at_end + u"<b id=t>bold</b>");
  ASSERT_EQ(doc.body()->children().size(), 2u);
  EXPECT_EQ(static_cast<const CharacterData*>(doc.body()->children()[0])->data(),
            open_quote_at_end);
  EXPECT_EQ(doc.body()->children()[1], doc.GetElementById(u"t"));
  EXPECT_EQ(doc.GetElementById(u"t")->InnerText(), u"bold");
}

}  // namespace
}  // namespace korvalis::html
