// The main job as a newcomer runs it: a fresh database with the sample hospital, the library
// registered, and the archive patient lists called through `korvalis call`.
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/testing/temp_directory.h"
#include "foundation/codec/codec_factory.h"
#include "platform/text/unicode.h"
#include "platform/xml/dom.h"
#include "tools/testing/command_test_util.h"

namespace {

using korvalis::testing::Outcome;
using korvalis::testing::RunCommand;

class MainJobTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    scratch_.emplace("korvalis-main-job");
    directory_ = scratch_->path();
    ASSERT_EQ(Run("initdb --sample korvalis.db").status, 0);
    ASSERT_EQ(Run("regsvr " KORVALIS_LIBRARY).status, 0);
  }
  static void TearDownTestSuite() { scratch_.reset(); }

  // Runs the command in the job's directory with its registry; standard error is dropped.
  static Outcome Run(const std::string& arguments) {
    std::string command = "cd '" + directory_ + "' && KORVALIS_REGISTRY='" + directory_ +
                          "/registry' " KORVALIS_COMMAND " " + arguments + " 2>/dev/null";
    return RunCommand(command);
  }

  // The patients' names of a list printed by `korvalis call`, sorted; the call must succeed
  // and print a `root` document of `patient` elements.
  static std::vector<std::string> Patients(const std::string& call) {
    Outcome outcome = Run("call ArchivePatient " + call);
    EXPECT_EQ(outcome.status, 0) << call << "\n" << outcome.out;
    korvalis::xml::Document document;
    EXPECT_TRUE(document.LoadXml(outcome.out)) << call << "\n" << outcome.out;
    std::vector<std::string> names;
    if (!document.HasDocumentElement()) return names;
    EXPECT_EQ(document.DocumentElement().Name(), "root");
    for (const auto& patient : document.DocumentElement().Children()) {
      EXPECT_EQ(patient.Name(), "patient");
      names.push_back(patient.Text());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  static std::optional<korvalis::testing::TempDirectory> scratch_;
  static std::string directory_;
};

std::optional<korvalis::testing::TempDirectory> MainJobTest::scratch_;
std::string MainJobTest::directory_;

TEST_F(MainJobTest, ListsTheInHospitalPatientsOfASampleDepartment) {
  const std::vector<std::string> cardiology = {"李建华", "王秀兰"};
  EXPECT_EQ(Patients("GetInPatientList 0101 2026-11-01 2027-01-01"),
            (std::vector<std::string>{"李建华", "王秀兰"}));
  EXPECT_EQ(Patients("GetInPatientList 9999 2026-11-01 2027-01-01"), std::vector<std::string>{});
  EXPECT_TRUE(Run("call ArchivePatient GetInPatientList 9999 2026-11-01 2027-01-01")
                  .out.ends_with("?><root/>\n"));
  std::vector<std::string> everywhere = Patients("GetAllInPatientList 2026-11-01 2027-01-01");
  for (const std::string& name : cardiology) {
    EXPECT_NE(std::find(everywhere.begin(), everywhere.end(), name), everywhere.end()) << name;
  }
  EXPECT_GT(everywhere.size(), cardiology.size());
}

TEST_F(MainJobTest, EveryListOfTheClassRunsThroughTheCommand) {
  size_t listed = 0;
  for (const char* call :
       {"GetLeavePatientList 0101 2025-01-01 2027-01-01", "GetAllLeavePatientList '' ''",
        "GetToCommitPatient 0101", "GetAllToCommitPatient 2025-01-01 2027-01-01",
        "GetCommitedPatient '<root/>'", "GetAllCommitedPatient 2025-01-01 2027-01-01",
        "GetUncodedPatient 0101", "GetAllUncodedPatient 2025-01-01 2027-01-01",
        "GetPreCommitPatient '<root/>'", "GetAllPreCommitPatient 2025-01-01 2027-01-01",
        "SearchPatient '<root><name>O'\"'\"'Brien</name></root>'"}) {
    SCOPED_TRACE(call);
    listed += Patients(call).size();
  }
  EXPECT_GT(listed, 0u);
  EXPECT_EQ(Patients("SearchPatient '<root><nowdept>0101</nowdept><leavetime_span>is null"
                     "</leavetime_span><emrtype>1</emrtype></root>'"),
            (std::vector<std::string>{"李建华", "王秀兰"}));
}

TEST_F(MainJobTest, APrintedAnswerIsAnXmlDocumentAsItIsSaved) {
  Outcome outcome = Run("call ArchivePatient GetInPatientList 0101 2026-11-01 2027-01-01");
  ASSERT_EQ(outcome.status, 0) << outcome.out;
  EXPECT_TRUE(outcome.out.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"")) << outcome.out;
  // Read as a file is read: the declaration decides how the bytes are decoded.
  xmlDocPtr document = xmlReadMemory(outcome.out.data(), static_cast<int>(outcome.out.size()),
                                     nullptr, nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR);
  ASSERT_NE(document, nullptr) << outcome.out;
  xmlChar* name = xmlNodeGetContent(xmlFirstElementChild(xmlDocGetRootElement(document)));
  EXPECT_TRUE(std::string(reinterpret_cast<const char*>(name)) == "李建华" ||
              std::string(reinterpret_cast<const char*>(name)) == "王秀兰");
  xmlFree(name);
  xmlFreeDoc(document);
}

// The sample's report catalogue and report definitions as a newcomer reads them, the old-format
// report among them.
TEST_F(MainJobTest, PrintsTheSampleReportDefinitions) {
  std::vector<std::string> top_level;
  korvalis::xml::Document list;
  ASSERT_TRUE(list.LoadXml(Run("call EMRReport GetCatalogList 0").out));
  for (const auto& catalog : list.DocumentElement().Children()) top_level.push_back(catalog.Text());
  std::sort(top_level.begin(), top_level.end());
  EXPECT_EQ(top_level, (std::vector<std::string>{"病案统计", "质控报表"}));
  EXPECT_NE(Run("call EMRReport GetReportList 0").out.find(">科室在院病人一览(旧格式)</report>"),
            std::string::npos);
  EXPECT_NE(Run("call EMRReport GetReportProperty 1").out.find("<name>科室在院病人一览</name>"),
            std::string::npos);
  const std::string parameters =
      "<?xml version='1.0' ?><root><param code=\"dept\" type=\"STRING\" autoreplace=\"2\">0101"
      "</param></root>\n";
  EXPECT_EQ(Run("call EMRReport GetSQLParam 1").out, parameters);
  // The old-format report: one statement with its placeholder, the names of its rows.
  EXPECT_EQ(Run("call EMRReport IsNewFormat 3 -- GetSQLProperty 3 -- GetSQLParam 3").out,
            "false\npatient,event_no,bed,doctor,in_time\n" + parameters);
  const std::string sql = Run("call EMRReport GetReportSQL 3").out;
  EXPECT_TRUE(sql.starts_with("SELECT B.NAME, V.EVENT_NO")) << sql;
  EXPECT_NE(sql.find("V.NOW_DEPT_ID = {dept}"), std::string::npos) << sql;
}

// Every definition method of the class, one call after the other on one object.
TEST_F(MainJobTest, EveryReportDefinitionMethodAnswersThroughTheCommand) {
  Outcome outcome = Run(
      "call EMRReport InitNewCatalog '' '<root><name>命令行类别</name></root>'"
      " -- SetCatalogProperty 4 '<root><name>命令行类别</name><note>n</note></root>'"
      " -- GetCatalogProperty 4"
      " -- InitNewReport 4 '<root><name>命令行报表</name><catalogid>4</catalogid></root>'"
      " -- SetReportProperty 4 '<root><note>备注</note></root>' -- GetReportProperty 4"
      " -- GetReportList 4 -- GetReportData 4 -- IsNewFormat 4"
      " -- SetReportSQL 4 'SELECT 1 FROM DUAL' -- GetReportSQL 4"
      " -- SetReportXSLT 4 '<xsl/>' -- GetReportXSLT 4 -- SetSQLParam 4 '<root/>' -- GetSQLParam 4"
      " -- SetReportSQL2 4 '<report/>' -- GetReportSQL2 4"
      " -- SetSQLProperty 4 'a,b' -- GetSQLProperty 4 -- DeleteReport 4 -- DeleteCatalog 4");
  ASSERT_EQ(outcome.status, 0) << outcome.out;
  std::vector<std::string> lines;
  for (size_t at = 0, end; (end = outcome.out.find('\n', at)) != std::string::npos; at = end + 1) {
    lines.push_back(outcome.out.substr(at, end - at));
  }
  ASSERT_EQ(lines.size(), 12u) << outcome.out;
  EXPECT_EQ(lines[0], "4");
  EXPECT_NE(lines[1].find("<code>003</code><id>4</id><name>命令行类别</name><note>n</note>"
                          "<parent>###</parent>"),
            std::string::npos);
  EXPECT_EQ(lines[2], "4");
  EXPECT_NE(lines[3].find("<name>命令行报表</name><note>备注</note><sort>4</sort>"),
            std::string::npos);
  EXPECT_NE(lines[4].find(">命令行报表</report>"), std::string::npos);
  EXPECT_NE(lines[5].find("<id name=\"命令行报表\">4</id>"), std::string::npos);
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 6, lines.end()),
            (std::vector<std::string>{"true", "SELECT 1 FROM DUAL", "<xsl/>", "<root/>",
                                      "<report/>", ""}))
      << "a new-format report answers no row names";
  EXPECT_EQ(Run("call EMRReport GetCatalogList 4").status, 1) << "the category is deleted";
}

// The sample's reports run as a client runs them: the result structure of the new-format report
// printed, and the content of both formats, written to a file as the compressed bytes it is,
// inflating to a page that lists the department's in-hospital patients.
TEST_F(MainJobTest, RunsTheSampleReports) {
  const std::string request =
      " \"<root><param code='dept' type='STRING' autoreplace='2'/></root>\"";
  const std::string client =
      " \"<root><user id='1002'>刘静怡</user><dept id='0101'>心血管内科</dept></root>\"";
  Outcome structure = Run("call EMRReport GetResultXML 1" + request + client);
  ASSERT_EQ(structure.status, 0) << structure.out;
  EXPECT_NE(structure.out.find("<params><dept>0101</dept></params><result1><patient bed=\"\" "
                               "doctor=\"\" event_no=\"\" in_time=\"\"/></result1></root>"),
            std::string::npos)
      << structure.out;
  for (const std::string& call :
       {"GetReportContent 1" + request + client, "GetReportContent 3 ''" + client}) {
    SCOPED_TRACE(call);
    ASSERT_EQ(Run("call EMRReport " + call + " --out report.bin").status, 0);
    std::ifstream file(directory_ + "/report.bin", std::ios::binary);
    const std::string packed((std::istreambuf_iterator<char>(file)), {});
    BYTE* plain = nullptr;
    ULONG length = 0;
    CreateCompression(1)->Uncompress(reinterpret_cast<const BYTE*>(packed.data()),
                                     static_cast<ULONG>(packed.size()), plain, length);
    std::unique_ptr<BYTE[]> owned(plain);
    const std::string page =
        korvalis::ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(plain), length / 2));
    EXPECT_NE(page.find("<H2>科室在院病人一览</H2>"), std::string::npos) << page;
    for (const char* patient : {"<TD>李建华</TD>", "<TD>王秀兰</TD>"}) {
      EXPECT_NE(page.find(patient), std::string::npos) << page;
    }
    // One option shows the page as its text.
    EXPECT_EQ(Run("call EMRReport " + call + " --expand").out,
              page.substr(0, page.find('\0')) + "\n");
  }
}

// Answers saved to files pass back as arguments unchanged: a report's definition and style
// sheet as UTF-8 texts, a checker's copy of a front sheet as the compressed bytes it is.
TEST_F(MainJobTest, SavedAnswersPassBackAsArgumentsUnchanged) {
  ASSERT_EQ(Run("call EMRReport ExportReport 3 --out report3.xml -- GetReportXSLT 1 --out style.xsl")
                .status,
            0);
  std::ifstream file(directory_ + "/report3.xml", std::ios::binary);
  const std::string saved((std::istreambuf_iterator<char>(file)), {});
  EXPECT_TRUE(saved.starts_with("<") && saved.find('\0') == std::string::npos) << saved;
  ASSERT_EQ(Run("call EMRReport ImportReport 2 @report3.xml -- SetReportXSLT 3 @style.xsl").status,
            0);
  EXPECT_EQ(Run("call EMRReport GetReportSQL 2").out, Run("call EMRReport GetReportSQL 3").out);
  EXPECT_EQ(Run("call EMRReport GetReportXSLT 3").out, Run("call EMRReport GetReportXSLT 1").out);

  const std::string visit =
      " '<root><patient_id>P0006</patient_id><event_no>2026111001</event_no></root>' ''";
  Outcome sheet = Run("call ArchivePatient GetCheckEMR" + visit + " --out sheet.bin -- GetCheckEMR" +
                      visit + " --expand");
  ASSERT_EQ(sheet.status, 0) << sheet.out;
  Outcome saved_sheet = Run(
      "call ArchivePatient SaveCheckEMR '<root><emr_id>5e3a9c10-0015-4c6b-9d2e-000000000015</emr_id>"
      "<patient_id>P0006</patient_id><event_no>2026111001</event_no></root>' --bytes sheet.bin ''"
      " \"<root><user id='9003'>马丽华</user></root>\" -- GetCheckEMR" + visit + " --expand");
  ASSERT_EQ(saved_sheet.status, 0) << saved_sheet.out;
  // Both print the [in, out] argument after each GetCheckEMR, the first one's before the copy.
  EXPECT_TRUE(saved_sheet.out.starts_with("<HTML>")) << saved_sheet.out;
  EXPECT_EQ("pbstrXml=\n" + saved_sheet.out, sheet.out);
}

}  // namespace
