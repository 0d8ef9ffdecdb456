// Writing a whole buffer to a file descriptor: write(2) may take fewer bytes than asked or be
// interrupted by a signal, so the rest is written again until all is written or it fails.
// The registry file of platform/com is one of its users.
//
// Thread-safety: as write(2) on the descriptor.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <string_view>

namespace korvalis::sys {

// True when every byte of `bytes` was written to `fd`; false on the first failing write
// (errno tells why), having written some bytes perhaps.
inline bool WriteAll(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace korvalis::sys
