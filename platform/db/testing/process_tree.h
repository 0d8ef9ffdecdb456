// The processes of a test and of its server: the children of a process, read from /proc, and
// the process handles (pidfd) that stay bound to one process however its number is reused; for
// the test server's keeper and for tests that end a process with everything under it.
//
// Thread-safety: safe from any thread.
#pragma once

#include <dirent.h>
#include <sys/types.h>
// This C library's header declares its functions without C linkage.
extern "C" {
#include <sys/pidfd.h>
}

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace korvalis::db::testing {

// The processes whose parent is `parent` now; none when /proc cannot be read.
inline std::vector<pid_t> ChildrenOf(pid_t parent) {
  std::vector<pid_t> children;
  DIR* proc = ::opendir("/proc");
  if (proc == nullptr) return children;
  while (const dirent* entry = ::readdir(proc)) {
    const pid_t pid = static_cast<pid_t>(std::atol(entry->d_name));
    if (pid <= 0) continue;
    std::ifstream in("/proc/" + std::string(entry->d_name) + "/stat");
    const std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // "pid (name) state ppid ...": the name may hold spaces and parentheses.
    const size_t name_end = stat.rfind(')');
    if (name_end == std::string::npos || name_end + 4 >= stat.size()) continue;
    if (std::atol(stat.c_str() + name_end + 4) == parent) children.push_back(pid);
  }
  ::closedir(proc);
  return children;
}

}  // namespace korvalis::db::testing
