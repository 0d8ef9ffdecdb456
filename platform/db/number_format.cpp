#include "platform/db/oracle_functions.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

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

// The model's elements: FM, then S, then 9, 0, '.', 'D', ',', 'G', then S, MI or PR (one sign
// element at most). The mask decides digits before and after the point.
struct NumberModel {
  std::string mask;  // upper case, without FM and the sign element
  bool fill_mode = false;
  SignElement sign = SignElement::kNone;
  int int_positions = 0, frac_positions = 0, first_zero = -1;
  bool seen_point = false;
  int trailing_frac_zeros_kept = 0;  // '0' positions after the point are always printed
};

NumberModel ReadNumberModel(std::string_view format) {
  NumberModel m;
  m.mask = AsciiUpper(format);
  if (m.mask.starts_with("FM")) {
    m.fill_mode = true;
    m.mask.erase(0, 2);
  }
  if (m.mask.starts_with('S')) {
    m.sign = SignElement::kLeadingS;
    m.mask.erase(0, 1);
  } else if (m.mask.ends_with("MI") || m.mask.ends_with("PR")) {
    m.sign = m.mask.ends_with("MI") ? SignElement::kMI : SignElement::kPR;
    m.mask.erase(m.mask.size() - 2);
  } else if (m.mask.ends_with('S')) {
    m.sign = SignElement::kTrailingS;
    m.mask.pop_back();
  }
  for (char c : m.mask) {
    if (c == '9' || c == '0') {
      if (m.seen_point) {
        ++m.frac_positions;
        if (c == '0') m.trailing_frac_zeros_kept = m.frac_positions;
      } else {
        if (c == '0' && m.first_zero < 0) m.first_zero = m.int_positions;
        ++m.int_positions;
      }
    } else if ((c == '.' || c == 'D' || c == ',' || c == 'G') && !m.seen_point) {
      m.seen_point = c == '.' || c == 'D';
    } else {
      // A second sign element, one in the middle, or an element the front end does not write.
      throw SqlError("ORA-01481: invalid number format model: " + std::string(format));
    }
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

std::string LayOut(const NumberModel& m, RoundedDigits r) {
  // The sign takes one place (PR two) beside the mask's own.
  const size_t width = m.mask.size() + (m.sign == SignElement::kPR ? 2 : 1);
  std::string& int_digits = r.int_digits;
  if (static_cast<int>(int_digits.size()) > m.int_positions) return std::string(width, '#');
  // Integer part: leading positions print a digit, a zero (from the first '0' of the mask on),
  // or nothing.
  const int min_int_digits = m.first_zero < 0 ? 0 : m.int_positions - m.first_zero;
  while (static_cast<int>(int_digits.size()) < min_int_digits) int_digits.insert(0, "0");
  if (int_digits.empty() && m.frac_positions == 0) int_digits = "0";
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
  std::string body = int_part;
  if (m.seen_point) {
    body.push_back('.');
    body.append(frac_part);
  }
  PlaceSign(m, r.negative, &body);
  if (m.fill_mode) return body;
  if (body.size() < width) body.insert(0, width - body.size(), ' ');
  return body;
}

}  // namespace

std::string FormatNumberModel(double value, std::string_view format) {
  const NumberModel m = ReadNumberModel(format);
  if (ShortDecimalOf(value)) return LayOut(m, RoundDecimal(DigitsOf(value), m.frac_positions));
  return LayOut(m, RoundBinary(value, m.frac_positions));
}

std::string FormatNumberModel(const DecimalDigits& value, std::string_view format) {
  const NumberModel m = ReadNumberModel(format);
  return LayOut(m, RoundDecimal(value, m.frac_positions));
}

}  // namespace korvalis::db
