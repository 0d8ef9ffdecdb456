#include "platform/db/postgres_runtime_schema.h"

#include <algorithm>
#include <set>

#include "platform/text/ascii.h"

namespace korvalis::db {
namespace {

bool IsWordStart(char c) {
  return IsAsciiAlpha(c) || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}
bool IsWordPart(char c) { return IsWordStart(c) || IsAsciiDigit(c) || c == '$'; }

// One piece of a script in its order: an identifier (a key word or a name), or what stands
// between identifiers (white space, a comment, a constant, a quoted identifier, punctuation).
// A dollar quote's delimiter is punctuation and a word: the script's dollar-quoted constants
// are the bodies of its functions, which are SQL to be read like the rest.
struct Piece {
  std::string_view text;
  bool word = false;
};

// Splits a script into pieces, as the server's own lexer would for what matters here: where
// comments, constants and quoted identifiers begin and end. Precondition: the script is the
// runtime's own, its quotes and comments closed.
class Scanner {
 public:
  explicit Scanner(std::string_view script) : script_(script) {}

  bool Next(Piece* piece) {
    if (at_ >= script_.size()) return false;
    const size_t from = at_;
    const char c = script_[at_];
    const char next = at_ + 1 < script_.size() ? script_[at_ + 1] : '\0';
    bool word = false;
    if (c == '-' && next == '-') {
      at_ = std::min(script_.find('\n', at_), script_.size());
    } else if (c == '/' && next == '*') {
      const size_t end = script_.find("*/", at_ + 2);
      at_ = end == std::string_view::npos ? script_.size() : end + 2;
    } else if (c == '\'' || c == '"') {
      // E'...' takes backslash escapes; every other constant and identifier doubles its quote.
      SkipQuoted(c, c == '\'' && (last_word_ == "E" || last_word_ == "e") && last_end_ == at_);
    } else if (IsWordStart(c)) {
      while (at_ < script_.size() && IsWordPart(script_[at_])) ++at_;
      word = true;
    } else if (IsAsciiDigit(c)) {
      while (at_ < script_.size() && (IsWordPart(script_[at_]) || script_[at_] == '.')) ++at_;
    } else {
      ++at_;
    }
    piece->text = script_.substr(from, at_ - from);
    piece->word = word;
    if (word) {
      last_word_ = piece->text;
      last_end_ = at_;
    }
    return true;
  }

 private:
  void SkipQuoted(char quote, bool backslashes) {
    ++at_;
    while (at_ < script_.size()) {
      if (backslashes && script_[at_] == '\\') {
        at_ += 2;
      } else if (script_[at_] != quote) {
        ++at_;
      } else if (at_ + 1 < script_.size() && script_[at_ + 1] == quote) {
        at_ += 2;
      } else {
        ++at_;
        return;
      }
    }
    at_ = script_.size();
  }

  std::string_view script_;
  size_t at_ = 0;
  std::string_view last_word_;
  size_t last_end_ = 0;
};

// The names `script` creates: the word after CREATE [OR REPLACE] FUNCTION, AGGREGATE or
// DOMAIN, as the server folds it.
std::set<std::string> CreatedNames(std::string_view script) {
  std::set<std::string> names;
  std::string before_kind;  // the word before the one that names the kind of object
  std::string kind;
  Scanner scanner(script);
  Piece piece;
  while (scanner.Next(&piece)) {
    if (!piece.word) continue;
    std::string word = AsciiLower(piece.text);
    if ((before_kind == "create" || before_kind == "replace") &&
        (kind == "function" || kind == "aggregate" || kind == "domain")) {
      names.insert(word);
    }
    before_kind = std::move(kind);
    kind = std::move(word);
  }
  return names;
}

}  // namespace

std::string PostgresQuotedIdentifier(std::string_view schema) {
  const bool escaped = schema.find('$') != std::string_view::npos;
  std::string quoted = escaped ? "U&\"" : "\"";
  for (const char c : schema) {
    if (c == '"') {
      quoted += "\"\"";
    } else if (escaped && c == '\\') {
      quoted += "\\\\";
    } else if (escaped && c == '$') {
      quoted += "\\0024";
    } else {
      quoted += c;
    }
  }
  quoted += '"';
  return quoted;
}

std::string QualifyRuntimeNames(std::string_view script, std::string_view schema) {
  if (schema.empty()) return std::string(script);
  const std::set<std::string> names = CreatedNames(script);
  const std::string prefix = PostgresQuotedIdentifier(schema) + ".";
  std::string qualified;
  qualified.reserve(script.size() + script.size() / 8);
  char last_code = '\0';  // the last character of code before the piece, white space aside
  Scanner scanner(script);
  Piece piece;
  while (scanner.Next(&piece)) {
    if (piece.word && last_code != '.' && names.contains(AsciiLower(piece.text))) {
      qualified += prefix;
    }
    qualified += piece.text;
    const char first = piece.text.front();
    const bool comment = piece.text.starts_with("--") || piece.text.starts_with("/*");
    if (!comment && !IsAsciiSpace(first)) last_code = piece.text.back();
  }
  return qualified;
}

}  // namespace korvalis::db
