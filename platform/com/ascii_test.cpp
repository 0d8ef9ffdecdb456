#include "platform/com/ascii.h"

#include <gtest/gtest.h>

namespace {

using korvalis::AsciiLower;
using korvalis::AsciiUpper;
using korvalis::EqualsIgnoringAsciiCase;

TEST(Ascii, OnlyAsciiLettersChangeCase) {
  // The neighbours of the letter ranges, a Latin-1 letter, a full-width letter and a
  // Cyrillic one all keep their case.
  EXPECT_EQ(AsciiUpper(u"@az[`{\u00e9\uff41\u0434"), u"@AZ[`{\u00e9\uff41\u0434");
  EXPECT_EQ(AsciiLower(u"@AZ[`{\u00c9\uff21\u0414"), u"@az[`{\u00c9\uff21\u0414");
  EXPECT_EQ(AsciiUpper(u""), u"");
}

TEST(Ascii, NamesCompareWithoutAsciiCaseOnly) {
  EXPECT_TRUE(EqualsIgnoringAsciiCase(u"ClassName", u"CLASSNAME"));
  EXPECT_TRUE(EqualsIgnoringAsciiCase(u"", u""));
  EXPECT_FALSE(EqualsIgnoringAsciiCase(u"class", u"classe"));
  EXPECT_FALSE(EqualsIgnoringAsciiCase(u"\u00e9", u"\u00c9"));
  // '@' and '`' sit next to the letter ranges and must not match their neighbours.
  EXPECT_FALSE(EqualsIgnoringAsciiCase(u"@", u"`"));
  EXPECT_FALSE(EqualsIgnoringAsciiCase(u"[", u"{"));
}

TEST(Ascii, TrimmingTakesSpacesAndTabsAtTheEndsOnly) {
  EXPECT_EQ(korvalis::TrimAsciiBlanks(u" \t a b\t "), u"a b");
  EXPECT_EQ(korvalis::TrimAsciiBlanks(u" \t "), u"");
  // Line ends and the ideographic space are not blanks here.
  EXPECT_EQ(korvalis::TrimAsciiBlanks(u"\n1\r"), u"\n1\r");
  EXPECT_EQ(korvalis::TrimAsciiBlanks(u"\u30001"), u"\u30001");
}

}  // namespace
