// The parser of the Oracle SQL statements the system runs: queries (subqueries, inline
// views, set operators, grouping, ordering, window functions), INSERT, UPDATE, DELETE and
// the DDL of the schema, with Oracle's hierarchical queries and (+) outer-join markers.
//
// Thread-safety: a pure function.
#pragma once

#include <string_view>

#include "platform/db/sql_ast.h"

namespace korvalis::db::sql {

// Parses one statement; a trailing ";" is allowed. Throws SqlError naming what is wrong and
// where.
std::unique_ptr<Statement> Parse(std::string_view sql);

// Whether `sql` parses as a statement other than a query (INSERT, UPDATE, DELETE, DDL, COMMIT,
// ROLLBACK). A text that does not parse is not one: no engine runs it.
bool IsOtherThanQuery(std::string_view sql);

}  // namespace korvalis::db::sql
