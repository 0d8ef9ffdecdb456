#include "platform/db/script_runner.h"
#include "platform/text/ascii.h"

namespace korvalis::db {
namespace {

// Blanks within a line: a carriage return belongs to the line end that follows it.
bool IsBlankWithinLine(char c) { return IsAsciiBlank(c) || c == '\r'; }

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

}  // namespace

std::vector<ScriptStatement> SplitScript(std::string_view script) {
  std::vector<ScriptStatement> out;
  std::string current;
  int line = 1;
  int start_line = 1;
  bool at_line_start = true;
  auto finish = [&]() {
    if (!OnlyBlanks(current)) {
      size_t b = 0;
      while (b < current.size() && (IsBlankWithinLine(current[b]) || current[b] == '\n')) ++b;
      size_t e = current.size();
      while (e > b && (IsBlankWithinLine(current[e - 1]) || current[e - 1] == '\n')) --e;
      out.push_back(ScriptStatement{current.substr(b, e - b), start_line});
    }
    current.clear();
  };
  size_t i = 0;
  while (i < script.size()) {
    char c = script[i];
    if (OnlyBlanks(current)) start_line = line;
    // "/" alone on a line ends the statement.
    if (at_line_start) {
      size_t j = i;
      while (j < script.size() && IsBlankWithinLine(script[j])) ++j;
      if (j < script.size() && script[j] == '/' && RestOfLineEmpty(script, j + 1)) {
        finish();
        i = j + 1;
        while (i < script.size() && script[i] != '\n') ++i;
        continue;
      }
    }
    at_line_start = false;
    if (c == '\n') {
      ++line;
      at_line_start = true;
      current.push_back(c);
      ++i;
      continue;
    }
    if (c == '\'' || c == '"') {
      size_t close = i + 1;
      for (;;) {
        close = script.find(c, close);
        if (close == std::string_view::npos) {
          throw SqlError("quoted text opened on line " + std::to_string(line) + " is not closed");
        }
        if (c == '\'' && close + 1 < script.size() && script[close + 1] == '\'') {
          close += 2;
          continue;
        }
        break;
      }
      for (size_t k = i; k <= close; ++k) line += script[k] == '\n';
      current.append(script.substr(i, close - i + 1));
      i = close + 1;
      continue;
    }
    if (c == '-' && i + 1 < script.size() && script[i + 1] == '-') {
      size_t end = script.find('\n', i);
      if (end == std::string_view::npos) end = script.size();
      current.append(script.substr(i, end - i));
      i = end;
      continue;
    }
    if (c == '/' && i + 1 < script.size() && script[i + 1] == '*') {
      size_t end = script.find("*/", i + 2);
      if (end == std::string_view::npos) {
        throw SqlError("comment opened on line " + std::to_string(line) + " is not closed");
      }
      for (size_t k = i; k < end; ++k) line += script[k] == '\n';
      current.append(script.substr(i, end + 2 - i));
      i = end + 2;
      continue;
    }
    if (c == ';' && RestOfLineEmpty(script, i + 1)) {
      finish();
      ++i;
      continue;
    }
    current.push_back(c);
    ++i;
  }
  finish();
  return out;
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
