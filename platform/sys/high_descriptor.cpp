#include "platform/sys/high_descriptor.h"

#include <fcntl.h>
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

}  // namespace korvalis::sys
