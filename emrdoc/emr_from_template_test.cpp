// Records made from templates: serials, numbering of the data set, the refill for the visit,
// order sheets laid out from the HIS orders, and their rebuild at every load.
#include "emrdoc/emr_from_template.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "emrdoc/testing/template_fixture.h"
#include "foundation/codec/blob_text.h"
#include "foundation/calls/emr_error.h"
#include "foundation/suite/factory.h"
#include "foundation/text/string_util.h"
#include "platform/html/document.h"

namespace korvalis::emrdoc::testing {
namespace {

using korvalis::suite::testing::SiblingDoubles;
using korvalis::testing::FailureOf;

// The orders of the HIS double and the style sheet that lays them out: a page long enough for
// the record store to take it as a sheet.
constexpr char16_t kOrders[] =
    u"<root><order><name>阿司匹林肠溶片</name><dose>100mg</dose></order>"
    u"<order><name>硝酸甘油</name><dose>0.5mg</dose></order></root>";
const std::u16string kOrderXsl =
    u"<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
    u"<xsl:output method=\"html\"/><xsl:template match=\"/\"><HTML><BODY><P>" +
    std::u16string(800, u'注') +
    u"</P><TABLE><xsl:for-each select=\"root/order\"><TR><TD><xsl:value-of select=\"name\"/>"
    u"</TD><TD><xsl:value-of select=\"dose\"/></TD></TR></xsl:for-each></TABLE></BODY></HTML>"
    u"</xsl:template></xsl:stylesheet>";

// A page's elements by id, each with its `name`; and the BODY's auto_serial.
struct PageIds {
  std::vector<std::pair<std::u16string, std::u16string>> spans;  // name, id
  std::optional<std::u16string> auto_serial;
};
PageIds ReadPageIds(const std::u16string& page) {
  html::Document document;
  document.Load(page);
  PageIds ids;
  for (const html::Element* span : document.GetElementsByTagName(u"SPAN")) {
    ids.spans.emplace_back(span->GetAttribute(u"name"), span->id());
  }
  if (const std::u16string* serial = document.body()->FindAttribute(u"auto_serial")) {
    ids.auto_serial = *serial;
  }
  return ids;
}

class FromTemplateTest : public TemplateTest {
 protected:
  LONG NextSerial(LONG template_id) {
    com::ScopedBstr patient(u"P1"), event(u"E1");
    return GetNextEmrSerial(&data_source_, template_id, patient.get(), event.get());
  }
  void AddProgressDataSet() {
    AddDataSet("DS_PROGRESS", "0");
    AddDataElement("STD_DE_TIME", "DS_PROGRESS", "记录时间");
    AddDataElement("STD_DE_TEXT", "DS_PROGRESS", "记录内容");
    AddDataElement("STD_DE_NO", "DS_PROGRESS", "序号", 1);
  }
  // A template of EMR type 2 whose first page is a progress note with `body_attributes`.
  void AddProgressTemplate(int id, const std::u16string& body_attributes) {
    AddTemplate({.id = id, .emr_type = 2});
    SetTemplateContent(
        id, 1,
        u"<HTML XMLNS:CUSTOMTAG><HEAD></HEAD><BODY " + body_attributes +
            u"><SPAN name=STD_DE_TIME id=STD_DE_TIME>时</SPAN><SPAN name=STD_DE_TEXT "
            u"id=STD_DE_TEXT>甲</SPAN><SPAN name=STD_DE_TEXT>乙</SPAN><SPAN name=STD_DE_NO "
            u"id=STD_DE_NO>号</SPAN><SPAN name=OTHER id=OTHER>他</SPAN><SPAN id=who type=0 "
            u"value=patient.name></SPAN></BODY></HTML>");
  }
};

TEST_F(FromTemplateTest, TheSerialCountsLiveRecordsOfTheTemplatesTypeInTheVisit) {
  AddTemplate({.id = 2, .emr_type = 2});
  AddTemplate({.id = 3, .emr_type = 2});
  AddTemplate({.id = 4, .emr_type = 5});
  EXPECT_EQ(NextSerial(2), 1);
  AddRecordWithPage("D1", 2, 2, u"");
  Run("UPDATE TELV_EMR_CONTENT SET STATUS = 0 WHERE ID = 'D1'");
  AddRecordWithPage("O1", 4, 5, u"");
  Run("INSERT INTO TELV_EMR_CONTENT (ID, PATIENT_ID, EVENT_NO, TEMPLATE_ID, STATUS) VALUES "
      "('V2', 'P1', 'E2', 2, 1)");
  EXPECT_EQ(NextSerial(2), 1);
  AddRecordWithPage("R1", 3, 2, u"");  // another template of the same type counts
  EXPECT_EQ(NextSerial(2), 2);
  EXPECT_EQ(NextSerial(4), 2);
  EXPECT_EQ(FailureOf([&] { NextSerial(77); }), u"获取模板属性出错:77");
}

TEST_F(FromTemplateTest, TheDataSetIsNumberedButItsSerialDataElements) {
  AddProgressDataSet();
  AddProgressTemplate(2, u"auto_serial=DS_PROGRESS");
  for (const char16_t* serial : {u"1", u"2"}) {
    const PageIds ids = ReadPageIds(Create(2));
    const std::u16string suffix = std::u16string(u"|") + serial;
    EXPECT_EQ(ids.spans, (std::vector<std::pair<std::u16string, std::u16string>>{
                             {u"STD_DE_TIME", u"STD_DE_TIME" + suffix},
                             {u"STD_DE_TEXT", u"STD_DE_TEXT" + suffix},
                             {u"STD_DE_TEXT", u"STD_DE_TEXT" + suffix},
                             {u"STD_DE_NO", u"STD_DE_NO"},
                             {u"OTHER", u"OTHER"},
                             {u"", u"who"}}));
    ASSERT_TRUE(ids.auto_serial);
    EXPECT_EQ(*ids.auto_serial, u"DS_PROGRESS" + suffix);
    AddRecordWithPage(ToUtf8(std::u16string(u"R") + serial), 2, 2, u"");
  }
}

TEST_F(FromTemplateTest, APageWithoutADataSetOrSerialElementIsNotNumbered) {
  AddProgressDataSet();
  AddDataSet("DS_PLAIN", "0");
  AddDataElement("STD_DE_PLAIN", "DS_PLAIN", "记录内容");
  AddProgressTemplate(2, u"leftMargin=20");
  AddProgressTemplate(3, u"auto_serial=DS_PLAIN");
  const PageIds plain = ReadPageIds(Create(2));
  EXPECT_FALSE(plain.auto_serial);
  EXPECT_EQ(plain.spans[0].second, u"STD_DE_TIME");
  const PageIds without_serial = ReadPageIds(Create(3));
  ASSERT_TRUE(without_serial.auto_serial);
  EXPECT_EQ(*without_serial.auto_serial, u"DS_PLAIN");
  EXPECT_EQ(without_serial.spans[1].second, u"STD_DE_TEXT");
}

TEST_F(FromTemplateTest, TheNewPageIsRefilledForTheVisitAndCarriesTheDefaultSheet) {
  SetParameter("system_default_css", "P { }");
  AddProgressTemplate(2, u"");
  const std::u16string page = Create(2);
  EXPECT_EQ(page.rfind(u"<HTML", 0), 0u) << ToUtf8(page);
  EXPECT_NE(page.find(u"value=patient.name>张三</SPAN>"), std::u16string::npos) << ToUtf8(page);
  html::Document document;
  document.Load(page);
  const html::Element* sheet = document.StyleSheetById(u"system_default_css");
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(html::Document::StyleSheetText(*sheet), u"P { }");
  // Template 0 gives the empty page.
  EXPECT_NE(Create(0).find(u"system_default_css"), std::u16string::npos);
  EXPECT_EQ(FailureOf([&] { Create(77); }), u"获取模板属性出错:77");
}

class OrderSheetTest : public TemplateTest {
 protected:
  OrderSheetTest() {
    for (int type : {30, 31}) {
      AddTemplate({.id = type, .emr_type = type});
      SetTemplateContent(type, 2, kOrderXsl);
    }
  }
  // The HIS double's answers are queued, so each case gives its own.
  void AnswerOrders(const std::u16string& long_term = kOrders) {
    doubles_.Answer(IID_IHISPatientInfo, kGetLongTermOrders, long_term);
    doubles_.Answer(IID_IHISPatientInfo, kGetTemporaryOrders,
                    u"<root><order><name>临时</name></order></root>");
  }
  std::u16string Sheet(LONG type) {
    com::ScopedBstr patient(u"P1"), event(u"E1"), sheet;
    BuildOrderSheetContent(&data_source_, type, type, patient.get(), event.get(), sheet.out());
    return sheet.text();
  }
  std::u16string SheetFailure(LONG type) {
    return FailureOf([&] { Sheet(type); });
  }
};

TEST_F(OrderSheetTest, AVisitKeptOutsideTheHisStartsEmptyOthersAskTheHis) {
  AnswerOrders();
  EXPECT_EQ(Sheet(30), u"");
  EXPECT_TRUE(doubles_.Calls(IID_IHISPatientInfo).empty());
  for (const char* flag : {"1", "2", "NULL"}) {
    SetVisit(flag);
    doubles_.ClearCalls();
    EXPECT_NE(Sheet(30).find(u"<TD>阿司匹林肠溶片</TD>"), std::u16string::npos) << flag;
    EXPECT_NE(Sheet(31).find(u"<TD>临时</TD>"), std::u16string::npos);
    const std::vector<suite::testing::SiblingCall> calls = doubles_.Calls(IID_IHISPatientInfo);
    ASSERT_EQ(calls.size(), 2u) << flag;
    EXPECT_EQ(calls[0].slot, kGetLongTermOrders);
    EXPECT_EQ(calls[1].slot, kGetTemporaryOrders);
    EXPECT_EQ(calls[0].args, (std::vector<std::u16string>{u"P1", u"E1"}));
  }
}

TEST_F(OrderSheetTest, EmptyOrdersOrAnEmptyStyleSheetGiveAnEmptySheet) {
  SetVisit("1");
  AnswerOrders(u"");
  EXPECT_EQ(Sheet(30), u"");
  SetTemplateContent(31, 2, u"");
  EXPECT_EQ(Sheet(31), u"");
}

TEST_F(OrderSheetTest, OrdersOrAStyleSheetThatDoNotLoadFailTheLayout) {
  SetVisit("1");
  AnswerOrders(u"<root><order>");
  EXPECT_EQ(SheetFailure(30), kOrderSheetLayoutFailedMessage);
  SetTemplateContent(31, 2, u"<xsl:stylesheet");
  EXPECT_EQ(SheetFailure(31), kOrderSheetLayoutFailedMessage);
}

TEST_F(OrderSheetTest, AFailingHisCarriesItsDescription) {
  SetVisit("1");
  doubles_.Fail(IID_IHISPatientInfo, kGetLongTermOrders, E_FAIL, u"HIS医嘱服务不可用");
  EXPECT_EQ(SheetFailure(30), u"HIS医嘱服务不可用");
  doubles_.Fail(IID_IHISPatientInfo, kGetLongTermOrders, E_FAIL);
  EXPECT_EQ(SheetFailure(30), kUnknownSystemError);
  doubles_.Unregister(SiblingDoubles::DoubleClass(IID_IHISPatientInfo));
  EXPECT_EQ(SheetFailure(31), kCreateComponentError);
}

TEST_F(OrderSheetTest, ANewOrderSheetIsTheLaidOutOrdersWithTheDefaultSheet) {
  SetVisit("1");
  AnswerOrders();
  SetParameter("system_default_css", "TD { }");
  const std::u16string page = Create(30);
  EXPECT_NE(page.find(u"<TD>硝酸甘油</TD>"), std::u16string::npos) << ToUtf8(page);
  EXPECT_NE(page.find(u"TD { }"), std::u16string::npos) << ToUtf8(page);
}

// The rebuild of an order sheet at every load.
class OrderSheetLoadTest : public OrderSheetTest {
 protected:
  OrderSheetLoadTest() {
    AddRecordWithPage("S1", 30, 30, kStoredSheet);
    AddTemplate({.id = 2, .emr_type = 2});
  }
  std::u16string StoredText(const std::u16string& id) {
    const std::u16string compression = Column(id, u"COMPRESSION");
    return korvalis::ReadBlobText(data_source_,
                                  u"SELECT CONTENT FROM TELV_EMR_CONTENT WHERE ID = '" + id + u"'",
                                  ::StringToInt(compression), 0);
  }
  bool RefusalLogged() {
    for (const auto& record : events_.Records()) {
      if (record.type == CEventLogEntry::kError &&
          record.text.find(kEmrContentRefusedMessage) != std::u16string::npos) {
        return true;
      }
    }
    return false;
  }

  // As the HTML engine writes it, so that a load that refreshes it reads the same.
  const std::u16string kStoredSheet = Page(900, 500);
};

TEST_F(OrderSheetLoadTest, ASheetOfAVisitInTheHisIsRebuiltStoredAndReadBack) {
  SetVisit("1");
  AnswerOrders();
  SetSwitches("1", "0");
  Run("UPDATE TELV_EMR_CONTENT SET XML = '<old/>' WHERE ID = 'S1'");
  const std::u16string loaded = Load(u"S1");
  EXPECT_NE(loaded.find(u"<TD>阿司匹林肠溶片</TD>"), std::u16string::npos) << ToUtf8(loaded);
  EXPECT_EQ(StoredText(u"S1"), loaded);
  EXPECT_EQ(Column(u"S1", u"COMPRESSION"), u"1");  // read again after the rebuild
  EXPECT_EQ(Column(u"S1", u"MODIFY_DATE"), kNow);
  EXPECT_EQ(Column(u"S1", u"XML"), u"");
  EXPECT_EQ(Column(u"S1", u"MODIFIOR"), u"");
}

TEST_F(OrderSheetLoadTest, VisitsOutsideTheHisOrWithoutARowAndOtherTypesAreLeftAlone) {
  EXPECT_EQ(Load(u"S1"), kStoredSheet);  // RESIDENCE_FLAG "0"
  Run("DELETE FROM TELV_VISIT_RECORD");
  EXPECT_EQ(Load(u"S1"), kStoredSheet);
  Run(VisitInsertSql({.residence_flag = "1"}));
  AddRecordWithPage("N1", 2, 2, kStoredSheet);
  EXPECT_EQ(Load(u"N1"), kStoredSheet);
  EXPECT_TRUE(doubles_.Calls(IID_IHISPatientInfo).empty());
  EXPECT_EQ(Column(u"S1", u"MODIFY_DATE"), u"");
}

TEST_F(OrderSheetLoadTest, AnEmptyOrRefusedRebuildLeavesTheStoredSheetReadable) {
  SetVisit("1");
  AnswerOrders(u"");
  EXPECT_EQ(Load(u"S1"), kStoredSheet);
  EXPECT_TRUE(RefusalLogged());
  // A laid-out sheet too short for the record store.
  events_.Clear();
  SetTemplateContent(30, 2,
                     u"<xsl:stylesheet version=\"1.0\" "
                     u"xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\"><xsl:template "
                     u"match=\"/\"><HTML><BODY>短</BODY></HTML></xsl:template></xsl:stylesheet>");
  AnswerOrders();
  EXPECT_EQ(Load(u"S1"), kStoredSheet);
  EXPECT_TRUE(RefusalLogged());
  EXPECT_EQ(Column(u"S1", u"MODIFY_DATE"), u"");
}

TEST_F(OrderSheetLoadTest, AFailingHisFailsTheLoad) {
  SetVisit("1");
  doubles_.Fail(IID_IHISPatientInfo, kGetLongTermOrders, E_FAIL, u"HIS医嘱服务不可用");
  EXPECT_EQ(FailureOf([&] { Load(u"S1"); }), u"HIS医嘱服务不可用");
  EXPECT_EQ(StoredText(u"S1"), kStoredSheet);
}

}  // namespace
}  // namespace korvalis::emrdoc::testing
