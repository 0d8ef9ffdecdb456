#include "platform/db/sqlite_connection.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "platform/db/connection_support.h"
#include "platform/db/sqlite_file_access.h"
#include "platform/db/ora_number.h"
#include "platform/db/oracle_functions.h"
#include "platform/db/stored_names.h"
#include "platform/db/text_search.h"
#include "platform/text/hex.h"

namespace korvalis::db {
namespace {

constexpr int kBusyTimeoutMs = 30000;

DbError TransactionUndone() {
  return DbError(kProviderFailed,
                 "ORA-02091: transaction rolled back: the database undid the whole transaction "
                 "when a write of it failed; nothing of it is committed");
}

// The rows of a prepared statement; hands the statement back to its cache entry at the end.
// Column names and the buffers of numbers are made when first asked for.
class SqliteRowset final : public Rowset {
 public:
  // `literals`: the statement runs a query's shape, whose column names get these values
  // back; they must outlive the rowset. Null: the names are the statement's own.
  // `bounds` steps the statement within `deadline`, the one it started with.
  SqliteRowset(sqlite3* db, sqlite3_stmt* stmt, StatementCache::Entry* lease, bool has_row,
               const std::vector<std::string>* literals, SqliteStatementBounds* bounds,
               const StatementDeadline& deadline)
      : db_(db),
        stmt_(stmt),
        bounds_(bounds),
        deadline_(deadline),
        lease_(lease),
        pending_row_(has_row),
        done_(!has_row),
        columns_(sqlite3_column_count(stmt)),
        literals_(literals) {}
  ~SqliteRowset() override {
    if (lease_) {
      StatementCache::Return(lease_);
    } else {
      sqlite3_finalize(stmt_);
    }
  }

  // A statement run once keeps the literals of its shape itself.
  void KeepLiterals(std::vector<std::string> literals) {
    own_literals_ = std::move(literals);
    literals_ = &own_literals_;
  }

  int ColumnCount() const override { return columns_; }
  const std::string& ColumnName(int column) const override {
    if (names_.empty()) NameColumns();
    return names_[static_cast<size_t>(column)];
  }

  bool Next() override {
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

  bool IsNull(int column) const override {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
  }

  // A column of the schema declared BLOB may hold a value written as text; an expression has
  // no declared type, so its value's own type tells.
  bool IsBlob(int column) const override {
    if (sqlite3_column_type(stmt_, column) == SQLITE_BLOB) return true;
    const char* declared = sqlite3_column_decltype(stmt_, column);
    return declared != nullptr && std::strcmp(declared, "BLOB") == 0;
  }
  long long ChangedRows() const override { return -1; }

  // The column's value is read once and asked for its type and text: each column call of
  // its own would look the column up again.
  std::string_view Text(int column) const override {
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

 private:
  void NameColumns() const {
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

  // The column's buffer for the text of a number, emptied.
  std::string& Buffer(int column) const {
    if (buffers_.empty()) buffers_.resize(static_cast<size_t>(columns_));
    std::string& b = buffers_[static_cast<size_t>(column)];
    b.clear();
    return b;
  }

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

// The primary key or unique constraint of the columns an SQLite message names ("UNIQUE
// constraint failed: T.A, T.B"), read from the schema's constraints; empty when none is
// known (a unique index).
std::string UniqueConstraintOf(sqlite3* db, const std::string& message) {
  const size_t colon = message.find(": ");
  if (colon == std::string::npos) return {};
  std::string table;
  std::set<std::string> columns;
  for (size_t at = colon + 2; at < message.size();) {
    size_t end = message.find(", ", at);
    if (end == std::string::npos) end = message.size();
    const std::string item = message.substr(at, end - at);
    const size_t dot = item.find('.');
    if (dot == std::string::npos) return {};
    table = item.substr(0, dot);
    columns.insert(item.substr(dot + 1));
    at = end + 2;
  }
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db,
                         "SELECT K.CONSTRAINT_NAME, K.COLUMN_NAME FROM KORVALIS_CONS_COLUMNS K "
                         "JOIN KORVALIS_CONSTRAINTS C ON C.CONSTRAINT_NAME = K.CONSTRAINT_NAME "
                         "WHERE K.TABLE_NAME = ?1 AND C.CONSTRAINT_TYPE IN ('P', 'U')",
                         -1, &stmt, nullptr) != SQLITE_OK) {
    sqlite3_finalize(stmt);
    return {};
  }
  StatementGuard guard{stmt};
  sqlite3_bind_text(stmt, 1, table.data(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
  std::map<std::string, std::set<std::string>> keys;
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    const auto text = [&](int i) {
      const unsigned char* v = sqlite3_column_text(stmt, i);
      return std::string(v ? reinterpret_cast<const char*>(v) : "");
    };
    keys[text(0)].insert(text(1));
  }
  for (const auto& [name, key_columns] : keys) {
    if (key_columns == columns) return name;
  }
  return {};
}

// Oracle's message for a constraint an SQLite statement broke, naming the constraint or the
// column where the schema or the message tells them.
std::string ConstraintMessage(sqlite3* db, int extended, const std::string& message,
                              sqlite3_stmt* stmt) {
  switch (extended) {
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY: {
      const std::string constraint = UniqueConstraintOf(db, message);
      return constraint.empty() ? "ORA-00001: unique constraint violated (" + message + ")"
                                : UniqueViolated(constraint);
    }
    case SQLITE_CONSTRAINT_NOTNULL: {
      // "NOT NULL constraint failed: T.C"
      const size_t colon = message.find(": "), dot = message.find('.', colon);
      return dot == std::string::npos
                 ? "ORA-01400: cannot insert NULL (" + message + ")"
                 : NullRefused(message.substr(colon + 2, dot - colon - 2),
                               message.substr(dot + 1));
    }
    case SQLITE_CONSTRAINT_FOREIGNKEY: {
      // SQLite names no constraint: what the statement does tells which side is missing.
      const std::string_view sql = stmt ? sqlite3_sql(stmt) : "";
      if (sql.starts_with("DELETE")) {
        return "ORA-02292: integrity constraint violated - child record found (" + message + ")";
      }
      if (sql.starts_with("INSERT")) {
        return "ORA-02291: integrity constraint violated - parent key not found (" + message +
               ")";
      }
      return "ORA-02291: integrity constraint violated - parent key not found or child record "
             "found (" +
             message + ")";
    }
    case SQLITE_CONSTRAINT_CHECK: {
      // "CHECK constraint failed: NAME": every check of the schema is named.
      const size_t colon = message.find(": ");
      const std::string name = colon == std::string::npos ? "" : message.substr(colon + 2);
      return name.empty() || name.find_first_of(" ()") != std::string::npos
                 ? "ORA-02290: check constraint violated (" + message + ")"
                 : CheckViolated(name);
    }
    default:
      return message;
  }
}

}  // namespace

DbError ErrorFromSqlite(sqlite3* db, int rc, sqlite3_stmt* stmt) {
  if ((rc & 0xFF) == SQLITE_INTERRUPT || (rc & 0xFF) == SQLITE_BUSY) {
    if (std::optional<DbError> bound = SqliteStatementBounds::TakeInterruption(db)) return *bound;
  }
  const int extended = sqlite3_extended_errcode(db);
  std::string message = sqlite3_errmsg(db);
  int32_t code = kErrorsInCommand;
  std::string text;
  switch (rc & 0xFF) {
    case SQLITE_CONSTRAINT:
      code = kIntegrityViolation;
      text = ConstraintMessage(db, extended, message, stmt);
      break;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      code = kBusy;
      text = "ORA-00054: resource busy: " + message;
      break;
    case SQLITE_READONLY:
      code = kProviderFailed;
      text = "ORA-16000: database open for read-only access (" + ReadOnlyCause(db, message) + ")";
      break;
    case SQLITE_NOMEM:
      return OutOfStatementMemory(kEmbeddedHeapLimit);
    case SQLITE_CANTOPEN:
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
      code = kProviderFailed;
      text = FileFailure(db, rc & 0xFF, message);
      break;
    case SQLITE_IOERR:
    case SQLITE_FULL:
    case SQLITE_PERM:
      code = kProviderFailed;
      text = message;
      break;
    default:
      if (std::optional<int32_t> reported = TakeFunctionFailure(db, message)) {
        // A function failed: its code came with it.
        code = *reported;
        text = message;
      } else if (message.starts_with("parser stack overflow") ||
                 message.starts_with("Expression tree is too large") ||
                 message.starts_with("too many arguments on function")) {
        // Nesting the front end takes but the engine's parser does not.
        code = kStatementTooComplex;
        text = std::string(kTooComplexMessage) + " for the embedded database (" + message + ")";
      } else if (message.starts_with("no such table")) {
        code = kNoSuchTable;
        text = "ORA-00942: table or view does not exist (" + message + ")";
      } else if (message.starts_with("no such column")) {
        text = "ORA-00904: invalid identifier (" + message + ")";
      } else if (message.starts_with("ambiguous column name")) {
        text = "ORA-00918: column ambiguously defined (" + message + ")";
      } else {
        text = message;
      }
  }
  return DbError(code, text);
}

namespace {

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
  const int flags = (read_only_ ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) |
                    SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI |
                    (database_->in_memory() ? SQLITE_OPEN_CREATE : 0);
  int rc = sqlite3_open_v2(name.c_str(), &db_, flags, nullptr);
  if (rc != SQLITE_OK) {
    std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    db_ = nullptr;
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
  rc = RegisterOracleFunctions(db_);
  if (rc == SQLITE_OK) rc = RegisterTextSearch(db_);
  try {
    if (rc != SQLITE_OK) throw ErrorFromSqlite(db_, rc);
    Configure();
  } catch (const DbError& e) {
    bounds_.reset();
    sqlite3_close(db_);
    db_ = nullptr;
    throw DbError(kCannotConnect, e.what());
  }
}

void SqliteConnection::Configure() {
  if (!database_->in_memory() && !read_only_) RunPlain("PRAGMA journal_mode=WAL");
  RunPlain("PRAGMA synchronous=FULL");
  RunPlain("PRAGMA foreign_keys=ON");
  RunPlain("PRAGMA case_sensitive_like=ON");
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
    const StatementDeadline deadline = bounds_->Start();
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
  const StatementDeadline deadline = bounds_->Start();
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
  const StatementDeadline deadline = bounds_->Start();
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
  rc = bounds_->Step(guard.stmt, bounds_->Start());
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
  const StatementDeadline deadline = bounds_->Start();
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

bool SqliteConnection::InTransaction() const { return sqlite3_get_autocommit(db_) == 0; }

std::chrono::seconds SqliteConnection::CommandTimeout() const { return command_timeout_; }

// The file's write lock is the writers' turn.
bool SqliteConnection::HoldsWritersTurn() const {
  return sqlite3_txn_state(db_, nullptr) == SQLITE_TXN_WRITE;
}

}  // namespace korvalis::db
