// The confinement of a transformation's child: once it is entered, the process keeps what it has
// (its memory, its descriptors) and can do little more than compute, allocate and talk on the
// descriptors it holds, whatever a style sheet makes the processor do.
//   - no new privileges: no exec could gain any (set-user-id programs, file capabilities);
//   - no capability: the effective, permitted, inheritable and ambient sets are emptied, and the
//     bounding set too where the process may change it;
//   - a system call filter (libseccomp) that allows only what a transformation needs: reading
//     and writing its descriptors (the connection, standard error for faults), memory (never
//     executable), its signals (never how SIGXCPU is handled), its own name, time, reading its
//     limits (never changing them: the worker sets them from outside), and its end. Opening,
//     probing or reading a link by name fails with EACCES, so that a library that looks for a file
//     it may go without (a locale for xsl:sort's lang, a character set's module) carries on as
//     without it; any other call ends the process at once with SIGSYS, which the worker reports as
//     a forbidden call: no exec, no fork, no socket, no ptrace, no signal to another process.
//
// The filter is built once, in the worker, with a stand-in for the process id that the rules on
// signals compare with; each child writes its own id in and loads it, which costs one system
// call and no allocation.
//
//   ChildSandbox sandbox;                        // in the worker
//   if (std::string failure = sandbox.Prepare(); ...)  // builds the filter
//   ... fork ...
//   sandbox.Enter();                             // in the child
//
// Thread-safety: Prepare once on one thread; Enter in a process of one thread, which it confines
// for good.
#pragma once

#include <linux/filter.h>

#include <string>
#include <vector>

namespace korvalis::xml {

// Empties every capability set, the bounding set first while the process may still change it.
// Returns 0 or the errno of the step that failed. The worker drops its own at its start, so that
// its children hold none from the first.
int DropCapabilities();

class ChildSandbox {
 public:
  // Builds the filter. Returns what failed, naming a system call the system refuses; empty once
  // it is built.
  std::string Prepare();
  // Confines the calling process. Returns 0, or the errno of the step that failed (the process is
  // then partly confined and must run nothing of a caller's). Allocates nothing. Precondition:
  // Prepare succeeded.
  int Enter();

 private:
  std::vector<sock_filter> program_;
  std::vector<std::size_t> process_ids_;  // the instructions that compare with the process id
};

}  // namespace korvalis::xml
