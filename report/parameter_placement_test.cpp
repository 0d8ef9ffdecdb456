#include "report/parameter_placement.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/data/db_type.h"
#include "foundation/testing/emr_exception_test_util.h"
#include "platform/text/unicode.h"

namespace korvalis::report {
namespace {

using korvalis::testing::FailureOf;

class ParameterPlacementTest : public ::testing::Test {
 protected:
  std::string Place(std::u16string_view sql, const ReportParameters& parameters) {
    return ToUtf8(PlaceParameters(sql, parameters, oracle_));
  }
  std::u16string Refusal(std::u16string_view sql, const ReportParameters& parameters) {
    return FailureOf([&] { PlaceParameters(sql, parameters, oracle_); });
  }

  CDBOracle oracle_;
};

TEST_F(ParameterPlacementTest, StringAndDateValuesHaveTheirQuotesDoubled) {
  const ReportParameters parameters = {
      {u"name", {ParameterType::kString, u"O'Brien' OR '1'='1"}},
      {u"from", {ParameterType::kDate, u"2026-11-01') OR 1=1 --"}}};
  EXPECT_EQ(Place(u"WHERE NAME = {name} AND IN_TIME >= {from}", parameters),
            "WHERE NAME = 'O''Brien'' OR ''1''=''1' AND IN_TIME >= "
            "to_date('2026-11-01'') OR 1=1 --', 'YYYY-MM-DD HH24:MI:SS')");
  CDBSQLServer server;
  EXPECT_EQ(ToUtf8(PlaceParameters(u"{from}", {{u"from", {ParameterType::kDate, u"x'y"}}}, server)),
            "CONVERT(DATETIME, 'x''y', 20)");
}

TEST_F(ParameterPlacementTest, BareValuesOutsideQuotesMustBeNumbers) {
  const auto bare = [](std::u16string value) {
    return ReportParameters{{u"ids", {ParameterType::kBare, std::move(value)}}};
  };
  EXPECT_EQ(Place(u"WHERE ID IN ({ids})", bare(u"3, 4")), "WHERE ID IN (3,4)");
  EXPECT_EQ(Place(u"WHERE ID = {ids}", bare(u"-2.5")), "WHERE ID = -2.5");
  EXPECT_EQ(Refusal(u"WHERE ID = {ids}", bare(u"1 OR 1=1")), u"不是有效的数字: '1 OR 1=1' (ids)");
  EXPECT_EQ(Refusal(u"WHERE ID = {ids}", bare(u"")), u"不是有效的数字: '' (ids)");
  EXPECT_EQ(Refusal(u"WHERE ID IN ({ids})", bare(u"3,,4")), u"不是有效的数字: '3,,4' (ids)");
  // A negative number after a minus would turn the rest of the line into a comment.
  EXPECT_EQ(Place(u"WHERE A = B -{ids} AND DEPT = 1", bare(u"-1")),
            "WHERE A = B - -1 AND DEPT = 1");
}

// A delimited literal takes a value as it is, none of its quotes doubled; a value that would
// close it, alone or with the literal's own text beside it, is refused.
TEST_F(ParameterPlacementTest, ValuesInsideADelimitedLiteralCannotEndIt) {
  const ReportParameters parameters = {{u"s", {ParameterType::kString, u"it's"}},
                                       {u"n", {ParameterType::kBare, u"1]' OR 1=1 --"}},
                                       {u"b", {ParameterType::kBare, u"x]"}},
                                       {u"q", {ParameterType::kBare, u"'y"}},
                                       {u"m", {ParameterType::kBare, u"-1"}}};
  EXPECT_EQ(Place(u"WHERE A = q'[{s}]' AND B = Nq'!{s}!' AND C = {s} AND D = q'<{b}>'",
                  parameters),
            "WHERE A = q'[it's]' AND B = Nq'!it's!' AND C = 'it''s' AND D = q'<x]>'");
  EXPECT_EQ(Place(u"WHERE A = q'!{q}!' AND B = q'[-{m}]'", parameters),
            "WHERE A = q'!'y!' AND B = q'[--1]'");
  EXPECT_EQ(Refusal(u"WHERE A = q'[{n}]'", parameters),
            u"参数值会结束它所在的分隔字符串: '1]' OR 1=1 --' (n)");
  EXPECT_EQ(Refusal(u"WHERE A = q'[{b}' OR 1=1 --]'", parameters),
            u"参数值会结束它所在的分隔字符串: 'x]' (b)");
  EXPECT_EQ(Refusal(u"WHERE A = q'[a]{q}]'", parameters),
            u"参数值会结束它所在的分隔字符串: ''y' (q)");
  // A word ending in q before a quote opens an ordinary literal.
  EXPECT_EQ(Place(u"WHERE SEQ'{s}'", parameters), "WHERE SEQ'it''s'");
}

TEST_F(ParameterPlacementTest, ValuesInsideTheAuthorsQuotesCannotEndThem) {
  const ReportParameters parameters = {{u"n", {ParameterType::kBare, u"1' OR '1'='1"}},
                                       {u"s", {ParameterType::kString, u"a'b"}},
                                       {u"d", {ParameterType::kDate, u"2026"}}};
  EXPECT_EQ(Place(u"WHERE CODE = '{n}' AND NOTE LIKE '%{n}%'", parameters),
            "WHERE CODE = '1'' OR ''1''=''1' AND NOTE LIKE '%1'' OR ''1''=''1%'");
  // A STRING or DATE value between the author's quotes is the literal's content.
  EXPECT_EQ(Place(u"'{s}' '%{s}%' TO_DATE('{d}', 'YYYY')", parameters),
            "'a''b' '%a''b%' TO_DATE('2026', 'YYYY')");
  EXPECT_EQ(Place(u"\"{s}\"", {{u"s", {ParameterType::kString, u"x\"y"}}}), "\"x\"\"y\"");
  // After a doubled quote the literal goes on; after the closing one the text is SQL again.
  EXPECT_EQ(Place(u"'it''s {n}' = {s}", parameters), "'it''s 1'' OR ''1''=''1' = 'a''b'");
  EXPECT_EQ(Place(u"SELECT 1 AS \"{n}\" FROM DUAL",
                  {{u"n", {ParameterType::kBare, u"x\" FROM SECRET --"}}}),
            "SELECT 1 AS \"x\"\" FROM SECRET --\" FROM DUAL");
}

TEST_F(ParameterPlacementTest, QuotesInCommentsAndQuotedNamesOpenNoLiteral) {
  const ReportParameters number = {{u"n", {ParameterType::kBare, u"1 OR 1=1"}}};
  for (std::u16string_view sql :
       {u"SELECT A \"it's\" FROM T WHERE ID = {n}", u"SELECT A -- it's\nFROM T WHERE ID = {n}",
        u"SELECT A /* it's */ FROM T WHERE ID = {n}"}) {
    SCOPED_TRACE(ToUtf8(sql));
    EXPECT_EQ(Refusal(sql, number), u"不是有效的数字: '1 OR 1=1' (n)");
  }
  // A placeholder in a comment is no part of the statement: left as written, not checked.
  EXPECT_EQ(Place(u"SELECT 1 -- AND ID = {n}\nFROM DUAL /* {n} */", number),
            "SELECT 1 -- AND ID = {n}\nFROM DUAL /* {n} */");
  // "--" and "/*" inside a literal open no comment.
  EXPECT_EQ(
      Place(u"WHERE A = '--' AND B = '/*' AND ID IN ({n})", {{u"n", {ParameterType::kBare, u"7"}}}),
      "WHERE A = '--' AND B = '/*' AND ID IN (7)");
}

TEST_F(ParameterPlacementTest, ValuesAreNeverSearchedAgain) {
  const ReportParameters parameters = {{u"a", {ParameterType::kString, u"{b}"}},
                                       {u"b", {ParameterType::kBare, u"2"}}};
  EXPECT_EQ(Place(u"{a} {b} {b}{a}", parameters), "'{b}' 2 2'{b}'");
}

TEST_F(ParameterPlacementTest, OnlyPlaceholdersOfKnownCodesChange) {
  const ReportParameters parameters = {{u"unused", {ParameterType::kBare, u"not a number"}},
                                       {u"a", {ParameterType::kBare, u"1"}},
                                       {u"a}b", {ParameterType::kBare, u"2"}}};
  EXPECT_EQ(Place(u"SELECT '{x}', \"{x}\" FROM T {a -- {x}", parameters),
            "SELECT '{x}', \"{x}\" FROM T {a -- {x}");
  // Where two codes match at one place, the lower one wins.
  EXPECT_EQ(Place(u"{a}b}", parameters), "1b}");
}

// Outside quotes braces are no SQL: a placeholder that no parameter fills would only fail on
// the database, so it is refused by name.
TEST_F(ParameterPlacementTest, APlaceholderOutsideQuotesThatNoParameterFillsIsRefused) {
  const ReportParameters parameters = {{u"a", {ParameterType::kBare, u"1"}}};
  EXPECT_EQ(Refusal(u"SELECT NAME FROM T WHERE DEPT = {dept} AND A = {a}", parameters),
            u"报表参数未赋值,无法生成报表: {dept}");
  EXPECT_EQ(Refusal(u"WHERE '{a}' = {科室.id-2}", {}), u"报表参数未赋值,无法生成报表: {科室.id-2}");
  EXPECT_EQ(Refusal(u"WHERE q'[{a}]' = {a}", {}), u"报表参数未赋值,无法生成报表: {a}");
}

// The placed statement is bounded: a value placed thousands of times is refused before the
// statement grows past the bound, and a statement exactly at it is placed.
TEST_F(ParameterPlacementTest, ThePlacedStatementIsBounded) {
  std::u16string many = u"SELECT '";
  for (int i = 0; i < 4000; ++i) many += u"{p}";
  many += u"' FROM DUAL";
  const ReportParameters large = {{u"p", {ParameterType::kString, std::u16string(100000, u'x')}}};
  EXPECT_THROW(PlaceParameters(many, large, oracle_), PlacedStatementTooLong);

  const std::u16string sql = u"SELECT {p} FROM DUAL";
  const std::size_t room = kMaxPlacedStatementUnits - (sql.size() - 3) - 2;
  const auto value = [](std::size_t size) {
    return ReportParameters{{u"p", {ParameterType::kString, std::u16string(size, u'x')}}};
  };
  EXPECT_EQ(PlaceParameters(sql, value(room), oracle_).size(), kMaxPlacedStatementUnits);
  EXPECT_THROW(PlaceParameters(sql, value(room + 1), oracle_), PlacedStatementTooLong);
  // Quotes doubled count as they are placed.
  EXPECT_THROW(PlaceParameters(sql, {{u"p", {ParameterType::kString, std::u16string(room, u'\'')}}},
                               oracle_),
               PlacedStatementTooLong);
  // The author's own text is held to the bound too.
  EXPECT_THROW(PlaceParameters(u"SELECT '" + std::u16string(kMaxPlacedStatementUnits, u'x') + u"'",
                               {}, oracle_),
               PlacedStatementTooLong);
}

}  // namespace
}  // namespace korvalis::report
