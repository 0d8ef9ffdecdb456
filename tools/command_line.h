// What every `korvalis` subcommand shares in talking to the person at the command line: its
// options read by getopt_long (with -h/--help on every subcommand), errors written after
// whatever was printed before them, and the near name of a mistyped one.
//
// Thread-safety: main thread only (getopt_long keeps global state).
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace korvalis::tools {

// One option of a subcommand: "--name" (and "-x" when `short_name` is set), with a value when
// `takes_value`.
struct OptionSpec {
  const char* name;
  char short_name;
  bool takes_value;
};

struct ParsedOptions {
  std::map<std::string, std::string> values;  // by long name; "" for an option without value
  std::vector<std::string> operands;          // the other words, in order

  bool Has(const std::string& name) const { return values.count(name) != 0; }
  const std::string& Value(const std::string& name) const;  // "" when absent
};

// What ParseOptions decided.
enum class OptionsOutcome {
  kRun,       // *parsed holds the options and operands
  kHelpShown, // -h or --help: the usage went to standard output; the subcommand exits with 0
  kRefused,   // an unknown or incomplete option was named on standard error; exit with 2
};

// Reads `args` (the words after the subcommand's name) by getopt_long. Options may stand among
// the operands, and "--" ends them; with `options_first`, the first operand ends them instead
// (the words after it belong to what the subcommand runs). `usage` is the subcommand's help
// text, printed whole for --help and as its first line after a refusal.
OptionsOutcome ParseOptions(const char* command, const std::vector<std::string>& args,
                            const std::vector<OptionSpec>& options, const char* usage,
                            ParsedOptions* parsed, bool options_first = false);

// Flushes standard output. The reason of the first write that failed is kept, for the check at
// the command's end.
void FlushStandardOutput();

// Flushes standard output a last time: "" when everything printed was written, else the reason
// it was not ("No space left on device").
std::string StandardOutputFailure();

// Notes what the run did that stays done whatever follows (a commit, a database made), said
// when its output is lost: "<what>; its output could not be written". The last note holds.
void NoteWorkDone(std::string what);
// What NoteWorkDone noted last, or "".
const std::string& WorkDone();

// Writes "korvalis: <message>" and a line feed to standard error after flushing standard
// output, so that a message follows what was printed before it in a shared log. The message
// may carry a caller's values: its control characters are escaped (platform/text/
// control_escape.h), so it stays one line and never drives the terminal. `hint`, the command's
// own text of any lines, follows on the next line as it is.
void PrintError(std::string_view message, std::string_view hint = {});

// The name among `candidates` nearest to `word` (ignoring letter case, at most a third of its
// letters wrong), or "" when none is near.
std::string NearestName(std::string_view word, const std::vector<std::string>& candidates);

// "; did you mean NAME?" for the nearest name, or "".
std::string DidYouMean(std::string_view word, const std::vector<std::string>& candidates);

}  // namespace korvalis::tools
