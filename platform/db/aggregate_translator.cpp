// Oracle's aggregates and analytic functions mapped to the engines' own: SUM and AVG exact on
// the embedded file, LISTAGG ordered alike on both engines, and the window functions the
// translator knows, with their arguments checked as Oracle checks them.
#include <unordered_map>

#include "platform/db/sql_error.h"
#include "platform/db/sql_translator_internal.h"

namespace korvalis::db {
namespace detail {

SqlType Translator::EmitAnalytic(const Expr& e, const Scope* scope, std::string* out) {
  static const std::unordered_map<std::string_view, const char*>& kWindow =
      *new std::unordered_map<std::string_view, const char*>{{"ROW_NUMBER", "row_number"},
                                                             {"RANK", "rank"},
                                                             {"DENSE_RANK", "dense_rank"},
                                                             {"FIRST_VALUE", "first_value"},
                                                             {"LAST_VALUE", "last_value"},
                                                             {"LAG", "lag"},
                                                             {"LEAD", "lead"},
                                                             {"NTILE", "ntile"},
                                                             {"COUNT", "count"},
                                                             {"SUM", "sum"},
                                                             {"AVG", "avg"},
                                                             {"MIN", "min"},
                                                             {"MAX", "max"}};
  const std::string_view f = e.text;
  auto it = kWindow.find(f);
  if (it == kWindow.end()) Refuse("the analytic function " + e.text);
  if (e.distinct) Refuse("DISTINCT in an analytic function");
  // Numbering and neighbouring rows read the whole ordered partition, never a frame.
  if (e.over->frame && (f == "ROW_NUMBER" || f == "RANK" || f == "DENSE_RANK" || f == "NTILE" ||
                        f == "LAG" || f == "LEAD")) {
    throw SqlError("ORA-00907: missing right parenthesis");
  }
  const size_t call = out->size();
  std::string arguments;
  std::vector<SqlType> types;
  if ((f == "SUM" || f == "AVG") && e.args.size() == 1) {
    out->append(NumberAggregate(f, EmitAggregateArgument(e, scope, &arguments), ExactForm::kNone));
  } else if (f == "NTILE") {
    // The number of buckets is truncated and must be positive; the buckets follow an order.
    CheckArity(e, 1, 1);
    if (e.over->order_by.empty()) {
      throw SqlError("ORA-30485: missing ORDER BY expression in the window specification");
    }
    arguments.append("ora_window_argument(");
    EmitNumberOperand(*e.args[0], scope, &arguments);
    arguments.append(", 1)");
    out->append(it->second);
  } else if ((f == "LAG" || f == "LEAD") && e.args.size() > 1) {
    // The offset is truncated and may not be negative; the default takes the value's type.
    CheckArity(e, 1, 3);
    types.push_back(Emit(*e.args[0], scope, &arguments));
    arguments.append(", ora_window_argument(");
    EmitNumberOperand(*e.args[1], scope, &arguments);
    arguments.append(", 0)");
    if (e.args.size() == 3) {
      arguments.append(", ");
      const size_t start = arguments.size();
      ConvertToFirst(types[0], Emit(*e.args[2], scope, &arguments), *e.args[2], start, &arguments);
    }
    out->append(it->second);
  } else {
    EmitArgs(e, 0, scope, &arguments, &types);
    out->append(it->second);
  }
  out->push_back('(');
  out->append(arguments);
  out->push_back(')');
  EmitWindow(*e.over, scope, out);
  if (pg_ && f == "SUM") {
    // The server's sum keeps every digit of its terms, bounded only by a NUMBER's range.
    out->insert(call, "ora_finite(");
    out->push_back(')');
  }
  if (f == "FIRST_VALUE" || f == "LAST_VALUE" || f == "LAG" || f == "LEAD" || f == "MIN" ||
      f == "MAX") {
    return types.empty() ? SqlType::kUnknown : types[0];
  }
  return SqlType::kNumber;
}

// LISTAGG: the values as the text Oracle writes them, NULLs skipped, in the order of the keys,
// ties taken in the order of the texts themselves so that both engines give one answer. The
// server's ora_listagg_join orders its rows; the file's ora_listagg sorts the rows it is given
// by keys whose directions its third argument spells ("A" or "D", then "F" or "L" for NULLs).
// Both refuse a result above 4000 bytes, the server at the row that passes them, counted as
// the rows are read (ora_listagg_room), before it sorts them.
SqlType Translator::EmitListagg(const Expr& e, const Scope* scope, std::string* out) {
  const sql::Expr& delimiter = *e.args[1];
  if (delimiter.kind != ExprKind::kString && delimiter.kind != ExprKind::kNull) {
    throw SqlError("ORA-30496: Argument should be a constant.");
  }
  ++aggregates_open_;
  std::string value;
  EmitConcat({e.args[0].get()}, scope, &value);
  std::vector<std::string> keys;
  std::string directions;
  for (size_t i = 0; i < e.within_group.size(); ++i) {
    const Expr& key = *e.args[2 + i];
    std::string& text = keys.emplace_back();
    if (!EmitExactSortKey(key, nullptr, scope, &text)) Emit(key, scope, &text);
    const sql::OrderItem& item = e.within_group[i];
    const bool nulls_first = item.nulls == sql::OrderItem::kDefault
                                 ? item.descending
                                 : item.nulls == sql::OrderItem::kFirst;
    directions.push_back(item.descending ? 'D' : 'A');
    directions.push_back(nulls_first ? 'F' : 'L');
  }
  --aggregates_open_;
  std::string separator;
  AppendStringLiteral(delimiter.kind == ExprKind::kString ? delimiter.text : "", &separator);
  if (pg_) {
    out->append("ora_listagg_joined(ora_listagg_join(" + value + ", " + separator + " ORDER BY ");
    for (size_t i = 0; i < keys.size(); ++i) {
      out->append(keys[i]);
      AppendOrderDirection(e.within_group[i], out, false);
      out->append(", ");
    }
    out->append(value + " COLLATE \"C\"), ora_listagg_room(" + value + ", " + separator + "))");
  } else {
    out->append("ora_listagg(" + value + ", " + separator + ", '" + directions + "'");
    for (const std::string& key : keys) out->append(", " + key);
    out->push_back(')');
  }
  return SqlType::kText;
}

SqlType Translator::EmitAggregate(const Expr& e, const Scope* scope, std::string* out) {
  const std::string_view f = e.text;
  if (f == "LISTAGG") return EmitListagg(e, scope, out);
  CheckArity(e, 1, 1);
  if (e.args[0]->kind == ExprKind::kStar && f != "COUNT") {
    throw SqlError("ORA-00936: missing expression");
  }
  std::string argument;
  SqlType t = SqlType::kNumber;
  if (f == "SUM" || f == "AVG") {
    t = EmitAggregateArgument(e, scope, &argument);
  } else if (e.args[0]->kind != ExprKind::kStar) {
    if (e.distinct) argument.append("DISTINCT ");
    // Distinct computed numbers are told apart by their exact values.
    ++aggregates_open_;
    t = e.distinct && ComputedExactly(*e.args[0], scope)
            ? EmitExact(*e.args[0], scope, false, &argument)
            : Emit(*e.args[0], scope, &argument);
    --aggregates_open_;
  } else if (pg_) {
    argument.push_back('*');
  }
  // The server's sum keeps every digit of its terms, bounded only by a NUMBER's range.
  const bool bounded_sum = pg_ && f == "SUM";
  if (bounded_sum) out->append("ora_finite(");
  if (f == "SUM" || f == "AVG") {
    out->append(NumberAggregate(f, t, ExactForm::kNone));
  } else {
    out->append(f == "COUNT" ? "count" : f == "MIN" ? "min" : "max");
  }
  out->push_back('(');
  out->append(argument);
  out->push_back(')');
  if (bounded_sum) out->push_back(')');
  return (f == "MIN" || f == "MAX") ? t : SqlType::kNumber;
}

// SUM and AVG of NUMBERs: exact on the embedded engine, in the form asked; AVG on the server
// rounds its quotient as a NUMBER's. Other values keep the engine's own aggregates.
const char* Translator::NumberAggregate(std::string_view f, SqlType argument, ExactForm form) const {
  const bool sum = f == "SUM";
  if (pg_) return sum ? "sum" : "ora_avg";
  if (argument != SqlType::kNumber && argument != SqlType::kNull) return sum ? "sum" : "avg";
  switch (form) {
    case ExactForm::kOperand: return sum ? "ora_exact_sum" : "ora_exact_avg";
    case ExactForm::kResult: return sum ? "ora_result_sum" : "ora_result_avg";
    default: return sum ? "ora_sum" : "ora_avg";
  }
}

}  // namespace detail
}  // namespace korvalis::db
