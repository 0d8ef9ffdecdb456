// The forms the PostgreSQL printer writes where PostgreSQL's typed values differ from
// SQLite's: values turned into text as Oracle writes them, and DECODE's comparisons. The
// rest of the printer is shared with SQLite's and asks `pg_` where the two differ.
#include <algorithm>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/db/date_format_elements.h"
#include "platform/db/like_pattern.h"
#include "platform/db/ora_number.h"
#include "platform/db/sql_error.h"
#include "platform/db/sql_translator_internal.h"
#include "platform/text/ascii.h"

namespace korvalis::db::detail {

void Translator::PgAsText(SqlType type, std::string* value_sql) {
  if (type == SqlType::kText || type == SqlType::kNull) return;
  // ora_str has a form for each of PostgreSQL's types, so a value of unknown type is
  // converted by what it turns out to be.
  *value_sql = "ora_str(" + *value_sql + ")";
}

namespace {

using date_model::Element;

// The width a number element is written with on the embedded file (date_writer.cpp): leading
// zeros up to it, none when it is 0.
int NumberWidth(Element e, bool fill_mode) {
  switch (e) {
    case Element::kYYY:
    case Element::kIYY:
      return 3;
    case Element::kYY:
    case Element::kRR:
    case Element::kIY:
      return 2;
    case Element::kY:
    case Element::kI:
    case Element::kQ:
    case Element::kW:
    case Element::kD:
      return 1;
    case Element::kIYYY:
      return 4;
    case Element::kJ:
      return 0;
    case Element::kYYYY:
    case Element::kRRRR:
      return fill_mode ? 0 : 4;
    case Element::kDDD:
      return fill_mode ? 0 : 3;
    case Element::kSSSSS:
      return fill_mode ? 0 : 5;
    default:
      return fill_mode ? 0 : 2;
  }
}

// The element of the server's to_char that gives a number element's value.
std::string_view NumberElement(Element e, std::string_view written) {
  switch (e) {
    case Element::kRRRR:
      return "YYYY";
    case Element::kRR:
      return "YY";
    case Element::kSSSSS:
      return "SSSS";
    case Element::kHH12:
      return "HH12";
    default:
      return written;
  }
}

char CaseLetter(date_model::LetterCase letter_case) {
  switch (letter_case) {
    case date_model::LetterCase::kUpper: return 'U';
    case date_model::LetterCase::kCapital: return 'C';
    default: return 'L';
  }
}

char SuffixLetter(date_model::Suffix suffix) {
  switch (suffix) {
    case date_model::Suffix::kTh: return 'T';
    case date_model::Suffix::kSp: return 'S';
    case date_model::Suffix::kSpTh: return 'O';
    default: return 'D';
  }
}

}  // namespace

std::vector<std::string> Translator::PgDateModelParts(std::string_view written) {
  const std::string_view model = date_model::LocaleDateModel(written);
  std::vector<std::string> parts;
  bool fill_mode = false;
  // The run of the model the server's to_char writes, begun where it is needed; FM on at its
  // start is written first, as the run is read on its own.
  auto plain = [&]() -> std::string& {
    if (parts.empty() || parts.back()[0] != 'T') parts.push_back(fill_mode ? "TFM" : "T");
    return parts.back();
  };
  for (size_t at = 0;;) {
    const date_model::FormatToken t = date_model::ReadElement(model, at);
    if (t.element == Element::kEnd) break;
    const std::string_view text = model.substr(at, t.length);
    at += t.length;
    if (t.suffix != date_model::Suffix::kNone || t.element == Element::kSSSSS) {
      // N, the letter case, the form, the width, the server's element: 'NUT2DD' is DDTH.
      const size_t suffix_length = t.suffix == date_model::Suffix::kNone   ? 0
                                   : t.suffix == date_model::Suffix::kSpTh ? 4
                                                                           : 2;
      const std::string_view element = text.substr(0, text.size() - suffix_length);
      std::string part = "N";
      part.push_back(CaseLetter(t.letter_case));
      part.push_back(SuffixLetter(t.suffix));
      part.push_back(static_cast<char>('0' + NumberWidth(t.element, fill_mode)));
      part.append(AsciiUpper(NumberElement(t.element, element)));
      parts.push_back(std::move(part));
      continue;
    }
    switch (t.element) {
      case Element::kFM:
        plain().append(text);
        fill_mode = !fill_mode;
        break;
      case Element::kYear:
      case Element::kSYear:
        parts.push_back(std::string("Y") + CaseLetter(t.letter_case) +
                        (t.element == Element::kSYear ? 'S' : 'N'));
        break;
      case Element::kRRRR:
        plain().append("YYYY");
        break;
      case Element::kRR:
        plain().append("YY");
        break;
      case Element::kSYYYY:
      case Element::kSCC:
        // The sign's place of a year after Christ is a blank, as the embedded file writes it.
        plain().append("\" \"");
        plain().append(t.element == Element::kSYYYY ? "YYYY" : "CC");
        break;
      case Element::kRM:
        if (t.letter_case == date_model::LetterCase::kCapital) {
          // The server writes RM and rm only: Rm is RM capitalised.
          parts.push_back(fill_mode ? "RFMRM" : "RRM");
          break;
        }
        plain().append(text);
        break;
      default:
        plain().append(text);
    }
  }
  return parts;
}

namespace {

// Whether the parts are one run the server's to_char writes.
bool OneRun(const std::vector<std::string>& parts) {
  return parts.size() <= 1 && (parts.empty() || parts[0][0] == 'T');
}

void AppendParts(const std::vector<std::string>& parts, std::string* out) {
  out->append("ARRAY[");
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) out->append(", ");
    AppendStringLiteral(parts[i], out);
  }
  out->append("]::text[]");
}

}  // namespace

void Translator::PgToCharDate(std::string_view value_sql, std::string_view model,
                              std::string* out) {
  const std::vector<std::string> parts = PgDateModelParts(model);
  if (OneRun(parts)) {
    out->append("ora_to_char_date(").append(value_sql).append(", ");
    AppendStringLiteral(parts.empty() ? std::string_view() : std::string_view(parts[0]).substr(1),
                        out);
    out->push_back(')');
    return;
  }
  out->append("ora_to_char_date_parts(").append(value_sql).append(", ");
  AppendParts(parts, out);
  out->push_back(')');
}

bool Translator::PgToCharText(std::string_view value_sql, std::string_view model,
                              std::string* out) {
  std::vector<std::string> parts;
  try {
    parts = PgDateModelParts(model);
  } catch (const SqlError&) {
    return false;  // a number model
  }
  if (OneRun(parts) && (parts.empty() || std::string_view(parts[0]).substr(1) == model)) {
    return false;
  }
  out->append("ora_to_char(").append(value_sql).append(", ");
  AppendStringLiteral(model, out);
  out->append(", ");
  AppendParts(parts, out);
  out->push_back(')');
  return true;
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

namespace {

// The server's own LIKE, which no cancel reaches, matches a text of n bytes against a pattern
// whose part from its first '%' on holds m bytes in at most n * min(n, m) steps (each place of
// the text that part is tried at ends at the '%' after it, or fails). Up to this many steps, a
// few milliseconds, a text is matched in place; a longer work is ora_like_parts's for a pattern
// of plain texts between its '%' (a search a cancel reaches), else ora_like's, which runs it
// only when it fits the statement's time left.
constexpr size_t kLikeStepsInPlace = 10000000;
// The longest text whose match takes at most those steps whatever the pattern.
constexpr size_t kLikeTextAnyPattern = 3162;

// The parts of a LIKE pattern between its '%' (escapes taken out): the part before the first,
// those between, the part after the last, as ora_like_parts takes them; none when the pattern
// has no '%' or holds a '_' not escaped. `escape` is 0 for none.
// Precondition: EscapesValid(pattern, escape) where `escape` is given.
std::optional<std::vector<std::string>> LikeLiteralParts(std::string_view pattern, char escape) {
  std::vector<std::string> parts(1);
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (escape != '\0' && c == escape && i + 1 < pattern.size()) {
      parts.back().push_back(pattern[++i]);
    } else if (c == '_') {
      return std::nullopt;
    } else if (c == '%') {
      if (parts.size() == 1 || !parts.back().empty()) parts.emplace_back();
    } else {
      parts.back().push_back(c);
    }
  }
  if (parts.size() == 1) return std::nullopt;
  return parts;
}

// Whether a value may be printed twice in a statement and computed twice, with one answer and
// no query of its own.
bool Repeatable(const sql::Expr& e) {
  if (e.subquery || e.over ||
      (e.kind == ExprKind::kFunction && e.text.starts_with("DBMS_RANDOM"))) {
    return false;
  }
  for (const sql::ExprPtr& arg : e.args) {
    if (!Repeatable(*arg)) return false;
  }
  return true;
}

}  // namespace

namespace {

// The most bytes the text of a number or of a date takes on the server, with room: a NUMBER's
// 40 digits, its zeros up to 1E-130 and its sign; a date's 20 characters.
constexpr size_t kShownValueBytes = 1000;
// The longest text a concatenation joins on the server (ora_concat of postgres_functions.cpp).
constexpr size_t kLongestJoined = 134217728;

}  // namespace

size_t Translator::PgLongestText(const Expr& e, const Scope* scope) {
  if (e.kind == ExprKind::kNull) return 0;
  if (e.kind == ExprKind::kString) return e.text.size();
  const SqlType type = TypeOf(e, scope);
  if (type == SqlType::kNumber || type == SqlType::kDate) return kShownValueBytes;
  if (e.kind != ExprKind::kColumn || type != SqlType::kText) return std::string::npos;
  const ColumnInfo* column = ResolveColumn(e, scope);
  if (column == nullptr || column->max_length < 0) return std::string::npos;
  return static_cast<size_t>(column->max_length) * (column->length_in_chars ? 4 : 1);
}

// A concatenation whose parts are literals, numbers, dates and text columns: their bytes are
// known, bounded by the columns' declared lengths, or read from a column of any length without
// computing anything. Such parts are joined by the server's own ||, which the server keeps in the
// statement, each part computed once; texts whose bytes could pass the bound of ora_concat are
// left to it, by a branch for columns of any length. Any other part is computed once by
// ora_concat itself, and `parts` are left to EmitConcat.
bool Translator::PgConcatInPlace(const std::vector<const Expr*>& parts, const Scope* scope,
                                 std::string* out) {
  if (parts.size() < 2 || parts.size() > kMaxCallArguments) return false;
  size_t bounded = 0;
  std::vector<const Expr*> unbounded;
  for (const Expr* part : parts) {
    if (const size_t longest = PgLongestText(*part, scope); longest != std::string::npos) {
      bounded += longest;
    } else if (part->kind == ExprKind::kColumn && TypeOf(*part, scope) == SqlType::kText) {
      unbounded.push_back(part);
    } else {
      return false;
    }
  }
  if (bounded > kLongestJoined) return false;
  std::string joined, called, lengths;
  for (const Expr* part : parts) {
    std::string sql;
    EmitConcatenated(*part, scope, &sql);
    called.append(called.empty() ? "ora_concat(" : ", ").append(sql);
    if (part->kind == ExprKind::kNull) continue;
    if (std::find(unbounded.begin(), unbounded.end(), part) != unbounded.end()) {
      lengths.append(lengths.empty() ? "" : " + ")
          .append("coalesce(octet_length(" + sql + ")::int8, 0)");
    }
    if (part->kind != ExprKind::kString) sql = "coalesce(" + sql + ", '')";
    joined.append(joined.empty() ? "" : " || ").append(sql);
  }
  if (joined.empty()) return false;
  called.push_back(')');
  joined = "nullif(" + joined + ", '')";
  if (lengths.empty()) {
    out->append(joined);
  } else {
    out->append("CASE WHEN " + lengths + " > " + std::to_string(kLongestJoined - bounded) +
                " THEN " + called + " ELSE " + joined + " END");
  }
  return true;
}

// The server's own LIKE, for each text whose length keeps the work short: for a pattern written
// in the statement that length follows from the pattern, for any other it is kLikeTextAnyPattern.
// A value no longer than that by its type (a column's declared length) is matched so at once;
// longer texts, and values that must be computed once, are ora_like_parts's or ora_like's
// (kLikeStepsInPlace). Oracle's LIKE has no
// escape character unless one is named (the server's has '\'); a named one is checked as
// Oracle checks it, by ora_like_escaped, unless the statement shows it sound.
void Translator::PgLike(const Expr& e, const Scope* scope, const std::string& value,
                        std::string* out) {
  const Expr& pattern = *e.args[1];
  const Expr* escape = e.args.size() > 2 ? e.args[2].get() : nullptr;
  std::string pattern_sql, escape_sql;
  Emit(pattern, scope, &pattern_sql);
  if (escape != nullptr) {
    Emit(*escape, scope, &escape_sql);
  } else {
    escape_sql = "''";
  }
  size_t longest_in_place = kLikeTextAnyPattern;
  const bool sound_escape = escape == nullptr || (escape->kind == ExprKind::kString &&
                                                  escape->text.size() == 1 &&
                                                  functions::EscapesValid(pattern.text,
                                                                          escape->text[0]));
  std::string admitted = "ora_like(" + value + ", " + pattern_sql + ", " + escape_sql + ")";
  if (pattern.kind == ExprKind::kString && sound_escape) {
    const char escape_char = escape ? escape->text[0] : '\0';
    const size_t searched = functions::SearchedBytes(pattern.text, escape_char);
    longest_in_place = searched == 0 ? std::string::npos
                                     : std::max(kLikeTextAnyPattern, kLikeStepsInPlace / searched);
    if (const auto parts = LikeLiteralParts(pattern.text, escape_char)) {
      admitted = "ora_like_parts(" + value + ", ARRAY[";
      for (size_t i = 0; i < parts->size(); ++i) {
        if (i > 0) admitted += ", ";
        AppendStringLiteral((*parts)[i], &admitted);
      }
      admitted += "]::text[])";
    }
  } else if (escape != nullptr) {
    pattern_sql = "ora_like_escaped(" + pattern_sql + ", " + escape_sql + ")";
    admitted = "ora_like(" + value + ", " + pattern_sql + ", " + escape_sql + ")";
  }
  const std::string in_place = value + " LIKE " + pattern_sql + " ESCAPE " + escape_sql;
  out->append(e.negated ? "(NOT " : "(");
  const size_t longest_value = PgLongestText(*e.args[0], scope);
  if (longest_in_place == std::string::npos ||
      (longest_value != std::string::npos && longest_value <= longest_in_place)) {
    out->append(in_place);
  } else if (!Repeatable(*e.args[0])) {
    out->append(admitted);
  } else {
    out->append("CASE WHEN octet_length(" + value + ") > " + std::to_string(longest_in_place) +
                " THEN " + admitted + " ELSE " + in_place + " END");
  }
  out->push_back(')');
}

}  // namespace korvalis::db::detail
