#include "platform/sys/process_starter.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "db/testing/temp_directory.h"
#include "platform/sys/command_runner.h"
#include "platform/sys/process_table.h"

namespace korvalis::sys {
namespace {

using namespace std::chrono_literals;

// Waits up to ten seconds for `done`; answers whether it came true.
template <class Condition>
bool Eventually(Condition done) {
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

std::vector<std::string> Lines(const std::string& path) {
  std::ifstream file(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  return lines;
}

std::optional<RunningProcess> Find(pid_t pid) {
  const std::optional<std::vector<RunningProcess>> processes = ProcFsProcessTable().Processes();
  if (!processes.has_value()) return std::nullopt;
  for (const RunningProcess& process : *processes) {
    if (process.pid == pid) return process;
  }
  return std::nullopt;
}

// While it lives, the calling thread blocks SIGUSR1 and the process ignores SIGPIPE, as a
// server host may; and two descriptors are open without close-on-exec.
class HostState {
 public:
  HostState() {
    sigset_t usr1;
    ::sigemptyset(&usr1);
    ::sigaddset(&usr1, SIGUSR1);
    ::pthread_sigmask(SIG_BLOCK, &usr1, &old_mask_);
    old_pipe_ = ::signal(SIGPIPE, SIG_IGN);
    leaked_file_ = ::open("/dev/null", O_RDONLY);
    ::pipe(leaked_pipe_);
  }
  ~HostState() {
    ::pthread_sigmask(SIG_SETMASK, &old_mask_, nullptr);
    ::signal(SIGPIPE, old_pipe_);
    ::close(leaked_file_);
    ::close(leaked_pipe_[0]);
    ::close(leaked_pipe_[1]);
  }

 private:
  sigset_t old_mask_;
  sighandler_t old_pipe_;
  int leaked_file_ = -1;
  int leaked_pipe_[2] = {-1, -1};
};

TEST(ProcessStarter, StartsADetachedChildFindsItRunningAndReapsItWhenItEnds) {
  korvalis::testing::TempDirectory directory("korvalis-starter");
  const std::string report = directory.path() + "/report";
  StartedProgram started;
  {
    HostState host;
    started = SpawnProcessStarter().Start(
        {KORVALIS_SPAWN_PROBE, report, "500", "a b", "$HOME", "*", "|", "; reboot"});
  }
  ASSERT_EQ(started.error, 0);
  ASSERT_GT(started.pid, 0);

  // Running: listed with its executable's path.
  const std::optional<RunningProcess> running = Find(started.pid);
  ASSERT_TRUE(running.has_value());
  EXPECT_EQ(running->executable, std::filesystem::canonical(KORVALIS_SPAWN_PROBE).string());

  ASSERT_TRUE(Eventually([&] { return std::filesystem::exists(report); }));
  const std::string pid = std::to_string(started.pid);
  EXPECT_EQ(Lines(report), (std::vector<std::string>{
                               "session " + pid + " process " + pid,
                               "fd 0 /dev/null",
                               "fd 1 /dev/null",
                               "fd 2 /dev/null",
                               "sigpipe default",
                               "blocked 0",
                               "argument a b",
                               "argument $HOME",
                               "argument *",
                               "argument |",
                               "argument ; reboot",
                           }));

  // Ended: reaped, so no zombie remains and the table no longer lists it.
  EXPECT_TRUE(Eventually([&] { return ::kill(started.pid, 0) != 0 && errno == ESRCH; }));
  EXPECT_FALSE(Find(started.pid).has_value());
}

TEST(ProcessStarter, AProgramThatCannotRunIsReportedWithItsError) {
  korvalis::testing::TempDirectory directory("korvalis-starter");
  const std::string plain_file = directory.path() + "/not-executable";
  std::ofstream(plain_file) << "#!/bin/sh\n";
  SpawnProcessStarter starter;
  EXPECT_EQ(starter.Start({directory.path() + "/missing"}).error, ENOENT);
  EXPECT_EQ(starter.Start({plain_file}).error, EACCES);
  EXPECT_EQ(starter.Start({directory.path()}).error, EACCES);
  EXPECT_EQ(starter.Start({}).error, EINVAL);
  EXPECT_EQ(starter.Start({std::string("/bin/true\0x", 11)}).error, EINVAL);
}

TEST(ProcessTable, ListsThisProcessWithItsExecutable) {
  const std::optional<RunningProcess> self = Find(::getpid());
  ASSERT_TRUE(self.has_value());
  EXPECT_EQ(self->executable, std::filesystem::read_symlink("/proc/self/exe").string());
}

TEST(CommandRunner, HandsBackTheOutputAndExitStatus) {
  SpawnCommandRunner runner;
  const CommandResult result = runner.Run(
      {"/bin/sh", "-c", "echo out; echo err >&2; read line; echo \"[$line]\"; exit 3"}, 10s);
  EXPECT_TRUE(result.exited);
  EXPECT_EQ(result.exit_status, 3);
  EXPECT_EQ(result.output, "out\n[]\n");
}

TEST(CommandRunner, AProgramThatDoesNotEndInTimeIsKilled) {
  SpawnCommandRunner runner;
  const CommandResult slow = runner.Run({"/bin/sh", "-c", "echo started; exec sleep 30"}, 200ms);
  EXPECT_FALSE(slow.exited);
  EXPECT_EQ(slow.output, "started\n");
  EXPECT_FALSE(runner.Run({"/nonexistent/systemctl"}, 1s).exited);
}

}  // namespace
}  // namespace korvalis::sys
