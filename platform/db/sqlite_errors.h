// SQLite's failures in Oracle's words: a bound's interruption, a broken constraint named as the
// schema names it, a busy or read-only file, a function's own failure, and nesting the engine's
// parser refuses.
//
// Thread-safety: called on the thread of the connection whose step failed.
#pragma once

#include "platform/db/sql_error.h"

struct sqlite3;
struct sqlite3_stmt;

namespace korvalis::db {

// Turns an SQLite failure into a DbError with an Oracle-style description.
// `stmt`, where given, is the statement that failed: a foreign key it breaks is told apart by
// what it does (a DELETE finds a child row, an INSERT no parent key).
DbError ErrorFromSqlite(sqlite3* db, int rc, sqlite3_stmt* stmt = nullptr);

}  // namespace korvalis::db
