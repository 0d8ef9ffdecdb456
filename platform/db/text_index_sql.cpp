// Text indexes and the Oracle Text and XML functions in translated statements.
//
// CREATE INDEX i ON t (c) INDEXTYPE IS CTXSYS.CONTEXT [PARAMETERS ('... path_section_group
// ...')] creates the FTS5 table of text_search.h over t.c, fills it from the rows there are,
// and keeps it by triggers. CONTAINS(t.c, 'query') finds its rows through that table:
//   t.rowid IN (SELECT rowid FROM fts WHERE fts MATCH '<index query>')
// and, where the index only narrows the search (text_query.h), checks each row found with
// ora_contains. A column without a text index fails as in Oracle.
//
// On a PostgreSQL server the index is a trigram index over the column's unit string (a BLOB
// read as UTF-8), and CONTAINS with a literal query is the query's condition over that string
// (postgres_text_search.h), which the index serves; a query known only when the statement
// runs is compiled and matched there.
#include <string>

#include "platform/db/sql_error.h"
#include "platform/db/sql_translator_internal.h"
#include "platform/db/text_query.h"
#include "platform/db/text_search.h"

namespace korvalis::db::detail {
namespace {

[[noreturn]] void NotIndexed(const std::string& column) {
  throw SqlError("ORA-20000: Oracle Text error: DRG-10599: column is not indexed: " + column);
}

// The source of a column reference, searching the enclosing scopes; nullptr when none has it.
const Source* SourceOf(const Expr& column, const Scope* scope) {
  const std::string name = column.parts.back().text;
  std::string qualifier;
  if (column.parts.size() >= 2) qualifier = column.parts[column.parts.size() - 2].text;
  for (const Scope* s = scope; s; s = s->parent) {
    for (const Source& src : s->sources) {
      if (!qualifier.empty() && src.alias != qualifier) continue;
      if (src.Find(name)) return &src;
    }
  }
  return nullptr;
}

bool ContainsNoCase(std::string_view text, std::string_view word) {
  return AsciiUpper(text).find(AsciiUpper(word)) != std::string::npos;
}

}  // namespace

bool Translator::EmitContainsCondition(const Expr& e, const Scope* scope, std::string* out) {
  const Expr& left = *e.args[0];
  double zero;
  if (left.kind != ExprKind::kFunction || left.text != "CONTAINS" || left.over ||
      !LiteralNumber(*e.args[1], &zero) || zero != 0) {
    return false;
  }
  std::string condition;
  EmitTextFunction(left, scope, &condition);
  // EmitTextFunction prints CONTAINS as CASE WHEN <condition> THEN 100 ELSE 0 END.
  constexpr std::string_view kHead = "(CASE WHEN ", kTail = " THEN 100 ELSE 0 END)";
  out->push_back('(');
  out->append(condition, kHead.size(), condition.size() - kHead.size() - kTail.size());
  out->push_back(')');
  return true;
}

SqlType Translator::EmitTextFunction(const Expr& e, const Scope* scope, std::string* out) {
  const std::string& f = e.text;
  const size_t n = e.args.size();
  if (f == "EXTRACTVALUE" || f == "EXTRACT") return EmitXmlExtract(e, scope, out);

  // CONTAINS(column, query)
  if (n == 3) Refuse("CONTAINS with a score label (SCORE)");
  if (n != 2) throw SqlError("ORA-00909: invalid number of arguments for CONTAINS");
  const Expr& column = *e.args[0];
  const Expr& query = *e.args[1];
  if (column.kind != ExprKind::kColumn) {
    throw SqlError("ORA-20000: Oracle Text error: DRG-10599: CONTAINS needs an indexed column");
  }
  std::shared_ptr<const text::TextQuery> parsed;
  if (query.kind == ExprKind::kNull) {
    text::TextQuery::Parse("");  // throws Oracle Text's syntax error
  } else if (query.kind == ExprKind::kString) {
    parsed = text::TextQuery::Parse(query.text);
  }
  const TextIndexOf target = FindTextIndex(column, parsed.get(), scope);
  out->append("(CASE WHEN ");
  if (pg_) {
    EmitServerContains(column, query, parsed.get(), target, scope, out);
  } else {
    EmitEmbeddedContains(column, query, parsed.get(), target, scope, out);
  }
  out->append(" THEN 100 ELSE 0 END)");
  return SqlType::kNumber;
}

SqlType Translator::EmitXmlExtract(const Expr& e, const Scope* scope, std::string* out) {
  const std::string& f = e.text;
  const size_t n = e.args.size();
  if (n == 3) Refuse(f + " with namespaces");
  if (n != 2) throw SqlError("ORA-00909: invalid number of arguments for " + f);
  out->append(f == "EXTRACT" ? "ora_extract(" : "ora_extractvalue(");
  Emit(*e.args[0], scope, out);
  out->append(", ");
  Emit(*e.args[1], scope, out);
  out->push_back(')');
  return SqlType::kText;
}

void Translator::EmitServerContains(const Expr& column, const Expr& query,
                                    const text::TextQuery* parsed, const TextIndexOf& target,
                                    const Scope* scope, std::string* out) {
  std::string text;
  if (Emit(column, scope, &text) == SqlType::kBlob) text = "ora_blob_text(" + text + ")";
  const char* kind = target.xml ? ", 1" : ", 0";
  if (parsed) {
    const std::string units = "ora_text_units(" + text + kind + ")";
    out->append(parsed->ServerCondition(units, [&text](const std::string& path) {
      std::string sections = "ora_text_sections(" + text + ", ";
      AppendStringLiteral(path, &sections);
      return sections + ") AS section(units)";
    }));
    return;
  }
  // A query known when the statement runs is compiled there, once when it is the same for
  // every row, and matched row by row.
  std::string program;
  PgAsText(Emit(query, scope, &program), &program);
  out->append("ora_text_matches(").append(text).append(kind);
  out->append(", (SELECT ora_text_program(").append(program).append("))) > 0");
}

void Translator::EmitEmbeddedContains(const Expr& column, const Expr& query,
                                      const text::TextQuery* parsed, const TextIndexOf& target,
                                      const Scope* scope, std::string* out) {
  std::string check = "ora_contains(";
  Emit(column, scope, &check);
  check.append(", ");
  Emit(query, scope, &check);
  check.append(target.xml ? ", 1) > 0" : ", 0) > 0");

  bool exact = false;
  const std::string index_query =
      parsed && target.source != nullptr ? parsed->IndexQuery(&exact) : std::string();
  if (index_query.empty()) {
    out->append(check);
    return;
  }
  std::string rows;
  AppendAlias(target.source->alias, &rows);
  rows.append(".rowid IN (SELECT rowid FROM ");
  AppendName(target.index, &rows);
  rows.append(" WHERE ");
  AppendName(target.index, &rows);
  rows.append(" MATCH ");
  AppendStringLiteral(index_query, &rows);
  rows.push_back(')');
  if (exact) {
    out->append(rows);
  } else {
    out->append("(").append(rows).append(" AND ").append(check).push_back(')');
  }
}

// The text index of the column CONTAINS searches: for a column of a stored table, its index
// (refused when it has none, or when INPATH needs the XML one); none for a view's column,
// which is searched row by row.
Translator::TextIndexOf Translator::FindTextIndex(const Expr& column, const text::TextQuery* parsed,
                                                  const Scope* scope) {
  const Source* source = SourceOf(column, scope);
  const std::string column_name = AsciiUpper(column.parts.back().text);
  if (!source) throw SqlError("ORA-00904: \"" + column_name + "\": invalid identifier");
  TextIndexOf target;
  if (!source->table || source->table->is_view || source->is_derived) return target;
  for (bool as_xml : {false, true}) {
    std::string name = TextIndexTable(source->table->name, column_name, as_xml);
    if (catalog_.FindTable(name)) {
      target.index = std::move(name);
      target.xml = as_xml;
    }
  }
  if (target.index.empty()) NotIndexed(source->table->name + "." + column_name);
  if (parsed && parsed->HasPath() && !target.xml) {
    throw SqlError(
        "ORA-20000: Oracle Text error: DRG-10837: INPATH needs a text index with the "
        "path section group on " +
        source->table->name + "." + column_name);
  }
  target.source = source;
  return target;
}

Translation Translator::CreateTextIndex(Statement& stmt) {
  Translation tr{StatementKind::kCreateIndex, {}, true};
  const TableInfo* table = RequireTable(stmt.table);
  if (table->is_view) Refuse("a text index on a view");
  if (stmt.columns.size() != 1) {
    throw SqlError("ORA-29851: cannot build a domain index on more than one column");
  }
  const ColumnInfo* column = table->Find(stmt.columns[0].text);
  if (!column) throw SqlError("ORA-00904: \"" + stmt.columns[0].text + "\": invalid identifier");
  if (column->type != SqlType::kText && column->type != SqlType::kBlob) {
    throw SqlError(
        "ORA-29855: error occurred in the execution of ODCIINDEXCREATE routine: "
        "DRG-11304: function-based indexes are not supported by this indextype");
  }
  const bool xml = ContainsNoCase(stmt.index_parameters, "PATH_SECTION_GROUP");
  const std::string fts = TextIndexTable(table->name, column->name, xml);
  if (catalog_.FindTable(fts) ||
      catalog_.FindTable(TextIndexTable(table->name, column->name, !xml))) {
    throw SqlError(
        "ORA-29879: cannot create multiple domain indexes on a column list using same indextype");
  }
  std::string f, t, c;
  AppendName(fts, &f);
  AppendName(table->name, &t);
  AppendName(column->name, &c);
  if (pg_) {
    const std::string text = column->type == SqlType::kBlob ? "ora_blob_text(" + c + ")" : c;
    tr.statements.push_back("CREATE INDEX " + f + " ON " + t + " USING gin (ora_text_units(" +
                            text + (xml ? ", 1)" : ", 0)") + " gin_trgm_ops)");
    return tr;
  }
  tr.statements.push_back("CREATE VIRTUAL TABLE " + f + " USING fts5(\"TEXT\", content='', " +
                          "tokenize='" + (xml ? "korvalis_xml" : "korvalis") + "')");
  const std::string insert_new = "INSERT INTO " + f + " (rowid, \"TEXT\") SELECT new.rowid, new." +
                                 c + " WHERE new." + c + " IS NOT NULL;";
  const std::string delete_old = "INSERT INTO " + f + " (" + f +
                                 ", rowid, \"TEXT\") SELECT 'delete', old.rowid, old." + c +
                                 " WHERE old." + c + " IS NOT NULL;";
  auto trigger = [&](const char* suffix) {
    std::string name;
    AppendName(fts + suffix, &name);
    return "CREATE TRIGGER " + name;
  };
  tr.statements.push_back(trigger("$INSERT") + " AFTER INSERT ON " + t + " BEGIN " + insert_new +
                          " END");
  tr.statements.push_back(trigger("$DELETE") + " AFTER DELETE ON " + t + " BEGIN " + delete_old +
                          " END");
  tr.statements.push_back(trigger("$UPDATE") + " AFTER UPDATE OF " + c + " ON " + t + " BEGIN " +
                          delete_old + " " + insert_new + " END");
  tr.statements.push_back("INSERT INTO " + f + " (rowid, \"TEXT\") SELECT rowid, " + c + " FROM " +
                          t + " WHERE " + c + " IS NOT NULL");
  return tr;
}

void Translator::DropTextIndexes(const TableInfo& table, Translation* tr) {
  if (pg_) return;  // the server drops a table's indexes with it
  for (const ColumnInfo& c : table.columns) {
    for (bool xml : {false, true}) {
      const std::string fts = TextIndexTable(table.name, c.name, xml);
      if (!catalog_.FindTable(fts)) continue;
      std::string drop = "DROP TABLE ";
      AppendName(fts, &drop);
      tr->statements.push_back(std::move(drop));
    }
  }
}

}  // namespace korvalis::db::detail
