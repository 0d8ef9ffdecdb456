#include "foundation/xml/xhtml_document.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/text/unicode.h"

namespace {

using korvalis::html::Document;
using korvalis::html::Element;

std::u16string HtmlOf(const XHTMLDocument& doc) {
  std::u16string html;
  EXPECT_EQ(doc.GetHtml(html), S_OK);
  return html;
}

std::shared_ptr<Document> DocumentOf(const XHTMLDocument& doc) {
  std::shared_ptr<Document> d;
  EXPECT_EQ(doc.GetDocument(&d), S_OK);
  return d;
}

TEST(XHTMLDocument, EmptyTextLoadsTheEmptyEmrPage) {
  const std::u16string expected = u"<HTML XMLNS:CUSTOMTAG><HEAD></HEAD><BODY></BODY></HTML>";
  XHTMLDocument wide;
  EXPECT_EQ(wide.Load(std::u16string()), S_OK);
  wide.WaitForComplete();
  EXPECT_EQ(HtmlOf(wide), expected);
  XHTMLDocument narrow;
  EXPECT_EQ(narrow.Load(std::string()), S_OK);
  EXPECT_EQ(HtmlOf(narrow), expected);
}

TEST(XHTMLDocument, UnicodeTextIsLoadedWithoutLoss) {
  // Characters no narrow code page holds together: CJK, an extension-B ideograph, emoji,
  // Arabic, Latin with accents, and a no-break space.
  const std::u16string text = u"<p id=x>诊断：Ⅱ型糖尿病 \U00020000 \U0001F600 مرحبا ñé\u00A0</p>";
  XHTMLDocument doc;
  ASSERT_EQ(doc.Load(text), S_OK);
  Element* p = DocumentOf(doc)->GetElementById(u"x");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->InnerText(), u"诊断：Ⅱ型糖尿病 \U00020000 \U0001F600 مرحبا ñé\u00A0");
  // The UTF-8 form reads the same characters.
  XHTMLDocument narrow;
  ASSERT_EQ(narrow.Load(std::string("<p id=x>诊断：Ⅱ型糖尿病 \xF0\xA0\x80\x80</p>")), S_OK);
  EXPECT_EQ(DocumentOf(narrow)->GetElementById(u"x")->InnerText(), u"诊断：Ⅱ型糖尿病 \U00020000");
}

TEST(XHTMLDocument, ByteOrderMarkOfStoredContentIsNoText) {
  // Stored content keeps its byte-order mark; loading and saving it again and again must
  // not gather marks in the body.
  std::u16string stored = u"\uFEFF<HTML><BODY><P>病程</P></BODY></HTML>";
  for (int round = 0; round < 3; ++round) {
    XHTMLDocument doc;
    ASSERT_EQ(doc.Load(stored), S_OK);
    const std::u16string saved = HtmlOf(doc);
    EXPECT_EQ(saved, u"<HTML><HEAD></HEAD><BODY><P>病程</P></BODY></HTML>");
    stored = u"\uFEFF" + saved;
  }
  XHTMLDocument only_mark;
  ASSERT_EQ(only_mark.Load(std::u16string(u"\uFEFF")), S_OK);
  EXPECT_EQ(HtmlOf(only_mark), u"<HTML XMLNS:CUSTOMTAG><HEAD></HEAD><BODY></BODY></HTML>");
  // A mark inside the page is a character like any other.
  XHTMLDocument inner;
  ASSERT_EQ(inner.Load(std::u16string(u"<P>a\uFEFFb</P>")), S_OK);
  EXPECT_EQ(HtmlOf(inner), u"<HTML><HEAD></HEAD><BODY><P>a\uFEFFb</P></BODY></HTML>");
}

TEST(XHTMLDocument, TheZeroCharacterEndingStoredContentIsNoText) {
  // Content written from a decompressed text carries the text's zero character at its end:
  // the page is the same with or without it, and saving it gives the page alone.
  const std::u16string page = u"<HTML><HEAD></HEAD><BODY><P>主诉：胸痛</P></BODY></HTML>";
  for (const std::u16string& stored :
       {page, page + u'\0', u"\uFEFF" + page, u"\uFEFF" + page + u'\0'}) {
    XHTMLDocument doc;
    ASSERT_EQ(doc.Load(stored), S_OK);
    EXPECT_EQ(HtmlOf(doc), page);
  }
  XHTMLDocument only_zero;
  ASSERT_EQ(only_zero.Load(std::u16string(1, u'\0')), S_OK);
  EXPECT_EQ(HtmlOf(only_zero), u"<HTML XMLNS:CUSTOMTAG><HEAD></HEAD><BODY></BODY></HTML>");
  // Only one: a second zero character is text of the page.
  XHTMLDocument two_zeros;
  ASSERT_EQ(two_zeros.Load(page + std::u16string(2, u'\0')), S_OK);
  EXPECT_NE(HtmlOf(two_zeros), page);
}

TEST(XHTMLDocument, DocumentAndOuterHtmlAccess) {
  XHTMLDocument doc;
  EXPECT_EQ(doc.GetDocument(nullptr), E_POINTER);
  EXPECT_EQ(DocumentOf(doc), nullptr);
  BSTR html = reinterpret_cast<BSTR>(1);
  EXPECT_EQ(doc.GetOuterHtml(&html), E_FAIL);
  EXPECT_EQ(html, nullptr);
  std::u16string text = u"kept";
  EXPECT_EQ(doc.GetHtml(text), E_FAIL);
  EXPECT_EQ(doc.GetOuterHtml(nullptr), E_POINTER);
  EXPECT_EQ(doc.SetStyleSheet(u"a", u"b{}"), E_FAIL);
  doc.RemoveDuplicateStyles();  // nothing held: nothing to do

  ASSERT_EQ(doc.Load(std::u16string(u"<b>x</b>")), S_OK);
  std::shared_ptr<Document> first = DocumentOf(doc);
  ASSERT_EQ(doc.GetOuterHtml(&html), S_OK);
  EXPECT_EQ(korvalis::BstrView(html), u"<HTML><HEAD></HEAD><BODY><B>x</B></BODY></HTML>");
  SysFreeString(html);

  // A new load replaces the held document; a holder of the old one keeps it intact.
  ASSERT_EQ(doc.Load(std::u16string(u"<i>y</i>")), S_OK);
  EXPECT_NE(DocumentOf(doc), first);
  EXPECT_EQ(first->body()->InnerHtml(), u"<B>x</B>");
  EXPECT_EQ(DocumentOf(doc)->body()->InnerHtml(), u"<I>y</I>");
}

TEST(XHTMLDocument, RemoveDuplicateStylesKeepsTheFirstOfEachKey) {
  XHTMLDocument doc;
  ASSERT_EQ(doc.Load(std::u16string(
                u"<style id=a>a1{}</style><style id=a>a2{}</style>"
                u"<style>same{}</style><style>same{}</style><style>other{}</style>"
                u"<style id=\"<STYLE>x{}</STYLE>\">k{}</style><p>t</p><style>x{}</style>")),
            S_OK);
  doc.RemoveDuplicateStyles();
  std::shared_ptr<Document> d = DocumentOf(doc);
  EXPECT_EQ(d->head()->InnerHtml(),
            u"<STYLE id=a>a1{}</STYLE><STYLE>same{}</STYLE><STYLE>other{}</STYLE>"
            u"<STYLE id=\"<STYLE>x{}</STYLE>\">k{}</STYLE>");
  // The STYLE in the body, whose outer HTML equals an id seen before, went as a repeat.
  EXPECT_EQ(d->body()->InnerHtml(), u"<P>t</P>");
}

TEST(XHTMLDocument, SetStyleSheetReplacesCreatesOrReusesTheThirtyFirst) {
  XHTMLDocument doc;
  ASSERT_EQ(doc.Load(std::u16string(u"<style id=system_default_css>old{}</style>"
                                    u"<style id=system_default_css>dup{}</style><p>x")),
            S_OK);
  ASSERT_EQ(doc.SetStyleSheet(u"system_default_css", u"BODY { FONT-SIZE: 10.5pt }"), S_OK);
  std::shared_ptr<Document> d = DocumentOf(doc);
  ASSERT_EQ(d->StyleSheets().size(), 1u);
  EXPECT_EQ(Document::StyleSheetText(*d->StyleSheets()[0]), u"BODY { FONT-SIZE: 10.5pt }");

  ASSERT_EQ(doc.SetStyleSheet(u"report_css", u"td{}"), S_OK);
  ASSERT_EQ(d->StyleSheets().size(), 2u);
  EXPECT_EQ(d->StyleSheets()[1]->OuterHtml(), u"<STYLE id=report_css>td{}</STYLE>");

  // A page with 31 sheets: an unknown id takes over the 31st, and the count stays 31.
  std::u16string page;
  for (int i = 1; i <= 31; ++i) {
    page += u"<style id=s" + korvalis::FromUtf8(std::to_string(i)) + u">r" +
            korvalis::FromUtf8(std::to_string(i)) + u"{}</style>";
  }
  ASSERT_EQ(doc.Load(page), S_OK);
  d = DocumentOf(doc);
  ASSERT_EQ(doc.SetStyleSheet(u"new_css", u"n{}"), S_OK);
  std::vector<Element*> sheets = d->StyleSheets();
  ASSERT_EQ(sheets.size(), 31u);
  EXPECT_EQ(sheets[30]->OuterHtml(), u"<STYLE id=new_css>n{}</STYLE>");
  EXPECT_EQ(sheets[29]->OuterHtml(), u"<STYLE id=s30>r30{}</STYLE>");
  EXPECT_EQ(d->StyleSheetById(u"s31"), nullptr);
  // The sheet found by id is rewritten in place.
  ASSERT_EQ(doc.SetStyleSheet(u"s2", u"two{}"), S_OK);
  EXPECT_EQ(Document::StyleSheetText(*d->StyleSheetById(u"s2")), u"two{}");
  EXPECT_EQ(d->StyleSheets().size(), 31u);
}

TEST(CMyStream, AnswersItsInterfacesOnly) {
  const unsigned char bytes[] = {1, 2, 3};
  CMyStream stream(bytes, sizeof bytes);
  void* object = nullptr;
  EXPECT_EQ(stream.QueryInterface(IID_IUnknown, &object), S_OK);
  EXPECT_EQ(object, static_cast<IStream*>(&stream));
  EXPECT_EQ(stream.QueryInterface(IID_IStream, &object), S_OK);
  EXPECT_EQ(stream.QueryInterface(IID_ISequentialStream, &object), S_OK);
  EXPECT_EQ(object, static_cast<ISequentialStream*>(&stream));
  const IID other = {0x3050F1FF, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};
  EXPECT_EQ(stream.QueryInterface(other, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(stream.QueryInterface(IID_IStream, nullptr), E_POINTER);
  EXPECT_EQ(stream.AddRef(), 1u);
  EXPECT_EQ(stream.Release(), 1u);
  EXPECT_EQ(stream.Write(bytes, 1, nullptr), E_NOTIMPL);
  EXPECT_EQ(stream.Seek(LARGE_INTEGER{0}, 0, nullptr), E_NOTIMPL);
  EXPECT_EQ(stream.Stat(nullptr, 0), E_NOTIMPL);
  EXPECT_EQ(stream.Clone(nullptr), E_NOTIMPL);
}

TEST(CMyStream, ReadsItsCopyOnceAndRewindsOnAnEmptyRead) {
  unsigned char bytes[] = {'a', 'b', 'c', 'd', 'e'};
  CMyStream stream(bytes, sizeof bytes);
  bytes[0] = 'z';  // the stream holds its own copy
  unsigned char out[8] = {};
  ULONG read = 99;
  ASSERT_EQ(stream.Read(out, 2, &read), S_OK);
  EXPECT_EQ(read, 2u);
  EXPECT_EQ(std::memcmp(out, "ab", 2), 0);
  // A read of 0 bytes in the middle answers S_FALSE and moves back to the start.
  EXPECT_EQ(stream.Read(out, 0, &read), S_FALSE);
  EXPECT_EQ(read, 0u);
  ASSERT_EQ(stream.Read(out, 3, &read), S_OK);
  EXPECT_EQ(std::memcmp(out, "abc", 3), 0);
  // Asking for more than remains gives the rest, then the end.
  ASSERT_EQ(stream.Read(out, 8, &read), S_OK);
  EXPECT_EQ(read, 2u);
  EXPECT_EQ(std::memcmp(out, "de", 2), 0);
  EXPECT_EQ(stream.Read(out, 8, &read), S_FALSE);
  EXPECT_EQ(read, 0u);
  EXPECT_EQ(stream.Read(nullptr, 1, &read), E_POINTER);

  // A count of 2^31 or more is a count like any other.
  CMyStream big(bytes, sizeof bytes);
  ASSERT_EQ(big.Read(out, 0x80000000u, nullptr), S_OK);
  EXPECT_EQ(std::memcmp(out, "zbcde", 5), 0);

  CMyStream none(nullptr, 4);
  EXPECT_EQ(none.Read(out, 1, &read), E_UNEXPECTED);
  CMyStream empty(bytes, 0);
  EXPECT_EQ(empty.Read(out, 1, &read), S_FALSE);
}

}  // namespace
