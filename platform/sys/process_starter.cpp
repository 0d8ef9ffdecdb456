#include "platform/sys/process_starter.h"

#include <sys/wait.h>

#include <cerrno>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/sys/installed_instance.h"
#include "platform/sys/spawn.h"

namespace korvalis::sys {
namespace {

// Children whose waiting thread could not be started: they are reaped without waiting by the
// next start instead. Never destroyed, so that no exit-time destructor races a start.
class UnwaitedChildren {
 public:
  static UnwaitedChildren& Instance() {
    static UnwaitedChildren* children = new UnwaitedChildren;
    return *children;
  }
  void Add(pid_t pid) {
    std::lock_guard lock(mutex_);
    pids_.push_back(pid);
  }
  // Reaps those that have ended; forgets those that are no longer this process's children.
  void Sweep() {
    std::lock_guard lock(mutex_);
    std::erase_if(pids_, [](pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) != 0; });
  }

 private:
  std::mutex mutex_;
  std::vector<pid_t> pids_;
};

void WaitForChild(pid_t pid) {
  while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
  }
}

constinit InstalledInstance<ProcessStarter, SpawnProcessStarter> installed_starter;

}  // namespace

void ReapWhenEnded(pid_t pid) noexcept {
  try {
    std::thread(WaitForChild, pid).detach();
  } catch (const std::system_error&) {
    try {
      UnwaitedChildren::Instance().Add(pid);
    } catch (const std::bad_alloc&) {
    }
  }
}

StartedProgram SpawnProcessStarter::Start(const std::vector<std::string>& argv) {
  StartedProgram started;
  try {
    UnwaitedChildren::Instance().Sweep();
    started.error = SpawnProcess(argv, {.standard_output = -1, .new_session = true}, &started.pid);
  } catch (const std::bad_alloc&) {
    return {ENOMEM, 0};
  }
  if (started.error == 0) ReapWhenEnded(started.pid);
  return started;
}

void SetProcessStarter(std::shared_ptr<ProcessStarter> starter) {
  installed_starter.Install(std::move(starter));
}

std::shared_ptr<ProcessStarter> CurrentProcessStarter() { return installed_starter.Current(); }

}  // namespace korvalis::sys
