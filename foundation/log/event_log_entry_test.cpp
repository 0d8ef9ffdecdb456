#include "foundation/log/event_log_entry.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/sys/event_log.h"

namespace {

class EventLogEntryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = (std::filesystem::temp_directory_path() /
             ("korvalis_entry_" + std::to_string(::getpid()) + ".log")).string();
    std::filesystem::remove(path_);
    ::setenv(korvalis::sys::kEventLogFileVariable, path_.c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv(korvalis::sys::kEventLogFileVariable);
    std::filesystem::remove(path_);
  }
  std::string path_;
};

TEST_F(EventLogEntryTest, NullOrZeroLengthRemovesDataAndFourBytesAttachExactly) {
  CEventLogEntry entry(u"数据库错误", CEventLogEntry::kError);
  const std::int32_t hresult = static_cast<std::int32_t>(0x80040E14u);
  entry.SetData(&hresult, 4);
  entry.SetData(nullptr, 4);
  EXPECT_TRUE(entry.data().empty());
  entry.SetData(&hresult, 4);
  entry.SetData(&hresult, 0);
  EXPECT_TRUE(entry.data().empty());
  entry.Report();
  entry.SetData(&hresult, 4);
  entry.Report();

  const auto records = korvalis::sys::ReadEventLogFile(path_);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].type, 1);
  EXPECT_EQ(records[0].text, u"数据库错误");
  EXPECT_TRUE(records[0].raw.empty());
  // The result code travels as its 4 bytes in memory order (little-endian).
  EXPECT_EQ(records[1].raw, (std::vector<std::uint8_t>{0x14, 0x0E, 0x04, 0x80}));
}

TEST_F(EventLogEntryTest, DataIsCopiedNotBorrowed) {
  CEventLogEntry entry(u"warning", CEventLogEntry::kWarning);
  {
    std::vector<std::uint8_t> temporary = {1, 2, 3};
    entry.SetData(temporary.data(), 3);
    temporary.assign(3, 9);
  }
  CEventLogEntry copy = entry;
  copy.Report();
  const auto records = korvalis::sys::ReadEventLogFile(path_);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].type, 2);
  EXPECT_EQ(records[0].raw, (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST(EventLogEntry, ReportWithUnwritableLogReturnsNormally) {
  ::setenv(korvalis::sys::kEventLogFileVariable, "/proc/korvalis-no-such/log", 1);
  CEventLogEntry(u"lost", CEventLogEntry::kInformation).Report();
  ::unsetenv(korvalis::sys::kEventLogFileVariable);
  EXPECT_EQ(std::u16string(kEventSourceName), u"电子病历");
}

}  // namespace
