#include "foundation/data/sql_key.h"

#include "foundation/data/sql_text.h"

namespace korvalis {

SqlKey& SqlKey::Equals(std::u16string_view column, TextRef value) {
  return And(std::u16string(column) + u" = " + SqlQuoted(value));
}

SqlKey& SqlKey::Number(std::u16string_view column, TextRef value, std::u16string_view what) {
  return And(std::u16string(column) + u" = " + SqlBareNumber(value, what.empty() ? column : what));
}

SqlKey& SqlKey::Number(std::u16string_view column, long value) {
  return And(std::u16string(column) + u" = " + LongToString(value));
}

SqlKey& SqlKey::Is(std::u16string_view column, const RowValue& value) {
  return And(std::u16string(column) + u" = " + value.Sql());
}

SqlKey& SqlKey::NumberIn(std::u16string_view column, TextRef value, std::u16string_view what) {
  return And(std::u16string(column) + u" IN (" +
             SqlNumberList(value, what.empty() ? column : what) + u")");
}

SqlKey& SqlKey::In(std::u16string_view column, std::span<const std::u16string> values) {
  std::u16string list;
  for (const std::u16string& value : values) {
    list.append(list.empty() ? u"" : u", ").append(SqlQuoted(value));
  }
  return And(std::u16string(column) + u" IN (" + (list.empty() ? u"NULL" : list) + u")");
}

SqlKey& SqlKey::And(std::u16string_view condition) {
  if (!sql_.empty()) sql_.append(u" AND ");
  sql_.append(condition);
  return *this;
}

}  // namespace korvalis
