// What the test process holds in memory, from /proc, for tests that bound a call's peak.
//
// Thread-safety: reads and writes the process's own /proc files; call from one thread.
#pragma once

#include <malloc.h>

#include <cstddef>
#include <fstream>
#include <string>
#include <string_view>

namespace korvalis::sys::testing {

// The memory the process holds (`field` "VmRSS:"), or held at most since the peak was last
// reset ("VmHWM:"), in bytes; 0 where /proc does not tell.
inline std::size_t ResidentBytes(std::string_view field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with(field)) return std::stoul(line.substr(field.size())) * 1024;
  }
  return 0;
}

// Gives freed memory back and starts the peak anew; false where the kernel does not let it.
inline bool ResetPeak() {
  malloc_trim(0);
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
  clear.flush();
  return clear.good();
}

}  // namespace korvalis::sys::testing
