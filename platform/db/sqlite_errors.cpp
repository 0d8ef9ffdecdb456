#include "platform/db/sqlite_errors.h"

#include <sqlite3.h>

#include <cerrno>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "platform/db/oracle_functions.h"
#include "platform/db/sqlite_file_access.h"
#include "platform/db/sqlite_statement_bounds.h"

namespace korvalis::db {
namespace {

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

// Whether failure `rc` came of a full disk: SQLite's own "database or disk is full", or an I/O
// error whose system error says so (the file system, or the user's quota on it).
bool OnAFullDisk(sqlite3* db, int rc) {
  if ((rc & 0xFF) == SQLITE_FULL) return true;
  const int error = sqlite3_system_errno(db);
  return error == ENOSPC || error == EDQUOT;
}

std::string DiskFull(sqlite3* db, const std::string& message) {
  const char* file = sqlite3_db_filename(db, "main");
  if (file == nullptr || *file == '\0') return "the disk holding the database is full (" + message + ")";
  return "the disk holding the database '" + std::string(file) + "' is full (" + message + ")";
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
    case SQLITE_IOERR:
    case SQLITE_FULL:
      code = kProviderFailed;
      text = OnAFullDisk(db, rc) ? DiskFull(db, message) : message;
      break;
    case SQLITE_CANTOPEN:
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
      code = kProviderFailed;
      text = FileFailure(db, rc & 0xFF, message);
      break;
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
}  // namespace korvalis::db
