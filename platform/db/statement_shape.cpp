#include "platform/db/statement_shape.h"

#include <array>

#include "platform/db/database_clock.h"
#include "platform/db/ora_date.h"
#include "platform/db/ora_number.h"
#include "platform/db/sql_error.h"
#include "platform/db/sql_token.h"
#include "platform/text/ascii.h"

namespace korvalis::db {
namespace {

// Marker literals are '\x01<k>\x01'. A statement holding the edge character anywhere is not
// shaped, so no marker can be met that was not made here.
constexpr char kMarkerEdge = '\x01';

// Letters, digits, _ $ # and every byte of a multibyte character continue a name.
constexpr std::array<bool, 256> MakeNameBytes() {
  std::array<bool, 256> name{};
  for (int b = 0; b < 256; ++b) {
    name[b] = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') ||
              b == '_' || b == '$' || b == '#' || b >= 0x80;
  }
  return name;
}
constexpr std::array<bool, 256> kNameBytes = MakeNameBytes();

inline bool IsNameByte(char c) { return kNameBytes[static_cast<unsigned char>(c)]; }

bool EqualsUpper(std::string_view text, std::string_view upper) {
  if (text.size() != upper.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (AsciiUpper(text[i]) != upper[i]) return false;
  }
  return true;
}

std::size_t SkipBlanks(std::string_view sql, std::size_t i) {
  while (i < sql.size() && IsAsciiSpace(sql[i])) ++i;
  return i;
}

// The end (just past the closing quote) of the quoted text opening at `i`; npos when it is
// not closed. A doubled quote stands for one.
std::size_t EndOfQuoted(std::string_view sql, std::size_t i) {
  const char quote = sql[i];
  for (++i; i < sql.size(); ++i) {
    if (sql[i] != quote) continue;
    if (i + 1 < sql.size() && sql[i + 1] == quote) {
      ++i;
      continue;
    }
    return i + 1;
  }
  return std::string_view::npos;
}

// Blanks and comments from `i`; npos for a comment that is not closed.
std::size_t SkipBlanksAndComments(std::string_view sql, std::size_t i) {
  for (;;) {
    i = SkipBlanks(sql, i);
    if (sql.substr(i, 2) == "--") {
      i = sql.find('\n', i);
      if (i == std::string_view::npos) return sql.size();
    } else if (sql.substr(i, 2) == "/*") {
      i = sql.find("*/", i + 2);
      if (i == std::string_view::npos) return i;
      i += 2;
    } else {
      return i;
    }
  }
}

// The value of the literal [begin, end): without its quotes, doubled quotes undone.
std::string LiteralValue(std::string_view literal) {
  std::string value;
  for (std::size_t i = 1; i + 1 < literal.size(); ++i) {
    value.push_back(literal[i]);
    if (literal[i] == '\'') ++i;
  }
  return value;
}

// After the word TO_DATE ending at `i`: the end of its first argument when the call is
// `( 'value' , 'format' )`, the value's literal starting at *literal and the format's at
// *format; npos otherwise.
std::size_t DateLiteralAfter(std::string_view sql, std::size_t i, std::size_t* literal,
                             std::size_t* format) {
  i = SkipBlanks(sql, i);
  if (i >= sql.size() || sql[i] != '(') return std::string_view::npos;
  i = SkipBlanks(sql, i + 1);
  if (i >= sql.size() || sql[i] != '\'') return std::string_view::npos;
  *literal = i;
  const std::size_t value_end = EndOfQuoted(sql, i);
  if (value_end == std::string_view::npos) return value_end;
  i = SkipBlanks(sql, value_end);
  if (i >= sql.size() || sql[i] != ',') return std::string_view::npos;
  i = SkipBlanks(sql, i + 1);
  if (i >= sql.size() || sql[i] != '\'') return std::string_view::npos;
  *format = i;
  i = EndOfQuoted(sql, i);
  if (i == std::string_view::npos) return i;
  i = SkipBlanks(sql, i);
  if (i >= sql.size() || sql[i] != ')') return std::string_view::npos;
  return value_end;
}

// Whether the literal opening at `i` is written right after `name =`, the name starting with
// a letter or quoted, and is not ROWNUM, LEVEL, SYSDATE or PRIOR, whose comparisons are
// rewritten.
bool FollowsNameEquals(std::string_view sql, std::size_t i) {
  std::size_t j = i;
  while (j > 0 && IsAsciiSpace(sql[j - 1])) --j;
  if (j == 0 || sql[j - 1] != '=') return false;
  --j;
  if (j > 0 && (sql[j - 1] == '<' || sql[j - 1] == '>' || sql[j - 1] == '!' || sql[j - 1] == '^')) {
    return false;
  }
  while (j > 0 && IsAsciiSpace(sql[j - 1])) --j;
  if (j == 0) return false;
  if (sql[j - 1] == '"') return true;
  const std::size_t end = j;
  while (j > 0 && IsNameByte(sql[j - 1])) --j;
  if (j == end) return false;
  const char first = sql[j];
  if (!((first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z') ||
        static_cast<unsigned char>(first) >= 0x80)) {
    return false;
  }
  const std::string_view name = sql.substr(j, end - j);
  for (std::string_view rewritten : {"ROWNUM", "LEVEL", "SYSDATE", "PRIOR"}) {
    if (EqualsUpper(name, rewritten)) return false;
  }
  return true;
}

// Whether the literal ending at `i` ends its comparison: what follows it is the end of the
// text, a closing parenthesis, or a word that ends a condition.
bool EndsComparison(std::string_view sql, std::size_t i) {
  i = SkipBlanksAndComments(sql, i);
  if (i == std::string_view::npos) return false;
  if (i == sql.size() || sql[i] == ')' || sql[i] == ';') return true;
  std::size_t end = i;
  while (end < sql.size() && IsNameByte(sql[end])) ++end;
  const std::string_view word = sql.substr(i, end - i);
  for (std::string_view ending : {"AND", "OR", "ORDER", "GROUP", "HAVING", "UNION", "MINUS",
                                  "INTERSECT", "CONNECT", "START", "THEN"}) {
    if (EqualsUpper(word, ending)) return true;
  }
  return false;
}

// Whether a value compared for equality passes through the translation unread: the
// translation reads a text compared with a number as a number, and one compared with a date
// as a date, when it can; a marker can be read as neither, so a value taken out must not be
// either. The empty text is NULL.
bool PassesThroughComparison(std::string_view value) {
  return !value.empty() && !ParseNumber(value) && !ParseDefaultDate(value);
}

// Replaces the literal sql[literal, end) by its value's marker in `shape`, copying the text
// from `*copied` before it; `format`: the model of the TO_DATE it is the value of, empty for a
// key. A literal written twice alike shares one marker.
void TakeOutLiteral(std::string_view sql, std::size_t literal, std::size_t end, std::string value,
                    std::string format, std::size_t* copied, StatementShape* shape) {
  const std::string_view written = sql.substr(literal + 1, end - literal - 2);
  std::size_t marker = 0;
  while (marker < shape->literals.size() &&
         (shape->literals[marker] != written || shape->formats[marker] != format)) {
    ++marker;
  }
  if (marker == shape->literals.size()) {
    shape->literals.emplace_back(written);
    shape->values.push_back(std::move(value));
    shape->formats.push_back(std::move(format));
  }
  if (shape->text.empty()) shape->text.reserve(sql.size() + 16);
  shape->text.append(sql.substr(*copied, literal - *copied));
  shape->text.push_back('\'');
  shape->text.push_back(kMarkerEdge);
  if (marker < 9) {
    shape->text.push_back(static_cast<char>('1' + marker));
  } else {
    shape->text.append(std::to_string(marker + 1));
  }
  shape->text.push_back(kMarkerEdge);
  shape->text.push_back('\'');
  *copied = end;
}

}  // namespace

std::optional<StatementShape> ShapeQuery(std::string_view sql) {
  if (sql.find(kMarkerEdge) != std::string_view::npos) return std::nullopt;
  std::size_t i = SkipBlanksAndComments(sql, 0);
  if (i == std::string_view::npos || !EqualsUpper(sql.substr(i, 6), "SELECT") ||
      (i + 6 < sql.size() && IsNameByte(sql[i + 6]))) {
    return std::nullopt;
  }
  StatementShape shape;
  std::size_t copied = 0;
  while (i < sql.size()) {
    const char c = sql[i];
    if (c == '\'' || c == '"') {
      const std::size_t start = i;
      i = EndOfQuoted(sql, i);
      if (i == std::string_view::npos) return std::nullopt;
      if (c == '\'' && FollowsNameEquals(sql, start) && EndsComparison(sql, i)) {
        std::string value = LiteralValue(sql.substr(start, i - start));
        if (PassesThroughComparison(value)) {
          TakeOutLiteral(sql, start, i, std::move(value), {}, &copied, &shape);
        }
      }
    } else if (c == '-' || c == '/') {
      const std::size_t after = SkipBlanksAndComments(sql, i);
      if (after == std::string_view::npos) return std::nullopt;
      i = after == i ? i + 1 : after;
    } else if (const std::size_t q = sql::DelimitedLiteralStart(sql, i);
               q != std::string_view::npos) {
      // A delimited literal holds quotes of its own: it is skipped whole, never taken out.
      const std::optional<sql::DelimitedLiteral> literal = sql::ReadDelimitedLiteral(sql, q);
      if (!literal || literal->end == std::string_view::npos) return std::nullopt;
      i = literal->end;
    } else if (IsNameByte(c)) {
      const std::size_t start = i;
      while (i < sql.size() && IsNameByte(sql[i])) ++i;
      std::size_t literal = 0, format = 0;
      if (i - start != 7 || (c != 'T' && c != 't') ||
          !EqualsUpper(sql.substr(start, i - start), "TO_DATE") ||
          (start > 0 && sql[start - 1] == '.')) {
        continue;
      }
      const std::size_t value_end = DateLiteralAfter(sql, i, &literal, &format);
      if (value_end == std::string_view::npos || value_end - literal == 2) continue;
      std::string value = LiteralValue(sql.substr(literal, value_end - literal));
      std::string model = LiteralValue(sql.substr(format, EndOfQuoted(sql, format) - format));
      if (ReadsAsDate(value, model)) {
        TakeOutLiteral(sql, literal, value_end, std::move(value), std::move(model), &copied,
                       &shape);
      }
      i = value_end;
    } else {
      ++i;
    }
  }
  if (shape.values.empty()) return std::nullopt;
  shape.text.append(sql.substr(copied));
  return shape;
}

bool IsValueMarker(std::string_view literal_value) {
  return literal_value.size() >= 3 && literal_value.front() == kMarkerEdge &&
         literal_value.back() == kMarkerEdge;
}

bool ReadsAsDate(std::string_view value, std::string_view format) {
  // The stored form under its own models is read by position, without the model's reader.
  if (BindsAsDate(format) && (value.size() == 10 || format.size() > 10)) {
    const std::optional<int64_t> seconds = StoredSeconds(value);
    if (seconds && *seconds >= kFirstDateSecond) return true;
  }
  try {
    ParseDateModel(value, format, CurrentDatabaseTime());
    return true;
  } catch (const DbError&) {
    return false;
  }
}

bool BindsAsDate(std::string_view format) {
  return EqualsUpper(format, "YYYY-MM-DD HH24:MI:SS") || EqualsUpper(format, "YYYY-MM-DD");
}

std::optional<std::string> BoundDate(std::string_view value, std::string_view format) {
  const std::size_t first = value.find_first_not_of(' ');
  if (first == std::string_view::npos) return std::nullopt;
  value = value.substr(first, value.find_last_not_of(' ') + 1 - first);
  if (EqualsUpper(format, "YYYY-MM-DD") && value.size() != 10) return std::nullopt;
  const std::optional<DateTime> date = ParseStoredDate(value);
  if (!date || !IsWithinDateRange(*date)) return std::nullopt;
  return FormatDate(*date);
}

// The marker number k of `text` when it is exactly \x01<k>\x01 with 1 <= k <= count; 0
// otherwise.
std::size_t MarkerNumber(std::string_view text, std::size_t count) {
  if (text.size() < 3 || text.front() != kMarkerEdge || text.back() != kMarkerEdge) return 0;
  std::size_t k = 0;
  for (char c : text.substr(1, text.size() - 2)) {
    if (c < '0' || c > '9' || k > count) return 0;
    k = k * 10 + static_cast<std::size_t>(c - '0');
  }
  return k <= count ? k : 0;
}

bool BindMarkers(std::string* translated, std::size_t count, char parameter) {
  const std::string& sql = *translated;
  std::vector<bool> found(count + 1, false);
  std::string bound;
  bound.reserve(sql.size());
  std::size_t copied = 0;
  for (std::size_t i = 0; i < sql.size();) {
    const char c = sql[i];
    if (c == kMarkerEdge) return false;
    if (c != '\'' && c != '"') {
      ++i;
      continue;
    }
    const std::size_t end = EndOfQuoted(sql, i);
    if (end == std::string_view::npos) return false;
    if (c == '\'') {
      const std::string_view text = std::string_view(sql).substr(i + 1, end - i - 2);
      if (text.find(kMarkerEdge) != std::string_view::npos) {
        const std::size_t k = MarkerNumber(text, count);
        if (k == 0) return false;
        found[k] = true;
        bound.append(sql, copied, i - copied);
        bound.push_back(parameter);
        bound.append(std::to_string(k));
        copied = end;
      }
    }
    i = end;
  }
  for (std::size_t k = 1; k <= count; ++k) {
    if (!found[k]) return false;
  }
  bound.append(sql, copied, std::string::npos);
  translated->swap(bound);
  return true;
}

std::string ColumnNameWithValues(std::string_view name, const std::vector<std::string>& literals) {
  std::string out;
  for (std::size_t at = name.find(kMarkerEdge); at != std::string_view::npos;
       at = name.find(kMarkerEdge)) {
    const std::size_t end = name.find(kMarkerEdge, at + 1);
    const std::size_t k = end == std::string_view::npos
                              ? 0
                              : MarkerNumber(name.substr(at, end - at + 1), literals.size());
    if (k == 0) break;
    out.append(name.substr(0, at)).append(literals[k - 1]);
    name.remove_prefix(end + 1);
  }
  out.append(name);
  return out;
}

}  // namespace korvalis::db
