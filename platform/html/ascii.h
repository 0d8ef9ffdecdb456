// ASCII character classes and case mapping of the HTML tree: tag and attribute names compare
// and canonicalise by ASCII case only, whatever other letters they hold.
//
// Thread-safety: pure functions.
#pragma once

#include <string>
#include <string_view>

namespace korvalis::html {

inline bool IsAsciiAlpha(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}
inline bool IsAsciiDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
inline bool IsAsciiAlnum(char16_t c) { return IsAsciiAlpha(c) || IsAsciiDigit(c); }

inline char16_t ToUpperAscii(char16_t c) { return (c >= u'a' && c <= u'z') ? c - 32 : c; }
inline char16_t ToLowerAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? c + 32 : c; }

inline std::u16string UpperAscii(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) c = ToUpperAscii(c);
  return out;
}

inline std::u16string LowerAscii(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) c = ToLowerAscii(c);
  return out;
}

}  // namespace korvalis::html
