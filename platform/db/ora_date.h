// Oracle DATE values: a calendar date with a time of day to the second, stored and rendered
// as "YYYY-MM-DD HH:MM:SS", with the arithmetic of Oracle (days as numbers) and the format
// models of TO_CHAR and TO_DATE.
//
// Thread-safety: pure functions.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace korvalis::db {

struct DateTime {
  int year = 1, month = 1, day = 1;
  int hour = 0, minute = 0, second = 0;

  // Whole seconds since the epoch (1970-01-01): exact, unlike the fractional days.
  int64_t ToSeconds() const;
  static DateTime FromSeconds(int64_t seconds);
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
// Whether `d` is a date that can be read: of the years -4712 to 9999, as dates were once
// stored, with a month, a day and a time of day that exist.
bool IsValid(const DateTime& d);

// The dates a statement makes: from 0001-01-01 to the last second of 9999, counted in the
// proleptic Gregorian calendar, as seconds since the epoch (DateTime::ToSeconds), the last one
// excluded. A date made outside them, by a conversion or by arithmetic, fails with
// kDateRangeMessage; one stored before (years before 1 were once taken) still reads.
inline constexpr int64_t kFirstDateSecond = -62135596800;
inline constexpr int64_t kEndDateSecond = 253402300800;
inline constexpr const char* kDateRangeMessage =
    "ORA-01841: (full) year must be between 1 and 9999";
// Precondition: IsValid(d).
inline bool IsWithinDateRange(const DateTime& d) {
  const int64_t seconds = d.ToSeconds();
  return seconds >= kFirstDateSecond && seconds < kEndDateSecond;
}

// "YYYY-MM-DD HH:MM:SS".
std::string FormatDate(const DateTime& d);
void AppendDate(const DateTime& d, std::string* out);

// Reads the stored form: "YYYY-MM-DD" with an optional " HH:MM[:SS]" (the default format of
// values written into DATE columns). No value for anything else, invalid dates included.
std::optional<DateTime> ParseStoredDate(std::string_view text);

// Seconds since the epoch (DateTime::ToSeconds) of a text of exactly the stored form
// "YYYY-MM-DD HH:MM:SS" or "YYYY-MM-DD", read by position; no value for any other text,
// invalid dates included, which the general readers then decide on.
std::optional<int64_t> StoredSeconds(std::string_view text);

// A text read in the default date format YYYY-MM-DD HH24:MI:SS as Oracle reads it when the
// text meets a date: the stored form, or a text beginning with a digit (after blanks) that
// TO_DATE with that format reads ("2026-1-5 8:00", "2026/01/05", "20260105", a date alone).
// No value for anything else.
std::optional<DateTime> ParseDefaultDate(std::string_view text);

// TO_CHAR(date, format), with English names of months and days (date_writer.cpp). Throws
// SqlError (ORA-01821) for a format element it does not do.
std::string FormatDateModel(const DateTime& d, std::string_view format);

// A TO_CHAR format model read once, for a statement that formats every row by the same model:
// Format(d) is FormatDateModel(d, format).
class DateFormatModel {
 public:
  // Throws SqlError (ORA-01821) for a format element it does not do.
  explicit DateFormatModel(std::string_view format);
  ~DateFormatModel();
  DateFormatModel(const DateFormatModel&) = delete;
  DateFormatModel& operator=(const DateFormatModel&) = delete;

  std::string Format(const DateTime& d) const;

 private:
  struct Elements;
  std::unique_ptr<Elements> elements_;
};

// TO_DATE(text, format) by Oracle's rules for reading a text by a format model (see
// date_reader.cpp): a year or month the format does not name is that of `today`, a day it does
// not name is 1, a time it does not name or the text leaves out at the format's end is
// midnight. Throws DbError with kConversionFailed and Oracle's message for a text the format
// does not read, SqlError for a format it refuses (ORA-01821 an unknown element, ORA-01820 one
// that only formats, ORA-01810 and the like an element twice or with one that excludes it).
DateTime ParseDateModel(std::string_view text, std::string_view format, const DateTime& today);

// Whether reading by `format` may take the year or the month of `today`: false only for a
// model that gives a full year and a month (or a day of the year), or a Julian day.
bool DateModelReadsToday(std::string_view format);

// TRUNC(date, format) and ROUND(date, format) by the units of Oracle's table: 'CC' / 'SCC'
// (centuries begin in years ending in 01), 'YYYY' / 'SYYYY' / 'YEAR' / 'SYEAR' / 'YYY' / 'YY' /
// 'Y' (and 'RRRR' / 'RR'), 'IYYY' / 'IYY' / 'IY' / 'I' (the ISO year, by TRUNC only), 'Q',
// 'MONTH' / 'MON' / 'MM' / 'RM', 'WW' (weeks begin on the weekday of 1 January), 'IW'
// (Monday), 'W' (the weekday of the month's first day), 'DDD' / 'DD' / 'J', 'DAY' / 'DY' / 'D'
// (Sunday), 'HH' / 'HH12' / 'HH24', 'MI'. ROUND goes up from July 1 for a year, the 16th day
// for a month, the 16th day of the second month for a quarter, year 51 for a century, halfway
// (3.5 days) for weeks, noon, 30 minutes and 30 seconds. Throws SqlError for another format.
DateTime TruncateDate(const DateTime& d, std::string_view format);
DateTime RoundDate(const DateTime& d, std::string_view format);

// A date IsValid refuses when the months take it past the years of a date.
DateTime AddMonths(const DateTime& d, int64_t months);
double MonthsBetween(const DateTime& a, const DateTime& b);
// MONTHS_BETWEEN(a, b) times the seconds of a 31-day month, exactly: the months between, and
// unless the days are the same or both the last of their months, the days and the seconds of
// the day between.
constexpr int64_t kSecondsOfMonthsBetween = 31 * 86400;
int64_t MonthsBetweenSeconds(const DateTime& a, const DateTime& b);
DateTime LastDay(const DateTime& d);

}  // namespace korvalis::db
