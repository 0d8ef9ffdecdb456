// The FROM clause: its items (inline views printed in place or named apart as the statement's
// WITH queries), joins and the names of tables as the engine stores them.
#include <algorithm>
#include <utility>

#include "platform/db/sql_error.h"
#include "platform/db/sql_translator_internal.h"
#include "platform/db/stored_names.h"

namespace korvalis::db {
namespace detail {

void Translator::EmitFrom(std::vector<TableRef>& from, Scope* scope, std::string* out) {
  std::vector<JoinedColumn> columns;
  for (size_t i = 0; i < from.size(); ++i) {
    if (i) out->append(", ");
    size_t next = scope->sources.size();
    EmitTableRef(from[i], scope, out);
    CollectJoinedColumns(from[i], scope, &next, &columns);
  }
  if (!scope->using_columns.empty()) scope->joined_columns = std::move(columns);
}

void Translator::CollectJoinedColumns(const TableRef& ref, Scope* scope, size_t* next,
                                      std::vector<JoinedColumn>* columns) {
  if (ref.kind != TableRef::kJoin) {
    const size_t index = (*next)++;
    if (index >= scope->sources.size()) return;
    const Source& s = scope->sources[index];
    for (const ColumnInfo& c : s.table ? s.table->columns : s.derived) {
      columns->push_back(JoinedColumn{index, c.name});
    }
    return;
  }
  std::vector<JoinedColumn> left, right;
  CollectJoinedColumns(*ref.left, scope, next, &left);
  CollectJoinedColumns(*ref.right, scope, next, &right);
  std::vector<std::string> merged;
  for (const Name& u : ref.using_columns) {
    merged.push_back(NameOf(u));
    columns->push_back(JoinedColumn{JoinedColumn::kMerged, merged.back()});
    auto& all = scope->using_columns;
    if (std::find(all.begin(), all.end(), merged.back()) == all.end()) all.push_back(merged.back());
  }
  for (std::vector<JoinedColumn>* side : {&left, &right}) {
    for (JoinedColumn& c : *side) {
      if (std::find(merged.begin(), merged.end(), c.name) == merged.end()) {
        columns->push_back(std::move(c));
      } else if (c.source != JoinedColumn::kMerged) {
        scope->sources[c.source].merged.push_back(c.name);
      }
    }
  }
}

void Translator::AddMergedColumn(const Scope& scope, const std::string& name,
                                 std::vector<ColumnInfo>* columns) {
  for (const Source& s : scope.sources) {
    if (!s.Merges(name)) continue;
    ColumnInfo info = *s.Find(name);
    info.origin_table = nullptr;
    info.origin_column = nullptr;
    columns->push_back(std::move(info));
    return;
  }
  columns->push_back(ColumnInfo{name, SqlType::kUnknown, -1});
}

void Translator::EmitTableRef(TableRef& ref, Scope* scope, std::string* out) {
  switch (ref.kind) {
    case TableRef::kTable: {
      if (EmitDictionaryView(ref, scope, out)) return;
      const TableInfo* table = RequireTable(ref.table);
      Source s;
      s.table = table;
      s.alias = NameOf(ref.alias.empty() ? ref.table : ref.alias);
      AppendTable(*table, ref.alias, out);
      scope->sources.push_back(std::move(s));
      return;
    }
    case TableRef::kSubquery:
      EmitInlineView(ref, scope, out);
      return;
    case TableRef::kJoin: {
      EmitTableRef(*ref.left, scope, out);
      switch (ref.join) {
        case sql::JoinKind::kInner:
          // PostgreSQL's JOIN wants its condition; one without is a cross join.
          out->append(pg_ && !ref.on && ref.using_columns.empty() ? " CROSS JOIN " : " JOIN ");
          break;
        case sql::JoinKind::kLeft:
          out->append(" LEFT JOIN ");
          break;
        case sql::JoinKind::kRight:
          Refuse("RIGHT OUTER JOIN");
        case sql::JoinKind::kFull:
          Refuse("FULL OUTER JOIN");
        case sql::JoinKind::kCross:
          out->append(" CROSS JOIN ");
          break;
        case sql::JoinKind::kNone:
          break;
      }
      EmitTableRef(*ref.right, scope, out);
      if (ref.on) {
        out->append(" ON ");
        Emit(*ref.on, scope, out);
      } else if (!ref.using_columns.empty()) {
        out->append(" USING (");
        for (size_t i = 0; i < ref.using_columns.size(); ++i) {
          if (i) out->append(", ");
          AppendName(ref.using_columns[i].text, out);
        }
        out->push_back(')');
      }
      return;
    }
  }
}

void Translator::EmitInlineView(TableRef& ref, Scope* scope, std::string* out) {
  // An inline view sees the enclosing query's outer scopes, not its FROM siblings.
  Source s;
  s.is_derived = true;
  MarkExactColumns(*ref.subquery);
  const uint64_t first_own_level = NextScopeSerial();
  const uint64_t read_before = std::exchange(oldest_level_read_, UINT64_MAX);
  std::string query;
  s.derived = EmitSelect(*ref.subquery, scope->parent, &query);
  const bool reads_enclosing = oldest_level_read_ < first_own_level;
  NoteLevelRead(read_before);
  if (views_named_ && !reads_enclosing) {
    const std::string name = "V$VIEW" + std::to_string(named_views_.size() + 1);
    std::string named;
    AppendQuotedName(name, &named);
    out->append(named);
    named_views_.push_back(named + " AS (" + query + ")");
  } else {
    out->push_back('(');
    out->append(query);
    out->push_back(')');
  }
  if (!ref.alias.empty()) {
    s.alias = NameOf(ref.alias);
    out->append(" AS ");
    AppendAlias(s.alias, out);
  } else if (pg_) {
    // PostgreSQL wants a name for every inline view; this one is never referred to.
    out->append(" AS ");
    AppendQuotedName("V$" + std::to_string(++pg_view_number_), out);
  }
  scope->sources.push_back(std::move(s));
}

std::string Translator::TakeNamedViews() {
  if (named_views_.empty()) return {};
  std::string clause = "WITH ";
  for (size_t i = 0; i < named_views_.size(); ++i) {
    if (i) clause.append(", ");
    clause.append(named_views_[i]);
  }
  named_views_.clear();
  clause.push_back(' ');
  return clause;
}

// Puts the named inline views before each statement that reads them; false where one cannot
// begin with them.
bool Translator::PrefixNamedViews(Translation* tr) {
  const std::string clause = TakeNamedViews();
  if (clause.empty()) return true;
  const std::string list = clause.substr(5, clause.size() - 6) + ", ";
  for (std::string& statement : tr->statements) {
    // Views come as a whole list: a statement reads its views, and they read the others.
    if (statement.find("\"V$VIEW") == std::string::npos) continue;
    if (statement.starts_with("WITH RECURSIVE ")) {
      statement.insert(15, list);
    } else if (statement.starts_with("WITH ")) {
      statement.insert(5, list);
    } else if (statement.starts_with("SELECT ") || statement.starts_with("INSERT ") ||
               statement.starts_with("UPDATE ") || statement.starts_with("DELETE ")) {
      statement.insert(0, clause);
    } else {
      return false;
    }
  }
  return true;
}

const TableInfo* Translator::RequireTable(const Name& name) {
  const TableInfo* table = catalog_.FindTable(name.text);
  if (!table) {
    if (name.text.rfind("USER_", 0) == 0 || name.text.rfind("DBA_", 0) == 0 ||
        name.text.rfind("ALL_", 0) == 0 || name.text.rfind("V$", 0) == 0) {
      Refuse("the dictionary view " + name.text);
    }
    throw SqlError("ORA-00942: table or view does not exist: " + name.text, kNoSuchTable);
  }
  return table;
}

void AppendEngineName(std::string_view name, bool marked, std::string* out) {
  if (!marked || !IsMarkedWhenStored(name)) {
    AppendQuotedName(name, out);
    return;
  }
  std::string stored;
  AppendStoredName(name, &stored);
  AppendQuotedName(stored, out);
}

void Translator::AppendName(std::string_view name, std::string* out) const {
  AppendEngineName(name, MarksNames(), out);
}

void Translator::AppendAlias(std::string_view name, std::string* out) const {
  AppendEngineName(name, !pg_, out);
}

// The engine finds the qualifier of a column by its table's name; where a name holding
// lower-case letters qualifies the columns, the table takes it as its alias.
void Translator::AppendTable(const TableInfo& table, const Name& alias, std::string* out) const {
  AppendName(table.name, out);
  if (!alias.empty()) {
    out->append(" AS ");
    AppendAlias(NameOf(alias), out);
  } else if (!pg_ && IsMarkedWhenStored(table.name)) {
    out->append(" AS ");
    AppendAlias(table.name, out);
  }
}

}  // namespace detail
}  // namespace korvalis::db
