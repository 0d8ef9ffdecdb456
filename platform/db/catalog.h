// What the front end knows of the schema: every table and view with its columns and their
// declared Oracle types. The declared types, lengths, precisions, constraints and comments
// are kept in metadata tables of the embedded database (KORVALIS_TABLES, KORVALIS_COLUMNS,
// KORVALIS_CONSTRAINTS, KORVALIS_CONS_COLUMNS), which the DDL statements maintain.
//
// Thread-safety: thread-safe; share a Catalog through shared_ptr<const>. What it answers never
// changes: a catalog read on demand describes each table once, on its first lookup, under a
// lock, and hands out the same description from then on.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/db/sql_ast.h"

struct sqlite3;

namespace korvalis::db {

// The one schema of a database, as Oracle's dictionary and messages name its objects' owner.
inline constexpr const char* kSchemaOwner = "KORVALIS";

// The value classes the translator tells apart.
enum class SqlType { kUnknown, kNull, kNumber, kText, kDate, kBlob };

// The value class of a declared Oracle type name (VARCHAR2 → text, NUMBER → number ...).
SqlType TypeOfDeclared(const sql::TypeName& type);

struct TableInfo;

struct ColumnInfo {
  std::string name;
  SqlType type = SqlType::kUnknown;
  int scale = -1;      // NUMBER(p,s): s; INTEGER: 0; otherwise -1
  int precision = -1;  // NUMBER(p,s): p; otherwise -1
  // A text column of declared length (VARCHAR2(n), CHAR(n), NVARCHAR2(n) ...): the most a
  // value may hold, in bytes of UTF-8 or, where the length counts characters, in characters;
  // -1 when the column does not limit its values.
  int max_length = -1;
  bool length_in_chars = false;
  bool blank_padded = false;  // CHAR, NCHAR: stored values are padded with blanks to the length
  bool timestamp = false;  // declared TIMESTAMP: a date whose time EXTRACT reads
  bool not_null = false;   // a table's column declared NOT NULL: no row holds NULL in it
  // A query's column of NUMBERs computed exactly on the embedded file: an integer, a double, or
  // the text of a decimal longer than a double shows, read through the exact functions.
  bool exact_number = false;
  // The described column whose value this one is: itself for a table's or view's column, the
  // column a query reads unchanged for a query's column; null otherwise. Points into the
  // catalog, valid while it is.
  const TableInfo* origin_table = nullptr;
  const ColumnInfo* origin_column = nullptr;
};

// Sets the length limit of `column` from its row of the metadata: the declared type name,
// DATA_LENGTH (bytes) and CHAR_LENGTH (characters), either of them -1 when not given. A
// length counts characters for the national types, and where the bytes exceed the characters
// (VARCHAR2(n CHAR)).
void SetDeclaredLength(std::string_view data_type, int data_length, int char_length,
                       ColumnInfo* column);

struct TableInfo {
  std::string name;
  bool is_view = false;
  std::vector<ColumnInfo> columns;

  // The column of exactly that name (names keep their case, as Oracle's quoted names do).
  const ColumnInfo* Find(std::string_view column) const;
  const ColumnInfo* FindIgnoringCase(std::string_view column) const;
};

class Catalog {
 public:
  // Reads the metadata tables; tables of the database that they do not describe are known by
  // name with columns of unknown type.
  static std::shared_ptr<const Catalog> Load(sqlite3* db);
  // As Load, reading the names of the tables and views now and each one's columns on its first
  // lookup, through the connection that the looking thread names with DescribingThrough: a
  // statement reads a few tables of many. Throws DbError when a table must be described and the
  // thread names no connection, or the metadata cannot be read.
  static std::shared_ptr<const Catalog> LoadOnDemand(sqlite3* db);
  // A catalog of `tables`, found by their names (the PostgreSQL provider reads them from its
  // own metadata). Each column is its own origin.
  static std::shared_ptr<const Catalog> Make(std::vector<TableInfo> tables);

  // The table or view of exactly that name.
  const TableInfo* FindTable(std::string_view name) const;
  const TableInfo* FindTableIgnoringCase(std::string_view name) const;
  // Whether `column` of `table` (this catalog's) is one that no index of the file holds, where a
  // range of its values would only add comparisons to the table's scan: read with the table's
  // indexes through the connection that the looking thread names, on the first question about
  // the table. False for a view, where the indexes cannot be read, and where no connection is
  // named.
  bool InNoIndex(const TableInfo& table, const ColumnInfo& column) const;
  // Whether the database keeps names with lower-case letters under marked names
  // (stored_names.h); see MarkNamesWhereNoneIsKept.
  bool MarksNames() const { return marks_names_; }

  // While it lives, the tables this thread looks up first in catalogs read on demand are
  // described through `db`: the connection that translates, which sees the schema as its own
  // transaction left it. Scopes nest; the innermost names the connection.
  class DescribingThrough {
   public:
    explicit DescribingThrough(sqlite3* db);
    ~DescribingThrough();
    DescribingThrough(const DescribingThrough&) = delete;
    DescribingThrough& operator=(const DescribingThrough&) = delete;

   private:
    sqlite3* previous_;
  };

 private:
  struct Table {
    // Written once, under describing_, before `described` is set.
    mutable TableInfo info;
    mutable std::atomic<bool> described{false};
    // The columns its indexes hold, upper case; written once, under describing_, before
    // `indexes_read` is set.
    mutable std::vector<std::string> indexed;
    mutable bool indexes_known = false;
    mutable std::atomic<bool> indexes_read{false};
  };
  struct NameHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
  };

  // The table with its columns, described now through the thread's connection when it is not
  // yet.
  const TableInfo* Described(const Table& table) const;
  // Reads the indexes of `table` through `db` when they are not yet read.
  void ReadIndexes(const Table& table, sqlite3* db) const;

  std::unordered_map<std::string, Table, NameHash, std::equal_to<>> tables_;
  bool marks_names_ = false;
  mutable std::mutex describing_;
};

// The DDL that creates the metadata tables and the one-row DUAL.
const char* CatalogBootstrapSql();

// Makes a database that keeps no name with lower-case letters (a new one, or one whose names
// are all upper case) keep such names marked from now on, so that names differing only in case
// can live side by side. A database that already keeps such names unmarked stays as it is,
// and its statements refuse a name that differs from another only in case.
void MarkNamesWhereNoneIsKept(sqlite3* db);

}  // namespace korvalis::db
