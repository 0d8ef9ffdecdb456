#include "foundation/data/record_statements.h"

#include "foundation/suite/factory.h"
#include "foundation/data/single_data_source.h"
#include "foundation/data/sql_text.h"

namespace korvalis {

void DeleteKeyedRows(CSingleDataSource& data_source, std::u16string_view table,
                     std::u16string_view key, const std::u16string& id) {
  std::u16string sql = u"DELETE FROM ";
  sql.append(table).append(u" T WHERE T.").append(key).append(u" = ").append(SqlQuoted(id));
  data_source.Execute(sql);
}

std::u16string IdForSave(CSingleDataSource& data_source, std::u16string id,
                         std::u16string_view table, std::u16string_view key) {
  if (id.empty()) return CEMRFactory::Instance()->NewGuid();
  DeleteKeyedRows(data_source, table, key, id);
  return id;
}

}  // namespace korvalis
