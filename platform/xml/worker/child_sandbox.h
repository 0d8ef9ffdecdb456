// The confinement of a transformation's child: once it is entered, the process keeps what it has
// (its memory, its descriptors) and can do little more than compute, allocate and talk on the
// descriptors it holds, whatever a style sheet makes the processor do.
//   - no new privileges: no exec could gain any (set-user-id programs, file capabilities);
//   - no capability: the effective, permitted, inheritable and ambient sets are emptied, and the
//     bounding set too where the process may change it;
//   - a system call filter (libseccomp) that allows only what a transformation needs: reading
//     and writing its descriptors (the connection, standard error for faults), memory (never
//     executable), its signals and its own limits, time, and its end. Opening, probing or
//     reading a link by name fails with EACCES, so that a library that looks for a file it may
//     go without (a locale for xsl:sort's lang, a character set's module) carries on as without
//     it; any other call ends the process at once with SIGSYS, which the worker reports as a
//     forbidden call: no exec, no fork, no socket, no ptrace, no signal to another process.
//
// Thread-safety: EnterChildSandbox runs in a process of one thread, which it confines for good.
#pragma once

namespace korvalis::xml {

// Confines the calling process. Returns 0, or the errno of the step that failed (the process is
// then partly confined and must run nothing of a caller's). Allocates while it builds the filter.
int EnterChildSandbox();

}  // namespace korvalis::xml
