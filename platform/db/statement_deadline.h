// The deadline of one statement: its Command Timeout of the statement's own work, counted while
// it works (its steps), until its rows end or it is closed. The time between two steps is its
// reader's (writing the rows on, waiting for a transformation's turn or for anything else of
// its own) and never counts; nor does a wait inside a step that is not the statement's work
// (sleeping for another connection's write lock), by which the deadline moves on. A zero bound
// never passes.
//
//   PAUSED ──Resume() (a step starts)──▶ WORKING ──Pause() (the step returns)──▶ PAUSED
//                                           │
//                                           └── MoveOn(wait): the end moves on by the wait
//
// A statement that has worked half its bound counts from then on the processor time its steps
// have, so that one stopped at the bound can say how much of its last half the processor gave
// it: on a machine busy with other work, a statement waits for the processor inside its steps.
//
// Thread-safety: one thread at a time, as the statement's connection.
#pragma once

#include <time.h>

#include <chrono>

#include "platform/db/sql_error.h"

namespace korvalis::db {

// The processor time the calling thread has used so far.
inline std::chrono::nanoseconds ThreadProcessorTime() {
  timespec spent{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &spent);
  return std::chrono::seconds(spent.tv_sec) + std::chrono::nanoseconds(spent.tv_nsec);
}

class StatementDeadline {
 public:
  using Clock = std::chrono::steady_clock;

  // Paused, with its whole bound left; `bound` zero: no bound.
  explicit StatementDeadline(std::chrono::seconds bound) : bound_(bound), left_(bound) {}

  // The statement works from now (a step starts). Precondition: paused.
  // A step's start and end are read from the coarse clock, at a fraction of the cost for a
  // statement stepped once a row: its ticks fall inside the steps in the measure of the time
  // the steps take, so their sum is the work's time on average, astray by tens of
  // milliseconds over thousands of short steps. Once the processor time is counted, the steps
  // are timed by the exact clock instead, and the processor time is read inside each step's
  // exact span, so that the time told is exact and the processor time never exceeds it.
  void Resume() {
    working_ = true;
    if (bound_.count() == 0) return;
    if (!sampling_) {
      end_ = CoarseNow() + left_;
      return;
    }
    end_ = Clock::now() + left_;
    processor_resumed_ = ThreadProcessorTime();
  }
  // The statement stops working (its step returned). Precondition: working.
  void Pause() {
    working_ = false;
    if (bound_.count() == 0) return;
    if (!sampling_) {
      left_ = end_ - CoarseNow();
      return;
    }
    processor_spent_ += ThreadProcessorTime() - processor_resumed_;
    left_ = end_ - Clock::now();
  }
  // A wait of the working statement that is not its work: the deadline moves on by it.
  void MoveOn(Clock::duration waited) {
    if (bound_.count() > 0) end_ += waited;
  }

  bool Passed() const { return Passed(Clock::now()); }
  // Passed, as the coarse monotonic clock tells it: a few milliseconds late, for a fraction of
  // the cost, where it is asked very often.
  bool PassedCoarse() const { return Passed(CoarseNow()); }
  // The steady clock's time as its coarse form tells it, a few milliseconds late.
  static Clock::time_point CoarseNow() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return Clock::time_point(std::chrono::seconds(now.tv_sec) +
                             std::chrono::nanoseconds(now.tv_nsec));
  }
  std::chrono::seconds bound() const { return bound_; }
  // The work time left until the bound passes: zero once it has, the largest duration for no
  // bound.
  Clock::duration Left() const {
    if (bound_.count() == 0) return Clock::duration::max();
    const Clock::duration left = working_ ? end_ - Clock::now() : left_;
    return left <= Clock::duration::zero() ? Clock::duration::zero() : left;
  }
  // Where the working statement's checks read the clock often: true once it passed the bound;
  // past half the bound, starts counting the processor time of its steps.
  bool PassedAsWorking() {
    if (bound_.count() == 0) return false;
    const Clock::time_point now = Clock::now();
    if (!sampling_ && working_ && end_ - now <= Clock::duration(bound_) / 2) StartSampling(now);
    return now >= end_;
  }
  // The error of the statement stopped at its bound: the bound, and when it was counted, how
  // much of the work's last part the processor gave it.
  DbError TimedOut() const;

 private:
  bool Passed(Clock::time_point now) const {
    if (bound_.count() == 0) return false;
    return working_ ? now >= end_ : left_ <= Clock::duration::zero();
  }
  void StartSampling(Clock::time_point now) {
    sampling_ = true;
    sampled_from_left_ = end_ - now;
    processor_resumed_ = ThreadProcessorTime();
  }

  std::chrono::seconds bound_;
  Clock::duration left_;   // while paused: the work time left
  Clock::time_point end_;  // while working: when the bound passes
  bool working_ = false;
  // Counting the processor time, from when sampled_from_left_ was the work time left.
  bool sampling_ = false;
  Clock::duration sampled_from_left_{};
  Clock::duration processor_spent_{};    // by the steps ended since
  Clock::duration processor_resumed_{};  // the thread's processor time as the step began
};

}  // namespace korvalis::db
