#include "platform/db/sql_token.h"

#include <cstdint>

#include "platform/db/sql_error.h"
#include "platform/text/ascii.h"

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
bool IsBlank(unsigned char c) { return kClasses.of[c] & kBlank; }

// Words that end an expression or cannot be a table alias or an unquoted column alias,
// grouped by their first letter so that a word is compared with a few candidates only.
bool IsReservedWord(std::string_view w) {
  static constexpr std::string_view kByLetter[26][10] = {
      {"ALL", "AND", "ANY", "AS", "ASC"},                          // A
      {"BETWEEN", "BY"},                                            // B
      {"CASE", "CONNECT", "CREATE", "CROSS"},                       // C
      {"DELETE", "DESC", "DISTINCT"},                               // D
      {"ELSE", "END", "EXISTS"},                                    // E
      {"FOR", "FROM", "FULL"},                                      // F
      {"GROUP"},                                                    // G
      {"HAVING"},                                                   // H
      {"IN", "INNER", "INSERT", "INTERSECT", "INTO", "IS"},         // I
      {"JOIN"},                                                     // J
      {},                                                           // K
      {"LEFT", "LIKE"},                                             // L
      {"MINUS"},                                                    // M
      {"NATURAL", "NOT", "NULL"},                                   // N
      {"ON", "OR", "ORDER", "OUTER"},                               // O
      {"PRIOR"},                                                    // P
      {},                                                           // Q
      {"RIGHT"},                                                    // R
      {"SELECT", "SET", "START"},                                   // S
      {"THEN"},                                                     // T
      {"UNION", "UNIQUE", "UPDATE", "USING"},                       // U
      {"VALUES"},                                                   // V
      {"WHEN", "WHERE", "WITH"},                                    // W
      {}, {}, {}};
  if (w.size() < 2 || w.size() > 9 || w[0] < 'A' || w[0] > 'Z') return false;
  for (std::string_view r : kByLetter[w[0] - 'A']) {
    if (r.empty()) break;
    if (r.size() == w.size() && r == w) return true;
  }
  return false;
}

std::string Where(std::string_view sql, size_t at) {
  return " at offset " + std::to_string(at) + " near \"" +
         std::string(sql.substr(at, 20)) + "\"";
}

}  // namespace

void Tokenize(std::string_view sql, std::vector<Token>* out, std::string* storage) {
  std::vector<Token>& tokens = *out;
  tokens.clear();
  // Texts are never longer than what they were read from, so the storage never moves.
  storage->clear();
  storage->reserve(sql.size() + 1);
  const size_t n = sql.size();
  size_t i = 0;
  auto push = [&](TokenKind kind, std::string_view text, size_t begin, size_t end) {
    tokens.push_back(Token{kind, text, begin, end});
  };
  // The word in upper case: the statement's own text when it is written so, otherwise an
  // upper-cased copy in the storage.
  auto upper = [&](std::string_view text) {
    size_t k = 0;
    while (k < text.size() && !IsAsciiLower(text[k])) ++k;
    if (k == text.size()) return text;
    const size_t at = storage->size();
    storage->append(text);
    for (k += at; k < storage->size(); ++k) {
      char& ch = (*storage)[k];
      ch = AsciiUpper(ch);
    }
    return std::string_view(storage->data() + at, text.size());
  };
  while (i < n) {
    const unsigned char c = static_cast<unsigned char>(sql[i]);
    if (IsBlank(c)) {
      ++i;
      continue;
    }
    const size_t start = i;
    if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
      while (i < n && sql[i] != '\n') ++i;
      continue;
    }
    if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
      size_t close = sql.find("*/", i + 2);
      if (close == std::string_view::npos) throw SqlError("unterminated comment" + Where(sql, start));
      i = close + 2;
      continue;
    }
    if (IsWordStart(c)) {
      // N'...' is a national string literal: the same text here.
      if ((c == 'N' || c == 'n') && i + 1 < n && sql[i + 1] == '\'') {
        ++i;
        continue;  // the string is read by the next round
      }
      while (i < n && IsWordChar(static_cast<unsigned char>(sql[i]))) ++i;
      push(TokenKind::kWord, upper(sql.substr(start, i - start)), start, i);
      tokens.back().reserved = IsReservedWord(tokens.back().text);
      continue;
    }
    if (IsDigit(c) || (c == '.' && i + 1 < n && IsDigit(static_cast<unsigned char>(sql[i + 1])))) {
      while (i < n && IsDigit(static_cast<unsigned char>(sql[i]))) ++i;
      if (i < n && sql[i] == '.') {
        ++i;
        while (i < n && IsDigit(static_cast<unsigned char>(sql[i]))) ++i;
      }
      // An exponent only when digits follow, so that "1AND" or "1ELSE" stay a number and a word.
      if (i < n && (sql[i] == 'e' || sql[i] == 'E')) {
        size_t j = i + 1;
        if (j < n && (sql[j] == '+' || sql[j] == '-')) ++j;
        if (j < n && IsDigit(static_cast<unsigned char>(sql[j]))) {
          i = j;
          while (i < n && IsDigit(static_cast<unsigned char>(sql[i]))) ++i;
        }
      }
      push(TokenKind::kNumber, sql.substr(start, i - start), start, i);
      continue;
    }
    if (c == '\'') {
      const size_t at = storage->size();
      ++i;
      for (;;) {
        const size_t quote = sql.find('\'', i);
        if (quote == std::string_view::npos) {
          throw SqlError("ORA-01756: quoted string not properly terminated" + Where(sql, start));
        }
        storage->append(sql.substr(i, quote - i));
        if (quote + 1 < n && sql[quote + 1] == '\'') {
          storage->push_back('\'');
          i = quote + 2;
          continue;
        }
        i = quote + 1;
        break;
      }
      push(TokenKind::kString, std::string_view(storage->data() + at, storage->size() - at), start, i);
      continue;
    }
    if (c == '"') {
      size_t close = sql.find('"', i + 1);
      if (close == std::string_view::npos) throw SqlError("ORA-01740: missing double quote in identifier" + Where(sql, start));
      if (close == i + 1) throw SqlError("ORA-01741: illegal zero-length identifier" + Where(sql, start));
      push(TokenKind::kQuotedName, sql.substr(i + 1, close - i - 1), start, close + 1);
      i = close + 1;
      continue;
    }
    if (c == '(') {
      size_t j = i + 1;
      while (j < n && IsBlank(static_cast<unsigned char>(sql[j]))) ++j;
      if (j < n && sql[j] == '+') {
        size_t k = j + 1;
        while (k < n && IsBlank(static_cast<unsigned char>(sql[k]))) ++k;
        if (k < n && sql[k] == ')') {
          push(TokenKind::kOuterJoinMarker, "(+)", start, k + 1);
          i = k + 1;
          continue;
        }
      }
    }
    auto two = [&](const char* op) { return i + 1 < n && sql[i] == op[0] && sql[i + 1] == op[1]; };
    if (two("<>") || two("!=") || two("^=") || two("<=") || two(">=") || two("||")) {
      std::string_view op = sql.substr(i, 2);
      if (op == "!=" || op == "^=") op = "<>";
      push(TokenKind::kOperator, op, start, i + 2);
      i += 2;
      continue;
    }
    switch (c) {
      case '=': case '<': case '>': case '+': case '-': case '*': case '/':
      case '(': case ')': case ',': case '.': case ';':
        push(TokenKind::kOperator, sql.substr(i, 1), start, i + 1);
        ++i;
        continue;
      default:
        break;
    }
    throw SqlError("ORA-00911: invalid character" + Where(sql, start));
  }
  push(TokenKind::kEnd, "", n, n);
}

}  // namespace korvalis::db::sql
