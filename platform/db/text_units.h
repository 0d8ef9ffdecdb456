// How a stored text is split into the units the text search compares.
//
// A text is read as a sequence of units: a Latin word (letters and digits, matched without
// regard to case) or a run of Chinese (Japanese, Korean) characters, which a query matches
// by substring. Everything else separates units. An XML text is read by its character
// content (xml_character_content.h).
//
// Thread-safety: pure functions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvalis::db::text {

enum class TextKind { kPlain, kXml };

struct Unit {
  bool cjk = false;  // a run of Chinese characters; otherwise a Latin word in lower case
  std::string text;
  size_t begin = 0, end = 0;  // byte offsets in the text that was split
};

// The units of `text`. For kXml, the units of its character content.
std::vector<Unit> SplitUnits(std::string_view text, TextKind kind);

// What a code point is to the split, and the letter it compares as (ASCII, full-width,
// Latin-1, Greek and Cyrillic capitals compare as small letters; full-width forms as ASCII).
// A code point and its folded form are always of one class.
enum class CharClass { kSeparator, kWord, kCjk };
CharClass ClassOf(uint32_t cp);
uint32_t FoldCase(uint32_t cp);

// The units of `text` written as one string, for a server that matches queries by regular
// expression: each unit after a space, a Chinese run marked by kCjkMark before it, and a
// space at the end (" fever #社区获得性肺炎 5 "; a text without units is " ").
inline constexpr char kCjkMark = '#';
std::string UnitString(std::string_view text, TextKind kind);

// The units of a phrase of a query: as SplitUnits, with `%` and `_` kept in Latin words as
// wildcards.
std::vector<Unit> SplitQueryUnits(std::string_view phrase);

// The index tokens of one Chinese run: for a document, each character at its own position
// with the pair it starts at the same position; for a query, the pairs of the run in order
// (its one character when it has one). Used by the full-text index's tokenizer.
struct IndexToken {
  std::string text;
  bool same_position = false;  // at the position of the token before it
};
void ChineseRunTokens(std::string_view run, bool for_query, std::vector<IndexToken>* tokens);

}  // namespace korvalis::db::text
