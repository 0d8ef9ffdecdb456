// The rows of a query on the PostgreSQL server held in the client, counted against a bound.
//
// Thread-safety: one thread at a time, as the connection whose rows they are.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

struct pg_result;

namespace korvalis::db {

// Clears a libpq result (PQclear).
void ClearResult(pg_result* result);

// The rows of a query copied out of libpq's results as they arrive: one buffer of every
// cell's text (each followed by a NUL; a BYTEA's as its bytes), each cell's end in it, and
// each cell's NULL flag, a few bytes a cell beyond its text. What they hold, counted as they
// grow, never passes the bound the rows were given.
class PostgresHeldRows {
 public:
  // A bound past what 32-bit cell ends reach is held to the most they reach.
  explicit PostgresHeldRows(size_t bound) : bound_(std::min<size_t>(bound, UINT32_MAX)) {}

  // Appends row `row` of `result`; false, keeping nothing of it, when the rows would then hold
  // more than the bound. Throws DbError when a BYTEA value cannot be decoded.
  bool Append(const pg_result* result, int row);
  // The single-row result of the row that Append refused, taken as it stands (it is not
  // copied); null until then.
  void KeepRefusedRow(pg_result* row) { refused_row_.reset(row); }
  pg_result* refused_row() const { return refused_row_.get(); }
  std::unique_ptr<pg_result, void (*)(pg_result*)> TakeRefusedRow() {
    return std::move(refused_row_);
  }
  size_t bound() const { return bound_; }
  size_t CellCount() const { return ends_.size(); }
  bool IsNull(size_t cell) const { return nulls_[cell]; }
  // The cell's text (a BYTEA's bytes), followed by a NUL. Precondition: cell < CellCount().
  std::string_view Cell(size_t cell) const;

 private:
  size_t bound_;
  std::vector<char> values_;
  std::vector<uint32_t> ends_;  // where each cell's NUL ends
  std::vector<bool> nulls_;
  std::unique_ptr<pg_result, void (*)(pg_result*)> refused_row_{nullptr, &ClearResult};
};

}  // namespace korvalis::db
