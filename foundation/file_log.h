// The file log: a plain UTF-8 text trace (of record-content updates) that an administrator can
// read on the server, one file per calendar month, "Log/YYYY-MM.log" beside the executable of
// the host process. Each entry:
//
//   -----YYYY-MM-DD HH:MM:SS\n
//   -------------------------------------------------------------------\r\n   (67 hyphens)
//   <text>\r\n\r\n
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

// The folder "Log" in the directory of the host process's executable.
std::string LogFolder();

// Appends one entry to `folder` (created when missing) stamped with `local_time`, which also
// chooses the month's file. Returns false when nothing could be written.
bool AppendEntry(const std::string& folder, const std::tm& local_time, const std::u16string& text);

}  // namespace korvalis::filelog
