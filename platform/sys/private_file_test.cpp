#include "platform/sys/private_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <string>

#include "db/testing/temp_directory.h"
#include "platform/sys/testing/private_mode.h"

namespace korvalis::sys {
namespace {

using testing::ModeOf;
using testing::ScopedUmask;

class PrivateFileTest : public ::testing::Test {
 protected:
  korvalis::testing::TempDirectory scratch_{"korvalis-private"};
  const std::string directory_ = scratch_.path();
};

TEST_F(PrivateFileTest, NewFilesAreTheOwnersOnlyWhateverTheUmask) {
  for (mode_t umask : {mode_t{0}, mode_t{022}, mode_t{0277}, mode_t{0777}}) {
    SCOPED_TRACE(umask);
    ScopedUmask scoped(umask);
    const std::string path = directory_ + "/file" + std::to_string(umask);
    const int fd = OpenPrivateFile(path, O_WRONLY | O_APPEND);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::write(fd, "ab", 2), 2);
    ::close(fd);
    EXPECT_EQ(ModeOf(path), 0600u);
  }
}

TEST_F(PrivateFileTest, AnExistingFileKeepsItsModeAndTheFlagsApply) {
  const std::string path = directory_ + "/shared.log";
  std::ofstream(path) << "first\n";
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  int fd = OpenPrivateFile(path, O_WRONLY | O_APPEND);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(::write(fd, "second\n", 7), 7);
  ::close(fd);
  EXPECT_EQ(ModeOf(path), 0640u);
  std::ifstream in(path);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "first\nsecond\n");
  // O_EXCL keeps its meaning: an existing file is not opened.
  EXPECT_EQ(OpenPrivateFile(path, O_WRONLY | O_EXCL), -1);
  EXPECT_EQ(errno, EEXIST);
  EXPECT_EQ(OpenPrivateFile(directory_ + "/no/such/folder/file", O_WRONLY), -1);
}

TEST_F(PrivateFileTest, NewFoldersAreTheOwnersOnlyAndExistingOnesStay) {
  ScopedUmask scoped(0277);
  ASSERT_TRUE(MakePrivateFolders(directory_ + "/a/b//c/"));
  for (const char* folder : {"/a", "/a/b", "/a/b/c"}) EXPECT_EQ(ModeOf(directory_ + folder), 0700u);
  ASSERT_EQ(::chmod((directory_ + "/a").c_str(), 0750), 0);
  EXPECT_TRUE(MakePrivateFolders(directory_ + "/a/d"));
  EXPECT_EQ(ModeOf(directory_ + "/a"), 0750u);
  EXPECT_EQ(ModeOf(directory_ + "/a/d"), 0700u);
  // A file where a folder belongs.
  std::ofstream(directory_ + "/f") << "x";
  EXPECT_FALSE(MakePrivateFolders(directory_ + "/f/g"));
}

}  // namespace
}  // namespace korvalis::sys
