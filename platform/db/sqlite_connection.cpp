#include "platform/db/sqlite_connection.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/db/connection_support.h"
#include "platform/db/oracle_functions.h"
#include "platform/db/sqlite_file_access.h"
#include "platform/db/sqlite_rowset.h"
#include "platform/db/stored_names.h"
#include "platform/text/hex.h"

namespace korvalis::db {
namespace {

constexpr int kBusyTimeoutMs = 30000;

DbError TransactionUndone() {
  return DbError(kProviderFailed,
                 "ORA-02091: transaction rolled back: the database undid the whole transaction "
                 "when a write of it failed; nothing of it is committed");
}

// Binds the values of a shape's markers, ?1 onwards: SQLite keeps copies, or with
// `outlive_run` reads `values` in place (they must stay unchanged until the statement is reset).
void BindValues(sqlite3_stmt* stmt, const std::vector<std::string>& values,
                bool outlive_run = false) {
  for (std::size_t k = 0; k < values.size(); ++k) {
    sqlite3_bind_text64(stmt, static_cast<int>(k + 1), values[k].data(), values[k].size(),
                        outlive_run ? SQLITE_STATIC : SQLITE_TRANSIENT, SQLITE_UTF8);
  }
}

// Finalises a statement on every path.
struct StatementGuard {
  sqlite3_stmt* stmt = nullptr;
  ~StatementGuard() { sqlite3_finalize(stmt); }
};

// The path as the file name of an SQLite URI: the characters a URI gives a meaning escaped.
std::string UriFileName(const std::string& path) {
  // An absolute path follows an empty authority, so that "//x" is never read as a host.
  std::string uri = path.starts_with('/') ? "file://" : "file:";
  for (unsigned char c : path) {
    if (c == '%' || c == '?' || c == '#' || c < 0x20) {
      uri.push_back('%');
      AppendHexByte(uri, c, HexLetters::kCapital);
    } else {
      uri.push_back(static_cast<char>(c));
    }
  }
  return uri;
}

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

// The size of the file at `path`; nullopt when there is none.
std::optional<off_t> SizeOf(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return st.st_size;
}

// The WAL files beside a database as an open found them, so that an open that fails (on a full
// disk) removes what it made and nobody used: a log never written to and an index never sized
// (SQLite sizes it to 32 KiB before any connection uses it, and leaves 3 bytes when it cannot).
class WalFilesBeforeOpen {
 public:
  explicit WalFilesBeforeOpen(const std::string& path)
      : path_(path), had_log_(Exists(path + "-wal")), had_index_(Exists(path + "-shm")) {}
  // Precondition: the failed open's connection is closed.
  void RemoveUnused() const {
    const std::optional<off_t> log = SizeOf(path_ + "-wal");
    const std::optional<off_t> index = SizeOf(path_ + "-shm");
    if ((log && (had_log_ || *log > 0)) || (index && (had_index_ || *index > 3))) return;
    if (log) ::unlink((path_ + "-wal").c_str());
    if (index) ::unlink((path_ + "-shm").c_str());
  }

 private:
  std::string path_;
  bool had_log_;
  bool had_index_;
};

}  // namespace

// A file database is opened, never created (only CreateDatabase makes one). One that cannot be
// written (a read-only file, medium or folder) is opened read-only; where no WAL index can be
// shared either, nothing can be writing it, and it is read as immutable.
std::string SqliteConnection::OpenName() {
  if (database_->in_memory()) return database_->open_name();
  const std::string& path = database_->path();
  if (!Exists(path)) {
    throw DbError(kCannotConnect, "the database '" + path +
                                      "' does not exist; databases are created by korvalis initdb");
  }
  const FileOpening opening = FileOpeningOf(path);
  read_only_ = opening != FileOpening::kWrite;
  if (opening == FileOpening::kRead) return UriFileName(path) + "?mode=ro";
  if (opening == FileOpening::kImmutable) return UriFileName(path) + "?mode=ro&immutable=1";
  return UriFileName(path);
}

SqliteConnection::SqliteConnection(std::shared_ptr<EmbeddedDatabase> database,
                                   std::chrono::seconds command_timeout)
    : database_(std::move(database)), command_timeout_(command_timeout) {
  const std::string name = OpenName();
  const WalFilesBeforeOpen wal_files(database_->in_memory() ? std::string() : database_->path());
  const int flags = (read_only_ ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) |
                    SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI |
                    (database_->in_memory() ? SQLITE_OPEN_CREATE : 0);
  int rc = sqlite3_open_v2(name.c_str(), &db_, flags, nullptr);
  if (rc != SQLITE_OK) {
    std::string message = db_ ? ErrorFromSqlite(db_, rc).what() : "out of memory";
    sqlite3_close(db_);
    db_ = nullptr;
    if (!database_->in_memory()) wal_files.RemoveUnused();
    throw DbError(kCannotConnect,
                  "cannot open the database '" + database_->path() + "': " + message);
  }
  // SQLite falls back to reading when the file turns out not to be writable.
  if (sqlite3_db_readonly(db_, "main") == 1) read_only_ = true;
  sqlite3_extended_result_codes(db_, 1);
  bounds_ = std::make_unique<SqliteStatementBounds>(db_, command_timeout_, kBusyTimeoutMs);
  // Double-quoted names are names, never string literals.
  sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
  sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
  rc = RegisterEmbeddedFunctions(db_);
  try {
    if (rc != SQLITE_OK) throw ErrorFromSqlite(db_, rc);
    Configure();
  } catch (const DbError& e) {
    bounds_.reset();
    sqlite3_close(db_);
    db_ = nullptr;
    if (!database_->in_memory()) wal_files.RemoveUnused();
    throw DbError(kCannotConnect, e.what());
  }
}

void SqliteConnection::Configure() {
  if (!database_->in_memory() && !read_only_) RunPlain("PRAGMA journal_mode=WAL");
  RunPlain("PRAGMA synchronous=FULL");
  RunPlain("PRAGMA foreign_keys=ON");
  // No case_sensitive_like: the pragma would put the engine's own LIKE back in place of ours
  // (like_pattern.h), which is case-sensitive already.
  RunPlain("PRAGMA cache_size=-16384");
  RunPlain("PRAGMA mmap_size=268435456");
  RunPlain("PRAGMA temp_store=MEMORY");
  // A database that cannot be written keeps the metadata tables it has.
  if (read_only_) return;
  char* error = nullptr;
  const int rc = sqlite3_exec(db_, CatalogBootstrapSql(), nullptr, nullptr, &error);
  if (rc != SQLITE_OK) {
    std::string message = error ? error : "unknown error";
    sqlite3_free(error);
    throw DbError(kCannotConnect,
                  "cannot prepare the database '" + database_->path() + "': " + message);
  }
  try {
    MarkNamesWhereNoneIsKept(db_);
  } catch (const DbError& e) {
    throw DbError(kCannotConnect,
                  "cannot prepare the database '" + database_->path() + "': " + e.what());
  }
}

SqliteConnection::~SqliteConnection() {
  statements_.Clear();
  for (sqlite3_stmt* stmt : transaction_statements_) sqlite3_finalize(stmt);
  if (db_ && !sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  bounds_.reset();
  sqlite3_close_v2(db_);
}

void SqliteConnection::RefuseUndoneTransaction() {
  if (begun_ && !InTransaction()) throw TransactionUndone();
}

void SqliteConnection::RunPlain(const char* sql) {
  int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) throw ErrorFromSqlite(db_, rc);
}

void SqliteConnection::RunKept(TransactionStatement which, const char* sql) {
  sqlite3_stmt*& stmt = transaction_statements_[which];
  if (stmt == nullptr) {
    const int rc = sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
    if (rc != SQLITE_OK) {
      sqlite3_finalize(stmt);
      stmt = nullptr;
      Fail(rc);
    }
  }
  const int rc = sqlite3_step(stmt);
  if (rc != SQLITE_DONE) {
    DbError e = ErrorFromSqlite(db_, rc, stmt);
    sqlite3_reset(stmt);
    throw e;
  }
  sqlite3_reset(stmt);
}

void SqliteConnection::Fail(int rc) { throw ErrorFromSqlite(db_, rc); }

sqlite3_stmt* SqliteConnection::Prepare(const std::string& sqlite_sql, bool keep) {
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v3(db_, sqlite_sql.c_str(), static_cast<int>(sqlite_sql.size()),
                              keep ? SQLITE_PREPARE_PERSISTENT : 0, &stmt, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(stmt);
    Fail(rc);
  }
  return stmt;
}

// Runs the statements of a translation as one unit: all or none. Outside a transaction the
// unit takes the write lock first (waiting for it like any writer), so that a writer that
// committed after the unit began reading cannot make it fail.
void SqliteConnection::RunScript(const Translation& t) {
  const bool own = !InTransaction();
  if (!own && Writes(t)) BecomeWriterBeforeWrite();
  RunPlain(own ? "BEGIN IMMEDIATE" : "SAVEPOINT korvalis_statement");
  try {
    StatementDeadline deadline = bounds_->Start();
    for (const std::string& s : t.statements) {
      StatementGuard guard;
      int rc = sqlite3_prepare_v2(db_, s.c_str(), static_cast<int>(s.size()), &guard.stmt, nullptr);
      if (rc != SQLITE_OK) Fail(rc);
      while ((rc = bounds_->Step(guard.stmt, deadline)) == SQLITE_ROW) {
      }
      if (rc != SQLITE_DONE) Fail(rc);
    }
  } catch (...) {
    if (own) {
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    } else {
      sqlite3_exec(db_, "ROLLBACK TO korvalis_statement", nullptr, nullptr, nullptr);
      sqlite3_exec(db_, "RELEASE korvalis_statement", nullptr, nullptr, nullptr);
    }
    throw;
  }
  RunPlain(own ? "COMMIT" : "RELEASE korvalis_statement");
}

void SqliteConnection::BecomeWriterBeforeWrite() {
  if (!InTransaction() || mode_ == TransactionMode::kWriting || read_only_) return;
  if (sqlite3_txn_state(db_, nullptr) == SQLITE_TXN_WRITE) return;
  for (sqlite3_stmt* s = sqlite3_next_stmt(db_, nullptr); s; s = sqlite3_next_stmt(db_, s)) {
    if (sqlite3_stmt_busy(s)) return;
  }
  RunKept(kCommit, "COMMIT");
  try {
    RunKept(kBeginWriting, "BEGIN IMMEDIATE");
  } catch (const DbError&) {
    // The write lock was not had in time: the transaction goes on reading, as it was.
    RunKept(kBeginReading, "BEGIN DEFERRED");
    throw;
  }
}

void SqliteConnection::LockForQuery(const RowLock& lock) {
  if (read_only_) {
    throw DbError(kProviderFailed,
                  "ORA-16000: database open for read-only access (a query FOR UPDATE locks rows "
                  "for a write)");
  }
  const bool in_transaction = InTransaction();
  if (in_transaction && sqlite3_txn_state(db_, nullptr) == SQLITE_TXN_WRITE) return;
  struct WaitForLock {
    SqliteStatementBounds* bounds;
    ~WaitForLock() { bounds->SetLockWait(kBusyTimeoutMs); }
  } wait{bounds_.get()};
  bounds_->SetLockWait(lock.WaitMs(kBusyTimeoutMs));
  try {
    if (!in_transaction) {
      // The query's own transaction would end with it: it waits for the writer ahead.
      RunKept(kBeginWriting, "BEGIN IMMEDIATE");
      RunKept(kCommit, "COMMIT");
      return;
    }
    BecomeWriterBeforeWrite();
    // A query whose rows are still being read keeps the reading transaction: the lock is taken
    // in it, as a write takes it there, by a write that changes nothing.
    if (sqlite3_txn_state(db_, nullptr) != SQLITE_TXN_WRITE) {
      RunPlain("DELETE FROM KORVALIS_TABLES WHERE 0 = 1");
    }
  } catch (const DbError& e) {
    if (e.code() == kBusy && lock.ExpiredMessage() && !IsCommandTimedOut(e)) {
      throw DbError(kBusy, lock.ExpiredMessage());
    }
    throw;
  }
}

// Runs a statement that is not kept: its rowset finalises it.
std::unique_ptr<Rowset> SqliteConnection::RunOnce(sqlite3_stmt* stmt, const StatementShape* shape,
                                                  bool counts_changes) {
  if (!sqlite3_stmt_readonly(stmt)) {
    try {
      BecomeWriterBeforeWrite();
    } catch (const DbError&) {
      sqlite3_finalize(stmt);
      throw;
    }
  }
  StatementDeadline deadline = bounds_->Start();
  int rc = bounds_->Step(stmt, deadline);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
    DbError e = ErrorFromSqlite(db_, rc, stmt);
    sqlite3_finalize(stmt);
    throw e;
  }
  if (sqlite3_column_count(stmt) == 0) {
    sqlite3_finalize(stmt);
    return std::make_unique<EmptyRowset>(counts_changes ? sqlite3_changes64(db_) : -1);
  }
  auto rows = std::make_unique<SqliteRowset>(db_, stmt, nullptr, rc == SQLITE_ROW, nullptr,
                                             bounds_.get(), deadline);
  if (shape != nullptr) rows->KeepLiterals(shape->literals);
  return rows;
}

std::unique_ptr<Rowset> SqliteConnection::Execute(std::string_view sql) {
  RefuseUndoneTransaction();
  // Run uses the shape only until it returns: no statement runs another one on this connection.
  if (const StatementShape* shape = shapes_.ShapeOf(sql)) {
    if (std::unique_ptr<Rowset> rows = Run(shape->text, shape)) return rows;
  }
  return Run(sql, nullptr);
}

std::unique_ptr<Rowset> SqliteConnection::Run(std::string_view sql, const StatementShape* shape) {
  const uint64_t generation = database_->generation();
  StatementCache::Entry* cached = statements_.Current(sql, generation);
  if (cached == nullptr) {
    bool seen_before = false;
    std::shared_ptr<const Translation> t = TranslateFor(sql, shape, &seen_before);
    if (!t) return nullptr;
    if (auto done = db::RunTransactionControl(*this, *t, subordinate_, mode_)) return done;
    if (t->statements.size() != 1 || t->changes_schema) return RunUnit(*t);
    // A text met for the first time (most carry their values as literals) runs once; a text
    // met again keeps its prepared statement. A text still being read (a nested query of the
    // same text) gets a statement of its own.
    StatementCache::Entry* known = statements_.Find(sql);
    const bool in_use = known != nullptr && known->leased;
    const bool keep = !in_use && (seen_before || known != nullptr);
    if (!keep && t->row_lock) LockForQuery(*t->row_lock);
    sqlite3_stmt* stmt = PrepareFor(t->statements[0], shape, keep);
    if (stmt == nullptr) return nullptr;
    if (!keep) {
      if (shape != nullptr) BindValues(stmt, shape->values);
      return RunOnce(stmt, shape, CountsChangedRows(t->kind));
    }
    cached = statements_.Keep(sql, stmt, generation);
    cached->counts_changes = CountsChangedRows(t->kind);
    cached->row_lock = t->row_lock;
  }
  return RunCached(cached, shape);
}

std::shared_ptr<const Translation> SqliteConnection::TranslateFor(std::string_view sql,
                                                                  const StatementShape* shape,
                                                                  bool* seen_before) {
  if (shape == nullptr) return database_->Translate(sql, db_, seen_before, transaction_translations_.get());
  // A shape that does not translate to one plain query leaves the text to run as written,
  // which also reports any failure in the text's own words.
  std::shared_ptr<const Translation> t;
  try {
    t = database_->Translate(sql, db_, seen_before, transaction_translations_.get());
  } catch (const DbError&) {
    return nullptr;
  }
  if (t->statements.size() != 1 || t->changes_schema || t->kind == sql::StatementKind::kCommit ||
      t->kind == sql::StatementKind::kRollback) {
    return nullptr;
  }
  return t;
}

std::unique_ptr<Rowset> SqliteConnection::RunUnit(const Translation& t) {
  RunScript(t);
  if (t.changes_schema) {
    database_->SchemaChanged();
    if (InTransaction()) SchemaChangedInTransaction(&transaction_translations_, Engine::kSqlite);
  }
  return std::make_unique<EmptyRowset>();
}

sqlite3_stmt* SqliteConnection::PrepareFor(const std::string& sqlite_sql,
                                           const StatementShape* shape, bool keep) {
  if (shape == nullptr) return Prepare(sqlite_sql, keep);
  std::string bound = sqlite_sql;
  if (!BindMarkers(&bound, shape->values.size())) return nullptr;
  try {
    return Prepare(bound, keep);
  } catch (const DbError&) {
    return nullptr;
  }
}

std::unique_ptr<Rowset> SqliteConnection::RunCached(StatementCache::Entry* cached,
                                                    const StatementShape* shape) {
  sqlite3_stmt* stmt = cached->stmt;
  if (shape != nullptr) {
    // Assigned in place: the entry's strings keep their storage from one run to the next.
    cached->values = shape->values;
    cached->literals = shape->literals;
    BindValues(stmt, cached->values, true);
  }
  if (!sqlite3_stmt_readonly(stmt)) BecomeWriterBeforeWrite();
  if (cached->row_lock) LockForQuery(*cached->row_lock);
  StatementDeadline deadline = bounds_->Start();
  int rc = bounds_->Step(stmt, deadline);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
    DbError e = ErrorFromSqlite(db_, rc, stmt);
    sqlite3_reset(stmt);
    throw e;
  }
  if (sqlite3_column_count(stmt) == 0) {
    sqlite3_reset(stmt);
    return std::make_unique<EmptyRowset>(cached->counts_changes ? sqlite3_changes64(db_) : -1);
  }
  StatementCache::Lease(cached);
  return std::make_unique<SqliteRowset>(db_, stmt, cached, rc == SQLITE_ROW,
                                        shape != nullptr ? &cached->literals : nullptr,
                                        bounds_.get(), deadline);
}

BlobValue SqliteConnection::ReadBlob(std::string_view sql) {
  RefuseUndoneTransaction();
  // Any query reads: inline views, joins and views included. Only writing needs one table.
  std::shared_ptr<const Translation> t = database_->Translate(sql, db_, nullptr, transaction_translations_.get());
  if (t->kind != sql::StatementKind::kSelect || t->statements.size() != 1) {
    throw SqlError("a BLOB read of a statement that is not a query is not supported",
                   kNotSupported);
  }
  if (t->row_lock) LockForQuery(*t->row_lock);
  StatementGuard guard;
  int rc = sqlite3_prepare_v2(db_, t->statements[0].c_str(), -1, &guard.stmt, nullptr);
  if (rc != SQLITE_OK) Fail(rc);
  StatementDeadline deadline = bounds_->Start();
  rc = bounds_->Step(guard.stmt, deadline);
  BlobValue value;
  if (rc == SQLITE_DONE) return value;
  if (rc != SQLITE_ROW) Fail(rc);
  if (sqlite3_column_type(guard.stmt, 0) == SQLITE_NULL) {
    value.state = BlobValue::kNull;
    return value;
  }
  value.state = BlobValue::kBytes;
  const void* p = sqlite3_column_blob(guard.stmt, 0);
  int n = sqlite3_column_bytes(guard.stmt, 0);
  if (p && n > 0) value.bytes.assign(static_cast<const char*>(p), static_cast<size_t>(n));
  return value;
}

bool SqliteConnection::WriteBlob(std::string_view sql, std::optional<std::string_view> bytes) {
  RefuseUndoneTransaction();
  Catalog::DescribingThrough describing(db_);
  BlobStatement b = TranslateBlobSelect(sql, *database_->CurrentCatalog(db_, transaction_translations_.get()));
  if (b.row_lock) LockForQuery(*b.row_lock);
  BecomeWriterBeforeWrite();
  StatementGuard find;
  int rc = sqlite3_prepare_v2(db_, b.rowid_sql.c_str(), -1, &find.stmt, nullptr);
  if (rc != SQLITE_OK) Fail(rc);
  StatementDeadline deadline = bounds_->Start();
  rc = bounds_->Step(find.stmt, deadline);
  if (rc == SQLITE_DONE) return false;
  if (rc != SQLITE_ROW) Fail(rc);
  const sqlite3_int64 rowid = sqlite3_column_int64(find.stmt, 0);
  StatementGuard update;
  rc = sqlite3_prepare_v2(db_, b.update_sql.c_str(), -1, &update.stmt, nullptr);
  if (rc != SQLITE_OK) Fail(rc);
  if (bytes && bytes->empty()) {
    sqlite3_bind_zeroblob(update.stmt, 1, 0);  // empty, not NULL
  } else if (bytes) {
    sqlite3_bind_blob64(update.stmt, 1, bytes->data(), bytes->size(), SQLITE_STATIC);
  } else {
    sqlite3_bind_null(update.stmt, 1);
  }
  sqlite3_bind_int64(update.stmt, 2, rowid);
  rc = bounds_->Step(update.stmt, deadline);
  if (rc != SQLITE_DONE) Fail(rc);
  return true;
}

void SqliteConnection::Begin(TransactionMode mode) {
  if (InTransaction()) throw DbError(kProviderFailed, "a transaction is already open");
  // A read-only database takes no write lock: its writes fail at the statement.
  if (mode == TransactionMode::kWriting && !read_only_) {
    RunKept(kBeginWriting, "BEGIN IMMEDIATE");
  } else {
    RunKept(kBeginReading, "BEGIN DEFERRED");
  }
  mode_ = mode;
  transaction_translations_.reset();
  subordinate_ = false;
  begun_ = true;
}

void SqliteConnection::BeginSubordinate(TransactionMode mode) {
  Begin(mode);
  subordinate_ = true;
}

void SqliteConnection::Commit() {
  if (begun_ && !InTransaction()) {
    Rollback();
    throw TransactionUndone();
  }
  begun_ = false;
  if (!InTransaction()) return;
  RunKept(kCommit, "COMMIT");
  // Other connections may have described tables while this transaction's schema was not
  // theirs to see: the catalog is read again.
  if (transaction_translations_) database_->SchemaChanged();
  transaction_translations_.reset();
  subordinate_ = false;
}

void SqliteConnection::Rollback() {
  begun_ = false;
  if (!InTransaction()) {
    // A transaction the engine ended keeps no translations of its own.
    subordinate_ = false;
    if (transaction_translations_) {
      database_->SchemaChanged();
      transaction_translations_.reset();
    }
    return;
  }
  statements_.ResetFree();
  int rc = sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  subordinate_ = false;
  if (transaction_translations_) {
    database_->SchemaChanged();
    transaction_translations_.reset();
  }
  if (rc != SQLITE_OK) throw ErrorFromSqlite(db_, rc);
}

void SqliteConnection::MoveLogIntoFile() {
  if (database_->in_memory() || read_only_) return;
  int log_pages = 0;
  int moved_pages = 0;
  // With synchronous=FULL the checkpoint syncs the database file before it counts as done.
  const int rc =
      sqlite3_wal_checkpoint_v2(db_, "main", SQLITE_CHECKPOINT_PASSIVE, &log_pages, &moved_pages);
  if (rc != SQLITE_OK) {
    const DbError failure = ErrorFromSqlite(db_, rc);
    throw DbError(
        failure.code(),
        std::string("the database's log could not be moved into its file: ") + failure.what());
  }
  if (moved_pages < log_pages) {
    throw DbError(kBusy, "the log of the database '" + database_->path() +
                             "' could not be moved into its file whole: another connection is "
                             "reading or writing it (" +
                             std::to_string(log_pages - moved_pages) + " of " +
                             std::to_string(log_pages) + " pages left in the log)");
  }
}

bool SqliteConnection::InTransaction() const { return sqlite3_get_autocommit(db_) == 0; }

std::chrono::seconds SqliteConnection::CommandTimeout() const { return command_timeout_; }

// The file's write lock is the writers' turn.
bool SqliteConnection::HoldsWritersTurn() const {
  return sqlite3_txn_state(db_, nullptr) == SQLITE_TXN_WRITE;
}

}  // namespace korvalis::db
