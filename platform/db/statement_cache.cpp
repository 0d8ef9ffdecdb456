#include "platform/db/statement_cache.h"

#include <sqlite3.h>

namespace korvalis::db {

void StatementCache::Clear() {
  for (auto& [text, entry] : entries_) sqlite3_finalize(entry->stmt);
  entries_.clear();
}

StatementCache::Entry* StatementCache::Find(std::string_view text) {
  auto it = entries_.find(text);
  return it == entries_.end() ? nullptr : it->second.get();
}

StatementCache::Entry* StatementCache::Current(std::string_view text, uint64_t generation) {
  Entry* entry = Find(text);
  return entry != nullptr && entry->generation == generation && !entry->leased ? entry : nullptr;
}

StatementCache::Entry* StatementCache::Keep(std::string_view text, sqlite3_stmt* stmt,
                                            uint64_t generation) {
  if (Entry* entry = Find(text)) {
    sqlite3_finalize(entry->stmt);
    entry->stmt = stmt;
    entry->generation = generation;
    return entry;
  }
  if (entries_.size() >= capacity_) EvictFree();
  auto entry = std::make_unique<Entry>();
  entry->stmt = stmt;
  entry->generation = generation;
  Entry* kept = entry.get();
  entries_.emplace(std::string(text), std::move(entry));
  return kept;
}

void StatementCache::Return(Entry* entry) {
  sqlite3_reset(entry->stmt);
  sqlite3_clear_bindings(entry->stmt);
  entry->leased = false;
}

void StatementCache::ResetFree() {
  for (auto& [text, entry] : entries_) {
    if (!entry->leased) sqlite3_reset(entry->stmt);
  }
}

// Texts built by concatenation are many and mostly met once more at most: the free entries
// go all at once rather than one by one in use order, which costs nothing per statement run.
void StatementCache::EvictFree() {
  for (auto it = entries_.begin(); it != entries_.end();) {
    if (it->second->leased) {
      ++it;
    } else {
      sqlite3_finalize(it->second->stmt);
      it = entries_.erase(it);
    }
  }
}

}  // namespace korvalis::db
