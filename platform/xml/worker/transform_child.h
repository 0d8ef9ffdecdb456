// One transformation in a child of the transformation worker: the child reads its order, the
// style sheet and the source from its connection, transforms, writes the page back and ends.
// Whatever the style sheet does, the child stays within its bounds and answers a kEnd:
//   - memory: the kernel's limit on its address space and the processor's counted budgets, one
//     for loading the documents (twice max_working_bytes) and one for the work; the first
//     allocation past a budget, and any allocation refused, ends it (kMemorySpent), so that no
//     page built after a refusal is ever sent;
//   - processor time: the kernel's limit (the worker reports it as kTimedOut); the host's own
//     deadline ends it sooner by closing the connection;
//   - the page: its length as UTF-16 units (kPageTooLarge);
//   - recursion: the work runs on the stack of the worker's thread that forked it (256 MiB).
// The child inherits nothing of the host: the worker is a program of its own.
//
// Thread-safety: runs in a process of its own.
#pragma once

#include <sys/types.h>

namespace korvalis::xml {

// Runs the transformation whose connection is `connection` and ends the process. Precondition:
// called in a child just forked by the worker `worker`, the processor started, on a stack of
// 256 MiB.
[[noreturn]] void RunTransformationChild(int connection, pid_t worker);

}  // namespace korvalis::xml
