#include "platform/sys/event_log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "platform/sys/testing/private_mode.h"

namespace korvalis::sys {
namespace {

class EventLogFile : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = (std::filesystem::temp_directory_path() /
             ("korvalis_eventlog_" + std::to_string(::getpid()) + ".log")).string();
    std::filesystem::remove(path_);
    ::setenv(kEventLogFileVariable, path_.c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv(kEventLogFileVariable);
    std::filesystem::remove(path_);
  }
  std::string Contents() const {
    std::ifstream in(path_);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
  }
  std::string path_;
};

TEST_F(EventLogFile, RecordsKeepTypeTextAndExactRawBytes) {
  const std::uint8_t code[] = {0x05, 0x40, 0x00, 0x80};
  ReportEvent(kEventError, u"数据库错误", code, 4);
  ReportEvent(kEventWarning, u"no raw", nullptr, 0);
  EXPECT_EQ(Contents(), "1\t数据库错误\t05400080\n2\tno raw\t\n");
  const auto records = ReadEventLogFile(path_);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].type, kEventError);
  EXPECT_EQ(records[0].text, u"数据库错误");
  EXPECT_EQ(records[0].raw, (std::vector<std::uint8_t>{0x05, 0x40, 0x00, 0x80}));
  EXPECT_TRUE(records[1].raw.empty());
}

TEST_F(EventLogFile, TheFileIsTheOwnersOnly) {
  testing::ScopedUmask open_umask(0);
  ReportEvent(kEventError, u"SELECT NAME FROM TELV_PATIENT WHERE NAME = '张三'", nullptr, 0);
  EXPECT_EQ(testing::ModeOf(path_), 0600u);
}

TEST_F(EventLogFile, MultiLineTextStaysOneRecordWithoutControls) {
  const std::u16string sql = u"SELECT *\r\n\tFROM DUAL -- a\\b '\n1\terror\t\x1b[31mRED'";
  ReportEvent(kEventInformation, sql, nullptr, 0);
  const auto records = ReadEventLogFile(path_);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].text, sql);
  std::ifstream in(path_, std::ios::binary);
  const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(file, "4\tSELECT *\\r\\n\\tFROM DUAL -- a\\\\b '\\n1\\terror\\t\\x1b[31mRED'\t\n");
}

TEST_F(EventLogFile, ConcurrentWritersProduceWholeLines) {
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t) {
    writers.emplace_back([t] {
      const std::uint8_t raw[] = {static_cast<std::uint8_t>(t)};
      for (int i = 0; i < 50; ++i) ReportEvent(kEventError, std::u16string(200, u'x'), raw, 1);
    });
  }
  for (auto& w : writers) w.join();
  const auto records = ReadEventLogFile(path_);
  ASSERT_EQ(records.size(), 200u);
  for (const auto& r : records) EXPECT_EQ(r.text.size(), 200u);
}

TEST(EventLog, UnwritableFileLosesTheRecordQuietly) {
  ::setenv(kEventLogFileVariable, "/nonexistent-dir/korvalis/events.log", 1);
  ReportEvent(kEventError, u"lost", nullptr, 0);
  ::unsetenv(kEventLogFileVariable);
  ReportEvent(kEventError, u"syslog only", nullptr, 0);
  EXPECT_TRUE(ReadEventLogFile("/nonexistent-dir/korvalis/events.log").empty());
}

}  // namespace
}  // namespace korvalis::sys
