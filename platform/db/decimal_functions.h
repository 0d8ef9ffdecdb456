// Oracle's functions of NUMBERs computed on their exact digits, whatever their length: ROUND,
// TRUNC, CEIL and FLOOR to a number of decimals, MOD and REMAINDER, POWER to a whole exponent,
// the square root, EXP, LN, LOG and POWER to any exponent, and the rounding of any exact value
// to a NUMBER's digits. The exact digits are integers of Boost.Multiprecision (cpp_int) scaled
// by a power of ten; the functions whose results have endless digits use its binary floating
// point of MPFR.
//
// Thread-safety: pure functions; a thread that called them keeps nothing of MPFR's once it ends.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/db/ora_decimal.h"

namespace korvalis::db {

// `value` rounded as `rounding` says to `places` decimals (negative places round to tens,
// hundreds ...).
DecimalDigits RoundDigits(const DecimalDigits& value, int places, Rounding rounding);

// `exact` rounded half away from zero to a NUMBER's digits. Throws std::overflow_error when it
// is beyond a NUMBER's range (10^126).
NumberValue ToNumberValue(const DecimalDigits& exact, ResultForm form);

// a op b exactly on their digits, rounded to a NUMBER's digits; nothing when their last digits
// lie so far apart that the sum would run to hundreds of digits. Throws std::overflow_error
// when it is beyond a NUMBER's range (10^126).
std::optional<NumberValue> DigitsResult(Operation op, const DecimalDigits& a,
                                        const DecimalDigits& b, ResultForm form);

// m - n * N, N the integer quotient of m / n truncated (MOD) or the integer nearest it, an
// even one when two are (REMAINDER). Precondition: n is not zero.
DecimalDigits Remainder(const DecimalDigits& m, const DecimalDigits& n, bool nearest);

// x to the power `n`, exact before its rounding to a NUMBER's digits; nothing when `n` is no
// whole number, when x is zero and n negative, or when the exact power would run to thousands
// of digits. Throws std::overflow_error when it is beyond a NUMBER's range (10^126).
std::optional<NumberValue> WholePower(const DecimalDigits& x, const DecimalDigits& n,
                                      ResultForm form);

bool IsWhole(const DecimalDigits& value);

// The functions whose results run to endless digits, computed by MPFR to some twenty digits
// more than a NUMBER keeps and then rounded as a NUMBER keeps them: a value below the least NUMBER is zero, and one beyond the greatest throws
// std::overflow_error (ORA-01426).
// Precondition: x >= 0.
NumberValue SquareRoot(const DecimalDigits& x, ResultForm form);
NumberValue Exponential(const DecimalDigits& x, ResultForm form);
// Precondition: x > 0.
NumberValue NaturalLogarithm(const DecimalDigits& x, ResultForm form);
// Precondition: base > 0, base is not 1, x > 0.
NumberValue Logarithm(const DecimalDigits& base, const DecimalDigits& x, ResultForm form);
// Precondition: x is not zero, and n is a whole number when x is negative.
NumberValue RealPower(const DecimalDigits& x, const DecimalDigits& n, ResultForm form);

}  // namespace korvalis::db
