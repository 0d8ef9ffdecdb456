// The functions both engines run, on arguments at the lengths the engines admit: format models,
// replacement texts and search texts that overlap themselves are read in time linear in their
// length, so that they answer well within Command Timeout; failures carry Oracle's codes and
// name no function of the server's runtime.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <tuple>

#include "platform/db/connection_pool.h"
#include "platform/db/postgres_answer_wait.h"
#include "platform/db/sql_error.h"
#include "platform/db/testing/db_test_util.h"
#include "platform/db/testing/engine_database.h"

namespace korvalis::db {
namespace {

using testing::Scalar;

class RuntimeFunctionTest : public ::testing::TestWithParam<Engine> {
 protected:
  // The message of `sql`'s failure; empty when it answers.
  std::string FailureOf(const std::string& sql) {
    try {
      testing::Query(*c_, sql);
    } catch (const DbError& e) {
      return e.what();
    }
    return "";
  }

  testing::SharedEmptyDatabase database_{GetParam(), "runtime_function"};
  // Time enough for the linear work on a loaded machine, far too little for the quadratic.
  std::unique_ptr<Connection> c_ = OpenConnection(database_.init_string() + ";Command Timeout=5");
};

TEST_P(RuntimeFunctionTest, OracleAnswersWithOraclesCodes) {
  EXPECT_EQ(Scalar(*c_, "SELECT NVL(TO_CHAR(ROUND(NULL)), 'null') FROM DUAL"), "null");
  EXPECT_EQ(Scalar(*c_, "SELECT NVL(TO_CHAR(TRUNC(NULL, 2)), 'null') FROM DUAL"), "null");
  EXPECT_EQ(Scalar(*c_, "SELECT TRIM('a' FROM 'abcab') FROM DUAL"), "bcab");
  const struct {
    const char* sql;
    const char* error;
  } kFailures[] = {
      {"SELECT TRIM('ab' FROM 'abcab') FROM DUAL", "ORA-30001: "},
      {"SELECT TRIM(LEADING 'ab' FROM 'abcab') FROM DUAL", "ORA-30001: "},
      {"SELECT NEXT_DAY(DATE '2026-12-07', 2) FROM DUAL", "ORA-01846: "},
      {"SELECT 1e125 * 10 FROM DUAL", "ORA-01426: "},
      {"SELECT 9e125 + 9e125 FROM DUAL", "ORA-01426: "},
      {"SELECT TO_NUMBER(RPAD('9', 32767, '9')) FROM DUAL", "ORA-01426: "},
      // A variable has no value; a function is given the wrong type.
      {"SELECT EXTRACTVALUE('<a><b>1</b></a>', '/a/b[. = $v]') FROM DUAL",
       "ORA-31013: Invalid XPATH expression: /a/b[. = $v]"},
      {"SELECT EXTRACT('<a><b>1</b></a>', 'count($v)') FROM DUAL",
       "ORA-31013: Invalid XPATH expression: count($v)"},
      {"SELECT EXTRACTVALUE('<a/>', 'count(1)') FROM DUAL", "ORA-31013: "},
  };
  for (const auto& f : kFailures) {
    const std::string message = FailureOf(f.sql);
    EXPECT_TRUE(message.starts_with(f.error)) << f.sql << ": " << message;
    EXPECT_EQ(message.find("ora_"), std::string::npos) << message;
  }
  EXPECT_EQ(Scalar(*c_, "SELECT 1e124 * 10 FROM DUAL"), "1" + std::string(125, '0'));
}

TEST_P(RuntimeFunctionTest, FormatModelsAreReadInLinearTime) {
  // Models of 32,767 characters, computed when the statement runs.
  EXPECT_EQ(Scalar(*c_, "SELECT LENGTH(TO_CHAR(DATE '2026-12-09', RPAD('J', 32767, 'J'))) FROM DUAL"),
            "229369");
  EXPECT_EQ(Scalar(*c_, "SELECT LENGTH(TO_CHAR(DATE '2026-12-09', "
                        "RPAD('YYYY-MM-DD', 32750, ' HH24:MI \"at\" Ddspth'))) FROM DUAL"),
            "24565");
  EXPECT_EQ(Scalar(*c_, "SELECT TO_CHAR(TO_DATE('2026-12-09', RPAD('YYYY-MM-DD', 32767, '-')), "
                        "'YYYY-MM-DD') || ',' || TO_CHAR(TO_DATE(RPAD('2026-12-09', 32767, ' '), "
                        "'YYYY-MM-DD'), 'DD') FROM DUAL"),
            "2026-12-09,09");
  EXPECT_EQ(Scalar(*c_, "SELECT LENGTH(TO_CHAR(12, '9' || RPAD(',', 32000, ',') || '9')) || ',' || "
                        "LENGTH(TO_CHAR(12.5, 'FM9' || RPAD(',', 32000, ',') || '9.' || "
                        "RPAD('9', 700, '0'))) FROM DUAL"),
            "32003,32703");
}

TEST_P(RuntimeFunctionTest, ReplacementsAndOverlappingSearchesAreReadInLinearTime) {
  // A replacement of 1,048,544 characters, backslashes and references among them.
  EXPECT_EQ(Scalar(*c_, "SELECT LENGTH(REGEXP_REPLACE('abc', '(b)', REPLACE(RPAD('x', 32767, "
                        "'x'), 'x', RPAD('\\1', 32, 'y\\')))) FROM DUAL"),
            "1015779");
  EXPECT_EQ(Scalar(*c_, "SELECT REGEXP_REPLACE('abc', '(b)', '<\\1\\\\1\\x\\\\\\1>') FROM DUAL"),
            "a<b\\1\\x\\b>c");
  // 'aaaa' overlaps itself at every place of a run of 65,534 'a'.
  const std::string run = "RPAD('a', 32767, 'a') || RPAD('a', 32767, 'a')";
  EXPECT_EQ(Scalar(*c_, "SELECT INSTR(" + run + ", 'aaaa', 2, 64000) || ',' || INSTR(" + run +
                            ", 'aaaa', -3, 64000) || ',' || INSTR(" + run +
                            ", 'aaaa', 1, 65532) || ',' || INSTR('病病病病x', '病病', 2, 2) FROM DUAL"),
            "64001,1532,0,3");
}

TEST_P(RuntimeFunctionTest, SetsOfCharactersAreReadInLinearTime) {
  // Sets of 32,767 characters whose member found is the last, over texts of 32,767 and of
  // 2,000,000 characters.
  const std::string set = "RPAD('b', 32766, 'b') || 'a'";
  const std::string many = "REPLACE(RPAD('a', 20000, 'a'), 'a', RPAD('a', 100, 'a'))";
  EXPECT_EQ(Scalar(*c_, "SELECT NVL(LTRIM(RPAD('a', 32767, 'a'), " + set + "), 'none') || ',' || "
                        "LENGTH(RTRIM(RPAD('a', 32767, 'a') || 'x', " + set + ")) || ',' || "
                        "NVL(RTRIM(" + many + ", RPAD('c', 63, 'c') || 'a'), 'none') FROM DUAL"),
            "none,32768,none");
  EXPECT_EQ(Scalar(*c_, "SELECT LENGTH(TRANSLATE(RPAD('9', 32767, '9') || 'a', " + set +
                        ", RPAD('x', 32767, 'x') || 'y')) || ',' || "
                        "LENGTH(TRANSLATE(" + many + ", 'c' || RPAD('病', 62, '病') || 'a', "
                        "RPAD('x', 64, 'x'))) FROM DUAL"),
            "32768,2000000");
  EXPECT_EQ(Scalar(*c_, "SELECT TRANSLATE('病人abc', '人ab病' || RPAD('z', 70, 'z'), 'X1') || ',' || "
                        "TRANSLATE('a]^-\\b', RPAD('x', 70, 'x') || ']^-\\a', RPAD('y', 70, 'y') || "
                        "'1234') || ',' || LTRIM('a]^-\\b', RPAD('x', 70, 'x') || ']^-\\a') FROM DUAL"),
            "X1c,1234b,b");
}

// 1,376,216 bytes, more than the server maps at once: its pieces are cut inside a word and
// inside a character, and map as the whole text does.
TEST_P(RuntimeFunctionTest, LongTextsChangeCaseAsTheirWords) {
  auto text = [](const std::string& first, const std::string& words) {
    return "'" + first + " ' || REPLACE(RPAD('a', 32767, 'a'), 'a', RPAD('" + words + "', 30, '" +
           words + "'))";
  };
  const std::string given = text("a", "hÉLLO wÖRLD 病人 ");
  EXPECT_EQ(Scalar(*c_, "SELECT COUNT(*) FROM DUAL WHERE INITCAP(" + given + ") = " +
                            text("A", "Héllo Wörld 病人 ") + " AND UPPER(" + given + ") = " +
                            text("A", "HÉLLO WÖRLD 病人 ") + " AND LOWER(" + given + ") = " +
                            text("a", "héllo wörld 病人 ")),
            "1");
}

// A concatenation is refused with ORA-04030 before it joins texts past 134,217,728 bytes, the
// longest text one call builds on the server (the file refuses it at its memory bound).
TEST_P(RuntimeFunctionTest, AConcatenationOfTwoLongestTextsIsRefused) {
  c_->Execute("CREATE TABLE T_LETTER (BODY CLOB)");
  c_->Execute("INSERT INTO T_LETTER SELECT REPLACE(RPAD('a', 32767, 'a'), 'a', "
              "RPAD('a', 4096, 'a')) FROM DUAL");
  EXPECT_EQ(Scalar(*c_, "SELECT LENGTH(BODY || 'b') FROM T_LETTER"), "134213633");
  for (const char* sql : {"SELECT LENGTH(BODY || BODY) FROM T_LETTER",
                          "SELECT LENGTH(CONCAT('b', BODY) || BODY) FROM T_LETTER"}) {
    EXPECT_TRUE(FailureOf(sql).starts_with("ORA-04030: ")) << sql;
  }
}

TEST_P(RuntimeFunctionTest, ATextQueryIsCompiledInLinearTime) {
  c_->Execute("CREATE TABLE T_NOTE (ID NUMBER, BODY VARCHAR2(200))");
  c_->Execute("CREATE INDEX IX_T_NOTE ON T_NOTE (BODY) INDEXTYPE IS CTXSYS.CONTEXT");
  c_->Execute("INSERT INTO T_NOTE VALUES (1, 'fever and cough')");
  // A query of 32,766 characters, a phrase of 5,461 words; and 101 words joined by OR.
  EXPECT_EQ(Scalar(*c_, "SELECT COUNT(*) FROM T_NOTE WHERE CONTAINS(BODY, "
                        "RPAD('fever', 32766, ' fever')) > 0"),
            "0");
  EXPECT_EQ(Scalar(*c_, "SELECT COUNT(*) FROM T_NOTE WHERE CONTAINS(BODY, "
                        "RPAD('cough', 605, ' | van')) > 0"),
            "1");
  // Phrases of thousands of words with wildcards.
  EXPECT_EQ(Scalar(*c_, "SELECT COUNT(*) FROM T_NOTE WHERE CONTAINS(BODY, "
                        "RPAD('fe%', 32766, ' fe%')) + CONTAINS(BODY, RPAD('c_', 32766, ' c_')) > 0"),
            "0");
  // Chains of thousands of words, known when the statement runs and written in it.
  EXPECT_EQ(Scalar(*c_, "SELECT COUNT(*) FROM T_NOTE WHERE CONTAINS(BODY, "
                        "RPAD('cough', 32766, ' | van')) > 0"),
            "1");
  EXPECT_EQ(Scalar(*c_, "SELECT COUNT(*) FROM T_NOTE WHERE CONTAINS(BODY, "
                        "RPAD('fever', 32766, ' ~ van')) > 0"),
            "1");
  std::string chain = "cough";
  for (int i = 0; i < 1000; ++i) chain += " | van";
  EXPECT_EQ(Scalar(*c_, "SELECT COUNT(*) FROM T_NOTE WHERE CONTAINS(BODY, '" + chain + "') > 0"),
            "1");
}

INSTANTIATE_TEST_SUITE_P(Engines, RuntimeFunctionTest, testing::kBothEngines, testing::EngineName);

// A value past the server's largest allocation (1 GB) fails with ORA-04030, whichever function
// builds it.
TEST(ServerRuntimeTest, AValuePastTheServersLargestIsOutOfMemory) {
  testing::SharedEmptyDatabase database(Engine::kPostgres, "runtime_memory");
  std::unique_ptr<Connection> c = OpenConnection(database.init_string() + ";Command Timeout=120");
  // 419,417,600 characters.
  const std::string huge = "REPLACE(RPAD('x', 32767, 'x'), 'x', RPAD('a', 12800, 'a'))";
  for (const std::string& sql : {"SELECT LENGTH(UPPER(" + huge + ")) FROM DUAL",
                                 "SELECT LENGTH(LOWER(" + huge + ")) FROM DUAL"}) {
    try {
      testing::Query(*c, sql);
      ADD_FAILURE() << "answered: " << sql;
    } catch (const DbError& e) {
      EXPECT_TRUE(std::string_view(e.what()).starts_with("ORA-04030: ")) << e.what();
      EXPECT_EQ(e.code(), kProviderFailed) << e.what();
    }
  }
}

// position() and last() are numbers the context holds: a predicate comparing them reads each
// candidate once and answers over a large document at once on both engines, where one comparing
// position() with a path's value is still refused before it runs.
TEST(ServerRuntimeTest, APositionComparedWithTheLastIsLinearWork) {
  const std::string document = "'<r>' || REPLACE(RPAD('x', 30000, 'x'), 'x', '<b>x</b>') || '</r>'";
  const std::string last = "SELECT EXTRACTVALUE(" + document +
                           ", 'count(//b[position() = last()])') FROM DUAL";
  testing::SharedEmptyDatabase file(Engine::kSqlite, "runtime_predicates");
  EXPECT_EQ(Scalar(*OpenConnection(file.init_string() + ";Command Timeout=1"), last), "1");
  testing::SharedEmptyDatabase database(Engine::kPostgres, "runtime_predicates");
  auto c = OpenConnection(database.init_string() + ";Command Timeout=1");
  EXPECT_EQ(Scalar(*c, last), "1");
  try {
    testing::Query(*c, "SELECT EXTRACTVALUE(" + document +
                           ", 'count(//b[position() = count(//b)])') FROM DUAL");
    ADD_FAILURE() << "a path of quadratic work was admitted";
  } catch (const DbError& e) {
    EXPECT_TRUE(std::string_view(e.what()).starts_with(
        CommandTimeoutTooShort(std::chrono::seconds(1)).what()))
        << e.what();
  }
}

// A REGEXP_REPLACE whose result would pass 128 MiB is refused before it is built, as REPLACE's is,
// its matches counted where the text's characters could make it pass; one that replaces a single
// match, or whose pattern matches nothing, answers.
TEST(ServerRuntimeTest, ARegularReplacementPastTheTextBoundIsRefusedBeforeItIsBuilt) {
  testing::SharedEmptyDatabase database(Engine::kPostgres, "runtime_memory");
  std::unique_ptr<Connection> c = OpenConnection(database.init_string() + ";Command Timeout=120");
  // 8,388,352 characters 'b', each replaced by 16 bytes: past the bound with the text's own.
  const std::string text = "REPLACE(RPAD('a', 32767, 'a'), 'a', RPAD('b', 256, 'b'))";
  const std::string sixteen = "'" + std::string(16, 'r') + "'";
  for (const char* pattern : {"'b'", "'c*'"}) {
    try {
      testing::Query(*c, "SELECT LENGTH(REGEXP_REPLACE(" + text + ", " + std::string(pattern) + ", " + sixteen +
                             ")) FROM DUAL");
      ADD_FAILURE() << "answered: " << pattern;
    } catch (const DbError& e) {
      EXPECT_TRUE(std::string_view(e.what()).starts_with("ORA-04030: ")) << e.what();
    }
  }
  EXPECT_EQ(Scalar(*c, "SELECT LENGTH(REGEXP_REPLACE(" + text + ", 'b', " + sixteen +
                           ", 1, 1)) FROM DUAL"),
            "8388367");
  EXPECT_EQ(Scalar(*c, "SELECT LENGTH(REGEXP_REPLACE(" + text + ", 'c', " + sixteen +
                           ")) FROM DUAL"),
            "8388352");
}

// The server cannot stop libxml2 inside one evaluation of a path: an evaluation whose bound of
// work would pass the statement's time left is refused at its start, as the timeout would end
// it; paths of linear work run over documents of any size.
TEST(ServerRuntimeTest, APathsEvaluationEndsWithinTheCommandTimeout) {
  testing::SharedEmptyDatabase database(Engine::kPostgres, "runtime_xpath");
  std::unique_ptr<Connection> c = OpenConnection(database.init_string() + ";Command Timeout=1");
  // 60,000 and 120,000 elements.
  for (const char* copies : {"'<b/><b/>'", "'<b/><b/><b/><b/>'"}) {
    const std::string wide =
        "'<a>' || REPLACE(RPAD('x', 30000, 'x'), 'x', " + std::string(copies) + ") || '</a>'";
    for (const char* f : {"EXTRACTVALUE", "EXTRACT"}) {
      const auto start = std::chrono::steady_clock::now();
      try {
        testing::Query(*c, std::string("SELECT ") + f + "(" + wide +
                               ", 'count(//b[count(preceding::b) >= 0])') FROM DUAL");
        ADD_FAILURE() << f << " answered";
      } catch (const DbError& e) {
        EXPECT_TRUE(IsCommandTimedOut(e)) << e.what();
      }
      // Command Timeout and the grace of the cancel, with room for a loaded machine.
      EXPECT_LT(std::chrono::steady_clock::now() - start,
                std::chrono::seconds(1) + AnswerWait::kCancelGrace + std::chrono::seconds(2))
          << f;
    }
    EXPECT_EQ(Scalar(*c, "SELECT EXTRACTVALUE(" + wide + ", 'count(/a/b)') || ',' || "
                         "EXTRACTVALUE(" + wide + ", '/a/b[last()]/@x') FROM DUAL"),
              std::string(copies).size() == 10 ? "60000," : "120000,");
  }
  // The same path over a document small enough for its bound.
  EXPECT_EQ(Scalar(*c, "SELECT EXTRACTVALUE('<a>' || RPAD('<b/>', 4000, '<b/>') || '</a>', "
                       "'count(//b[count(preceding::b) >= 0])') FROM DUAL"),
            "1000");
}

// A predicate is evaluated for the nodes its step can reach: over a document of 19 elements a
// path of two nested predicates, unions and comparisons of node-sets answers at the default
// Command Timeout as the file answers it; the same path over a document that holds thousands of
// the nodes its predicates filter is still refused at a short one, saying so, and a path whose
// form alone passes the time left over any document says that.
TEST(ServerRuntimeTest, APredicatesBoundCountsTheNodesItsStepReaches) {
  const std::string path =
      "'count(/r[processing-instruction()[c | @w | text() < (//b)[1]]>=div])'";
  const std::string small =
      "'<r w=\"2\"><?p 1?><c>1</c><b>3</b><div>2</div><b>4</b><e><c>5</c><b>0</b></e><f/><g/>"
      "<h>1</h><i/><j/><k/><l/><m/><n/><o/><div>0</div></r>'";
  const std::string sql = "SELECT EXTRACTVALUE(" + small + ", " + path + ") FROM DUAL";
  testing::SharedEmptyDatabase file(Engine::kSqlite, "runtime_predicates");
  const std::string answer = Scalar(*OpenConnection(file.init_string()), sql);
  EXPECT_EQ(answer, "0");
  testing::SharedEmptyDatabase database(Engine::kPostgres, "runtime_predicates");
  EXPECT_EQ(Scalar(*OpenConnection(database.init_string() + ";Command Timeout=300"), sql), answer);
  const std::string many = "'<r>' || RPAD('<?p 1?>', 7000, '<?p 1?>') || RPAD('<c/>', 4000, "
                           "'<c/>') || '<b>1</b><div>2</div></r>'";
  auto c = OpenConnection(database.init_string() + ";Command Timeout=1");
  const std::string refused = CommandTimeoutTooShort(std::chrono::seconds(1)).what();
  // 28 predicates each over every node of the document: 3^28 evaluations over the least one.
  std::string nested = "'count(/";
  for (int i = 0; i < 28; ++i) nested += "/node()[/";
  nested += "/node()" + std::string(28, ']') + ")'";
  for (const auto& [document, tested, said] :
       {std::tuple{many, path, ": the path over a document of "},
        std::tuple{std::string("'<a/>'"), nested, ": the path's form alone"}}) {
    try {
      testing::Query(*c, "SELECT EXTRACTVALUE(" + document + ", " + tested + ") FROM DUAL");
      ADD_FAILURE() << tested << " was admitted";
    } catch (const DbError& e) {
      EXPECT_TRUE(std::string_view(e.what()).starts_with(refused + said)) << e.what();
    }
  }
}

// Only work that cannot finish within the time left is refused, and it is said to be refused
// before it ran: each of 1,000 elements compared with 1,000 others is a million comparisons,
// answered within any Command Timeout. A text of the null character, which the server's texts
// cannot hold, is refused saying so.
TEST(ServerRuntimeTest, OnlyWorkThatCannotFinishIsRefusedAndTheRefusalSaysSo) {
  testing::SharedEmptyDatabase database(Engine::kPostgres, "runtime_admission");
  std::unique_ptr<Connection> c = OpenConnection(database.init_string() + ";Command Timeout=300");
  c->Execute("CREATE TABLE T_DOC (BODY CLOB)");
  c->Execute("INSERT INTO T_DOC SELECT '<r>' || REPLACE(RPAD('x', 1000, 'x'), 'x', '<b>x</b>') || "
             "REPLACE(RPAD('x', 980, 'x'), 'x', '<c>x</c>') || RPAD('<c>y</c>', 160, '<c>y</c>') "
             "|| '</r>' FROM DUAL CONNECT BY LEVEL <= 20");
  EXPECT_EQ(Scalar(*c, "SELECT SUM(EXTRACTVALUE(BODY, 'count(/r/b[. = /r/c])')) || ',' || "
                       "MAX(EXTRACTVALUE(BODY, 'count(/r/c[/r/b = .])')) FROM T_DOC"),
            "20000,980");
  c = OpenConnection(database.init_string() + ";Command Timeout=1");
  try {
    testing::Query(*c, "SELECT EXTRACTVALUE('<a>' || RPAD('<b/>', 32000, '<b/>') || '</a>', "
                       "'count(//b[count(preceding::b) >= 0])') FROM DUAL");
    ADD_FAILURE() << "a path of 8,000^3 steps was admitted";
  } catch (const DbError& e) {
    EXPECT_TRUE(std::string_view(e.what()).starts_with(
        CommandTimeoutTooShort(std::chrono::seconds(1)).what()))
        << e.what();
  }
  try {
    testing::Query(*c, "SELECT 'a' || CHR(0) FROM DUAL");
    ADD_FAILURE() << "CHR(0) answered";
  } catch (const DbError& e) {
    EXPECT_TRUE(std::string_view(e.what()).starts_with(
        "ORA-01428: argument '0' is out of range (the server's text cannot hold the null "
        "character)"))
        << e.what();
  }
}

}  // namespace
}  // namespace korvalis::db
