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

SqlKey& SqlKey::Compare(std::u16string_view column, std::u16string_view comparison,
                        const RowValue& value) {
  return And(std::u16string(column) + u" " + std::u16string(comparison) + u" " + value.Sql());
}

SqlKey& SqlKey::Contains(std::u16string_view column, TextRef value) {
  return And(std::u16string(column) + u" LIKE '%" + SqlEscaped(value) + u"%'");
}

SqlKey& SqlKey::Listed(std::u16string_view column, TextRef value, std::u16string_view separator) {
  const std::u16string quoted_separator = SqlQuoted(separator);
  return And(u"INSTR(" + quoted_separator + u" || " + std::u16string(column) + u" || " +
             quoted_separator + u", " +
             SqlQuoted(std::u16string(separator) + std::u16string(value.view()) +
                       std::u16string(separator)) +
             u", 1, 1) > 0");
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
  ++parts_;
  return *this;
}

SqlKey& SqlKey::AnyOf(std::initializer_list<SqlKey> keys) {
  return AnyOf(std::span<const SqlKey>(keys.begin(), keys.size()));
}

SqlKey& SqlKey::AnyOf(std::span<const SqlKey> keys) {
  if (keys.empty()) return And(u"1 = 0");
  // One key needs no parentheses: its own alternatives already have them.
  if (keys.size() == 1) return And(keys.front().sql_);
  std::u16string any = u"(";
  for (const SqlKey& key : keys) {
    if (any.size() > 1) any.append(u" OR ");
    if (key.parts_ > 1) {
      any.append(u"(").append(key.sql_).append(u")");
    } else {
      any.append(key.sql_);
    }
  }
  return And(any.append(u")"));
}

}  // namespace korvalis
