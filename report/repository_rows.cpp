#include "report/repository_rows.h"

#include "foundation/single_data_source.h"
#include "foundation/sql_text.h"

namespace korvalis::repository {

void InsertRow(CSingleDataSource& data_source, std::u16string_view table,
               std::u16string_view columns, std::initializer_list<std::u16string_view> values) {
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

}  // namespace korvalis::repository
