#include "platform/db/embedded_database.h"

namespace korvalis::db {
namespace {

// Translations kept per database; statement texts built by concatenation are many, so the
// cache is emptied when it reaches this size rather than growing without bound.
constexpr size_t kMaxTranslations = 4096;

std::string MemoryName() {
  static std::atomic<int> counter{0};
  return "file:korvalis_memory_" + std::to_string(++counter) + "?mode=memory&cache=shared";
}

}  // namespace

EmbeddedDatabase::EmbeddedDatabase(std::string path)
    : path_(std::move(path)), in_memory_(path_ == ":memory:") {
  open_name_ = in_memory_ ? MemoryName() : path_;
}

void EmbeddedDatabase::SchemaChanged() {
  generation_.fetch_add(1, std::memory_order_acq_rel);
}

std::shared_ptr<const Catalog> EmbeddedDatabase::CurrentCatalog(sqlite3* db) {
  const uint64_t gen = generation();
  std::lock_guard<std::mutex> lock(mutex_);
  if (!catalog_ || catalog_generation_ != gen) {
    catalog_ = Catalog::Load(db);
    catalog_generation_ = gen;
    translations_.clear();
  }
  return catalog_;
}

std::shared_ptr<const Translation> EmbeddedDatabase::Translate(std::string_view oracle_sql,
                                                               sqlite3* db, bool* seen_before) {
  std::shared_ptr<const Catalog> catalog = CurrentCatalog(db);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = translations_.find(oracle_sql);
    if (it != translations_.end()) {
      if (seen_before) *seen_before = true;
      return it->second;
    }
  }
  if (seen_before) *seen_before = false;
  auto translation = std::make_shared<const Translation>(db::Translate(oracle_sql, *catalog));
  std::lock_guard<std::mutex> lock(mutex_);
  if (catalog_ == catalog) {
    if (translations_.size() >= kMaxTranslations) translations_.clear();
    translations_.emplace(std::string(oracle_sql), translation);
  }
  return translation;
}

}  // namespace korvalis::db
