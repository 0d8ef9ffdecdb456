#include <gtest/gtest.h>

#include <malloc.h>
#include <xercesc/dom/DOM.hpp>

#include <fstream>
#include <string>
#include <vector>

#include "emrdoc/emr_content_hand_over.h"
#include "foundation/testing/test_data_source.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/dom_builder.h"
#include "foundation/xml/dom_elements.h"
#include "foundation/xml/xml_text.h"
#include "foundation/xml/xml_parser.h"
#include "foundation/xml/xsl_transform.h"
#include "platform/sys/testing/resident_memory.h"
#include "platform/db/testing/engine_database.h"
#include "platform/sys/testing/sanitizer.h"
#include "platform/text/unicode.h"
#include "platform/xml/testing/entity_bombs.h"
#include "report/report_queries.h"
#include "report/testing/report_test_util.h"
#include "report/testing/ward_list_report.h"

namespace korvalis::report::testing {
namespace {

using Setter = long (*)(CEMRDataSource*, LONG, BSTR);

// Writes the data document out as it came in, so that tests read what the report built.
constexpr char16_t kCopyStyle[] =
    u"<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
    u"<xsl:output method='xml' omit-xml-declaration='yes'/>"
    u"<xsl:template match='/'><xsl:copy-of select='/root'/></xsl:template></xsl:stylesheet>";
constexpr char16_t kNoStatements[] = u"报表未配置SQL语句,请与系统管理员联系.";
constexpr char16_t kDatabaseError[] = u"数据库错误, 请与系统管理员联系.";

class ReportExecutionTest : public ReportTest {
 protected:
  static void Store(Setter set, LONG id, std::u16string_view text) {
    ScopedBstr value(text);
    Write([&](CEMRDataSource* data_source) { set(data_source, id, value.get()); });
  }
  static void OldFormat(LONG id, std::u16string_view sql, std::u16string_view names,
                        std::u16string_view params, std::u16string_view xslt = kCopyStyle) {
    AddReport(id, 1, 1, "0");
    Store(&CBEMRReport::SetReportSQL, id, sql);
    Store(&CBEMRReport::SetSQLProperty, id, names);
    Store(&CBEMRReport::SetSQLParam, id, params);
    Store(&CBEMRReport::SetReportXSLT, id, xslt);
  }
  static void NewFormat(LONG id, std::u16string_view multi_sql,
                        std::u16string_view xslt = kCopyStyle) {
    AddReport(id, 1);
    Store(&CBEMRReport::SetReportSQL2, id, multi_sql);
    Store(&CBEMRReport::SetReportXSLT, id, xslt);
  }
  // A `sql` element of a multi-SQL document.
  static std::u16string Sql(std::u16string_view gramar, std::u16string_view names) {
    return u"<sql><gramar>" + std::u16string(gramar) + u"</gramar><property>" +
           std::u16string(names) + u"</property></sql>";
  }

  // The BSTR a run answers, as it is.
  static void Run(long (*body)(CEMRDataSource*, LONG, BSTR, BSTR, BSTR*), LONG id,
                  std::u16string_view request, std::u16string_view client, ScopedBstr& result) {
    ScopedBstr request_text(request), client_text(client);
    Read([&](CEMRDataSource* data_source) {
      body(data_source, id, request_text.get(), client_text.get(), result.out());
    });
  }
  static std::u16string Content(LONG id, std::u16string_view request = u"",
                                std::u16string_view client = kClient) {
    ScopedBstr result;
    Run(&CBEMRReport::GetReportContent, id, request, client, result);
    return UnpackEmrContent(result.get());
  }
  static std::u16string Structure(LONG id, std::u16string_view request = u"",
                                  std::u16string_view client = kClient) {
    ScopedBstr result;
    Run(&CBEMRReport::GetResultXML, id, request, client, result);
    return result.text();
  }
  static std::string Bytes(const ScopedBstr& bstr) {
    return std::string(reinterpret_cast<const char*>(bstr.get()), SysStringByteLen(bstr.get()));
  }
  static std::u16string ContentFailure(LONG id, std::u16string_view request = u"",
                                       std::u16string_view client = kClient) {
    return FailureOf([&] { Content(id, request, client); });
  }
};

TEST_F(ReportExecutionTest, OldFormatParametersComeFromDefinitionsValuesAndIdentity) {
  OldFormat(1, u"SELECT {user}, {code}, TO_CHAR({day}, 'YYYY-MM-DD'), '{other}' FROM DUAL",
            u"row,code,day,other",
            u"<root><param code='user' type='string' autoreplace='1'>默认</param>"
            u"<group><param code='code' type='String'>默认</param></group>"
            u"<param code='day' type='date'>2026-11-05 08:00:00</param></root>");
  // The caller's identity wins over a value sent; a value of an undefined code is ignored.
  EXPECT_EQ(Elements(Content(1,
                             u"<root><user>9999</user><code>O'Brien</code>"
                             u"<other>5</other></root>")),
            (Rows{{"row", "1002", "code=O'Brien", "day=2026-11-05", "other={other}"}}));
  EXPECT_EQ(Elements(Content(1)),
            (Rows{{"row", "1002", "code=默认", "day=2026-11-05", "other={other}"}}));
}

TEST_F(ReportExecutionTest, OldFormatRowsAreShapedByTheirNames) {
  db().Execute("DELETE FROM TELV_PATIENT WHERE ID LIKE 'RX%'");
  db().AddPatient({.id = "RX1", .name = "O'Brien"});
  OldFormat(1, u"SELECT NAME, ID, SEX FROM TELV_PATIENT WHERE NAME = {name}", u",row,a,b",
            u"<root><param code='name' type='STRING'/></root>");
  EXPECT_EQ(Elements(Content(1, u"<root><name>O'Brien</name></root>")),
            (Rows{{"row", "O'Brien", "a=RX1", "b=1"}}));
  // Names that are only commas run nothing: the statement would fail.
  OldFormat(2, u"NOT SQL", u",", u"");
  EXPECT_EQ(Content(2), u"<root/>\n");
}

TEST_F(ReportExecutionTest, PlaceholdersBetweenTheAuthorsQuotesFindTheirRowsInBothFormats) {
  db().Execute("DELETE FROM TELV_PATIENT WHERE ID LIKE 'RQ%'");
  db().AddPatient({.id = "RQ1", .name = "李'建华", .birthday = "1986-12-01 00:00:00"});
  db().AddPatient({.id = "RQ2", .name = "王秀兰"});
  constexpr char16_t kSql[] =
      u"SELECT ID, NAME FROM TELV_PATIENT WHERE ID LIKE 'RQ%' AND NAME LIKE '%{nm}%' AND "
      u"(ID = '{id}' OR '{id}' = 'ALL') AND TO_DATE('{before}', 'YYYY-MM-DD') > BIRTHDAY";
  OldFormat(1, kSql, u"row,name",
            u"<root><param code='id' type='STRING'/><param code='nm' type='STRING'/>"
            u"<param code='before' type='DATE'/></root>");
  EXPECT_EQ(Elements(Content(1, u"<root><id>RQ1</id><nm>'</nm><before>2000-01-01</before></root>")),
            (Rows{{"row", "RQ1", "name=李'建华"}}));
  EXPECT_EQ(
      Elements(Content(1, u"<root><id>ALL</id><nm>秀</nm><before>2000-01-01</before></root>")),
      (Rows{{"row", "RQ2", "name=王秀兰"}}));
  NewFormat(2, u"<report>" + Sql(kSql, u"<n>row</n><n>name</n>") + u"</report>");
  EXPECT_EQ(
      Elements(Content(2,
                       u"<root><param code='id' type='STRING'>ALL</param>"
                       u"<param code='nm' type='STRING'>建</param>"
                       u"<param code='before' type='DATE'>2000-01-01</param></root>")),
      (Rows{
          {"clientinfo", "刘静怡心血管内科"}, {"params", "ALL建2000-01-01"}, {"result1", "RQ1"}}));
}

TEST_F(ReportExecutionTest, NewFormatResultHoldsIdentityParametersAndEveryStatement) {
  NewFormat(1, u"<report>" + Sql(u"SELECT {dept}, 'x' FROM DUAL", u"<n>d</n><n>x</n>") +
                   Sql(u"SELECT {n} FROM DUAL", u"<n>n</n>") +
                   Sql(u"SELECT 1 FROM DUAL WHERE 1 = 0", u"<n>none</n>") + u"</report>");
  const std::u16string request =
      u"<root><param code='dept' type='STRING' autoreplace='2'>0102</param>"
      u"<p><param code='n' type='NUMBER'>3</param></p><param code='n' type='NUMBER'>4</param>"
      u"</root>";
  EXPECT_EQ(Elements(Content(1, request)), (Rows{{"clientinfo", "刘静怡心血管内科"},
                                                 {"params",
                                                  "0101"
                                                  "3"
                                                  "4"},
                                                 {"result1", "0101"},
                                                 {"result2", "4"},
                                                 {"result3", ""}}));
  const std::u16string content = Content(1, request);
  EXPECT_NE(content.find(u"<clientinfo><user id=\"1002\">刘静怡</user><dept id=\"0101\">"
                         u"心血管内科</dept></clientinfo><params><dept>0101</dept><n>3</n><n>4</n>"
                         u"</params><result1><d x=\"x\">0101</d></result1>"),
            std::u16string::npos)
      << ToUtf8(content);
  // An empty request, or one without a document element, sends no parameters.
  NewFormat(2, u"<report>" + Sql(u"SELECT 1 FROM DUAL", u"<n>a</n>") + u"</report>");
  for (std::u16string_view empty : {u"", u"<?xml version='1.0'?>"}) {
    EXPECT_EQ(Elements(Content(2, empty, u"")),
              (Rows{{"clientinfo", ""}, {"params", ""}, {"result1", "1"}}));
  }
}

TEST_F(ReportExecutionTest, ResultStructureRunsNothing) {
  NewFormat(1, u"<report>" + Sql(u"SELEKT broken {n}", u"<n>row</n><n> a\t</n><n>b </n>") +
                   Sql(u"SELECT 1 FROM DUAL", u"") + Sql(u"NOT SQL", u"<n>only</n>") +
                   u"</report>");
  EXPECT_EQ(Structure(1, u"<root><param code='n' type='NUMBER'>1 OR 1=1</param></root>"),
            u"<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\" ?><root><clientinfo>"
            u"<user id=\"1002\">刘静怡</user><dept id=\"0101\">心血管内科</dept></clientinfo>"
            u"<params><n>1 OR 1=1</n></params><result1><row a=\"\" b=\"\"/></result1>"
            u"<result3><only/></result3></root>");
  OldFormat(2, u"SELECT 1 FROM DUAL", u"a", u"");
  EXPECT_EQ(FailureOf([] { Structure(2); }), kNoStatements);
}

TEST_F(ReportExecutionTest, ContentIsTheTransformedTextCompressed) {
  const std::u16string html_style =
      u"<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
      u"<xsl:output method='html' encoding='UTF-8'/><xsl:template match='/root'><HTML><BODY>"
      u"<xsl:for-each select='p'><P><xsl:value-of select='.'/></P></xsl:for-each></BODY></HTML>"
      u"</xsl:template></xsl:stylesheet>";
  OldFormat(1, u"SELECT '病人' FROM DUAL UNION ALL SELECT 'x' FROM DUAL", u"p", u"", html_style);
  ScopedBstr packed;
  Run(&CBEMRReport::GetReportContent, 1, u"", kClient, packed);
  const std::u16string html = UnpackEmrContent(packed.get());
  EXPECT_EQ(html, u"<HTML><BODY>\n<P>病人</P>\n<P>x</P>\n</BODY></HTML>\n");
  ScopedBstr expected;
  *expected.out() = PackEmrContent(html);
  EXPECT_EQ(Bytes(packed), Bytes(expected)) << "the compressed text form";
  // A style sheet that writes nothing gives an empty result, not a compressed empty text.
  OldFormat(2, u"SELECT 1 FROM DUAL", u"a", u"",
            u"<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
            u"<xsl:template match='/'/></xsl:stylesheet>");
  ScopedBstr nothing;
  Run(&CBEMRReport::GetReportContent, 2, u"", kClient, nothing);
  ASSERT_NE(nothing.get(), nullptr);
  EXPECT_EQ(SysStringByteLen(nothing.get()), 0u);
}

// A hand-written style sheet declares its entities: they are its text, in its page as in its
// attributes.
TEST_F(ReportExecutionTest, AStyleSheetsOwnEntitiesAreItsText) {
  OldFormat(1, u"SELECT '病人' FROM DUAL", u"p", u"",
            u"<!DOCTYPE xsl:stylesheet [<!ENTITY nbsp \"&#160;\"> <!ENTITY title \"住院患者一览\">]>"
            u"<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
            u"<xsl:output method='html' encoding='UTF-8'/><xsl:template match='/root'><HTML>"
            u"<BODY><H1 title='&title;'>&title;</H1><P>a&nbsp;<xsl:value-of select='p'/></P>"
            u"</BODY></HTML></xsl:template></xsl:stylesheet>");
  EXPECT_EQ(Content(1), u"<HTML><BODY>\n<H1 title=\"住院患者一览\">住院患者一览</H1>\n"
                        u"<P>a\u00A0病人</P>\n</BODY></HTML>\n");
}

// A request, a client document or a style sheet whose entities ask more work than the bound is
// refused at once, in either format, wherever its references stand, and the caller reads why.
TEST_F(ReportExecutionTest, EntityBombsAreRefusedAndNamed) {
  OldFormat(1, u"SELECT 1 FROM DUAL", u"a", u"");
  NewFormat(2, u"<report>" + Sql(u"SELECT 1 FROM DUAL", u"<n>a</n>") + u"</report>");
  const std::u16string refused = u" its entities expand past the bound of 16 MB";
  LONG style_report = 3;
  for (const auto& bomb : xml::testing::EntityBombs("root", "<user id='1'/>")) {
    const std::u16string text = FromUtf8(bomb.text);
    for (LONG id : {1, 2}) {
      EXPECT_EQ(ContentFailure(id, text), u"解析属性信息错误." + refused) << bomb.shape;
      EXPECT_EQ(ContentFailure(id, u"", text), u"解析属性信息错误." + refused) << bomb.shape;
    }
    OldFormat(style_report, u"SELECT 1 FROM DUAL", u"a", u"", text);
    EXPECT_TRUE(ContentFailure(style_report++).ends_with(refused)) << bomb.shape;
  }
}

TEST_F(ReportExecutionTest, BadDefinitionsAndRequestsFailWithTheirMessages) {
  const std::u16string good = u"<report>" + Sql(u"SELECT 1 FROM DUAL", u"<n>a</n>") + u"</report>";
  OldFormat(1, u"SELECT 1 FROM DUAL", u"a", u"");
  EXPECT_EQ(ContentFailure(1, u"<root><unclosed></root>"), u"解析属性信息错误.");
  EXPECT_EQ(ContentFailure(1, u"", u"<root"), u"解析属性信息错误.");
  OldFormat(2, u"", u"a", u"");
  EXPECT_EQ(ContentFailure(2), u"报表SQL语句为空,无法生成报表");
  OldFormat(3, u"SELECT 1 FROM DUAL", u"", u"");
  EXPECT_EQ(ContentFailure(3), u"报表SQL属性错误,无法生成报表");
  OldFormat(4, u"SELECT 1 FROM DUAL", u"a", u"<root><param code='x'>");
  EXPECT_EQ(ContentFailure(4), u"装载XML内容错误.");
  NewFormat(5, good);
  EXPECT_EQ(ContentFailure(5, u"<root><param"), u"解析属性信息错误.");
  EXPECT_EQ(ContentFailure(5, u"<root><param code='1a'/></root>"), u"报表参数编码无效: 1a");
  for (std::u16string_view multi_sql :
       {std::u16string_view(u""), std::u16string_view(u"<report><sql><gramar>SELECT 1 FROM DUAL"),
        std::u16string_view(u"<report><sql><gramar>SELECT 1 FROM DUAL</gramar></sql></report>"),
        std::u16string_view(u"<report><sql><property><n>a</n></property></sql></report>")}) {
    SCOPED_TRACE(ToUtf8(multi_sql));
    NewFormat(6, multi_sql);
    EXPECT_EQ(ContentFailure(6), kNoStatements);
    EXPECT_EQ(FailureOf([] { Structure(6); }), kNoStatements);
    db().Execute("DELETE FROM TELV_REPORT WHERE ID = 6");
  }
  NewFormat(6, u"<report>" + Sql(u"SELECT 1 FROM DUAL", u"") + u"</report>");
  EXPECT_EQ(ContentFailure(6), kNoStatements) << "content without names";
  NewFormat(7, u"<report>" + Sql(u"SELECT 1 FROM DUAL", u"<n>a b</n>") + u"</report>");
  EXPECT_EQ(FailureOf([] { Structure(7); }), u"查询元素名称无效: a b");
}

TEST_F(ReportExecutionTest, RefusedValuesAndStatementsFailTheRun) {
  // The values are refused before any statement runs: the first one would fail otherwise.
  NewFormat(1, u"<report>" + Sql(u"SELECT X FROM NO_SUCH_TABLE", u"<n>a</n>") +
                   Sql(u"SELECT 1 FROM DUAL WHERE 1 = {n}", u"<n>a</n>") + u"</report>");
  EXPECT_EQ(ContentFailure(1, u"<root><param code='n'>1 OR 1=1</param></root>"),
            u"不是有效的数字: '1 OR 1=1' (n)");
  OldFormat(2, u"SELECT X FROM NO_SUCH_TABLE WHERE ID = {n}", u"a",
            u"<root><param code='n' type='NUMBER'>1</param></root>");
  EXPECT_EQ(ContentFailure(2, u"<root><n>1; DELETE FROM TELV_REPORT</n></root>"),
            u"不是有效的数字: '1; DELETE FROM TELV_REPORT' (n)");
  datasource::testing::EventLogCapture events;
  EXPECT_EQ(ContentFailure(2), kDatabaseError);
  OldFormat(3, u"COMMIT", u"a", u"");
  EXPECT_EQ(ContentFailure(3), u"报表SQL语句不是查询语句,无法生成报表: COMMIT");
  // A report without a row is read as an old-format one: its SQL_PARAM is not found.
  EXPECT_EQ(ContentFailure(99), kDatabaseError);
  EXPECT_EQ(events.Records().back().text,
            u"没有找到数据: SELECT SQL_PARAM FROM TELV_REPORT WHERE ID = 99");
}

TEST_F(ReportExecutionTest, StyleSheetsFailAfterTheDataWereQueried) {
  OldFormat(1, u"SELECT X FROM NO_SUCH_TABLE", u"a", u"", u"");
  EXPECT_EQ(ContentFailure(1), kDatabaseError);
  OldFormat(2, u"SELECT 1 FROM DUAL", u"a", u"", u"");
  EXPECT_EQ(ContentFailure(2), u"报表未配置XSLT内容,请与系统管理员联系..");
  for (std::u16string_view xslt : {u"<root/>", u"<xsl:stylesheet",
                                   u"<xsl:stylesheet version='1.0' "
                                   u"xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
                                   u"<xsl:template match='/'><xsl:message terminate='yes'/>"
                                   u"</xsl:template></xsl:stylesheet>"}) {
    SCOPED_TRACE(ToUtf8(xslt));
    Store(&CBEMRReport::SetReportXSLT, 2, xslt);
    EXPECT_EQ(ContentFailure(2), u"转换报表内容错误.");
  }
}

TEST_F(ReportExecutionTest, APageBeyondTheContentBoundIsRefused) {
  // 32 characters doubled 20 times: 2^25 UTF-16 units, which with the zero unit are two bytes
  // more than the 64 MB that the system accepts as content.
  OldFormat(1, u"SELECT 1 FROM DUAL", u"a", u"",
            u"<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
            u"<xsl:output method='text'/><xsl:template match='/'><xsl:call-template name='d'>"
            u"<xsl:with-param name='t' select=\"'0123456789abcdef0123456789abcdef'\"/>"
            u"<xsl:with-param name='n' select='20'/></xsl:call-template></xsl:template>"
            u"<xsl:template name='d'><xsl:param name='t'/><xsl:param name='n'/><xsl:choose>"
            u"<xsl:when test='$n = 0'><xsl:value-of select='$t'/></xsl:when><xsl:otherwise>"
            u"<xsl:call-template name='d'><xsl:with-param name='t' select='concat($t, $t)'/>"
            u"<xsl:with-param name='n' select='$n - 1'/></xsl:call-template></xsl:otherwise>"
            u"</xsl:choose></xsl:template></xsl:stylesheet>");
  EXPECT_EQ(ContentFailure(1), kTransformTooLarge);
}

TEST_F(ReportExecutionTest, RowsOfLongTextsLoadInBothFormats) {
  // 2,600 rows of 4,000 characters: more than libxml2 loads by default from a caller.
  constexpr char16_t kLongRows[] =
      u"SELECT LPAD('x', 4000, 'x') FROM DUAL CONNECT BY LEVEL <= 2600";
  const std::u16string count_style =
      u"<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
      u"<xsl:output method='text'/><xsl:template match='/'>"
      u"<xsl:value-of select=\"concat(count(//row), ' ', string-length(//row[2600]))\"/>"
      u"</xsl:template></xsl:stylesheet>";
  OldFormat(1, kLongRows, u"row", u"", count_style);
  EXPECT_EQ(Content(1), u"2600 4000");
  NewFormat(2,
            u"<report>" +
                Sql(u"SELECT LPAD('x', 4000, 'x') FROM DUAL CONNECT BY LEVEL &lt;= 2600",
                    u"<n>row</n><n>v</n>") +
                u"</report>",
            count_style);
  EXPECT_EQ(Content(2), u"2600 4000");
}

TEST_F(ReportExecutionTest, APageJustWithinTheContentBoundIsAnswered) {
  // A ward's list of 320,000 rows, the most that the bounds admit of such a list.
  OldFormat(1, kWardListSql, kWardListNames, u"", kWardListStyle);
  const std::u16string page = Content(1);
  EXPECT_GT(page.size() * sizeof(char16_t), 64'000'000u);
  EXPECT_TRUE(page.ends_with(u"<TR>\n<TD>患者320000</TD>\n<TD>E000320000</TD>\n<TD>21</TD>\n"
                             u"<TD>医生24</TD>\n<TD>2026-08-11 05:20</TD>\n</TR>\n</TABLE>\n"
                             u"</BODY></HTML>\n"))
      << ToUtf8(page.substr(page.size() - 200));
}

// Report runs on both engines, each call with a data source of its own.
class ReportStatementTest : public ::testing::TestWithParam<db::Engine> {
 protected:
  void SetUp() override {
    database_.AddPatient({.id = "RS1", .name = "李建华"});
    database_.AddPatient({.id = "RS2", .name = "王秀兰"});
  }
  // A report of `statements`, its rows named by `names` (comma-separated); an empty `xslt`
  // stops the run once its data document is built.
  void Define(LONG id, bool new_format, std::u16string_view statements,
              std::u16string_view names = u"row", std::u16string_view xslt = kCopyStyle) {
    DefineReport(database_, id, new_format, statements, names, xslt);
  }
  static std::u16string MultiSql(std::initializer_list<std::u16string_view> statements,
                                 std::u16string_view names = u"row") {
    std::u16string property;
    std::vector<std::u16string> split;
    SplitString(std::u16string(names), u",", split);
    for (const std::u16string& name : split) property += u"<n>" + name + u"</n>";
    std::u16string multi_sql = u"<report>";
    for (std::u16string_view statement : statements) {
      multi_sql += u"<sql><gramar>" + XmlEscaped(statement) + u"</gramar><property>" + property +
                   u"</property></sql>";
    }
    return multi_sql + u"</report>";
  }
  void DefineParams(LONG id, std::u16string_view params) {
    korvalis::testing::TestDataSource source(database_.init_string());
    ScopedBstr text(params);
    CBEMRReport::SetSQLParam(&source, id, text.get());
  }
  // The failure of the run, or "" when it answers.
  std::u16string Run(LONG id, long (*body)(CEMRDataSource*, LONG, BSTR, BSTR, BSTR*) =
                                  &CBEMRReport::GetReportContent) {
    return RunWith(id, u"", body);
  }
  std::u16string RunWith(LONG id, std::u16string_view request_text,
                         long (*body)(CEMRDataSource*, LONG, BSTR, BSTR,
                                      BSTR*) = &CBEMRReport::GetReportContent) {
    korvalis::testing::TestDataSource source(database_.init_string());
    ScopedBstr request(request_text), client(kClient), result;
    return FailureOf([&] { body(&source, id, request.get(), client.get(), result.out()); });
  }
  std::u16string Page(LONG id) {
    korvalis::testing::TestDataSource source(database_.init_string());
    ScopedBstr request(u""), client(kClient), result;
    CBEMRReport::GetReportContent(&source, id, request.get(), client.get(), result.out());
    return UnpackEmrContent(result.get());
  }
  // The rows as CSingleDataSource::QueryElements writes them.
  std::u16string RowsText(std::u16string_view sql, std::u16string_view names) {
    korvalis::testing::TestDataSource source(database_.init_string());
    std::vector<std::u16string> split;
    SplitString(std::u16string(names), u",", split);
    ScopedBstr rows;
    source.QueryElements(std::u16string(sql), split, rows.out());
    return rows.text();
  }
  int Patients() { return database_.Count("TELV_PATIENT", "ID LIKE 'RS%'"); }

  schema::TestDatabase database_{schema::DatabaseContents::kInstallation, GetParam()};
};

TEST_P(ReportStatementTest, AStatementThatIsNoQueryIsRefusedBeforeAnythingRuns) {
  constexpr char16_t kRefused[] = u"报表SQL语句不是查询语句,无法生成报表: ";
  const std::u16string_view others[] = {
      u"DELETE FROM TELV_PATIENT", u"UPDATE TELV_PATIENT SET NAME = 'x'",
      u"INSERT INTO TELV_PATIENT (ID, NAME, SEX) SELECT 'RS9', NAME, SEX FROM TELV_PATIENT "
      u"WHERE ID = 'RS1'",
      u"TRUNCATE TABLE TELV_PATIENT", u"DROP TABLE TELV_PATIENT", u"COMMIT"};
  LONG id = 1;
  for (std::u16string_view other : others) {
    SCOPED_TRACE(ToUtf8(other));
    Define(id, false, other);
    EXPECT_EQ(Run(id), kRefused + std::u16string(other));
    // The new format refuses before its first statement, a query, runs.
    Define(id + 100, true, MultiSql({u"SELECT NAME FROM TELV_PATIENT", other}));
    EXPECT_EQ(Run(id + 100), kRefused + std::u16string(other));
    // The structure of the result runs no statement.
    EXPECT_EQ(Run(id + 100, &CBEMRReport::GetResultXML), u"");
    EXPECT_EQ(Patients(), 2);
    ++id;
  }
  for (std::u16string_view query :
       {u"WITH P AS (SELECT NAME FROM TELV_PATIENT) SELECT NAME FROM P",
        u"(SELECT NAME FROM TELV_PATIENT WHERE ID = 'RS1') UNION SELECT 'x' FROM DUAL"}) {
    SCOPED_TRACE(ToUtf8(query));
    Define(id, false, query);
    EXPECT_EQ(Run(id), u"");
    Define(id + 100, true, MultiSql({query}));
    EXPECT_EQ(Run(id + 100), u"");
    ++id;
  }
}

// A placeholder that no parameter of the run fills is refused by name before anything runs,
// instead of reaching the database.
TEST_P(ReportStatementTest, APlaceholderThatNoParameterFillsIsRefusedByName) {
  const std::u16string ward =
      u"SELECT NAME FROM TELV_PATIENT WHERE ID LIKE 'RS%' AND NAME = {nm} ORDER BY ID";
  Define(1, true, MultiSql({u"SELECT NAME FROM TELV_PATIENT", ward}));
  datasource::testing::EventLogCapture events;
  for (std::u16string_view request : {u"", u"<root/>", u"<root><param code='dept'/></root>"}) {
    EXPECT_EQ(RunWith(1, request), u"报表参数未赋值,无法生成报表: {nm}") << ToUtf8(request);
  }
  EXPECT_EQ(RunWith(1, u"<root><param code='nm' type='STRING'>王秀兰</param></root>"), u"");
  Define(2, false, ward);
  EXPECT_EQ(Run(2), u"报表参数未赋值,无法生成报表: {nm}");
  DefineParams(2, u"<root><param code='nm' type='STRING'>李建华</param></root>");
  EXPECT_EQ(Run(2), u"");
  EXPECT_TRUE(events.Records().empty());
}

// A value placed thousands of times would build a statement of hundreds of MB: the placement
// is refused by the report's name before the statement passes its bound.
TEST_P(ReportStatementTest, APlacedStatementPastItsBoundIsRefusedNamingTheReport) {
  std::u16string many = u"SELECT LENGTH('";
  for (int i = 0; i < 4000; ++i) many += u"{p}";
  many += u"') FROM DUAL";
  const std::u16string large(100000, u'x');
  const std::u16string refused =
      u"报表'报表'(ID=1)的SQL语句放入参数后超过1048576个字符的上限, 已拒绝";
  Define(1, false, many);
  DefineParams(1, u"<root><param code='p' type='STRING'>" + large + u"</param></root>");
  EXPECT_EQ(Run(1), refused);
  Define(2, true, MultiSql({many}));
  EXPECT_EQ(RunWith(2, u"<root><param code='p' type='STRING'>" + large + u"</param></root>"),
            u"报表'报表'(ID=2)的SQL语句放入参数后超过1048576个字符的上限, 已拒绝");
  // The largest legitimate value, a literal's 32,767 characters, placed thirty times runs.
  std::u16string thirty = u"SELECT LENGTH('";
  for (int i = 0; i < 30; ++i) thirty += u"{p}";
  thirty += u"') FROM DUAL";
  Define(3, true, MultiSql({thirty}));
  EXPECT_EQ(RunWith(3, u"<root><param code='p' type='STRING'>" + std::u16string(32767, u'y') +
                           u"</param></root>"),
            u"");
}

TEST_P(ReportStatementTest, RowsBeyondTheContentBoundAreRefusedAsTheyAreRead) {
  // Rows of 4,000 characters: 8,350 of them fit the bound, 8,400 do not.
  auto rows = [](int count) {
    return u"SELECT LPAD('x', 4000, 'x') FROM DUAL CONNECT BY LEVEL <= " +
           FromUtf8(std::to_string(count));
  };
  Define(1, false, rows(8350));
  EXPECT_EQ(Run(1), u"");
  Define(2, false, rows(8400));
  EXPECT_EQ(Run(2), kReportRowsTooLarge);
  // The statements of the new format share the bound.
  Define(3, true, MultiSql({rows(4200), rows(4200)}));
  EXPECT_EQ(Run(3), kReportRowsTooLarge);
  // A join without its condition.
  Define(4, false,
         u"SELECT LPAD(A.X, 4000, 'x') FROM (SELECT LEVEL X FROM DUAL CONNECT BY LEVEL <= 100) "
         u"A, (SELECT LEVEL Y FROM DUAL CONNECT BY LEVEL <= 100) B");
  EXPECT_EQ(Run(4), kReportRowsTooLarge);
  // A join without end FOR UPDATE, whose rows the server sends whole, past the bound of a
  // query's rows.
  Define(5, false,
         u"SELECT LPAD(A.X, 4000, 'x') FROM (SELECT LEVEL X FROM DUAL CONNECT BY LEVEL <= 1000) "
         u"A, (SELECT LEVEL Y FROM DUAL CONNECT BY LEVEL <= 1000) B FOR UPDATE");
  EXPECT_EQ(Run(5), kReportRowsTooLarge);
}

// The data document as it was loaded while the rows came to it as text: for the old format,
// their text itself; for the new format, their text parsed by the XML library, its rows copied
// into the result document and that written out. Then loaded and transformed.
std::u16string PageOfRowsText(const std::u16string& rows, bool new_format) {
  std::u16string data = rows;
  if (new_format) {
    DomDocumentBuilder result(u"root");
    xercesc::DOMElement* info = result.Append(result.root(), u"clientinfo");
    result.SetAttribute(result.Append(info, u"user", u"刘静怡"), u"id", u"1002");
    result.SetAttribute(result.Append(info, u"dept", u"心血管内科"), u"id", u"0101");
    result.Append(result.root(), u"params");
    CXmlStringParser answer(rows);
    xercesc::DOMElement* element = result.Append(result.root(), u"result1");
    for (const xercesc::DOMElement* row :
         ElementChildren(answer.GetDocument()->getDocumentElement())) {
      result.AppendCopy(element, row);
    }
    data = result.Write();
  }
  ContentTransformation transformation(kCopyStyle, {u"failed", u"failed", u"failed"});
  transformation.AppendSource(data);
  return transformation.Finish();
}

TEST_P(ReportStatementTest, RowsReadStraightIntoTheDocumentMakeTheDocumentTheirTextMade) {
  // Markup and references, white space in text and attributes, a blank text (dropped) unless
  // xml:space preserves it, characters XML cannot carry, one beyond the BMP, NULL and empty
  // values, a name given twice and names out of order.
  const std::u16string sql =
      u"SELECT '<a&b>\"c''' || CHR(13) || CHR(10) || 'd', 'x' || CHR(9) || CHR(10) || CHR(13), "
      u"'1', 'k', NULL, '' FROM DUAL UNION ALL "
      u"SELECT '  ', 'a' || CHR(1) || 'b', '2', 'l', '&', 'preserve' FROM DUAL UNION ALL "
      u"SELECT '  ' || CHR(10), '𠀀z', NULL, 'm', '\"', NULL FROM DUAL UNION ALL "
      u"SELECT 'y' || CHR(31), ' ', '3', 'n', '<>', 'default' FROM DUAL";
  constexpr std::u16string_view kNames = u"row,z,b,a,b,xml:space";
  const std::u16string rows = RowsText(sql, kNames);
  for (bool new_format : {false, true}) {
    SCOPED_TRACE(new_format ? "new format" : "old format");
    const LONG id = new_format ? 2 : 1;
    Define(id, new_format, new_format ? MultiSql({sql}, kNames) : sql, kNames);
    const std::u16string page = Page(id);
    EXPECT_EQ(page, PageOfRowsText(rows, new_format));
    EXPECT_NE(page.find(u"xml:space=\"preserve\" z=\"a\uFFFDb\">  </row>"), std::u16string::npos)
        << ToUtf8(page);
  }
  // No row at all.
  const std::u16string none = u"SELECT 'x' FROM DUAL WHERE 1 = 0";
  Define(3, false, none);
  EXPECT_EQ(Page(3), PageOfRowsText(RowsText(none, u"row"), false));
  Define(4, true, MultiSql({none}));
  EXPECT_EQ(Page(4), PageOfRowsText(RowsText(none, u"row"), true));
}

using sys::testing::ResetPeak;
using sys::testing::ResidentBytes;

TEST_P(ReportStatementTest, TheRowsOfARunAreHeldOnceAsItsDataDocument) {
  // 20,000 rows of 20 one-character values; the run stops, without a style sheet, once its
  // data document is built.
  std::u16string sql = u"SELECT 'v'";
  std::u16string names = u"row";
  for (int c = 1; c < 20; ++c) {
    sql += u", 'v'";
    names += u",c" + FromUtf8(std::to_string(c));
  }
  sql += u" FROM DUAL CONNECT BY LEVEL <= 20000";
  Define(1, false, sql, names, u"");
  Define(2, true, MultiSql({sql}, names), names, u"");
  if (sys::testing::kSanitizerHoldsMemory) {
    GTEST_SKIP() << "the sanitizer's own memory hides what the run holds";
  }
  if (!ResetPeak()) GTEST_SKIP() << "the peak of resident memory cannot be reset here";
  // What the document itself takes, held.
  std::size_t document_bytes;
  {
    std::string text = ToUtf8(RowsText(sql, names));
    xml::Document document;
    malloc_trim(0);
    const std::size_t before = ResidentBytes("VmRSS:");
    ASSERT_TRUE(document.LoadXml(text, xml::Document::Writer::kSystem));
    std::string().swap(text);
    malloc_trim(0);
    document_bytes = ResidentBytes("VmRSS:") - before;
  }
  for (LONG id : {1, 2}) {
    SCOPED_TRACE(id == 1 ? "old format" : "new format");
    ResetPeak();
    const std::size_t before = ResidentBytes("VmRSS:");
    EXPECT_EQ(Run(id), u"报表未配置XSLT内容,请与系统管理员联系..");
    const std::size_t peak = ResidentBytes("VmHWM:") - before;
    EXPECT_LT(peak, document_bytes * 3 / 2) << peak << " bytes at the peak for a document of "
                                            << document_bytes;
  }
}

TEST_P(ReportStatementTest, ARunningTotalOverTenThousandRowsIsAnsweredAndEndlessRecursionLogged) {
  // The running total of a list, each row's template calling the next row's.
  constexpr char16_t kRunningTotal[] =
      u"<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
      u"<xsl:output method='text'/><xsl:template match='/'>"
      u"<xsl:apply-templates select='root/row[1]'/></xsl:template>"
      u"<xsl:template match='row'><xsl:param name='total' select='0'/>"
      u"<xsl:variable name='sum' select='$total + .'/><xsl:choose>"
      u"<xsl:when test='following-sibling::row'><xsl:apply-templates "
      u"select='following-sibling::row[1]'><xsl:with-param name='total' select='$sum'/>"
      u"</xsl:apply-templates></xsl:when><xsl:otherwise><xsl:value-of select='$sum'/>"
      u"</xsl:otherwise></xsl:choose></xsl:template></xsl:stylesheet>";
  constexpr char16_t kTenThousand[] = u"SELECT LEVEL FROM DUAL CONNECT BY LEVEL <= 10000";
  Define(1, false, kTenThousand, u"row", kRunningTotal);
  korvalis::testing::TestDataSource source(database_.init_string());
  ScopedBstr request(u""), client(kClient), result;
  CBEMRReport::GetReportContent(&source, 1, request.get(), client.get(), result.out());
  EXPECT_EQ(UnpackEmrContent(result.get()), u"50005000");

  datasource::testing::EventLogCapture events;
  Define(2, false, kTenThousand, u"row",
         u"<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
         u"<xsl:template match='/'><xsl:call-template name='again'/></xsl:template>"
         u"<xsl:template name='again'><x><xsl:call-template name='again'/></x></xsl:template>"
         u"</xsl:stylesheet>");
  EXPECT_EQ(Run(2), u"转换报表内容错误.");
  const std::vector<sys::EventRecord> records = events.Records();
  ASSERT_FALSE(records.empty());
  const std::u16string& cause = records.back().text;
  EXPECT_EQ(cause.rfind(u"转换报表内容错误.: ", 0), 0u) << ToUtf8(cause);
  EXPECT_NE(cause.find(u"infinite template recursion"), std::u16string::npos) << ToUtf8(cause);
}

INSTANTIATE_TEST_SUITE_P(Engines, ReportStatementTest, db::testing::kBothEngines,
                         db::testing::EngineName);

}  // namespace
}  // namespace korvalis::report::testing
