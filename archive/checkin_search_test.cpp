#include "archive/checkin_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "archive/archive_patient.h"
#include "db/testing/test_database.h"
#include "foundation/data/db_type.h"
#include "foundation/data/single_data_source.h"
#include "foundation/testing/emr_exception_test_util.h"
#include "foundation/testing/list_elements.h"
#include "foundation/testing/test_data_source.h"
#include "platform/com/scoped_bstr.h"
#include "platform/db/testing/engine_database.h"
#include "platform/text/unicode.h"

namespace korvalis::archive {
namespace {

using com::ScopedBstr;
using korvalis::testing::Element;
using korvalis::testing::FailureOf;
using korvalis::testing::ReadElements;
using korvalis::testing::TestDataSource;
using Visits = std::vector<std::string>;

// Discharged visits for the paper check-in: K1 with three flow entries, K2 without any, K3 of
// another department with a paper record signed in; K4 is not discharged and K5 is not an
// in-patient stay of the check-in (RESIDENCE_FLAG 2).
class CheckinSearchTest : public ::testing::TestWithParam<db::Engine> {
 protected:
  void SetUp() override {
    AddVisit("K1", "张三", "0101", "2026-11-10 10:00:00", 1, 1);
    AddVisit("K2", "李四", "0101", "2026-11-20 10:00:00", 1, 2);
    AddVisit("K3", "王五", "0102", "2026-11-25 10:00:00", 1, 3);
    AddVisit("K4", "赵六", "0101", std::nullopt, 1, 1);
    AddVisit("K5", "钱七", "0101", "2026-11-10 10:00:00", 2, 1);
    // Entered out of their order.
    AddFlow("K1", 2, "马丽华", "2026-11-12 09:00:00", 2, "回退");
    AddFlow("K1", 3, "O'Neil", "2026-11-13 09:00:00", 3, "归档");
    AddFlow("K1", 1, "刘静怡", "2026-11-11 09:00:00", 1, "提交");
    AddFlow("K3", 1, "马丽华", "2026-11-26 09:00:00", 1, "提交");
    db_.Execute("UPDATE TELV_VISIT_RECORD SET PAPER_EMR_STATUS = 3 WHERE EVENT_NO = 'K3'");
  }
  void AddVisit(const std::string& event, const std::string& name, const std::string& dept,
                const std::optional<std::string>& out_time, int residence_flag, int emr_status) {
    db_.AddPatient({.id = "P" + event, .name = name});
    db_.AddVisit({.patient_id = "P" + event,
                  .event_no = event,
                  .dept_id = dept,
                  .out_time = out_time,
                  .residence_flag = residence_flag,
                  .emr_status = emr_status});
  }
  void AddFlow(const std::string& event, int serial, const std::string& by, const std::string& time,
               int status, const std::string& memo) {
    db_.Execute(
        "INSERT INTO TELV_EMR_FLOW_RECORD (PATIENT_ID, EVENT_NO, SERIAL_NO, OPERATOR, "
        "OPER_TIME, NEW_STATUS, MEMO) VALUES ('P" +
        event + "', '" + event + "', " + std::to_string(serial) + ", " + schema::SqlText(by) +
        ", " + schema::SqlDate(time) + ", " + std::to_string(status) + ", '" + memo + "')");
  }
  std::vector<Element> Search(const std::u16string& condition) {
    ScopedBstr text(condition), list;
    TestDataSource source(db_.init_string());
    CBArchivePatient::SearchCheckinPatient(&source, text.get(), list.out());
    return ReadElements(list.text());
  }
  Visits Found(const std::u16string& condition) {
    Visits visits;
    for (const Element& e : Search(condition)) visits.push_back(e.attributes.at("event_no"));
    std::sort(visits.begin(), visits.end());
    return visits;
  }
  std::u16string Failure(const std::u16string& condition) {
    return FailureOf([&] { Search(condition); });
  }

  schema::TestDatabase db_{schema::DatabaseContents::kInstallation, GetParam()};
};

TEST_P(CheckinSearchTest, EachDischargedVisitIsListedOnceWithItsNewestFlowEntry) {
  std::map<std::string, Element> by_visit;
  for (const Element& e : Search(u"")) by_visit[e.attributes.at("event_no")] = e;
  ASSERT_EQ(by_visit.size(), 3u);
  EXPECT_EQ(by_visit["K1"], (Element{"patient",
                                     "张三",
                                     {{"emr_status", "1"},
                                      {"event_no", "K1"},
                                      {"forbid_flag", "0"},
                                      {"id", "PK1"},
                                      {"in_dept", "心血管内科"},
                                      {"in_time", "2026-01-05 08:00:00"},
                                      {"leave_dept", "心血管内科"},
                                      {"leave_time", "2026-11-10 10:00:00"},
                                      {"oper_memo", "归档"},
                                      {"oper_time", "2026-11-13 09:00:00"},
                                      {"operator", "O'Neil"},
                                      {"paper_status", "3"},
                                      {"serial_no", "3"},
                                      {"sex", "1"}}}));
  for (const char* empty : {"operator", "oper_time", "paper_status", "oper_memo", "serial_no"}) {
    EXPECT_EQ(by_visit["K2"].attributes.at(empty), "") << empty;
  }
  EXPECT_EQ(by_visit["K3"].attributes.at("serial_no"), "1");
}

TEST_P(CheckinSearchTest, TheConditionsNarrowTheVisits) {
  EXPECT_EQ(Found(u"<root><name>四</name></root>"), (Visits{"K2"}));
  EXPECT_EQ(Found(u"<root><patient_id>K</patient_id><event_no>3</event_no></root>"),
            (Visits{"K3"}));
  EXPECT_EQ(Found(u"<root><leave_dept>0101</leave_dept></root>"), (Visits{"K1", "K2"}));
  EXPECT_EQ(Found(u"<root><emr_status> 1, 3 </emr_status></root>"), (Visits{"K1", "K3"}));
  EXPECT_EQ(Found(u"<root><paper_status>3</paper_status></root>"), (Visits{"K3"}));
  EXPECT_EQ(Found(u"<root><name>'</name></root>"), Visits{});
}

TEST_P(CheckinSearchTest, ADischargeSpanAppliesOnlyWithExactlyAStartAndAnEnd) {
  EXPECT_EQ(Found(u"<root><leavetime_span>2026-11-15|2026-11-30</leavetime_span></root>"),
            (Visits{"K2", "K3"}));
  for (const char16_t* no_span :
       {u"2026-11-15", u"|2026-11-30", u"2026-11-15|2026-11-30|2026-12-31"}) {
    EXPECT_EQ(
        Found(u"<root><leavetime_span>" + std::u16string(no_span) + u"</leavetime_span></root>"),
        (Visits{"K1", "K2", "K3"}))
        << ToUtf8(no_span);
  }
}

TEST_P(CheckinSearchTest, AConditionThatCannotStandInTheStatementIsRefused) {
  EXPECT_EQ(Failure(u"<root><emr_status>1) OR (1=1</emr_status></root>"),
            u"不是有效的数字: '1) OR (1=1' (emr_status)");
  EXPECT_EQ(Failure(u"<root><paper_status>3 OR 1=1</paper_status></root>"),
            u"不是有效的数字: '3 OR 1=1' (paper_status)");
  EXPECT_EQ(Failure(u"<root><name>"), u"无效XML!");
  EXPECT_EQ(Failure(u"<root><leavetime_span>昨天|今天</leavetime_span></root>"),
            kDatabaseErrorMessage);
}

TEST_P(CheckinSearchTest, AnswersAsTheWindowedStatementOrderedByVisit) {
  // K6 has an entry without a number, which counts as the newest, beside a numbered one.
  AddVisit("K6", "孙八", "0101", "2026-11-21 10:00:00", 1, 1);
  AddFlow("K6", 2, "马丽华", "2026-11-22 09:00:00", 2, "回退");
  db_.Execute(
      "INSERT INTO TELV_EMR_FLOW_RECORD (PATIENT_ID, EVENT_NO, OPERATOR, NEW_STATUS, MEMO) "
      "VALUES ('PK6', 'K6', '无号', 1, '补录')");
  // The search as first written: four windows over the rows of each visit number and a
  // grouping of all columns, in no order of its own.
  std::u16string latest;
  for (const char* column : {"OPERATOR", "OPER_TIME", "NEW_STATUS", "MEMO"}) {
    latest += u" FIRST_VALUE(" + FromUtf8(column) +
              u") OVER(PARTITION BY EVENT_NO ORDER BY SERIAL_NO DESC) " + FromUtf8(column) + u",";
  }
  const std::u16string visit =
      u"NAME, SEX, PATIENT_ID, EVENT_NO, IN_TIME, IN_DEPT_NAME, OUT_TIME, OUT_DEPT_NAME, "
      u"EMR_STATUS, FORBID_FLAG";
  const std::u16string windowed =
      u"SELECT " + visit + u", OPERATOR, OPER_TIME, NEW_STATUS, MEMO, MAX(SERIAL_NO) FROM (SELECT " +
      visit + u"," + latest +
      u" SERIAL_NO FROM (SELECT C.NAME, C.SEX, A.PATIENT_ID, A.EVENT_NO, A.IN_TIME, "
      u"A.IN_DEPT_NAME, A.OUT_TIME, A.OUT_DEPT_NAME, A.EMR_STATUS, A.FORBID_FLAG, B.OPERATOR, "
      u"B.OPER_TIME, B.NEW_STATUS, B.MEMO, B.SERIAL_NO FROM TELV_VISIT_RECORD A, TELV_PATIENT C, "
      u"TELV_EMR_FLOW_RECORD B WHERE A.PATIENT_ID = C.ID AND A.OUT_TIME IS NOT NULL AND "
      u"A.OUT_DEPT_ID IS NOT NULL AND A.RESIDENCE_FLAG = 1 AND A.PATIENT_ID = B.PATIENT_ID(+) "
      u"AND A.EVENT_NO = B.EVENT_NO(+))) GROUP BY " +
      visit + u", OPERATOR, OPER_TIME, NEW_STATUS, MEMO";
  const auto rows = [&](const std::u16string& sql) {
    TestDataSource source(db_.init_string());
    std::vector<std::u16string> values;
    source.Query(sql, 15, values);
    std::vector<std::vector<std::u16string>> rows;
    for (std::size_t i = 0; i + 15 <= values.size(); i += 15) {
      rows.emplace_back(values.begin() + static_cast<std::ptrdiff_t>(i),
                        values.begin() + static_cast<std::ptrdiff_t>(i + 15));
    }
    return rows;
  };
  const CDBOracle oracle;
  const auto listed = rows(CheckinPatientSql(oracle, u"<root/>"));
  auto expected = rows(windowed);
  std::sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) {
    return std::tie(a[2], a[3]) < std::tie(b[2], b[3]);
  });
  ASSERT_EQ(listed.size(), 4u);
  EXPECT_EQ(listed, expected);
  const auto k6 = std::find_if(listed.begin(), listed.end(),
                               [](const auto& row) { return row[3] == u"K6"; });
  ASSERT_NE(k6, listed.end());
  EXPECT_EQ((*k6)[10], u"无号");
  EXPECT_EQ((*k6)[14], u"2");
}

INSTANTIATE_TEST_SUITE_P(Engines, CheckinSearchTest, db::testing::kBothEngines,
                         db::testing::EngineName);

}  // namespace
}  // namespace korvalis::archive
