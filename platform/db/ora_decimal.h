// Oracle's NUMBER arithmetic on the embedded file: exact decimals, each result rounded as a
// NUMBER keeps it, to 20 base-100 digits: 40 significant digits, or 39 when the leading
// base-100 digit is a single digit (1/3 is a point and forty threes, 10/3 is 3, a point and
// thirty-eight threes).
//
// Sums, differences and products of numbers as the file holds them (integers, and decimals
// of at most 15 significant digits) are exact in 128-bit integers and never need rounding;
// their quotients are integer quotients of the mantissas scaled to a NUMBER's digits, rounded
// by the remainder (GMP's functions on limbs); the rest (long operands, the text of longer
// results) is computed with Boost.Multiprecision's decimal type.
//
// Thread-safety: values and pure functions.
#pragma once

#include <boost/multiprecision/cpp_dec_float.hpp>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Boost's decimal type builds all its constants (a table of 255 powers of two among them) in a
// static initialiser, before main, in every shared object that uses the type: the command, the
// product library and the suite's stand-ins each pay it at start. Each constant is a
// function-local static, which the language builds once, on first use, under its own guard;
// with an initialiser that does nothing they are built when a computation first needs them,
// with the same values.
template <>
inline boost::multiprecision::backends::cpp_dec_float<64>::initializer::initializer() {}

namespace korvalis::db {

// Enough digits that a sum, a product or a quotient of two NUMBERs rounds to a NUMBER's
// digits as the exact result does.
using Decimal = boost::multiprecision::number<boost::multiprecision::cpp_dec_float<64>,
                                              boost::multiprecision::et_off>;

// mantissa * 10^exponent, the mantissa of at most 19 digits.
struct ShortDecimal {
  int64_t mantissa = 0;
  int exponent = 0;
};

// The decimal of at most 15 significant digits a double stands for (what a NUMBER column or a
// literal holds on the file), or the 16 of the greatest double a NUMBER holds; nothing for a
// double that stands for none, the binary result of a computation such as a date difference.
std::optional<ShortDecimal> ShortDecimalOf(double value);
Decimal ToDecimal(const ShortDecimal& value);
// Numeric text as ParseNumber reads it; nothing for other text.
std::optional<Decimal> ParseDecimal(std::string_view text);

// A NUMBER as the embedded engine keeps it: a whole number of 64 bits, a double when it has at
// most 15 significant digits (so that it shows as itself) and is an operand, or else its
// plain decimal text.
struct NumberValue {
  enum class Kind { kInteger, kReal, kText };
  Kind kind = Kind::kInteger;
  int64_t integer = 0;
  double real = 0;
  std::string text;
};

// What a result is for: an operand of more arithmetic, kept as a double where it can be; the
// value a query returns, its text ready to read; or a number the engine compares and sorts,
// the double nearest the decimal when it has more digits than a double shows.
enum class ResultForm { kOperand, kText, kNumber };

// Significant `digits` (without leading or trailing zeros) times 10^exponent of the first, as
// the engine keeps a NUMBER: zero below the least NUMBER (1E-130). Precondition: at most a
// NUMBER's digits.
NumberValue NumberValueOf(bool negative, std::string_view digits, int exponent, ResultForm form);

enum class Operation { kAdd, kSubtract, kMultiply };
// a op b exactly; nothing when the operands are too far apart for 128 bits. Throws
// std::overflow_error when it is beyond a NUMBER's range (10^126).
std::optional<NumberValue> ShortResult(Operation op, const ShortDecimal& a, const ShortDecimal& b,
                                       ResultForm form);

enum class Rounding { kHalfAwayFromZero, kTowardZero, kCeiling, kFloor };
// `value` rounded as `rounding` says to `places` decimals (negative places round to tens,
// hundreds ...); nothing when more than 18 of its digits would go.
std::optional<NumberValue> ShortRounded(const ShortDecimal& value, int places, Rounding rounding,
                                        ResultForm form);

// a / b rounded to a NUMBER's digits. Precondition: b is not zero. Throws std::overflow_error
// when it is beyond a NUMBER's range (10^126).
NumberValue ShortQuotient(const ShortDecimal& a, const ShortDecimal& b, ResultForm form);

// `exact` rounded half away from zero to a NUMBER's digits. Throws std::overflow_error when it
// is beyond a NUMBER's range (10^126).
NumberValue ToNumberValue(const Decimal& exact, ResultForm form);

// A NUMBER of any length as its sign (-1, 0 or 1), significant digits without leading or
// trailing zeros, and the decimal exponent of the first: the form in which two NUMBERs
// compare exactly, and whose sort key's bytes sort as the numbers do.
struct DecimalDigits {
  int sign = 0;
  std::string digits;
  int exponent = 0;
};
DecimalDigits DigitsOf(int64_t value);
// The decimal of the shortest text that reads back as `value`, below 1E126 for the greatest
// double a NUMBER holds. Precondition: finite.
DecimalDigits DigitsOf(double value);
// Numeric text as ParseNumber reads it; nothing for other text.
std::optional<DecimalDigits> ParseDigits(std::string_view text);
// Negative, zero or positive as a is below, equal to or above b.
int Compare(const DecimalDigits& a, const DecimalDigits& b);
// Bytes that compare (as memcmp does) as the numbers they stand for.
std::string SortKey(const DecimalDigits& value);

// The exact sum of NUMBERs added and taken away (a window's frame), and their mean: a 128-bit
// mantissa on the smallest exponent seen while the terms are near enough, else a Decimal.
class DecimalSum {
 public:
  void Add(const ShortDecimal& term);
  void Subtract(const ShortDecimal& term) { Add(ShortDecimal{-term.mantissa, term.exponent}); }
  void Add(const Decimal& term);
  void Subtract(const Decimal& term) { Add(Decimal(-term)); }
  // Throw std::overflow_error when the result is beyond a NUMBER's range (10^126).
  NumberValue Total(ResultForm form) const;
  // Precondition: count > 0.
  NumberValue Mean(int64_t count, ResultForm form) const;

 private:
  // Adds in 128 bits; false, changing nothing, when they cannot hold the sum.
  bool AddShort(const ShortDecimal& term);
  void Widen();

  __int128 mantissa_ = 0;
  int exponent_ = 0;
  std::optional<Decimal> wide_;
};

}  // namespace korvalis::db
