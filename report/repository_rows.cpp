#include "report/repository_rows.h"

#include <vector>

#include "foundation/data/record_statements.h"
#include "foundation/data/row_statements.h"
#include "foundation/data/single_data_source.h"
#include "foundation/xml/xml_property.h"

namespace korvalis::repository {

std::u16string SaveRecord(CSingleDataSource& data_source, std::u16string_view table,
                          const CXmlProperty& property, std::span<const SavedColumn> columns) {
  std::vector<std::u16string> texts;
  std::u16string names;
  for (const SavedColumn& column : columns) {
    std::u16string value = property.GetValue(column.key);
    texts.push_back(value.empty() ? std::u16string(column.fallback) : std::move(value));
    names.append(names.empty() ? u"" : u", ").append(column.column);
  }
  texts.front() = IdForSave(data_source, texts.front(), table, columns.front().column);
  const std::vector<std::u16string_view> values(texts.begin(), texts.end());
  InsertRow(data_source, table, names, values);
  return texts.front();
}

}  // namespace korvalis::repository
