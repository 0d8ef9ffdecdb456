#include "foundation/text/automation_date.h"

#include <gtest/gtest.h>

#include <climits>

namespace korvalis {
namespace {

AutomationDate At(const char16_t* text) {
  std::optional<AutomationDate> date = AutomationDate::Parse(text);
  EXPECT_TRUE(date.has_value()) << "not a date";
  return date.value_or(AutomationDate());
}

TEST(AutomationDateTest, CountsDaysFromTheThirtiethOfDecember1899) {
  EXPECT_EQ(AutomationDate().Text(), u"1899-12-30 00:00:00");
  EXPECT_EQ(AutomationDate().Days(), 0.0);
  EXPECT_EQ(At(u"1900-01-01").Days(), 2.0);
  EXPECT_EQ(At(u"2026-12-07 18:00:00").Days(), 46363.75);
  // A time alone falls on day zero; the time of day is the fraction.
  EXPECT_EQ(At(u"06:00").Days(), 0.25);
  EXPECT_EQ(At(u"1899-12-29 06:00:00").Days(), -0.75);
  EXPECT_EQ(At(u"1899-12-29 06:00:00").Text(), u"1899-12-29 06:00:00");
}

TEST(AutomationDateTest, ReadsTheFormsOfTheDateParserAndNothingElse) {
  EXPECT_EQ(At(u" 2026/12/7 8:05 ").Text(), u"2026-12-07 08:05:00");
  EXPECT_EQ(At(u"2026年12月07日").Text(), u"2026-12-07 00:00:00");
  for (const char16_t* text : {u"", u"yesterday", u"2026-02-29 08:00:00", u"2026-12-07 24:00:00",
                               u"2026-12-07 08:00:00 +1"}) {
    EXPECT_FALSE(AutomationDate::Parse(text).has_value()) << "read as a date";
  }
  EXPECT_FALSE(AutomationDate::Parse(static_cast<const char16_t*>(nullptr)).has_value());
}

TEST(AutomationDateTest, AddsWholeHoursAndDaysAcrossMonthsYearsAndLeapDays) {
  EXPECT_EQ(At(u"2026-12-07 08:00:00").PlusHours(24)->Text(), u"2026-12-08 08:00:00");
  EXPECT_EQ(At(u"2026-12-07 08:00:00").PlusHours(-2)->Text(), u"2026-12-07 06:00:00");
  EXPECT_EQ(At(u"2026-12-31 20:00:00").PlusHours(10)->Text(), u"2027-01-01 06:00:00");
  EXPECT_EQ(At(u"2028-02-28 20:00:00").PlusHours(10)->Text(), u"2028-02-29 06:00:00");
  EXPECT_EQ(At(u"2026-03-01 01:00:00").PlusHours(-2)->Text(), u"2026-02-28 23:00:00");
  EXPECT_EQ(At(u"2024-03-31").PlusDays(1)->DayText(), u"2024-04-01");
  EXPECT_EQ(AutomationDate().PlusDays(1)->DayText(), u"1899-12-31");
}

TEST(AutomationDateTest, ArithmeticThatLeavesTheRangeGivesNoDate) {
  const AutomationDate last = At(u"9999-12-31 23:00:00");
  EXPECT_EQ(last.PlusHours(0)->Text(), u"9999-12-31 23:00:00");
  EXPECT_FALSE(last.PlusHours(1).has_value());
  EXPECT_FALSE(At(u"0100-01-01 00:00:00").PlusHours(-1).has_value());
  EXPECT_FALSE(last.PlusHours(LONG_MAX).has_value());
  EXPECT_FALSE(last.PlusHours(LONG_MIN).has_value());
  EXPECT_FALSE(last.PlusDays(LONG_MAX).has_value());
}

TEST(AutomationDateTest, SpansAreExactWholeSecondsWhereverTheDatesLie) {
  const AutomationDate deadline = At(u"2026-12-07 08:00:00");
  EXPECT_EQ(At(u"2026-12-07 22:00:00").DaysSince(deadline), 14.0 / 24.0);
  EXPECT_EQ(At(u"2026-12-07 08:59:59").DaysSince(deadline), 3599.0 / 86400);
  EXPECT_EQ(At(u"2026-12-07 05:00:00").DaysSince(deadline), -3.0 / 24.0);
  EXPECT_EQ(At(u"9999-12-31 08:00:01").DaysSince(At(u"9999-12-31 08:00:00")), 1.0 / 86400);
  EXPECT_LT(At(u"2026-12-07 07:59:59"), deadline);
  EXPECT_EQ(At(u"2026-12-07 8:00"), deadline);
}

}  // namespace
}  // namespace korvalis
