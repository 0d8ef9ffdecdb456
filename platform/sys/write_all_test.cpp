#include "platform/sys/write_all.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <thread>

namespace {

TEST(WriteAll, ABufferLargerThanAPipeTakesArrivesWholeThroughPartialWrites) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  // Larger than the pipe's capacity, so write(2) takes it in pieces as the reader drains it.
  std::string bytes(4 << 20, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 131 % 251);
  std::string received;
  std::thread reader([&] {
    char buffer[8192];
    ssize_t n;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0) received.append(buffer, n);
  });
  EXPECT_TRUE(korvalis::sys::WriteAll(fds[1], bytes));
  ::close(fds[1]);
  reader.join();
  ::close(fds[0]);
  EXPECT_TRUE(received == bytes);
}

TEST(WriteAll, AFailingDescriptorIsReportedNotLooped) {
  EXPECT_FALSE(korvalis::sys::WriteAll(-1, "x"));
  EXPECT_EQ(errno, EBADF);
  const int read_only = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  ASSERT_GE(read_only, 0);
  EXPECT_FALSE(korvalis::sys::WriteAll(read_only, "x"));
  ::close(read_only);
  // Nothing to write succeeds without touching the descriptor.
  EXPECT_TRUE(korvalis::sys::WriteAll(-1, ""));
}

}  // namespace
