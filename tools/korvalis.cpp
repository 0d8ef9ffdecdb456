// The `korvalis` command: the client a newcomer uses to set up the embedded database,
// register the library and call the system's classes.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/command.h"

namespace korvalis::tools {
namespace {

const Command kCommands[] = {
    {"version", "print the version of the command", RunVersion},
    {"selfcheck", "check that the libraries the system needs load and work", RunSelfCheck},
    {"sql", "[--db FILE] [--xml] [SQL]: run Oracle SQL on the embedded database", RunSql},
    {"initdb", "[--sample] FILE: create a database with the schema (and the sample hospital)",
     RunInitDb},
    {"regsvr", "[-u] <library>: register a component library (-u: unregister it)", RunRegsvr},
    {"classes", "list every method of the registered classes", RunClasses},
    {"call",
     "<class> <method> [args...] [--out FILE] [-- <method> ...]...: call methods of one object of "
     "a registered class (@FILE passes a file's bytes)",
     RunCall},
};

void PrintUsage(FILE* out) {
  std::fprintf(out, "usage: korvalis <command> [arguments]\n\ncommands:\n");
  for (const Command& c : kCommands) std::fprintf(out, "  %-10s %s\n", c.name, c.usage);
}

}  // namespace
}  // namespace korvalis::tools

int main(int argc, char** argv) {
  using namespace korvalis::tools;
  if (argc < 2 || std::strcmp(argv[1], "help") == 0 || std::strcmp(argv[1], "--help") == 0) {
    PrintUsage(argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  std::vector<std::string> args(argv + 2, argv + argc);
  for (const Command& c : kCommands) {
    if (std::strcmp(argv[1], c.name) == 0) return c.run(args);
  }
  std::fprintf(stderr, "korvalis: unknown command '%s'\n", argv[1]);
  PrintUsage(stderr);
  return 2;
}
