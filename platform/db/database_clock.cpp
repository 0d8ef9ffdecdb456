#include "platform/db/database_clock.h"

#include <atomic>
#include <ctime>

namespace korvalis::db {
namespace {

std::shared_ptr<const DatabaseClock>& InstalledClock() {
  static std::shared_ptr<const DatabaseClock>& clock = *new std::shared_ptr<const DatabaseClock>;
  return clock;
}

}  // namespace

void SetDatabaseClock(std::shared_ptr<const DatabaseClock> clock) {
  std::atomic_store(&InstalledClock(), std::move(clock));
}

DateTime CurrentDatabaseTime() {
  std::shared_ptr<const DatabaseClock> clock = std::atomic_load(&InstalledClock());
  if (clock) return clock->Now();
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  DateTime d;
  d.year = local.tm_year + 1900;
  d.month = local.tm_mon + 1;
  d.day = local.tm_mday;
  d.hour = local.tm_hour;
  d.minute = local.tm_min;
  d.second = local.tm_sec;
  return d;
}

}  // namespace korvalis::db
