// SQL functions on numbers with Oracle's results: NUMBER arithmetic in decimal, exact
// division failing on zero, ROUND
// half away from zero, integer FLOOR and CEIL, MOD of Oracle, GREATEST and LEAST, random values.
#include "platform/db/sql_function_support.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <random>
#include <stdexcept>

#include "platform/db/decimal_functions.h"
#include "platform/db/exact_number_values.h"
#include "platform/db/ora_number.h"
#include "platform/db/oracle_functions.h"
#include "platform/text/hex.h"

namespace korvalis::db::functions {
namespace {

void Num(sqlite3_context* ctx, int, sqlite3_value** argv) {
  switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL: sqlite3_result_null(ctx); return;
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: sqlite3_result_value(ctx, argv[0]); return;
    case SQLITE_TEXT: ResultNumber(ctx, NumberOfText(TextView(argv[0]))); return;
    default: ResultNumber(ctx, AsNumber(argv[0]));
  }
}

// TO_NUMBER(text, model).
void NumByModel(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  const std::string text(AsText(argv[0]));
  const std::optional<std::string> number = ReadNumberByModel(text, TextView(argv[1]));
  if (!number) InvalidNumber(text);
  if (number->empty()) return sqlite3_result_null(ctx);
  const std::optional<double> value = ParseNumber(*number);
  if (!value) InvalidNumber(text);
  ResultNumber(ctx, *value);
}

void Div(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  double b = AsNumber(argv[1]);
  if (b == 0) throw FunctionError{"ORA-01476: divisor is equal to zero"};
  ResultNumber(ctx, AsNumber(argv[0]) / b);
}


void Sign(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  double v = AsNumber(argv[0]);
  sqlite3_result_int64(ctx, v > 0 ? 1 : v < 0 ? -1 : 0);
}
void Abs(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  ResultNumber(ctx, std::fabs(AsNumber(argv[0])));
}

}  // namespace

// The value at the 15 significant digits it is shown with, so that FLOOR and CEIL act on the
// decimal value: 0.1 * 3 * 10 is 3, not the 3.0000000000000004 that binary arithmetic leaves.
double AtShownPrecision(double value) {
  if (!std::isfinite(value)) return value;
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.15g", value);
  return std::strtod(buf, nullptr);
}

void Floor(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  ResultNumber(ctx, std::floor(AtShownPrecision(AsNumber(argv[0]))));
}
void Ceil(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  ResultNumber(ctx, std::ceil(AtShownPrecision(AsNumber(argv[0]))));
}

namespace {

// A computed number at the precision it is shown with, for comparisons.
void Shown(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  ResultNumber(ctx, AtShownPrecision(AsNumber(argv[0])));
}
}  // namespace

// A negative base takes only a whole exponent.
void Power(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  const double base = AsNumber(argv[0]), exponent = AsNumber(argv[1]);
  if (base < 0 && exponent != std::trunc(exponent)) {
    throw FunctionError{"ORA-01428: argument '" + FormatNumber(base) + "' is out of range"};
  }
  ResultNumber(ctx, std::pow(base, exponent));
}

namespace {

// Digits after the point of a number as shown; -1 when it is shown with an exponent.
int ShownDecimalPlaces(double value) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.15g", value);
  if (std::strchr(buf, 'e') != nullptr) return -1;
  const char* point = std::strchr(buf, '.');
  return point == nullptr ? 0 : static_cast<int>(std::strlen(point + 1));
}

}  // namespace

// m - n * TRUNC(m / n) on the decimal values: the quotient is taken as shown and the remainder
// has no more places than its operands, so MOD(0.3, 0.1) is 0 as in Oracle.
void Mod(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  double m = AsNumber(argv[0]), n = AsNumber(argv[1]);
  if (n == 0) return ResultNumber(ctx, m);
  const double quotient = m / n;
  double remainder =
      m - n * std::trunc(std::fabs(quotient) < 1e15 ? AtShownPrecision(quotient) : quotient);
  const int places_m = ShownDecimalPlaces(m), places_n = ShownDecimalPlaces(n);
  if (places_m >= 0 && places_n >= 0) {
    remainder = RoundHalfAway(remainder, std::max(places_m, places_n));
  }
  ResultNumber(ctx, remainder);
}

namespace {

int Places(int argc, sqlite3_value** argv) {
  if (argc < 2) return 0;
  int64_t p = AsInteger(argv[1]);
  return static_cast<int>(std::clamp<int64_t>(p, -30, 30));
}

void Extreme(sqlite3_context* ctx, int argc, sqlite3_value** argv, bool greatest) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const int t0 = sqlite3_value_type(argv[0]);
  if (t0 == SQLITE_INTEGER || t0 == SQLITE_FLOAT) {
    double best = AsNumber(argv[0]);
    for (int i = 1; i < argc; ++i) {
      double v = AsNumber(argv[i]);
      if (greatest ? v > best : v < best) best = v;
    }
    return ResultNumber(ctx, best);
  }
  std::string best = AsText(argv[0]);
  for (int i = 1; i < argc; ++i) {
    std::string v = AsText(argv[i]);
    if (greatest ? v > best : v < best) best = std::move(v);
  }
  ResultText(ctx, best);
}
void Greatest(sqlite3_context* ctx, int argc, sqlite3_value** argv) { Extreme(ctx, argc, argv, true); }
void Least(sqlite3_context* ctx, int argc, sqlite3_value** argv) { Extreme(ctx, argc, argv, false); }

// The exact arithmetic of a computed result column (the translator prints it for a query's
// own result): decimals rounded to a NUMBER's digits (ora_decimal.h). An operand of more
// arithmetic (ora_exact_*) of more than 15 significant digits is kept as its text; the
// column's own value (ora_result_*) is its text whenever it is no integer, ready to read. An operand that is a double standing for no decimal of
// 15 digits (a date difference) is computed as a double, as elsewhere.
enum class Exact { kAdd, kSubtract, kMultiply, kDivide };

// An exact operand as TO_CHAR writes a number: no zero before the point.
void ExactText(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) != SQLITE_TEXT) return ResultText(ctx, AsText(argv[0]));
  std::string text(TextView(argv[0]));
  const size_t zero = text.starts_with('-') ? 1 : 0;
  if (text.compare(zero, 2, "0.") == 0) text.erase(zero, 1);
  ResultText(ctx, text);
}

template <Exact op, ResultForm form>
void ExactArithmetic(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  try {
    const std::optional<ShortDecimal> sa = ShortArgument(argv[0]), sb = ShortArgument(argv[1]);
    if (op == Exact::kDivide && sa && sb) {
      if (sb->mantissa == 0) throw FunctionError{"ORA-01476: divisor is equal to zero"};
      return ResultNumberValue(ctx, ShortQuotient(*sa, *sb, form));
    }
    const Operation exact_op = op == Exact::kAdd        ? Operation::kAdd
                               : op == Exact::kSubtract ? Operation::kSubtract
                                                        : Operation::kMultiply;
    if (op != Exact::kDivide && sa && sb) {
      if (std::optional<NumberValue> value = ShortResult(exact_op, *sa, *sb, form)) {
        return ResultNumberValue(ctx, *value);
      }
    }
    const auto binary = [](sqlite3_value* v, const std::optional<ShortDecimal>& s) {
      return sqlite3_value_type(v) == SQLITE_FLOAT && !s;
    };
    // Longer operands: whole numbers of their digits, exact.
    if (op != Exact::kDivide && !binary(argv[0], sa) && !binary(argv[1], sb)) {
      if (std::optional<NumberValue> value = DigitsResult(
              exact_op, DigitsArgument(argv[0]), DigitsArgument(argv[1]), form)) {
        return ResultNumberValue(ctx, *value);
      }
    }
    const std::optional<Decimal> a = DecimalArgument(argv[0], sa);
    const std::optional<Decimal> b = DecimalArgument(argv[1], sb);
    if (!a || !b) {
      const double x = AsNumber(argv[0]), y = AsNumber(argv[1]);
      switch (op) {
        case Exact::kAdd: return ResultNumber(ctx, x + y);
        case Exact::kSubtract: return ResultNumber(ctx, x - y);
        case Exact::kMultiply: return ResultNumber(ctx, x * y);
        case Exact::kDivide: return Div(ctx, 2, argv);
      }
    }
    Decimal exact;
    switch (op) {
      case Exact::kAdd: exact = *a + *b; break;
      case Exact::kSubtract: exact = *a - *b; break;
      case Exact::kMultiply: exact = *a * *b; break;
      case Exact::kDivide:
        if (b->is_zero()) throw FunctionError{"ORA-01476: divisor is equal to zero"};
        exact = *a / *b;
        break;
    }
    ResultNumberValue(ctx, ToNumberValue(exact, form));
  } catch (const std::overflow_error& e) {
    throw FunctionError{e.what()};
  }
}

std::mt19937_64& Random() {
  thread_local std::mt19937_64 engine{std::random_device{}()};
  return engine;
}
void RandomValue(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  double u = std::uniform_real_distribution<double>(0.0, 1.0)(Random());
  if (argc == 2) {
    if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
    double lo = AsNumber(argv[0]), hi = AsNumber(argv[1]);
    u = lo + u * (hi - lo);
  }
  sqlite3_result_double(ctx, u);
}
void SysGuid(sqlite3_context* ctx, int, sqlite3_value**) {
  std::string out;
  for (int i = 0; i < 2; ++i) {
    uint64_t r = Random()();
    for (int k = 0; k < 16; ++k) {
      out.push_back(HexDigit(static_cast<unsigned>(r), HexLetters::kCapital));
      r >>= 4;
    }
  }
  ResultText(ctx, out);
}

}  // namespace

std::optional<ShortDecimal> ShortArgument(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: return ShortDecimal{sqlite3_value_int64(v), 0};
    case SQLITE_FLOAT: return ShortDecimalOf(sqlite3_value_double(v));
    default: return std::nullopt;
  }
}

std::optional<Decimal> DecimalArgument(sqlite3_value* v, const std::optional<ShortDecimal>& short_form) {
  if (short_form) return ToDecimal(*short_form);
  switch (sqlite3_value_type(v)) {
    case SQLITE_TEXT: {
      std::optional<Decimal> d = ParseDecimal(TextView(v));
      if (!d) InvalidNumber(TextView(v));
      return d;
    }
    case SQLITE_FLOAT: return std::nullopt;
    default:
      AsNumber(v);  // fails as for any number
      return std::nullopt;
  }
}

void ResultNumberValue(sqlite3_context* ctx, const NumberValue& value) {
  switch (value.kind) {
    case NumberValue::Kind::kInteger: return sqlite3_result_int64(ctx, value.integer);
    case NumberValue::Kind::kReal: return sqlite3_result_double(ctx, value.real);
    case NumberValue::Kind::kText:
      return sqlite3_result_text64(ctx, value.text.data(), value.text.size(), SQLITE_TRANSIENT,
                                   SQLITE_UTF8);
  }
}

void Round(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  ResultNumber(ctx, RoundHalfAway(AsNumber(argv[0]), Places(argc, argv)));
}

void Trunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  ResultNumber(ctx, TruncateTo(AsNumber(argv[0]), Places(argc, argv)));
}

// A whole number a window function takes (NTILE's buckets, LAG's and LEAD's offset): its first
// argument truncated, which must be at least the second; a number above what the engine takes
// is its largest.
void WindowArgument(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) throw FunctionError{"ORA-01428: argument 'NULL' is out of range"};
  const double v = std::trunc(AsNumber(argv[0]));
  if (!(v >= AsNumber(argv[1]))) {
    throw FunctionError{"ORA-01428: argument '" + NumberAsText(AsNumber(argv[0])) +
                        "' is out of range"};
  }
  sqlite3_result_int64(ctx, v > 2147483647.0 ? 2147483647 : static_cast<int64_t>(v));
}

std::span<const FunctionEntry> NumberFunctions() {
  static const FunctionEntry kEntries[] = {
      {"ora_num", 1, Num, true},
      {"ora_num", 2, NumByModel, true},
      {"ora_window_argument", 2, WindowArgument, true},
      {"ora_div", 2, Div, true},
      {"ora_exact_add", 2, ExactArithmetic<Exact::kAdd, ResultForm::kOperand>, true},
      {"ora_exact_sub", 2, ExactArithmetic<Exact::kSubtract, ResultForm::kOperand>, true},
      {"ora_exact_mul", 2, ExactArithmetic<Exact::kMultiply, ResultForm::kOperand>, true},
      {"ora_exact_div", 2, ExactArithmetic<Exact::kDivide, ResultForm::kOperand>, true},
      {"ora_exact_text", 1, ExactText, true},
      {"ora_result_add", 2, ExactArithmetic<Exact::kAdd, ResultForm::kText>, true},
      {"ora_result_sub", 2, ExactArithmetic<Exact::kSubtract, ResultForm::kText>, true},
      {"ora_result_mul", 2, ExactArithmetic<Exact::kMultiply, ResultForm::kText>, true},
      {"ora_result_div", 2, ExactArithmetic<Exact::kDivide, ResultForm::kText>, true},
      {"ora_sign", 1, Sign, true},
      {"ora_abs", 1, Abs, true},
      {"ora_shown", 1, Shown, true},
      {"ora_floor", 1, Floor, true},
      {"ora_ceil", 1, Ceil, true},
      {"ora_mod", 2, Mod, true},
      {"ora_round", -1, Round, true, 1, 2},
      {"ora_trunc", -1, Trunc, true, 1, 2},
      {"ora_greatest", -1, Greatest, true, 1, 127},
      {"ora_least", -1, Least, true, 1, 127},
      {"ora_random", -1, RandomValue, false, 0, 2},
      {"ora_sys_guid", 0, SysGuid, false},
  };
  return kEntries;
}

}  // namespace korvalis::db::functions
