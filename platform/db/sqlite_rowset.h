// The rows of one prepared statement of the embedded provider, stepped within the deadline the
// statement started with (sqlite_statement_bounds.h), which counts its steps only. A statement leased from the connection's
// cache goes back to its entry when the rowset ends; one run once is finalised. Column names and
// the buffers of numbers are made when first asked for.
//
// Thread-safety: one thread at a time, as its connection.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/db/provider.h"
#include "platform/db/sqlite_statement_bounds.h"
#include "platform/db/statement_cache.h"
#include "platform/db/statement_deadline.h"

struct sqlite3;
struct sqlite3_stmt;

namespace korvalis::db {

class SqliteRowset final : public Rowset {
 public:
  // `lease`: the cache entry `stmt` goes back to; null: the rowset finalises `stmt`.
  // `has_row`: the first step returned a row. `literals`: the statement runs a query's shape,
  // whose column names get these values back; they must outlive the rowset. Null: the names
  // are the statement's own. `bounds` steps the statement within `deadline`.
  SqliteRowset(sqlite3* db, sqlite3_stmt* stmt, StatementCache::Entry* lease, bool has_row,
               const std::vector<std::string>* literals, SqliteStatementBounds* bounds,
               const StatementDeadline& deadline);
  ~SqliteRowset() override;

  // A statement run once keeps the literals of its shape itself.
  void KeepLiterals(std::vector<std::string> literals);

  int ColumnCount() const override { return columns_; }
  const std::string& ColumnName(int column) const override;
  bool Next() override;
  bool IsNull(int column) const override;
  // A column of the schema declared BLOB may hold a value written as text; an expression has
  // no declared type, so its value's own type tells.
  bool IsBlob(int column) const override;
  long long ChangedRows() const override { return -1; }
  std::string_view Text(int column) const override;

 private:
  void NameColumns() const;
  // The column's buffer for the text of a number, emptied.
  std::string& Buffer(int column) const;

  sqlite3* db_;
  sqlite3_stmt* stmt_;
  SqliteStatementBounds* bounds_;
  StatementDeadline deadline_;
  StatementCache::Entry* lease_;
  bool pending_row_;
  bool done_;
  int columns_;
  const std::vector<std::string>* literals_;
  std::vector<std::string> own_literals_;
  mutable std::vector<std::string> names_;
  mutable std::vector<std::string> buffers_;
};

}  // namespace korvalis::db
