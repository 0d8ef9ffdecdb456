#include "platform/db/sql_token.h"

#include <algorithm>
#include <cstdint>

#include "platform/db/sql_error.h"
#include "platform/text/ascii.h"
#include "platform/text/utf8.h"

namespace korvalis::db::sql {
namespace {

// Character classes, looked up for every character of a statement.
enum : uint8_t { kWordStart = 1, kWordChar = 2, kDigit = 4, kBlank = 8 };

struct CharClasses {
  uint8_t of[256] = {};
  constexpr CharClasses() {
    for (int c = 0; c < 256; ++c) {
      uint8_t k = 0;
      if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80) {
        k |= kWordStart | kWordChar;
      }
      if (c >= '0' && c <= '9') k |= kDigit | kWordChar;
      if (c == '$' || c == '#') k |= kWordChar;
      if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') k |= kBlank;
      of[c] = k;
    }
  }
};
constexpr CharClasses kClasses;

bool IsWordStart(unsigned char c) { return kClasses.of[c] & kWordStart; }
bool IsWordChar(unsigned char c) { return kClasses.of[c] & kWordChar; }
bool IsDigit(unsigned char c) { return kClasses.of[c] & kDigit; }
bool IsSqlSpace(unsigned char c) { return kClasses.of[c] & kBlank; }

// Words that end an expression or cannot be a table alias or an unquoted column alias,
// grouped by their first letter so that a word is compared with a few candidates only.
bool IsReservedWord(std::string_view w) {
  static constexpr std::string_view kByLetter[26][10] = {
      {"ALL", "AND", "ANY", "AS", "ASC"},                    // A
      {"BETWEEN", "BY"},                                     // B
      {"CASE", "CONNECT", "CREATE", "CROSS"},                // C
      {"DELETE", "DESC", "DISTINCT"},                        // D
      {"ELSE", "END", "EXISTS"},                             // E
      {"FOR", "FROM", "FULL"},                               // F
      {"GROUP"},                                             // G
      {"HAVING"},                                            // H
      {"IN", "INNER", "INSERT", "INTERSECT", "INTO", "IS"},  // I
      {"JOIN"},                                              // J
      {},                                                    // K
      {"LEFT", "LIKE"},                                      // L
      {"MINUS"},                                             // M
      {"NATURAL", "NOT", "NULL"},                            // N
      {"ON", "OR", "ORDER", "OUTER"},                        // O
      {"PRIOR"},                                             // P
      {},                                                    // Q
      {"RIGHT"},                                             // R
      {"SELECT", "SET", "START"},                            // S
      {"THEN"},                                              // T
      {"UNION", "UNIQUE", "UPDATE", "USING"},                // U
      {"VALUES"},                                            // V
      {"WHEN", "WHERE", "WITH"},                             // W
      {},
      {},
      {}};
  if (w.size() < 2 || w.size() > 9 || w[0] < 'A' || w[0] > 'Z') return false;
  for (std::string_view r : kByLetter[w[0] - 'A']) {
    if (r.empty()) break;
    if (r.size() == w.size() && r == w) return true;
  }
  return false;
}

std::string Where(std::string_view sql, size_t at) {
  return " at offset " + std::to_string(at) + " near \"" + std::string(sql.substr(at, 20)) + "\"";
}

}  // namespace

size_t DelimitedLiteralStart(std::string_view sql, size_t i) {
  if (i < sql.size() && (sql[i] == 'N' || sql[i] == 'n')) ++i;
  if (i + 1 < sql.size() && (sql[i] == 'q' || sql[i] == 'Q') && sql[i + 1] == '\'') return i;
  return std::string_view::npos;
}

std::optional<DelimitedLiteral> ReadDelimitedLiteral(std::string_view sql, size_t q) {
  const size_t open = q + 2;
  if (open >= sql.size()) return std::nullopt;
  const unsigned char d = static_cast<unsigned char>(sql[open]);
  if (IsSqlSpace(d) || d == '\'') return std::nullopt;
  const size_t width = std::min(Utf8SequenceWidth(d), sql.size() - open);
  DelimitedLiteral literal;
  std::string& closer = literal.closer;
  switch (d) {
    case '[': closer = "]"; break;
    case '{': closer = "}"; break;
    case '(': closer = ")"; break;
    case '<': closer = ">"; break;
    default: closer = sql.substr(open, width); break;
  }
  closer.push_back('\'');
  literal.text_begin = open + width;
  literal.text_end = sql.find(closer, literal.text_begin);
  literal.end = literal.text_end == std::string_view::npos ? literal.text_end
                                                           : literal.text_end + closer.size();
  return literal;
}

namespace {

// Reads the tokens of one statement, one kind of token a member.
class Tokenizer {
 public:
  Tokenizer(std::string_view sql, std::vector<Token>* tokens, std::string* storage)
      : sql_(sql), n_(sql.size()), tokens_(*tokens), storage_(*storage) {}

  void Run() {
    while (i_ < n_) {
      const unsigned char c = static_cast<unsigned char>(sql_[i_]);
      if (IsSqlSpace(c)) {
        ++i_;
      } else if (c == '-' && At(i_ + 1, '-')) {
        while (i_ < n_ && sql_[i_] != '\n') ++i_;
      } else if (c == '/' && At(i_ + 1, '*')) {
        SkipBlockComment();
      } else if (IsWordStart(c)) {
        // N'...' is a national string literal: the same text here; the string is read next.
        if ((c == 'N' || c == 'n') && At(i_ + 1, '\'')) {
          ++i_;
        } else if (const size_t q = DelimitedLiteralStart(sql_, i_); q != std::string_view::npos) {
          ReadDelimitedString(q);
        } else {
          ReadWord();
        }
      } else if (IsDigit(c) || (c == '.' && i_ + 1 < n_ && IsDigit(Byte(i_ + 1)))) {
        ReadNumber();
      } else if (c == '\'') {
        ReadString();
      } else if (c == '"') {
        ReadQuotedName();
      } else if (!(c == '(' && ReadOuterJoinMarker())) {
        ReadOperator();
      }
    }
    Push(TokenKind::kEnd, "", n_, n_);
  }

 private:
  unsigned char Byte(size_t at) const { return static_cast<unsigned char>(sql_[at]); }
  bool At(size_t at, char c) const { return at < n_ && sql_[at] == c; }
  void Push(TokenKind kind, std::string_view text, size_t begin, size_t end) {
    tokens_.push_back(Token{kind, text, begin, end});
  }

  void SkipBlockComment() {
    const size_t close = sql_.find("*/", i_ + 2);
    if (close == std::string_view::npos) throw SqlError("unterminated comment" + Where(sql_, i_));
    i_ = close + 2;
  }

  // The word in upper case: the statement's own text when it is written so, otherwise an
  // upper-cased copy in the storage.
  std::string_view Upper(std::string_view text) {
    size_t k = 0;
    while (k < text.size() && !IsAsciiLower(text[k])) ++k;
    if (k == text.size()) return text;
    const size_t at = storage_.size();
    storage_.append(text);
    for (k += at; k < storage_.size(); ++k) storage_[k] = AsciiUpper(storage_[k]);
    return std::string_view(storage_.data() + at, text.size());
  }

  void ReadWord() {
    const size_t start = i_;
    while (i_ < n_ && IsWordChar(Byte(i_))) ++i_;
    Push(TokenKind::kWord, Upper(sql_.substr(start, i_ - start)), start, i_);
    tokens_.back().reserved = IsReservedWord(tokens_.back().text);
  }

  void ReadNumber() {
    const size_t start = i_;
    while (i_ < n_ && IsDigit(Byte(i_))) ++i_;
    if (At(i_, '.')) {
      ++i_;
      while (i_ < n_ && IsDigit(Byte(i_))) ++i_;
    }
    // An exponent only when digits follow, so that "1AND" or "1ELSE" stay a number and a word.
    if (At(i_, 'e') || At(i_, 'E')) {
      size_t j = i_ + 1;
      if (At(j, '+') || At(j, '-')) ++j;
      if (j < n_ && IsDigit(Byte(j))) {
        i_ = j;
        while (i_ < n_ && IsDigit(Byte(i_))) ++i_;
      }
    }
    Push(TokenKind::kNumber, sql_.substr(start, i_ - start), start, i_);
  }

  // Texts are never longer than what they were read from, so the storage never moves.
  void ReadString() {
    const size_t start = i_;
    const size_t at = storage_.size();
    ++i_;
    for (;;) {
      const size_t quote = sql_.find('\'', i_);
      if (quote == std::string_view::npos) {
        throw SqlError("ORA-01756: quoted string not properly terminated" + Where(sql_, start));
      }
      storage_.append(sql_.substr(i_, quote - i_));
      if (At(quote + 1, '\'')) {
        storage_.push_back('\'');
        i_ = quote + 2;
        continue;
      }
      i_ = quote + 1;
      break;
    }
    Push(TokenKind::kString, std::string_view(storage_.data() + at, storage_.size() - at), start,
         i_);
  }

  void ReadDelimitedString(size_t q) {
    const std::optional<DelimitedLiteral> literal = ReadDelimitedLiteral(sql_, q);
    if (!literal) throw SqlError("ORA-00911: invalid character" + Where(sql_, q + 2));
    if (literal->end == std::string_view::npos) {
      throw SqlError("ORA-01756: quoted string not properly terminated" + Where(sql_, i_));
    }
    Push(TokenKind::kString,
         sql_.substr(literal->text_begin, literal->text_end - literal->text_begin), i_,
         literal->end);
    i_ = literal->end;
  }

  void ReadQuotedName() {
    const size_t start = i_;
    const size_t close = sql_.find('"', i_ + 1);
    if (close == std::string_view::npos) {
      throw SqlError("ORA-01740: missing double quote in identifier" + Where(sql_, start));
    }
    if (close == i_ + 1)
      throw SqlError("ORA-01741: illegal zero-length identifier" + Where(sql_, start));
    Push(TokenKind::kQuotedName, sql_.substr(i_ + 1, close - i_ - 1), start, close + 1);
    i_ = close + 1;
  }

  // (+), blanks allowed inside; false (nothing read) for any other parenthesis.
  bool ReadOuterJoinMarker() {
    size_t j = i_ + 1;
    while (j < n_ && IsSqlSpace(Byte(j))) ++j;
    if (!At(j, '+')) return false;
    size_t k = j + 1;
    while (k < n_ && IsSqlSpace(Byte(k))) ++k;
    if (!At(k, ')')) return false;
    Push(TokenKind::kOuterJoinMarker, "(+)", i_, k + 1);
    i_ = k + 1;
    return true;
  }

  void ReadOperator() {
    auto two = [&](const char* op) { return At(i_, op[0]) && At(i_ + 1, op[1]); };
    if (two("<>") || two("!=") || two("^=") || two("<=") || two(">=") || two("||")) {
      std::string_view op = sql_.substr(i_, 2);
      if (op == "!=" || op == "^=") op = "<>";
      Push(TokenKind::kOperator, op, i_, i_ + 2);
      i_ += 2;
      return;
    }
    switch (sql_[i_]) {
      case '=':
      case '<':
      case '>':
      case '+':
      case '-':
      case '*':
      case '/':
      case '(':
      case ')':
      case ',':
      case '.':
      case ';':
        Push(TokenKind::kOperator, sql_.substr(i_, 1), i_, i_ + 1);
        ++i_;
        return;
      default:
        throw SqlError("ORA-00911: invalid character" + Where(sql_, i_));
    }
  }

  std::string_view sql_;
  size_t n_;
  size_t i_ = 0;
  std::vector<Token>& tokens_;
  std::string& storage_;
};

}  // namespace

void Tokenize(std::string_view sql, std::vector<Token>* out, std::string* storage) {
  out->clear();
  storage->clear();
  storage->reserve(sql.size() + 1);
  Tokenizer(sql, out, storage).Run();
}

}  // namespace korvalis::db::sql
