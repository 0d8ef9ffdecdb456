// CommandRunner: runs a program to its end and hands back what it printed, for the few system
// tools this system asks (the service manager's command line). SpawnCommandRunner is the real
// one: the program is started as spawn.h starts every program, its standard output is read
// through a pipe, and a program that has not ended when the time-out passes is killed.
//
// Thread-safety: implementations are safe to call from several threads at once.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace korvalis::sys {

struct CommandResult {
  // The program ran and exited by itself (not killed, not stopped by a signal).
  bool exited = false;
  // Its exit status, when it exited.
  int exit_status = -1;
  // What it wrote to standard output (at most the first 64 KiB).
  std::string output;
};

class CommandRunner {
 public:
  virtual ~CommandRunner() = default;
  // Runs argv (argv[0] an absolute path) and waits at most `timeout` for its end.
  virtual CommandResult Run(const std::vector<std::string>& argv,
                            std::chrono::milliseconds timeout) = 0;
};

class SpawnCommandRunner : public CommandRunner {
 public:
  // A program that cannot be started, or is killed at the time-out, answers exited = false.
  // The program is always waited for before Run returns.
  CommandResult Run(const std::vector<std::string>& argv,
                    std::chrono::milliseconds timeout) override;
};

}  // namespace korvalis::sys
