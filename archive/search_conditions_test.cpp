#include <gtest/gtest.h>

#include <string>

#include "archive/emr_library.h"
#include "foundation/testing/emr_exception_test_util.h"
#include "foundation/testing/test_data_source.h"
#include "foundation/xml/xml_text.h"
#include "platform/text/unicode.h"

namespace {

using korvalis::testing::FailureOf;
using korvalis::testing::kUnreachableDatabase;
using korvalis::testing::TestDataSource;

constexpr char16_t kColumnMessage[] = u"条件语句除了表名称，其它属性均不能为空！";
constexpr char16_t kPathMessage[] = u"路径条件语句属性均不能为空！";

// A `clause` element of a column condition.
std::u16string Clause(const std::u16string& column, const std::u16string& type,
                      const std::u16string& relation, const std::u16string& right,
                      const std::u16string& logic) {
  using korvalis::XmlEscapedWithQuotes;
  return u"<clause type=\"" + XmlEscapedWithQuotes(type) + u"\" relation=\"" +
         XmlEscapedWithQuotes(relation) + u"\" right=\"" + XmlEscapedWithQuotes(right) +
         u"\" logic=\"" + XmlEscapedWithQuotes(logic) + u"\">" + korvalis::XmlEscaped(column) +
         u"</clause>";
}

// A `clause` element of a path condition.
std::u16string PathClause(const std::u16string& path, const std::u16string& relation,
                          const std::u16string& logic, const std::u16string& value) {
  using korvalis::XmlEscapedWithQuotes;
  return u"<clause path=\"" + XmlEscapedWithQuotes(path) + u"\" relation=\"" +
         XmlEscapedWithQuotes(relation) + u"\" logic=\"" + XmlEscapedWithQuotes(logic) + u"\">" +
         korvalis::XmlEscaped(value) + u"</clause>";
}

class SearchConditionTest : public ::testing::Test {
 protected:
  // The fragment of a column condition; nothing may reach the database.
  std::u16string Column(const std::u16string& clauses) {
    return CBEMRLibrary::BuildConditionClause(&data_source_, u"<root>" + clauses + u"</root>");
  }
  std::u16string ColumnFailure(const std::u16string& condition) {
    return FailureOf([&] { CBEMRLibrary::BuildConditionClause(&data_source_, condition); });
  }
  static std::u16string Path(const std::u16string& catalog, const std::u16string& clauses) {
    return CBEMRLibrary::BuildPathConditionClause(u"<root><catalogid>" + catalog + u"</catalogid>" +
                                                  clauses + u"</root>");
  }
  static std::u16string PathFailure(const std::u16string& condition) {
    return FailureOf([&] { CBEMRLibrary::BuildPathConditionClause(condition); });
  }

  TestDataSource data_source_{kUnreachableDatabase};
};

TEST_F(SearchConditionTest, NoClauseGivesTheEmptyFragment) {
  EXPECT_EQ(Column(u""), u"");
  EXPECT_EQ(CBEMRLibrary::BuildConditionClause(&data_source_, u""), u"");
  EXPECT_EQ(Path(u"", u""), u"");
}

TEST_F(SearchConditionTest, ARunOfOrStandsInOneBracket) {
  // Lower-case logic words: the bracket opens before the OR, closes after the AND, whose
  // trailing word goes.
  EXPECT_EQ(Column(Clause(u"b.name", u"string", u"=", u"张三", u"or") +
                   Clause(u"a.title", u"STRING", u"$", u"记录", u"and")),
            u" ( B.NAME = '张三' OR  A.TITLE Like '%记录%' ) ");
  // Three ORs: one bracket around all three, closed after the last; the final OR goes.
  EXPECT_EQ(Column(Clause(u"a.x", u"NUMBER", u"=", u"1", u"OR") +
                   Clause(u"a.y", u"NUMBER", u"=", u"2", u"OR") +
                   Clause(u"a.z", u"NUMBER", u"=", u"3", u"OR")),
            u" ( A.X = 1 OR  A.Y = 2 OR  A.Z = 3 ) ");
  // An AND before the OR stands outside; brackets never nest.
  EXPECT_EQ(Column(Clause(u"a.w", u"NUMBER", u"=", u"0", u"AND") +
                   Clause(u"a.x", u"NUMBER", u"=", u"1", u"OR") +
                   Clause(u"a.y", u"NUMBER", u"=", u"2", u"AND") +
                   Clause(u"a.z", u"NUMBER", u"=", u"3", u"OR") +
                   Clause(u"a.v", u"NUMBER", u"=", u"4", u"AND")),
            u" A.W = 0 AND  ( A.X = 1 OR  A.Y = 2 ) AND  ( A.Z = 3 OR  A.V = 4 ) ");
  // Another word neither opens nor closes a bracket and stays at the end.
  EXPECT_EQ(Column(Clause(u"a.x", u"NUMBER", u"=", u"1", u"not")), u" A.X = 1 NOT ");
}

TEST_F(SearchConditionTest, RelationWordsAndTypes) {
  EXPECT_EQ(Column(Clause(u"a.x", u"NUMBER", u"lt", u"5", u"AND")), u" A.X < 5 ");
  EXPECT_EQ(Column(Clause(u"a.x", u"NUMBER", u"gt", u"5", u"AND")), u" A.X > 5 ");
  // Only the lower-case words compare: upper case goes into the SQL as operator text.
  EXPECT_EQ(Column(Clause(u"a.x", u"NUMBER", u"LT", u"5", u"AND")), u" A.X LT 5 ");
  // "date" in lower case takes the dialect's date literal; a number type leaves the value bare.
  EXPECT_EQ(Column(Clause(u"b.in_time", u"date", u">=", u"2026-01-01", u"AND")),
            u" B.IN_TIME >= to_date('2026-01-01', 'YYYY-MM-DD HH24:MI:SS') ");
  EXPECT_EQ(Column(Clause(u"a.catalog_id", u"number", u"in", u" (1, 2) ", u"AND")),
            u" A.CATALOG_ID in (1,2) ");
  EXPECT_EQ(Column(Clause(u"a.x", u"OTHER", u"=", u"A.Y", u"AND")), u" A.X = A.Y ");
  // "$" with STRING writes the value once, inside the pattern.
  EXPECT_EQ(Column(Clause(u"b.name", u"STRING", u"$", u"李", u"AND")), u" B.NAME Like '%李%' ");
}

TEST_F(SearchConditionTest, QuotedValuesHaveTheirQuotesDoubled) {
  EXPECT_EQ(Column(Clause(u"b.name", u"STRING", u"=", u"O'Brien' OR 'a'='a", u"AND")),
            u" B.NAME = 'O''Brien'' OR ''a''=''a' ");
  EXPECT_EQ(Column(Clause(u"b.name", u"STRING", u"$", u"O'B", u"AND")), u" B.NAME Like '%O''B%' ");
  EXPECT_EQ(Column(Clause(u"b.in_time", u"DATE", u"=", u"2026') OR ('1", u"AND")),
            u" B.IN_TIME = to_date('2026'') OR (''1', 'YYYY-MM-DD HH24:MI:SS') ");
}

TEST_F(SearchConditionTest, ANumberValueMustBeANumberOrAListOfNumbers) {
  EXPECT_EQ(Column(Clause(u"a.x", u"number", u">=", u" -2.5 ", u"AND")), u" A.X >= -2.5 ");
  for (const char16_t* value : {u"0 OR 1=1", u"1) OR (1", u"(1, 2 OR 1=1)", u"()", u"1e3"}) {
    EXPECT_NE(ColumnFailure(u"<root>" + Clause(u"a.x", u"NUMBER", u"=", value, u"AND") + u"</root>")
                  .find(u"不是有效的数字: '"),
              std::u16string::npos)
        << korvalis::ToUtf8(value);
  }
  EXPECT_EQ(
      ColumnFailure(u"<root>" + Clause(u"a.x", u"NUMBER", u"=", u"0 OR 1=1", u"AND") + u"</root>"),
      u"不是有效的数字: '0 OR 1=1' (right)");
}

TEST_F(SearchConditionTest, EveryPartOfAColumnClauseIsRequired) {
  const std::u16string complete[] = {u"b.name", u"STRING", u"=", u"x", u"AND"};
  for (int part = 0; part < 5; ++part) {
    std::u16string parts[5];
    for (int i = 0; i < 5; ++i) parts[i] = i == part ? u"" : complete[i];
    EXPECT_EQ(ColumnFailure(u"<root>" + Clause(parts[0], parts[1], parts[2], parts[3], parts[4]) +
                            u"</root>"),
              kColumnMessage)
        << part;
  }
  EXPECT_EQ(ColumnFailure(u"<root><clause logic=\"AND\">b.name</clause></root>"), kColumnMessage);
  EXPECT_EQ(ColumnFailure(u"<root><clause>"), u"无效XML!");
}

TEST_F(SearchConditionTest, PathClausesCompareOrSearchTheText) {
  EXPECT_EQ(Path(u"5", PathClause(u"/root/diagnosis", u"", u"and", u"肺炎")),
            u"CATALOG_ID = 5 AND  CONTAINS(C.XML_TEXT, '肺炎 INPATH(/root/diagnosis)') > 0 ");
  for (const char16_t* relation : {u">", u"<", u"="}) {
    EXPECT_EQ(Path(u"", PathClause(u"/root/age", relation, u"AND", u"30")),
              u" EXTRACTVALUE(C.XML_TEXT, '/root/age') " + std::u16string(relation) + u" '30' ");
  }
  EXPECT_EQ(Path(u"", PathClause(u"/root/age", u"lt", u"AND", u"30")),
            u" EXTRACTVALUE(C.XML_TEXT, '/root/age') < '30' ");
  EXPECT_EQ(Path(u"", PathClause(u"/root/age", u"gt", u"AND", u"30")),
            u" EXTRACTVALUE(C.XML_TEXT, '/root/age') > '30' ");
  // Only ">", "<" and "=" compare: any other relation searches the text.
  for (const char16_t* relation : {u">=", u"<>", u"GT"}) {
    EXPECT_EQ(Path(u"", PathClause(u"/root/age", relation, u"AND", u"30")),
              u" CONTAINS(C.XML_TEXT, '30 INPATH(/root/age)') > 0 ")
        << korvalis::ToUtf8(relation);
  }
  EXPECT_EQ(
      Path(u"", PathClause(u"/r/a", u"=", u"or", u"1") + PathClause(u"/r/b", u"=", u"OR", u"2")),
      u" ( EXTRACTVALUE(C.XML_TEXT, '/r/a') = '1' OR  EXTRACTVALUE(C.XML_TEXT, '/r/b') = '2' ) ");
}

TEST_F(SearchConditionTest, ACatalogueAloneEndsInOneBlank) {
  EXPECT_EQ(Path(u"10", u""), u"CATALOG_ID = 10 ");
}

TEST_F(SearchConditionTest, PathsAndValuesHaveTheirQuotesDoubled) {
  EXPECT_EQ(Path(u"", PathClause(u"/r/a[@b='x']", u"=", u"AND", u"it's")),
            u" EXTRACTVALUE(C.XML_TEXT, '/r/a[@b=''x'']') = 'it''s' ");
  EXPECT_EQ(Path(u"", PathClause(u"/r/a", u"", u"AND", u"x') > 0 OR 1=1 OR ('")),
            u" CONTAINS(C.XML_TEXT, 'x'') > 0 OR 1=1 OR ('' INPATH(/r/a)') > 0 ");
}

TEST_F(SearchConditionTest, PathConditionFailures) {
  EXPECT_EQ(PathFailure(u"<root/>"), kPathMessage);  // no catalogid
  EXPECT_EQ(PathFailure(u""), kPathMessage);
  EXPECT_EQ(PathFailure(u"<root><catalogid/>" + PathClause(u"", u"=", u"AND", u"1") + u"</root>"),
            kPathMessage);
  EXPECT_EQ(PathFailure(u"<root><catalogid/>" + PathClause(u"/a", u"=", u"", u"1") + u"</root>"),
            kPathMessage);
  EXPECT_EQ(PathFailure(u"<root><catalogid/>" + PathClause(u"/a", u"=", u"AND", u"") + u"</root>"),
            kPathMessage);
  // The catalogue stands bare in the statement: only a number is taken.
  EXPECT_EQ(PathFailure(u"<root><catalogid>1 OR 1=1</catalogid></root>"),
            u"不是有效的数字: '1 OR 1=1' (catalogid)");
  EXPECT_EQ(PathFailure(u"<root><catalogid>1</catalogid>"), u"无效XML!");
}

TEST(SearchConditionUpperCaseTest, EveryLetterWithAnUpperCaseFormIsUpperCased) {
  EXPECT_EQ(CBEMRLibrary::ToUpper(u""), u"");
  EXPECT_EQ(CBEMRLibrary::ToUpper(u"b.in_time"), u"B.IN_TIME");
  // Beyond ASCII: accented Latin, Greek, Cyrillic and full-width letters; Chinese has no case,
  // and a letter without a one-character upper-case form stays.
  EXPECT_EQ(CBEMRLibrary::ToUpper(u"éçñ ωσ жд ｄａｔｅ 姓名 ß"), u"ÉÇÑ ΩΣ ЖД ＤＡＴＥ 姓名 ß");
  // A letter outside the basic plane, and an unpaired surrogate, which stays.
  EXPECT_EQ(CBEMRLibrary::ToUpper(u"\U00010428x\xD800"), u"\U00010400X\xD800");
}

}  // namespace
