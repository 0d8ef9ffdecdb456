// Test helper: a private directory of one's own under the system's temporary directory,
// removed with everything in it when the object ends.
//
// Thread-safety: one object per thread; objects are independent.
#pragma once

#include <stdlib.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace korvalis::testing {

class TempDirectory {
 public:
  // The directory's name starts with `prefix`. Throws std::system_error when it cannot be
  // made.
  explicit TempDirectory(std::string_view prefix = "korvalis") {
    std::string pattern =
        (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      throw std::system_error(errno, std::generic_category(), "mkdtemp " + pattern);
    }
    path_ = std::move(pattern);
  }
  ~TempDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace korvalis::testing
