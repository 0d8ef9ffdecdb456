// The lock of a query FOR UPDATE. The query takes the database's writers' turn for its
// transaction before it reads, as a first write does: every writer waits for that turn, so the
// rows it reads cannot change until the transaction ends, and the transaction goes on as a
// writing one. The turn holds every row of the database, so OF columns need no lock of their
// own. How long the query waits for the turn: as long as a write waits, not at all (NOWAIT), or
// a number of seconds (WAIT n).
//
// Thread-safety: a plain value.
#pragma once

namespace korvalis::db {

struct RowLock {
  enum class Wait { kAsWrites, kNoWait, kSeconds };
  Wait wait = Wait::kAsWrites;
  int seconds = 0;  // kSeconds: 0 to kLongestWaitSeconds

  // The longest wait both engines count (in milliseconds, as an int): about 24 days. A longer
  // WAIT waits that long.
  static constexpr int kLongestWaitSeconds = 2147483;

  // The wait in milliseconds; `as_writes_ms` where the query waits as a write does.
  int WaitMs(int as_writes_ms) const {
    switch (wait) {
      case Wait::kAsWrites: return as_writes_ms;
      case Wait::kNoWait: return 0;
      case Wait::kSeconds: return seconds * 1000;
    }
    return as_writes_ms;
  }

  // Oracle's message when the turn was not had in time; null where the query waits as a write
  // does, whose failure then tells it.
  const char* ExpiredMessage() const {
    switch (wait) {
      case Wait::kAsWrites: return nullptr;
      case Wait::kNoWait:
        return "ORA-00054: resource busy and acquire with NOWAIT specified or timeout expired";
      case Wait::kSeconds: return "ORA-30006: resource busy; acquire with WAIT timeout expired";
    }
    return nullptr;
  }
};

}  // namespace korvalis::db
