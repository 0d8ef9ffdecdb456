// The time limits of the records due for commit: how the work-list parameters
// "inpatient_commit_timeout" (hours after discharge, optionally followed by ";" and a weekend
// flag) and "inrollbackpatient_commit_timeout" (hours after a rollback) turn into the dates
// before which a discharge or a rollback makes a record due, given the server's current time.
//
// Dates are civil times without a time zone, as the server's date-time component gives them;
// arithmetic on them is in whole hours of 3600 seconds.
//
// Thread-safety: stateless functions.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace korvalis::worklist {

// Limit text that no stored date lies before: a limit of 0 hours lists nothing.
inline constexpr char16_t kNoLimitDate[] = u"1900-01-01 00:00:00";

using CivilTime = std::chrono::sys_seconds;

// The commit settings read from the two parameters.
struct CommitSettings {
  std::u16string discharge_hours;  // the text before the first ";" of the discharge setting
  bool skip_weekends = false;      // the piece after it is exactly "1"
  std::u16string rollback_hours;

  // Both limits are switched off: each text is exactly "0".
  bool Disabled() const { return discharge_hours == u"0" && rollback_hours == u"0"; }
};

// Splits the discharge setting at ";" with SplitByChars; a setting with no piece reads as an
// empty text of hours.
CommitSettings ReadCommitSettings(std::u16string_view discharge_setting,
                                  std::u16string_view rollback_setting);

// "YYYY-MM-DD HH:MM:SS" (one- or two-digit month, day and time fields; the time, or its
// seconds, may be left out). nullopt for any other text or a date that does not exist.
std::optional<CivilTime> ParseCivilTime(std::u16string_view text);

// "YYYY-MM-DD HH:MM:SS".
std::u16string FormatCivilTime(CivilTime time);

bool IsWeekend(CivilTime time);

// The limit of one setting: kNoLimitDate for 0 hours; `now_text` unchanged for at most 24
// hours (negative hours included); otherwise `now` less (hours - 24) hours. A limit that would
// fall before kNoLimitDate is kNoLimitDate.
std::u16string LimitDate(int hours, std::u16string_view now_text, CivilTime now);

}  // namespace korvalis::worklist
