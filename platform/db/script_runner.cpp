#include "platform/db/script_runner.h"
#include "platform/db/sql_token.h"
#include "platform/text/ascii.h"

namespace korvalis::db {
namespace {

// Blanks within a line: a carriage return belongs to the line end that follows it.
bool IsBlankWithinLine(char c) { return IsAsciiBlank(c) || c == '\r'; }

// Letters, digits, _ $ # and the bytes of characters outside ASCII continue a word.
bool IsWordByte(char c) {
  return IsAsciiAlnum(c) || c == '_' || c == '$' || c == '#' ||
         static_cast<unsigned char>(c) >= 0x80;
}

bool OnlyBlanks(std::string_view s) {
  for (char c : s) {
    if (!IsBlankWithinLine(c) && c != '\n') return false;
  }
  return true;
}

// True when nothing but blanks (or a "--" comment) follows position `i` on its line.
bool RestOfLineEmpty(std::string_view s, size_t i) {
  while (i < s.size() && IsBlankWithinLine(s[i])) ++i;
  if (i >= s.size() || s[i] == '\n') return true;
  return s.substr(i, 2) == "--";
}

// Cuts a script into statements while it tracks line numbers: quoted texts and comments are
// copied whole, so that a ';' or '/' inside them ends nothing.
class ScriptSplitter {
 public:
  explicit ScriptSplitter(std::string_view script) : script_(script) {}

  std::vector<ScriptStatement> Split() {
    while (i_ < script_.size()) {
      if (blank_) start_line_ = line_;
      if (at_line_start_ && SkipSlashLine()) continue;
      at_line_start_ = false;
      const char c = script_[i_];
      if (c == '\n') {
        ++line_;
        at_line_start_ = true;
        Append(script_.substr(i_, 1));
        ++i_;
      } else if (c == '\'' || c == '"') {
        TakeQuoted(c);
      } else if (std::optional<sql::DelimitedLiteral> literal = DelimitedLiteralHere()) {
        TakeDelimitedLiteral(*literal);
      } else if (c == '-' && Next() == '-') {
        TakeLineComment();
      } else if (c == '/' && Next() == '*') {
        TakeBlockComment();
      } else if (c == ';' && RestOfLineEmpty(script_, i_ + 1)) {
        Finish();
        ++i_;
      } else {
        Append(script_.substr(i_, 1));
        ++i_;
      }
    }
    Finish();
    return std::move(out_);
  }

 private:
  char Next() const { return i_ + 1 < script_.size() ? script_[i_ + 1] : '\0'; }

  // Adds `text` to the statement being read. Whether the statement is still blanks only is
  // kept as it grows, so that a long run of blank lines is read in linear time.
  void Append(std::string_view text) {
    blank_ = blank_ && OnlyBlanks(text);
    current_.append(text);
  }

  // Ends the statement being read, dropping blanks and line ends around it; a statement of
  // blanks only is no statement.
  void Finish() {
    if (!blank_) {
      size_t b = 0;
      while (b < current_.size() && (IsBlankWithinLine(current_[b]) || current_[b] == '\n')) ++b;
      size_t e = current_.size();
      while (e > b && (IsBlankWithinLine(current_[e - 1]) || current_[e - 1] == '\n')) --e;
      out_.push_back(ScriptStatement{current_.substr(b, e - b), start_line_});
    }
    current_.clear();
    blank_ = true;
  }

  // "/" alone on a line ends the statement; true when the line was one.
  bool SkipSlashLine() {
    size_t j = i_;
    while (j < script_.size() && IsBlankWithinLine(script_[j])) ++j;
    if (j >= script_.size() || script_[j] != '/' || !RestOfLineEmpty(script_, j + 1)) return false;
    Finish();
    i_ = j + 1;
    while (i_ < script_.size() && script_[i_] != '\n') ++i_;
    return true;
  }

  // A text between `quote`s, with '' standing for one quote inside single quotes.
  void TakeQuoted(char quote) {
    size_t close = i_ + 1;
    for (;;) {
      close = script_.find(quote, close);
      if (close == std::string_view::npos) {
        throw SqlError("quoted text opened on line " + std::to_string(line_) + " is not closed");
      }
      if (quote == '\'' && close + 1 < script_.size() && script_[close + 1] == '\'') {
        close += 2;
        continue;
      }
      break;
    }
    for (size_t k = i_; k <= close; ++k) line_ += script_[k] == '\n';
    Append(script_.substr(i_, close - i_ + 1));
    i_ = close + 1;
  }

  // The delimited literal q'[...]' that starts a word here, if one does.
  std::optional<sql::DelimitedLiteral> DelimitedLiteralHere() const {
    if (i_ > 0 && IsWordByte(script_[i_ - 1])) return std::nullopt;
    const size_t q = sql::DelimitedLiteralStart(script_, i_);
    if (q == std::string_view::npos) return std::nullopt;
    // A literal without a delimiter is the statement's own error, when it runs.
    return sql::ReadDelimitedLiteral(script_, q);
  }

  // The literal whole, its quotes and line ends included.
  void TakeDelimitedLiteral(const sql::DelimitedLiteral& literal) {
    if (literal.end == std::string_view::npos) {
      throw SqlError("quoted text opened on line " + std::to_string(line_) + " is not closed");
    }
    for (size_t k = i_; k < literal.end; ++k) line_ += script_[k] == '\n';
    Append(script_.substr(i_, literal.end - i_));
    i_ = literal.end;
  }

  void TakeLineComment() {
    size_t end = script_.find('\n', i_);
    if (end == std::string_view::npos) end = script_.size();
    Append(script_.substr(i_, end - i_));
    i_ = end;
  }

  void TakeBlockComment() {
    size_t end = script_.find("*/", i_ + 2);
    if (end == std::string_view::npos) {
      throw SqlError("comment opened on line " + std::to_string(line_) + " is not closed");
    }
    for (size_t k = i_; k < end; ++k) line_ += script_[k] == '\n';
    Append(script_.substr(i_, end + 2 - i_));
    i_ = end + 2;
  }

  std::string_view script_;
  size_t i_ = 0;
  int line_ = 1;
  int start_line_ = 1;
  bool at_line_start_ = true;
  std::string current_;
  bool blank_ = true;  // current_ holds blanks and line ends only
  std::vector<ScriptStatement> out_;
};

}  // namespace

std::vector<ScriptStatement> SplitScript(std::string_view script) {
  return ScriptSplitter(script).Split();
}

void RunScript(Connection& connection, std::string_view script,
               const std::function<void(const ScriptStatement&, Rowset&)>& on_rows) {
  for (const ScriptStatement& s : SplitScript(script)) {
    try {
      std::unique_ptr<Rowset> rows = connection.Execute(s.text);
      if (on_rows) on_rows(s, *rows);
    } catch (const DbError& e) {
      throw DbError(e.code(), "line " + std::to_string(s.line) + ": " + e.what());
    }
  }
}

}  // namespace korvalis::db
