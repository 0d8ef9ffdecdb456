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
char32_t DecodeUtf8(std::string_view text, size_t* i);

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
