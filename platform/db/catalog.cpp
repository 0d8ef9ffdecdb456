#include "platform/db/catalog.h"

#include <algorithm>

#include <sqlite3.h>

#include "platform/db/sql_error.h"
#include "platform/db/stored_names.h"
#include "platform/text/ascii.h"

namespace korvalis::db {

const char* CatalogBootstrapSql() {
  return R"(
CREATE TABLE IF NOT EXISTS KORVALIS_TABLES (
  TABLE_NAME TEXT NOT NULL PRIMARY KEY,
  TABLE_TYPE TEXT NOT NULL,
  COMMENTS TEXT);
CREATE TABLE IF NOT EXISTS KORVALIS_COLUMNS (
  TABLE_NAME TEXT NOT NULL,
  COLUMN_NAME TEXT NOT NULL,
  COLUMN_ID INTEGER NOT NULL,
  DATA_TYPE TEXT NOT NULL,
  DATA_LENGTH INTEGER,
  DATA_PRECISION INTEGER,
  DATA_SCALE INTEGER,
  CHAR_LENGTH INTEGER,
  NULLABLE TEXT NOT NULL,
  DATA_DEFAULT TEXT,
  COMMENTS TEXT,
  PRIMARY KEY (TABLE_NAME, COLUMN_NAME));
CREATE TABLE IF NOT EXISTS KORVALIS_CONSTRAINTS (
  CONSTRAINT_NAME TEXT NOT NULL PRIMARY KEY,
  TABLE_NAME TEXT NOT NULL,
  CONSTRAINT_TYPE TEXT NOT NULL,
  R_CONSTRAINT_NAME TEXT,
  R_TABLE_NAME TEXT,
  DELETE_RULE TEXT,
  SEARCH_CONDITION TEXT);
CREATE TABLE IF NOT EXISTS KORVALIS_CONS_COLUMNS (
  CONSTRAINT_NAME TEXT NOT NULL,
  TABLE_NAME TEXT NOT NULL,
  COLUMN_NAME TEXT NOT NULL,
  POSITION INTEGER NOT NULL,
  PRIMARY KEY (CONSTRAINT_NAME, POSITION));
CREATE TABLE IF NOT EXISTS KORVALIS_EXACT_COLUMNS (
  TABLE_NAME TEXT NOT NULL,
  COLUMN_NAME TEXT NOT NULL,
  PRIMARY KEY (TABLE_NAME, COLUMN_NAME));
CREATE VIEW IF NOT EXISTS DUAL AS SELECT 'X' AS DUMMY;
)";
}

SqlType TypeOfDeclared(const sql::TypeName& type) {
  const std::string& n = type.name;
  if (n == "NUMBER" || n == "INTEGER" || n == "INT" || n == "SMALLINT" || n == "FLOAT" ||
      n == "DECIMAL" || n == "NUMERIC" || n == "REAL") {
    return SqlType::kNumber;
  }
  if (n == "DATE" || n == "TIMESTAMP") return SqlType::kDate;
  if (n == "BLOB" || n == "RAW" || n == "LONG RAW") return SqlType::kBlob;
  return SqlType::kText;
}

void SetDeclaredLength(std::string_view data_type, int data_length, int char_length,
                       ColumnInfo* column) {
  const bool national = data_type == "NVARCHAR2" || data_type == "NCHAR";
  const bool fixed = data_type == "CHAR" || data_type == "NCHAR";
  if (!national && !fixed && data_type != "VARCHAR2") return;
  if (char_length <= 0 || data_length <= 0) return;
  column->length_in_chars = national || data_length > char_length;
  column->max_length = column->length_in_chars ? char_length : data_length;
  column->blank_padded = fixed;
}

const ColumnInfo* TableInfo::Find(std::string_view column) const {
  for (const ColumnInfo& c : columns) {
    if (c.name == column) return &c;
  }
  return nullptr;
}

const ColumnInfo* TableInfo::FindIgnoringCase(std::string_view column) const {
  for (const ColumnInfo& c : columns) {
    if (EqualsIgnoringAsciiCase(c.name, column)) return &c;
  }
  return nullptr;
}

namespace {

const char* ColumnText(sqlite3_stmt* stmt, int i) {
  const unsigned char* t = sqlite3_column_text(stmt, i);
  return t ? reinterpret_cast<const char*>(t) : "";
}

}  // namespace

namespace {

// The database's user version: 1 where it marks names.
constexpr int kMarksNames = 1;

bool ReadsARow(sqlite3* db, const char* sql) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
    throw DbError(kProviderFailed, sqlite3_errmsg(db));
  }
  const bool row = sqlite3_step(stmt) == SQLITE_ROW;
  sqlite3_finalize(stmt);
  return row;
}

int UserVersion(sqlite3* db) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &stmt, nullptr) != SQLITE_OK) {
    throw DbError(kProviderFailed, sqlite3_errmsg(db));
  }
  const int version = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int(stmt, 0) : 0;
  sqlite3_finalize(stmt);
  return version;
}

// The column a row of KORVALIS_COLUMNS describes, its fields from the second on: name, type,
// scale, precision, and lengths in bytes and characters (NULL where not declared).
ColumnInfo DescribedColumn(sqlite3_stmt* stmt) {
  const auto number_or_none = [stmt](int field) {
    return sqlite3_column_type(stmt, field) == SQLITE_NULL ? -1 : sqlite3_column_int(stmt, field);
  };
  ColumnInfo col;
  col.name = ColumnText(stmt, 1);
  sql::TypeName declared;
  declared.name = ColumnText(stmt, 2);
  col.type = declared.name.empty() ? SqlType::kUnknown : TypeOfDeclared(declared);
  col.timestamp = declared.name.starts_with("TIMESTAMP");
  col.scale = number_or_none(3);
  col.precision = number_or_none(4);
  SetDeclaredLength(declared.name, number_or_none(5), number_or_none(6), &col);
  return col;
}

}  // namespace

void MarkNamesWhereNoneIsKept(sqlite3* db) {
  if (UserVersion(db) == kMarksNames) return;
  // The names the front end gave: tables, views and their columns, and indexes.
  if (ReadsARow(db,
                "SELECT 1 FROM KORVALIS_TABLES WHERE TABLE_NAME GLOB '*[a-z]*' UNION ALL "
                "SELECT 1 FROM KORVALIS_COLUMNS WHERE COLUMN_NAME GLOB '*[a-z]*' UNION ALL "
                "SELECT 1 FROM sqlite_schema WHERE type = 'index' AND name GLOB '*[a-z]*' "
                "AND name NOT LIKE 'sqlite_%'")) {
    return;
  }
  char* error = nullptr;
  const std::string pragma = "PRAGMA user_version = " + std::to_string(kMarksNames);
  if (sqlite3_exec(db, pragma.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    std::string message = error ? error : "unknown error";
    sqlite3_free(error);
    throw DbError(kProviderFailed, message);
  }
}

namespace {

// The connection that this thread describes tables of catalogs read on demand through.
thread_local sqlite3* describing_connection = nullptr;

sqlite3_stmt* Prepared(sqlite3* db, const char* sql) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
    const std::string message = sqlite3_errmsg(db);
    sqlite3_finalize(stmt);
    throw DbError(kProviderFailed, message);
  }
  return stmt;
}

// Reads the columns of `table` (named, not yet described) through `db`: those the metadata
// describes, in their declared order, else those the engine knows by name, of unknown type.
void Describe(sqlite3* db, TableInfo* table) {
  std::vector<ColumnInfo> columns;
  // In the order of the columns' positions, and where two share a position, in the order
  // they were described.
  sqlite3_stmt* stmt = Prepared(db,
                                "SELECT TABLE_NAME, COLUMN_NAME, DATA_TYPE, DATA_SCALE, "
                                "DATA_PRECISION, DATA_LENGTH, CHAR_LENGTH, NULLABLE "
                                "FROM KORVALIS_COLUMNS WHERE TABLE_NAME = ?1 "
                                "ORDER BY COLUMN_ID, rowid");
  sqlite3_bind_text(stmt, 1, table->name.data(), static_cast<int>(table->name.size()),
                    SQLITE_STATIC);
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    ColumnInfo col = DescribedColumn(stmt);
    col.not_null = std::string_view(ColumnText(stmt, 7)) == "N";
    col.origin_table = table;
    columns.push_back(std::move(col));
  }
  sqlite3_finalize(stmt);
  if (rc != SQLITE_DONE) throw DbError(kProviderFailed, sqlite3_errmsg(db));

  if (columns.empty()) {
    std::string stored;
    AppendStoredName(table->name, &stored);
    stmt = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT name FROM pragma_table_info(?1)", -1, &stmt, nullptr) ==
        SQLITE_OK) {
      sqlite3_bind_text(stmt, 1, stored.c_str(), -1, SQLITE_TRANSIENT);
      while (sqlite3_step(stmt) == SQLITE_ROW) {
        ColumnInfo col;
        col.name = AsciiUpper(OracleNameOf(ColumnText(stmt, 0)));
        columns.push_back(std::move(col));
      }
    }
    sqlite3_finalize(stmt);
  }
  table->columns = std::move(columns);
  for (ColumnInfo& col : table->columns) {
    if (col.origin_table) col.origin_column = &col;
  }
  if (!table->is_view) return;
  // A view's computed columns that hold exact operands (a file that cannot be written may
  // predate the table, and has none).
  stmt = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT COLUMN_NAME FROM KORVALIS_EXACT_COLUMNS WHERE TABLE_NAME = ?1",
                         -1, &stmt, nullptr) == SQLITE_OK) {
    sqlite3_bind_text(stmt, 1, table->name.data(), static_cast<int>(table->name.size()),
                      SQLITE_STATIC);
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      for (ColumnInfo& col : table->columns) {
        if (col.name == ColumnText(stmt, 0)) col.exact_number = true;
      }
    }
  }
  sqlite3_finalize(stmt);
}

}  // namespace

Catalog::DescribingThrough::DescribingThrough(sqlite3* db) : previous_(describing_connection) {
  describing_connection = db;
}

Catalog::DescribingThrough::~DescribingThrough() { describing_connection = previous_; }

std::shared_ptr<const Catalog> Catalog::LoadOnDemand(sqlite3* db) {
  auto catalog = std::make_shared<Catalog>();
  catalog->marks_names_ = UserVersion(db) == kMarksNames;
  // Every table and view of the database, described or not.
  sqlite3_stmt* stmt = Prepared(db,
                                "SELECT name, type FROM sqlite_schema WHERE type IN "
                                "('table','view') AND name NOT LIKE 'sqlite_%'");
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    const std::string_view name = OracleNameOf(ColumnText(stmt, 0));
    auto [it, added] = catalog->tables_.try_emplace(std::string(name));
    if (!added) continue;
    it->second.info.name = it->first;
    it->second.info.is_view = std::string_view(ColumnText(stmt, 1)) == "view";
  }
  sqlite3_finalize(stmt);
  return catalog;
}

std::shared_ptr<const Catalog> Catalog::Load(sqlite3* db) {
  std::shared_ptr<const Catalog> catalog = LoadOnDemand(db);
  DescribingThrough describing(db);
  for (const auto& [name, table] : catalog->tables_) {
    catalog->Described(table);
    catalog->ReadIndexes(table, db);
  }
  return catalog;
}

std::shared_ptr<const Catalog> Catalog::Make(std::vector<TableInfo> tables) {
  auto catalog = std::make_shared<Catalog>();
  for (TableInfo& table : tables) {
    Table& entry = catalog->tables_[table.name];
    entry.info = std::move(table);
    entry.described.store(true, std::memory_order_relaxed);
  }
  for (auto& [name, table] : catalog->tables_) {
    for (ColumnInfo& col : table.info.columns) {
      col.origin_table = &table.info;
      col.origin_column = &col;
    }
  }
  return catalog;
}

const TableInfo* Catalog::Described(const Table& table) const {
  if (!table.described.load(std::memory_order_acquire)) {
    std::lock_guard<std::mutex> lock(describing_);
    if (!table.described.load(std::memory_order_relaxed)) {
      if (describing_connection == nullptr) {
        throw DbError(kProviderFailed,
                      "no connection to read the description of " + table.info.name + " through");
      }
      Describe(describing_connection, &table.info);
      table.described.store(true, std::memory_order_release);
    }
  }
  return &table.info;
}

void Catalog::ReadIndexes(const Table& table, sqlite3* db) const {
  if (table.indexes_read.load(std::memory_order_acquire)) return;
  std::lock_guard<std::mutex> lock(describing_);
  if (table.indexes_read.load(std::memory_order_relaxed)) return;
  std::string stored;
  AppendStoredName(table.info.name, &stored);
  sqlite3_stmt* stmt = nullptr;
  if (!table.info.is_view &&
      sqlite3_prepare_v2(db,
                         "SELECT c.name FROM pragma_index_list(?1) AS i, "
                         "pragma_index_info(i.name) AS c",
                         -1, &stmt, nullptr) == SQLITE_OK) {
    sqlite3_bind_text(stmt, 1, stored.c_str(), -1, SQLITE_TRANSIENT);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
      // An index of an expression names no column: it cannot serve a column's range.
      if (sqlite3_column_type(stmt, 0) == SQLITE_TEXT) {
        table.indexed.push_back(AsciiUpper(OracleNameOf(ColumnText(stmt, 0))));
      }
    }
    table.indexes_known = rc == SQLITE_DONE;
  }
  sqlite3_finalize(stmt);
  table.indexes_read.store(true, std::memory_order_release);
}

bool Catalog::InNoIndex(const TableInfo& table, const ColumnInfo& column) const {
  const auto it = tables_.find(table.name);
  if (it == tables_.end() || &it->second.info != &table) return false;
  if (!it->second.indexes_read.load(std::memory_order_acquire)) {
    if (describing_connection == nullptr) return false;
    ReadIndexes(it->second, describing_connection);
  }
  // ASCII case aside: a name read otherwise than the metadata writes it is taken for indexed.
  const std::vector<std::string>& indexed = it->second.indexed;
  return it->second.indexes_known &&
         std::find(indexed.begin(), indexed.end(), AsciiUpper(column.name)) == indexed.end();
}

const TableInfo* Catalog::FindTable(std::string_view name) const {
  auto it = tables_.find(name);
  if (it != tables_.end()) return Described(it->second);
  return nullptr;
}

const TableInfo* Catalog::FindTableIgnoringCase(std::string_view name) const {
  for (const auto& [key, table] : tables_) {
    if (EqualsIgnoringAsciiCase(key, name)) return Described(table);
  }
  return nullptr;
}


}  // namespace korvalis::db
