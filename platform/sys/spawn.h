// Starting a program from an argument vector, the one way this system runs another program:
// posix_spawn of the executable named by the first word, never a shell and never a search of
// PATH. The child gets the host's environment (or one the caller gives) and current directory,
// standard input, output and error on /dev/null or on descriptors the caller names, no other
// descriptor of the host, an empty signal mask and the default action for every signal (a host
// that ignores SIGPIPE does not hand that on), and optionally a session of its own, which
// detaches it from the host's terminal.
//
// The caller owns the child: it must wait for it (or hand it to ReapWhenEnded, process_starter.h).
//
// Thread-safety: thread-safe; the descriptors of other threads are not inherited either.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace korvalis::sys {

struct SpawnOptions {
  // The descriptor that becomes the child's standard input; -1 for /dev/null.
  // Precondition: -1 or at least 3.
  int standard_input = -1;
  // The descriptor that becomes the child's standard output; -1 for /dev/null.
  // Precondition: -1, 2 (the host's standard error), or at least 3.
  int standard_output = -1;
  // The descriptor that becomes the child's standard error; -1 for /dev/null.
  // Precondition: -1 or at least 3.
  int standard_error = -1;
  // The program to run, opened (O_PATH will do) by the caller; -1 to run the file that argv[0]
  // names. An open program runs even after its file was replaced or removed (an upgrade): the
  // child finds it at descriptor 3, which its program may close.
  int program = -1;
  // The child leads a new session (setsid), without a controlling terminal.
  bool new_session = false;
  // The child's environment, entries "NAME=value"; null for the host's own.
  const std::vector<std::string>* environment = nullptr;
};

// Starts argv[0] with the arguments argv. Returns 0 and stores the child's process id in
// *pid, or returns the errno of the failure (an empty vector or a word holding a zero
// character gives EINVAL; an executable that cannot be run gives exec's error).
int SpawnProcess(const std::vector<std::string>& argv, const SpawnOptions& options, pid_t* pid);

}  // namespace korvalis::sys
