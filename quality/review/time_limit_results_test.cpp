#include <map>
#include <memory>

#include "platform/db/database_clock.h"
#include "quality/review/qc_collector.h"
#include "quality/review/testing/collector_test_support.h"

namespace korvalis::review::testing {
namespace {

// The database's SYSDATE stands still at 2026-12-07 12:00:00.
class TimeLimitResultsTest : public CollectorTest {
 protected:
  struct FixedClock : db::DatabaseClock {
    db::DateTime Now() const override { return db::ParseStoredDate("2026-12-07 12:00:00").value(); }
  };

  void SetUp() override {
    db::SetDatabaseClock(std::make_shared<FixedClock>());
    db_.AddPatient({.id = "P1", .name = "张三"});
    db_.AddVisit({.patient_id = "P1", .event_no = "E1", .in_time = "2026-12-01 08:00:00"});
    db_.AddPatient({.id = "P2", .name = "O'Brien"});
    db_.AddVisit({.patient_id = "P2",
                  .event_no = "E2",
                  .dept_id = "0202",
                  .in_time = "2026-12-07 20:00:00"});
    db_.AddStandardCatalog({.id = 1, .name = "时限"});
    db_.AddStandardItem({.id = 1, .standard = "超时", .point = 2.5, .catalog_id = 1});
    db_.AddRule({.id = 3, .name = "入院记录", .point_id = 1});
    db_.AddRule({.id = 5, .name = "首次病程"});
  }
  void TearDown() override { db::SetDatabaseClock(nullptr); }

  // An instance of P1/E1 by rule 3 whose deadline is `deadline`; its EMR_ID names it.
  void AddInstance(int serial, const std::string& deadline, int status = 1,
                   std::optional<int> over_hour = {}, int rule = 3) {
    db_.AddRuleInstance({.patient_id = "P1",
                         .event_no = "E1",
                         .serial = serial,
                         .rule_id = rule,
                         .start_time = "2026-12-06 12:00:00",
                         .over_time = deadline,
                         .status = status,
                         .emr_id = "R" + std::to_string(serial),
                         .finish_time = status == 2
                                            ? std::optional<std::string>("2026-12-07 00:00:00")
                                            : std::nullopt,
                         .over_hour = over_hour});
  }

  std::vector<Element> PatientList(const std::u16string& patient, const std::u16string& visit) {
    TestDataSource data_source(db_.init_string());
    ScopedBstr p(patient), v(visit), result;
    EXPECT_EQ(CBQCCollector::GetPatientQCList(&data_source, p.get(), v.get(), result.out()), 0);
    return ReadElements(result.text());
  }
  std::vector<Element> QcList(const std::u16string& condition) {
    return List(CBQCCollector::GetQCList, condition);
  }
  std::u16string ResultInfo(const std::u16string& condition) {
    return Answer(CBQCCollector::GetQCResultInfo, condition);
  }

  // The values of `names` in the element, in that order.
  static std::vector<std::string> Pick(const Element& e, std::initializer_list<const char*> names) {
    std::vector<std::string> values;
    for (const char* name : names) values.push_back(e.attributes.at(name));
    return values;
  }

  // over_hour by EMR_ID.
  static std::map<std::string, std::string> Lateness(const std::vector<Element>& list) {
    std::map<std::string, std::string> hours;
    for (const Element& e : list) hours[e.attributes.at("emr_id")] = e.attributes.at("over_hour");
    return hours;
  }
};

TEST_F(TimeLimitResultsTest, OpenInstancesAreLateByTheHoursSinceTheirDeadlineClosedOnesAsStored) {
  AddInstance(1, "2026-12-07 12:30:00");
  AddInstance(2, "2026-12-07 10:30:00");
  AddInstance(3, "2026-12-07 11:51:00");
  AddInstance(4, "2026-12-07 11:55:00");
  AddInstance(5, "2026-12-06 20:00:00", 2, 4);
  AddInstance(6, "2026-12-06 20:00:00", 3);
  AddInstance(7, "2026-12-06 20:00:00", 0);
  const std::map<std::string, std::string> expected{{"R1", "-0.5"}, {"R2", "1.5"}, {"R3", "0.1"},
                                                    {"R4", "0"},    {"R5", "4"},   {"R6", ""}};
  EXPECT_EQ(Lateness(PatientList(u"P1", u"E1")), expected);
  EXPECT_EQ(Lateness(QcList(u"<root/>")), expected);

  const std::vector<Element> one = QcList(
      u"<root><rule_id>3</rule_id><complete>0</complete>"
      u"<timeout>1</timeout><eventno>E1</eventno>"
      u"<patient_name>张三</patient_name></root>");
  EXPECT_EQ(Lateness(one), (std::map<std::string, std::string>{{"R2", "1.5"}, {"R3", "0.1"}}));
  EXPECT_EQ(one.front().text, "张三");
  EXPECT_EQ(Pick(one.front(), {"qc", "point", "serial", "deadline", "now_dept_id"}),
            (std::vector<std::string>{"入院记录", "2.5", "2", "2026-12-07 10:30:00", "0101"}));

  // A suspended instance is neither on time nor late.
  const std::map<std::string, std::string> overdue{{"R2", "1.5"}, {"R3", "0.1"}, {"R5", "4"}};
  const std::pair<std::u16string, std::map<std::string, std::string>> kFilters[] = {
      {u"<timeout>0</timeout>", {{"R1", "-0.5"}, {"R4", "0"}}},
      {u"<timeout>1</timeout>", overdue},
      {u"<only_over_time>true</only_over_time>", overdue},
      {u"<complete>1</complete>", {{"R5", "4"}}},
  };
  for (const auto& [filter, hours] : kFilters) {
    EXPECT_EQ(Lateness(QcList(u"<root>" + filter + u"</root>")), hours) << ToUtf8(filter);
  }
}

TEST_F(TimeLimitResultsTest, ASignatureDeadlineIsListedOnlyWithItsRecord) {
  const std::string record =
      db_.AddRecord({.patient_id = "P1", .event_no = "E1", .title = "入院记录"});
  db_.Execute(
      "INSERT INTO PEV_SUPERIOR_SIGN_REC (PATIENT_ID, EVENT_NO, RULE_ID, EMR_ID, STATUS, "
      "SIGN_START_TIME, SIGN_END_TIME) VALUES ('P1', 'E1', 3, '" +
      record +
      "', 1, TO_DATE('2026-12-05 12:00:00', 'YYYY-MM-DD HH24:MI:SS'), "
      "TO_DATE('2026-12-07 09:00:00', 'YYYY-MM-DD HH24:MI:SS'))");
  db_.Execute(
      "INSERT INTO PEV_SUPERIOR_SIGN_REC (PATIENT_ID, EVENT_NO, RULE_ID, EMR_ID, STATUS, "
      "SIGN_END_TIME) VALUES ('P1', 'E1', 3, 'GONE', 1, SYSDATE)");
  db_.Execute(
      "INSERT INTO PEV_SUPERIOR_SIGN_REC (PATIENT_ID, EVENT_NO, RULE_ID, EMR_ID, STATUS, "
      "SIGN_END_TIME) VALUES ('P1', 'E1', 3, '" +
      record + "', 0, SYSDATE)");
  AddInstance(1, "2026-12-07 12:30:00");
  db_.Execute("UPDATE PEV_TIME_RULE_RECORD SET EMR_ID = NULL");

  const std::vector<Element> visit = PatientList(u"P1", u"E1");
  ASSERT_EQ(visit.size(), 2u);
  EXPECT_EQ(Pick(visit[0], {"emr_id", "emr_title", "in_time"}),
            (std::vector<std::string>{"", "", "2026-12-01 08:00:00"}));
  EXPECT_EQ(Pick(visit[1], {"emr_id", "emr_title", "over_hour", "deadline", "standard"}),
            (std::vector<std::string>{record, "入院记录", "3", "2026-12-07 09:00:00", "超时"}));

  const std::vector<Element> list = QcList(u"<root><dept_id>0101</dept_id></root>");
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[1].attributes.at("emr_catalog"), "2");
  EXPECT_EQ(list[1].attributes.at("qc_start_time"), "2026-12-05 12:00:00");
  EXPECT_EQ(PatientList(u"P1'", u"E1"), std::vector<Element>{});
}

TEST_F(TimeLimitResultsTest, DateRangesTakeTheWholeEndDayAndNeedExactlyTwoPieces) {
  db_.AddRuleInstance({.patient_id = "P2",
                       .event_no = "E2",
                       .rule_id = 5,
                       .start_time = "2026-12-07 20:00:00",
                       .over_time = "2026-12-08 20:00:00"});
  EXPECT_EQ(QcList(u"<root><in_time>2026-12-01|2026-12-07</in_time></root>").size(), 1u);
  EXPECT_EQ(QcList(u"<root><in_time>2026-12-01|2026-12-06 23:00</in_time></root>").size(), 0u);
  EXPECT_EQ(QcList(u"<root><in_time>2026-12-01|x</in_time></root>").size(), 0u);
  EXPECT_EQ(QcList(u"<root><expire_time>2026-12-08|2026-12-08</expire_time>"
                   u"<leave_time>|2026-12-08</leave_time></root>")
                .size(),
            1u);

  const std::u16string unfiltered = ResultInfo(u"<root/>");
  for (const char16_t* range : {u"2024-03-01|", u"|2024-03-31", u"2024-03-01||2024-03-31",
                                u"2024-03-01|2024-03-15|2024-03-31"}) {
    EXPECT_EQ(ResultInfo(std::u16string(u"<root><intime_span>") + range + u"</intime_span></root>"),
              unfiltered);
  }
  const std::u16string march =
      ResultInfo(u"<root><intime_span>2024-03-01|2024-03-31</intime_span></root>");
  EXPECT_NE(march.find(u" AND E.IN_TIME BETWEEN to_date('2024-03-01', 'YYYY-MM-DD HH24:MI:SS') "
                       u"AND to_date('2024-04-01', 'YYYY-MM-DD HH24:MI:SS') GROUP BY"),
            std::u16string::npos)
      << ToUtf8(march);
  EXPECT_NE(ResultInfo(u"<root><leavetime_span>2024-03-01|never</leavetime_span></root>")
                .find(u"to_date('1899-12-31', 'YYYY-MM-DD HH24:MI:SS')"),
            std::u16string::npos);
}

TEST_F(TimeLimitResultsTest, RuleIdsAreAListOfNumbers) {
  AddInstance(1, "2026-12-07 12:30:00");
  AddInstance(2, "2026-12-07 12:30:00", 1, {}, 5);
  EXPECT_EQ(Lateness(QcList(u"<root><rule_id>3,5,8</rule_id></root>")).size(), 2u);
  EXPECT_EQ(Lateness(QcList(u"<root><rule_id>5</rule_id></root>")),
            (std::map<std::string, std::string>{{"R2", "-0.5"}}));
  EXPECT_EQ(korvalis::testing::FailureOf([&] {
              TestDataSource data_source(db_.init_string());
              ScopedBstr condition(u"<root><rule_id>3) OR (1=1</rule_id></root>"), result;
              CBQCCollector::GetQCList(&data_source, condition.get(), result.out());
            }),
            u"不是有效的数字: '3) OR (1=1' (rule_id)");
}

TEST_F(TimeLimitResultsTest, TheSummaryStatementIsHandedOutWithItsValuesQuotedAndRuns) {
  const std::u16string statement =
      ResultInfo(u"<root><indept>0'1</indept><eventno>12%</eventno><name>O'Brien</name></root>");
  EXPECT_EQ(
      statement,
      u"SELECT E.NAME, D.PATIENT_ID, D.EVENT_NO, A.OVERNUM, B.COMPLETENUM, C.UNWRITE, E.SEX,"
      u"E.BED_NO, E.REG_DOCTOR_ID, E.DOCTOR_NAME, E.NOW_DEPT_NAME, E.IN_TIME, E.OUT_TIME  FROM "
      u"(SELECT T.PATIENT_ID, T.EVENT_NO, COUNT(*) OVERNUM FROM (SELECT A.PATIENT_ID,A.EVENT_NO, "
      u"TRUNC(DECODE(A.STATUS, 2, A.OVER_HOUR, 1, ROUND((SYSDATE - A.OVER_TIME) * 24, 9)), 1) "
      u"OVERHOUR FROM "
      u"PEV_TIME_RULE_RECORD A) T  WHERE T.OVERHOUR > 0 GROUP BY T.PATIENT_ID, T.EVENT_NO ) A, "
      u"(SELECT H.PATIENT_ID, H.EVENT_NO, COUNT(*) COMPLETENUM FROM PEV_TIME_RULE_RECORD G, "
      u"TELV_EMR_CONTENT H WHERE G.PATIENT_ID = H.PATIENT_ID AND G.EVENT_NO = H.EVENT_NO AND "
      u"H.STATUS = 1 GROUP BY H.PATIENT_ID, H.EVENT_NO) B, (SELECT T.PATIENT_ID, T.EVENT_NO, "
      u"COUNT(*) UNWRITE FROM PEV_TIME_RULE_RECORD T WHERE  T.EMR_ID IS NULL GROUP BY "
      u"T.PATIENT_ID, T.EVENT_NO) C, PEV_TIME_RULE_RECORD D, TELV_V_PATIENT_VISIT_RECORD E  WHERE "
      u"D.EVENT_NO = A.EVENT_NO(+)  AND D.PATIENT_ID = A.PATIENT_ID(+) AND D.EVENT_NO = "
      u"B.EVENT_NO(+)  AND D.PATIENT_ID = B.PATIENT_ID (+) AND D.EVENT_NO = C.EVENT_NO(+) AND "
      u"D.PATIENT_ID = C.PATIENT_ID(+) AND D.EVENT_NO = E.EVENT_NO(+) AND D.PATIENT_ID = "
      u"E.PATIENT_ID(+)  AND E.NOW_DEPT_ID = '0''1'  AND E.EVENT_NO LIKE '%12%%'  AND E.NAME LIKE "
      u"'%O''Brien%' GROUP BY E.NAME, D.PATIENT_ID, D.EVENT_NO, A.OVERNUM, B.COMPLETENUM, "
      u"C.UNWRITE, E.SEX,E.BED_NO,E.REG_DOCTOR_ID,E.DOCTOR_NAME, E.NOW_DEPT_NAME,E.IN_TIME,"
      u"E.OUT_TIME ");

  // The caller's run: one row per visit with instances, the counts NULL where nothing counts.
  AddInstance(1, "2026-12-07 10:00:00");
  AddInstance(2, "2026-12-07 13:00:00", 0);
  db_.Execute("UPDATE PEV_TIME_RULE_RECORD SET EMR_ID = NULL WHERE SERIAL = 2");
  db_.AddRecord({.patient_id = "P1", .event_no = "E1"});
  EXPECT_EQ(db_.Query(ToUtf8(ResultInfo(u"<root><eventno>E</eventno></root>"))),
            (Rows{{"张三", "P1", "E1", "1", "2", "1", "1", "01", "D001", "测试医生", "心血管内科",
                   "2026-12-01 08:00:00", ""}}));
}

}  // namespace
}  // namespace korvalis::review::testing
