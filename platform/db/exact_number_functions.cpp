// The functions of numbers that the translator prints for computed NUMBERs (exact_arithmetic.cpp):
// ROUND, TRUNC, CEIL, FLOOR, ABS, SIGN, MOD, REMAINDER and POWER computed on the exact digits of
// their arguments, each as an operand of more arithmetic (ora_exact_*) or as a query's own
// result (ora_result_*, see ResultForm); GREATEST, LEAST and NULLIF comparing exactly and giving
// back the value chosen as it is. An argument that is a double standing for no decimal of 15
// digits (the binary result of a square root, say) is computed as the double functions compute
// it, at the 15 digits it shows.
#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "platform/db/decimal_functions.h"
#include "platform/db/exact_number_values.h"
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

template <ResultForm form>
void PowerOf(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  if (!AnyBinary(2, argv)) {
    try {
      if (std::optional<NumberValue> power =
              WholePower(DigitsArgument(argv[0]), DigitsArgument(argv[1]), form)) {
        return ResultNumberValue(ctx, *power);
      }
    } catch (const std::overflow_error& e) {
      throw FunctionError{e.what()};
    }
  }
  Power(ctx, 2, argv);
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
      {"ora_exact_round", -1, Guarded<RoundTo<Rounding::kHalfAwayFromZero, kOperand>>, true},
      {"ora_result_round", -1, Guarded<RoundTo<Rounding::kHalfAwayFromZero, kText>>, true},
      {"ora_exact_trunc", -1, Guarded<RoundTo<Rounding::kTowardZero, kOperand>>, true},
      {"ora_result_trunc", -1, Guarded<RoundTo<Rounding::kTowardZero, kText>>, true},
      {"ora_exact_ceil", 1, Guarded<RoundTo<Rounding::kCeiling, kOperand>>, true},
      {"ora_result_ceil", 1, Guarded<RoundTo<Rounding::kCeiling, kText>>, true},
      {"ora_exact_floor", 1, Guarded<RoundTo<Rounding::kFloor, kOperand>>, true},
      {"ora_result_floor", 1, Guarded<RoundTo<Rounding::kFloor, kText>>, true},
      {"ora_exact_abs", 1, Guarded<Abs<kOperand>>, true},
      {"ora_result_abs", 1, Guarded<Abs<kText>>, true},
      {"ora_exact_sign", 1, Guarded<Sign>, true},
      {"ora_exact_mod", 2, Guarded<RemainderOf<false, kOperand>>, true},
      {"ora_result_mod", 2, Guarded<RemainderOf<false, kText>>, true},
      {"ora_remainder", 2, Guarded<RemainderOf<true, kNumber>>, true},
      {"ora_exact_remainder", 2, Guarded<RemainderOf<true, kOperand>>, true},
      {"ora_result_remainder", 2, Guarded<RemainderOf<true, kText>>, true},
      {"ora_exact_power", 2, Guarded<PowerOf<kOperand>>, true},
      {"ora_result_power", 2, Guarded<PowerOf<kText>>, true},
      {"ora_exact_greatest", -1, Guarded<Extreme<1>>, true},
      {"ora_exact_least", -1, Guarded<Extreme<-1>>, true},
      {"ora_exact_nullif", 2, Guarded<NullIf>, true},
  };
  return kEntries;
}

}  // namespace korvalis::db::functions
