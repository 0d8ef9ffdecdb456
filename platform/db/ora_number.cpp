#include "platform/db/ora_number.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace korvalis::db {

void AppendInteger(int64_t value, std::string* out) {
  char buf[24];
  auto res = std::to_chars(buf, buf + sizeof buf, value);
  out->append(buf, res.ptr);
}

void AppendNumber(double value, std::string* out) {
  if (std::isnan(value)) {
    out->append("NaN");
    return;
  }
  if (std::isinf(value)) {
    out->append(value > 0 ? "~" : "-~");
    return;
  }
  if (value == 0) {
    out->push_back('0');
    return;
  }
  if (std::fabs(value) < 9.2e18 && value == std::trunc(value)) {
    AppendInteger(static_cast<int64_t>(value), out);
    return;
  }
  // 15 significant digits as digits and a decimal exponent, then laid out without exponent.
  char buf[40];
  int len = std::snprintf(buf, sizeof buf, "%.14e", value);
  std::string_view s(buf, static_cast<size_t>(len));
  bool negative = s[0] == '-';
  if (negative) s.remove_prefix(1);
  size_t e = s.find('e');
  int exponent = std::atoi(std::string(s.substr(e + 1)).c_str());
  if (exponent == 126) {
    // Rounded to 15 digits it would pass a NUMBER's range, which it is within: it is written
    // as the shortest decimal below 1E126 that reads back as it.
    if (std::fabs(value) == kGreatestNumberDouble) {
      return AppendDecimalDigits(negative, kGreatestNumberDigits, 125, out);
    }
    const auto shortest = std::to_chars(buf, buf + sizeof buf, std::fabs(value),
                                        std::chars_format::scientific);
    s = std::string_view(buf, static_cast<size_t>(shortest.ptr - buf));
    e = s.find('e');
    exponent = 125;
  }
  std::string digits;
  digits.push_back(s[0]);
  digits.append(s.substr(2, e - 2));
  AppendDecimalDigits(negative, digits, exponent, out);
}

void AppendDecimalDigits(bool negative, std::string_view digits, int exponent, std::string* out) {
  while (digits.size() > 1 && digits.back() == '0') digits.remove_suffix(1);
  if (negative) out->push_back('-');
  const int point = exponent + 1;  // digits before the decimal point
  if (point <= 0) {
    out->append("0.");
    out->append(static_cast<size_t>(-point), '0');
    out->append(digits);
  } else if (static_cast<size_t>(point) >= digits.size()) {
    out->append(digits);
    out->append(static_cast<size_t>(point) - digits.size(), '0');
  } else {
    out->append(digits.substr(0, static_cast<size_t>(point)));
    out->push_back('.');
    out->append(digits.substr(static_cast<size_t>(point)));
  }
}

std::string FormatNumber(double value) {
  std::string out;
  AppendNumber(value, &out);
  return out;
}

std::string NumberAsText(double value) {
  std::string out = FormatNumber(value);
  const size_t zero = out.starts_with('-') ? 1 : 0;
  if (out.compare(zero, 2, "0.") == 0) out.erase(zero, 1);
  return out;
}

std::optional<double> ParseNumber(std::string_view text) {
  size_t i = 0, n = text.size();
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  while (i < n && blank(text[i])) ++i;
  while (n > i && blank(text[n - 1])) --n;
  if (i == n) return std::nullopt;
  std::string buf;
  buf.reserve(n - i);
  size_t j = i;
  if (text[j] == '+' || text[j] == '-') buf.push_back(text[j++]);
  size_t digits = 0;
  while (j < n && text[j] >= '0' && text[j] <= '9') {
    buf.push_back(text[j++]);
    ++digits;
  }
  if (j < n && text[j] == '.') {
    buf.push_back(text[j++]);
    while (j < n && text[j] >= '0' && text[j] <= '9') {
      buf.push_back(text[j++]);
      ++digits;
    }
  }
  if (digits == 0) return std::nullopt;
  if (j < n && (text[j] == 'e' || text[j] == 'E')) {
    buf.push_back(text[j++]);
    if (j < n && (text[j] == '+' || text[j] == '-')) buf.push_back(text[j++]);
    size_t exp_digits = 0;
    while (j < n && text[j] >= '0' && text[j] <= '9') {
      buf.push_back(text[j++]);
      ++exp_digits;
    }
    if (exp_digits == 0) return std::nullopt;
  }
  if (j != n) return std::nullopt;
  return std::strtod(buf.c_str(), nullptr);
}

namespace {

// Exponents of more than nine digits stand for these: past any NUMBER, above its range or
// below its least value.
constexpr int64_t kPastAnyNumber = int64_t{1} << 40;

// The decimal exponent of the first significant digit of numeric text as ParseNumber reads
// it, once rounded to a NUMBER's 40 significant digits; nothing for zero.
std::optional<int64_t> RoundedLeadingExponent(std::string_view text) {
  const size_t e = text.find_first_of("eE");
  // The decimal exponent given after the digits.
  int64_t exponent = 0;
  if (e != std::string_view::npos) {
    std::string_view power = text.substr(e + 1);
    const bool negative = power.starts_with('-');
    if (power.starts_with('-') || power.starts_with('+')) power.remove_prefix(1);
    power.remove_prefix(std::min(power.find_first_not_of('0'), power.size()));
    if (power.size() > 9) {
      exponent = negative ? -kPastAnyNumber : kPastAnyNumber;
    } else {
      std::from_chars(power.data(), power.data() + power.size(), exponent);
      if (negative) exponent = -exponent;
    }
  }
  // The significant digits, and the decimal exponent of the first.
  std::string significant;
  int64_t leading = 0;
  bool before_point = true;
  for (const char c : text.substr(0, e)) {
    if (c == '.') {
      before_point = false;
    } else if (c >= '0' && c <= '9') {
      if (significant.empty() && c == '0') {
        if (!before_point) --leading;
        continue;
      }
      if (before_point && !significant.empty()) ++leading;
      if (!before_point && significant.empty()) --leading;
      significant.push_back(c);
    }
  }
  if (significant.empty()) return std::nullopt;
  // Forty nines and a digit of five or more round up to the next power of ten.
  constexpr size_t kDigits = 40;
  const bool carries = significant.size() > kDigits &&
                       significant.find_first_not_of('9') >= kDigits && significant[kDigits] >= '5';
  return leading + exponent + (carries ? 1 : 0);
}

}  // namespace

bool WithinNumberRange(std::string_view text) {
  // Without an exponent, fewer than 126 characters hold fewer than 126 digits before the point.
  if (text.find_first_of("eE") == std::string_view::npos && text.size() < 126) return true;
  const std::optional<int64_t> leading = RoundedLeadingExponent(text);
  return !leading || *leading < 126;
}

bool BelowLeastNumber(std::string_view text) {
  // Without an exponent, a value below 1E-130 is written with 130 zeros after the point.
  if (text.find_first_of("eE") == std::string_view::npos && text.size() < 132) return false;
  const std::optional<int64_t> leading = RoundedLeadingExponent(text);
  return leading && *leading < -130;
}

double RoundHalfAway(double value, int places) {
  if (places > 15 || !std::isfinite(value)) return value;
  double scale = std::pow(10.0, places);
  double scaled = value * scale;
  // Correct representation error (2.675 is 2.67499999...) by rounding at 15 significant digits
  // before rounding half away from zero.
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.15g", scaled);
  scaled = std::strtod(buf, nullptr);
  double rounded = scaled < 0 ? -std::floor(-scaled + 0.5) : std::floor(scaled + 0.5);
  double result = rounded / scale;
  return result == 0 ? 0.0 : result;
}

double TruncateTo(double value, int places) {
  if (places > 15 || !std::isfinite(value)) return value;
  // A whole part below 10^8 whose fraction is not within 10^-6 of the next whole number keeps
  // its whole part when rounded to 15 significant digits (a step of at most 10^-7 there): the
  // day counts of date differences take this path without the text round trip.
  if (places == 0 && std::fabs(value) < 1e8) {
    const double whole = std::trunc(value);
    if (std::fabs(value - whole) < 1 - 1e-6) return whole == 0 ? 0.0 : whole;
  }
  double scale = std::pow(10.0, places);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.15g", value * scale);
  double scaled = std::strtod(buf, nullptr);
  double result = std::trunc(scaled) / scale;
  return result == 0 ? 0.0 : result;
}

}  // namespace korvalis::db
