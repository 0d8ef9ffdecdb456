// Work done in a child process under the operating system's limits: the calling process forks
// (no exec: the child works on a copy-on-write image of the caller's memory, documents already
// parsed included), the child runs the work on a stack of its own within an address space and a
// CPU time bounded by the kernel, and its output comes back through a pipe that the caller reads
// with a deadline. Whatever the work does (allocate without end, compute without end, crash),
// only the child pays: the caller gets an outcome.
//
//   caller                                          child
//   ──────                                          ─────
//   pipe, shared end page, fork ──────────────────▶ default signals, no descriptor but the
//   │                                               pipe, RLIMIT_AS and RLIMIT_CPU, own stack
//   read output ◀──────────── pipe ─────────────── work(channel): Write ... Write
//   │  end of file ─────────▶ reap ─▶ kFinished    Finish(status): the status on the end page,
//   │                              or kDied          _exit (no destructor, no atexit handler)
//   │  deadline passed ─────▶ SIGKILL, reap ─▶ kTimedOut
//   │  output past its bound ▶ SIGKILL, reap ─▶ kOutputTooLarge
//
// The status travels on a shared page rather than as the exit status, so a caller whose process
// ignores SIGCHLD, or reaps every child in a handler of its own, still reads it.
//
// The work runs in a copy of a process that may have had other threads: it must use no lock
// another thread could have held (no database connection, no logging); one that hangs on such a
// lock is ended at the deadline. It allocates with malloc freely (the C library makes that safe
// after fork).
//
// Thread-safety: RunInChild may run on many threads at once; each child holds only its own pipe.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace korvalis::sys {

// What the child may take.
struct ChildLimits {
  std::chrono::milliseconds max_duration{0};  // wall-clock time, and CPU time; zero: no bound
  std::size_t max_memory_growth = 0;          // address space beyond what the child inherits
  std::size_t max_output_bytes = 0;           // what it writes through its channel
  std::size_t stack_bytes = 0;                // the stack the work runs on (and what it may grow to)
};

// The child's side: output to the caller, a note (the words of a failure), the end.
class ChildChannel {
 public:
  // The longest note kept; more is dropped.
  static constexpr std::size_t kMaxNoteBytes = 4096;

  ChildChannel(int pipe, void* end_page) : pipe_(pipe), end_page_(end_page) {}
  ChildChannel(const ChildChannel&) = delete;
  ChildChannel& operator=(const ChildChannel&) = delete;

  // Adds `bytes` to the output; false when it cannot reach the caller any more.
  bool Write(std::string_view bytes);
  // Sends the output written so far; false as Write.
  bool Flush();
  // Adds `text` to the note the caller receives with the end. Allocates nothing.
  void Note(std::string_view text);
  // Ends the child with `status` (0 to 127), without flushing. Allocates nothing, so it may be
  // called from inside an allocator.
  [[noreturn]] void Finish(int status);

 private:
  static constexpr std::size_t kBufferBytes = 64 * 1024;

  int pipe_;
  void* end_page_;
  std::size_t buffered_ = 0;
  char buffer_[kBufferBytes];
};

enum class ChildEnd {
  kFinished,        // the work ended through Finish: `status`, `output` and `note` are its own
  kTimedOut,        // the deadline or the CPU time passed; the child was killed
  kOutputTooLarge,  // the output passed max_output_bytes; the child was killed
  kDied,            // the child ended otherwise (a signal, a fault): `note` says how
  kNotStarted,      // no child could be made: `note` says why
};

struct ChildResult {
  ChildEnd end = ChildEnd::kNotStarted;
  int status = 0;
  std::string output;
  std::string note;
};

// The work: what it returns is its status (as Finish). Runs in the child on its own stack.
using ChildWork = int (*)(ChildChannel& channel, void* argument);

// Runs `work(channel, argument)` in a child within `limits` and waits for its end.
// Precondition: `argument` and what it reaches were made before the call (the child sees the
// caller's memory as it was at the fork).
ChildResult RunInChild(const ChildLimits& limits, ChildWork work, void* argument);

}  // namespace korvalis::sys
