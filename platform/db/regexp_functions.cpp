// Oracle's regular-expression functions on the embedded file, matched by PCRE2 (loaded on first
// use, pcre2_functions.cpp): ora_regexp_like, ora_regexp_count, ora_regexp_substr,
// ora_regexp_instr and ora_regexp_replace, called with every argument (regexp_sql.cpp) and the
// pattern and match parameter as Oracle writes them (regexp_pattern.h).
//
// PCRE2's backtracking gives the first match its order of trying finds; Oracle's semantics want,
// at the first position where the pattern matches, the longest match (the shortest for a
// non-greedy pattern), as PostgreSQL gives it. Where no subexpression is read, PCRE2's automaton
// (pcre2_dfa_match) finds that match directly. Otherwise the automaton (for a pattern with a
// back reference, which it cannot follow, an ordinary search) gives the position, and an
// anchored run there, whose callout at the pattern's end records each way of matching and turns
// it down so that every way is tried, keeps the preferred one: the longest (shortest), and among
// those ending alike, the one whose groups, in the order they open, end last (first). The runs
// that backtrack call out before every item, so that each step is charged to the statement.
// The next occurrence is searched from the end of a match, or one character on after an empty
// one. Positions count characters.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include "platform/db/function_memory.h"
#include "platform/db/regexp_pattern.h"
#include "platform/db/sql_function_support.h"
#include "platform/text/utf8.h"

namespace korvalis::db::functions {
namespace {

// PCRE2's own default limit of the steps of a backtracking match at one position.
constexpr uint32_t kBacktrackingSteps = 10'000'000;

[[noreturn]] void OutOfRange(int64_t value) {
  throw FunctionError{"ORA-01428: argument '" + std::to_string(value) + "' is out of range"};
}

// PCRE2's failure in Oracle's words: a match that would take more memory or steps than it is
// allowed is out of memory, a pattern it cannot compile too complex, anything else an internal
// error.
[[noreturn]] void MatchFailed(int rc) {
  PCRE2_UCHAR message[256];
  pcre2_get_error_message(rc, message, sizeof message);
  const std::string what = reinterpret_cast<const char*>(message);
  if (rc == PCRE2_ERROR_NOMEMORY || rc == PCRE2_ERROR_HEAPLIMIT || rc == PCRE2_ERROR_MATCHLIMIT ||
      rc == PCRE2_ERROR_DEPTHLIMIT || rc == PCRE2_ERROR_DFA_WSSIZE ||
      rc == PCRE2_ERROR_DFA_RECURSE) {
    throw FunctionError{"ORA-04030: out of process memory when trying to allocate: the regular "
                        "expression cannot be matched: " + what};
  }
  if (rc <= PCRE2_ERROR_UTF8_ERR1 && rc >= PCRE2_ERROR_UTF8_ERR21) {
    throw FunctionError{"ORA-29275: partial multibyte character"};
  }
  if (rc > 0) {  // a compilation error
    throw FunctionError{"ORA-12733: regular expression too long or too complex: " + what};
  }
  throw FunctionError{"ORA-00600: internal error code, arguments: [the regular expression cannot be "
                      "matched: " + what + "]"};
}

// Byte offsets in the subject; a group that took no part in a match has begin kUnset.
struct Span {
  size_t begin = kUnset;
  size_t end = kUnset;
  static constexpr size_t kUnset = PCRE2_UNSET;
};

// A match: its span and the spans PCRE2's groups took in it.
struct Match {
  Span whole;
  std::vector<size_t> ovector;  // 2 per group of PCRE2, from group 1
};

// A pattern compiled for its statement, with the texts it was compiled from.
class CompiledRegexp {
 public:
  CompiledRegexp(std::string_view pattern, std::string_view parameter)
      : pattern_(pattern), parameter_(parameter) {
    translated_ = TranslateRegexp(pattern, ReadMatchParameter(parameter));
    const RegexpOptions& o = translated_.options;
    uint32_t options = PCRE2_UTF | PCRE2_UCP | PCRE2_ALT_CIRCUMFLEX;
    if (o.ignore_case) options |= PCRE2_CASELESS;
    if (o.dot_matches_newline) options |= PCRE2_DOTALL;
    options |= o.multiline ? PCRE2_MULTILINE : PCRE2_DOLLAR_ENDONLY;
    // Searching, the callout at the start sees every position a match is tried at, where the
    // statement's time is checked; weighing the ways of matching at one position, the one at
    // the end sees each of them. The stepped programs call out before every item too, so that
    // every step of their backtracking is charged (Matcher::OnCallout).
    options_ = options;
    search_ = Compile(SearchText(), options);
    ways_ = Compile(WaysText(), options);
  }
  ~CompiledRegexp() {
    pcre2_code_free(search_);
    pcre2_code_free(stepped_search_);
    pcre2_code_free(ways_);
    pcre2_code_free(stepped_ways_);
  }
  CompiledRegexp(const CompiledRegexp&) = delete;
  CompiledRegexp& operator=(const CompiledRegexp&) = delete;

  bool CompiledFrom(std::string_view pattern, std::string_view parameter) const {
    return pattern == pattern_ && parameter == parameter_;
  }
  // The pattern that finds where a match starts (for the automaton, and calling out at every
  // step for backtracking), and the one whose every way of matching at a position is seen;
  // their groups are the same.
  const pcre2_code* search() const { return search_; }
  const pcre2_code* ways() const { return ways_; }
  // The same, calling out at every step: compiled when first asked for.
  const pcre2_code* stepped_search() {
    if (stepped_search_ == nullptr) stepped_search_ = Compile(SearchText(), options_ | PCRE2_AUTO_CALLOUT);
    return stepped_search_;
  }
  const pcre2_code* stepped_ways() {
    if (stepped_ways_ == nullptr) stepped_ways_ = Compile(WaysText(), options_ | PCRE2_AUTO_CALLOUT);
    return stepped_ways_;
  }
  int groups() const { return translated_.groups; }
  int captures() const { return translated_.pcre2_captures; }
  bool backreference() const { return translated_.backreference; }
  // The span subexpression `group` (from 1) took in `m`.
  Span Group(const Match& m, int group) const {
    const size_t k = static_cast<size_t>(translated_.pcre2_groups[static_cast<size_t>(group - 1)]);
    return {m.ovector[2 * k - 2], m.ovector[2 * k - 1]};
  }
  bool shortest() const { return translated_.shortest; }

 private:
  std::string pattern_;
  std::string parameter_;
  static pcre2_code* Compile(const std::string& text, uint32_t options) {
    int error = 0;
    PCRE2_SIZE offset = 0;
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(),
                                     options, &error, &offset, nullptr);
    if (code == nullptr) MatchFailed(error);
    return code;
  }

  RegexpPattern translated_;
  std::string SearchText() const { return "(?C2)(?:" + translated_.pcre2 + ")"; }
  std::string WaysText() const { return "(?:" + translated_.pcre2 + ")(?C1)"; }

  uint32_t options_ = 0;
  pcre2_code* search_ = nullptr;
  pcre2_code* stepped_search_ = nullptr;
  pcre2_code* ways_ = nullptr;
  pcre2_code* stepped_ways_ = nullptr;
};

// The compiled pattern of the function running in `ctx` (pattern in argument 1), compiled once
// for all the rows of a statement whose pattern does not change.
class StatementPattern {
 public:
  StatementPattern(sqlite3_context* ctx, std::string_view pattern, std::string_view parameter)
      : ctx_(ctx), compiled_(static_cast<CompiledRegexp*>(sqlite3_get_auxdata(ctx, 1))) {
    if (compiled_ == nullptr || !compiled_->CompiledFrom(pattern, parameter)) {
      fresh_ = std::make_unique<CompiledRegexp>(pattern, parameter);
      compiled_ = fresh_.get();
    }
  }
  // SQLite may release what it keeps at once: it is handed over last.
  ~StatementPattern() {
    if (fresh_) {
      sqlite3_set_auxdata(ctx_, 1, fresh_.release(),
                          [](void* p) { delete static_cast<CompiledRegexp*>(p); });
    }
  }
  StatementPattern(const StatementPattern&) = delete;
  StatementPattern& operator=(const StatementPattern&) = delete;

  CompiledRegexp& operator*() const { return *compiled_; }

 private:
  sqlite3_context* ctx_;
  CompiledRegexp* compiled_;
  std::unique_ptr<CompiledRegexp> fresh_;
};

class Matcher {
 public:
  Matcher(CompiledRegexp& re, std::string_view subject)
      : re_(re),
        subject_(subject),
        data_(pcre2_match_data_create_from_pattern(re.search(), nullptr)),
        context_(pcre2_match_context_create(nullptr)) {
    if (data_ == nullptr || context_ == nullptr) throw std::bad_alloc();
  }
  ~Matcher() {
    pcre2_match_context_free(context_);
    pcre2_match_data_free(data_);
  }
  Matcher(const Matcher&) = delete;
  Matcher& operator=(const Matcher&) = delete;

  // The match at the first position at or after byte `from` where the pattern matches, with
  // the spans of its subexpressions when `subexpressions`.
  std::optional<Match> Find(size_t from, bool subexpressions) {
    // The automaton finds where the match starts, at the cost of a search without groups,
    // where its tries settle within their first window; the stepped search does otherwise, and
    // for a back reference, which the automaton cannot follow.
    size_t unsettled = re_.backreference() ? from : Span::kUnset;
    if (!re_.backreference()) {
      std::optional<Match> found = FindEnd(from, subexpressions ? &unsettled : nullptr);
      if (!subexpressions || (!found && unsettled == Span::kUnset)) return found;
      if (found) from = found->whole.begin;
    }
    if (unsettled != Span::kUnset) {
      if (Run(unsettled, 0, nullptr) == PCRE2_ERROR_NOMATCH) return std::nullopt;
      from = pcre2_get_ovector_pointer(data_)[0];
    }
    Best best{re_.shortest(), static_cast<size_t>(re_.captures()), {}};
    best.match.whole = {from, Span::kUnset};
    Run(best.match.whole.begin, PCRE2_ANCHORED, &best);
    return std::move(best.match);
  }

 private:
  struct Best;
  // What the callouts of one run see: the statement's time, the position the try in progress
  // started at, and while every way of matching at one position is considered, the best one
  // so far.
  struct Callouts {
    StatementTime* time;
    Best* best;
    size_t try_start = 0;
    size_t last_position = 0;  // where the last callout of a backtracking run was
  };
  // Callout 2 starts a try at a position, callout 1 ends a way of matching, and the automatic
  // ones (255) come before every item a backtracking run reaches. A negative answer ends the
  // run with that answer: the statement's time is up. Between two callouts of a backtracking
  // run the matcher reads at most the characters between their positions (a repeat of one
  // item runs over the text without calling out), so each is charged with them: backtracking
  // into a repeat and reading on from there costs what it reads. Every try reads the coarse
  // clock, as cheap as a call: what one try of the automaton costs is bounded (by its window)
  // but not by anything small, as it may keep thousands of states alive at each character.
  static int OnCallout(pcre2_callout_block* b, void* p) {
    auto* c = static_cast<Callouts*>(p);
    const size_t at = b->current_position;
    const size_t moved = at > c->last_position ? at - c->last_position : c->last_position - at;
    c->last_position = at;
    if (b->callout_number == 255) return c->time->Exhausted(1 + moved) ? PCRE2_ERROR_CALLOUT : 0;
    if (b->callout_number == 1) {
      if (c->time->Exhausted(1 + moved)) return PCRE2_ERROR_CALLOUT;
      c->best->Take(*b);
      return 1;  // and go on to the next way
    }
    c->try_start = b->start_match;
    return c->time->PassedNow() ? PCRE2_ERROR_CALLOUT : 0;
  }

  // The preferred of the ways the pattern matches at one position: the longest (shortest)
  // one, and among those that end alike, the one whose groups end last (first).
  struct Best {
    bool shortest;
    size_t captures;
    Match match;

    // Whether end `a` is less preferred than `b`.
    bool Before(size_t a, size_t b) const { return shortest ? a > b : a < b; }
    void Take(const pcre2_callout_block& b) {
      std::vector<size_t> ovector(2 * captures, Span::kUnset);
      for (size_t k = 1; k < b.capture_top && k <= captures; ++k) {
        ovector[2 * k - 2] = b.offset_vector[2 * k];
        ovector[2 * k - 1] = b.offset_vector[2 * k + 1];
      }
      const size_t end = b.current_position;
      if (match.whole.end != Span::kUnset) {
        if (Before(end, match.whole.end)) return;
        if (end == match.whole.end) {
          // A group that took part in one way and not in the other decides nothing.
          size_t k = 1;
          while (k < ovector.size() &&
                 (ovector[k] == match.ovector[k] || ovector[k] == Span::kUnset ||
                  match.ovector[k] == Span::kUnset)) {
            k += 2;
          }
          if (k >= ovector.size() || Before(ovector[k], match.ovector[k])) return;
        }
      }
      match.whole.end = end;
      match.ovector = std::move(ovector);
    }
  };

  // Without subexpressions, PCRE2's automaton finds the longest (shortest) match at once. Its
  // tries at one position may each read the rest of the text, with as many states at every
  // character as the pattern has ways: it reads a window of the text at a time, which ends
  // before a character, and a try still alive at the window's end (a partial match, which
  // takes precedence over a complete one) is tried again in a longer window, as long as the
  // time left allows (NextWindow). Every try that the automaton settles
  // within a window it would settle alike on the whole text.
  // `unsettled`, where given: a try still alive at its first window's end is not tried again;
  // nothing is found, and its position is set there, every try before it settled.
  std::optional<Match> FindEnd(size_t from, size_t* unsettled = nullptr) {
    Callouts callouts{&time_, nullptr};
    pcre2_set_callout(context_, &OnCallout, &callouts);
    pcre2_set_match_limit(context_, UINT32_MAX);
    size_t window = kFirstWindow;
    for (;;) {
      const size_t end = WindowEnd(from, window);
      const bool whole = end == subject_.size();
      // Timed by the coarse clock: a window too quick for it to tell doubles.
      const auto start = StatementDeadline::CoarseNow();
      const int rc = Automaton(from, end, whole ? 0 : PCRE2_PARTIAL_HARD);
      if (rc == PCRE2_ERROR_CALLOUT) time_.Stop();
      const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data_);
      if (rc == PCRE2_ERROR_PARTIAL) {
        if (unsettled != nullptr) {
          *unsettled = ovector[0];
          return std::nullopt;
        }
        // The same try again needs a longer window; a later one starts with the first length.
        window = ovector[0] == from ? NextWindow(window, StatementDeadline::CoarseNow() - start)
                                    : kFirstWindow;
        from = ovector[0];
        continue;
      }
      if (rc == PCRE2_ERROR_NOMATCH) {
        if (whole) return std::nullopt;
        time_.Spend(end - from);
        from = end;  // no try in the window matched or reached its end
        continue;
      }
      if (rc < 0) MatchFailed(rc);
      return Match{{ovector[0], ovector[1]}, {}};
    }
  }

  // pcre2_dfa_match over the text up to `end`, its workspace grown as the pattern needs.
  int Automaton(size_t from, size_t end, uint32_t options) {
    CheckUtf8();
    for (size_t size = std::max<size_t>(workspace_.size(), 256);; size *= 4) {
      workspace_.resize(size);
      const int rc = pcre2_dfa_match(
          re_.search(), reinterpret_cast<PCRE2_SPTR>(subject_.data()), end, from,
          (re_.shortest() ? PCRE2_DFA_SHORTEST : 0) | PCRE2_NO_UTF_CHECK | options, data_,
          context_, workspace_.data(), workspace_.size());
      if (rc != PCRE2_ERROR_DFA_WSSIZE || size >= (1u << 20)) return rc;
    }
  }

  // The subject is well-formed UTF-8, checked once for every run that follows: PCRE2 would
  // check each window it is given again, which over a text's matches costs the square of its
  // length. ASCII is passed eight bytes at a time.
  void CheckUtf8() {
    if (checked_) return;
    time_.Spend(subject_.size());
    const size_t n = subject_.size();
    for (size_t i = 0; i < n;) {
      uint64_t eight;
      if (n - i >= 8 && (std::memcpy(&eight, subject_.data() + i, 8), (eight & kHighBits) == 0)) {
        i += 8;
        continue;
      }
      const size_t at = i;
      if (static_cast<unsigned char>(subject_[i]) < 0x80) {
        ++i;
      } else if (DecodeUtf8(subject_, &i) == kReplacementCharacter &&
                 subject_.substr(at, i - at) != "\xEF\xBF\xBD") {
        throw FunctionError{"ORA-29275: partial multibyte character"};
      }
    }
    checked_ = true;
  }
  static constexpr uint64_t kHighBits = 0x8080808080808080u;

  // The end of a window of `window` bytes from `from`, at a character's start or the text's end.
  size_t WindowEnd(size_t from, size_t window) const {
    if (window >= subject_.size() - from) return subject_.size();
    size_t end = from + window;
    while (end < subject_.size() && !StartsCharacter(subject_[end])) ++end;
    return end;
  }

  // The window after one of `window` bytes that took `took`: twice as long, or as long as half
  // the time left allows, but at least a little longer. The automaton's work on a window may
  // grow faster than the cube of its length (its ways alive at a character grow with the
  // characters read, and each new one is compared with those), so the time a window takes is
  // foreseen as growing with its fourth power.
  size_t NextWindow(size_t window, std::chrono::steady_clock::duration took) const {
    const StatementDeadline* deadline = time_.deadline();
    if (deadline == nullptr || deadline->bound().count() == 0) return 2 * window;
    const double left = std::chrono::duration<double>(deadline->Left()).count();
    if (left <= 0) time_.Stop();
    const double seconds = std::chrono::duration<double>(took).count();
    if (seconds <= 0) return 2 * window;
    const double affordable = static_cast<double>(window) * std::sqrt(std::sqrt(left / 2 / seconds));
    return static_cast<size_t>(std::clamp(affordable, static_cast<double>(window) + 64,
                                          static_cast<double>(window) * 2));
  }

  // `best`: every way of matching is considered, and the best kept there.
  // Backtracking may explode at one position, where no callout is reached: PCRE2's limit of
  // steps a position holds it. A try that reaches the limit is tried again from its position
  // with twice the limit, after the clock is read; one that reaches it without a Command
  // Timeout fails with ORA-04030, as the work it would hold is unbounded.
  // A step may read the rest of the text (a repeat of one item runs over it without a callout),
  // so only the stepped programs, which charge what each step reads, run long. The ways at a
  // position, and the search for one, are tried first by the plain program under a limit of
  // steps a position that, each reading the rest of the text, read about kQuickRead bytes: most
  // patterns take a few steps there, and a position that reaches the limit is tried again, from
  // where it was reached, by the stepped program.
  int Run(size_t from, uint32_t options, Best* best) {
    Callouts callouts{&time_, best, from, from};
    pcre2_set_callout(context_, &OnCallout, &callouts);
    const uint64_t steps =
        std::max<uint64_t>(kQuickSteps, kQuickRead / (subject_.size() - from + 1));
    pcre2_set_match_limit(context_, static_cast<uint32_t>(std::min<uint64_t>(steps, UINT32_MAX)));
    const int quick = RunProgram(best == nullptr ? re_.search() : re_.ways(), from, options);
    if (quick != PCRE2_ERROR_MATCHLIMIT) return Finished(quick);
    if (time_.PassedNow()) time_.Stop();
    if (best == nullptr) from = callouts.try_start;
    const pcre2_code* program = best == nullptr ? re_.stepped_search() : re_.stepped_ways();
    for (uint64_t limit = kBacktrackingSteps;; limit *= 2) {
      pcre2_set_match_limit(context_, static_cast<uint32_t>(std::min<uint64_t>(limit, UINT32_MAX)));
      const int rc = RunProgram(program, from, options);
      const StatementDeadline* deadline = time_.deadline();
      if (rc == PCRE2_ERROR_MATCHLIMIT && deadline != nullptr && deadline->bound().count() > 0 &&
          limit < UINT32_MAX) {
        if (time_.PassedNow()) time_.Stop();
        if (best == nullptr) from = callouts.try_start;
        continue;
      }
      return Finished(rc);
    }
  }

  // One run of `program` from `from`; a run the statement's time ended stops the call.
  int RunProgram(const pcre2_code* program, size_t from, uint32_t options) {
    // PCRE2 checks the UTF-8 from the offset on once; later runs start further on.
    const uint32_t checked = checked_ ? PCRE2_NO_UTF_CHECK : 0;
    const int rc = pcre2_match(program, reinterpret_cast<PCRE2_SPTR>(subject_.data()),
                               subject_.size(), from, options | checked, data_, context_);
    if (rc == PCRE2_ERROR_CALLOUT) time_.Stop();
    if (rc >= 0 || rc == PCRE2_ERROR_NOMATCH || rc == PCRE2_ERROR_MATCHLIMIT) checked_ = true;
    return rc;
  }
  static int Finished(int rc) {
    if (rc < 0 && rc != PCRE2_ERROR_NOMATCH) MatchFailed(rc);
    return rc;
  }
  // The plain program's steps at a position: at least kQuickSteps, else about kQuickRead bytes.
  static constexpr uint64_t kQuickSteps = 16;
  static constexpr uint64_t kQuickRead = uint64_t{1} << 24;

  CompiledRegexp& re_;
  std::string_view subject_;
  pcre2_match_data* data_;
  pcre2_match_context* context_;
  StatementTime time_;
  std::vector<int> workspace_;
  // The subject's UTF-8 has been checked (by CheckUtf8, or by PCRE2 from an offset that the
  // later runs do not go back before): checking again on every match would make a text's
  // matches cost the square of its length.
  bool checked_ = false;
  // The first window of the automaton: a try that needs more is rare, and one whose ways alive
  // grow with every character costs milliseconds on it.
  static constexpr size_t kFirstWindow = size_t{1} << 9;
};

// The source text, its pattern and the matches from a position on.
class Search {
 public:
  // `position`: argument 2 (characters from 1).
  // `subexpressions`: the matches' subexpressions are read.
  Search(sqlite3_context* ctx, sqlite3_value** argv, sqlite3_value* parameter,
         int64_t position, bool subexpressions = false)
      : subexpressions_(subexpressions),
        source_(argv[0]),
        pattern_(ctx, TextView(argv[1]), IsNull(parameter) ? "" : TextView(parameter)),
        matcher_(*pattern_, source_) {
    if (position < 1) OutOfRange(position);
    const size_t skipped = static_cast<size_t>(position - 1);
    next_ = ByteAfterChars(source(), 0, skipped);
    // A position one past the last character still matches an empty text there.
    if (next_ == source().size() && skipped > 0 && CharCount(source()) < skipped) {
      next_ = Span::kUnset;
    }
  }

  // The next match, or none.
  std::optional<Match> Next() {
    if (next_ == Span::kUnset || next_ > source().size()) return std::nullopt;
    std::optional<Match> m = matcher_.Find(next_, subexpressions_);
    if (!m) {
      next_ = Span::kUnset;
    } else if (m->whole.end > m->whole.begin) {
      next_ = m->whole.end;
    } else if (m->whole.begin < source().size()) {
      next_ = NextChar(source(), m->whole.begin);
    } else {
      next_ = Span::kUnset;
    }
    return m;
  }
  // The `occurrence`th match (from 1), or none.
  std::optional<Match> Nth(int64_t occurrence) {
    std::optional<Match> m;
    for (int64_t k = 0; k < occurrence; ++k) {
      if (!(m = Next())) break;
    }
    return m;
  }

  // The character (from 0) byte `byte` starts.
  size_t CharOf(size_t byte) const {
    return CharCount(source().substr(0, byte));
  }
  std::string_view source() const { return source_; }
  const CompiledRegexp& pattern() const { return *pattern_; }

 private:
  bool subexpressions_;
  TextArgument source_;
  StatementPattern pattern_;
  Matcher matcher_;
  size_t next_;
};

bool AnyNullOf(sqlite3_value** argv, std::initializer_list<int> at) {
  for (int i : at) {
    if (IsNull(argv[i])) return true;
  }
  return false;
}

void Like(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNullOf(argv, {0, 1})) return sqlite3_result_null(ctx);
  Search search(ctx, argv, argv[2], 1);
  sqlite3_result_int(ctx, search.Next() ? 1 : 0);
}

void Count(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNullOf(argv, {0, 1, 2})) return sqlite3_result_null(ctx);
  Search search(ctx, argv, argv[3], AsInteger(argv[2]));
  int64_t n = 0;
  while (search.Next()) ++n;
  sqlite3_result_int64(ctx, n);
}

// The span of subexpression `sub` (0: the whole match) of `m`; unset when it took no part or
// the pattern has fewer.
Span Subexpression(const Search& search, const Match& m, int64_t sub) {
  if (sub == 0) return m.whole;
  if (sub > search.pattern().groups()) return {};
  return search.pattern().Group(m, static_cast<int>(sub));
}

void Substr(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNullOf(argv, {0, 1, 2, 3, 5})) return sqlite3_result_null(ctx);
  const int64_t occurrence = AsInteger(argv[3]);
  const int64_t sub = AsInteger(argv[5]);
  Search search(ctx, argv, argv[4], AsInteger(argv[2]), sub > 0);
  if (occurrence < 1) OutOfRange(occurrence);
  if (sub < 0 || sub > 9) OutOfRange(sub);
  std::optional<Match> m = search.Nth(occurrence);
  if (!m) return sqlite3_result_null(ctx);
  const Span s = Subexpression(search, *m, sub);
  if (s.begin == Span::kUnset) return sqlite3_result_null(ctx);
  ResultText(ctx, search.source().substr(s.begin, s.end - s.begin));
}

void Instr(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNullOf(argv, {0, 1, 2, 3, 4, 6})) return sqlite3_result_null(ctx);
  const int64_t occurrence = AsInteger(argv[3]);
  const int64_t return_option = AsInteger(argv[4]);
  const int64_t sub = AsInteger(argv[6]);
  Search search(ctx, argv, argv[5], AsInteger(argv[2]), sub > 0);
  if (occurrence < 1) OutOfRange(occurrence);
  if (return_option != 0 && return_option != 1) OutOfRange(return_option);
  if (sub < 0 || sub > 9) OutOfRange(sub);
  std::optional<Match> m = search.Nth(occurrence);
  if (!m) return sqlite3_result_int(ctx, 0);
  const Span s = Subexpression(search, *m, sub);
  if (s.begin == Span::kUnset) return sqlite3_result_int(ctx, 0);
  const size_t at = return_option == 1 ? s.end : s.begin;
  sqlite3_result_int64(ctx, static_cast<int64_t>(search.CharOf(at)) + 1);
}

// Oracle's replacement text: \1 to \9 the subexpressions, \\ a backslash, any other backslash
// itself.
void AppendReplacement(std::string_view replacement, const Search& search, const Match& m,
                       TextBuilder* out) {
  for (size_t i = 0; i < replacement.size(); ++i) {
    const char c = replacement[i];
    const char next = i + 1 < replacement.size() ? replacement[i + 1] : '\0';
    if (c != '\\' || (next != '\\' && (next < '1' || next > '9'))) {
      out->push_back(c);
      continue;
    }
    ++i;
    if (next == '\\') {
      out->push_back('\\');
      continue;
    }
    const int group = next - '0';
    if (group > search.pattern().groups()) continue;
    const Span g = search.pattern().Group(m, group);
    if (g.begin != Span::kUnset) out->Append(search.source().substr(g.begin, g.end - g.begin));
  }
}

void Replace(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  if (IsNull(argv[1])) return ResultText(ctx, TextArgument(argv[0]));
  if (AnyNullOf(argv, {3, 4})) return sqlite3_result_null(ctx);
  const std::string replacement = IsNull(argv[2]) ? std::string() : AsText(argv[2]);
  const int64_t occurrence = AsInteger(argv[4]);
  Search search(ctx, argv, argv[5], AsInteger(argv[3]), RefersToSubexpression(replacement));
  if (occurrence < 0) OutOfRange(occurrence);
  const std::string_view source = search.source();
  TextBuilder out(ctx);
  size_t copied = 0;
  for (int64_t k = 1;; ++k) {
    std::optional<Match> m = search.Next();
    if (!m) break;
    if (occurrence != 0 && k < occurrence) continue;
    out.Append(source.substr(copied, m->whole.begin - copied));
    AppendReplacement(replacement, search, *m, &out);
    copied = m->whole.end;
    if (occurrence != 0) break;
  }
  out.Append(source.substr(copied));
  out.SetResult(ctx);
}

constexpr FunctionEntry kRegexpFunctions[] = {
    {"ora_regexp_like", 3, Like, true},
    {"ora_regexp_count", 4, Count, true},
    {"ora_regexp_substr", 6, Substr, true},
    {"ora_regexp_instr", 7, Instr, true},
    {"ora_regexp_replace", 6, Replace, true},
};

}  // namespace

std::span<const FunctionEntry> RegexpFunctions() { return kRegexpFunctions; }

}  // namespace korvalis::db::functions
