#include "foundation/log/file_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "foundation/testing/data_source_test_util.h"
#include "platform/sys/testing/private_mode.h"

namespace {

using korvalis::datasource::testing::TempDirectory;

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

std::tm LocalTime(int year, int month, int day, int hour, int minute, int second) {
  std::tm time{};
  time.tm_year = year - 1900;
  time.tm_mon = month - 1;
  time.tm_mday = day;
  time.tm_hour = hour;
  time.tm_min = minute;
  time.tm_sec = second;
  return time;
}

const std::string kSeparator(67, '-');

TEST(FileLog, EntriesGoToTheMonthsFileInAFolderMadeOnDemand) {
  TempDirectory directory;
  const std::string folder = directory.path() + "/Log";
  ASSERT_TRUE(
      korvalis::filelog::AppendEntry(folder, LocalTime(2005, 3, 7, 8, 9, 10), u"病历内容已更新"));
  ASSERT_TRUE(
      korvalis::filelog::AppendEntry(folder, LocalTime(2005, 3, 31, 23, 59, 59), u"second"));
  const std::string march = Contents(folder + "/2005-03.log");
  EXPECT_EQ(march, "-----2005-03-07 08:09:10\n" + kSeparator +
                       "\r\n病历内容已更新\r\n\r\n"
                       "-----2005-03-31 23:59:59\n" +
                       kSeparator + "\r\nsecond\r\n\r\n");
  // The first day of a month begins a new file and leaves the previous one as it was.
  ASSERT_TRUE(korvalis::filelog::AppendEntry(folder, LocalTime(2005, 4, 1, 0, 0, 0), u"april"));
  EXPECT_EQ(Contents(folder + "/2005-04.log"),
            "-----2005-04-01 00:00:00\n" + kSeparator + "\r\napril\r\n\r\n");
  EXPECT_EQ(Contents(folder + "/2005-03.log"), march);
  // A text's line breaks and controls cannot forge an entry: the text stays one line.
  ASSERT_TRUE(korvalis::filelog::AppendEntry(folder, LocalTime(2005, 4, 2, 0, 0, 0),
                                             u"a\\b\r\n-----2005-04-03 00:00:00\n\x1b[31m"));
  EXPECT_EQ(Contents(folder + "/2005-04.log"),
            "-----2005-04-01 00:00:00\n" + kSeparator + "\r\napril\r\n\r\n" +
                "-----2005-04-02 00:00:00\n" + kSeparator +
                "\r\na\\\\b\\r\\n-----2005-04-03 00:00:00\\n\\x1b[31m\r\n\r\n");
}

TEST(FileLog, TheFolderAndItsFilesAreTheOwnersOnly) {
  TempDirectory directory;
  korvalis::sys::testing::ScopedUmask open_umask(0);
  const std::string folder = directory.path() + "/Log";
  ASSERT_TRUE(korvalis::filelog::AppendEntry(folder, LocalTime(2005, 3, 7, 8, 9, 10), u"病人"));
  EXPECT_EQ(korvalis::sys::testing::ModeOf(folder), 0700u);
  EXPECT_EQ(korvalis::sys::testing::ModeOf(folder + "/2005-03.log"), 0600u);
}

TEST(FileLog, AnUnwritableFolderLosesTheEntryQuietly) {
  TempDirectory directory;
  const std::string blocker = directory.path() + "/Log";
  std::ofstream(blocker) << "a file where the folder should be";
  EXPECT_FALSE(korvalis::filelog::AppendEntry(blocker, LocalTime(2005, 3, 7, 8, 9, 10), u"x"));
  WriteLogFile(u"never fails", 1);
}

TEST(FileLog, TheFolderIsTheNamedOneOrTheUsersStateFolder) {
  using korvalis::filelog::LogFolderFrom;
  const struct {
    const char* named;
    const char* state_home;
    const char* home;
    const char* folder;
  } cases[] = {
      {"/var/log/emr", "/s", "/h", "/var/log/emr"},
      {"", "/s", "/h", "/s/korvalis"},
      {nullptr, "relative", "/h", "/h/.local/state/korvalis"},  // XDG takes absolute paths only
      {nullptr, nullptr, "/h", "/h/.local/state/korvalis"},
      {nullptr, nullptr, nullptr, "Log"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LogFolderFrom(c.named, c.state_home, c.home), c.folder);
  }
}

TEST(FileLog, MissingFoldersAboveTheLogFolderAreMadeOwnerOnly) {
  TempDirectory directory;
  const std::string folder = directory.path() + "/state/korvalis";
  ASSERT_TRUE(korvalis::filelog::AppendEntry(folder, LocalTime(2005, 3, 7, 8, 9, 10), u"x"));
  EXPECT_EQ(korvalis::sys::testing::ModeOf(directory.path() + "/state"), 0700u);
  EXPECT_EQ(korvalis::sys::testing::ModeOf(folder + "/2005-03.log"), 0600u);
}

}  // namespace
