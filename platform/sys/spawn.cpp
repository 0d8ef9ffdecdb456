#include "platform/sys/spawn.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>

#include <cerrno>

extern char** environ;

namespace korvalis::sys {
namespace {

// Where the child finds a program the caller opened, and the path that runs it.
constexpr int kProgramDescriptor = 3;
constexpr char kProgramPath[] = "/proc/self/fd/3";

// The file actions and attributes of one spawn, released when it ends.
class SpawnSetup {
 public:
  SpawnSetup() {
    actions_ok_ = ::posix_spawn_file_actions_init(&actions_) == 0;
    attributes_ok_ = ::posix_spawnattr_init(&attributes_) == 0;
  }
  ~SpawnSetup() {
    if (actions_ok_) ::posix_spawn_file_actions_destroy(&actions_);
    if (attributes_ok_) ::posix_spawnattr_destroy(&attributes_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  // 0 or the errno of the first step that failed.
  int Prepare(const SpawnOptions& options) {
    if (!actions_ok_ || !attributes_ok_) return ENOMEM;
    // The named descriptors first: /dev/null is opened after they have been placed.
    int error = options.standard_output >= 0
                    ? ::posix_spawn_file_actions_adddup2(&actions_, options.standard_output, 1)
                    : 0;
    if (error == 0 && options.standard_input >= 0) {
      error = ::posix_spawn_file_actions_adddup2(&actions_, options.standard_input, 0);
    }
    if (error == 0 && options.standard_output < 0) {
      error = ::posix_spawn_file_actions_addopen(&actions_, 1, "/dev/null", O_WRONLY, 0);
    }
    if (error == 0 && options.standard_input < 0) {
      error = ::posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDONLY, 0);
    }
    if (error == 0) {
      error = options.standard_error >= 0
                  ? ::posix_spawn_file_actions_adddup2(&actions_, options.standard_error, 2)
                  : ::posix_spawn_file_actions_addopen(&actions_, 2, "/dev/null", O_WRONLY, 0);
    }
    int first_closed = 3;
    if (error == 0 && options.program >= 0) {
      error = ::posix_spawn_file_actions_adddup2(&actions_, options.program, kProgramDescriptor);
      first_closed = kProgramDescriptor + 1;
    }
    if (error == 0) error = ::posix_spawn_file_actions_addclosefrom_np(&actions_, first_closed);
    if (error != 0) return error;

    sigset_t signals;
    ::sigemptyset(&signals);
    error = ::posix_spawnattr_setsigmask(&attributes_, &signals);
    ::sigfillset(&signals);
    ::sigdelset(&signals, SIGKILL);
    ::sigdelset(&signals, SIGSTOP);
    if (error == 0) error = ::posix_spawnattr_setsigdefault(&attributes_, &signals);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (options.new_session) flags |= POSIX_SPAWN_SETSID;
    if (error == 0) error = ::posix_spawnattr_setflags(&attributes_, flags);
    return error;
  }

  const posix_spawn_file_actions_t* actions() const { return &actions_; }
  const posix_spawnattr_t* attributes() const { return &attributes_; }

 private:
  posix_spawn_file_actions_t actions_;
  posix_spawnattr_t attributes_;
  bool actions_ok_ = false;
  bool attributes_ok_ = false;
};

}  // namespace

int SpawnProcess(const std::vector<std::string>& argv, const SpawnOptions& options, pid_t* pid) {
  if (argv.empty()) return EINVAL;
  std::vector<char*> words;
  words.reserve(argv.size() + 1);
  for (const std::string& word : argv) {
    if (word.find('\0') != std::string::npos) return EINVAL;
    words.push_back(const_cast<char*>(word.c_str()));
  }
  words.push_back(nullptr);

  std::vector<char*> entries;
  if (options.environment != nullptr) {
    entries.reserve(options.environment->size() + 1);
    for (const std::string& entry : *options.environment) {
      if (entry.find('\0') != std::string::npos) return EINVAL;
      entries.push_back(const_cast<char*>(entry.c_str()));
    }
    entries.push_back(nullptr);
  }

  SpawnSetup setup;
  if (const int error = setup.Prepare(options); error != 0) return error;
  pid_t child = 0;
  const char* path = options.program >= 0 ? kProgramPath : words[0];
  const int error = ::posix_spawn(&child, path, setup.actions(), setup.attributes(), words.data(),
                                  options.environment != nullptr ? entries.data() : environ);
  if (error == 0 && pid != nullptr) *pid = child;
  return error;
}

}  // namespace korvalis::sys
