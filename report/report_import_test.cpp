#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "foundation/codec/emr_compression.h"
#include "foundation/codec/emr_encoder.h"
#include "foundation/testing/codec_test_util.h"
#include "foundation/testing/list_elements.h"
#include "foundation/testing/test_data_source.h"
#include "report/testing/report_test_util.h"

namespace korvalis::report::testing {
namespace {

using korvalis::testing::Element;
using korvalis::testing::ReadElements;
using Elements = std::vector<Element>;

class ReportImportTest : public ReportTest {
 protected:
  // ImportReport as one call: the applied properties it answers.
  static std::u16string Import(LONG id, const std::u16string& report) {
    ScopedBstr text(report);
    ScopedBstr portion;
    Write([&](CEMRDataSource* data_source) {
      CBEMRReport::ImportReport(data_source, id, text.get(), portion.out());
    });
    return portion.text();
  }
  static std::u16string Export(LONG id) { return GetText(&CBEMRReport::ExportReport, id); }

  static std::string Bytes(std::u16string_view text) {
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
  }
  static std::u16string Base64(const std::string& bytes) {
    std::u16string text;
    CBase64Encoder().Encode(reinterpret_cast<const BYTE*>(bytes.data()),
                            static_cast<ULONG>(bytes.size()), text);
    return text;
  }
  static std::string Compressed(const std::string& bytes) {
    BYTE* compressed = nullptr;
    ULONG length = 0;
    CGzipCompression().Compress(reinterpret_cast<const BYTE*>(bytes.data()),
                                static_cast<ULONG>(bytes.size()), compressed, length);
    std::unique_ptr<BYTE[]> owned(compressed);
    return std::string(reinterpret_cast<const char*>(compressed), length);
  }
  static std::string BeyondTheLimit() {
    const std::vector<BYTE>& form = codec::testing::BeyondTheExpansionLimit();
    return std::string(form.begin(), form.end());
  }
  // An element `name` holding the Base64 of the text's bytes, its attributes written as given.
  static std::u16string Value(const std::u16string& name, const std::u16string& text,
                              const std::u16string& attributes = u"") {
    return u"<" + name + attributes + u">" + Base64(Bytes(text)) + u"</" + name + u">";
  }

  // The report's row and texts, to show that a failed import changed nothing.
  static Rows Snapshot(LONG id) {
    Rows rows = db().Query(
        "SELECT NAME, CATALOG_ID, SORT, NOTE, NEW_FORMAT, SQL_PRO, LAST_MODIFY_TIME FROM "
        "TELV_REPORT WHERE ID = " +
        std::to_string(id));
    std::vector<std::string> texts;
    for (auto getter : {&CBEMRReport::GetReportSQL, &CBEMRReport::GetReportSQL2,
                        &CBEMRReport::GetSQLParam, &CBEMRReport::GetReportXSLT}) {
      texts.push_back(ToUtf8(GetText(getter, id)));
    }
    rows.push_back(texts);
    return rows;
  }
  static std::string Column(const std::string& column, LONG id) {
    return db().QueryScalar("SELECT " + column +
                            " FROM TELV_REPORT WHERE ID = " + std::to_string(id));
  }

  korvalis::testing::ScopedDatabaseClock clock_;  // the server's time: 2026-12-07 08:00:00
};

// Export of an old-format report and its import into another report give the target the
// source's texts and note and the server's time, while the target keeps its own identity.
TEST_F(ReportImportTest, AnOldFormatReportTravelsIntoAnotherReport) {
  const std::u16string long_param = u"<root>" + std::u16string(300, u'参') + u"</root>";
  AddDefinedReport(1, "0", long_param);
  AddDefinedReport(2, "1", u"<root/>");
  db().Execute("UPDATE TELV_REPORT SET SQL_PRO = 'other' WHERE ID = 2");

  const std::u16string portion = Import(2, Export(1));
  EXPECT_EQ(
      ReadElements(portion),
      (std::vector<Element>{{"lastmodifytime", "2026-12-07 08:00:00", {}}, {"note", "备注1", {}}}));
  EXPECT_EQ(db().Query("SELECT ID, NAME, CATALOG_ID, SORT, NOTE, NEW_FORMAT, SQL_PRO, "
                       "LAST_MODIFY_TIME FROM TELV_REPORT WHERE ID = 2"),
            (Rows{{"2", "报表2", "1", "20", "备注1", "0", "patient,bed", "2026-12-07 08:00:00"}}));
  EXPECT_EQ(GetText(&CBEMRReport::GetReportSQL, 2), GetText(&CBEMRReport::GetReportSQL, 1));
  EXPECT_EQ(GetText(&CBEMRReport::GetSQLParam, 2), long_param);
  EXPECT_EQ(GetText(&CBEMRReport::GetReportXSLT, 2), GetText(&CBEMRReport::GetReportXSLT, 1));
  EXPECT_EQ(GetText(&CBEMRReport::GetReportSQL2, 2), u"<report><sql id=\"2\"/></report>")
      << "the new format's statements are kept";
}

TEST_F(ReportImportTest, VersionTwoMakesAnOldFormatReportNewAndLeavesItsStatement) {
  AddDefinedReport(1, "0", u"<root><param code=\"p1\"/></root>");
  AddDefinedReport(2, "1", u"<root><param code=\"p2\"/></root>");
  const std::u16string old_sql = GetText(&CBEMRReport::GetReportSQL, 1);
  EXPECT_EQ(ReadElements(Import(1, Export(2))),
            (Elements{{"lastmodifytime", "2026-12-07 08:00:00", {}}, {"note", "备注2", {}}}));
  EXPECT_EQ(Column("NEW_FORMAT || ' ' || SQL_PRO || ' ' || NOTE", 1), "1 patient,bed 备注2");
  EXPECT_EQ(GetText(&CBEMRReport::GetReportSQL, 1), old_sql);
  EXPECT_EQ(GetText(&CBEMRReport::GetReportSQL2, 1), u"<report><sql id=\"2\"/></report>");
  EXPECT_EQ(GetText(&CBEMRReport::GetSQLParam, 1), u"<root><param code=\"p2\"/></root>");
  EXPECT_EQ(GetText(&CBEMRReport::GetReportXSLT, 1), u"<xsl:stylesheet n=\"2\"/>");
}

TEST_F(ReportImportTest, OnlyWhatTheDocumentHoldsChanges) {
  AddDefinedReport(1, "0", u"");
  Rows before = Snapshot(1);
  // A `new_format` anywhere, whatever its text, makes the document version 2.
  EXPECT_EQ(Import(1, u"<root><x><new_format>0</new_format></x>" + Value(u"xslt", u"<xsl/>") +
                          u"</root>"),
            u"");
  before[0][4] = "1";
  before[1][3] = "<xsl/>";
  EXPECT_EQ(Snapshot(1), before);

  // Version 1: a property document with a note alone changes the note, not the time.
  EXPECT_EQ(
      ReadElements(Import(
          1, u"<root>" + Value(u"property", u"<root><note>新备注</note></root>") + u"</root>")),
      (Elements{{"note", "新备注", {}}}));
  before[0][3] = "新备注";
  before[0][4] = "0";
  EXPECT_EQ(Snapshot(1), before);
  // Version 2 stamps the time whenever there is a property document.
  EXPECT_EQ(
      ReadElements(Import(1, u"<root><new_format/>" + Value(u"property", u"<root/>") + u"</root>")),
      (Elements{{"lastmodifytime", "2026-12-07 08:00:00", {}}}));
  EXPECT_EQ(Column("LAST_MODIFY_TIME || ' ' || NOTE", 1), "2026-12-07 08:00:00 新备注");
}

TEST_F(ReportImportTest, ElementsWithoutTextEmptyTheirColumns) {
  AddDefinedReport(1, "0", u"<root/>");
  EXPECT_EQ(Import(1,
                   u"<root><sql/><sql_pro></sql_pro><sql_param compression=\"1\"/><xslt/>"
                   u"</root>"),
            u"");
  EXPECT_EQ(db().Query("SELECT NVL(SQL_PRO, 'null'), NVL2(SQL, 'x', 'null'), "
                       "NVL2(SQL_PARAM, 'x', 'null'), NVL2(XSLT, 'x', 'null') FROM TELV_REPORT"),
            (Rows{{"null", "null", "null", "null"}}));
  EXPECT_EQ(GetText(&CBEMRReport::GetSQLParam, 1), u"<?xml version='1.0' ?><root/>");
}

TEST_F(ReportImportTest, VersionOneUndoesTheCompressionItsElementsName) {
  AddDefinedReport(1, "0", u"");
  const std::u16string sql = u"SELECT '压缩' FROM DUAL";
  const std::u16string compressed = Base64(Compressed(Bytes(sql)));
  Import(1, u"<root><sql compression=\"1\">" + compressed + u"</sql></root>");
  EXPECT_EQ(GetText(&CBEMRReport::GetReportSQL, 1), sql);
  for (const char16_t* attribute :
       {u"", u" compression=\"0\"", u" compression=\"abc\"", u" compression=\"-1\""}) {
    SCOPED_TRACE(ToUtf8(attribute));
    Import(1, u"<root>" + Value(u"xslt", u"<xsl/>", attribute) + u"</root>");
    EXPECT_EQ(GetText(&CBEMRReport::GetReportXSLT, 1), u"<xsl/>");
  }
  // Base64 read with line feeds of either kind anywhere.
  std::u16string broken = Base64(Bytes(sql));
  broken.erase(std::remove(broken.begin(), broken.end(), u'\n'), broken.end());
  broken.insert(8, u"\r\n");
  broken.insert(3, u"\n");
  Import(1, u"<root><sql_pro>" + broken + u"</sql_pro></root>");
  EXPECT_EQ(Column("SQL_PRO", 1), ToUtf8(sql));
  // Version 2 is never decompressed.
  Import(1,
         u"<root><new_format/><sql compression=\"1\">" + Base64(Bytes(u"<r/>")) + u"</sql></root>");
  EXPECT_EQ(GetText(&CBEMRReport::GetReportSQL2, 1), u"<r/>");
}

TEST_F(ReportImportTest, BytesThatAreNoTextTravelUnchanged) {
  AddDefinedReport(1, "0", u"");
  AddDefinedReport(2, "0", u"");
  const std::string bytes("\x00\xD8\x01\xFF\x7F", 5);
  BSTR value = SysAllocStringByteLen(bytes.data(), static_cast<UINT>(bytes.size()));
  Write([&](CEMRDataSource* data_source) { CBEMRReport::SetReportXSLT(data_source, 1, value); });
  SysFreeString(value);
  Import(2, Export(1));
  ScopedBstr imported;
  Read([&](CEMRDataSource* data_source) {
    CBEMRReport::GetReportXSLT(data_source, 2, imported.out());
  });
  EXPECT_EQ(
      std::string(reinterpret_cast<const char*>(imported.get()), SysStringByteLen(imported.get())),
      bytes);
}

// Every refused document leaves the report as it was, also when the refusal comes after
// NEW_FORMAT was set and values were stored.
TEST_F(ReportImportTest, ARefusedDocumentLeavesTheReportAsItWas) {
  AddDefinedReport(1, "1", u"<root/>");
  const Rows before = Snapshot(1);
  const std::u16string sql = Value(u"sql", u"SELECT 1 FROM DUAL");
  const struct {
    std::u16string document;
    std::u16string failure;
  } cases[] = {
      {u"<root>" + sql + Value(u"property", u"<root><name>新名</name></root>") + u"</root>",
       u"没有属性列表, 无法生成Update SQL."},
      {u"<root><property/></root>", u"出错了: 获取报表属性错误."},
      {u"<root>" + sql + u"<xslt>不是Base64</xslt></root>", u"导入报表,报表内容格式错误."},
      {u"<root>" + sql + u"<xslt>QUJD$</xslt></root>", u"导入报表,报表内容格式错误."},
      {u"<root><sql>", u"导入报表,报表内容格式错误."},
      {u"", u"导入报表,报表内容格式错误."},
      {u"<root>" + Value(u"sql", u"x", u" compression=\"7\"") + u"</root>", u"不正确的压缩类型"},
      {u"<root>" + Value(u"sql", u"x", u" compression=\"1\"") + u"</root>", u"GZIP执行解压缩错误"},
      {u"<root>" + sql + u"<xslt compression=\"1\">" + Base64(BeyondTheLimit()) + u"</xslt></root>",
       kExpandedTooLarge},
      {u"<root><new_format/>" + Value(u"property", u"<root><note>") + u"</root>",
       u"解析属性信息错误."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.document));
    EXPECT_EQ(FailureOf([&] { Import(1, c.document); }), c.failure);
    EXPECT_EQ(Snapshot(1), before);
  }
  // The body refuses what its method refuses before it.
  Write([](CEMRDataSource* data_source) {
    ScopedBstr document(u"<root/>"), portion;
    EXPECT_EQ(FailureOf([&] {
                CBEMRReport::ImportReport(data_source, -1, document.get(), portion.out());
              }),
              u"导入报表,报表报表ID不正确.");
    EXPECT_EQ(
        FailureOf([&] { CBEMRReport::ImportReport(data_source, 1, document.get(), nullptr); }),
        u"导入报表,报表报表ID不正确.");
  });
}

}  // namespace
}  // namespace korvalis::report::testing
