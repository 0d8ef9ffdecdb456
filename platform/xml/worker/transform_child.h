// One transformation in a child of the transformation worker: the child reads the style sheet
// and the source from its connection, transforms, writes the page back and ends. Whatever the
// style sheet does, the child stays within its bounds, and either answers a kEnd or exits with a
// code that the worker reports (child_end.h):
//   - memory: the kernel's limit on its address space and the processor's counted budgets, one
//     for loading the documents (twice max_working_bytes) and one for the work; the first
//     allocation past a budget, and any allocation refused, ends it (kOutOfMemory), so that no
//     page built after a refusal is ever sent;
//   - processor time: the kernel's limit (the worker reports it as kProcessorTimeSpent); the
//     host's own deadline ends it sooner by shutting the connection down;
//   - the page: its length as UTF-16 units (kTooLarge);
//   - recursion: the work runs on the worker's main stack, which may grow to 256 MiB;
//   - what it may do: before it reads a caller's text it enters its sandbox (child_sandbox.h),
//     and a call the filter forbids ends it (the worker reports kForbiddenCall).
// The child inherits nothing of the host: the worker is a program of its own.
//
// Thread-safety: runs in a process of its own.
#pragma once

#include <sys/types.h>

#include "platform/xml/transform_protocol.h"

namespace korvalis::xml {

// Runs the transformation `order` whose connection is `connection` and ends the process.
// Precondition: called in a child just forked by the worker `worker` on its main thread, the
// processor started.
[[noreturn]] void RunTransformationChild(int connection, pid_t worker, const TransformOrder& order);

}  // namespace korvalis::xml
