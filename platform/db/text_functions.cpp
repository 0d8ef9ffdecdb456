// SQL functions on text with Oracle's results: characters counted in UTF-8, the empty
// result as NULL (||, SUBSTR, INSTR, TRIM, LPAD, REPLACE, TRANSLATE ...).
#include <unicode/uchar.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <unordered_map>

#include "platform/db/function_memory.h"
#include "platform/db/sql_function_support.h"
#include "platform/db/text_occurrences.h"
#include "platform/text/utf8.h"

namespace korvalis::db::functions {
namespace {

// What REPLACE reserves at most beyond its text for longer replacements.
constexpr size_t kReplaceGrowthReserved = 256;

// The characters of a set, each with the text that replaces it (TRANSLATE's `to`, character for
// character; none past its end): one look-up a character of the text, whatever the set's size.
class CharacterMap {
 public:
  struct Entry {
    bool found = false;
    std::string_view replacement;
  };
  // `from` and `to` must outlive the map.
  CharacterMap(std::string_view from, std::string_view to) : from_(from), to_(to) {
    for (size_t at = 0, to_at = 0; at < from_.size();) {
      const size_t next = NextChar(from_, at);
      const size_t to_next = NextChar(to_, to_at);
      const Entry e{true, to_.substr(to_at, to_next - to_at)};
      to_at = to_next;
      // The first of a character given twice counts.
      if (next - at == 1) {
        Entry& single = bytes_[static_cast<unsigned char>(from_[at])];
        if (!single.found) single = e;
      } else {
        wide_.emplace(from_.substr(at, next - at), e);
      }
      at = next;
    }
  }
  CharacterMap(const CharacterMap&) = delete;
  CharacterMap& operator=(const CharacterMap&) = delete;

  // The entry of the character of `s` starting at byte `at`.
  Entry Find(std::string_view s, size_t at) const {
    const size_t next = NextChar(s, at);
    if (next - at == 1) return bytes_[static_cast<unsigned char>(s[at])];
    if (wide_.empty()) return {};
    const auto it = wide_.find(s.substr(at, next - at));
    return it == wide_.end() ? Entry{} : it->second;
  }

 private:
  std::string_view from_;
  std::string_view to_;
  std::array<Entry, 256> bytes_{};
  std::unordered_map<std::string_view, Entry, std::hash<std::string_view>,
                     std::equal_to<std::string_view>,
                     CountedAllocator<std::pair<const std::string_view, Entry>>>
      wide_;
};

void Concat(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  TextBuilder out(ctx);
  for (int i = 0; i < argc; ++i) {
    if (!IsNull(argv[i])) out.Append(TextArgument(argv[i]));
  }
  out.SetResult(ctx);
}

void Substr(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const TextArgument text(argv[0]);
  const std::string_view s = text;
  int64_t pos = AsInteger(argv[1]);
  if (pos == 0) pos = 1;
  // A position from the end is found from the end; one from the start, from the start.
  const size_t begin = pos > 0 ? ByteAfterChars(s, 0, static_cast<size_t>(pos - 1))
                               : ByteBeforeChars(s, static_cast<size_t>(-(pos + 1)) + 1);
  if (begin >= s.size()) return sqlite3_result_null(ctx);
  size_t end = s.size();
  if (argc > 2) {
    double c = AsNumber(argv[2]);
    if (c < 1) return sqlite3_result_null(ctx);
    if (c < static_cast<double>(s.size())) {
      end = ByteAfterChars(s, begin, static_cast<size_t>(std::trunc(c)));
    }
  }
  ResultText(ctx, s.substr(begin, end - begin));
}

// The character (from 1) a match starting at byte `at` of `s` starts at; 0 for a match that
// starts inside a character.
int64_t CharacterOf(std::string_view s, size_t at) {
  if (at < s.size() && !StartsCharacter(s[at])) return 0;
  return static_cast<int64_t>(CharCount(s.substr(0, at))) + 1;
}

// INSTR: the `occurrence`th occurrence of the search text from character `pos` on (backwards from
// that many characters before the end when negative); occurrences may overlap.
void Instr(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const TextArgument text(argv[0]), search(argv[1]);
  const std::string_view s = text, sub = search;
  int64_t pos = argc > 2 ? AsInteger(argv[2]) : 1;
  int64_t occurrence = argc > 3 ? AsInteger(argv[3]) : 1;
  if (occurrence <= 0) throw FunctionError{"ORA-01428: argument is out of range"};
  if (sub.empty()) return sqlite3_result_null(ctx);
  // A search from character 0 finds nothing.
  if (pos == 0) return sqlite3_result_int64(ctx, 0);
  size_t from = 0;
  Occurrences::Direction direction = Occurrences::Direction::kForwards;
  if (pos > 0) {
    from = ByteAfterChars(s, 0, static_cast<size_t>(pos - 1));
    if (from >= s.size()) return sqlite3_result_int64(ctx, 0);
    // The first occurrence, the most asked for, is found by the fastest search.
    if (occurrence == 1) {
      const size_t found = FindText(s, sub, from);
      return sqlite3_result_int64(ctx, found == std::string::npos ? 0 : CharacterOf(s, found));
    }
  } else {
    from = ByteBeforeChars(s, static_cast<size_t>(-(pos + 1)) + 1);
    if (from >= s.size()) return sqlite3_result_int64(ctx, 0);
    direction = Occurrences::Direction::kBackwards;
  }
  StatementTime time;
  Occurrences occurrences(s, sub, from, direction, &time);
  for (int64_t k = 0; k < occurrence;) {
    const size_t found = occurrences.Next();
    if (found == std::string::npos) return sqlite3_result_int64(ctx, 0);
    // An occurrence starting inside a character is none.
    if (!StartsCharacter(s[found])) continue;
    if (++k == occurrence) return sqlite3_result_int64(ctx, CharacterOf(s, found));
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
  const TextArgument s(argv[0]);
  if (s.view().empty()) return sqlite3_result_null(ctx);
  sqlite3_result_int64(ctx, static_cast<int64_t>(CharCount(s)));
}
void LengthB(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0]) || ResultBlobLength(ctx, argv[0])) return;
  const TextArgument s(argv[0]);
  if (s.view().empty()) return sqlite3_result_null(ctx);
  sqlite3_result_int64(ctx, static_cast<int64_t>(s.view().size()));
}

std::string_view TrimSet(std::string_view s, std::string_view set, bool leading, bool trailing) {
  const CharacterMap in_set(set, {});
  size_t b = 0, e = s.size();
  if (leading) {
    while (b < e && in_set.Find(s, b).found) b = NextChar(s, b);
  }
  if (trailing) {
    while (e > b) {
      size_t last = e - 1;
      while (last > b && !StartsCharacter(s[last])) --last;
      if (!in_set.Find(s, last).found) break;
      e = last;
    }
  }
  return s.substr(b, e - b);
}

void Trim(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const std::optional<TextArgument> given_set =
      argc > 1 ? std::optional<TextArgument>(std::in_place, argv[1]) : std::nullopt;
  const std::string_view set = given_set ? given_set->view() : " ";
  if (CharCount(set) != 1) {
    throw FunctionError{"ORA-30001: trim set should have only one character"};
  }
  std::string mode = argc > 2 ? AsText(argv[2]) : "B";
  ResultText(ctx, TrimSet(TextArgument(argv[0]), set, mode != "T", mode != "L"));
}
// LTRIM and RTRIM: the set is a blank unless given.
void TrimEnd(sqlite3_context* ctx, int argc, sqlite3_value** argv, bool leading) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const TextArgument text(argv[0]);
  if (argc < 2) return ResultText(ctx, TrimSet(text, " ", leading, !leading));
  ResultText(ctx, TrimSet(text, TextArgument(argv[1]), leading, !leading));
}
void LTrim(sqlite3_context* ctx, int argc, sqlite3_value** argv) { TrimEnd(ctx, argc, argv, true); }
void RTrim(sqlite3_context* ctx, int argc, sqlite3_value** argv) { TrimEnd(ctx, argc, argv, false); }

void Pad(sqlite3_context* ctx, int argc, sqlite3_value** argv, bool left) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const TextArgument text(argv[0]);
  const std::string_view s = text;
  int64_t width = AsInteger(argv[1]);
  if (width <= 0) return sqlite3_result_null(ctx);
  if (width > 32767) width = 32767;
  // Only the characters the result can hold are read.
  const size_t kept = ByteAfterChars(s, 0, static_cast<size_t>(width));
  const int64_t need = width - static_cast<int64_t>(CharCount(s.substr(0, kept)));
  if (need == 0) return ResultText(ctx, s.substr(0, kept));
  const std::optional<TextArgument> given_pad =
      argc > 2 ? std::optional<TextArgument>(std::in_place, argv[2]) : std::nullopt;
  const std::string_view pad = given_pad ? given_pad->view() : " ";
  if (pad.empty()) return sqlite3_result_null(ctx);
  std::string fill;
  for (size_t at = 0, i = 0; i < static_cast<size_t>(need); ++i) {
    const size_t next = NextChar(pad, at);
    fill.append(pad.substr(at, next - at));
    at = next < pad.size() ? next : 0;
  }
  ResultText(ctx, left ? fill.append(s) : std::string(s).append(fill));
}
void LPad(sqlite3_context* ctx, int argc, sqlite3_value** argv) { Pad(ctx, argc, argv, true); }
void RPad(sqlite3_context* ctx, int argc, sqlite3_value** argv) { Pad(ctx, argc, argv, false); }

// Appends the character of `s` that starts at `*i` (advancing past it) as `map` maps it; a
// character the map keeps, an ill-formed byte included, keeps its bytes.
// Appends the character of `s` that starts at `*i` (advancing past it) as `map` maps it; a
// character the map keeps, an ill-formed byte included, keeps its bytes.
void AppendMapped(std::string_view s, size_t* i, UChar32 (*map)(UChar32), TextBuilder* out) {
  const size_t start = *i;
  const auto c = static_cast<UChar32>(DecodeUtf8(s, i));
  const UChar32 mapped = map(c);
  // Most characters are one byte, and written as one.
  if (mapped == c && *i - start == 1) return out->push_back(s[start]);
  if (mapped == c) return out->Append(s.substr(start, *i - start));
  if (mapped < 0x80) return out->push_back(static_cast<char>(mapped));
  char bytes[4];
  out->Append(std::string_view(bytes, EncodeUtf8(static_cast<char32_t>(mapped), bytes)));
}

// Every letter Unicode maps, one character at a time (ß stays ß, as in Oracle's UPPER).
void MapLetters(sqlite3_context* ctx, sqlite3_value* value, UChar32 (*map)(UChar32)) {
  if (IsNull(value)) return sqlite3_result_null(ctx);
  const TextArgument text(value);
  const std::string_view s = text;
  StatementTime time;
  TextBuilder out(ctx);
  out.Reserve(s.size());
  for (size_t i = 0; i < s.size(); time.Spend(1)) AppendMapped(s, &i, map, &out);
  out.SetResult(ctx);
}

void Upper(sqlite3_context* ctx, int, sqlite3_value** argv) { MapLetters(ctx, argv[0], u_toupper); }
void Lower(sqlite3_context* ctx, int, sqlite3_value** argv) { MapLetters(ctx, argv[0], u_tolower); }
// The first letter of each word in capitals, the others small; words are runs of letters and
// digits.
void InitCap(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  const TextArgument text(argv[0]);
  const std::string_view s = text;
  TextBuilder out(ctx);
  out.Reserve(s.size());
  bool start = true;
  StatementTime time;
  for (size_t i = 0; i < s.size(); time.Spend(1)) {
    size_t next = i;
    const bool alnum = u_isalnum(static_cast<UChar32>(DecodeUtf8(s, &next)));
    AppendMapped(s, &i, alnum && start ? u_totitle : u_tolower, &out);
    start = !alnum;
  }
  out.SetResult(ctx);
}

// A value written into a text column of declared length (arguments: the value, the length,
// whether it counts characters rather than bytes, whether the column pads, the column's name
// as messages show it): refused when longer (ORA-12899), padded with blanks to the length
// in a CHAR column.
void TextFit(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  const TextArgument text(argv[0]);
  const std::string_view s = text;
  const int64_t max = sqlite3_value_int64(argv[1]);
  const int64_t length =
      static_cast<int64_t>(sqlite3_value_int(argv[2]) ? CharCount(s) : s.size());
  if (length > max) {
    throw FunctionError{"ORA-12899: value too large for column " + std::string(TextView(argv[4])) +
                            " (actual: " + std::to_string(length) +
                            ", maximum: " + std::to_string(max) + ")",
                        kDataOverflow};
  }
  if (!sqlite3_value_int(argv[3]) || length == max) return ResultText(ctx, s);
  TextBuilder out(ctx);
  out.Append(s);
  static constexpr std::string_view kBlanks = "                                                ";
  for (int64_t left = max - length; left > 0; left -= static_cast<int64_t>(kBlanks.size())) {
    out.Append(kBlanks.substr(0, static_cast<size_t>(std::min<int64_t>(left, kBlanks.size()))));
  }
  out.SetResult(ctx);
}

void Replace(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  if (IsNull(argv[1])) return ResultText(ctx, TextArgument(argv[0]));
  const TextArgument text(argv[0]), search(argv[1]);
  const std::string_view s = text, from = search;
  if (from.empty()) return ResultText(ctx, s);
  const bool replaced = argc > 2 && !IsNull(argv[2]);
  const TextArgument replacement(replaced ? argv[2] : argv[1]);
  const std::string_view to = replaced ? replacement.view() : std::string_view();
  StatementTime time;
  TextBuilder out(ctx);
  // Room for the text, and for a longer replacement of as many occurrences as a short text
  // can hold: most results are then built without growing.
  const size_t growth = to.size() > from.size()
                            ? std::min<size_t>(s.size() / from.size() * (to.size() - from.size()),
                                               kReplaceGrowthReserved)
                            : 0;
  out.Reserve(s.size() + growth);
  size_t at = 0;
  for (;;) {
    const size_t found = FindText(s, from, at);
    if (found == std::string::npos) break;
    out.Append(s.substr(at, found - at));
    out.Append(to);
    time.Spend(found - at + from.size() + to.size());
    at = found + from.size();
  }
  out.Append(s.substr(at));
  out.SetResult(ctx);
}

void Translate(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const TextArgument text(argv[0]), from(argv[1]), to(argv[2]);
  const std::string_view s = text;
  const CharacterMap map(from, to);
  StatementTime time;
  TextBuilder out(ctx);
  out.Reserve(s.size());
  for (size_t at = 0; at < s.size();) {
    const size_t next = NextChar(s, at);
    const CharacterMap::Entry e = map.Find(s, at);
    out.Append(e.found ? e.replacement : s.substr(at, next - at));
    time.Spend(next - at);
    at = next;
  }
  out.SetResult(ctx);
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
  sqlite3_result_text64(ctx, out.data(), out.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

}  // namespace

std::span<const FunctionEntry> TextFunctions() {
  static const FunctionEntry kEntries[] = {
      {"ora_concat", -1, Concat, true, 0, 127},
      {"ora_substr", 2, Substr, true},
      {"ora_substr", 3, Substr, true},
      {"ora_instr", -1, Instr, true, 2, 4},
      {"ora_length", 1, Length, true},
      {"ora_lengthb", 1, LengthB, true},
      {"ora_trim", 3, Trim, true},
      {"ora_ltrim", -1, LTrim, true, 1, 2},
      {"ora_rtrim", -1, RTrim, true, 1, 2},
      {"ora_lpad", -1, LPad, true, 2, 3},
      {"ora_rpad", -1, RPad, true, 2, 3},
      {"ora_upper", 1, Upper, true},
      {"ora_lower", 1, Lower, true},
      {"ora_initcap", 1, InitCap, true},
      {"ora_replace", -1, Replace, true, 2, 3},
      {"ora_translate", 3, Translate, true},
      {"ora_chr", 1, Chr, true},
      {"ora_text_fit", 5, TextFit, true},
  };
  return kEntries;
}

}  // namespace korvalis::db::functions
