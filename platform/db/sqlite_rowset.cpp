#include "platform/db/sqlite_rowset.h"

#include <sqlite3.h>

#include <cstring>

#include "platform/db/ora_number.h"
#include "platform/db/sqlite_errors.h"
#include "platform/db/statement_shape.h"
#include "platform/db/stored_names.h"

namespace korvalis::db {

SqliteRowset::SqliteRowset(sqlite3* db, sqlite3_stmt* stmt, StatementCache::Entry* lease,
                           bool has_row, const std::vector<std::string>* literals,
                           SqliteStatementBounds* bounds, const StatementDeadline& deadline)
    : db_(db),
      stmt_(stmt),
      bounds_(bounds),
      deadline_(deadline),
      lease_(lease),
      pending_row_(has_row),
      done_(!has_row),
      columns_(sqlite3_column_count(stmt)),
      literals_(literals) {}

SqliteRowset::~SqliteRowset() {
  if (lease_) {
    StatementCache::Return(lease_);
  } else {
    sqlite3_finalize(stmt_);
  }
}

void SqliteRowset::KeepLiterals(std::vector<std::string> literals) {
  own_literals_ = std::move(literals);
  literals_ = &own_literals_;
}

const std::string& SqliteRowset::ColumnName(int column) const {
  if (names_.empty()) NameColumns();
  return names_[static_cast<size_t>(column)];
}

bool SqliteRowset::Next() {
  if (done_) return false;
  if (pending_row_) {
    pending_row_ = false;
    return true;
  }
  int rc = bounds_->Step(stmt_, deadline_);
  if (rc == SQLITE_ROW) return true;
  done_ = true;
  if (rc == SQLITE_DONE) return false;
  throw ErrorFromSqlite(db_, rc, stmt_);
}

bool SqliteRowset::IsNull(int column) const {
  return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

bool SqliteRowset::IsBlob(int column) const {
  if (sqlite3_column_type(stmt_, column) == SQLITE_BLOB) return true;
  const char* declared = sqlite3_column_decltype(stmt_, column);
  return declared != nullptr && std::strcmp(declared, "BLOB") == 0;
}

// The column's value is read once and asked for its type and text: each column call of its own
// would look the column up again.
std::string_view SqliteRowset::Text(int column) const {
  sqlite3_value* value = sqlite3_column_value(stmt_, column);
  switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER: {
      std::string& b = Buffer(column);
      AppendInteger(sqlite3_value_int64(value), &b);
      return b;
    }
    case SQLITE_FLOAT: {
      std::string& b = Buffer(column);
      AppendNumber(sqlite3_value_double(value), &b);
      return b;
    }
    case SQLITE_BLOB: {
      const void* p = sqlite3_value_blob(value);
      int n = sqlite3_value_bytes(value);
      return p ? std::string_view(static_cast<const char*>(p), static_cast<size_t>(n))
               : std::string_view();
    }
    case SQLITE_NULL:
      return std::string_view();
    default: {
      const unsigned char* p = sqlite3_value_text(value);
      int n = sqlite3_value_bytes(value);
      return p ? std::string_view(reinterpret_cast<const char*>(p), static_cast<size_t>(n))
               : std::string_view();
    }
  }
}

void SqliteRowset::NameColumns() const {
  names_.reserve(static_cast<size_t>(columns_));
  for (int i = 0; i < columns_; ++i) {
    const char* stored = sqlite3_column_name(stmt_, i);
    if (stored == nullptr) {
      names_.emplace_back();
      continue;
    }
    const std::string_view name = OracleNameOf(stored);
    if (literals_ != nullptr) {
      names_.push_back(ColumnNameWithValues(name, *literals_));
    } else {
      names_.emplace_back(name);
    }
  }
}

std::string& SqliteRowset::Buffer(int column) const {
  if (buffers_.empty()) buffers_.resize(static_cast<size_t>(columns_));
  std::string& b = buffers_[static_cast<size_t>(column)];
  b.clear();
  return b;
}

}  // namespace korvalis::db
