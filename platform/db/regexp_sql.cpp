// Oracle's regular-expression functions in translated statements. Each is printed as a call of
// the engine's function of the same name with every argument, defaults filled in:
//   REGEXP_LIKE(s, p [, m])                          ora_regexp_like(s, p, m)
//   REGEXP_COUNT(s, p [, pos [, m]])                 ora_regexp_count(s, p, pos, m)
//   REGEXP_SUBSTR(s, p [, pos [, occ [, m [, sub]]]])  ora_regexp_substr(s, p, pos, occ, m, sub)
//   REGEXP_INSTR(s, p [, pos [, occ [, ret [, m [, sub]]]]])
//                                                    ora_regexp_instr(s, p, pos, occ, ret, m, sub)
//   REGEXP_REPLACE(s, p [, r [, pos [, occ [, m]]]])  ora_regexp_replace(s, p, r, pos, occ, m)
// The pattern and the match parameter are text literals, checked here on both engines
// (regexp_pattern.h): the embedded file's functions take them as Oracle writes them, the
// server's take the pattern as an ARE and its flags, and the count of its subexpressions after
// a subexpression argument.
#include <string>

#include "platform/db/regexp_pattern.h"
#include "platform/db/sql_error.h"
#include "platform/db/sql_translator_internal.h"

namespace korvalis::db::detail {

namespace {

// The arguments of a function in order: 's' the source, 'p' the pattern, 'm' the match
// parameter, 'r' the replacement, a digit a number with that default.
struct RegexpFunction {
  std::string_view name;
  const char* printed;
  std::string_view arguments;
  SqlType result;
};

constexpr RegexpFunction kRegexpFunctions[] = {
    {"REGEXP_LIKE", "ora_regexp_like", "spm", SqlType::kNumber},
    {"REGEXP_COUNT", "ora_regexp_count", "sp1m", SqlType::kNumber},
    {"REGEXP_SUBSTR", "ora_regexp_substr", "sp11m0", SqlType::kText},
    {"REGEXP_INSTR", "ora_regexp_instr", "sp110m0", SqlType::kNumber},
    {"REGEXP_REPLACE", "ora_regexp_replace", "spr10m", SqlType::kText},
};

// A literal text or NULL; refuses anything computed.
const Expr* LiteralArgument(const Expr& e, size_t at, std::string_view what) {
  if (at >= e.args.size()) return nullptr;
  const Expr& a = *e.args[at];
  if (a.kind != ExprKind::kString && a.kind != ExprKind::kNull) {
    Refuse(e.text + " with a " + std::string(what) + " that is not a text literal");
  }
  return a.kind == ExprKind::kNull ? nullptr : &a;
}

// Whether the call reads the text of a subexpression: a subexpression argument other than 0, or
// a replacement that refers to one (or is computed).
bool UsesSubexpressions(const Expr& e, std::string_view roles) {
  const size_t sub = roles.back() == '0' ? roles.size() - 1 : roles.size();
  if (sub < e.args.size()) {
    const Expr& a = *e.args[sub];
    return !(a.kind == ExprKind::kNumber && a.text == "0");
  }
  const size_t replacement = roles.find('r');
  if (replacement >= e.args.size()) return false;
  const Expr& r = *e.args[replacement];
  if (r.kind == ExprKind::kNull) return false;
  return r.kind != ExprKind::kString || RefersToSubexpression(r.text);
}

}  // namespace

SqlType Translator::EmitRegexp(const Expr& e, const Scope* scope, std::string* out) {
  const RegexpFunction* f = nullptr;
  for (const RegexpFunction& candidate : kRegexpFunctions) {
    if (candidate.name == e.text) f = &candidate;
  }
  const std::string_view roles = f->arguments;
  if (e.args.size() < 2 || e.args.size() > roles.size()) {
    throw SqlError("ORA-00909: invalid number of arguments for " + e.text);
  }
  const Expr* pattern = LiteralArgument(e, 1, "pattern");
  const Expr* parameter = LiteralArgument(e, roles.find('m'), "match parameter");
  const RegexpOptions options = ReadMatchParameter(parameter ? parameter->text : "");
  RegexpPattern translated;
  if (pattern != nullptr) translated = TranslateRegexp(pattern->text, options);
  if (translated.repeated_group && UsesSubexpressions(e, roles)) {
    Refuse(e.text + " of a subexpression that a quantifier repeats");
  }

  out->append(f->printed).push_back('(');
  for (size_t i = 0; i < roles.size(); ++i) {
    if (i) out->append(", ");
    const bool given = i < e.args.size();
    switch (roles[i]) {
      case 's':
      case 'r':
        if (!given) {
          out->append("NULL");
        } else if (pg_) {
          std::string value;
          PgAsText(Emit(*e.args[i], scope, &value), &value);
          out->append(value);
        } else {
          Emit(*e.args[i], scope, out);
        }
        break;
      case 'p':
        if (pattern == nullptr) {
          out->append("NULL");
        } else {
          AppendStringLiteral(pg_ ? translated.postgres : pattern->text, out);
        }
        break;
      case 'm':
        if (pg_) {
          AppendStringLiteral(PostgresFlags(options), out);
        } else if (parameter == nullptr) {
          out->append("NULL");
        } else {
          AppendStringLiteral(parameter->text, out);
        }
        break;
      default:
        if (given) {
          EmitNumberOperand(*e.args[i], scope, out);
        } else {
          out->push_back(roles[i]);
        }
    }
  }
  // PostgreSQL reads a subexpression beyond the pattern's as the whole match.
  if (pg_ && roles.back() == '0') out->append(", " + std::to_string(translated.groups));
  out->push_back(')');
  return f->result;
}

}  // namespace korvalis::db::detail
