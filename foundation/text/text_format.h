// FormatString: printf-style formatting of wide (UTF-16) text with the meaning that the
// system's format texts were written for: %s and %c take wide text (%S and %C narrow UTF-8
// text), %d/%i/%u/%x/%X/%o integers, %f/%e/%g/%a floating-point values, %p a pointer, with the
// usual flags, width, precision (also as '*') and length modifiers (h, hh, l, ll, L, I64, I32,
// j, z, t, w). The arguments are checked against the conversions at run time: a mismatch, a
// missing argument, an unknown conversion or %n fails the format instead of reading memory it
// should not.
//
// Thread-safety: stateless functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

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
requires std::is_integral_v<T> Arg MakeArg(T value) {
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
requires std::is_enum_v<T> Arg MakeArg(T value) {
  return MakeArg(static_cast<std::underlying_type_t<T>>(value));
}
template <typename T>
requires std::is_floating_point_v<T> Arg MakeArg(T value) {
  Arg arg;
  arg.kind = Arg::kFloat;
  arg.d = static_cast<double>(value);
  return arg;
}
template <typename T>
requires(!std::is_same_v<std::remove_cv_t<T>, char16_t> &&
         !std::is_same_v<std::remove_cv_t<T>, char>) Arg MakeArg(T* value) {
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

// Formats into `buffer` of `size` characters, always zero-terminated when size > 0. Returns
// the number of characters written (without the terminator), or a negative number when the
// output does not fit (the buffer then holds its first size-1 characters) or the format fails.
template <typename... Args>
int FormatString(char16_t* buffer, std::size_t size, const char16_t* format, const Args&... args) {
  const korvalis::format_internal::Arg packed[sizeof...(Args) + 1] = {
      korvalis::format_internal::MakeArg(args)..., {}};
  return korvalis::format_internal::FormatInto(buffer, size, format, packed, sizeof...(Args));
}
