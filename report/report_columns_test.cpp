#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/testing/codec_test_util.h"
#include "report/testing/report_test_util.h"

namespace korvalis::report::testing {
namespace {

using Getter = long (*)(CEMRDataSource*, LONG, BSTR*);
using Setter = long (*)(CEMRDataSource*, LONG, BSTR);

struct Column {
  const char* name;
  Getter get;
  Setter set;
  bool compressed;
  bool byte_order_mark;
  const char16_t* empty_answer;
};

const Column kColumns[] = {
    {"SQL", &CBEMRReport::GetReportSQL, &CBEMRReport::SetReportSQL, true, false, u""},
    {"XSLT", &CBEMRReport::GetReportXSLT, &CBEMRReport::SetReportXSLT, true, true, u""},
    {"SQL_PARAM", &CBEMRReport::GetSQLParam, &CBEMRReport::SetSQLParam, true, true,
     u"<?xml version='1.0' ?><root/>"},
    {"MULTI_SQL", &CBEMRReport::GetReportSQL2, &CBEMRReport::SetReportSQL2, false, false, u""},
};

class ReportColumnsTest : public ReportTest {
 protected:
  // The bytes a getter answers, the BSTR's bytes as they are.
  static std::string Get(const Column& column, LONG id) {
    ScopedBstr result;
    Read([&](CEMRDataSource* data_source) { column.get(data_source, id, result.out()); });
    return std::string(reinterpret_cast<const char*>(result.get()), SysStringByteLen(result.get()));
  }
  static void Set(const Column& column, LONG id, BSTR value) {
    Write([&](CEMRDataSource* data_source) { column.set(data_source, id, value); });
  }
  static void SetText(const Column& column, LONG id, const std::u16string& text) {
    ScopedBstr value(text);
    Set(column, id, value.get());
  }
  // The stored bytes of the column; "<null>" for NULL.
  static std::string Stored(const Column& column, LONG id) {
    db::BlobValue blob =
        db().connection().ReadBlob(std::string("SELECT ") + column.name +
                                   " FROM TELV_REPORT WHERE ID = " + std::to_string(id));
    EXPECT_NE(blob.state, db::BlobValue::kNoRow);
    return blob.state == db::BlobValue::kNull ? "<null>" : blob.bytes;
  }
  static std::string Bytes(std::u16string_view text) {
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
  }
  static std::string Uncompressed(const std::string& stored) {
    const std::vector<BYTE> bytes = codec::testing::Uncompress({stored.begin(), stored.end()});
    return std::string(bytes.begin(), bytes.end());
  }
};

TEST_F(ReportColumnsTest, EachColumnIsStoredInItsOwnFormAndReadBackRaw) {
  AddReport(1, 1);
  const std::u16string text =
      u"<?xml version='1.0' ?><root><param code=\"dept\">科室 'x'</param>"
      u"</root>";
  for (const Column& column : kColumns) {
    SCOPED_TRACE(column.name);
    SetText(column, 1, text);
    std::string stored = Stored(column, 1);
    if (column.compressed) stored = Uncompressed(stored);
    EXPECT_EQ(stored, (column.byte_order_mark ? std::string("\xFF\xFE") : "") + Bytes(text));
    EXPECT_EQ(Get(column, 1), Bytes(text));
  }
}

TEST_F(ReportColumnsTest, EmptyColumnsAnswerTheirEmptyText) {
  AddReport(1, 1);
  for (const Column& column : kColumns) {
    SCOPED_TRACE(column.name);
    EXPECT_EQ(Get(column, 1), Bytes(column.empty_answer)) << "a NULL column";
    SetText(column, 1, u"x");
    SetText(column, 1, u"");
    EXPECT_EQ(Stored(column, 1), "<null>") << "an empty text stores NULL";
    EXPECT_EQ(Get(column, 1), Bytes(column.empty_answer));
  }
}

// Bytes travel in BSTRs: an odd count and bytes that are no text come back as they went in.
TEST_F(ReportColumnsTest, BytesThatAreNoTextRoundTripUnchanged) {
  AddReport(1, 1);
  const std::string bytes("\x00\xD8\x01\xFF\x7F", 5);
  for (const Column& column : kColumns) {
    SCOPED_TRACE(column.name);
    BSTR value = SysAllocStringByteLen(bytes.data(), static_cast<UINT>(bytes.size()));
    Set(column, 1, value);
    SysFreeString(value);
    EXPECT_EQ(Get(column, 1), bytes);
  }
}

TEST_F(ReportColumnsTest, DeletedReportsKeepTheirColumnsAndMissingOnesFail) {
  AddReport(1, 1, 0);
  datasource::testing::EventLogCapture events;
  for (const Column& column : kColumns) {
    SCOPED_TRACE(column.name);
    SetText(column, 1, u"已删除的报表");
    EXPECT_EQ(Get(column, 1), Bytes(u"已删除的报表"));
    // A report without a row: the data source logs what it missed and fails generally.
    events.Clear();
    EXPECT_EQ(FailureOf([&] { Get(column, 2); }), u"数据库错误, 请与系统管理员联系.");
    EXPECT_EQ(FailureOf([&] { SetText(column, 2, u"x"); }), u"数据库错误, 请与系统管理员联系.");
    const std::u16string statement =
        u"SELECT " + FromUtf8(column.name) + u" FROM TELV_REPORT WHERE ID = 2";
    const auto records = events.Records();
    ASSERT_EQ(records.size(), 2u);
    for (const auto& record : records) EXPECT_EQ(record.text, u"没有找到数据: " + statement);
  }
  EXPECT_EQ(db().Count("TELV_REPORT"), 1);
}

}  // namespace
}  // namespace korvalis::report::testing
