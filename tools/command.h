// The subcommands of the `korvalis` command. Each subcommand lives in its own file and is
// listed once in the table of korvalis.cpp.
//
// Thread-safety: subcommands run on the main thread only.
#pragma once

#include <string>
#include <vector>

namespace korvalis::tools {

// A subcommand receives the arguments after its name and returns the process exit status.
using CommandMain = int (*)(const std::vector<std::string>& args);

struct Command {
  const char* name;
  const char* usage;  // one line: arguments and what the subcommand does
  CommandMain run;
};

int RunVersion(const std::vector<std::string>& args);
int RunSelfCheck(const std::vector<std::string>& args);
int RunSql(const std::vector<std::string>& args);
int RunInitDb(const std::vector<std::string>& args);
int RunRegsvr(const std::vector<std::string>& args);
int RunCall(const std::vector<std::string>& args);
int RunClasses(const std::vector<std::string>& args);

}  // namespace korvalis::tools
