// Files and folders that hold patient data or password digests (the registry, the suite's
// configuration and HIS files, the logs) are their owner's only: a file this process creates
// gets mode 0600 and a folder 0700, whatever the umask (which can only take bits away, so the
// mode is set again after creation). Files and folders that exist already keep their mode: an
// operator may have opened one on purpose. The registry file of platform/com is one of its
// users: this folder sits below that one and includes nothing of it.
//
// Thread-safety: as the system calls on the paths.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace korvalis::sys {

inline constexpr mode_t kPrivateFileMode = 0600;
inline constexpr mode_t kPrivateFolderMode = 0700;

// open(2) of `path` with `flags` (O_WRONLY, O_APPEND, O_TRUNC ...; O_CREAT and O_CLOEXEC are
// added): a file this call creates has exactly mode 0600. -1 with errno set on failure; a
// created file whose mode cannot be set is removed again.
inline int OpenPrivateFile(const std::string& path, int flags) {
  // Creating exclusively tells a new file from an existing one; a file removed in between is
  // created on the next round.
  for (int attempt = 0; attempt < 8; ++attempt) {
    const int created =
        ::open(path.c_str(), flags | O_CREAT | O_EXCL | O_CLOEXEC, kPrivateFileMode);
    if (created >= 0) {
      if (::fchmod(created, kPrivateFileMode) == 0) return created;
      const int error = errno;
      ::close(created);
      ::unlink(path.c_str());
      errno = error;
      return -1;
    }
    if (errno != EEXIST || (flags & O_EXCL) != 0) return -1;
    const int existing = ::open(path.c_str(), (flags & ~O_CREAT) | O_CLOEXEC);
    if (existing >= 0 || errno != ENOENT) return existing;
  }
  return -1;
}

// mkdir(2) of `path` with exactly mode 0700. True when this call made it, or when it exists
// as a folder (its mode kept); false with errno set otherwise (ENOTDIR for a file in its place).
inline bool MakePrivateFolder(const std::string& path) {
  if (::mkdir(path.c_str(), kPrivateFolderMode) == 0) {
    return ::chmod(path.c_str(), kPrivateFolderMode) == 0;
  }
  struct stat status;
  if (errno != EEXIST || ::stat(path.c_str(), &status) != 0) return false;
  if (S_ISDIR(status.st_mode)) return true;
  errno = ENOTDIR;
  return false;
}

// Makes `path` and every missing folder above it, each new one with mode 0700. True when
// `path` is a folder afterwards; false with errno set otherwise.
inline bool MakePrivateFolders(const std::string& path) {
  for (std::size_t i = 1; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != '/') continue;
    if (path[i - 1] == '/') continue;  // a doubled or trailing separator
    if (!MakePrivateFolder(path.substr(0, i))) return false;
  }
  return !path.empty();
}

}  // namespace korvalis::sys
