// A script for `korvalis sql` as an operator writes it for a SQL shell: statements ended by ";"
// at the end of a line or by "/" alone on a line, with the lines of the shell itself mixed in.
// The shell's own lines are not SQL and are never read as part of the next statement:
// "WHENEVER SQLERROR EXIT" (and "CONTINUE") is understood; any other (SET, PROMPT, SPOOL,
// DESC ...) is refused as that one line. A procedural block (DECLARE or BEGIN, or CREATE of a
// procedure, function, package, trigger or type, up to "/" alone on a line) is refused as one
// statement: the system's SQL has none.
//
// Thread-safety: a pure function.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korvalis::tools {

struct ScriptStep {
  enum class Kind {
    kStatement,     // `text` is a statement to run
    kRefused,       // `text` says why the line (or block) at `line` is not run
    kStopOnError,   // WHENEVER SQLERROR EXIT: from here on the first failure ends the run
    kContinueOnError,  // WHENEVER SQLERROR CONTINUE
  };
  Kind kind;
  std::string text;
  int line;  // 1-based line where the step starts
};

// The steps of `script` in the order of their lines. Throws db::SqlError for a quote left open
// at the end.
std::vector<ScriptStep> ReadSqlScript(std::string_view script);

}  // namespace korvalis::tools
