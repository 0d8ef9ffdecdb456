#include "quality/rules/terminal_qc_patient.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "db/testing/test_database.h"
#include "foundation/xml/dom_builder.h"
#include "foundation/xml/xml_parser.h"
#include "foundation/testing/list_elements.h"
#include "foundation/testing/test_call.h"
#include "platform/com/scoped_bstr.h"
#include "platform/db/testing/engine_database.h"
#include "platform/text/unicode.h"
#include "platform/xml/dom.h"

namespace korvalis::testing {
namespace {

using com::ScopedBstr;
using Rows = std::vector<std::vector<std::string>>;

constexpr char16_t kQcOfficer[] =
    u"<root><user id=\"9002\">杨慧敏</user><dept id=\"0101\">心血管内科</dept></root>";

// A `dept` element of a patient list; `visits` pairs a patient (visit E1) with its status.
std::u16string Dept(const std::u16string& id, const std::u16string& name,
                    const std::u16string& task,
                    const std::vector<std::pair<std::u16string, std::u16string>>& visits) {
  std::u16string dept =
      u"<dept id=\"" + id + u"\" name=\"" + name + u"\" task_id=\"" + task + u"\">";
  for (const auto& [patient, status] : visits) {
    dept += u"<patient id=\"" + patient + u"\" event=\"E1\" status=\"" + status + u"\"/>";
  }
  return dept + u"</dept>";
}

std::u16string Score(const std::u16string& total, const std::u16string& grade,
                     const std::u16string& dept_internal, const std::u16string& items = u"") {
  return u"<root><score>" + total + u"</score><grade>" + grade + u"</grade><dept_internal>" +
         dept_internal + u"</dept_internal>" + items + u"</root>";
}

// A `dept` of GetPatientList with its patients' ids and `scored` attributes.
struct ListedDept {
  std::string id, name;
  std::vector<std::pair<std::string, std::string>> patients;
  bool operator==(const ListedDept&) const = default;
};

std::vector<ListedDept> ReadGroupedList(const std::u16string& text) {
  xml::Document document;
  EXPECT_TRUE(document.LoadXml(ToUtf8(text))) << ToUtf8(text);
  std::vector<ListedDept> depts;
  for (const xml::Node& dept : document.DocumentElement().Children()) {
    auto attributes = dept.Attributes();
    std::map<std::string, std::string> a(attributes.begin(), attributes.end());
    ListedDept listed{a["id"], a["name"], {}};
    for (const xml::Node& patient : dept.Children()) {
      auto pa = patient.Attributes();
      std::map<std::string, std::string> p(pa.begin(), pa.end());
      listed.patients.push_back({p["id"], p["scored"]});
    }
    depts.push_back(listed);
  }
  return depts;
}

class TerminalQcPatientTest : public ::testing::Test {
 protected:
  explicit TerminalQcPatientTest(db::Engine engine = db::Engine::kSqlite)
      : db_(schema::DatabaseContents::kInstallation, engine) {
    for (const char* id : {"P1", "P2", "P3", "P4"}) {
      db_.AddPatient({.id = id, .name = std::string("病人") + id, .sex = 1});
      db_.AddVisit({.patient_id = id, .event_no = "E1", .out_time = "2026-11-10 09:00:00"});
    }
    db_.AddStandardCatalog({.id = 1, .name = "出院记录"});
    db_.AddStandardItem({.id = 5, .standard = "出院医嘱不全", .point = 2.5, .catalog_id = 1});
    AddTask(1, 1);
    AddTask(2, 1);
  }

  void AddTask(int id, int status) {
    db_.Execute("INSERT INTO PEV_TASK_RECORD (ID, TITLE, STATUS) VALUES (" + std::to_string(id) +
                ", '终末质控任务" + std::to_string(id) + "', " + std::to_string(status) + ")");
  }
  std::string TaskStatus(int id) {
    return db_.Query("SELECT STATUS FROM PEV_TASK_RECORD WHERE ID = " + std::to_string(id))[0][0];
  }

  template <class Body>
  std::u16string Call(Body&& body) {
    return RunAsCall(db_.init_string(), body);
  }
  std::u16string Manage(const std::u16string& depts) {
    ScopedBstr list(u"<root>" + depts + u"</root>"), client(kQcOfficer);
    return Call([&](CEMRDataSource* ds) {
      CBTerminalQCPatient::ManagePatient(ds, list.get(), client.get());
    });
  }
  std::u16string ScoreVisit(const std::u16string& patient, const std::u16string& score_info) {
    ScopedBstr p(patient), e(u"E1"), s(score_info), c(kQcOfficer);
    return Call([&](CEMRDataSource* ds) {
      CBTerminalQCPatient::ScorePatient(ds, p.get(), e.get(), s.get(), c.get());
    });
  }
  // A list of the task: the document, or "failed: " and the failure.
  template <class Body>
  std::u16string List(Body&& body) {
    ScopedBstr result;
    const std::u16string failure = Call([&](CEMRDataSource* ds) { body(ds, result.out()); });
    return failure.empty() ? result.text() : u"failed: " + failure;
  }
  std::u16string DeptList(LONG task) {
    return List(
        [&](CEMRDataSource* ds, BSTR* out) { CBTerminalQCPatient::GetDeptList(ds, task, out); });
  }
  std::u16string DeptPatientList(LONG task, const std::u16string& dept) {
    ScopedBstr d(dept);
    return List([&](CEMRDataSource* ds, BSTR* out) {
      CBTerminalQCPatient::GetDeptPatientList(ds, task, d.get(), out);
    });
  }
  std::u16string PatientList(LONG task) {
    return List(
        [&](CEMRDataSource* ds, BSTR* out) { CBTerminalQCPatient::GetPatientList(ds, task, out); });
  }
  std::u16string PatientScore(LONG task, const std::u16string& patient) {
    ScopedBstr p(patient), e(u"E1");
    return List([&](CEMRDataSource* ds, BSTR* out) {
      CBTerminalQCPatient::GetPatientScore(ds, task, p.get(), e.get(), out);
    });
  }
  std::u16string Search(const std::u16string& condition) {
    ScopedBstr c(condition);
    return List([&](CEMRDataSource* ds, BSTR* out) {
      CBTerminalQCPatient::SearchPatient(ds, c.get(), out);
    });
  }

  Rows DeptRecords() {
    return db_.Query(
        "SELECT ID, DEPT_ID, DEPT_NAME, QCTASK_ID, QC_USER_ID, STATUS, TOTAL_COUNT, VIRIFY_COUNT, "
        "LEVEL_FIRST_COUNT, LEVEL_SECOND_COUNT, LEVEL_THIRD_COUNT FROM PEV_FINAL_DEPT_RECORD "
        "ORDER BY ID");
  }
  Rows Visits() {
    return db_.Query(
        "SELECT ID, PATIENT_ID, QC_USER_NAME, TOTAL_POINT, EMR_LEVEL, STATUS FROM "
        "PEV_FINAL_PATIENT_RECORD ORDER BY ID, PATIENT_ID");
  }

  schema::TestDatabase db_;
  ScopedDatabaseClock clock_;
};

TEST_F(TerminalQcPatientTest, AssignmentMakesRecordsCountsAndDeletesAnEmptiedRecord) {
  ASSERT_EQ(Manage(Dept(u"0101", u"心血管内科", u"1",
                        {{u"P1", u"1"}, {u"P2", u"1"}, {u"P3", u"2"}, {u"P4", u""}})),
            u"");
  EXPECT_EQ(DeptRecords(),
            (Rows{{"1", "0101", "心血管内科", "1", "9002", "1", "2", "", "", "", ""}}))
      << "the first record of an empty table is 1; statuses 2 and empty are ignored";
  EXPECT_EQ(Visits(),
            (Rows{{"1", "P1", "杨慧敏", "100", "1", "1"}, {"1", "P2", "杨慧敏", "100", "1", "1"}}));
  EXPECT_EQ(TaskStatus(1), "2");

  db_.Execute("UPDATE PEV_TASK_RECORD SET STATUS = 1 WHERE ID = 1");
  ASSERT_EQ(Manage(Dept(u"0101", u"心血管内科", u"1", {{u"P1", u"0"}, {u"P2", u"0"}})), u"");
  EXPECT_TRUE(DeptRecords().empty()) << "a record left without visits is deleted";
  EXPECT_EQ(TaskStatus(1), "2") << "the task goes to 2 all the same";
}

TEST_F(TerminalQcPatientTest, TwoDepartmentsOfTwoTasksAndOnlyTheLastTaskGoesToTwo) {
  db_.Execute(
      "INSERT INTO PEV_FINAL_DEPT_RECORD (ID, DEPT_ID, DEPT_NAME, QCTASK_ID, STATUS) "
      "VALUES (7, '0909', '眼科', 9, 1)");
  ASSERT_EQ(Manage(Dept(u"0101", u"心血管内科", u"1", {{u"P1", u"1"}}) +
                   Dept(u"0102", u"呼吸内科", u"2", {{u"P2", u"1"}})),
            u"");
  const Rows records = DeptRecords();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[1][0] + records[1][1] + "/" + records[1][3], "80101/1");
  EXPECT_EQ(records[2][0] + records[2][1] + "/" + records[2][3], "90102/2");
  EXPECT_EQ(TaskStatus(1), "1");
  EXPECT_EQ(TaskStatus(2), "2");
}

TEST_F(TerminalQcPatientTest, ScoringCountsLevelsAndCompletesTheTaskUntilTheNextAssignment) {
  ASSERT_EQ(Manage(Dept(u"0101", u"心血管内科", u"1", {{u"P1", u"1"}}) +
                   Dept(u"0102", u"呼吸内科", u"1", {{u"P2", u"1"}, {u"P3", u"1"}})),
            u"");
  ASSERT_EQ(ScoreVisit(u"P2", Score(u"85", u"2", u"2",
                                    u"<item item_id=\"5\" score=\"2.5\" serial=\"1\" "
                                    u"note=\"未写'复诊'\" emr_id=\"R1\" emr_title=\"出院记录\" "
                                    u"item_count=\"1\"/>")),
            u"");
  EXPECT_EQ(DeptRecords()[1], (std::vector<std::string>{"2", "0102", "呼吸内科", "1", "9002", "1",
                                                        "2", "1", "1", "1", "0"}));
  EXPECT_EQ(TaskStatus(1), "2");

  ASSERT_EQ(ScoreVisit(u"P3", Score(u"70", u"3", u"2")), u"");
  EXPECT_EQ(DeptRecords()[1], (std::vector<std::string>{"2", "0102", "呼吸内科", "1", "9002", "1",
                                                        "2", "2", "0", "1", "1"}));
  EXPECT_EQ(TaskStatus(1), "2") << "department 0101 still has an unscored visit";

  ASSERT_EQ(ScoreVisit(u"P1", Score(u"100", u"1", u"1")), u"");
  EXPECT_EQ(TaskStatus(1), "3") << "the last unscored visit completes the task";
  ASSERT_EQ(ScoreVisit(u"P1", Score(u"99", u"1", u"1")), u"");
  EXPECT_EQ(TaskStatus(1), "3") << "scoring again keeps it complete";

  // The counts read through the list's column names.
  std::vector<Element> depts = ReadElements(DeptList(1));
  std::sort(depts.begin(), depts.end(),
            [](const Element& a, const Element& b) { return a.attributes < b.attributes; });
  EXPECT_EQ(depts, (std::vector<Element>{{"dept",
                                          "心血管内科",
                                          {{"id", "0101"},
                                           {"internal", "1"},
                                           {"count", "1"},
                                           {"score", "1"},
                                           {"grade_a", "1"},
                                           {"grade_b", "0"},
                                           {"grade_c", "0"}}},
                                         {"dept",
                                          "呼吸内科",
                                          {{"id", "0102"},
                                           {"internal", "2"},
                                           {"count", "2"},
                                           {"score", "2"},
                                           {"grade_a", "0"},
                                           {"grade_b", "1"},
                                           {"grade_c", "1"}}}}));

  ASSERT_EQ(Manage(Dept(u"0102", u"呼吸内科", u"1", {{u"P2", u"1"}})), u"");
  EXPECT_EQ(TaskStatus(1), "2") << "a later assignment sets the task back";
  EXPECT_EQ(Visits()[1], (std::vector<std::string>{"2", "P2", "杨慧敏", "100", "1", "1"}))
      << "a visit assigned again starts over";
  EXPECT_EQ(db_.Count("PEV_FINAL_ITEM_RECORD"), 1) << "its items stay";
}

TEST_F(TerminalQcPatientTest, BadListsAndScoresAreRefusedWithNothingWritten) {
  ASSERT_EQ(Manage(Dept(u"0101", u"心血管内科", u"1", {{u"P1", u"1"}})), u"");
  db_.Execute(
      "INSERT INTO PEV_FINAL_DEPT_RECORD (ID, DEPT_ID, DEPT_NAME, QCTASK_ID, STATUS) "
      "VALUES (5, '0202', '骨科', 1, 1)");
  const Rows records = DeptRecords(), visits = Visits();

  EXPECT_EQ(Manage(Dept(u"0102", u"呼吸内科", u"1", {{u"P2", u"1"}}) +
                   Dept(u"0103", u"x", u"1 OR 1=1", {{u"P3", u"1"}})),
            u"不是有效的数字: '1 OR 1=1' (task_id)");
  EXPECT_EQ(Manage(u"<dept id=\"0102\" task_id=\"1\"><patient id=\"P2\""), u"无效XML!");
  const struct {
    std::u16string score_info, message;
  } cases[] = {
      {u"<root><score>90</score><grade>1</grade></root>", kDeptInternalMissingMessage},
      {Score(u"90", u"1", u"1 OR 1=1"), u"不是有效的数字: '1 OR 1=1' (dept_internal)"},
      {Score(u"90", u"1", u""), u"不是有效的数字: '' (dept_internal)"},
      {Score(u"90", u"1", u"5"), std::u16string(kDeptRecordEmptyMessage) + u"5"},
      {Score(u"90", u"1", u"42"), std::u16string(kDeptRecordEmptyMessage) + u"42"},
      {Score(u"90", u"1, STATUS = 9", u"1"), u"不是有效的数字: '1, STATUS = 9' (grade)"},
      {u"<root><score>90</score>", u"无效XML!"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ScoreVisit(u"P1", c.score_info), c.message) << ToUtf8(c.score_info);
  }
  EXPECT_EQ(DeptRecords(), records);
  EXPECT_EQ(Visits(), visits);
  EXPECT_EQ(db_.Count("PEV_FINAL_ITEM_RECORD"), 0);
  EXPECT_EQ(TaskStatus(1), "2");
}

TEST_F(TerminalQcPatientTest, ListsOfATaskWithoutRecordsAreEmpty) {
  for (const std::u16string& list : {DeptList(1), DeptPatientList(1, u"0101"), PatientList(1)}) {
    EXPECT_TRUE(ReadElements(list).empty()) << ToUtf8(list);
  }
}

TEST_F(TerminalQcPatientTest, ThePatientListsShowScoresAndScoredOnlyInTheirOwnRecord) {
  ASSERT_EQ(Manage(Dept(u"0101", u"心血管内科", u"1", {{u"P1", u"1"}, {u"P2", u"1"}})), u"");
  ASSERT_EQ(Manage(Dept(u"0101", u"心血管内科", u"2", {{u"P1", u"1"}})), u"");
  const std::u16string item = u"<item item_id=\"5\" score=\"2.5\" serial=\"1\"/>";
  ASSERT_EQ(ScoreVisit(u"P1", Score(u"97.5", u"1", u"2", item)), u"") << "P1 in task 2";
  ASSERT_EQ(ScoreVisit(u"P2", Score(u"100", u"1", u"1")), u"") << "no deductions";

  EXPECT_EQ(ReadGroupedList(PatientList(1)),
            (std::vector<ListedDept>{{"0101", "心血管内科", {{"P1", "0"}, {"P2", "0"}}}}))
      << ToUtf8(PatientList(1));
  EXPECT_EQ(ReadGroupedList(PatientList(2)),
            (std::vector<ListedDept>{{"0101", "心血管内科", {{"P1", "1"}}}}));
  // Byte for byte as the DOM writer writes the same document, the empty one too.
  for (LONG task : {1, 2, 3}) {
    const std::u16string list = PatientList(task);
    CXmlStringParser parser(list);
    ASSERT_NE(parser.GetDocument(), nullptr) << task;
    EXPECT_EQ(WriteDomDocument(parser.GetDocument()), list) << task;
  }

  std::vector<Element> patients = ReadElements(DeptPatientList(1, u"0101"));
  std::sort(patients.begin(), patients.end(),
            [](const Element& a, const Element& b) { return a.text < b.text; });
  EXPECT_EQ(
      patients,
      (std::vector<Element>{
          {"patient", "病人P1", {{"id", "P1"}, {"event", "E1"}, {"grade", "1"}, {"score", "100"}}},
          {"patient",
           "病人P2",
           {{"id", "P2"}, {"event", "E1"}, {"grade", "1"}, {"score", "100"}}}}));
  EXPECT_TRUE(ReadElements(DeptPatientList(1, u"0101' OR '1'='1")).empty());

  xml::Document document;
  ASSERT_TRUE(document.LoadXml(ToUtf8(PatientList(1))));
  const xml::Node dept = document.DocumentElement().Children().front();
  const auto attributes = dept.Children().back().Attributes();
  EXPECT_EQ((std::map<std::string, std::string>(attributes.begin(), attributes.end())),
            (std::map<std::string, std::string>{{"id", "P2"},
                                                {"event", "E1"},
                                                {"grade", "1"},
                                                {"score", "100"},
                                                {"status", "2"},
                                                {"sex", "1"},
                                                {"scored", "0"}}))
      << "a visit scored without items shows its score and scored 0";
}

TEST_F(TerminalQcPatientTest, TwoDepartmentsOfOneNameInterleaveIntoOneElementPerRun) {
  // Rows ordered by name only: 0101 (P1), 0109 (P2), 0101 (P3) in the order of their rowids.
  ASSERT_EQ(Manage(Dept(u"0101", u"内科", u"1", {{u"P1", u"1"}}) +
                   Dept(u"0109", u"内科", u"1", {{u"P2", u"1"}})),
            u"");
  db_.Execute(
      "INSERT INTO PEV_FINAL_PATIENT_RECORD (PATIENT_ID, EVENT_NO, ID, TOTAL_POINT, EMR_LEVEL, "
      "STATUS) VALUES ('P3', 'E1', 1, 100, 1, 1)");
  const std::vector<ListedDept> depts = ReadGroupedList(PatientList(1));
  std::size_t runs = 1;
  std::size_t patients = depts.empty() ? 0 : depts[0].patients.size();
  for (std::size_t i = 1; i < depts.size(); ++i) {
    EXPECT_NE(depts[i].id, depts[i - 1].id) << "one element per run of one department";
    runs += 1;
    patients += depts[i].patients.size();
  }
  EXPECT_EQ(patients, 3u);
  EXPECT_GE(runs, 2u);
  for (const ListedDept& d : depts) EXPECT_EQ(d.name, "内科");
}

TEST_F(TerminalQcPatientTest, TheScoreQueryListsItemsThenTheRecordScoreAndGrade) {
  ASSERT_EQ(Manage(Dept(u"0101", u"心血管内科", u"1", {{u"P1", u"1"}})), u"");
  ASSERT_EQ(ScoreVisit(u"P1", Score(u"97.5", u"2", u"1",
                                    u"<item item_id=\"5\" score=\"2.5\" serial=\"1\" note=\"n\" "
                                    u"emr_id=\"R1\" emr_title=\"出院记录\" item_count=\"2\"/>")),
            u"");
  const std::u16string document = PatientScore(1, u"P1");
  EXPECT_TRUE(document.starts_with(u"<?xml version=\"1.0\" encoding=\"UTF-16\""));
  EXPECT_EQ(ReadElements(document), (std::vector<Element>{{"item",
                                                           "出院医嘱不全",
                                                           {{"item_id", "5"},
                                                            {"score", "2.5"},
                                                            {"note", "n"},
                                                            {"serial", "1"},
                                                            {"emr_id", "R1"},
                                                            {"emr_title", "出院记录"},
                                                            {"item_catalog", "1"},
                                                            {"catalog_name", "出院记录"},
                                                            {"type_veto", "1"},
                                                            {"type_multi_sel", "0"},
                                                            {"type_subjective", "0"},
                                                            {"item_count", "2"},
                                                            {"item_point", "2.5"}}},
                                                          {"dept_internal", "1", {}},
                                                          {"score", "97.5", {}},
                                                          {"grade", "2", {}}}));

  EXPECT_EQ(PatientScore(1, u"P2"), u"failed: 病人未添加到终末质控任务");
  EXPECT_EQ(PatientScore(2, u"P1"), u"failed: 病人未添加到终末质控任务");
  ASSERT_EQ(Manage(Dept(u"0102", u"呼吸内科", u"1", {{u"P1", u"1"}})), u"");
  EXPECT_EQ(PatientScore(1, u"P1"), u"failed: 病人未添加到终末质控任务")
      << "a visit in two records of the task";
}

TEST_F(TerminalQcPatientTest, SimultaneousAssignmentsGetDistinctRecords) {
  std::vector<std::thread> callers;
  std::u16string failures[4];
  for (int i = 0; i < 4; ++i) {
    callers.emplace_back([&, i] {
      failures[i] = Manage(Dept(u"0" + std::u16string(1, u'1' + i), u"科", u"1", {{u"P1", u"1"}}));
    });
  }
  for (std::thread& caller : callers) caller.join();
  for (const std::u16string& failure : failures) EXPECT_EQ(failure, u"");
  EXPECT_EQ(db_.Query("SELECT COUNT(DISTINCT ID) FROM PEV_FINAL_DEPT_RECORD")[0][0], "4");
}

// Scores and points are kept and printed with two decimals, the third rounded half up.
class FinalQcDecimalsTest : public TerminalQcPatientTest,
                            public ::testing::WithParamInterface<db::Engine> {
 protected:
  FinalQcDecimalsTest() : TerminalQcPatientTest(GetParam()) {}
};

TEST_P(FinalQcDecimalsTest, AThirdDecimalIsRoundedInDeductionsPointsAndTheScore) {
  db_.AddStandardItem({.id = 7, .standard = "细项", .point = 0.125, .catalog_id = 1});
  ASSERT_EQ(Manage(Dept(u"0101", u"心血管内科", u"1", {{u"P1", u"1"}})), u"");
  ASSERT_EQ(ScoreVisit(u"P1", Score(u"99.875", u"1", u"1",
                                    u"<item item_id=\"7\" score=\"0.125\" serial=\"1\"/>"
                                    u"<item item_id=\"5\" score=\"1.005\" serial=\"2\"/>")),
            u"");
  std::vector<Element> elements = ReadElements(PatientScore(1, u"P1"));
  ASSERT_EQ(elements.size(), 5u);
  std::sort(elements.begin(), elements.begin() + 2,
            [](const Element& a, const Element& b) { return a.attributes < b.attributes; });
  EXPECT_EQ(elements[0].attributes.at("score"), "1.01");
  EXPECT_EQ(elements[0].attributes.at("item_point"), "2.5");
  EXPECT_EQ(elements[1].attributes.at("score"), "0.13");
  EXPECT_EQ(elements[1].attributes.at("item_point"), "0.13");
  EXPECT_EQ(elements[3], (Element{"score", "99.88", {}}));
  EXPECT_EQ(Visits()[0][3], "99.88");
}

INSTANTIATE_TEST_SUITE_P(Engines, FinalQcDecimalsTest, db::testing::kBothEngines,
                         db::testing::EngineName);

class FinalQcSearchTest : public TerminalQcPatientTest {
 protected:
  static std::u16string Condition(const std::u16string& rest) {
    return u"<root><begin_date>2026-11-01</begin_date><end_date>2026-11-30</end_date>"
           u"<task_id>1</task_id>" +
           rest + u"</root>";
  }
  static std::vector<std::string> Ids(const std::u16string& list) {
    std::vector<std::string> ids;
    for (const Element& e : ReadElements(list)) ids.push_back(e.attributes.at("id"));
    return ids;
  }
  static std::vector<std::string> DeptsOf(const std::u16string& list) {
    std::vector<std::string> depts;
    for (const Element& e : ReadElements(list)) depts.push_back(e.attributes.at("dept_id"));
    return depts;
  }
  void AddDischarged(const std::string& id, const std::string& dept, const std::string& out) {
    db_.AddPatient({.id = id, .name = id});
    db_.AddVisit({.patient_id = id, .event_no = "E1", .dept_id = dept, .out_time = out});
  }
};

TEST_F(FinalQcSearchTest, ConditionsAreCheckedDatesFirstAndBareValuesRefused) {
  EXPECT_EQ(Search(u"<root><task_id>1</task_id><end_date>2026-11-30</end_date></root>"),
            u"failed: 检索条件错误: 出院时间不能为空!");
  EXPECT_EQ(Search(u"<root><begin_date>2026-11-01</begin_date></root>"),
            u"failed: 检索条件错误: 出院时间不能为空!");
  EXPECT_EQ(Search(u"<root><begin_date>2026-11-01</begin_date><end_date>2026-11-30</end_date>"
                   u"</root>"),
            u"failed: 检索条件错误: 质控任务ID不能为空!");
  // The end is a day, covered to its end: a time in it, or a begin that is no date, is named.
  EXPECT_EQ(Search(u"<root><begin_date>2026-11-01</begin_date><end_date>2026-11-30 10:00:00"
                   u"</end_date><task_id>1</task_id></root>"),
            u"failed: 检索条件错误: 不是有效的日期: '2026-11-30 10:00:00' (end_date)");
  EXPECT_EQ(Search(u"<root><begin_date>2026-11</begin_date><end_date>2026-11-30</end_date>"
                   u"<task_id>1</task_id></root>"),
            u"failed: 检索条件错误: 不是有效的日期: '2026-11' (begin_date)");
  EXPECT_EQ(Ids(Search(u"<root><begin_date>2026-11-30 23:00:00</begin_date><end_date>2026-11-30"
                       u"</end_date><task_id>1</task_id></root>")),
            std::vector<std::string>{});
  EXPECT_EQ(Search(Condition(u"<patient_per_dept>10; DROP</patient_per_dept>")),
            u"failed: 不是有效的数字: '10; DROP' (patient_per_dept)");
  EXPECT_TRUE(Search(Condition(u"<dept_id>,,</dept_id>")).starts_with(u"failed: "))
      << "commas only leave no department";
  EXPECT_TRUE(Ids(Search(Condition(u"<dept_id>0101' OR '1'='1</dept_id>"))).empty());
}

TEST_F(FinalQcSearchTest, TheEndDayIsCoveredAndVisitsOfTheTaskAreMarked) {
  AddDischarged("Q1", "0102", "2026-11-30 23:59:59");
  AddDischarged("Q2", "0102", "2026-12-01 00:00:00");
  ASSERT_EQ(Manage(Dept(u"0101", u"心血管内科", u"1", {{u"P1", u"1"}}) +
                   Dept(u"0101", u"心血管内科", u"2", {{u"P2", u"1"}})),
            u"");
  std::map<std::string, std::string> task_of;
  for (const Element& e : ReadElements(Search(Condition(u"")))) {
    task_of[e.attributes.at("id")] = e.attributes.at("task_id");
  }
  EXPECT_EQ(task_of, (std::map<std::string, std::string>{
                         {"P1", "1"}, {"P2", ""}, {"P3", ""}, {"P4", ""}, {"Q1", ""}}));
  std::vector<Element> q1 = ReadElements(Search(Condition(u"<dept_id>0102</dept_id>")));
  ASSERT_EQ(q1.size(), 1u);
  EXPECT_EQ(q1[0], (Element{"patient",
                            "Q1",
                            {{"id", "Q1"},
                             {"event", "E1"},
                             {"dept_id", "0102"},
                             {"dept_name", "心血管内科"},
                             {"doctor", "测试医生"},
                             {"task_id", ""}}}));
}

TEST_F(FinalQcSearchTest, DrawsAtMostNPerDepartmentOrderedByDepartment) {
  for (int i = 0; i < 6; ++i) AddDischarged("R" + std::to_string(i), "0202", "2026-11-15 10:00:00");
  AddDischarged("S1", "0303", "2026-11-15 10:00:00");
  const std::u16string list =
      Search(Condition(u"<dept_id>0303,0202,0101</dept_id><patient_per_dept>3</patient_per_dept>"));
  EXPECT_EQ(DeptsOf(list),
            (std::vector<std::string>{"0101", "0101", "0101", "0202", "0202", "0202", "0303"}))
      << "fewer visits than asked give all of them";

  EXPECT_EQ(DeptsOf(Search(Condition(u"<dept_id>0202,0303</dept_id>"))).size(), 7u);
  const std::vector<std::string> first =
      DeptsOf(Search(Condition(u"<patient_per_dept>10</patient_per_dept>")));
  EXPECT_EQ(first.size(), 10u);
  EXPECT_TRUE(std::is_sorted(first.begin(), first.end()));
}

TEST_F(FinalQcSearchTest, TwoDrawsFromAThousandVisitsDiffer) {
  for (int i = 0; i < 1000; ++i) {
    db_.Execute(
        "INSERT INTO TELV_VISIT_RECORD (PATIENT_ID, EVENT_NO, SERIAL_NO, NOW_DEPT_ID, OUT_TIME) "
        "VALUES ('D" +
        std::to_string(i) + "', 'E1', 1, '0505', TO_DATE('2026-11-20', 'YYYY-MM-DD'))");
  }
  const std::u16string condition =
      Condition(u"<dept_id>0505</dept_id><patient_per_dept>10</patient_per_dept>");
  std::vector<std::string> a = Ids(Search(condition)), b = Ids(Search(condition));
  EXPECT_EQ(a.size(), 10u);
  EXPECT_EQ(b.size(), 10u);
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  EXPECT_NE(a, b);
}

}  // namespace
}  // namespace korvalis::testing
