#include "platform/db/sqlite_statement_bounds.h"

#include <sqlite3.h>

#include <algorithm>
#include <mutex>
#include <utility>

namespace korvalis::db {
namespace {

// The bound that interrupted the last step of a connection on this thread. A step and the
// error made of its failure run on one thread.
struct Interruption {
  sqlite3* db = nullptr;
  std::optional<DbError> error;
};
thread_local Interruption interruption;

// The deadline of the innermost step running on this thread.
thread_local const StatementDeadline* running_deadline = nullptr;

// The error of a wait for the write lock that lasted its whole Command Timeout.
DbError LockWaitTimedOut(std::chrono::seconds bound) {
  const DbError timed_out = CommandTimedOut(bound);
  return DbError(timed_out.code(),
                 std::string(timed_out.what()) +
                     ": it waited all that time for the database's write lock, which another "
                     "connection held");
}

}  // namespace

DbError OutOfStatementMemory(int64_t bound) {
  return DbError(kProviderFailed,
                 "ORA-04030: out of process memory when trying to allocate: the statements "
                 "of the embedded database would hold more than " +
                     std::to_string(bound >> 20) +
                     " MiB; the statement was stopped");
}

SqliteStatementBounds::SqliteStatementBounds(sqlite3* db, std::chrono::seconds command_timeout,
                                             int lock_wait_ms)
    : db_(db), command_timeout_(command_timeout), lock_wait_ms_(lock_wait_ms) {
  static std::once_flag limited;
  std::call_once(limited, [] {
    sqlite3_hard_heap_limit64(kEmbeddedHeapLimit);
    sqlite3_soft_heap_limit64(kEmbeddedCacheGrowthLimit);
  });
  sqlite3_progress_handler(db_, kCheckEvery, &SqliteStatementBounds::Check, this);
  sqlite3_busy_handler(db_, &SqliteStatementBounds::WaitForLock, this);
}

SqliteStatementBounds::~SqliteStatementBounds() {
  sqlite3_progress_handler(db_, 0, nullptr, nullptr);
  sqlite3_busy_handler(db_, nullptr, nullptr);
}

int SqliteStatementBounds::Step(sqlite3_stmt* stmt, StatementDeadline& deadline) {
  // A step run from inside another (a function of the statement querying the connection)
  // hands the outer one's deadline back when it returns.
  StatementDeadline* outer = std::exchange(armed_, &deadline);
  const StatementDeadline* running_outer = std::exchange(running_deadline, &deadline);
  deadline.Resume();
  const int rc = sqlite3_step(stmt);
  deadline.Pause();
  running_deadline = running_outer;
  armed_ = outer;
  return rc;
}

int SqliteStatementBounds::Check(void* self) {
  auto* bounds = static_cast<SqliteStatementBounds*>(self);
  if (bounds->armed_ == nullptr) return 0;
  std::optional<DbError> error;
  if (bounds->armed_->PassedAsWorking()) {
    error = bounds->armed_->TimedOut();
  } else if (sqlite3_memory_used() > kEmbeddedMemoryBound) {
    error = OutOfStatementMemory();
  } else {
    return 0;
  }
  interruption.db = bounds->db_;
  interruption.error = std::move(error);
  return 1;
}

// SQLite calls this while the write lock is held by another connection, `tries` the calls so
// far for this wait; 0 ends the wait with SQLITE_BUSY. The wait is not the statement's work:
// it is bounded by Command Timeout of its own, and the statement's deadline moves on by it.
int SqliteStatementBounds::WaitForLock(void* self, int tries) {
  using Clock = std::chrono::steady_clock;
  auto* bounds = static_cast<SqliteStatementBounds*>(self);
  const Clock::time_point now = Clock::now();
  if (tries == 0) bounds->wait_start_ = now;
  const auto waited = now - bounds->wait_start_;
  if (bounds->command_timeout_.count() > 0 && waited >= bounds->command_timeout_) {
    interruption.db = bounds->db_;
    interruption.error = LockWaitTimedOut(bounds->command_timeout_);
    return 0;
  }
  const auto left = std::chrono::milliseconds(bounds->lock_wait_ms_) - waited;
  if (left <= Clock::duration::zero()) return 0;
  // Short sleeps first, as a lock is most often held briefly, then steps of 50 ms.
  constexpr int kSleepsMs[] = {1, 2, 5, 10, 15, 20, 25, 25, 25, 50};
  const int sleep_ms = tries < 10 ? kSleepsMs[tries] : 50;
  const auto left_ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
  sqlite3_sleep(static_cast<int>(std::min<long long>(sleep_ms, left_ms)));
  if (bounds->armed_ != nullptr) bounds->armed_->MoveOn(Clock::now() - now);
  return 1;
}

const StatementDeadline* SqliteStatementBounds::RunningDeadline() { return running_deadline; }

std::optional<DbError> SqliteStatementBounds::TakeInterruption(sqlite3* db) {
  if (interruption.db != db || !interruption.error) return std::nullopt;
  interruption.db = nullptr;
  return std::exchange(interruption.error, std::nullopt);
}

}  // namespace korvalis::db
