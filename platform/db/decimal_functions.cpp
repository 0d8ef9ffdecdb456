#include "platform/db/decimal_functions.h"

#include <algorithm>
#include <boost/multiprecision/cpp_int.hpp>
#include <boost/multiprecision/mpfr.hpp>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace korvalis::db {
namespace {

using boost::multiprecision::cpp_int;

// An exact power beyond this many digits is refused (the double form answers it instead).
constexpr int64_t kMaxPowerDigits = 4000;
// Two terms whose last digits lie further apart are added as Decimals.
constexpr int kMaxAlignedDigits = 200;

// The decimal exponent of a value's last significant digit.
int LowExponent(const DecimalDigits& d) {
  return d.exponent - static_cast<int>(d.digits.size()) + 1;
}

// The significant digits as a whole number, with the value's sign.
cpp_int Mantissa(const DecimalDigits& d) {
  if (d.sign == 0) return 0;
  cpp_int m(d.digits);
  return d.sign < 0 ? cpp_int(-m) : m;
}

cpp_int PowerOfTen(int k) {
  return boost::multiprecision::pow(cpp_int(10), static_cast<unsigned>(k));
}

// mantissa * 10^low_exponent as digits.
DecimalDigits DigitsOf(const cpp_int& mantissa, int low_exponent) {
  DecimalDigits d;
  if (mantissa == 0) return d;
  d.sign = mantissa < 0 ? -1 : 1;
  d.digits = cpp_int(boost::multiprecision::abs(mantissa)).str();
  d.exponent = low_exponent + static_cast<int>(d.digits.size()) - 1;
  d.digits.erase(d.digits.find_last_not_of('0') + 1);
  return d;
}

}  // namespace

DecimalDigits RoundDigits(const DecimalDigits& value, int places, Rounding rounding) {
  if (value.sign == 0) return value;
  // The digits at or above 10^-places stay.
  const int64_t kept = int64_t{value.exponent} + places + 1;
  if (kept >= static_cast<int64_t>(value.digits.size())) return value;
  bool up = false;
  switch (rounding) {
    case Rounding::kHalfAwayFromZero:
      up = kept >= 0 && value.digits[static_cast<size_t>(kept)] >= '5';
      break;
    case Rounding::kTowardZero:
      break;
    case Rounding::kCeiling:
      up = value.sign > 0;
      break;
    case Rounding::kFloor:
      up = value.sign < 0;
      break;
  }
  cpp_int m = kept > 0 ? cpp_int(value.digits.substr(0, static_cast<size_t>(kept))) : cpp_int(0);
  if (up) ++m;
  return DigitsOf(value.sign < 0 ? cpp_int(-m) : m, -places);
}

NumberValue ToNumberValue(const DecimalDigits& exact, ResultForm form) {
  if (exact.sign == 0) return NumberValue{};
  const int kept = (exact.exponent % 2 != 0) ? 40 : 39;
  const DecimalDigits rounded =
      static_cast<int>(exact.digits.size()) > kept
          ? RoundDigits(exact, kept - 1 - exact.exponent, Rounding::kHalfAwayFromZero)
          : exact;
  if (rounded.exponent >= 126) throw std::overflow_error("ORA-01426: numeric overflow");
  return NumberValueOf(rounded.sign < 0, rounded.digits, rounded.exponent, form);
}

std::optional<NumberValue> DigitsResult(Operation op, const DecimalDigits& a,
                                        const DecimalDigits& b, ResultForm form) {
  if (op == Operation::kMultiply) {
    return ToNumberValue(DigitsOf(Mantissa(a) * Mantissa(b), LowExponent(a) + LowExponent(b)),
                         form);
  }
  const int low = std::min(LowExponent(a), LowExponent(b));
  if (std::max(LowExponent(a), LowExponent(b)) - low > kMaxAlignedDigits) return std::nullopt;
  const cpp_int x = Mantissa(a) * PowerOfTen(LowExponent(a) - low);
  const cpp_int y = Mantissa(b) * PowerOfTen(LowExponent(b) - low);
  return ToNumberValue(DigitsOf(op == Operation::kAdd ? cpp_int(x + y) : cpp_int(x - y), low),
                       form);
}

DecimalDigits Remainder(const DecimalDigits& m, const DecimalDigits& n, bool nearest) {
  if (m.sign == 0) return m;
  // Both as whole numbers on the lower of their last digits' exponents.
  const int low = std::min(LowExponent(m), LowExponent(n));
  const cpp_int x = Mantissa(m) * PowerOfTen(LowExponent(m) - low);
  const cpp_int y = Mantissa(n) * PowerOfTen(LowExponent(n) - low);
  cpp_int quotient, remainder;
  boost::multiprecision::divide_qr(x, y, quotient, remainder);  // remainder has x's sign
  if (nearest && remainder != 0) {
    const cpp_int twice = boost::multiprecision::abs(remainder) * 2;
    const cpp_int divisor = boost::multiprecision::abs(y);
    if (twice > divisor || (twice == divisor && boost::multiprecision::bit_test(quotient, 0))) {
      // The quotient one further from zero is nearer (or the even one of two as near).
      remainder -= (m.sign == n.sign) ? y : cpp_int(-y);
    }
  }
  return DigitsOf(remainder, low);
}

std::optional<NumberValue> WholePower(const DecimalDigits& x, const DecimalDigits& n,
                                      ResultForm form) {
  if (n.sign != 0 && LowExponent(n) < 0) return std::nullopt;  // a fraction
  if (n.sign != 0 && n.exponent > 6) return std::nullopt;
  const int64_t exponent = n.sign == 0 ? 0
                                       : static_cast<int64_t>(Mantissa(n)) *
                                             static_cast<int64_t>(PowerOfTen(LowExponent(n)));
  if (exponent == 0) return NumberValue{NumberValue::Kind::kInteger, 1, 0, {}};
  if (x.sign == 0) {
    if (exponent < 0) return std::nullopt;
    return NumberValue{};
  }
  const int64_t times = exponent < 0 ? -exponent : exponent;
  if (static_cast<int64_t>(x.digits.size()) * times > kMaxPowerDigits ||
      std::abs(int64_t{LowExponent(x)}) * times > kMaxPowerDigits) {
    return std::nullopt;
  }
  const cpp_int power = boost::multiprecision::pow(Mantissa(x), static_cast<unsigned>(times));
  const int low = static_cast<int>(LowExponent(x) * times);
  if (exponent > 0) return ToNumberValue(DigitsOf(power, low), form);
  // 1 / (power * 10^low): the quotient of 10^scale by the power has more digits than a NUMBER
  // keeps and the one that rounds them, all exact.
  const cpp_int magnitude = boost::multiprecision::abs(power);
  const int scale = static_cast<int>(magnitude.str().size()) + 41;
  const cpp_int quotient = PowerOfTen(scale) / magnitude;
  return ToNumberValue(DigitsOf(power < 0 ? cpp_int(-quotient) : quotient, -scale - low), form);
}

}  // namespace korvalis::db

namespace korvalis::db {
namespace {

// e^x beyond this is above the greatest NUMBER, and below its negative under the least.
constexpr int kMaxExponential = 291;
constexpr int kMinExponential = -303;

// Binary floating point of 64 decimal digits, correctly rounded by MPFR: some twenty digits
// more than a NUMBER keeps.
using Real = boost::multiprecision::number<boost::multiprecision::mpfr_float_backend<64>,
                                           boost::multiprecision::et_off>;

// MPFR keeps, for each thread, a cache of the constants it computed and a pool of integers,
// which a thread's end does not free: in a host whose threads come and go, every thread that
// once took a logarithm would leave them behind. Each computation gives its thread's back as it
// ends, at the cost of computing ln 2 anew at 64 digits for the next.
class ThreadCachesReturned {
 public:
  ThreadCachesReturned() = default;
  ThreadCachesReturned(const ThreadCachesReturned&) = delete;
  ThreadCachesReturned& operator=(const ThreadCachesReturned&) = delete;
  ~ThreadCachesReturned() { mpfr_free_cache2(MPFR_FREE_LOCAL_CACHE); }
};

Real ToReal(const DecimalDigits& d) {
  if (d.sign == 0) return Real(0);
  return Real((d.sign < 0 ? "-0." : "0.") + d.digits + "e" + std::to_string(d.exponent + 1));
}

NumberValue Rounded(const Real& value, ResultForm form) {
  const Decimal decimal(value.str(60, std::ios_base::scientific));
  if (!decimal.is_zero() && decimal.backend().order() < -130) return NumberValue{};
  return ToNumberValue(decimal, form);
}

// e^y, zero below the least NUMBER.
NumberValue ExponentialOf(const Real& y, ResultForm form) {
  if (y > kMaxExponential) throw std::overflow_error("ORA-01426: numeric overflow");
  if (y < kMinExponential) return NumberValue{};
  return Rounded(boost::multiprecision::exp(y), form);
}

}  // namespace

bool IsWhole(const DecimalDigits& value) { return value.sign == 0 || LowExponent(value) >= 0; }

NumberValue SquareRoot(const DecimalDigits& x, ResultForm form) {
  const ThreadCachesReturned returned;
  return Rounded(boost::multiprecision::sqrt(ToReal(x)), form);
}

NumberValue Exponential(const DecimalDigits& x, ResultForm form) {
  const ThreadCachesReturned returned;
  return ExponentialOf(ToReal(x), form);
}

NumberValue NaturalLogarithm(const DecimalDigits& x, ResultForm form) {
  const ThreadCachesReturned returned;
  return Rounded(boost::multiprecision::log(ToReal(x)), form);
}

NumberValue Logarithm(const DecimalDigits& base, const DecimalDigits& x, ResultForm form) {
  const ThreadCachesReturned returned;
  return Rounded(boost::multiprecision::log(ToReal(x)) / boost::multiprecision::log(ToReal(base)),
                 form);
}

// |x|^n as e^(n ln |x|), negative for a negative x and an odd n.
NumberValue RealPower(const DecimalDigits& x, const DecimalDigits& n, ResultForm form) {
  const ThreadCachesReturned returned;
  const Real magnitude = boost::multiprecision::abs(ToReal(x));
  NumberValue power = ExponentialOf(ToReal(n) * boost::multiprecision::log(magnitude), form);
  if (x.sign < 0 && LowExponent(n) == 0 && (n.digits.back() - '0') % 2 != 0) {
    switch (power.kind) {
      case NumberValue::Kind::kInteger:
        power.integer = -power.integer;
        break;
      case NumberValue::Kind::kReal:
        power.real = -power.real;
        break;
      case NumberValue::Kind::kText:
        power.text.insert(0, "-");
        break;
    }
  }
  return power;
}

}  // namespace korvalis::db
