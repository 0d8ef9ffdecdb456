#include "platform/xml/memory_budget.h"

#include <libxml/xmlmemory.h>
#include <malloc.h>

#include <cstdlib>
#include <cstring>

namespace korvalis::xml {
namespace {

thread_local MemoryBudget* current_budget = nullptr;

void* CountingMalloc(std::size_t size) {
  void* memory = std::malloc(size);
  if (MemoryBudget* budget = current_budget; budget != nullptr) {
    if (memory != nullptr) {
      budget->Take(malloc_usable_size(memory));
    } else if (size != 0) {
      budget->Refuse();
    }
  }
  return memory;
}

void* CountingRealloc(void* memory, std::size_t size) {
  MemoryBudget* budget = current_budget;
  if (budget == nullptr) return std::realloc(memory, size);
  const std::size_t old_size = memory != nullptr ? malloc_usable_size(memory) : 0;
  void* moved = std::realloc(memory, size);
  if (moved == nullptr) {
    if (size != 0) budget->Refuse();
    return nullptr;  // the old block stays the caller's, counted as it was
  }
  budget->Give(old_size);
  budget->Take(malloc_usable_size(moved));
  return moved;
}

void CountingFree(void* memory) {
  if (memory == nullptr) return;
  if (MemoryBudget* budget = current_budget) budget->Give(malloc_usable_size(memory));
  std::free(memory);
}

char* CountingStrdup(const char* text) {
  const std::size_t size = std::strlen(text) + 1;
  void* copy = CountingMalloc(size);
  if (copy != nullptr) std::memcpy(copy, text, size);
  return static_cast<char*>(copy);
}

}  // namespace

MemoryBudget::MemoryBudget(std::size_t bytes) : limit_(bytes) { current_budget = this; }

MemoryBudget::~MemoryBudget() { current_budget = nullptr; }

void MemoryBudget::Take(std::size_t bytes) {
  used_ += bytes;
  if (used_ <= limit_ || exceeded_) return;
  exceeded_ = true;
  if (handler_ != nullptr) handler_(argument_);
}

void MemoryBudget::Refuse() {
  exceeded_ = true;
  if (handler_ != nullptr) handler_(argument_);
}

void InstallCountingAllocator() {
  xmlMemSetup(CountingFree, CountingMalloc, CountingRealloc, CountingStrdup);
}

}  // namespace korvalis::xml
