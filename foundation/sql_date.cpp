#include "foundation/sql_date.h"

#include "foundation/db_type.h"
#include "foundation/sql_text.h"
#include "foundation/string_util.h"
#include "platform/com/unicode.h"
#include "platform/db/ora_date.h"

namespace korvalis {

bool IsSqlDate(std::u16string_view value) {
  return db::ParseDefaultDate(ToUtf8(value)).has_value();
}

std::u16string SqlDateValue(const CDBType &dialect, std::u16string_view value) {
  return dialect.ToDate(SqlEscaped(value), false);
}

void AppendDateSpan(const CDBType &dialect, std::u16string_view span, std::u16string_view opening,
                    std::u16string_view middle, std::u16string &sql) {
  // Empty pieces are skipped, as the span's parts are read everywhere.
  std::vector<std::u16string> pieces;
  SplitByChars(span, std::u16string_view(&kTimeSpanSeparator, 1), pieces);
  if (pieces.size() != 2) return;
  sql.append(opening).append(SqlDateValue(dialect, pieces[0]));
  sql.append(middle).append(SqlDateValue(dialect, pieces[1])).append(u" AND ");
}

}  // namespace korvalis
