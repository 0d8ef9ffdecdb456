// ProcessTable: the processes running on the machine, each with the path of its executable, as
// far as the watchdog needs them to tell whether a program runs. The process-wide instance
// reads /proc (ProcFsProcessTable) unless a host or a test installs another, the way the
// database clock is installed.
//
// ProcFsProcessTable lists every process (no cap on their number) with the target of
// /proc/<pid>/exe. A process whose executable cannot be read (another user's, a kernel thread,
// one that has just ended) is listed without a path. A program run by an interpreter (a
// script) shows the interpreter's path.
//
// Thread-safety: SetProcessTable and CurrentProcessTable may be called from any thread; an
// implementation must be safe to call from several threads at once.
#pragma once

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace korvalis::sys {

struct RunningProcess {
  pid_t pid = 0;
  // The executable's path; none when it cannot be read.
  std::optional<std::string> executable;
};

class ProcessTable {
 public:
  virtual ~ProcessTable() = default;
  // Every running process; none when the processes cannot be listed at all. Never throws
  // but std::bad_alloc.
  virtual std::optional<std::vector<RunningProcess>> Processes() = 0;
};

class ProcFsProcessTable : public ProcessTable {
 public:
  std::optional<std::vector<RunningProcess>> Processes() override;
};

// Installs `table` for the whole process; nullptr restores the machine's (/proc).
void SetProcessTable(std::shared_ptr<ProcessTable> table);

// The installed process table.
std::shared_ptr<ProcessTable> CurrentProcessTable();

}  // namespace korvalis::sys
