// The department QC report on the process's EMR database (the one telv.config.xml names, since the
// user-name signature and the live data reach it through data sources of their own). Each report
// runs as a call of its own that commits or rolls back; the rows a case writes are removed after
// it.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "emrdoc/emr_content_hand_over.h"
#include "emrdoc/testing/quality_body_recorder.h"
#include "foundation/suite/suite_interfaces.h"
#include "foundation/testing/data_source_test_util.h"
#include "foundation/testing/test_call.h"
#include "platform/com/scoped_bstr.h"
#include "platform/text/unicode.h"
#include "quality/rules/dept_qc_patient.h"
#include "suite/testing/sibling_doubles.h"

namespace korvalis::testing {
namespace {

using com::ScopedBstr;
using datasource::testing::EMRDatabase;
using Rows = std::vector<std::vector<std::string>>;

constexpr int kTemplate = 901;
constexpr char16_t kOfficer[] =
    u"<root><user id=\"9002\">杨慧敏</user><dept id=\"0101\">心血管内科</dept></root>";
constexpr char kScore[] =
    "<root><score>92.5</score><grade>2</grade>"
    "<item item_id=\"5\" score=\"5\" serial=\"1\" note=\"诱因未记录\"/>"
    "<item item_id=\"6\" score=\"2.5\" serial=\"2\" note=\"书写潦草\"/></root>";

// A stylesheet that renders the score document into a page of its own: the visit's patient name
// as a live element, the score, the level and one row per deduction, then `padding` characters.
std::u16string ReportStylesheet(std::size_t padding) {
  return u"<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
         u"<xsl:output method=\"html\"/><xsl:template match=\"/root\">"
         u"<HTML><HEAD><TITLE>科室质控结果</TITLE></HEAD><BODY><H2>科室质控结果</H2>"
         u"<P>病人: <SPAN id=\"pn\" type=\"0\" value=\"patient.name\"></SPAN></P>"
         u"<P>总分: <xsl:value-of select=\"score\"/>, 等级: <xsl:value-of select=\"grade\"/></P>"
         u"<TABLE><xsl:for-each select=\"item\"><TR><TD><xsl:value-of select=\".\"/></TD>"
         u"<TD><xsl:value-of select=\"@score\"/></TD></TR></xsl:for-each></TABLE><P>" +
         std::u16string(padding, u'注') + u"</P></BODY></HTML></xsl:template></xsl:stylesheet>";
}

class DeptQcReportTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    schema::TestDatabase& db = EMRDatabase();
    db.AddPatient({.id = "DQ1", .name = "赵六"});
    db.AddVisit({.patient_id = "DQ1", .event_no = "E1"});
    db.AddCatalog({.id = 93, .code = "093", .name = "质控结果"});
    db.AddStaff({.id = "9002", .name = "杨慧敏"});
    db.AddStandardCatalog({.id = 91, .name = "入院记录"});
    db.AddStandardItem({.id = 5, .standard = "主诉与现病史描述不符", .point = 5, .catalog_id = 91});
    db.AddStandardItem({.id = 6, .standard = "其他", .point = 5, .catalog_id = 91, .type = 4});
  }

  DeptQcReportTest() {
    CBDeptQCPatient::ForgetQcResultTemplate();
    doubles_.Answer(IID_IDateTimeService, 7, u"2026-12-07 09:30:00");
    AddTemplate("科室质控结果", ReportStylesheet(800));
    SetParameter("<root><template>901</template></root>");
    Run([](CEMRDataSource* ds, BSTR p, BSTR e, BSTR c) {
      LONG status = 0;
      CBDeptQCPatient::AddQCPatient(ds, p, e, c, &status);
    });
    ScoreVisit(kScore);
  }
  ~DeptQcReportTest() override {
    CBDeptQCPatient::ForgetQcResultTemplate();
    schema::TestDatabase& db = EMRDatabase();
    db.Execute(
        "DELETE FROM TELV_EMR_SIGNATURE WHERE ID IN (SELECT ID FROM TELV_EMR_CONTENT "
        "WHERE PATIENT_ID = 'DQ1')");
    db.Execute("DELETE FROM TELV_EMR_CONTENT WHERE PATIENT_ID = 'DQ1'");
    db.Execute("DELETE FROM PEV_DEPT_PATIENT_RECORD WHERE PATIENT_ID = 'DQ1'");
    db.Execute("DELETE FROM PEV_DEPT_ITEM_RECORD WHERE PATIENT_ID = 'DQ1'");
    db.Execute("DELETE FROM TELV_EMR_TEMPLATE WHERE ID = " + std::to_string(kTemplate));
    db.SetSysParam("dept_qc_param", std::nullopt);
  }

  // The template kTemplate named `name` in catalogue 93, `xsl` as its style sheet (content 4).
  static void AddTemplate(const std::string& name, const std::u16string& xsl) {
    EMRDatabase().Execute("DELETE FROM TELV_EMR_TEMPLATE WHERE ID = " + std::to_string(kTemplate));
    EMRDatabase().AddTemplate({.id = kTemplate, .name = name, .catalog_id = 93});
    SetStylesheet(xsl);
  }
  static void SetStylesheet(const std::u16string& xsl) {
    EMRDatabase().Execute("UPDATE TELV_EMR_TEMPLATE SET COMPRESSION4 = '1' WHERE ID = " +
                          std::to_string(kTemplate));
    TestDataSource data_source(EMRDatabase().init_string());  // commits when it ends
    data_source.WriteBlob(
        u"SELECT CONTENT4 FROM TELV_EMR_TEMPLATE WHERE ID = " + FromUtf8(std::to_string(kTemplate)),
        reinterpret_cast<const BYTE*>(xsl.data()), static_cast<ULONG>(xsl.size() * 2), 1, 0, true);
  }
  static void SetParameter(const std::optional<std::string>& value) {
    EMRDatabase().SetSysParam("dept_qc_param", value);
  }

  // Runs `body(data source, patient, event, client)` as a call on the visit DQ1/E1.
  template <class Body>
  std::u16string Run(Body&& body, const std::u16string& client = kOfficer,
                     const std::u16string& patient = u"DQ1") {
    ScopedBstr p(patient), e(u"E1"), c(client);
    return RunAsCall(EMRDatabase().init_string(),
                     [&](CEMRDataSource* ds) { body(ds, p.get(), e.get(), c.get()); });
  }
  void ScoreVisit(const std::string& score) {
    ScopedBstr s(FromUtf8(score));
    ASSERT_EQ(Run([&](CEMRDataSource* ds, BSTR p, BSTR e, BSTR c) {
                CBDeptQCPatient::ScorePatient(ds, p, e, s.get(), c);
              }),
              u"");
  }

  struct Report {
    std::u16string failure;    // "" when the report succeeded
    std::u16string report_id;  // pbstrReportID after the call
    std::unique_ptr<ScopedBstr> content = std::make_unique<ScopedBstr>();  // pbstrContent
  };
  // GenerateQCReport with `report_id` passed in.
  Report Generate(const std::u16string& report_id = u"passed",
                  const std::u16string& client = kOfficer, const std::u16string& patient = u"DQ1") {
    Report report;
    BSTR id = AllocBstr(report_id);
    report.failure = Run(
        [&](CEMRDataSource* ds, BSTR p, BSTR e, BSTR c) {
          CBDeptQCPatient::GenerateQCReport(ds, p, e, c, &id, report.content->out());
        },
        client, patient);
    report.report_id = std::u16string(BstrView(id));
    SysFreeString(id);
    return report;
  }

  static Rows Records() {
    return EMRDatabase().Query(
        "SELECT ID, TITLE, KEYWORD, TEMPLATE_ID, CATALOG_ID, CREATOR_ID, CREATOR, STATUS FROM "
        "TELV_EMR_CONTENT WHERE PATIENT_ID = 'DQ1' ORDER BY CREATE_DATE, ID");
  }
  static Rows Signatures() {
    return EMRDatabase().Query(
        "SELECT S.ID, S.USER_ID, S.SIGN_TYPE, S.SIGNATURE FROM TELV_EMR_SIGNATURE S, "
        "TELV_EMR_CONTENT C WHERE S.ID = C.ID AND C.PATIENT_ID = 'DQ1' ORDER BY S.ID, S.SUB_ID");
  }
  // The stored content of a record, read with the row's own codecs.
  static std::u16string StoredUnits(const std::string& id) {
    const Rows codecs = EMRDatabase().Query(
        "SELECT COMPRESSION, ENCRYPTION FROM TELV_EMR_CONTENT WHERE ID = '" + id + "'");
    TestDataSource data_source(EMRDatabase().init_string());
    BYTE* bytes = nullptr;
    ULONG length = 0;
    data_source.ReadBlob(u"SELECT CONTENT FROM TELV_EMR_CONTENT WHERE ID = '" + FromUtf8(id) + u"'",
                         bytes, length, std::stoi(codecs[0][0]), std::stoi(codecs[0][1]), true);
    std::u16string units(reinterpret_cast<const char16_t*>(bytes), length / 2);
    delete[] bytes;
    return units;
  }

  suite::testing::SiblingDoubles doubles_;
  emrdoc::testing::QualityBodyRecorder quality_;
  ScopedDatabaseClock clock_{{2026, 12, 7, 9, 30, 0}};
};

TEST_F(DeptQcReportTest, TheFirstReportCreatesASignedRecordAndLaterOnesRewriteIt) {
  Report first = Generate();
  ASSERT_EQ(first.failure, u"");
  const Rows records = Records();
  ASSERT_EQ(records.size(), 1u);
  const std::string id = records[0][0];
  EXPECT_EQ(first.report_id, FromUtf8(id));
  EXPECT_EQ(records[0], (std::vector<std::string>{id, "科室质控结果", "检验检查报告单", "901", "93",
                                                  "9002", "杨慧敏", "1"}));
  EXPECT_EQ(Signatures(), (Rows{{id, "9002", "0", "杨慧敏"}}));

  const std::u16string page = UnpackEmrContent(first.content->get());
  EXPECT_NE(page.find(u"value=patient.name>赵六</SPAN>"), std::u16string::npos) << ToUtf8(page);
  EXPECT_NE(page.find(u"总分: 92.5, 等级: 2"), std::u16string::npos) << ToUtf8(page);
  EXPECT_NE(page.find(u"<TD>书写潦草</TD>\n<TD>2.5</TD>"), std::u16string::npos) << ToUtf8(page);
  ScopedBstr packed;
  *packed.out() = PackEmrContent(page);
  ASSERT_EQ(SysStringByteLen(first.content->get()), SysStringByteLen(packed.get()));
  EXPECT_EQ(std::memcmp(first.content->get(), packed.get(), SysStringByteLen(packed.get())), 0)
      << "the content handed back is the compressed page";
  EXPECT_EQ(StoredUnits(id), UnpackEmrContentUnits(first.content->get()));

  ScoreVisit("<root><score>80</score><grade>3</grade></root>");
  Report second = Generate(u"kept");
  ASSERT_EQ(second.failure, u"");
  EXPECT_EQ(second.report_id, u"kept");
  EXPECT_EQ(Records().size(), 1u);
  EXPECT_EQ(Signatures().size(), 1u) << "a rewritten record is not signed again";
  EXPECT_NE(StoredUnits(id).find(u"总分: 80, 等级: 3"), std::u16string::npos);
  EXPECT_EQ(StoredUnits(id), UnpackEmrContentUnits(second.content->get()));

  EMRDatabase().Execute("UPDATE TELV_EMR_CONTENT SET STATUS = 0 WHERE ID = '" + id + "'");
  Report third = Generate();
  ASSERT_EQ(third.failure, u"");
  EXPECT_NE(third.report_id, FromUtf8(id));
  const Rows now = Records();
  ASSERT_EQ(now.size(), 2u);
  EXPECT_EQ(EMRDatabase().Count("TELV_EMR_CONTENT", "PATIENT_ID = 'DQ1' AND STATUS = 1"), 1);
  EXPECT_EQ(Signatures().size(), 2u);
}

TEST_F(DeptQcReportTest, AnEmptyParameterIsKeptAndANonNumberIsReadAgain) {
  SetParameter(std::nullopt);
  EXPECT_EQ(Generate().failure, u"未设置质控结果查看模板");
  SetParameter("<root><template>901</template></root>");
  EXPECT_EQ(Generate().failure, u"未设置质控结果查看模板") << "not read again";

  CBDeptQCPatient::ForgetQcResultTemplate();
  SetParameter("<root><template>模板</template></root>");
  EXPECT_EQ(Generate().failure, u"未设置质控结果查看模板");
  SetParameter("<root><template>-901</template></root>");
  EXPECT_EQ(Generate().failure, u"未设置质控结果查看模板");
  SetParameter("<root>\n  <template> 901 </template>\n</root>");
  EXPECT_EQ(Generate().failure, u"") << "read again, and a number with blanks around it is one";
  EXPECT_EQ(Records().size(), 1u);
}

// A database that cannot be reached (a file, a server that is down) is named in the answer.
TEST_F(DeptQcReportTest, AParameterThatCannotBeReadFailsWithoutBeingKept) {
  const std::pair<const char*, const char16_t*> unreachables[] = {
      {kUnreachableDatabase, u"none.db"},
      {"Provider=PostgreSQL;Host=/nonexistent-socket-dir;Port=5999;Database=emr;User ID=emr",
       u"cannot connect to the PostgreSQL server"},
  };
  for (const auto& [init, cause] : unreachables) {
    const std::u16string failure = FailureOf([init = init] {
      TestDataSource unreachable(init);
      CBDeptQCPatient::GetQcResultTemplate(&unreachable);
    });
    EXPECT_TRUE(failure.starts_with(u"获取质控结果查看模板参数失败. 连接数据库错误")) << ToUtf8(failure);
    EXPECT_NE(failure.find(cause), std::u16string::npos) << ToUtf8(failure);
  }
  SetParameter("<root><template>901");
  EXPECT_EQ(Generate().failure, u"获取质控结果查看模板参数失败.");
  SetParameter("<root><template>901</template></root>");
  EXPECT_EQ(Generate().failure, u"") << "the next call reads the parameter again";
  TestDataSource unreachable(kUnreachableDatabase);
  EXPECT_EQ(CBDeptQCPatient::GetQcResultTemplate(&unreachable), kTemplate) << "kept once read";
}

TEST_F(DeptQcReportTest, NamesWithMarkupCharactersStillMakeARecord) {
  AddTemplate("质控<结果> & 评分", ReportStylesheet(800));
  ASSERT_EQ(Generate(u"", u"<root><user id=\"9002\">杨&amp;慧&lt;敏</user></root>").failure, u"");
  const Rows records = Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0][1], "质控<结果> & 评分");
  EXPECT_EQ(records[0][6], "杨&慧<敏");
}

TEST_F(DeptQcReportTest, ARefusedRewriteLeavesTheRecordAsItWas) {
  SetStylesheet(ReportStylesheet(0));
  ASSERT_EQ(Generate().failure, u"") << "a new record takes a short page";
  const std::string id = Records()[0][0];
  const std::u16string stored = StoredUnits(id);

  ScoreVisit("<root><score>70</score><grade>3</grade></root>");
  EXPECT_EQ(Generate().failure, u"病历内容不完整，因此不能保存病历");
  EXPECT_EQ(StoredUnits(id), stored);
}

TEST_F(DeptQcReportTest, AFailingSignatureLeavesNoRecordBehind) {
  const Report report = Generate(u"passed", u"<root><user id=\"nobody\">无名</user></root>");
  EXPECT_EQ(report.failure, u"获取EMR用户属性错误");
  EXPECT_EQ(quality_.FireCloseCalls().size(), 1u) << "the record was saved before the signature";
  EXPECT_EQ(report.report_id, u"passed");
  EXPECT_EQ(report.content->get(), nullptr);
  EXPECT_TRUE(Records().empty());
  EXPECT_EQ(EMRDatabase().Count("TELV_EMR_SIGNATURE", "USER_ID = 'nobody'"), 0);
}

TEST_F(DeptQcReportTest, AVisitNotUnderDepartmentQcHasNoReport) {
  EXPECT_EQ(Generate(u"", kOfficer, u"DQ2").failure, u"病人未添加到科室质控.");
}

}  // namespace
}  // namespace korvalis::testing
