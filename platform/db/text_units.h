// How a stored text is split into the units the text search compares.
//
// A text is read as a sequence of units: a Latin word (letters and digits, matched without
// regard to case) or a run of Chinese (Japanese, Korean) characters, which a query matches
// by substring. Everything else separates units. An XML text is read by its character
// content (xml_character_content.h).
//
// Thread-safety: pure functions.
#pragma once

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
