// Oracle's built-in functions mapped to SQLite's and to the functions of oracle_functions.h
// (aggregates and analytic functions: aggregate_translator.cpp). The functions that only
// rename, fix their argument count and set a result type are rows of one table; the others
// have a small printer each; names the translator does not know are refused.
#include <algorithm>
#include <unordered_map>
#include <utility>

#include "platform/db/database_clock.h"
#include "platform/db/ora_date.h"
#include "platform/db/ora_number.h"
#include "platform/db/sql_error.h"
#include "platform/db/statement_shape.h"
#include "platform/db/sql_translator_internal.h"

namespace korvalis::db {
namespace detail {

void CheckArity(const Expr& e, size_t lo, size_t hi) {
  if (e.args.size() < lo || e.args.size() > hi) {
    throw SqlError("ORA-00909: invalid number of arguments for " + e.text);
  }
}

namespace {

// Whether `function` reads its argument `i` as a date.
bool ReadsDateAt(std::string_view function, size_t i) {
  if (function == "MONTHS_BETWEEN") return i < 2;
  return i == 0 && (function == "ADD_MONTHS" || function == "LAST_DAY" || function == "NEXT_DAY");
}

// A function printed as a call of another with the same arguments.
struct FunctionRow {
  std::string_view name;
  size_t min_args, max_args;
  const char* printed;
  SqlType result;
  bool number_operands;  // text arguments are read as numbers first
};

constexpr FunctionRow kFunctionTable[] = {
    {"TO_NUMBER", 1, 2, "ora_num", SqlType::kNumber, false},
    {"TO_CLOB", 1, 1, "ora_to_char", SqlType::kText, false},
    {"TO_NCHAR", 1, 1, "ora_to_char", SqlType::kText, false},
    {"TO_NCLOB", 1, 1, "ora_to_char", SqlType::kText, false},
    {"SUBSTR", 2, 3, "ora_substr", SqlType::kText, false},
    {"SUBSTRB", 2, 3, "ora_substr", SqlType::kText, false},
    {"INSTR", 2, 4, "ora_instr", SqlType::kNumber, false},
    {"LENGTH", 1, 1, "ora_length", SqlType::kNumber, false},
    {"LENGTHB", 1, 1, "ora_lengthb", SqlType::kNumber, false},
    {"TRIM", 1, 3, "ora_trim", SqlType::kText, false},
    {"LTRIM", 1, 2, "ora_ltrim", SqlType::kText, false},
    {"RTRIM", 1, 2, "ora_rtrim", SqlType::kText, false},
    {"LPAD", 2, 3, "ora_lpad", SqlType::kText, false},
    {"RPAD", 2, 3, "ora_rpad", SqlType::kText, false},
    {"UPPER", 1, 1, "ora_upper", SqlType::kText, false},
    {"LOWER", 1, 1, "ora_lower", SqlType::kText, false},
    {"INITCAP", 1, 1, "ora_initcap", SqlType::kText, false},
    {"REPLACE", 2, 3, "ora_replace", SqlType::kText, false},
    {"TRANSLATE", 3, 3, "ora_translate", SqlType::kText, false},
    {"CONCAT", 2, 2, "ora_concat", SqlType::kText, false},
    {"CHR", 1, 1, "ora_chr", SqlType::kText, false},
    {"ASCII", 1, 1, "unicode", SqlType::kNumber, false},
    {"SIGN", 1, 1, "ora_sign", SqlType::kNumber, true},
    {"ABS", 1, 1, "ora_abs", SqlType::kNumber, true},
    {"FLOOR", 1, 1, "ora_floor", SqlType::kNumber, true},
    {"CEIL", 1, 1, "ora_ceil", SqlType::kNumber, true},
    {"SQRT", 1, 1, "ora_sqrt", SqlType::kNumber, true},
    {"EXP", 1, 1, "ora_exp", SqlType::kNumber, true},
    {"LN", 1, 1, "ora_ln", SqlType::kNumber, true},
    {"LOG", 2, 2, "ora_log", SqlType::kNumber, true},
    {"POWER", 2, 2, "ora_power", SqlType::kNumber, true},
    {"MOD", 2, 2, "ora_mod", SqlType::kNumber, true},
    {"REMAINDER", 2, 2, "ora_remainder", SqlType::kNumber, true},
    {"ADD_MONTHS", 2, 2, "ora_add_months", SqlType::kDate, false},
    {"LAST_DAY", 1, 1, "ora_last_day", SqlType::kDate, false},
    {"NEXT_DAY", 2, 2, "ora_next_day", SqlType::kDate, false},
    {"MONTHS_BETWEEN", 2, 2, "ora_months_between", SqlType::kNumber, false},
    {"SYS_GUID", 0, 0, "ora_sys_guid", SqlType::kText, false},
};

const FunctionRow* FindRow(std::string_view name) {
  static const auto* const kRows = [] {
    auto* rows = new std::unordered_map<std::string_view, const FunctionRow*>();
    for (const FunctionRow& row : kFunctionTable) rows->emplace(row.name, &row);
    return rows;
  }();
  auto it = kRows->find(name);
  return it == kRows->end() ? nullptr : it->second;
}

// Whether argument `i` of the text function `name` is a text, which a number or a date given
// there is read as: the value, and the characters a function pads with, trims, finds or
// replaces.
bool ReadsTextAt(std::string_view name, size_t i) {
  if (i == 0 || name == "CONCAT") return true;
  if (name == "LPAD" || name == "RPAD") return i == 2;
  if (name == "REPLACE" || name == "TRANSLATE") return true;
  return i == 1 && (name == "INSTR" || name == "TRIM" || name == "LTRIM" || name == "RTRIM");
}

}  // namespace

// The functions with printers of their own.
Translator::Printer Translator::FindPrinter(std::string_view name) {
  static const auto* const kPrinters = new std::unordered_map<std::string_view, Printer>{
      {"NVL", &Translator::EmitNvl},
      {"COALESCE", &Translator::EmitCoalesce},
      {"NVL2", &Translator::EmitNvl2},
      {"NULLIF", &Translator::EmitNullIf},
      {"LNNVL", &Translator::EmitLnnvl},
      {"DECODE", &Translator::EmitDecode},
      {"TO_CHAR", &Translator::EmitToChar},
      {"TO_DATE", &Translator::EmitToDate},
      {sql::kExtractField, &Translator::EmitExtract},
      {"ROUND", &Translator::EmitRoundOrTrunc},
      {"TRUNC", &Translator::EmitRoundOrTrunc},
      {"GREATEST", &Translator::EmitGreatestOrLeast},
      {"LEAST", &Translator::EmitGreatestOrLeast},
      {"DBMS_RANDOM.VALUE", &Translator::EmitRandom},
      {"EMPTY_BLOB", &Translator::EmitEmptyLob},
      {"EMPTY_CLOB", &Translator::EmitEmptyLob},
      {"CONTAINS", &Translator::EmitTextFunction},
      {"EXTRACTVALUE", &Translator::EmitTextFunction},
      {"EXTRACT", &Translator::EmitTextFunction},
      {"SYS_CONNECT_BY_PATH", &Translator::EmitHierarchyValue},
      {"REGEXP_LIKE", &Translator::EmitRegexp},
      {"REGEXP_COUNT", &Translator::EmitRegexp},
      {"REGEXP_SUBSTR", &Translator::EmitRegexp},
      {"REGEXP_INSTR", &Translator::EmitRegexp},
      {"REGEXP_REPLACE", &Translator::EmitRegexp},
  };
  auto it = kPrinters->find(name);
  return it == kPrinters->end() ? nullptr : it->second;
}

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
// type of the values before it: a text after a date is a date. Unlike coalesce, NVL converts
// every replacement in every row, used or not: a text that is no number fails even beside a
// value that is not null.
SqlType Translator::EmitNvl(const Expr& e, const Scope* scope, std::string* out) {
  CheckArity(e, 2, 2);
  std::vector<const Expr*> values;
  CollectNvl(e, &values);
  SqlType type = SqlType::kNull;
  size_t groups = 0;
  const size_t mark = out->size();
  std::vector<std::string> conversions;
  for (size_t group = 0; group < values.size(); group += kMaxCallArguments - 1) {
    out->append("coalesce(");
    ++groups;
    const size_t end = std::min(values.size(), group + kMaxCallArguments - 1);
    for (size_t i = group; i < end; ++i) {
      if (i > group) out->append(", ");
      const size_t start = out->size();
      const SqlType t = Emit(*values[i], scope, out);
      ConvertToFirst(type, t, *values[i], start, out);
      if (t == SqlType::kText && (type == SqlType::kNumber || type == SqlType::kDate)) {
        conversions.push_back(out->substr(start));
      }
      if (type == SqlType::kNull) type = t;
    }
    // The next group is the last value of this one.
    if (end < values.size()) out->append(", ");
  }
  out->append(groups, ')');
  if (!conversions.empty()) ConvertEveryRow(conversions, mark, out);
  return type;
}

// Wraps the value printed at out[start..] in a condition that evaluates every conversion
// (a function's arguments are all evaluated) and is never true, so each row converts them.
void Translator::ConvertEveryRow(const std::vector<std::string>& conversions, size_t start,
                                 std::string* out) const {
  std::string condition;
  for (const std::string& c : conversions) {
    if (pg_) {
      condition.append(condition.empty() ? "num_nulls(" : ", ").append(c);
    } else {
      condition.append(condition.empty() ? "" : " || ").append("typeof(" + c + ")");
    }
  }
  condition.append(pg_ ? ") < 0" : " IS NULL");
  out->insert(start, "CASE WHEN " + condition + " THEN NULL ELSE ");
  out->append(" END");
}

SqlType Translator::EmitFunction(const Expr& e, const Scope* scope, std::string* out) {
  if (e.over) return EmitAnalytic(e, scope, out);
  if (IsAggregateName(e.text)) return EmitAggregate(e, scope, out);
  for (const auto& a : e.args) {
    if (a->kind == ExprKind::kStar) throw SqlError("ORA-00936: missing expression in " + e.text);
  }
  if (pg_ && e.text == "CONCAT" && e.args.size() == 2) {
    // CONCAT(a, b) is a || b.
    EmitConcat({e.args[0].get(), e.args[1].get()}, scope, out);
    return SqlType::kText;
  }
  if (const FunctionRow* row = FindRow(e.text)) {
    CheckArity(e, row->min_args, row->max_args);
    if (e.text == "TO_NUMBER" && e.args.size() == 1) CheckNumberLiteral(*e.args[0]);
    // PostgreSQL names SQLite's unicode() ascii().
    out->append(pg_ && e.text == "ASCII" ? "ascii" : row->printed);
    out->push_back('(');
    // The text functions read a number or a date as the text Oracle writes for it (CONCAT
    // each of its arguments).
    const bool reads_text = !e.args.empty() && row->printed != std::string_view("ora_num") &&
                            row->result != SqlType::kDate && e.text != "MONTHS_BETWEEN" &&
                            e.text != "CHR";
    if (row->number_operands) {
      for (size_t i = 0; i < e.args.size(); ++i) {
        if (i) out->append(", ");
        EmitNumberOperand(*e.args[i], scope, out);
      }
    } else if (pg_ && reads_text) {
      // The runtime's SUBSTR reads a missing length as NULL, so a length given as NULL is
      // printed as one below 1, which gives NULL as Oracle does.
      const bool substr = e.text == "SUBSTR" || e.text == "SUBSTRB";
      for (size_t i = 0; i < e.args.size(); ++i) {
        if (i) out->append(", ");
        std::string argument;
        const SqlType t = Emit(*e.args[i], scope, &argument);
        // LENGTH and LENGTHB count the bytes of a BLOB, as on the embedded engine.
        const bool bytes = t == SqlType::kBlob && (e.text == "LENGTH" || e.text == "LENGTHB");
        if (ReadsTextAt(e.text, i) && !bytes) PgAsText(t, &argument);
        if (substr && i == 2) argument = "coalesce(" + argument + ", 0)";
        out->append(argument);
      }
    } else if (reads_text) {
      // The embedded engine's functions read numbers as it holds them: a computed number, or
      // a literal of more digits than a double, is given as the text of every digit.
      for (size_t i = 0; i < e.args.size(); ++i) {
        if (i) out->append(", ");
        if (i == 0 || e.text == "CONCAT") {
          EmitConcatenated(*e.args[i], scope, out);
        } else {
          Emit(*e.args[i], scope, out);
        }
      }
    } else if (pg_) {
      // The server's date functions take dates: a text is read as one first, as Oracle
      // converts it, and a number is refused as on the file. A literal is typed by the server.
      for (size_t i = 0; i < e.args.size(); ++i) {
        if (i) out->append(", ");
        std::string argument;
        const SqlType t = Emit(*e.args[i], scope, &argument);
        if (ReadsDateAt(e.text, i) && e.args[i]->kind != ExprKind::kString &&
            (t == SqlType::kText || t == SqlType::kNumber)) {
          argument = "ora_date_in(" + argument + ")";
        }
        out->append(argument);
      }
    } else {
      EmitArgs(e, 0, scope, out);
    }
    out->push_back(')');
    return row->result;
  }
  if (Printer printer = FindPrinter(e.text)) return (this->*printer)(e, scope, out);
  if (e.text == "EXISTSNODE" || e.text == "XMLTYPE" || e.text == "SCORE") {
    Refuse(e.text);
  }
  if (e.text.find('.') != std::string::npos) Refuse("the package function " + e.text);
  throw SqlError("ORA-00904: \"" + e.text + "\": invalid identifier");
}

SqlType Translator::EmitCoalesce(const Expr& e, const Scope* scope, std::string* out) {
  CheckArity(e, 1, e.args.size());
  out->append("coalesce(");
  std::vector<SqlType> types;
  EmitArgs(e, 0, scope, out, &types);
  if (e.args.size() == 1) out->append(", NULL");
  out->push_back(')');
  SqlType type = SqlType::kNull;
  for (SqlType t : types) JoinTypeGroup(t, "COALESCE", &type);
  return type;
}

// NVL2: the third argument is converted to the type of the second, as NVL converts.
SqlType Translator::EmitNvl2(const Expr& e, const Scope* scope, std::string* out) {
  CheckArity(e, 3, 3);
  out->append("CASE WHEN ");
  Emit(*e.args[0], scope, out);
  out->append(" IS NOT NULL THEN ");
  SqlType t = Emit(*e.args[1], scope, out);
  out->append(" ELSE ");
  const size_t start = out->size();
  SqlType t2 = Emit(*e.args[2], scope, out);
  ConvertToFirst(t, t2, *e.args[2], start, out);
  out->append(" END");
  return t == SqlType::kNull ? t2 : t;
}

SqlType Translator::EmitNullIf(const Expr& e, const Scope* scope, std::string* out) {
  CheckArity(e, 2, 2);
  // The first value gives the result its type, which the literal NULL has not.
  if (e.args[0]->kind == ExprKind::kNull) {
    throw SqlError("ORA-00932: inconsistent datatypes: expected - got CHAR in NULLIF");
  }
  out->append("nullif(");
  std::vector<SqlType> types;
  EmitArgs(e, 0, scope, out, &types);
  out->push_back(')');
  SqlType type = types[0];
  JoinTypeGroup(types[1], "NULLIF", &type);
  return TypeOf(*e.args[0], scope);
}

// The first search value decides how values compare: as numbers when it is a number,
// otherwise as text. NULL matches NULL.
SqlType Translator::EmitDecode(const Expr& e, const Scope* scope, std::string* out) {
  const size_t n = e.args.size();
  if (n < 3) CheckArity(e, 3, 3);
  // The key and the search values are compared as the first search value's type: a date
  // beside a number is refused.
  const SqlType first_search = TypeOf(*e.args[1], scope);
  RefuseDateComparedWithNumber(first_search, TypeOf(*e.args[0], scope));
  for (size_t i = 3; i + 1 < n; i += 2) {
    RefuseDateComparedWithNumber(first_search, TypeOf(*e.args[i], scope));
  }
  if (pg_) return PgDecode(e, scope, out);
  const bool exact_results = std::exchange(exact_decode_results_, false);
  const bool numeric = TypeOf(*e.args[1], scope) == SqlType::kNumber;
  if (!numeric && HasPaddedSearch(e, scope)) return EmitPaddedDecode(e, scope, out);
  const char* key = numeric ? "ora_decode_num(" : "ora_decode_text(";
  out->append("CASE ");
  out->append(key);
  Emit(*e.args[0], scope, out);
  out->push_back(')');
  return EmitDecodeArms(e, scope, out, [&](const Expr& s) {
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
  }, exact_results);
}

bool Translator::HasPaddedSearch(const Expr& e, const Scope* scope) {
  if (!IsBlankPadded(*e.args[0], scope)) return false;
  for (size_t i = 1; i + 1 < e.args.size(); i += 2) {
    if (e.args[i]->kind != ExprKind::kNull && IsBlankPadded(*e.args[i], scope)) return true;
  }
  return false;
}

// DECODE of a blank-padded key: each search value compares with the key as a comparison
// would, blank-padded search values without trailing blanks; NULL matches NULL.
SqlType Translator::EmitPaddedDecode(const Expr& e, const Scope* scope, std::string* out) {
  std::string key;
  Emit(*e.args[0], scope, &key);
  out->append("CASE");
  return EmitDecodeArms(e, scope, out, [&](const Expr& s) {
    const bool padded = s.kind != ExprKind::kNull && IsBlankPadded(s, scope);
    out->append("ora_decode_text(").append(padded ? WithoutTrailingBlanks(key) : key);
    out->append(") = ");
    if (s.kind == ExprKind::kNull) {
      out->append("X'00'");
      return;
    }
    std::string value;
    Emit(s, scope, &value);
    out->append("ora_decode_text(").append(padded ? WithoutTrailingBlanks(value) : value);
    out->push_back(')');
  });
}

SqlType Translator::EmitDecodeArms(const Expr& e, const Scope* scope, std::string* out,
                                   const std::function<void(const Expr&)>& when,
                                   bool exact_results) {
  const size_t n = e.args.size();
  // Every result takes the type of the first; a NULL first result makes them text.
  SqlType result = TypeOf(*e.args[2], scope);
  if (result == SqlType::kNull) result = SqlType::kText;
  auto emit_result = [&](const Expr& value) {
    if (exact_results) {
      EmitExact(value, scope, false, out);
      return;
    }
    const size_t start = out->size();
    ConvertToFirst(result, Emit(value, scope, out), value, start, out);
  };
  size_t i = 1;
  for (; i + 1 < n; i += 2) {
    out->append(" WHEN ");
    when(*e.args[i]);
    out->append(" THEN ");
    emit_result(*e.args[i + 1]);
  }
  if (i < n) {
    out->append(" ELSE ");
    emit_result(*e.args[i]);
  }
  out->append(" END");
  return result;
}

void Translator::ConvertToFirst(SqlType target, SqlType t, const Expr& value, size_t start,
                                std::string* out) {
  if (t == target || t == SqlType::kNull || t == SqlType::kUnknown) return;
  RefuseDateComparedWithNumber(target, t);
  std::string converted = out->substr(start);
  if (target == SqlType::kNumber && t == SqlType::kText) {
    double number;
    if (value.kind == ExprKind::kString && !LiteralNumber(value, &number)) {
      throw SqlError(InvalidNumberMessage(value.text), kConversionFailed);
    }
    converted = "ora_num(" + converted + ")";
  } else if (target == SqlType::kDate && t == SqlType::kText) {
    converted = "ora_date_in(" + converted + ")";
  } else if (target == SqlType::kText && (t == SqlType::kNumber || t == SqlType::kDate)) {
    // A date is text on the embedded file already.
    if (pg_) {
      PgAsText(t, &converted);
    } else if (t == SqlType::kNumber) {
      converted = "ora_text_in(" + converted + ", -1)";
    }
  } else {
    return;
  }
  out->replace(start, std::string::npos, converted);
}

SqlType Translator::EmitToChar(const Expr& e, const Scope* scope, std::string* out) {
  CheckArity(e, 1, 2);
  std::string value;
  if (WritesExactDigits(*e.args[0], scope)) {
    // A computed number, or a literal, writes every digit of its exact value.
    EmitExact(*e.args[0], scope, false, &value);
    out->append(e.args.size() == 1 ? "ora_exact_text(" : "ora_to_char_number(").append(value);
    if (e.args.size() == 2) {
      out->append(", ");
      Emit(*e.args[1], scope, out);
    }
    out->push_back(')');
    return SqlType::kText;
  }
  SqlType t = Emit(*e.args[0], scope, &value);
  if (e.args.size() == 1) {
    if (t == SqlType::kText || t == SqlType::kDate) {
      // A date is written in the default date format: the embedded file holds it so, the
      // server's timestamp is written so.
      if (pg_) PgAsText(t, &value);
      out->append(value);
    } else {
      out->append("ora_to_char(");
      out->append(value);
      out->push_back(')');
    }
    return SqlType::kText;
  }
  if (pg_ && e.args[1]->kind == ExprKind::kString && t != SqlType::kNumber) {
    if (t == SqlType::kDate) {
      PgToCharDate(value, e.args[1]->text, out);
      return SqlType::kText;
    }
    // A text is written as a date when it holds one, so a model that is a date model is read
    // into the server's parts too.
    if (PgToCharText(value, e.args[1]->text, out)) return SqlType::kText;
  }
  out->append(t == SqlType::kDate     ? (pg_ ? "ora_to_char_date_model(" : "ora_to_char_date(")
              : t == SqlType::kNumber ? "ora_to_char_number("
                                      : "ora_to_char(");
  out->append(value);
  out->append(", ");
  Emit(*e.args[1], scope, out);
  out->push_back(')');
  return SqlType::kText;
}

namespace {

// TO_DATE of a text and a model both written as literals is read now, as the engine would
// read it for each row, so that a constant that is no date is refused whatever the rows, as
// Oracle refuses it. A shape's value is read when the shape is taken (statement_shape.h).
void CheckDateConstant(const Expr& e) {
  const Expr& value = *e.args[0];
  if (value.kind != ExprKind::kString || value.text.empty() || IsValueMarker(value.text)) return;
  if (e.args.size() == 1) {
    ReadDateLiteral(value);
    return;
  }
  const Expr& model = *e.args[1];
  if (model.kind != ExprKind::kString || model.text.empty()) return;
  // The reader runs again only to tell what is wrong with the text.
  if (!ReadsAsDate(value.text, model.text)) {
    ParseDateModel(value.text, model.text, CurrentDatabaseTime());
  }
}

}  // namespace

SqlType Translator::EmitToDate(const Expr& e, const Scope* scope, std::string* out) {
  CheckArity(e, 1, 2);
  // A year or month the model does not give is the current one.
  if (e.args.size() == 2 &&
      (e.args[1]->kind != ExprKind::kString || DateModelReadsToday(e.args[1]->text))) {
    reads_sysdate_ = true;
  }
  // On the server, a value bound when the statement runs in the stored form is a parameter
  // of type timestamp, so that the server reads it once and plans with a date.
  if (pg_ && e.args.size() == 2 && e.args[0]->kind == ExprKind::kString &&
      IsValueMarker(e.args[0]->text) && e.args[1]->kind == ExprKind::kString &&
      BindsAsDate(e.args[1]->text)) {
    Emit(*e.args[0], scope, out);
    out->append("::timestamp");
    return SqlType::kDate;
  }
  CheckDateConstant(e);
  out->append(e.args.size() == 1 ? "ora_date_in(" : "ora_to_date(");
  EmitArgs(e, 0, scope, out);
  out->push_back(')');
  return SqlType::kDate;
}

// EXTRACT(field FROM value): YEAR, MONTH and DAY of a date; HOUR, MINUTE and SECOND only of a
// TIMESTAMP (a CAST to it, its literal, a column declared so), as a DATE has no time fields
// for EXTRACT; no time zone fields, as no value here has a time zone. A text is refused as
// no datetime (ORA-30076), a value of unknown type by name.
SqlType Translator::EmitExtract(const Expr& e, const Scope* scope, std::string* out) {
  const std::string& field = e.args[0]->text;
  const Expr& source = *e.args[1];
  std::string value;
  const SqlType type = Emit(source, scope, &value);
  if (type == SqlType::kNull) {
    out->append("NULL");
    return SqlType::kNumber;
  }
  // A text is no datetime: Oracle does not convert it for EXTRACT.
  if (type == SqlType::kUnknown) Refuse("EXTRACT from a value that is not known to be a date");
  bool timestamp = false;
  if (source.kind == ExprKind::kCast) {
    timestamp = source.type.name.starts_with("TIMESTAMP");
  } else if (source.kind == ExprKind::kColumn) {
    const ColumnInfo* column = ResolveColumn(source, scope);
    timestamp = column && column->timestamp;
  }
  const bool date_field = field == "YEAR" || field == "MONTH" || field == "DAY";
  const bool time_field = field == "HOUR" || field == "MINUTE" || field == "SECOND";
  if (type != SqlType::kDate || !(date_field || (time_field && timestamp))) {
    throw SqlError("ORA-30076: invalid extract field for extract source");
  }
  out->append("ora_extract_field(");
  out->append(value);
  out->append(", '");
  out->append(field);
  out->append("')");
  return SqlType::kNumber;
}

// ROUND and TRUNC of dates, of numbers, and of values whose type is known only when they are.
SqlType Translator::EmitRoundOrTrunc(const Expr& e, const Scope* scope, std::string* out) {
  CheckArity(e, 1, 2);
  const bool round = e.text == "ROUND";
  std::string value;
  SqlType t = Emit(*e.args[0], scope, &value);
  // TRUNC(date - date), the whole days between, in one call (on the file, reading stored dates
  // by position): the difference of two dates is written as one ora_date_diff call, whole.
  static constexpr std::string_view kDateDiff = "ora_date_diff(";
  if (!round && e.args.size() == 1 && e.args[0]->kind == ExprKind::kBinary &&
      e.args[0]->text == "-" && value.starts_with(kDateDiff)) {
    out->append("ora_trunc_date_diff(").append(value, kDateDiff.size());
    return SqlType::kNumber;
  }
  const char* name;
  SqlType result;
  if (t == SqlType::kDate) {
    name = round ? "ora_round_date(" : "ora_trunc_date(";
    result = SqlType::kDate;
  } else if (t == SqlType::kNumber || t == SqlType::kNull) {
    name = round ? "ora_round(" : "ora_trunc(";
    result = SqlType::kNumber;
    // A NULL is a number's: the server would not choose between the number's and the date's.
    if (t == SqlType::kNull && pg_) value = "CAST(" + value + " AS numeric)";
  } else {
    name = round ? "ora_round_any(" : "ora_trunc_any(";
    result = SqlType::kUnknown;
  }
  out->append(name);
  out->append(value);
  if (e.args.size() == 2) {
    out->append(", ");
    Emit(*e.args[1], scope, out);
  }
  out->push_back(')');
  return result;
}

// The first argument decides the type: texts after a date are read as dates. On the server,
// values after a text are compared as texts and texts after a number as numbers, where
// PostgreSQL would find a common type of its own (GREATEST('2', 10) is '2').
SqlType Translator::EmitGreatestOrLeast(const Expr& e, const Scope* scope, std::string* out) {
  CheckArity(e, 1, e.args.size());
  out->append(e.text == "GREATEST" ? "ora_greatest(" : "ora_least(");
  const SqlType first = Emit(*e.args[0], scope, out);
  for (size_t i = 1; i < e.args.size(); ++i) {
    out->append(", ");
    const size_t arg = out->size();
    const SqlType type = Emit(*e.args[i], scope, out);
    RefuseDateComparedWithNumber(first, type);
    const char* conversion = nullptr;
    if (type == SqlType::kText && first == SqlType::kDate) {
      conversion = "ora_date_in(";
    } else if (pg_ && first == SqlType::kText && type != SqlType::kText && type != SqlType::kNull) {
      conversion = "ora_str(";
    } else if (pg_ && first == SqlType::kNumber && type != SqlType::kNumber &&
               type != SqlType::kNull) {
      conversion = "ora_num(";
    }
    if (conversion) {
      out->insert(arg, conversion);
      out->push_back(')');
    }
  }
  out->push_back(')');
  return first;
}

// DBMS_RANDOM.VALUE: none or two bounds.
SqlType Translator::EmitRandom(const Expr& e, const Scope* scope, std::string* out) {
  CheckArity(e, 0, 2);
  if (e.args.size() == 1) CheckArity(e, 0, 0);
  out->append("ora_random(");
  EmitArgs(e, 0, scope, out);
  out->push_back(')');
  return SqlType::kNumber;
}

// EMPTY_BLOB is an empty value; EMPTY_CLOB, like the empty text, is NULL.
SqlType Translator::EmitEmptyLob(const Expr& e, const Scope*, std::string* out) {
  CheckArity(e, 0, 0);
  const bool blob = e.text == "EMPTY_BLOB";
  out->append(blob ? (pg_ ? "'\\x'::bytea" : "X''") : "NULL");
  return blob ? SqlType::kBlob : SqlType::kText;
}

}  // namespace detail
}  // namespace korvalis::db
