// The live-link refresh and the refill of record documents, on real pages and the patient and
// residence domains.
#include "emrdoc/live_data_refresh.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "emrdoc/testing/std_data_set_fixture.h"
#include "foundation/testing/emr_exception_test_util.h"
#include "foundation/testing/emr_pages.h"
#include "foundation/xml/xhtml_document.h"

namespace {

using korvalis::com::ScopedBstr;
using korvalis::emrdoc::testing::StdDataSetTest;
using korvalis::testing::FailureOf;
using korvalis::testing::ReadEmrPage;

class LiveDataRefreshTest : public StdDataSetTest {
 protected:
  LiveDataRefreshTest() {
    AddPatientVisit();
    AddDataSet("DS_VISIT", "0");
  }

  void LoadBody(const std::u16string& body) {
    document_.Load(u"<HTML XMLNS:CUSTOMTAG><BODY>" + body + u"</BODY></HTML>");
  }
  IHTMLElement* Element(const std::u16string& id) {
    std::shared_ptr<IHTMLDocument2> html;
    document_.GetDocument(&html);
    return html->GetElementById(id);
  }
  std::u16string Inner(const std::u16string& id) { return Element(id)->InnerHtml(); }
  std::u16string Html() {
    std::u16string html;
    document_.GetHtml(html);
    return html;
  }

  bool RefreshLive() {
    ScopedBstr emr(u"R1"), patient(u"P1"), event(u"E1");
    return RefreshLiveLinks(nullptr, emr.get(), patient.get(), event.get(), document_);
  }
  // The record store's load-time refill.
  void RefillAtLoad(bool keep_data_set_values = false) {
    ScopedBstr patient(u"P1"), event(u"E1");
    RefillDataElements(&data_source_, document_, patient.get(), event.get(), keep_data_set_values,
                       true, 0);
  }
  void RefillCreating() {
    ScopedBstr patient(u"P1"), event(u"E1");
    RefillDataElementsForVisit(&data_source_, document_, patient.get(), event.get());
  }

  XHTMLDocument document_;
};

TEST_F(LiveDataRefreshTest, LiveLinksOfARecordPage) {
  document_.Load(ReadEmrPage("emrdoc/testdata/emr_live_record.html"));
  const std::u16string before = Html();
  EXPECT_TRUE(RefreshLive());
  EXPECT_EQ(Inner(u"live_name"), u"张三");
  EXPECT_EQ(Inner(u"live_sex"), u"男");
  // A key the domain does not hold empties the element.
  EXPECT_EQ(Inner(u"live_dept"), u"");
  // Elements not listed, and the data-set elements, are not touched.
  EXPECT_EQ(Inner(u"live_bed"), u"12");
  EXPECT_EQ(Inner(u"in_time"), u"2026-12-01");
  // Nothing else changed: restoring the three values gives the page as it was.
  Element(u"live_name")->SetInnerHtml(u"张三");
  Element(u"live_dept")->SetInnerHtml(u"心血管内科");
  EXPECT_EQ(Html(), before);
}

TEST_F(LiveDataRefreshTest, ALiveListOfSeparatorsOnlyRefreshesNothingAndCounts) {
  LoadBody(
      u"<INPUT type=hidden id=live link=\"//\"><SPAN id=a type=0 value=patient.name>旧</SPAN>");
  const std::u16string before = Html();
  EXPECT_TRUE(RefreshLive());
  EXPECT_EQ(Html(), before);
  // Without a live element, or without its link, there are no live links.
  LoadBody(u"<SPAN id=a type=0 value=patient.name>旧</SPAN>");
  EXPECT_FALSE(RefreshLive());
  LoadBody(u"<INPUT id=live><SPAN id=a type=0 value=patient.name>旧</SPAN>");
  EXPECT_FALSE(RefreshLive());
  EXPECT_EQ(Inner(u"a"), u"旧");
  // Only the first element of id "live" lists; listed elements need `type` and `value`.
  LoadBody(
      u"<INPUT id=live link=\"a/b\"><INPUT id=live link=\"c\"><SPAN id=a type=0>旧</SPAN>"
      u"<SPAN id=b type=\"\" value=patient.name>旧</SPAN><SPAN id=c type=0 value=patient.name>"
      u"旧</SPAN>");
  EXPECT_TRUE(RefreshLive());
  EXPECT_EQ(Inner(u"a"), u"旧");
  EXPECT_EQ(Inner(u"b"), u"张三");  // an empty type reads as code 0
  EXPECT_EQ(Inner(u"c"), u"旧");
}

TEST_F(LiveDataRefreshTest, AtLoadLiveDataSetElementsKeepTheirContent) {
  AddStoredValue({.node = "STD_DE_NAME", .value = "李雷", .code = "N"});
  const std::u16string page =
      u"<SPAN id=STD_DE_NAME live=1>旧1</SPAN><SPAN id=b internal_relative_id=STD_DE_NAME "
      u"live=0>旧0</SPAN><SPAN id=c internal_relative_id=STD_DE_NAME live=2>旧2</SPAN>"
      u"<SPAN id=d internal_relative_id=\"\">旧</SPAN>";
  LoadBody(page);
  RefillAtLoad();
  EXPECT_EQ(Inner(u"STD_DE_NAME"), u"旧1");
  EXPECT_EQ(Inner(u"b"), u"旧0");
  EXPECT_EQ(Inner(u"c"), u"李雷");
  EXPECT_EQ(Element(u"c")->GetAttribute(u"code"), u"N");
  EXPECT_EQ(Inner(u"d"), u"旧");
  // The same elements are filled when the record is created.
  LoadBody(page);
  RefillCreating();
  EXPECT_EQ(Inner(u"STD_DE_NAME"), u"李雷");
  EXPECT_EQ(Inner(u"b"), u"李雷");
}

TEST_F(LiveDataRefreshTest, SignedRecordsKeepDataSetValuesButRefreshLiveDomains) {
  AddStoredValue({.node = "STD_DE_NAME", .value = "李雷"});
  const std::u16string page =
      u"<SPAN id=STD_DE_NAME>旧</SPAN><SPAN id=live1 type=0 value=patient.name live=1>旧</SPAN>"
      u"<SPAN id=live0 type=0 value=patient.name live=0>旧</SPAN>"
      u"<SPAN id=nolive type=1 value=residence.in.dept>旧</SPAN>"
      u"<SPAN id=nokey type=0 live=1>旧</SPAN><SPAN id=notype value=patient.name live=1>旧</SPAN>";
  LoadBody(page);
  RefillAtLoad(true);
  EXPECT_EQ(Inner(u"STD_DE_NAME"), u"旧");
  EXPECT_EQ(Inner(u"live1"), u"张三");
  EXPECT_EQ(Inner(u"live0"), u"旧");
  EXPECT_EQ(Inner(u"nolive"), u"旧");
  EXPECT_EQ(Inner(u"nokey"), u"旧");
  EXPECT_EQ(Inner(u"notype"), u"旧");
  // Created, every bound element is filled.
  LoadBody(page);
  RefillCreating();
  EXPECT_EQ(Inner(u"STD_DE_NAME"), u"李雷");
  EXPECT_EQ(Inner(u"live0"), u"张三");
  EXPECT_EQ(Inner(u"nolive"), u"心血管内科");
  EXPECT_EQ(Inner(u"nokey"), u"旧");
}

TEST_F(LiveDataRefreshTest, CodesMarksAndPlaceholders) {
  AddStoredValue({.node = "STD_DE_SEX", .value = "男", .code = "1"});
  AddStoredValue({.node = "STD_DE_NOCODE", .value = "无码"});
  AddStoredValue({.node = "STD_DE_SIGN", .value = "李四", .code = "D001"});
  AddStoredValue({.node = "STD_DE_QUOTE", .value = "引", .code = "a\"b<c'&"});
  LoadBody(
      u"<SPAN id=STD_DE_SEX displaytype=1>旧</SPAN>"
      u"<SPAN id=nocode internal_relative_id=STD_DE_NOCODE displaytype=1>旧</SPAN>"
      u"<CUSTOMTAG:MARK id=mark internal_relative_id=STD_DE_SIGN prompt=\"签名/医师签名\">x"
      u"</CUSTOMTAG:MARK><CUSTOMTAG:MARK id=bare internal_relative_id=STD_DE_SIGN>x"
      u"</CUSTOMTAG:MARK><CUSTOMTAG:MARK id=empty internal_relative_id=STD_DE_NONE "
      u"prompt=\"签名/未签\">x</CUSTOMTAG:MARK><SPAN id=STD_DE_QUOTE>旧</SPAN>");
  RefillCreating();
  // displaytype "1": the code is shown and `code` keeps the value; without a code, left.
  EXPECT_EQ(Inner(u"STD_DE_SEX"), u"1");
  EXPECT_EQ(Element(u"STD_DE_SEX")->GetAttribute(u"code"), u"男");
  EXPECT_EQ(Inner(u"nocode"), u"旧");
  EXPECT_FALSE(Element(u"nocode")->HasAttribute(u"code"));
  // A MARK receives the code and shows its placeholder, or nothing, but never the value.
  EXPECT_EQ(Inner(u"mark"), u"医师签名");
  EXPECT_EQ(Element(u"mark")->GetAttribute(u"code"), u"D001");
  EXPECT_EQ(Inner(u"bare"), u"");
  EXPECT_EQ(Inner(u"empty"), u"未签");
  // A code holding markup characters is written as an attribute value and reads back whole.
  XHTMLDocument reloaded;
  reloaded.Load(Html());
  std::shared_ptr<IHTMLDocument2> html;
  reloaded.GetDocument(&html);
  EXPECT_EQ(html->GetElementById(u"STD_DE_QUOTE")->GetAttribute(u"code"), u"a\"b<c'&");
  EXPECT_EQ(html->GetElementById(u"STD_DE_QUOTE")->InnerHtml(), u"引");
}

TEST_F(LiveDataRefreshTest, DatesAreShownInTheElementsPattern) {
  AddStoredValue({.node = "STD_DE_BAD_DATE", .value = "不详"});
  LoadBody(
      u"<SPAN id=in type=1 value=residence.in.time date=yyyy年mm月dd日>旧</SPAN>"
      u"<SPAN id=raw type=1 value=residence.in.time>旧</SPAN>"
      u"<SPAN id=odd type=1 value=residence.in.time date=\"no pattern\">旧</SPAN>"
      u"<SPAN id=STD_DE_BAD_DATE date=yyyy-mm-dd>旧</SPAN>");
  RefillCreating();
  EXPECT_EQ(Inner(u"in"), u"2009年03月01日");
  EXPECT_EQ(Inner(u"raw"), u"2009-03-01 08:30");
  EXPECT_EQ(Inner(u"odd"), u"2009-03-01 08:30:00");
  EXPECT_EQ(Inner(u"STD_DE_BAD_DATE"), u"不详");
}

TEST_F(LiveDataRefreshTest, ValuesAreSetAsMarkup) {
  Run("UPDATE TELV_PATIENT SET ADDRESS = '示例市<P>示例路1号</P>' WHERE ID = 'P1'");
  AddStoredValue({.node = "STD_DE_TEXT", .value = "第一行<BR>第二行"});
  LoadBody(u"<DIV id=address type=0 value=patient.address>旧</DIV><DIV id=STD_DE_TEXT>旧</DIV>");
  RefillCreating();
  EXPECT_EQ(Inner(u"address"), u"示例市<P>示例路1号</P>");
  EXPECT_EQ(Element(u"address")->children().size(), 2u);
  EXPECT_EQ(Inner(u"STD_DE_TEXT"), u"第一行<BR>第二行");
}

TEST_F(LiveDataRefreshTest, DiagnosisListsByDisplayType) {
  AddDiagnoses();
  LoadBody(
      u"<DIV id=d3 internal_relative_id=\"STD_DE_DIAG_NAME|2\" diagpop=1 displaytype=3>旧</DIV>"
      u"<SPAN id=d2 internal_relative_id=\"STD_DE_DIAG_NAME|2\" diagpop=1 displaytype=2>旧</SPAN>"
      u"<SPAN id=one internal_relative_id=\"STD_DE_DIAG_NAME|2|1\" diagpop=1>旧</SPAN>"
      u"<SPAN id=numbered internal_relative_id=\"STD_DE_DIAG_NAME|3\" diagpop=1>旧</SPAN>");
  RefillCreating();
  // (A paragraph ends where the next begins.)
  EXPECT_EQ(Inner(u"d3"),
            u"<P>1.右侧股骨骨折</P><P>&nbsp;&nbsp;骨折术后</P><P>2.高血压病&lt;3级&gt;</P>");
  EXPECT_EQ(Inner(u"d2"), u"1.右侧股骨骨折，骨折术后；2.高血压病&lt;3级&gt;；");
  // A serial-qualified diagnosis shows its one value.
  EXPECT_EQ(Inner(u"one"), u"右侧股骨骨折");
  // The numbered id of a new record's element has no definition: left as it is.
  EXPECT_EQ(Inner(u"numbered"), u"旧");
}

TEST_F(LiveDataRefreshTest, ACellFilledWithNothingShowsNoPlaceholder) {
  AddDiagnoses();
  Run("DELETE FROM TELV_PATIENT_DIAGNOSIS");
  LoadBody(
      u"<TABLE><TR><TD id=cell internal_relative_id=\"STD_DE_DIAG_NAME|2\" diagpop=1 "
      u"prompt=\"诊断/未填写\">旧</TD></TR></TABLE>"
      u"<DIV id=div internal_relative_id=\"STD_DE_DIAG_NAME|2\" diagpop=1 "
      u"prompt=\"诊断/未填写\">旧</DIV>");
  RefillCreating();
  EXPECT_EQ(Inner(u"cell"), u"");
  EXPECT_EQ(Inner(u"div"), u"未填写");
}

TEST_F(LiveDataRefreshTest, WithoutADiagnosisConfigurationTheNameIsAnyElement) {
  AddStoredValue({.node = "STD_DE_DIAG_NAME|2", .value = "存的诊断"});
  LoadBody(
      u"<DIV id=d internal_relative_id=\"STD_DE_DIAG_NAME|2\" diagpop=1 displaytype=3>旧</DIV>");
  RefillCreating();
  EXPECT_EQ(Inner(u"d"), u"存的诊断");
}

TEST_F(LiveDataRefreshTest, AValueDocumentThatIsNotWellFormedEndsTheRefill) {
  AddStoredValue({.node = "STD_DE_CTRL", .value = "坏\x01值"});
  AddStoredValue({.node = "STD_DE_AFTER", .value = "后值"});
  AddStoredValue({.node = "STD_DE_BEFORE", .value = "前值"});
  LoadBody(
      u"<SPAN id=STD_DE_BEFORE>旧</SPAN><SPAN id=STD_DE_CTRL>旧</SPAN>"
      u"<SPAN id=STD_DE_AFTER>旧</SPAN>");
  EXPECT_EQ(FailureOf([&] { RefillCreating(); }), u"无效XML!");
  // The walk runs from the last element: the one after it was written, the one before not.
  EXPECT_EQ(Inner(u"STD_DE_AFTER"), u"后值");
  EXPECT_EQ(Inner(u"STD_DE_CTRL"), u"旧");
  EXPECT_EQ(Inner(u"STD_DE_BEFORE"), u"旧");
}

TEST_F(LiveDataRefreshTest, RefreshEmrElementsChangesOnlyWhatItFills) {
  AddStoredValue({.node = "STD_DE_PATIENT_NAME", .value = "李雷", .code = "N1"});
  const std::u16string page = ReadEmrPage("foundation/testdata/emr_admission.html");
  ScopedBstr patient(u"P1"), event(u"E1");
  BSTR html = korvalis::AllocBstr(page);
  EXPECT_EQ(RefreshEmrElements(&data_source_, patient.get(), event.get(), &html), 0);
  const ScopedBstr refreshed(korvalis::BstrView(html));
  SysFreeString(html);

  document_.Load(page);
  Element(u"STD_DE_PATIENT_NAME")->SetInnerHtml(u"李雷");
  Element(u"STD_DE_PATIENT_NAME")->SetAttribute(u"code", u"N1");
  EXPECT_EQ(refreshed.text(), Html());
  EXPECT_NE(refreshed.text().find(u"<CUSTOMTAG:MARK id=mark_1 type=sign user=0102>"),
            std::u16string::npos);
}

}  // namespace
