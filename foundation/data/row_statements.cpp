#include "foundation/data/row_statements.h"

#include <string>

#include "foundation/data/single_data_source.h"
#include "foundation/data/sql_text.h"

namespace korvalis {

void InsertRow(CSingleDataSource& data_source, std::u16string_view table,
               std::u16string_view columns, std::span<const std::u16string_view> values) {
  std::u16string sql = u"INSERT INTO ";
  sql.append(table).append(u" (").append(columns).append(u") VALUES (");
  bool first = true;
  for (std::u16string_view value : values) {
    if (!first) sql.append(u", ");
    sql.append(SqlQuoted(value));
    first = false;
  }
  sql.append(u")");
  data_source.Execute(sql);
}

void InsertRow(CSingleDataSource& data_source, std::u16string_view table,
               std::u16string_view columns, std::initializer_list<std::u16string_view> values) {
  InsertRow(data_source, table, columns, std::span(values.begin(), values.size()));
}

void UpdateRow(CSingleDataSource& data_source, std::u16string_view table,
               std::initializer_list<ColumnValue> values, std::u16string_view where) {
  std::u16string sql = u"UPDATE ";
  sql.append(table).append(u" SET ");
  bool first = true;
  for (const auto& [column, value] : values) {
    if (!first) sql.append(u", ");
    sql.append(column).append(u" = ").append(SqlQuoted(value));
    first = false;
  }
  sql.append(u" WHERE ").append(where);
  data_source.Execute(sql);
}

}  // namespace korvalis
