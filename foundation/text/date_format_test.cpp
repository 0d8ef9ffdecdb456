#include "foundation/text/date_format.h"

#include <gtest/gtest.h>

#include <thread>

#include "foundation/testing/data_source_test_util.h"

namespace {

using korvalis::datasource::testing::EMRDatabase;

class DateFormatTest : public ::testing::Test {
 protected:
  // The site's formats, in place before the process first fills its pattern table. Between
  // the two `format` elements lie a comment and another element, which must not count.
  static void SetUpTestSuite() {
    EMRDatabase().SetSysParam(
        "system_datetime_format",
        "<root><format>yy-mm-dd</format><!-- site formats --><other>hh</other>"
        "<format>dd.mm.yy hh时</format></root>");
  }

  std::u16string Format(const std::u16string& date, const std::u16string& pattern) {
    std::u16string out = u"unchanged";
    CDateFormat format;
    format.Format(date, pattern, out);
    return out;
  }
};

TEST_F(DateFormatTest, BuiltInAndConfiguredPatterns) {
  EXPECT_EQ(Format(u"2005-03-07 08:09:10", u"yyyy年mm月dd日 hh时MM分"), u"2005年03月07日 08时09分");
  EXPECT_EQ(Format(u"2005-03-07 08:09:10", u"yyyy/mm/dd hh:MM:ss"), u"2005/03/07 08:09:10");
  EXPECT_EQ(Format(u"2005-03-07 08:09:10", u"hh:MM"), u"08:09");
  EXPECT_EQ(Format(u"2005-03-07 08:09:10", u"yy-mm-dd"), u"5-03-07");
  EXPECT_EQ(Format(u"2024-12-31 23:59:00", u"dd.mm.yy hh时"), u"31.12.24 23时");
}

TEST_F(DateFormatTest, PatternsOutsideTheTableGiveTheStandardForm) {
  EXPECT_EQ(Format(u"2005-03-07 08:09:10", u"yy/mm/dd"), u"2005-03-07 08:09:10");
  EXPECT_EQ(Format(u"2005-03-07 08:09:10", u"YYYY-MM-DD"), u"2005-03-07 08:09:10");
  EXPECT_EQ(Format(u"2005/3/7", u"hh"), u"2005-03-07 00:00:00");
}

TEST_F(DateFormatTest, UnparsableDatesLeaveTheCallersText) {
  for (const char16_t* date : {u"", u"tomorrow", u"2005-02-30", u"2005-13-01", u"2005-03-07 24:00",
                               u"2005-03-07 08:60", u"05-03-07", u"2005-03-07x", u"2005-3/7"}) {
    SCOPED_TRACE(korvalis::ToUtf8(date));
    EXPECT_EQ(Format(date, u"yyyy-mm-dd"), u"unchanged");
  }
}

TEST(ParseDateTimeText, AcceptsTheSystemsDateForms) {
  DateTimeParts parts;
  ASSERT_TRUE(ParseDateTimeText(u" 2024-02-29 7:05 ", parts));
  EXPECT_EQ(parts.year, 2024);
  EXPECT_EQ(parts.month, 2);
  EXPECT_EQ(parts.day, 29);
  EXPECT_EQ(parts.hour, 7);
  EXPECT_EQ(parts.minute, 5);
  EXPECT_EQ(parts.second, 0);
  ASSERT_TRUE(ParseDateTimeText(u"2005/3/7", parts));
  EXPECT_EQ(parts.hour, 0);
  ASSERT_TRUE(ParseDateTimeText(u"2005.03.07T08:09:10", parts));
  EXPECT_EQ(parts.second, 10);
  ASSERT_TRUE(ParseDateTimeText(u"2005年3月7日 08:09", parts));
  EXPECT_EQ(parts.day, 7);
  ASSERT_TRUE(ParseDateTimeText(u"08:09:10", parts));
  EXPECT_EQ(parts.year, 1899);
  EXPECT_EQ(parts.month, 12);
  EXPECT_EQ(parts.day, 30);
  EXPECT_FALSE(ParseDateTimeText(u"2023-02-29", parts));
  EXPECT_FALSE(ParseDateTimeText(u"1900-02-29", parts));
  EXPECT_TRUE(ParseDateTimeText(u"2000-02-29", parts));
}

TEST_F(DateFormatTest, ConcurrentCallsEachFormatTheirOwnDate) {
  auto worker = [this](const std::u16string& date, const std::u16string& expected,
                       bool* all_right) {
    for (int i = 0; i < 500; ++i) {
      if (Format(date, u"yyyy-mm-dd hh:MM:ss") != expected) *all_right = false;
    }
  };
  bool first_right = true;
  bool second_right = true;
  std::thread first(worker, u"2001-01-01 01:01:01", u"2001-01-01 01:01:01", &first_right);
  std::thread second(worker, u"2002-02-02 02:02:02", u"2002-02-02 02:02:02", &second_right);
  first.join();
  second.join();
  EXPECT_TRUE(first_right);
  EXPECT_TRUE(second_right);
}

TEST(DateFormatPad, RightAlignsWithZeros) {
  EXPECT_EQ(CDateFormat::PadNumber(u"7", 2), u"07");
  EXPECT_EQ(CDateFormat::PadNumber(u"123", 2), u"123");
  EXPECT_EQ(CDateFormat::PadNumber(u"", 3), u"000");
}

}  // namespace
