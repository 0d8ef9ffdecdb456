// The deadline of one statement: its Command Timeout from the moment it starts, until its rows
// end or it is closed. A zero bound never passes.
//
// Thread-safety: immutable after construction.
#pragma once

#include <time.h>

#include <chrono>

#include "platform/db/sql_error.h"

namespace korvalis::db {

class StatementDeadline {
 public:
  using Clock = std::chrono::steady_clock;

  // Starts now; `bound` zero: no bound.
  explicit StatementDeadline(std::chrono::seconds bound)
      : bound_(bound), end_(bound.count() > 0 ? Clock::now() + bound : Clock::time_point::max()) {}

  bool Passed() const { return Clock::now() >= end_; }
  // Passed, as the coarse monotonic clock tells it: a few milliseconds late, for a fraction of
  // the cost, where it is asked very often.
  bool PassedCoarse() const { return CoarseNow() >= end_; }
  // The steady clock's time as its coarse form tells it, a few milliseconds late.
  static Clock::time_point CoarseNow() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return Clock::time_point(std::chrono::seconds(now.tv_sec) +
                             std::chrono::nanoseconds(now.tv_nsec));
  }
  std::chrono::seconds bound() const { return bound_; }
  // The time left until the bound passes: zero once it has, the largest duration for no bound.
  Clock::duration Left() const {
    const Clock::time_point now = Clock::now();
    return now >= end_ ? Clock::duration::zero() : end_ - now;
  }
  // Throws CommandTimedOut when the statement has run past its bound.
  void Check() const {
    if (Passed()) throw CommandTimedOut(bound_);
  }

 private:
  std::chrono::seconds bound_;
  Clock::time_point end_;
};

}  // namespace korvalis::db
