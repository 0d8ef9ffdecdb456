#include "platform/sys/high_descriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace korvalis::sys {

int AboveStandard(int descriptor) {
  if (descriptor < 0 || descriptor >= kLowestLibraryDescriptor) return descriptor;
  const int moved = ::fcntl(descriptor, F_DUPFD_CLOEXEC, kLowestLibraryDescriptor);
  const int error = errno;
  ::close(descriptor);
  errno = error;
  return moved;
}

namespace {

constexpr char kNowhere[] = "/dev/null";

// Whether `descriptor` is a copy of what `opened` opened: the same file, opened the same way.
bool StillHeld(int descriptor, const struct stat& opened) {
  struct stat now{};
  return ::fstat(descriptor, &now) == 0 && now.st_dev == opened.st_dev &&
         now.st_ino == opened.st_ino && ::fcntl(descriptor, F_GETFD) == FD_CLOEXEC;
}

}  // namespace

StandardDescriptorsHeld::StandardDescriptorsHeld() {
  for (int standard = 0; standard < kLowestLibraryDescriptor; ++standard) {
    if (::fcntl(standard, F_GETFD) >= 0 || errno != EBADF) continue;
    const int nowhere = ::open(kNowhere, O_RDWR | O_CLOEXEC);
    if (nowhere < 0) return;
    if (nowhere == standard) {
      held_[standard] = true;
      continue;
    }
    // A lower one was taken first by another thread: this one stays as it is.
    ::close(nowhere);
  }
}

StandardDescriptorsHeld::~StandardDescriptorsHeld() {
  struct stat opened{};
  if (::stat(kNowhere, &opened) != 0) return;
  for (int standard = 0; standard < kLowestLibraryDescriptor; ++standard) {
    if (held_[standard] && StillHeld(standard, opened)) ::close(standard);
  }
}

}  // namespace korvalis::sys
