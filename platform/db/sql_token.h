// Tokens of the Oracle SQL dialect that the system's statements are written in, and the
// tokenizer that produces them.
//
// Thread-safety: Tokenize is a pure function; token texts point into the statement or the
// storage it is given.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvalis::db::sql {

enum class TokenKind {
  kWord,            // unquoted identifier or keyword; `text` is upper case
  kQuotedName,      // "Name": `text` is the name as written, without quotes
  kString,          // 'text' or q'[text]': `text` is the value, doubled quotes undone
  kNumber,          // 12, 1.5, .5, 1e3: `text` as written
  kOperator,        // = <> != ^= < <= > >= + - * / || ( ) , . ;
  kOuterJoinMarker, // (+), with or without blanks inside
  kEnd,
};

struct Token {
  TokenKind kind;
  std::string_view text;  // into the storage of Tokenize, or static for operators
  size_t begin = 0;  // byte offsets of the token in the statement text
  size_t end = 0;
  bool reserved = false;  // kWord: a reserved word, never a name or an alias

  // Called for every keyword the parser looks for: the first character decides most cases.
  bool IsWord(std::string_view w) const {
    return kind == TokenKind::kWord && text.size() == w.size() && text[0] == w[0] && text == w;
  }
  bool IsOp(std::string_view o) const {
    return kind == TokenKind::kOperator && text.size() == o.size() && text[0] == o[0] &&
           (o.size() == 1 || text[1] == o[1]);
  }
};

// A delimited literal q'<d>text<d'>' (or nq'...'): the closer of [, {, ( and < is its pair,
// of any other character the character itself (a character outside ASCII is its whole UTF-8
// sequence). Blanks and the quote are no delimiters.
struct DelimitedLiteral {
  size_t text_begin = 0, text_end = 0;  // the text between the delimiters
  size_t end = 0;                       // just past the closing quote; npos when not closed
  std::string closer;                   // the closing delimiter and quote
};
// Where the q of a delimited literal beginning at `i` stands; npos when none begins there.
// Precondition: `i` starts a word (no letter, digit, _, $ or # stands before it).
size_t DelimitedLiteralStart(std::string_view sql, size_t i);
// The literal whose q stands at `q`; nothing when its delimiter is missing or none.
// Precondition: DelimitedLiteralStart gave `q`.
std::optional<DelimitedLiteral> ReadDelimitedLiteral(std::string_view sql, size_t q);

// Splits `sql` into tokens, dropping blanks and comments (optimiser hints are comments).
// Always ends with one kEnd token. Throws SqlError on an unterminated string, quoted name
// or comment, and on a character that has no place in SQL.
// `storage` receives the token texts that differ from the statement's (words written with
// lower-case letters, upper-cased; strings without their quotes); the tokens stay valid while
// it and `sql` are unchanged.
void Tokenize(std::string_view sql, std::vector<Token>* tokens, std::string* storage);

}  // namespace korvalis::db::sql
