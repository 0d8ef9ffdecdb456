// The prepared statements of one embedded connection, by statement text: a text met again
// runs its statement without being translated and prepared again. The cache owns the
// statements: it finalises one that is replaced (its schema generation is stale) or evicted,
// and all of them at its end. A statement handed to a rowset is leased: it is neither
// replaced nor evicted until the lease is returned.
//
// Thread-safety: none; it belongs to its connection, which belongs to one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/db/row_lock.h"

struct sqlite3_stmt;

namespace korvalis::db {

class StatementCache {
 public:
  // One kept statement.
  struct Entry {
    sqlite3_stmt* stmt = nullptr;
    uint64_t generation = 0;  // the schema generation it was prepared for
    bool leased = false;      // a rowset is reading it
    bool counts_changes = false;  // an INSERT, UPDATE or DELETE: its rowset tells the rows changed
    std::optional<RowLock> row_lock;  // a query FOR UPDATE: the lock it takes before it runs
    // The values bound to its parameters and the literals they were written as, for the run
    // in progress: kept here so that they are bound without a copy and outlive the rowset.
    std::vector<std::string> values;
    std::vector<std::string> literals;
  };

  explicit StatementCache(size_t capacity) : capacity_(capacity) {}
  ~StatementCache() { Clear(); }
  StatementCache(const StatementCache&) = delete;
  StatementCache& operator=(const StatementCache&) = delete;

  // The entry kept for `text`, current or not, leased or not; null when there is none.
  Entry* Find(std::string_view text);
  // The entry of `text` when it is current for `generation` and free; null otherwise.
  Entry* Current(std::string_view text, uint64_t generation);

  // Keeps `stmt` (prepared for `generation`) for `text`, finalising the statement it replaces
  // (precondition: that one is not leased). When the cache is full, the free entries are
  // evicted first. The returned entry lives until it is replaced, evicted or the cache ends.
  Entry* Keep(std::string_view text, sqlite3_stmt* stmt, uint64_t generation);

  // Leases an entry to a rowset; Return resets the statement and frees the entry.
  static void Lease(Entry* entry) { entry->leased = true; }
  static void Return(Entry* entry);

  // Resets every free statement, so that none holds a read open (before a rollback).
  void ResetFree();
  // Finalises every statement (precondition: none is leased), before the connection closes.
  void Clear();

 private:
  struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
  };

  void EvictFree();

  size_t capacity_;
  std::unordered_map<std::string, std::unique_ptr<Entry>, TextHash, std::equal_to<>> entries_;
};

}  // namespace korvalis::db
