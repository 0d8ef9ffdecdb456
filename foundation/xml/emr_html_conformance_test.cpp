// Load and save of EMR pages written as the record editor writes them: every custom tag,
// attribute and character of text must survive, and what is saved must read back as the same
// tree and save again to the same text.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "foundation/xml/emr_element.h"
#include "foundation/testing/emr_pages.h"
#include "foundation/xml/xhtml_document.h"
#include "platform/html/entities.h"
#include "platform/text/unicode.h"

namespace {

using korvalis::html::CharacterData;
using korvalis::html::Document;
using korvalis::html::Element;
using korvalis::html::Node;
using korvalis::html::NodeKind;

std::u16string ReadPage(const std::string& name) {
  return korvalis::testing::ReadEmrPage("foundation/testdata/" + name);
}

// One line per node, indented by depth: the whole tree with names, attributes and data.
void Dump(const Node& node, int depth, std::u16string& out) {
  out.append(static_cast<size_t>(depth) * 2, u' ');
  if (node.IsElement()) {
    const auto& e = static_cast<const Element&>(node);
    out += e.QualifiedName();
    for (const auto& a : e.attributes()) out += u" [" + a.name + u"=" + a.value + u"]";
    out += u'\n';
    for (const Node* child : e.children()) Dump(*child, depth + 1, out);
    return;
  }
  const auto& data = static_cast<const CharacterData&>(node);
  out += u"#" + korvalis::FromUtf8(std::to_string(static_cast<int>(data.kind()))) + u" " +
         data.data() + u"\n";
}

std::u16string DumpOf(const XHTMLDocument& doc) {
  std::shared_ptr<Document> d;
  doc.GetDocument(&d);
  std::u16string out;
  Dump(*d->documentElement(), 0, out);
  return out;
}

// The text of a page read naively: comments, declarations and tags cut out, references
// decoded, ASCII white space dropped. Independent of the parser under test, for pages whose
// attribute values hold no '>'.
std::u16string NaiveText(std::u16string_view html) {
  std::u16string raw;
  size_t i = 0;
  while (i < html.size()) {
    if (html.substr(i, 4) == u"<!--") {
      size_t end = html.find(u"-->", i + 4);
      i = end == std::u16string_view::npos ? html.size() : end + 3;
    } else if (html[i] == u'<' && i + 1 < html.size() &&
               (std::isalpha(html[i + 1]) || html[i + 1] == u'/' || html[i + 1] == u'!' ||
                html[i + 1] == u'?')) {
      i = html.find(u'>', i) + 1;
    } else {
      raw.push_back(html[i++]);
    }
  }
  std::u16string decoded;
  korvalis::html::AppendDecoded(raw, false, decoded);
  std::u16string text;
  for (char16_t c : decoded) {
    if (c != u' ' && c != u'\t' && c != u'\r' && c != u'\n') text.push_back(c);
  }
  return text;
}

// The characters of every text node, white space dropped as above.
std::u16string TreeText(const Element& root) {
  std::u16string text;
  for (const Node* child : root.children()) {
    if (child->IsElement()) {
      text += TreeText(static_cast<const Element&>(*child));
    } else if (child->kind() == NodeKind::kText) {
      for (char16_t c : static_cast<const CharacterData*>(child)->data()) {
        if (c != u' ' && c != u'\t' && c != u'\r' && c != u'\n') text.push_back(c);
      }
    }
  }
  return text;
}

size_t CountIgnoringCase(std::u16string_view text, std::u16string_view what) {
  std::u16string lower(text);
  for (char16_t& c : lower) c = (c >= u'A' && c <= u'Z') ? c + 32 : c;
  size_t count = 0;
  for (size_t at = lower.find(what); at != std::u16string::npos; at = lower.find(what, at + 1)) {
    ++count;
  }
  return count;
}

class EmrPage : public ::testing::TestWithParam<std::string> {};

TEST_P(EmrPage, LoadAndSaveKeepEveryTagAttributeAndText) {
  const std::u16string source = ReadPage(GetParam());
  ASSERT_FALSE(source.empty());
  XHTMLDocument first;
  ASSERT_EQ(first.Load(source), S_OK);
  std::u16string saved;
  ASSERT_EQ(first.GetHtml(saved), S_OK);

  // Read back, the saved page is the same tree and saves to the same text.
  XHTMLDocument second;
  ASSERT_EQ(second.Load(saved), S_OK);
  EXPECT_EQ(DumpOf(second), DumpOf(first));
  std::u16string saved_again;
  ASSERT_EQ(second.GetHtml(saved_again), S_OK);
  EXPECT_EQ(saved_again, saved);

  // No character of text is lost or moved.
  std::shared_ptr<Document> d;
  second.GetDocument(&d);
  EXPECT_EQ(TreeText(*d->documentElement()), NaiveText(source));

  // Every custom tag keeps its prefix, opened and closed.
  const size_t custom = CountIgnoringCase(source, u"<customtag:");
  EXPECT_GT(custom, 0u);
  size_t custom_elements = 0;
  for (Element* e : d->All()) custom_elements += e->prefix() == u"CUSTOMTAG";
  EXPECT_EQ(custom_elements, custom);
  EXPECT_EQ(CountIgnoringCase(saved, u"<customtag:"), custom);
  EXPECT_EQ(CountIgnoringCase(saved, u"</customtag:"), custom);

  // Every element's attributes are those of its start tag in the source: compare the count
  // of name=value pairs per element id.
  for (Element* e : d->All()) {
    const std::u16string id = e->id();
    if (id.empty()) continue;
    Element* original = nullptr;
    std::shared_ptr<Document> d1;
    first.GetDocument(&d1);
    original = d1->GetElementById(id);
    ASSERT_NE(original, nullptr) << korvalis::ToUtf8(id);
    EXPECT_EQ(e->attributes().size(), original->attributes().size());
    EXPECT_NE(source.find(id), std::u16string::npos) << korvalis::ToUtf8(id);
  }
}

TEST_P(EmrPage, DataElementsRefreshAndSurviveTheRoundTrip) {
  XHTMLDocument doc;
  ASSERT_EQ(doc.Load(ReadPage(GetParam())), S_OK);
  std::shared_ptr<Document> d;
  doc.GetDocument(&d);
  std::set<std::u16string> refreshed;
  for (Element* e : d->All()) {
    // Void elements take no content, and a TEXTAREA's content is plain text.
    if (!IsDataElementId(e->id()) || e->IsVoid() || e->tagName() == u"TEXTAREA") continue;
    if (!e->SetInnerHtml(u"新值<B>" + e->id() + u"</B>&nbsp;")) continue;
    SetElementAttribute(e, u"refreshed", u"1");
    refreshed.insert(e->id());
  }
  ASSERT_FALSE(refreshed.empty());
  std::u16string saved;
  ASSERT_EQ(doc.GetHtml(saved), S_OK);

  XHTMLDocument again;
  ASSERT_EQ(again.Load(saved), S_OK);
  std::shared_ptr<Document> d2;
  again.GetDocument(&d2);
  for (const std::u16string& id : refreshed) {
    Element* e = d2->GetElementById(id);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->InnerText(), u"新值" + id + u"\u00A0");
    EXPECT_EQ(GetElementAttribute(e, u"refreshed"), u"1");
  }
  EXPECT_EQ(DumpOf(again), DumpOf(doc));
}

INSTANTIATE_TEST_SUITE_P(Pages, EmrPage,
                         ::testing::Values("emr_admission.html", "emr_progress.html",
                                           "emr_operation.html"),
                         [](const auto& info) {
                           return info.param.substr(4, info.param.find('.') - 4);
                         });

TEST(EmrPages, AdmissionRecordReadsAsTheEditorWroteIt) {
  XHTMLDocument doc;
  ASSERT_EQ(doc.Load(ReadPage("emr_admission.html")), S_OK);
  std::shared_ptr<Document> d;
  doc.GetDocument(&d);
  std::u16string saved;
  doc.GetHtml(saved);
  EXPECT_EQ(saved.substr(0, 126),
            u"<HTML XMLNS:CUSTOMTAG><HEAD>\n<META http-equiv=Content-Type content=\"text/html; "
            u"charset=unicode\">\n<STYLE id=system_default_css>");

  EXPECT_EQ(d->GetElementById(u"STD_DE_PATIENT_NAME")->InnerText(), u"张三");
  EXPECT_EQ(GetElementAttribute(d->GetElementById(u"STD_DE_IN_TIME"), u"FORMAT"),
            u"yyyy年MM月dd日 HH:mm");
  // Cells whose end tags were omitted close at the next cell or row.
  std::vector<Element*> cells = d->GetElementsByTagName(u"TD");
  ASSERT_EQ(cells.size(), 14u);
  EXPECT_EQ(cells[3]->InnerText(), u"住院号：0012345");
  EXPECT_EQ(cells[5]->InnerText(), u"入院时间：2026年12月01日 08:30");
  std::vector<Element*> allergy = d->GetElementsByName(u"allergy");
  ASSERT_EQ(allergy.size(), 2u);
  BSTR tag = nullptr;
  EXPECT_TRUE(IsDataElementTag(allergy[0], &tag));
  EXPECT_EQ(korvalis::BstrView(tag), u"DE_Y");
  SysFreeString(tag);
  EXPECT_TRUE(IsMarkElement(d->GetElementById(u"mark_1")));

  // The diagnosis element is refilled from a list and keeps its display type.
  Element* diagnosis = d->GetElementById(u"STD_DE_DIAGNOSIS");
  std::u16string list =
      u"<root><diag id='1'>冠状动脉粥样硬化性心脏病</diag>"
      u"<diag id='2' parent='1'>不稳定型心绞痛</diag><diag "
      u"id='3'>高血压病3级（极高危）</diag></root>";
  FormatDiagnosisList(diagnosis, list);
  ASSERT_TRUE(diagnosis->SetInnerHtml(list));
  EXPECT_EQ(diagnosis->OuterHtml(),
            u"<DIV id=STD_DE_DIAGNOSIS class=de displaytype=3 key=his.diagnosis>"
            u"<P>1.冠状动脉粥样硬化性心脏病</P><P>&nbsp;&nbsp;不稳定型心绞痛</P>"
            u"<P>2.高血压病3级（极高危）</P></DIV>");

  // The default style sheet is replaced in place.
  ASSERT_EQ(doc.SetStyleSheet(u"system_default_css", u"BODY { FONT-SIZE: 12pt }"), S_OK);
  EXPECT_EQ(d->StyleSheets().size(), 2u);
  EXPECT_EQ(Document::StyleSheetText(*d->StyleSheetById(u"system_default_css")),
            u"BODY { FONT-SIZE: 12pt }");
}

TEST(EmrPages, ProgressNoteLosesOnlyItsRepeatedStyles) {
  XHTMLDocument doc;
  ASSERT_EQ(doc.Load(ReadPage("emr_progress.html")), S_OK);
  std::shared_ptr<Document> d;
  doc.GetDocument(&d);
  ASSERT_EQ(d->StyleSheets().size(), 5u);
  doc.RemoveDuplicateStyles();
  std::vector<Element*> sheets = d->StyleSheets();
  ASSERT_EQ(sheets.size(), 3u);
  EXPECT_EQ(Document::StyleSheetText(*sheets[0]), u"body{font-size:10.5pt}");
  EXPECT_EQ(Document::StyleSheetText(*sheets[1]), u".title{font-weight:bold}");
  EXPECT_EQ(sheets[2]->id(), u".title{font-weight:bold}");

  // The Word-style namespace declaration, O:P and conditional markers are kept.
  std::u16string saved;
  doc.GetHtml(saved);
  EXPECT_NE(
      saved.find(u"<?xml:namespace prefix = o ns = \"urn:schemas-microsoft-com:office:office\" />"),
      std::u16string::npos);
  EXPECT_NE(saved.find(u"<O:P></O:P>"), std::u16string::npos);
  EXPECT_NE(saved.find(u"<![if !supportLists]>·<![endif]>"), std::u16string::npos);
  EXPECT_EQ(d->GetElementsByTagName(u"LI").size(), 6u);
  EXPECT_EQ(d->GetElementById(u"tempimage")->GetAttribute(u"data"), u"AAEC");
  EXPECT_EQ(d->GetElementById(u"EXT_DE_LAB_TNI")->GetAttribute(u"unit"), u"ng/mL");
}

}  // namespace
