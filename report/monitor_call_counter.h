// MonitorCallCounter: the process-wide count of watchdog calls, which decides which call checks
// the monitored services and programs: every 50th call, counted from the last completed check.
//
//   count 0 ──call──▶ 1 ──call──▶ ... 49 ──call──▶ 50: this call checks
//      ▲                                             │
//      └──────────── check completed ◀───────────────┤
//                                                    └─ check failed: stays at 50, the next
//                                                       call checks again
//
// At most one check runs at a time: a call that reaches 50 while another call checks returns
// without checking, and that check's completion starts the count again. The count never
// passes 50, so a run of failed checks cannot wrap it around.
//
// Thread-safety: thread-safe; a call below 50 costs one atomic update.
#pragma once

#include <atomic>

namespace korvalis::report {

class MonitorCallCounter {
 public:
  static constexpr int kCheckEvery = 50;

  // The counter of the process, 0 when the library is loaded.
  static MonitorCallCounter& Process();

  // Counts one call. True when this call is to check; the caller then holds the check until it
  // ends it through a Check.
  bool Count() noexcept;

  // The check a counted call holds: released when the object ends; Complete() first starts the
  // count again at 0.
  class Check {
   public:
    explicit Check(MonitorCallCounter& counter) : counter_(counter) {}
    ~Check() { counter_.checking_.store(false, std::memory_order_release); }
    Check(const Check&) = delete;
    Check& operator=(const Check&) = delete;
    void Complete() noexcept { counter_.count_.store(0, std::memory_order_relaxed); }

   private:
    MonitorCallCounter& counter_;
  };

  // The number of calls since the last completed check (at most 50).
  int count() const noexcept { return count_.load(std::memory_order_relaxed); }
  // Back to 0, as after loading. Precondition: no check is running.
  void Reset() noexcept { count_.store(0, std::memory_order_relaxed); }

 private:
  std::atomic<int> count_{0};
  std::atomic<bool> checking_{false};
};

}  // namespace korvalis::report
