#include "foundation/data/query_statements.h"

#include <string>

#include "foundation/calls/emr_exception.h"
#include "foundation/data/database_error.h"
#include "platform/db/sql_parser.h"
#include "platform/text/unicode.h"

namespace korvalis {

void CheckQueryStatement(std::u16string_view sql, std::u16string_view refusal) {
  if (db::sql::IsOtherThanQuery(ToUtf8(sql))) {
    throw CEMRException(std::u16string(refusal) + datasource::QuotedStatement(sql));
  }
}

}  // namespace korvalis
