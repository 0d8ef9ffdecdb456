// What the providers' connections share: which statements write, the rows of a statement that
// returns none, the shape of the text run last (scanned once however often it runs again), and
// COMMIT and ROLLBACK written as statements.
//
// Thread-safety: a ShapeMemo belongs to its connection's thread.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/db/provider.h"
#include "platform/db/sql_translator.h"
#include "platform/db/statement_shape.h"

namespace korvalis::db {

// Whether a statement of `kind` tells how many rows it changed (Rowset::ChangedRows).
inline bool CountsChangedRows(sql::StatementKind kind) {
  return kind == sql::StatementKind::kInsert || kind == sql::StatementKind::kUpdate ||
         kind == sql::StatementKind::kDelete;
}

// Whether `t` writes: DML, TRUNCATE or DDL.
inline bool Writes(const Translation& t) {
  return t.changes_schema || CountsChangedRows(t.kind) || t.kind == sql::StatementKind::kTruncate;
}

// The rowset of a statement that returns no rows: of a DML statement, with the rows it changed.
class EmptyRowset final : public Rowset {
 public:
  explicit EmptyRowset(long long changed_rows = -1) : changed_rows_(changed_rows) {}
  int ColumnCount() const override { return 0; }
  const std::string& ColumnName(int) const override {
    static const std::string& kNone = *new std::string;
    return kNone;
  }
  bool Next() override { return false; }
  bool IsNull(int) const override { return true; }
  std::string_view Text(int) const override { return {}; }
  bool IsBlob(int) const override { return false; }
  long long ChangedRows() const override { return changed_rows_; }

 private:
  long long changed_rows_;
};

// The rowset of one row of one text value that the provider knows without the database.
class ValueRowset final : public Rowset {
 public:
  ValueRowset(std::string column_name, std::string value)
      : column_name_(std::move(column_name)), value_(std::move(value)) {}
  int ColumnCount() const override { return 1; }
  const std::string& ColumnName(int) const override { return column_name_; }
  bool Next() override { return !read_ && (read_ = true); }
  bool IsNull(int) const override { return false; }
  std::string_view Text(int) const override { return value_; }
  bool IsBlob(int) const override { return false; }
  long long ChangedRows() const override { return -1; }

 private:
  std::string column_name_;
  std::string value_;
  bool read_ = false;
};

// The shapes of the last few texts run, so that texts run again and again (a call's clock
// query and its list, in turn) are scanned once.
class ShapeMemo {
 public:
  // The shape of `sql` (ShapeQuery), or null. Valid until the next call.
  const StatementShape* ShapeOf(std::string_view sql) {
    for (Entry& entry : entries_) {
      if (entry.known && entry.text == sql) return entry.shape ? &*entry.shape : nullptr;
    }
    Entry& entry = entries_[next_];
    next_ = (next_ + 1) % kEntries;
    entry.known = false;
    entry.shape = ShapeQuery(sql);
    entry.text.assign(sql);
    entry.known = true;
    return entry.shape ? &*entry.shape : nullptr;
  }

 private:
  static constexpr std::size_t kEntries = 4;
  struct Entry {
    std::string text;
    std::optional<StatementShape> shape;
    bool known = false;
  };
  std::array<Entry, kEntries> entries_;
  std::size_t next_ = 0;
};

// COMMIT and ROLLBACK written as statements: they end `connection`'s transaction (of `mode`)
// and begin a new one; outside a transaction they do nothing; in a subordinate transaction
// they fail with ORA-02089. Null for any other statement.
std::unique_ptr<Rowset> RunTransactionControl(Connection& connection, const Translation& t,
                                              bool subordinate, Connection::TransactionMode mode);

}  // namespace korvalis::db
