// The functions of numbers that the translator prints for computed NUMBERs (exact_arithmetic.cpp):
// ROUND, TRUNC, CEIL, FLOOR, ABS, SIGN, MOD, REMAINDER, POWER, SQRT, EXP, LN and LOG computed on
// the exact digits of their arguments, each as an operand of more arithmetic (ora_exact_*) or as
// a query's own result (ora_result_*, see ResultForm), and SQRT, EXP, LN, LOG and POWER also as
// a number the engine compares (ora_sqrt ...); GREATEST, LEAST and NULLIF comparing exactly and
// giving back the value chosen as it is. An argument that is a double standing for no decimal of
// 15 digits (the binary result of a date difference, say) is rounded, truncated, taken modulo or
// made absolute as the double functions do it, at the 15 digits it shows; the others read it as
// the shortest decimal that reads back as it.
#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "platform/db/decimal_functions.h"
#include "platform/db/exact_number_values.h"
#include "platform/db/ora_number.h"
#include "platform/db/sql_function_support.h"

namespace korvalis::db::functions {
namespace {

// A double that stands for no decimal of at most 15 significant digits.
bool AnyBinary(int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i) {
    if (sqlite3_value_type(argv[i]) == SQLITE_FLOAT && !ShortArgument(argv[i])) return true;
  }
  return false;
}

// The whole number of decimals an argument asks for (Oracle truncates a fraction), kept
// within what changes a NUMBER.
int PlacesArgument(int argc, sqlite3_value** argv) {
  if (argc < 2) return 0;
  const double places = std::trunc(AsNumber(argv[1]));
  return static_cast<int>(std::clamp(places, -1000.0, 1000.0));
}

void Result(sqlite3_context* ctx, const DecimalDigits& exact, ResultForm form) {
  try {
    ResultNumberValue(ctx, ToNumberValue(exact, form));
  } catch (const std::overflow_error& e) {
    throw FunctionError{e.what()};
  }
}

template <Rounding rounding, ResultForm form>
void RoundTo(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  if (AnyBinary(argc, argv)) {
    // The double functions, as before.
    switch (rounding) {
      case Rounding::kHalfAwayFromZero: return Round(ctx, argc, argv);
      case Rounding::kTowardZero: return Trunc(ctx, argc, argv);
      case Rounding::kCeiling: return Ceil(ctx, argc, argv);
      case Rounding::kFloor: return Floor(ctx, argc, argv);
    }
  }
  const int places = PlacesArgument(argc, argv);
  if (const std::optional<ShortDecimal> value = ShortArgument(argv[0])) {
    if (const std::optional<NumberValue> rounded = ShortRounded(*value, places, rounding, form)) {
      return ResultNumberValue(ctx, *rounded);
    }
  }
  Result(ctx, RoundDigits(DigitsArgument(argv[0]), places, rounding), form);
}

template <ResultForm form>
void Abs(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  if (AnyBinary(1, argv)) return ResultNumber(ctx, std::fabs(AsNumber(argv[0])));
  DecimalDigits d = DigitsArgument(argv[0]);
  d.sign = d.sign < 0 ? 1 : d.sign;
  Result(ctx, d, form);
}

void Sign(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  sqlite3_result_int(ctx, DigitsArgument(argv[0]).sign);
}

// MOD (the truncated quotient; m itself when n is zero) and REMAINDER (the nearest quotient;
// n must not be zero).
template <bool nearest, ResultForm form>
void RemainderOf(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  if (!nearest && AnyBinary(2, argv)) return Mod(ctx, 2, argv);
  const DecimalDigits m = DigitsArgument(argv[0]), n = DigitsArgument(argv[1]);
  if (n.sign == 0) {
    if (nearest) throw FunctionError{"ORA-01476: divisor is equal to zero"};
    return Result(ctx, m, form);
  }
  Result(ctx, Remainder(m, n, nearest), form);
}

[[noreturn]] void OutOfRange(sqlite3_value* v) {
  throw FunctionError{"ORA-01428: argument '" + FormatNumber(AsNumber(v)) + "' is out of range"};
}

template <typename Compute>
void Computed(sqlite3_context* ctx, Compute compute) {
  try {
    ResultNumberValue(ctx, compute());
  } catch (const std::overflow_error& e) {
    throw FunctionError{e.what()};
  }
}

template <ResultForm form>
void SqrtOf(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  const DecimalDigits x = DigitsArgument(argv[0]);
  if (x.sign < 0) OutOfRange(argv[0]);
  Computed(ctx, [&] { return SquareRoot(x, form); });
}

template <ResultForm form>
void ExpOf(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  const DecimalDigits x = DigitsArgument(argv[0]);
  Computed(ctx, [&] { return Exponential(x, form); });
}

template <ResultForm form>
void LnOf(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  const DecimalDigits x = DigitsArgument(argv[0]);
  if (x.sign <= 0) OutOfRange(argv[0]);
  Computed(ctx, [&] { return NaturalLogarithm(x, form); });
}

// LOG(base, x): a base above zero other than one, x above zero.
template <ResultForm form>
void LogOf(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  const DecimalDigits base = DigitsArgument(argv[0]), x = DigitsArgument(argv[1]);
  if (base.sign <= 0 || (base.digits == "1" && base.exponent == 0)) OutOfRange(argv[0]);
  if (x.sign <= 0) OutOfRange(argv[1]);
  Computed(ctx, [&] { return Logarithm(base, x, form); });
}

// A whole exponent gives the exact power rounded; any other, or one whose exact power would
// run to thousands of digits, e^(n ln x). A negative base takes only a whole exponent.
template <ResultForm form>
void PowerOf(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  const DecimalDigits x = DigitsArgument(argv[0]), n = DigitsArgument(argv[1]);
  if (x.sign < 0 && !IsWhole(n)) OutOfRange(argv[0]);
  if (x.sign == 0 && n.sign < 0) return Power(ctx, 2, argv);  // as the double function answers
  Computed(ctx, [&] {
    if (std::optional<NumberValue> whole = WholePower(x, n, form)) return *whole;
    return x.sign == 0 ? NumberValue{} : RealPower(x, n, form);
  });
}

// GREATEST and LEAST of numbers: NULL when any is, else the first of the extreme values.
template <int direction>
void Extreme(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  int best = 0;
  for (int i = 1; i < argc; ++i) {
    if (CompareNumbers(argv[i], argv[best]) * direction > 0) best = i;
  }
  sqlite3_result_value(ctx, argv[best]);
}

void NullIf(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0]) || (!IsNull(argv[1]) && CompareNumbers(argv[0], argv[1]) == 0)) {
    return sqlite3_result_null(ctx);
  }
  sqlite3_result_value(ctx, argv[0]);
}

}  // namespace

std::span<const FunctionEntry> ExactNumberFunctions() {
  using enum ResultForm;
  static const FunctionEntry kEntries[] = {
      {"ora_exact_round", -1, RoundTo<Rounding::kHalfAwayFromZero, kOperand>, true, 1, 2},
      {"ora_result_round", -1, RoundTo<Rounding::kHalfAwayFromZero, kText>, true, 1, 2},
      {"ora_exact_trunc", -1, RoundTo<Rounding::kTowardZero, kOperand>, true, 1, 2},
      {"ora_result_trunc", -1, RoundTo<Rounding::kTowardZero, kText>, true, 1, 2},
      {"ora_exact_ceil", 1, RoundTo<Rounding::kCeiling, kOperand>, true},
      {"ora_result_ceil", 1, RoundTo<Rounding::kCeiling, kText>, true},
      {"ora_exact_floor", 1, RoundTo<Rounding::kFloor, kOperand>, true},
      {"ora_result_floor", 1, RoundTo<Rounding::kFloor, kText>, true},
      {"ora_exact_abs", 1, Abs<kOperand>, true},
      {"ora_result_abs", 1, Abs<kText>, true},
      {"ora_exact_sign", 1, Sign, true},
      {"ora_exact_mod", 2, RemainderOf<false, kOperand>, true},
      {"ora_result_mod", 2, RemainderOf<false, kText>, true},
      {"ora_remainder", 2, RemainderOf<true, kNumber>, true},
      {"ora_exact_remainder", 2, RemainderOf<true, kOperand>, true},
      {"ora_result_remainder", 2, RemainderOf<true, kText>, true},
      {"ora_power", 2, PowerOf<kNumber>, true},
      {"ora_exact_power", 2, PowerOf<kOperand>, true},
      {"ora_result_power", 2, PowerOf<kText>, true},
      {"ora_sqrt", 1, SqrtOf<kNumber>, true},
      {"ora_exact_sqrt", 1, SqrtOf<kOperand>, true},
      {"ora_result_sqrt", 1, SqrtOf<kText>, true},
      {"ora_exp", 1, ExpOf<kNumber>, true},
      {"ora_exact_exp", 1, ExpOf<kOperand>, true},
      {"ora_result_exp", 1, ExpOf<kText>, true},
      {"ora_ln", 1, LnOf<kNumber>, true},
      {"ora_exact_ln", 1, LnOf<kOperand>, true},
      {"ora_result_ln", 1, LnOf<kText>, true},
      {"ora_log", 2, LogOf<kNumber>, true},
      {"ora_exact_log", 2, LogOf<kOperand>, true},
      {"ora_result_log", 2, LogOf<kText>, true},
      {"ora_exact_greatest", -1, Extreme<1>, true, 1, 127},
      {"ora_exact_least", -1, Extreme<-1>, true, 1, 127},
      {"ora_exact_nullif", 2, NullIf, true},
  };
  return kEntries;
}

}  // namespace korvalis::db::functions
