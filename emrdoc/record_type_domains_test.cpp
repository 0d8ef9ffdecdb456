// The record-type domains over records of the embedded database, asked through the registry.
#include "emrdoc/record_type_domains.h"

#include <gtest/gtest.h>

#include <string>

#include "emrdoc/domain_manager.h"
#include "emrdoc/testing/domain_lookup.h"
#include "emrdoc/testing/template_fixture.h"

namespace {

using korvalis::FromUtf8;
using korvalis::emrdoc::testing::TemplateTest;

constexpr int kResidenceEmrDomainCode = 5;
constexpr int kFirstRecordDomainCode = 8;

class RecordTypeDomainsTest : public TemplateTest {
 protected:
  std::u16string Ask(CBDomainManager& registry, int code, const std::u16string& key) {
    return korvalis::emrdoc::testing::AskRegistry(registry, code, key);
  }
  std::u16string AskOne(int code, const std::u16string& key) {
    CBDomainManager registry(&data_source_);
    return Ask(registry, code, key);
  }
};

TEST_F(RecordTypeDomainsTest, KeysOfTheAdmissionAndFirstProgressRecords) {
  AddRecordWithXml("R1", 2,
                   u"<root><name xid=\"name\">张三</name><group><a xid=\"a\">甲</a>"
                   u"<inner><b xid=\"b\">乙</b></inner><plain>无</plain></group>"
                   u"<outer xid=\"o\">外<i xid=\"i\">内</i></outer><empty xid=\"\">"
                   u"<c xid=\"c\">丙</c></empty><name xid=\"name\">李四</name>"
                   u"<case xid=\"Name\">大写</case></root>");
  AddRecordWithXml("R2", 8, u"<root><x xid=\"complaint\">咳嗽</x></root>");
  CBDomainManager registry(&data_source_);
  EXPECT_EQ(Ask(registry, kResidenceEmrDomainCode, u"emr.residence.name"), u"李四");  // later wins
  EXPECT_EQ(Ask(registry, kResidenceEmrDomainCode, u"emr.residence.Name"), u"大写");
  EXPECT_EQ(Ask(registry, kResidenceEmrDomainCode, u"emr.residence.a"), u"甲");    // group child
  EXPECT_EQ(Ask(registry, kResidenceEmrDomainCode, u"emr.residence.b"), u"");      // too deep
  EXPECT_EQ(Ask(registry, kResidenceEmrDomainCode, u"emr.residence.o"), u"外内");  // whole text
  EXPECT_EQ(Ask(registry, kResidenceEmrDomainCode, u"emr.residence.i"), u"");
  EXPECT_EQ(Ask(registry, kResidenceEmrDomainCode, u"emr.residence.c"), u"丙");  // empty xid
  EXPECT_EQ(Ask(registry, kResidenceEmrDomainCode, u"emr.fmr.complaint"), u"");
  EXPECT_EQ(Ask(registry, kFirstRecordDomainCode, u"emr.fmr.complaint"), u"咳嗽");
  EXPECT_EQ(Ask(registry, kFirstRecordDomainCode, u"emr.fmr.name"), u"");
}

TEST_F(RecordTypeDomainsTest, TypeDomainsReadTheNewestRecordOfCodeModuloHundred) {
  AddRecordWithXml("R1", 5, u"<root><n xid=\"op\">旧</n></root>", "2009-03-01 08:00:00");
  AddRecordWithXml("R2", 5, u"<root><n xid=\"op\">新</n></root>", "2009-03-02 08:00:00");
  AddRecordWithXml("R3", 1, u"<root><n xid=\"h\">首页</n></root>");
  AddRecordWithXml("R4", 0, u"<root><n xid=\"z\">零</n></root>");
  CBDomainManager registry(&data_source_);
  EXPECT_EQ(Ask(registry, 105, u"emr.5.op"), u"新");
  EXPECT_EQ(Ask(registry, 105, u"emr.105.op"), u"");
  EXPECT_EQ(Ask(registry, 205, u"emr.5.op"), u"新");
  EXPECT_EQ(Ask(registry, 101, u"emr.1.h"), u"首页");
  EXPECT_EQ(Ask(registry, 200, u"emr.0.z"), u"零");
}

TEST_F(RecordTypeDomainsTest, CodesOfOneTypeMakeTwoObjects) {
  AddRecordWithXml("R1", 5, u"<root><n xid=\"op\">旧</n></root>");
  CBDomainManager registry(&data_source_);
  EXPECT_EQ(Ask(registry, 105, u"emr.5.op"), u"旧");
  AddRecordWithXml("R2", 5, u"<root><n xid=\"op\">新</n></root>", "2009-03-02 08:00:00");
  EXPECT_EQ(Ask(registry, 105, u"emr.5.op"), u"旧");  // read once
  EXPECT_EQ(Ask(registry, 205, u"emr.5.op"), u"新");  // an object of its own
}

TEST_F(RecordTypeDomainsTest, NoRecordNoXmlOrUnparsableXmlGiveNothing) {
  EXPECT_EQ(AskOne(kResidenceEmrDomainCode, u"emr.residence.name"), u"");
  AddRecordWithXml("R1", 2, u"<root><name xid=\"name\">张三");
  EXPECT_EQ(AskOne(kResidenceEmrDomainCode, u"emr.residence.name"), u"");
  AddRecordWithXml("R2", 8, u"");  // no page and no template frame: no XML
  EXPECT_EQ(AskOne(kFirstRecordDomainCode, u"emr.fmr.name"), u"");
}

// Records whose XML is built while they are asked, from a page and the template's frame.
class RecordXmlBuiltTest : public RecordTypeDomainsTest {
 protected:
  RecordXmlBuiltTest() { SetVisit("0", "0"); }

  // A record of `emr_type` from a template of its own whose page holds the name "n" and a live
  // element asking `code` for `key`.
  void AddLiveRecord(const std::string& id, int template_id, int emr_type, int code,
                     const std::u16string& key) {
    AddTemplate({.id = template_id, .emr_type = emr_type});
    SetTemplateContent(template_id, 2, u"<root><name xid=\"n\"/><ask xid=\"ask\"/></root>");
    AddRecordWithPage(id, template_id, emr_type,
                      u"<HTML><BODY><INPUT type=hidden id=live link=\"ask\"><SPAN xid=n>" +
                          FromUtf8(id) + u"</SPAN><SPAN id=ask xid=ask type=" +
                          FromUtf8(std::to_string(code)) + u" value=\"" + key +
                          u"\">旧</SPAN></BODY></HTML>");
  }
};

TEST_F(RecordXmlBuiltTest, AMissingXmlIsBuiltAndStored) {
  AddLiveRecord("R1", 2, 2, 0, u"patient.name");
  EXPECT_EQ(AskOne(kResidenceEmrDomainCode, u"emr.residence.n"), u"R1");
  std::u16string stored;
  data_source_.QueryScalar(u"SELECT COUNT(ID) FROM TELV_EMR_CONTENT WHERE XML IS NOT NULL", stored);
  EXPECT_EQ(stored, u"1");
}

TEST_F(RecordXmlBuiltTest, RecordsAskingForEachOtherEndWithAnXml) {
  AddLiveRecord("R1", 2, 2, kFirstRecordDomainCode, u"emr.fmr.n");
  AddLiveRecord("R2", 3, 8, kResidenceEmrDomainCode, u"emr.residence.n");
  const std::u16string xml = EmrXml(u"R1");
  EXPECT_NE(xml.find(u"R1"), std::u16string::npos);
  EXPECT_NE(EmrXml(u"R2").find(u"R2"), std::u16string::npos);
}

TEST_F(RecordXmlBuiltTest, ARecordAskingForItsOwnTypeEndsWithAnXml) {
  AddLiveRecord("R1", 2, 5, 105, u"emr.5.n");
  EXPECT_NE(EmrXml(u"R1").find(u"R1"), std::u16string::npos);
}

}  // namespace
