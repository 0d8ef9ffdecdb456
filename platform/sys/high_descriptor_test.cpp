#include "platform/sys/high_descriptor.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

namespace korvalis::sys {
namespace {

bool Closed(int descriptor) { return ::fcntl(descriptor, F_GETFD) < 0 && errno == EBADF; }

// In a host that closed its standard descriptors, what the library makes lands above them, and
// the host finds them closed again afterwards.
void MakeDescriptorsWithoutStandardOnes() {
  for (int standard = 0; standard < 3; ++standard) ::close(standard);
  const int moved = AboveStandard(::open("/dev/null", O_RDONLY | O_CLOEXEC));
  if (moved < 3 || !Closed(0)) ::_exit(1);
  int made = -1;
  {
    const StandardDescriptorsHeld held;
    made = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);  // as a database client makes its own
  }
  if (made < 3) ::_exit(2);
  for (int standard = 0; standard < 3; ++standard) {
    if (!Closed(standard)) ::_exit(3);
  }
  // One the host reopened meanwhile is left to it.
  int reopened = -1;
  {
    const StandardDescriptorsHeld held;
    reopened = ::open("/dev/null", O_WRONLY);
    ::dup2(reopened, 1);
  }
  ::_exit(Closed(1) ? 4 : 0);
}

TEST(HighDescriptorTest, TheLibrarysDescriptorsStayAboveTheStandardOnes) {
  EXPECT_EXIT(MakeDescriptorsWithoutStandardOnes(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace korvalis::sys
