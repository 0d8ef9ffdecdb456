#include "platform/db/embedded_database.h"

#include <atomic>

namespace korvalis::db {
namespace {

std::string MemoryName() {
  static std::atomic<int> counter{0};
  return "file:korvalis_memory_" + std::to_string(++counter) + "?mode=memory&cache=shared";
}

}  // namespace

EmbeddedDatabase::EmbeddedDatabase(std::string path)
    : path_(std::move(path)), in_memory_(path_ == ":memory:") {
  open_name_ = in_memory_ ? MemoryName() : path_;
}

std::shared_ptr<const Catalog> EmbeddedDatabase::CurrentCatalog(sqlite3* db,
                                                                TranslationCache* transaction) {
  return (transaction ? *transaction : translations_).CurrentCatalog([db] {
    return Catalog::LoadOnDemand(db);
  });
}

std::shared_ptr<const Translation> EmbeddedDatabase::Translate(std::string_view oracle_sql,
                                                               sqlite3* db, bool* seen_before,
                                                               TranslationCache* transaction) {
  Catalog::DescribingThrough describing(db);
  return (transaction ? *transaction : translations_)
      .Translate(oracle_sql, [db] { return Catalog::LoadOnDemand(db); }, seen_before);
}

}  // namespace korvalis::db
