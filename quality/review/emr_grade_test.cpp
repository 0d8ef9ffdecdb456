#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "quality/review/qc_patient.h"
#include "quality/review/testing/collector_test_support.h"
#include "quality/rules/testing/grade_task_test_util.h"

namespace korvalis::testing {
namespace {

using com::ScopedBstr;
using review::testing::AttributeOfEach;
using review::testing::Element;
using review::testing::ReadElements;
using Rows = std::vector<std::vector<std::string>>;

constexpr char kGradeOf[] =
    "SELECT STATUS, SCORE, CLASS, USER_ID, EXECUTOR_ID, RECTIFY_ID, GRADE_DATE FROM "
    "PEV_GRADE_PATIENT WHERE TASK_ID = 'T1' AND PATIENT_ID = 'P1' AND EVENT_NO = 'E1'";
constexpr char kItemsOf[] =
    "SELECT SERIAL, STANDARD_ID, CONTENT, DEDUCT, EMR_ID FROM PEV_GRADE_ITEM WHERE TASK_ID = "
    "'T1' AND PATIENT_ID = 'P1' AND EVENT_NO = 'E1' ORDER BY SERIAL";

// A grade of visit P1 E1 in task T1; `more` is put before the closing tag.
std::u16string Grade(const std::u16string& more = u"", const std::u16string& status = u"2") {
  return u"<root><task_id>T1</task_id><patient_id>P1</patient_id><event_no>E1</event_no>"
         u"<user_id>9002</user_id><status>" +
         status +
         u"</status><score>85.5</score><class>2</class><rectify_id>R1</rectify_id>"
         u"<executor_id>9003</executor_id>" +
         more + u"</root>";
}

class EmrGradeTest : public GradeTaskTest {
 protected:
  void SetUp() override {
    db_.AddPatient({.id = "P1", .name = "O'Hara<甲>"});
    db_.AddVisit({.patient_id = "P1", .event_no = "E1", .dept_id = "0101"});
    db_.AddPatient({.id = "P2", .name = "李四"});
    db_.AddVisit({.patient_id = "P2",
                  .event_no = "E2",
                  .dept_id = "0102",
                  .out_time = "2026-11-20 10:00:00"});
    db_.AddPatient({.id = "P3", .name = "王五"});
    db_.AddVisit({.patient_id = "P3", .event_no = "E3", .dept_id = "0101"});
    db_.AddStandardItem({.id = 5, .standard = "主诉不清"});
    AddTask({.id = "T1", .executor_type = 0});
    AddTask({.id = "T2", .executor_type = 1, .title = "第二个任务"});
  }

  std::u16string Save(const std::u16string& grade) {
    ScopedBstr argument(grade);
    return Call([&](CEMRDataSource* ds) { CBQCPatient::SaveEmrGrade(ds, argument.get()); });
  }
  std::vector<Element> GradeList(const std::u16string& condition) {
    return ReadElements(Answer(&CBQCPatient::GetQCPatientGradeList, condition));
  }
  // The visits of a grade list as "patient/task", sorted.
  std::vector<std::string> ListedVisits(const std::u16string& condition) {
    return testing::ListedVisits(Answer(&CBQCPatient::GetQCPatientGradeList, condition));
  }
};

TEST_F(EmrGradeTest, AGradeOfAVisitNotInTheTaskAddsIt) {
  ASSERT_EQ(Save(Grade()), u"");
  EXPECT_EQ(db_.Query(kGradeOf),
            (Rows{{"2", "85.5", "2", "9002", "9003", "R1", "2026-12-07 08:00:00"}}));
  EXPECT_EQ(db_.Count("PEV_GRADE_PATIENT"), 1);
}

TEST_F(EmrGradeTest, AGradeUpdatesTheVisitAndReplacesItsItemsOnlyWithADetail) {
  AddGrade({.task_id = "T1", .patient_id = "P1", .event_no = "E1", .status = 1, .score = ""});
  // The items are numbered in document order, whatever the client numbers them.
  ASSERT_EQ(Save(Grade(u"<detail><item standard_id='5' deduct='2' emr_id='R9' serial='7'>"
                       u"缺'主诉'</item><group><item standard_id='6' deduct='0.5'>b</item></group>"
                       u"<item standard_id='' deduct='-1'/></detail>")),
            u"");
  EXPECT_EQ(db_.Query(kGradeOf),
            (Rows{{"2", "85.5", "2", "9002", "9003", "R1", "2026-12-07 08:00:00"}}));
  EXPECT_EQ(db_.Count("PEV_GRADE_PATIENT"), 1) << "updated, not added again";
  const Rows items{
      {"1", "5", "缺'主诉'", "2", "R9"}, {"2", "6", "b", "0.5", ""}, {"3", "", "", "-1", ""}};
  EXPECT_EQ(db_.Query(kItemsOf), items);

  // Without "detail" the items stay; with an empty one they all go.
  ASSERT_EQ(Save(Grade(u"", u"3")), u"");
  EXPECT_EQ(db_.Query(kItemsOf), items);
  EXPECT_EQ(db_.QueryScalar("SELECT STATUS FROM PEV_GRADE_PATIENT"), "3");
  ASSERT_EQ(Save(Grade(u"<detail/>")), u"");
  EXPECT_EQ(db_.Count("PEV_GRADE_ITEM"), 0);
}

TEST_F(EmrGradeTest, AnIncompleteOrNonNumericGradeWritesNothing) {
  AddGrade({.task_id = "T1", .patient_id = "P1", .event_no = "E1", .status = 1});
  AddGradeItem("T1", "P1", "E1");
  const Rows before = db_.Query(kGradeOf);
  EXPECT_EQ(Save(u"<root><task_id>T1</task_id><patient_id>P1</patient_id><event_no>E1</event_no>"
                 u"<status>2</status><score>1</score><class>1</class></root>"),
            u"信息不完整");
  EXPECT_EQ(Save(Grade(u"", u"2 OR 1=1")), u"不是有效的数字: '2 OR 1=1' (status)");
  EXPECT_EQ(Save(Grade(u"<detail><item standard_id='5' deduct='2'/><item standard_id='6'/>"
                       u"</detail>")),
            u"不是有效的数字: '' (deduct)");
  EXPECT_EQ(Save(Grade(u"<detail><item standard_id='5' deduct='1); DROP TABLE X; --'/></detail>")),
            u"不是有效的数字: '1); DROP TABLE X; --' (deduct)");
  EXPECT_EQ(Save(u"<root><task_id>T1"), u"解析属性信息错误.");
  EXPECT_EQ(db_.Query(kGradeOf), before);
  EXPECT_EQ(db_.Count("PEV_GRADE_ITEM"), 1);

  // The database refuses the second new item: the grade and the old items stay as they were.
  RefuseInserts("PEV_GRADE_ITEM", "NEW.CONTENT = 'refused'");
  EXPECT_NE(Save(Grade(u"<detail><item standard_id='5' deduct='1'>a</item>"
                       u"<item standard_id='6' deduct='1'>refused</item></detail>")),
            u"");
  EXPECT_EQ(db_.Query(kGradeOf), before);
  EXPECT_EQ(db_.Query("SELECT STANDARD_ID FROM PEV_GRADE_ITEM"), (Rows{{"1"}}));
}

TEST_F(EmrGradeTest, GradeInfoGivesTheHeaderAndTheItemsEscaped) {
  AddGrade({.task_id = "T1",
            .patient_id = "P1",
            .event_no = "E1",
            .score = "85.5",
            .grade_class = 2,
            .executor_id = "9003"});
  db_.Execute(
      "INSERT INTO PEV_GRADE_ITEM (TASK_ID, PATIENT_ID, EVENT_NO, STANDARD_ID, CONTENT, DEDUCT, "
      "EMR_ID, SERIAL) VALUES ('T1', 'P1', 'E1', '5', '缺<b>''主诉''</b>', 2, 'R9', 1)");
  const std::string record = db_.AddRecord(
      {.id = "R8", .patient_id = "P1", .event_no = "E1", .title = "首次病程\"记录\""});
  db_.Execute(
      "INSERT INTO PEV_GRADE_ITEM (TASK_ID, PATIENT_ID, EVENT_NO, STANDARD_ID, CONTENT, DEDUCT, "
      "EMR_ID, SERIAL) VALUES ('T1', 'P1', 'E1', '99', 'x', 1, '" +
      record + "', 2)");

  const std::u16string info =
      Answer(&CBQCPatient::GetEmrGradeInfo,
             u"<root><task_id>T1</task_id><patient_id>P1</patient_id><event_no>E1</event_no>"
             u"<rectify_id>a&lt;b</rectify_id></root>");
  const std::u16string head =
      u"<?xml version='1.0' ?><root><task_id>T1</task_id><patient_id>P1</patient_id>"
      u"<rectify_id>a&lt;b</rectify_id><event_no>E1</event_no><status>2</status>"
      u"<score>85.5</score><class>2</class><user_id>9002</user_id>"
      u"<executor_id>9003</executor_id><title>任务T1</title>"
      u"<grade_date>2026-12-05 10:00:00</grade_date><detail>";
  EXPECT_EQ(info.substr(0, head.size()), head);
  const std::u16string first_item =
      u"<item content = '缺&lt;b&gt;&apos;主诉&apos;&lt;/b&gt;' standard = '主诉不清' "
      u"standard_id = '5' emr_id = 'R9' emr_title = '' deduct = '2'></item>";
  const std::u16string second_item =
      u"<item content = 'x' standard = '' standard_id = '99' emr_id = 'R8' "
      u"emr_title = '首次病程&quot;记录&quot;' deduct = '1'></item>";
  EXPECT_NE(info.find(first_item), std::u16string::npos) << ToUtf8(info);
  EXPECT_NE(info.find(second_item), std::u16string::npos) << ToUtf8(info);
  EXPECT_TRUE(info.ends_with(u"></item></detail></root>")) << ToUtf8(info);
  EXPECT_EQ(info.size(), head.size() + first_item.size() + second_item.size() + 16);
}

TEST_F(EmrGradeTest, GradeInfoWithoutAGradeRowOrWithoutTheVisitAnswersFromTheCondition) {
  const std::u16string empty_grade =
      u"<?xml version='1.0' ?><root><task_id>T1</task_id><patient_id>P1</patient_id>"
      u"<rectify_id></rectify_id><event_no>E1</event_no><status></status><score></score>"
      u"<class></class><user_id></user_id><executor_id></executor_id><title></title>"
      u"<grade_date></grade_date><detail></detail></root>";
  EXPECT_EQ(Answer(&CBQCPatient::GetEmrGradeInfo,
                   u"<root><task_id>T1</task_id><patient_id>P1</patient_id>"
                   u"<event_no>E1</event_no></root>"),
            empty_grade);

  // Without a visit nothing is read, so a database that cannot be opened does not matter.
  AddGrade({.task_id = "T1", .patient_id = "P1", .event_no = "E1"});
  AddGradeItem("T1", "P1", "E1");
  ScopedBstr condition(
      u"<root><task_id>T1</task_id><event_no>E1</event_no>"
      u"<status>9</status></root>"),
      result;
  EXPECT_EQ(RunAsCall(kUnreachableDatabase,
                      [&](CEMRDataSource* ds) {
                        CBQCPatient::GetEmrGradeInfo(ds, condition.get(), result.out());
                      }),
            u"");
  EXPECT_EQ(result.text(),
            u"<?xml version='1.0' ?><root><task_id>T1</task_id><patient_id></patient_id>"
            u"<rectify_id></rectify_id><event_no>E1</event_no><status>9</status><score></score>"
            u"<class></class><user_id></user_id><executor_id></executor_id><title></title>"
            u"<grade_date></grade_date><detail></detail></root>");
}

TEST_F(EmrGradeTest, GradeInfoWithoutATaskTakesOneHeaderAndTheItemsOfEveryTask) {
  AddGrade({.task_id = "T1", .patient_id = "P1", .event_no = "E1"});
  AddGrade({.task_id = "T2", .patient_id = "P1", .event_no = "E1"});
  AddGradeItem("T1", "P1", "E1");
  AddGradeItem("T2", "P1", "E1");
  const std::u16string info =
      Answer(&CBQCPatient::GetEmrGradeInfo,
             u"<root><patient_id>P1</patient_id><event_no>E1</event_no></root>");
  EXPECT_TRUE(info.find(u"<title>任务T1</title>") != std::u16string::npos ||
              info.find(u"<title>第二个任务</title>") != std::u16string::npos)
      << ToUtf8(info);
  std::size_t items = 0;
  for (std::size_t at = info.find(u"<item "); at != std::u16string::npos;
       at = info.find(u"<item ", at + 1)) {
    ++items;
  }
  EXPECT_EQ(items, 2u);
}

class GradeListTest : public EmrGradeTest {
 protected:
  void SetUp() override {
    EmrGradeTest::SetUp();
    AddTask({.id = "T3", .phase_type = 2, .executor_type = 0, .valid = 0});  // invalid
    AddGrade({.task_id = "T1", .patient_id = "P1", .event_no = "E1", .user_id = "9002"});
    AddGrade({.task_id = "T2", .patient_id = "P2", .event_no = "E2", .user_id = "9001"});
    AddGrade({.task_id = "T3", .patient_id = "P3", .event_no = "E3"});
    // Rules of P2 and P3 closed late; one of P1 closed in time.
    db_.AddRuleInstance({.patient_id = "P2",
                         .event_no = "E2",
                         .rule_id = 1,
                         .start_time = "2026-11-10 08:00:00",
                         .over_time = "2026-11-11 08:00:00",
                         .status = 2,
                         .over_hour = 5});
    db_.AddRuleInstance({.patient_id = "P3",
                         .event_no = "E3",
                         .rule_id = 1,
                         .start_time = "2026-12-01 08:00:00",
                         .over_time = "2026-12-02 08:00:00",
                         .status = 2,
                         .over_hour = 3});
    db_.AddRuleInstance({.patient_id = "P1",
                         .event_no = "E1",
                         .rule_id = 1,
                         .start_time = "2026-12-01 08:00:00",
                         .over_time = "2026-12-02 08:00:00",
                         .status = 2,
                         .over_hour = 0});
    db_.AddStandardItem({.id = 6, .standard = "缺项"});
    db_.Execute(
        "INSERT INTO PEV_GRADE_ITEM (TASK_ID, PATIENT_ID, EVENT_NO, STANDARD_ID, DEDUCT) "
        "VALUES ('T2', 'P2', 'E2', '6', 1)");
  }
};

TEST_F(GradeListTest, TheExecutorTypeChoosesGradedLateClosedOrBoth) {
  // Empty: the graded visits of valid tasks and the late-closed visits, one row each.
  EXPECT_EQ(ListedVisits(u"<root/>"), (std::vector<std::string>{"P1/T1", "P2/", "P2/T2", "P3/"}));
  EXPECT_EQ(ListedVisits(u""), ListedVisits(u"<root/>"));
  // "0" and "1": the graded visits of tasks with that executor type.
  EXPECT_EQ(ListedVisits(u"<root><executor_type>0</executor_type></root>"),
            (std::vector<std::string>{"P1/T1"}));
  EXPECT_EQ(ListedVisits(u"<root><executor_type>1</executor_type></root>"),
            (std::vector<std::string>{"P2/T2"}));
  // "3": the late-closed visits; the keys of grades and tasks restrict nothing.
  EXPECT_EQ(ListedVisits(u"<root><executor_type>3</executor_type><user_id>nobody</user_id>"
                         u"<task_id>T9</task_id><phase_type>7</phase_type>"
                         u"<standard_id>9</standard_id></root>"),
            (std::vector<std::string>{"P2/", "P3/"}));
  // Empty: those keys restrict the graded part of the union only.
  EXPECT_EQ(ListedVisits(u"<root><user_id>9001</user_id></root>"),
            (std::vector<std::string>{"P2/", "P2/T2", "P3/"}));
  EXPECT_EQ(ListedVisits(u"<root><standard_id>6</standard_id></root>"),
            (std::vector<std::string>{"P2/", "P2/T2", "P3/"}));

  db_.Execute(
      "INSERT INTO TELV_PATIENT_CASE_RESIDENCE (PATIENT_ID, EVENT_NO, VISISTING_PHYSICIAN, "
      "DIAGNOSTICIAN_PHYSICIAN, CHIEF_PHYSICIAN) VALUES ('P2', 'E2', '住院甲', '主治乙', "
      "'主任丙')");
  const std::vector<Element> late = GradeList(
      u"<root><executor_type>3</executor_type>"
      u"<patient_name>李</patient_name></root>");
  ASSERT_EQ(late.size(), 1u);
  EXPECT_EQ(late[0].name, "item");
  EXPECT_EQ(late[0].text, "");
  EXPECT_EQ(late[0].attributes,
            (std::map<std::string, std::string>{{"patient_id", "P2"},
                                                {"patient_name", "李四"},
                                                {"event_no", "E2"},
                                                {"patient_status", "出院"},
                                                {"emr_status", "1"},
                                                {"reg_doctor_name", "测试医生"},
                                                {"in_dept_name", "心血管内科"},
                                                {"in_time", "2026-01-05 08:00"},
                                                {"task_id", ""},
                                                {"score", ""},
                                                {"grade_date", ""},
                                                {"class", ""},
                                                {"user_id", ""},
                                                {"executor_type", "3"},
                                                {"title", ""},
                                                {"phase_type", ""},
                                                {"content_type", ""},
                                                {"visiting_physician", "住院甲"},
                                                {"diagnostician_physician", "主治乙"},
                                                {"chief_physician", "主任丙"},
                                                {"out_time", "2026-11-20 10:00"},
                                                {"out_dept_name", "心血管内科"},
                                                {"now_dept_name", "心血管内科"}}));
}

TEST_F(GradeListTest, VisitConditionsApplyToBothSelects) {
  EXPECT_EQ(ListedVisits(u"<root><patient_status>1</patient_status></root>"),
            (std::vector<std::string>{"P1/T1", "P3/"}));
  EXPECT_EQ(ListedVisits(u"<root><patient_status>2</patient_status></root>"),
            (std::vector<std::string>{"P2/", "P2/T2"}));
  EXPECT_EQ(ListedVisits(u"<root><patient_status>7</patient_status></root>"),
            ListedVisits(u"<root/>"));
  EXPECT_EQ(ListedVisits(u"<root><dept_id>0101</dept_id></root>"),
            (std::vector<std::string>{"P1/T1", "P3/"}));
  EXPECT_EQ(ListedVisits(u"<root><event_no>E</event_no><emr_status>1</emr_status>"
                         u"<in_time_begin>2026-01-05</in_time_begin>"
                         u"<in_time_end>2026-01-05</in_time_end></root>"),
            ListedVisits(u"<root/>"));
  EXPECT_TRUE(ListedVisits(u"<root><in_time_begin>2026-01-06</in_time_begin></root>").empty());
  // A name holding a quote is looked for as it stands.
  EXPECT_EQ(ListedVisits(u"<root><patient_name>O'Hara</patient_name></root>"),
            (std::vector<std::string>{"P1/T1"}));
}

TEST_F(GradeListTest, BareValuesThatAreNoNumbersAndMalformedConditionsAreRefused) {
  EXPECT_EQ(Answer(&CBQCPatient::GetQCPatientGradeList,
                   u"<root><emr_status>1 OR 1=1</emr_status></root>"),
            u"failed: 不是有效的数字: '1 OR 1=1' (emr_status)");
  EXPECT_EQ(Answer(&CBQCPatient::GetQCPatientGradeList,
                   u"<root><executor_type>0) UNION SELECT 1</executor_type></root>"),
            u"failed: 不是有效的数字: '0) UNION SELECT 1' (executor_type)");
  EXPECT_EQ(Answer(&CBQCPatient::GetQCPatientGradeList, u"<root><phase_type>x</phase_type></root>"),
            u"failed: 不是有效的数字: 'x' (phase_type)");
  EXPECT_EQ(Answer(&CBQCPatient::GetQCPatientGradeList, u"<root><a>"), u"failed: 无效XML!");
}

TEST_F(EmrGradeTest, PatientPropertyOfAVisitNumber) {
  EXPECT_EQ(ReadElements(
                Answer(&CBQCPatient::GetPatientProperty, u"<root><event_no>E2</event_no></root>")),
            (std::vector<Element>{{"patient",
                                   "李四",
                                   {{"patient_id", "P2"},
                                    {"event_no", "E2"},
                                    {"sex", "1"},
                                    {"now_dept_id", "0102"},
                                    {"now_event_no", "心血管内科"},
                                    {"in_time", "2026-01-05 08:00:00"}}}}));
  EXPECT_TRUE(ReadElements(Answer(&CBQCPatient::GetPatientProperty, u"<root/>")).empty());
  EXPECT_EQ(AttributeOfEach(ReadElements(Answer(&CBQCPatient::GetPatientProperty,
                                                u"<root><event_no>E'1</event_no></root>")),
                            "event_no"),
            std::vector<std::string>{});
}

}  // namespace
}  // namespace korvalis::testing
