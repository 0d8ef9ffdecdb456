// `korvalis sql [--db FILE | --connect STRING] [-f SCRIPT | SQL]`: runs Oracle SQL on the
// embedded database or a PostgreSQL server, as an operator would in a SQL shell, to inspect and
// seed it. The statements of one run form one transaction:
//
//   start ──Begin──▶ OPEN ──statement──▶ OPEN (its changes pending; a failure is reported and
//                     │  ▲                     undoes that statement only)
//                     │  ├──COMMIT / ROLLBACK: pending changes kept / undone, a new one begins
//                     │  ├──failure when stopping on errors──▶ rolled back, the run ends
//                     │  ├──failure that lost the connection (the server ended an idle
//                     │  │    writer)──▶ undone by the server, the rest not run, the run ends
//                     │  ├──failure that closed the connection (a server that did not answer
//                     │  │    in time)──▶ undone once the server's process runs again, the rest
//                     │  │    not run, the run ends
//                     │  ├──a signal (Ctrl-C)──▶ undone, its line told, the run ends by it
//                     │  └──failure that undid the whole transaction (the file, when a write
//                     │       is interrupted)──▶ the rest not run, the run ends
//                     └──end of input──▶ committed
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/connection_pool.h"
#include "platform/db/sql_error.h"
#include "platform/db/sql_token.h"
#include "platform/text/control_escape.h"
#include "tools/command.h"
#include "tools/command_line.h"
#include "tools/config_files.h"
#include "tools/input_file.h"
#include "tools/row_printer.h"
#include "tools/sql_script.h"
#include "tools/temporary_files.h"
#include "tools/whole_database_file.h"

namespace korvalis::tools {
namespace {

constexpr char kUsage[] =
    "usage: korvalis sql [--db FILE | --connect STRING] [OPTIONS] [-f SCRIPT | SQL]\n"
    "Runs the statement SQL, or the script SCRIPT (-f - or no SQL: standard input), on the\n"
    "database FILE, on the database the initialisation STRING names\n"
    "(\"Provider=PostgreSQL;Host=...;Database=...\" for a server), or on the database that\n"
    "telv.config.xml in the current directory names. A script's statements end with ';' at the\n"
    "end of a line or with '/' alone on a line; a script (standard input too) is read to its end,\n"
    "and must be UTF-8, before anything runs. The statements of one run form one transaction,\n"
    "as in a SQL shell: COMMIT and ROLLBACK do what they say, and the end of the input commits\n"
    "what is pending. A failing statement is reported with its line and undone; the run goes on\n"
    "and ends with status 1. A failure that undid the whole transaction (on the file, a write\n"
    "interrupted by Command Timeout) ends the run there; so does Ctrl-C, saying at which line,\n"
    "undoing what is pending. A line of SQL*Plus (SET, PROMPT, SPOOL,\n"
    "DESC ...) is refused as that one line, and a PL/SQL block as one statement: each is a\n"
    "failure, as a failing statement is. WHENEVER SQLERROR EXIT [SUCCESS|FAILURE|WARNING|n|\n"
    "SQL.SQLCODE] [COMMIT|ROLLBACK] ends the run at a failure with that status (FAILURE, 1, and\n"
    "ROLLBACK unless named), CONTINUE [COMMIT|ROLLBACK|NONE] goes on; a script asking for\n"
    "anything else is refused before it runs. Rows print as they are read: a line of column\n"
    "names, then one line per row,\n"
    "fields separated by tabs (tab, line feed, carriage return and backslash written \\t, \\n,\n"
    "\\r and \\\\; NULL as an empty field; a BLOB as \"(BLOB, n bytes)\"), then \"n rows\n"
    "selected\"; an INSERT, UPDATE or DELETE prints \"n rows inserted\" (updated, deleted).\n"
    "  -f, --file SCRIPT   run the statements of the file SCRIPT\n"
    "  --stop-on-error     end the run at the first failing statement, rolling back the changes\n"
    "                      since the last COMMIT (as WHENEVER SQLERROR EXIT in a script)\n"
    "  --no-feedback       no \"n rows selected\" (inserted ...) after each statement\n"
    "  --xml               each result as an XML document instead, with no feedback:\n"
    "                      <root><row><column name=\"...\">value</column>...</row>...</root>\n";

struct RunSettings {
  bool xml = false;
  bool feedback = true;
  ErrorAction on_error;
};

// The statement's first word if it is one of `words`, else "".
std::string_view FirstWordAmong(std::string_view statement,
                                std::initializer_list<std::string_view> words) {
  std::vector<db::sql::Token> tokens;
  std::string storage;
  try {
    db::sql::Tokenize(statement, &tokens, &storage);
  } catch (const db::DbError&) {
    return "";
  }
  for (std::string_view word : words) {
    if (!tokens.empty() && tokens.front().IsWord(word)) return word;
  }
  return "";
}

// What an INSERT, UPDATE or DELETE did to its rows, by the statement's first word.
const char* ChangeDone(std::string_view statement) {
  const std::string_view word = FirstWordAmong(statement, {"INSERT", "UPDATE", "DELETE"});
  if (word == "INSERT") return "inserted";
  if (word == "UPDATE") return "updated";
  if (word == "DELETE") return "deleted";
  return "changed";
}

// Which changes of a run are committed, for the message when its output is lost.
class CommittedChanges {
 public:
  explicit CommittedChanges(bool one_statement) : one_statement_(one_statement) {}

  // After `statement` ran: a statement that returns no rows changed something, COMMIT keeps
  // what is pending, ROLLBACK undoes it.
  void Ran(std::string_view statement, const db::Rowset& rows) {
    if (rows.ColumnCount() != 0) return;
    const std::string_view control = FirstWordAmong(statement, {"COMMIT", "ROLLBACK"});
    if (control.empty()) {
      pending_ = true;
    } else {
      if (control == "COMMIT" && pending_) Committed();
      pending_ = false;
    }
  }
  // After the end of the input, or WHENEVER SQLERROR's COMMIT, was committed.
  void EndCommitted() {
    if (pending_) Committed();
    pending_ = false;
  }

 private:
  void Committed() {
    NoteWorkDone(one_statement_ ? "the statement was committed"
                                : "the script's changes were committed");
  }

  bool one_statement_;
  bool pending_ = false;
};

// "3 rows selected" after a query's rows, "1 row updated" after a statement that changed rows;
// nothing after any other statement.
void PrintFeedback(std::string_view statement, const db::Rowset& rows, long long printed) {
  long long count = printed;
  const char* done = "selected";
  if (rows.ColumnCount() == 0) {
    count = rows.ChangedRows();
    if (count < 0) return;
    done = ChangeDone(statement);
  }
  std::printf("%lld %s %s\n", count, count == 1 ? "row" : "rows", done);
}

// A connection the server closed while the script waited between statements (a writer whose
// rows waited for a reader, ended as idle) is found out before anything more is sent: a query
// fails with the server's own reason, where a COMMIT sent to the closed connection would learn
// only that it is closed. Throws that failure; returns when the connection is open.
void CheckNotEndedByServer(db::Connection& connection) {
  if (connection.Alive()) return;
  connection.Execute("SELECT 1 FROM DUAL");
}

// A transaction ended whole runs nothing more: the statements after the failure would commit
// without those before it. It was undone by an engine that gave it up or with a connection that
// was lost (a writer the server ended as idle); or the connection was closed by the client when
// its server did not answer in time, and the server undoes the transaction only once its
// process runs again (until then it holds its locks and the writers' turn). Says what
// `happened` and from which line of the script on nothing ran.
void ReportEndedTransaction(const char* happened, const std::vector<ScriptStep>& steps,
                            size_t next) {
  while (next < steps.size() && steps[next].kind != ScriptStep::Kind::kStatement &&
         steps[next].kind != ScriptStep::Kind::kRefused) {
    ++next;
  }
  std::string rest;
  if (next < steps.size()) {
    rest =
        "; the rest of the script, from line " + std::to_string(steps[next].line) + ", was not run";
  }
  std::fprintf(stderr, "korvalis sql: %s%s\n", happened, rest.c_str());
}

// What became of the transaction that the failure `description` ended with the connection.
const char* EndedWithTheConnection(std::string_view description) {
  if (description.find(db::kClosedUnanswered) != std::string_view::npos) {
    return "the connection to the database was closed when the server did not answer in time: "
           "the server undoes the changes since the last COMMIT once its process runs again";
  }
  return "the connection to the database is lost: the changes since the last COMMIT are undone";
}

// The number of the Oracle error that `description` names (ORA-00904: 904), 0 when none.
int OracleCode(std::string_view description) {
  const size_t at = description.find("ORA-");
  int code = 0;
  for (size_t i = at == std::string_view::npos ? description.size() : at + 4;
       i < description.size() && description[i] >= '0' && description[i] <= '9'; ++i) {
    code = code * 10 + (description[i] - '0');
  }
  return code;
}

// Commits what is pending, at the end of the run or, when the run `goes_on`, as a script's
// COMMIT does; false, with the reason told, when it cannot be.
bool CommitPending(db::Connection& connection, CommittedChanges* committed, bool goes_on) {
  SayAtSignal(
      "korvalis sql: interrupted while committing: the changes since the last COMMIT are "
      "committed whole or undone whole");
  try {
    CheckNotEndedByServer(connection);
    if (goes_on) {
      connection.Execute("COMMIT");
    } else {
      connection.Commit();
    }
    committed->EndCommitted();
    return true;
  } catch (const db::DbError& e) {
    std::fprintf(stderr, "korvalis sql: the changes could not be committed: %s\n",
                 EscapeControls(e.what()).c_str());
    return false;
  }
}

// What the run does after its step `failed` ended with the failure `description` (empty for a
// line that is not run): -1 to go on with the next step, else the status the run ends with.
int AfterFailure(db::Connection& connection, const ErrorAction& on_error,
                 std::string_view description, const std::vector<ScriptStep>& steps, size_t failed,
                 CommittedChanges* committed) {
  using Pending = ErrorAction::Pending;
  const bool exits = on_error.then == ErrorAction::Then::kExit;
  const int oracle_code = OracleCode(description);
  // A lost connection, or a transaction the file gave up whole (a write interrupted by Command
  // Timeout, memory refused), leaves nothing to commit and nothing after it may run alone: the
  // run ends, with the status asked for unless that was to commit.
  if (!connection.Alive() || !connection.InTransaction()) {
    ReportEndedTransaction(connection.Alive() ? "the database undid the whole transaction: "
                                                "the changes since the last COMMIT are undone"
                                              : EndedWithTheConnection(description),
                           steps, failed + 1);
    const bool as_asked = exits && on_error.pending != Pending::kCommitted;
    return as_asked ? on_error.ExitStatus(oracle_code) : 1;
  }
  if (on_error.pending == Pending::kCommitted) {
    if (!CommitPending(connection, committed, !exits)) return 1;
    if (exits) {
      std::fprintf(stderr,
                   "korvalis sql: stopped at the first error; the changes since the last "
                   "COMMIT are committed\n");
    }
  } else if (on_error.pending == Pending::kRolledBack) {
    try {
      connection.Execute("ROLLBACK");
    } catch (const db::DbError&) {
      // The connection ends with the run, which undoes what is pending all the same.
      if (!exits) return 1;
    }
    if (exits) {
      std::fprintf(stderr,
                   "korvalis sql: stopped at the first error; the changes since the last "
                   "COMMIT are rolled back\n");
    }
  }
  return exits ? on_error.ExitStatus(oracle_code) : -1;
}

// Runs the steps in one transaction, printing their rows; 0 when every step and the final
// commit succeed, else 1 (or the status WHENEVER SQLERROR EXIT names). Throws DbError when the
// transaction cannot begin.
int RunSteps(db::Connection& connection, const std::vector<ScriptStep>& steps,
             RunSettings settings) {
  int status = 0;
  CommittedChanges committed(steps.size() == 1 && steps[0].line == 0);
  connection.Begin(db::Connection::TransactionMode::kReading);
  for (size_t i = 0; i < steps.size(); ++i) {
    const ScriptStep& step = steps[i];
    switch (step.kind) {
      case ScriptStep::Kind::kOnError:
        settings.on_error = step.on_error;
        continue;
      case ScriptStep::Kind::kRefused: {
        // A line that is not run fails as a statement does: WHENEVER SQLERROR holds for it.
        status = 1;
        FlushStandardOutput();
        std::fprintf(stderr, "line %d: %s\n", step.line, EscapeControls(step.text).c_str());
        const int ended = AfterFailure(connection, settings.on_error, {}, steps, i, &committed);
        if (ended >= 0) return ended;
        continue;
      }
      case ScriptStep::Kind::kStatement:
        break;
    }
    SayAtSignal(step.line > 0 ? "korvalis sql: interrupted at line " + std::to_string(step.line) +
                                    ": the changes since the last COMMIT are undone"
                              : "korvalis sql: interrupted: the statement is undone");
    try {
      CheckNotEndedByServer(connection);
      // Rows print as the engine sends them: a query of any size is never held whole.
      std::unique_ptr<db::Rowset> rows = connection.ExecuteStreamed(step.text);
      const long long printed = PrintRows(*rows, settings.xml, stdout);
      if (settings.feedback && !settings.xml) PrintFeedback(step.text, *rows, printed);
      committed.Ran(step.text, *rows);
    } catch (const db::DbError& e) {
      status = 1;
      FlushStandardOutput();
      if (step.line > 0) std::fprintf(stderr, "line %d: ", step.line);
      std::fprintf(stderr, "%s\n", EscapeControls(e.what()).c_str());
      const int ended = AfterFailure(connection, settings.on_error, e.what(), steps, i, &committed);
      if (ended >= 0) return ended;
    }
  }
  FlushStandardOutput();
  return CommitPending(connection, &committed, false) ? status : 1;
}

// The initialisation string of telv.config.xml: the text of its one db/datasource element.
bool ReadConfiguredInitString(std::string* init, std::string* error) {
  ConfiguredDataSource source;
  if (!ReadConfiguredDataSource(&source, error)) {
    if (error->empty()) {
      *error =
          std::string(kNoDatabaseConfig) + "; name the database with --db FILE or --connect STRING";
    }
    return false;
  }
  if (source.encrypted) {
    *error =
        "the connection in telv.config.xml is encrypted; name the database with --db "
        "FILE, or a server's with --connect STRING";
    return false;
  }
  *init = std::move(source.text);
  return true;
}

// The steps of the run: the statement given, or the script of -f (without it, standard input).
// False, with the reason told, when the script cannot be read, or either is not UTF-8 or does not
// split into statements: nothing is run then.
bool ReadSteps(const ParsedOptions& options, std::vector<ScriptStep>* steps) {
  const bool have_sql = !options.operands.empty();
  const std::string script = options.Value("file").empty() ? "-" : options.Value("file");
  std::string sql = have_sql ? options.operands[0] : "";
  try {
    if (!have_sql) {
      std::string error;
      if (!ReadInputFile(script, "a script", &sql, &error)) {
        PrintError("sql: " + error);
        return false;
      }
    }
    // Text in another encoding would be stored as its bytes and read back as broken text ever
    // after: it is refused whole, before anything runs.
    if (const TextEncodingProblem problem = CheckUtf8Text(sql); !problem.empty()) {
      const std::string advice =
          have_sql ? "write it in a terminal set to UTF-8"
          : problem.conversion.empty()
              ? "a script is a text file of SQL statements"
              : "convert it to UTF-8 (" + problem.conversion + ") and run korvalis sql -f NEW";
      PrintError("sql: " + (have_sql ? "the statement" : InputName(script)) + " " + problem.what +
                     "; nothing was run",
                 advice);
      return false;
    }
    const std::string_view text = WithoutUtf8ByteOrderMark(sql);
    if (have_sql) {
      steps->push_back({ScriptStep::Kind::kStatement, std::string(text), 0});
    } else {
      *steps = ReadSqlScript(text);
      // An empty script is most often a conversion or a copy that failed: a run of nothing
      // would look like one that did its work.
      if (std::none_of(steps->begin(), steps->end(), [](const ScriptStep& step) {
            return step.kind != ScriptStep::Kind::kOnError;
          })) {
        PrintError("sql: " + InputName(script) + " holds no statement; nothing was run");
        return false;
      }
    }
  } catch (const db::DbError& e) {
    std::fprintf(stderr, "korvalis sql: %s; nothing was run\n", EscapeControls(e.what()).c_str());
    return false;
  }
  return true;
}

}  // namespace

int RunSql(const std::vector<std::string>& args) {
  ParsedOptions options;
  switch (ParseOptions("sql", args,
                       {{"db", 0, true},
                        {"connect", 0, true},
                        {"xml", 0, false},
                        {"file", 'f', true},
                        {"stop-on-error", 0, false},
                        {"no-feedback", 0, false}},
                       kUsage, &options)) {
    case OptionsOutcome::kRun:
      break;
    case OptionsOutcome::kHelpShown:
      return 0;
    case OptionsOutcome::kRefused:
      return 2;
  }
  const std::string& file = options.Value("db");
  const std::string& connect = options.Value("connect");
  RunSettings settings;
  settings.xml = options.Has("xml");
  settings.feedback = !options.Has("no-feedback");
  if (options.Has("stop-on-error")) settings.on_error = StopOnError();
  if ((options.Has("db") && options.Has("connect")) || options.operands.size() > 1 ||
      (options.Has("file") && !options.operands.empty())) {
    PrintError(options.Has("db") && options.Has("connect")
                   ? "name the database once: --db or --connect"
                   : "sql takes one statement or one script (-f): quote the statement");
    return 2;
  }
  std::string init;
  if (!file.empty()) {
    init = "Provider=SQLite;Data Source=" + file;
  } else if (!connect.empty()) {
    init = connect;
  } else {
    std::string error;
    if (!ReadConfiguredInitString(&init, &error)) {
      std::fprintf(stderr, "korvalis sql: %s\n", EscapeControls(error).c_str());
      return 2;
    }
  }
  // A script is read whole before anything runs; at a terminal, until Ctrl-D.
  constexpr char kNothingRun[] =
      "korvalis sql: interrupted before the first statement: nothing was run";
  const bool from_input =
      options.operands.empty() && (options.Value("file").empty() || options.Value("file") == "-");
  SayAtSignal(from_input ? "korvalis sql: interrupted while reading standard input: nothing was "
                           "run (at a terminal, Ctrl-D ends the input and runs it)"
                         : kNothingRun);
  std::vector<ScriptStep> steps;
  if (!ReadSteps(options, &steps)) return 1;
  SayAtSignal(kNothingRun);
  // A reader that stops reading (a pager, head) must not end the run before its commit.
  std::signal(SIGPIPE, SIG_IGN);
  int status = 1;
  try {
    std::unique_ptr<db::Connection> connection = db::OpenConnection(init);
    status = RunSteps(*connection, steps, settings);
  } catch (const db::DbError& e) {
    FlushStandardOutput();
    std::fprintf(stderr, "%s\n", EscapeControls(e.what()).c_str());
  }
  SayAtSignal("");
  LeaveDatabaseFileWhole(init);
  return status;
}

}  // namespace korvalis::tools
