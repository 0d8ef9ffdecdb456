// The same calls on the sample hospital in the embedded file and on a PostgreSQL server: reading
// and writing calls, with dates, numbers, paging and cut lists, answer alike on both engines.
// A list whose rows no order decides compares as a set of rows; every other answer compares
// row for row, as parsed XML.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "archive/archive_patient.h"
#include "archive/archive_report.h"
#include "archive/emr_library.h"
#include "db/testing/test_database.h"
#include "emrdoc/emr_content_hand_over.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/testing/test_call.h"
#include "foundation/testing/test_data_source.h"
#include "platform/com/bstr.h"
#include "platform/com/scoped_bstr.h"
#include "platform/text/unicode.h"
#include "platform/xml/dom.h"
#include "quality/review/core_system.h"
#include "quality/review/qc_collector.h"
#include "quality/review/qc_patient.h"
#include "quality/rules/dept_qc_patient.h"
#include "quality/rules/qc_admin.h"
#include "quality/rules/qc_task.h"
#include "quality/rules/quality_trigger.h"
#include "quality/rules/sys_event.h"
#include "quality/rules/terminal_qc_patient.h"
#include "report/emr_report.h"
#include "report/function_admin.h"
#include "report/qc_grade_summary.h"
#include "report/repository.h"
#include "suite/testing/sibling_doubles.h"

namespace korvalis::testing {
namespace {

using Body = long (*)(CEMRDataSource*, BSTR, BSTR*);

enum class Rows { kOrdered, kUnordered };

// One call: a body with its one text argument; its answer is the result it hands out.
struct Step {
  Body body;
  std::u16string argument;
};

// Calls made one after the other on each engine; the answers of all are compared.
struct Case {
  const char* name;
  std::vector<Step> steps;
  Rows rows = Rows::kOrdered;
};

// An element with its attributes (sorted by name), text and children, as one text.
std::string Canonical(const xml::Node& element) {
  std::string text = "<" + element.Name();
  std::vector<std::pair<std::string, std::string>> attributes;
  for (const auto& attribute : element.Attributes()) attributes.push_back(attribute);
  std::sort(attributes.begin(), attributes.end());
  for (const auto& [name, value] : attributes) text += " " + name + "='" + value + "'";
  text += ">";
  bool has_children = false;
  for (const xml::Node& child : element.Children()) {
    text += Canonical(child);
    has_children = true;
  }
  if (!has_children) text += element.Text();
  return text + "</" + element.Name() + ">";
}

// The rows of an answer: each child of its document element as one text, sorted when the
// rows are unordered; the document element's name first. An answer that is no XML is one row,
// as it is, after an empty name.
std::vector<std::string> AnswerRows(const std::u16string& answer, Rows rows) {
  xml::Document document;
  if (!document.LoadXml(ToUtf8(answer)) || !document.HasDocumentElement()) {
    return {"", ToUtf8(answer)};
  }
  std::vector<std::string> texts = {document.DocumentElement().Name()};
  for (const xml::Node& child : document.DocumentElement().Children()) {
    texts.push_back(Canonical(child));
  }
  if (rows == Rows::kUnordered) std::sort(texts.begin() + 1, texts.end());
  return texts;
}

// A writing body as a step that answers nothing.
template <long (*Write)(CEMRDataSource*, BSTR)>
long WriteOnly(CEMRDataSource* ds, BSTR argument, BSTR*) {
  return Write(ds, argument);
}

// A statement run as a step: rows rewritten as a writing call of another class would.
long Executed(CEMRDataSource* ds, BSTR statement, BSTR*) {
  ds->Execute(std::u16string(BstrView(statement)));
  return 0;
}

// A list without arguments as a step.
template <long (*List)(CEMRDataSource*, BSTR*)>
long Listed(CEMRDataSource* ds, BSTR, BSTR* out) {
  return List(ds, out);
}

// Bodies of other signatures, with their further arguments fixed.
long FullSearchFirstPage(CEMRDataSource* ds, BSTR what, BSTR* out) {
  return CBEMRLibrary::FullSearch(ds, what, 1, 2, out);
}
long FullSearchSecondPage(CEMRDataSource* ds, BSTR what, BSTR* out) {
  return CBEMRLibrary::FullSearch(ds, what, 3, 4, out);
}
long FullSearch2FirstPage(CEMRDataSource* ds, BSTR condition, BSTR* out) {
  com::ScopedBstr what(u"");
  return CBEMRLibrary::FullSearch2(ds, condition, what.get(), 1, 3, out);
}
long PathSearchFirstPage(CEMRDataSource* ds, BSTR path, BSTR* out) {
  com::ScopedBstr condition(u"<root/>");
  return CBEMRLibrary::PathSearch(ds, condition.get(), path, 1, 20, out);
}
long InPatients(CEMRDataSource* ds, BSTR dept, BSTR* out) {
  com::ScopedBstr from(u"2026-11-01 00:00:00"), to(u"2026-12-31 00:00:00");
  return CBArchivePatient::GetInPatientList(ds, dept, from.get(), to.get(), out);
}
long AllInPatients(CEMRDataSource* ds, BSTR from, BSTR* out) {
  com::ScopedBstr to(u"2027-01-01");
  return CBArchivePatient::GetAllInPatientList(ds, from, to.get(), out);
}
long VisitTimeLimits(CEMRDataSource* ds, BSTR event, BSTR* out) {
  com::ScopedBstr patient(u"P0002");
  return CBQCCollector::GetPatientQCList(ds, patient.get(), event, out);
}
long BindRule3(CEMRDataSource* ds, BSTR event, BSTR* out) {
  CBQCAdmin::SaveEventRule(ds, event, 3);
  return CBQCAdmin::GetEventRuleList(ds, event, out);
}
long RulesOpenedBy(CEMRDataSource* ds, BSTR event, BSTR* out) {
  return CBSysEvent::GetEventRuleList(ds, event, 1, out);
}
constexpr char16_t kNewVisit[] = u"P0004";
long AdmissionRulesFired(CEMRDataSource* ds, BSTR event, BSTR* out) {
  com::ScopedBstr patient(kNewVisit), visit(u"2026120601");
  CBQualityTrigger::FireOpen(ds, patient.get(), visit.get(), event);
  return CBQCCollector::GetPatientQCList(ds, patient.get(), visit.get(), out);
}
long WriterInfo(CEMRDataSource* ds, BSTR from, BSTR* out) {
  com::ScopedBstr to(u"2027-01-01"), dept(u"$00000$"), template_id(u"9");
  return CBArchiveReport::GetWriterInfoList(ds, from, to.get(), dept.get(), template_id.get(), out);
}
long Summary(CEMRDataSource* ds, BSTR condition, BSTR* out) {
  com::ScopedBstr template_id(u"1");
  return CBQCGradeSummary::GenerateSummary(ds, condition, template_id.get(), out);
}
constexpr char16_t kOfficer[] =
    u"<root><user id=\"9002\">杨慧敏</user><dept id=\"0101\">心血管内科</dept></root>";
long DeptQcScore(CEMRDataSource* ds, BSTR score, BSTR* out) {
  com::ScopedBstr patient(u"P0004"), event(u"2026120601"), client(kOfficer);
  LONG status = 0;
  CBDeptQCPatient::AddQCPatient(ds, patient.get(), event.get(), client.get(), &status);
  CBDeptQCPatient::ScorePatient(ds, patient.get(), event.get(), score, client.get());
  return CBDeptQCPatient::GetPatientScore(ds, patient.get(), event.get(), out);
}
// Report 1 given a statement whose placeholders stand between the author's quotes, then run
// with `param`: its content, unpacked.
long QuotedPlaceholderReport(CEMRDataSource* ds, BSTR param, BSTR* out) {
  com::ScopedBstr statements(
      u"<report><sql><gramar>SELECT B.NAME, B.ID FROM TELV_PATIENT B WHERE B.NAME LIKE "
      u"'%{nm}%' AND B.BIRTHDAY &lt; TO_DATE('{before}', 'YYYY-MM-DD') ORDER BY B.ID</gramar>"
      u"<property><n>patient</n><n>id</n></property></sql></report>"),
      client(kOfficer), packed;
  CBEMRReport::SetReportSQL2(ds, 1, statements.get());
  CBEMRReport::GetReportContent(ds, 1, param, client.get(), packed.out());
  StoreBstrResult(out, UnpackEmrContent(packed.get()));
  return 0;
}

const std::vector<Case>& Cases() {
  static const std::vector<Case> cases = {
      {"SearchPatient ordered and cut",
       {{&CBArchivePatient::SearchPatient,
         u"<root><orderby>EMR_STATUS DESC</orderby><maxrow>6</maxrow></root>"}}},
      {"SearchPatient by admission span",
       {{&CBArchivePatient::SearchPatient,
         u"<root><intime_span>2026-11-01 00:00:00|2026-12-05 12:00:00</intime_span></root>"}}},
      {"GetInPatientList", {{&InPatients, u"0101"}}},
      {"GetAllInPatientList", {{&AllInPatients, u"2026-11-01"}}},
      {"Lists of committed, pre-committed, sealed and checked visits",
       {{&CBArchivePatient::GetCommitedPatient, u"<root/>"},
        {&CBArchivePatient::GetPreCommitPatient, u"<root/>"},
        {&CBArchivePatient::GetFreezePatient, u"<root/>"},
        {&CBArchivePatient::GetCheckPatientList, u"<root><dept_id>0102</dept_id></root>"},
        {&CBArchivePatient::GetToCommitPatient, u"0201"},
        {&CBArchivePatient::GetUncodedPatient, u"0201"}}},
      {"Time-limit results", {{&CBQCCollector::GetQCList, u"<root/>"}}},
      {"Time-limit results of one visit", {{&VisitTimeLimits, u"2026120301"}}},
      {"Columns of a view with their comments",
       {{&CBQCCollector::GetColumnData, u"TELV_V_PATIENT_VISIT_RECORD"}}},
      {"Visits to grade, graded and late", {{&CBQCPatient::GetQCPatientGradeList, u"<root/>"}}},
      {"Rules of an event after one is bound to it anew",
       {{&BindRule3, u"A01"},
        {&RulesOpenedBy, u"A01"},
        {&Listed<&CBQCAdmin::GetAllEventRule>, u""}}},
      {"Knowledge-base catalogues distributed to a department",
       {{&WriteOnly<&CBRepository::AddVktDistriCatalog>,
         u"<root><dept_code>0102</dept_code>"
         u"<catalog_id>e4c1a7b2-0104-4d3e-9f6a-000000000104</catalog_id></root>"},
        {&CBRepository::GetVktCatalogListByDept, u"<root><dept_code>0102</dept_code></root>"},
        {&CBRepository::GetVktDistriCatalog, u"<root/>"}}},
      {"Menu items outside every group",
       {{&WriteOnly<&CBFunctionAdmin::SetFunctionConfig>,
         u"<root><new>1</new><id>I2</id><name>乙</name><type>1</type></root>"},
        {&WriteOnly<&CBFunctionAdmin::SetFunctionConfig>,
         u"<root><new>1</new><id>I0</id><name>甲</name><type>1</type></root>"},
        {&CBFunctionAdmin::GetFunctionConfig, u"<root/>"}}},
      {"Rules, standards and their catalogues after one of each is rewritten",
       {{&Executed, u"UPDATE PEV_RULE SET NOTES = 'x' WHERE ID = 1"},
        {&Executed, u"UPDATE PEV_STANDARD_ITEM SET NOTES = 'x' WHERE ID = 1"},
        {&Executed, u"UPDATE PEV_STANDARD_CATALOG SET NOTES = 'x' WHERE ID = 1"},
        {&Listed<&CBQCAdmin::GetRuleList>, u""},
        {&Listed<&CBQCAdmin::GetAllStandardList>, u""},
        {&Listed<&CBQCAdmin::GetAllStandardCatalogList>, u""}}},
      {"Search conditions and users after one of each is rewritten",
       {{&Executed, u"UPDATE MOLB_SEARCHES_CONDITION SET NOTES = NOTES WHERE ID = 0"},
        {&Executed, u"UPDATE MOLB_USER SET NAME = NAME WHERE ID = 0"},
        {&Listed<&CBEMRLibrary::GetConditionList>, u""},
        {&Listed<&CBEMRLibrary::GetUserList>, u""}}},
      {"Admission rules opened where two records could close one",
       {{&Executed,
         u"INSERT INTO TELV_EMR_CONTENT (ID, PATIENT_ID, EVENT_NO, EMR_TYPE, TITLE, CREATE_DATE, "
         u"STATUS) VALUES ('R-1', 'P0004', '2026120601', 2, '入院记录', "
         u"TO_DATE('2026-12-06 12:00:00', 'YYYY-MM-DD HH24:MI:SS'), 1)"},
        {&Executed,
         u"INSERT INTO TELV_EMR_CONTENT (ID, PATIENT_ID, EVENT_NO, EMR_TYPE, TITLE, CREATE_DATE, "
         u"STATUS) VALUES ('R-2', 'P0004', '2026120601', 2, '入院记录', "
         u"TO_DATE('2026-12-06 13:00:00', 'YYYY-MM-DD HH24:MI:SS'), 1)"},
        {&Executed, u"UPDATE TELV_EMR_CONTENT SET STATUS = 0 WHERE ID = 'R-1'"},
        {&Executed, u"UPDATE TELV_EMR_CONTENT SET STATUS = 1 WHERE ID = 'R-1'"},
        {&AdmissionRulesFired, u"<root><code>A01</code><time>2026-12-06 10:45:00</time></root>"}}},
      {"Writers of the period", {{&WriterInfo, u"2026-11-01"}}},
      {"Grade summary", {{&Summary, u"<root/>"}}},
      {"FullSearch pages", {{&FullSearchFirstPage, u"肺炎"}, {&FullSearchSecondPage, u"肺炎"}}},
      {"FullSearch2 by number and date",
       {{&FullSearch2FirstPage,
         u"<root><clause type=\"NUMBER\" relation=\"gt\" right=\"0\" logic=\"AND\">A.CATALOG_ID"
         u"</clause><clause type=\"DATE\" relation=\"&gt;=\" right=\"2026-01-01 00:00:00\" "
         u"logic=\"AND\">B.IN_TIME</clause></root>"}}},
      {"PathSearch",
       {{&PathSearchFirstPage,
         u"<root><catalogid>10</catalogid><clause path=\"/root/outcome\" relation=\"=\" "
         u"logic=\"AND\">治愈</clause></root>"}}},
      {"GetGroupMenu", {{&CBFunctionAdmin::GetGroupMenu, u"<root/>"}}},
      {"QCTask GetPatientList",
       {{&CBQCTask::GetPatientList, u"<root><self_grade>1</self_grade></root>"}}},
      {"Final QC sampling",
       {{&CBTerminalQCPatient::SearchPatient,
         u"<root><begin_date>2026-11-01</begin_date><end_date>2026-11-30</end_date>"
         u"<task_id>1</task_id></root>"}}},
      {"Department QC scoring with a third decimal",
       {{&DeptQcScore,
         u"<root><score>97.875</score><grade>1</grade><item item_id='5' score='2.125' "
         u"serial='1' note='' item_count='1'/></root>"},
        {&CBDeptQCPatient::GetQCPatient, u"<root><dept>0101</dept><status>2</status></root>"}}},
      {"Rescue records saved and numbered",
       {{&CBCoreSystem::SetRescueRecord,
         u"<root><id>R-2</id><patient_id>P0001</patient_id><event_no>2026120101</event_no>"
         u"<rescue_date>2026-12-02 10:00:00</rescue_date><diagnosis>室颤</diagnosis></root>"},
        {&CBCoreSystem::SetRescueRecord,
         u"<root><id>R-1</id><patient_id>P0002</patient_id><event_no>2026120301</event_no>"
         u"<rescue_date>2026-12-02 10:00:00</rescue_date><diagnosis>休克</diagnosis></root>"},
        {&CBCoreSystem::GetRescueRecord, u"<root/>"}}},
      {"Knowledge-base tree",
       {{&CBRepository::SetVktCatalog,
         u"<root><id>kb-child</id><parent_id>e4c1a7b2-0103-4d3e-9f6a-000000000103</parent_id>"
         u"<name>稳定型心绞痛</name></root>"},
        {&CBRepository::GetVktCatalogList, u"<root><recursive_flag>true</recursive_flag></root>"}}},
      {"Report with quoted placeholders",
       {{&QuotedPlaceholderReport,
         u"<root><param code='nm' type='STRING'>建</param>"
         u"<param code='before' type='DATE'>1970-01-01</param></root>"}}},
  };
  return cases;
}

// The sample hospital on one engine, with every case's answers.
std::vector<std::vector<std::string>> Answers(db::Engine engine) {
  schema::TestDatabase database(schema::DatabaseContents::kSampleHospital, engine);
  std::vector<std::vector<std::string>> answers;
  for (const Case& c : Cases()) {
    std::vector<std::string> rows;
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
      const Step& step = c.steps[i];
      com::ScopedBstr argument(step.argument), answer;
      const std::u16string failure = RunAsCall(database.init_string(), [&](CEMRDataSource* ds) {
        step.body(ds, argument.get(), answer.out());
      });
      EXPECT_EQ(ToUtf8(failure), "") << c.name << ", step " << i + 1;
      for (std::string& row : AnswerRows(answer.text(), c.rows)) rows.push_back(std::move(row));
    }
    answers.push_back(std::move(rows));
  }
  return answers;
}

TEST(EngineParityTest, TheSampleHospitalAnswersAlikeInTheFileAndOnTheServer) {
  ScopedDatabaseClock clock;
  suite::testing::SiblingDoubles siblings;
  const auto embedded = Answers(db::Engine::kSqlite);
  const auto server = Answers(db::Engine::kPostgres);
  ASSERT_EQ(embedded.size(), Cases().size());
  ASSERT_EQ(server.size(), Cases().size());
  for (std::size_t i = 0; i < Cases().size(); ++i) {
    EXPECT_GT(embedded[i].size(), Cases()[i].steps.size()) << Cases()[i].name << ": no rows";
    EXPECT_EQ(embedded[i], server[i]) << Cases()[i].name;
  }
}

}  // namespace
}  // namespace korvalis::testing
