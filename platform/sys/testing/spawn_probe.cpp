// A small program the tests start through the real process starter. It writes what it was given
// into the file named by its first argument, then sleeps for the milliseconds of its second
// argument and exits:
//
//   session <sid> process <pid>
//   fd <n> <target>          (one line per open descriptor)
//   sigpipe <default|ignored|handled>
//   blocked <count of blocked signals>
//   argument <text>          (one line per further argument)
#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  // Descriptors are read before the report file is opened, so that it is not among them.
  std::vector<std::string> descriptors;
  if (DIR* fds = ::opendir("/proc/self/fd")) {
    const int own = ::dirfd(fds);
    while (const dirent* entry = ::readdir(fds)) {
      if (entry->d_name[0] == '.' || std::atoi(entry->d_name) == own) continue;
      char target[4096];
      const std::string link = std::string("/proc/self/fd/") + entry->d_name;
      const ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
      descriptors.push_back(std::string("fd ") + entry->d_name + " " +
                            std::string(target, length < 0 ? 0 : length));
    }
    ::closedir(fds);
  }
  struct sigaction pipe_action {};
  ::sigaction(SIGPIPE, nullptr, &pipe_action);
  sigset_t blocked;
  ::sigprocmask(SIG_BLOCK, nullptr, &blocked);
  int blocked_count = 0;
  for (int signal = 1; signal < 32; ++signal) blocked_count += ::sigismember(&blocked, signal);

  {
    std::ofstream report(std::string(argv[1]) + ".part");
    report << "session " << ::getsid(0) << " process " << ::getpid() << "\n";
    for (const std::string& line : descriptors) report << line << "\n";
    report << "sigpipe "
           << (pipe_action.sa_handler == SIG_DFL   ? "default"
               : pipe_action.sa_handler == SIG_IGN ? "ignored"
                                                   : "handled")
           << "\n";
    report << "blocked " << blocked_count << "\n";
    for (int i = 3; i < argc; ++i) report << "argument " << argv[i] << "\n";
  }
  // The report appears whole.
  std::rename((std::string(argv[1]) + ".part").c_str(), argv[1]);
  std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[2])));
  return 0;
}
