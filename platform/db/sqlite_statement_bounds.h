// The bounds of the statements of one embedded connection: each works at most its Command
// Timeout, counted inside its steps from its start until its rows end or it is closed (the time
// its reader takes between two steps is not the statement's: statement_deadline.h), and none
// works on while the process's SQLite memory exceeds kEmbeddedMemoryBound (sorts, groupings,
// DISTINCT, window functions and recursive queries hold their work in memory, never in
// temporary files). Both are checked by SQLite's progress handler, every kCheckEvery virtual
// machine instructions of a step run through Step(); a step past either bound is interrupted
// there, so the engine stops working on it, and fails with the bound's error
// (TakeInterruption). Steps run otherwise (transaction statements, catalog reads) are not
// bounded.
//
// A function of ours that works on inside one instruction checks the running step's deadline
// itself (RunningDeadline) and fails with the same error.
//
// A wait for another connection's write lock (SQLite's busy handler) is bounded too: it ends
// after the lock wait (SetLockWait) or at the Command Timeout from the wait's start, whichever
// comes first; ended by the Command Timeout, the step's SQLITE_BUSY carries an error that says
// so (TakeInterruption). The wait is not the statement's work: a step's deadline moves on by
// the time it slept.
//
//   IDLE ──Step(stmt, deadline)──▶ STEPPING ──the step returns──▶ IDLE
//                                     │
//                                     └── deadline passed, or memory past the bound ──▶
//                                         INTERRUPTED: the step returns SQLITE_INTERRUPT, the
//                                         bound's error kept for the thread ──▶ IDLE
//
// Beyond the check, the process's SQLite heap is held to kEmbeddedHeapLimit, so that a single
// step that grows between two checks fails with SQLITE_NOMEM instead of exhausting the host,
// and the page caches stop growing past kEmbeddedCacheGrowthLimit.
//
// Thread-safety: one thread at a time, as its connection.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "platform/db/sql_error.h"
#include "platform/db/statement_deadline.h"

struct sqlite3;
struct sqlite3_stmt;

namespace korvalis::db {

// The SQLite memory of the process past which a working statement is stopped: a legitimate
// sort (a report's rows up to its content bound, or a year's 400,000 visits of 300 bytes each)
// takes under a third of it, and with the allocator's overhead on the smallest sorted or
// grouped rows (as much again) a runaway leaves the process under 1.1 GB.
inline constexpr int64_t kEmbeddedMemoryBound = int64_t{512} << 20;
// Where SQLite refuses to allocate at all: a step that grows past the bound between two checks.
inline constexpr int64_t kEmbeddedHeapLimit = int64_t{640} << 20;
// Past this much SQLite memory the connections' page caches reuse their pages instead of
// growing, so that caches filled over a day (up to 16 MiB a connection) leave the statements
// their room under kEmbeddedMemoryBound however many connections the process holds.
inline constexpr int64_t kEmbeddedCacheGrowthLimit = int64_t{256} << 20;

// The error of a statement stopped because the process's SQLite memory would exceed `bound`.
DbError OutOfStatementMemory(int64_t bound = kEmbeddedMemoryBound);

class SqliteStatementBounds {
 public:
  // Installs the progress and busy handlers on `db`, which must outlive this object; a
  // statement waits `lock_wait_ms` for the write lock.
  SqliteStatementBounds(sqlite3* db, std::chrono::seconds command_timeout, int lock_wait_ms);
  ~SqliteStatementBounds();
  SqliteStatementBounds(const SqliteStatementBounds&) = delete;
  SqliteStatementBounds& operator=(const SqliteStatementBounds&) = delete;

  std::chrono::seconds command_timeout() const { return command_timeout_; }
  // The deadline of a statement about to start: it counts from its first step.
  StatementDeadline Start() const { return StatementDeadline(command_timeout_); }
  // sqlite3_step(stmt), interrupted past `deadline` or the memory bound; `deadline` counts
  // the step as the statement's work.
  int Step(sqlite3_stmt* stmt, StatementDeadline& deadline);

  // How long a statement waits for another connection's write lock, in milliseconds (0: not
  // at all), unless its Command Timeout comes first.
  void SetLockWait(int milliseconds) { lock_wait_ms_ = milliseconds; }

  // The error of the step of `db` on this thread that was interrupted, or whose wait for the
  // write lock ended, by a bound, once; nullopt when there is none.
  static std::optional<DbError> TakeInterruption(sqlite3* db);

  // The deadline of the innermost step run through Step() on this thread, while it runs; null
  // otherwise. The functions of oracle_functions.h check it themselves: a single call of one
  // runs inside one virtual machine instruction, which the progress handler never interrupts.
  static const StatementDeadline* RunningDeadline();

  // Virtual machine instructions between two checks.
  static constexpr int kCheckEvery = 1000;

 private:
  static int Check(void* self);
  static int WaitForLock(void* self, int tries);

  sqlite3* db_;
  std::chrono::seconds command_timeout_;
  StatementDeadline* armed_ = nullptr;  // the deadline of the step running, if any
  int lock_wait_ms_;
  std::chrono::steady_clock::time_point wait_start_;  // of the wait for the lock in progress
};

}  // namespace korvalis::db
