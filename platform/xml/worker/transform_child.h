// Transformations in a child of the transformation worker: the child is forked ahead of its
// transformation as a spare (spare_children.h), sets itself up and confines itself, receives the
// transformation's connection and order from the worker, reads the style sheet and the source
// from the connection, transforms and writes the page back. A child whose page went whole frees
// its documents and the processor's work, tells the worker it is free (kChildFree), gives back
// what its heap holds free once it has grown large, and waits for the next transformation, its
// bounds set afresh, up to a number of them; any other end ends the process, so that no child is
// taken again after a failure. Whatever the style sheet does, the child stays within its bounds,
// and either answers a kEnd or exits with a code that the worker reports (child_end.h). The
// kernel's limits are set by the worker from outside (LimitChild) before each transformation, and
// the child's filter refuses to change them or how SIGXCPU is handled:
//   - memory: the kernel's limit on its address space and the processor's counted budgets, one
//     for loading the documents (twice max_working_bytes) and one for the work; the first
//     allocation past a budget, and any allocation refused, ends it (kOutOfMemory), so that no
//     page built after a refusal is ever sent;
//   - processor time: the kernel's limit, SIGXCPU once the transformation has used its own on top
//     of what the child used before (the worker reports it as kProcessorTimeSpent); the host's own
//     deadline ends it sooner by shutting the connection down;
//   - the page: its length as UTF-16 units (kTooLarge);
//   - recursion: the work runs on the worker's main stack, which may grow to 256 MiB;
//   - what it may do: before it receives its transformation it enters its sandbox
//     (child_sandbox.h), and a call the filter forbids ends it (the worker reports
//     kForbiddenCall).
// The child inherits nothing of the host: the worker is a program of its own.
//
// Thread-safety: runs in a process of its own.
#pragma once

#include <sys/types.h>

#include "platform/xml/transform_protocol.h"
#include "platform/xml/worker/child_sandbox.h"

namespace korvalis::xml {

// The names a child goes by (its command name in /proc): a spare that waits for its
// transformation, and a child at work.
inline constexpr char kSpareChildName[] = "korvalis-spare";
inline constexpr char kWorkingChildName[] = "korvalis-transf";

// Sets up a spare child ahead of its transformation and confines it, waits on `spare` (its
// connection to the worker) for the kStart that brings the transformation's connection and
// order, runs the transformation, and again for each next kStart while its pages go whole; ends
// the process otherwise. With `write_ahead`, the spare first writes
// the memory a transformation writes first (the pages it shares with the worker, the next stretch
// of heap and stack), so that its transformation finds them its own: time spent while it waits,
// worth it only on processors that would otherwise be idle. Precondition: called in a child just
// forked by the worker `worker` on its main thread, the processor started, `sandbox` prepared.
// Sets the kernel's limits of the worker's child `child` for a transformation of `order`: its
// address space, and its processor time counted on from the `used_seconds` it has used. Returns 0
// or the errno of the failure. Precondition: called in the worker, before the child has the
// transformation.
int LimitChild(pid_t child, const TransformOrder& order, std::uint32_t used_seconds);

[[noreturn]] void RunSpareChild(int spare, pid_t worker, ChildSandbox& sandbox, bool write_ahead);

}  // namespace korvalis::xml
