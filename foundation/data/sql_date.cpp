#include "foundation/data/sql_date.h"

#include "foundation/data/db_type.h"
#include "foundation/data/sql_text.h"
#include "foundation/text/string_util.h"
#include "platform/db/ora_date.h"
#include "platform/text/unicode.h"

namespace korvalis {

bool IsSqlDate(std::u16string_view value) {
  // The reader takes any mark for the format's punctuation; a value a caller gives as a date
  // holds only the marks a date is written with.
  if (value.find_first_not_of(u"0123456789 -/,.;:") != std::u16string_view::npos) return false;
  return db::ParseDefaultDate(ToUtf8(value)).has_value();
}

std::u16string SqlDateValue(const CDBType &dialect, std::u16string_view value) {
  return dialect.ToDate(SqlEscaped(value), false);
}

std::optional<std::pair<std::u16string, std::u16string>> TimeSpanEnds(std::u16string_view span) {
  std::vector<std::u16string> pieces;
  SplitByChars(span, std::u16string_view(&kTimeSpanSeparator, 1), pieces);
  if (pieces.size() != 2) return std::nullopt;
  return std::pair(std::move(pieces[0]), std::move(pieces[1]));
}

void AppendDateBetween(const CDBType &dialect, std::u16string_view span, std::u16string_view column,
                       std::u16string &sql) {
  const auto ends = TimeSpanEnds(span);
  if (ends) AppendDatesBetween(dialect, column, ends->first, ends->second, sql);
}

void AppendDatesBetween(const CDBType &dialect, std::u16string_view column,
                        std::u16string_view start, std::u16string_view end, std::u16string &sql) {
  sql.append(u" AND ").append(column).append(u" BETWEEN ");
  sql.append(SqlDateValue(dialect, start)).append(u" AND ");
  sql.append(SqlDateValue(dialect, end));
}

}  // namespace korvalis
