// Oracle's built-in functions, aggregates and analytic functions mapped to SQLite's and to
// the functions of oracle_functions.h; names the translator does not know are refused.
#include <algorithm>
#include <unordered_map>

#include "platform/db/ora_number.h"
#include "platform/db/sql_error.h"
#include "platform/db/sql_translator_internal.h"

namespace korvalis::db {
namespace detail {

namespace {

bool IsNvl(const Expr& e) {
  return e.kind == ExprKind::kFunction && e.text == "NVL" && e.args.size() == 2 && !e.over;
}

// The values of nested NVLs in order: NVL(NVL(a, b), c) and NVL(a, NVL(b, c)) are both the
// first value of a, b, c that is not null.
void CollectNvl(const Expr& e, std::vector<const Expr*>* values) {
  std::vector<const Expr*> stack{&e};
  while (!stack.empty()) {
    const Expr* p = stack.back();
    stack.pop_back();
    if (IsNvl(*p)) {
      stack.push_back(p->args[1].get());
      stack.push_back(p->args[0].get());
    } else {
      values->push_back(p);
    }
  }
}

}  // namespace

// NVL, nested NVLs as one coalesce (in groups where they are many). A replacement takes the
// type of the values before it: a text after a date is a date.
SqlType Translator::EmitNvl(const Expr& e, const Scope* scope, std::string* out) {
  std::vector<const Expr*> values;
  CollectNvl(e, &values);
  SqlType type = SqlType::kNull;
  size_t groups = 0;
  for (size_t group = 0; group < values.size(); group += kMaxCallArguments - 1) {
    out->append("coalesce(");
    ++groups;
    const size_t end = std::min(values.size(), group + kMaxCallArguments - 1);
    for (size_t i = group; i < end; ++i) {
      if (i > group) out->append(", ");
      const size_t start = out->size();
      const SqlType t = Emit(*values[i], scope, out);
      if (type == SqlType::kDate && t == SqlType::kText) {
        out->insert(start, "ora_date_in(");
        out->push_back(')');
      }
      if (type == SqlType::kNull) type = t;
    }
    // The next group is the last value of this one.
    if (end < values.size()) out->append(", ");
  }
  out->append(groups, ')');
  return type;
}

SqlType Translator::EmitFunction(const Expr& e, const Scope* scope, std::string* out) {
  const std::string_view f = e.text;  // compared often: a view checks lengths first
  const size_t n = e.args.size();
  auto arity = [&](size_t lo, size_t hi) {
    if (n < lo || n > hi) throw SqlError("ORA-00909: invalid number of arguments for " + e.text);
  };
  auto call = [&](const char* name, SqlType result) {
    out->append(name);
    out->push_back('(');
    EmitArgs(e, 0, scope, out);
    out->push_back(')');
    return result;
  };

  if (e.over) {
    static const std::unordered_map<std::string, const char*> kWindow = {
        {"ROW_NUMBER", "row_number"},
        {"RANK", "rank"},
        {"DENSE_RANK", "dense_rank"},
        {"FIRST_VALUE", "first_value"},
        {"LAST_VALUE", "last_value"},
        {"LAG", "lag"},
        {"LEAD", "lead"},
        {"COUNT", "count"},
        {"SUM", "sum"},
        {"AVG", "avg"},
        {"MIN", "min"},
        {"MAX", "max"}};
    auto it = kWindow.find(e.text);
    if (it == kWindow.end()) Refuse("the analytic function " + e.text);
    out->append(it->second);
    out->push_back('(');
    if (e.distinct) Refuse("DISTINCT in an analytic function");
    std::vector<SqlType> types;
    EmitArgs(e, 0, scope, out, &types);
    out->push_back(')');
    EmitWindow(*e.over, scope, out);
    if (f == "FIRST_VALUE" || f == "LAST_VALUE" || f == "LAG" || f == "LEAD" || f == "MIN" ||
        f == "MAX") {
      return types.empty() ? SqlType::kUnknown : types[0];
    }
    return SqlType::kNumber;
  }
  if (IsAggregateName(f)) {
    arity(1, 1);
    if (f == "STDDEV" || f == "VARIANCE") Refuse(e.text);
    out->append(f == "COUNT" ? "count"
                : f == "SUM" ? "sum"
                : f == "AVG" ? "avg"
                : f == "MIN" ? "min"
                             : "max");
    out->push_back('(');
    if (e.distinct) out->append("DISTINCT ");
    SqlType t;
    if (e.args[0]->kind == ExprKind::kStar) {
      if (f != "COUNT") throw SqlError("ORA-00936: missing expression");
      t = SqlType::kNumber;
    } else {
      t = Emit(*e.args[0], scope, out);
    }
    out->push_back(')');
    return (f == "MIN" || f == "MAX") ? t : SqlType::kNumber;
  }
  for (const auto& a : e.args) {
    if (a->kind == ExprKind::kStar) throw SqlError("ORA-00936: missing expression in " + e.text);
  }

  if (f == "NVL") {
    arity(2, 2);
    return EmitNvl(e, scope, out);
  }
  if (f == "COALESCE") {
    if (n < 1) arity(1, 1);
    out->append("coalesce(");
    std::vector<SqlType> types;
    EmitArgs(e, 0, scope, out, &types);
    if (n == 1) out->append(", NULL");
    out->push_back(')');
    for (SqlType t : types) {
      if (t != SqlType::kNull) return t;
    }
    return SqlType::kNull;
  }
  if (f == "NVL2") {
    arity(3, 3);
    out->append("CASE WHEN ");
    Emit(*e.args[0], scope, out);
    out->append(" IS NOT NULL THEN ");
    SqlType t = Emit(*e.args[1], scope, out);
    out->append(" ELSE ");
    SqlType t2 = Emit(*e.args[2], scope, out);
    out->append(" END");
    return t == SqlType::kNull ? t2 : t;
  }
  if (f == "NULLIF") {
    arity(2, 2);
    return call("nullif", TypeOf(*e.args[0], scope));
  }
  if (f == "DECODE") {
    if (n < 3) arity(3, 3);
    // The first search value decides how values compare: as numbers when it is a number,
    // otherwise as text. NULL matches NULL.
    SqlType first_search = TypeOf(*e.args[1], scope);
    bool numeric = first_search == SqlType::kNumber;
    const char* key = numeric ? "ora_decode_num(" : "ora_decode_text(";
    out->append("CASE ");
    out->append(key);
    Emit(*e.args[0], scope, out);
    out->push_back(')');
    SqlType result = SqlType::kNull;
    size_t i = 1;
    for (; i + 1 < n; i += 2) {
      out->append(" WHEN ");
      const Expr& s = *e.args[i];
      double v;
      if (s.kind == ExprKind::kNull) {
        out->append("X'00'");
      } else if (numeric && LiteralNumber(s, &v)) {
        AppendNumber(v, out);
      } else if (!numeric && s.kind == ExprKind::kString) {
        AppendStringLiteral(s.text, out);
      } else {
        out->append(key);
        Emit(s, scope, out);
        out->push_back(')');
      }
      out->append(" THEN ");
      SqlType t = Emit(*e.args[i + 1], scope, out);
      if (result == SqlType::kNull) result = t;
    }
    if (i < n) {
      out->append(" ELSE ");
      SqlType t = Emit(*e.args[i], scope, out);
      if (result == SqlType::kNull) result = t;
    }
    out->append(" END");
    return result;
  }
  if (f == "TO_CHAR") {
    arity(1, 2);
    std::string value;
    SqlType t = Emit(*e.args[0], scope, &value);
    if (n == 1) {
      if (t == SqlType::kText || t == SqlType::kDate) {
        out->append(value);
      } else {
        out->append("ora_to_char(");
        out->append(value);
        out->push_back(')');
      }
      return SqlType::kText;
    }
    out->append(t == SqlType::kDate     ? "ora_to_char_date("
                : t == SqlType::kNumber ? "ora_to_char_number("
                                        : "ora_to_char(");
    out->append(value);
    out->append(", ");
    Emit(*e.args[1], scope, out);
    out->push_back(')');
    return SqlType::kText;
  }
  if (f == "TO_DATE") {
    arity(1, 2);
    if (n == 1) {
      out->append("ora_date_in(");
      Emit(*e.args[0], scope, out);
      out->push_back(')');
      return SqlType::kDate;
    }
    return call("ora_to_date", SqlType::kDate);
  }
  if (f == "TO_NUMBER") {
    arity(1, 1);
    return call("ora_num", SqlType::kNumber);
  }
  if (f == "TO_CLOB" || f == "TO_NCHAR" || f == "TO_NCLOB") {
    arity(1, 1);
    return call("ora_to_char", SqlType::kText);
  }
  if (f == "SUBSTR" || f == "SUBSTRB") {
    arity(2, 3);
    return call("ora_substr", SqlType::kText);
  }
  if (f == "INSTR") {
    arity(2, 4);
    return call("ora_instr", SqlType::kNumber);
  }
  if (f == "LENGTH" || f == "LENGTHB") {
    arity(1, 1);
    return call(f == "LENGTH" ? "ora_length" : "ora_lengthb", SqlType::kNumber);
  }
  if (f == "TRIM") {
    arity(1, 3);
    return call("ora_trim", SqlType::kText);
  }
  if (f == "LTRIM" || f == "RTRIM") {
    arity(1, 2);
    return call(f == "LTRIM" ? "ora_ltrim" : "ora_rtrim", SqlType::kText);
  }
  if (f == "LPAD" || f == "RPAD") {
    arity(2, 3);
    return call(f == "LPAD" ? "ora_lpad" : "ora_rpad", SqlType::kText);
  }
  if (f == "UPPER" || f == "LOWER") {
    arity(1, 1);
    return call(f == "UPPER" ? "ora_upper" : "ora_lower", SqlType::kText);
  }
  if (f == "INITCAP") {
    arity(1, 1);
    return call("ora_initcap", SqlType::kText);
  }
  if (f == "REPLACE") {
    arity(2, 3);
    return call("ora_replace", SqlType::kText);
  }
  if (f == "TRANSLATE") {
    arity(3, 3);
    return call("ora_translate", SqlType::kText);
  }
  if (f == "CONCAT") {
    arity(2, 2);
    return call("ora_concat", SqlType::kText);
  }
  if (f == "CHR") {
    arity(1, 1);
    return call("ora_chr", SqlType::kText);
  }
  if (f == "ASCII") {
    arity(1, 1);
    return call("unicode", SqlType::kNumber);
  }
  if (f == "SIGN" || f == "ABS" || f == "FLOOR" || f == "CEIL" || f == "SQRT" || f == "EXP" ||
      f == "LN" || f == "POWER" || f == "MOD") {
    if (f == "POWER" || f == "MOD") {
      arity(2, 2);
    } else {
      arity(1, 1);
    }
    const std::string name = "ora_" + AsciiLower(e.text);
    out->append(name);
    out->push_back('(');
    for (size_t i = 0; i < n; ++i) {
      if (i) out->append(", ");
      EmitNumberOperand(*e.args[i], scope, out);
    }
    out->push_back(')');
    return SqlType::kNumber;
  }
  if (f == "ROUND" || f == "TRUNC") {
    arity(1, 2);
    std::string value;
    SqlType t = Emit(*e.args[0], scope, &value);
    const char* name;
    SqlType result;
    if (t == SqlType::kDate) {
      name = f == "ROUND" ? "ora_round_date(" : "ora_trunc_date(";
      result = SqlType::kDate;
    } else if (t == SqlType::kNumber || t == SqlType::kNull) {
      name = f == "ROUND" ? "ora_round(" : "ora_trunc(";
      result = SqlType::kNumber;
    } else {
      name = f == "ROUND" ? "ora_round_any(" : "ora_trunc_any(";
      result = SqlType::kUnknown;
    }
    out->append(name);
    out->append(value);
    if (n == 2) {
      out->append(", ");
      Emit(*e.args[1], scope, out);
    }
    out->push_back(')');
    return result;
  }
  if (f == "ADD_MONTHS") {
    arity(2, 2);
    return call("ora_add_months", SqlType::kDate);
  }
  if (f == "LAST_DAY") {
    arity(1, 1);
    return call("ora_last_day", SqlType::kDate);
  }
  if (f == "MONTHS_BETWEEN") {
    arity(2, 2);
    return call("ora_months_between", SqlType::kNumber);
  }
  if (f == "NEXT_DAY") Refuse("NEXT_DAY");
  if (f == "GREATEST" || f == "LEAST") {
    if (n < 1) arity(1, 1);
    out->append(f == "GREATEST" ? "ora_greatest(" : "ora_least(");
    // The first argument decides the type: texts after a date are read as dates.
    const SqlType first = Emit(*e.args[0], scope, out);
    for (size_t i = 1; i < n; ++i) {
      out->append(", ");
      const size_t arg = out->size();
      if (Emit(*e.args[i], scope, out) == SqlType::kText && first == SqlType::kDate) {
        out->insert(arg, "ora_date_in(");
        out->push_back(')');
      }
    }
    out->push_back(')');
    return first;
  }
  if (f == "DBMS_RANDOM.VALUE") {
    arity(0, 2);
    if (n == 1) arity(0, 0);
    return call("ora_random", SqlType::kNumber);
  }
  if (f == "SYS_GUID") {
    arity(0, 0);
    return call("ora_sys_guid", SqlType::kText);
  }
  if (f == "EMPTY_BLOB") {
    arity(0, 0);
    out->append("X''");
    return SqlType::kBlob;
  }
  if (f == "EMPTY_CLOB") {
    arity(0, 0);
    out->append("NULL");
    return SqlType::kText;
  }
  if (f == "CONTAINS" || f == "EXTRACTVALUE" || f == "EXTRACT") {
    return EmitTextFunction(e, scope, out);
  }
  if (f == "EXISTSNODE" || f == "XMLTYPE" || f == "SCORE") Refuse(e.text);
  if (f.find('.') != std::string_view::npos) Refuse("the package function " + e.text);
  throw SqlError("ORA-00904: \"" + e.text + "\": invalid identifier");
}

}  // namespace detail
}  // namespace korvalis::db
