#include "platform/db/translation_cache.h"

namespace korvalis::db {
namespace {

// Translations kept per database; statement texts built by concatenation are many, so the
// cache is emptied when it reaches this size rather than growing without bound.
constexpr size_t kMaxTranslations = 4096;

}  // namespace

std::shared_ptr<const Catalog> TranslationCache::CurrentCatalog(const CatalogLoader& load) {
  const uint64_t gen = generation();
  std::lock_guard<std::mutex> lock(mutex_);
  if (!catalog_ || catalog_generation_ != gen) {
    catalog_ = load();
    catalog_generation_ = gen;
    translations_.clear();
  }
  return catalog_;
}

std::shared_ptr<const Translation> TranslationCache::Translate(std::string_view oracle_sql,
                                                               const CatalogLoader& load,
                                                               bool* seen_before) {
  std::shared_ptr<const Catalog> catalog = CurrentCatalog(load);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = translations_.find(oracle_sql);
    if (it != translations_.end()) {
      if (seen_before) *seen_before = true;
      return it->second;
    }
  }
  if (seen_before) *seen_before = false;
  auto translation =
      std::make_shared<const Translation>(db::Translate(oracle_sql, *catalog, engine_));
  std::lock_guard<std::mutex> lock(mutex_);
  if (catalog_ == catalog) {
    if (translations_.size() >= kMaxTranslations) translations_.clear();
    translations_.emplace(std::string(oracle_sql), translation);
  }
  return translation;
}

void SchemaChangedInTransaction(std::unique_ptr<TranslationCache>* transaction, Engine engine) {
  if (*transaction == nullptr) *transaction = std::make_unique<TranslationCache>(engine);
  (*transaction)->SchemaChanged();
}

}  // namespace korvalis::db
