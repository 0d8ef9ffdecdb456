// String utilities on wide (UTF-16) text used to assemble SQL and XML and to take apart the
// lists that clients send: printf-style formatting (FormatString, text_format.h), replacing,
// ASCII upper case, number conversions, left cuts and splitting. Lengths and positions count
// UTF-16 units.
//
// Thread-safety: stateless functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "foundation/text/text_format.h"

namespace korvalis {

// Wide text handed to the utilities: a string, a view, or a zero-terminated pointer such as a
// BSTR, where a null pointer reads as the empty text (a plain std::u16string_view would crash).
class TextRef {
 public:
  TextRef(const char16_t* text) : view_(text == nullptr ? std::u16string_view() : text) {}
  TextRef(const std::u16string& text) : view_(text) {}
  TextRef(std::u16string_view text) : view_(text) {}
  operator std::u16string_view() const { return view_; }
  std::u16string_view view() const { return view_; }

 private:
  std::u16string_view view_;
};

}  // namespace korvalis

// Replaces every occurrence of `pattern` in `text`; text produced by a replacement is not
// searched again. An empty pattern does nothing.
void ReplaceAll(std::u16string& text, korvalis::TextRef pattern,
                korvalis::TextRef replacement);

// A copy with "a" to "z" made capital; every other character stays.
std::u16string ToUpperAscii(korvalis::TextRef text);

// Text to number: leading white space is skipped and the number ends at the first character
// that cannot belong to it ("12abc" reads 12). When no number is read, or it is out of the
// type's range, the fallback is answered. *read_anything (when given) is set to whether the
// text holds anything but white space, even when no number could be read.
double StringToDouble(korvalis::TextRef text, bool* read_anything = nullptr,
                      double fallback = 0);
int StringToInt(korvalis::TextRef text, bool* read_anything = nullptr, int fallback = 0);
long StringToLong(korvalis::TextRef text, bool* read_anything = nullptr, long fallback = 0);

// Number to text: "%f" (six decimals) of the single-precision value widened to double.
std::u16string DoubleToString(float value);
// "%d".
std::u16string IntToString(int value);
// The value formatted with `format` (a format with one integer conversion; "%ld" when null).
// Empty text when the format fails or the result exceeds 49 characters.
std::u16string LongToString(long value, const char16_t* format = nullptr);

// The first `count` UTF-16 units of `text`, or all of it when it is shorter.
std::u16string LeftString(korvalis::TextRef text, unsigned count);

// Splits `text` at each occurrence of `separator`, appending the pieces to `pieces` (which is
// not cleared). Leading characters that occur anywhere in the separator are skipped; empty
// pieces between adjacent separators remain; a separator at the end adds no empty piece. An
// empty separator appends the whole text as one piece, even when the text is empty.
void SplitString(korvalis::TextRef text, korvalis::TextRef separator,
                 std::vector<std::u16string>& pieces);

// As SplitString, but every character of `separators` separates. An empty set appends the
// whole text as one piece (nothing for an empty text).
void SplitByChars(korvalis::TextRef text, korvalis::TextRef separators,
                  std::vector<std::u16string>& pieces);
