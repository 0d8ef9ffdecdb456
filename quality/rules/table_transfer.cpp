// The table transfer tools of the QC administration: an administration client copies the rows of
// configuration tables between databases. It learns a table's columns and key, tests a query,
// exports rows with their BLOB columns and imports statements and BLOBs. The client composes
// the SQL; it runs here as received, except that where a query is asked for (the rows and key
// values read) a statement that is no query is refused before it runs.
//
// The transfer text, both ways, is a byte BSTR: the UTF-16LE code units of an XML text and one
// zero unit, compressed with the zlib compression and its 4-byte length trailer. A BLOB inside
// it is the Base64 text of the same compression of the BLOB's bytes. The export reads:
//
//   <?xml version='1.0' ?><root>
//     <value_list><row><value><![CDATA[...]]></value>...</row>...</value_list>
//     <blob_list><row><blob><![CDATA[Base64]]></blob>...</row>...</blob_list>
//   </root>
//
// The rows of the BLOB list follow the key query, which selects from the named table under the
// client's where text in the order of its key columns, as the data query is ordered; the client
// keeps both in step. An import runs every `sql` element before any `blob` element, as one unit
// with the call.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>
#include <xercesc/dom/DOM.hpp>

#include "foundation/calls/body_arguments.h"
#include "foundation/calls/bstr_result.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/codec/emr_compression.h"
#include "foundation/codec/emr_encoder.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/data/query_statements.h"
#include "foundation/data/sql_date.h"
#include "foundation/data/sql_key.h"
#include "foundation/text/string_util.h"
#include "foundation/xml/xml_list.h"
#include "foundation/xml/xml_parser.h"
#include "foundation/xml/xml_property.h"
#include "foundation/xml/xml_text.h"
#include "quality/rules/qc_admin.h"

namespace {

using korvalis::ArgumentText;
using korvalis::PropertyBag;

constexpr char16_t kListHead[] = u"<?xml version='1.0' ?><root>";
// The most columns one query may give; a larger col_count is no column count at all.
constexpr long kMaxColumns = 1000;

// The column count of a condition: a whole number from 1 to kMaxColumns, refused otherwise
// before any statement runs.
unsigned ColumnCount(const CXmlProperty& condition, std::u16string_view method) {
  const std::u16string text = condition.GetValue(u"col_count");
  const std::size_t first = text.find_first_not_of(u" \t\r\n");
  const std::size_t last = text.find_last_not_of(u" \t\r\n");
  const std::u16string digits =
      first == std::u16string::npos ? std::u16string() : text.substr(first, last - first + 1);
  const bool whole =
      !digits.empty() && digits.size() <= 4 &&
      std::all_of(digits.begin(), digits.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
  const long count = whole ? StringToLong(digits) : 0;
  if (count < 1 || count > kMaxColumns) {
    throw CEMRException(u"CBQCAdmin::" + std::u16string(method) +
                        u": 列数(col_count)必须是1到1000之间的整数, 而不是\"" + text + u"\".");
  }
  return static_cast<unsigned>(count);
}

// A value inside a CDATA section. "]]>" would end the section, so the section is closed after
// "]]" and a new one opened before ">": a parser joins the pieces into the value again.
void AppendCdata(std::u16string& out, std::u16string_view value) {
  out += u"<![CDATA[";
  for (std::size_t end; (end = value.find(u"]]>")) != std::u16string_view::npos;) {
    out.append(value.substr(0, end + 2)).append(u"]]><![CDATA[");
    value.remove_prefix(end + 2);
  }
  out.append(value).append(u"]]>");
}

// Bytes handed over by a codec (array new), released with the scope.
struct CodecBytes {
  BYTE* data = nullptr;
  ULONG length = 0;
  ~CodecBytes() { delete[] data; }
};

// The key columns of an export with their types ("DATE", "NUMBER" or another), ordered by name.
using KeyColumns = std::map<std::u16string, std::u16string>;

// The condition that selects one row of the key query by its key values.
korvalis::SqlKey KeyCondition(CDBType& dialect, const KeyColumns& keys,
                              const std::u16string* values) {
  korvalis::SqlKey key;
  key.And(u"1=1");
  for (const auto& [column, type] : keys) {
    const std::u16string& value = *values++;
    if (type == u"DATE") {
      key.Is(column, korvalis::RowValue::Date(dialect, value));
    } else if (type == u"NUMBER") {
      key.Number(column, value);
    } else {
      key.Equals(column, value);
    }
  }
  return key;
}

// Appends the BLOB list of an export: per row of the key query, the BLOB of each named column,
// its text-mode bytes compressed and in Base64.
void GetBlobList(CEMRDataSource* pDataSource, const std::u16string& table_name,
                 const std::u16string& where, const std::u16string& order_by,
                 const KeyColumns& keys, const std::vector<std::u16string>& blob_columns,
                 std::u16string& out) {
  out += u"<blob_list>";
  if (blob_columns.empty()) {
    out += u"</blob_list>";
    return;
  }
  std::u16string key_sql = u"SELECT ";
  for (auto key = keys.begin(); key != keys.end(); ++key) {
    if (key != keys.begin()) key_sql += u",";
    key_sql += key->first;
  }
  key_sql += u" FROM " + table_name + where + order_by;
  const unsigned key_count = static_cast<unsigned>(keys.size());
  std::vector<std::u16string> key_values;
  pDataSource->Query(key_sql, key_count, key_values);

  CDBType& dialect = *pDataSource->GetDBType();
  CGzipCompression gzip;
  CBase64Encoder base64;
  std::u16string encoded;
  for (std::size_t row = 0; row + key_count <= key_values.size(); row += key_count) {
    out += u"<row>";
    const std::u16string from =
        u" FROM " + table_name + KeyCondition(dialect, keys, &key_values[row]).Where();

    for (const std::u16string& column : blob_columns) {
      out += u"<blob><![CDATA[";
      CodecBytes blob;
      pDataSource->ReadBlob(u"SELECT " + column + from, blob.data, blob.length, 0, 0, true);
      if (blob.length > 0) {
        CodecBytes compressed;
        gzip.Compress(blob.data, blob.length, compressed.data, compressed.length);
        base64.Encode(compressed.data, compressed.length, encoded);
        out += encoded;
      }
      out += u"]]></blob>";
    }
    out += u"</row>";
  }
  out += u"</blob_list>";
}

// The transfer form of a text: its UTF-16LE code units and the zero unit after them, compressed.
void StoreTransferText(const std::u16string& text, BSTR* result) {
  const std::uint64_t bytes = (static_cast<std::uint64_t>(text.size()) + 1) * sizeof(char16_t);
  if (bytes > korvalis::kMaxBstrBytes) throw CEMRException(std::u16string(kCompressFailed));
  CodecBytes compressed;
  CGzipCompression().Compress(reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<ULONG>(bytes), compressed.data, compressed.length);
  if (result == nullptr) return;
  BSTR bytes_bstr =
      SysAllocStringByteLen(reinterpret_cast<const char*>(compressed.data), compressed.length);
  if (bytes_bstr == nullptr) throw std::bad_alloc();
  *result = bytes_bstr;
}

// The text of a transfer form: uncompressed, read as UTF-16LE up to its zero unit.
std::u16string ReadTransferText(BSTR transfer) {
  CodecBytes text_bytes;
  CGzipCompression().Uncompress(reinterpret_cast<const BYTE*>(transfer), SysStringByteLen(transfer),
                                text_bytes.data, text_bytes.length);
  std::u16string text(text_bytes.length / sizeof(char16_t), u'\0');
  if (!text.empty()) std::memcpy(text.data(), text_bytes.data, text.size() * sizeof(char16_t));
  const std::size_t zero = text.find(u'\0');
  if (zero != std::u16string::npos) text.resize(zero);
  return text;
}

}  // namespace

long CBQCAdmin::GetFieldsOfTable(CEMRDataSource* pDataSource, BSTR bstrTableName,
                                 BSTR* pbstrFieldList) {
  const std::u16string table_name = ToUpperAscii(bstrTableName);
  constexpr unsigned kColumns = 3;
  std::vector<std::u16string> fields;
  pDataSource->Query(
      u"SELECT TC.COLUMN_NAME, TC.DATA_TYPE,  (SELECT 'true' FROM USER_CONSTRAINTS CON, "
      u"USER_CONS_COLUMNS COL WHERE CON.CONSTRAINT_NAME=COL.CONSTRAINT_NAME AND "
      u"CON.CONSTRAINT_TYPE='P' AND COL.COLUMN_NAME=TC.COLUMN_NAME AND "
      u"COL.TABLE_NAME=TC.TABLE_NAME) AS PRIMARY FROM USER_TAB_COLUMNS TC" +
          korvalis::SqlKey().Equals(u"TC.TABLE_NAME", table_name).Where(),
      kColumns, fields);
  std::u16string list = kListHead;
  for (std::size_t row = 0; row + kColumns <= fields.size(); row += kColumns) {
    list += u"<field type='";
    korvalis::AppendXmlEscapedWithQuotes(list, fields[row + 1]);
    list += u"' primary='";
    korvalis::AppendXmlEscapedWithQuotes(list, fields[row + 2]);
    list += u"'>";
    korvalis::AppendXmlEscaped(list, fields[row]);
    list += u"</field>";
  }
  list += u"</root>";
  korvalis::StoreBstrResult(pbstrFieldList, list);
  return 0;
}

long CBQCAdmin::TestForSql(CEMRDataSource* pDataSource, BSTR bstrStrSql) {
  std::vector<std::u16string> count;
  pDataSource->Query(u"SELECT COUNT(1) FROM (" + ArgumentText(bstrStrSql) + u")", 1,
                     count);
  return 0;
}

long CBQCAdmin::GetExistPrimary(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                BSTR* pbstrDataList) {
  const CXmlProperty condition = PropertyBag(bstrCondition);
  const std::u16string sql = condition.GetValue(u"sql");
  const unsigned columns = ColumnCount(condition, u"GetExistPrimary");
  korvalis::CheckQueryStatement(sql, u"SQL语句不是查询语句,无法查询主键值: ");
  std::vector<std::u16string> values;
  pDataSource->Query(sql, columns, values);
  std::u16string list = kListHead;
  for (std::size_t row = 0; row + columns <= values.size(); row += columns) {
    list += u"<item>";
    for (unsigned column = 0; column < columns; ++column) {
      list += u"<value>";
      korvalis::AppendXmlEscaped(list, values[row + column]);
      list += u"</value>";
    }
    list += u"</item>";
  }
  list += u"</root>";
  korvalis::StoreBstrResult(pbstrDataList, list);
  return 0;
}

long CBQCAdmin::GetDataOfTable(CEMRDataSource* pDataSource, BSTR bstrCondition,
                               BSTR* pbstrDataList) {
  const CXmlProperty condition = PropertyBag(bstrCondition);
  const std::u16string sql = condition.GetValue(u"sql");
  const std::u16string table_name = condition.GetValue(u"table_name");
  const std::u16string where = condition.GetValue(u"where");
  const unsigned columns = ColumnCount(condition, u"GetDataOfTable");

  CXmlStringParser parser(bstrCondition);
  const xercesc::DOMDocument* document = parser.GetDocument();
  KeyColumns keys;
  std::u16string order_by;
  for (const korvalis::ListElement& primary :
       korvalis::ReadListElements(document, u"primary", {u"type"})) {
    keys[primary.text] = primary.attributes[0];
    order_by += (order_by.empty() ? u" ORDER BY " : u",") + primary.text;
  }
  std::vector<std::u16string> blob_columns;
  for (const korvalis::ListElement& blob : korvalis::ReadListElements(document, u"blob", {})) {
    blob_columns.push_back(blob.text);
  }
  if (!blob_columns.empty() && keys.empty()) {
    throw CEMRException(
        std::u16string(u"CBQCAdmin::GetDataOfTable: 导出BLOB列(blob)时必须给出主键列(primary)."));
  }

  const std::u16string data_sql = sql + order_by;
  korvalis::CheckQueryStatement(data_sql, u"SQL语句不是查询语句,无法导出表数据: ");
  std::vector<std::u16string> values;
  pDataSource->Query(data_sql, columns, values);
  std::u16string text = kListHead;
  text += u"<value_list>";
  for (std::size_t row = 0; row + columns <= values.size(); row += columns) {
    text += u"<row>";
    for (unsigned column = 0; column < columns; ++column) {
      text += u"<value>";
      AppendCdata(text, values[row + column]);
      text += u"</value>";
    }
    text += u"</row>";
  }
  text += u"</value_list>";
  values = {};
  GetBlobList(pDataSource, table_name, where, order_by, keys, blob_columns, text);
  text += u"</root>";
  StoreTransferText(text, pbstrDataList);
  return 0;
}

long CBQCAdmin::PostSqlQuery(CEMRDataSource* pDataSource, BSTR bstrCondition) {
  const std::u16string text = ReadTransferText(bstrCondition);
  CXmlStringParser parser(text);
  const xercesc::DOMDocument* document = parser.GetDocument();
  if (document == nullptr) throw CEMRException(std::u16string(u"无效XML!"));

  for (const korvalis::ListElement& statement : korvalis::ReadListElements(document, u"sql", {})) {
    pDataSource->Execute(statement.text);
  }
  CGzipCompression gzip;
  CBase64Encoder base64;
  for (const korvalis::ListElement& blob :
       korvalis::ReadListElements(document, u"blob", {u"table_name", u"field", u"where"})) {
    if (blob.text.empty()) continue;
    CodecBytes compressed;
    base64.Decode(blob.text, compressed.data, compressed.length);
    if (compressed.length == 0) continue;
    CodecBytes bytes;
    gzip.Uncompress(compressed.data, compressed.length, bytes.data, bytes.length);
    pDataSource->WriteBlob(u"SELECT " + blob.attributes[1] + u" FROM " + blob.attributes[0] + u" " +
                               blob.attributes[2],
                           bytes.data, bytes.length, 0, 0, true);
  }
  return 0;
}
