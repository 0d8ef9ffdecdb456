#include "tools/answer_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/sys/write_all.h"
#include "tools/temporary_files.h"

namespace korvalis::tools {
namespace {

// The message of the failure that errno holds.
std::string Failure(const std::string& what, const std::string& path) {
  const int reason = errno;
  return what + " " + path + ": " + std::strerror(reason);
}

}  // namespace

AnswerFile::~AnswerFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!beside_.empty()) {
    ::unlink(beside_.c_str());
    KeepAtSignal(beside_);
  }
}

bool AnswerFile::Open(const std::string& path, std::string* error) {
  path_ = path;
  struct stat link {};
  const bool exists = ::lstat(path.c_str(), &link) == 0;
  if (exists && !S_ISREG(link.st_mode)) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd_ < 0) *error = Failure("cannot write", path);
    return fd_ >= 0;
  }
  if (exists) {
    // The file is replaced only by whoever may write it.
    const int probe = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (probe < 0) {
      *error = Failure("cannot write", path);
      return false;
    }
    ::close(probe);
    replaces_ = true;
    mode_ = link.st_mode & 07777;
    owner_ = link.st_uid;
    group_ = link.st_gid;
  }
  // An answer may hold patient records: the new file is its owner's only until it takes the
  // mode of the file it replaces.
  std::string beside = path + ".XXXXXX";
  fd_ = ::mkostemp(beside.data(), O_CLOEXEC);
  if (fd_ < 0 && exists) {
    // A file that may be written in a folder that may not: written in place, as a device is.
    fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd_ >= 0) return true;
  }
  if (fd_ < 0) {
    *error = Failure("cannot write", path);
    return false;
  }
  beside_ = std::move(beside);
  RemoveAtSignal(beside_);
  return true;
}

bool AnswerFile::Write(std::string_view bytes, std::string* error) {
  if (beside_.empty()) return WriteInPlace(bytes, error);
  bool written = sys::WriteAll(fd_, bytes);
  if (written && replaces_) {
    // Another owner's file keeps its owner where this user may give it (root); elsewhere the
    // file is this user's own already.
    [[maybe_unused]] const int given = ::fchown(fd_, owner_, group_);
    written = ::fchmod(fd_, mode_) == 0;
  }
  written = written && ::fsync(fd_) == 0;
  const int fd = std::exchange(fd_, -1);
  written = ::close(fd) == 0 && written;
  if (!written || ::rename(beside_.c_str(), path_.c_str()) != 0) {
    *error = Failure("cannot write the answer to", path_);
    return false;  // the destructor removes the new file
  }
  KeepAtSignal(beside_);
  beside_.clear();
  return true;
}

bool AnswerFile::WriteInPlace(std::string_view bytes, std::string* error) {
  struct stat status {};
  if (::fstat(fd_, &status) == 0 && S_ISREG(status.st_mode) && ::ftruncate(fd_, 0) != 0) {
    *error = Failure("cannot write", path_);
    return false;
  }
  const bool written = sys::WriteAll(fd_, bytes);
  const int fd = std::exchange(fd_, -1);
  if (!written || ::close(fd) != 0) {
    *error = Failure("cannot write the answer to", path_);
    return false;
  }
  return true;
}

}  // namespace korvalis::tools
