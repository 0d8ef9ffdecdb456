// Translates one Oracle SQL statement into SQLite SQL with Oracle's results: the rewriter
// and printer of the front end. It works on the syntax tree (never on the text), resolves
// column types from the catalog to choose between native operators and the functions that
// give Oracle's semantics (oracle_functions.h), and refuses with a message naming the
// construct whatever it cannot translate exactly.
//
// Thread-safety: Translate is reentrant; the catalog must not change while it runs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/db/catalog.h"
#include "platform/db/sql_ast.h"

namespace korvalis::db {

struct Translation {
  sql::StatementKind kind;
  // SQLite statements to run in order, as one unit; the rows of the last one are the result.
  std::vector<std::string> statements;
  bool changes_schema = false;  // DDL: the catalog must be reloaded afterwards
};

// Throws SqlError (syntax, unknown function, construct not supported).
Translation Translate(std::string_view oracle_sql, const Catalog& catalog);

// The statements of a BLOB write: the query must select one column of a single table (with or
// without an alias) and finds the row to change.
struct BlobStatement {
  std::string rowid_sql;  // SELECT <alias>.rowid ... LIMIT 1
  std::string update_sql; // UPDATE <table> SET <column> = ?1 WHERE rowid = ?2
};
BlobStatement TranslateBlobSelect(std::string_view oracle_sql, const Catalog& catalog);

}  // namespace korvalis::db
