// An Oracle regular expression (POSIX ERE with Oracle's Perl-influenced extensions) and its
// match parameter, checked and written for the two engines: a PCRE2 pattern for the embedded
// file and an ARE of PostgreSQL with its flags.
//
// Both engines answer as Oracle's POSIX semantics say: the match is the one starting first and,
// there, the longest (the shortest when the pattern's quantifiers are non-greedy). PostgreSQL's
// AREs match so by themselves; the embedded functions (regexp_functions.cpp) pick that match
// among PCRE2's. Constructs whose meaning the engines cannot both give are refused here, on both
// engines: an equivalence class [=a=] (Oracle matches every letter of that base letter), a
// non-greedy quantifier beside a greedy one or an alternation (the two engines combine them
// differently), a quantifier with nothing to repeat or following another, a repeat count above
// 255, a back reference in a pattern that repeats a subexpression (the engines tell its text
// differently; regexp_sql.cpp refuses using it otherwise).
//
// Thread-safety: stateless functions.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korvalis::db {

// The match parameter: 'i' and 'c' (the last one given counts; the default is 'c'), 'n' ('.'
// matches a newline), 'm' (^ and $ match at every line), 'x' (white space in the pattern is
// ignored). Throws SqlError ORA-01760 for any other letter.
struct RegexpOptions {
  bool ignore_case = false;
  bool dot_matches_newline = false;
  bool multiline = false;
  bool extended = false;
};
RegexpOptions ReadMatchParameter(std::string_view text);
// PostgreSQL's flags for `options` with the pattern written by TranslateRegexp.
std::string PostgresFlags(const RegexpOptions& options);

struct RegexpPattern {
  std::string pcre2;  // for PCRE2 in UTF mode, its options set from `options`
  std::string postgres;
  bool shortest = false;       // the match at a position is the shortest one
  int groups = 0;              // the subexpressions
  // PCRE2's group of each subexpression (index 0 for \1), and the count of PCRE2's groups,
  // which also capture each repeated atom: where several ways of matching end alike, the one
  // whose groups, in the order they open, end last (first for a non-greedy pattern) is the
  // one PostgreSQL gives.
  std::vector<int> pcre2_groups;
  int pcre2_captures = 0;
  // A quantifier repeats a subexpression: the engines give different texts for it (the text of
  // the subexpressions may not be used).
  bool repeated_group = false;
  bool backreference = false;  // the pattern refers back to a subexpression
  RegexpOptions options;
};

// Throws SqlError with Oracle's error (ORA-12725 to ORA-12733) for a pattern Oracle refuses,
// and one of kNotSupported for a construct refused above.
// Precondition: `pattern` is not empty (the empty text is NULL).
RegexpPattern TranslateRegexp(std::string_view pattern, const RegexpOptions& options);

// Whether a replacement text of REGEXP_REPLACE names a subexpression (\1 to \9; \\ is a
// backslash).
bool RefersToSubexpression(std::string_view replacement);

}  // namespace korvalis::db
