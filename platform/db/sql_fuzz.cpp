// Fuzz target of the Oracle front end: arbitrary bytes as a script and as one statement go
// through the script splitter, the tokenizer, the parser and the translator, and every
// translation must prepare on SQLite or fail with a DbError; nothing else may happen.
#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/db/catalog.h"
#include "platform/db/oracle_functions.h"
#include "platform/db/script_runner.h"
#include "platform/db/sql_translator.h"

namespace {

using namespace korvalis::db;

struct Database {
  Database() {
    sqlite3_open(":memory:", &db);
    RegisterOracleFunctions(db);
    sqlite3_exec(db, CatalogBootstrapSql(), nullptr, nullptr, nullptr);
    const char* schema[] = {
        "CREATE TABLE T (ID NUMBER(10), NAME VARCHAR2(20), D DATE, CONTENT BLOB)",
        "CREATE TABLE U (ID NUMBER, T_ID NUMBER, NOTE VARCHAR2(200))",
        "CREATE VIEW V AS SELECT T.ID, NAME, NOTE FROM T, U WHERE T.ID = U.T_ID"};
    for (const char* ddl : schema) {
      auto catalog = Catalog::Load(db);
      for (const auto& s : Translate(ddl, *catalog).statements) {
        sqlite3_exec(db, s.c_str(), nullptr, nullptr, nullptr);
      }
    }
    catalog = Catalog::Load(db);
  }
  sqlite3* db = nullptr;
  std::shared_ptr<const Catalog> catalog;
};

void TranslateAndPrepare(Database& d, std::string_view sql) {
  try {
    Translation t = Translate(sql, *d.catalog);
    for (const std::string& s : t.statements) {
      sqlite3_stmt* stmt = nullptr;
      sqlite3_prepare_v2(d.db, s.c_str(), static_cast<int>(s.size()), &stmt, nullptr);
      sqlite3_finalize(stmt);
    }
  } catch (const DbError&) {
  }
  try {
    TranslateBlobSelect(sql, *d.catalog);
  } catch (const DbError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Database database;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  TranslateAndPrepare(database, text);
  try {
    for (const ScriptStatement& s : SplitScript(text)) TranslateAndPrepare(database, s.text);
  } catch (const DbError&) {
  }
  return 0;
}
