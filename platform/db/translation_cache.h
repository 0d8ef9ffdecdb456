// The translations of one database already made, with the catalog they were made against,
// shared by every connection to that database; and the schema generation that tells a
// connection when its prepared statements are stale.
//
// Thread-safety: thread-safe. The catalog is replaced (never changed) when the schema changes.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/db/catalog.h"
#include "platform/db/sql_translator.h"

namespace korvalis::db {

class TranslationCache {
 public:
  // Reads the catalog from the database; called when none is loaded for the generation.
  using CatalogLoader = std::function<std::shared_ptr<const Catalog>()>;

  explicit TranslationCache(Engine engine) : engine_(engine) {}

  uint64_t generation() const { return generation_.load(std::memory_order_acquire); }
  // After DDL (or the rollback of a transaction that ran DDL): catalog and translations are
  // rebuilt on next use.
  void SchemaChanged() { generation_.fetch_add(1, std::memory_order_acq_rel); }

  std::shared_ptr<const Catalog> CurrentCatalog(const CatalogLoader& load);
  // The translation of `oracle_sql`, from the cache or made now. *seen_before (when given)
  // tells whether the text was translated before. Throws SqlError.
  std::shared_ptr<const Translation> Translate(std::string_view oracle_sql,
                                               const CatalogLoader& load,
                                               bool* seen_before = nullptr);

 private:
  const Engine engine_;
  std::atomic<uint64_t> generation_{1};
  std::mutex mutex_;
  std::shared_ptr<const Catalog> catalog_;
  uint64_t catalog_generation_ = 0;
  struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
  };
  std::unordered_map<std::string, std::shared_ptr<const Translation>, TextHash, std::equal_to<>>
      translations_;
};

// After DDL in a transaction: from the next statement on, `*transaction` (made now when null)
// translates against the schema as the transaction sees it.
void SchemaChangedInTransaction(std::unique_ptr<TranslationCache>* transaction, Engine engine);

}  // namespace korvalis::db
