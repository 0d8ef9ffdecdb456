// SQL functions that convert between text, numbers and dates as Oracle does (TO_CHAR,
// TO_DATE, values written into typed columns), DECODE's comparison keys and raising errors.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <memory>
#include <optional>

#include "platform/db/database_clock.h"
#include "platform/db/exact_number_values.h"
#include "platform/db/ora_decimal.h"
#include "platform/db/ora_number.h"
#include "platform/db/oracle_functions.h"
#include "platform/db/sql_function_support.h"

namespace korvalis::db::functions {
namespace {

void DecodeNum(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_blob(ctx, "\0", 1, SQLITE_STATIC);
  ResultNumber(ctx, AsNumber(argv[0]));
}
void DecodeText(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_blob(ctx, "\0", 1, SQLITE_STATIC);
  if (sqlite3_value_type(argv[0]) == SQLITE_TEXT) return sqlite3_result_value(ctx, argv[0]);
  ResultText(ctx, AsText(argv[0]));
}

void ToCharNumber(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (IsNull(argv[0]) || (argc > 1 && IsNull(argv[1]))) return sqlite3_result_null(ctx);
  if (argc == 1) return ResultText(ctx, NumberAsText(AsNumber(argv[0])));
  if (sqlite3_value_type(argv[0]) == SQLITE_TEXT) {
    // Numeric text keeps every digit it has (an exact result longer than a double), as far as
    // a NUMBER holds it.
    return ResultText(ctx, FormatNumberModel(DigitsArgument(argv[0]), TextView(argv[1])));
  }
  ResultText(ctx, FormatNumberModel(AsNumber(argv[0]), TextView(argv[1])));
}
void ToCharDate(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (IsNull(argv[0]) || (argc > 1 && IsNull(argv[1]))) return sqlite3_result_null(ctx);
  const DateTime date = AsDate(argv[0]);
  // A model the statement gives as a constant is read once and kept with the statement.
  if (const auto* kept = static_cast<const DateFormatModel*>(sqlite3_get_auxdata(ctx, 1))) {
    return ResultText(ctx, kept->Format(date));
  }
  auto model = std::make_unique<DateFormatModel>(TextView(argv[1]));
  ResultText(ctx, model->Format(date));
  // SQLite may free the model at once: it is not used after this.
  sqlite3_set_auxdata(ctx, 1, model.release(),
                      [](void* kept) { delete static_cast<DateFormatModel*>(kept); });
}
// TO_CHAR of a value whose type the translator did not know.
void ToCharAny(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (IsNull(argv[0]) || (argc > 1 && IsNull(argv[1]))) return sqlite3_result_null(ctx);
  if (argc == 1) return ResultText(ctx, AsText(argv[0]));
  if (LooksLikeDate(argv[0])) return ToCharDate(ctx, argc, argv);
  ToCharNumber(ctx, argc, argv);
}

void ToDate(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  ResultDate(ctx, ParseDateModel(AsText(argv[0]), TextView(argv[1]), CurrentDatabaseTime()));
}

// A value written into a DATE column or compared with a date: the default format
// YYYY-MM-DD HH24:MI:SS, read as Oracle reads it.
void DateIn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  std::string_view t = TextView(argv[0]);
  if (sqlite3_value_type(argv[0]) != SQLITE_TEXT) {
    throw FunctionError{"ORA-00932: inconsistent datatypes: expected DATE got NUMBER", kConversionFailed};
  }
  auto d = ParseDefaultDate(t);
  if (!d) {
    throw FunctionError{"ORA-01861: literal does not match format string: " + QuotedValue(t),
                        kConversionFailed};
  }
  ResultDate(ctx, *d);
}

// The integer a value stands for exactly: an integer, or text of an optional sign and digits
// (blanks around them allowed). `too_large` tells integral text beyond 64 bits.
std::optional<int64_t> IntegerValue(sqlite3_value* v, bool* too_large) {
  *too_large = false;
  if (sqlite3_value_type(v) == SQLITE_INTEGER) return sqlite3_value_int64(v);
  if (sqlite3_value_type(v) != SQLITE_TEXT) return std::nullopt;
  std::string_view t = TextView(v);
  const size_t first = t.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return std::nullopt;
  t = t.substr(first, t.find_last_not_of(" \t\r\n") - first + 1);
  if (t.front() == '+') t.remove_prefix(1);
  const bool negative = !t.empty() && t.front() == '-';
  const std::string_view digits = negative ? t.substr(1) : t;
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) {
    return std::nullopt;
  }
  int64_t value = 0;
  auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
  if (ec == std::errc::result_out_of_range) {
    *too_large = true;
    return std::nullopt;
  }
  if (ec != std::errc() || end != t.data() + t.size()) return std::nullopt;
  return value;
}

[[noreturn]] void TooLargeForColumn() {
  throw FunctionError{"ORA-01438: value larger than specified precision allowed for this column", kDataOverflow};
}

// A value written into a NUMBER(p,s) column, or CAST to one. Integers stay exact whatever the
// precision (identifiers of other systems have up to 19 digits); an integral text too long
// for 64 bits is refused rather than rounded.
void NumberIn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  const int64_t scale = sqlite3_value_int64(argv[1]);
  const int64_t precision = sqlite3_value_int64(argv[2]);
  const int64_t integer_digits = precision - std::max<int64_t>(scale, 0);
  bool too_large = false;
  if (std::optional<int64_t> exact = IntegerValue(argv[0], &too_large); exact && scale >= 0) {
    if (precision > 0 && precision <= 38 && integer_digits < 19) {
      int64_t limit = 1;
      for (int64_t k = 0; k < integer_digits; ++k) limit *= 10;
      if (*exact >= limit || *exact <= -limit) TooLargeForColumn();
    }
    return sqlite3_result_int64(ctx, *exact);
  }
  if (too_large) TooLargeForColumn();
  double v = sqlite3_value_type(argv[0]) == SQLITE_TEXT ? NumberOfText(TextView(argv[0]))
                                                        : AsNumber(argv[0]);
  if (scale >= 0 && scale <= 15) v = RoundHalfAway(v, static_cast<int>(scale));
  if (precision > 0 && precision <= 38) {
    double limit = std::pow(10.0, static_cast<double>(integer_digits));
    if (std::fabs(v) >= limit) TooLargeForColumn();
  }
  ResultNumber(ctx, v);
}

// A computed NUMBER on its way into a column: itself, unless the engine's own arithmetic took
// it past a NUMBER's range, which fails.
void NumberWithinRange(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_FLOAT &&
      !WithinNumberRange(sqlite3_value_double(argv[0]))) {
    throw FunctionError{"ORA-01426: numeric overflow"};
  }
  sqlite3_result_value(ctx, argv[0]);
}

// A value written into a text column, or CAST to VARCHAR2: numbers as Oracle renders them.
void TextIn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  if (sqlite3_value_type(argv[0]) == SQLITE_TEXT)
    return ResultText(ctx, std::string(TextView(argv[0])));
  ResultText(ctx, AsText(argv[0]));
}

// Fails with the message given; one without an Oracle code gets the code of an application's
// own error.
void Raise(sqlite3_context* ctx, int, sqlite3_value** argv) {
  std::string message = AsText(argv[0]);
  if (!message.starts_with("ORA-")) message.insert(0, "ORA-20000: ");
  throw FunctionError{std::move(message)};
  (void)ctx;
}

}  // namespace

std::span<const FunctionEntry> ConversionFunctions() {
  static const FunctionEntry kEntries[] = {
      {"ora_decode_num", 1, DecodeNum, true},
      {"ora_decode_text", 1, DecodeText, true},
      {"ora_to_char", 1, ToCharAny, true},
      {"ora_to_char", 2, ToCharAny, true},
      {"ora_to_char_number", 2, ToCharNumber, true},
      {"ora_to_char_date", 2, ToCharDate, true},
      {"ora_to_date", 2, ToDate, true},
      {"ora_date_in", 1, DateIn, true},
      {"ora_number_in", 3, NumberIn, true},
      {"ora_number_range", 1, NumberWithinRange, true},
      {"ora_text_in", 2, TextIn, true},
      {"ora_raise", 1, Raise, false},
  };
  return kEntries;
}

}  // namespace korvalis::db::functions
