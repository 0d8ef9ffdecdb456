#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/archive_patient.h"
#include "db/testing/test_database.h"
#include "foundation/data/single_data_source.h"
#include "foundation/testing/list_elements.h"
#include "foundation/testing/test_call.h"
#include "foundation/testing/test_data_source.h"
#include "platform/com/scoped_bstr.h"
#include "platform/db/testing/engine_database.h"

namespace korvalis::archive {
namespace {

using com::ScopedBstr;
using korvalis::testing::Element;
using korvalis::testing::kUnreachableDatabase;
using korvalis::testing::ReadElements;
using korvalis::testing::RunAsCall;
using korvalis::testing::TestDataSource;
using Rows = std::vector<std::vector<std::string>>;

constexpr char16_t kNotANumber[] = u"不是有效的数字: '主要' (type)";

class HeaderRecordsTest : public ::testing::TestWithParam<db::Engine> {
 protected:
  void SetUp() override {
    db_.AddPatient({.id = "P1"});
    db_.AddVisit({.patient_id = "P1", .event_no = "E1"});
    db_.Execute(
        "INSERT INTO TELV_INPATIENT_HEADER_DIAG (PATIENT_ID, EVENT_NO, DIAG_TYPE, SUB_ID, "
        "ICD_CODE, ICD_NAME, RESULT) VALUES ('P1', 'E1', 3, 1, 'I10', '高血压病', 1)");
    db_.Execute(
        "INSERT INTO TELV_INPATIENT_HEADER_OPS (PATIENT_ID, EVENT_NO, SUB_ID, ICD_CODE, "
        "OPERATION_NAME) VALUES ('P1', 'E1', 1, '36.06', '冠状动脉支架置入术')");
  }

  std::u16string Save(const std::u16string& list, const char16_t* event_no = u"E1") {
    ScopedBstr patient(u"P1"), event(event_no), text(list);
    return RunAsCall(db_.init_string(), [&](CEMRDataSource* source) {
      CBArchivePatient::SavePatientHeaderRecord(source, patient.get(), event.get(), text.get());
    });
  }
  Rows Diagnoses() {
    return db_.Query(
        "SELECT DIAG_TYPE, SUB_ID, ICD_CODE, ICD_CODE1, ICD_NAME, RESULT FROM "
        "TELV_INPATIENT_HEADER_DIAG WHERE EVENT_NO = 'E1' ORDER BY SUB_ID");
  }
  Rows Operations() {
    return db_.Query(
        "SELECT SUB_ID, ICD_CODE, OPERATE_TIME, OPERATION_NAME, DOCTOR, DOCTOR_ID, ASSISTANT_1, "
        "ASSISTANT_1_ID, ASSISTANT_2, ASSISTANT_2_ID, OPEN_CLOSE_LEVEL, ANAES_DOCTOR, "
        "ANAES_DOCTOR_ID, ANAES_TYPE FROM TELV_INPATIENT_HEADER_OPS WHERE EVENT_NO = 'E1' "
        "ORDER BY SUB_ID");
  }

  schema::TestDatabase db_{schema::DatabaseContents::kInstallation, GetParam()};
};

TEST_P(HeaderRecordsTest, AListPresentOnceReplacesItsTableWholeAndAnAbsentListKeepsIt) {
  const Rows operations = Operations();
  EXPECT_EQ(Save(u"<root><diagnosis/></root>"), u"");
  EXPECT_EQ(Diagnoses(), Rows{});
  EXPECT_EQ(Operations(), operations);

  EXPECT_EQ(Save(u"<root><a><diagnosis><d type='3' icd='I21.9' icd1='I21' result='2'>急性心肌"
                 u"梗死</d><d type='2' result='1'>高血压病</d><d type='2' icd='E11' "
                 u"result='1'>2型糖尿病</d></diagnosis></a></root>"),
            u"");
  EXPECT_EQ(Diagnoses(), (Rows{{"3", "1", "I21.9", "I21", "急性心肌梗死", "2"},
                               {"2", "2", "", "", "高血压病", "1"},
                               {"2", "3", "E11", "", "2型糖尿病", "1"}}));
  EXPECT_EQ(Operations(), operations);
}

TEST_P(HeaderRecordsTest, ARepeatedListChangesNothing) {
  const Rows diagnoses = Diagnoses();
  const Rows operations = Operations();
  EXPECT_EQ(Save(u"<root><diagnosis/><diagnosis><d type='1' result='1'>x</d></diagnosis>"
                 u"<operation/><x><operation/></x></root>"),
            u"");
  EXPECT_EQ(Diagnoses(), diagnoses);
  EXPECT_EQ(Operations(), operations);
}

TEST_P(HeaderRecordsTest, AnItemWithoutANumberForABareColumnFailsTheCallAndKeepsTheRows) {
  const Rows diagnoses = Diagnoses();
  const Rows operations = Operations();
  EXPECT_EQ(Save(u"<root><operation><o code='1'>a</o></operation><diagnosis><d type='1' "
                 u"result='1'>a</d><d type='1' result='1'>b</d><d type='主要' "
                 u"result='1'>c</d></diagnosis></root>"),
            kNotANumber);
  EXPECT_EQ(Save(u"<root><diagnosis><d type='1'>a</d></diagnosis></root>"),
            u"不是有效的数字: '' (result)");
  EXPECT_EQ(Save(u"<root><diagnosis><d type='1) OR (1=1' result='1'>a</d></diagnosis></root>"),
            u"不是有效的数字: '1) OR (1=1' (type)");
  EXPECT_EQ(Diagnoses(), diagnoses);
  EXPECT_EQ(Operations(), operations);
}

TEST_P(HeaderRecordsTest, QuotesInNamesAndCodesAreStoredAsGiven) {
  EXPECT_EQ(Save(u"<root><diagnosis><d type='1' icd=\"I'10\" icd1=\"a''b\" "
                 u"result='1'>O'Brien's disease</d></diagnosis><operation><o code=\"3'6\" "
                 u"time='2026-11-02 09:30:00' doctor=\"D'Arcy\" doctorid='1' assist1='A1' "
                 u"assist1id='2' assist2='A2' assist2id='3' openclose=\"I'\" anaesdoctor='M' "
                 u"anaesdoctorid='4' anaestype=\"全麻'\">Whipple's</o></operation></root>"),
            u"");
  EXPECT_EQ(Diagnoses(), (Rows{{"1", "1", "I'10", "a''b", "O'Brien's disease", "1"}}));
  EXPECT_EQ(Operations(), (Rows{{"1", "3'6", "2026-11-02 09:30:00", "Whipple's", "D'Arcy", "1",
                                 "A1", "2", "A2", "3", "I'", "M", "4", "全麻'"}}));
}

TEST_P(HeaderRecordsTest, WhiteSpaceBetweenItemsIsNoItem) {
  EXPECT_EQ(Save(u"<root>\n  <operation>\n    <o code='1' time='2026-11-02'>甲</o>\n"
                 u"    <!-- second -->\n    <o code='2'>乙</o>\n  </operation>\n</root>\n"),
            u"");
  const Rows operations = Operations();
  ASSERT_EQ(operations.size(), 2u);
  EXPECT_EQ(operations[0][0], "1");
  EXPECT_EQ(operations[0][2], "2026-11-02 00:00:00");
  EXPECT_EQ(operations[0][3], "甲");
  EXPECT_EQ(operations[1][0], "2");
  EXPECT_EQ(operations[1][2], "");  // no time: NULL
  EXPECT_EQ(operations[1][3], "乙");
}

TEST_P(HeaderRecordsTest, AListThatIsNoDocumentOrATimeThatIsNoDateIsRefused) {
  const Rows diagnoses = Diagnoses();
  for (const char16_t* list : {u"", u"  ", u"<root><diagnosis>", u"not xml"}) {
    EXPECT_EQ(Save(list), u"保存病人诊断信息错误！");
  }
  EXPECT_EQ(Save(u"<root><diagnosis/><operation><o time='昨天'>x</o></operation></root>"),
            kDatabaseErrorMessage);
  EXPECT_EQ(Diagnoses(), diagnoses);
}

TEST_P(HeaderRecordsTest, TheHeaderDocumentsAreTheConfirmedFrontPagesOfTheVisit) {
  const std::string front = db_.AddRecord({.patient_id = "P1",
                                           .event_no = "E1",
                                           .catalog_id = 1,
                                           .template_id = 1,
                                           .emr_type = 1,
                                           .title = "病案首页"});
  db_.AddRecord({.patient_id = "P1", .event_no = "E1", .emr_type = 1, .status = 0});
  db_.AddRecord({.patient_id = "P1", .event_no = "E1", .emr_type = 2});
  db_.AddVisit({.patient_id = "P1", .event_no = "E2"});
  db_.AddRecord({.patient_id = "P1", .event_no = "E2", .emr_type = 1});
  ScopedBstr patient(u"P1"), event(u"E1"), ids;
  TestDataSource source(db_.init_string());
  CBArchivePatient::GetPatientHeaderEmrList(&source, patient.get(), event.get(), ids.out());
  const std::vector<Element> expected = {
      {"emrid", front, {{"emr_title", "病案首页"}, {"template_id", "1"}}}};
  EXPECT_EQ(ReadElements(ids.text()), expected);
}

// Catalogues and records of batch printing: two system catalogues with confirmed records of the
// visit, and one that is not a system catalogue.
class BatchPrintTest : public HeaderRecordsTest {
 protected:
  void SetUp() override {
    HeaderRecordsTest::SetUp();
    db_.AddCatalog({.id = 31, .code = "031", .name = "病程", .sort_code = 9});
    db_.AddCatalog({.id = 32, .code = "032", .name = "入院", .sort_code = 2});
    db_.AddCatalog({.id = 33, .code = "033", .name = "科室自定", .system_flag = 0, .sort_code = 1});
    AddRecord("R1", 31, "00002", "日常病程二");
    AddRecord("R2", 31, "00001", "日常病程一");
    AddRecord("R3", 32, "00001", "入院记录");
    AddRecord("R4", 33, "00001", "自定义");
    db_.AddRecord(
        {.id = "R5", .patient_id = "P1", .event_no = "E1", .catalog_id = 32, .status = 0});
  }
  void AddRecord(const std::string& id, int catalog, const std::string& sort,
                 const std::string& title) {
    db_.AddRecord({.id = id,
                   .patient_id = "P1",
                   .event_no = "E1",
                   .catalog_id = catalog,
                   .template_id = 7,
                   .emr_type = 3,
                   .title = title});
    db_.Execute("UPDATE TELV_EMR_CONTENT SET SORT_CODE = '" + sort + "' WHERE ID = '" + id + "'");
  }
  void Sign(const std::string& id, const std::vector<std::string>& names_oldest_first) {
    int sub_id = 0;
    for (const std::string& name : names_oldest_first) {
      db_.Execute("INSERT INTO TELV_EMR_SIGNATURE (ID, SUB_ID, NAME) VALUES ('" + id + "', " +
                  std::to_string(++sub_id) + ", " + schema::SqlText(name) + ")");
    }
  }
  std::u16string PrintList(LONG catalog, const std::string& init_string) {
    ScopedBstr patient(u"P1"), event(u"E1"), list;
    TestDataSource source(init_string);
    CBArchivePatient::GetEmrBatchPrintList(&source, patient.get(), event.get(), catalog,
                                           list.out());
    return list.text();
  }
  // The signature of each record of the catalogue, in print order.
  std::vector<std::string> Signatures(LONG catalog) {
    std::vector<std::string> signatures;
    for (const Element& emr : ReadElements(PrintList(catalog, db_.init_string()))) {
      signatures.push_back(emr.attributes.at("signature"));
    }
    return signatures;
  }
};

TEST_P(BatchPrintTest, TheCataloguesAreTheSystemOnesHoldingConfirmedRecordsInTheirOrder) {
  ScopedBstr patient(u"P1"), event(u"E1"), list;
  TestDataSource source(db_.init_string());
  CBArchivePatient::GetEmrBatchPrintCatalogList(&source, patient.get(), event.get(), list.out());
  EXPECT_EQ(
      ReadElements(list.text()),
      (std::vector<Element>{
          {"catalog", "入院", {{"code", "032"}, {"id", "32"}, {"serial", "0"}, {"sort_code", "2"}}},
          {"catalog",
           "病程",
           {{"code", "031"}, {"id", "31"}, {"serial", "0"}, {"sort_code", "9"}}}}));
}

TEST_P(BatchPrintTest, TheRecordsOfACatalogueComeInPrintOrderWithTheirProperties) {
  Sign("R2", {"陈浩然"});
  const std::vector<Element> list = ReadElements(PrintList(31, db_.init_string()));
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0], (Element{"emr",
                              "日常病程一",
                              {{"createdate", "2026-01-05 10:00:00"},
                               {"id", "R2"},
                               {"serial", "0"},
                               {"signature", "陈浩然"},
                               {"sort", "00001"},
                               {"templateid", "7"},
                               {"type", "3"},
                               {"week", ""}}}));
  EXPECT_EQ(list[1].text, "日常病程二");
  EXPECT_EQ(list[1].attributes.at("signature"), "");
  EXPECT_EQ(ReadElements(PrintList(99, db_.init_string())), std::vector<Element>{});
}

TEST_P(BatchPrintTest, TheSignerTextNamesTheNewestSignerFirstAndShortensLongChains) {
  Sign("R1", {"甲", "乙"});
  Sign("R2", {"张", "王", "李", "赵"});
  EXPECT_EQ(Signatures(31), (std::vector<std::string>{"赵/.../张", "乙/甲"}));
  Sign("R3", {"X", "Y", "Z"});
  EXPECT_EQ(Signatures(32), (std::vector<std::string>{"Z/.../X"}));
}

TEST_P(BatchPrintTest, ANameHoldingASlashStillGivesTheNewestAndTheOldestSigner) {
  Sign("R1", {"甲/乙", "丙", "丁/戊"});
  Sign("R2", {"a/b", "c/d"});
  EXPECT_EQ(Signatures(31), (std::vector<std::string>{"c/d/a/b", "丁/戊/.../甲/乙"}));
}

TEST_P(BatchPrintTest, CatalogueZeroAnswersTheFixedEmptyListWithoutTheDatabase) {
  EXPECT_EQ(PrintList(0, kUnreachableDatabase), u"<?xml version =\"1.0\" ?><root/>");
}

INSTANTIATE_TEST_SUITE_P(Engines, HeaderRecordsTest, db::testing::kBothEngines,
                         db::testing::EngineName);
INSTANTIATE_TEST_SUITE_P(Engines, BatchPrintTest, db::testing::kBothEngines,
                         db::testing::EngineName);

}  // namespace
}  // namespace korvalis::archive
