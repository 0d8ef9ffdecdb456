// Test helpers for the modes of private files: the process's umask set for a scope, and the
// permission bits of a path.
//
// Thread-safety: the umask is process-wide; tests that set it run one at a time.
#pragma once

#include <sys/stat.h>

#include <string>

namespace korvalis::sys::testing {

// Sets the process's umask while the object lives.
class ScopedUmask {
 public:
  explicit ScopedUmask(mode_t mask) : previous_(::umask(mask)) {}
  ~ScopedUmask() { ::umask(previous_); }
  ScopedUmask(const ScopedUmask&) = delete;
  ScopedUmask& operator=(const ScopedUmask&) = delete;

 private:
  mode_t previous_;
};

// The permission bits of `path` (0 when it cannot be read).
inline unsigned ModeOf(const std::string& path) {
  struct stat status;
  return ::stat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0u;
}

}  // namespace korvalis::sys::testing
