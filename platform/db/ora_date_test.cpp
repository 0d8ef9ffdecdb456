#include "platform/db/ora_date.h"

#include <gtest/gtest.h>

#include "platform/db/sql_error.h"

namespace korvalis::db {
namespace {

DateTime D(int y, int m, int d, int hh = 0, int mi = 0, int ss = 0) {
  return DateTime{y, m, d, hh, mi, ss};
}

TEST(OraDateTest, SecondsRoundTripAcrossCenturies) {
  for (DateTime d : {D(1900, 2, 28), D(2000, 2, 29, 23, 59, 59), D(1970, 1, 1),
                     D(2038, 1, 19, 3, 14, 8), D(9999, 12, 31, 23, 59, 59), D(1, 1, 1),
                     D(1582, 10, 15), D(-4712, 1, 1)}) {
    EXPECT_EQ(DateTime::FromSeconds(d.ToSeconds()), d) << FormatDate(d);
  }
  EXPECT_EQ(D(1, 1, 1).ToSeconds(), kFirstDateSecond);
  EXPECT_EQ(D(9999, 12, 31, 23, 59, 59).ToSeconds() + 1, kEndDateSecond);
  EXPECT_FALSE(IsWithinDateRange(D(-1, 12, 31, 23, 59, 59)));
  EXPECT_TRUE(IsWithinDateRange(D(1, 1, 1)));
}

TEST(OraDateTest, StoredFormIsStrict) {
  EXPECT_EQ(ParseStoredDate("2008-02-29"), D(2008, 2, 29));
  EXPECT_EQ(ParseStoredDate("2008-02-29 13:05"), D(2008, 2, 29, 13, 5));
  EXPECT_EQ(ParseStoredDate("2008-02-29 13:05:09"), D(2008, 2, 29, 13, 5, 9));
  for (const char* bad :
       {"2007-02-29", "2008-2-29", "2008-02-29T13:05:09", "2008-02-29 24:00:00", "2008-13-01",
        "2008-00-10", "20080229", "2008-02-29 13:05:09.5", "", "abc"}) {
    EXPECT_FALSE(ParseStoredDate(bad).has_value()) << bad;
  }
}

TEST(OraDateTest, FormatModels) {
  DateTime d = D(2008, 5, 7, 15, 4, 5);
  EXPECT_EQ(FormatDateModel(d, "YYYY-MM-DD HH24:MI:SS"), "2008-05-07 15:04:05");
  EXPECT_EQ(FormatDateModel(d, "yyyy/mm/dd hh:mi:ss"), "2008/05/07 03:04:05");
  EXPECT_EQ(FormatDateModel(d, "YY.MM"), "08.05");
  EXPECT_EQ(FormatDateModel(d, "FMMM/DD HH24"), "5/7 15");
  EXPECT_EQ(FormatDateModel(d, "YYYY\"年\"MM\"月\""), "2008年05月");
  EXPECT_EQ(FormatDateModel(d, "YYYY年MM月DD日"), "2008年05月07日");
  EXPECT_EQ(FormatDateModel(d, "HH:MI AM"), "03:04 PM");
  EXPECT_EQ(FormatDateModel(D(2008, 1, 1, 0, 30), "HH12"), "12");
  EXPECT_EQ(FormatDateModel(d, "Q DDD"), "2 128");
  EXPECT_THROW(FormatDateModel(d, "YYYY-XX"), SqlError);
}

TEST(OraDateTest, EveryFormatElementIsDoneOrRefused) {
  const DateTime d = D(2008, 5, 7, 15, 4, 5);  // a Wednesday
  EXPECT_EQ(FormatDateModel(d, "DY Dy dy"), "WED Wed wed");
  EXPECT_EQ(FormatDateModel(d, "DAY;Day;FMDay;"), "WEDNESDAY;Wednesday;Wednesday;");
  EXPECT_EQ(FormatDateModel(d, "MON Mon MONTH;FMMonth"), "MAY May MAY      ;May");
  EXPECT_EQ(FormatDateModel(d, "D DD DDD J"), "4 07 128 2454594");
  EXPECT_EQ(FormatDateModel(d, "W WW IW IYYY IY"), "1 19 19 2008 08");
  EXPECT_EQ(FormatDateModel(D(2010, 1, 3), "IYYY-IW WW"), "2009-53 01");
  EXPECT_EQ(FormatDateModel(d, "CC SCC Y,YYY SYYYY YYY Y"), "21  21 2,008  2008 008 8");
  EXPECT_EQ(FormatDateModel(d, "SSSSS RM rm FMRM"), "54245 V    v    V");
  EXPECT_EQ(FormatDateModel(d, "AD B.C. pm p.m. Am"), "AD A.D. pm p.m. Pm");
  EXPECT_EQ(FormatDateModel(D(2008, 5, 7, 9), "HH12 AM"), "09 AM");
  EXPECT_EQ(FormatDateModel(d, "FXYYYY"), "2008");
  // Elements the front end does not do, and letters that start no element, are refused.
  for (const char* format : {"DL TS", "DS DL", "TS", "FF", "FF3", "TZH", "TZR", "X", "E", "EE",
                             "SCCTH", "Y,YYYSP", "YYYY-XX", "\"open"}) {
    try {
      FormatDateModel(d, format);
      ADD_FAILURE() << format;
    } catch (const SqlError& e) {
      EXPECT_NE(std::string(e.what()).find("ORA-01821"), std::string::npos) << e.what();
    }
  }
}

TEST(OraDateTest, InputElementsAreReadOrRefused) {
  const DateTime today = D(2009, 3, 31, 14, 30);
  auto Parse = [&](std::string_view text, std::string_view format) {
    return ParseDateModel(text, format, today);
  };
  EXPECT_EQ(Parse("07-may-2008", "DD-MON-YYYY"), D(2008, 5, 7));
  EXPECT_EQ(Parse("7 September 2008", "DD MONTH YYYY"), D(2008, 9, 7));
  EXPECT_EQ(Parse("Wed 2008-05-07", "DY YYYY-MM-DD"), D(2008, 5, 7));
  EXPECT_EQ(Parse("2008 128", "YYYY DDD"), D(2008, 5, 7));
  EXPECT_EQ(Parse("2454594", "J"), D(2008, 5, 7));
  EXPECT_EQ(Parse("2008-05-07 54245", "YYYY-MM-DD SSSSS"), D(2008, 5, 7, 15, 4, 5));
  EXPECT_EQ(Parse("2008-xii-07", "YYYY-RM-DD"), D(2008, 12, 7));
  EXPECT_EQ(Parse("2,008-05-07 3:04 P.M.", "Y,YYY-MM-DD HH:MI P.M."), D(2008, 5, 7, 15, 4));
  EXPECT_EQ(Parse("8-05-07", "Y-MM-DD"), D(2008, 5, 7));
  EXPECT_THROW(Parse("-0044-03-15 BC", "SYYYY-MM-DD BC"), SqlError);  // ORA-01819
  EXPECT_EQ(Parse("2008-05-07", "FXYYYY-MM-DD"), D(2008, 5, 7));
  EXPECT_THROW(Parse("2008-5-7", "FXYYYY-MM-DD"), DbError);
  EXPECT_THROW(Parse("2008/05/07", "FXYYYY-MM-DD"), DbError);
  EXPECT_THROW(Parse("Thu 2008-05-07", "DY YYYY-MM-DD"), DbError);  // it was a Wednesday
  EXPECT_THROW(Parse("2009 366", "YYYY DDD"), DbError);
  EXPECT_THROW(Parse("2008-Mai-07", "YYYY-MON-DD"), DbError);
  // Elements that only format are refused in input formats; unknown ones as in TO_CHAR.
  for (const char* format : {"YYYY Q", "YYYY WW", "IYYY-IW", "CC"}) {
    try {
      Parse("2008 1", format);
      ADD_FAILURE() << format;
    } catch (const SqlError& e) {
      EXPECT_NE(std::string(e.what()).find("ORA-01820"), std::string::npos) << e.what();
    }
  }
  try {
    Parse("2008-05-07", "YYYY-MM-DT");
    ADD_FAILURE();
  } catch (const SqlError& e) {
    EXPECT_NE(std::string(e.what()).find("ORA-01821"), std::string::npos) << e.what();
  }
}

TEST(OraDateTest, ParsingWithModels) {
  const DateTime today = D(2009, 3, 31, 14, 30);
  auto Parse = [&](std::string_view text, std::string_view format) {
    return ParseDateModel(text, format, today);
  };
  EXPECT_EQ(Parse("2008-05-07", "YYYY-MM-DD HH24:MI:SS"), D(2008, 5, 7));
  EXPECT_EQ(Parse("  2008-5-7 9:3", "yyyy-mm-dd hh24:mi"), D(2008, 5, 7, 9, 3));
  EXPECT_EQ(Parse("2008/05/07", "YYYY-MM-DD"), D(2008, 5, 7));
  EXPECT_EQ(Parse("07.05.2008", "DD.MM.YYYY"), D(2008, 5, 7));
  EXPECT_EQ(Parse("2008年05月07日", "YYYY\"年\"MM\"月\"DD\"日\""), D(2008, 5, 7));
  EXPECT_EQ(Parse("2008-05", "YYYY-MM"), D(2008, 5, 1));
  EXPECT_EQ(Parse("08-05-07", "YY-MM-DD"), D(2008, 5, 7));
  EXPECT_EQ(Parse("03:04 PM 2008-05-07", "HH:MI AM YYYY-MM-DD"), D(2008, 5, 7, 15, 4));
  // A year or month the format does not name is today's; a day it does not name is 1.
  EXPECT_EQ(Parse("10:20", "HH24:MI"), D(2009, 3, 1, 10, 20));
  EXPECT_EQ(Parse("07-15", "MM-DD"), D(2009, 7, 15));
  for (const char* bad : {"2008-05-07x", "2008-02-30", "2008-05-07 25:00", "2008-05-07 10:61",
                          "x2008-05-07", "2008", "-05-07"}) {
    EXPECT_THROW(Parse(bad, "YYYY-MM-DD HH24:MI"), DbError) << bad;
  }
  try {
    Parse("2008-05-07 10:00", "YYYY-MM-DD");
    FAIL();
  } catch (const DbError& e) {
    EXPECT_EQ(e.code(), kConversionFailed);
  }
}

TEST(OraDateTest, CalendarArithmetic) {
  EXPECT_EQ(AddMonths(D(2008, 1, 31), 1), D(2008, 2, 29));
  EXPECT_EQ(AddMonths(D(2009, 1, 31), 1), D(2009, 2, 28));
  EXPECT_EQ(AddMonths(D(2008, 2, 29), 12), D(2009, 2, 28));
  EXPECT_EQ(AddMonths(D(2009, 2, 28), 12), D(2010, 2, 28));
  EXPECT_EQ(AddMonths(D(2009, 2, 28), 1), D(2009, 3, 31));  // a month end stays a month end
  EXPECT_EQ(AddMonths(D(2008, 3, 15, 10, 30), -3), D(2007, 12, 15, 10, 30));
  EXPECT_EQ(AddMonths(D(2008, 1, 10), -25), D(2005, 12, 10));
  EXPECT_DOUBLE_EQ(MonthsBetween(D(2008, 3, 31), D(2008, 2, 29)), 1);
  EXPECT_DOUBLE_EQ(MonthsBetween(D(2008, 1, 1), D(2008, 3, 15)), -2 - 14.0 / 31);
  EXPECT_DOUBLE_EQ(MonthsBetween(D(2008, 1, 15, 12), D(2008, 1, 15)), 0);
  EXPECT_EQ(LastDay(D(2100, 2, 3, 4, 5, 6)), D(2100, 2, 28, 4, 5, 6));
  EXPECT_EQ(TruncateDate(D(2008, 5, 17, 13, 14, 15), "Q"), D(2008, 4, 1));
  EXPECT_EQ(TruncateDate(D(2008, 5, 17, 13, 14, 15), "hh24"), D(2008, 5, 17, 13));
  EXPECT_EQ(TruncateDate(D(2008, 5, 17, 13, 14, 15), "MI"), D(2008, 5, 17, 13, 14));
  EXPECT_EQ(TruncateDate(D(2008, 5, 17), "IW"), D(2008, 5, 12));  // Monday
  EXPECT_EQ(TruncateDate(D(2008, 5, 17), "D"), D(2008, 5, 11));   // Sunday
  EXPECT_THROW(TruncateDate(D(2008, 5, 17), "XX"), SqlError);
}

}  // namespace
}  // namespace korvalis::db
