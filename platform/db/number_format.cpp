#include "platform/db/oracle_functions.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include "platform/db/ora_decimal.h"
#include "platform/db/ora_number.h"
#include "platform/db/sql_error.h"
#include "platform/text/ascii.h"

namespace korvalis::db {

namespace {

// The digits of a value rounded half away from zero to a model's decimals.
struct RoundedDigits {
  bool negative = false;
  std::string int_digits;   // without leading zeros: empty for a value below one
  std::string frac_digits;  // exactly as many as the model's decimals
};

// A decimal of any length, rounded on its digits.
RoundedDigits RoundDecimal(const DecimalDigits& value, int places) {
  RoundedDigits r;
  const int int_length = std::max(value.exponent + 1, 0);
  const auto digit_at = [&](int index) {
    return index >= 0 && index < static_cast<int>(value.digits.size())
               ? value.digits[static_cast<size_t>(index)]
               : '0';
  };
  std::string kept;
  for (int power = int_length - 1; power >= -places; --power) {
    kept.push_back(digit_at(value.exponent - power));
  }
  if (digit_at(value.exponent + places + 1) >= '5') {
    size_t i = kept.size();
    while (i > 0 && kept[i - 1] == '9') kept[--i] = '0';
    if (i == 0) {
      kept.insert(0, "1");
    } else {
      ++kept[i - 1];
    }
  }
  const size_t split = kept.size() - static_cast<size_t>(places);
  r.int_digits = kept.substr(0, split);
  r.frac_digits = kept.substr(split);
  r.int_digits.erase(0, std::min(r.int_digits.find_first_not_of('0'), r.int_digits.size()));
  r.negative = value.sign < 0 && kept.find_first_not_of('0') != std::string::npos;
  return r;
}

// A double that stands for no decimal of 15 digits (a binary result), read at the 15
// significant digits it is shown with.
RoundedDigits RoundBinary(double value, int places) {
  RoundedDigits r;
  const double rounded = RoundHalfAway(value, places);
  const double magnitude = std::fabs(rounded);
  r.negative = rounded < 0 && magnitude != 0;
  char buf[400];
  std::snprintf(buf, sizeof buf, "%.*f", places, magnitude);
  const std::string digits(buf);
  r.int_digits = digits.substr(0, digits.find('.'));
  r.frac_digits = places > 0 ? digits.substr(digits.find('.') + 1) : "";
  if (r.int_digits == "0") r.int_digits.clear();
  return r;
}

// Where a model writes the sign: before the number unless the value is positive (none), a
// sign of either kind first or last (S), a minus or a blank last (MI), or angle brackets for a
// negative value and blanks around a positive one (PR).
enum class SignElement { kNone, kLeadingS, kTrailingS, kMI, kPR };

// The symbols of the currency elements with the AMERICAN_AMERICA defaults: NLS_CURRENCY '$'
// (L), NLS_ISO_CURRENCY AMERICA, whose symbol is 'USD' (C), NLS_DUAL_CURRENCY '$' (U). L, C and
// U take the ten places the reference gives a currency symbol, blank padded to the left of it;
// $ takes one.
constexpr std::string_view kLocalCurrency = "$";
constexpr std::string_view kIsoCurrency = "USD";
constexpr std::string_view kDualCurrency = "$";
constexpr int kCurrencyPlaces = 10;

// What a model writes: a fixed-point number (9 0 . , D G with $ B C L U V), scientific notation
// (EEEE), Roman numerals (RN), the text minimum (TM, TM9, TME) or hexadecimal digits (X).
enum class ModelKind { kFixed, kScientific, kRoman, kTextMinimum, kHex };

// A model's elements. A fixed or scientific model: FM, then S, then 9, 0, '.', 'D', ',', 'G',
// with at most one currency element ($ anywhere, C, L or U first or last), one B, one V
// (without a point) and EEEE last, then S, MI or PR (one sign element at most). RN, TM and X
// stand alone (RN after FM, X after FM or zeros).
struct NumberModel {
  ModelKind kind = ModelKind::kFixed;
  std::string mask;  // the digits, separators and point of a fixed or scientific model
  bool fill_mode = false;
  SignElement sign = SignElement::kNone;
  int int_positions = 0, frac_positions = 0, first_zero = -1;
  bool seen_point = false;
  int trailing_frac_zeros_kept = 0;  // '0' positions after the point are always printed
  std::string_view currency;         // the symbol of $, C, L or U
  bool currency_last = false;
  int currency_places = 0;
  bool blank_zero = false;  // B
  int scale_digits = 0;     // the digits after V
  bool lower_case = false;  // rn, xxxx
  bool scientific = false;  // TME
  bool zero_padded = false; // 0 before X
};

[[noreturn]] void InvalidModel(std::string_view format) {
  throw SqlError("ORA-01481: invalid number format model: " + std::string(format));
}

// A model that is RN, TM or X alone; false for the others.
bool ReadWholeModel(std::string_view format, const std::string& upper, NumberModel* m) {
  if (upper == "TM" || upper == "TM9" || upper == "TME") {
    m->kind = ModelKind::kTextMinimum;
    m->scientific = upper == "TME";
    return true;
  }
  if (upper == "RN" || upper == "FMRN") {
    m->kind = ModelKind::kRoman;
    m->fill_mode = upper.size() == 4;
    m->lower_case = format[format.size() - 2] == 'r';
    return true;
  }
  size_t at = upper.starts_with("FM") ? 2 : 0;
  const size_t zeros_end = upper.find_first_not_of('0', at);
  if (zeros_end == std::string::npos || upper[zeros_end] != 'X' ||
      upper.find_first_not_of('X', zeros_end) != std::string::npos) {
    return false;
  }
  m->kind = ModelKind::kHex;
  m->fill_mode = at == 2;
  m->zero_padded = zeros_end > at;
  m->int_positions = static_cast<int>(upper.size() - at);
  m->lower_case = format[zeros_end] == 'x';
  return true;
}

NumberModel ReadNumberModel(std::string_view format) {
  NumberModel m;
  const std::string upper = AsciiUpper(format);
  if (ReadWholeModel(format, upper, &m)) return m;
  std::string body = upper;
  if (body.starts_with("FM")) {
    m.fill_mode = true;
    body.erase(0, 2);
  }
  if (body.starts_with('S')) {
    m.sign = SignElement::kLeadingS;
    body.erase(0, 1);
  } else if (body.ends_with("MI") || body.ends_with("PR")) {
    m.sign = body.ends_with("MI") ? SignElement::kMI : SignElement::kPR;
    body.erase(body.size() - 2);
  } else if (body.ends_with('S')) {
    m.sign = SignElement::kTrailingS;
    body.pop_back();
  }
  if (body.ends_with("EEEE")) {
    m.kind = ModelKind::kScientific;
    body.erase(body.size() - 4);
  }
  bool seen_v = false, seen_digit = false;
  for (size_t i = 0; i < body.size(); ++i) {
    const char c = body[i];
    if (c == '9' || c == '0') {
      seen_digit = true;
      if (m.seen_point) {
        ++m.frac_positions;
        if (c == '0') m.trailing_frac_zeros_kept = m.frac_positions;
      } else {
        if (c == '0' && m.first_zero < 0) m.first_zero = m.int_positions;
        ++m.int_positions;
        if (seen_v) ++m.scale_digits;
      }
      m.mask.push_back(c);
    } else if ((c == '.' || c == 'D' || c == ',' || c == 'G') && !m.seen_point) {
      m.seen_point = c == '.' || c == 'D';
      if (m.seen_point && seen_v) InvalidModel(format);
      m.mask.push_back(c);
    } else if (c == 'V' && !seen_v && !m.seen_point && m.kind == ModelKind::kFixed) {
      seen_v = true;
    } else if (c == 'B' && !m.blank_zero) {
      m.blank_zero = true;
    } else if ((c == '$' || c == 'C' || c == 'L' || c == 'U') && m.currency.empty() &&
               (c == '$' || !seen_digit || i + 1 == body.size())) {
      // C, L and U stand first or last; $ anywhere, always written before the digits.
      m.currency = c == '$' ? "$" : c == 'C' ? kIsoCurrency : c == 'L' ? kLocalCurrency
                                                                          : kDualCurrency;
      m.currency_places = c == '$' ? 1 : kCurrencyPlaces;
      m.currency_last = c != '$' && seen_digit;
    } else {
      // A second sign element, one in the middle, or an element that cannot stand here.
      InvalidModel(format);
    }
  }
  if (m.kind == ModelKind::kScientific &&
      (m.mask.find_first_of(",G") != std::string::npos || m.int_positions == 0)) {
    InvalidModel(format);
  }
  return m;
}

// The number written with its sign as the model places it.
void PlaceSign(const NumberModel& m, bool negative, std::string* body) {
  switch (m.sign) {
    case SignElement::kNone:
      if (negative) body->insert(0, "-");
      break;
    case SignElement::kLeadingS:
      body->insert(0, negative ? "-" : "+");
      break;
    case SignElement::kTrailingS:
      body->push_back(negative ? '-' : '+');
      break;
    case SignElement::kMI:
      if (negative || !m.fill_mode) body->push_back(negative ? '-' : ' ');
      break;
    case SignElement::kPR:
      if (negative) {
        *body = "<" + *body + ">";
      } else if (!m.fill_mode) {
        *body = " " + *body + " ";
      }
      break;
  }
}

// The places a fixed or scientific model's answer takes: the mask's, the currency's, EEEE's
// five (an exponent of three digits included), and one for the sign (two for PR).
size_t Width(const NumberModel& m) {
  return m.mask.size() + static_cast<size_t>(m.currency_places) +
         (m.kind == ModelKind::kScientific ? 5 : 0) + (m.sign == SignElement::kPR ? 2 : 1);
}

// The answer padded on the left to its width, unless FM drops the blanks.
std::string Padded(const NumberModel& m, std::string text, size_t width) {
  if (!m.fill_mode && text.size() < width) text.insert(0, width - text.size(), ' ');
  return text;
}

// The currency symbol before the digits, or after them where the model writes it last.
void PlaceCurrency(const NumberModel& m, std::string* body) {
  if (m.currency_last) {
    body->append(m.currency);
  } else {
    body->insert(0, m.currency);
  }
}

std::string LayOut(const NumberModel& m, RoundedDigits r) {
  const size_t width = Width(m);
  std::string& int_digits = r.int_digits;
  if (static_cast<int>(int_digits.size()) > m.int_positions) return std::string(width, '#');
  if (m.blank_zero && int_digits.empty() &&
      r.frac_digits.find_first_not_of('0') == std::string::npos) {
    return m.fill_mode ? std::string() : std::string(width, ' ');
  }
  // Integer part: leading positions print a digit, a zero (from the first '0' of the mask on),
  // or nothing; B leaves a zero integer part blank whatever the zeros.
  if (!m.blank_zero) {
    const int min_int_digits = m.first_zero < 0 ? 0 : m.int_positions - m.first_zero;
    while (static_cast<int>(int_digits.size()) < min_int_digits) int_digits.insert(0, "0");
    if (int_digits.empty() && m.frac_positions == 0) int_digits = "0";
  }
  // Group separators where the mask has them, counted from the point.
  std::string int_part;
  const std::string mask_int = m.mask.substr(0, m.mask.find_first_of(".D"));
  int digit_index = static_cast<int>(int_digits.size()) - 1;
  for (int i = static_cast<int>(mask_int.size()) - 1; i >= 0 && digit_index >= 0; --i) {
    const char c = mask_int[static_cast<size_t>(i)];
    if (c == ',' || c == 'G') {
      int_part.insert(0, ",");
    } else {
      int_part.insert(0, 1, int_digits[static_cast<size_t>(digit_index--)]);
    }
  }
  std::string frac_part = r.frac_digits;
  if (m.fill_mode) {
    // FM drops trailing zeros of '9' positions after the point.
    while (static_cast<int>(frac_part.size()) > m.trailing_frac_zeros_kept && !frac_part.empty() &&
           frac_part.back() == '0') {
      frac_part.pop_back();
    }
  }
  // A value that rounds to zero, its decimals all dropped by FM, keeps one zero.
  if (m.fill_mode && int_part.empty() && frac_part.empty() && m.int_positions > 0) {
    int_part = "0";
  }
  std::string body = int_part;
  if (m.seen_point) {
    body.push_back('.');
    body.append(frac_part);
  }
  PlaceCurrency(m, &body);
  PlaceSign(m, r.negative, &body);
  return Padded(m, std::move(body), width);
}

// The significant digits rounded half away from zero to `count`; true when they carried into
// one more digit (999 to 1000), which is then dropped.
bool RoundSignificant(std::string* digits, size_t count) {
  const bool up = digits->size() > count && (*digits)[count] >= '5';
  digits->resize(count, '0');
  if (!up) return false;
  size_t i = digits->size();
  while (i > 0 && (*digits)[i - 1] == '9') (*digits)[--i] = '0';
  if (i > 0) {
    ++(*digits)[i - 1];
    return false;
  }
  digits->insert(0, "1");
  digits->pop_back();
  return true;
}

// d.dddE+xx: `digits` significant digits (at least one) and the exponent of the first, with
// two digits at least.
std::string Scientific(std::string digits, int exponent) {
  std::string text(1, digits[0]);
  if (digits.size() > 1) text.append(".").append(digits, 1);
  const int magnitude = exponent < 0 ? -exponent : exponent;
  text.append(exponent < 0 ? "E-" : "E+");
  if (magnitude < 10) text.push_back('0');
  text.append(std::to_string(magnitude));
  return text;
}

std::string LayOutScientific(const NumberModel& m, DecimalDigits value) {
  const size_t count = static_cast<size_t>(1 + m.frac_positions);
  std::string digits = value.sign == 0 ? std::string(count, '0') : value.digits;
  int exponent = value.sign == 0 ? 0 : value.exponent;
  if (RoundSignificant(&digits, count)) ++exponent;
  std::string body = Scientific(digits, exponent);
  if (m.seen_point && m.frac_positions == 0) body.insert(1, ".");
  PlaceCurrency(m, &body);
  PlaceSign(m, value.sign < 0, &body);
  return Padded(m, std::move(body), Width(m));
}

// Roman numerals of 1 to 3999 (the value rounded to a whole number), in fifteen places, the
// length of the longest; other values are fifteen #.
std::string LayOutRoman(const NumberModel& m, const DecimalDigits& value) {
  constexpr size_t kPlaces = 15;
  const RoundedDigits r = RoundDecimal(value, 0);
  if (r.negative || r.int_digits.empty() || r.int_digits.size() > 4 ||
      std::stoi(r.int_digits) > 3999) {
    return std::string(kPlaces, '#');
  }
  static constexpr std::pair<int, const char*> kNumerals[] = {
      {1000, "M"}, {900, "CM"}, {500, "D"}, {400, "CD"}, {100, "C"}, {90, "XC"}, {50, "L"},
      {40, "XL"},  {10, "X"},   {9, "IX"},  {5, "V"},    {4, "IV"},  {1, "I"}};
  int n = std::stoi(r.int_digits);
  std::string text;
  for (const auto& [amount, numeral] : kNumerals) {
    for (; n >= amount; n -= amount) text.append(numeral);
  }
  if (m.lower_case) text = AsciiLower(text);
  return Padded(m, std::move(text), kPlaces);
}

// The fewest characters: the number as written without a model, or in scientific notation
// with every significant digit for TME and where that would pass 64 characters.
std::string LayOutTextMinimum(const NumberModel& m, const DecimalDigits& value) {
  if (value.sign == 0) return m.scientific ? "0E+00" : "0";
  std::string text;
  AppendDecimalDigits(value.sign < 0, value.digits, value.exponent, &text);
  if (text.starts_with("0.")) text.erase(0, 1);
  if (text.starts_with("-0.")) text.erase(1, 1);
  if (!m.scientific && text.size() <= 64) return text;
  return (value.sign < 0 ? "-" : "") + Scientific(value.digits, value.exponent);
}

// Hexadecimal digits of the value rounded to a whole number, in the model's places, with
// zeros where the model has them, and one blank before unless it has zeros or FM. A negative
// value, or one with more digits, is a row of # one wider than the places.
std::string LayOutHex(const NumberModel& m, const DecimalDigits& value) {
  const size_t places = static_cast<size_t>(m.int_positions);
  const std::string overflow(places + 1, '#');
  const RoundedDigits r = RoundDecimal(value, 0);
  if (r.negative) return overflow;
  const char* hex = m.lower_case ? "0123456789abcdef" : "0123456789ABCDEF";
  // The decimal digits divided by 16 while any are left, the remainders the hexadecimal digits.
  std::string decimal = r.int_digits, text;
  while (!decimal.empty()) {
    std::string quotient;
    int remainder = 0;
    for (char d : decimal) {
      const int part = remainder * 10 + (d - '0');
      if (!quotient.empty() || part >= 16) quotient.push_back(static_cast<char>('0' + part / 16));
      remainder = part % 16;
    }
    text.insert(0, 1, hex[remainder]);
    decimal = std::move(quotient);
  }
  if (text.empty()) text = "0";
  if (text.size() > places) return overflow;
  if (m.zero_padded) return std::string(places - text.size(), '0') + text;
  return Padded(m, std::move(text), places + 1);
}

std::string LayOutModel(const NumberModel& m, const DecimalDigits& value) {
  switch (m.kind) {
    case ModelKind::kScientific: return LayOutScientific(m, value);
    case ModelKind::kRoman: return LayOutRoman(m, value);
    case ModelKind::kTextMinimum: return LayOutTextMinimum(m, value);
    case ModelKind::kHex: return LayOutHex(m, value);
    default: {
      DecimalDigits scaled = value;
      scaled.exponent += m.scale_digits;  // V multiplies by ten to the digits after it
      return LayOut(m, RoundDecimal(scaled, m.frac_positions));
    }
  }
}

}  // namespace

std::string FormatNumberModel(double value, std::string_view format) {
  const NumberModel m = ReadNumberModel(format);
  if (m.kind != ModelKind::kFixed || ShortDecimalOf(value)) return LayOutModel(m, DigitsOf(value));
  return LayOut(m, RoundBinary(value * std::pow(10.0, m.scale_digits), m.frac_positions));
}

std::string FormatNumberModel(const DecimalDigits& value, std::string_view format) {
  return LayOutModel(ReadNumberModel(format), value);
}

namespace {

// The decimal digits of the hexadecimal digits `hex`, multiplied in one by one; nothing when
// `hex` holds another character.
std::optional<std::string> DecimalOfHex(std::string_view hex) {
  std::string decimal = "0";
  for (char c : hex) {
    const int digit = c >= '0' && c <= '9'   ? c - '0'
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                             : -1;
    if (digit < 0) return std::nullopt;
    int carry = digit;
    for (size_t i = decimal.size(); i-- > 0;) {
      const int part = (decimal[i] - '0') * 16 + carry;
      decimal[i] = static_cast<char>('0' + part % 10);
      carry = part / 10;
    }
    for (; carry > 0; carry /= 10) decimal.insert(0, 1, static_cast<char>('0' + carry % 10));
  }
  return decimal;
}

// Whether `mantissa` and `exponent` (the texts around an E) write a number in scientific
// notation: digits with at most one point, and a whole exponent with an optional sign.
bool IsScientific(std::string_view mantissa, std::string_view exponent) {
  if (exponent.starts_with('+') || exponent.starts_with('-')) exponent.remove_prefix(1);
  const size_t point = mantissa.find('.');
  const std::string_view whole = mantissa.substr(0, point);
  const std::string_view decimals =
      point == std::string_view::npos ? std::string_view() : mantissa.substr(point + 1);
  for (std::string_view part : {whole, decimals, exponent}) {
    if (part.find_first_not_of("0123456789") != std::string_view::npos) return false;
  }
  return !whole.empty() && !exponent.empty();
}

}  // namespace

std::optional<std::string> ReadNumberByModel(std::string_view text, std::string_view format) {
  const NumberModel m = ReadNumberModel(format);
  if (m.kind == ModelKind::kRoman) InvalidModel(format);
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return std::string();
  std::string_view t = text.substr(first, text.find_last_not_of(' ') + 1 - first);
  if (m.kind == ModelKind::kTextMinimum) return std::string(t);
  if (m.kind == ModelKind::kHex) {
    if (t.size() > static_cast<size_t>(m.int_positions)) return std::nullopt;
    return DecimalOfHex(t);
  }
  bool negative = false;
  const auto take_front = [&](std::string_view what) {
    if (!t.starts_with(what)) return false;
    t.remove_prefix(what.size());
    return true;
  };
  const auto take_back = [&](std::string_view what) {
    if (!t.ends_with(what)) return false;
    t.remove_suffix(what.size());
    return true;
  };
  switch (m.sign) {
    case SignElement::kNone:
      negative = take_front("-");
      if (!negative) take_front("+");
      break;
    case SignElement::kLeadingS:
      negative = take_front("-");
      if (!negative && !take_front("+")) return std::nullopt;
      break;
    case SignElement::kTrailingS:
      negative = take_back("-");
      if (!negative && !take_back("+")) return std::nullopt;
      break;
    case SignElement::kMI:
      negative = take_back("-");
      break;
    case SignElement::kPR:
      negative = t.starts_with('<') && t.ends_with('>') && t.size() > 1;
      if (negative) t = t.substr(1, t.size() - 2);
      break;
  }
  if (!m.currency.empty() && !(m.currency_last ? take_back(m.currency) : take_front(m.currency))) {
    return std::nullopt;
  }
  std::string number = negative ? "-" : "";
  if (m.kind == ModelKind::kScientific) {
    const size_t e = t.find_first_of("Ee");
    if (e == std::string_view::npos) return std::nullopt;
    if (!IsScientific(t.substr(0, e), t.substr(e + 1))) return std::nullopt;
    return number.append(t);
  }
  // Digits where the model has them: the integer part with its group separators, the point
  // and the decimals, no more of either than the model has places for.
  const bool groups = m.mask.find_first_of(",G") != std::string::npos;
  int int_digits = 0, frac_digits = 0;
  bool point = false;
  for (char c : t) {
    if (c >= '0' && c <= '9') {
      number.push_back(c);
      ++(point ? frac_digits : int_digits);
    } else if (c == '.' && m.seen_point && !point) {
      point = true;
      number.push_back(c);
    } else if (c != ',' || !groups || point || int_digits == 0) {
      return std::nullopt;  // a group separator stands only between integer digits
    }
  }
  if (int_digits + frac_digits == 0 || int_digits > m.int_positions ||
      frac_digits > m.frac_positions) {
    return std::nullopt;
  }
  // V stands for decimals written without their point.
  if (m.scale_digits > 0) number.append("E-").append(std::to_string(m.scale_digits));
  return number;
}

}  // namespace korvalis::db
