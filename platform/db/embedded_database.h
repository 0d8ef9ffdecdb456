// One embedded database file as the process sees it: its location, the catalog the front end
// translates against, and the translations already made, shared by every connection to it.
//
// Thread-safety: thread-safe. The catalog is replaced (never changed) when the schema changes;
// the schema generation tells connections that their prepared statements are stale.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/db/catalog.h"
#include "platform/db/sql_translator.h"
#include "platform/db/translation_cache.h"

struct sqlite3;

namespace korvalis::db {

class EmbeddedDatabase {
 public:
  // `path` is a file name, or ":memory:" for a private in-memory database.
  explicit EmbeddedDatabase(std::string path);

  const std::string& path() const { return path_; }
  // The name SQLite opens (a shared in-memory database for ":memory:").
  const std::string& open_name() const { return open_name_; }
  bool in_memory() const { return in_memory_; }

  uint64_t generation() const { return translations_.generation(); }
  // After DDL (or the rollback of a transaction that ran DDL): catalog and translations are
  // rebuilt on next use.
  void SchemaChanged() { translations_.SchemaChanged(); }

  // The translation of `oracle_sql`, from the cache or made now; `db` reads the catalog, and the
  // tables the statement names that it has not described yet, when they must be read.
  // *seen_before (when given) tells whether the text was translated before. `transaction`
  // (when given) keeps the translations of a transaction of `db` that changed the schema, made
  // against the schema as that transaction sees it. Throws SqlError.
  std::shared_ptr<const Translation> Translate(std::string_view oracle_sql, sqlite3* db,
                                               bool* seen_before = nullptr,
                                               TranslationCache* transaction = nullptr);
  // The catalog (of `transaction`, when given), its tables described on their first lookup:
  // look them up within a Catalog::DescribingThrough scope of a connection to this database.
  std::shared_ptr<const Catalog> CurrentCatalog(sqlite3* db,
                                                TranslationCache* transaction = nullptr);

 private:
  std::string path_;
  std::string open_name_;
  bool in_memory_;
  TranslationCache translations_{Engine::kSqlite};
};

}  // namespace korvalis::db
