// The Oracle dictionary views the system reads, over the metadata tables that the DDL front
// end keeps beside the schema (catalog.h): declared type names (NUMBER, DATE, VARCHAR2,
// BLOB, CLOB ...), lengths, precisions, scales, nullability, defaults, comments, and the
// primary, unique, foreign-key and check constraints with their columns. Each view is
// printed as an inline view with Oracle's column names, so that it joins and filters like
// any table. The embedded database has a single schema, named kSchemaOwner (catalog.h), and
// no distributed transactions: DBA_2PC_PENDING is always empty.
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/sql_translator_internal.h"

namespace korvalis::db::detail {
namespace {

struct DictionaryView {
  const char* name;
  std::string sql;
  TableInfo info;
  std::string pg_sql;  // the same for PostgreSQL
};

// PostgreSQL's forms of SQLite's row order and constant condition.
std::string ForPostgres(std::string sql) {
  for (auto [from, to] : {std::pair<std::string_view, std::string_view>{"K.rowid", "K.ctid"},
                          {"WHERE 0", "WHERE false"}}) {
    for (size_t at = sql.find(from); at != std::string::npos; at = sql.find(from, at)) {
      sql.replace(at, from.size(), to);
      at += to.size();
    }
  }
  return sql;
}

ColumnInfo Text(const char* name) { return ColumnInfo{name, SqlType::kText}; }
ColumnInfo Number(const char* name) { return ColumnInfo{name, SqlType::kNumber}; }
ColumnInfo Date(const char* name) { return ColumnInfo{name, SqlType::kDate}; }

DictionaryView View(const char* name, std::string sql, std::vector<ColumnInfo> columns) {
  std::string pg_sql = ForPostgres(sql);
  DictionaryView v{name, std::move(sql), TableInfo{}, std::move(pg_sql)};
  v.info.name = name;
  v.info.is_view = true;
  v.info.columns = std::move(columns);
  return v;
}

// The views of the columns: their types, sizes and comments.
void AddColumnViews(const std::string& owner, std::vector<DictionaryView>* v) {
  const std::string columns =
      "SELECT C.TABLE_NAME AS \"TABLE_NAME\", C.COLUMN_NAME AS \"COLUMN_NAME\", "
      "C.DATA_TYPE AS \"DATA_TYPE\", C.DATA_LENGTH AS \"DATA_LENGTH\", "
      "C.DATA_PRECISION AS \"DATA_PRECISION\", C.DATA_SCALE AS \"DATA_SCALE\", "
      "C.NULLABLE AS \"NULLABLE\", C.COLUMN_ID AS \"COLUMN_ID\", "
      "length(C.DATA_DEFAULT) AS \"DEFAULT_LENGTH\", C.DATA_DEFAULT AS \"DATA_DEFAULT\", "
      "C.CHAR_LENGTH AS \"CHAR_LENGTH\", "
      "CASE WHEN C.CHAR_LENGTH > 0 THEN CASE WHEN C.DATA_TYPE IN ('NVARCHAR2', 'NCHAR') OR "
      "C.DATA_LENGTH > C.CHAR_LENGTH THEN 'C' ELSE 'B' END END AS \"CHAR_USED\"";
  const std::vector<ColumnInfo> column_info = {
      Text("TABLE_NAME"),       Text("COLUMN_NAME"),  Text("DATA_TYPE"),     Number("DATA_LENGTH"),
      Number("DATA_PRECISION"), Number("DATA_SCALE"), Text("NULLABLE"),      Number("COLUMN_ID"),
      Number("DEFAULT_LENGTH"), Text("DATA_DEFAULT"), Number("CHAR_LENGTH"), Text("CHAR_USED")};
  const std::string column_order = " FROM KORVALIS_COLUMNS AS C ORDER BY C.TABLE_NAME, C.COLUMN_ID";

  v->push_back(View("USER_TAB_COLUMNS", columns + column_order, column_info));

  std::vector<ColumnInfo> dba_info = {Text("OWNER")};
  dba_info.insert(dba_info.end(), column_info.begin(), column_info.end());
  dba_info.push_back(Text("HIDDEN_COLUMN"));
  v->push_back(View("DBA_TAB_COLS",
                    "SELECT " + owner + " AS \"OWNER\", " + columns.substr(7) +
                        ", 'NO' AS \"HIDDEN_COLUMN\"" + column_order,
                    dba_info));

  v->push_back(View("DBA_COL_COMMENTS",
                    "SELECT " + owner +
                        " AS \"OWNER\", C.TABLE_NAME AS \"TABLE_NAME\", C.COLUMN_NAME AS "
                        "\"COLUMN_NAME\", C.COMMENTS AS \"COMMENTS\"" +
                        column_order,
                    {Text("OWNER"), Text("TABLE_NAME"), Text("COLUMN_NAME"), Text("COMMENTS")}));
}

// The views of the constraints and the columns they hold.
void AddConstraintViews(const std::string& owner, std::vector<DictionaryView>* v) {
  // A foreign key refers to the primary key of the table it names.
  v->push_back(
      View("USER_CONSTRAINTS",
           "SELECT " + owner +
               " AS \"OWNER\", K.CONSTRAINT_NAME AS \"CONSTRAINT_NAME\", K.CONSTRAINT_TYPE AS "
               "\"CONSTRAINT_TYPE\", K.TABLE_NAME AS \"TABLE_NAME\", K.SEARCH_CONDITION AS "
               "\"SEARCH_CONDITION\", CASE WHEN K.CONSTRAINT_TYPE = 'R' THEN " +
               owner +
               " END AS \"R_OWNER\", coalesce(K.R_CONSTRAINT_NAME, (SELECT P.CONSTRAINT_NAME FROM "
               "KORVALIS_CONSTRAINTS AS P WHERE P.TABLE_NAME = K.R_TABLE_NAME AND "
               "P.CONSTRAINT_TYPE = 'P')) AS \"R_CONSTRAINT_NAME\", K.DELETE_RULE AS "
               "\"DELETE_RULE\", 'ENABLED' AS \"STATUS\", 'NOT DEFERRABLE' AS \"DEFERRABLE\", "
               "'IMMEDIATE' AS \"DEFERRED\", 'VALIDATED' AS \"VALIDATED\", CASE WHEN "
               "K.CONSTRAINT_NAME LIKE 'SYS_C%' THEN 'GENERATED NAME' ELSE 'USER NAME' END AS "
               "\"GENERATED\", CASE WHEN K.CONSTRAINT_TYPE IN ('P', 'U') THEN K.CONSTRAINT_NAME "
               "END AS \"INDEX_NAME\" FROM KORVALIS_CONSTRAINTS AS K ORDER BY K.TABLE_NAME, "
               "K.rowid",
           {Text("OWNER"), Text("CONSTRAINT_NAME"), Text("CONSTRAINT_TYPE"), Text("TABLE_NAME"),
            Text("SEARCH_CONDITION"), Text("R_OWNER"), Text("R_CONSTRAINT_NAME"),
            Text("DELETE_RULE"), Text("STATUS"), Text("DEFERRABLE"), Text("DEFERRED"),
            Text("VALIDATED"), Text("GENERATED"), Text("INDEX_NAME")}));

  v->push_back(View("USER_CONS_COLUMNS",
                    "SELECT " + owner +
                        " AS \"OWNER\", K.CONSTRAINT_NAME AS \"CONSTRAINT_NAME\", K.TABLE_NAME "
                        "AS \"TABLE_NAME\", K.COLUMN_NAME AS \"COLUMN_NAME\", K.POSITION AS "
                        "\"POSITION\" FROM KORVALIS_CONS_COLUMNS AS K ORDER BY K.TABLE_NAME, "
                        "K.CONSTRAINT_NAME, K.POSITION",
                    {Text("OWNER"), Text("CONSTRAINT_NAME"), Text("TABLE_NAME"),
                     Text("COLUMN_NAME"), Number("POSITION")}));
}

// The pending distributed transactions: none ever.
void AddTransactionViews(std::vector<DictionaryView>* v) {
  v->push_back(View(
      "DBA_2PC_PENDING",
      "SELECT NULL AS \"LOCAL_TRAN_ID\", NULL AS \"GLOBAL_TRAN_ID\", NULL AS \"STATE\", "
      "NULL AS \"MIXED\", NULL AS \"ADVICE\", NULL AS \"TRAN_COMMENT\", NULL AS "
      "\"FAIL_TIME\", NULL AS \"FORCE_TIME\", NULL AS \"RETRY_TIME\", NULL AS \"OS_USER\", "
      "NULL AS \"OS_TERMINAL\", NULL AS \"HOST\", NULL AS \"DB_USER\", NULL AS \"COMMIT#\" "
      "WHERE 0",
      {Text("LOCAL_TRAN_ID"), Text("GLOBAL_TRAN_ID"), Text("STATE"), Text("MIXED"), Text("ADVICE"),
       Text("TRAN_COMMENT"), Date("FAIL_TIME"), Date("FORCE_TIME"), Date("RETRY_TIME"),
       Text("OS_USER"), Text("OS_TERMINAL"), Text("HOST"), Text("DB_USER"), Number("COMMIT#")}));
}

const std::vector<DictionaryView>& Views() {
  static const std::vector<DictionaryView>& views = *new std::vector<DictionaryView>([] {
    const std::string owner = std::string("'") + kSchemaOwner + "'";
    std::vector<DictionaryView> v;
    AddColumnViews(owner, &v);
    AddConstraintViews(owner, &v);
    AddTransactionViews(&v);
    return v;
  }());
  return views;
}

const DictionaryView* FindView(const Name& name) {
  if (name.quoted) return nullptr;
  for (const DictionaryView& v : Views()) {
    if (name.text == v.name) return &v;
  }
  return nullptr;
}

}  // namespace

bool Translator::EmitDictionaryView(const TableRef& ref, Scope* scope, std::string* out) {
  // A table of the schema with the same name takes precedence, as a private synonym would.
  if (catalog_.FindTable(ref.table.text)) return false;
  const DictionaryView* view = FindView(ref.table);
  if (!view) return false;
  const Name& alias = ref.alias.empty() ? ref.table : ref.alias;
  out->push_back('(');
  out->append(pg_ ? view->pg_sql : view->sql);
  out->append(") AS ");
  Source s;
  s.table = &view->info;
  s.alias = NameOf(alias);
  AppendAlias(s.alias, out);
  scope->sources.push_back(std::move(s));
  return true;
}

}  // namespace korvalis::db::detail
