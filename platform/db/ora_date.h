// Oracle DATE values: a calendar date with a time of day to the second, stored and rendered
// as "YYYY-MM-DD HH:MM:SS", with the arithmetic of Oracle (days as numbers) and the format
// models of TO_CHAR and TO_DATE.
//
// Thread-safety: pure functions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvalis::db {

struct DateTime {
  int year = 1, month = 1, day = 1;
  int hour = 0, minute = 0, second = 0;

  // Days since an epoch, with the time of day as the fraction.
  double ToDays() const;
  static DateTime FromDays(double days);  // rounded to the nearest second
  // Whole seconds since the epoch: exact, unlike the fractional days.
  int64_t ToSeconds() const;
  bool operator==(const DateTime&) const = default;
};

// later - earlier in days, the time of day as the fraction. Taken from whole seconds, so
// fourteen hours are exactly 14/24 of a day, however far the dates lie from the epoch.
double DaysBetween(const DateTime& later, const DateTime& earlier);

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar, and back.
int64_t DaysFromCivil(int year, int month, int day);
void CivilFromDays(int64_t days, int* year, int* month, int* day);

// `value` with at least `width` digits, a '-' before a negative one.
void AppendDigits(int value, int width, std::string* out);

int DaysInMonth(int year, int month);
bool IsValid(const DateTime& d);

// "YYYY-MM-DD HH:MM:SS".
std::string FormatDate(const DateTime& d);
void AppendDate(const DateTime& d, std::string* out);

// Reads the stored form: "YYYY-MM-DD" with an optional " HH:MM[:SS]" (the default format of
// values written into DATE columns). No value for anything else, invalid dates included.
std::optional<DateTime> ParseStoredDate(std::string_view text);

// A text read in the default date format YYYY-MM-DD HH24:MI:SS as Oracle reads it when the
// text meets a date: the stored form, or what TO_DATE with that format accepts (fields without
// leading zeros, a date alone, leading blanks). No value for anything else.
std::optional<DateTime> ParseDefaultDate(std::string_view text);

// TO_CHAR(date, format), with English names of months and days (date_format.cpp). Throws
// SqlError (ORA-01821) for a format element it does not do.
std::string FormatDateModel(const DateTime& d, std::string_view format);

// TO_DATE(text, format): a year or month the format does not name is that of `today`, a day
// it does not name is 1, a time it does not name or the text leaves out is midnight (a date
// alone where the format also has a time); leading blanks are skipped. Throws DbError with
// kConversionFailed for text that does not match, SqlError for a format element it does not do
// (ORA-01821) or one that only formats (ORA-01820).
DateTime ParseDateModel(std::string_view text, std::string_view format, const DateTime& today);

// TRUNC(date, format): 'YYYY' / 'YEAR', 'Q', 'MM' / 'MONTH' / 'MON', 'DD' / 'DDD' / 'J',
// 'HH' / 'HH24', 'MI', 'IW', 'D' / 'DAY' / 'DY'.
DateTime TruncateDate(const DateTime& d, std::string_view format);

DateTime AddMonths(const DateTime& d, int64_t months);
double MonthsBetween(const DateTime& a, const DateTime& b);
DateTime LastDay(const DateTime& d);

}  // namespace korvalis::db
