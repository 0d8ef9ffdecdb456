// Saving records: catalogue rules, sort codes, the row's stamps, the content switches and the
// stored bytes, the saved-record notification, and a record's properties.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "emrdoc/emr_catalog_rules.h"
#include "emrdoc/emr_saved_notification.h"
#include "emrdoc/testing/record_store_fixture.h"
#include "foundation/codec/codec_factory.h"
#include "foundation/xml/xml_document.h"
#include "foundation/xml/xml_property.h"
#include "lookups/sys_param.h"

namespace korvalis::emrdoc::testing {
namespace {

using korvalis::testing::FailureOf;

// The properties of a save into `catalog` with the template 1.
std::u16string Properties(const std::u16string& catalog, const std::u16string& more = u"") {
  return u"<root><catalog>" + catalog +
         u"</catalog><template>1</template><title>病程记录</title><author>李医生</author>"
         u"<authorid>D01</authorid>" +
         more + u"</root>";
}

// The bytes of `stored` after the codecs' reading side: decrypted, then uncompressed.
std::string Decoded(const std::string& stored, int compression, int encryption) {
  std::string bytes = stored;
  BYTE* out = nullptr;
  ULONG length = 0;
  if (encryption != 0) {
    CreateEncryption(encryption)
        ->Decrypt(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<ULONG>(bytes.size()),
                  out, length);
    bytes.assign(reinterpret_cast<const char*>(out), length);
  }
  if (compression != 0) {
    CreateCompression(compression)
        ->Uncompress(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<ULONG>(bytes.size()),
                     out, length);
    bytes.assign(reinterpret_cast<const char*>(out), length);
  }
  delete[] out;
  return bytes;
}

// The stored form of a text written from the hand-over form: byte-order mark, the text, its zero.
std::string StoredForm(const std::u16string& text) {
  std::string bytes = "\xFF\xFE";
  AppendUtf16Le(text, bytes);
  return bytes + std::string(2, '\0');
}

// The element children of `node` as name and text.
std::vector<std::pair<std::u16string, std::u16string>> Children(CXmlNode node) {
  std::vector<std::pair<std::u16string, std::u16string>> children;
  for (int i = 0; i < node.GetChildCount(u""); ++i) {
    CXmlNode child = node.GetChildAt(i);
    children.emplace_back(child.GetName(), child.GetText());
  }
  return children;
}

class SaveTest : public RecordStoreTest {
 protected:
  SaveTest() {
    AddCatalog({.id = 1, .code = "001", .limit = 2});
    AddTemplate({.id = 1, .emr_type = 2});
  }
};

TEST_F(SaveTest, BadCataloguesAndTemplatesAreRefusedBeforeAnythingIsWritten) {
  const struct {
    std::u16string properties;
    std::u16string failure;
  } kCases[] = {
      {u"<root><catalog></catalog><template>1</template></root>", kEmrCatalogMissingMessage},
      {u"<root><template>1</template></root>", kEmrCatalogMissingMessage},
      {Properties(u"1 OR 1=1"), u"不是有效的数字: '1 OR 1=1' (catalog)"},
      {u"<root><catalog>1</catalog><template>abc</template></root>",
       u"不是有效的数字: 'abc' (template)"},
      {u"<root><catalog>1</catalog></root>", u"不是有效的数字: '' (template)"},
      {Properties(u"99"),
       u"没有找到数据: SELECT CODE, NAME, LIMIT_HIGH, LIMIT_LOW, LIMIT_TIME, "
       u"TIME_REF, NEW_TIP, SYSTEM_FLAG, OWNER_TYPE, SORT_CODE, BLANKTEMP_FLAG, "
       u"MULTIEMR_FLAG FROM TELV_EMR_CATALOG WHERE ID = 99"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(SaveFailure(c.properties), c.failure) << ToUtf8(c.properties);
    EXPECT_EQ(RecordCount(), 0);
  }
  EXPECT_TRUE(quality_.FireCloseCalls().empty());
}

TEST_F(SaveTest, TheLimitCountsTheVisitsLiveRecordsOfTheCatalogue) {
  AddRecord({.id = "R1"});
  AddRecord({.id = "R2", .status = 0});
  AddRecord({.id = "R3", .event_no = "E2"});
  EXPECT_NE(Save(Properties(u"1")), u"");
  EXPECT_EQ(SaveFailure(Properties(u"1")), kEmrCatalogFullMessage);
  EXPECT_EQ(RecordCount(), 4);
  // LIMIT_HIGH 0 or NULL: no limit.
  AddCatalog({.id = 2, .code = "002", .limit = 0});
  AddCatalog({.id = 3, .code = "003"});
  for (int i = 0; i < 3; ++i) {
    Save(Properties(u"2"));
    Save(Properties(u"3"));
  }
  EXPECT_EQ(RecordCount(), 10);
}

TEST_F(SaveTest, SubCataloguesAreFiledUnderTheirSystemOrTopLevelCatalogue) {
  AddCatalog({.id = 4, .code = "001002", .system_flag = 0});
  AddCatalog({.id = 5, .code = "001002003", .system_flag = 0});
  AddCatalog({.id = 6, .code = "001004", .system_flag = 1, .limit = 1});
  AddCatalog({.id = 7, .code = "009001", .system_flag = 0});  // no catalogue 009
  AddCatalog({.id = 8, .code = "01", .system_flag = 0});
  const std::pair<std::u16string, std::u16string> kFiledUnder[] = {
      {u"4", u"1"}, {u"5", u"1"}, {u"6", u"6"}, {u"7", u"7"}, {u"8", u"8"}};
  for (const auto& [catalog, filed_under] : kFiledUnder) {
    EXPECT_EQ(Column(Save(Properties(catalog)), u"CATALOG_ID"), filed_under) << ToUtf8(catalog);
  }
  // Two records are now filed under 001, its limit: none more through its sub-catalogues; the
  // system sub-catalogue 001004 has its own limit.
  EXPECT_EQ(SaveFailure(Properties(u"4")), kEmrCatalogFullMessage);
  EXPECT_EQ(SaveFailure(Properties(u"6")), kEmrCatalogFullMessage);
  EXPECT_EQ(ResolveEmrCatalogId(&data_source_, u"+004"), u"1");
}

TEST_F(SaveTest, SortCodesFollowTheNumericMaximumOfTheVisitsCatalogue) {
  EXPECT_EQ(Column(Save(Properties(u"1")), u"SORT_CODE"), u"00001");
  AddCatalog({.id = 2, .code = "002"});
  AddRecord({.id = "R3", .catalog = 2, .sort = "00003", .status = 0});
  AddRecord({.id = "R2", .catalog = 2, .sort = "00002"});
  AddRecord({.id = "R9", .event_no = "E2", .catalog = 2, .sort = "00009"});
  EXPECT_EQ(Column(Save(Properties(u"2")), u"SORT_CODE"), u"00004");
  AddCatalog({.id = 3, .code = "003"});
  AddRecord({.id = "R99999", .catalog = 3, .sort = "99999"});
  EXPECT_EQ(Column(Save(Properties(u"3")), u"SORT_CODE"), u"100000");
  EXPECT_EQ(Column(Save(Properties(u"3")), u"SORT_CODE"), u"100001");
}

TEST_F(SaveTest, TheRowCarriesTheSavesStamps) {
  AddTemplate({.id = 2, .emr_type = std::nullopt});
  const std::u16string id = Save(
      u"<root><catalog>1</catalog><template>2</template><title>日常病程</title>"
      u"<author>O'Neil</author><authorid>D'1</authorid><key>胸痛</key><over_write>1</over_write>"
      u"</root>");
  ASSERT_EQ(id.size(), 36u);
  EXPECT_EQ(id.find_first_of(u"ABCDEF{}"), std::u16string::npos);
  com::ScopedBstr version;
  GetSystemVersion(&data_source_, version.out());
  const std::pair<std::u16string, std::u16string> kColumns[] = {
      {u"PATIENT_ID", u"P1"},  {u"EVENT_NO", u"E1"},         {u"CATALOG_ID", u"1"},
      {u"TEMPLATE_ID", u"2"},  {u"EMR_TYPE", u"0"},          {u"TITLE", u"日常病程"},
      {u"CREATOR", u"O'Neil"}, {u"CREATOR_ID", u"D'1"},      {u"KEYWORD", u"胸痛"},
      {u"STATUS", u"1"},       {u"VERSION", version.text()}, {u"CREATE_DATE", kNow},
      {u"MODIFY_DATE", kNow},  {u"MODIFIOR", u"O'Neil"},     {u"COMPRESSION", u"0"},
      {u"ENCRYPTION", u"0"},   {u"SORT_CODE", u"00001"}};
  for (const auto& [column, value] : kColumns)
    EXPECT_EQ(Column(id, column), value) << ToUtf8(column);
  EXPECT_EQ(Scalar(u"SELECT COUNT(*) FROM TELV_EMR_CONTENT WHERE XML IS NULL"), u"1");
  // Without an author nobody is named as modifier.
  EXPECT_EQ(Column(Save(u"<root><catalog>1</catalog><template>1</template></root>"), u"MODIFIOR"),
            u"");
  // `over_write` other than "1" is a property the map does not know.
  AddCatalog({.id = 2, .code = "002"});
  EXPECT_EQ(SaveFailure(Properties(u"2", u"<over_write>0</over_write>")),
            u"没有找到属性名: over_write");
  EXPECT_EQ(RecordCount(), 2);
}

TEST_F(SaveTest, TheSwitchesAreReadAtTheFirstWriteOfEachOperation) {
  AddCatalog({.id = 2, .code = "002"});
  const std::u16string text = Page(3000, 2000) + u"中文内容";
  const struct {
    const char* compression;
    const char* encryption;
    int compression_type;
    int encryption_type;
  } kCases[] = {{"1", "1", 1, 3}, {"1", "0", 1, 0}, {"0", "1", 0, 3}, {"", "2", 0, 0}};
  for (const auto& c : kCases) {
    ClearSwitches();
    SetSwitches(c.compression, c.encryption);
    const std::u16string id = Save(Properties(u"2"), text);
    EXPECT_EQ(Column(id, u"COMPRESSION"), IntToString(c.compression_type));
    EXPECT_EQ(Column(id, u"ENCRYPTION"), IntToString(c.encryption_type));
    EXPECT_EQ(Decoded(StoredBytes(id), c.compression_type, c.encryption_type), StoredForm(text));
  }
  // Changed parameters are not read again by the save; the update reads its own pair once.
  SetSwitches("1", "1");
  const std::u16string id = Save(Properties(u"2"), text);
  EXPECT_EQ(Column(id, u"COMPRESSION") + Column(id, u"ENCRYPTION"), u"00");
  Update(id, text);
  EXPECT_EQ(Column(id, u"COMPRESSION") + Column(id, u"ENCRYPTION"), u"13");
  SetSwitches("0", "0");
  Update(id, text);
  EXPECT_EQ(Column(id, u"COMPRESSION") + Column(id, u"ENCRYPTION"), u"13");
}

TEST_F(SaveTest, AFullSaveStoresAContentThatAnUpdateWouldRefuse) {
  SetSwitches("1", "1");
  for (const std::u16string& text :
       {std::u16string(u"<P>短</P>"), Page(2000, 1000, u"<Body", u"</Body")}) {
    const std::u16string id = Save(Properties(u"1"), text);
    EXPECT_EQ(Decoded(StoredBytes(id), 1, 3), StoredForm(text));
    EXPECT_FALSE(FileLogHolds(id));
  }
  EXPECT_TRUE(events_.Records().empty());
}

TEST_F(SaveTest, TheTriggerReceivesTheSavedEventFieldByField) {
  AddTemplate({.id = 3, .emr_type = 1});
  const std::u16string text = Page();
  const std::u16string id = Save(
      u"<root><catalog>1</catalog><template>3</template><author>O'Neil &amp; Co</author>"
      u"<authorid>D'1</authorid></root>",
      text, u"P'1", u"E&1<2");
  const auto calls = quality_.FireCloseCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].data_source, &data_source_);
  EXPECT_EQ(calls[0].patient_id, u"P'1");
  EXPECT_EQ(calls[0].event_no, u"E&1<2");
  CXmlDocument event(calls[0].event_document, false, true);
  using Fields = std::vector<std::pair<std::u16string, std::u16string>>;
  const Fields fields = Children(event.GetRootNode());
  ASSERT_EQ(fields.size(), 8u);
  EXPECT_EQ(Fields(fields.begin(), fields.end() - 1), (Fields{{u"patient_id", u"P'1"},
                                                              {u"event_no", u"E&1<2"},
                                                              {u"time", kNow},
                                                              {u"register_time", kNow},
                                                              {u"type", u"1"},
                                                              {u"code", u"E03"},
                                                              {u"src_sys", u"0"}}));
  EXPECT_EQ(Children(event.GetRootNode().GetChild(u"extend")),
            (Fields{{u"emr_type", u"1"},
                    {u"emr_id", id},
                    {u"user_id", u"D'1"},
                    {u"user_name", u"O'Neil & Co"}}));
  // A record of EMR type 1 has its QC marks stored first, from the content as received.
  const auto marks = quality_.QcMarksCalls();
  ASSERT_EQ(marks.size(), 1u);
  EXPECT_EQ(marks[0].content, text);
  CXmlDocument identification(marks[0].identification, false, true);
  EXPECT_EQ(Children(identification.GetRootNode()),
            (Fields{{u"emr_id", id}, {u"patient_id", u"P'1"}, {u"event_no", u"E&1<2"}}));
  // Other types have none.
  Save(Properties(u"1"));
  EXPECT_EQ(quality_.QcMarksCalls().size(), 1u);
  EXPECT_EQ(quality_.FireCloseCalls().size(), 2u);
}

TEST_F(SaveTest, ATriggerThatFailsFailsTheSave) {
  quality_.FailFireClose(u"关闭时限规则失败");
  EXPECT_EQ(SaveFailure(Properties(u"1")), u"关闭时限规则失败");
  quality_.FailFireClose(std::nullopt);
  EXPECT_EQ(SaveFailure(Properties(u"1")), kUnknownSystemError);
}

TEST_F(SaveTest, EmptyArgumentsWriteNothingAndAnswerAnEmptyId) {
  com::ScopedBstr patient(u"P1"), event(u"E1"), property(Properties(u"1")), empty(u"");
  com::ScopedBstr content;
  *content.out() = PackEmrContent(Page());
  const BSTR arguments[][4] = {{empty.get(), event.get(), property.get(), content.get()},
                               {patient.get(), nullptr, property.get(), content.get()},
                               {patient.get(), event.get(), empty.get(), content.get()},
                               {patient.get(), event.get(), property.get(), empty.get()}};
  for (const auto& a : arguments) {
    BSTR new_id = nullptr;
    SaveEmrDocument(&data_source_, a[0], a[1], a[2], nullptr, a[3], &new_id);
    ASSERT_NE(new_id, nullptr);
    EXPECT_EQ(SysStringLen(new_id), 0u);
    SysFreeString(new_id);
  }
  EXPECT_EQ(RecordCount(), 0);
}

TEST_F(SaveTest, TheNotificationOfARecordWithoutRowDoesNothing) {
  com::ScopedBstr content;
  EXPECT_EQ(NotifyEmrSaved(&data_source_, u"no-such-record", content.get(), u"D01", u"李医生"), 1);
  EXPECT_TRUE(quality_.FireCloseCalls().empty());
  // A data source of another kind reaches the bodies as a data source of the call.
  struct PlainSource : CSingleDataSource {
    CDBType* GetDBType() override { return inner.GetDBType(); }
    std::u16string GetConnectionString() override { return inner.GetConnectionString(); }
    CEMRDataSource inner;
  } plain;
  AddRecord({.id = "R1"});
  EXPECT_EQ(NotifyEmrSaved(&plain, u"R1", content.get(), u"D01", u"李医生"), 0);
  ASSERT_EQ(quality_.FireCloseCalls().size(), 1u);
  EXPECT_NE(quality_.FireCloseCalls()[0].data_source, nullptr);
}

TEST_F(SaveTest, PropertiesOfARecord) {
  AddTemplate({.id = 2, .emr_type = 3, .superior_sign_flag = 1, .print_flag = 0});
  const std::u16string id = Save(
      u"<root><catalog>1</catalog><template>2</template><title>首程</title><author>李医生</author>"
      u"<authorid>D01</authorid><key>胸痛</key><notes>备注</notes></root>");
  for (const char* user : {"D01", "D02"}) {
    Run("INSERT INTO TELV_EMR_SIGNATURE (ID, SUB_ID, USER_ID) VALUES ('" + ToUtf8(id) + "', " +
        std::to_string(user[2] - '0') + ", '" + user + "')");
  }
  com::ScopedBstr emr_id(id), property;
  GetEmrProperty(&data_source_, emr_id.get(), property.out());
  const CXmlProperty::Map expected = {
      {u"title", u"首程"},     {u"authorid", u"D01"}, {u"author", u"李医生"},
      {u"template", u"2"},     {u"key", u"胸痛"},     {u"catalog", u"1"},
      {u"notes", u"备注"},     {u"sort", u"00001"},   {u"emrtype", u"3"},
      {u"confirmstatus", u""}, {u"qcstatus", u""},    {u"patient_id", u"P1"},
      {u"event_no", u"E1"},    {u"signer", u"D02"},   {u"superiorsignflag", u"1"},
      {u"printflag", u"0"}};
  EXPECT_EQ(property.text(), CXmlProperty(expected).ToXml());
  // A record without a template has no template flags.
  Run("UPDATE TELV_EMR_CONTENT SET TEMPLATE_ID = NULL");
  com::ScopedBstr without_template;
  GetEmrProperty(&data_source_, emr_id.get(), without_template.out());
  EXPECT_EQ(CXmlProperty(without_template.text()).GetMap().count(u"printflag"), 0u);
  const std::u16string missing = FailureOf([&] {
    com::ScopedBstr none(u"x' OR '1'='1"), answer;
    GetEmrProperty(&data_source_, none.get(), answer.out());
  });
  EXPECT_EQ(missing.rfind(u"没有找到数据: SELECT TITLE, CREATOR_ID,", 0), 0u);
}

}  // namespace
}  // namespace korvalis::emrdoc::testing
