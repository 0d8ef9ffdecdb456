#include "foundation/data/single_data_source.h"

#include <gtest/gtest.h>

#include <xercesc/dom/DOM.hpp>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <thread>

#include "foundation/calls/call_scope.h"
#include "foundation/data/comm_data_source.h"
#include "foundation/data/connection_failures.h"
#include "foundation/data/database_error.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/sql_text.h"
#include "foundation/text/string_util.h"
#include "foundation/testing/data_source_test_util.h"
#include "platform/db/connection_pool.h"
#include "platform/db/testing/engine_database.h"
#include "foundation/xml/dom_builder.h"
#include "foundation/xml/xml_parser.h"
#include "platform/db/sql_error.h"

namespace {

using korvalis::datasource::MaskPassword;
using korvalis::datasource::testing::CodeBytes;
using korvalis::datasource::testing::EventLogCapture;
using korvalis::datasource::testing::ScratchDatabase;

std::u16string Text(BSTR text) {
  std::u16string copy(korvalis::BstrView(text));
  SysFreeString(text);
  return copy;
}

// Expects `statement` to fail with the generic message.
template <class Statement>
void ExpectDatabaseError(Statement statement) {
  try {
    statement();
    ADD_FAILURE() << "the statement did not fail";
  } catch (const CEMRException& e) {
    EXPECT_EQ(e.GetText(), kDatabaseErrorMessage);
  }
}

class StatementTest : public ::testing::TestWithParam<korvalis::db::Engine> {
 protected:
  static void TearDownTestSuite() { databases_.clear(); }

  // The suite's database of the test's engine, made when first asked for.
  static ScratchDatabase& Database(korvalis::db::Engine engine) {
    std::unique_ptr<ScratchDatabase>& database = databases_[engine];
    if (!database) {
      database = std::make_unique<ScratchDatabase>(engine);
      database->Run("CREATE TABLE T_ROW (ID NUMBER(10), NAME VARCHAR2(40), NOTE VARCHAR2(40))");
      database->Run("INSERT INTO T_ROW VALUES (1, 'x', NULL)");
      database->Run("INSERT INTO T_ROW VALUES (2, '<a&b>\"c''', 'n')");
      database->Run("CREATE TABLE T_EMPTY (ID NUMBER(10))");
      database->Run("CREATE TABLE T_SERIAL (SERIAL NUMBER(10), WHO VARCHAR2(10))");
      // 5,000 rows in the order they were written; the 4,000th holds 0.
      database->Run("CREATE TABLE T_DIVISOR (N NUMBER(10))");
      database->Run("INSERT INTO T_DIVISOR SELECT 4000 - LEVEL FROM DUAL CONNECT BY LEVEL <= 5000");
      database->Run("CREATE TABLE T_MANY (N NUMBER(10))");
      database->Run("INSERT INTO T_MANY SELECT LEVEL FROM DUAL CONNECT BY LEVEL <= 300");
    }
    return *database;
  }
  CCommDataSource Source() {
    return CCommDataSource(Database(GetParam()).connection_string(), u"oracle");
  }

  static std::map<korvalis::db::Engine, std::unique_ptr<ScratchDatabase>> databases_;
  EventLogCapture events_;
};

std::map<korvalis::db::Engine, std::unique_ptr<ScratchDatabase>> StatementTest::databases_;

TEST_P(StatementTest, ExecuteWritesRowsWithColumnNamesAndEscapedValues) {
  CCommDataSource source = Source();
  std::u16string rows = u"previous";
  source.Execute(u"SELECT ID, NAME, NOTE FROM T_ROW ORDER BY ID", &rows);
  EXPECT_EQ(rows,
            u"<?xml version=\"1.0\"?><root>"
            u"<row><ID>1</ID><NAME>x</NAME><NOTE></NOTE></row>"
            u"<row><ID>2</ID><NAME>&lt;a&amp;b&gt;\"c'</NAME><NOTE>n</NOTE></row></root>");
  // The document is well formed whatever the values.
  CXmlStringParser parser(rows);
  EXPECT_NE(parser.GetDocument(), nullptr);

  source.Execute(u"SELECT ID FROM T_EMPTY", &rows);
  EXPECT_EQ(rows, u"<?xml version=\"1.0\"?><root></root>");
  source.Execute(u"UPDATE T_EMPTY SET ID = 1", &rows);
  EXPECT_EQ(rows, u"<?xml version=\"1.0\"?><root></root>");
}

TEST_P(StatementTest, QueryFillsMissingColumnsAndNullsWithEmptyText) {
  CCommDataSource source = Source();
  std::vector<std::u16string> values{u"stale"};
  source.Query(u"SELECT ID, NOTE FROM T_ROW ORDER BY ID", 3, values);
  EXPECT_EQ(values, (std::vector<std::u16string>{u"1", u"", u"", u"2", u"n", u""}));
  source.Query(u"SELECT ID FROM T_EMPTY", 2, values);
  EXPECT_TRUE(values.empty());
  source.QueryColumn(u"SELECT NAME FROM T_ROW ORDER BY ID DESC", values);
  EXPECT_EQ(values, (std::vector<std::u16string>{u"<a&b>\"c'", u"x"}));
}

TEST_P(StatementTest, ScalarKeepsTheCallersValueWithoutARow) {
  CCommDataSource source = Source();
  std::u16string value = u"kept";
  source.QueryScalar(u"SELECT ID FROM T_EMPTY", value);
  EXPECT_EQ(value, u"kept");
  source.QueryValue(u"SELECT NAME FROM T_ROW WHERE ID = 1", value, u"ignored");
  EXPECT_EQ(value, u"x");
  source.QueryScalar(u"SELECT NOTE FROM T_ROW WHERE ID = 1", value);
  EXPECT_EQ(value, u"");
  // The first of several rows; a longer value is replaced whole by a shorter one.
  source.QueryScalar(u"SELECT NAME FROM T_ROW ORDER BY ID DESC", value);
  EXPECT_EQ(value, u"<a&b>\"c'");
  source.QueryScalar(u"SELECT NAME FROM T_ROW ORDER BY ID", value);
  EXPECT_EQ(value, u"x");
}

TEST_P(StatementTest, QueryElementsWritesOneElementPerRow) {
  CCommDataSource source = Source();
  BSTR result = nullptr;
  source.QueryElements(u"SELECT NAME, NOTE, ID FROM T_ROW ORDER BY ID",
                       {u"patient", u"note", u"id"}, &result);
  // Attributes come in name order, as the XML library writes them.
  EXPECT_EQ(Text(result),
            u"<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\" ?><root>"
            u"<patient id=\"1\" note=\"\">x</patient>"
            u"<patient id=\"2\" note=\"n\">&lt;a&amp;b&gt;\"c'</patient></root>");

  source.QueryElements(u"SELECT ID FROM T_EMPTY", {u"patient", u"id"}, &result);
  EXPECT_EQ(Text(result), u"<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\" ?><root/>");

  // More names than columns: the missing columns are empty attributes.
  source.QueryElements(u"SELECT NAME FROM T_ROW WHERE ID = 1", {u"p", u"a", u"b"}, &result);
  EXPECT_EQ(Text(result),
            u"<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\" ?><root><p a=\"\" "
            u"b=\"\">x</p></root>");
  source.QueryElements(u"SELECT ID FROM T_ROW", {u"p"}, nullptr);
}

// The document must read as the XML library's serialiser would have written it.
TEST_P(StatementTest, QueryElementsMatchesTheLibrarySerialiser) {
  CCommDataSource source = Source();
  const std::u16string value = u"a<b>&c\"d'e\r\n\tf]]>中文😀";
  {
    CCommDataSource writer = Source();
    writer.Execute(u"CREATE TABLE T_TEXT (V VARCHAR2(100), W VARCHAR2(100))");
    writer.Execute(u"INSERT INTO T_TEXT VALUES (" + korvalis::SqlQuoted(value) + u", " +
                   korvalis::SqlQuoted(value) + u")");
    writer.Execute(u"INSERT INTO T_TEXT VALUES (NULL, 'w')");
  }
  BSTR result = nullptr;
  source.QueryElements(u"SELECT V, W, V, W FROM T_TEXT ORDER BY W", {u"item", u"w", u"b", u"b"},
                       &result);
  const std::u16string written = Text(result);

  StartXmlLibrary();
  xercesc::DOMImplementation* implementation = GetDomImplementation();
  xercesc::DOMDocument* document = implementation->createDocument(nullptr, u"root", nullptr);
  xercesc::DOMElement* first = document->createElement(u"item");
  first->setAttribute(u"w", value.c_str());
  first->setAttribute(u"b", value.c_str());
  first->setAttribute(u"b", value.c_str());
  first->setTextContent(value.c_str());
  document->getDocumentElement()->appendChild(first);
  xercesc::DOMElement* second = document->createElement(u"item");
  second->setAttribute(u"w", u"w");
  second->setAttribute(u"b", u"");
  second->setAttribute(u"b", u"w");
  document->getDocumentElement()->appendChild(second);
  XmlWriter writer(implementation->createLSSerializer());
  const std::u16string expected = writer.Write(document);
  document->release();
  EXPECT_EQ(written, expected);
}

// A tree's rows nest as the serialiser writes the elements built one by one: under the row
// placed last or an ancestor of it, at the top otherwise; childless elements close themselves.
TEST_P(StatementTest, QueryTreeMatchesTheLibrarySerialiser) {
  CCommDataSource source = Source();
  const std::u16string value = u"a<b>&c\"d'e\r\n\tf]]>中文😀";
  {
    CCommDataSource writer = Source();
    writer.Execute(u"CREATE TABLE T_TREE (SEQ NUMBER, ID VARCHAR2(10), PARENT_ID VARCHAR2(10), "
                   u"V VARCHAR2(100))");
    // a { b { c } d } e { f } g(parent not open) h(parent x, none)
    const std::u16string rows[][3] = {{u"a", u"", u"1"}, {u"b", u"a", u"2"}, {u"c", u"b", u"3"},
                                      {u"d", u"a", u"4"}, {u"e", u"", u"5"}, {u"f", u"e", value},
                                      {u"g", u"c", u"x"}, {u"h", u"x", u""}};
    int seq = 0;
    for (const auto& row : rows) {
      writer.Execute(u"INSERT INTO T_TREE VALUES (" + korvalis::SqlNumber(IntToString(++seq)) + u", " +
                     korvalis::SqlQuoted(row[0]) + u", " + korvalis::SqlQuoted(row[1]) + u", " +
                     korvalis::SqlQuoted(row[2]) + u" || CHR(1))");
    }
  }
  const std::u16string written = source.QueryTree(
      u"SELECT ID, PARENT_ID, V FROM T_TREE ORDER BY SEQ", u"child", {u"id", u"parent_id", u"v"});

  StartXmlLibrary();
  xercesc::DOMImplementation* implementation = GetDomImplementation();
  xercesc::DOMDocument* document = implementation->createDocument(nullptr, u"root", nullptr);
  std::map<std::u16string, xercesc::DOMElement*> placed;
  const auto place = [&](const char16_t* parent, const char16_t* id, const char16_t* parent_id,
                         const std::u16string& v) {
    xercesc::DOMElement* element = document->createElement(u"child");
    element->setAttribute(u"v", (v + u"\uFFFD").c_str());
    element->setAttribute(u"parent_id", parent_id);
    element->setAttribute(u"id", id);
    (parent == nullptr ? document->getDocumentElement() : placed.at(parent))
        ->appendChild(element);
    placed[id] = element;
  };
  place(nullptr, u"a", u"", u"1");
  place(u"a", u"b", u"a", u"2");
  place(u"b", u"c", u"b", u"3");
  place(u"a", u"d", u"a", u"4");
  place(nullptr, u"e", u"", u"5");
  place(u"e", u"f", u"e", value);
  place(nullptr, u"g", u"c", u"x");
  place(nullptr, u"h", u"x", u"");
  XmlWriter writer(implementation->createLSSerializer());
  EXPECT_EQ(written, writer.Write(document));
  document->release();

  EXPECT_EQ(source.QueryTree(u"SELECT ID, PARENT_ID FROM T_TREE WHERE 1 = 0", u"child",
                             {u"id", u"parent_id"}),
            u"<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\" ?><root/>");
}

TEST_P(StatementTest, QueryElementsRefusesNamesThatAreNoElementNames) {
  CCommDataSource source = Source();
  BSTR result = nullptr;
  try {
    source.QueryElements(u"SELECT ID FROM T_ROW", {}, &result);
    ADD_FAILURE();
  } catch (const CEMRException& e) {
    EXPECT_EQ(e.GetText(), u"查询元素名称列表为空.");
  }
  try {
    source.QueryElements(u"SELECT ID FROM T_ROW", {u"a b"}, &result);
    ADD_FAILURE();
  } catch (const CEMRException& e) {
    EXPECT_EQ(e.GetText(), u"查询元素名称无效: a b");
  }
  EXPECT_EQ(result, nullptr);
}

TEST_P(StatementTest, QueryElementsWritesWhatXmlCannotCarryAsReplacementCharacters) {
  CCommDataSource source = Source();
  const std::u16string kFrom =
      u" FROM (SELECT 1 ID, 'a' || CHR(1) || 'b' NAME, 'ok' NOTE FROM DUAL UNION ALL "
      u"SELECT 2, 'fine', 'x' || CHR(31) FROM DUAL UNION ALL SELECT 3, 'fine', 'ok' FROM DUAL) "
      u"ORDER BY ID";
  BSTR result = nullptr;
  source.QueryElements(u"SELECT NAME, ID, NOTE" + kFrom, {u"p", u"id", u"note"}, &result, {u"id"});
  const std::u16string list = Text(result);
  EXPECT_NE(list.find(u"<p id=\"1\" note=\"ok\">a\uFFFDb</p>"), std::u16string::npos)
      << korvalis::ToUtf8(list);
  EXPECT_NE(list.find(u"<p id=\"2\" note=\"x\uFFFD\">fine</p>"), std::u16string::npos);
  CXmlStringParser parser(list);
  EXPECT_NE(parser.GetDocument(), nullptr);
  // One record for the list, naming each row by its key.
  auto records = events_.Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].type, 2);
  EXPECT_NE(records[0].text.find(u" id=1;"), std::u16string::npos)
      << korvalis::ToUtf8(records[0].text);
  EXPECT_NE(records[0].text.find(u" id=2;"), std::u16string::npos);
  EXPECT_EQ(records[0].text.find(u"id=3"), std::u16string::npos);

  // Without a key a row is named by its position.
  events_.Clear();
  source.QueryElements(u"SELECT NAME, ID" + kFrom, {u"p", u"id"}, &result);
  SysFreeString(result);
  records = events_.Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_NE(records[0].text.find(u" 第1行;"), std::u16string::npos)
      << korvalis::ToUtf8(records[0].text);
  EXPECT_EQ(records[0].text.find(u"第2行"), std::u16string::npos);

  // A list without such a character writes no record.
  events_.Clear();
  source.QueryElements(u"SELECT NAME, ID FROM T_ROW", {u"p", u"id"}, &result, {u"id"});
  SysFreeString(result);
  EXPECT_TRUE(events_.Records().empty());
}

TEST_P(StatementTest, ExecuteRefusesRowsThatXmlCannotCarry) {
  CCommDataSource source = Source();
  std::u16string rows;
  try {
    source.Execute(u"SELECT 'a' || CHR(1) X FROM DUAL", &rows);
    ADD_FAILURE();
  } catch (const CEMRException& e) {
    EXPECT_EQ(e.GetText(), u"查询结果含有XML不允许的字符.");
  }
}

TEST_P(StatementTest, AFailingStatementIsLoggedInFullAndReportedGenerically) {
  CCommDataSource source = Source();
  ExpectDatabaseError([&] { source.Execute(u"SELEC ID FROM T_ROW"); });
  const auto records = events_.Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].type, 1);
  const std::u16string prefix = u"执行SQL语句错误：\n错误代码: " +
                                korvalis::FromUtf8(std::to_string(korvalis::db::kErrorsInCommand)) +
                                u"\n错误原因: ";
  EXPECT_EQ(records[0].text.substr(0, prefix.size()), prefix);
  const std::u16string suffix = u"\n错误语句:SELEC ID FROM T_ROW";
  ASSERT_GT(records[0].text.size(), prefix.size() + suffix.size());
  EXPECT_EQ(records[0].text.substr(records[0].text.size() - suffix.size()), suffix);
  EXPECT_EQ(records[0].raw, CodeBytes(korvalis::db::kErrorsInCommand));

  // The data source stays usable after a failure.
  std::u16string value;
  source.QueryScalar(u"SELECT COUNT(*) FROM T_ROW", value);
  EXPECT_EQ(value, u"2");

  // A long statement is logged by its start and its length, never whole.
  std::u16string runaway = u"SELEC ID FROM T_ROW WHERE NOTE IN ('";
  runaway.append(300000, u'x').append(u"')");
  ExpectDatabaseError([&] { source.Execute(runaway); });
  const std::u16string text = events_.Records().back().text;
  const std::u16string quoted = u"\n错误语句:" + runaway.substr(0, 4000) + u"...(共300038个字符)";
  EXPECT_TRUE(text.ends_with(quoted)) << korvalis::ToUtf8(text.substr(0, 200));
  EXPECT_LT(text.size(), 4200u);
}

// The pieces a streamed document is handed in.
struct Pieces {
  std::vector<std::u16string> pieces;
  std::function<void(std::u16string_view)> sink = [this](std::u16string_view piece) {
    pieces.emplace_back(piece);
  };
  std::u16string Joined() const {
    std::u16string text;
    for (const std::u16string& piece : pieces) text += piece;
    return text;
  }
};

// QueryElements' document as StreamElementsWithin hands it on: undeclared, its root `root`.
std::u16string AsStreamed(std::u16string_view document, std::u16string_view root) {
  const std::u16string_view rows = document.substr(std::size(korvalis::kDomDeclaration) - 1);
  const std::u16string name(root);
  if (rows == u"<root/>") return u"<" + name + u"/>";
  return u"<" + name + u">" + std::u16string(rows.substr(6, rows.size() - 13)) + u"</" + name +
         u">";
}

TEST_P(StatementTest, StreamElementsWithinHandsOnOnlyADocumentWithinItsBound) {
  CCommDataSource source = Source();
  for (const std::u16string& sql :
       {std::u16string(u"SELECT NAME, ID FROM T_ROW ORDER BY ID"),
        std::u16string(u"SELECT LPAD('x', 3000, 'x'), N FROM T_DIVISOR WHERE N > 3970")}) {
    BSTR whole = nullptr;
    source.QueryElements(sql, {u"p", u"id"}, &whole);
    const std::u16string expected = Text(whole);
    Pieces streamed;
    EXPECT_EQ(source.StreamElementsWithin(sql, {u"p", u"id"}, expected.size(), u"result12",
                                          streamed.sink),
              expected.size());
    EXPECT_EQ(streamed.Joined(), AsStreamed(expected, u"result12"));
    for (const std::u16string& piece : streamed.pieces) EXPECT_TRUE(piece.ends_with(u">"));
    // One unit short, whether in the rows or in the end tag: the rows are read no further.
    for (std::size_t max_units : {expected.size() - 1, expected.size() - 10}) {
      Pieces refused;
      EXPECT_EQ(source.StreamElementsWithin(sql, {u"p", u"id"}, max_units, u"r", refused.sink),
                std::nullopt)
          << max_units;
      EXPECT_LT(refused.Joined().size(), AsStreamed(expected, u"r").size());
    }
  }
  // 30 rows of 3,000 characters go in more than one piece.
  Pieces rows;
  ASSERT_TRUE(source.StreamElementsWithin(u"SELECT LPAD('x', 3000, 'x') FROM T_DIVISOR WHERE N > 3970",
                                          {u"p"}, 1 << 20, u"r", rows.sink));
  EXPECT_GT(rows.pieces.size(), 1u);
  Pieces empty;
  EXPECT_EQ(source.StreamElementsWithin(u"SELECT ID FROM T_EMPTY", {u"p"}, 80, u"result1",
                                        empty.sink),
            std::size(korvalis::kDomDeclaration) - 1 + 7);
  EXPECT_EQ(empty.pieces, std::vector<std::u16string>{u"<result1/>"});
}

// The rows past the bound are never received, nor computed where the engine computes rows as
// they are asked for: the row that would fail lies beyond the bound.
TEST_P(StatementTest, StreamElementsWithinReadsNoRowPastItsBound) {
  CCommDataSource source = Source();
  const std::u16string sql = u"SELECT N, 1 / N AS Q FROM T_DIVISOR";
  Pieces streamed;
  EXPECT_EQ(source.StreamElementsWithin(sql, {u"r", u"n", u"q"}, 20000, u"root", streamed.sink),
            std::nullopt);
  EXPECT_TRUE(events_.Records().empty());
  ExpectDatabaseError([&] {
    source.StreamElementsWithin(sql, {u"r", u"n", u"q"}, std::size_t{1} << 30, u"root",
                                streamed.sink);
  });
}

// The time a page takes to write a statement's rows (a report's page: its transformation's
// process busy, a turn waited for) is the page's: a writer that takes longer than Command
// Timeout while the rows are still being read receives them all.
TEST_P(StatementTest, AWriterSlowerThanCommandTimeoutReceivesEveryRow) {
  const std::u16string sql = u"SELECT LPAD('x', 3000, 'x'), N FROM T_DIVISOR WHERE N > 3970";
  CCommDataSource source(Database(GetParam()).connection_string() + u";Command Timeout=1",
                         u"oracle");
  BSTR whole = nullptr;
  source.QueryElements(sql, {u"p", u"id"}, &whole);
  const std::u16string expected = Text(whole);
  Pieces slow;
  const std::function<void(std::u16string_view)> sink = [&](std::u16string_view piece) {
    if (slow.pieces.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    slow.sink(piece);
  };
  EXPECT_EQ(source.StreamElementsWithin(sql, {u"p", u"id"}, 1 << 20, u"r", sink), expected.size());
  EXPECT_GT(slow.pieces.size(), 1u) << "the first piece came after the last row";
  EXPECT_EQ(slow.Joined(), AsStreamed(expected, u"r"));
  EXPECT_TRUE(events_.Records().empty());
}

// Runaway queries of every shape are refused at the bound as their rows are read, and the data
// source reads on from the snapshot it had.
TEST_P(StatementTest, StreamElementsWithinStopsRunawayQueriesOfEveryShape) {
  const char16_t* const runaways[] = {
      u"SELECT A.N, B.N, C.N FROM T_MANY A, T_MANY B, T_MANY C",
      u"SELECT A.N, B.N FROM T_MANY A, T_MANY B ORDER BY B.N DESC, A.N",
      u"SELECT A.N, B.N, COUNT(*) FROM T_MANY A, T_MANY B GROUP BY A.N, B.N",
      u"SELECT DISTINCT A.N, B.N FROM T_MANY A, T_MANY B",
      u"SELECT A.N, ROW_NUMBER() OVER (ORDER BY B.N, A.N) FROM T_MANY A, T_MANY B",
      u"SELECT LEVEL, A.N FROM T_MANY A START WITH A.N <= 20 CONNECT BY LEVEL <= 2",
  };
  ScratchDatabase& database = Database(GetParam());
  CCommDataSource source = Source();
  std::u16string count;
  source.QueryScalar(u"SELECT COUNT(*) FROM T_MANY", count);
  database.Run("INSERT INTO T_MANY VALUES (0)");
  for (const char16_t* sql : runaways) {
    Pieces streamed;
    EXPECT_EQ(source.StreamElementsWithin(sql, {u"r", u"a", u"b"}, 20000, u"root", streamed.sink),
              std::nullopt)
        << korvalis::ToUtf8(sql);
    source.QueryScalar(u"SELECT COUNT(*) FROM T_MANY", count);
    EXPECT_EQ(count, u"300");
  }
  database.Run("DELETE FROM T_MANY WHERE N = 0");
  EXPECT_TRUE(events_.Records().empty());
}

TEST_P(StatementTest, AFailingRowFetchFailsTheStatement) {
  CCommDataSource source = Source();
  std::vector<std::u16string> values;
  ExpectDatabaseError(
      [&] { source.Query(u"SELECT 1 / (ID - 2) FROM T_ROW ORDER BY ID", 1, values); });
  EXPECT_EQ(events_.Records().size(), 1u);
}

// A data source used outside any call, or in a reading call, that writes after it read while
// another writer committed: the write reads what that writer left (a MAX + 1 gives no
// duplicate) and does not fail.
TEST_P(StatementTest, AWriteAfterReadsReadsWhatOtherWritersCommittedMeanwhile) {
  ScratchDatabase& database = Database(GetParam());
  const std::string next = "INSERT INTO T_SERIAL (SERIAL, WHO) SELECT NVL(MAX(SERIAL), 0) + 1, ";
  for (bool in_call : {false, true}) {
    std::optional<CCallScope> call;
    if (in_call) call.emplace(CCallScope::Mode::kReading);
    {
      CCommDataSource source = Source();
      std::u16string count;
      source.QueryScalar(u"SELECT COUNT(*) FROM T_SERIAL", count);
      database.Run(next + "'other' FROM T_SERIAL");
      source.Execute(korvalis::FromUtf8(next + "'source' FROM T_SERIAL"));
      source.QueryScalar(u"SELECT COUNT(*) FROM T_SERIAL", count);
      EXPECT_EQ(count, in_call ? u"4" : u"2");
    }
    if (call) call->Commit();
  }
  EXPECT_EQ(database.Scalar("SELECT COUNT(DISTINCT SERIAL) || ':' || COUNT(*) FROM T_SERIAL"),
            "4:4");
  EXPECT_TRUE(events_.Records().empty());
}

// A statement of a call that runs past Command Timeout is cancelled; the event log names the
// bound and the statement, and the call's work so far is undone with the call.
TEST_P(StatementTest, AStatementPastCommandTimeoutFailsItsCallAndIsLoggedWithItsText) {
  ScratchDatabase& database = Database(GetParam());
  const std::u16string runaway =
      u"SELECT A.N, B.N FROM T_DIVISOR A, T_DIVISOR B, T_DIVISOR C ORDER BY C.N";
  {
    CCallScope call(CCallScope::Mode::kWriting);
    CCommDataSource source(Database(GetParam()).connection_string() + u";Command Timeout=1",
                           u"oracle");
    source.Execute(u"INSERT INTO T_SERIAL (SERIAL, WHO) VALUES (100, 'timeout')");
    std::vector<std::u16string> values;
    ExpectDatabaseError([&] { source.Query(runaway, 2, values); });
  }
  EXPECT_EQ(database.Scalar("SELECT COUNT(*) FROM T_SERIAL WHERE WHO = 'timeout'"), "0");
  const auto records = events_.Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_NE(records[0].text.find(u"ORA-01013: user requested cancel of current operation: the "
                                 u"statement ran longer than its Command Timeout of 1 seconds"),
            std::u16string::npos)
      << korvalis::ToUtf8(records[0].text);
  EXPECT_NE(records[0].text.find(u"\n错误语句:" + runaway), std::u16string::npos);
  EXPECT_EQ(records[0].raw, CodeBytes(korvalis::db::kBusy));
}

// A writing statement whose wait for the writers' turn ends at its Command Timeout is logged with
// its own text, in a call and alone: the transaction it waited to begin was begun for it.
TEST_P(StatementTest, AWriteThatCannotHaveTheWritersTurnIsLoggedWithItsText) {
  ScratchDatabase& database = Database(GetParam());
  std::unique_ptr<korvalis::db::Connection> holder =
      korvalis::db::OpenConnection(database.init_string());
  holder->Begin(korvalis::db::Connection::TransactionMode::kWriting);
  holder->Execute("INSERT INTO T_SERIAL (SERIAL, WHO) VALUES (200, 'holder')");
  ASSERT_TRUE(holder->HoldsWritersTurn());
  const std::u16string write = u"INSERT INTO T_SERIAL (SERIAL, WHO) VALUES (201, 'waiting')";
  for (bool in_call : {false, true}) {
    events_.Clear();
    {
      std::optional<CCallScope> call;
      if (in_call) call.emplace(CCallScope::Mode::kWriting);
      CCommDataSource source(database.connection_string() + u";Command Timeout=1", u"oracle");
      ExpectDatabaseError([&] { source.Execute(write); });
    }
    const auto records = events_.Records();
    ASSERT_EQ(records.size(), 1u) << (in_call ? "in a call" : "alone");
    EXPECT_NE(records[0].text.find(u"\n错误语句:" + write), std::u16string::npos)
        << korvalis::ToUtf8(records[0].text);
  }
  holder->Rollback();
  EXPECT_EQ(database.Scalar("SELECT COUNT(*) FROM T_SERIAL WHERE SERIAL >= 200"), "0");
}

INSTANTIATE_TEST_SUITE_P(Engines, StatementTest, korvalis::db::testing::kBothEngines,
                         korvalis::db::testing::EngineName);

// The file hands its rows over one at a time; what the reader keeps of them is bounded.
using FileHeldRowsTest = StatementTest;

// A statement without end whose rows a reader keeps (27 million rows, no Command Timeout) is
// stopped once they would hold 256 MiB, in a list and in a document alike; the data source
// reads on.
TEST_P(FileHeldRowsTest, RowsKeptPastTheirMemoryBoundStopTheStatement) {
  const std::u16string runaway = u"SELECT A.N, B.N FROM T_MANY A, T_MANY B, T_MANY C";
  CCommDataSource source(Database(GetParam()).connection_string() + u";Command Timeout=0",
                         u"oracle");
  std::vector<std::u16string> values;
  ExpectDatabaseError([&] { source.Query(runaway, 1, values); });
  values = {};
  ExpectDatabaseError([&] { source.Execute(runaway, &values.emplace_back()); });
  values = {};
  const auto records = events_.Records();
  ASSERT_EQ(records.size(), 2u);
  for (const auto& record : records) {
    EXPECT_NE(record.text.find(u"ORA-04030: out of process memory when trying to allocate: the "
                               u"rows read would hold more than 256 MiB"),
              std::u16string::npos)
        << korvalis::ToUtf8(record.text);
  }
  std::u16string count;
  source.QueryScalar(u"SELECT COUNT(*) FROM T_MANY", count);
  EXPECT_EQ(count, u"300");
}

INSTANTIATE_TEST_SUITE_P(File, FileHeldRowsTest, ::testing::Values(korvalis::db::Engine::kSqlite),
                         korvalis::db::testing::EngineName);

TEST(QuotedStatement, QuotesALongStatementByItsStartAndItsLength) {
  using korvalis::datasource::QuotedStatement;
  const std::u16string within(4000, u'a');
  EXPECT_EQ(QuotedStatement(within), within);
  EXPECT_EQ(QuotedStatement(within + u"b"), within + u"...(共4001个字符)");
  // A character of two units is counted once and never cut in two.
  const std::u16string pair = u"\U0002A6A5";
  const std::u16string split = std::u16string(3999, u'a') + pair + pair;
  EXPECT_EQ(QuotedStatement(split), std::u16string(3999, u'a') + u"...(共4001个字符)");
  EXPECT_EQ(QuotedStatement(u""), u"");
}

TEST(MaskPassword, MasksEveryPasswordItemWhereverItStands) {
  struct Case {
    std::u16string_view text, masked;
  };
  constexpr Case kCases[] = {
      // Items of a connection string, in any case; a quoted value may hold a ";".
      {u"Provider=x;Password=secret;User ID=a", u"Provider=x;Password=******;User ID=a"},
      {u"Provider=x;Password=secret", u"Provider=x;Password=******"},
      {u"provider=x;password=s;PWD=t;pwd = 'a;b';x=1",
       u"provider=x;password=******;PWD=******;pwd =******;x=1"},
      {u"junk;Password=;", u"junk;Password=******;"},
      {u"Data Source='a;b.db';Password='s;4'", u"Data Source='a;b.db';Password=******"},
      {u"Jet OLEDB:Database Password=s5;Mode=1", u"Jet OLEDB:Database Password=******;Mode=1"},
      // Inside quoted values, nested ones included.
      {u"Provider=MSDASQL;Extended Properties=\"DSN=emr;UID=sa;Password=s1;\"",
       u"Provider=MSDASQL;Extended Properties=\"DSN=emr;UID=sa;Password=******;\""},
      {u"Extended Properties='DSN=emr;PWD=s2';User ID=a",
       u"Extended Properties='DSN=emr;PWD=******';User ID=a"},
      {u"A=\"B='C=1;Pwd=s3;D=2';E=3\";F=4", u"A=\"B='C=1;Pwd=******;D=2';E=3\";F=4"},
      {u"x=\"unterminated;Password=s8", u"x=\"unterminated;Password=******"},
      // In a message that quotes a connection string.
      {u"连接串:Password=s6，其他", u"连接串:Password=******"},
      {u"invalid item 'Pwd=s7;x'", u"invalid item 'Pwd=******;x'"},
      // Keys that only contain the word, and texts without a password, stay.
      {u"PasswordHint=h;PwdLength=8;a=\"b\"", u"PasswordHint=h;PwdLength=8;a=\"b\""},
      {u"Provider=SQLite;Data Source=/tmp/a.db", u"Provider=SQLite;Data Source=/tmp/a.db"},
      {u"Password", u"Password"},
      {u"", u""},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(MaskPassword(c.text), c.masked) << korvalis::ToUtf8(c.text);
  }
}

}  // namespace
