#include "emrdoc/emr_content_document.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "foundation/xml/emr_element.h"
#include "foundation/testing/emr_pages.h"
#include "foundation/xml/xhtml_document.h"

namespace {

using korvalis::testing::ReadEmrPage;
using Ids = std::vector<std::u16string>;

// A record page loaded as the record store loads it.
class RecordPage {
 public:
  explicit RecordPage(const std::u16string& html) {
    EXPECT_EQ(xhtml_.Load(html), S_OK);
    xhtml_.GetDocument(&document_);
  }
  const IHTMLDocument2& document() const { return *document_; }
  IHTMLElement* Element(std::u16string_view id) const { return document_->GetElementById(id); }

 private:
  XHTMLDocument xhtml_;
  std::shared_ptr<IHTMLDocument2> document_;
};

const std::u16string& LiveRecord() {
  static const std::u16string page = ReadEmrPage("emrdoc/testdata/emr_live_record.html");
  return page;
}

TEST(EmrContentDocument, LiveListIsTheLinkOfTheFirstLiveElement) {
  RecordPage page(LiveRecord());
  // A second element of id "live" is never read; an empty id between two separators stays,
  // the trailing separator adds none, and an id naming no element is still listed.
  EXPECT_EQ(ReadLiveLinks(page.document()),
            (Ids{u"live_name", u"live_sex", u"", u"live_dept", u"missing_element"}));
}

TEST(EmrContentDocument, PagesWithoutALiveElementHaveNoLiveLinks) {
  for (const char* name : {"emr_admission.html", "emr_operation.html", "emr_progress.html"}) {
    RecordPage page(ReadEmrPage(std::string("foundation/testdata/") + name));
    EXPECT_EQ(ReadLiveLinks(page.document()), std::nullopt) << name;
  }
  RecordPage empty(u"");
  EXPECT_EQ(ReadLiveLinks(empty.document()), std::nullopt);
  // A live element without link has no list; a link of separators only has an empty one.
  RecordPage no_link(u"<body><input id=live><span id=a type=0 value=patient.sex></span>");
  EXPECT_EQ(ReadLiveLinks(no_link.document()), std::nullopt);
  RecordPage separators(u"<body><input id=live link=\"///\">");
  EXPECT_EQ(ReadLiveLinks(separators.document()), Ids{});
  RecordPage leading(u"<body><div id=live LINK=\"/a/b\"></div>");
  EXPECT_EQ(ReadLiveLinks(leading.document()), (Ids{u"a", u"b"}));
}

TEST(EmrContentDocument, DataSetIdentifiersOnARecordPage) {
  RecordPage page(LiveRecord());
  // internal_relative_id names the data element; an empty one falls back to the id.
  EXPECT_EQ(ElementIdentifier(page.Element(u"in_time")), u"STD_DE_IN_TIME|2");
  EXPECT_EQ(ElementIdentifier(page.Element(u"STD_DE_INPATIENT_NO|2")), u"STD_DE_INPATIENT_NO|2");
  EXPECT_EQ(ElementIdentifier(page.Element(u"mark_sign")), u"STD_DE_SIGN");
  EXPECT_EQ(ElementIdentifier(page.Element(u"live_name")), u"live_name");
  EXPECT_EQ(ElementIdentifier(nullptr), u"");

  // Only the first six characters count, in any case: "STD_D" is too short.
  std::vector<std::u16string> data_set;
  for (IHTMLElement* element : page.document().All()) {
    const std::u16string identifier = ElementIdentifier(element);
    if (IsDataElementId(identifier)) data_set.push_back(identifier);
  }
  EXPECT_EQ(data_set, (Ids{u"STD_DE_INPATIENT_NO|2", u"STD_DE_IN_TIME|2", u"ext_de_chief_complaint",
                           u"EXT_DE", u"Std_De_Resp", u"STD_DE_DIAGNOSIS", u"STD_DE_SIGN"}));

  // The data elements of the hand-built pages, by their own ids.
  RecordPage admission(ReadEmrPage("foundation/testdata/emr_admission.html"));
  EXPECT_TRUE(IsDataElementId(ElementIdentifier(admission.Element(u"std_de_inpatient_no"))));
  EXPECT_TRUE(IsDataElementId(ElementIdentifier(admission.Element(u"EXT_DE_ALLERGY_Y"))));
  EXPECT_FALSE(IsDataElementId(ElementIdentifier(admission.Element(u"lbl_name"))));
}

TEST(EmrContentDocument, NumberedIdsNameTheirDataElement) {
  EXPECT_EQ(NumberedId(u"STD_DE_INPATIENT_NO", 2), u"STD_DE_INPATIENT_NO|2");
  EXPECT_EQ(NumberedId(u"DS_PROGRESS", 12), u"DS_PROGRESS|12");
  EXPECT_EQ(DataElementOfId(u"STD_DE_INPATIENT_NO|2"), u"STD_DE_INPATIENT_NO");
  EXPECT_EQ(DataElementOfId(u"STD_DE_DIAG|1|3"), u"STD_DE_DIAG");
  EXPECT_EQ(DataElementOfId(u"STD_DE_SIGN"), u"STD_DE_SIGN");
  EXPECT_EQ(DataElementOfId(u"|2"), u"");
  RecordPage page(LiveRecord());
  EXPECT_EQ(GetElementAttribute(page.document().body(), kAttrAutoSerial), u"DS_PROGRESS|2");
}

TEST(EmrContentDocument, DomainBindings) {
  RecordPage page(LiveRecord());
  auto binding = ReadDomainBinding(page.Element(u"live_name"));
  ASSERT_TRUE(binding.has_value());
  EXPECT_EQ(binding->code, 0);
  EXPECT_EQ(binding->key, u"patient.name");
  binding = ReadDomainBinding(page.Element(u"live_dept"));
  ASSERT_TRUE(binding.has_value());
  EXPECT_EQ(binding->code, 1);
  EXPECT_EQ(binding->key, u"residence.in.dept.name");
  // A type that is no number reads as code 0.
  binding = ReadDomainBinding(page.Element(u"live_bed"));
  ASSERT_TRUE(binding.has_value());
  EXPECT_EQ(binding->code, 0);
  // Without a type or a key there is no binding.
  EXPECT_FALSE(ReadDomainBinding(page.Element(u"hospital")).has_value());
  EXPECT_FALSE(ReadDomainBinding(page.Element(u"fee")).has_value());
  EXPECT_FALSE(ReadDomainBinding(page.Element(u"in_time")).has_value());
  EXPECT_FALSE(ReadDomainBinding(nullptr).has_value());

  RecordPage codes(
      u"<body><span id=a type=105 value=emr.x></span><span id=b type=-5 value=k>"
      u"</span><span id=c type=99999999999 value=k></span>");
  EXPECT_EQ(ReadDomainBinding(codes.Element(u"a"))->code, 105);
  EXPECT_EQ(ReadDomainBinding(codes.Element(u"b"))->code, -5);
  EXPECT_EQ(ReadDomainBinding(codes.Element(u"c"))->code, 0);
}

TEST(EmrContentDocument, PromptPlaceholderNeedsExactlyTwoParts) {
  RecordPage page(LiveRecord());
  EXPECT_EQ(PromptPlaceholder(page.Element(u"ext_de_chief")), u"请输入主诉");
  EXPECT_EQ(PromptPlaceholder(page.Element(u"STD_DE_DIAGNOSIS")), u"未填写");
  EXPECT_EQ(PromptPlaceholder(page.Element(u"mark_sign")), u"医师签名");
  // The only "/" at the end or at the start, three parts, or no prompt: no placeholder.
  EXPECT_EQ(PromptPlaceholder(page.Element(u"STD_D_BP")), std::nullopt);
  EXPECT_EQ(PromptPlaceholder(page.Element(u"EXT_DE")), std::nullopt);
  EXPECT_EQ(PromptPlaceholder(page.Element(u"Std_De_Resp")), std::nullopt);
  EXPECT_EQ(PromptPlaceholder(page.Element(u"live_name")), std::nullopt);
  EXPECT_EQ(PromptPlaceholder(nullptr), std::nullopt);

  RecordPage prompts(
      u"<body><span id=none prompt=\"请输入\"></span>"
      u"<span id=skipped prompt=\"/a/b\"></span>"
      u"<span id=empty prompt=\"a//\"></span>");
  EXPECT_EQ(PromptPlaceholder(prompts.Element(u"none")), std::nullopt);
  EXPECT_EQ(PromptPlaceholder(prompts.Element(u"skipped")), u"b");
  // An empty part between two separators is a part.
  EXPECT_EQ(PromptPlaceholder(prompts.Element(u"empty")), u"");
}

TEST(EmrContentDocument, RevisionMarksOfSpans) {
  RecordPage page(LiveRecord());
  std::vector<RevisionMark> marks;
  std::vector<std::u16string> texts;
  for (IHTMLElement* span : page.document().GetElementsByTagName(u"SPAN")) {
    const RevisionMark mark = ReadRevisionMark(span);
    if (mark == RevisionMark::kNone) continue;
    marks.push_back(mark);
    texts.push_back(span->InnerText());
  }
  // "DELETE" wins over "INSERT"; the marks are compared with case.
  EXPECT_EQ(marks, (std::vector<RevisionMark>{RevisionMark::kInserted, RevisionMark::kDeleted,
                                              RevisionMark::kDeleted}));
  EXPECT_EQ(texts, (Ids{u"高血压病史10年，", u"否认", u"糖尿病史"}));

  // Only SPANs carry marks.
  RecordPage other(u"<body><div id=d class=DELETE>x</div><span id=s class=\"x INSERTED\">y</span>");
  EXPECT_EQ(ReadRevisionMark(other.Element(u"d")), RevisionMark::kNone);
  EXPECT_EQ(ReadRevisionMark(other.Element(u"s")), RevisionMark::kInserted);
  EXPECT_EQ(ReadRevisionMark(nullptr), RevisionMark::kNone);
}

TEST(EmrContentDocument, AttributesOfQcCellsXmlAndEmbeddedContent) {
  RecordPage page(LiveRecord());
  IHTMLElement* cell = page.Element(u"td_qc_1");
  EXPECT_EQ(GetElementAttribute(cell, kAttrQLevel), u"2");
  EXPECT_EQ(GetElementAttribute(cell, kAttrQcId), u"17");
  EXPECT_EQ(GetElementAttribute(cell, kAttrQInfo), u"病程记录应在入院后8小时内完成");
  EXPECT_EQ(GetElementAttribute(cell, kAttrXid), u"progress_text");
  IHTMLElement* icd = page.Element(kIcdCodeElementId);
  EXPECT_EQ(GetElementAttribute(icd, kAttrExtandCode1), u"I25.1");
  EXPECT_EQ(GetElementAttribute(icd, kAttrExtandCode2), u"I10");
  EXPECT_EQ(GetElementAttribute(icd, kAttrSplitCode), u",");
  IHTMLElement* image = page.Element(u"tempimage");
  EXPECT_EQ(GetElementAttribute(image, kAttrEncode), u"0");
  EXPECT_EQ(GetElementAttribute(image, kAttrCompress), u"1");
  IHTMLElement* diagnosis = page.Element(u"STD_DE_DIAGNOSIS");
  EXPECT_EQ(GetElementAttribute(diagnosis, kAttrDiagPop), u"1");
  EXPECT_EQ(GetElementAttribute(diagnosis, kAttrDisplayType), u"3");
  EXPECT_EQ(GetElementAttribute(page.Element(u"in_time"), kAttrDate), u"yyyy-mm-dd");
  EXPECT_EQ(GetElementAttribute(page.Element(u"live_sex"), kAttrCode), u"1");
  EXPECT_EQ(GetElementAttribute(page.Element(u"STD_DE_INPATIENT_NO|2"), kAttrName),
            u"STD_DE_INPATIENT_NO");
  EXPECT_EQ(GetElementAttribute(page.Element(u"live_name"), kAttrLive), u"1");
  EXPECT_TRUE(IsMarkElement(page.Element(u"mark_sign")));
  EXPECT_NE(page.document().StyleSheetById(kDefaultStyleSheetId), nullptr);
}

}  // namespace
