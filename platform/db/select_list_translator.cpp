// The select list of a query printed for both engines: each item with the column name Oracle
// reports for it, and * or t.* spelled out as the columns it stands for.
#include <optional>

#include "platform/db/sql_error.h"
#include "platform/db/sql_token.h"
#include "platform/db/sql_translator_internal.h"

namespace korvalis::db {
namespace detail {

namespace {

// Whether `c` continues a word: a delimited literal begins only where none goes on.
bool ContinuesWord(char c) {
  const unsigned char b = static_cast<unsigned char>(c);
  return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '_' ||
         b == '$' || b == '#' || b >= 0x80;
}

// The column name Oracle reports for a select item without alias: the expression as written,
// upper case outside quoted text and delimited literals (q'[...]'), without blanks.
std::string OracleColumnName(const sql::SelectItem& item, std::string_view statement) {
  if (!item.alias.empty()) return item.alias.text;
  if (item.expr->kind == ExprKind::kColumn) return item.expr->parts.back().text;
  const std::string_view text = statement.substr(item.begin, item.end - item.begin);
  std::string out;
  out.reserve(text.size());
  char quote = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quote) {
      out.push_back(c);
      if (c == quote) quote = 0;
      continue;
    }
    if (c == '\'' || c == '"') {
      quote = c;
      out.push_back(c);
      continue;
    }
    if (i == 0 || !ContinuesWord(text[i - 1])) {
      const size_t q = sql::DelimitedLiteralStart(text, i);
      const std::optional<sql::DelimitedLiteral> literal =
          q == std::string_view::npos ? std::nullopt : sql::ReadDelimitedLiteral(text, q);
      if (literal && literal->end != std::string_view::npos) {
        for (; i <= q; ++i) out.push_back(AsciiUpper(text[i]));
        out.append(text.substr(i, literal->end - i));
        i = literal->end - 1;
        continue;
      }
    }
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
    out.push_back(AsciiUpper(c));
  }
  return out;
}

}  // namespace

// The select items with their column names; returns the result columns.
std::vector<ColumnInfo> Translator::EmitSelectList(SelectCore& core, Scope* scope, bool only_dual,
                                                   const std::vector<std::string>* forced_names,
                                                   std::string* out) {
  std::vector<ColumnInfo> columns;
  for (size_t i = 0; i < core.items.size(); ++i) {
    if (i) out->append(", ");
    sql::SelectItem& item = core.items[i];
    if (item.expr->kind == ExprKind::kStar) {
      EmitStar(*item.expr, *scope, only_dual, &columns, out);
      continue;
    }
    RefuseConditionAsValue(*item.expr);
    // The outermost query's computed columns are exact results; those of other queries read
    // as exact (ExactOwner) are exact operands.
    const bool exact = PrintsExactly(core, i, scope);
    const bool result = exact_select_ != nullptr && &core == &exact_select_->cores[0];
    const SqlType type =
        exact ? EmitExact(*item.expr, scope, result, out) : Emit(*item.expr, scope, out);
    std::string name = forced_names && i < forced_names->size()
                           ? (*forced_names)[i]
                           : OracleColumnName(item, statement_);
    out->append(" AS ");
    AppendName(name, out);
    ColumnInfo info{name, type, -1};
    info.exact_number = exact;
    if (item.expr->kind == ExprKind::kColumn) {
      // A timestamp read unchanged stays one.
      const ColumnInfo* c = ResolveColumn(*item.expr, scope);
      info.timestamp = c && c->timestamp;
    }
    if (want_origins_ && item.expr->kind == ExprKind::kColumn) {
      // A column read unchanged keeps its declared precision and where it comes from.
      if (const ColumnInfo* c = ResolveColumn(*item.expr, scope)) {
        info.scale = c->scale;
        info.precision = c->precision;
        info.origin_table = c->origin_table;
        info.origin_column = c->origin_column;
      }
    }
    columns.push_back(std::move(info));
  }
  return columns;
}

// * or t.*, with the columns it stands for; DUAL's * is its one column DUMMY.
void Translator::EmitStar(const Expr& star, const Scope& scope, bool only_dual,
                          std::vector<ColumnInfo>* columns, std::string* out) {
  std::string qualifier;
  if (!star.parts.empty()) {
    qualifier =
        star.parts.back().quoted ? star.parts.back().text : AsciiUpper(star.parts.back().text);
  }
  if (qualifier.empty() && !only_dual && !scope.joined_columns.empty() &&
      (!pg_ || !scope.sources[0].renamed_in.empty())) {
    EmitJoinedStar(scope, columns, out);
    return;
  }
  if (!scope.sources.empty() &&
      (scope.sources[0].numbered || !scope.sources[0].renamed_in.empty())) {
    // The items' own columns, without the numbering, read where they are.
    bool first = true;
    for (const Source& s : scope.sources) {
      if (!qualifier.empty() && s.alias != qualifier) continue;
      const auto& cols = s.table ? s.table->columns : s.derived;
      for (const ColumnInfo& c : cols) {
        if (!first) out->append(", ");
        first = false;
        if (!s.renamed_in.empty()) {
          out->append(s.renamed_in).push_back('.');
          AppendAlias(s.alias + "$" + c.name, out);
          out->append(" AS ");
        }
        AppendName(c.name, out);
      }
      columns->insert(columns->end(), cols.begin(), cols.end());
    }
    if (first) throw SqlError("ORA-00904: \"" + qualifier + "\": invalid identifier");
    return;
  }
  qualifier.clear();
  if (star.parts.empty()) {
    if (only_dual) {
      out->append("'X' AS \"DUMMY\"");
      columns->push_back(ColumnInfo{"DUMMY", SqlType::kText, -1});
      return;
    }
    out->push_back('*');
  } else {
    qualifier =
        star.parts.back().quoted ? star.parts.back().text : AsciiUpper(star.parts.back().text);
    AppendAlias(qualifier, out);
    out->append(".*");
  }
  if (qualifier.empty() && !scope.joined_columns.empty()) {
    // PostgreSQL's * over joins with USING.
    for (const JoinedColumn& c : scope.joined_columns) {
      if (c.source == JoinedColumn::kMerged) {
        AddMergedColumn(scope, c.name, columns);
      } else {
        columns->push_back(*scope.sources[c.source].Find(c.name));
      }
    }
    return;
  }
  for (const Source& s : scope.sources) {
    if (!qualifier.empty() && s.alias != qualifier) continue;
    const auto& cols = s.table ? s.table->columns : s.derived;
    columns->insert(columns->end(), cols.begin(), cols.end());
  }
}

// * over joins with USING, in Oracle's order: the merged columns once, first. PostgreSQL's own
// * lists them so, SQLite's does not.
void Translator::EmitJoinedStar(const Scope& scope, std::vector<ColumnInfo>* columns,
                                std::string* out) {
  const std::string& view = scope.sources[0].renamed_in;
  for (size_t i = 0; i < scope.joined_columns.size(); ++i) {
    if (i) out->append(", ");
    const JoinedColumn& c = scope.joined_columns[i];
    if (c.source == JoinedColumn::kMerged) {
      if (!view.empty()) {
        out->append(view).push_back('.');
        AppendName("$" + c.name, out);
        out->append(" AS ");
      }
      AppendName(c.name, out);
      AddMergedColumn(scope, c.name, columns);
      continue;
    }
    const Source& s = scope.sources[c.source];
    if (view.empty()) {
      if (!s.alias.empty()) {
        AppendAlias(s.alias, out);
        out->push_back('.');
      }
      AppendName(c.name, out);
    } else {
      out->append(view).push_back('.');
      AppendAlias(s.alias + "$" + c.name, out);
      out->append(" AS ");
      AppendName(c.name, out);
    }
    columns->push_back(*s.Find(c.name));
  }
}

}  // namespace detail
}  // namespace korvalis::db
