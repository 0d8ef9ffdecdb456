// Where a file of the system's own installation (a module it loads, a program it starts) is
// looked for, in this order: beside the library or program that holds this code, in the
// libraries' folder of an installation (for the command in its bin folder), then in the folders
// of the holder's run path, which the build gives its tests, benchmarks and fuzz targets. An
// installed program or library has no run path and looks only where it was installed.
//
// Thread-safety: thread-safe.
#pragma once

#include <string>
#include <vector>

namespace korvalis::sys {

// The places where the file `name` may be, in the order to try them. Only a process that cannot
// tell which file holds this code (no /proc) gets `name` alone, for the loader to search.
std::vector<std::string> InstalledFileCandidates(const char* name);

// `path` made absolute against the current folder with its symbolic links kept, so that a file
// reached through a link (`current -> 1.0.0`) is reached through it again after the link moves;
// "." and ".." are taken out where that names the same file (or where no file is there).
std::string AbsolutePathAsGiven(const std::string& path);

}  // namespace korvalis::sys
