// The `korvalis` command: the client a newcomer uses to set up the embedded database,
// register the library and call the system's classes.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/command.h"
#include "tools/command_line.h"
#include "tools/temporary_files.h"

namespace korvalis::tools {
namespace {

const Command kCommands[] = {
    {"version", "print the version of the command", RunVersion},
    {"selfcheck", "check that the libraries the system loads start and work", RunSelfCheck},
    {"sql", "run Oracle SQL (an argument, a script file or standard input) on the database",
     RunSql},
    {"initdb", "create a database with the schema (and the sample hospital)", RunInitDb},
    {"regsvr", "register a component library (-u: unregister it)", RunRegsvr},
    {"classes", "list the methods of the registered classes with their parameters", RunClasses},
    {"call", "call methods of one object of a registered class", RunCall},
};

void PrintUsage(FILE* out) {
  std::fprintf(out,
               "usage: korvalis COMMAND [ARGUMENTS]\n"
               "       korvalis COMMAND --help    what one command takes\n"
               "       korvalis --version\n\ncommands:\n");
  for (const Command& c : kCommands) std::fprintf(out, "  %-10s %s\n", c.name, c.usage);
}

int RunNamedCommand(int argc, char** argv) {
  const std::string name = argc < 2 ? "" : argv[1];
  if (name == "help" || name == "--help" || name == "-h") {
    PrintUsage(stdout);
    return 0;
  }
  std::vector<std::string> args(argv + std::min(argc, 2), argv + argc);
  if (name == "--version") return RunVersion(args);
  if (name.empty()) {
    PrintUsage(stderr);
    return 2;
  }
  std::vector<std::string> names;
  for (const Command& c : kCommands) {
    if (name == c.name) return c.run(args);
    names.push_back(c.name);
  }
  PrintError("unknown command '" + name + "'" + DidYouMean(name, names) +
             " (korvalis --help lists them)");
  return 2;
}

// What the command printed and could not write (a full disk, a reader gone) is an answer lost:
// the command says so and fails, as a write of --out does, and says what it did all the same
// (a commit, a database made), so that the work is not done again.
int FinishStandardOutput(int status) {
  const std::string failure = StandardOutputFailure();
  if (failure.empty()) return status;
  if (WorkDone().empty()) {
    PrintError("cannot write standard output: " + failure);
  } else {
    PrintError(WorkDone() + "; its output could not be written: " + failure);
  }
  return status == 0 ? 1 : status;
}

}  // namespace
}  // namespace korvalis::tools

int main(int argc, char** argv) {
  using namespace korvalis::tools;
  CancelStatementsAtSignal();
  return FinishStandardOutput(RunNamedCommand(argc, argv));
}
