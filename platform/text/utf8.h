// Code points of UTF-8 and UTF-16 text, read and written one at a time: the decoding and
// encoding that the Unicode conversions, the SQL text functions and the text search share.
// Ill-formed input reads as U+FFFD, never as a wrong character.
//
// Thread-safety: pure functions.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace korvalis {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// The bytes of the UTF-8 sequence that `lead` begins, read from its high bits: 1 for ASCII;
// 2, 3 or 4 for the lead byte of a longer sequence; 1 for a byte that begins none (a
// continuation byte, 0xF8 and above), so that a scan by widths always moves on. Whether the
// sequence is well formed is DecodeUtf8's to tell.
inline constexpr size_t Utf8SequenceWidth(unsigned char lead) {
  return lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF8 ? 4 : 1;
}

// The code point that starts at `*i` (precondition: *i < text.size()), advancing `*i` past
// it. An ill-formed sequence (a stray continuation byte, an overlong form, a surrogate, a
// value above U+10FFFF, a sequence cut short) gives U+FFFD and advances past its longest
// well-formed start, at least one byte.
// Inline: the readers of every text's characters (the XML of a list's rows among them) call it
// once a character.
inline char32_t DecodeUtf8(std::string_view text, size_t* i) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  const unsigned char lead = bytes[*i];
  if (lead < 0x80) {
    ++*i;
    return lead;
  }
  // Number of continuation bytes and the allowed range of the first of them, which rules out
  // overlong forms, surrogates and code points above U+10FFFF.
  int follow = 0;
  unsigned char low = 0x80, high = 0xBF;
  char32_t cp = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    follow = 1;
    cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    follow = 2;
    cp = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    follow = 3;
    cp = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    ++*i;
    return kReplacementCharacter;
  }
  size_t j = *i + 1;
  for (int k = 0; k < follow; ++k, ++j) {
    if (j >= n || bytes[j] < low || bytes[j] > high) {
      *i = j;
      return kReplacementCharacter;
    }
    cp = (cp << 6) | (bytes[j] & 0x3F);
    low = 0x80;
    high = 0xBF;
  }
  *i = j;
  return cp;
}

// The code point of the UTF-16 unit at `*i` (precondition: *i < text.size()), with the next
// unit for a surrogate pair, advancing `*i` past it; a lone surrogate gives U+FFFD.
char32_t DecodeUtf16(std::u16string_view text, size_t* i);

// Writes `cp` (at most U+10FFFF) in UTF-8 to `out`, which has room for 4 bytes; how many it
// wrote.
size_t EncodeUtf8(char32_t cp, char* out);
// Appends `cp` (at most U+10FFFF) in UTF-8, or in UTF-16.
void AppendUtf8(char32_t cp, std::string* out);
void AppendUtf16(char32_t cp, std::u16string* out);

}  // namespace korvalis
