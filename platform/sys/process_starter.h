// ProcessStarter: starts a program in the background, as the watchdog starts the programs it
// keeps running. The process-wide instance is SpawnProcessStarter unless a host or a test
// installs another, the way the database clock is installed.
//
// SpawnProcessStarter starts the argument vector as spawn.h does (never a shell; the host's
// environment and current directory; standard input, output and error on /dev/null; no other
// descriptor of the host) in a session of its own, detached from the host's terminal, and
// reaps the child when it ends: a thread of its own waits for that one child only, so the
// host's other children and its signal handling are left alone and nothing remains of a
// start once the program has ended.
//
// Thread-safety: SetProcessStarter and CurrentProcessStarter may be called from any thread;
// an implementation must be safe to call from several threads at once.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

namespace korvalis::sys {

struct StartedProgram {
  // 0 when the program was started, else the errno of the failure.
  int error = 0;
  // The new process, when it was started.
  pid_t pid = 0;
};

class ProcessStarter {
 public:
  virtual ~ProcessStarter() = default;
  // Starts argv[0] (an absolute path) with the arguments argv and returns at once. Never
  // throws.
  virtual StartedProgram Start(const std::vector<std::string>& argv) = 0;
};

class SpawnProcessStarter : public ProcessStarter {
 public:
  StartedProgram Start(const std::vector<std::string>& argv) override;
};

// Reaps the child `pid` when it ends, on a thread that waits for that child only (a host that
// reaps every child itself may take it first). Without memory for a thread, it is reaped by a
// later start. Precondition: `pid` is a child of this process that nothing else waits for.
void ReapWhenEnded(pid_t pid) noexcept;

// Installs `starter` for the whole process; nullptr restores SpawnProcessStarter.
void SetProcessStarter(std::shared_ptr<ProcessStarter> starter);

// The installed process starter.
std::shared_ptr<ProcessStarter> CurrentProcessStarter();

}  // namespace korvalis::sys
