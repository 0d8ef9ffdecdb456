#include "platform/db/ora_date.h"

#include <algorithm>

#include "platform/db/sql_error.h"
#include "platform/text/ascii.h"

namespace korvalis::db {

// Days from 0000-03-01 (proleptic Gregorian), the classic civil-from-days algorithm.
int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int* y, int* m, int* d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *y = static_cast<int>(yoe + era * 400 + (*m <= 2));
}

void AppendDigits(int v, int width, std::string* out) {
  std::string digits = std::to_string(v < 0 ? -static_cast<int64_t>(v) : v);
  if (v < 0) out->push_back('-');
  if (static_cast<int>(digits.size()) < width) out->append(width - digits.size(), '0');
  out->append(digits);
}

namespace {

void Append2(int v, std::string* out) {
  out->push_back(static_cast<char>('0' + v / 10 % 10));
  out->push_back(static_cast<char>('0' + v % 10));
}


}  // namespace

int64_t DateTime::ToSeconds() const {
  return DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

double DaysBetween(const DateTime& later, const DateTime& earlier) {
  return static_cast<double>(later.ToSeconds() - earlier.ToSeconds()) / 86400.0;
}

DateTime DateTime::FromSeconds(int64_t seconds) {
  const int64_t days = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
  const int64_t in_day = seconds - days * 86400;
  DateTime d;
  CivilFromDays(days, &d.year, &d.month, &d.day);
  d.hour = static_cast<int>(in_day / 3600);
  d.minute = static_cast<int>(in_day / 60 % 60);
  d.second = static_cast<int>(in_day % 60);
  return d;
}

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2) {
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return leap ? 29 : 28;
  }
  return kDays[month - 1];
}

bool IsValid(const DateTime& d) {
  return d.year >= -4712 && d.year <= 9999 && d.year != 0 && d.month >= 1 && d.month <= 12 &&
         d.day >= 1 && d.day <= DaysInMonth(d.year, d.month) && d.hour >= 0 && d.hour < 24 &&
         d.minute >= 0 && d.minute < 60 && d.second >= 0 && d.second < 60;
}

void AppendDate(const DateTime& d, std::string* out) {
  AppendDigits(d.year, 4, out);
  out->push_back('-');
  Append2(d.month, out);
  out->push_back('-');
  Append2(d.day, out);
  out->push_back(' ');
  Append2(d.hour, out);
  out->push_back(':');
  Append2(d.minute, out);
  out->push_back(':');
  Append2(d.second, out);
}

std::string FormatDate(const DateTime& d) {
  std::string out;
  out.reserve(19);
  AppendDate(d, &out);
  return out;
}

std::optional<DateTime> ParseStoredDate(std::string_view s) {
  auto digits = [&](size_t at, size_t count, int* v) {
    if (at + count > s.size()) return false;
    int value = 0;
    for (size_t i = 0; i < count; ++i) {
      char c = s[at + i];
      if (c < '0' || c > '9') return false;
      value = value * 10 + (c - '0');
    }
    *v = value;
    return true;
  };
  DateTime d;
  if (!digits(0, 4, &d.year) || s.size() < 10 || s[4] != '-' || !digits(5, 2, &d.month) ||
      s[7] != '-' || !digits(8, 2, &d.day)) {
    return std::nullopt;
  }
  if (s.size() > 10) {
    if (s[10] != ' ' || !digits(11, 2, &d.hour) || s.size() < 16 || s[13] != ':' ||
        !digits(14, 2, &d.minute)) {
      return std::nullopt;
    }
    if (s.size() > 16) {
      if (s.size() != 19 || s[16] != ':' || !digits(17, 2, &d.second)) return std::nullopt;
    }
  }
  if (!IsValid(d)) return std::nullopt;
  return d;
}

std::optional<int64_t> StoredSeconds(std::string_view s) {
  if (s.size() != 19 && s.size() != 10) return std::nullopt;
  // Positions of the digits of the fields, two a field after the four of the year.
  static constexpr int kSeparators[] = {4, 7, 10, 13, 16};
  static constexpr char kSeparator[] = {'-', '-', ' ', ':', ':'};
  const int fields = s.size() == 19 ? 5 : 2;
  for (int i = 0; i < fields; ++i) {
    if (s[kSeparators[i]] != kSeparator[i]) return std::nullopt;
  }
  auto number = [&s](size_t at, size_t count, int* value) {
    int v = 0;
    for (size_t i = at; i < at + count; ++i) {
      const unsigned digit = static_cast<unsigned>(s[i] - '0');
      if (digit > 9) return false;
      v = v * 10 + static_cast<int>(digit);
    }
    *value = v;
    return true;
  };
  int year, month, day, hour = 0, minute = 0, second = 0;
  if (!number(0, 4, &year) || !number(5, 2, &month) || !number(8, 2, &day)) return std::nullopt;
  if (fields == 5 &&
      (!number(11, 2, &hour) || !number(14, 2, &minute) || !number(17, 2, &second))) {
    return std::nullopt;
  }
  if (year == 0 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
      hour > 23 || minute > 59 || second > 59) {
    return std::nullopt;
  }
  return DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

std::optional<DateTime> ParseDefaultDate(std::string_view text) {
  if (std::optional<DateTime> d = ParseStoredDate(text)) return d;
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos || text[first] < '0' || text[first] > '9')
    return std::nullopt;
  try {
    return ParseDateModel(text, "YYYY-MM-DD HH24:MI:SS", DateTime{});
  } catch (const DbError&) {
    return std::nullopt;
  }
}

namespace {

// The units of TRUNC and ROUND of dates.
enum class DateUnit { kCentury, kYear, kIsoYear, kQuarter, kMonth, kYearWeek, kIsoWeek,
                      kMonthWeek, kDay, kWeekDay, kHour, kMinute };

DateUnit UnitOf(std::string_view format) {
  struct Entry {
    std::string_view name;
    DateUnit unit;
  };
  static constexpr Entry kUnits[] = {
      {"CC", DateUnit::kCentury},   {"SCC", DateUnit::kCentury},   {"SYYYY", DateUnit::kYear},
      {"YYYY", DateUnit::kYear},    {"YEAR", DateUnit::kYear},     {"SYEAR", DateUnit::kYear},
      {"YYY", DateUnit::kYear},     {"YY", DateUnit::kYear},       {"Y", DateUnit::kYear},
      {"RRRR", DateUnit::kYear},    {"RR", DateUnit::kYear},       {"IYYY", DateUnit::kIsoYear},
      {"IYY", DateUnit::kIsoYear},  {"IY", DateUnit::kIsoYear},    {"I", DateUnit::kIsoYear},
      {"Q", DateUnit::kQuarter},    {"MONTH", DateUnit::kMonth},   {"MON", DateUnit::kMonth},
      {"MM", DateUnit::kMonth},     {"RM", DateUnit::kMonth},      {"WW", DateUnit::kYearWeek},
      {"IW", DateUnit::kIsoWeek},   {"W", DateUnit::kMonthWeek},   {"DDD", DateUnit::kDay},
      {"DD", DateUnit::kDay},       {"J", DateUnit::kDay},         {"DAY", DateUnit::kWeekDay},
      {"DY", DateUnit::kWeekDay},   {"D", DateUnit::kWeekDay},     {"HH", DateUnit::kHour},
      {"HH12", DateUnit::kHour},    {"HH24", DateUnit::kHour},     {"MI", DateUnit::kMinute}};
  const std::string f = AsciiUpper(format);
  for (const Entry& e : kUnits) {
    if (f == e.name) return e.unit;
  }
  throw SqlError("ORA-01898: too many precision specifiers: " + QuotedValue(format));
}

DateTime Midnight(int64_t days) {
  DateTime r;
  CivilFromDays(days, &r.year, &r.month, &r.day);
  return r;
}

// The Monday that begins the first ISO week of `year` (the week of its 4 January).
int64_t IsoYearStart(int year) {
  const int64_t january_4 = DaysFromCivil(year, 1, 4);
  return january_4 - ((january_4 % 7) + 7 + 3) % 7;
}

}  // namespace

DateTime TruncateDate(const DateTime& d, std::string_view format) {
  const int64_t days = DaysFromCivil(d.year, d.month, d.day);
  DateTime r = d;
  r.hour = r.minute = r.second = 0;
  switch (UnitOf(format)) {
    case DateUnit::kCentury:
      return Midnight(DaysFromCivil((d.year - 1) / 100 * 100 + 1, 1, 1));
    case DateUnit::kYear:
      return Midnight(DaysFromCivil(d.year, 1, 1));
    case DateUnit::kIsoYear: {
      const int64_t next = IsoYearStart(d.year + 1);
      const int64_t start = IsoYearStart(d.year);
      return Midnight(days >= next ? next : days >= start ? start : IsoYearStart(d.year - 1));
    }
    case DateUnit::kQuarter:
      return Midnight(DaysFromCivil(d.year, (d.month - 1) / 3 * 3 + 1, 1));
    case DateUnit::kMonth:
      return Midnight(DaysFromCivil(d.year, d.month, 1));
    case DateUnit::kYearWeek: {
      const int64_t first = DaysFromCivil(d.year, 1, 1);
      return Midnight(first + (days - first) / 7 * 7);
    }
    case DateUnit::kIsoWeek:
      return Midnight(days - ((days % 7) + 7 + 3) % 7);  // 1970-01-01 was a Thursday
    case DateUnit::kMonthWeek:
      return Midnight(days - (d.day - 1) % 7);
    case DateUnit::kDay:
      return r;
    case DateUnit::kWeekDay:
      return Midnight(days - ((days % 7) + 7 + 4) % 7);  // weeks begin on Sunday
    case DateUnit::kHour:
      r.hour = d.hour;
      return r;
    case DateUnit::kMinute:
      r.hour = d.hour;
      r.minute = d.minute;
      return r;
  }
  return r;
}

DateTime RoundDate(const DateTime& d, std::string_view format) {
  const DateUnit unit = UnitOf(format);
  const DateTime start = TruncateDate(d, format);
  switch (unit) {
    case DateUnit::kCentury:
      return (d.year - 1) % 100 >= 50 ? AddMonths(start, 1200) : start;
    case DateUnit::kYear:
      return d.month >= 7 ? AddMonths(start, 12) : start;
    case DateUnit::kIsoYear:
      throw SqlError("ROUND of a date by the ISO year is not supported: " + QuotedValue(format));
    case DateUnit::kQuarter:
      // Up from the sixteenth day of the quarter's second month.
      return d.month > start.month + 1 || (d.month == start.month + 1 && d.day >= 16)
                 ? AddMonths(start, 3)
                 : start;
    case DateUnit::kMonth:
      return d.day >= 16 ? AddMonths(start, 1) : start;
    case DateUnit::kYearWeek:
    case DateUnit::kIsoWeek:
    case DateUnit::kMonthWeek:
    case DateUnit::kWeekDay:
      // The nearer of the week's first day and the next week's, up from halfway.
      return d.ToSeconds() - start.ToSeconds() >= 7 * 86400 / 2
                 ? Midnight(DaysFromCivil(start.year, start.month, start.day) + 7)
                 : start;
    case DateUnit::kDay:
      return d.hour >= 12 ? Midnight(DaysFromCivil(d.year, d.month, d.day) + 1) : start;
    case DateUnit::kHour:
      return d.minute >= 30 ? DateTime::FromSeconds(start.ToSeconds() + 3600) : start;
    case DateUnit::kMinute:
      return d.second >= 30 ? DateTime::FromSeconds(start.ToSeconds() + 60) : start;
  }
  return start;
}

DateTime AddMonths(const DateTime& d, int64_t months) {
  // Months beyond a million years either way are taken as a million years, a date IsValid
  // refuses, so that the month's number cannot overflow.
  constexpr int64_t kFarthest = int64_t{1000000} * 12;
  months = std::clamp(months, -kFarthest, kFarthest);
  int64_t total = static_cast<int64_t>(d.year) * 12 + (d.month - 1) + months;
  DateTime r = d;
  r.year = static_cast<int>(total >= 0 ? total / 12 : (total - 11) / 12);
  r.month = static_cast<int>(total - static_cast<int64_t>(r.year) * 12) + 1;
  int last = DaysInMonth(r.year, r.month);
  // The last day of a month maps to the last day of the target month.
  if (d.day == DaysInMonth(d.year, d.month) || d.day > last) r.day = last;
  return r;
}

double MonthsBetween(const DateTime& a, const DateTime& b) {
  double months = (a.year - b.year) * 12.0 + (a.month - b.month);
  bool a_last = a.day == DaysInMonth(a.year, a.month);
  bool b_last = b.day == DaysInMonth(b.year, b.month);
  if (a.day == b.day || (a_last && b_last)) return months;
  double seconds_a = a.hour * 3600 + a.minute * 60 + a.second;
  double seconds_b = b.hour * 3600 + b.minute * 60 + b.second;
  return months + ((a.day - b.day) + (seconds_a - seconds_b) / 86400.0) / 31.0;
}

int64_t MonthsBetweenSeconds(const DateTime& a, const DateTime& b) {
  const int64_t months = (int64_t{a.year} - b.year) * 12 + (a.month - b.month);
  const bool a_last = a.day == DaysInMonth(a.year, a.month);
  const bool b_last = b.day == DaysInMonth(b.year, b.month);
  if (a.day == b.day || (a_last && b_last)) return months * kSecondsOfMonthsBetween;
  const int64_t seconds_a = a.hour * 3600 + a.minute * 60 + a.second;
  const int64_t seconds_b = b.hour * 3600 + b.minute * 60 + b.second;
  return months * kSecondsOfMonthsBetween + (a.day - b.day) * int64_t{86400} + seconds_a -
         seconds_b;
}

DateTime LastDay(const DateTime& d) {
  DateTime r = d;
  r.day = DaysInMonth(d.year, d.month);
  return r;
}

}  // namespace korvalis::db
