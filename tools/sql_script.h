// A script for `korvalis sql` as an operator writes it for a SQL shell: statements ended by ";"
// at the end of a line or by "/" alone on a line, with the lines of the shell itself mixed in.
// The shell's own lines are not SQL and are never read as part of the next statement:
// WHENEVER SQLERROR is carried out with its options, and refused with the whole script when it
// asks for anything the command does not do; any other (SET, PROMPT, SPOOL, DESC ...) is
// refused as that one line. A procedural block (DECLARE or BEGIN, or CREATE of a
// procedure, function, package, trigger or type, up to "/" alone on a line) is refused as one
// statement: the system's SQL has none.
//
// Thread-safety: a pure function.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korvalis::tools {

// What a failing statement does to the run, as WHENEVER SQLERROR says (and --stop-on-error, as
// EXIT FAILURE ROLLBACK): end it with a status, or go on; either after committing or rolling
// back what is pending, or leaving it (the failing statement alone is always undone).
struct ErrorAction {
  enum class Then { kContinue, kExit };
  enum class Status { kSuccess, kFailure, kWarning, kNumber, kSqlCode };
  enum class Pending { kKept, kCommitted, kRolledBack };
  Then then = Then::kContinue;
  Status status = Status::kFailure;
  int number = 0;  // the status of kNumber, 0 to 255
  Pending pending = Pending::kKept;

  // The run's exit status after a failure of Oracle error `oracle_code` (0 when it has none).
  int ExitStatus(int oracle_code) const;
};

// EXIT FAILURE ROLLBACK: what --stop-on-error and a bare WHENEVER SQLERROR EXIT do.
ErrorAction StopOnError();

struct ScriptStep {
  enum class Kind {
    kStatement,  // `text` is a statement to run
    kRefused,    // `text` says why the line (or block) at `line` is not run
    kOnError,    // WHENEVER SQLERROR: `on_error` holds from here on
  };
  Kind kind;
  std::string text;
  int line;  // 1-based line where the step starts
  ErrorAction on_error = {};
};

// The steps of `script` in the order of their lines. Throws db::SqlError for a quote left open
// at the end, and for a WHENEVER line that asks for what the command does not carry out (a
// variable, an exit status beyond 0 to 255, WHENEVER OSERROR), naming it.
std::vector<ScriptStep> ReadSqlScript(std::string_view script);

}  // namespace korvalis::tools
