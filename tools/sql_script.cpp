#include "tools/sql_script.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <set>
#include <string>

#include "platform/db/script_runner.h"
#include "platform/db/sql_token.h"

namespace korvalis::tools {
namespace {

// Commands of the SQL shell that begin a line and are no SQL statement.
const std::set<std::string, std::less<>> kShellCommands = {
    "@",        "@@",      "ACCEPT",   "APPEND",    "ARCHIVE",   "ATTRIBUTE", "BREAK",
    "BTITLE",   "CHANGE",  "CLEAR",    "COL",       "COLUMN",    "COMPUTE",   "CONN",
    "CONNECT",  "COPY",    "DEFINE",   "DEL",       "DESC",      "DESCRIBE",  "DISCONNECT",
    "EDIT",     "EXEC",    "EXECUTE",  "EXIT",      "GET",       "HELP",      "HOST",
    "INPUT",    "LIST",    "PASSWORD", "PAUSE",     "PRINT",     "PROMPT",    "QUIT",
    "RECOVER",  "REM",     "REMARK",   "REPFOOTER", "REPHEADER", "RUN",       "SAVE",
    "SET",      "SHOW",    "SHUTDOWN", "SPOOL",     "START",     "STARTUP",   "STORE",
    "TIMING",   "TTITLE",  "UNDEFINE", "VAR",       "VARIABLE",  "WHENEVER",  "XQUERY",
};

// SET that begins a statement of SQL.
const std::set<std::string, std::less<>> kSqlAfterSet = {"TRANSACTION", "ROLE", "CONSTRAINT",
                                                         "CONSTRAINTS"};

// What a procedural block is created as.
const std::set<std::string, std::less<>> kBlockObjects = {"PROCEDURE", "FUNCTION", "PACKAGE",
                                                          "TRIGGER", "TYPE"};

std::string_view Trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
    text.remove_prefix(1);
  }
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
    text.remove_suffix(1);
  }
  return text;
}

// The line's words in upper case, as far as `count`: letters, digits, "_", "$", "#"; "@" and
// "@@" are words of their own.
std::vector<std::string> LeadingWords(std::string_view line, size_t count) {
  std::vector<std::string> words;
  size_t i = 0;
  while (words.size() < count) {
    while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    if (i == line.size()) break;
    std::string word;
    if (line[i] == '@') {
      word = line.substr(i, 2) == "@@" ? "@@" : "@";
      i += word.size();
    } else {
      while (i < line.size() && (std::isalnum(static_cast<unsigned char>(line[i])) ||
                                 line[i] == '_' || line[i] == '$' || line[i] == '#')) {
        word.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(line[i++]))));
      }
      if (word.empty()) break;
    }
    words.push_back(word);
  }
  return words;
}

bool StartsBlock(const std::vector<std::string>& words) {
  if (words.empty()) return false;
  if (words[0] == "DECLARE" || words[0] == "BEGIN") return true;
  if (words[0] != "CREATE") return false;
  size_t i = 1;
  if (i + 1 < words.size() && words[i] == "OR" && words[i + 1] == "REPLACE") i += 2;
  if (i < words.size() && (words[i] == "EDITIONABLE" || words[i] == "NONEDITIONABLE")) ++i;
  return i < words.size() && kBlockObjects.count(words[i]) != 0;
}

bool IsWordByte(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' || c == '#' ||
         static_cast<unsigned char>(c) >= 0x80;
}

// Scans `line` for quotes and the end of a statement: *closing carries what closes an open
// quote (the quote, or a delimited literal's closer) from line to line, empty outside one;
// true when the line, outside quotes and comments, ends with ";".
bool EndsStatement(std::string_view line, std::string* closing) {
  char last = 0;
  for (size_t i = 0; i < line.size(); ++i) {
    if (!closing->empty()) {
      const size_t close = line.find(*closing, i);
      if (close == std::string_view::npos) return false;
      i = close + closing->size() - 1;
      closing->clear();
      last = '\'';
      continue;
    }
    const char c = line[i];
    const size_t q = i > 0 && IsWordByte(line[i - 1])
                         ? std::string_view::npos
                         : db::sql::DelimitedLiteralStart(line, i);
    std::optional<db::sql::DelimitedLiteral> literal;
    if (q != std::string_view::npos) literal = db::sql::ReadDelimitedLiteral(line, q);
    if (literal) {
      if (literal->end == std::string_view::npos) {
        *closing = literal->closer;
        return false;
      }
      i = literal->end - 1;
      last = '\'';
      continue;
    }
    if (c == '\'') {
      *closing = "'";
    } else if (c == '-' && i + 1 < line.size() && line[i + 1] == '-') {
      break;
    }
    if (!std::isspace(static_cast<unsigned char>(c))) last = c;
  }
  return closing->empty() && last == ';';
}

}  // namespace

std::vector<ScriptStep> ReadSqlScript(std::string_view script) {
  std::vector<std::string> lines;
  for (size_t start = 0; start <= script.size();) {
    const size_t end = std::min(script.find('\n', start), script.size());
    lines.emplace_back(script.substr(start, end - start));
    start = end + 1;
  }

  std::vector<ScriptStep> steps;
  bool at_start = true;
  std::string closing;  // what closes the quote open at the end of the line read last
  for (size_t i = 0; i < lines.size(); ++i) {
    const int number = static_cast<int>(i) + 1;
    const std::string_view trimmed = Trim(lines[i]);
    if (at_start && closing.empty() && !trimmed.empty() && !trimmed.starts_with("--") &&
        !trimmed.starts_with("/*")) {
      const std::vector<std::string> words = LeadingWords(trimmed, 6);
      const bool shell = !words.empty() && kShellCommands.count(words[0]) != 0 &&
                         !(words[0] == "SET" && words.size() > 1 && kSqlAfterSet.count(words[1]));
      if (shell) {
        if (words[0] == "WHENEVER" && words.size() > 2 && words[1] == "SQLERROR" &&
            (words[2] == "EXIT" || words[2] == "CONTINUE")) {
          steps.push_back({words[2] == "EXIT" ? ScriptStep::Kind::kStopOnError
                                              : ScriptStep::Kind::kContinueOnError,
                           "", number});
        } else {
          steps.push_back({ScriptStep::Kind::kRefused,
                           words[0] + " is a command of SQL*Plus, not SQL: the line is not run",
                           number});
        }
        lines[i].clear();
        continue;
      }
      if (StartsBlock(words)) {
        // The block runs to "/" alone on a line; its ";" end its statements, not the block.
        size_t last = i;
        while (last < lines.size() && Trim(lines[last]) != "/") ++last;
        for (size_t k = i; k < std::min(last + 1, lines.size()); ++k) lines[k].clear();
        steps.push_back({ScriptStep::Kind::kRefused,
                         "a PL/SQL block (" + words[0] +
                             " ...) is not run: the system runs SQL statements only",
                         number});
        i = last;
        continue;
      }
      at_start = false;
    }
    if (EndsStatement(lines[i], &closing) || (closing.empty() && trimmed == "/")) {
      at_start = true;
    }
  }

  std::string cleaned;
  for (const std::string& line : lines) cleaned += line + "\n";
  for (const db::ScriptStatement& statement : db::SplitScript(cleaned)) {
    steps.push_back({ScriptStep::Kind::kStatement, statement.text, statement.line});
  }
  std::stable_sort(steps.begin(), steps.end(),
                   [](const ScriptStep& a, const ScriptStep& b) { return a.line < b.line; });
  return steps;
}

}  // namespace korvalis::tools
