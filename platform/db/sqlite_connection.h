// The embedded provider: one SQLite connection that runs Oracle SQL through the front end.
// Opened in WAL mode with a busy timeout, case-sensitive LIKE, foreign keys enforced, a page
// cache and memory mapping, double-quoted names never read as strings, and the functions of
// oracle_functions.h. A statement text met again keeps its prepared statement; COMMIT and
// ROLLBACK written as statements end the work so far and go on in a new transaction, except in
// a subordinate transaction, which refuses them. Every statement runs within its Command
// Timeout and the process's memory bound for SQLite (sqlite_statement_bounds.h).
//
// Thread-safety: one thread at a time (see provider.h).
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "platform/db/connection_support.h"
#include "platform/db/embedded_database.h"
#include "platform/db/provider.h"
#include "platform/db/sqlite_errors.h"
#include "platform/db/sqlite_statement_bounds.h"
#include "platform/db/statement_cache.h"
#include "platform/db/statement_shape.h"

struct sqlite3;
struct sqlite3_stmt;

namespace korvalis::db {

class SqliteConnection final : public Connection {
 public:
  // Opens the database, which must exist (see CreateDatabase in connection_pool.h); creates
  // the metadata tables when they are missing. A database that cannot be written opens
  // read-only: it answers queries, and its writes fail with ORA-16000. Throws DbError
  // (kCannotConnect).
  // `command_timeout` bounds each statement (zero: no bound).
  explicit SqliteConnection(std::shared_ptr<EmbeddedDatabase> database,
                            std::chrono::seconds command_timeout = kDefaultCommandTimeout);
  ~SqliteConnection() override;
  SqliteConnection(const SqliteConnection&) = delete;
  SqliteConnection& operator=(const SqliteConnection&) = delete;

  std::unique_ptr<Rowset> Execute(std::string_view sql) override;
  BlobValue ReadBlob(std::string_view sql) override;
  bool WriteBlob(std::string_view sql, std::optional<std::string_view> bytes) override;
  void Begin(TransactionMode mode) override;
  void BeginSubordinate(TransactionMode mode) override;
  void Commit() override;
  void Rollback() override;
  bool InTransaction() const override;
  std::chrono::seconds CommandTimeout() const override;
  bool HoldsWritersTurn() const override;

  // Copies every write of the file's log into the database file and syncs it, so that the
  // file alone holds all that is committed (a copy of it is a whole database); the log stays
  // and is reused. Neither waits nor takes a lock that another connection holds: a write of
  // another connection still open, or the log being read by an older snapshot, leaves pages
  // behind. Throws DbError with the engine's reason (a full disk, a failed write) and, for
  // pages left behind, saying so. Does nothing on a database that cannot be written or lives
  // in memory. Precondition: no transaction of this connection is open.
  void MoveLogIntoFile();

  const EmbeddedDatabase& database() const { return *database_; }
  bool read_only() const { return read_only_; }

 private:
  // Runs `sql`; with `shape`, `sql` is the shape's text and its markers take the shape's
  // values. Null when the shape cannot run (its translation used a value, or does not
  // prepare): the query's own text must run then.
  std::unique_ptr<Rowset> Run(std::string_view sql, const StatementShape* shape);
  // The translation of `sql`; null when `shape` is given and the shape cannot run as one
  // plain query.
  std::shared_ptr<const Translation> TranslateFor(std::string_view sql, const StatementShape* shape,
                                                  bool* seen_before);
  // DDL, and statements translated to several: run as one unit.
  std::unique_ptr<Rowset> RunUnit(const Translation& t);
  // The prepared statement of `sqlite_sql`, its shape's markers numbered; null when a shape's
  // text does not prepare.
  sqlite3_stmt* PrepareFor(const std::string& sqlite_sql, const StatementShape* shape, bool keep);
  std::unique_ptr<Rowset> RunCached(StatementCache::Entry* cached, const StatementShape* shape);
  // The name SQLite opens; decides read_only_. Throws DbError for a file that does not exist.
  std::string OpenName();
  void Configure();
  sqlite3_stmt* Prepare(const std::string& sqlite_sql, bool keep);
  std::unique_ptr<Rowset> RunOnce(sqlite3_stmt* stmt, const StatementShape* shape,
                                  bool counts_changes);
  void RunScript(const Translation& t);
  // Before a write in a reading transaction that has only read so far: ends the reading part
  // (it holds nothing) and begins a writing transaction, which waits for the file's write lock
  // like any writer. A read transaction cannot wait for that lock, and its snapshot may be
  // older than the last writer's commit; the write and all after it see the world as the
  // lock leaves it. A statement still being read keeps its snapshot: the write then runs in
  // the reading transaction as it stands.
  void BecomeWriterBeforeWrite();
  // Before a query FOR UPDATE: takes the write lock for the transaction as a first write does,
  // waiting for it as `lock` says; outside a transaction the query waits for the writer ahead
  // and reads after it. Throws DbError: `lock`'s expired message when the lock is not had in
  // time, ORA-16000 for a database that cannot be written.
  void LockForQuery(const RowLock& lock);
  void RunPlain(const char* sql);
  // Throws ORA-02091 while the transaction begun by Begin is one the engine rolled back under
  // its caller: SQLite undoes the whole transaction when it interrupts a write (Command
  // Timeout, the memory bound) or runs out of memory. Its caller's later statements would
  // otherwise commit one by one, and its commit answer success for undone work; only Rollback,
  // or a Commit that fails, ends it.
  void RefuseUndoneTransaction();
  // The statements that begin and commit every call's transaction, prepared once.
  enum TransactionStatement { kBeginReading, kBeginWriting, kCommit, kTransactionStatements };
  void RunKept(TransactionStatement which, const char* sql);
  [[noreturn]] void Fail(int rc);

  std::shared_ptr<EmbeddedDatabase> database_;
  sqlite3* db_ = nullptr;
  std::chrono::seconds command_timeout_;
  std::unique_ptr<SqliteStatementBounds> bounds_;  // while db_ is open
  bool read_only_ = false;
  TransactionMode mode_ = TransactionMode::kReading;
  // The translations of the open transaction once it changed the schema, against the schema as
  // it sees it: other connections meanwhile read the shared catalog as committed, without what
  // this transaction made. Dropped when it ends; a commit makes every connection read again.
  std::unique_ptr<TranslationCache> transaction_translations_;
  // The open transaction was begun by BeginSubordinate.
  bool subordinate_ = false;
  // Begin ran, and neither Commit nor Rollback since.
  bool begun_ = false;
  sqlite3_stmt* transaction_statements_[kTransactionStatements] = {};
  ShapeMemo shapes_;
  // Prepared statements of the texts run more than once.
  StatementCache statements_{kMaxCachedStatements};
  static constexpr size_t kMaxCachedStatements = 256;
};

}  // namespace korvalis::db
