// SQL functions on text with Oracle's results: characters counted in UTF-8, the empty
// result as NULL (||, SUBSTR, INSTR, TRIM, LPAD, REPLACE, TRANSLATE ...).
#include <unicode/uchar.h>

#include <algorithm>
#include <cmath>

#include "platform/db/sql_function_support.h"
#include "platform/text/utf8.h"

namespace korvalis::db::functions {
namespace {

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

// LENGTH and LENGTHB of a BLOB count its bytes (an empty one has 0).
bool ResultBlobLength(sqlite3_context* ctx, sqlite3_value* v) {
  if (sqlite3_value_type(v) != SQLITE_BLOB) return false;
  sqlite3_result_int64(ctx, sqlite3_value_bytes(v));
  return true;
}

void Length(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0]) || ResultBlobLength(ctx, argv[0])) return;
  std::string s = AsText(argv[0]);
  if (s.empty()) return sqlite3_result_null(ctx);
  sqlite3_result_int64(ctx, static_cast<int64_t>(CharCount(s)));
}
void LengthB(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0]) || ResultBlobLength(ctx, argv[0])) return;
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

// Appends the character of `s` that starts at `*i` (advancing past it) as `map` maps it; a
// character the map keeps, an ill-formed byte included, keeps its bytes.
void AppendMapped(std::string_view s, size_t* i, UChar32 (*map)(UChar32), std::string* out) {
  const size_t start = *i;
  const auto c = static_cast<UChar32>(DecodeUtf8(s, i));
  const UChar32 mapped = map(c);
  if (mapped == c) {
    out->append(s.substr(start, *i - start));
  } else {
    AppendUtf8(static_cast<char32_t>(mapped), out);
  }
}

// Every letter Unicode maps, one character at a time (ß stays ß, as in Oracle's UPPER).
std::string MapLetters(std::string_view s, UChar32 (*map)(UChar32)) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) AppendMapped(s, &i, map, &out);
  return out;
}

void Upper(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  ResultText(ctx, MapLetters(AsText(argv[0]), u_toupper));
}
void Lower(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  ResultText(ctx, MapLetters(AsText(argv[0]), u_tolower));
}
// The first letter of each word in capitals, the others small; words are runs of letters and
// digits.
void InitCap(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  const std::string s = AsText(argv[0]);
  std::string out;
  out.reserve(s.size());
  bool start = true;
  for (size_t i = 0; i < s.size();) {
    size_t next = i;
    const bool alnum = u_isalnum(static_cast<UChar32>(DecodeUtf8(s, &next)));
    AppendMapped(s, &i, alnum && start ? u_totitle : u_tolower, &out);
    start = !alnum;
  }
  ResultText(ctx, out);
}

// A value written into a text column of declared length (arguments: the value, the length,
// whether it counts characters rather than bytes, whether the column pads, the column's name
// as messages show it): refused when longer (ORA-12899), padded with blanks to the length
// in a CHAR column.
void TextFit(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  std::string s = AsText(argv[0]);
  const int64_t max = sqlite3_value_int64(argv[1]);
  const int64_t length =
      static_cast<int64_t>(sqlite3_value_int(argv[2]) ? CharCount(s) : s.size());
  if (length > max) {
    throw FunctionError{"ORA-12899: value too large for column " + std::string(TextView(argv[4])) +
                            " (actual: " + std::to_string(length) +
                            ", maximum: " + std::to_string(max) + ")",
                        kDataOverflow};
  }
  if (sqlite3_value_int(argv[3])) s.append(static_cast<size_t>(max - length), ' ');
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
  if (cp < 0 || cp > 0x10FFFF) {
    throw FunctionError{"ORA-01428: argument '" + std::to_string(cp) + "' is out of range"};
  }
  std::string out;
  AppendUtf8(static_cast<uint32_t>(cp), &out);
  if (cp == 0) out.assign(1, '\0');
  sqlite3_result_text(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

}  // namespace

std::span<const FunctionEntry> TextFunctions() {
  static const FunctionEntry kEntries[] = {
      {"ora_concat", -1, Guarded<Concat>, true},
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
      {"ora_text_fit", 5, Guarded<TextFit>, true},
  };
  return kEntries;
}

}  // namespace korvalis::db::functions
