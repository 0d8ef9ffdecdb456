// Test helper: the process's local clock held at a given time while an object lives.
//
// Thread-safety: the clock is process-wide; tests that set it run one at a time.
#pragma once

#include <memory>

#include "platform/sys/local_clock.h"

namespace korvalis::sys::testing {

// A local clock that always reads `now`.
class FixedLocalClock : public LocalClock {
 public:
  explicit FixedLocalClock(LocalTime now) : now_(now) {}
  LocalTime Now() const override { return now_; }

 private:
  LocalTime now_;
};

// The local clock stands at `now` while the object lives; the system's time comes back after.
class ScopedLocalClock {
 public:
  explicit ScopedLocalClock(LocalTime now) { Set(now); }
  ~ScopedLocalClock() { SetLocalClock(nullptr); }
  ScopedLocalClock(const ScopedLocalClock&) = delete;
  ScopedLocalClock& operator=(const ScopedLocalClock&) = delete;

  void Set(LocalTime now) { SetLocalClock(std::make_shared<FixedLocalClock>(now)); }
};

}  // namespace korvalis::sys::testing
