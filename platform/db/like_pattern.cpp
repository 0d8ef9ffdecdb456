#include "platform/db/like_pattern.h"

#include <string.h>

#include <memory>

#include "platform/db/sql_function_support.h"

namespace korvalis::db::functions {

namespace {

constexpr const char* kIllegalEscape =
    "ORA-01424: missing or illegal character following the escape character";

}  // namespace

LikePattern::LikePattern(std::string_view pattern, std::string_view escape)
    : pattern_(pattern), escape_(escape) {
  if (!escape.empty() && NextChar(escape, 0) != escape.size()) {
    throw FunctionError{"ORA-01425: escape character must be character string of length 1"};
  }
  ChargeWork(pattern.size());
  Piece piece{0, 0, 0};
  Step step{0, 0, 0};
  const auto close_step = [&] {
    if (step.any > 0 || step.literal_end > step.literal_begin) steps_.push_back(step);
    step = Step{0, literals_.size(), literals_.size()};
  };
  const auto add_literal = [&](std::string_view c) {
    literals_.append(c);
    step.literal_end = literals_.size();
    ++piece.characters;
  };
  for (size_t at = 0; at < pattern.size();) {
    size_t next = NextChar(pattern, at);
    std::string_view c = pattern.substr(at, next - at);
    if (!escape.empty() && c == escape) {
      at = next;
      next = NextChar(pattern, at);
      const std::string_view escaped = pattern.substr(at, next - at);
      if (escaped != "%" && escaped != "_" && escaped != escape) {
        throw FunctionError{kIllegalEscape};
      }
      add_literal(escaped);
    } else if (c == "%") {
      close_step();
      piece.end_step = steps_.size();
      pieces_.push_back(piece);
      piece = Piece{steps_.size(), 0, 0};
      any_run_ = true;
    } else if (c == "_") {
      if (step.literal_end > step.literal_begin) close_step();
      ++step.any;
      ++piece.characters;
    } else {
      add_literal(c);
    }
    at = next;
  }
  close_step();
  piece.end_step = steps_.size();
  pieces_.push_back(piece);
}

size_t LikePattern::MatchAt(const Piece& piece, std::string_view text, size_t at) const {
  for (size_t i = piece.first_step; i < piece.end_step; ++i) {
    const Step& s = steps_[i];
    const std::string_view literal = Literal(s);
    ChargeWork(s.any + literal.size());
    for (size_t k = 0; k < s.any; ++k) {
      if (at >= text.size()) return std::string_view::npos;
      at = NextChar(text, at);
    }
    if (text.size() - at < literal.size() ||
        text.compare(at, literal.size(), literal) != 0) {
      return std::string_view::npos;
    }
    at += literal.size();
  }
  return at;
}

namespace {

// Literals this short are looked for by their first byte and compared where it occurs, which
// costs at most their length a byte of the text and is quickest for the words of a search.
constexpr size_t kShortLiteral = 16;

// The byte where `literal` first occurs in text[from, text.size()), or npos; charged for the
// bytes it reads. A longer literal is looked for by a search linear in the text's length.
size_t Search(std::string_view text, size_t from, std::string_view literal) {
  size_t at = std::string_view::npos;
  if (literal.size() <= kShortLiteral) {
    at = text.find(literal, from);
  } else if (const void* found = memmem(text.data() + from, text.size() - from, literal.data(),
                                        literal.size())) {
    at = static_cast<size_t>(static_cast<const char*>(found) - text.data());
  }
  const size_t read = (at == std::string_view::npos ? text.size() : at) - from;
  ChargeWork(literal.size() <= kShortLiteral ? read * literal.size() : read + literal.size());
  return at;
}

}  // namespace

size_t LikePattern::Find(const Piece& piece, std::string_view text, size_t from,
                         size_t limit) const {
  if (piece.first_step == piece.end_step) return from;
  const std::string_view window = text.substr(0, limit);
  const Step& first = steps_[piece.first_step];
  const std::string_view literal = Literal(first);
  if (first.any == 0 && piece.end_step == piece.first_step + 1) {
    const size_t at = Search(window, from, literal);
    return at == std::string_view::npos ? at : at + literal.size();
  }
  for (size_t at = from; at < window.size(); at = NextChar(window, at)) {
    // A piece that starts with characters of its own can only match where they occur.
    if (first.any == 0 && (at = Search(window, at, literal)) == std::string_view::npos) break;
    const size_t end = MatchAt(piece, window, at);
    if (end != std::string_view::npos) return end;
  }
  return std::string_view::npos;
}

bool LikePattern::Matches(std::string_view text) const {
  const Piece& first = pieces_.front();
  const size_t start = MatchAt(first, text, 0);
  if (start == std::string_view::npos) return false;
  if (!any_run_) return start == text.size();
  const Piece& last = pieces_.back();
  const size_t tail = last.characters == 0 ? text.size() : ByteBeforeChars(text, last.characters);
  if (tail == std::string_view::npos || tail < start || MatchAt(last, text, tail) != text.size()) {
    return false;
  }
  size_t from = start;
  for (size_t i = 1; i + 1 < pieces_.size(); ++i) {
    from = Find(pieces_[i], text, from, tail);
    if (from == std::string_view::npos) return false;
  }
  return true;
}

// A loop, as IsPlain: it is asked at every row of a statement.
bool EscapesValid(std::string_view pattern, char escape) {
  for (size_t at = 0; at < pattern.size(); ++at) {
    if (pattern[at] != escape) continue;
    if (++at == pattern.size()) return false;
    const char next = pattern[at];
    if (next != '%' && next != '_' && next != escape) return false;
  }
  return true;
}

size_t SearchedBytes(std::string_view pattern, char escape) {
  for (size_t at = 0; at < pattern.size(); ++at) {
    if (escape != 0 && pattern[at] == escape) {
      ++at;
    } else if (pattern[at] == '%') {
      return pattern.find_first_not_of('%', at) == std::string_view::npos ? 0
                                                                           : pattern.size() - at;
    }
  }
  return 0;
}

bool GlobMatchesAlike(std::string_view pattern, char escape) {
  for (size_t at = 0; at < pattern.size(); ++at) {
    char c = pattern[at];
    if (escape != 0 && c == escape) {
      c = pattern[++at];
    } else if (c == '%') {
      return pattern.find_first_not_of('%', at) == std::string_view::npos;
    } else if (c == '_') {
      return false;
    }
    if (c == '\0' || static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return false;
}

std::string GlobOfLike(std::string_view pattern, char escape) {
  std::string glob;
  for (const char c : LiteralPrefix(pattern, escape)) {
    if (c == '*' || c == '?' || c == '[') {
      glob.append({'[', c, ']'});
    } else {
      glob.push_back(c);
    }
  }
  // The '%' that ends the pattern, however many.
  glob.push_back('*');
  return glob;
}

std::string LiteralPrefix(std::string_view pattern, char escape) {
  std::string prefix;
  for (size_t at = 0; at < pattern.size(); ++at) {
    char c = pattern[at];
    if (escape != 0 && c == escape) {
      c = pattern[++at];
    } else if (c == '%' || c == '_') {
      break;
    }
    prefix.push_back(c);
  }
  return prefix;
}

namespace {

// Whether `part` of a pattern is plain characters: no '%', '_' or escape. A loop: the texts are
// short, where a search's call costs more than the bytes it reads.
bool IsPlain(std::string_view part, char escape) {
  for (const char c : part) {
    if (c == '%' || c == '_' || (escape != 0 && c == escape)) return false;
  }
  return true;
}

// Whether `text` may end as `pattern` does: false only where the pattern's part after its last
// '%' is plain characters (no '_' or escape) that are not the text's last bytes. A text that
// cannot end so is refused before any of its runs is searched.
bool EndFits(std::string_view text, std::string_view pattern, char escape) {
  size_t last = std::string_view::npos;
  for (size_t p = 0; p < pattern.size(); ++p) {
    if (escape != 0 && pattern[p] == escape) {
      ++p;
    } else if (pattern[p] == '%') {
      last = p;
    }
  }
  if (last == std::string_view::npos) return true;
  const std::string_view tail = pattern.substr(last + 1);
  return !IsPlain(tail, escape) || text.ends_with(tail);
}

// The characters of its own that the part of `pattern` from `p` on starts with, up to its next
// '%', '_' or escape (an escaped character alone); empty where it starts with '_', or with a byte
// that continues a character (a run is matched from characters' starts, and only a byte that
// starts one is found at a character's start).
std::string_view FirstRun(std::string_view pattern, size_t p, char escape) {
  std::string_view run;
  if (p < pattern.size() && escape != 0 && pattern[p] == escape) {
    run = pattern.substr(p + 1, 1);
  } else {
    size_t end = p;
    while (end < pattern.size() && pattern[end] != '%' && pattern[end] != '_' &&
           (escape == 0 || pattern[end] != escape)) {
      ++end;
    }
    run = pattern.substr(p, end - p);
  }
  return run.empty() || !StartsCharacter(run[0]) ? std::string_view() : run;
}

// The first place at or after `from` where `run` (FirstRun) stands, or `from` where there is none
// to find; npos where it is not there.
size_t Next(std::string_view text, size_t from, std::string_view run) {
  return run.empty() || from >= text.size() ? from : text.find(run, from);
}

// A '%' matches any run: the text is matched on from where the last '%' stood, one character
// further each time what follows it fails, which no earlier '%' can mend (the last one can take
// any run an earlier one could); where what follows starts with characters of its own, further
// to where they stand. Literal characters compare byte by byte, so that a '_' is met
// only on a character's first byte. `t` and `p` start at a '%' of the pattern and the byte of
// the text that the part before it matched up to.
bool MatchesFromRun(std::string_view text, size_t t, std::string_view pattern, size_t p,
                    char escape) {
  if (!EndFits(text, pattern, escape)) return false;
  size_t resume_p = std::string_view::npos, resume_t = 0;
  std::string_view first;
  while (t < text.size()) {
    if (p < pattern.size()) {
      const char c = pattern[p];
      if (c == '%' && c != escape) {
        while (p < pattern.size() && pattern[p] == '%') ++p;
        const std::string_view rest = pattern.substr(p);
        // What follows the last '%' without wildcards matches the text's end or nothing.
        if (IsPlain(rest, escape)) return text.size() - t >= rest.size() && text.ends_with(rest);
        first = FirstRun(pattern, p, escape);
        if ((t = Next(text, t, first)) == std::string_view::npos) return false;
        resume_p = p;
        resume_t = t;
        continue;
      }
      if (c == '_' && c != escape) {
        t = NextChar(text, t);
        ++p;
        continue;
      }
      const size_t literal = escape != 0 && c == escape ? p + 1 : p;
      if (text[t] == pattern[literal]) {
        ++t;
        p = literal + 1;
        continue;
      }
    }
    if (resume_p == std::string_view::npos) return false;
    p = resume_p;
    t = resume_t = Next(text, NextChar(text, resume_t), first);
    if (t == std::string_view::npos) return false;
  }
  while (p < pattern.size() && pattern[p] == '%' && escape != '%') ++p;
  return p == pattern.size();
}

}  // namespace

// The part before the first '%' matches the text's start alone, a character of the pattern at
// a time, in one pass; the rest, where there is a '%' that more than '%' follows, from where it
// left the text.
bool MatchesInPlace(std::string_view text, std::string_view pattern, char escape) {
  size_t t = 0;
  for (size_t p = 0; p < pattern.size(); ++p) {
    char c = pattern[p];
    if (escape != 0 && c == escape) {
      c = pattern[++p];
    } else if (c == '%') {
      if (pattern.find_first_not_of('%', p) == std::string_view::npos) return true;
      return MatchesFromRun(text, t, pattern, p, escape);
    } else if (c == '_') {
      if (t == text.size()) return false;
      t = NextChar(text, t);
      continue;
    }
    if (t == text.size() || text[t] != c) return false;
    ++t;
  }
  return t == text.size();
}

namespace {

// The product of a text's and a pattern's bytes up to which a row is matched in place: the
// match then takes at most a millisecond, and the engine's own check between rows bounds the
// statement.
constexpr size_t kInPlaceWork = size_t{1} << 20;

// like(pattern, text[, escape]): SQLite's call for `text LIKE pattern [ESCAPE escape]`. The
// pattern, read once for the rows of a statement where it does not change, is kept with the
// call. A NULL or an empty escape (Oracle's empty text is NULL) gives NULL.
void Like(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const std::string_view pattern = TextView(argv[0]);
  const std::string_view escape = argc == 3 ? TextView(argv[2]) : std::string_view();
  if (argc == 3 && escape.empty()) return sqlite3_result_null(ctx);
  const std::string_view text = TextView(argv[1]);
  if (escape.size() <= 1 && text.size() * pattern.size() <= kInPlaceWork &&
      (escape.empty() || EscapesValid(pattern, escape[0]))) {
    ChargeWork(text.size() * pattern.size());
    const bool matched = MatchesInPlace(text, pattern, escape.empty() ? '\0' : escape[0]);
    return sqlite3_result_int(ctx, matched ? 1 : 0);
  }
  auto* kept = static_cast<LikePattern*>(sqlite3_get_auxdata(ctx, 0));
  std::unique_ptr<LikePattern> fresh;
  if (kept == nullptr || !kept->ReadFrom(pattern, escape)) {
    fresh = std::make_unique<LikePattern>(pattern, escape);
    kept = fresh.get();
  }
  const bool matched = kept->Matches(text);
  // SQLite may release what it keeps at once: it is handed over last.
  if (fresh) {
    sqlite3_set_auxdata(ctx, 0, fresh.release(),
                        [](void* p) { delete static_cast<LikePattern*>(p); });
  }
  sqlite3_result_int(ctx, matched ? 1 : 0);
}

// like(pattern, text), called by the engine itself: two texts whose match is short are matched
// at once, without the bounds of a call (RunBounded), as the engine's own LIKE would be: the
// work of one row is bounded by kInPlaceWork, the statement by the engine's check between rows.
// Any other call is Like's, within its bounds.
void LikeOfTexts(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  // Read as Like reads them (a number as its text); a NULL has none, and goes to Like.
  const unsigned char* pattern_bytes = sqlite3_value_text(argv[0]);
  const unsigned char* text_bytes = sqlite3_value_text(argv[1]);
  if (pattern_bytes != nullptr && text_bytes != nullptr) {
    const std::string_view pattern(reinterpret_cast<const char*>(pattern_bytes),
                                   static_cast<size_t>(sqlite3_value_bytes(argv[0])));
    const std::string_view text(reinterpret_cast<const char*>(text_bytes),
                                static_cast<size_t>(sqlite3_value_bytes(argv[1])));
    if (text.size() * pattern.size() <= kInPlaceWork) {
      return sqlite3_result_int(ctx, MatchesInPlace(text, pattern, '\0') ? 1 : 0);
    }
  }
  RunBounded(Like, ctx, argc, argv);
}

constexpr FunctionEntry kLikeFunctions[] = {
    {"like", 3, Like, true},
};

}  // namespace

std::span<const FunctionEntry> LikeFunctions() { return kLikeFunctions; }

int RegisterLikeOfTexts(sqlite3* db) {
  return sqlite3_create_function_v2(db, "like", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                    LikeOfTexts, nullptr, nullptr, nullptr);
}

}  // namespace korvalis::db::functions
