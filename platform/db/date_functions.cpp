// SQL functions on dates: arithmetic in days, TRUNC and ROUND of dates, ADD_MONTHS,
// LAST_DAY, MONTHS_BETWEEN and SYSDATE from the database clock.
#include "platform/db/sql_function_support.h"

#include <boost/multiprecision/cpp_int.hpp>
#include <algorithm>
#include <cctype>
#include <cmath>

#include "platform/db/database_clock.h"
#include "platform/db/exact_number_values.h"
#include "platform/db/ora_number.h"

namespace korvalis::db::functions {
namespace {

// Seconds farther than a date reaches from any readable date (from the year -4712 to 9999):
// a date moved by them is one the range refuses, and the seconds stay far within 64 bits.
constexpr int64_t kFarthestSeconds = 1'000'000'000'000;

int64_t WithinFarthest(int64_t seconds) {
  return std::clamp(seconds, -kFarthestSeconds, kFarthestSeconds);
}

// `dividend` over `unit` rounded to the nearest whole number, an exact half away from zero.
// Precondition: dividend >= 0, unit > 0.
boost::multiprecision::cpp_int RoundedQuotient(const boost::multiprecision::cpp_int& dividend,
                                               const boost::multiprecision::cpp_int& unit) {
  boost::multiprecision::cpp_int quotient, remainder;
  boost::multiprecision::divide_qr(dividend, unit, quotient, remainder);
  if (2 * remainder >= unit) ++quotient;
  return quotient;
}

// The seconds of a NUMBER of days from its exact digits: days * 86400 rounded to the nearest
// second, an exact half away from zero.
int64_t ExactSecondsOfDays(sqlite3_value* days) {
  const DecimalDigits exact = DigitsArgument(days);
  if (exact.sign == 0 || exact.exponent < -12) return 0;  // below a microsecond
  if (exact.exponent > 12) return exact.sign * kFarthestSeconds;
  // The digits are d.ddd... times 10^exponent: below 10^13 days, whose seconds 64 bits hold.
  using boost::multiprecision::cpp_int;
  cpp_int seconds = cpp_int(exact.digits) * 86400;
  const int below_units = static_cast<int>(exact.digits.size()) - 1 - exact.exponent;
  if (below_units < 0) seconds *= boost::multiprecision::pow(cpp_int(10), -below_units);
  if (below_units > 0) {
    seconds = RoundedQuotient(seconds, boost::multiprecision::pow(cpp_int(10), below_units));
  }
  return WithinFarthest(exact.sign * seconds.convert_to<int64_t>());
}

// The seconds of `days` days computed from a row's values, which the engine holds in a double:
// days * 86400 rounded to the nearest second, a fraction from 0.499 up away from zero. The
// double is off by less than a ten-thousandth of a second where any date reaches (below 10^12
// seconds), so that a half the exact value lies a little under or over rounds alike, as the
// server rounds them (ora_date_add).
int64_t SecondsOfComputedDays(sqlite3_value* days) {
  const double seconds = AsNumber(days) * 86400;
  if (!(std::fabs(seconds) < kFarthestSeconds)) {
    return seconds < 0 ? -kFarthestSeconds : kFarthestSeconds;
  }
  return static_cast<int64_t>(std::trunc(seconds + std::copysign(0.501, seconds)));
}

// The seconds since the epoch of a date: one of the stored form read by position, any other
// value read as a date (failing as AsDate fails).
int64_t SecondsOfDate(sqlite3_value* date) {
  if (sqlite3_value_type(date) == SQLITE_TEXT) {
    if (const std::optional<int64_t> seconds = StoredSeconds(TextView(date))) return *seconds;
  }
  return AsDate(date).ToSeconds();
}

// `date` moved by `days` days (a NUMBER computed from a row's values), forward for a direction
// of 1, back for -1.
DateTime MovedByDays(sqlite3_value* date, sqlite3_value* days, int direction) {
  const int64_t from = SecondsOfDate(date);
  return DateTime::FromSeconds(from + direction * SecondsOfComputedDays(days));
}

// ora_days_seconds(days, direction): the seconds a date is moved by days computed from
// literals alone, from their exact digits (an exact half away from zero), times the direction
// (1 or -1; of any other number, its sign). The engine computes it once for the statement.
void DaysSeconds(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  const int64_t direction = sqlite3_value_int64(argv[1]);
  const int64_t seconds = ExactSecondsOfDays(argv[0]);
  sqlite3_result_int64(ctx, direction < 0 ? -seconds : direction > 0 ? seconds : 0);
}

// ora_date_add_seconds(date, seconds).
void DateAddSeconds(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  ResultDate(ctx, DateTime::FromSeconds(SecondsOfDate(argv[0]) +
                                        WithinFarthest(sqlite3_value_int64(argv[1]))));
}

void DateAdd(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  ResultDate(ctx, MovedByDays(argv[0], argv[1], 1));
}
void DateSub(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  ResultDate(ctx, MovedByDays(argv[0], argv[1], -1));
}
void DateDiff(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  ResultNumber(ctx, DaysBetween(AsDate(argv[0]), AsDate(argv[1])));
}

// TRUNC(a - b) of two dates: the whole days between, toward zero. Two texts of the stored form
// are read by position into seconds; any other value takes the general path of the difference
// and TRUNC, with their errors.
void TruncDateDiff(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  if (sqlite3_value_type(argv[0]) == SQLITE_TEXT && sqlite3_value_type(argv[1]) == SQLITE_TEXT) {
    const std::optional<int64_t> later = StoredSeconds(TextView(argv[0]));
    const std::optional<int64_t> earlier = later ? StoredSeconds(TextView(argv[1])) : std::nullopt;
    if (earlier) return sqlite3_result_int64(ctx, (*later - *earlier) / 86400);
  }
  ResultNumber(ctx, TruncateTo(DaysBetween(AsDate(argv[0]), AsDate(argv[1])), 0));
}

// The seconds from `earlier` to `later`, each read as SecondsOfDate reads it.
int64_t SecondsBetween(sqlite3_value* later, sqlite3_value* earlier) {
  const int64_t to = SecondsOfDate(later);
  return to - SecondsOfDate(earlier);
}

// date - date as a NUMBER (exact_arithmetic.cpp): the seconds between over 86400, one quotient
// rounded to a NUMBER's digits.
template <ResultForm form>
void ExactDateDiff(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  ResultNumberValue(ctx, ShortQuotient(ShortDecimal{SecondsBetween(argv[0], argv[1]), 0},
                                       ShortDecimal{86400, 0}, form));
}

// a + b and a - b where the translator could not tell dates from numbers.
void AddAny(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  bool da = LooksLikeDate(argv[0]), db = LooksLikeDate(argv[1]);
  if (da && db) throw FunctionError{"ORA-00975: date + date not allowed"};
  if (da) return ResultDate(ctx, MovedByDays(argv[0], argv[1], 1));
  if (db) return ResultDate(ctx, MovedByDays(argv[1], argv[0], 1));
  ResultNumber(ctx, AsNumber(argv[0]) + AsNumber(argv[1]));
}
void SubAny(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  bool da = LooksLikeDate(argv[0]), db = LooksLikeDate(argv[1]);
  if (da && db) return ResultNumber(ctx, DaysBetween(AsDate(argv[0]), AsDate(argv[1])));
  if (da) return ResultDate(ctx, MovedByDays(argv[0], argv[1], -1));
  if (db) throw FunctionError{"ORA-00932: inconsistent datatypes: expected DATE got NUMBER", kConversionFailed};
  ResultNumber(ctx, AsNumber(argv[0]) - AsNumber(argv[1]));
}

void TruncDate(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  ResultDate(ctx, TruncateDate(AsDate(argv[0]), argc > 1 ? AsText(argv[1]) : "DD"));
}
void RoundDateFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  ResultDate(ctx, RoundDate(AsDate(argv[0]), argc > 1 ? AsText(argv[1]) : "DD"));
}
void RoundAny(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (LooksLikeDate(argv[0])) return RoundDateFn(ctx, argc, argv);
  Round(ctx, argc, argv);
}
void TruncAny(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (LooksLikeDate(argv[0])) return TruncDate(ctx, argc, argv);
  Trunc(ctx, argc, argv);
}

// EXTRACT(field FROM date): the translator passes only the fields a value may give.
void ExtractFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  const DateTime d = AsDate(argv[0]);
  const std::string_view field = TextView(argv[1]);
  const int value = field == "YEAR"     ? d.year
                    : field == "MONTH"  ? d.month
                    : field == "DAY"    ? d.day
                    : field == "HOUR"   ? d.hour
                    : field == "MINUTE" ? d.minute
                                        : d.second;
  sqlite3_result_int64(ctx, value);
}

void AddMonthsFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  ResultDate(ctx, AddMonths(AsDate(argv[0]), AsInteger(argv[1])));
}
void LastDayFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  ResultDate(ctx, LastDay(AsDate(argv[0])));
}
// NEXT_DAY: the first day after the date that the name gives, at the date's time of day. The
// name is an English day name or its three-letter abbreviation in any case; letters after the
// abbreviation are ignored.
void NextDayFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  const DateTime d = AsDate(argv[0]);
  const std::string name = AsText(argv[1]);
  static constexpr std::string_view kDays = "SUNMONTUEWEDTHUFRISAT";
  std::string abbreviation;
  for (size_t i = 0; i < name.size() && i < 3; ++i) {
    abbreviation.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(name[i]))));
  }
  const size_t at = abbreviation.size() == 3 ? kDays.find(abbreviation) : std::string_view::npos;
  if (at == std::string_view::npos || at % 3 != 0) {
    throw FunctionError{"ORA-01846: not a valid day of the week", kConversionFailed};
  }
  // 1970-01-01, day 0, was a Thursday.
  const int64_t day = DaysFromCivil(d.year, d.month, d.day);
  const int64_t weekday = ((day % 7) + 7 + 4) % 7;
  const int64_t ahead = (static_cast<int64_t>(at / 3) - weekday + 6) % 7 + 1;
  ResultDate(ctx, DateTime::FromSeconds(d.ToSeconds() + ahead * 86400));
}
void MonthsBetweenFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  ResultNumber(ctx, MonthsBetween(AsDate(argv[0]), AsDate(argv[1])));
}

// MONTHS_BETWEEN of a computed NUMBER (exact_arithmetic.cpp): its exact value in seconds of
// 31-day months, one quotient rounded to a NUMBER's digits.
template <ResultForm form>
void ExactMonthsBetween(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  ResultNumberValue(ctx, ShortQuotient(ShortDecimal{MonthsBetweenSeconds(AsDate(argv[0]),
                                                                         AsDate(argv[1])), 0},
                                       ShortDecimal{kSecondsOfMonthsBetween, 0}, form));
}

// GREATEST and LEAST compare as the first argument's type: numbers as numbers, anything else
// as text.

void Sysdate(sqlite3_context* ctx, int, sqlite3_value**) { ResultDate(ctx, CurrentDatabaseTime()); }

}  // namespace

std::span<const FunctionEntry> DateFunctions() {
  static const FunctionEntry kEntries[] = {
      {"ora_date_add", 2, DateAdd, true},
      {"ora_date_sub", 2, DateSub, true},
      {"ora_days_seconds", 2, DaysSeconds, true},
      {"ora_date_add_seconds", 2, DateAddSeconds, true},
      {"ora_date_diff", 2, DateDiff, true},
      {"ora_trunc_date_diff", 2, TruncDateDiff, true},
      {"ora_exact_date_diff", 2, ExactDateDiff<ResultForm::kOperand>, true},
      {"ora_result_date_diff", 2, ExactDateDiff<ResultForm::kText>, true},
      {"ora_add", 2, AddAny, true},
      {"ora_sub", 2, SubAny, true},
      {"ora_round_date", -1, RoundDateFn, true, 1, 2},
      {"ora_trunc_date", -1, TruncDate, true, 1, 2},
      {"ora_round_any", -1, RoundAny, true, 1, 2},
      {"ora_trunc_any", -1, TruncAny, true, 1, 2},
      {"ora_add_months", 2, AddMonthsFn, true},
      {"ora_extract_field", 2, ExtractFn, true},
      {"ora_last_day", 1, LastDayFn, true},
      {"ora_next_day", 2, NextDayFn, true},
      {"ora_months_between", 2, MonthsBetweenFn, true},
      {"ora_exact_months_between", 2, ExactMonthsBetween<ResultForm::kOperand>, true},
      {"ora_result_months_between", 2, ExactMonthsBetween<ResultForm::kText>, true},
      {"ora_sysdate", 0, Sysdate, false},
  };
  return kEntries;
}

}  // namespace korvalis::db::functions
