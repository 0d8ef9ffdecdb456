#include "platform/db/oracle_functions.h"

#include <cmath>
#include <cstdio>

#include "platform/db/ora_number.h"
#include "platform/db/sql_error.h"
#include "platform/text/ascii.h"

namespace korvalis::db {

std::string FormatNumberModel(double value, std::string_view format) {
  // Elements: FM, 9, 0, '.', 'D', ',', 'G'. The mask decides digits before and after the point.
  std::string f = AsciiUpper(format);
  bool fill_mode = false;
  if (f.rfind("FM", 0) == 0) {
    fill_mode = true;
    f.erase(0, 2);
  }
  int int_positions = 0, frac_positions = 0, first_zero = -1;
  bool seen_point = false;
  int trailing_frac_zeros_kept = 0;  // '0' positions after the point are always printed
  for (size_t i = 0; i < f.size(); ++i) {
    char c = f[i];
    if (c == '9' || c == '0') {
      if (seen_point) {
        ++frac_positions;
        if (c == '0') trailing_frac_zeros_kept = frac_positions;
      } else {
        if (c == '0' && first_zero < 0) first_zero = int_positions;
        ++int_positions;
      }
    } else if (c == '.' || c == 'D') {
      if (seen_point) throw SqlError("ORA-01481: invalid number format model: " + std::string(format));
      seen_point = true;
    } else if (c == ',' || c == 'G') {
      if (seen_point) throw SqlError("ORA-01481: invalid number format model: " + std::string(format));
    } else {
      throw SqlError("ORA-01481: invalid number format model: " + std::string(format));
    }
  }
  const size_t width = f.size() + 1;
  double rounded = RoundHalfAway(value, frac_positions);
  bool negative = rounded < 0;
  double magnitude = std::fabs(rounded);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", frac_positions, magnitude);
  std::string digits(buf);
  std::string int_digits = digits.substr(0, digits.find('.'));
  std::string frac_digits = frac_positions > 0 ? digits.substr(digits.find('.') + 1) : "";
  if (int_digits == "0") int_digits.clear();
  if (static_cast<int>(int_digits.size()) > int_positions) return std::string(width, '#');
  // Integer part: leading positions print a digit, a zero (from the first '0' of the mask on),
  // or nothing.
  int min_int_digits = first_zero < 0 ? 0 : int_positions - first_zero;
  while (static_cast<int>(int_digits.size()) < min_int_digits) int_digits.insert(0, "0");
  if (int_digits.empty() && frac_positions == 0) int_digits = "0";
  // Group separators where the mask has them, counted from the point.
  std::string int_part;
  {
    std::string mask_int = f.substr(0, f.find_first_of(".D") == std::string::npos ? f.size() : f.find_first_of(".D"));
    int digit_index = static_cast<int>(int_digits.size()) - 1;
    for (int i = static_cast<int>(mask_int.size()) - 1; i >= 0 && digit_index >= 0; --i) {
      char c = mask_int[static_cast<size_t>(i)];
      if (c == ',' || c == 'G') {
        int_part.insert(0, ",");
      } else {
        int_part.insert(0, 1, int_digits[static_cast<size_t>(digit_index--)]);
      }
    }
  }
  std::string frac_part = frac_digits;
  if (fill_mode) {
    // FM drops trailing zeros of '9' positions after the point.
    while (static_cast<int>(frac_part.size()) > trailing_frac_zeros_kept && !frac_part.empty() &&
           frac_part.back() == '0') {
      frac_part.pop_back();
    }
  }
  std::string body = int_part;
  if (seen_point) {
    body.push_back('.');
    body.append(frac_part);
  }
  if (negative && magnitude != 0) body.insert(0, "-");
  if (fill_mode) return body;
  if (body.size() < width) body.insert(0, width - body.size(), ' ');
  return body;
}

}  // namespace korvalis::db
