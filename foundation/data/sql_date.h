// Date values and time spans placed in SQL text built by concatenation: a date
// argument becomes the dialect's date literal with its quotes doubled, and a
// time span (start and end joined by "|") becomes a closed range condition on
// one column (SqlConditions writes the other forms).
//
// A span applies only when it splits at "|" (SplitByChars: separators at its
// start skipped, an empty piece between two separators counted, none after a
// separator at its end) into exactly two pieces; "2026-11-01|", "|2027-01-01"
// and "a|b|c" add nothing and are no error.
//
// Thread-safety: stateless functions; the dialect is only read.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

class CDBType;

namespace korvalis {

// The separator of a time span's start and end: "2026-11-01|2027-01-01".
inline constexpr char16_t kTimeSpanSeparator = u'|';

// True when `value` is a date as the data source reads a date literal in its
// default format "YYYY-MM-DD HH24:MI:SS": a date alone or with a time, fields
// with or without leading zeros ("2026-11-01", "2026-1-5 8:00"), written in
// digits, blanks and the punctuation - / , . ; :. A text that is no date (an
// empty one included) or holds any other character is not.
bool IsSqlDate(std::u16string_view value);

// The dialect's date literal of `value` (its default date format), the value's
// quotes doubled.
std::u16string SqlDateValue(const CDBType &dialect, std::u16string_view value);

// The start and the end of `span`, or nullopt when it does not apply.
std::optional<std::pair<std::u16string, std::u16string>> TimeSpanEnds(std::u16string_view span);

// Appends " AND " `column` " BETWEEN " DATE(start) " AND " DATE(end), both ends
// included.
void AppendDatesBetween(const CDBType &dialect, std::u16string_view column,
                        std::u16string_view start, std::u16string_view end, std::u16string &sql);

// AppendDatesBetween with the start and the end of `span` when it applies;
// appends nothing otherwise.
void AppendDateBetween(const CDBType &dialect, std::u16string_view span, std::u16string_view column,
                       std::u16string &sql);

}  // namespace korvalis
