// Test helper: runs a shell command line and collects what it printed and how it ended.
//
// Thread-safety: stateless; each call runs its own child process.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace korvalis::testing {

struct Outcome {
  int status;       // the exit status; -1 when the command did not exit normally
  std::string out;  // standard output, then the error file's content when one was named
};

// Runs `command` with the shell. When `error_file` is named, the command line is expected to
// send its standard error there, and that file's content follows the standard output.
inline Outcome RunCommand(const std::string& command, const std::string& error_file = "") {
  Outcome outcome{-1, ""};
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return outcome;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) outcome.out.append(buffer, n);
  const int status = ::pclose(pipe);
  outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (!error_file.empty()) {
    std::ifstream error(error_file, std::ios::binary);
    outcome.out.append(std::istreambuf_iterator<char>(error), std::istreambuf_iterator<char>());
  }
  return outcome;
}

// Runs the command `program` with `arguments` in `directory`, with a registry of that directory's
// own; standard error follows standard output.
inline Outcome RunCommandIn(const std::string& directory, const std::string& program,
                            const std::string& arguments) {
  const std::string err = directory + "/stderr.txt";
  return RunCommand("cd '" + directory + "' && KORVALIS_REGISTRY='" + directory + "/registry' " +
                        program + " " + arguments + " 2> '" + err + "'",
                    err);
}

}  // namespace korvalis::testing
