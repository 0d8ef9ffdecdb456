// The clock that SYSDATE reads: the local time of the database. Tests install their own.
//
// Thread-safety: SetDatabaseClock and CurrentDatabaseTime may be called from any thread; a
// clock must be safe to read concurrently.
#pragma once

#include <memory>

#include "platform/db/ora_date.h"

namespace korvalis::db {

class DatabaseClock {
 public:
  virtual ~DatabaseClock() = default;
  virtual DateTime Now() const = 0;
};

// Installs `clock` for every connection of the process; nullptr restores the system's local
// time.
void SetDatabaseClock(std::shared_ptr<const DatabaseClock> clock);

DateTime CurrentDatabaseTime();

}  // namespace korvalis::db
