// Oracle's rules for text values on both engines: declared lengths of text columns, CHAR
// padding, blank-padded comparison, letters of every script in UPPER, LOWER and INITCAP, the
// result type of NVL and DECODE, and quoted names.
#include <gtest/gtest.h>

#include "platform/db/oracle_test_fixture.h"

namespace korvalis::db {
namespace {

class TextSemanticsTest : public testing::OracleFixture,
                          public ::testing::WithParamInterface<Engine> {
 protected:
  void SetUp() override {
    Open(R"(
CREATE TABLE L (B VARCHAR2(3), C VARCHAR2(3 CHAR), F CHAR(3), N NVARCHAR2(2),
                V VARCHAR2(5 BYTE), FC CHAR(2 CHAR));
)",
         GetParam());
  }
  // The statement's failure as Oracle's message (without the server's SQLSTATE), or
  // "no error".
  std::string Run(std::string_view sql) {
    try {
      c_->Execute(sql);
    } catch (const DbError& e) {
      const std::string message = e.what();
      return message.substr(0, message.find(" [SQLSTATE"));
    }
    return "no error";
  }
};

std::string TooLarge(const char* column, int actual, int maximum) {
  return std::string("ORA-12899: value too large for column \"KORVALIS\".\"L\".\"") + column +
         "\" (actual: " + std::to_string(actual) + ", maximum: " + std::to_string(maximum) + ")";
}

// VARCHAR2(n) counts bytes of UTF-8 (a Chinese character takes 3), VARCHAR2(n CHAR) and the
// national types count characters.
TEST_P(TextSemanticsTest, ValuesLongerThanTheColumnAreRefused) {
  const struct {
    const char* sql;
    std::string error;
  } kCases[] = {
      {"INSERT INTO L (B) VALUES ('abc')", "no error"},
      {"INSERT INTO L (B) VALUES ('abcd')", TooLarge("B", 4, 3)},
      {"INSERT INTO L (B) VALUES ('中')", "no error"},
      {"INSERT INTO L (B) VALUES ('中a')", TooLarge("B", 4, 3)},
      {"INSERT INTO L (V) VALUES ('中文')", TooLarge("V", 6, 5)},
      {"INSERT INTO L (C) VALUES ('中文字')", "no error"},
      {"INSERT INTO L (C) VALUES ('中文字a')", TooLarge("C", 4, 3)},
      {"INSERT INTO L (N) VALUES ('中文')", "no error"},
      {"INSERT INTO L (N) VALUES ('中文字')", TooLarge("N", 3, 2)},
      {"INSERT INTO L (F) VALUES ('abcd')", TooLarge("F", 4, 3)},
      {"INSERT INTO L (FC) VALUES ('中文')", "no error"},
      {"INSERT INTO L (B) VALUES (1234)", TooLarge("B", 4, 3)},
      {"INSERT INTO L (B) VALUES (0.5)", "no error"},
      {"INSERT INTO L (B) VALUES ('ab' || 'cd')", TooLarge("B", 4, 3)},
      {"INSERT INTO L (B) SELECT 'abcd' FROM DUAL", TooLarge("B", 4, 3)},
      {"INSERT INTO L (B) SELECT 'abcd' FROM DUAL WHERE 1 = 0", "no error"},
      {"UPDATE L SET B = B || 'x'", TooLarge("B", 4, 3)},
      {"UPDATE L SET (B, C) = (SELECT 'x', '一二三四' FROM DUAL)", TooLarge("C", 4, 3)},
      {"UPDATE L SET B = 'abcd' WHERE 1 = 0", "no error"},
  };
  for (const auto& k : kCases) EXPECT_EQ(Run(k.sql), k.error) << k.sql;
  // A refused statement stores nothing; the result code is the one of a value too large.
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM L WHERE B = 'abcd' OR C = '中文字a'"), "0");
  EXPECT_EQ(Failure("INSERT INTO L (B) VALUES ('abcd')").first, kDataOverflow);
}

TEST_P(TextSemanticsTest, CharColumnsPadTheirValuesWithBlanks) {
  c_->Execute("INSERT INTO L (F, FC, B) VALUES ('a', '中', 'a')");
  c_->Execute("INSERT INTO L (F, FC, B) SELECT '中', 'x', 'b' FROM DUAL");
  EXPECT_EQ(Rows("SELECT '[' || F || ']', LENGTH(F), '[' || FC || ']', LENGTH(FC) FROM L "
                 "ORDER BY B"),
            "[a  ]|3|[中 ]|2,[中]|1|[x ]|2");
  c_->Execute("UPDATE L SET F = 'ab' WHERE B = 'a'");
  EXPECT_EQ(Rows("SELECT '[' || F || ']' FROM L WHERE B = 'a'"), "[ab ]");
}

TEST_P(TextSemanticsTest, TheDictionaryDescribesLengthsInBytesAndCharacters) {
  EXPECT_EQ(Rows("SELECT COLUMN_NAME, DATA_TYPE, DATA_LENGTH, CHAR_LENGTH, CHAR_USED FROM "
                 "USER_TAB_COLUMNS WHERE TABLE_NAME = 'L' ORDER BY COLUMN_ID"),
            "B|VARCHAR2|3|3|B,C|VARCHAR2|12|3|C,F|CHAR|3|3|B,N|NVARCHAR2|4|2|C,"
            "V|VARCHAR2|5|5|B,FC|CHAR|8|2|C");
}

// Letters of every script are mapped one character at a time (ß has no single capital).
TEST_P(TextSemanticsTest, CaseFunctionsMapEveryLetter) {
  EXPECT_EQ(Rows("SELECT UPPER('straße äöü éà αβγ абв ｉｊ'), LOWER('ÄÖÜ ÉÀ ΑΒΓ АБВ ＩＪ Ab'), "
                 "INITCAP('élan vital мир-ΔΕΛΤΑ 中文ab x1y') FROM DUAL"),
            "STRAßE ÄÖÜ ÉÀ ΑΒΓ АБВ ＩＪ|äöü éà αβγ абв ｉｊ ab|Élan Vital Мир-Δελτα 中文ab X1y");
  EXPECT_EQ(Rows("SELECT UPPER(NULL), LOWER(''), INITCAP('中文 123') FROM DUAL"),
            "<null>|<null>|中文 123");
}

INSTANTIATE_TEST_SUITE_P(Engines, TextSemanticsTest, testing::kBothEngines, testing::EngineName);

}  // namespace
}  // namespace korvalis::db
