// The system event log: each record has a type, one text and optional raw bytes. Records go
// to syslog under the ident "电子病历" and, when the environment variable KORVALIS_EVENTLOG
// names a file, are also appended to that file, one line per record:
//
//   <type as decimal> TAB <text, escaped> TAB <raw bytes as lower-case hex> LF
//
// In the text, backslash, tab, line feed and carriage return are written as \\, \t, \n and
// \r and other control characters as \xHH or \u00HH (platform/text/control_escape.h), in the
// file and in syslog alike, so a record always stays on one line and carries no terminal
// control. The variable is read for every record.
//
// Thread-safety: thread-safe; each record reaches the file with a single append.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvalis::sys {

enum EventType : std::uint16_t {
  kEventError = 1,
  kEventWarning = 2,
  kEventInformation = 4,
};

inline constexpr char kEventLogFileVariable[] = "KORVALIS_EVENTLOG";

// Writes one record. Failures to write (no syslog daemon, an unwritable file) lose the record
// silently: reporting an error must never fail the caller.
void ReportEvent(std::uint16_t type, std::u16string_view text, const std::uint8_t* raw,
                 std::uint32_t raw_length);

// One record read back from an event-log file.
struct EventRecord {
  std::uint16_t type = 0;
  std::u16string text;
  std::vector<std::uint8_t> raw;
};

// Reads every well-formed record of the file at `path` (empty when it cannot be read).
std::vector<EventRecord> ReadEventLogFile(const std::string& path);

// Reads the well-formed records of the file at `path` from the byte *offset on, and moves
// *offset past the last whole line read: the records appended since an earlier read.
std::vector<EventRecord> ReadEventLogFileFrom(const std::string& path, std::uint64_t* offset);

}  // namespace korvalis::sys
