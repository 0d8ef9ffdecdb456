// The server's process of a statement ends with its client: statements whose worst case in the
// server's own functions is seconds or minutes of work (searches that almost match everywhere,
// patterns, thousands of text query terms, paths over deep documents, changes of case of long
// texts) answer or fail with ORA-01013 within Command Timeout, and no backend of theirs is busy
// after the client's error, so that the next writer gets its turn. What the embedded file
// refuses at its memory bound is refused on the server before the work, no server process
// passing 1 GB.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "platform/db/connection_pool.h"
#include "platform/db/sql_error.h"
#include "platform/db/testing/db_test_util.h"
#include "platform/db/testing/engine_database.h"
#include "platform/db/testing/postgres_test_server.h"

namespace korvalis::db {
namespace {

using testing::PostgresTestServer;
using testing::Scalar;

// 3,276,700 characters that almost match the search texts below everywhere.
const std::string kLongRun = "REPLACE(RPAD('a', 32767, 'a'), 'a', RPAD('a', 100, 'a'))";
const std::string kAlmostEverywhere = "'b' || RPAD('a', 32766, 'a')";

class ServerBackendTest : public ::testing::Test {
 protected:
  // The statements of the tested connection that the server is still running.
  int BusyBackends() {
    return std::stoi(PostgresTestServer::Get().RunSql(
        database_.init_string(),
        "SELECT count(*) FROM pg_stat_activity WHERE datname = current_database() "
        "AND pid <> pg_backend_pid() AND state = 'active'"));
  }
  // Whether no backend is busy within 4 s of now: the 2 s a backend may take to meet its
  // cancel, and 2 s more for a loaded machine.
  // `watched`, when given, is a server process whose processor time is read every 10 ms into
  // `*spent` while it lives.
  bool BackendsEndSoon(int watched = 0, long* spent = nullptr) {
    for (int i = 0; i < 400; ++i) {
      if (watched != 0) *spent = std::max(*spent, ProcessorMilliseconds(watched));
      if (i % 10 == 0 && BusyBackends() == 0) {
        if (watched != 0) *spent = std::max(*spent, ProcessorMilliseconds(watched));
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  // The processor time, user and system, that the server process `pid` has spent, in ms; -1
  // once it has ended.
  static long ProcessorMilliseconds(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return -1;
    // The fields after the command's name, which is in brackets: state first, then utime and
    // stime as the 12th and 13th.
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    long user = 0, system = 0;
    for (int i = 1; i <= 13 && fields >> field; ++i) {
      if (i == 12) user = std::stol(field);
      if (i == 13) system = std::stol(field);
    }
    return (user + system) * 1000 / ::sysconf(_SC_CLK_TCK);
  }
  // The peak of the resident memory of the server process `pid`, in MiB.
  long PeakMegabytes(int pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
      if (line.starts_with("VmHWM:")) return std::stol(line.substr(6)) / 1024;
    }
    return -1;
  }
  // The process of the one connection of the system's own that is open besides the owner.
  int NewestBackend() {
    return std::stoi(PostgresTestServer::Get().RunSql(
        database_.init_string(),
        "SELECT max(pid) FROM pg_stat_activity WHERE datname = current_database() "
        "AND application_name = 'korvalis'"));
  }
  // Runs `sql`; its failure's message, or "" when it answers.
  static std::string FailureOf(Connection& c, const std::string& sql) {
    try {
      testing::Query(c, sql);
    } catch (const DbError& e) {
      return e.what();
    }
    return "";
  }

  testing::SharedEmptyDatabase database_{Engine::kPostgres, "server_backend_bounds"};
};

TEST_F(ServerBackendTest, AStatementsBackendEndsWithItsClient) {
  auto c = OpenConnection(database_.init_string() + ";Command Timeout=2");
  c->Execute("CREATE TABLE T_NOTE (ID NUMBER, BODY VARCHAR2(200))");
  c->Execute("CREATE INDEX IX_T_NOTE ON T_NOTE (BODY) INDEXTYPE IS CTXSYS.CONTEXT");
  c->Execute("INSERT INTO T_NOTE SELECT LEVEL, 'fever and cough ' || LEVEL FROM DUAL "
             "CONNECT BY LEVEL <= 2002");
  std::string terms = "w0";
  for (int i = 1; i < 8000; ++i) terms += "|w" + std::to_string(i);
  const std::string chain = "RPAD('<a>', 750, '<a>') || RPAD('t', 15000, 't') || "
                            "RPAD('</a>', 1000, '</a>')";
  const std::string deep = "'<r>' || REPLACE(RPAD('x', 2400, 'x'), 'x', " + chain + ") || '</r>'";
  for (const std::string& sql : {
           "SELECT INSTR(" + kLongRun + ", " + kAlmostEverywhere + ") FROM DUAL",
           "SELECT INSTR(" + kLongRun + ", RPAD('a', 32766, 'a') || 'b', 2) FROM DUAL",
           "SELECT LENGTH(REPLACE(" + kLongRun + ", " + kAlmostEverywhere + ", 'x')) FROM DUAL",
           "SELECT COUNT(*) FROM DUAL WHERE " + kLongRun + " LIKE '%' || RPAD('a', 4000, 'a') || 'b'",
           "SELECT COUNT(*) FROM T_NOTE WHERE CONTAINS(BODY, '" + terms + "') > 0",
           "SELECT EXTRACTVALUE(" + deep + ", 'count(//*[contains(., \"x\")])') FROM DUAL",
       }) {
    const std::string failure = FailureOf(*c, sql);
    EXPECT_TRUE(failure.empty() || failure.starts_with("ORA-01013: ")) << failure;
    EXPECT_TRUE(BackendsEndSoon()) << sql.substr(0, 200);
  }
  // The searches still find what they look for.
  EXPECT_EQ(Scalar(*c, "SELECT INSTR(" + kLongRun + " || " + kAlmostEverywhere + ", " +
                           kAlmostEverywhere + ") || ',' || INSTR(" + kLongRun + " || " +
                           kAlmostEverywhere + " || 'x', " + kAlmostEverywhere + ", -1) || ',' || "
                           "LENGTH(REPLACE(" + kLongRun + " || " + kAlmostEverywhere + ", " +
                           kAlmostEverywhere + ", 'xy')) FROM DUAL"),
            "3276701,3276701,3276702");
  EXPECT_EQ(Scalar(*c, "SELECT COUNT(*) FROM DUAL WHERE RPAD('a', 32767, 'a') LIKE "
                       "'%' || RPAD('a', 400, 'a')"),
            "1");
  const std::string tail = "RPAD('c', 200, 'c')";
  EXPECT_EQ(Scalar(*c, "SELECT COUNT(*) FROM T_NOTE WHERE 'a_b' || " + tail + " LIKE 'a\\_b' || " +
                           tail + " ESCAPE '\\' AND 'axb' || " + tail + " NOT LIKE 'a\\_b' || " +
                           tail + " ESCAPE '\\' AND BODY NOT LIKE '%' || " + tail + " AND ID < 3"),
            "2");
}

// A pattern of 100 bytes searched for at each place of 98 MB that matches 97 of them
// everywhere, some 10^10 steps: a pattern of plain texts between its '%' is searched for in
// windows that the cancel reaches, and ends by Command Timeout; one with a '_', or computed,
// which only the server's own match can take, is refused before it runs, saying why. A short
// text is still matched.
TEST_F(ServerBackendTest, AShortPatternOverALongTextEndsByCommandTimeout) {
  database_.owner().Execute("CREATE TABLE T_LONG (BODY CLOB)");
  database_.owner().Execute("INSERT INTO T_LONG SELECT REPLACE(RPAD('b', 32767, 'b'), 'b', "
                            "RPAD('b', 3000, 'b')) FROM DUAL");
  auto c = OpenConnection(database_.init_string() + ";Command Timeout=2");
  const std::string pattern = "'%" + std::string(97, 'b') + "c%'";
  const std::string refused = CommandTimeoutTooShort(std::chrono::seconds(2)).what();
  for (const std::string& condition : {"BODY LIKE " + pattern, "BODY NOT LIKE " + pattern}) {
    const auto start = std::chrono::steady_clock::now();
    const std::string failure = FailureOf(*c, "SELECT COUNT(*) FROM T_LONG WHERE " + condition);
    EXPECT_TRUE(failure.empty() || failure.starts_with("ORA-01013: ")) << failure;
    EXPECT_FALSE(failure.starts_with(refused)) << condition;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4)) << condition;
    EXPECT_TRUE(BackendsEndSoon()) << condition;
  }
  for (const std::string& condition :
       {"BODY LIKE '%" + std::string(96, 'b') + "_c%'",
        "BODY LIKE SUBSTR(" + pattern + ", 1, 99) || '%'"}) {
    EXPECT_TRUE(FailureOf(*c, "SELECT COUNT(*) FROM T_LONG WHERE " + condition)
                    .starts_with(refused))
        << condition;
    EXPECT_TRUE(BackendsEndSoon()) << condition;
  }
  EXPECT_EQ(Scalar(*c, "SELECT COUNT(*) FROM T_LONG WHERE SUBSTR(BODY, 1, 3000) || 'c' LIKE " +
                           pattern + " AND SUBSTR(BODY, 1, 30000) NOT LIKE " + pattern),
            "1");
}

// Notes of 1, 8 and 64 MB are matched by patterns of 1 to 98 bytes at the Command Timeouts that
// the server's own match meets, through a view too: the parts between the '%' are found in
// order, the text's start and end kept to the parts before the first and after the last.
TEST_F(ServerBackendTest, PatternsOfPlainTextsOverLongNotesAnswer) {
  const std::string sentence = "'Patient reports fever and cough since 3 days; temperature 38.5, "
                               "pulse 92 beats/min. '";
  const std::string kilo = "REPLACE(RPAD('x', 1000, 'x'), 'x', " + sentence + ")";
  database_.owner().Execute("CREATE TABLE T_NOTES (ID NUMBER, BODY CLOB)");
  for (const auto& [id, copies] : {std::pair{1, 12}, {8, 100}, {64, 800}}) {
    database_.owner().Execute("INSERT INTO T_NOTES SELECT " + std::to_string(id) +
                              ", REPLACE(RPAD('y', " + std::to_string(copies) + ", 'y'), 'y', " +
                              kilo + ") FROM DUAL");
  }
  const std::string absent98 =
      "'%Patient reports fever and cough since 3 days; temperature 38.5, pulse 92 beats/min. "
      "Patient: chills%'";
  const std::string present98 =
      "'%cough since 3 days; temperature 38.5, pulse 92 beats/min. Patient reports fever and "
      "cough since 3 d%'";
  const std::string absent40 = "'%temperature 38.5, pulse 92 beats/hour. %'";
  const struct {
    int seconds;
    int id;
    std::string condition;
    const char* count;
  } cases[] = {
      {1, 1, "BODY LIKE " + absent98, "0"},
      {1, 1, "BODY LIKE " + present98, "1"},
      {1, 8, "BODY LIKE '%pulse 92 b%'", "1"},
      {1, 8, "BODY LIKE " + absent40, "0"},
      {1, 64, "BODY LIKE '%h%'", "1"},
      {1, 64, "BODY LIKE '%zq%'", "0"},
      {1, 64, "BODY LIKE '%/min. '", "1"},
      {1, 64, "BODY LIKE '%h'", "0"},
      {1, 64, "BODY LIKE 'Patient%fever%cough%/min. '", "1"},
      {1, 64, "BODY LIKE 'Patient%fever%chills%'", "0"},
      {1, 64, "BODY LIKE " + absent98, "0"},
      {1, 64, "BODY LIKE " + present98, "1"},
      {10, 64, "BODY NOT LIKE " + absent98, "1"},
  };
  for (const auto& test : cases) {
    auto c = OpenConnection(database_.init_string() + ";Command Timeout=" +
                            std::to_string(test.seconds));
    const std::string sql = "SELECT COUNT(*) FROM T_NOTES WHERE ID = " +
                            std::to_string(test.id) + " AND " + test.condition;
    EXPECT_EQ(FailureOf(*c, sql), "") << test.seconds << " s: " << sql;
    EXPECT_EQ(Scalar(*c, sql), test.count) << sql;
  }
  database_.owner().Execute("CREATE VIEW V_NOTES AS SELECT ID FROM T_NOTES WHERE BODY LIKE " +
                            absent98);
  auto c = OpenConnection(database_.init_string() + ";Command Timeout=1");
  EXPECT_EQ(Scalar(*c, "SELECT COUNT(*) FROM V_NOTES"), "0");
}

// A change of case of 134,213,632 characters, two seconds or more of the server's own work in
// one call, is done in pieces that the cancel reaches between: the server's process stops at
// Command Timeout, having spent no more than that second and a half of its processor on the
// statement. The time is counted on the processor, which a loaded machine does not stretch:
// the process cannot spend more of it before its deadline than the deadline's second, and one
// that changes the case in one call spends the whole work. Reading the text and a piece are
// out of a cancel's reach; where a loaded machine stretches them past the client's grace, the
// connection is closed (ORA-03113) and the process ends when it meets its cancel.
TEST_F(ServerBackendTest, AChangeOfCaseOfALongTextEndsWithItsClient) {
  database_.owner().Execute("CREATE TABLE T_CASE (BODY CLOB)");
  database_.owner().Execute("INSERT INTO T_CASE SELECT REPLACE(RPAD('a', 32767, 'a'), 'a', "
                            "RPAD('aB c', 4096, 'aB c')) FROM DUAL");
  for (const std::string f : {"UPPER", "LOWER", "INITCAP"}) {
    auto c = OpenConnection(database_.init_string() + ";Command Timeout=1");
    const int backend = NewestBackend();
    const long before = ProcessorMilliseconds(backend);
    const std::string failure = FailureOf(*c, "SELECT LENGTHB(" + f + "(BODY)) FROM T_CASE");
    EXPECT_TRUE(failure.empty() || failure.starts_with("ORA-01013: ") ||
                failure.starts_with("ORA-03113: "))
        << failure;
    long spent = before;
    EXPECT_TRUE(BackendsEndSoon(backend, &spent)) << f;
    EXPECT_LT(spent - before, 1500) << f << " kept the server's processor after its deadline";
  }
}

// A writer whose statement runs past its Command Timeout leaves the writers' turn with its
// client: the next writer of another row gets it at once.
TEST_F(ServerBackendTest, TheNextWriterGetsItsTurnAfterAStatementTimedOut) {
  database_.owner().Execute("CREATE TABLE T_PATIENT (ID NUMBER PRIMARY KEY, NAME VARCHAR2(20))");
  database_.owner().Execute("INSERT INTO T_PATIENT VALUES (1, 'one')");
  database_.owner().Execute("INSERT INTO T_PATIENT VALUES (2, 'two')");
  auto first = OpenConnection(database_.init_string() + ";Command Timeout=2");
  first->Begin(Connection::TransactionMode::kWriting);
  first->Execute("UPDATE T_PATIENT SET NAME = 'first' WHERE ID = 1");
  // 9,830,100 characters, each place of which matches all but the last of the search text's
  // 32,767: minutes of the server's own search.
  EXPECT_TRUE(FailureOf(*first, "SELECT INSTR(REPLACE(RPAD('a', 32767, 'a'), 'a', RPAD('a', 300, "
                                "'a')), RPAD('a', 32766, 'a') || 'b') FROM DUAL")
                  .starts_with("ORA-01013: "));
  try {
    first->Rollback();
  } catch (const DbError&) {
    // A connection given up at the deadline has nothing left to undo.
  }
  auto second = OpenConnection(database_.init_string() + ";Command Timeout=5");
  second->Execute("UPDATE T_PATIENT SET NAME = 'second' WHERE ID = 2");
  EXPECT_EQ(Scalar(*second, "SELECT NAME FROM T_PATIENT WHERE ID = 2"), "second");
}

TEST_F(ServerBackendTest, WhatTheFileRefusesForItsMemoryTheServerRefusesBeforeTheWork) {
  auto c = OpenConnection(database_.init_string() + ";Command Timeout=30");
  const int backend = NewestBackend();
  c->Execute("CREATE TABLE T_ROW (ID NUMBER, BODY VARCHAR2(4000))");
  c->Execute("INSERT INTO T_ROW SELECT LEVEL, RPAD('r', 4000, 'r') FROM DUAL "
             "CONNECT BY LEVEL <= 3000");
  c->Execute("CREATE TABLE T_LETTER (BODY CLOB)");
  c->Execute("INSERT INTO T_LETTER SELECT REPLACE(RPAD('a', 32767, 'a'), 'a', "
             "RPAD('a', 4096, 'a')) FROM DUAL");
  const std::string wide = "'<a>' || REPLACE(RPAD('x', 23000, 'x'), 'x', RPAD('<b>', 750, '<b>') "
                           "|| 'text' || RPAD('</b>', 1000, '</b>')) || '</a>'";
  for (const std::string& sql : std::initializer_list<std::string>{
           "SELECT EXTRACTVALUE(" + wide + ", '/a/b[1]/b[1]/@x') FROM DUAL",
           "SELECT LENGTH(RPAD(REPLACE(RPAD('x', 32767, 'x'), 'x', RPAD('y', 30000, 'y')), 10)) "
           "FROM DUAL",
           "SELECT REGEXP_COUNT(REPLACE(RPAD('a', 32767, 'a'), 'a', RPAD('a', 6200, 'a')), 'a') "
           "FROM DUAL",
           "SELECT LENGTH(BODY || '-' || BODY) FROM T_LETTER",
       }) {
    EXPECT_TRUE(FailureOf(*c, sql).starts_with("ORA-04030: ")) << sql.substr(0, 100);
  }
  // LISTAGG past its limit is refused as the file refuses it, as soon as its text passes it.
  EXPECT_TRUE(FailureOf(*c, "SELECT LISTAGG(BODY, ',') WITHIN GROUP (ORDER BY ID) FROM T_ROW "
                            "CROSS JOIN (SELECT LEVEL FROM DUAL CONNECT BY LEVEL <= 100)")
                  .starts_with("ORA-01489: "));
  EXPECT_LT(PeakMegabytes(backend), 1024);
}

// A search for one character far into 98,301,000 characters, from either end, counts its
// occurrences a piece at a time: no backend passes 1 GB.
TEST_F(ServerBackendTest, ASearchForOneCharacterFarIntoALongTextStaysWithinTheMemoryBound) {
  auto c = OpenConnection(database_.init_string() + ";Command Timeout=60");
  const int backend = NewestBackend();
  const std::string text = "REPLACE(RPAD('b', 32767, 'b'), 'b', RPAD('b', 3000, 'b'))";
  EXPECT_EQ(Scalar(*c, "SELECT INSTR(" + text + ", 'b', 2, 90000000) || ',' || INSTR(" + text +
                           ", 'b', -2, 90000000) FROM DUAL"),
            "90000001,8301000");
  EXPECT_LT(PeakMegabytes(backend), 1024);
}

// Concatenations hold each text they join a few times at most: four texts of 32.8 MB joined two
// by two, from a column or computed, or one after another from a column, keep the server's
// process under a gigabyte.
TEST_F(ServerBackendTest, ConcatenationsOfLongTextsStayUnderAGigabyte) {
  auto c = OpenConnection(database_.init_string() + ";Command Timeout=60");
  const int backend = NewestBackend();
  c->Execute("CREATE TABLE T_PART (BODY CLOB)");
  const std::string part = "REPLACE(RPAD('a', 32767, 'a'), 'a', RPAD('b', 1000, 'b'))";
  c->Execute("INSERT INTO T_PART SELECT " + part + " FROM DUAL");
  for (const std::string& x : {std::string("BODY"), part}) {
    EXPECT_EQ(Scalar(*c, "SELECT LENGTH(CONCAT(CONCAT(" + x + ", " + x + "), CONCAT(" + x + ", " +
                             x + "))) FROM T_PART"),
              "131068000");
  }
  EXPECT_EQ(Scalar(*c, "SELECT LENGTH(BODY || BODY || BODY || BODY) FROM T_PART"), "131068000");
  EXPECT_LT(PeakMegabytes(backend), 1024);
}

}  // namespace
}  // namespace korvalis::db
