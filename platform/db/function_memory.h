// The memory of the embedded file's own SQL functions, taken from SQLite's allocator so that it
// counts against the statement's memory bound as the engine's own does (sqlite_statement_bounds.h).
// A function's result is built in a TextBuilder and handed to SQLite without a copy; its working
// arrays and maps use CountedAllocator; its text arguments are read in place (TextArgument).
// What would take the process's SQLite memory past kEmbeddedMemoryBound, or a text past the
// longest value SQLite holds, is refused before it is built, with ORA-04030.
//
// Thread-safety: each object belongs to one call of a function.
#pragma once

#include <sqlite3.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/db/sql_error.h"
#include "platform/db/sql_function_support.h"

namespace korvalis::db::functions {

// `p` (of `old_bytes`, or null) resized to `new_bytes` of SQLite's memory. Throws DbError
// ORA-04030, `p` unchanged, when the bound would be passed or SQLite has no memory.
void* ResizeCounted(void* p, size_t old_bytes, size_t new_bytes);

// std::allocator's interface on SQLite's memory, counted as ResizeCounted counts it.
template <class T>
struct CountedAllocator {
  using value_type = T;
  CountedAllocator() = default;
  template <class U>
  CountedAllocator(const CountedAllocator<U>&) {}  // NOLINT: converting, as allocators are
  T* allocate(size_t n) {
    if (n > SIZE_MAX / sizeof(T)) throw std::bad_array_new_length();
    return static_cast<T*>(ResizeCounted(nullptr, 0, n * sizeof(T)));
  }
  void deallocate(T* p, size_t) { sqlite3_free(p); }
  template <class U>
  bool operator==(const CountedAllocator<U>&) const {
    return true;
  }
};

// A text argument read in place; a number is rendered as Oracle renders it.
// Precondition: the value outlives this object and is not read as another type meanwhile.
class TextArgument {
 public:
  explicit TextArgument(sqlite3_value* v);
  TextArgument(const TextArgument&) = delete;
  TextArgument& operator=(const TextArgument&) = delete;
  std::string_view view() const { return view_; }
  operator std::string_view() const { return view_; }  // NOLINT: read as the text it is

 private:
  std::string rendered_;
  std::string_view view_;
};

// A function's text result, built in SQLite's memory. A short one is built in the builder and
// copied into the register that receives it, which SQLite keeps from one row to the next: a
// result of its own would be allocated and freed, under the lock of the process's SQLite
// memory that every thread's statements take, for every row.
class TextBuilder {
 public:
  // The longest text is the one SQLite holds for the connection of `ctx`.
  explicit TextBuilder(sqlite3_context* ctx);
  ~TextBuilder() {
    if (data_ != inline_) sqlite3_free(data_);
  }
  TextBuilder(const TextBuilder&) = delete;
  TextBuilder& operator=(const TextBuilder&) = delete;

  // Charges the running call for the bytes it copies.
  void Append(std::string_view s) {
    ChargeWork(s.size());
    if (s.size() >= capacity_ - size_) Grow(s.size());  // a byte is kept for the zero
    if (!s.empty()) std::char_traits<char>::copy(data_ + size_, s.data(), s.size());
    size_ += s.size();
  }
  void push_back(char c) {
    if (capacity_ - size_ <= 1) Grow(1);
    data_[size_++] = c;
  }
  // Room for `bytes` more, taken at once.
  void Reserve(size_t bytes);
  size_t size() const { return size_; }
  std::string_view view() const { return {data_, size_}; }

  // Hands the text to SQLite as the result of `ctx`'s function: NULL when empty.
  void SetResult(sqlite3_context* ctx);

 private:
  void Grow(size_t more);
  void Resize(size_t capacity);

  static constexpr size_t kInlineBytes = 256;
  char inline_[kInlineBytes];
  char* data_ = inline_;
  size_t size_ = 0;
  size_t capacity_ = kInlineBytes;
  size_t longest_;
};

// The error of a text longer than the longest value of `longest` bytes the file holds.
DbError TextTooLong(size_t longest);

}  // namespace korvalis::db::functions
