#include "platform/sys/process_table.h"

#include <dirent.h>
#include <limits.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/sys/installed_instance.h"

namespace korvalis::sys {
namespace {

// The process id a /proc entry names, or 0 for any other entry.
pid_t ProcessIdOf(const char* name) {
  if (*name < '1' || *name > '9') return 0;
  char* end = nullptr;
  const long pid = std::strtol(name, &end, 10);
  return *end == '\0' && pid > 0 && pid <= INT_MAX ? static_cast<pid_t>(pid) : 0;
}

std::optional<std::string> ExecutableOf(pid_t pid) {
  const std::string link = "/proc/" + std::to_string(pid) + "/exe";
  char target[PATH_MAX];
  const ssize_t length = ::readlink(link.c_str(), target, sizeof target);
  if (length <= 0 || static_cast<std::size_t>(length) >= sizeof target) return std::nullopt;
  return std::string(target, static_cast<std::size_t>(length));
}

struct DirectoryCloser {
  void operator()(DIR* directory) const { ::closedir(directory); }
};

constinit InstalledInstance<ProcessTable, ProcFsProcessTable> installed_table;

}  // namespace

std::optional<std::vector<RunningProcess>> ProcFsProcessTable::Processes() {
  const std::unique_ptr<DIR, DirectoryCloser> proc(::opendir("/proc"));
  if (proc == nullptr) return std::nullopt;
  std::vector<RunningProcess> processes;
  while (const dirent* entry = ::readdir(proc.get())) {
    if (const pid_t pid = ProcessIdOf(entry->d_name)) {
      processes.push_back({pid, ExecutableOf(pid)});
    }
  }
  return processes;
}

void SetProcessTable(std::shared_ptr<ProcessTable> table) {
  installed_table.Install(std::move(table));
}

std::shared_ptr<ProcessTable> CurrentProcessTable() { return installed_table.Current(); }

}  // namespace korvalis::sys
