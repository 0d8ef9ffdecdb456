#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quality/review/core_system.h"
#include "quality/review/testing/collector_test_support.h"

namespace korvalis::review::testing {
namespace {

using korvalis::testing::kUnreachableDatabase;
using korvalis::testing::ScopedDatabaseClock;

constexpr char16_t kEmptyList[] = u"<?xml version='1.0' ?><root></root>";

class DoctorShiftTest : public CollectorTest {
 protected:
  DoctorShiftTest() {
    db_.AddPatient({.id = "P1", .name = "张三", .sex = 1, .birthday = "1970-01-01 00:00:00"});
    db_.AddVisit({.patient_id = "P1", .event_no = "E1", .bed_no = "15"});
    db_.AddPatient({.id = "P2", .name = "李四", .sex = 0, .birthday = "2000-12-07 09:00:00"});
    db_.AddVisit({.patient_id = "P2", .event_no = "E2", .bed_no = "16"});
    AddRecord("S1", "D1", "2026-12-05 08:00:00");
    AddRecord("S2", "D1", "2026-12-06 08:00:00");
    AddRecord("S3", "D1", "2026-12-07 08:00:00");
    AddRecord("S4", "D2", "2026-12-06 09:00:00");
    AddDetail("S1", "P1", "E1", "A1", "2026-12-05 07:45:10");
    AddDetail("S2", "P2", "E2", "A'2", "2026-12-06 07:50:00");
    AddDetail("S2", "P9", "E9", "A1", "2026-12-06 07:40:00");     // a visit the tables lack
    AddDetail("S2", "P1", "E1", "A1", "2026-12-06 07:45:00", 0);  // a detail no longer valid
    AddDetail("S3", "P1", "E1", "A1", "2026-12-07 23:59:59");
    AddDetail("S4", "P2", "E2", "A1", "2026-12-06 09:00:00");
  }

  void AddRecord(const std::string& id, const std::string& dept_id, const std::string& time) {
    db_.Execute("INSERT INTO PEV_DT_SHIFT_RECORD (ID, DEPT_ID, CREATE_TIME, VAILD_FLAG) VALUES (" +
                schema::SqlText(id) + ", " + schema::SqlText(dept_id) + ", " +
                schema::SqlDate(time) + ", 1)");
  }
  void AddDetail(const std::string& id, const std::string& patient_id, const std::string& event_no,
                 const std::string& acceptor_id, const std::string& shift_time, int valid = 1) {
    db_.Execute(
        "INSERT INTO PEV_DT_SHIFT_DETAIL (ID, PATIENT_ID, EVENT_NO, PATIENT_TYPE, DIAGNOSIS, NOTE, "
        "SHIFT_TYPE, SHIFTOR_ID, SHIFTOR, ACCEPTOR_ID, ACCEPTOR, SHIFT_TIME, DEPT_ID, DEPT_NAME, "
        "CREATOR_ID, CREATOR, MODIFIER_ID, MODIFIER, MODIFIED_TIME, VAILD_FLAG) VALUES (" +
        schema::SqlText(id) + ", " + schema::SqlText(patient_id) + ", " +
        schema::SqlText(event_no) + ", '病危', '心衰', '注意<出入量>', '1', 'S01', '交班医生', " +
        schema::SqlText(acceptor_id) + ", '接班医生', " + schema::SqlDate(shift_time) +
        ", 'D1', '心内科', 'C01', '录入人', NULL, NULL, NULL, " + std::to_string(valid) + ")");
  }

  // The shift times of the listed details.
  std::vector<std::string> Listed(long (*body)(CEMRDataSource*, BSTR, BSTR*),
                                  const std::u16string& condition) {
    return AttributeOfEach(List(body, condition), "shift_time");
  }
  std::vector<std::string> Listed(const std::u16string& condition) {
    return Listed(&CBCoreSystem::GetDoctorShiftRecord, condition);
  }
  std::vector<std::string> Next(const std::u16string& condition) {
    return Listed(&CBCoreSystem::DoctorShiftRecordNext, condition);
  }
  std::vector<std::string> Previous(const std::u16string& condition) {
    return Listed(&CBCoreSystem::DoctorShiftRecordPrevious, condition);
  }

  ScopedDatabaseClock clock_;  // 2026-12-07 08:00:00
};

TEST_F(DoctorShiftTest, DetailsAreListedWithTheirPatientsInShiftOrder) {
  const std::vector<Element> listed =
      List(&CBCoreSystem::GetDoctorShiftRecord, u"<root><id>S2</id></root>");
  const std::map<std::string, std::string> common = {
      {"patient_type", "病危"}, {"diagnosis", "心衰"}, {"note", "注意<出入量>"},
      {"shift_type", "1"},      {"shiftor_id", "S01"}, {"shiftor", "交班医生"},
      {"acceptor", "接班医生"}, {"dept_id", "D1"},     {"dept_name", "心内科"},
      {"creator_id", "C01"},    {"creator", "录入人"}, {"modifier_id", ""},
      {"modifier", ""},         {"modified_time", ""}, {"vaild_flag", "1"}};
  const auto item = [&](std::map<std::string, std::string> own) {
    own.insert(common.begin(), common.end());
    return Element{"item", "", own};
  };
  // Days since birth / 365, truncated, plus one: 9495.96 days give 27, 20794.33 days give 57.
  EXPECT_EQ(listed, (std::vector<Element>{item({{"id", "S2"},
                                                {"patient_id", "P9"},
                                                {"event_no", "E9"},
                                                {"bed_no", ""},
                                                {"patient_name", ""},
                                                {"patient_sex", ""},
                                                {"patient_age", ""},
                                                {"acceptor_id", "A1"},
                                                {"shift_time", "2026-12-06 07:40"}}),
                                          item({{"id", "S2"},
                                                {"patient_id", "P2"},
                                                {"event_no", "E2"},
                                                {"bed_no", "16"},
                                                {"patient_name", "李四"},
                                                {"patient_sex", "女"},
                                                {"patient_age", "27"},
                                                {"acceptor_id", "A'2"},
                                                {"shift_time", "2026-12-06 07:50"}})}));
  // A character XML cannot carry, brought in by the handover system, is listed as U+FFFD.
  db_.Execute("UPDATE PEV_DT_SHIFT_DETAIL SET NOTE = 'a' || CHR(1) || 'b' WHERE ID = 'S1'");
  const std::vector<Element> first =
      List(&CBCoreSystem::GetDoctorShiftRecord, u"<root><id>S1</id></root>");
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first.front().attributes.at("note"), "a\uFFFDb");
  EXPECT_EQ(first.front().attributes.at("patient_sex"), "男");
  EXPECT_EQ(first.front().attributes.at("patient_age"), "57");
}

TEST_F(DoctorShiftTest, FiltersTakeDaysQuotesAndAnEmptyConditionQueriesNothing) {
  EXPECT_EQ(Listed(u"<root><shift_begin_date>2026-12-06</shift_begin_date></root>"),
            (std::vector<std::string>{"2026-12-06 07:40", "2026-12-06 07:50", "2026-12-06 09:00",
                                      "2026-12-07 23:59"}));
  EXPECT_EQ(Listed(u"<root><shift_end_date>2026-12-06</shift_end_date></root>"),
            (std::vector<std::string>{"2026-12-05 07:45", "2026-12-06 07:40", "2026-12-06 07:50",
                                      "2026-12-06 09:00"}));
  EXPECT_EQ(Listed(u"<root><acceptor_id>A'2</acceptor_id></root>"),
            std::vector<std::string>{"2026-12-06 07:50"});
  EXPECT_EQ(Listed(u"<root><dept_id>D1</dept_id><acceptor_id>A1</acceptor_id>"
                   u"<shift_end_date>2026-12-06</shift_end_date></root>"),
            (std::vector<std::string>{"2026-12-05 07:45", "2026-12-06 07:40", "2026-12-06 09:00"}));
  EXPECT_TRUE(Listed(u"<root><id>S1' OR '1'='1</id></root>").empty());

  for (const char16_t* condition : {u"<root/>", u"", u"<root><other>1</other><id/></root>"}) {
    TestDataSource data_source(kUnreachableDatabase);
    ScopedBstr text(condition), result;
    EXPECT_EQ(CBCoreSystem::GetDoctorShiftRecord(&data_source, text.get(), result.out()), 0);
    EXPECT_EQ(result.text(), kEmptyList);
  }
  EXPECT_EQ(Failure(&CBCoreSystem::GetDoctorShiftRecord, u"<root>", kUnreachableDatabase),
            u"解析属性信息错误.");
}

TEST_F(DoctorShiftTest, PagingMovesWithinTheDepartmentByCreationTime) {
  EXPECT_EQ(Next(u"<root><id>S1</id></root>"),
            (std::vector<std::string>{"2026-12-06 07:40", "2026-12-06 07:50"}));
  EXPECT_EQ(Next(u"<root><id>S2</id><dept_id>D2</dept_id></root>"),
            std::vector<std::string>{"2026-12-07 23:59"})
      << "the reference record's department wins";
  EXPECT_EQ(Previous(u"<root><id>S2</id></root>"), std::vector<std::string>{"2026-12-05 07:45"});
  // At either end of the department the list is empty.
  for (const auto& [body, condition] : std::vector<std::pair<Reader1, const char16_t*>>{
           {&CBCoreSystem::DoctorShiftRecordNext, u"<root><id>S3</id></root>"},
           {&CBCoreSystem::DoctorShiftRecordPrevious, u"<root><id>S1</id></root>"},
           {&CBCoreSystem::DoctorShiftRecordNext, u"<root><id>S4</id></root>"},
           {&CBCoreSystem::DoctorShiftRecordNext, u"<root/>"},
           {&CBCoreSystem::DoctorShiftRecordNext, u"<root><dept_id>D9</dept_id></root>"},
           {&CBCoreSystem::DoctorShiftRecordPrevious, u"<root><id>S9</id></root>"}}) {
    EXPECT_EQ(Answer(body, condition), kEmptyList) << ToUtf8(condition);
  }
  // Without a reference record: the department's first or last record.
  EXPECT_EQ(Next(u"<root><dept_id>D1</dept_id></root>"),
            std::vector<std::string>{"2026-12-05 07:45"});
  EXPECT_EQ(Previous(u"<root><dept_id>D1</dept_id></root>"),
            std::vector<std::string>{"2026-12-07 23:59"});
  EXPECT_EQ(Failure(&CBCoreSystem::DoctorShiftRecordNext, u"<root>", kUnreachableDatabase),
            u"解析属性信息错误.");
}

TEST_F(DoctorShiftTest, ADeletedRecordKeepsItsDetailsAndLeavesThePaging) {
  Call(&CBCoreSystem::DeleteDoctorShiftRecord, u"S2");
  Call(&CBCoreSystem::DeleteDoctorShiftRecord, u"S1' OR '1'='1");
  EXPECT_EQ(Failure(&CBCoreSystem::DeleteDoctorShiftRecord, u"", kUnreachableDatabase), u"");
  EXPECT_EQ(db_.Query("SELECT ID, VAILD_FLAG FROM PEV_DT_SHIFT_RECORD ORDER BY ID"),
            (Rows{{"S1", "1"}, {"S2", "0"}, {"S3", "1"}, {"S4", "1"}}));
  EXPECT_EQ(db_.Count("PEV_DT_SHIFT_DETAIL", "ID = 'S2' AND VAILD_FLAG = 1"), 2);
  EXPECT_EQ(Next(u"<root><id>S1</id></root>"), std::vector<std::string>{"2026-12-07 23:59"});
  EXPECT_EQ(Previous(u"<root><id>S3</id></root>"), std::vector<std::string>{"2026-12-05 07:45"});
  // A deleted reference is no reference: paging starts at the department's first or last.
  EXPECT_EQ(Next(u"<root><id>S2</id><dept_id>D1</dept_id></root>"),
            std::vector<std::string>{"2026-12-05 07:45"});
  EXPECT_EQ(Previous(u"<root><id>S2</id><dept_id>D1</dept_id></root>"),
            std::vector<std::string>{"2026-12-07 23:59"});
  EXPECT_EQ(Next(u"<root><id>S2</id></root>"), std::vector<std::string>{});
}

}  // namespace
}  // namespace korvalis::review::testing
