// The suite's clock as the date-time components answer it.
//
// Thread-safety: stateless.
#pragma once

#include <string>

namespace korvalis::suite {

struct SuiteConfig;

// Whether `text` has the form "YYYY-MM-DD HH:MM:SS" and is a time of a day of the calendar:
// a month of 1 to 12, a day that month has (29 February in leap years only), an hour below 24
// and minutes and seconds below 60.
bool IsDateTimeText(std::u16string_view text);

// The configured fixed time (checked when the configuration is read), or the local time of the
// system clock, as "YYYY-MM-DD HH:MM:SS".
std::u16string SuiteDateTime(const SuiteConfig& config);

}  // namespace korvalis::suite
