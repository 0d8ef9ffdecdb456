#include "lookups/system_version.h"

#include <gtest/gtest.h>

#include <barrier>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "db/testing/test_database.h"
#include "foundation/testing/emr_exception_test_util.h"
#include "foundation/testing/test_data_source.h"
#include "lookups/sys_param.h"
#include "platform/com/scoped_bstr.h"
#include "platform/text/unicode.h"

namespace {

using korvalis::lookups::ComposeVersionStamp;
using korvalis::lookups::VersionStamp;
using korvalis::schema::TestDatabase;
using korvalis::testing::FailureOf;
using korvalis::testing::kUnreachableDatabase;
using korvalis::testing::TestDataSource;

TEST(ComposeVersionStampTest, PadsTheBuildToFourDigits) {
  EXPECT_EQ(ComposeVersionStamp({1, 2, 3, 4}), u"1.2.0003.4");
  EXPECT_EQ(ComposeVersionStamp({3, 1, 7, 12}), u"3.1.0007.12");
  EXPECT_EQ(ComposeVersionStamp({2, 0, 2011, 1104}), u"2.0.2011.1104");
  EXPECT_EQ(ComposeVersionStamp({10, 0, 12345, 0}), u"10.0.12345.0");
  EXPECT_EQ(ComposeVersionStamp({65535, 65535, 65535, 65535}), u"65535.65535.65535.65535");
  EXPECT_EQ(ComposeVersionStamp({0, 0, 0, 0}), u"0.0.0000.0");
}

class VersionStampTest : public ::testing::Test {
 protected:
  std::u16string Get(VersionStamp& stamp) {
    TestDataSource data_source(db_.init_string());
    return stamp.Get(data_source);
  }

  TestDatabase db_;
  VersionStamp stamp_{u"9.8.0007.6"};
};

TEST_F(VersionStampTest, TheParameterWhenSetAndNoLaterChangeIsSeen) {
  db_.SetSysParam("system_version", "2026.11-hospital");
  EXPECT_EQ(Get(stamp_), u"2026.11-hospital");
  db_.SetSysParam("system_version", "2027.01");
  EXPECT_EQ(Get(stamp_), u"2026.11-hospital");
  db_.Execute("DELETE FROM TELV_SYS_PARAM WHERE NAME = 'system_version'");
  EXPECT_EQ(Get(stamp_), u"2026.11-hospital");
}

TEST_F(VersionStampTest, TheLibrarysVersionWhenTheParameterIsUnset) {
  EXPECT_EQ(Get(stamp_), u"9.8.0007.6");  // installed with a NULL value
  db_.SetSysParam("system_version", "2027.01");
  EXPECT_EQ(Get(stamp_), u"9.8.0007.6");
  VersionStamp missing(u"1.0.0000.0");
  db_.Execute("DELETE FROM TELV_SYS_PARAM WHERE NAME = 'system_version'");
  EXPECT_EQ(Get(missing), u"1.0.0000.0");
}

TEST_F(VersionStampTest, AFailingReadLeavesTheStampForTheNextCall) {
  TestDataSource unreachable(kUnreachableDatabase);
  EXPECT_NE(FailureOf([&] { stamp_.Get(unreachable); }), u"");
  db_.SetSysParam("system_version", "3.0");
  EXPECT_EQ(Get(stamp_), u"3.0");
}

TEST_F(VersionStampTest, ConcurrentFirstCallsAgree) {
  for (const char* set : {"", "5.5.5"}) {
    SCOPED_TRACE(set);
    if (*set != '\0') db_.SetSysParam("system_version", set);
    VersionStamp stamp(u"9.8.0007.6");
    constexpr int kThreads = 8;
    std::barrier start(kThreads);
    std::vector<std::u16string> stamps(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
      threads.emplace_back([&, i] {
        TestDataSource data_source(db_.init_string());
        start.arrive_and_wait();
        stamps[i] = stamp.Get(data_source);
      });
    }
    for (std::thread& thread : threads) thread.join();
    const std::u16string expected = *set == '\0' ? u"9.8.0007.6" : u"5.5.5";
    for (const std::u16string& s : stamps) EXPECT_EQ(s, expected);
  }
}

TEST(GetSystemVersionTest, AnswersTheProcessStampAsABstr) {
  TestDatabase db;
  TestDataSource data_source(db.init_string());
  korvalis::com::ScopedBstr version;
  EXPECT_EQ(GetSystemVersion(&data_source, version.out()), 0);
  // The installation leaves `system_version` unset: the library's product version.
  EXPECT_EQ(version.text(), ComposeVersionStamp(korvalis::sys::LibraryProductVersion()));
  EXPECT_TRUE(
      std::regex_match(korvalis::ToUtf8(version.text()), std::regex(R"(\d+\.\d+\.\d{4,}\.\d+)")));
  EXPECT_EQ(GetSystemVersion(&data_source, nullptr), 0);
}

}  // namespace
