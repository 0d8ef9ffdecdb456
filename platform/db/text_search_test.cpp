// Full-text and XML search over stored columns, compared with Oracle Text's answers.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/db/oracle_test_fixture.h"
#include "platform/db/sql_error.h"
#include "platform/db/testing/postgres_test_server.h"
#include "platform/db/text_query.h"
#include "platform/xml/testing/attribute_floods.h"
#include "platform/xml/testing/entity_bombs.h"

namespace korvalis::db {
namespace {

using text::TextKind;
using text::TextQuery;

bool Match(std::string_view query, std::string_view text, TextKind kind = TextKind::kPlain) {
  return TextQuery::Parse(query)->Matches(text, kind);
}

std::string Failure(std::string_view query) {
  try {
    TextQuery::Parse(query);
  } catch (const DbError& e) {
    return e.what();
  }
  return "no error";
}

TEST(TextQueryTest, WordsPhrasesAndCase) {
  EXPECT_TRUE(Match("Fever", "High FEVER since Monday."));
  EXPECT_FALSE(Match("fever", "feverish"));  // whole words only
  EXPECT_TRUE(Match("chest pain", "acute chest-pain, left"));
  EXPECT_FALSE(Match("chest pain", "pain in the chest"));
  EXPECT_TRUE(Match("37", "T 37.5 degrees"));
  EXPECT_TRUE(Match("ＣＴ", "CT scan"));  // full-width letters are the same letters
}

TEST(TextQueryTest, ChineseMatchesBySubstring) {
  const char* note = "主诉: 发热、咳嗽5天。诊断: 社区获得性肺炎。";
  EXPECT_TRUE(Match("肺炎", note));
  EXPECT_TRUE(Match("获得性肺", note));
  EXPECT_TRUE(Match("热", note));
  EXPECT_FALSE(Match("肺结核", note));
  // A run does not reach across punctuation.
  EXPECT_FALSE(Match("发热咳嗽", note));
  // Beside a word, a run must touch it: "咳嗽" ends where "5" begins, "天" starts after it.
  EXPECT_TRUE(Match("咳嗽5天", note));
  EXPECT_TRUE(Match("嗽5", note));
  EXPECT_FALSE(Match("咳5", note));
}

TEST(TextQueryTest, OperatorsPrecedenceAndWildcards) {
  const char* note = "patient with pneumonia and cough, no fever";
  EXPECT_TRUE(Match("pneumonia & cough", note));
  EXPECT_TRUE(Match("pneumonia AND cough", note));
  EXPECT_FALSE(Match("pneumonia and asthma", note));
  EXPECT_TRUE(Match("asthma | cough", note));
  EXPECT_TRUE(Match("asthma or cough", note));
  EXPECT_FALSE(Match("pneumonia ~ cough", note));
  EXPECT_TRUE(Match("pneumonia NOT asthma", note));
  // AND binds tighter than OR; NOT tighter than AND.
  EXPECT_TRUE(Match("asthma & x | cough", note));
  EXPECT_FALSE(Match("asthma & (x | cough)", note));
  EXPECT_FALSE(Match("cough & pneumonia ~ fever", note));
  EXPECT_TRUE(Match("pneum%", note));
  EXPECT_TRUE(Match("%monia", note));
  EXPECT_TRUE(Match("c_ugh", note));
  EXPECT_FALSE(Match("c_gh", note));
}

TEST(TextQueryTest, EmptyMalformedAndUnsupportedQueriesFail) {
  for (const char* q :
       {"", "   ", "a &", "& a", "(a", "a)", "()", "a | | b", "a ~", ".", "a INPATH()"}) {
    EXPECT_NE(Failure(q).find("DRG-50901"), std::string::npos) << q;
  }
  for (const char* q : {"a NEAR b", "a - b", "a, b", "fuzzy(a)", "$run", "a WITHIN title", "肺%"}) {
    EXPECT_NE(Failure(q).find("not supported"), std::string::npos) << q;
  }
}

TEST(TextQueryTest, PathSearchAndIndexQueries) {
  const char* xml =
      "<root><diagnosis>社区获得性肺炎</diagnosis><note a=\"x\">fever &amp; cough</note></root>";
  EXPECT_TRUE(Match("肺炎 INPATH(/root/diagnosis)", xml, TextKind::kXml));
  EXPECT_FALSE(Match("fever INPATH(/root/diagnosis)", xml, TextKind::kXml));
  EXPECT_TRUE(Match("fever INPATH(//note)", xml, TextKind::kXml));
  EXPECT_TRUE(Match("cough INPATH(root/note[@a=\"x\"])", xml, TextKind::kXml));
  EXPECT_FALSE(Match("root", xml, TextKind::kXml));  // markup is not text
  EXPECT_TRUE(Match("fever & 肺炎", xml, TextKind::kXml));

  bool exact = false;
  EXPECT_EQ(TextQuery::Parse("Fever & (肺炎 | cou%)")->IndexQuery(&exact),
            "(\"fever\") AND ((\"肺炎\") OR (\"cou\" *))");
  EXPECT_TRUE(exact);
  EXPECT_EQ(TextQuery::Parse("%itis")->IndexQuery(&exact), "");
  EXPECT_FALSE(exact);
  EXPECT_EQ(TextQuery::Parse("咳嗽5天")->IndexQuery(&exact), "\"咳嗽\" AND \"5\" AND \"天\"");
  EXPECT_FALSE(exact);
}

// A chain of one operator is evaluated and written for the index flat, however long.
TEST(TextQueryTest, ChainsOfOneOperator) {
  const char* note = "patient with pneumonia and cough, no fever";
  EXPECT_TRUE(Match("asthma | x | cough", note));
  EXPECT_FALSE(Match("asthma | x | y", note));
  EXPECT_FALSE(Match("cough & fever & x & pneumonia", note));
  EXPECT_TRUE(Match("pneumonia ~ asthma ~ x", note));
  EXPECT_FALSE(Match("pneumonia ~ asthma ~ cough", note));
  bool exact = false;
  EXPECT_EQ(TextQuery::Parse("a | b | c")->IndexQuery(&exact), "(\"a\") OR (\"b\") OR (\"c\")");
  EXPECT_TRUE(exact);
  EXPECT_EQ(TextQuery::Parse("a & %x & c & d")->IndexQuery(&exact),
            "(\"a\") AND (\"c\") AND (\"d\")");
  EXPECT_FALSE(exact);
  EXPECT_EQ(TextQuery::Parse("%x & c & d")->IndexQuery(&exact), "(\"c\") AND (\"d\")");
  EXPECT_FALSE(exact);
  EXPECT_EQ(TextQuery::Parse("a ~ b ~ %c ~ (d | e)")->IndexQuery(&exact),
            "(\"a\") NOT (\"b\") NOT ((\"d\") OR (\"e\"))");
  EXPECT_FALSE(exact);
  EXPECT_EQ(TextQuery::Parse("a | %x | c")->IndexQuery(&exact), "");
  EXPECT_FALSE(exact);
  std::string words = "cough";
  for (int i = 0; i < 16000; ++i) words += "|w";
  const auto chain = TextQuery::Parse(words);
  EXPECT_TRUE(chain->Matches("a cough", TextKind::kPlain));
  EXPECT_FALSE(chain->Matches("a fever", TextKind::kPlain));
  EXPECT_EQ(chain->IndexQuery(&exact).size(), 9u + 16000 * 9);
}

TEST(TextUnitsTest, FoldingKeepsTheClassOfEveryCharacter) {
  for (uint32_t cp = 1; cp <= 0x10FFFF; ++cp) {
    ASSERT_EQ(text::ClassOf(text::FoldCase(cp)), text::ClassOf(cp)) << cp;
  }
}

// The server's unit strings are the embedded engine's, for plain texts and XML.
TEST(ServerTextUnitsTest, SplitAsTheEmbeddedEngineSplits) {
  std::string init;
  testing::OpenEmptyDatabase(Engine::kPostgres, &init);
  const std::pair<TextKind, std::string> cases[] = {
      {TextKind::kPlain, "High FEVER since Monday."},
      {TextKind::kPlain, "主诉: 发热、咳嗽5天。诊断: 社区获得性肺炎。"},
      {TextKind::kPlain, "ＣＴ scan, ＣＴ＇s ｶﾀｶﾅ x＼y"},
      {TextKind::kPlain, "Éclair×2÷3 Ωmega ДОМ ß\tab\u00ad"},
      {TextKind::kPlain, "smile😀face 𠀀字 \t\n it's"},
      {TextKind::kPlain, ""},
      {TextKind::kPlain, "...,,,"},
      {TextKind::kXml,
       "<root><diagnosis>社区获得性肺炎</diagnosis><note a=\"x>y\">fever &amp; "
       "cough</note></root>"},
      {TextKind::kXml, "<a><![CDATA[x<y]]z]]>w</a><b>c]]></b>"},
      {TextKind::kXml,
       "<!-- c --><a>&#x80BA;&#32966;&#0;&#1114112;&bogus;&lt;b&gt;&#99999999;</a>"},
      {TextKind::kXml, "a<b"},
      {TextKind::kXml, "<a '>x' b>y"},
      {TextKind::kXml, "x&amp"},
      {TextKind::kXml, "<a>&#xD800;z</a><![CDATA[unclosed"},
      {TextKind::kXml, "<!--unclosed -- x"},
      {TextKind::kXml, "<!---->a<!-->b"},
  };
  for (const auto& [kind, text] : cases) {
    std::string literal = "'";
    for (char c : text) literal += c == '\'' ? std::string("''") : std::string(1, c);
    literal += "'";
    EXPECT_EQ(
        testing::PostgresTestServer::Get().RunSql(
            init, "SELECT ora_text_units(" + literal + (kind == TextKind::kXml ? ", 1)" : ", 0)")),
        text::UnitString(text, kind))
        << text;
  }
}

// The runtime's functions call each other by their schema, so that a text index is built and
// kept under any search path (pg_restore's is empty), in a schema whose name could end a
// function's body or its quoting, ahead of another schema that holds the runtime too.
TEST(ServerTextIndexTest, IsBuiltUnderAnEmptySearchPathInTheRuntimesSchema) {
  testing::PostgresTestServer& server = testing::PostgresTestServer::Get();
  const std::string init = server.CreateDatabase();
  OpenConnection(init)->Execute("SELECT 1 FROM DUAL");  // the runtime in public
  ConnectionPools::Close(init);
  const std::string schema = R"("emr$f$""\x")";
  server.RunSql(init, "CREATE SCHEMA " + schema + "; ALTER DATABASE " +
                          init.substr(init.rfind('=') + 1) + " SET search_path TO " + schema +
                          ", public");
  std::unique_ptr<Connection> c = OpenConnection(init);
  RunScript(*c, R"(
CREATE TABLE DOC (ID NUMBER, BODY CLOB);
CREATE INDEX IX_DOC_BODY ON DOC (BODY) INDEXTYPE IS CTXSYS.CONTEXT;
INSERT INTO DOC VALUES (1, '主诉: 发热、咳嗽5天。诊断: 社区获得性肺炎。');
)");
  server.RunSql(init, "SET search_path = ''; REINDEX TABLE " + schema + ".\"DOC\"; INSERT INTO " +
                          schema + ".\"DOC\" VALUES (2, 'Admitted with PNEUMONIA and 肺炎')");
  EXPECT_EQ(testing::Query(*c, "SELECT ID FROM DOC WHERE CONTAINS(BODY, '肺炎') > 0 ORDER BY ID"),
            (testing::Rows{{"1"}, {"2"}}));
  EXPECT_EQ(testing::Scalar(*c, "SELECT COUNT(*) FROM DOC WHERE CONTAINS(BODY, 'pneumonia') > 0"),
            "1");
}

// Text indexes and CONTAINS give the same rows on both engines.
class TextSearchTest : public testing::OracleFixture, public ::testing::WithParamInterface<Engine> {
 protected:
  void SetUp() override {
    Open(R"(
CREATE TABLE DOC (ID NUMBER, BODY CLOB, XML CLOB, NOTE VARCHAR2(100));
CREATE INDEX IX_DOC_BODY ON DOC (BODY) INDEXTYPE IS CTXSYS.CONTEXT;
INSERT INTO DOC VALUES (1, '主诉: 发热、咳嗽5天。诊断: 社区获得性肺炎。', '<root><diagnosis>社区获得性肺炎</diagnosis></root>', 'x');
INSERT INTO DOC VALUES (2, 'Admitted with Pneumonia; fever resolved.', '<root><diagnosis>pneumonia</diagnosis><outcome>治愈</outcome></root>', 'y');
INSERT INTO DOC VALUES (3, NULL, NULL, NULL);
CREATE INDEX IX_DOC_XML ON DOC (XML) INDEXTYPE IS CTXSYS.CONTEXT PARAMETERS ('section group ctxsys.path_section_group');
)",
         GetParam());
  }
};

TEST_P(TextSearchTest, ContainsFindsChineseAndLatinHits) {
  EXPECT_EQ(Rows("SELECT ID FROM DOC WHERE CONTAINS(BODY, '肺炎') > 0 ORDER BY ID"), "1");
  EXPECT_EQ(Rows("SELECT ID FROM DOC WHERE CONTAINS(BODY, 'PNEUMONIA') > 0"), "2");
  EXPECT_EQ(Rows("SELECT ID FROM DOC D WHERE CONTAINS(D.BODY, '肺炎 | pneumonia') > 0 ORDER BY ID"),
            "1,2");
  EXPECT_EQ(Rows("SELECT ID FROM DOC WHERE CONTAINS(BODY, '发热 & 咳嗽5天') > 0"), "1");
  EXPECT_EQ(Rows("SELECT ID FROM DOC WHERE CONTAINS(BODY, 'fever ~ pneum%') > 0"), "");
  EXPECT_EQ(Rows("SELECT ID FROM DOC WHERE CONTAINS(BODY, '%monia') > 0"), "2");
  EXPECT_EQ(Rows("SELECT ID, CONTAINS(BODY, 'fever') FROM DOC ORDER BY ID"), "1|0,2|100,3|0");
  EXPECT_EQ(Rows("SELECT ID FROM DOC WHERE CONTAINS(BODY, 'fever') > 0 AND NOTE = 'y'"), "2");
}

TEST_P(TextSearchTest, NewChangedAndRemovedRowsAreSearchableAtOnce) {
  c_->Begin(Connection::TransactionMode::kWriting);
  c_->Execute("INSERT INTO DOC (ID, BODY) VALUES (4, '术后肺部感染')");
  EXPECT_EQ(Rows("SELECT ID FROM DOC WHERE CONTAINS(BODY, '肺部') > 0"), "4");
  c_->Rollback();
  EXPECT_EQ(Rows("SELECT ID FROM DOC WHERE CONTAINS(BODY, '肺部') > 0"), "");
  c_->Execute("UPDATE DOC SET BODY = 'Asthma attack' WHERE ID = 2");
  EXPECT_EQ(Rows("SELECT ID FROM DOC WHERE CONTAINS(BODY, 'pneumonia') > 0"), "");
  EXPECT_EQ(Rows("SELECT ID FROM DOC WHERE CONTAINS(BODY, 'asthma attack') > 0"), "2");
  c_->Execute("UPDATE DOC SET BODY = '肺部感染' WHERE ID = 3");
  EXPECT_EQ(Rows("SELECT ID FROM DOC WHERE CONTAINS(BODY, '感染') > 0"), "3");
  c_->Execute("DELETE FROM DOC WHERE ID = 1");
  EXPECT_EQ(Rows("SELECT ID FROM DOC WHERE CONTAINS(BODY, '肺') > 0"), "3");
  c_->Execute("DROP TABLE DOC");
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'DOC'"), "0");
}

TEST_P(TextSearchTest, PathSearchAndXmlFunctions) {
  EXPECT_EQ(Rows("SELECT ID FROM DOC C WHERE CONTAINS(C.XML, '肺炎 INPATH(/root/diagnosis)') > 0"),
            "1");
  EXPECT_EQ(
      Rows("SELECT ID FROM DOC C WHERE CONTAINS(C.XML, '治愈 INPATH(//outcome) & pneumonia') > 0"),
      "2");
  EXPECT_EQ(Rows("SELECT ID, EXTRACTVALUE(XML, '/root/diagnosis') FROM DOC ORDER BY ID"),
            "1|社区获得性肺炎,2|pneumonia,3|<null>");
  EXPECT_EQ(Rows("SELECT EXTRACTVALUE(XML, '/root/outcome') FROM DOC WHERE ID = 1"), "<null>");
  EXPECT_EQ(Rows("SELECT EXTRACTVALUE(XML, 'count(/root/*)'), EXTRACT(XML, 'string(/root)'), "
                 "EXTRACT(XML, '/root/outcome/@*') FROM DOC WHERE ID = 2"),
            "2|pneumonia治愈|<null>");
  EXPECT_EQ(Rows("SELECT SUBSTR(EXTRACT(XML, '/root/outcome'), 0, 11) FROM DOC WHERE ID = 2"),
            "<outcome>治愈");
  EXPECT_EQ(Rows("SELECT EXTRACT(XML, '/root/*/text()') FROM DOC WHERE ID = 2"), "pneumonia治愈");
  EXPECT_NE(Error("SELECT EXTRACTVALUE(XML, '/root/*') FROM DOC WHERE ID = 2").find("ORA-19025"),
            std::string::npos);
  EXPECT_NE(Error("SELECT EXTRACTVALUE(XML, '/root') FROM DOC WHERE ID = 2").find("ORA-19025"),
            std::string::npos);
  EXPECT_NE(Error("SELECT EXTRACTVALUE(XML, '/root[') FROM DOC WHERE ID = 2").find("ORA-31013"),
            std::string::npos);
  EXPECT_NE(Error("SELECT EXTRACTVALUE(BODY, '/a') FROM DOC WHERE ID = 1").find("ORA-31011"),
            std::string::npos);
  // Comparisons that leave a call open, or nest past 64 brackets, are refused before anything
  // is evaluated; without a comparison a path is read as libxml2 reads it.
  for (const std::string& path :
       std::vector<std::string>{"count(/root/*) = 1 or true(", "(/root = 1]",
                                std::string(65, '(') + "/root = 1" + std::string(65, ')')}) {
    EXPECT_NE(
        Error("SELECT EXTRACTVALUE(XML, '" + path + "') FROM DOC WHERE ID = 2").find("ORA-31013"),
        std::string::npos)
        << path;
  }
  EXPECT_EQ(Rows("SELECT EXTRACTVALUE(XML, 'true(') FROM DOC WHERE ID = 2"), "true");
  // A document's own entity stands for its text.
  EXPECT_EQ(Rows("SELECT EXTRACTVALUE('<!DOCTYPE a [<!ENTITY x \"ok\">]><a>&x;</a>', '/a') "
                 "FROM DUAL"),
            "ok");
}

// A document whose entities open 10^9 expansions is refused at once on both engines, wherever its
// references stand, and the file names why.
TEST_P(TextSearchTest, EntityBombsAreRefusedWhereverTheyStand) {
  for (const xml::testing::EntityBomb& bomb : xml::testing::EntityBombs("a", "<b>1</b>")) {
    // The server's libxml2 measures how entities amplify the text, not how many are expanded: a
    // text of 600,000 references written out is read there (and refused on the file).
    if (bomb.text.size() > 4'000) continue;
    for (const std::string function : {"EXTRACTVALUE", "EXTRACT"}) {
      const std::string error =
          Error("SELECT " + function + "('" + bomb.text + "', '/a/b') FROM DUAL");
      EXPECT_TRUE(error.starts_with("ORA-31011: XML parsing failed"))
          << bomb.shape << ": " << error;
      if (GetParam() == Engine::kSqlite) {
        EXPECT_NE(error.find(": its entities expand past"), std::string::npos) << bomb.shape;
      }
    }
  }
}

// A document whose tags take more attributes than libxml2 reads in time, however they take them,
// is refused before it is parsed on both engines, which no Command Timeout could stop, and named;
// one of as many as the bound admits is read.
TEST_P(TextSearchTest, AttributesPastTheParsersBoundAreRefusedAndNamed) {
  const auto literal = [](std::string text) {
    for (size_t at = 0; (at = text.find('\'', at)) != std::string::npos; at += 2) {
      text.insert(at, 1, '\'');
    }
    return "'" + text + "'";
  };
  for (const xml::testing::AttributeFlood& flood : xml::testing::AttributeFloods("a", "<b>1</b>")) {
    const std::string error =
        Error("SELECT EXTRACTVALUE(" + literal(flood.text) + ", '/a/b') FROM DUAL");
    EXPECT_TRUE(error.starts_with("ORA-31011: XML parsing failed: its elements hold more "
                                  "attributes than the parser reads in time"))
        << flood.shape << ": " << error;
  }
  EXPECT_EQ(Rows("SELECT EXTRACTVALUE(" + literal(xml::testing::MostAttributes("a", "<b>1</b>")) +
                 ", '/a/x/@a16383') FROM DUAL"),
            "1");
}

// A path is evaluated with the document node as its context: a relative path reads from the
// document, and `.` and the functions of the context node read the document node.
TEST_P(TextSearchTest, PathsReadFromTheDocumentNode) {
  const std::string doc = "'<r><a>2</a></r>'";
  const auto value = [&](const std::string& function, const std::string& path) {
    return Rows("SELECT " + function + "(" + doc + ", '" + path + "') FROM DUAL");
  };
  EXPECT_EQ(value("EXTRACTVALUE", "r/a"), "2");
  EXPECT_EQ(value("EXTRACTVALUE", "string()"), "2");
  EXPECT_EQ(value("EXTRACTVALUE", "number()"), "2");
  EXPECT_EQ(value("EXTRACTVALUE", "concat(string(), \"x\")"), "2x");
  EXPECT_EQ(value("EXTRACTVALUE", "count(.)"), "1");
  EXPECT_EQ(value("EXTRACTVALUE", "count(r/a[. = 2])"), "1");
  EXPECT_EQ(value("EXTRACTVALUE", "count(r[a = /r/a])"), "1");
  EXPECT_EQ(value("EXTRACT", "r/a"), "<a>2</a>");
  EXPECT_EQ(value("EXTRACT", "."), value("EXTRACT", "/"));
  // The document node holds an element: no value of one node.
  for (const std::string path : {".", "/", "r/a/../.."}) {
    EXPECT_NE(Error("SELECT EXTRACTVALUE(" + doc + ", '" + path + "') FROM DUAL").find("ORA-19025"),
              std::string::npos)
        << path;
  }
  EXPECT_EQ(value("EXTRACT", "r/*[1]"), value("EXTRACT", "/r/*[1]"));
  EXPECT_EQ(Rows("SELECT ID FROM DOC WHERE EXTRACTVALUE(XML, 'root/diagnosis') = 'pneumonia'"),
            "2");
}

// A path whose value is no node set (a comparison, arithmetic, a literal) answers that value,
// and one that selects nothing answers NULL, on both engines.
TEST_P(TextSearchTest, ExpressionsOfAValueAnswerTheirValue) {
  const auto value = [&](const std::string& function, const std::string& path) {
    return Rows("SELECT NVL(" + function + "('<r><a>2</a><b-c>x</b-c></r>', '" + path +
                "'), '(null)') FROM DUAL");
  };
  for (const std::string function : {"EXTRACTVALUE", "EXTRACT"}) {
    EXPECT_EQ(value(function, "/r/a = 2"), "true") << function;
    EXPECT_EQ(value(function, "r/a > 5 or r/b-c = \"x\""), "true") << function;
    EXPECT_EQ(value(function, "/r/none != 1"), "false") << function;
    EXPECT_EQ(value(function, "1 div 3"), "0.333333333333333") << function;
    EXPECT_EQ(value(function, "/r/a * 2 - 1"), "3") << function;
    EXPECT_EQ(value(function, "-1"), "-1") << function;
    EXPECT_EQ(value(function, "\"abc\""), "abc") << function;
    EXPECT_EQ(value(function, "/r/none/text()"), "(null)") << function;
    EXPECT_EQ(value(function, "/r/*[2 = 3]"), "(null)") << function;
    EXPECT_EQ(value(function, "(/r/none)[1]"), "(null)") << function;
  }
  EXPECT_EQ(value("EXTRACTVALUE", "/r/b-c"), "x");
  // More than one node is refused alike, with the same result code.
  const auto [code, what] = Failure("SELECT EXTRACTVALUE('<r><a/><a/></r>', '/r/a') FROM DUAL");
  EXPECT_EQ(code, kErrorsInCommand);
  EXPECT_NE(what.find("ORA-19025: EXTRACTVALUE returns value of only one node"), std::string::npos);
}

// A text past libxml2's 10 MB is read whole (it was cut short, and a message printed on the
// host's standard error), and a document nested past 257 levels is refused on both engines.
TEST_P(TextSearchTest, AnyTextIsReadWholeAndDeepNestingRefused) {
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Rows("SELECT LENGTH(EXTRACTVALUE('<r><a>' || REPLACE(RPAD('x', 32767, 'x'), 'x', "
                 "RPAD('y', 400, 'y')) || '</a><b>after</b></r>', '/r/a')) FROM DUAL"),
            "13106800");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  const auto nested = [](int levels) {
    return "SELECT EXTRACTVALUE(RPAD('<a>', " + std::to_string(3 * levels) +
           ", '<a>') || 'v' || "
           "RPAD('</a>', " +
           std::to_string(4 * levels) + ", '</a>'), 'count(//a)') FROM DUAL";
  };
  EXPECT_EQ(Rows(nested(257)), "257");
  EXPECT_NE(Error(nested(258)).find("ORA-31011"), std::string::npos);
}

// The query of CONTAINS may be any text expression: computed, read from another table or
// from a subquery; it is parsed when the statement runs, with the same failures.
TEST_P(TextSearchTest, QueriesKnownWhenTheStatementRuns) {
  c_->Execute("CREATE TABLE QUERIES (ID NUMBER, Q VARCHAR2(100))");
  c_->Execute("INSERT INTO QUERIES VALUES (1, '肺炎')");
  c_->Execute("INSERT INTO QUERIES VALUES (2, 'fever & admitted')");
  c_->Execute("INSERT INTO QUERIES VALUES (3, '治愈 INPATH(//outcome)')");
  c_->Execute("INSERT INTO QUERIES VALUES (4, 'a | ')");
  c_->Execute("INSERT INTO QUERIES VALUES (5, 'fever NEAR cough')");
  EXPECT_EQ(Rows("SELECT ID FROM DOC WHERE CONTAINS(BODY, 'pneu' || 'monia') > 0"), "2");
  EXPECT_EQ(Rows("SELECT ID, CONTAINS(BODY, LOWER('FEVER')) FROM DOC ORDER BY ID"),
            "1|0,2|100,3|0");
  EXPECT_EQ(Rows("SELECT Q.ID, D.ID FROM QUERIES Q, DOC D WHERE Q.ID <= 2 "
                 "AND CONTAINS(D.BODY, Q.Q) > 0 ORDER BY Q.ID"),
            "1|1,2|2");
  EXPECT_EQ(
      Rows("SELECT ID FROM DOC C WHERE CONTAINS(C.XML, (SELECT Q FROM QUERIES WHERE ID = 3)) > 0"),
      "2");
  EXPECT_EQ(Rows("SELECT ID FROM DOC WHERE CONTAINS(BODY, NULL || '%monia') > 0"), "2");
  EXPECT_NE(
      Error("SELECT ID FROM DOC WHERE CONTAINS(BODY, (SELECT Q FROM QUERIES WHERE ID = 4)) > 0")
          .find("DRG-50901: text query parser syntax error on line 1, column 5"),
      std::string::npos);
  EXPECT_NE(Error("SELECT ID FROM DOC WHERE CONTAINS(BODY, '肺炎 (' || '') > 0")
                .find("DRG-50901: text query parser syntax error on line 1, column 8"),
            std::string::npos);
  EXPECT_NE(
      Error("SELECT ID FROM DOC WHERE CONTAINS(BODY, (SELECT Q FROM QUERIES WHERE ID = 5)) > 0")
          .find("operator NEAR is not supported"),
      std::string::npos);
  EXPECT_NE(Error("SELECT ID FROM DOC WHERE CONTAINS(NOTE, 'x' || '') > 0").find("DRG-10599"),
            std::string::npos);
}

// A text index on a BLOB reads its bytes as UTF-8 text; bytes that are no text separate words.
TEST_P(TextSearchTest, TextIndexOnABlob) {
  c_->Execute("CREATE TABLE BDOC (ID NUMBER, CONTENT BLOB)");
  c_->Execute("CREATE INDEX IX_BDOC ON BDOC (CONTENT) INDEXTYPE IS CTXSYS.CONTEXT");
  const std::pair<int, std::string> blobs[] = {
      {1, "主诉: 发热、咳嗽5天。"},
      {2, std::string("fever\xFF\xFE"
                      "cough\0rash\xE4\xB8",
                      19)},
      {3, "no findings"},
  };
  for (const auto& [id, bytes] : blobs) {
    c_->Execute("INSERT INTO BDOC (ID) VALUES (" + std::to_string(id) + ")");
    ASSERT_TRUE(c_->WriteBlob("SELECT CONTENT FROM BDOC WHERE ID = " + std::to_string(id), bytes));
  }
  EXPECT_EQ(Rows("SELECT ID FROM BDOC WHERE CONTAINS(CONTENT, '咳嗽') > 0"), "1");
  EXPECT_EQ(Rows("SELECT ID FROM BDOC WHERE CONTAINS(CONTENT, 'cough & rash') > 0"), "2");
  EXPECT_EQ(Rows("SELECT ID FROM BDOC WHERE CONTAINS(CONTENT, 'fevercough') > 0"), "");
  EXPECT_EQ(Rows("SELECT ID FROM BDOC WHERE CONTAINS(CONTENT, 'finding' || '%') > 0"), "3");
  c_->Execute("UPDATE BDOC SET CONTENT = NULL WHERE ID = 3");
  EXPECT_EQ(Rows("SELECT ID FROM BDOC WHERE CONTAINS(CONTENT, 'findings') > 0"), "");
}

// A query known only when the statement runs matches, and fails, exactly as the query
// language itself: the hits or the failure of the parser, on each engine.
TEST_P(TextSearchTest, RunTimeQueriesAnswerAsTheQueryLanguage) {
  c_->Execute("CREATE TABLE QUERIES (Q VARCHAR2(100))");
  const char* const queries[] = {
      "pneumonia",
      "FEVER and admitted",
      "fever & (肺炎 | resolved)",
      "~fever",
      "fever ~",
      "a &",
      "(a",
      "a)",
      "肺炎 (",
      "AND",
      "a INPATH",
      "a INPATH(",
      "a INPATH( )",
      "治愈 INPATH(outcome)",
      "x INPATH(/a) INPATH(/b)",
      "x,y",
      "fever NEAR cough",
      "fever NoT cough",
      "%天",
      "% 肺炎",
      "pneum_nia",
      "ｆｅｖｅｒ",
      "＿ever",
      "a\tb | 咳嗽5天",
      "((((fever))))",
      "fever|",
      "发热 & 咳嗽 ~ 肺炎",
      "治愈 INPATH(//outcome)",
  };
  for (const char* query : queries) {
    std::string expected;
    try {
      const auto parsed = text::TextQuery::Parse(query);
      for (const auto& [id, body] :
           {std::pair<int, const char*>{1, "主诉: 发热、咳嗽5天。诊断: 社区获得性肺炎。"},
            {2, "Admitted with Pneumonia; fever resolved."}}) {
        if (!parsed->Matches(body, TextKind::kPlain)) continue;
        if (!expected.empty()) expected.push_back(',');
        expected += std::to_string(id);
      }
    } catch (const SqlError& e) {
      expected = e.what();
    }
    c_->Execute("DELETE FROM QUERIES");
    std::string literal;
    for (const char* c = query; *c; ++c)
      literal += *c == '\'' ? std::string("''") : std::string(1, *c);
    c_->Execute("INSERT INTO QUERIES VALUES ('" + literal + "')");
    const std::string sql =
        "SELECT ID FROM DOC WHERE CONTAINS(BODY, (SELECT Q FROM QUERIES)) > 0 ORDER BY ID";
    const std::string error = Error(sql);
    if (error == "no error") {
      EXPECT_EQ(Rows(sql), expected) << query;
    } else {
      EXPECT_TRUE(error.starts_with(expected)) << query << ": " << error << " / " << expected;
    }
  }
}

TEST_P(TextSearchTest, FailsAsOracleDoes) {
  EXPECT_NE(Error("SELECT ID FROM DOC WHERE CONTAINS(BODY, '') > 0").find("DRG-50901"),
            std::string::npos);
  EXPECT_NE(Error("SELECT ID FROM DOC WHERE CONTAINS(BODY, 'a | ') > 0").find("DRG-50901"),
            std::string::npos);
  EXPECT_NE(Error("SELECT ID FROM DOC WHERE CONTAINS(NOTE, 'x') > 0").find("DRG-10599"),
            std::string::npos);
  EXPECT_NE(Error("SELECT ID FROM DOC WHERE CONTAINS(BODY, 'x INPATH(/a)') > 0").find("DRG-10837"),
            std::string::npos);
  EXPECT_NE(
      Error("CREATE INDEX IX_AGAIN ON DOC (BODY) INDEXTYPE IS CTXSYS.CONTEXT").find("ORA-29879"),
      std::string::npos);
  EXPECT_NE(
      Error("SELECT SCORE(1) FROM DOC WHERE CONTAINS(BODY, 'x', 1) > 0").find("not supported"),
      std::string::npos);
}

// Random texts of words, full-width and accented letters, Chinese runs and punctuation: every
// query finds on each engine exactly the rows the query language itself matches.
TEST_P(TextSearchTest, IndexedSearchFindsWhatTheQueryMatches) {
  const std::vector<std::string> pieces = {
      "fever",          "Fever",  "ＦＥＶＥＲ", "pneumonia", "Cough", "5",  "天", "咳嗽", "肺炎",
      "社区获得性肺炎", "Éclair", "éclair",     "х",         " ",     ", ", "、", "-",    "。"};
  std::mt19937 random(48);
  std::vector<std::string> texts;
  c_->Execute("CREATE TABLE RANDOM_DOC (ID NUMBER, BODY CLOB)");
  c_->Execute("CREATE INDEX IX_RANDOM_DOC ON RANDOM_DOC (BODY) INDEXTYPE IS CTXSYS.CONTEXT");
  for (int id = 0; id < 120; ++id) {
    std::string text;
    for (int k = static_cast<int>(random() % 8); k >= 0; --k)
      text += pieces[random() % pieces.size()];
    texts.push_back(text);
    c_->Execute("INSERT INTO RANDOM_DOC VALUES (" + std::to_string(id) + ", '" + text + "')");
  }
  for (const char* query : {"fever",
                            "FEVER",
                            "pneum%",
                            "%monia",
                            "c_ugh",
                            "肺炎",
                            "获得性",
                            "咳嗽5天",
                            "5天",
                            "天 fever",
                            "fever & 肺炎",
                            "cough | 天",
                            "fever ~ cough",
                            "fever cough",
                            "éclair",
                            "ÉCLAIR",
                            "х",
                            "_",
                            "(fever | cough) NOT 肺炎",
                            "%"}) {
    const auto parsed = text::TextQuery::Parse(query);
    std::string expected;
    for (size_t id = 0; id < texts.size(); ++id) {
      if (!parsed->Matches(texts[id], TextKind::kPlain)) continue;
      if (!expected.empty()) expected.push_back(',');
      expected += std::to_string(id);
    }
    EXPECT_EQ(Rows(std::string("SELECT ID FROM RANDOM_DOC WHERE CONTAINS(BODY, '") + query +
                   "') > 0 ORDER BY ID"),
              expected)
        << query;
    // The same query known only when the statement runs.
    EXPECT_EQ(Rows(std::string("SELECT ID FROM RANDOM_DOC WHERE CONTAINS(BODY, TRIM(' ") + query +
                   " ')) > 0 ORDER BY ID"),
              expected)
        << query;
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, TextSearchTest, testing::kBothEngines, testing::EngineName);

}  // namespace
}  // namespace korvalis::db
