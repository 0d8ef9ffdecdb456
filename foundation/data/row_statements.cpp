#include "foundation/data/row_statements.h"

#include "foundation/data/single_data_source.h"
#include "foundation/data/sql_date.h"
#include "foundation/data/sql_text.h"

namespace korvalis {
namespace {

std::u16string InsertStatement(std::u16string_view table, std::u16string_view columns) {
  std::u16string sql = u"INSERT INTO ";
  sql.append(table).append(u" (").append(columns).append(u") VALUES (");
  return sql;
}

}  // namespace

RowValue::RowValue(TextRef text) : sql_(SqlQuoted(text)) {}

RowValue RowValue::Number(TextRef value, std::u16string_view what) {
  return RowValue(Bare{}, SqlBareNumber(value, what));
}

RowValue RowValue::Number(long value) { return RowValue(Bare{}, LongToString(value)); }

RowValue RowValue::Date(const CDBType& dialect, TextRef value) {
  return RowValue(Bare{}, SqlDateValue(dialect, value));
}

RowValue RowValue::Date(TextRef value, std::u16string_view format) {
  return RowValue(Bare{}, u"TO_DATE(" + SqlQuoted(value) + u", " + SqlQuoted(format) + u")");
}

RowValue RowValue::Now() { return RowValue(Bare{}, u"SYSDATE"); }

RowValue RowValue::Null() { return RowValue(Bare{}, u"NULL"); }

void InsertRow(CSingleDataSource& data_source, std::u16string_view table,
               std::u16string_view columns, std::initializer_list<RowValue> values) {
  InsertRow(data_source, table, columns, std::span(values.begin(), values.size()));
}

void InsertRow(CSingleDataSource& data_source, std::u16string_view table,
               std::u16string_view columns, std::span<const RowValue> values) {
  std::u16string sql = InsertStatement(table, columns);
  for (const RowValue& value : values) {
    if (&value != values.data()) sql.append(u", ");
    sql.append(value.Sql());
  }
  data_source.Execute(sql.append(u")"));
}

void InsertRow(CSingleDataSource& data_source, std::u16string_view table,
               std::u16string_view columns, std::span<const std::u16string_view> values) {
  std::u16string sql = InsertStatement(table, columns);
  for (const std::u16string_view& value : values) {
    if (&value != values.data()) sql.append(u", ");
    sql.append(SqlQuoted(value));
  }
  data_source.Execute(sql.append(u")"));
}

void UpdateRow(CSingleDataSource& data_source, std::u16string_view table,
               std::initializer_list<ColumnValue> values, std::u16string_view where) {
  std::u16string sql = u"UPDATE ";
  sql.append(table).append(u" SET ");
  for (const ColumnValue& value : values) {
    if (&value != values.begin()) sql.append(u", ");
    sql.append(value.column).append(u" = ").append(value.value.Sql());
  }
  sql.append(u" WHERE ").append(where);
  data_source.Execute(sql);
}

}  // namespace korvalis
