// Translates one Oracle SQL statement into the SQL of an engine (SQLite or PostgreSQL) with
// Oracle's results: the rewriter and the printers of the front end. It works on the syntax tree
// (never on the text), resolves column types from the catalog to choose between native operators
// and the functions that give Oracle's semantics (oracle_functions.h), and refuses with a message
// naming the construct whatever it cannot translate exactly.
//
// Thread-safety: Translate is reentrant; the catalog must not change while it runs.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/catalog.h"
#include "platform/db/sql_ast.h"

namespace korvalis::db {

// The engine a translation is printed for. Both printers read the same rewritten syntax tree;
// the PostgreSQL printer calls the functions of postgres_functions.h where SQLite's are
// registered on the connection.
enum class Engine { kSqlite, kPostgres };

struct Translation {
  sql::StatementKind kind;
  // Statements to run in order, as one unit; the rows of the last one are the result.
  std::vector<std::string> statements{};
  bool changes_schema = false;  // DDL: the catalog must be reloaded afterwards
  // PostgreSQL: the statement reads SYSDATE, which the provider sets from the database clock.
  bool reads_sysdate = false;
  // The query's one row is the database clock's time alone, as DATE text: SYSDATE, or
  // TO_CHAR(SYSDATE, 'YYYY-MM-DD HH24:MI:SS'), from DUAL. A server provider answers it itself.
  bool reads_clock_only = false;
  // A query's result column names as Oracle reports them (PostgreSQL shortens long names);
  // empty where a star stands for columns the catalog does not describe.
  std::vector<std::string> column_names{};
  // A query FOR UPDATE: the provider takes the writers' turn for the transaction before the
  // query runs, as before a first write (row_lock.h). The statements print no FOR UPDATE.
  std::optional<RowLock> row_lock{};
};

// Throws SqlError (syntax, unknown function, construct not supported).
Translation Translate(std::string_view oracle_sql, const Catalog& catalog,
                      Engine engine = Engine::kSqlite);

// The statements of a BLOB write: the query must select one column of a single table (with or
// without an alias) and finds the row to change.
struct BlobStatement {
  std::string rowid_sql;   // SELECT <alias>.rowid ... LIMIT 1 (PostgreSQL: ctid)
  std::string update_sql;  // UPDATE <table> SET <column> = ?1 WHERE rowid = ?2 ($1, ctid = $2)
  std::optional<RowLock> row_lock{};  // the query's FOR UPDATE: how the write waits for its turn
};
BlobStatement TranslateBlobSelect(std::string_view oracle_sql, const Catalog& catalog,
                                  Engine engine = Engine::kSqlite);

}  // namespace korvalis::db
