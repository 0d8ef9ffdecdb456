#include "tools/sql_script.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "platform/db/script_runner.h"
#include "platform/db/sql_error.h"
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

constexpr char kWheneverForms[] =
    "WHENEVER SQLERROR EXIT [SUCCESS | FAILURE | WARNING | n | SQL.SQLCODE] [COMMIT | ROLLBACK] "
    "or WHENEVER SQLERROR CONTINUE [COMMIT | ROLLBACK | NONE], n from 0 to 255";

// The line's words split at blanks, in upper case, a ";" ending the line left out.
std::vector<std::string> BlankSeparatedWords(std::string_view line) {
  if (line.ends_with(';')) line.remove_suffix(1);
  std::vector<std::string> words;
  for (size_t i = 0; i < line.size();) {
    if (std::isspace(static_cast<unsigned char>(line[i]))) {
      ++i;
      continue;
    }
    std::string word;
    for (; i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])); ++i) {
      word.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(line[i]))));
    }
    words.push_back(std::move(word));
  }
  return words;
}

[[noreturn]] void RefuseWhenever(int line, const std::string& why) {
  throw db::SqlError("line " + std::to_string(line) + ": " + why + "; the command carries out " +
                     kWheneverForms);
}

// The exit status a word of WHENEVER SQLERROR EXIT names, or false when it names none.
bool ReadExitStatus(const std::string& word, int line, ErrorAction* action) {
  using Status = ErrorAction::Status;
  static const std::map<std::string, Status, std::less<>> kNamed = {
      {"SUCCESS", Status::kSuccess},
      {"FAILURE", Status::kFailure},
      {"WARNING", Status::kWarning},
      {"SQL.SQLCODE", Status::kSqlCode}};
  if (const auto named = kNamed.find(word); named != kNamed.end()) {
    action->status = named->second;
    return true;
  }
  if (std::all_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    if (word.size() > 3 || std::stoi(word) > 255) {
      RefuseWhenever(line, "the exit status " + word + " is beyond what a process can end with");
    }
    action->status = Status::kNumber;
    action->number = std::stoi(word);
    return true;
  }
  const bool named_value = word[0] == ':' || word[0] == '&' ||
                           std::isalpha(static_cast<unsigned char>(word[0]));
  if (named_value && word != "COMMIT" && word != "ROLLBACK" && word != "NONE") {
    RefuseWhenever(line, "the exit status " + word +
                             " is a variable, and korvalis sql has none but SQL.SQLCODE");
  }
  return false;
}

// A WHENEVER line of a script, at `line`.
ErrorAction ReadWhenever(std::string_view text, int line) {
  const std::vector<std::string> words = BlankSeparatedWords(text);
  if (words.size() < 3 || words[1] != "SQLERROR" ||
      (words[2] != "EXIT" && words[2] != "CONTINUE")) {
    RefuseWhenever(line, std::string(text) + " is not carried out");
  }
  ErrorAction action;
  size_t next = 3;
  if (words[2] == "EXIT") {
    action = StopOnError();
    if (next < words.size() && ReadExitStatus(words[next], line, &action)) ++next;
  }
  if (next < words.size()) {
    const std::string& word = words[next];
    if (word == "COMMIT") action.pending = ErrorAction::Pending::kCommitted;
    else if (word == "ROLLBACK") action.pending = ErrorAction::Pending::kRolledBack;
    else if (word == "NONE" && words[2] == "CONTINUE") action.pending = ErrorAction::Pending::kKept;
    else RefuseWhenever(line, "the option " + word + " of WHENEVER SQLERROR is not carried out");
    ++next;
  }
  if (next < words.size()) {
    RefuseWhenever(line, "the option " + words[next] + " of WHENEVER SQLERROR is not carried out");
  }
  return action;
}

}  // namespace

int ErrorAction::ExitStatus(int oracle_code) const {
  switch (status) {
    case Status::kSuccess: return 0;
    case Status::kFailure: return 1;
    case Status::kWarning: return 2;
    case Status::kNumber: return number;
    case Status::kSqlCode: break;
  }
  // A process ends with the code's last byte; one whose last byte is 0 would read as success.
  const int last_byte = oracle_code % 256;
  return last_byte == 0 ? 1 : last_byte;
}

ErrorAction StopOnError() {
  return ErrorAction{ErrorAction::Then::kExit, ErrorAction::Status::kFailure, 0,
                     ErrorAction::Pending::kRolledBack};
}

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
        if (words[0] == "WHENEVER") {
          steps.push_back({ScriptStep::Kind::kOnError, "", number, ReadWhenever(trimmed, number)});
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
