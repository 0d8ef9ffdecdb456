#include "quality/rules/dept_qc_patient.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "db/testing/test_database.h"
#include "foundation/testing/list_elements.h"
#include "foundation/testing/test_call.h"
#include "platform/com/scoped_bstr.h"
#include "platform/db/testing/engine_database.h"
#include "platform/text/unicode.h"

namespace korvalis::testing {
namespace {

using com::ScopedBstr;
using Rows = std::vector<std::vector<std::string>>;

constexpr char16_t kQcOfficer[] =
    u"<root><user id=\"9002\" code=\"40\">杨慧敏</user><dept id=\"0101\">心血管内科</dept></root>";
constexpr char16_t kOtherOfficer[] =
    u"<root><user id=\"9005\">周 '琳'</user><dept id=\"0102\">呼吸内科</dept></root>";

class DeptQcPatientTest : public ::testing::Test {
 protected:
  explicit DeptQcPatientTest(db::Engine engine = db::Engine::kSqlite)
      : db_(schema::DatabaseContents::kInstallation, engine) {
    db_.AddPatient({.id = "P1", .name = "张三", .sex = 1});
    db_.AddVisit({.patient_id = "P1", .event_no = "E1", .doctor_name = "王医生"});
    db_.AddPatient({.id = "P2", .name = "李四", .sex = 0});
    db_.AddVisit({.patient_id = "P2", .event_no = "E1"});
    db_.AddStandardCatalog({.id = 1, .name = "入院记录"});
    db_.AddStandardItem({.id = 5, .standard = "主诉与现病史描述不符", .point = 5, .catalog_id = 1});
    db_.AddStandardItem({.id = 6, .standard = "其他", .point = 2.5, .catalog_id = 1, .type = 4});
  }

  template <class Body>
  std::u16string Call(Body&& body) {
    return RunAsCall(db_.init_string(), body);
  }
  // AddQCPatient: the status it answers, or -100 when it fails.
  LONG Add(const std::u16string& patient, const std::u16string& client = kQcOfficer) {
    ScopedBstr p(patient), e(u"E1"), c(client);
    LONG status = -100;
    const std::u16string failure = Call([&](CEMRDataSource* ds) {
      CBDeptQCPatient::AddQCPatient(ds, p.get(), e.get(), c.get(), &status);
    });
    EXPECT_EQ(failure, u"");
    return status;
  }
  std::u16string Remove(const std::u16string& patient) {
    ScopedBstr p(patient), e(u"E1"), c(u"");
    return Call([&](CEMRDataSource* ds) {
      CBDeptQCPatient::RemoveQCPatient(ds, p.get(), e.get(), c.get());
    });
  }
  std::u16string Score(const std::u16string& patient, const std::u16string& score_info,
                       const std::u16string& client = kQcOfficer) {
    ScopedBstr p(patient), e(u"E1"), s(score_info), c(client);
    return Call([&](CEMRDataSource* ds) {
      CBDeptQCPatient::ScorePatient(ds, p.get(), e.get(), s.get(), c.get());
    });
  }
  std::u16string Verify(const std::u16string& patient, bool cancel) {
    ScopedBstr p(patient), e(u"E1");
    return Call([&](CEMRDataSource* ds) {
      CBDeptQCPatient::VerifyPatientScore(ds, p.get(), e.get(), cancel ? -1 : 0);
    });
  }
  // GetPatientScore: the document, or "failed: " and the failure.
  std::u16string ScoreDocument(const std::u16string& patient) {
    ScopedBstr p(patient), e(u"E1"), result;
    const std::u16string failure = Call([&](CEMRDataSource* ds) {
      CBDeptQCPatient::GetPatientScore(ds, p.get(), e.get(), result.out());
    });
    return failure.empty() ? result.text() : u"failed: " + failure;
  }
  std::u16string List(const std::u16string& condition) {
    ScopedBstr c(condition), result;
    const std::u16string failure =
        Call([&](CEMRDataSource* ds) { CBDeptQCPatient::GetQCPatient(ds, c.get(), result.out()); });
    return failure.empty() ? result.text() : u"failed: " + failure;
  }
  // The patients of a list, sorted.
  static std::vector<std::string> Patients(const std::u16string& list) {
    std::vector<std::string> ids;
    for (const Element& e : ReadElements(list)) ids.push_back(e.attributes.at("id"));
    std::sort(ids.begin(), ids.end());
    return ids;
  }

  Rows Visit(const std::string& patient) {
    return db_.Query(
        "SELECT TOTAL_POINT, EMR_LEVEL, STATUS, QC_USER_ID, QC_USER_NAME, DEPT_ID, DEPT_NAME, "
        "QC_DATE, NOTES FROM PEV_DEPT_PATIENT_RECORD WHERE PATIENT_ID = '" +
        patient + "'");
  }
  Rows Items(const std::string& patient) {
    return db_.Query(
        "SELECT POINT_ITEM_ID, SERIAL, SCORE, NOTES, EMR_ID, EMR_TITLE, ITEM_COUNT, QC_USER_ID, "
        "QC_USER_NAME, QC_DATE FROM PEV_DEPT_ITEM_RECORD WHERE PATIENT_ID = '" +
        patient + "' ORDER BY SERIAL");
  }
  void SetStatus(const std::string& patient, int status) {
    db_.Execute("UPDATE PEV_DEPT_PATIENT_RECORD SET STATUS = " + std::to_string(status) +
                " WHERE PATIENT_ID = '" + patient + "'");
  }

  schema::TestDatabase db_;
  ScopedDatabaseClock clock_;
};

constexpr char16_t kTwoDeductions[] =
    u"<root><score>92.5</score><grade>2</grade><items>"
    u"<item item_id=\"5\" score=\"5\" serial=\"1\" note=\"现病史未记录诱因\" emr_id=\"R1\" "
    u"emr_title=\"入院记录\" item_count=\"1\"/>"
    u"<item item_id=\"6\" score=\"2.5\" serial=\"2\" note=\"书写'潦草'\" emr_id=\"R2\" "
    u"emr_title=\"病程记录\" item_count=\"3\"/></items></root>";

TEST_F(DeptQcPatientTest, AddingTwiceAnswersZeroThenOneAndWritesNothingTheSecondTime) {
  EXPECT_EQ(Add(u"P1"), 0);
  const Rows added = {
      {"100", "1", "1", "9002", "杨慧敏", "0101", "心血管内科", "2026-12-07 08:00:00", ""}};
  EXPECT_EQ(Visit("P1"), added);
  EXPECT_EQ(Add(u"P1", kOtherOfficer), 1);
  EXPECT_EQ(Visit("P1"), added) << "a visit under QC keeps its user and department";
  for (int status : {2, 3}) {
    SetStatus("P1", status);
    EXPECT_EQ(Add(u"P1", kOtherOfficer), status);
    EXPECT_EQ(Visit("P1")[0][3], "9002");
  }
}

TEST_F(DeptQcPatientTest, ARemovedVisitAddedAgainStartsOverButKeepsItsItems) {
  ASSERT_EQ(Add(u"P1"), 0);
  ASSERT_EQ(Score(u"P1", kTwoDeductions), u"");
  ASSERT_EQ(Remove(u"P1"), u"");
  EXPECT_EQ(Visit("P1")[0][2], "0");
  EXPECT_EQ(Visit("P1")[0][0], "92.5") << "removing keeps the score";

  db::SetDatabaseClock(std::make_shared<FixedDatabaseClock>(db::DateTime{2026, 12, 8, 9, 0, 0}));
  EXPECT_EQ(Add(u"P1", kOtherOfficer), 0);
  EXPECT_EQ(
      Visit("P1"),
      (Rows{{"100", "1", "1", "9005", "周 '琳'", "0102", "呼吸内科", "2026-12-08 09:00:00", ""}}));
  EXPECT_EQ(Items("P1").size(), 2u) << "the items stay until the next scoring";
  EXPECT_EQ(Remove(u"P9"), u"") << "removing a visit without a row changes nothing";
  EXPECT_EQ(db_.Count("PEV_DEPT_PATIENT_RECORD"), 1);
}

TEST_F(DeptQcPatientTest, ScoringReplacesTheItemsAndScoresFromEveryStatus) {
  ASSERT_EQ(Add(u"P1"), 0);
  ASSERT_EQ(Score(u"P1", kTwoDeductions), u"");
  EXPECT_EQ(Visit("P1")[0], (std::vector<std::string>{"92.5", "2", "2", "9002", "杨慧敏", "0101",
                                                      "心血管内科", "2026-12-07 08:00:00", ""}));
  EXPECT_EQ(Items("P1"), (Rows{{"5", "1", "5", "现病史未记录诱因", "R1", "入院记录", "1", "9002",
                                "杨慧敏", "2026-12-07 08:00:00"},
                               {"6", "2", "2.5", "书写'潦草'", "R2", "病程记录", "3", "9002",
                                "杨慧敏", "2026-12-07 08:00:00"}}));

  for (int status : {0, 1, 3}) {
    SetStatus("P1", status);
    ASSERT_EQ(Score(u"P1", u"<root><score>100</score><grade>1</grade></root>", kOtherOfficer), u"");
    EXPECT_EQ(Visit("P1")[0][2], "2") << "from status " << status;
  }
  EXPECT_EQ(Visit("P1")[0][0], "100");
  EXPECT_TRUE(Items("P1").empty()) << "a score without items deletes them all";
  EXPECT_EQ(Visit("P1")[0][3], "9002") << "the scoring user is the items', not the visit's";

  // A visit without a row gets its items and no row.
  ASSERT_EQ(Score(u"P2", kTwoDeductions), u"");
  EXPECT_EQ(Items("P2").size(), 2u);
  EXPECT_TRUE(Visit("P2").empty());
}

TEST_F(DeptQcPatientTest, AScoreThatCannotBePlacedIsRefusedWholeBeforeAnyStatement) {
  ASSERT_EQ(Add(u"P1"), 0);
  ASSERT_EQ(Score(u"P1", kTwoDeductions), u"");
  const Rows visit = Visit("P1"), items = Items("P1");
  const std::u16string item = u"<item item_id=\"5\" score=\"1\" serial=\"1\"/>";
  const struct {
    std::u16string score_info;
    std::u16string client;
    std::u16string message;
  } cases[] = {
      {u"<root><grade>1</grade>" + item + u"</root>", kQcOfficer, u"评分信息中没有总分(score)."},
      {u"<root><score>90</score>" + item + u"</root>", kQcOfficer, u"评分信息中没有等级(grade)."},
      {u"<root><score>9O</score><grade>1</grade></root>", kQcOfficer,
       u"不是有效的数字: '9O' (score)"},
      {u"<root><score>90</score><grade>1, STATUS = 9</grade></root>", kQcOfficer,
       u"不是有效的数字: '1, STATUS = 9' (grade)"},
      {u"<root><score>90</score><grade>1</grade>" + item +
           u"<item item_id=\"5) --\" score=\"1\" serial=\"2\"/></root>",
       kQcOfficer, u"不是有效的数字: '5) --' (item_id)"},
      {u"<root><score>90</score><grade>1</grade><item item_id=\"5\" score=\"\" serial=\"1\"/>"
       u"</root>",
       kQcOfficer, u"不是有效的数字: '' (score)"},
      {u"<root><score>90</score><grade>1</grade><item item_id=\"5\" score=\"1\"/></root>",
       kQcOfficer, u"不是有效的数字: '' (serial)"},
      {u"<root><score>90</score><grade>1</grade>", kQcOfficer, u"无效XML!"},
      {u"<root><score>90</score><grade>1</grade></root>", u"<root><user>", u"解析属性信息错误."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Score(u"P1", c.score_info, c.client), c.message) << ToUtf8(c.score_info);
  }
  EXPECT_EQ(Visit("P1"), visit);
  EXPECT_EQ(Items("P1"), items);
}

TEST_F(DeptQcPatientTest, VerificationNeedsAScoreAndItsCancellationAVerification) {
  EXPECT_EQ(Verify(u"P1", false), u"病人未评分不允许审核.") << "no row";
  ASSERT_EQ(Add(u"P1"), 0);
  EXPECT_EQ(Verify(u"P1", false), u"病人未评分不允许审核.");
  EXPECT_EQ(Verify(u"P1", true), u"病人评分未审核不允许取消审核.");
  ASSERT_EQ(Score(u"P1", kTwoDeductions), u"");
  EXPECT_EQ(Verify(u"P1", true), u"病人评分未审核不允许取消审核.");
  EXPECT_EQ(Verify(u"P1", false), u"");
  EXPECT_EQ(Visit("P1")[0][2], "3");
  EXPECT_EQ(Verify(u"P1", false), u"") << "verifying twice succeeds";
  EXPECT_EQ(Visit("P1")[0][2], "3");
  EXPECT_EQ(Verify(u"P1", true), u"");
  EXPECT_EQ(Visit("P1")[0][2], "2");
  SetStatus("P1", 0);
  EXPECT_EQ(Verify(u"P1", false), u"病人未评分不允许审核.");
}

TEST_F(DeptQcPatientTest, TheScoreDocumentListsTheDeductionsThenTheVisitsScore) {
  ASSERT_EQ(Add(u"P1"), 0);
  ASSERT_EQ(Score(u"P1", kTwoDeductions), u"");
  const std::u16string document = ScoreDocument(u"P1");
  EXPECT_TRUE(document.starts_with(u"<?xml version=\"1.0\" encoding=\"UTF-16\""))
      << ToUtf8(document);
  std::vector<Element> elements = ReadElements(document);
  ASSERT_EQ(elements.size(), 7u) << ToUtf8(document);
  std::sort(elements.begin(), elements.begin() + 2,
            [](const Element& a, const Element& b) { return a.attributes < b.attributes; });
  EXPECT_EQ(elements[0], (Element{"item",
                                  "主诉与现病史描述不符",
                                  {{"item_id", "5"},
                                   {"score", "5"},
                                   {"note", "现病史未记录诱因"},
                                   {"serial", "1"},
                                   {"emr_id", "R1"},
                                   {"emr_title", "入院记录"},
                                   {"item_catalog", "1"},
                                   {"catalog_name", "入院记录"},
                                   {"item_type", "0"},
                                   {"item_count", "1"},
                                   {"item_point", "5"}}}));
  EXPECT_EQ(elements[1], (Element{"item",
                                  "书写'潦草'",
                                  {{"item_id", "6"},
                                   {"score", "2.5"},
                                   {"note", "书写'潦草'"},
                                   {"serial", "2"},
                                   {"emr_id", "R2"},
                                   {"emr_title", "病程记录"},
                                   {"item_catalog", "1"},
                                   {"catalog_name", "入院记录"},
                                   {"item_type", "4"},
                                   {"item_count", "3"},
                                   {"item_point", "2.5"}}}))
      << "a standard of type 4 shows the user's note";
  EXPECT_EQ(std::vector<Element>(elements.begin() + 2, elements.end()),
            (std::vector<Element>{{"score", "92.5", {}},
                                  {"grade", "2", {}},
                                  {"status", "2", {}},
                                  {"qc_user", "杨慧敏", {}},
                                  {"qc_date", "2026-12-07 08:00:00", {}}}));

  ASSERT_EQ(Remove(u"P1"), u"");
  EXPECT_EQ(ReadElements(ScoreDocument(u"P1"))[4], (Element{"status", "0", {}}))
      << "a removed visit is still answered";
  EXPECT_EQ(ScoreDocument(u"P2"), u"failed: 病人未添加到科室质控.");
}

// Scores and points are kept and printed with two decimals, the third rounded half up.
class DeptQcDecimalsTest : public DeptQcPatientTest,
                           public ::testing::WithParamInterface<db::Engine> {
 protected:
  DeptQcDecimalsTest() : DeptQcPatientTest(GetParam()) {}
};

TEST_P(DeptQcDecimalsTest, AThirdDecimalIsRoundedInDeductionsPointsAndTheScore) {
  db_.AddStandardItem({.id = 7, .standard = "细项", .point = 0.125, .catalog_id = 1});
  ASSERT_EQ(Add(u"P1"), 0);
  ASSERT_EQ(Score(u"P1",
                  u"<root><score>99.875</score><grade>1</grade><items><item item_id=\"7\" "
                  u"score=\"0.125\" serial=\"1\"/><item item_id=\"5\" score=\"1.005\" "
                  u"serial=\"2\"/></items></root>"),
            u"");
  std::vector<Element> elements = ReadElements(ScoreDocument(u"P1"));
  ASSERT_EQ(elements.size(), 7u);
  std::sort(elements.begin(), elements.begin() + 2,
            [](const Element& a, const Element& b) { return a.attributes < b.attributes; });
  EXPECT_EQ(elements[0].attributes.at("score"), "1.01");
  EXPECT_EQ(elements[0].attributes.at("item_point"), "5");
  EXPECT_EQ(elements[1].attributes.at("score"), "0.13");
  EXPECT_EQ(elements[1].attributes.at("item_point"), "0.13");
  EXPECT_EQ(elements[2], (Element{"score", "99.88", {}}));
}

INSTANTIATE_TEST_SUITE_P(Engines, DeptQcDecimalsTest, db::testing::kBothEngines,
                         db::testing::EngineName);

TEST_F(DeptQcPatientTest, TheDepartmentListFiltersByStatusAndByBothDatesOnly) {
  ASSERT_EQ(Add(u"P1"), 0);
  ASSERT_EQ(Add(u"P2"), 0);
  ASSERT_EQ(Score(u"P2", kTwoDeductions), u"");
  db_.Execute(
      "UPDATE PEV_DEPT_PATIENT_RECORD SET QC_DATE = TO_DATE('2026-12-01 10:00:00', "
      "'YYYY-MM-DD HH24:MI:SS') WHERE PATIENT_ID = 'P1'");

  const std::u16string all = List(u"<root><dept>0101</dept><status>1, 2</status></root>");
  EXPECT_EQ(Patients(all), (std::vector<std::string>{"P1", "P2"}));
  std::vector<Element> listed = ReadElements(all);
  std::sort(listed.begin(), listed.end(),
            [](const Element& a, const Element& b) { return a.text < b.text; });
  EXPECT_EQ(listed[0], (Element{"patient",
                                "张三",
                                {{"id", "P1"},
                                 {"event", "E1"},
                                 {"dept_name", "心血管内科"},
                                 {"dept_id", "0101"},
                                 {"score", "100"},
                                 {"grade", "1"},
                                 {"qc_user_name", "杨慧敏"},
                                 {"qc_user_id", "9002"},
                                 {"doctor_name", "王医生"},
                                 {"sex", "1"},
                                 {"status", "1"}}}));

  EXPECT_EQ(Patients(List(u"<root><dept>0101</dept><status>2</status></root>")),
            std::vector<std::string>{"P2"});
  EXPECT_TRUE(Patients(List(u"<root><dept>0102</dept><status>1,2</status></root>")).empty());
  EXPECT_EQ(Patients(List(u"<root><dept>0101</dept><status>1,2</status>"
                          u"<qc_date_begin>2026-12-07 00:00:00</qc_date_begin></root>")),
            (std::vector<std::string>{"P1", "P2"}))
      << "one date alone applies no filter";
  EXPECT_EQ(Patients(List(u"<root><dept>0101</dept><status>1,2</status>"
                          u"<qc_date_begin>2026-12-01 10:00:00</qc_date_begin>"
                          u"<qc_date_end>2026-12-07 07:59:59</qc_date_end></root>")),
            std::vector<std::string>{"P1"})
      << "both ends are included";

  EXPECT_EQ(List(u"<root><dept>0101</dept><status></status></root>"),
            u"failed: 不是有效的数字: '' (status)");
  EXPECT_EQ(List(u"<root><dept>0101</dept><status>1) OR (1=1</status></root>"),
            u"failed: 不是有效的数字: '1) OR (1=1' (status)");
  EXPECT_EQ(Patients(List(u"<root><dept>0101' OR '1'='1</dept><status>1,2</status></root>")),
            std::vector<std::string>{})
      << "the department is a quoted value";
}

TEST_F(DeptQcPatientTest, TwoSimultaneousFirstAdditionsLeaveOneRow) {
  LONG answers[2] = {-1, -1};
  std::vector<std::thread> callers;
  for (int i = 0; i < 2; ++i) {
    callers.emplace_back([&, i] {
      ScopedBstr p(u"P1"), e(u"E1"), c(kQcOfficer);
      EXPECT_EQ(Call([&](CEMRDataSource* ds) {
                  CBDeptQCPatient::AddQCPatient(ds, p.get(), e.get(), c.get(), &answers[i]);
                }),
                u"");
    });
  }
  for (std::thread& caller : callers) caller.join();
  EXPECT_EQ(answers[0] + answers[1], 1) << "one call adds the visit, the other finds it";
  EXPECT_EQ(db_.Count("PEV_DEPT_PATIENT_RECORD"), 1);
}

}  // namespace
}  // namespace korvalis::testing
