#include "foundation/text/string_util.h"

#include <gtest/gtest.h>

#include <climits>

#include "platform/com/bstr.h"

namespace {

using Pieces = std::vector<std::u16string>;

Pieces Split(korvalis::TextRef text, korvalis::TextRef separator) {
  Pieces pieces;
  SplitString(text, separator, pieces);
  return pieces;
}

Pieces SplitChars(korvalis::TextRef text, korvalis::TextRef separators) {
  Pieces pieces;
  SplitByChars(text, separators, pieces);
  return pieces;
}

template <typename... Args>
std::u16string Fmt(const char16_t* format, const Args&... args) {
  char16_t buffer[256];
  const int n = FormatString(buffer, 256, format, args...);
  return n < 0 ? u"<failed>" : std::u16string(buffer, static_cast<std::size_t>(n));
}

TEST(SplitString, EmptyPiecesAndSeparatorsAtTheEnds) {
  EXPECT_EQ(Split(u"a,,b", u","), (Pieces{u"a", u"", u"b"}));
  EXPECT_EQ(Split(u"a,b,", u","), (Pieces{u"a", u"b"}));
  EXPECT_EQ(Split(u",,a", u","), (Pieces{u"a"}));
  EXPECT_EQ(Split(u",,,", u","), Pieces{});
  EXPECT_EQ(Split(u"", u","), Pieces{});
  EXPECT_EQ(Split(u"", u""), (Pieces{u""}));
  EXPECT_EQ(Split(u"a,b", u""), (Pieces{u"a,b"}));
  EXPECT_EQ(Split(u"2008-01-01|2009-01-01", u"|"), (Pieces{u"2008-01-01", u"2009-01-01"}));
}

TEST(SplitString, MultiCharacterSeparators) {
  EXPECT_EQ(Split(u"x|y", u"||"), (Pieces{u"x|y"}));
  // Leading characters found anywhere in the separator are skipped.
  EXPECT_EQ(Split(u"|a||b", u"||"), (Pieces{u"a", u"b"}));
  EXPECT_EQ(Split(u"a||||b||", u"||"), (Pieces{u"a", u"", u"b"}));
  EXPECT_EQ(Split(u"a|||b", u"||"), (Pieces{u"a", u"|b"}));
}

TEST(SplitByChars, SetsOfSeparators) {
  EXPECT_EQ(SplitChars(u"a;b,,c", u";,"), (Pieces{u"a", u"b", u"", u"c"}));
  EXPECT_EQ(SplitChars(u";,;", u";,"), Pieces{});
  EXPECT_EQ(SplitChars(u"abc", u""), (Pieces{u"abc"}));
  EXPECT_EQ(SplitChars(u"", u""), Pieces{});
  EXPECT_EQ(SplitChars(u";a;", u";,"), (Pieces{u"a"}));
}

TEST(Split, AppendsWithoutClearing) {
  Pieces pieces = {u"kept"};
  SplitString(u"a,b", u",", pieces);
  SplitByChars(u"c;d", u";", pieces);
  EXPECT_EQ(pieces, (Pieces{u"kept", u"a", u"b", u"c", u"d"}));
}

TEST(StringToNumber, DefaultsAndTheReadFlag) {
  bool read = false;
  EXPECT_EQ(StringToInt(u"abc", &read, 5), 5);
  EXPECT_TRUE(read);
  read = true;
  EXPECT_EQ(StringToInt(u"", &read, 7), 7);
  EXPECT_FALSE(read);
  read = true;
  EXPECT_EQ(StringToInt(u" \t\r\n", &read, 8), 8);
  EXPECT_FALSE(read);
  EXPECT_EQ(StringToLong(u"  42  ", &read), 42);
  EXPECT_TRUE(read);
  EXPECT_EQ(StringToInt(u"12abc"), 12);
  EXPECT_EQ(StringToInt(u"-0012"), -12);
  EXPECT_EQ(StringToInt(u"+7"), 7);
  EXPECT_EQ(StringToInt(u"+-7", nullptr, 3), 3);
  EXPECT_EQ(StringToInt(u"-", nullptr, 3), 3);
  EXPECT_EQ(StringToInt(u"１２", nullptr, 3), 3);  // full-width digits are not digits
  EXPECT_EQ(StringToInt(u"99999999999", nullptr, 4), 4);  // out of range keeps the fallback
  EXPECT_EQ(StringToInt(u"2147483647"), INT_MAX);
}

TEST(StringToNumber, DoublesReadIntoADouble) {
  bool read = false;
  EXPECT_DOUBLE_EQ(StringToDouble(u"3.25", &read), 3.25);
  EXPECT_TRUE(read);
  EXPECT_DOUBLE_EQ(StringToDouble(u" -1.5e2mm"), -150.0);
  EXPECT_DOUBLE_EQ(StringToDouble(u"1e"), 1.0);
  EXPECT_DOUBLE_EQ(StringToDouble(u".5"), 0.5);
  EXPECT_DOUBLE_EQ(StringToDouble(u"0.1"), 0.1);  // full double precision, not float
  EXPECT_DOUBLE_EQ(StringToDouble(u"x", &read, 2.5), 2.5);
  EXPECT_TRUE(read);
  EXPECT_DOUBLE_EQ(StringToDouble(u"", &read, 2.5), 2.5);
  EXPECT_FALSE(read);
  // Hexadecimal numbers read as the C library reads them with "%f".
  EXPECT_DOUBLE_EQ(StringToDouble(u"0x1A"), 26.0);
  EXPECT_DOUBLE_EQ(StringToDouble(u" -0X1.8p1 "), -3.0);
  EXPECT_DOUBLE_EQ(StringToDouble(u"0x", &read, 2.5), 2.5);
  EXPECT_TRUE(read);
  EXPECT_DOUBLE_EQ(StringToDouble(u"+0xg", nullptr, 2.5), 2.5);
  EXPECT_DOUBLE_EQ(StringToDouble(u"0xNaN", nullptr, 2.5), 2.5);
  EXPECT_DOUBLE_EQ(StringToDouble(u"0x.8"), 0.5);
}

TEST(NumberToString, Formats) {
  EXPECT_EQ(LongToString(-7), u"-7");
  EXPECT_EQ(LongToString(42, u"%05ld"), u"00042");
  EXPECT_EQ(LongToString(3, u"%s"), u"");  // a format that does not fit the value fails
  EXPECT_EQ(DoubleToString(0.1f), u"0.100000");
  EXPECT_EQ(DoubleToString(1.5f), u"1.500000");
  EXPECT_EQ(DoubleToString(3.4e38f).size(), 46u);
  EXPECT_EQ(IntToString(INT_MIN), u"-2147483648");
}

TEST(LeftAndUpper, CountUtf16Units) {
  EXPECT_EQ(LeftString(u"abc", 5), u"abc");
  EXPECT_EQ(LeftString(u"abc", 0), u"");
  EXPECT_EQ(LeftString(u"病历内容", 2), u"病历");
  EXPECT_EQ(LeftString(u"\U0001F600x", 1).size(), 1u);
  EXPECT_EQ(ToUpperAscii(u"aé"), u"Aé");
  EXPECT_EQ(ToUpperAscii(u"select nvl(a,'ｂ') from dual"), u"SELECT NVL(A,'ｂ') FROM DUAL");
}

TEST(ReplaceAll, NeverRescansReplacements) {
  std::u16string text = u"aa";
  ReplaceAll(text, u"a", u"aa");
  EXPECT_EQ(text, u"aaaa");
  text = u"O'Brien's";
  ReplaceAll(text, u"'", u"''");
  EXPECT_EQ(text, u"O''Brien''s");
  text = u"abc";
  ReplaceAll(text, u"", u"x");
  EXPECT_EQ(text, u"abc");
  text = u"{$DEPT_ID$} and {$DEPT_ID$}";
  ReplaceAll(text, u"{$DEPT_ID$}", u"");
  EXPECT_EQ(text, u" and ");
}

TEST(StringUtil, NullBstrReadsAsEmptyText) {
  const BSTR null_bstr = nullptr;
  bool read = true;
  EXPECT_EQ(StringToInt(null_bstr, &read, 9), 9);
  EXPECT_FALSE(read);
  EXPECT_EQ(LeftString(null_bstr, 3), u"");
  EXPECT_EQ(ToUpperAscii(null_bstr), u"");
  EXPECT_EQ(Split(null_bstr, u","), Pieces{});
  EXPECT_EQ(Split(u"a", null_bstr), (Pieces{u"a"}));
  std::u16string text = u"abc";
  ReplaceAll(text, u"b", null_bstr);
  EXPECT_EQ(text, u"ac");
}

TEST(FormatString, WideStringsAndPrintfMeaning) {
  const std::u16string dept = u"0101";
  BSTR bstr_like = const_cast<char16_t*>(u"内科");
  EXPECT_EQ(Fmt(u"WHERE DEPT_ID = '%s' AND NAME = '%s'", dept, bstr_like),
            u"WHERE DEPT_ID = '0101' AND NAME = '内科'");
  EXPECT_EQ(Fmt(u"%S|%hs", "narrow", std::string("病历")), u"narrow|病历");
  EXPECT_EQ(Fmt(u"[%5s][%-5s][%.2s]", u"ab", u"ab", u"abcdef"), u"[   ab][ab   ][ab]");
  EXPECT_EQ(Fmt(u"%d %i %u %x %X %o", -5, 7, -1, 255, 255, 8), u"-5 7 4294967295 ff FF 10");
  EXPECT_EQ(Fmt(u"%ld %lld %I64d", 1L, 2LL, -3LL), u"1 2 -3");
  EXPECT_EQ(Fmt(u"%hd %hhu", 70000, 257), u"4464 1");
  EXPECT_EQ(Fmt(u"%08.3f|%-6d|%+d|%e", 3.14159, 12, 5, 1500.0), u"0003.142|12    |+5|1.500000e+03");
  EXPECT_EQ(Fmt(u"%*d|%-*d|%.*f", 4, 1, 3, 2, 1, 2.25), u"   1|2  |2.2");
  EXPECT_EQ(Fmt(u"%c%c%%", u'病', 'x'), u"病x%");
  EXPECT_EQ(Fmt(u"%c", static_cast<char>(0xE9)), u"\u00e9");
  EXPECT_EQ(Fmt(u"%s", static_cast<const char16_t*>(nullptr)), u"(null)");
  EXPECT_EQ(Fmt(u"no conversions"), u"no conversions");
}

TEST(FormatString, RefusesWhatWouldReadWrongMemory) {
  EXPECT_EQ(Fmt(u"%s", 42), u"<failed>");
  EXPECT_EQ(Fmt(u"%d", u"text"), u"<failed>");
  EXPECT_EQ(Fmt(u"%d %d", 1), u"<failed>");
  EXPECT_EQ(Fmt(u"%f", 1), u"<failed>");
  EXPECT_EQ(Fmt(u"%n", 1), u"<failed>");
  EXPECT_EQ(Fmt(u"%q", 1), u"<failed>");
  EXPECT_EQ(Fmt(u"trailing %"), u"<failed>");
  EXPECT_EQ(Fmt(u"%999999999d", 1), u"<failed>");
  char16_t buffer[4] = {u'x', u'x', u'x', u'x'};
  EXPECT_EQ(FormatString(buffer, 4, nullptr), -1);
  EXPECT_EQ(FormatString(nullptr, 4, u"x"), -1);
  EXPECT_EQ(FormatString(buffer, 0, u"x"), -1);
}

TEST(FormatString, OutputThatDoesNotFitIsNegativeAndTerminated) {
  char16_t buffer[5];
  EXPECT_EQ(FormatString(buffer, 5, u"%s", u"abcd"), 4);
  EXPECT_EQ(std::u16string(buffer), u"abcd");
  EXPECT_LT(FormatString(buffer, 5, u"%s", u"abcde"), 0);
  EXPECT_EQ(std::u16string(buffer), u"abcd");
}

}  // namespace
