#include "platform/text/unicode.h"

#include <gtest/gtest.h>

namespace {

using korvalis::FromUtf8;
using korvalis::ToUtf8;

TEST(Unicode, RoundTripsEveryPlane) {
  const std::u16string text = u"a\u00e9\u75c5\u5386\U0001F600\uFFFF";
  EXPECT_EQ(ToUtf8(text), "a\xC3\xA9\xE7\x97\x85\xE5\x8E\x86\xF0\x9F\x98\x80\xEF\xBF\xBF");
  EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
  EXPECT_EQ(FromUtf8(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
}

TEST(Unicode, AssigningReplacesTheWholeText) {
  std::string narrow = "a much longer text than the next one";
  korvalis::AssignUtf8(u"\u75c5\U0001F600", narrow);
  EXPECT_EQ(narrow, "\xE7\x97\x85\xF0\x9F\x98\x80");
  std::u16string wide = u"a much longer text than the next one";
  korvalis::AssignUtf16(narrow, wide);
  EXPECT_EQ(wide, u"\u75c5\U0001F600");
  korvalis::AssignUtf16("", wide);
  EXPECT_TRUE(wide.empty());
}

TEST(Unicode, Utf16LeBytesAppendLowByteFirstWithUnitsUnchanged) {
  std::string out = "\xFF\xFE";
  korvalis::AppendUtf16Le(std::u16string{u'A', 0x75C5, 0xD83D, 0xDE00, 0xDC00, 0}, out);
  EXPECT_EQ(out, std::string("\xFF\xFE" "A\0" "\xC5\x75" "\x3D\xD8" "\x00\xDE" "\x00\xDC" "\0\0",
                             14));
  korvalis::AppendUtf16Le(u"", out);
  EXPECT_EQ(out.size(), 14u);
}

TEST(Unicode, WellFormedTextHasEverySurrogateInAPair) {
  for (const std::u16string& text : {std::u16string(u""), std::u16string(u"a\U0001F600b"),
                                     std::u16string(u"\uD7FF\uE000\uFFFF", 3)}) {
    EXPECT_TRUE(korvalis::IsWellFormedUtf16(text)) << ToUtf8(text);
  }
  for (const std::u16string& text :
       {std::u16string(1, 0xD83D), std::u16string(1, 0xDE00), std::u16string{0xDE00, 0xD83D},
        std::u16string{0xD83D, u'a', 0xDE00}, std::u16string{u'a', 0xD800, 0xD800, 0xDC00}}) {
    EXPECT_FALSE(korvalis::IsWellFormedUtf16(text)) << text.size();
  }
}

TEST(Unicode, LoneSurrogatesBecomeReplacement) {
  EXPECT_EQ(ToUtf8(u"x\xD800y"), "x\xEF\xBF\xBDy");
  EXPECT_EQ(ToUtf8(u"\xDC00"), "\xEF\xBF\xBD");
  EXPECT_EQ(ToUtf8(std::u16string(1, 0xD83D)), "\xEF\xBF\xBD");
  // A high surrogate before another pair, and one cut off at the end.
  EXPECT_EQ(ToUtf8(u"\xD800\xD800\xDC00\xDBFF"), "\xEF\xBF\xBD\xF0\x90\x80\x80\xEF\xBF\xBD");
  // Every width at the boundaries of its range, in a text long enough to be measured.
  std::u16string mixed;
  std::string expected;
  for (int i = 0; i < 1000; ++i) {
    mixed += u"\x7F\x80\x7FF\x800\xFFFF\U00010000\U0010FFFF";
    expected += "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF";
  }
  EXPECT_EQ(ToUtf8(mixed), expected);
  EXPECT_EQ(ToUtf8(u""), "");
}

TEST(Unicode, InvalidUtf8BecomesOneReplacementPerMaximalPart) {
  EXPECT_EQ(FromUtf8("\x80"), u"\uFFFD");
  EXPECT_EQ(FromUtf8("\xC0\xAF"), u"\uFFFD\uFFFD");          // overlong lead
  EXPECT_EQ(FromUtf8("\xE0\x80\xAF"), u"\uFFFD\uFFFD\uFFFD");  // overlong 3-byte
  EXPECT_EQ(FromUtf8("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
  EXPECT_EQ(FromUtf8("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");  // above U+10FFFF
  EXPECT_EQ(FromUtf8("\xE7\x97"), u"\uFFFD");                  // truncated at the end
  EXPECT_EQ(FromUtf8("\xE7\x97" "a"), u"\uFFFDa");             // truncated before ASCII
  EXPECT_EQ(FromUtf8("\xF0\x9F\x98"), u"\uFFFD");
  EXPECT_EQ(FromUtf8("\xFF\xFE"), u"\uFFFD\uFFFD");
}

TEST(Unicode, TheFirstIllFormedUtf8ByteIsFound) {
  constexpr size_t kNone = std::string_view::npos;
  const std::pair<std::string_view, size_t> cases[] = {
      {"", kNone},
      {"a\xE7\x97\x85\xF0\x9F\x98\x80", kNone},
      {"\xEF\xBF\xBD", kNone},  // U+FFFD itself is well formed
      {"ab\x80", 2},
      {"a\xC0\xAF", 1},
      {"\xE7\x97" "a", 0},
      {"\xE7\x97\x85\xED\xA0\x80", 3},
      {"\xFF\xFE" "a", 0},
  };
  for (const auto& [text, at] : cases) {
    EXPECT_EQ(korvalis::FirstIllFormedUtf8(text), at) << text;
  }
}

}  // namespace
