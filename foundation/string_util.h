// String utilities on wide (UTF-16) text used to assemble SQL and XML and to take apart the
// lists that clients send: printf-style formatting, replacing, ASCII upper case, number
// conversions, left cuts and splitting. Lengths and positions count UTF-16 units.
//
// FormatString keeps the meaning that the system's format texts were written for: %s and %c
// take wide text (%S and %C narrow UTF-8 text), %d/%i/%u/%x/%X/%o integers, %f/%e/%g/%a
// floating-point values, %p a pointer, with the usual flags, width, precision (also as '*')
// and length modifiers (h, hh, l, ll, L, I64, I32, j, z, t, w). The arguments are checked
// against the conversions at run time: a mismatch, a missing argument, an unknown conversion
// or %n fails the format instead of reading memory it should not.
//
// Thread-safety: stateless functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace korvalis::format_internal {

// One argument of FormatString with its kind, captured by value (texts by pointer).
struct Arg {
  enum Kind : std::uint8_t { kSigned, kUnsigned, kFloat, kWide, kNarrow, kPointer };
  Kind kind = kSigned;
  std::uint8_t bits = 0;  // width of the integer type the caller passed
  std::int64_t i = 0;
  std::uint64_t u = 0;
  double d = 0;
  const void* pointer = nullptr;  // text or pointer value; null text prints "(null)"
  std::size_t length = 0;         // text length, or npos when zero-terminated
};

template <typename T>
  requires std::is_integral_v<T>
Arg MakeArg(T value) {
  Arg arg;
  arg.bits = static_cast<std::uint8_t>(sizeof(T) * 8);
  if constexpr (std::is_signed_v<T>) {
    arg.kind = Arg::kSigned;
    arg.i = value;
  } else {
    arg.kind = Arg::kUnsigned;
    arg.u = value;
  }
  return arg;
}
template <typename T>
  requires std::is_enum_v<T>
Arg MakeArg(T value) {
  return MakeArg(static_cast<std::underlying_type_t<T>>(value));
}
template <typename T>
  requires std::is_floating_point_v<T>
Arg MakeArg(T value) {
  Arg arg;
  arg.kind = Arg::kFloat;
  arg.d = static_cast<double>(value);
  return arg;
}
template <typename T>
  requires(!std::is_same_v<std::remove_cv_t<T>, char16_t> &&
           !std::is_same_v<std::remove_cv_t<T>, char>)
Arg MakeArg(T* value) {
  Arg arg;
  arg.kind = Arg::kPointer;
  arg.pointer = value;
  return arg;
}
Arg MakeArg(std::nullptr_t);
Arg MakeArg(const char16_t* text);
Arg MakeArg(const std::u16string& text);
Arg MakeArg(std::u16string_view text);
Arg MakeArg(const char* text);
Arg MakeArg(const std::string& text);
Arg MakeArg(std::string_view text);

// Appends the formatted text to *out; false when the format fails.
bool Format(std::u16string* out, const char16_t* format, const Arg* args, std::size_t count);

int FormatInto(char16_t* buffer, std::size_t size, const char16_t* format, const Arg* args,
               std::size_t count);

}  // namespace korvalis::format_internal

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

// Formats into `buffer` of `size` characters, always zero-terminated when size > 0. Returns
// the number of characters written (without the terminator), or a negative number when the
// output does not fit (the buffer then holds its first size-1 characters) or the format fails.
template <typename... Args>
int FormatString(char16_t* buffer, std::size_t size, const char16_t* format, const Args&... args) {
  const korvalis::format_internal::Arg packed[sizeof...(Args) + 1] = {
      korvalis::format_internal::MakeArg(args)..., {}};
  return korvalis::format_internal::FormatInto(buffer, size, format, packed, sizeof...(Args));
}

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
