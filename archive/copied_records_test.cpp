#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "archive/archive_patient.h"
#include "db/testing/test_database.h"
#include "foundation/data/single_data_source.h"
#include "foundation/testing/list_elements.h"
#include "foundation/testing/test_call.h"
#include "foundation/testing/test_data_source.h"
#include "foundation/xml/xml_property.h"
#include "platform/com/scoped_bstr.h"
#include "platform/db/testing/engine_database.h"
#include "platform/text/unicode.h"

namespace korvalis::archive {
namespace {

using com::ScopedBstr;
using korvalis::testing::Element;
using korvalis::testing::ReadElements;
using korvalis::testing::RunAsCall;
using korvalis::testing::ScopedDatabaseClock;
using korvalis::testing::TestDataSource;
using Rows = std::vector<std::vector<std::string>>;
using Entries = std::vector<std::string>;

class CopiedRecordsTest : public ::testing::TestWithParam<db::Engine> {
 protected:
  void SetUp() override {
    db_.AddPatient({.id = "P1", .name = "李建华", .sex = 1});
    db_.AddVisit({.patient_id = "P1",
                  .event_no = "E1",
                  .dept_id = "0101",
                  .in_time = "2026-11-01 09:30:00",
                  .out_time = "2026-11-10 10:00:00",
                  .doctor_name = "刘静怡"});
    db_.AddPatient({.id = "P2", .name = "王秀兰", .sex = 0});
    db_.AddVisit(
        {.patient_id = "P2", .event_no = "E2", .dept_id = "0102", .dept_name = "呼吸内科"});
  }

  // Saves the entry; answers the serial, or the failure's message after "!".
  std::string Save(const CXmlProperty::Map& keys) {
    ScopedBstr args(CXmlProperty(keys).ToXml()), serial;
    const std::u16string failure = RunAsCall(db_.init_string(), [&](CEMRDataSource* source) {
      CBArchivePatient::SaveCopiedPatient(source, args.get(), serial.out());
    });
    return failure.empty() ? ToUtf8(serial.text()) : "!" + ToUtf8(failure);
  }
  std::string SaveVisitEntry(const std::u16string& patient, const std::u16string& event) {
    return Save({{u"patient_id", patient},
                 {u"event_no", event},
                 {u"record_type", u"0"},
                 {u"requestor", u"张律师"},
                 {u"executor", u"马丽华"}});
  }
  void Delete(const char16_t* patient, const char16_t* event, const char16_t* serial) {
    ScopedBstr p(patient), e(event), s(serial);
    EXPECT_EQ(RunAsCall(db_.init_string(),
                        [&](CEMRDataSource* source) {
                          CBArchivePatient::DeleteCopyRecord(source, p.get(), e.get(), s.get());
                        }),
              u"");
  }
  std::vector<Element> List(const CXmlProperty::Map& filter = {}) {
    ScopedBstr args(CXmlProperty(filter).ToXml()), list;
    TestDataSource source(db_.init_string());
    CBArchivePatient::GetCopiedPatientList(&source, args.get(), list.out());
    return ReadElements(list.text());
  }
  // The listed entries as "visit/serial".
  Entries Listed(const CXmlProperty::Map& filter = {}) {
    Entries entries;
    for (const Element& e : List(filter)) {
      entries.push_back(e.attributes.at("event_no") + "/" + e.attributes.at("serial"));
    }
    return entries;
  }
  void SetCopyDate(const std::string& event, int serial, const std::string& date) {
    db_.Execute("UPDATE TELV_COPIED_EMR SET COPY_DATE = " + schema::SqlDate(date) +
                " WHERE EVENT_NO = '" + event + "' AND SERIAL = " + std::to_string(serial));
  }
  // An entry carrying its own patient data.
  std::string SaveOwnEntry(const std::u16string& event, const std::u16string& name,
                           const std::u16string& dept, const char16_t* record_type = u"1") {
    return Save({{u"patient_id", u"X" + event},
                 {u"event_no", event},
                 {u"name", name},
                 {u"admission_dept_name", dept},
                 {u"record_type", record_type}});
  }

  ScopedDatabaseClock clock_;
  schema::TestDatabase db_{schema::DatabaseContents::kInstallation, GetParam()};
};

TEST_P(CopiedRecordsTest, NewEntriesAreNumberedOnFromTheLargestSerialOfTheVisit) {
  EXPECT_EQ(SaveVisitEntry(u"P1", u"E1"), "1");
  EXPECT_EQ(SaveVisitEntry(u"P1", u"E1"), "2");
  EXPECT_EQ(SaveVisitEntry(u"P2", u"E2"), "1");
  EXPECT_EQ(SaveVisitEntry(u"P1", u"E1"), "3");
  Delete(u"P1", u"E1", u"2");
  Delete(u"P1", u"E1", u"9");  // no such entry: nothing happens
  EXPECT_EQ(SaveVisitEntry(u"P1", u"E1"), "4");
  EXPECT_EQ(db_.Query("SELECT SERIAL FROM TELV_COPIED_EMR WHERE EVENT_NO = 'E1' ORDER BY 1"),
            (Rows{{"1"}, {"3"}, {"4"}}));
}

TEST_P(CopiedRecordsTest, AnUpdateAnswersItsSerialAndKeepsTheExecutorAndTheCopyDate) {
  ASSERT_EQ(SaveVisitEntry(u"P1", u"E1"), "1");
  SetCopyDate("E1", 1, "2026-11-20 08:00:00");
  EXPECT_EQ(Save({{u"patient_id", u"P1"},
                  {u"event_no", u"E1"},
                  {u"serial", u"1"},
                  {u"record_type", u"0"},
                  {u"requestor", u"O'Neil"},
                  {u"executor", u"别人"},
                  {u"copied_emr", u"入院记录"},
                  {u"reason", u"理赔"},
                  {u"page_num", u"12"},
                  {u"copy_use", u"保险"},
                  {u"handler", u"赵敏"},
                  {u"copy_notes", u"加急"},
                  {u"copy_sum", u"6.5"},
                  {u"admisssion_date", u"2026-11-01"}}),
            "1");
  EXPECT_EQ(db_.Query("SELECT REQUESTOR, EXECUTOR, COPY_DATE, COPIED_EMR, COPY_REASON, PAGE_NUM, "
                      "COPY_USE, HANDLER, COPY_NOTES, COPY_SUM, ADMISSION_DATE, RECORD_TYPE FROM "
                      "TELV_COPIED_EMR"),
            (Rows{{"O'Neil", "马丽华", "2026-11-20 08:00:00", "入院记录", "理赔", "12", "保险",
                   "赵敏", "加急", "6.5", "2026-11-01", "0"}}));
  // A serial the visit does not hold updates nothing and is answered all the same.
  EXPECT_EQ(Save({{u"patient_id", u"P1"},
                  {u"event_no", u"E1"},
                  {u"serial", u"7"},
                  {u"record_type", u"0"}}),
            "7");
  EXPECT_EQ(db_.Count("TELV_COPIED_EMR"), 1);
}

TEST_P(CopiedRecordsTest, ARecordTypeThatIsNoNumberIsRefusedBeforeAnythingIsWritten) {
  EXPECT_EQ(Save({{u"patient_id", u"P1"}, {u"event_no", u"E1"}}),
            "!不是有效的数字: '' (record_type)");
  EXPECT_EQ(Save({{u"patient_id", u"P1"}, {u"event_no", u"E1"}, {u"record_type", u"0, 1)--"}}),
            "!不是有效的数字: '0, 1)--' (record_type)");
  EXPECT_EQ(Save({{u"patient_id", u"P1"}, {u"event_no", u"E1"}, {u"serial", u"1"}}),
            "!不是有效的数字: '' (record_type)");
  EXPECT_EQ(db_.Count("TELV_COPIED_EMR"), 0);
  ScopedBstr bad(u"<root><record_type>1</root>"), serial;
  EXPECT_EQ(RunAsCall(db_.init_string(),
                      [&](CEMRDataSource* source) {
                        CBArchivePatient::SaveCopiedPatient(source, bad.get(), serial.out());
                      }),
            u"解析属性信息错误.");
}

TEST_P(CopiedRecordsTest, TheListJoinsVisitEntriesToTheirVisitAndOwnEntriesToTheirOwnData) {
  ASSERT_EQ(SaveVisitEntry(u"P1", u"E1"), "1");
  ASSERT_EQ(SaveOwnEntry(u"O1", u"阿'布", u"外院骨科"), "1");
  ASSERT_EQ(SaveOwnEntry(u"T2", u"不列出", u"外院", u"2"), "1");
  // A visit the view does not hold.
  ASSERT_EQ(SaveVisitEntry(u"P9", u"E9"), "1");
  db_.Execute(
      "UPDATE TELV_COPIED_EMR SET ADMISSION_DATE = '2025-01-02', DISCHARGE_DATE = "
      "'2025-01-09', CHARGE_DOCTOR = '外院医生' WHERE EVENT_NO = 'O1'");

  const std::vector<Element> list = List();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0], (Element{"patient",
                              "李建华",
                              {{"copy_date", "2026-12-07 08:00:00"},
                               {"copy_emr", ""},
                               {"copy_reason", ""},
                               {"doctor", "刘静怡"},
                               {"event_no", "E1"},
                               {"executor", "马丽华"},
                               {"fee", ""},
                               {"handler", ""},
                               {"id", "P1"},
                               {"in_date", "2026-11-01 09:30:00"},
                               {"in_dept", "心血管内科"},
                               {"leave_date", "2026-11-10 10:00:00"},
                               {"leave_dept", "心血管内科"},
                               {"notes", ""},
                               {"page_count", ""},
                               {"requestor", "张律师"},
                               {"serial", "1"},
                               {"sex", "1"},
                               {"usage", ""}}}));
  EXPECT_EQ(list[1].text, "阿'布");
  EXPECT_EQ(list[1].attributes.at("sex"), "0");
  EXPECT_EQ(list[1].attributes.at("id"), "XO1");
  EXPECT_EQ(list[1].attributes.at("in_date"), "2025-01-02");
  EXPECT_EQ(list[1].attributes.at("leave_date"), "2025-01-09");
  EXPECT_EQ(list[1].attributes.at("in_dept"), "外院骨科");
  EXPECT_EQ(list[1].attributes.at("doctor"), "外院医生");
}

TEST_P(CopiedRecordsTest, TheListIsOrderedByNameAndSerialAndFilteredByNameAndVisit) {
  ASSERT_EQ(SaveVisitEntry(u"P2", u"E2"), "1");
  ASSERT_EQ(SaveVisitEntry(u"P1", u"E1"), "1");
  ASSERT_EQ(SaveVisitEntry(u"P1", u"E1"), "2");
  ASSERT_EQ(SaveOwnEntry(u"O1", u"李四", u"外院"), "1");
  // Names in code-unit order: 李四, 李建华, 王秀兰.
  EXPECT_EQ(Listed(), (Entries{"O1/1", "E1/1", "E1/2", "E2/1"}));
  EXPECT_EQ(Listed({{u"name", u"李"}}), (Entries{"O1/1", "E1/1", "E1/2"}));
  EXPECT_EQ(Listed({{u"event_no", u"E1"}}), (Entries{"E1/1", "E1/2"}));
  EXPECT_EQ(Listed({{u"name", u"'"}}), Entries{});
}

TEST_P(CopiedRecordsTest, TheDepartmentIsAnIdForVisitEntriesAndANameFragmentForOwnEntries) {
  ASSERT_EQ(SaveVisitEntry(u"P1", u"E1"), "1");
  ASSERT_EQ(SaveVisitEntry(u"P2", u"E2"), "1");
  ASSERT_EQ(SaveOwnEntry(u"O1", u"甲", u"外院心内科"), "1");
  ASSERT_EQ(SaveOwnEntry(u"O2", u"乙", u"科室0101"), "1");
  EXPECT_EQ(Listed({{u"filterdept", u"0101"}}), (Entries{"O2/1", "E1/1"}));
  EXPECT_EQ(Listed({{u"filterdept", u"心内"}}), (Entries{"O1/1"}));
}

TEST_P(CopiedRecordsTest, ACopyDateSpanAppliesToBothPartsOnlyWithAStartAndAnEnd) {
  ASSERT_EQ(SaveVisitEntry(u"P1", u"E1"), "1");
  ASSERT_EQ(SaveVisitEntry(u"P1", u"E1"), "2");
  ASSERT_EQ(SaveOwnEntry(u"O1", u"甲", u"外院"), "1");
  SetCopyDate("E1", 1, "2026-11-05 10:00:00");
  SetCopyDate("E1", 2, "2026-12-05 10:00:00");
  SetCopyDate("O1", 1, "2026-11-06 10:00:00");
  const Entries all = {"E1/1", "E1/2", "O1/1"};
  EXPECT_EQ(Listed({{u"emr_copy_time_span", u"2026-11-01 00:00:00|2026-11-30 23:59:59"}}),
            (Entries{"E1/1", "O1/1"}));
  for (const char16_t* no_span :
       {u"2026-11-01 00:00:00", u"|2026-11-30 23:59:59", u"2026-11-01|2026-11-02|2026-11-03"}) {
    EXPECT_EQ(Listed({{u"emr_copy_time_span", no_span}}), all) << ToUtf8(no_span);
  }
  ScopedBstr args(u"<root><emr_copy_time_span>2026-11-01|昨天</emr_copy_time_span></root>"), list;
  EXPECT_EQ(RunAsCall(db_.init_string(),
                      [&](CEMRDataSource* source) {
                        CBArchivePatient::GetCopiedPatientList(source, args.get(), list.out());
                      }),
            kDatabaseErrorMessage);
}

INSTANTIATE_TEST_SUITE_P(Engines, CopiedRecordsTest, db::testing::kBothEngines,
                         db::testing::EngineName);

}  // namespace
}  // namespace korvalis::archive
