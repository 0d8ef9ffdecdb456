// The process's local clock: the wall-clock time of the machine in its own time zone, as the
// bodies read it for what depends on the time of day (reminder windows, registration times).
// The system's local time unless a test or a host installs a clock of its own.
//
// Thread-safety: SetLocalClock and CurrentLocalTime may be called from any thread; an installed
// clock must be safe to read concurrently.
#pragma once

#include <memory>

namespace korvalis::sys {

// A local date and time to the second.
struct LocalTime {
  int year = 1970;
  int month = 1;  // 1 to 12
  int day = 1;    // 1 to 31
  int hour = 0;   // 0 to 23
  int minute = 0;
  int second = 0;

  bool operator==(const LocalTime&) const = default;
};

class LocalClock {
 public:
  virtual ~LocalClock() = default;
  virtual LocalTime Now() const = 0;
};

// Installs `clock` for the whole process; nullptr restores the system's local time.
void SetLocalClock(std::shared_ptr<const LocalClock> clock);

// The installed clock's time, or the system's local time when none is installed.
LocalTime CurrentLocalTime();

}  // namespace korvalis::sys
