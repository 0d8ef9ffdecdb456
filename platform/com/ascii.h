// ASCII character classes and case mapping of UTF-16 text. Names that the platform compares
// without regard to case (registry keys, member names, HTML tags and attributes) fold ASCII
// letters only; every other character keeps its case.
//
// Thread-safety: pure functions.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace korvalis {

inline bool IsAsciiAlpha(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}
inline bool IsAsciiDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
inline bool IsAsciiAlnum(char16_t c) { return IsAsciiAlpha(c) || IsAsciiDigit(c); }

// A blank: space or tab.
inline bool IsAsciiBlank(char16_t c) { return c == u' ' || c == u'\t'; }

// `text` without the blanks at either end.
inline std::u16string_view TrimAsciiBlanks(std::u16string_view text) {
  while (!text.empty() && IsAsciiBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsAsciiBlank(text.back())) text.remove_suffix(1);
  return text;
}

inline char16_t AsciiUpper(char16_t c) { return (c >= u'a' && c <= u'z') ? c - u'a' + u'A' : c; }
inline char16_t AsciiLower(char16_t c) { return (c >= u'A' && c <= u'Z') ? c - u'A' + u'a' : c; }

// True when the two texts are equal without regard to ASCII case.
inline bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

inline std::u16string AsciiUpper(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) c = AsciiUpper(c);
  return out;
}

inline std::u16string AsciiLower(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) c = AsciiLower(c);
  return out;
}

}  // namespace korvalis
