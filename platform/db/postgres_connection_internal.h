// What the PostgreSQL connection's files share: the statements that begin a transaction, the
// savepoint that keeps a failing statement's undoing to itself, and what a statement leaves in
// its transaction.
#pragma once

#include "platform/db/provider.h"
#include "platform/db/sql_translator.h"

namespace korvalis::db {

// Whether the statement leaves in the transaction what a later failing statement must not
// undo: anything but a query, or the writers' turn it takes.
inline bool KeepsWork(const Translation& t, bool takes_turn) {
  return takes_turn || t.changes_schema || t.kind != sql::StatementKind::kSelect;
}

inline constexpr const char* kBeginWriting = "BEGIN ISOLATION LEVEL READ COMMITTED";

inline const char* BeginStatement(Connection::TransactionMode mode) {
  return mode == Connection::TransactionMode::kWriting ? kBeginWriting
                                                       : "BEGIN ISOLATION LEVEL REPEATABLE READ";
}

inline constexpr const char* kSavepoint = "SAVEPOINT korvalis_statement";
inline constexpr const char* kRelease = "RELEASE SAVEPOINT korvalis_statement";
inline constexpr const char* kUndoStatement =
    "ROLLBACK TO SAVEPOINT korvalis_statement; RELEASE SAVEPOINT korvalis_statement";

}  // namespace korvalis::db
