// AutomationDate: a date and time of day on the scale of automation dates, days since
// 1899-12-30 00:00:00 with the time of day as the fraction, as the time-limit rules compute
// deadlines, lateness and the ends of date ranges.
//
// The value is held as whole seconds since day zero, so that adding h hours (h/24 days) and
// taking the span between two dates are exact: fourteen hours are 14/24 of a day whatever
// the dates, and a span is never a second short. Dates lie between 0100-01-01 00:00:00 and
// 9999-12-31 23:59:59, the range of automation dates; arithmetic that would leave it gives
// no date.
//
//   auto start = AutomationDate::Parse(u"2026-12-07 08:00:00");
//   auto deadline = start->PlusHours(24);          // 2026-12-08 08:00:00
//   double late = finish.DaysSince(*deadline);     // negative while on time
//
// Thread-safety: a value type; no shared state.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>

#include "foundation/text/string_util.h"

namespace korvalis {

class AutomationDate {
 public:
  // Day zero: 1899-12-30 00:00:00.
  AutomationDate() = default;

  // The date that `text` names, read as ParseDateTimeText reads it (date_format.h): a date
  // with an optional time of day, or a time alone on day zero. No value for anything else.
  static std::optional<AutomationDate> Parse(TextRef text);

  // Days since day zero, the time of day as the fraction (negative before day zero).
  double Days() const;

  // The date `hours` later (earlier when negative); no value when it leaves the range.
  std::optional<AutomationDate> PlusHours(long hours) const;
  // The date `days` whole days later (earlier when negative); no value when it leaves the
  // range.
  std::optional<AutomationDate> PlusDays(long days) const;

  // This date minus `earlier`, in days, taken from the whole seconds between them.
  double DaysSince(const AutomationDate& earlier) const;

  // "YYYY-MM-DD HH:MM:SS" ("%Y-%m-%d %H:%M:%S").
  std::u16string Text() const;
  // "YYYY-MM-DD" ("%Y-%m-%d").
  std::u16string DayText() const;

  auto operator<=>(const AutomationDate&) const = default;

 private:
  explicit AutomationDate(std::int64_t seconds) : seconds_(seconds) {}
  static std::optional<AutomationDate> FromSeconds(std::int64_t seconds);

  std::int64_t seconds_ = 0;  // since day zero
};

}  // namespace korvalis
