#include "report/monitor_call_counter.h"

namespace korvalis::report {

namespace {

// Constant-initialised, so that a call neither guards nor races its construction.
constinit MonitorCallCounter process_counter;

}  // namespace

MonitorCallCounter& MonitorCallCounter::Process() { return process_counter; }

bool MonitorCallCounter::Count() noexcept {
  int count = count_.load(std::memory_order_relaxed);
  while (count < kCheckEvery) {
    if (count_.compare_exchange_weak(count, count + 1, std::memory_order_relaxed)) {
      if (count + 1 < kCheckEvery) return false;
      break;
    }
  }
  if (checking_.exchange(true, std::memory_order_acquire)) return false;
  // A check that completed between the count and taking the flag started the count again.
  if (count_.load(std::memory_order_relaxed) < kCheckEvery) {
    checking_.store(false, std::memory_order_release);
    return false;
  }
  return true;
}

}  // namespace korvalis::report
