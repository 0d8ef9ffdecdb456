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

// A column's default fits the column as an inserted value does, when a row takes it.
TEST_P(TextSemanticsTest, DefaultsFitTheirColumn) {
  c_->Execute("CREATE TABLE D1 (ID NUMBER, B VARCHAR2(3) DEFAULT 'abcd')");
  c_->Execute("CREATE TABLE D2 (ID NUMBER, F CHAR(3) DEFAULT 'a', C VARCHAR2(2 CHAR) DEFAULT '中文')");
  EXPECT_EQ(Run("INSERT INTO D1 (ID) VALUES (1)"),
            "ORA-12899: value too large for column \"KORVALIS\".\"D1\".\"B\" (actual: 4, maximum: 3)");
  EXPECT_EQ(Run("INSERT INTO D1 VALUES (2, 'abc')"), "no error");
  c_->Execute("INSERT INTO D2 (ID) VALUES (1)");
  EXPECT_EQ(Rows("SELECT '[' || F || ']', C FROM D2"), "[a  ]|中文");
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

// Text literals and CHAR values compare blank-padded with each other; a VARCHAR2 operand makes
// the comparison nonpadded.
TEST_P(TextSemanticsTest, CharValuesAndLiteralsCompareBlankPadded) {
  c_->Execute("INSERT INTO L (F, B) VALUES ('ab', 'ab')");
  const struct {
    const char* condition;
    bool holds;
  } kCases[] = {
      {"'a ' = 'a'", true},          {"'a' < 'a  '", false},     {"'a ' <> 'a'", false},
      {"'ab' < 'ab c'", true},       {"F = 'ab'", true},         {"F = 'ab    '", true},
      {"'ab' = F", true},            {"F > 'ab'", false},        {"B = 'ab '", false},
      {"B = 'ab'", true},            {"F = B", false},           {"RTRIM(F) = B", true},
      {"'a ' IN ('a', 'b')", true},  {"F IN ('x', 'ab ')", true}, {"B IN ('ab ')", false},
      {"F NOT IN ('ab')", false},    {"F || 'x' = 'ab x'", true}, {"'   ' = ' '", true},
  };
  for (const auto& k : kCases) {
    EXPECT_EQ(Rows(std::string("SELECT COUNT(*) FROM L WHERE ") + k.condition),
              k.holds ? "1" : "0")
        << k.condition;
  }
}

// DECODE, a simple CASE and BETWEEN compare as comparisons do: blank-padded where both values
// are CHAR values or literals, each search value, WHEN value or bound on its own.
TEST_P(TextSemanticsTest, DecodeCaseAndBetweenCompareBlankPadded) {
  c_->Execute("INSERT INTO L (F, B) VALUES ('ab', 'ab')");
  const struct {
    const char* expression;
    const char* value;
  } kCases[] = {
      {"DECODE(F, 'ab', 1, 0)", "1"},
      {"DECODE(F, B, 1, 0)", "0"},
      {"DECODE('a ', 'a', 1, 0)", "1"},
      {"DECODE(B, 'ab ', 1, 0)", "0"},
      {"DECODE(F, NULL, 2, 'ab', 1, 0)", "1"},
      {"DECODE(F, B, 2, 'ab  ', 1, 0)", "1"},
      {"CASE F WHEN 'ab' THEN 1 ELSE 0 END", "1"},
      {"CASE F WHEN B THEN 2 WHEN 'ab' THEN 1 ELSE 0 END", "1"},
      {"CASE B WHEN 'ab ' THEN 1 ELSE 0 END", "0"},
      {"CASE 'a ' WHEN 'a' THEN 1 ELSE 0 END", "1"},
      {"CASE WHEN F BETWEEN 'ab' AND 'ab' THEN 1 ELSE 0 END", "1"},
      {"CASE WHEN F BETWEEN B AND 'ab' THEN 1 ELSE 0 END", "1"},
      {"CASE WHEN F BETWEEN 'ab' AND B THEN 1 ELSE 0 END", "0"},
      {"CASE WHEN F NOT BETWEEN 'ab' AND 'ab' THEN 1 ELSE 0 END", "0"},
      {"CASE WHEN F NOT BETWEEN 'ab' AND B THEN 1 ELSE 0 END", "1"},
      {"CASE WHEN B BETWEEN 'ab ' AND 'b' THEN 1 ELSE 0 END", "0"},
      {"CASE WHEN 'a ' BETWEEN 'a' AND 'a' THEN 1 ELSE 0 END", "1"},
  };
  for (const auto& k : kCases) {
    EXPECT_EQ(Rows(std::string("SELECT ") + k.expression + " FROM L"), k.value) << k.expression;
  }
}

// Letters of every script are mapped one character at a time (ß has no single capital).
TEST_P(TextSemanticsTest, CaseFunctionsMapEveryLetter) {
  EXPECT_EQ(Rows("SELECT UPPER('straße äöü éà αβγ абв ｉｊ'), LOWER('ÄÖÜ ÉÀ ΑΒΓ АБВ ＩＪ Ab'), "
                 "INITCAP('élan vital мир-ΔΕΛΤΑ 中文ab x1y') FROM DUAL"),
            "STRAßE ÄÖÜ ÉÀ ΑΒΓ АБВ ＩＪ|äöü éà αβγ абв ｉｊ ab|Élan Vital Мир-Δελτα 中文ab X1y");
  EXPECT_EQ(Rows("SELECT UPPER(NULL), LOWER(''), INITCAP('中文 123') FROM DUAL"),
            "<null>|<null>|中文 123");
}

// NVL converts its second value to the type of the first; DECODE its results to the type of
// the first result (text when that is NULL).
TEST_P(TextSemanticsTest, NvlAndDecodeTakeTheTypeOfTheirFirstValue) {
  c_->Execute("CREATE TABLE R (ID NUMBER, N NUMBER, T VARCHAR2(10))");
  c_->Execute("INSERT INTO R VALUES (1, NULL, NULL)");
  c_->Execute("INSERT INTO R VALUES (2, 2, '2')");
  c_->Execute("INSERT INTO R VALUES (10, 10, 'x')");
  const struct {
    const char* sql;
    const char* rows;
  } kCases[] = {
      {"SELECT NVL(N, '7') + 1 FROM R ORDER BY ID", "8,3,11"},
      {"SELECT NVL(T, 0.5) FROM R ORDER BY ID", ".5,2,x"},
      {"SELECT NVL(T, 'Not Applicable') FROM R WHERE ID = 1", "Not Applicable"},
      {"SELECT NVL(N, T) FROM R WHERE ID < 10 ORDER BY ID", "<null>,2"},
      {"SELECT ID FROM R ORDER BY NVL(N, '5')", "2,1,10"},
      {"SELECT DECODE(ID, 1, 'one', 2, 0.5, ID) FROM R ORDER BY ID", "one,.5,10"},
      {"SELECT DECODE(ID, 1, 100, '20') + 1 FROM R ORDER BY ID", "101,21,21"},
      {"SELECT ID FROM R ORDER BY DECODE(ID, 0, NULL, ID)", "1,10,2"},
      {"SELECT DECODE(ID, 10, 'Southlake', 2, 'San Francisco', 'Non domestic') FROM R "
       "ORDER BY ID",
       "Non domestic,San Francisco,Southlake"},
  };
  for (const auto& k : kCases) EXPECT_EQ(Rows(k.sql), k.rows) << k.sql;
  for (const char* sql : {"SELECT NVL(N, 'x') FROM R", "SELECT DECODE(ID, 1, 10, 'x') FROM R",
                          "SELECT NVL(N, T || 'z') FROM R WHERE ID = 1",
                          "SELECT NVL(N, T) FROM R WHERE ID = 10",
                          "SELECT NVL(NVL(N, 1), T) FROM R WHERE ID = 10",
                          "SELECT COUNT(*) FROM R WHERE NVL(N, T) > 0"}) {
    EXPECT_EQ(Run(sql).substr(0, 9), "ORA-01722") << sql;
  }
}

// A name in double quotes keeps its case: "abc" and ABC are different names, "ABC" and ABC
// the same.
TEST_P(TextSemanticsTest, QuotedNamesAreCaseSensitive) {
  c_->Execute("CREATE TABLE \"abc\" (\"x\" NUMBER, Y NUMBER)");
  c_->Execute("CREATE TABLE \"ABC2\" (\"V\" NUMBER)");
  c_->Execute("INSERT INTO \"abc\" (\"x\", Y) VALUES (1, 2)");
  c_->Execute("INSERT INTO abc2 (v) VALUES (3)");
  const struct {
    const char* sql;
    const char* answer;  // the rows, or the start of the error
  } kCases[] = {
      {"SELECT \"x\", Y, \"Y\", y FROM \"abc\"", "1|2|2|2"},
      {"SELECT \"x\" AS \"Val\" FROM \"abc\" ORDER BY \"Val\"", "1"},
      {"SELECT a.\"x\" FROM \"abc\" a WHERE a.Y = 2", "1"},
      {"SELECT V FROM \"ABC2\"", "3"},
      {"SELECT * FROM abc", "ORA-00942"},
      {"SELECT * FROM \"Abc\"", "ORA-00942"},
      {"SELECT x FROM \"abc\"", "ORA-00904"},
      {"SELECT \"y\" FROM \"abc\"", "ORA-00904"},
      {"SELECT COUNT(*) FROM \"abc\" WHERE \"X\" = 1", "ORA-00904"},
      {"INSERT INTO \"abc\" (X) VALUES (1)", "ORA-00904"},
      {"UPDATE \"abc\" SET \"y\" = 1", "ORA-00904"},
  };
  for (const auto& k : kCases) {
    const std::string error = Run(k.sql);
    EXPECT_EQ(error.rfind("ORA-", 0) == 0 ? error.substr(0, 9) : Rows(k.sql), k.answer) << k.sql;
  }
}

// A primary key's columns refuse NULL, as in Oracle, whether the key is declared on the column
// or on the table.
TEST_P(TextSemanticsTest, PrimaryKeyColumnsRefuseNull) {
  c_->Execute("CREATE TABLE P1 (ID VARCHAR2(5) PRIMARY KEY, V NUMBER)");
  c_->Execute("CREATE TABLE P2 (A NUMBER, B VARCHAR2(5), CONSTRAINT PK_P2 PRIMARY KEY (A, B))");
  for (const char* sql : {"INSERT INTO P1 VALUES (NULL, 1)", "INSERT INTO P1 VALUES ('', 1)",
                          "INSERT INTO P2 VALUES (1, NULL)", "INSERT INTO P2 (B) VALUES ('x')"}) {
    EXPECT_EQ(Run(sql).substr(0, 9), "ORA-01400") << sql;
  }
  c_->Execute("INSERT INTO P1 VALUES ('a', 1)");
  EXPECT_EQ(Run("UPDATE P1 SET ID = NULL").substr(0, 9), "ORA-01400");
  EXPECT_EQ(Rows("SELECT TABLE_NAME, COLUMN_NAME, NULLABLE FROM USER_TAB_COLUMNS WHERE "
                 "TABLE_NAME IN ('P1', 'P2') ORDER BY TABLE_NAME, COLUMN_ID"),
            "P1|ID|N,P1|V|Y,P2|A|N,P2|B|N");
}

INSTANTIATE_TEST_SUITE_P(Engines, TextSemanticsTest, testing::kBothEngines, testing::EngineName);

}  // namespace
}  // namespace korvalis::db
