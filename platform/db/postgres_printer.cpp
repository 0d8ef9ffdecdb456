// The forms the PostgreSQL printer writes where PostgreSQL's typed values differ from
// SQLite's: values turned into text as Oracle writes them, and DECODE's comparisons. The
// rest of the printer is shared with SQLite's and asks `pg_` where the two differ.
#include "platform/db/date_format_elements.h"
#include "platform/db/ora_number.h"
#include "platform/db/sql_translator_internal.h"

namespace korvalis::db::detail {

void Translator::PgAsText(SqlType type, std::string* value_sql) {
  if (type == SqlType::kText || type == SqlType::kNull) return;
  // ora_str has a form for each of PostgreSQL's types, so a value of unknown type is
  // converted by what it turns out to be.
  *value_sql = "ora_str(" + *value_sql + ")";
}

std::string Translator::PgDateModel(std::string_view model) {
  using date_model::Element;
  std::string out;
  for (size_t at = 0;;) {
    const date_model::FormatToken t = date_model::ReadElement(model, at);
    if (t.element == Element::kEnd) break;
    const std::string_view text = model.substr(at, t.length);
    at += t.length;
    switch (t.element) {
      case Element::kRRRR:
        out.append("YYYY");
        break;
      case Element::kRR:
        out.append("YY");
        break;
      case Element::kSYYYY:
      case Element::kSCC:
        // The sign's place of a year after Christ is a blank, as the embedded file writes it.
        out.append("\" \"");
        out.append(t.element == Element::kSYYYY ? "YYYY" : "CC");
        break;
      case Element::kSSSSS:
        Refuse("SSSSS in TO_CHAR on the server");
      case Element::kRM:
        if (t.letter_case == date_model::LetterCase::kCapital) {
          Refuse("Rm in TO_CHAR on the server");
        }
        out.append(text);
        break;
      default:
        out.append(text);
    }
  }
  return out;
}

// DECODE(key, search, result, ..., default): the first search value decides how values
// compare, as numbers when it is a number and as text otherwise; NULL matches NULL.
SqlType Translator::PgDecode(const Expr& e, const Scope* scope, std::string* out) {
  const bool numeric = TypeOf(*e.args[1], scope) == SqlType::kNumber;
  auto emit_key = [&](const Expr& value, std::string* sql) {
    double v;
    if (numeric && LiteralNumber(value, &v)) {
      AppendNumber(v, sql);
      return;
    }
    std::string printed;
    const SqlType t = Emit(value, scope, &printed);
    if (numeric && t != SqlType::kNumber && t != SqlType::kNull) {
      printed = "ora_num(" + printed + ")";
    } else if (!numeric) {
      PgAsText(t, &printed);
    }
    sql->append(printed);
  };
  std::string key;
  emit_key(*e.args[0], &key);
  const bool padded_key = !numeric && IsBlankPadded(*e.args[0], scope);
  out->append("CASE");
  return EmitDecodeArms(e, scope, out, [&](const Expr& s) {
    if (s.kind == ExprKind::kNull) {
      out->append(key).append(" IS NULL");
    } else if (padded_key && IsBlankPadded(s, scope)) {
      // Blank-padded values compare without their trailing blanks.
      std::string value;
      emit_key(s, &value);
      out->append(WithoutTrailingBlanks(key)).append(" IS NOT DISTINCT FROM ");
      out->append(WithoutTrailingBlanks(value));
    } else {
      out->append(key).append(" IS NOT DISTINCT FROM ");
      emit_key(s, out);
    }
  });
}

}  // namespace korvalis::db::detail
