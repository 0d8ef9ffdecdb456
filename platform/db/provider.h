// The provider interface through which the data sources reach a database: open from an
// initialisation string, run one Oracle SQL statement, read its rows forward as text with a
// NULL status, read and write a BLOB, and run the statements of one call in a transaction.
// Every failure is a DbError carrying a result code and a description.
//
// Thread-safety: a Connection and its Rowsets belong to one thread at a time. Connections
// are pooled per initialisation string (connection_pool.h); the pool is thread-safe.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/db/sql_error.h"

namespace korvalis::db {

// How long one statement may run when the initialisation string's Command Timeout does not
// say: long enough for a hospital's monthly statistics over its data, short enough that a
// statement that runs away is ended within minutes.
inline constexpr std::chrono::seconds kDefaultCommandTimeout{300};

// The most that the rows of one statement may hold in the process, in the rowset that receives
// them or the reader that keeps them: far above any list or document the system answers, and
// low enough that the process stays well under 1.5 GB with the copies the caller makes of them.
// A statement without end (a join without its condition) is stopped there instead of filling
// the process's memory before Command Timeout ends it.
inline constexpr std::size_t kMaxHeldRowBytes = std::size_t{256} << 20;

// The failure of a statement stopped because its rows would hold more than `bound` bytes.
inline DbError HeldRowsExceeded(std::size_t bound = kMaxHeldRowBytes) {
  return DbError(kProviderFailed,
                 "ORA-04030: out of process memory when trying to allocate: the rows read would "
                 "hold more than " + std::to_string(bound >> 20) +
                     " MiB; the statement was stopped");
}

// The rows of one statement, read forward.
class Rowset {
 public:
  virtual ~Rowset() = default;

  // 0 for a statement that returns no rows (INSERT, UPDATE, DDL ...).
  virtual int ColumnCount() const = 0;
  // The column's name as Oracle reports it: unquoted names and aliases in upper case.
  virtual const std::string& ColumnName(int column) const = 0;

  // Moves to the next row; false after the last. Throws DbError when fetching fails.
  virtual bool Next() = 0;

  // Precondition for both: Next() returned true, 0 <= column < ColumnCount().
  virtual bool IsNull(int column) const = 0;
  // The value as UTF-8 text: numbers as plain decimals, dates as "YYYY-MM-DD HH:MM:SS", BLOBs
  // as their bytes, NULL as empty text. Valid until the next call of Next() or the rowset's end.
  virtual std::string_view Text(int column) const = 0;
  // Whether the value is a BLOB's bytes (of a BLOB column or expression) rather than text, a
  // number or a date.
  virtual bool IsBlob(int column) const = 0;

  // For an INSERT, UPDATE or DELETE: how many rows it inserted, updated or deleted. -1 for any
  // other statement (a query, DDL, TRUNCATE, COMMIT ...).
  virtual long long ChangedRows() const = 0;
};

// What a BLOB read found: no row, a NULL value, or bytes (possibly none).
struct BlobValue {
  enum State { kNoRow, kNull, kBytes } state = kNoRow;
  std::string bytes;
};

class Connection {
 public:
  virtual ~Connection() = default;

  // Runs one statement (Oracle SQL; COMMIT and ROLLBACK included, refused inside a subordinate
  // transaction). The returned rowset must
  // end before the connection's next Begin, Commit or Rollback and before the connection
  // itself. Throws DbError.
  virtual std::unique_ptr<Rowset> Execute(std::string_view sql) = 0;
  // Runs a query whose reader may stop early (rows held to a bound): inside a transaction its
  // rows are received as they are read, never all before the first, so that rows the reader
  // never reads are never held; a rowset that ends before its last row ends the query, so that
  // they are not computed further either. The connection may run other statements (and Begin,
  // Commit, Rollback) while the rowset is read: the rows not yet read are then received into
  // the rowset first, which reads on to its end (and fails where the query fails). Any other
  // statement, and any statement outside a transaction, runs as Execute runs it. Throws
  // DbError. A provider whose writers' turn would be held while the reader reads, with no way
  // for the turn's idle bound to end a reader that stalls, runs the query as Execute runs it in
  // a transaction that holds or takes the turn.
  virtual std::unique_ptr<Rowset> ExecuteStreamed(std::string_view sql) { return Execute(sql); }

  // Reads the first column of the first row of the query `sql` (any query: joins, views and
  // inline views included). Throws DbError, also for a statement that is not a query.
  virtual BlobValue ReadBlob(std::string_view sql) = 0;
  // `sql` selects one column of a single table (with or without alias); writes `bytes`
  // (nullopt: NULL) into that column of the query's first row; false when the query finds no
  // row.
  virtual bool WriteBlob(std::string_view sql, std::optional<std::string_view> bytes) = 0;

  // Transactions. A writing transaction takes the database's write lock at its start, so that
  // values read in it (MAX(ID) + 1) stay valid until it ends; a reading one does not block
  // other readers or the writer. The first write (DML, TRUNCATE, DDL) of a reading transaction
  // that has only read ends the reading part (it holds nothing) and goes on as a writing
  // transaction: the write waits for the write lock and sees the world as the writers before
  // it left it. A query FOR UPDATE takes the write lock as a first write does, waiting for it
  // as it says (row_lock.h). Statements outside a transaction commit one by one.
  enum class TransactionMode { kReading, kWriting };
  virtual void Begin(TransactionMode mode) = 0;
  // Begins a transaction that belongs to a caller sharing this connection (a call's
  // transaction): only Commit() and Rollback() end it; COMMIT and ROLLBACK statements fail
  // with ORA-02089 instead, so that no statement can split the caller's work.
  virtual void BeginSubordinate(TransactionMode mode) = 0;
  virtual void Commit() = 0;
  virtual void Rollback() = 0;
  virtual bool InTransaction() const = 0;

  // How long one statement may run, from its start until its rows end or it is closed (the
  // initialisation string's Command Timeout); zero: no bound. A statement that runs longer is
  // cancelled in the engine and fails with ORA-01013 naming the bound.
  virtual std::chrono::seconds CommandTimeout() const = 0;
  // How long a transaction that holds the writers' turn may stay idle between its statements
  // before the engine ends it and undoes its work; zero: no bound (the file has none).
  virtual std::chrono::seconds IdleTransactionTimeout() const { return std::chrono::seconds{0}; }
  // Whether the open transaction holds the database's writers' turn: it wrote, or began as a
  // writing transaction. Other writers wait for it meanwhile.
  virtual bool HoldsWritersTurn() const = 0;

  // False when the connection is known to be lost (a server connection the server closed
  // while it was idle) or holds more memory than it should keep while idle; a pool keeps and
  // hands out no such connection.
  virtual bool Alive() { return true; }
};

}  // namespace korvalis::db
