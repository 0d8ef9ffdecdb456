// The DDL of the schema: tables, indexes, views and comments, with the declared Oracle types,
// constraints and comments kept in the metadata tables of catalog.h.
#include <algorithm>

#include "platform/db/sql_error.h"
#include "platform/db/sql_translator_internal.h"

namespace korvalis::db {
namespace detail {

std::string NameOf(const Name& n) { return n.quoted ? n.text : AsciiUpper(n.text); }

std::string SqlText(const std::string& s) {
  std::string out;
  AppendStringLiteral(s, &out);
  return out;
}
std::string SqlIntOrNull(int v) { return v < 0 ? "NULL" : std::to_string(v); }

namespace {

// The columns of a table being created, for typing its defaults, virtual columns and checks.
Scope RowScope(const Statement& stmt) {
  Scope scope;
  Source s;
  for (const auto& cd : stmt.column_defs) {
    s.derived.push_back(ColumnInfo{NameOf(cd.name), TypeOfDeclared(cd.type), cd.type.scale});
  }
  scope.sources.push_back(std::move(s));
  return scope;
}

// The bytes (DATA_LENGTH) and characters (CHAR_LENGTH) a column of the declared type holds, as
// Oracle's dictionary gives them; 0 characters for a type that is not text.
void DeclaredLengths(const sql::TypeName& declared, int* data_length, int* char_length) {
  const SqlType type = TypeOfDeclared(declared);
  const std::string& tn = declared.name;
  int length = declared.length;
  *char_length = 0;
  if (type == SqlType::kNumber) {
    length = 22;
  } else if (type == SqlType::kDate) {
    length = 7;
  } else if (tn == "BLOB" || tn == "CLOB" || tn == "NCLOB") {
    length = 4000;
  } else if (tn == "VARCHAR2" || tn == "CHAR" || tn == "NCHAR" || tn == "NVARCHAR2" ||
             tn == "RAW") {
    if (length < 0) {
      if (tn == "VARCHAR2" || tn == "NVARCHAR2" || tn == "RAW") {
        throw SqlError("ORA-00906: missing left parenthesis: " + tn + " needs a length");
      }
      length = 1;
    }
    *char_length = length;
    // The bytes a value may take: two per character in the national character set; up to
    // four per character of UTF-8 where the length counts characters, within the type's
    // limit (4000 bytes, 2000 for CHAR).
    if (tn == "NVARCHAR2" || tn == "NCHAR") {
      length *= 2;
    } else if (declared.length_in_chars && tn != "RAW") {
      length = std::min(length * 4, tn == "CHAR" ? 2000 : 4000);
    }
  }
  *data_length = length;
}

// A column's row of KORVALIS_COLUMNS, as Oracle's dictionary describes it: type name, byte
// length, precision, scale.
std::string ColumnMetadata(const std::string& table, const std::string& name, size_t position,
                           const sql::ColumnDef& col) {
  const SqlType type = TypeOfDeclared(col.type);
  const std::string& tn = col.type.name;
  std::string data_type = tn;
  int length = 0, precision = col.type.precision, scale = col.type.scale;
  int char_length = 0;
  if (tn == "INTEGER" || tn == "INT" || tn == "SMALLINT") {
    data_type = "NUMBER";
    precision = -1;
    scale = 0;
  } else if (tn == "DECIMAL" || tn == "NUMERIC" || tn == "NUMBER") {
    if (tn != "NUMBER") data_type = "NUMBER";
    if (precision >= 0 && scale < 0) scale = 0;
  }
  DeclaredLengths(col.type, &length, &char_length);
  return "INSERT INTO KORVALIS_COLUMNS (TABLE_NAME, COLUMN_NAME, COLUMN_ID, DATA_TYPE, "
         "DATA_LENGTH, DATA_PRECISION, DATA_SCALE, CHAR_LENGTH, NULLABLE, DATA_DEFAULT) VALUES (" +
         SqlText(table) + ", " + SqlText(name) + ", " + std::to_string(position) + ", " +
         SqlText(data_type) + ", " + SqlIntOrNull(length) + ", " +
         SqlIntOrNull(type == SqlType::kNumber ? precision : -1) + ", " +
         SqlIntOrNull(type == SqlType::kNumber ? scale : -1) + ", " + std::to_string(char_length) +
         ", " + (col.not_null ? "'N'" : "'Y'") + ", " +
         (col.default_value ? SqlText(col.default_text) : std::string("NULL")) + ")";
}


void AppendNameList(const std::vector<std::string>& names, bool marked, std::string* out) {
  out->append(" (");
  for (size_t i = 0; i < names.size(); ++i) {
    if (i) out->append(", ");
    AppendEngineName(names[i], marked, out);
  }
  out->push_back(')');
}

}  // namespace

// The table being created: its printed definition, its keys and its metadata rows.
struct NewTable {
  // A constraint: 'P'rimary key, 'U'nique, 'R'eference or 'C'heck.
  struct Key {
    std::string name;
    char type;
    std::vector<std::string> columns;
    std::string r_table;
    std::vector<std::string> r_columns;
    bool cascade = false;
    std::string check;
  };

  std::string name;
  std::string sql;
  std::vector<Key> keys;
  std::vector<std::string> metadata;
  int constraint_number = 0;

  // Oracle names unnamed constraints SYS_C<n>; the table name keeps them unique here.
  std::string ConstraintName(const Name& given) {
    if (!given.empty()) return NameOf(given);
    return "SYS_C_" + name + "_" + std::to_string(++constraint_number);
  }
};

namespace {

// A constraint clause of the table, and its rows of KORVALIS_CONSTRAINTS and
// KORVALIS_CONS_COLUMNS.
void EmitConstraint(const NewTable::Key& k, bool marked, NewTable* table) {
  std::string& out = table->sql;
  out.append(", CONSTRAINT ");
  AppendEngineName(k.name, marked, &out);
  if (k.type == 'C') {
    out.append(" CHECK (").append(k.check).push_back(')');
  } else {
    out.append(k.type == 'P' ? " PRIMARY KEY" : k.type == 'U' ? " UNIQUE" : " FOREIGN KEY");
    AppendNameList(k.columns, marked, &out);
    if (k.type == 'R') {
      out.append(" REFERENCES ");
      AppendEngineName(k.r_table, marked, &out);
      if (!k.r_columns.empty()) AppendNameList(k.r_columns, marked, &out);
      if (k.cascade) out.append(" ON DELETE CASCADE");
    }
  }
  table->metadata.push_back(
      "INSERT INTO KORVALIS_CONSTRAINTS (CONSTRAINT_NAME, TABLE_NAME, CONSTRAINT_TYPE, "
      "R_TABLE_NAME, DELETE_RULE, SEARCH_CONDITION) VALUES (" +
      SqlText(k.name) + ", " + SqlText(table->name) + ", '" + std::string(1, k.type) + "', " +
      (k.type == 'R' ? SqlText(k.r_table) : std::string("NULL")) + ", " +
      (k.type == 'R' ? (k.cascade ? std::string("'CASCADE'") : std::string("'NO ACTION'"))
                     : std::string("NULL")) +
      ", " + (k.type == 'C' ? SqlText(k.check) : std::string("NULL")) + ")");
  for (size_t i = 0; i < k.columns.size(); ++i) {
    table->metadata.push_back(
        "INSERT INTO KORVALIS_CONS_COLUMNS (CONSTRAINT_NAME, TABLE_NAME, COLUMN_NAME, "
        "POSITION) VALUES (" +
        SqlText(k.name) + ", " + SqlText(table->name) + ", " + SqlText(k.columns[i]) + ", " +
        std::to_string(i + 1) + ")");
  }
}

}  // namespace

void Translator::RefuseNameDifferingOnlyInCase(const std::string& name) {
  if (pg_ || MarksNames()) return;
  if (const TableInfo* other = catalog_.FindTableIgnoringCase(name)) {
    Refuse("names that differ only in case (" + other->name + ", " + name +
           ") in a database that keeps lower-case names unmarked");
  }
}

Translation Translator::CreateTable(Statement& stmt) {
  NewTable table;
  table.name = NameOf(stmt.table);
  if (catalog_.FindTable(table.name)) {
    throw SqlError("ORA-00955: name is already used by an existing object: " + table.name);
  }
  RefuseNameDifferingOnlyInCase(table.name);
  table.sql = "CREATE TABLE ";
  AppendName(table.name, &table.sql);
  table.sql.append(" (");
  table.metadata.push_back("INSERT INTO KORVALIS_TABLES (TABLE_NAME, TABLE_TYPE) VALUES (" +
                           SqlText(table.name) + ", 'TABLE')");
  // The columns of the primary key refuse NULL, as NOT NULL ones do.
  for (const sql::TableConstraint& c : stmt.constraints) {
    if (c.kind != sql::TableConstraint::kPrimaryKey) continue;
    for (const Name& n : c.columns) {
      for (sql::ColumnDef& cd : stmt.column_defs) {
        if (NameOf(cd.name) == NameOf(n)) cd.not_null = true;
      }
    }
  }
  for (sql::ColumnDef& cd : stmt.column_defs) cd.not_null = cd.not_null || cd.primary_key;
  for (size_t i = 0; i < stmt.column_defs.size(); ++i) EmitColumnDefinition(stmt, i, &table);
  for (sql::TableConstraint& c : stmt.constraints) AddTableConstraint(stmt, c, &table);
  int primary_keys = 0;
  for (const NewTable::Key& k : table.keys) {
    if (k.type == 'P') ++primary_keys;
  }
  if (primary_keys > 1) throw SqlError("ORA-02260: table can have only one primary key");
  for (const NewTable::Key& k : table.keys) EmitConstraint(k, MarksNames(), &table);
  table.sql.push_back(')');
  Translation tr{StatementKind::kCreateTable, {}, true};
  tr.statements.push_back(std::move(table.sql));
  for (auto& m : table.metadata) tr.statements.push_back(std::move(m));
  return tr;
}

// One column: its name and storage type, NOT NULL, default, virtual expression, and the
// constraints written on it (kept as table constraints, so that the dictionary lists them).
void Translator::EmitColumnDefinition(Statement& stmt, size_t i, NewTable* table) {
  sql::ColumnDef& col = stmt.column_defs[i];
  const std::string name = NameOf(col.name);
  for (size_t j = 0; j < i; ++j) {
    const std::string other = NameOf(stmt.column_defs[j].name);
    if (other == name) throw SqlError("ORA-00957: duplicate column name " + name);
    if (!pg_ && !MarksNames() && EqualsIgnoringAsciiCase(other, name)) {
      Refuse("column names that differ only in case (" + other + ", " + name +
             ") in a database that keeps lower-case names unmarked");
    }
  }
  std::string& out = table->sql;
  if (i) out.append(", ");
  AppendName(name, &out);
  const SqlType type = TypeOfDeclared(col.type);
  if (pg_) {
    // Numbers are exact decimals; dates keep whole seconds as Oracle's DATE does.
    out.append(type == SqlType::kNumber ? " numeric"
               : type == SqlType::kBlob ? " bytea"
               : type == SqlType::kDate ? " timestamp(0)"
                                        : " text");
  } else {
    out.append(type == SqlType::kNumber ? " NUMERIC" : type == SqlType::kBlob ? " BLOB" : " TEXT");
  }
  if (col.not_null) out.append(" NOT NULL");
  if (col.default_value) {
    std::string v;
    Scope scope;
    SqlType vt = Emit(*col.default_value, &scope, &v);
    // The default fits the column as an inserted value does: refused (ORA-12899) when a row
    // takes it, padded with blanks in a CHAR column.
    const TableInfo described{table->name, false, {}};
    ColumnInfo info{name, type, col.type.scale, col.type.precision};
    int data_length = 0, char_length = 0;
    DeclaredLengths(col.type, &data_length, &char_length);
    SetDeclaredLength(col.type.name, data_length, char_length, &info);
    info.origin_table = &described;
    ConvertFor(&info, vt, &v, col.default_value.get());
    out.append(" DEFAULT (").append(v).push_back(')');
  }
  if (col.generated) {
    // Computed from the other columns of the row, as Oracle's virtual columns are.
    std::string v;
    const Scope row_scope = RowScope(stmt);
    in_generated_column_ = true;
    Emit(*col.generated, &row_scope, &v);
    in_generated_column_ = false;
    // PostgreSQL keeps computed columns stored: it has no virtual ones.
    out.append(" GENERATED ALWAYS AS (").append(v).append(pg_ ? ") STORED" : ") VIRTUAL");
  }
  if (col.check) {
    std::string v;
    const Scope check_scope = RowScope(stmt);
    Emit(*col.check, &check_scope, &v);
    table->keys.push_back({table->ConstraintName(col.check_name), 'C', {name}, "", {}, false, v});
  }
  if (col.primary_key) {
    table->keys.push_back(
        {table->ConstraintName(col.constraint_name), 'P', {name}, "", {}, false, ""});
  }
  if (col.unique) {
    table->keys.push_back({table->ConstraintName(col.primary_key ? Name{} : col.constraint_name),
                           'U',
                           {name},
                           "",
                           {},
                           false,
                           ""});
  }
  if (!col.references_table.empty()) {
    std::vector<std::string> rc;
    for (const Name& n : col.references_columns) rc.push_back(NameOf(n));
    table->keys.push_back(
        {table->ConstraintName(col.references_name), 'R', {name}, NameOf(col.references_table), rc,
         false, ""});
  }
  table->metadata.push_back(ColumnMetadata(table->name, name, i + 1, col));
}

void Translator::AddTableConstraint(Statement& stmt, sql::TableConstraint& c, NewTable* table) {
  NewTable::Key k{table->ConstraintName(c.name), ' ', {}, "", {}, c.on_delete_cascade, ""};
  for (const Name& n : c.columns) {
    std::string cn = NameOf(n);
    bool known = false;
    for (const auto& cd : stmt.column_defs) known = known || NameOf(cd.name) == cn;
    if (!known) throw SqlError("ORA-00904: \"" + cn + "\": invalid identifier");
    k.columns.push_back(cn);
  }
  switch (c.kind) {
    case sql::TableConstraint::kPrimaryKey:
      k.type = 'P';
      break;
    case sql::TableConstraint::kUnique:
      k.type = 'U';
      break;
    case sql::TableConstraint::kForeignKey:
      k.type = 'R';
      k.r_table = NameOf(c.references_table);
      for (const Name& n : c.references_columns) k.r_columns.push_back(NameOf(n));
      break;
    case sql::TableConstraint::kCheck: {
      k.type = 'C';
      const Scope check_scope = RowScope(stmt);
      Emit(*c.check, &check_scope, &k.check);
      break;
    }
  }
  table->keys.push_back(std::move(k));
}

Translation Translator::CreateIndex(Statement& stmt) {
  if (stmt.text_index) return CreateTextIndex(stmt);
  Translation tr{StatementKind::kCreateIndex, {}, true};
  const TableInfo* table = RequireTable(stmt.table);
  std::string out = stmt.unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ";
  AppendName(NameOf(stmt.index), &out);
  out.append(" ON ");
  AppendName(table->name, &out);
  out.append(" (");
  for (size_t i = 0; i < stmt.columns.size(); ++i) {
    if (i) out.append(", ");
    std::string cn = NameOf(stmt.columns[i]);
    if (!table->Find(cn) && !table->columns.empty()) {
      throw SqlError("ORA-00904: \"" + cn + "\": invalid identifier");
    }
    AppendName(cn, &out);
    if (stmt.descending[i]) out.append(" DESC");
  }
  out.push_back(')');
  tr.statements.push_back(std::move(out));
  return tr;
}

Translation Translator::CreateView(Statement& stmt) {
  Translation tr{StatementKind::kCreateView, {}, true};
  const std::string view = NameOf(stmt.table);
  if (!catalog_.FindTable(view)) RefuseNameDifferingOnlyInCase(view);
  if (const TableInfo* existing = catalog_.FindTable(view)) {
    if (!stmt.or_replace || !existing->is_view) {
      throw SqlError("ORA-00955: name is already used by an existing object: " + view);
    }
    std::string drop = "DROP VIEW ";
    AppendName(view, &drop);
    tr.statements.push_back(std::move(drop));
    tr.statements.push_back("DELETE FROM KORVALIS_COLUMNS WHERE TABLE_NAME = " + SqlText(view));
    tr.statements.push_back("DELETE FROM KORVALIS_TABLES WHERE TABLE_NAME = " + SqlText(view));
    if (!pg_) {
      tr.statements.push_back("DELETE FROM KORVALIS_EXACT_COLUMNS WHERE TABLE_NAME = " +
                              SqlText(view));
    }
  }
  std::vector<std::string> names;
  for (const Name& n : stmt.columns) names.push_back(NameOf(n));
  std::string select;
  want_origins_ = true;
  // Its computed columns hold exact operands, which the catalog tells the queries reading it.
  MarkExactColumns(*stmt.select);
  auto cols = EmitSelect(*stmt.select, nullptr, &select, names.empty() ? nullptr : &names);
  want_origins_ = false;
  if (!names.empty() && names.size() != cols.size()) {
    throw SqlError("ORA-01730: invalid number of column names specified");
  }
  for (size_t i = 0; i < cols.size(); ++i) {
    for (size_t j = 0; j < i; ++j) {
      if (cols[i].name == cols[j].name) {
        throw SqlError("ORA-00957: duplicate column name " + cols[i].name);
      }
    }
  }
  std::string out = "CREATE VIEW ";
  AppendName(view, &out);
  out.append(" AS ");
  out.append(TakeNamedViews());  // the view's query begins with its own named views
  out.append(select);
  tr.statements.push_back(std::move(out));
  tr.statements.push_back("INSERT INTO KORVALIS_TABLES (TABLE_NAME, TABLE_TYPE) VALUES (" +
                          SqlText(view) + ", 'VIEW')");
  for (size_t i = 0; i < cols.size(); ++i) {
    // A column read unchanged from a described one takes its declared type, length, precision
    // and nullability; the row below then adds nothing.
    if (cols[i].origin_table && cols[i].origin_column) {
      tr.statements.push_back(
          "INSERT INTO KORVALIS_COLUMNS (TABLE_NAME, COLUMN_NAME, COLUMN_ID, DATA_TYPE, "
          "DATA_LENGTH, DATA_PRECISION, DATA_SCALE, CHAR_LENGTH, NULLABLE) SELECT " +
          SqlText(view) + ", " + SqlText(cols[i].name) + ", " + std::to_string(i + 1) +
          ", DATA_TYPE, DATA_LENGTH, DATA_PRECISION, DATA_SCALE, CHAR_LENGTH, NULLABLE FROM "
          "KORVALIS_COLUMNS WHERE TABLE_NAME = " +
          SqlText(cols[i].origin_table->name) +
          " AND COLUMN_NAME = " + SqlText(cols[i].origin_column->name));
    }
    const char* type = cols[i].type == SqlType::kNumber ? "NUMBER"
                       : cols[i].type == SqlType::kDate ? "DATE"
                       : cols[i].type == SqlType::kBlob ? "BLOB"
                                                        : "VARCHAR2";
    tr.statements.push_back(
        std::string(pg_ ? "INSERT" : "INSERT OR IGNORE") +
        " INTO KORVALIS_COLUMNS (TABLE_NAME, COLUMN_NAME, COLUMN_ID, DATA_TYPE, "
        "DATA_LENGTH, NULLABLE) VALUES (" +
        SqlText(view) + ", " + SqlText(cols[i].name) + ", " + std::to_string(i + 1) + ", '" + type +
        "', " +
        (cols[i].type == SqlType::kNumber ? "22"
         : cols[i].type == SqlType::kDate ? "7"
                                          : "4000") +
        (pg_ ? ", 'Y') ON CONFLICT DO NOTHING" : ", 'Y')"));
    if (cols[i].exact_number) {
      tr.statements.push_back("INSERT INTO KORVALIS_EXACT_COLUMNS (TABLE_NAME, COLUMN_NAME) VALUES (" +
                              SqlText(view) + ", " + SqlText(cols[i].name) + ")");
    }
  }
  return tr;
}

Translation Translator::Comment(Statement& stmt) {
  Translation tr{StatementKind::kComment, {}, false};
  const TableInfo* table = RequireTable(stmt.table);
  const std::string text = stmt.comment.empty() ? "NULL" : SqlText(stmt.comment);
  if (stmt.comment_on_column) {
    std::string column = NameOf(stmt.comment_column);
    const ColumnInfo* c = table->Find(column);
    if (!c) throw SqlError("ORA-00904: \"" + column + "\": invalid identifier");
    tr.statements.push_back("UPDATE KORVALIS_COLUMNS SET COMMENTS = " + text +
                            " WHERE TABLE_NAME = " + SqlText(table->name) +
                            " AND COLUMN_NAME = " + SqlText(c->name));
  } else {
    tr.statements.push_back(
        "INSERT INTO KORVALIS_TABLES (TABLE_NAME, TABLE_TYPE, COMMENTS) "
        "VALUES (" +
        SqlText(table->name) + ", " + (table->is_view ? "'VIEW'" : "'TABLE'") + ", " + text +
        ") ON CONFLICT (TABLE_NAME) DO UPDATE SET COMMENTS = excluded.COMMENTS");
  }
  return tr;
}

Translation Translator::Drop(Statement& stmt) {
  Translation tr{stmt.kind, {}, true};
  if (stmt.kind == StatementKind::kDropIndex) {
    std::string out = "DROP INDEX ";
    AppendName(NameOf(stmt.index), &out);
    tr.statements.push_back(std::move(out));
    return tr;
  }
  const TableInfo* table = RequireTable(stmt.table);
  bool view = stmt.kind == StatementKind::kDropView;
  if (table->is_view != view) {
    throw SqlError(view ? "ORA-00942: " + table->name + " is not a view"
                        : "ORA-00942: " + table->name + " is not a table",
                   kNoSuchTable);
  }
  std::string out = view ? "DROP VIEW " : "DROP TABLE ";
  AppendName(table->name, &out);
  tr.statements.push_back(std::move(out));
  const std::string t = SqlText(table->name);
  tr.statements.push_back("DELETE FROM KORVALIS_COLUMNS WHERE TABLE_NAME = " + t);
  tr.statements.push_back("DELETE FROM KORVALIS_TABLES WHERE TABLE_NAME = " + t);
  tr.statements.push_back("DELETE FROM KORVALIS_CONS_COLUMNS WHERE TABLE_NAME = " + t);
  tr.statements.push_back("DELETE FROM KORVALIS_CONSTRAINTS WHERE TABLE_NAME = " + t);
  if (!pg_) tr.statements.push_back("DELETE FROM KORVALIS_EXACT_COLUMNS WHERE TABLE_NAME = " + t);
  DropTextIndexes(*table, &tr);
  return tr;
}

}  // namespace detail
}  // namespace korvalis::db
