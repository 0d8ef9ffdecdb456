// ASCII character classes, case mapping, blanks and prefix tests of narrow (UTF-8) and UTF-16
// text: the one home of these helpers. Names compared without regard to case (SQL names,
// registry keys, member names, HTML tags and attributes) fold ASCII letters only; every other
// character, and every byte of a multibyte UTF-8 character, keeps its value.
//
// Thread-safety: pure functions.
#pragma once

#include <concepts>
#include <cstddef>
#include <string>
#include <string_view>

namespace korvalis {

// The character types these helpers take: UTF-8 bytes and UTF-16 units.
template <class Char>
concept TextChar = std::same_as<Char, char> || std::same_as<Char, char16_t>;

template <TextChar Char>
constexpr bool IsAsciiAlpha(Char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
template <TextChar Char>
constexpr bool IsAsciiDigit(Char c) {
  return c >= '0' && c <= '9';
}
template <TextChar Char>
constexpr bool IsAsciiAlnum(Char c) {
  return IsAsciiAlpha(c) || IsAsciiDigit(c);
}
template <TextChar Char>
constexpr bool IsAsciiUpper(Char c) {
  return c >= 'A' && c <= 'Z';
}
template <TextChar Char>
constexpr bool IsAsciiLower(Char c) {
  return c >= 'a' && c <= 'z';
}

// A blank: space or tab.
template <TextChar Char>
constexpr bool IsAsciiBlank(Char c) {
  return c == ' ' || c == '\t';
}
// White space as the C locale has it: blanks, line ends, vertical tab and form feed.
template <TextChar Char>
constexpr bool IsAsciiSpace(Char c) {
  return IsAsciiBlank(c) || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// White space as XML has it: blanks, line feed and carriage return.
template <TextChar Char>
constexpr bool IsXmlSpace(Char c) {
  return IsAsciiBlank(c) || c == '\n' || c == '\r';
}

template <TextChar Char>
constexpr Char AsciiUpper(Char c) {
  return IsAsciiLower(c) ? static_cast<Char>(c - 'a' + 'A') : c;
}
template <TextChar Char>
constexpr Char AsciiLower(Char c) {
  return IsAsciiUpper(c) ? static_cast<Char>(c - 'A' + 'a') : c;
}

namespace text_detail {

template <TextChar Char>
std::basic_string<Char> Mapped(std::basic_string_view<Char> text, Char (*map)(Char)) {
  std::basic_string<Char> out(text);
  for (Char& c : out) c = map(c);
  return out;
}

template <TextChar Char>
constexpr bool EqualsIgnoringCase(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

template <TextChar Char, class Is>
constexpr std::basic_string_view<Char> Trimmed(std::basic_string_view<Char> text, Is is) {
  while (!text.empty() && is(text.front())) text.remove_prefix(1);
  while (!text.empty() && is(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace text_detail

// The text with its ASCII letters in upper (lower) case.
inline std::string AsciiUpper(std::string_view text) {
  return text_detail::Mapped<char>(text, AsciiUpper<char>);
}
inline std::u16string AsciiUpper(std::u16string_view text) {
  return text_detail::Mapped<char16_t>(text, AsciiUpper<char16_t>);
}
inline std::string AsciiLower(std::string_view text) {
  return text_detail::Mapped<char>(text, AsciiLower<char>);
}
inline std::u16string AsciiLower(std::u16string_view text) {
  return text_detail::Mapped<char16_t>(text, AsciiLower<char16_t>);
}

// True when the two texts are equal without regard to ASCII case.
constexpr bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return text_detail::EqualsIgnoringCase(a, b);
}
constexpr bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
  return text_detail::EqualsIgnoringCase(a, b);
}

// True when `text` starts (ends) with `part` without regard to ASCII case. Exact prefix and
// suffix tests are the string views' own starts_with and ends_with.
constexpr bool StartsWithIgnoringAsciiCase(std::string_view text, std::string_view part) {
  return text.size() >= part.size() && EqualsIgnoringAsciiCase(text.substr(0, part.size()), part);
}
constexpr bool StartsWithIgnoringAsciiCase(std::u16string_view text, std::u16string_view part) {
  return text.size() >= part.size() && EqualsIgnoringAsciiCase(text.substr(0, part.size()), part);
}
constexpr bool EndsWithIgnoringAsciiCase(std::string_view text, std::string_view part) {
  return text.size() >= part.size() &&
         EqualsIgnoringAsciiCase(text.substr(text.size() - part.size()), part);
}
constexpr bool EndsWithIgnoringAsciiCase(std::u16string_view text, std::u16string_view part) {
  return text.size() >= part.size() &&
         EqualsIgnoringAsciiCase(text.substr(text.size() - part.size()), part);
}

// True when `text` holds nothing but XML white space; the empty text is blank.
constexpr bool IsBlank(std::string_view text) {
  return text_detail::Trimmed(text, IsXmlSpace<char>).empty();
}
constexpr bool IsBlank(std::u16string_view text) {
  return text_detail::Trimmed(text, IsXmlSpace<char16_t>).empty();
}

// `text` without the blanks (spaces) at either end.
constexpr std::string_view TrimAsciiBlanks(std::string_view text) {
  return text_detail::Trimmed(text, IsAsciiBlank<char>);
}
constexpr std::u16string_view TrimAsciiBlanks(std::u16string_view text) {
  return text_detail::Trimmed(text, IsAsciiBlank<char16_t>);
}
constexpr std::string_view TrimAsciiSpaces(std::string_view text) {
  return text_detail::Trimmed(text, IsAsciiSpace<char>);
}
constexpr std::u16string_view TrimAsciiSpaces(std::u16string_view text) {
  return text_detail::Trimmed(text, IsAsciiSpace<char16_t>);
}

}  // namespace korvalis
