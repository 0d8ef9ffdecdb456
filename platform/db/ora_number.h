// Numbers as Oracle reads and writes them as text: plain decimals without exponent or
// trailing zeros (3, 2.5, -0.5, 0.25), and the strict reading of numeric text whose failure
// is Oracle's "invalid number".
//
// Thread-safety: pure functions.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvalis::db {

// Renders a number with at most 15 significant digits, never in exponent form.
std::string FormatNumber(double value);
// A number turned into text without a format model, as Oracle's TO_CHAR writes it: as
// FormatNumber, without the zero before the point (.5, -.25).
std::string NumberAsText(double value);
void AppendNumber(double value, std::string* out);
// Lays out significant `digits` (the first before the point) times 10^exponent as a plain
// decimal without trailing zeros: ("125", -1) is 0.125, ("5", 2) is 500.
void AppendDecimalDigits(bool negative, std::string_view digits, int exponent, std::string* out);
void AppendInteger(int64_t value, std::string* out);

// Reads numeric text: optional blanks, an optional sign, digits with an optional decimal
// point, an optional exponent, optional blanks. Anything else gives no value.
std::optional<double> ParseNumber(std::string_view text);

// The greatest double a NUMBER holds: the double nearest 1E126 lies below it
// (9.99999999999999924...E125) and stands for the decimals from 9.999999999999999E125 up, of
// which those below 1E126 are NUMBERs. It is that decimal of 16 digits, its shortest text
// (1E126) being past the range.
inline constexpr double kGreatestNumberDouble = 1e126;
inline constexpr std::string_view kGreatestNumberDigits = "9999999999999999";  // times 10^110

// Whether a double is of a NUMBER's magnitude (NaN is none).
inline bool WithinNumberRange(double value) { return std::fabs(value) <= kGreatestNumberDouble; }

// Whether numeric text as ParseNumber reads it is a value a NUMBER holds: below 1E126 in
// magnitude once rounded to a NUMBER's 40 significant digits. Text that is no number is not
// refused here.
bool WithinNumberRange(std::string_view text);
// Whether numeric text as ParseNumber reads it is below the least NUMBER, 1E-130 in magnitude,
// once rounded to 40 significant digits: a NUMBER of it is zero.
bool BelowLeastNumber(std::string_view text);

// Rounds half away from zero to `places` decimals (negative places round to tens, hundreds).
double RoundHalfAway(double value, int places);
// Truncates towards zero to `places` decimals.
double TruncateTo(double value, int places);

}  // namespace korvalis::db
