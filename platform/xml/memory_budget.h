// The memory budget of work done by libxml2 and libxslt on one thread: while a MemoryBudget
// lives, what the libraries allocate on its thread is counted, and the allocation that takes
// the count beyond the budget marks the budget exceeded and calls its handler, before the memory
// is handed to the library; an allocation that the system refuses (the process's address space
// is spent) calls the handler too. The handler ends the work there (the transformation's process
// ends itself, platform/xml/worker/), so no step, however much it builds at once, passes the
// budget by more than the allocation that exceeds it, and no work carries on after a refusal
// that the library might not have handled.
//
// The libraries allocate through counting functions installed once, before their first use
// (InstallCountingAllocator, called by EnsureLibraryStarted); they pass to malloc, realloc and
// free, and count only on a thread with a budget.
//
// Thread-safety: a budget belongs to the thread that made it; budgets of distinct threads are
// independent.
#pragma once

#include <cstddef>

namespace korvalis::xml {

class MemoryBudget {
 public:
  // Called when the budget is first exceeded, inside the allocation that exceeds it, and when an
  // allocation is refused; it must not allocate.
  using ExceededHandler = void (*)(void* argument);

  // Precondition: the thread has no budget yet.
  explicit MemoryBudget(std::size_t bytes);
  ~MemoryBudget();
  MemoryBudget(const MemoryBudget&) = delete;
  MemoryBudget& operator=(const MemoryBudget&) = delete;

  // `handler(argument)` runs when the budget is first exceeded (ending the work that
  // allocates).
  void OnExceeded(ExceededHandler handler, void* argument) {
    handler_ = handler;
    argument_ = argument;
  }

  // Counts `bytes` more: memory that is allocated. The first time the count passes the budget,
  // the budget is exceeded and its handler runs.
  void Take(std::size_t bytes);
  // An allocation was refused: the budget is exceeded and its handler runs, each time.
  void Refuse();
  // Counts `bytes` fewer (freed memory, also memory allocated before the budget).
  void Give(std::size_t bytes) { used_ -= bytes < used_ ? bytes : used_; }

 private:
  std::size_t limit_;
  std::size_t used_ = 0;
  bool exceeded_ = false;
  ExceededHandler handler_ = nullptr;
  void* argument_ = nullptr;
};

// Installs the counting allocation functions into libxml2. Precondition: called once, before
// any other thread uses the library.
void InstallCountingAllocator();

}  // namespace korvalis::xml
