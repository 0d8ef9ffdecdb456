// The file log: a plain UTF-8 text trace (of record-content updates) that an administrator can
// read on the server, one file per calendar month, "YYYY-MM.log" in the folder that
// KORVALIS_LOG_DIR names, else in the user's state folder where Linux programs keep such logs
// ($XDG_STATE_HOME/korvalis, by default ~/.local/state/korvalis). Each entry:
//
//   -----YYYY-MM-DD HH:MM:SS\n
//   -------------------------------------------------------------------\r\n   (67 hyphens)
//   <text>\r\n\r\n
//
// The text is written on one line, its control characters escaped (\n, \r, \t, \\, \xHH;
// platform/text/control_escape.h), so no text can forge an entry's lines.
//
// Writing never fails the caller: a folder that cannot be created or a file that cannot be
// written loses the entry silently.
//
// Thread-safety: each entry is appended with a single write to a file opened for appending,
// so entries of concurrent writers (threads or processes) never interleave within an entry.
#pragma once

#include <ctime>
#include <string>

// Appends one entry stamped with the local time. `flag` is accepted for the callers' sake and
// has no effect.
void WriteLogFile(const std::u16string& text, int flag = 0);

namespace korvalis::filelog {

inline constexpr char kLogFolderVariable[] = "KORVALIS_LOG_DIR";

// The log's folder from the environment: KORVALIS_LOG_DIR, $XDG_STATE_HOME/korvalis (an
// absolute XDG_STATE_HOME only, as the XDG rules say), or ~/.local/state/korvalis.
std::string LogFolder();
// The same choice from the given values (null or empty: unset). Without any of them, "Log" in
// the current directory.
std::string LogFolderFrom(const char* named, const char* state_home, const char* home);

// Appends one entry to `folder` (created with the folders above it when missing) stamped with `local_time`, which also
// chooses the month's file. Returns false when nothing could be written.
bool AppendEntry(const std::string& folder, const std::tm& local_time, const std::u16string& text);

}  // namespace korvalis::filelog
