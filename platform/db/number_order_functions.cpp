// How exact NUMBERs compare and sort on the embedded engine. An exact operand (ora_exact_add
// ...) is an integer, a double, or the text of a decimal longer than a double shows; the
// engine would order such a text after every number, so conditions compare through
// ora_compare and sort keys are the bytes of ora_sort_key, both exact for any length.
// ora_number_bound gives a number at or above (or at or below) an operand, for a necessary
// condition on a column that an index can serve.
#include <charconv>
#include <cmath>

#include "platform/db/decimal_functions.h"
#include "platform/db/exact_number_values.h"
#include "platform/db/sql_function_support.h"

namespace korvalis::db::functions {
namespace {

constexpr int64_t kExactDoubleInteger = int64_t{1} << 53;
// The significant digits a NUMBER keeps at most, and the most a text is read with exactly.
constexpr int kNumberDigits = 40;
constexpr size_t kLongestExactDigits = 1000;

// The value as a double when that alone orders it exactly among numbers: a double, or an
// integer a double holds.
bool ExactDouble(sqlite3_value* v, int type, double* out) {
  if (type == SQLITE_FLOAT) {
    *out = sqlite3_value_double(v);
    return true;
  }
  if (type != SQLITE_INTEGER) return false;
  const int64_t i = sqlite3_value_int64(v);
  if (i > kExactDoubleInteger || i < -kExactDoubleInteger) return false;
  *out = static_cast<double>(i);
  return true;
}

// The double nearest a value (a text read as a number).
double NearestDouble(sqlite3_value* v, int type) {
  if (type == SQLITE_INTEGER) return static_cast<double>(sqlite3_value_int64(v));
  return AsNumber(v);
}

void CompareFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  sqlite3_result_int(ctx, CompareNumbers(argv[0], argv[1]));
}

// The exact value of a double (at most 767 significant digits).
DecimalDigits BinaryValue(double value) {
  char buf[800];
  const auto [end, ec] =
      std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 770);
  return *ParseDigits(std::string_view(buf, static_cast<size_t>(end - buf)));
}

// ora_number_bound(value, direction): the value itself when the engine holds it as a number,
// else the nearest double on the side of `direction` (1 at or above, -1 at or below).
void NumberBoundFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const int type = sqlite3_value_type(argv[0]);
  if (type == SQLITE_NULL || type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
    return sqlite3_result_value(ctx, argv[0]);
  }
  const double nearest = AsNumber(argv[0]);
  if (!std::isfinite(nearest)) throw FunctionError{"ORA-01426: numeric overflow"};
  const int direction = sqlite3_value_int(argv[1]);
  const int side = Compare(BinaryValue(nearest), DigitsArgument(argv[0]));
  const bool beyond = direction > 0 ? side >= 0 : side <= 0;
  sqlite3_result_double(ctx, beyond ? nearest
                                    : std::nextafter(nearest, direction > 0 ? HUGE_VAL : -HUGE_VAL));
}

void SortKeyFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  const std::string key = SortKey(DigitsArgument(argv[0]));
  sqlite3_result_blob64(ctx, key.data(), key.size(), SQLITE_TRANSIENT);
}

}  // namespace

DecimalDigits DigitsArgument(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: return DigitsOf(static_cast<int64_t>(sqlite3_value_int64(v)));
    case SQLITE_FLOAT: {
      const double d = sqlite3_value_double(v);
      if (!std::isfinite(d)) throw FunctionError{"ORA-01426: numeric overflow"};
      return DigitsOf(d);
    }
    case SQLITE_TEXT: {
      ChargeWork(TextView(v).size());
      std::optional<DecimalDigits> d = ParseDigits(TextView(v));
      if (!d) InvalidNumber(TextView(v));
      // A text read as a NUMBER: past its largest magnitude it overflows, and digits far beyond
      // its precision, which no stored value has, are rounded to it, so that exact arithmetic
      // never works through them.
      if (d->sign != 0 && d->exponent >= 126) throw FunctionError{"ORA-01426: numeric overflow"};
      if (d->digits.size() > kLongestExactDigits) {
        return RoundDigits(*d, kNumberDigits - 1 - d->exponent, Rounding::kHalfAwayFromZero);
      }
      return *std::move(d);
    }
    default:
      AsNumber(v);  // fails as for any number
      return DecimalDigits{};
  }
}

int CompareNumbers(sqlite3_value* a, sqlite3_value* b) {
  const int ta = sqlite3_value_type(a), tb = sqlite3_value_type(b);
  if (ta == SQLITE_INTEGER && tb == SQLITE_INTEGER) {
    const int64_t x = sqlite3_value_int64(a), y = sqlite3_value_int64(b);
    return x < y ? -1 : x > y ? 1 : 0;
  }
  double x, y;
  if (ExactDouble(a, ta, &x) && ExactDouble(b, tb, &y)) return x < y ? -1 : x > y ? 1 : 0;
  // Rounding to the nearest double never reverses an order: values whose doubles differ
  // compare as their doubles do.
  x = NearestDouble(a, ta);
  y = NearestDouble(b, tb);
  if (x != y) return x < y ? -1 : 1;
  return Compare(DigitsArgument(a), DigitsArgument(b));
}

std::span<const FunctionEntry> NumberOrderFunctions() {
  static const FunctionEntry kEntries[] = {
      {"ora_compare", 2, CompareFn, true},
      {"ora_number_bound", 2, NumberBoundFn, true},
      {"ora_sort_key", 1, SortKeyFn, true},
  };
  return kEntries;
}

}  // namespace korvalis::db::functions
