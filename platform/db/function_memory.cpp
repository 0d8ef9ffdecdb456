#include "platform/db/function_memory.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/db/sql_function_support.h"
#include "platform/db/sqlite_statement_bounds.h"

namespace korvalis::db::functions {
namespace {

constexpr size_t kCheckedGrowth = size_t{64} << 10;

}  // namespace

void* ResizeCounted(void* p, size_t old_bytes, size_t new_bytes) {
  // A small growth is left to the heap's own limit: asking for the memory in use costs what a
  // small allocation costs.
  if (new_bytes > old_bytes && new_bytes - old_bytes >= kCheckedGrowth &&
      static_cast<uint64_t>(sqlite3_memory_used()) + (new_bytes - old_bytes) >
          static_cast<uint64_t>(kEmbeddedMemoryBound)) {
    throw OutOfStatementMemory();
  }
  void* resized = sqlite3_realloc64(p, new_bytes);
  if (resized == nullptr && new_bytes > 0) throw OutOfStatementMemory(kEmbeddedHeapLimit);
  return resized;
}

DbError TextTooLong(size_t longest) {
  return DbError(kProviderFailed,
                 "ORA-04030: out of process memory when trying to allocate: a text longer than " +
                     std::to_string(longest) +
                     " bytes, the longest value of the embedded database; the statement was "
                     "stopped");
}

TextArgument::TextArgument(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_TEXT:
      view_ = TextView(v);
      break;
    case SQLITE_BLOB: {
      const void* b = sqlite3_value_blob(v);
      view_ = b ? std::string_view(static_cast<const char*>(b),
                                   static_cast<size_t>(sqlite3_value_bytes(v)))
                : std::string_view();
      break;
    }
    default:
      rendered_ = AsText(v);
      view_ = rendered_;
  }
}

TextBuilder::TextBuilder(sqlite3_context* ctx)
    : longest_(static_cast<size_t>(
          sqlite3_limit(sqlite3_context_db_handle(ctx), SQLITE_LIMIT_LENGTH, -1))) {}

// With room for the terminating zero SetResult adds.
void TextBuilder::Reserve(size_t bytes) {
  if (bytes >= capacity_ - size_) Resize(std::min(longest_, size_ + bytes) + 1);
}

// Doubles, as far as the memory bound leaves room; then takes all the room there is, once. A
// small growth is left to the heap's own limit, as in ResizeCounted: the memory in use is asked
// for under a lock of the whole process, which every thread's function results would wait for.
void TextBuilder::Grow(size_t more) {
  if (more > longest_ - std::min(size_, longest_)) throw TextTooLong(longest_);
  const size_t needed = size_ + more + 1;
  const size_t doubled = std::min(longest_ + 1, std::max<size_t>(needed, 2 * capacity_ + 64));
  if (doubled - capacity_ < kCheckedGrowth) return Resize(doubled);
  const uint64_t used = static_cast<uint64_t>(sqlite3_memory_used());
  const uint64_t room = used < static_cast<uint64_t>(kEmbeddedMemoryBound)
                            ? static_cast<uint64_t>(kEmbeddedMemoryBound) - used
                            : 0;
  if (needed - capacity_ > room) throw OutOfStatementMemory();
  Resize(doubled - capacity_ <= room ? doubled : capacity_ + room);
}

void TextBuilder::Resize(size_t capacity) {
  if (capacity > longest_ + 1) throw TextTooLong(longest_);
  if (data_ != inline_) {
    data_ = static_cast<char*>(ResizeCounted(data_, capacity_, capacity));
  } else if (capacity > kInlineBytes) {
    char* held = static_cast<char*>(ResizeCounted(nullptr, 0, capacity));
    std::char_traits<char>::copy(held, inline_, size_);
    data_ = held;
  } else {
    return;
  }
  capacity_ = capacity;
}

void TextBuilder::SetResult(sqlite3_context* ctx) {
  if (size_ == 0) return sqlite3_result_null(ctx);
  const bool held_inline = data_ == inline_;
  // What doubling took beyond the text is given back, but for a terminating zero.
  if (!held_inline && capacity_ - size_ > std::max(size_ / 8, kCheckedGrowth)) {
    if (void* fitted = sqlite3_realloc64(data_, size_ + 1)) {
      data_ = static_cast<char*>(fitted);
      capacity_ = size_ + 1;
    }
  }
  if (capacity_ == size_) Resize(size_ + 1);
  data_[size_] = '\0';
  char* text = std::exchange(data_, inline_);
  const size_t size = std::exchange(size_, 0);
  capacity_ = kInlineBytes;
  // A long text is handed over as it is, a short one copied (SQLITE_TRANSIENT).
  const sqlite3_destructor_type handed = held_inline ? SQLITE_TRANSIENT : sqlite3_free;
  // A text SQLite knows to end with a zero is read in place by the function given it next;
  // one it does not know so is copied there to add one. SQLite learns it from a negative
  // length, which makes it measure the text up to its first zero: only a text without one
  // inside is given so (its length is under the longest value, itself under 2^31).
  if (std::memchr(text, '\0', size) == nullptr) {
    sqlite3_result_text(ctx, text, -1, handed);
  } else {
    sqlite3_result_text64(ctx, text, size, handed, SQLITE_UTF8);
  }
}

}  // namespace korvalis::db::functions
