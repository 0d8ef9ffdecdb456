#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "db/testing/test_database.h"
#include "foundation/codec/emr_compression.h"
#include "foundation/codec/emr_encoder.h"
#include "foundation/data/sql_text.h"
#include "foundation/testing/codec_test_util.h"
#include "foundation/testing/list_elements.h"
#include "foundation/testing/test_call.h"
#include "platform/com/scoped_bstr.h"
#include "platform/db/testing/engine_database.h"
#include "platform/text/unicode.h"
#include "platform/xml/dom.h"
#include "quality/rules/qc_admin.h"

namespace korvalis::rules {
namespace {

using com::ScopedBstr;
using korvalis::testing::kUnreachableDatabase;
using korvalis::testing::ReadElements;
using Rows = std::vector<std::vector<std::string>>;

constexpr char16_t kEmptyList[] = u"<?xml version='1.0' ?><root></root>";

// The transfer form of a text, as a client sends it: its UTF-16LE units and a zero unit,
// compressed; the caller frees it.
BSTR TransferForm(const std::u16string& text) {
  BSTR bstr = AllocBstr(text);
  CGzipCompression().CompressBstr(bstr);
  return bstr;
}

// The text of a transfer form: uncompressed, without its zero unit.
std::u16string TextOf(BSTR transfer) {
  BSTR text = transfer;
  CGzipCompression().UncompressBstr(text);
  std::u16string result(BstrView(text));
  SysFreeString(text);
  EXPECT_FALSE(result.empty());
  EXPECT_EQ(result.back(), u'\0');
  if (!result.empty()) result.pop_back();
  return result;
}

// The Base64 text of the compressed bytes, as an export writes a BLOB.
std::u16string BlobText(const std::string& bytes) {
  BYTE* compressed = nullptr;
  ULONG length = 0;
  CGzipCompression().Compress(reinterpret_cast<const BYTE*>(bytes.data()),
                              static_cast<ULONG>(bytes.size()), compressed, length);
  std::u16string text;
  CBase64Encoder().Encode(compressed, length, text);
  delete[] compressed;
  return text;
}

// The texts of the named elements of an export, in document order, with their CDATA joined.
std::vector<std::string> Texts(const std::u16string& xml, const char* tag) {
  xml::Document document;
  EXPECT_TRUE(document.LoadXml(ToUtf8(xml))) << ToUtf8(xml);
  std::vector<std::string> texts;
  std::function<void(const xml::Node&)> walk = [&](const xml::Node& node) {
    for (const xml::Node& child : node.Children()) {
      if (child.Name() == tag) texts.push_back(child.Text());
      walk(child);
    }
  };
  if (document.HasDocumentElement()) walk(document.DocumentElement());
  return texts;
}

class TableTransferTest : public ::testing::Test {
 protected:
  // Runs `body` as one call on `db`; answers the text of its failure, "" when it succeeds.
  static std::u16string Call(schema::TestDatabase& db,
                             const std::function<void(CEMRDataSource*)>& body) {
    return korvalis::testing::RunAsCall(db.init_string(), body);
  }
  static std::u16string Call(const std::string& init_string,
                             const std::function<void(CEMRDataSource*)>& body) {
    return korvalis::testing::RunAsCall(init_string, body);
  }

  std::u16string Fields(const std::u16string& table) {
    ScopedBstr name(table), result;
    EXPECT_EQ(Call(db_,
                   [&](CEMRDataSource* ds) {
                     CBQCAdmin::GetFieldsOfTable(ds, name.get(), result.out());
                   }),
              u"");
    return result.text();
  }

  std::u16string Export(schema::TestDatabase& db, const std::u16string& condition) {
    ScopedBstr text(condition), result;
    EXPECT_EQ(
        Call(db,
             [&](CEMRDataSource* ds) { CBQCAdmin::GetDataOfTable(ds, text.get(), result.out()); }),
        u"");
    return TextOf(result.get());
  }

  static std::u16string Import(const std::string& init_string, const std::u16string& document) {
    ScopedBstr transfer;
    *transfer.out() = TransferForm(document);
    return Call(init_string,
                [&](CEMRDataSource* ds) { CBQCAdmin::PostSqlQuery(ds, transfer.get()); });
  }

  void CreateKeyedTable(schema::TestDatabase& db) {
    db.Execute(
        "CREATE TABLE T_TRANSFER (D DATE NOT NULL, N NUMBER(10) NOT NULL, S VARCHAR2(20) NOT "
        "NULL, NOTES VARCHAR2(100), CONTENT BLOB, CONSTRAINT PK_T_TRANSFER PRIMARY KEY (D, N, S))");
  }

  schema::TestDatabase db_;
};

TEST_F(TableTransferTest, FieldsOfATableWithItsKey) {
  EXPECT_EQ(Fields(u"telv_qc_advice_event_map"),
            u"<?xml version='1.0' ?><root><field type='VARCHAR2' primary='true'>QC_EVENT_ID</field>"
            u"<field type='VARCHAR2' primary='true'>ADVICE_ID</field>"
            u"<field type='VARCHAR2' primary=''>QC_EVENT_NAME</field>"
            u"<field type='VARCHAR2' primary=''>ADVICE_NAME</field>"
            u"<field type='VARCHAR2' primary=''>ADVICE_TYPE</field></root>");
  const auto fields = ReadElements(Fields(u"Pev_Rule"));
  ASSERT_FALSE(fields.empty());
  EXPECT_EQ(fields[0],
            (korvalis::testing::Element{"field", "ID", {{"type", "NUMBER"}, {"primary", "true"}}}));
  for (const char16_t* missing : {u"NO_SUCH_TABLE", u"x' OR 'a'='a", u""}) {
    EXPECT_EQ(Fields(missing), kEmptyList);
  }
}

TEST_F(TableTransferTest, SqlTestRunsOnlyQueries) {
  const auto test = [&](const std::u16string& sql) {
    ScopedBstr text(sql);
    return Call(db_, [&](CEMRDataSource* ds) { CBQCAdmin::TestForSql(ds, text.get()); });
  };
  EXPECT_EQ(test(u"SELECT ID, NAME FROM PEV_RULE WHERE STATUS = 1"), u"");
  EXPECT_EQ(test(u"DELETE FROM PEV_RULE"), kDatabaseErrorMessage);
  EXPECT_EQ(test(u"SELECT NOTHING FROM NOWHERE"), kDatabaseErrorMessage);
}

TEST_F(TableTransferTest, ExistingKeysAreListedEscaped) {
  db_.AddRule({.id = 2, .name = "a<b & 'c'"});
  db_.AddRule({.id = 1, .name = "一"});
  ScopedBstr condition(
      u"<root><sql>SELECT ID, NAME FROM PEV_RULE ORDER BY ID</sql><col_count>2</col_count></root>"),
      result;
  EXPECT_EQ(Call(db_,
                 [&](CEMRDataSource* ds) {
                   CBQCAdmin::GetExistPrimary(ds, condition.get(), result.out());
                 }),
            u"");
  EXPECT_EQ(result.text(),
            u"<?xml version='1.0' ?><root><item><value>1</value><value>一</value></item>"
            u"<item><value>2</value><value>a&lt;b &amp; 'c'</value></item></root>");
}

TEST_F(TableTransferTest, ConditionsWithoutColumnsOrKeysAreRefusedBeforeAnyStatement) {
  const auto refusal = [](long (*body)(CEMRDataSource*, BSTR, BSTR*), const std::u16string& xml) {
    ScopedBstr condition(xml), result;
    return Call(kUnreachableDatabase,
                [&](CEMRDataSource* ds) { body(ds, condition.get(), result.out()); });
  };
  for (const char16_t* count : {u"", u"0", u"-1", u"abc", u"1001", u"99999999999"}) {
    const std::u16string condition = u"<root><sql>SELECT 1 FROM DUAL</sql><col_count>" +
                                     std::u16string(count) + u"</col_count></root>";
    for (auto body : {&CBQCAdmin::GetExistPrimary, &CBQCAdmin::GetDataOfTable}) {
      EXPECT_NE(refusal(body, condition).find(u"列数(col_count)必须是1到1000之间的整数"),
                std::u16string::npos)
          << ToUtf8(count);
    }
  }
  EXPECT_EQ(refusal(&CBQCAdmin::GetDataOfTable,
                    u"<root><sql>SELECT 1 FROM DUAL</sql><col_count>1</col_count>"
                    u"<table_name>T</table_name><blob>CONTENT</blob></root>"),
            u"CBQCAdmin::GetDataOfTable: 导出BLOB列(blob)时必须给出主键列(primary).");
}

TEST_F(TableTransferTest, ExportWithoutKeysOrBlobsHasAnEmptyBlobList) {
  db_.AddRule({.id = 1, .name = "x]]>y]]]>"});
  const std::u16string text =
      Export(db_, u"<root><sql>SELECT ID, NAME FROM PEV_RULE</sql><col_count>2</col_count></root>");
  EXPECT_EQ(text,
            u"<?xml version='1.0' ?><root><value_list><row><value><![CDATA[1]]></value>"
            u"<value><![CDATA[x]]]]><![CDATA[>y]]]]]><![CDATA[>]]></value></row></value_list>"
            u"<blob_list></blob_list></root>");
  // A value holding "]]>" reads back whole.
  EXPECT_EQ(Texts(text, "value"), (std::vector<std::string>{"1", "x]]>y]]]>"}));
}

TEST_F(TableTransferTest, BlobsTravelByTheirKeysWithTheByteOrderMarkRule) {
  CreateKeyedTable(db_);
  db_.Execute(
      "INSERT INTO T_TRANSFER (D, N, S, NOTES) VALUES (TO_DATE('2026-01-02 03:04:05', "
      "'YYYY-MM-DD HH24:MI:SS'), 7, 'a''b', '有BOM')");
  db_.Execute(
      "INSERT INTO T_TRANSFER (D, N, S, NOTES) VALUES (TO_DATE('2026-01-02 03:04:05', "
      "'YYYY-MM-DD HH24:MI:SS'), 8, 'a''b', '无BOM')");
  db_.Execute(
      "INSERT INTO T_TRANSFER (D, N, S, NOTES) VALUES (TO_DATE('2025-01-01 00:00:00', "
      "'YYYY-MM-DD HH24:MI:SS'), 9, 'c', '空')");
  const std::string with_mark = std::string("\xFF\xFE", 2) + std::string("h\0i\0", 4),
                    without_mark = "plain";
  db_.connection().WriteBlob("SELECT CONTENT FROM T_TRANSFER WHERE N = 7", with_mark);
  db_.connection().WriteBlob("SELECT CONTENT FROM T_TRANSFER WHERE N = 8", without_mark);

  const std::u16string text = Export(
      db_,
      u"<root><sql>SELECT TO_CHAR(D, 'YYYY-MM-DD HH24:MI:SS'), N, S, NOTES FROM T_TRANSFER</sql>"
      u"<col_count>4</col_count><table_name>T_TRANSFER</table_name><where> WHERE N &gt; 0</where>"
      u"<keys><primary type='NUMBER'>N</primary><primary type='DATE'>D</primary>"
      u"<primary "
      u"type='VARCHAR2'>S</primary></keys><blob>CONTENT</blob><blob>CONTENT</blob></root>");
  // Rows in the order of the key columns as given: N, D, S.
  EXPECT_EQ(
      Texts(text, "value"),
      (std::vector<std::string>{"2026-01-02 03:04:05", "7", "a'b", "有BOM", "2026-01-02 03:04:05",
                                "8", "a'b", "无BOM", "2025-01-01 00:00:00", "9", "c", "空"}));
  // The mark of a stored text is dropped on export; an empty BLOB exports as nothing.
  const std::u16string mark_dropped = BlobText(with_mark.substr(2));
  const std::u16string plain = BlobText(without_mark);
  EXPECT_NE(
      text.find(u"<blob_list><row><blob><![CDATA[" + mark_dropped + u"]]></blob><blob><![CDATA[" +
                mark_dropped + u"]]></blob></row><row><blob><![CDATA[" + plain +
                u"]]></blob><blob><![CDATA[" + plain +
                u"]]></blob></row><row><blob><![CDATA[]]></blob><blob><![CDATA[]]></blob>"
                u"</row></blob_list></root>"),
      std::u16string::npos)
      << ToUtf8(text);

  // Imported by the keys the client writes, each BLOB arrives with the mark in front; an empty
  // `blob` element writes nothing.
  schema::TestDatabase target;
  CreateKeyedTable(target);
  const std::u16string date = u"TO_DATE('2026-01-02 03:04:05', 'YYYY-MM-DD HH24:MI:SS')";
  std::u16string document = u"<root>";
  document += u"<blob table_name='T_TRANSFER' field='CONTENT' where='WHERE N = 7'>" + mark_dropped +
              u"</blob>";
  document += u"<blob table_name='T_TRANSFER' field='CONTENT' where='WHERE N = 8'>" + plain +
              u"</blob><blob table_name='T_TRANSFER' field='CONTENT' where='WHERE N = 9'/>";
  for (const char16_t* n : {u"7", u"8"}) {
    document +=
        u"<sql>INSERT INTO T_TRANSFER (D, N, S) VALUES (" + date + u", " + n + u", 'a''b')</sql>";
  }
  document += u"<sql>INSERT INTO T_TRANSFER (D, N, S, CONTENT) VALUES (" + date +
              u", 9, 'c', NULL)</sql></root>";
  EXPECT_EQ(Import(target.init_string(), document), u"");
  const std::string mark("\xFF\xFE", 2);
  EXPECT_EQ(target.connection().ReadBlob("SELECT CONTENT FROM T_TRANSFER WHERE N = 7").bytes,
            with_mark);
  EXPECT_EQ(target.connection().ReadBlob("SELECT CONTENT FROM T_TRANSFER WHERE N = 8").bytes,
            mark + without_mark);
  EXPECT_EQ(target.connection().ReadBlob("SELECT CONTENT FROM T_TRANSFER WHERE N = 9").state,
            db::BlobValue::kNull);
}

TEST_F(TableTransferTest, ATableExportedAndImportedGivesEqualRows) {
  schema::TestDatabase sample(schema::DatabaseContents::kSampleHospital);
  const std::string columns =
      "ID, NAME, OWNER_TYPE, EMR_TYPE, POINT_ID, QUANTITY, SORT_CODE, TIME_OUT, NOTES, STATUS, "
      "FREQUENCY, PRE_EVENT_CODE, PRE_EVENT_TIME";
  constexpr unsigned kColumns = 13;
  const std::u16string text = Export(
      sample, u"<root><sql>SELECT " + FromUtf8(columns) + u" FROM PEV_RULE</sql><col_count>13" +
                  u"</col_count><primary type='NUMBER'>ID</primary></root>");
  const std::vector<std::string> values = Texts(text, "value");
  ASSERT_FALSE(values.empty());
  ASSERT_EQ(values.size() % kColumns, 0u);

  // The client turns each row into an INSERT; numbers stand bare, other values quoted.
  const auto fields = ReadElements(Fields(u"PEV_RULE"));
  std::u16string document = u"<root>";
  for (std::size_t row = 0; row < values.size(); row += kColumns) {
    std::u16string sql = u"INSERT INTO PEV_RULE (" + FromUtf8(columns) + u") VALUES (";
    for (unsigned c = 0; c < kColumns; ++c) {
      const std::u16string value = FromUtf8(values[row + c]);
      if (c > 0) sql += u", ";
      const bool number = fields[c].attributes.at("type") == "NUMBER";
      sql += value.empty() ? u"NULL" : number ? value : SqlQuoted(value);
    }
    document += u"<sql><![CDATA[" + sql + u")]]></sql>";
  }
  document += u"</root>";
  EXPECT_EQ(Import(db_.init_string(), document), u"");
  const std::string all = "SELECT " + columns + " FROM PEV_RULE ORDER BY ID";
  EXPECT_EQ(db_.Query(all), sample.Query(all));
}

TEST_F(TableTransferTest, AnImportIsOneUnit) {
  const auto rules = [&] { return db_.Count("PEV_RULE"); };
  // A damaged transfer text fails before any statement can run.
  ScopedBstr damaged(u"not compressed at all");
  EXPECT_EQ(Call(kUnreachableDatabase,
                 [&](CEMRDataSource* ds) { CBQCAdmin::PostSqlQuery(ds, damaged.get()); }),
            kUncompressFailed);
  ScopedBstr empty(u"");
  EXPECT_EQ(Call(kUnreachableDatabase,
                 [&](CEMRDataSource* ds) { CBQCAdmin::PostSqlQuery(ds, empty.get()); }),
            kUncompressFailed);
  EXPECT_EQ(Import(kUnreachableDatabase, u"<root><sql>"), u"无效XML!");
  const std::vector<BYTE>& huge = codec::testing::BeyondTheExpansionLimit();
  ScopedBstr oversized;
  *oversized.out() = SysAllocStringByteLen(reinterpret_cast<const char*>(huge.data()), huge.size());
  EXPECT_EQ(Call(kUnreachableDatabase,
                 [&](CEMRDataSource* ds) { CBQCAdmin::PostSqlQuery(ds, oversized.get()); }),
            kExpandedTooLarge);
  std::u16string huge_blob;
  CBase64Encoder().Encode(huge.data(), huge.size(), huge_blob);

  const std::u16string insert = u"<sql>INSERT INTO PEV_RULE (ID, NAME) VALUES (1, 'a')</sql>";
  // A failing statement, a COMMIT or a failing BLOB leaves nothing of what ran before it.
  const std::u16string no_row = u"<blob table_name='PEV_RULE' field='NAME' where='WHERE ID = 99'>" +
                                BlobText("x") + u"</blob>";
  const struct {
    std::u16string tail;
    std::u16string failure;
  } cases[] = {
      {u"<sql>INSERT INTO NOWHERE VALUES (1)</sql>", kDatabaseErrorMessage},
      {u"<sql>COMMIT</sql><sql>INSERT INTO PEV_RULE (ID) VALUES (2)</sql>", kDatabaseErrorMessage},
      {no_row, kDatabaseErrorMessage},
      {u"<blob table_name='PEV_RULE' field='NAME' where='WHERE ID = 1'>bm90IGd6aXA=</blob>",
       kUncompressFailed},
      {u"<blob table_name='PEV_RULE' field='NAME' where='WHERE ID = 1'>" + huge_blob + u"</blob>",
       kExpandedTooLarge},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Import(db_.init_string(), u"<root>" + insert + c.tail + u"</root>"), c.failure)
        << ToUtf8(c.tail);
    EXPECT_EQ(rules(), 0) << ToUtf8(c.tail);
  }
}

// Where a client's query is asked for, a statement that writes, changes the schema or ends the
// transaction is refused before it runs, on either engine, and nothing changes.
class ClientQueryTest : public ::testing::TestWithParam<db::Engine> {
 protected:
  std::u16string Run(long (*body)(CEMRDataSource*, BSTR, BSTR*), const std::u16string& sql,
                     const std::u16string& more = u"") {
    ScopedBstr condition(u"<root><sql>" + sql + u"</sql><col_count>1</col_count>" + more +
                         u"</root>"),
        result;
    return korvalis::testing::RunAsCall(
        db_.init_string(), [&](CEMRDataSource* ds) { body(ds, condition.get(), result.out()); });
  }

  schema::TestDatabase db_{schema::DatabaseContents::kInstallation, GetParam()};
};

TEST_P(ClientQueryTest, StatementsThatAreNoQueriesAreRefusedBeforeTheyRun) {
  db_.AddRule({.id = 6, .name = "规则"});
  const std::u16string others[] = {u"DELETE FROM PEV_RULE WHERE ID = 6",
                                   u"UPDATE PEV_RULE SET NAME = 'x'",
                                   u"INSERT INTO PEV_RULE (ID, NAME) SELECT 7, NAME FROM PEV_RULE",
                                   u"DROP TABLE PEV_RULE",
                                   u"TRUNCATE TABLE PEV_RULE",
                                   u"COMMIT"};
  for (const std::u16string& other : others) {
    SCOPED_TRACE(ToUtf8(other));
    EXPECT_EQ(Run(&CBQCAdmin::GetExistPrimary, other),
              u"SQL语句不是查询语句,无法查询主键值: " + other);
    EXPECT_EQ(Run(&CBQCAdmin::GetDataOfTable, other),
              u"SQL语句不是查询语句,无法导出表数据: " + other);
    EXPECT_EQ(db_.Query("SELECT ID, NAME FROM PEV_RULE"), (Rows{{"6", "规则"}}));
  }
  EXPECT_EQ(Run(&CBQCAdmin::GetExistPrimary, u"SELECT ID FROM PEV_RULE FOR UPDATE"), u"");
  EXPECT_EQ(Run(&CBQCAdmin::GetDataOfTable, u"SELECT ID FROM PEV_RULE",
                u"<primary type='NUMBER'>ID</primary>"),
            u"");
}

INSTANTIATE_TEST_SUITE_P(Engines, ClientQueryTest, db::testing::kBothEngines,
                         db::testing::EngineName);

}  // namespace
}  // namespace korvalis::rules
