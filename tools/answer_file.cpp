#include "tools/answer_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

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
  if (created_ && !written_) ::unlink(path_.c_str());
}

bool AnswerFile::Open(const std::string& path, std::string* error) {
  path_ = path;
  // An answer may hold patient records: a new file is its owner's only.
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  created_ = fd_ >= 0;
  if (fd_ < 0 && errno == EEXIST) fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd_ < 0) {
    *error = Failure("cannot write", path);
    return false;
  }
  return true;
}

bool AnswerFile::Write(std::string_view bytes, std::string* error) {
  written_ = true;
  struct stat status {};
  if (::fstat(fd_, &status) == 0 && S_ISREG(status.st_mode) && ::ftruncate(fd_, 0) != 0) {
    *error = Failure("cannot write", path_);
    return false;
  }
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = Failure("cannot write the answer to", path_);
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  const int fd = std::exchange(fd_, -1);
  if (::close(fd) != 0) {
    *error = Failure("cannot write the answer to", path_);
    return false;
  }
  return true;
}

}  // namespace korvalis::tools
