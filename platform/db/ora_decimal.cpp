#include "platform/db/ora_decimal.h"

#include <charconv>
#include <cstdlib>
#include <stdexcept>

#include "platform/db/ora_number.h"

namespace korvalis::db {

std::optional<Decimal> DecimalOfDouble(double value) {
  // The shortest text that reads back as the double: the decimal itself when it has at most
  // 15 significant digits, as every such decimal has a double of its own.
  char buf[32];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
  if (ec != std::errc()) return std::nullopt;
  int digits = 0;
  for (const char* p = buf; p < end && *p != 'e'; ++p) digits += *p >= '0' && *p <= '9';
  if (digits > 15) return std::nullopt;
  return Decimal(std::string(buf, end));
}

std::optional<Decimal> ParseDecimal(std::string_view text) {
  if (!ParseNumber(text)) return std::nullopt;
  const size_t first = text.find_first_not_of(" \t\r\n");
  const size_t last = text.find_last_not_of(" \t\r\n");
  std::string trimmed(text.substr(first, last - first + 1));
  if (trimmed.front() == '+') trimmed.erase(0, 1);
  return Decimal(trimmed);
}

NumberValue ToNumberValue(const Decimal& exact) {
  NumberValue result;
  const auto& b = exact.backend();
  if (b.iszero()) return result;
  const int64_t order = b.order();
  if (order >= 126) throw std::overflow_error("ORA-01426: numeric overflow");
  if (b.isint() && order < 18) {
    result.integer = b.extract_signed_long_long();
    return result;
  }
  // The leading base-100 digit of a number of odd decimal order has two digits.
  const int digits = (order % 2 != 0) ? 40 : 39;
  // d.ddd...e+NN, rounded half away from zero to `digits` significant digits.
  const std::string scientific = exact.str(digits - 1, std::ios_base::scientific);
  const bool negative = scientific.front() == '-';
  const size_t e = scientific.find('e');
  int exponent = 0;
  const char* exp_begin = scientific.data() + e + 1;
  if (*exp_begin == '+') ++exp_begin;
  std::from_chars(exp_begin, scientific.data() + scientific.size(), exponent);
  std::string mantissa;
  for (size_t i = negative ? 1 : 0; i < e; ++i) {
    if (scientific[i] != '.') mantissa.push_back(scientific[i]);
  }
  while (mantissa.size() > 1 && mantissa.back() == '0') mantissa.pop_back();
  const int significant = static_cast<int>(mantissa.size());
  if (exponent >= significant - 1 && exponent < 18) {
    int64_t whole = 0;
    std::from_chars(mantissa.data(), mantissa.data() + mantissa.size(), whole);
    for (int k = significant - 1; k < exponent; ++k) whole *= 10;
    result.integer = negative ? -whole : whole;
    return result;
  }
  if (significant <= 15) {
    result.kind = NumberValue::Kind::kReal;
    result.real = std::strtod(scientific.c_str(), nullptr);
    return result;
  }
  result.kind = NumberValue::Kind::kText;
  AppendDecimalDigits(negative, mantissa, exponent, &result.text);
  return result;
}

}  // namespace korvalis::db
