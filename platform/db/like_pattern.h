// A LIKE pattern read once and matched against texts in time bounded by the product of their
// lengths, whatever their shape: '%' stands for any run of characters, '_' for one character,
// and the escape character, where one is named, makes the '%', '_' or escape character after it
// stand for itself. Characters compare exactly (case counts); characters are UTF-8.
//
// The pattern is cut at its '%' into pieces that each match a run of as many characters as
// they have: the first is matched at the text's start, the last at its end, and each one
// between at the first place after the one before it where it fits, which is where every match
// of the whole can place it. A piece of plain characters is found by a linear search; one with
// '_' is tried at each character, which costs the piece's length at each: every try is charged
// to the running call (sql_function_support.h), which stops at its statement's deadline.
//
// Thread-safety: immutable once built.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/function_memory.h"

namespace korvalis::db::functions {

class LikePattern {
 public:
  // `escape`: empty for none, else exactly one character.
  // Throws FunctionError ORA-01425 when `escape` is more than one character, ORA-01424 when the
  // pattern ends with its escape character or has one before a character other than '%', '_'
  // or itself.
  LikePattern(std::string_view pattern, std::string_view escape);

  bool Matches(std::string_view text) const;
  // Whether this was read from `pattern` with `escape`.
  bool ReadFrom(std::string_view pattern, std::string_view escape) const {
    return pattern == pattern_ && escape == escape_;
  }

 private:
  // A run of characters to match: `any` characters of any kind, then the literal bytes.
  struct Step {
    size_t any;
    size_t literal_begin, literal_end;  // in literals_
  };
  // The steps between two '%' (or an end of the pattern).
  struct Piece {
    size_t first_step, end_step;
    size_t characters;  // how many characters of the text it matches
  };

  // The end of `piece` matched at byte `at` of `text`, or npos where it does not fit there.
  size_t MatchAt(const Piece& piece, std::string_view text, size_t at) const;
  // The end of the first match of `piece` in text[from, limit), or npos.
  size_t Find(const Piece& piece, std::string_view text, size_t from, size_t limit) const;
  std::string_view Literal(const Step& s) const {
    return std::string_view(literals_).substr(s.literal_begin, s.literal_end - s.literal_begin);
  }

  std::string pattern_;
  std::string escape_;
  std::string literals_;  // the pattern's literal characters, escapes removed
  std::vector<Step, CountedAllocator<Step>> steps_;
  std::vector<Piece, CountedAllocator<Piece>> pieces_;
  bool any_run_ = false;  // the pattern has a '%'
};

// Whether `text` matches `pattern` (escape: `escape`, or none when it is 0), compared in place
// without building anything, in time bounded by the product of their lengths: for the short
// texts and patterns of most rows, where reading a LikePattern costs more than the match.
// Precondition: where `escape` is given, the pattern has it only before '%', '_' or itself
// (EscapesValid).
bool MatchesInPlace(std::string_view text, std::string_view pattern, char escape);
// Whether every `escape` in `pattern` stands before '%', '_' or itself.
bool EscapesValid(std::string_view pattern, char escape);
// The bytes of `pattern` that its match tries at each place of a text: from its first '%' that
// more than '%' follows on; 0 for a pattern matched from the text's start alone, in one pass over
// the pattern. `escape` is 0 for none.
size_t SearchedBytes(std::string_view pattern, char escape);
// Whether the engine's GLOB of GlobOfLike(pattern, escape) answers as `pattern` does for every
// text, whatever its bytes: a pattern of ASCII characters other than NUL, then '%' and nothing
// else after it (or '%' alone). GLOB reads a text as characters up to its first NUL and reads
// U+FFFE, U+FFFF, a surrogate and an ill-formed sequence alike, as U+FFFD: a '_', a character
// past ASCII, or a text's end to be matched could read a text otherwise. `escape` is 0 for none.
// Precondition: EscapesValid(pattern, escape) where `escape` is given.
bool GlobMatchesAlike(std::string_view pattern, char escape);
// The GLOB pattern that matches what `pattern` matches (its characters, those special to GLOB
// between brackets, then '*') where GlobMatchesAlike. `escape` is 0 for none.
// Precondition: GlobMatchesAlike(pattern, escape).
std::string GlobOfLike(std::string_view pattern, char escape);
// The characters every text that `pattern` matches starts with: its own before its first '%'
// or '_', escapes read. `escape` is 0 for none.
// Precondition: EscapesValid(pattern, escape) where `escape` is given.
std::string LiteralPrefix(std::string_view pattern, char escape);

}  // namespace korvalis::db::functions
