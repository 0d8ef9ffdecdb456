// Test helper: runs a shell command line and collects what it printed and how it ended.
//
// Thread-safety: stateless; each call runs its own child process.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

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

// Starts the command `program` with `arguments` in `directory`, with a registry of that
// directory's own, its output going nowhere; no shell stands between, so that every signal has
// its default action there (a shell's background job ignores SIGINT and SIGQUIT) and none is
// blocked, and a signal that dumps core writes none. Standard error goes to `error_file` when
// one is named, and standard input comes from the descriptor `input` when one is given.
// Returns the child's process id.
inline pid_t StartCommand(const std::string& directory, const std::string& program,
                          std::vector<std::string> arguments, const std::string& error_file = "",
                          int input = -1) {
  arguments.insert(arguments.begin(), program);
  std::vector<char*> argv;
  for (std::string& word : arguments) argv.push_back(word.data());
  argv.push_back(nullptr);
  const std::string registry = "KORVALIS_REGISTRY=" + directory + "/registry";
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::putenv(const_cast<char*>(registry.c_str()));
    const rlimit no_core{0, 0};
    ::setrlimit(RLIMIT_CORE, &no_core);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
      if (signal_number != SIGKILL && signal_number != SIGSTOP) ::signal(signal_number, SIG_DFL);
    }
    const int nowhere = ::open("/dev/null", O_WRONLY);
    ::dup2(nowhere, 1);
    ::dup2(error_file.empty() ? nowhere
                              : ::open(error_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600),
           2);
    if (input >= 0) ::dup2(input, 0);
    if (::chdir(directory.c_str()) != 0) ::_exit(127);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  return pid;
}

}  // namespace korvalis::testing
