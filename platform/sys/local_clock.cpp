#include "platform/sys/local_clock.h"

#include <atomic>
#include <ctime>

namespace korvalis::sys {
namespace {

std::shared_ptr<const LocalClock>& InstalledClock() {
  static std::shared_ptr<const LocalClock>& clock = *new std::shared_ptr<const LocalClock>;
  return clock;
}

}  // namespace

void SetLocalClock(std::shared_ptr<const LocalClock> clock) {
  std::atomic_store(&InstalledClock(), std::move(clock));
}

LocalTime CurrentLocalTime() {
  std::shared_ptr<const LocalClock> clock = std::atomic_load(&InstalledClock());
  if (clock) return clock->Now();
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return LocalTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                   local.tm_hour,        local.tm_min,     local.tm_sec};
}

}  // namespace korvalis::sys
