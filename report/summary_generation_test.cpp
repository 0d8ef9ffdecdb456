#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "foundation/suite/suite_interfaces.h"
#include "foundation/testing/test_data_source.h"
#include "platform/db/testing/engine_database.h"
#include "platform/xml/dom.h"
#include "report/testing/grade_summary_test_util.h"
#include "suite/testing/sibling_doubles.h"

namespace korvalis::report::testing {
namespace {

using suite::testing::SiblingDoubles;
using Attributes = std::map<std::string, std::string>;

constexpr int kGetVisitData = 7;

// A style sheet that writes the data document's counts, texts and visits as lines.
constexpr char16_t kLinesXsl[] =
    u"<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
    u"<xsl:output method=\"text\"/><xsl:template match=\"/root\">"
    u"<xsl:value-of select=\"head/@date\"/>|<xsl:value-of select=\"head/@emr_count\"/>|"
    u"<xsl:for-each select=\"patient\"><xsl:value-of select=\"@name\"/>:"
    u"<xsl:value-of select=\"count(grade_item)\"/>;</xsl:for-each>"
    u"</xsl:template></xsl:stylesheet>";

// The summary data document read back: its elements by name.
class SummaryData {
 public:
  explicit SummaryData(const std::u16string& text) {
    EXPECT_TRUE(text.starts_with(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>"));
    EXPECT_TRUE(document_.LoadXml(ToUtf8(text))) << ToUtf8(text);
  }
  Attributes Head() const { return AttributesOf(Root().FirstChildElement("head")); }
  std::string Text(const char* name) const { return Root().FirstChildElement(name).Text(); }
  // Each error_item as its text and attributes.
  std::vector<std::pair<std::string, Attributes>> Errors() const {
    std::vector<std::pair<std::string, Attributes>> errors;
    for (const xml::Node& item : Root().FirstChildElement("error_list").Children()) {
      errors.emplace_back(item.Text(), AttributesOf(item));
    }
    return errors;
  }
  std::vector<xml::Node> Patients() const { return Root().ElementsByTagName("patient"); }
  // The attribute names of the first patient, in document order.
  std::vector<std::string> PatientAttributeNames() const {
    std::vector<std::string> names;
    for (const auto& [name, value] : Patients().at(0).Attributes()) names.push_back(name);
    return names;
  }
  static Attributes AttributesOf(const xml::Node& node) {
    Attributes attributes;
    for (const auto& [name, value] : node.Attributes()) attributes[name] = value;
    return attributes;
  }

 private:
  xml::Node Root() const { return document_.DocumentElement(); }
  xml::Document document_;
};

class SummaryGenerationTest : public GradeSummaryTest {
 protected:
  using GradeSummaryTest::GradeSummaryTest;

  void SetUp() override {
    db_.AddPatient({.id = "P1", .name = "李建华", .birthday = "1986-12-01 00:00:00"});
    db_.AddVisit({.patient_id = "P1", .event_no = "E1", .dept_name = "心血管内科", .bed_no = "12"});
    db_.AddPatient({.id = "P2", .name = "王秀兰", .sex = 0, .birthday = "2026-08-07 00:00:00"});
    db_.AddVisit(
        {.patient_id = "P2", .event_no = "E2", .dept_id = "0102", .dept_name = "呼吸内科"});
    db_.Execute("UPDATE TELV_PATIENT SET NATION = '汉族' WHERE ID = 'P1'");
    AddTask({.id = "T1"});
    AddTask({.id = "T2", .phase_type = 2});
    AddTask({.id = "T3", .valid = 0});
    db_.AddStandardItem({.id = 1, .standard = "入院记录超时", .code = "SX001", .type_veto = 1});
    db_.AddStandardItem({.id = 2, .standard = "缺入院记录", .code = "RY002", .type_veto = 3});
    db_.Execute("UPDATE PEV_STANDARD_ITEM SET MAIN_GRADE_FLAG = '1' WHERE ID = 2");
    AddSummaryTemplate(1);
    SetXsl(1, kLinesXsl);
  }

  // A deduction of `standard_id` against the visit in the task.
  void AddItem(const std::string& task_id, const std::string& patient_id,
               const std::string& event_no, int serial, int standard_id,
               const std::string& deduct = "2", const std::string& content = "扣分") {
    db_.Execute(
        "INSERT INTO PEV_GRADE_ITEM (TASK_ID, PATIENT_ID, EVENT_NO, STANDARD_ID, CONTENT, DEDUCT, "
        "SERIAL) VALUES ('" +
        task_id + "', '" + patient_id + "', '" + event_no + "', '" + std::to_string(standard_id) +
        "', " + schema::SqlText(content) + ", " + deduct + ", " + std::to_string(serial) + ")");
  }
  void AddOpinion(const std::string& task_id, const std::string& user_id,
                  const std::string& opinion, const std::string& suggestion) {
    db_.Execute(
        "INSERT INTO PEV_GRADE_TASK_SUMMARIZE (TASK_ID, USER_ID, OPINION, SUGGESTION) "
        "VALUES ('" +
        task_id + "', '" + user_id + "', " + schema::SqlText(opinion) + ", " +
        schema::SqlText(suggestion) + ")");
  }
  void AddMainDiagnosis(const std::string& patient_id, const std::string& event_no,
                        const std::string& name) {
    db_.Execute(
        "INSERT INTO TELV_INPATIENT_HEADER_DIAG (PATIENT_ID, EVENT_NO, DIAG_TYPE, SUB_ID, "
        "ICD_NAME) "
        "VALUES ('" +
        patient_id + "', '" + event_no + "', 3, 1, '" + name + "')");
  }

  // The data document of the condition, read back.
  SummaryData Data(const std::u16string& condition) {
    std::u16string data;
    EXPECT_EQ(
        Call([&](CEMRDataSource* ds) { CBQCGradeSummary::BuildSummaryData(ds, condition, data); }),
        u"");
    return SummaryData(data);
  }
  // The visits of the data document as "patient/task", in document order.
  std::vector<std::string> Visits(const std::u16string& condition) {
    std::vector<std::string> visits;
    for (const xml::Node& patient : Data(condition).Patients()) {
      visits.push_back(SummaryData::AttributesOf(patient).at("patient_id") + "/" +
                       SummaryData::AttributesOf(patient).at("task_id"));
    }
    return visits;
  }
  // GenerateSummary's answer, or "failed: " and its failure.
  std::u16string Generate(const std::u16string& condition, const std::u16string& template_id) {
    com::ScopedBstr text(condition), id(template_id), html;
    const std::u16string failure = Call([&](CEMRDataSource* ds) {
      CBQCGradeSummary::GenerateSummary(ds, text.get(), id.get(), html.out());
    });
    return failure.empty() ? html.text() : u"failed: " + failure;
  }

  SiblingDoubles doubles_;
};

TEST_F(SummaryGenerationTest, TheConditionSelectsValidTasksAndItsVisits) {
  AddGrade({.task_id = "T1", .patient_id = "P1", .event_no = "E1"});
  AddGrade(
      {.task_id = "T2", .patient_id = "P2", .event_no = "E2", .grade_date = "2026-12-05 23:30:00"});
  AddGrade({.task_id = "T3", .patient_id = "P1", .event_no = "E1"});

  EXPECT_EQ(Visits(u""), (std::vector<std::string>{"P1/T1", "P2/T2"}));
  EXPECT_EQ(Visits(u"<root><task_id>T1;T2</task_id></root>"),
            (std::vector<std::string>{"P1/T1", "P2/T2"}));
  EXPECT_EQ(Visits(u"<root><task_id>T2</task_id></root>"), (std::vector<std::string>{"P2/T2"}));
  // A trailing ";" adds an empty identifier, which names no task.
  EXPECT_EQ(Visits(u"<root><task_id>T1;</task_id></root>"), (std::vector<std::string>{"P1/T1"}));
  EXPECT_EQ(Visits(u"<root><task_id>T1');DELETE PEV_GRADE_TASK;--</task_id></root>"),
            (std::vector<std::string>{}));
  EXPECT_EQ(db_.Count("PEV_GRADE_TASK"), 3);
  EXPECT_EQ(Visits(u"<root><dept_id>0102</dept_id></root>"), (std::vector<std::string>{"P2/T2"}));
  EXPECT_EQ(Visits(u"<root><phase_type> 2 </phase_type></root>"),
            (std::vector<std::string>{"P2/T2"}));
  // The last grading day is included whole.
  EXPECT_EQ(Visits(u"<root><grade_date_begin>2026-12-05</grade_date_begin>"
                   u"<grade_date_end>2026-12-05</grade_date_end></root>"),
            (std::vector<std::string>{"P1/T1", "P2/T2"}));
  EXPECT_EQ(Visits(u"<root><grade_date_begin>2026-12-06</grade_date_begin></root>"),
            (std::vector<std::string>{}));

  std::u16string data;
  EXPECT_EQ(Call([&](CEMRDataSource* ds) {
              CBQCGradeSummary::BuildSummaryData(ds,
                                                 u"<root><phase_type>1 OR 1=1</phase_type>"
                                                 u"</root>",
                                                 data);
            }),
            u"不是有效的数字: '1 OR 1=1' (phase_type)");
  EXPECT_EQ(Call([&](CEMRDataSource* ds) { CBQCGradeSummary::BuildSummaryData(ds, u"<a>", data); }),
            u"解析属性信息错误.");
}

TEST_F(SummaryGenerationTest, WithoutGradedVisitsTheHeadKeepsItsDateAndTheTransformRuns) {
  const SummaryData data = Data(
      u"<root><dept_name>心内科</dept_name><user_name>杨慧敏"
      u"</user_name><refity_measure>整改</refity_measure></root>");
  EXPECT_EQ(data.Head(), (Attributes{{"dept", "心内科"},
                                     {"user_name", "杨慧敏"},
                                     {"date", "2026年12月07日"},
                                     {"emr_count", ""},
                                     {"fst_count", ""},
                                     {"snd_count", ""},
                                     {"thd_count", ""},
                                     {"refity_measure", "整改"}}));
  EXPECT_EQ(data.Text("comment"), "");
  EXPECT_EQ(data.Text("suggest"), "");
  EXPECT_TRUE(data.Errors().empty());
  EXPECT_TRUE(data.Patients().empty());
  EXPECT_EQ(Generate(u"", u"1"), u"2026年12月07日||");
}

TEST_F(SummaryGenerationTest, TheHeadDateIsTheDatabasesAndItCountsTheClasses) {
  korvalis::testing::ScopedDatabaseClock clock({2027, 1, 2, 23, 59, 0});
  AddGrade({.task_id = "T1", .patient_id = "P1", .event_no = "E1", .grade_class = 1});
  AddGrade({.task_id = "T2", .patient_id = "P2", .event_no = "E2", .grade_class = 3});
  AddGrade({.task_id = "T2", .patient_id = "P1", .event_no = "E1", .grade_class = 3});
  const Attributes head = Data(u"").Head();
  EXPECT_EQ(head.at("date"), "2027年01月02日");
  EXPECT_EQ(head.at("emr_count"), "3");
  EXPECT_EQ(head.at("fst_count"), "1");
  EXPECT_EQ(head.at("snd_count"), "0");
  EXPECT_EQ(head.at("thd_count"), "2");
}

TEST_F(SummaryGenerationTest, OpinionsAndSuggestionsAreNumberedWithoutTheEmptyOnes) {
  AddGrade({.task_id = "T1", .patient_id = "P1", .event_no = "E1"});
  // Numbered in the order of their task and user, whatever the order they were written in.
  AddOpinion("T1", "u3", "b", "");
  AddOpinion("T1", "u2", "", "");
  AddOpinion("T1", "u1", "a", "s<1>");
  AddOpinion("T3", "u1", "invalid task", "x");
  const SummaryData data = Data(u"");
  EXPECT_EQ(data.Text("comment"), "1. a\r\t2. b\r\t");
  EXPECT_EQ(data.Text("suggest"), "1. s<1>\r\t");
}

TEST_F(SummaryGenerationTest, EachVisitCarriesItsColumnsInOrderAndItsItemsBySerial) {
  AddGrade({.task_id = "T1",
            .patient_id = "P1",
            .event_no = "E1",
            .score = "88.5",
            .grade_class = 2,
            .grade_date = "2026-12-05 10:00:00"});
  AddGrade({.task_id = "T1",
            .patient_id = "P2",
            .event_no = "E2",
            .grade_class = 1,
            .grade_date = "2026-12-04 10:00:00"});
  AddItem("T1", "P1", "E1", 2, 2, "10", "缺入院记录");
  AddItem("T1", "P1", "E1", 1, 1, "1.5", "入院记录24小时后完成");
  AddItem("T1", "P1", "E1", 3, 1, "0.5", "又一处");
  AddItem("T2", "P1", "E1", 1, 1);  // a visit the task did not grade: dropped
  AddMainDiagnosis("P1", "E1", "急性心肌梗死");
  db_.Execute(
      "INSERT INTO TELV_INPATIENT_HEADER_DOCTOR (PATIENT_ID, EVENT_NO, CHIEF_PHYSICIAN, "
      "VISISTING_PHYSICIAN, BOTANIC_PHYSICIAN) VALUES ('P1', 'E1', '王主任', NULL, '李住院')");
  db_.Execute(
      "INSERT INTO TELV_PATIENT_ROLLBACK (PATIENT_ID, EVENT_NO, REQUEST_DATE, "
      "REQUEST_DOCTOR_ID, REQUEST_DOCTOR_NAME, REQUEST_NOTES) VALUES ('P1', 'E1', "
      "TO_DATE('2026-12-01', 'YYYY-MM-DD'), 'D1', '甲', '早')");
  db_.Execute(
      "INSERT INTO TELV_PATIENT_ROLLBACK (PATIENT_ID, EVENT_NO, REQUEST_DATE, "
      "REQUEST_DOCTOR_ID, REQUEST_DOCTOR_NAME, REQUEST_NOTES) VALUES ('P1', 'E1', "
      "TO_DATE('2026-12-03', 'YYYY-MM-DD'), 'D2', '乙', '补签名')");

  const SummaryData data = Data(u"<root><task_id>T1</task_id></root>");
  const std::vector<xml::Node> patients = data.Patients();
  ASSERT_EQ(patients.size(), 2u);
  EXPECT_EQ(data.PatientAttributeNames(), (std::vector<std::string>{"task_id",
                                                                    "patient_id",
                                                                    "event_no",
                                                                    "score",
                                                                    "doctor_name",
                                                                    "dept",
                                                                    "level",
                                                                    "name",
                                                                    "normal_error_count",
                                                                    "serious_error_count",
                                                                    "main_deduction",
                                                                    "bed",
                                                                    "main_diagnosis",
                                                                    "doctors",
                                                                    "request_doctor_id",
                                                                    "request_doctor_name",
                                                                    "request_notes",
                                                                    "apply_count",
                                                                    "diag",
                                                                    "patient_sex",
                                                                    "patient_nation",
                                                                    "patient_age",
                                                                    "grade_date"}));
  // By grading date: P2 first.
  EXPECT_EQ(SummaryData::AttributesOf(patients[1]), (Attributes{{"task_id", "T1"},
                                                                {"patient_id", "P1"},
                                                                {"event_no", "E1"},
                                                                {"score", "88.5"},
                                                                {"doctor_name", "测试医生"},
                                                                {"dept", "心血管内科"},
                                                                {"level", "乙级"},
                                                                {"name", "李建华"},
                                                                {"normal_error_count", "2"},
                                                                {"serious_error_count", "1"},
                                                                {"main_deduction", "10"},
                                                                {"bed", "12"},
                                                                {"main_diagnosis", "急性心肌梗死"},
                                                                {"doctors", "王主任\r\t李住院\r\t"},
                                                                {"request_doctor_id", "D2"},
                                                                {"request_doctor_name", "乙"},
                                                                {"request_notes", "补签名"},
                                                                {"apply_count", "2"},
                                                                {"diag", "急性心肌梗死"},
                                                                {"patient_sex", "男"},
                                                                {"patient_nation", "汉族"},
                                                                {"patient_age", "40"},
                                                                {"grade_date", "2026-12-05"}}));
  std::vector<Attributes> items;
  std::vector<std::string> texts;
  for (const xml::Node& item : patients[1].Children()) {
    items.push_back(SummaryData::AttributesOf(item));
    texts.push_back(item.Text());
  }
  EXPECT_EQ(texts,
            (std::vector<std::string>{"1. 入院记录24小时后完成", "2. 缺入院记录", "3. 又一处"}));
  EXPECT_EQ(items[1], (Attributes{{"deduct", "10"}, {"code", "RY002"}, {"serious", "1"}}));
  EXPECT_EQ(items[0].at("serious"), "0");
  // The errors by count, largest first.
  EXPECT_EQ(
      data.Errors(),
      (std::vector<std::pair<std::string, Attributes>>{
          {"入院记录超时", {{"serious_flag", "0"}, {"standard_count", "2"}, {"code", "SX001"}}},
          {"缺入院记录", {{"serious_flag", "1"}, {"standard_count", "1"}, {"code", "RY002"}}}}));

  const Attributes child = SummaryData::AttributesOf(patients[0]);
  EXPECT_EQ(child.at("patient_age"), "0.3");  // four months old
  EXPECT_EQ(child.at("patient_sex"), "女");
  EXPECT_EQ(child.at("level"), "甲级");
  EXPECT_EQ(child.at("apply_count"), "0");
  EXPECT_EQ(child.at("doctors"), "");
  EXPECT_TRUE(patients[0].Children().empty());
  EXPECT_EQ(Generate(u"<root><task_id>T1</task_id></root>", u"1"),
            u"2026年12月07日|2|王秀兰:0;李建华:3;");
}

class SummaryOnBothEnginesTest : public SummaryGenerationTest,
                       public ::testing::WithParamInterface<db::Engine> {
 protected:
  SummaryOnBothEnginesTest() : SummaryGenerationTest(GetParam()) {}
};

// The age is the days since birth over 365, rounded: to whole years, or to one decimal when
// it rounds to no whole year. The database clock reads 2026-12-07 08:00:00.
TEST_P(SummaryOnBothEnginesTest, TheAgeIsRoundedWhereTruncationWouldDiffer) {
  const std::vector<std::pair<std::string, std::string>> birthday_and_age = {
      {"1996-05-09 08:00:00", "31"},   // 30.6 years
      {"2026-05-20 08:00:00", "1"},    // 0.55 years
      {"2026-06-22 08:00:00", "0.5"},  // 0.46 years
      {"2026-11-01 08:00:00", "0.1"},  // 0.099 years
  };
  std::map<std::string, std::string> expected, ages;
  for (std::size_t i = 0; i < birthday_and_age.size(); ++i) {
    const std::string id = "A" + std::to_string(i);
    db_.AddPatient({.id = id, .birthday = birthday_and_age[i].first});
    db_.AddVisit({.patient_id = id, .event_no = id});
    AddGrade({.task_id = "T1", .patient_id = id, .event_no = id});
    expected[id] = birthday_and_age[i].second;
  }
  for (const xml::Node& patient : Data(u"<root><task_id>T1</task_id></root>").Patients()) {
    const Attributes attributes = SummaryData::AttributesOf(patient);
    ages[attributes.at("patient_id")] = attributes.at("patient_age");
  }
  EXPECT_EQ(ages, expected);
}

TEST_P(SummaryOnBothEnginesTest, VisitsOfOneDayAndTheirFirstMainDiagnosisFollowTheirKeys) {
  // Graded at one time and written out of the order of their keys; the main diagnoses too.
  AddGrade({.task_id = "T1", .patient_id = "P2", .event_no = "E2"});
  AddGrade({.task_id = "T1", .patient_id = "P1", .event_no = "E1"});
  for (const char* row : {"2, '慢性心力衰竭'", "1, '急性心肌梗死'", "3, '高血压'"}) {
    db_.Execute(
        "INSERT INTO TELV_INPATIENT_HEADER_DIAG (PATIENT_ID, EVENT_NO, DIAG_TYPE, SUB_ID, "
        "ICD_NAME) VALUES ('P1', 'E1', 3, " +
        std::string(row) + ")");
  }
  std::vector<std::string> visits;
  for (const xml::Node& patient : Data(u"<root><task_id>T1</task_id></root>").Patients()) {
    const Attributes attributes = SummaryData::AttributesOf(patient);
    visits.push_back(attributes.at("patient_id") + " " + attributes.at("main_diagnosis"));
  }
  EXPECT_EQ(visits, (std::vector<std::string>{"P1 急性心肌梗死", "P2 "}));
}

// The last grading day counts to its last second, the last day a date can hold too.
TEST_P(SummaryOnBothEnginesTest, TheLastGradingDayCountsToItsLastSecond) {
  AddGrade(
      {.task_id = "T1", .patient_id = "P1", .event_no = "E1", .grade_date = "2026-12-05 23:59:59"});
  AddGrade(
      {.task_id = "T2", .patient_id = "P2", .event_no = "E2", .grade_date = "9999-12-31 23:59:59"});
  db_.AddPatient({.id = "P3"});
  db_.AddVisit({.patient_id = "P3", .event_no = "E3"});
  AddGrade(
      {.task_id = "T1", .patient_id = "P3", .event_no = "E3", .grade_date = "2026-12-06 00:00:00"});
  const auto until = [&](const std::u16string& day) {
    return Visits(u"<root><grade_date_end>" + day + u"</grade_date_end></root>");
  };
  EXPECT_EQ(until(u"2026-12-04"), (std::vector<std::string>{}));
  EXPECT_EQ(until(u"2026-12-05"), (std::vector<std::string>{"P1/T1"}));
  EXPECT_EQ(until(u"9999-12-30"), (std::vector<std::string>{"P1/T1", "P3/T1"}));
  EXPECT_EQ(until(u"9999-12-31"), (std::vector<std::string>{"P1/T1", "P3/T1", "P2/T2"}));
}

INSTANTIATE_TEST_SUITE_P(Engines, SummaryOnBothEnginesTest, db::testing::kBothEngines,
                         db::testing::EngineName);

TEST_F(SummaryGenerationTest, OnlyVisitsWithoutAStoredDiagnosisAskTheVisitDataComponent) {
  AddGrade({.task_id = "T1", .patient_id = "P1", .event_no = "E1"});
  AddGrade(
      {.task_id = "T1", .patient_id = "P2", .event_no = "E2", .grade_date = "2026-12-06 10:00:00"});
  AddMainDiagnosis("P1", "E1", "急性心肌梗死");
  doubles_.Answer(IID_IVisitData, kGetVisitData, u"肺炎");
  const std::vector<xml::Node> patients = Data(u"").Patients();
  ASSERT_EQ(patients.size(), 2u);
  EXPECT_EQ(SummaryData::AttributesOf(patients[0]).at("main_diagnosis"), "急性心肌梗死");
  EXPECT_EQ(SummaryData::AttributesOf(patients[1]).at("main_diagnosis"), "肺炎");
  EXPECT_EQ(SummaryData::AttributesOf(patients[1]).at("diag"), "");
  const auto calls = doubles_.Calls(IID_IVisitData);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args,
            (std::vector<std::u16string>{u"P2", u"E2", u"5", u"emr.residence.diagnosis.first"}));
}

TEST_F(SummaryGenerationTest, TheTemplateMustHoldAStyleSheet) {
  AddSummaryTemplate(2);
  EXPECT_EQ(Generate(u"", u"2"), u"failed: 加载模板Xsl内容错误.");
  SetXsl(2, u"<xsl:stylesheet");
  EXPECT_EQ(Generate(u"", u"2"), u"failed: 加载模板Xsl内容错误.");
  SetXsl(2, u"<root/>");
  EXPECT_EQ(Generate(u"", u"2"), u"failed: 转换病历xml错误.");
  EXPECT_EQ(Generate(u"", u"9"), u"failed: " + std::u16string(kDatabaseErrorMessage));
  EXPECT_EQ(Generate(u"", u"abc"), u"failed: 不是有效的数字: 'abc' (ID)");
}

}  // namespace
}  // namespace korvalis::report::testing
