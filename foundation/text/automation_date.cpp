#include "foundation/text/automation_date.h"

#include <cstdio>

#include "foundation/text/date_format.h"

namespace korvalis {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

// Days from 1970-01-01 to the civil date (proleptic Gregorian calendar).
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const unsigned year_of_era = static_cast<unsigned>(year - era * 400);
  const unsigned day_of_year = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + static_cast<std::int64_t>(day_of_era) - 719468;
}

struct CivilDate {
  std::int64_t year;
  unsigned month;
  unsigned day;
};

CivilDate CivilFromDays(std::int64_t days) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const unsigned day_of_era = static_cast<unsigned>(days - era * 146097);
  const unsigned year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const unsigned day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const unsigned shifted_month = (5 * day_of_year + 2) / 153;
  const unsigned day = day_of_year - (153 * shifted_month + 2) / 5 + 1;
  const unsigned month = shifted_month < 10 ? shifted_month + 3 : shifted_month - 9;
  const std::int64_t year = static_cast<std::int64_t>(year_of_era) + era * 400 + (month <= 2);
  return {year, month, day};
}

const std::int64_t kDayZero = DaysFromCivil(1899, 12, 30);
const std::int64_t kFirstSecond = (DaysFromCivil(100, 1, 1) - kDayZero) * kSecondsPerDay;
const std::int64_t kLastSecond = (DaysFromCivil(10000, 1, 1) - kDayZero) * kSecondsPerDay - 1;

std::u16string Widen(const char* text) {
  std::u16string wide;
  for (; *text != '\0'; ++text) wide.push_back(static_cast<char16_t>(*text));
  return wide;
}

}  // namespace

std::optional<AutomationDate> AutomationDate::FromSeconds(std::int64_t seconds) {
  if (seconds < kFirstSecond || seconds > kLastSecond) return std::nullopt;
  return AutomationDate(seconds);
}

std::optional<AutomationDate> AutomationDate::Parse(TextRef text) {
  DateTimeParts parts;
  if (!ParseDateTimeText(std::u16string(text.view()), parts)) return std::nullopt;
  const std::int64_t days = DaysFromCivil(parts.year, static_cast<unsigned>(parts.month),
                                          static_cast<unsigned>(parts.day)) -
                            kDayZero;
  return FromSeconds(days * kSecondsPerDay + parts.hour * 3600 + parts.minute * 60 + parts.second);
}

double AutomationDate::Days() const {
  return static_cast<double>(seconds_) / static_cast<double>(kSecondsPerDay);
}

std::optional<AutomationDate> AutomationDate::PlusHours(long hours) const {
  std::int64_t span = 0;
  std::int64_t seconds = 0;
  if (__builtin_mul_overflow(static_cast<std::int64_t>(hours), std::int64_t{3600}, &span) ||
      __builtin_add_overflow(seconds_, span, &seconds)) {
    return std::nullopt;
  }
  return FromSeconds(seconds);
}

std::optional<AutomationDate> AutomationDate::PlusDays(long days) const {
  std::int64_t span = 0;
  std::int64_t seconds = 0;
  if (__builtin_mul_overflow(static_cast<std::int64_t>(days), kSecondsPerDay, &span) ||
      __builtin_add_overflow(seconds_, span, &seconds)) {
    return std::nullopt;
  }
  return FromSeconds(seconds);
}

double AutomationDate::DaysSince(const AutomationDate& earlier) const {
  return static_cast<double>(seconds_ - earlier.seconds_) / static_cast<double>(kSecondsPerDay);
}

std::u16string AutomationDate::Text() const {
  const std::int64_t day = seconds_ >= 0 ? seconds_ / kSecondsPerDay
                                         : -((-seconds_ + kSecondsPerDay - 1) / kSecondsPerDay);
  const std::int64_t second_of_day = seconds_ - day * kSecondsPerDay;
  const CivilDate date = CivilFromDays(day + kDayZero);
  char text[64];
  std::snprintf(
      text, sizeof text, "%04lld-%02u-%02u %02lld:%02lld:%02lld", static_cast<long long>(date.year),
      date.month, date.day, static_cast<long long>(second_of_day / 3600),
      static_cast<long long>(second_of_day / 60 % 60), static_cast<long long>(second_of_day % 60));
  return Widen(text);
}

std::u16string AutomationDate::DayText() const { return Text().substr(0, 10); }

}  // namespace korvalis
