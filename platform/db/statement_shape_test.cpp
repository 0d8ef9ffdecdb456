#include "platform/db/statement_shape.h"

#include <gtest/gtest.h>

#include "platform/db/testing/db_test_util.h"
#include "platform/db/testing/engine_database.h"

namespace korvalis::db {
namespace {

using testing::Query;
using testing::Rows;

TEST(StatementShape, TakesOutTheValuesOfDateLiterals) {
  std::optional<StatementShape> shape = ShapeQuery(
      "select trunc(to_date('2026-12-07 09:30:00', 'YYYY-MM-DD HH24:MI:SS') - OUT_TIME), "
      "'to_date(''x'', ''y'')' \"TO_DATE('z', 'f')\" FROM T -- TO_DATE('c', 'f')\n"
      "WHERE /* TO_DATE('d', 'f') */ IN_TIME >= To_Date ( ' 2026' ,'YYYY' ) AND "
      "D = TO_DATE('2026-12-07 09:30:00', 'YYYY-MM-DD HH24:MI:SS') AND "
      "E < TO_DATE('O''Brien', 'YYYY') AND F < TO_DATE('2026-02-29', 'YYYY-MM-DD')");
  ASSERT_TRUE(shape.has_value());
  // A value that is no date by its format stays in the text, which is refused as written.
  EXPECT_EQ(shape->text,
            "select trunc(to_date('\x01" "1\x01', 'YYYY-MM-DD HH24:MI:SS') - OUT_TIME), "
            "'to_date(''x'', ''y'')' \"TO_DATE('z', 'f')\" FROM T -- TO_DATE('c', 'f')\n"
            "WHERE /* TO_DATE('d', 'f') */ IN_TIME >= To_Date ( '\x01" "2\x01' ,'YYYY' ) AND "
            "D = TO_DATE('\x01" "1\x01', 'YYYY-MM-DD HH24:MI:SS') AND "
            "E < TO_DATE('O''Brien', 'YYYY') AND F < TO_DATE('2026-02-29', 'YYYY-MM-DD')");
  EXPECT_EQ(shape->values, (std::vector<std::string>{"2026-12-07 09:30:00", " 2026"}));
  EXPECT_EQ(shape->literals, (std::vector<std::string>{"2026-12-07 09:30:00", " 2026"}));
  EXPECT_EQ(shape->formats, (std::vector<std::string>{"YYYY-MM-DD HH24:MI:SS", "YYYY"}));

  // One marker stands for one value read one way: the same text under two models, or as a
  // key, takes a marker of each.
  shape = ShapeQuery("SELECT 1 FROM T WHERE ID = 'MAR 2026' AND A = TO_DATE('MAR 2026', "
                     "'MON YYYY') AND B = TO_DATE('MAR 2026', 'mon yyyy') AND "
                     "C = TO_DATE('MAR 2026', 'MON YYYY')");
  ASSERT_TRUE(shape.has_value());
  EXPECT_EQ(shape->formats, (std::vector<std::string>{"", "MON YYYY", "mon yyyy"}));
  EXPECT_NE(shape->text.find("C = TO_DATE('\x01" "2\x01'"), std::string::npos) << shape->text;

  // Only queries, and only a literal value given with a literal format.
  for (const char* unshaped :
       {"INSERT INTO T VALUES (TO_DATE('2026-01-01', 'YYYY-MM-DD'))",
        "UPDATE T SET D = TO_DATE('2026-01-01', 'YYYY-MM-DD')",
        "SELECTED FROM T WHERE D = TO_DATE('2026-01-01', 'YYYY-MM-DD')",
        "SELECT TO_DATE('2026-01-01') FROM DUAL", "SELECT TO_DATE('', 'YYYY') FROM DUAL",
        "SELECT TO_DATE(A, 'YYYY'), TO_DATE('2026', F), TO_DATE('2026', 'YYYY' || 'MM') FROM T",
        "SELECT X.TO_DATE('2026', 'YYYY'), MY_TO_DATE('2026', 'YYYY') FROM T",
        "SELECT TO_DATE/**/('2026', 'YYYY') FROM DUAL",
        "SELECT TO_DATE('2026', 'YYYY'), '\x01' FROM DUAL",
        "SELECT TO_DATE('2026', 'YYYY') FROM DUAL WHERE A = 'unterminated"}) {
    EXPECT_FALSE(ShapeQuery(unshaped).has_value()) << unshaped;
  }
}

TEST(StatementShape, TakesOutTextsComparedForEquality) {
  std::optional<StatementShape> shape = ShapeQuery(
      "SELECT NAME FROM T WHERE ID = 'p42' AND \"Code\"='x''y' AND (B.K = 'p42') "
      "AND D = TO_DATE('2026-01-01', 'YYYY-MM-DD') ORDER BY 1");
  ASSERT_TRUE(shape.has_value());
  EXPECT_EQ(shape->text,
            "SELECT NAME FROM T WHERE ID = '\x01" "1\x01' AND \"Code\"='\x01" "2\x01' AND "
            "(B.K = '\x01" "1\x01') AND D = TO_DATE('\x01" "3\x01', 'YYYY-MM-DD') ORDER BY 1");
  EXPECT_EQ(shape->values, (std::vector<std::string>{"p42", "x'y", "2026-01-01"}));
  EXPECT_EQ(shape->literals, (std::vector<std::string>{"p42", "x''y", "2026-01-01"}));

  // A delimited literal is text of its own, whatever quotes it holds.
  const std::string delimited = "SELECT q'(a' AND B = 'y' AND ')' AS Q FROM T WHERE ID = ";
  shape = ShapeQuery(delimited + "'p1'");
  ASSERT_TRUE(shape.has_value());
  EXPECT_EQ(shape->text, delimited + "'\x01" "1\x01'");
  EXPECT_EQ(shape->values, (std::vector<std::string>{"p1"}));
  EXPECT_FALSE(ShapeQuery("SELECT A FROM T WHERE ID = 'x' AND B = q'[x'").has_value());

  // Texts the translation reads (numbers, dates, NULL), other comparisons, literals that are
  // operands of something else, rewritten names, and statements other than queries.
  for (const char* unshaped :
       {"SELECT A FROM T WHERE ID = '42'", "SELECT A FROM T WHERE ID = ' -1.5e3'",
        "SELECT A FROM T WHERE D = '2008-01-01'", "SELECT A FROM T WHERE D = '2008-01-01 10:00'",
        "SELECT A FROM T WHERE D = '2008-1-1 8:00'", "SELECT A FROM T WHERE D = ' 2008-01-01'",
        "SELECT A FROM T WHERE ID = ''", "SELECT A FROM T WHERE ID <> 'x'",
        "SELECT A FROM T WHERE ID != 'x'", "SELECT A FROM T WHERE ID >= 'x'",
        "SELECT A FROM T WHERE ID = 'x' || 'y'", "SELECT A FROM T WHERE ID = 'x' + 1",
        "SELECT A FROM T WHERE NVL(ID, 'a') = 'x'", "SELECT A FROM T WHERE 'x' = ID",
        "SELECT A FROM T WHERE ROWNUM = 'x'", "SELECT A FROM T WHERE level = 'x'",
        "SELECT A FROM T WHERE ID = N'x'", "SELECT A FROM T WHERE ID =/**/ 'x'",
        "SELECT A FROM T WHERE 1 = 'x'", "SELECT A FROM T WHERE ID = 'x' ESCAPE",
        "UPDATE T SET A = 'x' WHERE ID = 'y'", "DELETE FROM T WHERE ID = 'y'"}) {
    EXPECT_FALSE(ShapeQuery(unshaped).has_value()) << unshaped;
  }
}

TEST(StatementShape, MarkersBecomeParametersOnlyAsLiteralsOfTheirOwn) {
  std::string sql =
      "SELECT ora_to_date('\x01" "1\x01', 'YYYY') AS \"TO_DATE('\x01" "1\x01','YYYY')\", "
      "ora_to_date('\x01" "2\x01', 'MM') FROM t WHERE a = 'it''s' AND b = ora_to_date('\x01" "1\x01', 'YYYY')";
  ASSERT_TRUE(BindMarkers(&sql, 2));
  EXPECT_EQ(sql,
            "SELECT ora_to_date(?1, 'YYYY') AS \"TO_DATE('\x01" "1\x01','YYYY')\", "
            "ora_to_date(?2, 'MM') FROM t WHERE a = 'it''s' AND b = ora_to_date(?1, 'YYYY')");
  EXPECT_EQ(ColumnNameWithValues("TO_DATE('\x01" "1\x01','YYYY')-TO_DATE('\x01" "2\x01','MM')",
                                 {"2026", "O''Brien"}),
            "TO_DATE('2026','YYYY')-TO_DATE('O''Brien','MM')");

  for (std::string refused : {
           std::string("SELECT ora_to_date('\x01" "1\x01', 'YYYY') FROM t"),  // marker 2 missing
           std::string("SELECT '\x01" "1\x01' || '\x01" "3\x01' FROM t"),     // no marker 3
           std::string("SELECT 'a\x01" "1\x01', '\x01" "2\x01' FROM t"),      // inside a literal
           std::string("SELECT '\x01" "1\x01', '\x01" "2\x01' FROM t /*\x01*/"),
           std::string("SELECT '\x01" "1\x01', '\x01" "2\x01"),               // unterminated
       }) {
    const std::string before = refused;
    EXPECT_FALSE(BindMarkers(&refused, 2)) << before;
    EXPECT_EQ(refused, before);
  }
}

// The date a value of the stored form's models is bound as on the server.
TEST(StatementShape, DateValuesOfTheStoredFormAreBoundAsTheirDate) {
  struct Case {
    const char* value;
    const char* format;
    std::optional<std::string> bound;
  };
  const Case kCases[] = {
      {"2026-01-15", "YYYY-MM-DD", "2026-01-15 00:00:00"},
      {" 2026-01-15  ", "yyyy-mm-dd", "2026-01-15 00:00:00"},
      {"2026-01-15", "YYYY-MM-DD HH24:MI:SS", "2026-01-15 00:00:00"},
      {"2026-01-15 10:30", "YYYY-MM-DD HH24:MI:SS", "2026-01-15 10:30:00"},
      {"2024-02-29 23:59:59", "yyyy-MM-dd hh24:mi:ss", "2024-02-29 23:59:59"},
      {"2026-01-15 10:30", "YYYY-MM-DD", std::nullopt},  // more than the model reads
      {"2026-1-15", "YYYY-MM-DD", std::nullopt},         // read by the model, not stored form
      {"2026-02-29", "YYYY-MM-DD", std::nullopt},
      {"2026-01-15 24:00:00", "YYYY-MM-DD HH24:MI:SS", std::nullopt},
      {"0000-01-01", "YYYY-MM-DD", std::nullopt},
      {"  ", "YYYY-MM-DD", std::nullopt},
  };
  for (const Case& c : kCases) {
    EXPECT_TRUE(BindsAsDate(c.format));
    EXPECT_EQ(BoundDate(c.value, c.format), c.bound) << c.value << " " << c.format;
  }
  for (const char* other : {"YYYY-MM-DD HH24:MI", "DD-MM-YYYY", "YYYY", ""}) {
    EXPECT_FALSE(BindsAsDate(other)) << other;
  }
}

class ShapeTest : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    c_ = testing::OpenEmptyDatabase(GetParam());
    c_->Execute("CREATE TABLE T_VISIT (ID NUMBER(10), IN_TIME DATE, OUT_TIME DATE)");
    c_->Execute("INSERT INTO T_VISIT VALUES (1, TO_DATE('2026-01-01 08:00:00', "
                "'YYYY-MM-DD HH24:MI:SS'), TO_DATE('2026-01-05 09:00:00', 'YYYY-MM-DD HH24:MI:SS'))");
    c_->Execute("INSERT INTO T_VISIT VALUES (2, TO_DATE('2026-02-01 08:00:00', "
                "'YYYY-MM-DD HH24:MI:SS'), NULL)");
  }

  // The error text of `sql`, or "" when it runs.
  std::string Error(const std::string& sql) {
    try {
      Query(*c_, sql);
    } catch (const DbError& e) {
      return e.what();
    }
    return "";
  }

  std::unique_ptr<Connection> c_;
};

// The same query shape run with changing values, new and kept: each run gives the rows and
// names of its own text, as the text written without a shape (a comment after TO_DATE) does.
TEST_P(ShapeTest, QueriesThatDifferInDatesGiveTheRowsOfTheirOwnText) {
  // The first value stands both in a comparison and in arithmetic: one marker, two uses.
  const char* kQuery =
      "SELECT ID, TRUNC(TO_DATE%s('%s', 'YYYY-MM-DD HH24:MI:SS') - IN_TIME) FROM T_VISIT "
      "WHERE IN_TIME >= TO_DATE%s('%s', 'YYYY-MM-DD') AND "
      "IN_TIME <= TO_DATE%s('%s', 'YYYY-MM-DD HH24:MI:SS') ORDER BY ID";
  const char* kNow[] = {"2026-03-01 00:00:00", "2026-03-01 00:00:01", "2026-02-02 07:59:59",
                        "2026-02-02 08:00:00", "2026-01-01 08:00:00"};
  const char* kFrom[] = {"2025-12-31", "2026-01-15", "2026-01-01", "2026-01-01", "2026-03-01"};
  char shaped[512], written[512];
  for (int round = 0; round < 2; ++round) {
    for (std::size_t i = 0; i < std::size(kNow); ++i) {
      std::snprintf(shaped, sizeof shaped, kQuery, "", kNow[i], "", kFrom[i], "", kNow[i]);
      std::snprintf(written, sizeof written, kQuery, "/**/", kNow[i], "/**/", kFrom[i], "/**/",
                    kNow[i]);
      ASSERT_EQ(ShapeQuery(shaped)->values.size(), 2u);
      ASSERT_FALSE(ShapeQuery(written).has_value());
      EXPECT_EQ(Query(*c_, shaped), Query(*c_, written)) << shaped;
    }
  }
  EXPECT_EQ(Query(*c_, "SELECT ID, TRUNC(TO_DATE('2026-02-02 08:00:00', 'YYYY-MM-DD HH24:MI:SS') - "
                       "IN_TIME) D FROM T_VISIT ORDER BY ID"),
            (Rows{{"1", "32"}, {"2", "1"}}));
  EXPECT_EQ(testing::ColumnNames(
                *c_, "select to_date('2026-01-02', 'YYYY-MM-DD'), to_date('2026', 'YYYY') "
                     "- in_time, TO_DATE('2026', 'YYYY') X FROM T_VISIT WHERE 1 = 0"),
            (std::vector<std::string>{"TO_DATE('2026-01-02','YYYY-MM-DD')",
                                      "TO_DATE('2026','YYYY')-IN_TIME", "X"}));
}

// Date values in and out of the stored form, under its models and others, one text read by
// two models in one query: the rows of the text as written, or its failure.
TEST_P(ShapeTest, DateValuesOfEveryFormGiveTheRowsOfTheirOwnText) {
  const char* kQuery =
      "SELECT ID, TO_DATE%s('%s', '%s') - IN_TIME FROM T_VISIT WHERE IN_TIME <= "
      "TO_DATE%s('%s', '%s') OR OUT_TIME = TO_DATE%s('%s', 'YYYY-MM-DD HH24:MI:SS') ORDER BY ID";
  const char* kValues[] = {"2026-01-15", " 2026-01-05 09:00:00 ", "2026-01-05 09:00",
                           "2026-1-5 9:00", "2026/01/15", "2026-02-30", "2026-01-15 10:30"};
  const char* kFormats[] = {"YYYY-MM-DD", "yyyy-mm-dd hh24:mi:ss", "YYYY-MM-DD HH24:MI", "YYYY"};
  char shaped[512], written[512];
  for (int round = 0; round < 2; ++round) {
    for (const char* value : kValues) {
      for (const char* format : kFormats) {
        std::snprintf(shaped, sizeof shaped, kQuery, "", value, format, "", value, format, "",
                      value);
        std::snprintf(written, sizeof written, kQuery, "/**/", value, format, "/**/", value,
                      format, "/**/", value);
        const std::string error = Error(written);
        ASSERT_TRUE(ShapeQuery(shaped).has_value() || !error.empty()) << shaped;
        EXPECT_EQ(Error(shaped), error) << shaped;
        if (error.empty()) {
          EXPECT_EQ(Query(*c_, shaped), Query(*c_, written)) << shaped;
        }
      }
    }
  }
  EXPECT_EQ(Query(*c_, "SELECT ID FROM T_VISIT WHERE OUT_TIME = "
                       "TO_DATE(' 2026-01-05 09:00 ', 'YYYY-MM-DD HH24:MI:SS')"),
            (Rows{{"1"}}));
}

// Values that are no dates fail as the written text fails, also once the shape is kept.
TEST_P(ShapeTest, BadValuesFailAsTheWrittenText) {
  for (const char* value : {"2008-13-07", "2008-02-30", "O''Brien", "2026-01-01 10:00"}) {
    const std::string shaped =
        std::string("SELECT ID FROM T_VISIT WHERE IN_TIME > TO_DATE('") + value + "', 'YYYY-MM-DD')";
    const std::string written =
        std::string("SELECT ID FROM T_VISIT WHERE IN_TIME > TO_DATE/**/('") + value +
        "', 'YYYY-MM-DD')";
    const std::string expected = Error(written);
    EXPECT_NE(expected, "");
    for (int run = 0; run < 3; ++run) EXPECT_EQ(Error(shaped), expected) << value;
  }
  // A shape whose text cannot be translated reports the text's own failure.
  EXPECT_EQ(Error("SELECT NO_SUCH_FUNCTION(TO_DATE('2026-01-01', 'YYYY-MM-DD')) FROM DUAL"),
            Error("SELECT NO_SUCH_FUNCTION(TO_DATE/**/('2026-01-01', 'YYYY-MM-DD')) FROM DUAL"));
}

// A constant that is no date or no number is refused whatever the rows, as Oracle refuses it:
// in a condition no row reaches and in the list of a query without rows, also once the shape
// of the statement with a good value is kept.
TEST_P(ShapeTest, ConstantsThatAreNoDatesOrNumbersAreRefusedWhateverTheRows) {
  struct Case {
    const char* query;  // %s: the value
    const char* good;
    const char* bad;
    const char* error;
  };
  const Case kCases[] = {
      {"SELECT COUNT(*) FROM T_VISIT WHERE ID = 0 AND IN_TIME > TO_DATE('%s', 'YYYY-MM-DD')",
       "2026-02-28", "2026-02-30", "ORA-01839"},
      {"SELECT COUNT(*) FROM T_VISIT WHERE ID = 0 AND IN_TIME > TO_DATE('%s', 'YYYY-MM-DD')",
       "2026-02-28", "2026-13-01", "ORA-01843"},
      {"SELECT COUNT(*) FROM T_VISIT WHERE ID = 0 AND IN_TIME < TO_DATE('%s', 'DD/MM/YYYY HH24:MI')",
       "28/02/2026 10:00", "30/02/2026 10:00", "ORA-01839"},
      {"SELECT TO_DATE('%s', 'YYYY-MM-DD HH24:MI:SS') FROM T_VISIT WHERE ID = 0",
       "2026-02-28 10:00:00", "2026-02-28 25:00:00", "ORA-01850"},
      {"SELECT COUNT(*) FROM T_VISIT WHERE ID = 0 AND IN_TIME = '%s'", "2026-01-01", "2026-13-01",
       "ORA-01861"},
      {"SELECT COUNT(*) FROM T_VISIT WHERE ID = 0 AND IN_TIME BETWEEN '%s' AND SYSDATE",
       "2026-01-01", "2026-02-30", "ORA-01861"},
      {"SELECT COUNT(*) FROM T_VISIT WHERE IN_TIME IS NULL AND ID = '%s'", "1", "abc",
       "ORA-01722"},
      {"SELECT COUNT(*) FROM T_VISIT WHERE ID = 0 AND OUT_TIME - IN_TIME > TO_NUMBER('%s')", "1",
       "1x", "ORA-01722"},
  };
  char good[256], bad[256];
  for (const Case& c : kCases) {
    std::snprintf(good, sizeof good, c.query, c.good);
    std::snprintf(bad, sizeof bad, c.query, c.bad);
    for (int run = 0; run < 2; ++run) EXPECT_EQ(Error(good), "") << good;
    for (int run = 0; run < 2; ++run) {
      const std::string error = Error(bad);
      EXPECT_EQ(error.rfind(c.error, 0), 0u) << bad << ": " << error;
    }
  }
}

// Records asked for by key, through a kept shape and as written: the same rows, names and
// failures, whatever the key's text and the type of the column it is compared with.
TEST_P(ShapeTest, QueriesThatDifferInKeysGiveTheRowsOfTheirOwnText) {
  c_->Execute("CREATE TABLE T_PATIENT (ID VARCHAR2(20), NAME VARCHAR2(20), CODE NUMBER(5), "
              "BORN DATE)");
  c_->Execute("INSERT INTO T_PATIENT VALUES ('p1', 'one', 1, TO_DATE('2008-01-01', 'YYYY-MM-DD'))");
  c_->Execute("INSERT INTO T_PATIENT VALUES ('O''Brien', 'two', 2, NULL)");
  c_->Execute("INSERT INTO T_PATIENT VALUES ('张三', 'three', 3, NULL)");
  c_->Execute("INSERT INTO T_PATIENT VALUES ('42', 'four', 42, NULL)");
  const char* kKeys[] = {"p1", "O''Brien", "张三", "none", "P1", "42", "", "p1 ", "2008-01-01"};
  const char* kQueries[] = {
      "SELECT NAME, (SELECT COUNT(*) FROM T_VISIT WHERE IN_TIME =%s '%s') N FROM T_PATIENT "
      "WHERE ID =%s '%s' ORDER BY NAME",
      "SELECT ID FROM T_PATIENT WHERE BORN =%s '%s' OR ID =%s '%s' ORDER BY ID",
      "SELECT ID FROM T_PATIENT WHERE CODE =%s '%s' OR NAME =%s '%s' ORDER BY ID",
  };
  char shaped[512], written[512];
  for (int round = 0; round < 2; ++round) {
    for (const char* key : kKeys) {
      for (const char* query : kQueries) {
        std::snprintf(shaped, sizeof shaped, query, "", key, "", key);
        std::snprintf(written, sizeof written, query, "/**/", key, "/**/", key);
        ASSERT_FALSE(ShapeQuery(written).has_value());
        const std::string error = Error(written);
        EXPECT_EQ(Error(shaped), error) << shaped;
        if (error.empty()) {
          EXPECT_EQ(Query(*c_, shaped), Query(*c_, written)) << shaped;
        }
      }
    }
  }
  EXPECT_EQ(Query(*c_, "SELECT NAME FROM T_PATIENT WHERE ID = 'O''Brien'"), (Rows{{"two"}}));
  EXPECT_NE(Error("SELECT ID FROM T_PATIENT WHERE CODE = 'abc'").find("ORA-01722"),
            std::string::npos);
  EXPECT_EQ(testing::ColumnNames(*c_, "SELECT (SELECT NAME FROM T_PATIENT WHERE ID = 'p1'), "
                                      "NAME FROM T_PATIENT WHERE ID = 'p1'"),
            (std::vector<std::string>{"(SELECTNAMEFROMT_PATIENTWHEREID='p1')", "NAME"}));
}

// A shape still being read while the same shape runs with other values inside it.
TEST_P(ShapeTest, NestedRunsOfOneShapeKeepTheirOwnValues) {
  const char* kOuter = "SELECT ID FROM T_VISIT WHERE IN_TIME < TO_DATE('2026-12-31', 'YYYY-MM-DD')";
  const char* kInner = "SELECT ID FROM T_VISIT WHERE IN_TIME < TO_DATE('2026-01-15', 'YYYY-MM-DD')";
  for (int run = 0; run < 3; ++run) {
    auto outer = c_->Execute(kOuter);
    int outer_rows = 0, inner_rows = 0;
    while (outer->Next()) {
      ++outer_rows;
      auto inner = c_->Execute(kInner);
      while (inner->Next()) ++inner_rows;
    }
    EXPECT_EQ(outer_rows, 2);
    EXPECT_EQ(inner_rows, 2);
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, ShapeTest, testing::kBothEngines, testing::EngineName);

}  // namespace
}  // namespace korvalis::db
