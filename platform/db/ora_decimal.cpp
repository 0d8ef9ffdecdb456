#include "platform/db/ora_decimal.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

#include <gmp.h>

#include "platform/db/ora_number.h"

namespace korvalis::db {
namespace {

using Int128 = __int128;

constexpr int64_t kPowersOfTen[] = {1,
                                    10,
                                    100,
                                    1000,
                                    10000,
                                    100000,
                                    1000000,
                                    10000000,
                                    100000000,
                                    1000000000,
                                    10000000000,
                                    100000000000,
                                    1000000000000,
                                    10000000000000,
                                    100000000000000,
                                    1000000000000000,
                                    10000000000000000,
                                    100000000000000000,
                                    1000000000000000000};
constexpr int kMaxShift = 18;

static_assert(GMP_NUMB_BITS == 64 && sizeof(mp_limb_t) == sizeof(uint64_t));

// 10^19, the largest power of ten a limb holds.
constexpr uint64_t kLimbPiece = 10000000000000000000u;

// A number of up to four limbs, least significant first, as GMP's mpn functions take it.
struct Limbs {
  std::array<mp_limb_t, 5> limb{};
  mp_size_t size = 1;
};

// 10^k for 0 <= k <= 60.
const Limbs& PowerOfTen(int k) {
  static const auto kTable = [] {
    std::array<Limbs, 61> table;
    table[0].limb[0] = 1;
    for (size_t i = 1; i < table.size(); ++i) {
      table[i] = table[i - 1];
      const mp_limb_t carry = mpn_mul_1(table[i].limb.data(), table[i].limb.data(), table[i].size, 10);
      if (carry != 0) table[i].limb[static_cast<size_t>(table[i].size++)] = carry;
    }
    return table;
  }();
  return kTable[static_cast<size_t>(k)];
}

// The number of decimal digits of `value` (> 0, below 10^19).
int DigitCount(uint64_t value) {
  int digits = 1;
  while (digits < 19 && value >= static_cast<uint64_t>(kPowersOfTen[digits])) ++digits;
  return digits;
}

// Writes the digits of `value` (> 0) from `out` on and returns their end; `value` is used up.
// GMP cuts it into pieces of 19 digits, each written as a 64-bit integer.
char* WriteDigits(Limbs* value, char* out) {
  std::array<uint64_t, 5> pieces;
  size_t count = 0;
  while (value->size > 1 || value->limb[0] >= kLimbPiece) {
    pieces[count++] =
        mpn_divrem_1(value->limb.data(), 0, value->limb.data(), value->size, kLimbPiece);
    if (value->limb[static_cast<size_t>(value->size - 1)] == 0) --value->size;
  }
  out = std::to_chars(out, out + 20, static_cast<uint64_t>(value->limb[0])).ptr;
  while (count > 0) {
    char piece[20];
    char* end = std::to_chars(piece, piece + sizeof piece, pieces[--count]).ptr;
    std::fill(out, out + 19, '0');
    std::copy_backward(piece, end, out + 19);
    out += 19;
  }
  return out;
}

// The digits of `magnitude` (> 0) into `out`, most significant first; 64-bit halves, as
// 128-bit division is slow.
void AppendDigits(Int128 magnitude, std::string* out) {
  constexpr uint64_t kHalf = 1000000000000000000;  // 10^18
  char buf[48];
  if (magnitude <= UINT64_MAX) {
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, static_cast<uint64_t>(magnitude));
    out->append(buf, end);
    return;
  }
  AppendDigits(magnitude / kHalf, out);
  const auto low = static_cast<uint64_t>(magnitude % kHalf);
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, low);
  out->append(18 - static_cast<size_t>(end - buf), '0');
  out->append(buf, end);
}

// Drops the trailing zeros of `mantissa` into `exponent`.
void Normalize(Int128* mantissa, int* exponent) {
  if (*mantissa >= INT64_MIN && *mantissa <= INT64_MAX) {
    auto m = static_cast<int64_t>(*mantissa);
    while (m % 10 == 0) {
      m /= 10;
      ++*exponent;
    }
    *mantissa = m;
    return;
  }
  while (*mantissa % 10 == 0) {
    *mantissa /= 10;
    ++*exponent;
  }
}

}  // namespace

NumberValue NumberValueOf(bool negative, std::string_view digits, int exponent, ResultForm form) {
  NumberValue result;
  if (exponent < -130) return result;  // below the least NUMBER: zero
  const int significant = static_cast<int>(digits.size());
  if (exponent >= significant - 1 && exponent < 18) {
    int64_t whole = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), whole);
    for (int k = significant - 1; k < exponent; ++k) whole *= 10;
    result.integer = negative ? -whole : whole;
    return result;
  }
  if ((significant <= 15 && form == ResultForm::kOperand) || form == ResultForm::kNumber) {
    // The double nearest the decimal, read back from its scientific form.
    char buf[48];
    char* end = std::copy(digits.begin(), digits.end(), buf);
    *end++ = 'e';
    end = std::to_chars(end, buf + sizeof buf, exponent - significant + 1).ptr;
    std::from_chars(buf, end, result.real);
    if (negative) result.real = -result.real;
    result.kind = NumberValue::Kind::kReal;
    return result;
  }
  result.kind = NumberValue::Kind::kText;
  AppendDecimalDigits(negative, digits, exponent, &result.text);
  return result;
}

namespace {

// The sign, significant digits (without trailing zeros) and exponent of d.ddde±NN.
void ScientificParts(std::string_view scientific, bool* negative, std::string* digits,
                     int* exponent) {
  *negative = scientific.front() == '-';
  const size_t e = scientific.find('e');
  const char* exp_begin = scientific.data() + e + 1;
  if (*exp_begin == '+') ++exp_begin;
  std::from_chars(exp_begin, scientific.data() + scientific.size(), *exponent);
  for (size_t i = *negative ? 1 : 0; i < e; ++i) {
    if (scientific[i] != '.') digits->push_back(scientific[i]);
  }
  while (digits->size() > 1 && digits->back() == '0') digits->pop_back();
}

// mantissa * 10^exponent, exact, as the engine keeps a NUMBER (at most 38 digits, so no
// rounding).
NumberValue FromExact(Int128 mantissa, int exponent, ResultForm form) {
  NumberValue result;
  if (mantissa == 0) return result;
  Normalize(&mantissa, &exponent);
  const bool negative = mantissa < 0;
  const Int128 magnitude = negative ? -mantissa : mantissa;
  if (exponent >= 0 && exponent <= kMaxShift) {
    const Int128 whole = magnitude * kPowersOfTen[exponent];
    if (whole <= INT64_MAX) {
      result.integer = static_cast<int64_t>(negative ? -whole : whole);
      return result;
    }
  }
  std::string digits;
  AppendDigits(magnitude, &digits);
  const int leading = exponent + static_cast<int>(digits.size()) - 1;
  if (leading >= 126) throw std::overflow_error("ORA-01426: numeric overflow");
  return NumberValueOf(negative, digits, leading, form);
}

}  // namespace

std::optional<ShortDecimal> ShortDecimalOf(double value) {
  // The shortest text that reads back as the double: the decimal itself when it has at most
  // 15 significant digits, as every such decimal has a double of its own. The greatest double
  // a NUMBER holds is the greatest decimal of 16 digits that reads back as it.
  if (std::fabs(value) == kGreatestNumberDouble) {
    constexpr int64_t kNines = 9999999999999999;
    return ShortDecimal{value < 0 ? -kNines : kNines, 110};
  }
  char buf[32];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
  if (ec != std::errc()) return std::nullopt;
  ShortDecimal d;
  int digits = 0, fraction_digits = 0;
  bool in_fraction = false;
  const char* p = buf;
  const bool negative = *p == '-';
  if (negative) ++p;
  for (; p < end && *p != 'e'; ++p) {
    if (*p == '.') {
      in_fraction = true;
      continue;
    }
    d.mantissa = d.mantissa * 10 + (*p - '0');
    ++digits;
    fraction_digits += in_fraction;
  }
  if (digits > 15 || p == end) return std::nullopt;
  int exponent = 0;
  const char* e = p + 1;
  if (*e == '+') ++e;
  std::from_chars(e, end, exponent);
  d.exponent = exponent - fraction_digits;
  if (negative) d.mantissa = -d.mantissa;
  return d;
}

Decimal ToDecimal(const ShortDecimal& value) {
  if (value.exponent == 0) return Decimal(static_cast<long long>(value.mantissa));
  return Decimal(std::to_string(value.mantissa) + "e" + std::to_string(value.exponent));
}

std::optional<Decimal> ParseDecimal(std::string_view text) {
  if (!ParseNumber(text)) return std::nullopt;
  const size_t first = text.find_first_not_of(" \t\r\n");
  const size_t last = text.find_last_not_of(" \t\r\n");
  std::string trimmed(text.substr(first, last - first + 1));
  if (trimmed.front() == '+') trimmed.erase(0, 1);
  return Decimal(trimmed);
}

NumberValue ShortQuotient(const ShortDecimal& a, const ShortDecimal& b, ResultForm form) {
  if (a.mantissa == 0) return NumberValue{};
  const bool negative = (a.mantissa < 0) != (b.mantissa < 0);
  const auto magnitude = [](int64_t m) {
    return m < 0 ? static_cast<uint64_t>(0) - static_cast<uint64_t>(m) : static_cast<uint64_t>(m);
  };
  const uint64_t x = magnitude(a.mantissa), y = magnitude(b.mantissa);
  // The decimal exponent of the quotient's first digit: x / y has as many whole digits as x
  // has more than y, one fewer when x's digits are below y's.
  const int dx = DigitCount(x), dy = DigitCount(y);
  const bool below = x * static_cast<uint64_t>(kPowersOfTen[19 - dx]) <
                     y * static_cast<uint64_t>(kPowersOfTen[19 - dy]);
  const int whole = dx - dy - (below ? 1 : 0);
  const int leading = whole + a.exponent - b.exponent;
  if (leading >= 126) throw std::overflow_error("ORA-01426: numeric overflow");
  // x * 10^scale / y has the digits a NUMBER keeps, and the remainder rounds it half away
  // from zero. x below 10^19 times 10^scale (at most 59) is below 10^78: five limbs.
  const int kept = (leading % 2 != 0) ? 40 : 39;
  const Limbs& power = PowerOfTen(kept - 1 - whole);
  Limbs q;
  q.limb[static_cast<size_t>(power.size)] = mpn_mul_1(q.limb.data(), power.limb.data(), power.size, x);
  q.size = power.size + 1;
  const mp_limb_t remainder = mpn_divrem_1(q.limb.data(), 0, q.limb.data(), q.size, y);
  while (q.size > 1 && q.limb[static_cast<size_t>(q.size - 1)] == 0) --q.size;
  // Rounding up never carries into one more digit: a quotient below a power of ten by less
  // than half a unit of its 40th digit would differ from it by less than 1 / y.
  if (remainder >= y - remainder) mpn_add_1(q.limb.data(), q.limb.data(), q.size, 1);
  char digits[96];
  char* end = WriteDigits(&q, digits);
  while (end[-1] == '0') --end;
  return NumberValueOf(negative, std::string_view(digits, static_cast<size_t>(end - digits)), leading,
                    form);
}

std::optional<NumberValue> ShortRounded(const ShortDecimal& value, int places, Rounding rounding,
                                        ResultForm form) {
  if (value.mantissa == 0 || value.exponent >= -places) {
    return FromExact(value.mantissa, value.exponent, form);
  }
  const int64_t dropped = -int64_t{places} - value.exponent;
  if (dropped > kMaxShift) return std::nullopt;
  const int64_t unit = kPowersOfTen[dropped];
  int64_t kept = value.mantissa / unit;
  const int64_t rest = value.mantissa % unit;  // the sign of the value
  const int64_t magnitude = rest < 0 ? -rest : rest;
  bool up = false;
  switch (rounding) {
    case Rounding::kHalfAwayFromZero: up = magnitude >= unit - magnitude; break;
    case Rounding::kTowardZero: break;
    case Rounding::kCeiling: up = rest > 0; break;
    case Rounding::kFloor: up = rest < 0; break;
  }
  if (up) kept += value.mantissa < 0 ? -1 : 1;
  return FromExact(kept, -places, form);
}

std::optional<NumberValue> ShortResult(Operation op, const ShortDecimal& a, const ShortDecimal& b,
                                       ResultForm form) {
  if (op == Operation::kMultiply) {
    return FromExact(static_cast<Int128>(a.mantissa) * b.mantissa, a.exponent + b.exponent, form);
  }
  // Both on the smaller exponent: the other mantissa shifted left, which 128 bits hold for a
  // shift of up to 18 digits.
  const ShortDecimal& high = a.exponent >= b.exponent ? a : b;
  const ShortDecimal& low = a.exponent >= b.exponent ? b : a;
  const int shift = high.exponent - low.exponent;
  if (shift > kMaxShift) return std::nullopt;
  const Int128 shifted = static_cast<Int128>(high.mantissa) * kPowersOfTen[shift];
  const Int128 x = &high == &a ? shifted : a.mantissa;
  const Int128 y = &high == &b ? shifted : b.mantissa;
  return FromExact(op == Operation::kAdd ? x + y : x - y, low.exponent, form);
}

NumberValue ToNumberValue(const Decimal& exact, ResultForm form) {
  NumberValue result;
  const auto& b = exact.backend();
  if (b.iszero()) return result;
  const int64_t order = b.order();
  if (order >= 126) throw std::overflow_error("ORA-01426: numeric overflow");
  if (b.isint() && order < 18) {
    result.integer = b.extract_signed_long_long();
    return result;
  }
  bool negative = false;
  std::string digits;
  int exponent = 0;
  // The leading base-100 digit of a number of odd decimal order has two digits; the text is
  // rounded half away from zero to that many significant digits.
  const int kept = (order % 2 != 0) ? 40 : 39;
  ScientificParts(exact.str(kept - 1, std::ios_base::scientific), &negative, &digits, &exponent);
  return NumberValueOf(negative, digits, exponent, form);
}

void DecimalSum::Widen() {
  if (wide_) return;
  wide_ = Decimal(0);
  if (mantissa_ == 0) return;
  std::string digits;
  if (mantissa_ < 0) digits.push_back('-');
  AppendDigits(mantissa_ < 0 ? -mantissa_ : mantissa_, &digits);
  wide_ = Decimal(digits + "e" + std::to_string(exponent_));
}

bool DecimalSum::AddShort(const ShortDecimal& term) {
  // Below 10^37 a term shifted by up to 18 digits still fits 128 bits.
  static const Int128 kLimit = static_cast<Int128>(kPowersOfTen[18]) * kPowersOfTen[18] * 10;
  const auto magnitude = [](Int128 v) { return v < 0 ? -v : v; };
  if (mantissa_ == 0) {
    mantissa_ = term.mantissa;
    exponent_ = term.exponent;
    return true;
  }
  Int128 sum = mantissa_, addend = term.mantissa;
  int exponent = exponent_;
  if (term.exponent > exponent) {
    const int shift = term.exponent - exponent;
    if (shift > kMaxShift) return false;
    addend *= kPowersOfTen[shift];
  } else if (term.exponent < exponent) {
    const int shift = exponent - term.exponent;
    if (shift > kMaxShift || magnitude(sum) >= kLimit / kPowersOfTen[shift]) return false;
    sum *= kPowersOfTen[shift];
    exponent = term.exponent;
  }
  sum += addend;
  if (magnitude(sum) >= kLimit) return false;
  mantissa_ = sum;
  exponent_ = exponent;
  return true;
}

void DecimalSum::Add(const ShortDecimal& term) {
  if (term.mantissa == 0 || (!wide_ && AddShort(term))) return;
  Widen();
  *wide_ += ToDecimal(term);
}

void DecimalSum::Add(const Decimal& term) {
  Widen();
  *wide_ += term;
}

NumberValue DecimalSum::Total(ResultForm form) const {
  if (wide_) return ToNumberValue(*wide_, form);
  return FromExact(mantissa_, exponent_, form);
}

NumberValue DecimalSum::Mean(int64_t count, ResultForm form) const {
  if (!wide_ && mantissa_ >= INT64_MIN && mantissa_ <= INT64_MAX) {
    return ShortQuotient(ShortDecimal{static_cast<int64_t>(mantissa_), exponent_},
                         ShortDecimal{count, 0}, form);
  }
  DecimalSum copy = *this;
  copy.Widen();
  return ToNumberValue(*copy.wide_ / Decimal(static_cast<long long>(count)), form);
}

namespace {

// Drops leading and trailing zeros of `d`'s digits, the exponent kept for the first left.
void TrimDigits(DecimalDigits* d) {
  const size_t first = d->digits.find_first_not_of('0');
  if (first == std::string::npos) {
    *d = DecimalDigits{};
    return;
  }
  d->digits.erase(0, first);
  d->exponent -= static_cast<int>(first);
  d->digits.erase(d->digits.find_last_not_of('0') + 1);
}

}  // namespace

DecimalDigits DigitsOf(int64_t value) {
  DecimalDigits d;
  if (value == 0) return d;
  d.sign = value < 0 ? -1 : 1;
  const uint64_t magnitude =
      value < 0 ? static_cast<uint64_t>(0) - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  char buf[24];
  d.digits.assign(buf, std::to_chars(buf, buf + sizeof buf, magnitude).ptr);
  d.exponent = static_cast<int>(d.digits.size()) - 1;
  TrimDigits(&d);
  return d;
}

DecimalDigits DigitsOf(double value) {
  if (value == 0) return DecimalDigits{};
  char buf[32];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
  DecimalDigits d;
  bool negative = false;
  ScientificParts(std::string_view(buf, static_cast<size_t>(end - buf)), &negative, &d.digits,
                  &d.exponent);
  d.sign = negative ? -1 : 1;
  if (std::fabs(value) == kGreatestNumberDouble) {
    d.digits = kGreatestNumberDigits;
    d.exponent = 125;
  }
  return d;
}

std::optional<DecimalDigits> ParseDigits(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return std::nullopt;
  text = text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
  DecimalDigits d;
  size_t i = 0;
  const bool negative = text[i] == '-';
  if (text[i] == '-' || text[i] == '+') ++i;
  int point = -1;
  for (; i < text.size(); ++i) {
    if (text[i] >= '0' && text[i] <= '9') {
      d.digits.push_back(text[i]);
    } else if (text[i] == '.' && point < 0) {
      point = static_cast<int>(d.digits.size());
    } else {
      break;
    }
  }
  if (d.digits.empty()) return std::nullopt;
  int exponent = 0;
  if (i < text.size()) {
    if (text[i] != 'e' && text[i] != 'E') return std::nullopt;
    const char* begin = text.data() + i + 1;
    if (begin < text.data() + text.size() && *begin == '+') ++begin;
    const auto [end, ec] = std::from_chars(begin, text.data() + text.size(), exponent);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  }
  d.exponent = (point < 0 ? static_cast<int>(d.digits.size()) : point) - 1 + exponent;
  TrimDigits(&d);
  if (!d.digits.empty()) d.sign = negative ? -1 : 1;
  return d;
}

int Compare(const DecimalDigits& a, const DecimalDigits& b) {
  if (a.sign != b.sign) return a.sign < b.sign ? -1 : 1;
  if (a.sign == 0) return 0;
  int magnitude = a.exponent != b.exponent ? (a.exponent < b.exponent ? -1 : 1)
                                            : a.digits.compare(b.digits);
  magnitude = magnitude < 0 ? -1 : magnitude > 0 ? 1 : 0;
  return a.sign * magnitude;
}

// A tag byte (0 negative, 1 zero, 2 positive), the exponent in two bytes and the digits; a
// negative number's exponent and digits complemented and ended by a byte above any digit, so
// that a longer negative number of the same leading digits sorts first.
std::string SortKey(const DecimalDigits& value) {
  std::string key;
  key.push_back(static_cast<char>(value.sign + 1));
  if (value.sign == 0) return key;
  const auto biased = static_cast<uint16_t>(value.exponent + 0x8000);
  const uint16_t exponent = value.sign > 0 ? biased : static_cast<uint16_t>(0xFFFF - biased);
  key.push_back(static_cast<char>(exponent >> 8));
  key.push_back(static_cast<char>(exponent & 0xFF));
  for (char c : value.digits) key.push_back(value.sign > 0 ? c : static_cast<char>('9' - c + '0'));
  if (value.sign < 0) key.push_back(static_cast<char>(0xFF));
  return key;
}

}  // namespace korvalis::db
