#include "foundation/data/sql_text.h"

#include <gtest/gtest.h>

#include "foundation/calls/emr_exception.h"
#include "platform/text/unicode.h"

namespace korvalis {
namespace {

TEST(SqlTextTest, QuotesAreDoubledSoNoValueEndsTheLiteral) {
  EXPECT_EQ(SqlQuoted(u"O'Brien"), u"'O''Brien'");
  EXPECT_EQ(SqlQuoted(u"'; DELETE FROM TELV_PATIENT --"), u"'''; DELETE FROM TELV_PATIENT --'");
  EXPECT_EQ(SqlQuoted(u"''"), u"''''''");
  EXPECT_EQ(SqlEscaped(u"%张'三%"), u"%张''三%");
  // UTF-8 text is quoted the same way, its multi-byte characters untouched.
  EXPECT_EQ(SqlQuoted(std::string_view("张'三")), "'张''三'");
  EXPECT_EQ(SqlQuoted(std::string_view("'; DROP TABLE T --")), "'''; DROP TABLE T --'");
  EXPECT_EQ(SqlQuoted(std::string_view()), "''");
}

TEST(SqlTextTest, NullAndEmptyValuesGiveTheEmptyLiteral) {
  const char16_t* null_text = nullptr;
  EXPECT_EQ(SqlQuoted(null_text), u"''");
  EXPECT_EQ(SqlEscaped(u""), u"");
}

TEST(SqlTextTest, OnlyPlainDecimalsPassAsBareNumbers) {
  for (const char16_t* ok : {u"0", u"42", u"-7", u"+3", u"2.5", u".5", u"5."}) {
    EXPECT_TRUE(IsSqlNumber(ok)) << ToUtf8(ok);
  }
  for (const char16_t* bad :
       {u"", u"-", u".", u"1e5", u" 1", u"1 ", u"1.2.3", u"1 OR 1=1", u"0x10", u"1;DROP TABLE T"}) {
    EXPECT_FALSE(IsSqlNumber(bad));
  }
}

TEST(SqlTextTest, SqlNumberRefusesTextWithAMessageNamingTheValue) {
  EXPECT_EQ(SqlNumber(u"11"), u"11");
  try {
    SqlNumber(u"1 OR 1=1", u"maxrow");
    FAIL() << "a non-number passed";
  } catch (const CEMRException& e) {
    EXPECT_NE(e.GetText().find(u"1 OR 1=1"), std::u16string::npos);
    EXPECT_NE(e.GetText().find(u"maxrow"), std::u16string::npos);
  }
}

TEST(SqlTextTest, BareNumbersLoseTheWhiteSpaceAroundThemAndNothingElse) {
  EXPECT_EQ(SqlBareNumber(u" \t12.5 "), u"12.5");
  EXPECT_EQ(SqlBareNumber(u"\n  -3\r\n"), u"-3");
  for (const char16_t* bad : {u"", u" \n ", u"1 2", u"1\n2", u"1 OR 1=1"}) {
    try {
      SqlBareNumber(bad, u"type");
      ADD_FAILURE() << ToUtf8(bad) << " passed";
    } catch (const CEMRException& e) {
      EXPECT_NE(e.GetText().find(u"(type)"), std::u16string::npos);
    }
  }
}

TEST(SqlTextTest, IdNumbersAreWholeAndFitThirtyTwoBits) {
  EXPECT_EQ(SqlIdNumber(u"7"), 7);
  EXPECT_EQ(SqlIdNumber(u"+007"), 7);
  EXPECT_EQ(SqlIdNumber(u"-2147483648"), INT32_MIN);
  EXPECT_EQ(SqlIdNumber(u"2147483647"), INT32_MAX);
  for (const char16_t* bad : {u"", u"-", u"2.0", u"1e3", u" 5", u"5 OR 1=1", u"2147483648",
                              u"-2147483649", u"99999999999999999999999"}) {
    try {
      SqlIdNumber(bad, u"catalog");
      ADD_FAILURE() << ToUtf8(bad) << " passed";
    } catch (const CEMRException& e) {
      EXPECT_EQ(e.GetText(), u"不是有效的数字: '" + std::u16string(bad) + u"' (catalog)");
    }
  }
}

TEST(SqlTextTest, NumberListsLoseTheirBlanksAndKeepTheirOrder) {
  EXPECT_EQ(SqlNumberList(u"1"), u"1");
  EXPECT_EQ(SqlNumberList(u"0,1,2"), u"0,1,2");
  EXPECT_EQ(SqlNumberList(u" 6 ,\t10 "), u"6,10");
  EXPECT_EQ(SqlNumberList(u"-1,+2,2.5"), u"-1,+2,2.5");
  std::u16string long_list;
  for (int i = 0; i < 20000; ++i) long_list += (i ? u"," : u"") + std::u16string(u"12345");
  EXPECT_EQ(SqlNumberList(long_list), long_list);
}

TEST(SqlTextTest, NumberListsRefuseEmptyPiecesAndAnythingButNumbers) {
  for (const char16_t* bad :
       {u"", u" ", u",", u"1,", u",1", u"1,,2", u"1, ,2", u"1e5", u"1,2e3", u"'1'", u"1,'2'",
        u"1 2", u"1,2)", u"-1) UNION ALL SELECT USER_CODE FROM TELV_USER_TABLE --",
        u"1;DELETE FROM TELV_PATIENT", u"1,二", u"1\n,2", u"1,-", u"0x10"}) {
    try {
      SqlNumberList(bad, u"emrtype");
      ADD_FAILURE() << "passed: " << ToUtf8(bad);
    } catch (const CEMRException& e) {
      EXPECT_NE(e.GetText().find(u"emrtype"), std::u16string::npos);
      EXPECT_NE(e.GetText().find(bad), std::u16string::npos);
    }
  }
  std::u16string long_bad(100000, u'1');
  long_bad += u",x";
  EXPECT_THROW(SqlNumberList(long_bad), CEMRException);
}


}  // namespace
}  // namespace korvalis
