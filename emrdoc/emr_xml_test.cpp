// The record XML: which records have one, the frame filled from the page (first `xid` wins,
// revision marks, SUP and SUB kept as text, the ICD codes), the cache in the record's row, order
// sheets from the HIS and the conversion's failures.
#include "emrdoc/emr_xml.h"

#include <gtest/gtest.h>

#include <string>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNodeList.hpp>

#include "emrdoc/testing/template_fixture.h"
#include "foundation/codec/blob_text.h"
#include "foundation/xml/dom_elements.h"
#include "foundation/calls/emr_error.h"
#include "foundation/suite/factory.h"
#include "foundation/xml/xml_parser.h"

namespace korvalis::emrdoc::testing {
namespace {

using korvalis::suite::testing::SiblingDoubles;
using korvalis::testing::FailureOf;

constexpr char16_t kFrame[] =
    u"<?xml version=\"1.0\"?><emr><patient><name xid=\"name\">框架姓名</name>"
    u"<complaint xid=\"complaint\"/><history xid=\"history\">框架病史</history></patient>"
    u"<diagnosis xid=\"diag\"><icd>框架编码</icd></diagnosis><lab xid=\"lab\"/>"
    u"<other xid=\"\">空标识</other></emr>";

// A page with every kind of element the frame reads.
constexpr char16_t kPage[] =
    u"<HTML XMLNS:CUSTOMTAG><HEAD></HEAD><BODY><P>姓名：<SPAN xid=name>张三</SPAN></P>"
    u"<P><SPAN xid=name>李四</SPAN></P>"
    u"<P xid=complaint>胸痛<SPAN class=DELETE>三</SPAN><SPAN class=\"rev INSERT\">两</SPAN>天"
    u"</P><DIV><SPAN id=icd.code xid=diag extandcode1=I20.0 extandcode2=I20 "
    u"splitcode=\",\">不稳定型心绞痛</SPAN></DIV>"
    u"<P xid=lab>CO<SUB>2</SUB> 45 mmHg，体表面积 1.8 m<SUP>2</SUP>，<sup>3</sup>，"
    u"<SUP class=x>4</SUP></P>"
    u"</BODY></HTML>";

// The XML's element `name` (the first of that name): its text and attributes.
struct XmlElement {
  std::u16string text;
  std::u16string extandcode1, extandcode2, splitcode;
};
XmlElement ReadElement(const std::u16string& xml, const char16_t* name) {
  CXmlStringParser parser(xml);
  const xercesc::DOMDocument* document = parser.GetDocument();
  if (document == nullptr) return {u"(not XML)", {}, {}, {}};
  const auto* element =
      static_cast<const xercesc::DOMElement*>(document->getElementsByTagName(name)->item(0));
  if (element == nullptr) return {u"(missing)", {}, {}, {}};
  return {TextContent(element), ElementAttribute(element, u"extandcode1"),
          ElementAttribute(element, u"extandcode2"), ElementAttribute(element, u"splitcode")};
}

class EmrXmlTest : public TemplateTest {
 protected:
  EmrXmlTest() {
    AddTemplate({.id = 2, .emr_type = 2});
    SetTemplateContent(2, 2, kFrame);
  }
  std::u16string CachedXml(const std::u16string& id) {
    return ReadBlobText(data_source_, XmlStatement(id));
  }
  static std::u16string XmlStatement(const std::u16string& id) {
    return u"SELECT XML FROM TELV_EMR_CONTENT WHERE ID = '" + id + u"'";
  }
  std::u16string Convert(LONG template_id, const std::u16string& id) {
    com::ScopedBstr emr_id(id), xml;
    ConvertEmrContentToXml(&data_source_, template_id, emr_id.get(), xml.out());
    return xml.text();
  }
};

TEST_F(EmrXmlTest, TheFrameIsFilledFromThePage) {
  AddRecordWithPage("R1", 2, 2, kPage);
  const std::u16string xml = EmrXml(u"R1");
  EXPECT_EQ(xml.rfind(u"<?xml", 0), 0u) << ToUtf8(xml);
  EXPECT_EQ(ReadElement(xml, u"name").text, u"张三");  // the first of two elements wins
  EXPECT_EQ(ReadElement(xml, u"complaint").text, u"胸痛两天");
  EXPECT_EQ(ReadElement(xml, u"history").text, u"框架病史");  // not on the page
  EXPECT_EQ(ReadElement(xml, u"other").text, u"空标识");
  const XmlElement diagnosis = ReadElement(xml, u"diagnosis");
  EXPECT_EQ(diagnosis.text, u"不稳定型心绞痛");  // its content replaced
  EXPECT_EQ(diagnosis.extandcode1, u"I20.0");
  EXPECT_EQ(diagnosis.extandcode2, u"I20");
  EXPECT_EQ(diagnosis.splitcode, u",");
  // The tag pairs stay as text (the page's engine writes every tag in upper case); an opening
  // tag with attributes is not matched, its closing tag is.
  EXPECT_EQ(ReadElement(xml, u"lab").text,
            u"CO<SUB>2</SUB> 45 mmHg，体表面积 1.8 m<SUP>2</SUP>，<SUP>3</SUP>，4</SUP>");
  EXPECT_NE(xml.find(u"&lt;SUP&gt;2&lt;/SUP&gt;"), std::u16string::npos);
  // Only the element of id "icd.code" carries codes.
  EXPECT_EQ(ReadElement(xml, u"name").extandcode1, u"");
}

TEST_F(EmrXmlTest, TheXmlIsCachedUntilTheContentChanges) {
  AddRecordWithPage("R1", 2, 2, kPage);
  const std::u16string xml = EmrXml(u"R1");
  EXPECT_EQ(CachedXml(u"R1"), xml);
  WriteBlobText(data_source_, XmlStatement(u"R1"), u"<cached/>");
  EXPECT_EQ(EmrXml(u"R1"), u"<cached/>");
  Update(u"R1", Page(1000, 600, u"<BODY><SPAN xid=name>王五</SPAN>"));
  EXPECT_EQ(Column(u"R1", u"XML"), u"");
  EXPECT_EQ(ReadElement(EmrXml(u"R1"), u"name").text, u"王五");
  EXPECT_EQ(ReadElement(CachedXml(u"R1"), u"name").text, u"王五");
}

TEST_F(EmrXmlTest, RecordsWithoutXmlAnswerEmptyAndStoreNothing) {
  AddRecordWithPage("S3", 2, 2, kPage);
  Run("UPDATE TELV_EMR_CONTENT SET STATUS = 3 WHERE ID = 'S3'");
  AddRecordWithPage("T0", 0, 2, kPage);
  for (int type : {20, 21}) {
    AddTemplate({.id = type, .emr_type = type});
    SetTemplateContent(type, 2, kFrame);
    AddRecordWithPage("N" + std::to_string(type), type, type, kPage);
  }
  AddRecordWithPage("X9", 9, 2, kPage);  // its template has no row
  for (const char16_t* id : {u"S3", u"T0", u"N20", u"N21", u"X9"}) {
    EXPECT_EQ(EmrXml(id), u"") << ToUtf8(id);
    EXPECT_EQ(Column(id, u"XML"), u"") << ToUtf8(id);
  }
  // The data source reports the missing row in the event log and fails with its message.
  EXPECT_EQ(FailureOf([&] { EmrXml(u"none"); }), kDatabaseErrorMessage);
  bool logged = false;
  for (const auto& record : events_.Records()) {
    logged |= record.text.find(
                  u"没有找到数据: SELECT XML FROM TELV_EMR_CONTENT WHERE ID = "
                  u"'none'") != std::u16string::npos;
  }
  EXPECT_TRUE(logged);
}

TEST_F(EmrXmlTest, AMissingOrMalformedFrameOrContentFailsTheConversion) {
  AddRecordWithPage("R1", 2, 2, kPage);
  AddTemplate({.id = 3, .emr_type = 2});
  SetTemplateContent(3, 2, u"");
  EXPECT_EQ(FailureOf([&] { Convert(3, u"R1"); }), kNoXmlFrameMessage);
  SetTemplateContent(3, 2, u"<emr><name xid=\"name\"></emr>");
  EXPECT_EQ(FailureOf([&] { Convert(3, u"R1"); }), kInvalidXmlFrameMessage);
  SetTemplateContent(3, 2, u"<!-- no element -->");
  EXPECT_EQ(FailureOf([&] { Convert(3, u"R1"); }), kInvalidXmlFrameMessage);
  Run("UPDATE TELV_EMR_CONTENT SET STATUS = 0 WHERE ID = 'R1'");
  EXPECT_EQ(FailureOf([&] { Convert(2, u"R1"); }), kEmrContentFailedMessage);
  EXPECT_EQ(FailureOf([&] { Convert(9, u"R1"); }), u"获取模板属性出错:9");
  // A record whose conversion fails is converted again at the next request.
  Run("UPDATE TELV_EMR_CONTENT SET STATUS = 1, TEMPLATE_ID = 3 WHERE ID = 'R1'");
  EXPECT_EQ(EmrXml(u"R1"), u"");
  SetTemplateContent(3, 2, kFrame);
  EXPECT_EQ(ReadElement(EmrXml(u"R1"), u"name").text, u"张三");
}

TEST_F(EmrXmlTest, AnEmptyPageLeavesTheFramesOwnTexts) {
  AddRecordWithPage("R1", 2, 2, u"");
  EXPECT_EQ(ReadElement(EmrXml(u"R1"), u"history").text, u"框架病史");
}

TEST_F(EmrXmlTest, OrderSheetsTakeTheHisDocumentWhileTheVisitIsInTheHis) {
  AddTemplate({.id = 30, .emr_type = 30});
  AddTemplate({.id = 31, .emr_type = 31});
  AddRecordWithPage("L1", 30, 30, u"");
  AddRecordWithPage("T1", 31, 31, u"");
  constexpr char16_t kLongTerm[] = u"<root><order>阿司匹林</order></root>";
  doubles_.Answer(IID_IHISPatientInfo, kGetLongTermOrders, kLongTerm);
  doubles_.Answer(IID_IHISPatientInfo, kGetTemporaryOrders, u"<root><order>临时</order></root>");
  for (const char* flag : {"0", "2"}) {
    SetVisit(flag);
    EXPECT_EQ(EmrXml(u"L1"), u"") << flag;
  }
  EXPECT_TRUE(doubles_.Calls(IID_IHISPatientInfo).empty());
  SetVisit("1");
  EXPECT_EQ(EmrXml(u"L1"), kLongTerm);
  EXPECT_EQ(EmrXml(u"T1"), u"<root><order>临时</order></root>");
  EXPECT_EQ(CachedXml(u"L1"), kLongTerm);
  const std::vector<suite::testing::SiblingCall> calls = doubles_.Calls(IID_IHISPatientInfo);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].args, (std::vector<std::u16string>{u"P1", u"E1"}));

  doubles_.Fail(IID_IHISPatientInfo, kGetTemporaryOrders, E_FAIL, u"HIS不可用");
  EXPECT_EQ(FailureOf([&] { Convert(31, u"T1"); }), kOrderSheetXmlFailedMessage);
  EXPECT_EQ(CEMRRemoteError().GetError(), kUnknownSystemError);  // not left to later readers
  doubles_.Unregister(SiblingDoubles::DoubleClass(IID_IHISPatientInfo));
  EXPECT_EQ(FailureOf([&] { Convert(31, u"T1"); }), kCreateComponentError);
}

TEST(EscapeAngleBrackets, OnlyExactTagPairsBecomeText) {
  std::u16string html = u"<SUP>1</SUP><SUP class=a>2</SUP><sup>3</sup><SUPER>4</SUPER></SUP>";
  EscapeAngleBrackets(html, u"sup");
  EXPECT_EQ(html,
            u"&lt;SUP&gt;1&lt;/SUP&gt;<SUP class=a>2&lt;/SUP&gt;<sup>3</sup><SUPER>4</SUPER>"
            u"&lt;/SUP&gt;");
}

}  // namespace
}  // namespace korvalis::emrdoc::testing
