// Control characters of a text written as visible escapes, for the lines that carry a caller's
// values (the event log, the file log, the command's messages): a value can neither end a line
// and forge the next one nor reach a terminal as an escape sequence.
//
//   \  -> \\        tab, line feed, carriage return -> \t, \n, \r
//   other C0 characters and DEL -> \xHH     C1 characters (U+0080..U+009F) -> \u00HH
//
// Everything else, other UTF-8 included, stays as it is; the backslash is escaped too, so the
// escaped text reads back unambiguously.
//
// Thread-safety: pure functions.
#pragma once

#include <string>
#include <string_view>

namespace korvalis {

// The UTF-8 text `text` with its control characters escaped.
std::string EscapeControls(std::string_view text);

// The text that EscapeControls wrote; a backslash that begins no escape stays as it is.
std::string UnescapeControls(std::string_view text);

}  // namespace korvalis
