#include "emrdoc/age_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "db/testing/test_database.h"
#include "foundation/testing/test_data_source.h"
#include "platform/com/scoped_bstr.h"

namespace {

using korvalis::com::ScopedBstr;

// FormatAge over the system parameters of a fresh database.
class FormatAgeTest : public ::testing::Test {
 protected:
  void SetFormat(std::optional<std::string_view> format) {
    database_.SetSysParam("system_age_format", format);
  }
  std::u16string Age(const char16_t* birthday, const char16_t* reference) {
    korvalis::testing::TestDataSource source(database_.init_string());
    ScopedBstr reference_time(reference);
    return FormatAge(&source, reference_time.get(), birthday);
  }

  korvalis::schema::TestDatabase database_;
};

TEST_F(FormatAgeTest, DefaultFormatCountsCalendarYearsFromFourteenYearsOn) {
  for (std::optional<std::string_view> format :
       {std::optional<std::string_view>(), std::optional<std::string_view>("1;168;0"),
        std::optional<std::string_view>(""), std::optional<std::string_view>("12;6;1"),
        std::optional<std::string_view>("1;168"), std::optional<std::string_view>("1;6"),
        std::optional<std::string_view>("x;y;z")}) {
    SetFormat(format);
    const std::string name(format.value_or("(none)"));
    EXPECT_EQ(Age(u"2000-06-15", u"2020-03-01 10:00:00"), u"20岁") << name;
    EXPECT_EQ(Age(u"2008-05-20", u"2009-03-10"), u"9个月零20天") << name;
  }
  SetFormat("1;168;1");
  EXPECT_EQ(Age(u"2000-06-15", u"2020-03-01 10:00:00"), u"19岁");
}

TEST_F(FormatAgeTest, YearsAndMonthsMonthsAndDaysDaysAndHours) {
  EXPECT_EQ(Age(u"2007-09-01", u"2008-11-01"), u"1岁2个月");
  EXPECT_EQ(Age(u"2007-09-01", u"2009-09-01"), u"2岁");
  EXPECT_EQ(Age(u"2008-05-20", u"2009-03-20"), u"10个月");
  EXPECT_EQ(Age(u"2008-05-01", u"2008-06-05"), u"1个月零4天");
  EXPECT_EQ(Age(u"2009-03-01 08:00:00", u"2009-03-03 09:00:00"), u"2天");
  EXPECT_EQ(Age(u"2009-03-01 08:00:00", u"2009-03-01 13:00:00"), u"5小时");
  EXPECT_EQ(Age(u"2009-03-01 08:00:00", u"2009-03-01 08:40:00"), u"1小时以内");
  EXPECT_EQ(Age(u"2009-03-01 08:00:00", u"2009-03-01 08:00:00"), u"1小时以内");
}

TEST_F(FormatAgeTest, ConfiguredBoundsAndYearRule) {
  SetFormat("0;24;1");
  EXPECT_EQ(Age(u"2007-09-01", u"2009-03-01"), u"1岁6个月");
  EXPECT_EQ(Age(u"2006-09-01", u"2009-03-01"), u"2岁");
  EXPECT_EQ(Age(u"2009-03-01", u"2009-03-05"), u"0个月零4天");
  SetFormat("13;24;0");
  EXPECT_EQ(Age(u"2008-05-20", u"2009-03-10"), u"294天");
}

TEST_F(FormatAgeTest, BirthdayTimeCountsOnlyInTheSpan) {
  // Months by the calendar fields only.
  EXPECT_EQ(Age(u"2008-05-20 23:00:00", u"2009-03-10 01:00:00"), u"9个月零20天");
  // Days and hours by the whole span.
  EXPECT_EQ(Age(u"2009-03-01 23:00:00", u"2009-03-02 22:00:00"), u"23小时");
  EXPECT_EQ(Age(u"2009-03-01 23:00:00", u"2009-03-03 22:59:59"), u"1天");
}

TEST_F(FormatAgeTest, AnAgeThatCannotBeComputedIsUnknown) {
  EXPECT_EQ(Age(u"", u"2009-03-01"), kUnknownAge);
  EXPECT_EQ(Age(u"2008-02-30", u"2009-03-01"), kUnknownAge);
  EXPECT_EQ(Age(u"生日", u"2009-03-01"), kUnknownAge);
  EXPECT_EQ(Age(u"2008-05-20", u""), kUnknownAge);
  EXPECT_EQ(Age(u"2008-05-20", u"2009-13-01"), kUnknownAge);
  EXPECT_EQ(Age(u"2009-03-01 08:00:00", u"2009-03-01 07:59:59"), kUnknownAge);
  korvalis::testing::TestDataSource source(database_.init_string());
  EXPECT_EQ(FormatAge(&source, nullptr, u"2008-05-20"), kUnknownAge);
}

TEST(SplitToLongsTest, NumbersOfThePiecesBetweenDelimiters) {
  auto split = [](const std::u16string& text, const std::u16string& delimiters) {
    std::vector<long> values = {99};
    SplitToLongs(text, delimiters, values);
    values.erase(values.begin());
    return values;
  };
  EXPECT_EQ(split(u"1;168;0", u";"), (std::vector<long>{1, 168, 0}));
  EXPECT_EQ(split(u";;5", u";"), (std::vector<long>{5}));
  EXPECT_EQ(split(u"3;;7", u";"), (std::vector<long>{3, 0, 7}));
  EXPECT_EQ(split(u"12abc;x;-4;", u";"), (std::vector<long>{12, 0, -4}));
  EXPECT_EQ(split(u"1,2;3", u",;"), (std::vector<long>{1, 2, 3}));
  EXPECT_EQ(split(u"", u";"), (std::vector<long>{}));
}

}  // namespace
