#include "platform/com/unicode.h"

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

TEST(Unicode, LoneSurrogatesBecomeReplacement) {
  EXPECT_EQ(ToUtf8(u"x\xD800y"), "x\xEF\xBF\xBDy");
  EXPECT_EQ(ToUtf8(u"\xDC00"), "\xEF\xBF\xBD");
  EXPECT_EQ(ToUtf8(std::u16string(1, 0xD83D)), "\xEF\xBF\xBD");
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

}  // namespace
