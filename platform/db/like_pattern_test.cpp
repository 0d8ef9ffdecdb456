// LikePattern, the match in place and the engine's GLOB against the definition of LIKE, matched
// by trying every way: patterns and texts of a few letters, wildcards and an escape, where the
// pieces between '%' overlap each other and the text's ends; an escape before any other
// character is refused.
#include "platform/db/like_pattern.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <string_view>

#include "platform/db/sql_function_support.h"

namespace korvalis::db::functions {
namespace {

// Whether `text` matches `pattern` (escape '!'), every way tried: '%' and '_' step on to the
// next byte that starts a character, a literal matches its own bytes.
bool ByDefinition(std::string_view pattern, std::string_view text) {
  if (pattern.empty()) return text.empty();
  const size_t p = NextChar(pattern, 0);
  if (pattern[0] == '%') {
    for (size_t at = 0;; at = NextChar(text, at)) {
      if (ByDefinition(pattern.substr(p), text.substr(at))) return true;
      if (at == text.size()) return false;
    }
  }
  if (text.empty()) return false;
  if (pattern[0] == '_') return ByDefinition(pattern.substr(p), text.substr(NextChar(text, 0)));
  std::string_view literal = pattern.substr(0, p);
  size_t rest = p;
  if (literal == "!") {
    if (p == pattern.size()) return false;
    rest = NextChar(pattern, p);
    literal = pattern.substr(p, rest - p);
  }
  return text.starts_with(literal) &&
         ByDefinition(pattern.substr(rest), text.substr(literal.size()));
}

TEST(LikePatternTest, MatchesAsTheDefinitionOnShapedTexts) {
  const char* const kPatternUnits[] = {"a",  "b", "病", "%",  "_",          "!%",
                                       "!_", "!!", "!", "*", "[", "\xEF\xBF\xBE"};
  // Characters the engine's GLOB reads otherwise: a NUL ends its text, U+FFFE, U+FFFF, U+FFFD
  // and a lone surrogate are one character to it; then bytes that are no character (a byte
  // that continues one alone, a character cut short), where a literal compares bytes and '_'
  // takes a byte with the bytes continuing it.
  const std::string kTextUnits[] = {"a",          "b",          "病",           "%",
                                    "_",          "!",          "*",            "[",
                                    {"\0", 1},    "\xEF\xBF\xBE", "\xEF\xBF\xBF", "\xEF\xBF\xBD",
                                    "\xED\xA0\x80", "\x80",        "\xE7",        "\xE7\x97"};
  unsigned seed = 11;
  auto next = [&seed](unsigned bound) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % bound;
  };
  for (int i = 0; i < 20000; ++i) {
    std::string pattern, text;
    for (unsigned k = next(8); k > 0; --k) pattern += kPatternUnits[next(12)];
    bool well_formed = true;
    for (unsigned k = next(10); k > 0; --k) {
      const unsigned unit = next(next(2) ? 3 : 16);
      well_formed = well_formed && unit < 13;
      text += kTextUnits[unit];
    }
    if (!EscapesValid(pattern, '!')) {
      ASSERT_THROW(LikePattern(pattern, "!"), FunctionError) << pattern;
      continue;
    }
    const bool expected = ByDefinition(pattern, text);
    // LikePattern counts the characters after a literal that ends before bytes continuing a
    // character otherwise: it is asked of well-formed texts.
    if (well_formed) {
      ASSERT_EQ(LikePattern(pattern, "!").Matches(text), expected) << pattern << " / " << text;
    }
    ASSERT_EQ(MatchesInPlace(text, pattern, '!'), expected) << pattern << " / " << text;
    // The engine's GLOB, reading the text as it does, answers alike where it is said to.
    if (GlobMatchesAlike(pattern, '!')) {
      ASSERT_EQ(sqlite3_strglob(GlobOfLike(pattern, '!').c_str(), text.c_str()) == 0, expected)
          << pattern << " / " << text;
    }
  }
}

TEST(LikePatternTest, AnEscapeStandsOnlyBeforeAWildcardOrItself) {
  for (const char* pattern : {"a!", "!a", "a!!!", "%!b%", "!病"}) {
    EXPECT_FALSE(EscapesValid(pattern, '!')) << pattern;
    EXPECT_THROW(LikePattern(pattern, "!"), FunctionError) << pattern;
  }
  for (const char* pattern : {"a!!", "!%!_", "!!!%", "%"}) {
    EXPECT_TRUE(EscapesValid(pattern, '!')) << pattern;
  }
}

TEST(LikePatternTest, APatternIsSearchedFromItsFirstPercentBeforeMore) {
  EXPECT_EQ(SearchedBytes("ab_%%", 0), 0u);
  EXPECT_EQ(SearchedBytes("a!%b", '!'), 0u);
  EXPECT_EQ(SearchedBytes("a%b%", 0), 3u);
  EXPECT_EQ(SearchedBytes("%", 0), 0u);
  EXPECT_EQ(GlobOfLike("a*?[!%%%", '!'), "a[*][?][[]%*");
  for (const char* pattern : {"ab%", "%", "a!%%", "a!_!!%%"}) {
    EXPECT_TRUE(GlobMatchesAlike(pattern, '!')) << pattern;
  }
  for (const std::string pattern : {"ab", "a_%", "a%b", "病%", "ab%_", "a!%", "\xEF\xBF\xBF%"}) {
    EXPECT_FALSE(GlobMatchesAlike(pattern, '!')) << pattern;
  }
  EXPECT_FALSE(GlobMatchesAlike(std::string("a\0%", 3), 0));
  EXPECT_EQ(LiteralPrefix("a!%b_c%", '!'), "a%b");
  EXPECT_EQ(LiteralPrefix("a!%b_c%", 0), "a!");
}

TEST(LikePatternTest, WithoutAnEscapeEveryCharacterStandsForItself) {
  EXPECT_TRUE(LikePattern("a!%", "").Matches("a!b"));
  EXPECT_FALSE(LikePattern("a!%", "").Matches("a%"));
  EXPECT_TRUE(LikePattern("%病_", "").Matches("x病人"));
  EXPECT_TRUE(MatchesInPlace("a!b", "a!%", '\0'));
  EXPECT_TRUE(MatchesInPlace("x病人", "%病_", '\0'));
  EXPECT_FALSE(MatchesInPlace("x病人", "%人_", '\0'));
  EXPECT_THROW(LikePattern("a", "ab"), FunctionError);
}

}  // namespace
}  // namespace korvalis::db::functions
