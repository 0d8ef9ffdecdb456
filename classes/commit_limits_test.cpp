#include "classes/commit_limits.h"

#include <gtest/gtest.h>

namespace {

using korvalis::worklist::CivilTime;
using korvalis::worklist::FormatCivilTime;
using korvalis::worklist::IsWeekend;
using korvalis::worklist::kNoLimitDate;
using korvalis::worklist::LimitDate;
using korvalis::worklist::ParseCivilTime;
using korvalis::worklist::ReadCommitSettings;

CivilTime At(std::u16string_view text) {
  std::optional<CivilTime> time = ParseCivilTime(text);
  EXPECT_TRUE(time.has_value()) << std::string(text.begin(), text.end());
  return time.value_or(CivilTime{});
}

TEST(CommitLimitsTest, ParsesTheServersDateTimeAndRefusesWhatIsNoDate) {
  EXPECT_EQ(FormatCivilTime(At(u"2026-12-07 09:30:05")), u"2026-12-07 09:30:05");
  EXPECT_EQ(FormatCivilTime(At(u"2024-02-29 23:59:59")), u"2024-02-29 23:59:59");
  EXPECT_EQ(FormatCivilTime(At(u"2026-1-5 8:05")), u"2026-01-05 08:05:00");
  EXPECT_EQ(FormatCivilTime(At(u"2026-12-07")), u"2026-12-07 00:00:00");
  for (std::u16string_view bad :
       {u"", u"2026-02-29 10:00:00", u"2026-13-01 10:00:00", u"2026-12-07 24:00:00",
        u"2026-12-07 10:60:00", u"2026-12-07 10:00:00x", u"2026-12-07T10:00:00", u"26-12-07",
        u"2026-12-07 10", u"2026/12/07 10:00:00", u"now"}) {
    EXPECT_FALSE(ParseCivilTime(bad).has_value()) << std::string(bad.begin(), bad.end());
  }
}

TEST(CommitLimitsTest, SaturdayAndSundayAreTheWeekend) {
  EXPECT_FALSE(IsWeekend(At(u"2026-12-04 23:59:59")));  // Friday
  EXPECT_TRUE(IsWeekend(At(u"2026-12-05 00:00:00")));
  EXPECT_TRUE(IsWeekend(At(u"2026-12-06 23:59:59")));
  EXPECT_FALSE(IsWeekend(At(u"2026-12-07 00:00:00")));  // Monday
  EXPECT_TRUE(IsWeekend(At(u"2000-01-01 12:00:00")));   // a Saturday
}

TEST(CommitLimitsTest, LimitOfZeroUpToADayAndBeyond) {
  const std::u16string now_text = u"2026-12-07 09:30:00";
  const CivilTime now = At(now_text);
  EXPECT_EQ(LimitDate(0, now_text, now), kNoLimitDate);
  // Up to 24 hours, negative ones included, the limit is the current time as the server gave it.
  for (int hours : {1, 10, 24, -1, -100}) EXPECT_EQ(LimitDate(hours, now_text, now), now_text);
  EXPECT_EQ(LimitDate(25, now_text, now), u"2026-12-07 08:30:00");
  EXPECT_EQ(LimitDate(48, now_text, now), u"2026-12-06 09:30:00");
  EXPECT_EQ(LimitDate(72, now_text, now), u"2026-12-05 09:30:00");
  // Across month, year and leap-day boundaries.
  EXPECT_EQ(LimitDate(48, u"2026-01-01 01:00:00", At(u"2026-01-01 01:00:00")),
            u"2025-12-31 01:00:00");
  EXPECT_EQ(LimitDate(48, u"2024-03-01 00:00:00", At(u"2024-03-01 00:00:00")),
            u"2024-02-29 00:00:00");
  // A limit before any stored date lists nothing, as 0 hours does.
  EXPECT_EQ(LimitDate(2147483647, now_text, now), kNoLimitDate);
}

TEST(CommitLimitsTest, SettingsSplitTheDischargeHoursFromTheWeekendFlag) {
  auto settings = ReadCommitSettings(u"72;1", u"48");
  EXPECT_EQ(settings.discharge_hours, u"72");
  EXPECT_TRUE(settings.skip_weekends);
  EXPECT_EQ(settings.rollback_hours, u"48");
  EXPECT_FALSE(settings.Disabled());

  EXPECT_FALSE(ReadCommitSettings(u"36;0", u"0").skip_weekends);
  EXPECT_FALSE(ReadCommitSettings(u"36; 1", u"0").skip_weekends);  // exactly "1"
  EXPECT_FALSE(ReadCommitSettings(u"36", u"0").skip_weekends);
  EXPECT_TRUE(ReadCommitSettings(u"0;1", u"0").Disabled());
  EXPECT_TRUE(ReadCommitSettings(u"0", u"0").Disabled());
  EXPECT_FALSE(ReadCommitSettings(u"0", u"00").Disabled());  // compared as text
  EXPECT_FALSE(ReadCommitSettings(u"", u"0").Disabled());
  EXPECT_EQ(ReadCommitSettings(u"", u"0").discharge_hours, u"");
}

}  // namespace
