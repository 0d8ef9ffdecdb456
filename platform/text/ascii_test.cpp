#include "platform/text/ascii.h"

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

TEST(Ascii, NarrowTextFoldsAsciiLettersAndLeavesUtf8BytesAlone) {
  EXPECT_EQ(AsciiUpper(std::string_view("@az[`{\xC3\xA9\xE7\x97\x85")),
            "@AZ[`{\xC3\xA9\xE7\x97\x85");
  EXPECT_EQ(AsciiLower(std::string_view("@AZ[`{\xC3\x89")), "@az[`{\xC3\x89");
  EXPECT_TRUE(EqualsIgnoringAsciiCase("Telv_Patient", "TELV_PATIENT"));
  EXPECT_FALSE(EqualsIgnoringAsciiCase("\xC3\xA9", "\xC3\x89"));
  EXPECT_FALSE(EqualsIgnoringAsciiCase("[", "{"));
  EXPECT_TRUE(korvalis::IsAsciiAlnum('z') && korvalis::IsAsciiAlnum(u'0'));
  EXPECT_FALSE(korvalis::IsAsciiAlpha('\xC3') || korvalis::IsAsciiAlpha(u'\uff41'));
}

TEST(Ascii, PrefixesAndSuffixesCompareWithoutAsciiCase) {
  using korvalis::EndsWithIgnoringAsciiCase;
  using korvalis::StartsWithIgnoringAsciiCase;
  EXPECT_TRUE(StartsWithIgnoringAsciiCase("select * from t", "SELECT"));
  EXPECT_TRUE(StartsWithIgnoringAsciiCase(u"Provider=x", u"provider"));
  EXPECT_TRUE(StartsWithIgnoringAsciiCase("abc", ""));
  EXPECT_FALSE(StartsWithIgnoringAsciiCase("sel", "SELECT"));
  EXPECT_TRUE(EndsWithIgnoringAsciiCase("report.XML", ".xml"));
  EXPECT_TRUE(EndsWithIgnoringAsciiCase(u"report.XML", u".xml"));
  EXPECT_FALSE(EndsWithIgnoringAsciiCase("ml", ".xml"));
}

TEST(Ascii, SpacesAreTheCLocalesAndBlanksOnlySpaceAndTab) {
  EXPECT_EQ(korvalis::TrimAsciiSpaces(" \t\r\n\v\fa b\n"), "a b");
  EXPECT_EQ(korvalis::TrimAsciiSpaces(u"\r\n"), u"");
  EXPECT_EQ(korvalis::TrimAsciiBlanks(" \ta\r"), "a\r");
  EXPECT_FALSE(korvalis::IsAsciiSpace('\0') || korvalis::IsAsciiSpace(u'\u3000'));
}

TEST(Ascii, BlankTextHoldsOnlyXmlWhiteSpace) {
  EXPECT_TRUE(korvalis::IsBlank(""));
  EXPECT_TRUE(korvalis::IsBlank(u" \t\r\n"));
  for (std::u16string_view text : {u" a ", u"\v", u"\f", u"\u3000", u"\u00a0"}) {
    EXPECT_FALSE(korvalis::IsBlank(text));
  }
}

}  // namespace
