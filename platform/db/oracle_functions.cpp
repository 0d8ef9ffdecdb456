#include "platform/db/oracle_functions.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/db/database_clock.h"
#include "platform/db/ora_date.h"
#include "platform/db/ora_number.h"
#include "platform/db/sql_error.h"

namespace korvalis::db {
namespace {

// A failure inside a function: reported through sqlite3_result_error.
struct FunctionError {
  std::string message;
};

[[noreturn]] void InvalidNumber(std::string_view text) {
  throw FunctionError{"ORA-01722: invalid number: '" + std::string(text) + "'"};
}

// ---- reading arguments ----

bool IsNull(sqlite3_value* v) { return sqlite3_value_type(v) == SQLITE_NULL; }

std::string_view TextView(sqlite3_value* v) {
  const unsigned char* t = sqlite3_value_text(v);
  return t ? std::string_view(reinterpret_cast<const char*>(t),
                              static_cast<size_t>(sqlite3_value_bytes(v)))
           : std::string_view();
}

// The value as Oracle renders it as text.
std::string AsText(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: {
      std::string s;
      AppendInteger(sqlite3_value_int64(v), &s);
      return s;
    }
    case SQLITE_FLOAT:
      return FormatNumber(sqlite3_value_double(v));
    case SQLITE_NULL:
      return std::string();
    case SQLITE_BLOB: {
      const void* b = sqlite3_value_blob(v);
      return std::string(static_cast<const char*>(b), static_cast<size_t>(sqlite3_value_bytes(v)));
    }
    default:
      return std::string(TextView(v));
  }
}

// The value as a number, converting text as Oracle does (failing on invalid text).
double AsNumber(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: return static_cast<double>(sqlite3_value_int64(v));
    case SQLITE_FLOAT: return sqlite3_value_double(v);
    case SQLITE_TEXT: {
      std::string_view t = TextView(v);
      auto n = ParseNumber(t);
      if (!n) InvalidNumber(t);
      return *n;
    }
    default:
      throw FunctionError{"ORA-00932: inconsistent datatypes: expected NUMBER got BLOB"};
  }
}

int64_t AsInteger(sqlite3_value* v) {
  if (sqlite3_value_type(v) == SQLITE_INTEGER) return sqlite3_value_int64(v);
  double d = std::trunc(AsNumber(v));
  if (d > 9.2e18) return INT64_MAX;
  if (d < -9.2e18) return INT64_MIN;
  return static_cast<int64_t>(d);
}

DateTime AsDate(sqlite3_value* v) {
  if (sqlite3_value_type(v) == SQLITE_TEXT) {
    if (auto d = ParseStoredDate(TextView(v))) return *d;
    throw FunctionError{"ORA-01861: literal does not match format string: '" +
                        std::string(TextView(v)) + "'"};
  }
  throw FunctionError{"ORA-00932: inconsistent datatypes: expected DATE got NUMBER"};
}

// A stored date: exactly "YYYY-MM-DD HH:MM:SS".
bool LooksLikeDate(sqlite3_value* v) {
  if (sqlite3_value_type(v) != SQLITE_TEXT) return false;
  std::string_view t = TextView(v);
  return t.size() == 19 && t[4] == '-' && t[7] == '-' && t[10] == ' ' && t[13] == ':' &&
         t[16] == ':' && ParseStoredDate(t).has_value();
}

// ---- results ----

void ResultNumber(sqlite3_context* ctx, double d) {
  if (std::isnan(d) || std::isinf(d)) {
    throw FunctionError{"ORA-01426: numeric overflow"};
  }
  if (d == std::trunc(d) && std::fabs(d) < 9.2e18) {
    sqlite3_result_int64(ctx, static_cast<int64_t>(d));
  } else {
    sqlite3_result_double(ctx, d);
  }
}

// The empty text is NULL.
void ResultText(sqlite3_context* ctx, const std::string& s) {
  if (s.empty()) {
    sqlite3_result_null(ctx);
  } else {
    sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
  }
}

void ResultDate(sqlite3_context* ctx, const DateTime& d) {
  if (!IsValid(d)) throw FunctionError{"ORA-01841: (full) year must be between -4713 and +9999"};
  char buf[24];
  std::string s;
  s.reserve(19);
  AppendDate(d, &s);
  std::memcpy(buf, s.data(), s.size());
  sqlite3_result_text(ctx, buf, static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

// ---- UTF-8 characters ----

std::vector<size_t> CharStarts(std::string_view s) {
  std::vector<size_t> starts;
  starts.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) starts.push_back(i);
  }
  return starts;
}
size_t CharCount(std::string_view s) {
  size_t n = 0;
  for (char c : s) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}
std::vector<std::string_view> Chars(std::string_view s) {
  std::vector<std::string_view> out;
  std::vector<size_t> starts = CharStarts(s);
  for (size_t i = 0; i < starts.size(); ++i) {
    size_t end = i + 1 < starts.size() ? starts[i + 1] : s.size();
    out.push_back(s.substr(starts[i], end - starts[i]));
  }
  return out;
}
void AppendCodePoint(uint32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

bool AnyNull(int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i) {
    if (IsNull(argv[i])) return true;
  }
  return false;
}

// ---- the functions ----

using Body = void (*)(sqlite3_context*, int, sqlite3_value**);

template <Body body>
void Guarded(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  try {
    body(ctx, argc, argv);
  } catch (const FunctionError& e) {
    sqlite3_result_error(ctx, e.message.c_str(), -1);
  } catch (const DbError& e) {
    sqlite3_result_error(ctx, e.what(), -1);
  } catch (const std::bad_alloc&) {
    sqlite3_result_error_nomem(ctx);
  }
}

void Num(sqlite3_context* ctx, int, sqlite3_value** argv) {
  switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL: sqlite3_result_null(ctx); return;
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: sqlite3_result_value(ctx, argv[0]); return;
    default: ResultNumber(ctx, AsNumber(argv[0]));
  }
}

void Div(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  double b = AsNumber(argv[1]);
  if (b == 0) throw FunctionError{"ORA-01476: divisor is equal to zero"};
  ResultNumber(ctx, AsNumber(argv[0]) / b);
}

void Concat(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  std::string out;
  for (int i = 0; i < argc; ++i) {
    if (sqlite3_value_type(argv[i]) == SQLITE_TEXT) {
      out.append(TextView(argv[i]));
    } else if (!IsNull(argv[i])) {
      out.append(AsText(argv[i]));
    }
  }
  ResultText(ctx, out);
}

void DateAdd(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  ResultDate(ctx, DateTime::FromDays(AsDate(argv[0]).ToDays() + AsNumber(argv[1])));
}
void DateSub(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  ResultDate(ctx, DateTime::FromDays(AsDate(argv[0]).ToDays() - AsNumber(argv[1])));
}
void DateDiff(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  ResultNumber(ctx, AsDate(argv[0]).ToDays() - AsDate(argv[1]).ToDays());
}

// a + b and a - b where the translator could not tell dates from numbers.
void AddAny(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  bool da = LooksLikeDate(argv[0]), db = LooksLikeDate(argv[1]);
  if (da && db) throw FunctionError{"ORA-00975: date + date not allowed"};
  if (da) return ResultDate(ctx, DateTime::FromDays(AsDate(argv[0]).ToDays() + AsNumber(argv[1])));
  if (db) return ResultDate(ctx, DateTime::FromDays(AsDate(argv[1]).ToDays() + AsNumber(argv[0])));
  ResultNumber(ctx, AsNumber(argv[0]) + AsNumber(argv[1]));
}
void SubAny(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  bool da = LooksLikeDate(argv[0]), db = LooksLikeDate(argv[1]);
  if (da && db) return ResultNumber(ctx, AsDate(argv[0]).ToDays() - AsDate(argv[1]).ToDays());
  if (da) return ResultDate(ctx, DateTime::FromDays(AsDate(argv[0]).ToDays() - AsNumber(argv[1])));
  if (db) throw FunctionError{"ORA-00932: inconsistent datatypes: expected DATE got NUMBER"};
  ResultNumber(ctx, AsNumber(argv[0]) - AsNumber(argv[1]));
}

// DECODE's comparison keys: NULL becomes a value that matches only NULL.
void DecodeNum(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_blob(ctx, "\0", 1, SQLITE_STATIC);
  ResultNumber(ctx, AsNumber(argv[0]));
}
void DecodeText(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_blob(ctx, "\0", 1, SQLITE_STATIC);
  if (sqlite3_value_type(argv[0]) == SQLITE_TEXT) return sqlite3_result_value(ctx, argv[0]);
  ResultText(ctx, AsText(argv[0]));
}

void ToCharNumber(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (IsNull(argv[0]) || (argc > 1 && IsNull(argv[1]))) return sqlite3_result_null(ctx);
  if (argc == 1) return ResultText(ctx, FormatNumber(AsNumber(argv[0])));
  ResultText(ctx, FormatNumberModel(AsNumber(argv[0]), TextView(argv[1])));
}
void ToCharDate(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (IsNull(argv[0]) || (argc > 1 && IsNull(argv[1]))) return sqlite3_result_null(ctx);
  ResultText(ctx, FormatDateModel(AsDate(argv[0]), TextView(argv[1])));
}
// TO_CHAR of a value whose type the translator did not know.
void ToCharAny(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (IsNull(argv[0]) || (argc > 1 && IsNull(argv[1]))) return sqlite3_result_null(ctx);
  if (argc == 1) return ResultText(ctx, AsText(argv[0]));
  if (LooksLikeDate(argv[0])) return ToCharDate(ctx, argc, argv);
  ToCharNumber(ctx, argc, argv);
}

void ToDate(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  ResultDate(ctx, ParseDateModel(AsText(argv[0]), TextView(argv[1])));
}

// A value written into a DATE column: the default format YYYY-MM-DD[ HH24:MI[:SS]].
void DateIn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  std::string_view t = TextView(argv[0]);
  if (sqlite3_value_type(argv[0]) != SQLITE_TEXT) {
    throw FunctionError{"ORA-00932: inconsistent datatypes: expected DATE got NUMBER"};
  }
  size_t b = 0;
  while (b < t.size() && t[b] == ' ') ++b;
  auto d = ParseStoredDate(t.substr(b));
  if (!d) {
    throw FunctionError{"ORA-01861: literal does not match format string: '" + std::string(t) + "'"};
  }
  ResultDate(ctx, *d);
}

// A value written into a NUMBER(p,s) column, or CAST to one.
void NumberIn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  double v = AsNumber(argv[0]);
  int64_t scale = sqlite3_value_int64(argv[1]);
  int64_t precision = sqlite3_value_int64(argv[2]);
  if (scale >= 0 && scale <= 15) v = RoundHalfAway(v, static_cast<int>(scale));
  if (precision > 0 && precision <= 38) {
    double limit = std::pow(10.0, static_cast<double>(precision - std::max<int64_t>(scale, 0)));
    if (std::fabs(v) >= limit) {
      throw FunctionError{"ORA-01438: value larger than specified precision allowed for this column"};
    }
  }
  ResultNumber(ctx, v);
}

// A value written into a text column, or CAST to VARCHAR2: numbers as Oracle renders them.
void TextIn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  if (sqlite3_value_type(argv[0]) == SQLITE_TEXT) return ResultText(ctx, std::string(TextView(argv[0])));
  ResultText(ctx, AsText(argv[0]));
}

void Substr(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  std::string s = AsText(argv[0]);
  std::vector<size_t> starts = CharStarts(s);
  int64_t len = static_cast<int64_t>(starts.size());
  int64_t pos = AsInteger(argv[1]);
  if (pos == 0) pos = 1;
  if (pos < 0) pos = len + pos + 1;
  if (pos < 1 || pos > len) return sqlite3_result_null(ctx);
  int64_t count = len - pos + 1;
  if (argc > 2) {
    double c = AsNumber(argv[2]);
    if (c < 1) return sqlite3_result_null(ctx);
    count = std::min<int64_t>(count, static_cast<int64_t>(std::trunc(c)));
  }
  size_t begin = starts[static_cast<size_t>(pos - 1)];
  size_t end = pos - 1 + count < len ? starts[static_cast<size_t>(pos - 1 + count)] : s.size();
  ResultText(ctx, s.substr(begin, end - begin));
}

void Instr(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  std::string s = AsText(argv[0]);
  std::string sub = AsText(argv[1]);
  int64_t pos = argc > 2 ? AsInteger(argv[2]) : 1;
  int64_t occurrence = argc > 3 ? AsInteger(argv[3]) : 1;
  if (pos == 0 || occurrence <= 0) {
    throw FunctionError{"ORA-01428: argument is out of range"};
  }
  std::vector<size_t> starts = CharStarts(s);
  const int64_t len = static_cast<int64_t>(starts.size());
  auto char_index = [&](size_t byte) {
    for (size_t i = 0; i < starts.size(); ++i) {
      if (starts[i] == byte) return static_cast<int64_t>(i) + 1;
    }
    return int64_t{0};
  };
  if (pos > 0) {
    if (pos > len) return sqlite3_result_int64(ctx, 0);
    size_t from = starts[static_cast<size_t>(pos - 1)];
    for (int64_t k = 0; k < occurrence; ++k) {
      size_t found = s.find(sub, from);
      if (found == std::string::npos) return sqlite3_result_int64(ctx, 0);
      if (k + 1 == occurrence) return sqlite3_result_int64(ctx, char_index(found));
      from = found + 1;
      while (from < s.size() && (static_cast<unsigned char>(s[from]) & 0xC0) == 0x80) ++from;
    }
    return sqlite3_result_int64(ctx, 0);
  }
  // Negative position: search backwards from that many characters from the end.
  int64_t start_char = len + pos + 1;
  if (start_char < 1) return sqlite3_result_int64(ctx, 0);
  size_t from = starts[static_cast<size_t>(start_char - 1)];
  for (int64_t k = 0; k < occurrence; ++k) {
    size_t found = s.rfind(sub, from);
    if (found == std::string::npos) return sqlite3_result_int64(ctx, 0);
    if (k + 1 == occurrence) return sqlite3_result_int64(ctx, char_index(found));
    if (found == 0) return sqlite3_result_int64(ctx, 0);
    from = found - 1;
    while (from > 0 && (static_cast<unsigned char>(s[from]) & 0xC0) == 0x80) --from;
  }
  sqlite3_result_int64(ctx, 0);
}

void Length(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  std::string s = AsText(argv[0]);
  if (s.empty()) return sqlite3_result_null(ctx);
  sqlite3_result_int64(ctx, static_cast<int64_t>(CharCount(s)));
}
void LengthB(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  std::string s = AsText(argv[0]);
  if (s.empty()) return sqlite3_result_null(ctx);
  sqlite3_result_int64(ctx, static_cast<int64_t>(s.size()));
}

std::string TrimSet(const std::string& s, std::string_view set, bool leading, bool trailing) {
  std::vector<std::string_view> chars = Chars(s);
  std::vector<std::string_view> set_chars = Chars(set);
  auto in_set = [&](std::string_view c) {
    for (std::string_view x : set_chars) {
      if (x == c) return true;
    }
    return false;
  };
  size_t b = 0, e = chars.size();
  if (leading) {
    while (b < e && in_set(chars[b])) ++b;
  }
  if (trailing) {
    while (e > b && in_set(chars[e - 1])) --e;
  }
  std::string out;
  for (size_t i = b; i < e; ++i) out.append(chars[i]);
  return out;
}

void Trim(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  std::string set = argc > 1 ? AsText(argv[1]) : " ";
  if (CharCount(set) != 1) throw FunctionError{"ORA-30001: trim set should have only one character"};
  std::string mode = argc > 2 ? AsText(argv[2]) : "B";
  ResultText(ctx, TrimSet(AsText(argv[0]), set, mode != "T", mode != "L"));
}
void LTrim(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  ResultText(ctx, TrimSet(AsText(argv[0]), argc > 1 ? AsText(argv[1]) : " ", true, false));
}
void RTrim(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  ResultText(ctx, TrimSet(AsText(argv[0]), argc > 1 ? AsText(argv[1]) : " ", false, true));
}

void Pad(sqlite3_context* ctx, int argc, sqlite3_value** argv, bool left) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  std::string s = AsText(argv[0]);
  int64_t width = AsInteger(argv[1]);
  if (width <= 0) return sqlite3_result_null(ctx);
  if (width > 32767) width = 32767;
  std::string pad = argc > 2 ? AsText(argv[2]) : " ";
  std::vector<std::string_view> chars = Chars(s);
  if (static_cast<int64_t>(chars.size()) >= width) {
    std::string out;
    for (int64_t i = 0; i < width; ++i) out.append(chars[static_cast<size_t>(i)]);
    return ResultText(ctx, out);
  }
  std::vector<std::string_view> pad_chars = Chars(pad);
  if (pad_chars.empty()) return sqlite3_result_null(ctx);
  std::string fill;
  for (int64_t i = 0, need = width - static_cast<int64_t>(chars.size()); i < need; ++i) {
    fill.append(pad_chars[static_cast<size_t>(i) % pad_chars.size()]);
  }
  ResultText(ctx, left ? fill + s : s + fill);
}
void LPad(sqlite3_context* ctx, int argc, sqlite3_value** argv) { Pad(ctx, argc, argv, true); }
void RPad(sqlite3_context* ctx, int argc, sqlite3_value** argv) { Pad(ctx, argc, argv, false); }

void Upper(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  std::string s = AsText(argv[0]);
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  ResultText(ctx, s);
}
void Lower(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  std::string s = AsText(argv[0]);
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  ResultText(ctx, s);
}
void InitCap(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  std::string s = AsText(argv[0]);
  bool start = true;
  for (char& c : s) {
    bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (alnum) {
      if (start && c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
      if (!start && c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    start = !alnum;
  }
  ResultText(ctx, s);
}

void Replace(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  std::string s = AsText(argv[0]);
  if (IsNull(argv[1])) return ResultText(ctx, s);
  std::string from = AsText(argv[1]);
  std::string to = argc > 2 && !IsNull(argv[2]) ? AsText(argv[2]) : std::string();
  if (from.empty()) return ResultText(ctx, s);
  std::string out;
  size_t at = 0;
  for (;;) {
    size_t found = s.find(from, at);
    if (found == std::string::npos) break;
    out.append(s, at, found - at);
    out.append(to);
    at = found + from.size();
  }
  out.append(s, at, std::string::npos);
  ResultText(ctx, out);
}

void Translate(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  std::string s = AsText(argv[0]);
  std::string from_s = AsText(argv[1]);
  std::string to_s = AsText(argv[2]);
  std::vector<std::string_view> from = Chars(from_s), to = Chars(to_s);
  std::string out;
  for (std::string_view c : Chars(s)) {
    size_t i = 0;
    while (i < from.size() && from[i] != c) ++i;
    if (i == from.size()) {
      out.append(c);
    } else if (i < to.size()) {
      out.append(to[i]);
    }
  }
  ResultText(ctx, out);
}

void Chr(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  int64_t cp = AsInteger(argv[0]);
  if (cp < 0 || cp > 0x10FFFF) throw FunctionError{"ORA-01428: argument is out of range"};
  std::string out;
  AppendCodePoint(static_cast<uint32_t>(cp), &out);
  if (cp == 0) out.assign(1, '\0');
  sqlite3_result_text(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

void Sign(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  double v = AsNumber(argv[0]);
  sqlite3_result_int64(ctx, v > 0 ? 1 : v < 0 ? -1 : 0);
}
void Abs(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  ResultNumber(ctx, std::fabs(AsNumber(argv[0])));
}
void Floor(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  ResultNumber(ctx, std::floor(AsNumber(argv[0])));
}
void Ceil(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  ResultNumber(ctx, std::ceil(AsNumber(argv[0])));
}
void Sqrt(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  double v = AsNumber(argv[0]);
  if (v < 0) throw FunctionError{"ORA-01428: argument '" + FormatNumber(v) + "' is out of range"};
  ResultNumber(ctx, std::sqrt(v));
}
void Exp(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  ResultNumber(ctx, std::exp(AsNumber(argv[0])));
}
void Ln(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  double v = AsNumber(argv[0]);
  if (v <= 0) throw FunctionError{"ORA-01428: argument '" + FormatNumber(v) + "' is out of range"};
  ResultNumber(ctx, std::log(v));
}
void Power(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  ResultNumber(ctx, std::pow(AsNumber(argv[0]), AsNumber(argv[1])));
}
void Mod(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  double m = AsNumber(argv[0]), n = AsNumber(argv[1]);
  if (n == 0) return ResultNumber(ctx, m);
  ResultNumber(ctx, m - n * std::trunc(m / n));
}

int Places(int argc, sqlite3_value** argv) {
  if (argc < 2) return 0;
  int64_t p = AsInteger(argv[1]);
  return static_cast<int>(std::clamp<int64_t>(p, -30, 30));
}
void Round(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  ResultNumber(ctx, RoundHalfAway(AsNumber(argv[0]), Places(argc, argv)));
}
void Trunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  ResultNumber(ctx, TruncateTo(AsNumber(argv[0]), Places(argc, argv)));
}
void TruncDate(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  ResultDate(ctx, TruncateDate(AsDate(argv[0]), argc > 1 ? AsText(argv[1]) : "DD"));
}
void RoundDate(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  DateTime d = AsDate(argv[0]);
  std::string f = argc > 1 ? AsText(argv[1]) : "DD";
  for (char& c : f) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  if (f == "DD" || f == "DDD" || f == "J") {
    return ResultDate(ctx, TruncateDate(DateTime::FromDays(d.ToDays() + 0.5), "DD"));
  }
  if (f == "MM" || f == "MONTH" || f == "MON") {
    DateTime t = TruncateDate(d, "MM");
    return ResultDate(ctx, d.day >= 16 ? AddMonths(t, 1) : t);
  }
  if (f == "YYYY" || f == "YEAR" || f == "YY") {
    DateTime t = TruncateDate(d, "YYYY");
    return ResultDate(ctx, d.month >= 7 ? AddMonths(t, 12) : t);
  }
  if (f == "HH" || f == "HH24") {
    return ResultDate(ctx, TruncateDate(DateTime::FromDays(d.ToDays() + 1.0 / 48), "HH"));
  }
  if (f == "MI") {
    return ResultDate(ctx, TruncateDate(DateTime::FromDays(d.ToDays() + 1.0 / 2880), "MI"));
  }
  throw FunctionError{"ORA-01899: bad precision specifier: '" + f + "'"};
}
void RoundAny(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (LooksLikeDate(argv[0])) return RoundDate(ctx, argc, argv);
  Round(ctx, argc, argv);
}
void TruncAny(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (LooksLikeDate(argv[0])) return TruncDate(ctx, argc, argv);
  Trunc(ctx, argc, argv);
}

void AddMonthsFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  ResultDate(ctx, AddMonths(AsDate(argv[0]), AsInteger(argv[1])));
}
void LastDayFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  ResultDate(ctx, LastDay(AsDate(argv[0])));
}
void MonthsBetweenFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  ResultNumber(ctx, MonthsBetween(AsDate(argv[0]), AsDate(argv[1])));
}

// GREATEST and LEAST compare as the first argument's type: numbers as numbers, anything else
// as text.
void Extreme(sqlite3_context* ctx, int argc, sqlite3_value** argv, bool greatest) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const int t0 = sqlite3_value_type(argv[0]);
  if (t0 == SQLITE_INTEGER || t0 == SQLITE_FLOAT) {
    double best = AsNumber(argv[0]);
    for (int i = 1; i < argc; ++i) {
      double v = AsNumber(argv[i]);
      if (greatest ? v > best : v < best) best = v;
    }
    return ResultNumber(ctx, best);
  }
  std::string best = AsText(argv[0]);
  for (int i = 1; i < argc; ++i) {
    std::string v = AsText(argv[i]);
    if (greatest ? v > best : v < best) best = std::move(v);
  }
  ResultText(ctx, best);
}
void Greatest(sqlite3_context* ctx, int argc, sqlite3_value** argv) { Extreme(ctx, argc, argv, true); }
void Least(sqlite3_context* ctx, int argc, sqlite3_value** argv) { Extreme(ctx, argc, argv, false); }

std::mt19937_64& Random() {
  thread_local std::mt19937_64 engine{std::random_device{}()};
  return engine;
}
void RandomValue(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  double u = std::uniform_real_distribution<double>(0.0, 1.0)(Random());
  if (argc == 2) {
    if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
    double lo = AsNumber(argv[0]), hi = AsNumber(argv[1]);
    u = lo + u * (hi - lo);
  }
  sqlite3_result_double(ctx, u);
}
void SysGuid(sqlite3_context* ctx, int, sqlite3_value**) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (int i = 0; i < 2; ++i) {
    uint64_t r = Random()();
    for (int k = 0; k < 16; ++k) {
      out.push_back(kHex[r & 0xF]);
      r >>= 4;
    }
  }
  ResultText(ctx, out);
}
void Raise(sqlite3_context* ctx, int, sqlite3_value** argv) {
  throw FunctionError{AsText(argv[0])};
  (void)ctx;
}
void Sysdate(sqlite3_context* ctx, int, sqlite3_value**) { ResultDate(ctx, CurrentDatabaseTime()); }

struct Registration {
  const char* name;
  int args;  // -1: any number
  Body body;
  bool deterministic;
};

const Registration kFunctions[] = {
    {"ora_num", 1, Guarded<Num>, true},
    {"ora_div", 2, Guarded<Div>, true},
    {"ora_concat", -1, Guarded<Concat>, true},
    {"ora_date_add", 2, Guarded<DateAdd>, true},
    {"ora_date_sub", 2, Guarded<DateSub>, true},
    {"ora_date_diff", 2, Guarded<DateDiff>, true},
    {"ora_add", 2, Guarded<AddAny>, true},
    {"ora_sub", 2, Guarded<SubAny>, true},
    {"ora_decode_num", 1, Guarded<DecodeNum>, true},
    {"ora_decode_text", 1, Guarded<DecodeText>, true},
    {"ora_to_char", 1, Guarded<ToCharAny>, true},
    {"ora_to_char", 2, Guarded<ToCharAny>, true},
    {"ora_to_char_number", 2, Guarded<ToCharNumber>, true},
    {"ora_to_char_date", 2, Guarded<ToCharDate>, true},
    {"ora_to_date", 2, Guarded<ToDate>, true},
    {"ora_date_in", 1, Guarded<DateIn>, true},
    {"ora_number_in", 3, Guarded<NumberIn>, true},
    {"ora_text_in", 2, Guarded<TextIn>, true},
    {"ora_substr", 2, Guarded<Substr>, true},
    {"ora_substr", 3, Guarded<Substr>, true},
    {"ora_instr", -1, Guarded<Instr>, true},
    {"ora_length", 1, Guarded<Length>, true},
    {"ora_lengthb", 1, Guarded<LengthB>, true},
    {"ora_trim", 3, Guarded<Trim>, true},
    {"ora_ltrim", -1, Guarded<LTrim>, true},
    {"ora_rtrim", -1, Guarded<RTrim>, true},
    {"ora_lpad", -1, Guarded<LPad>, true},
    {"ora_rpad", -1, Guarded<RPad>, true},
    {"ora_upper", 1, Guarded<Upper>, true},
    {"ora_lower", 1, Guarded<Lower>, true},
    {"ora_initcap", 1, Guarded<InitCap>, true},
    {"ora_replace", -1, Guarded<Replace>, true},
    {"ora_translate", 3, Guarded<Translate>, true},
    {"ora_chr", 1, Guarded<Chr>, true},
    {"ora_sign", 1, Guarded<Sign>, true},
    {"ora_abs", 1, Guarded<Abs>, true},
    {"ora_floor", 1, Guarded<Floor>, true},
    {"ora_ceil", 1, Guarded<Ceil>, true},
    {"ora_sqrt", 1, Guarded<Sqrt>, true},
    {"ora_exp", 1, Guarded<Exp>, true},
    {"ora_ln", 1, Guarded<Ln>, true},
    {"ora_power", 2, Guarded<Power>, true},
    {"ora_mod", 2, Guarded<Mod>, true},
    {"ora_round", -1, Guarded<Round>, true},
    {"ora_trunc", -1, Guarded<Trunc>, true},
    {"ora_round_date", -1, Guarded<RoundDate>, true},
    {"ora_trunc_date", -1, Guarded<TruncDate>, true},
    {"ora_round_any", -1, Guarded<RoundAny>, true},
    {"ora_trunc_any", -1, Guarded<TruncAny>, true},
    {"ora_add_months", 2, Guarded<AddMonthsFn>, true},
    {"ora_last_day", 1, Guarded<LastDayFn>, true},
    {"ora_months_between", 2, Guarded<MonthsBetweenFn>, true},
    {"ora_greatest", -1, Guarded<Greatest>, true},
    {"ora_least", -1, Guarded<Least>, true},
    {"ora_random", -1, Guarded<RandomValue>, false},
    {"ora_sys_guid", 0, Guarded<SysGuid>, false},
    {"ora_raise", 1, Guarded<Raise>, false},
    {"ora_sysdate", 0, Guarded<Sysdate>, false},
};

}  // namespace

int RegisterOracleFunctions(sqlite3* db) {
  for (const Registration& r : kFunctions) {
    int flags = SQLITE_UTF8 | (r.deterministic ? SQLITE_DETERMINISTIC : 0);
    int rc = sqlite3_create_function_v2(db, r.name, r.args, flags, nullptr, r.body, nullptr,
                                        nullptr, nullptr);
    if (rc != SQLITE_OK) return rc;
  }
  return SQLITE_OK;
}

std::string FormatNumberModel(double value, std::string_view format) {
  // Elements: FM, 9, 0, '.', 'D', ',', 'G'. The mask decides digits before and after the point.
  std::string f;
  for (char c : format) f.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c);
  bool fill_mode = false;
  if (f.rfind("FM", 0) == 0) {
    fill_mode = true;
    f.erase(0, 2);
  }
  int int_positions = 0, frac_positions = 0, first_zero = -1;
  bool seen_point = false;
  int trailing_frac_zeros_kept = 0;  // '0' positions after the point are always printed
  for (size_t i = 0; i < f.size(); ++i) {
    char c = f[i];
    if (c == '9' || c == '0') {
      if (seen_point) {
        ++frac_positions;
        if (c == '0') trailing_frac_zeros_kept = frac_positions;
      } else {
        if (c == '0' && first_zero < 0) first_zero = int_positions;
        ++int_positions;
      }
    } else if (c == '.' || c == 'D') {
      if (seen_point) throw SqlError("ORA-01481: invalid number format model: " + std::string(format));
      seen_point = true;
    } else if (c == ',' || c == 'G') {
      if (seen_point) throw SqlError("ORA-01481: invalid number format model: " + std::string(format));
    } else {
      throw SqlError("ORA-01481: invalid number format model: " + std::string(format));
    }
  }
  const size_t width = f.size() + 1;
  double rounded = RoundHalfAway(value, frac_positions);
  bool negative = rounded < 0;
  double magnitude = std::fabs(rounded);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", frac_positions, magnitude);
  std::string digits(buf);
  std::string int_digits = digits.substr(0, digits.find('.'));
  std::string frac_digits = frac_positions > 0 ? digits.substr(digits.find('.') + 1) : "";
  if (int_digits == "0") int_digits.clear();
  if (static_cast<int>(int_digits.size()) > int_positions) return std::string(width, '#');
  // Integer part: leading positions print a digit, a zero (from the first '0' of the mask on),
  // or nothing.
  int min_int_digits = first_zero < 0 ? 0 : int_positions - first_zero;
  while (static_cast<int>(int_digits.size()) < min_int_digits) int_digits.insert(0, "0");
  if (int_digits.empty() && frac_positions == 0) int_digits = "0";
  // Group separators where the mask has them, counted from the point.
  std::string int_part;
  {
    std::string mask_int = f.substr(0, f.find_first_of(".D") == std::string::npos ? f.size() : f.find_first_of(".D"));
    int digit_index = static_cast<int>(int_digits.size()) - 1;
    for (int i = static_cast<int>(mask_int.size()) - 1; i >= 0 && digit_index >= 0; --i) {
      char c = mask_int[static_cast<size_t>(i)];
      if (c == ',' || c == 'G') {
        int_part.insert(0, ",");
      } else {
        int_part.insert(0, 1, int_digits[static_cast<size_t>(digit_index--)]);
      }
    }
  }
  std::string frac_part = frac_digits;
  if (fill_mode) {
    // FM drops trailing zeros of '9' positions after the point.
    while (static_cast<int>(frac_part.size()) > trailing_frac_zeros_kept && !frac_part.empty() &&
           frac_part.back() == '0') {
      frac_part.pop_back();
    }
  }
  std::string body = int_part;
  if (seen_point) {
    body.push_back('.');
    body.append(frac_part);
  }
  if (negative && magnitude != 0) body.insert(0, "-");
  if (fill_mode) return body;
  if (body.size() < width) body.insert(0, width - body.size(), ' ');
  return body;
}

}  // namespace korvalis::db
