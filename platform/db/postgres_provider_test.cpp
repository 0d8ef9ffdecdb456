// What only the PostgreSQL provider has: its numbers as Oracle shows them, the server's
// failures as the data sources know failures, the connection's parameters, statements that
// fail alone inside a transaction, the writers' turn of writing transactions, and queries whose
// rows are received as they are read.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <thread>

#include "platform/db/cancel_at_signal.h"
#include "platform/db/connection_pool.h"
#include "platform/db/connection_string.h"
#include "platform/db/database_clock.h"
#include "platform/db/testing/db_test_util.h"
#include "platform/db/postgres_connection.h"
#include "platform/db/postgres_error.h"
#include "platform/db/postgres_rows.h"
#include "platform/db/script_runner.h"
#include "platform/db/testing/engine_database.h"
#include "platform/db/testing/postgres_test_server.h"

namespace korvalis::db {
namespace {

using testing::Scalar;

TEST(OracleDecimalTest, PlainDecimalsRoundedToOracleDigits) {
  std::string buffer;
  EXPECT_EQ(OracleDecimal("42", &buffer), "42");
  EXPECT_EQ(OracleDecimal("2.50", &buffer), "2.5");
  EXPECT_EQ(OracleDecimal("-0.1250", &buffer), "-0.125");
  EXPECT_EQ(OracleDecimal("3.000", &buffer), "3");
  EXPECT_EQ(OracleDecimal("-0.000", &buffer), "0");
  EXPECT_EQ(OracleDecimal("12345678901234567890123456789012345678901234", &buffer),
            "12345678901234567890123456789012345678900000");
  EXPECT_EQ(OracleDecimal("1234567890123456789012345678901234567890123", &buffer),
            "1234567890123456789012345678901234567890000");
  EXPECT_EQ(OracleDecimal("0.99999999999999999999999999999999999999999999", &buffer), "1");
  EXPECT_EQ(OracleDecimal("-9.999999999999999999999999999999999999999", &buffer), "-10");
  EXPECT_EQ(OracleDecimal("0.000123456789012345678901234567890123456789", &buffer),
            "0.000123456789012345678901234567890123456789");
  EXPECT_EQ(OracleDecimal("0.0012345678901234567890123456789012345678951", &buffer),
            "0.001234567890123456789012345678901234567895");
}

TEST(PostgresErrorTest, ServerFailuresBecomeOracleMessagesWithTheirCodes) {
  struct Case {
    const char* sqlstate;
    const char* message;
    int32_t code;
    const char* starts;
  } cases[] = {
      {"23505", "duplicate key value violates unique constraint", kIntegrityViolation,
       "ORA-00001: unique constraint violated (duplicate key"},
      {"23502", "null value in column", kIntegrityViolation, "ORA-01400"},
      {"22P02", "invalid input syntax for type numeric", kConversionFailed, "ORA-01722"},
      {"42P01", "relation \"X\" does not exist", kNoSuchTable, "ORA-00942"},
      {"42501", "permission denied for table t", kErrorsInCommand,
       "ORA-01031: insufficient privileges (permission denied"},
      {"40P01", "deadlock detected", kBusy, "ORA-00060"},
      {"55P03", "canceling statement due to lock timeout", kBusy, "ORA-00054"},
      {"57P01", "terminating connection due to administrator command", kProviderFailed,
       "ORA-03113"},
      {"25P03", "terminating connection due to idle-in-transaction timeout", kProviderFailed,
       "ORA-02396: exceeded maximum idle time"},
      {"KV001", "ORA-01861: literal does not match format string", kConversionFailed,
       "ORA-01861: literal does not match format string"},
      {"KV002", "ORA-01438: value larger", kDataOverflow, "ORA-01438: value larger"},
      {"XX000", "internal error", kProviderFailed, "ORA-00600: internal error code (internal"},
      {"XX000", "invalid memory alloc request size 1677670404", kProviderFailed,
       "ORA-04030: out of process memory when trying to allocate (invalid memory alloc"},
      {"54000", "requested length too large", kProviderFailed, "ORA-04030: "},
      // A cancel while the server compiles or runs a regular expression.
      {"2201B", "invalid regular expression: operation cancelled", kBusy, "ORA-01013: "},
      {"2201B", "invalid regular expression: regular expression is too complex", kProviderFailed,
       "ORA-12733: regular expression too long"},
      {"42725", "function ora_round(unknown) is not unique", kErrorsInCommand,
       "ORA-00932: inconsistent datatypes: ROUND: no form of it takes (NULL)"},
      {"42883", "function ora_trunc_date(timestamp without time zone, integer) does not exist",
       kErrorsInCommand, "ORA-00932: inconsistent datatypes: TRUNC: no form of it takes (DATE, NUMBER)"},
      {"42883", "function upper(integer) does not exist", kErrorsInCommand,
       "ORA-00932: inconsistent datatypes (function upper(integer)"},
  };
  for (const Case& c : cases) {
    DbError e = PostgresError(c.sqlstate, std::string(c.message) + "\n");
    EXPECT_EQ(e.code(), c.code) << c.sqlstate;
    EXPECT_EQ(std::string(e.what()).rfind(c.starts, 0), 0u) << e.what();
    // The runtime's own functions are never named.
    EXPECT_EQ(std::string(e.what()).find("ora_"), std::string::npos) << e.what();
    // The server's own state stays in the description.
    EXPECT_NE(std::string(e.what()).find(std::string("[SQLSTATE ") + c.sqlstate + "]"),
              std::string::npos)
        << e.what();
  }
}

TEST(PostgresConnectTest, AServerThatCannotBeReachedFailsToConnectWithoutThePassword) {
  const char* init =
      "Provider=PostgreSQL;Host=/nonexistent-socket-dir;Port=5999;Database=emr;"
      "User ID=emr;Password=s3cret-word;Connect Timeout=2";
  try {
    ConnectionPools::Acquire(init);
    FAIL() << "connected";
  } catch (const DbError& e) {
    EXPECT_EQ(e.code(), kCannotConnect);
    EXPECT_EQ(std::string(e.what()).find("s3cret-word"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("cannot connect to the PostgreSQL server"),
              std::string::npos)
        << e.what();
  }
  EXPECT_THROW(OpenConnection("Provider=PostgreSQL;Port=5432"), DbError);
  EXPECT_THROW(OpenConnection("Provider=Oracle;Data Source=x"), DbError);
  EXPECT_TRUE(IsServerDatabase("provider=postgresql;Data Source=postgresql://h/emr"));
  EXPECT_FALSE(IsServerDatabase("Provider=SQLite;Data Source=x.db"));
}

// A database whose functions an earlier build installed gets this build's at its first
// connection: the earlier ones lack what this build's call.
TEST(PostgresRuntimeTest, ADatabaseInstalledByAnEarlierBuildGetsThisBuildsFunctions) {
  testing::PostgresTestServer& server = testing::PostgresTestServer::Get();
  const std::string init = server.CreateDatabase();
  OpenConnection(init);
  server.RunSql(init,
                "CREATE OR REPLACE FUNCTION korvalis_runtime_version() RETURNS integer "
                "LANGUAGE sql IMMUTABLE AS $f$ SELECT 1 $f$; DROP FUNCTION ora_quoted(text)");
  auto c = OpenConnection(init);
  try {
    testing::Query(*c, "SELECT TO_NUMBER(DUMMY || '" + std::string(100, '7') + "') FROM DUAL");
    ADD_FAILURE() << "converted";
  } catch (const DbError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("ORA-01722: invalid number: 'X777", 0), 0u) << e.what();
  }
  c.reset();
  server.DropDatabase(init);
}

class PostgresTransactionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    c_ = testing::OpenEmptyDatabase(Engine::kPostgres, &init_);
    RunScript(*c_,
              "CREATE TABLE T_ALLOC (ID NUMBER(10) PRIMARY KEY, WHO VARCHAR2(10));\n"
              "CREATE TABLE T_FREE (ID NUMBER(10) PRIMARY KEY);\n"
              "INSERT INTO T_ALLOC VALUES (1, 'seed');\n");
  }
  // Whether some session waits for a lock (polled for a bounded time).
  bool SomeoneWaitsForALock() {
    for (int i = 0; i < 400; ++i) {
      if (testing::PostgresTestServer::Get().RunSql(
              init_, "SELECT count(*) FROM pg_locks WHERE NOT granted") != "0") {
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return false;
  }
  std::string init_;
  std::unique_ptr<Connection> c_;
};

TEST_F(PostgresTransactionTest, AFailingStatementUndoesOnlyItself) {
  c_->Begin(Connection::TransactionMode::kWriting);
  c_->Execute("INSERT INTO T_ALLOC VALUES (2, 'a')");
  EXPECT_THROW(c_->Execute("INSERT INTO T_ALLOC VALUES (2, 'dup')"), DbError);
  EXPECT_THROW(c_->Execute("SELECT TO_NUMBER(WHO) FROM T_ALLOC"), DbError);
  c_->Execute("INSERT INTO T_ALLOC VALUES (3, 'b')");
  c_->Commit();
  EXPECT_EQ(Scalar(*c_, "SELECT COUNT(*) || ':' || MAX(ID) FROM T_ALLOC"), "3:3");
}

TEST_F(PostgresTransactionTest, AFailureBeforeAnyWorkLeavesTheTransactionUsable) {
  for (auto mode : {Connection::TransactionMode::kReading, Connection::TransactionMode::kWriting}) {
    c_->Begin(mode);
    EXPECT_THROW(c_->Execute("SELECT TO_NUMBER(WHO) FROM T_ALLOC"), DbError);
    EXPECT_EQ(Scalar(*c_, "SELECT COUNT(*) FROM T_ALLOC"), "1");
    EXPECT_THROW(c_->Execute("SELECT TO_NUMBER(WHO) FROM T_ALLOC"), DbError);
    c_->Commit();
  }
  c_->Begin(Connection::TransactionMode::kWriting);
  EXPECT_THROW(c_->Execute("INSERT INTO T_ALLOC VALUES (1, 'dup')"), DbError);
  c_->Execute("INSERT INTO T_ALLOC VALUES (2, 'a')");
  EXPECT_THROW(c_->Execute("INSERT INTO T_ALLOC VALUES (2, 'dup')"), DbError);
  c_->Execute("INSERT INTO T_ALLOC VALUES (3, 'b')");
  c_->Rollback();
  EXPECT_EQ(Scalar(*c_, "SELECT COUNT(*) FROM T_ALLOC"), "1");
}

// A reading transaction is committed without waiting for the answer: the connection goes on
// as after any commit, its snapshot ended, and counts as alive for the pool.
TEST_F(PostgresTransactionTest, AReadingTransactionEndsBeforeTheNextOneStarts) {
  auto writer = OpenConnection(init_);
  for (int round = 0; round < 3; ++round) {
    c_->Begin(Connection::TransactionMode::kReading);
    EXPECT_EQ(Scalar(*c_, "SELECT COUNT(*) FROM T_ALLOC"), std::to_string(round + 1));
    writer->Execute("INSERT INTO T_ALLOC VALUES (" + std::to_string(round + 2) + ", 'w')");
    EXPECT_EQ(Scalar(*c_, "SELECT COUNT(*) FROM T_ALLOC"), std::to_string(round + 1));
    c_->Commit();
    EXPECT_TRUE(c_->Alive());
  }
  c_->Begin(Connection::TransactionMode::kReading);
  c_->Commit();
  c_->Begin(Connection::TransactionMode::kReading);
  EXPECT_EQ(Scalar(*c_, "SELECT COUNT(*) FROM T_ALLOC"), "4");
  c_->Commit();
  // A writing transaction right after one committed unanswered.
  c_->Begin(Connection::TransactionMode::kWriting);
  c_->Execute("INSERT INTO T_ALLOC VALUES (9, 'x')");
  c_->Commit();
  EXPECT_EQ(Scalar(*writer, "SELECT MAX(ID) FROM T_ALLOC"), "9");
}

TEST_F(PostgresTransactionTest, DateDifferencesAreInlinedIntoTheStatement) {
  const std::string plan = testing::PostgresTestServer::Get().RunSql(
      init_,
      "CREATE FUNCTION pg_temp.plan_of(q text) RETURNS text LANGUAGE plpgsql AS $$ DECLARE "
      "line text; plan text := ''; BEGIN FOR line IN EXECUTE 'EXPLAIN VERBOSE ' || q LOOP "
      "plan := plan || line || ' '; END LOOP; RETURN plan; END $$;\n"
      "SELECT pg_temp.plan_of('SELECT ora_trunc_date_diff(localtimestamp(0), "
      "localtimestamp(0) - interval ''36 hours''), ora_date_diff(localtimestamp(0), "
      "localtimestamp(0) - interval ''36 hours'')')");
  EXPECT_EQ(plan.find("ora_"), std::string::npos) << plan;
  EXPECT_EQ(Scalar(*c_, "SELECT TRUNC(SYSDATE - (SYSDATE - 1.5)) || ':' || (SYSDATE - (SYSDATE - "
                        "1.5)) FROM DUAL"),
            "1:1.5");
}

TEST_F(PostgresTransactionTest, TheClocksTimeIsAnsweredAsTheServerWouldAnswerIt) {
  struct FixedClock : DatabaseClock {
    DateTime Now() const override { return {2026, 12, 7, 9, 30, 5}; }
  };
  SetDatabaseClock(std::make_shared<FixedClock>());
  for (const char* sql :
       {"SELECT TO_CHAR(SYSDATE, 'YYYY-MM-DD HH24:MI:SS') FROM DUAL", "select sysdate from dual",
        "SELECT SYSDATE NOW FROM DUAL", "SELECT TO_CHAR(SYSDATE, 'YYYY-MM-DD HH24:MI:SS') || '' "
                                        "FROM DUAL WHERE 1 = 1"}) {
    c_->Begin(Connection::TransactionMode::kReading);
    std::unique_ptr<Rowset> rows = c_->Execute(sql);
    ASSERT_TRUE(rows->Next()) << sql;
    EXPECT_EQ(rows->Text(0), "2026-12-07 09:30:05") << sql;
    EXPECT_FALSE(rows->Next()) << sql;
    c_->Commit();
  }
  EXPECT_EQ(c_->Execute("SELECT SYSDATE NOW FROM DUAL")->ColumnName(0), "NOW");
  EXPECT_EQ(Scalar(*c_, "SELECT TO_CHAR(SYSDATE, 'YYYY-MM-DD') FROM DUAL"), "2026-12-07");
  SetDatabaseClock(nullptr);
}

TEST_F(PostgresTransactionTest, WritersTakeTurnsWhileReadersGoOn) {
  // The first writer read the table it allocates in: no other writer goes on until it ends.
  c_->Begin(Connection::TransactionMode::kWriting);
  EXPECT_EQ(Scalar(*c_, "SELECT MAX(ID) + 1 FROM T_ALLOC"), "2");
  auto second = OpenConnection(init_);
  std::future<std::string> allocated = std::async(std::launch::async, [&] {
    second->Begin(Connection::TransactionMode::kWriting);
    std::string id = Scalar(*second, "SELECT MAX(ID) + 1 FROM T_ALLOC");
    second->Execute("INSERT INTO T_ALLOC VALUES (" + id + ", 'second')");
    second->Commit();
    return id;
  });
  // A writer of another table, outside any transaction, waits its turn too: a writer that
  // later reaches a table the first one holds can never wait for it in turn.
  auto other = OpenConnection(init_);
  std::future<void> other_written =
      std::async(std::launch::async, [&] { other->Execute("INSERT INTO T_FREE VALUES (1)"); });
  ASSERT_TRUE(SomeoneWaitsForALock());
  // A reader is not blocked and sees the committed rows only.
  auto reader = OpenConnection(init_);
  reader->Begin(Connection::TransactionMode::kReading);
  EXPECT_EQ(Scalar(*reader, "SELECT COUNT(*) FROM T_ALLOC"), "1");
  reader->Commit();
  EXPECT_EQ(other_written.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
  c_->Execute("INSERT INTO T_ALLOC VALUES (2, 'first')");
  c_->Commit();
  // The second writer read after the first had committed: no duplicate.
  EXPECT_EQ(allocated.get(), "3");
  other_written.get();
  EXPECT_EQ(Scalar(*c_, "SELECT COUNT(DISTINCT ID) FROM T_ALLOC"), "3");
  EXPECT_EQ(Scalar(*c_, "SELECT COUNT(*) FROM T_FREE"), "1");
}

// A streamed query runs on the server as written (no cursor: its rows arrive while it runs),
// and a reader that stops early ends it there, undoing only the query: a reading transaction
// keeps its snapshot, a writing one its work.
TEST_F(PostgresTransactionTest, AStreamedQueryRunsAsWrittenAndEndsWhenItsReaderStops) {
  testing::PostgresTestServer& server = testing::PostgresTestServer::Get();
  const std::string running =
      "SELECT count(*) FROM pg_stat_activity WHERE pid <> pg_backend_pid() AND "
      "state = 'active' AND query ILIKE '%streamed_marker%'";
  // Eight billion rows.
  RunScript(*c_,
            "CREATE TABLE T_MANY (N NUMBER(10));\n"
            "INSERT INTO T_MANY SELECT LEVEL FROM DUAL CONNECT BY LEVEL <= 2000;\n");
  const char* runaway = "SELECT A.N STREAMED_MARKER FROM T_MANY A, T_MANY B, T_MANY C";
  auto other = OpenConnection(init_);
  c_->Begin(Connection::TransactionMode::kReading);
  const std::string before = Scalar(*c_, "SELECT COUNT(*) FROM T_ALLOC");
  const size_t logged = server.ServerLog().size();
  std::unique_ptr<Rowset> rows = c_->ExecuteStreamed(runaway);
  ASSERT_TRUE(rows->Next());
  EXPECT_EQ(rows->ColumnName(0), "STREAMED_MARKER");
  EXPECT_EQ(rows->Text(0), "1");
  EXPECT_EQ(server.RunSql(init_, running), "1");
  rows.reset();
  EXPECT_EQ(server.RunSql(init_, running), "0");
  EXPECT_NE(server.ServerLog().find("canceling statement due to user request", logged),
            std::string::npos);
  other->Execute("INSERT INTO T_ALLOC VALUES (11, 'other')");
  EXPECT_EQ(Scalar(*c_, "SELECT COUNT(*) FROM T_ALLOC"), before);
  c_->Commit();

  // A transaction that holds the writers' turn has its rows whole before it reads the first:
  // its session is idle while they are read, so that the idle bound ends a holder whose reader
  // stalls instead of every writer waiting for it.
  // Two megabytes: more than the sockets between the server and the client hold.
  for (const char* query :
       {"SELECT N STREAMED_MARKER, RPAD('x', 1000, 'x') FROM T_MANY",
        "SELECT N STREAMED_MARKER, RPAD('x', 1000, 'x') FROM T_MANY FOR UPDATE"}) {
    SCOPED_TRACE(query);
    const bool locks = std::string_view(query).ends_with("UPDATE");
    c_->Begin(locks ? Connection::TransactionMode::kReading
                    : Connection::TransactionMode::kWriting);
    if (!locks) c_->Execute("INSERT INTO T_ALLOC VALUES (12, 'mine')");
    std::unique_ptr<Rowset> held = c_->ExecuteStreamed(query);
    ASSERT_TRUE(held->Next());
    EXPECT_EQ(server.RunSql(init_, running), "0");
    int read = 1;
    while (held->Next()) ++read;
    EXPECT_EQ(read, 2000);
    c_->Commit();
  }
  EXPECT_EQ(Scalar(*c_, "SELECT COUNT(*) || ':' || SUM(ID) FROM T_ALLOC"), "3:24");
}

// The first write of a reading transaction while a streamed query's rows are still being read
// reads what the writers before it committed (its MAX + 1 is no duplicate), and the query's
// rows go on from the reads' snapshot.
TEST_F(PostgresTransactionTest, TheFirstWriteWhileStreamedRowsAreReadReadsWhatOthersCommitted) {
  const char* next = "INSERT INTO T_ALLOC (ID, WHO) SELECT MAX(ID) + 1, 'next' FROM T_ALLOC";
  auto reader = OpenConnection(init_);
  auto other = OpenConnection(init_);
  for (bool subordinate : {false, true}) {
    SCOPED_TRACE(subordinate ? "subordinate" : "own");
    const int ids = std::stoi(Scalar(*c_, "SELECT COUNT(*) FROM T_ALLOC"));
    if (subordinate) {
      reader->BeginSubordinate(Connection::TransactionMode::kReading);
    } else {
      reader->Begin(Connection::TransactionMode::kReading);
    }
    std::unique_ptr<Rowset> rows = reader->ExecuteStreamed("SELECT ID FROM T_ALLOC ORDER BY ID");
    ASSERT_TRUE(rows->Next());
    other->Execute(next);
    try {
      reader->Execute(next);
    } catch (const DbError& e) {
      ADD_FAILURE() << e.what();
    }
    int read = 1;
    while (rows->Next()) EXPECT_EQ(rows->Text(0), std::to_string(++read));
    EXPECT_EQ(read, ids);
    rows.reset();
    reader->Commit();
    EXPECT_EQ(Scalar(*c_, "SELECT COUNT(*) || ':' || MAX(ID) FROM T_ALLOC"),
              std::to_string(ids + 2) + ":" + std::to_string(ids + 2));
  }
}

// A streamed query that fails at a row fails there, also when its rows were received ahead
// because another statement ran meanwhile; only the query is undone.
TEST_F(PostgresTransactionTest, AStreamedQueryFailsAtItsFailingRowAndUndoesOnlyItself) {
  // 5,000 rows in the order they were written; the 4,000th holds 0.
  RunScript(*c_,
            "CREATE TABLE T_DIVISOR (N NUMBER(10));\n"
            "INSERT INTO T_DIVISOR SELECT 4000 - LEVEL FROM DUAL CONNECT BY LEVEL <= 5000;\n");
  c_->Begin(Connection::TransactionMode::kReading);
  for (bool statement_between : {false, true}) {
    SCOPED_TRACE(statement_between ? "another statement between" : "read alone");
    std::unique_ptr<Rowset> rows = c_->ExecuteStreamed("SELECT N, 1 / N FROM T_DIVISOR");
    int read = 0;
    try {
      while (rows->Next()) {
        EXPECT_EQ(rows->Text(0), std::to_string(3999 - read));
        if (++read == 1 && statement_between) {
          EXPECT_EQ(Scalar(*c_, "SELECT COUNT(*) FROM T_ALLOC"), "1");
        }
      }
      ADD_FAILURE() << "the query did not fail";
    } catch (const DbError& e) {
      EXPECT_NE(std::string(e.what()).find("ORA-01476"), std::string::npos) << e.what();
    }
    EXPECT_EQ(read, 3999);
  }
  EXPECT_EQ(c_->ExecuteStreamed("SELECT N FROM T_DIVISOR WHERE N > 5000")->Next(), false);
  c_->Commit();
  // In a writing transaction, whose rows come whole, the query fails before its first row and
  // the transaction's work stays.
  c_->Begin(Connection::TransactionMode::kWriting);
  c_->Execute("INSERT INTO T_ALLOC VALUES (2, 'kept')");
  try {
    c_->ExecuteStreamed("SELECT N, 1 / N FROM T_DIVISOR");
    ADD_FAILURE() << "the query did not fail";
  } catch (const DbError& e) {
    EXPECT_NE(std::string(e.what()).find("ORA-01476"), std::string::npos) << e.what();
  }
  c_->Execute("INSERT INTO T_ALLOC VALUES (3, 'kept')");
  c_->Commit();
  EXPECT_EQ(Scalar(*c_, "SELECT COUNT(*) FROM T_ALLOC WHERE WHO = 'kept'"), "2");
}

// A query run by Execute whose rows would hold more than the connection's bound is stopped
// there, cancelled on the server, and fails with ORA-04030, undone as any failing statement is:
// outside a transaction, and inside a reading or a writing one, which goes on. Rows within the
// bound read as they are.
TEST_F(PostgresTransactionTest, AQueryWhoseRowsPassTheBoundFailsThereAndIsUndoneAlone) {
  testing::PostgresTestServer& server = testing::PostgresTestServer::Get();
  RunScript(*c_,
            "CREATE TABLE T_MANY (N NUMBER(10), NOTE VARCHAR2(10));\n"
            "INSERT INTO T_MANY SELECT LEVEL, DECODE(MOD(LEVEL, 2), 0, 'even') FROM DUAL "
            "CONNECT BY LEVEL <= 2000;\n");
  PostgresConnection bounded(std::make_shared<PostgresDatabase>(ConnectionString::Parse(init_)),
                             size_t{1} << 20);
  // 2,000 rows of some 110 bytes, NULLs among them.
  std::unique_ptr<Rowset> within =
      bounded.Execute("SELECT N, NOTE, RPAD('x', 100, 'x') PAD FROM T_MANY ORDER BY N");
  ASSERT_EQ(within->ColumnCount(), 3);
  EXPECT_EQ(within->ColumnName(2), "PAD");
  int read = 0;
  while (within->Next()) {
    ++read;
    ASSERT_EQ(within->Text(0), std::to_string(read));
    ASSERT_EQ(within->IsNull(1), read % 2 != 0);
    ASSERT_EQ(within->Text(1), read % 2 != 0 ? "" : "even");
    ASSERT_EQ(within->Text(2), std::string(100, 'x'));
  }
  EXPECT_EQ(read, 2000);
  within.reset();

  // Eight billion rows.
  const char* runaway =
      "SELECT A.N, RPAD('x', 100, 'x') HELD_MARKER FROM T_MANY A, T_MANY B, T_MANY C";
  const std::string running =
      "SELECT count(*) FROM pg_stat_activity WHERE pid <> pg_backend_pid() AND "
      "state = 'active' AND query ILIKE '%held_marker%'";
  for (int round = 0; round < 3; ++round) {
    const bool in_transaction = round > 0, writing = round == 2;
    SCOPED_TRACE(!in_transaction ? "outside a transaction" : writing ? "writing" : "reading");
    if (in_transaction) {
      bounded.Begin(writing ? Connection::TransactionMode::kWriting
                            : Connection::TransactionMode::kReading);
    }
    if (writing) bounded.Execute("INSERT INTO T_ALLOC VALUES (10, 'mine')");
    const size_t logged = server.ServerLog().size();
    try {
      bounded.Execute(runaway);
      ADD_FAILURE() << "the query was not stopped";
    } catch (const DbError& e) {
      EXPECT_EQ(std::string(e.what()),
                "ORA-04030: out of process memory when trying to allocate: the rows read would "
                "hold more than 1 MiB; the statement was stopped");
    }
    EXPECT_EQ(server.RunSql(init_, running), "0");
    EXPECT_NE(server.ServerLog().find("canceling statement due to user request", logged),
              std::string::npos);
    EXPECT_EQ(Scalar(bounded, "SELECT COUNT(*) FROM T_ALLOC"), writing ? "2" : "1");
    if (writing) bounded.Execute("INSERT INTO T_ALLOC VALUES (11, 'mine')");
    if (in_transaction) bounded.Commit();
  }
  EXPECT_EQ(Scalar(*c_, "SELECT COUNT(*) || ':' || SUM(ID) FROM T_ALLOC"), "3:22");

  // A streamed query whose rest is received because another statement runs holds it to the
  // same bound: its held rows read as they came, then it fails there, undone alone.
  bounded.Begin(Connection::TransactionMode::kReading);
  std::unique_ptr<Rowset> streamed = bounded.ExecuteStreamed(runaway);
  ASSERT_TRUE(streamed->Next());
  EXPECT_EQ(Scalar(bounded, "SELECT COUNT(*) FROM T_ALLOC"), "3");
  EXPECT_EQ(server.RunSql(init_, running), "0");
  int held = 0;
  try {
    while (streamed->Next()) {
      ASSERT_EQ(streamed->Text(1), std::string(100, 'x'));
      ++held;
    }
    ADD_FAILURE() << "the held rows were not bounded";
  } catch (const DbError& e) {
    EXPECT_NE(std::string(e.what()).find("would hold more than 1 MiB"), std::string::npos)
        << e.what();
  }
  EXPECT_GT(held, 1000);
  streamed.reset();
  EXPECT_EQ(Scalar(bounded, "SELECT COUNT(*) FROM T_ALLOC"), "3");
  bounded.Commit();
}

// A program that opted in asks the server, from its signal handler, to cancel the statement each
// of its connections runs: the statement fails at once as cancelled by the user. Run in a child
// process, which the handler's requests leave to end (their places are not freed).
TEST_F(PostgresTransactionTest, TheCancelAtASignalEndsTheRunningStatement) {
  RunScript(*c_,
            "CREATE TABLE T_SLOW (ID NUMBER(10));\n"
            "INSERT INTO T_SLOW SELECT LEVEL FROM DUAL CONNECT BY LEVEL <= 40;\n");
  // Past Command Timeout the statement would fail the same way: the child tells them apart.
  const std::string init = init_ + ";Command Timeout=60";
  EXPECT_EXIT(
      {
        EnableCancelAtSignal();
        PostgresConnection running(
            std::make_shared<PostgresDatabase>(ConnectionString::Parse(init)));
        // The signal comes once the statement runs: a request before it would find the
        // backend idle and be dropped.
        std::thread signal([&] {
          const std::string active =
              "SELECT count(*) FROM pg_stat_activity WHERE datname = current_database() AND "
              "state = 'active' AND pid <> pg_backend_pid()";
          testing::PostgresTestServer& server = testing::PostgresTestServer::Get();
          for (int i = 0; i < 1'000 && server.RunSql(init_, active) != "1"; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
          }
          CancelStatementsAtSignal();
        });
        int status = 1;
        const auto start = std::chrono::steady_clock::now();
        try {
          running.Execute(
              "SELECT COUNT(*) FROM T_SLOW A, T_SLOW B, T_SLOW C, T_SLOW D, T_SLOW E, T_SLOW F "
              "WHERE A.ID + B.ID + C.ID + D.ID + E.ID + F.ID > 0");
        } catch (const DbError& e) {
          status = std::string(e.what()).starts_with("ORA-01013") ? 0 : 2;
        }
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(30)) status = 3;
        signal.join();
        std::_Exit(status);
      },
      ::testing::ExitedWithCode(0), "");
}

// A streamed query received whole (in a transaction that holds or takes the writers' turn, or
// outside any) whose rows pass the bound is read up to the bound, the refused row included, and
// fails only then, as a streamed query does: a reader with a smaller bound of its own (a report)
// stops first and says so in its own words. The query is undone alone.
TEST_F(PostgresTransactionTest, AWholeQueryPastTheBoundIsReadToTheBoundThenFails) {
  RunScript(*c_,
            "CREATE TABLE T_MANY (N NUMBER(10));\n"
            "INSERT INTO T_MANY SELECT LEVEL FROM DUAL CONNECT BY LEVEL <= 2000;\n");
  PostgresConnection bounded(std::make_shared<PostgresDatabase>(ConnectionString::Parse(init_)),
                             size_t{1} << 20);
  const std::string runaway = "SELECT A.N, RPAD('x', 100, 'x') PAD FROM T_MANY A, T_MANY B";
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    if (round == 1) bounded.Begin(Connection::TransactionMode::kWriting);
    if (round == 2) bounded.Begin(Connection::TransactionMode::kReading);
    if (round == 1) bounded.Execute("INSERT INTO T_ALLOC VALUES (10, 'mine')");
    std::unique_ptr<Rowset> rows =
        bounded.ExecuteStreamed(round == 2 ? runaway + " FOR UPDATE" : runaway);
    int read = 0;
    try {
      while (rows->Next()) {
        ASSERT_EQ(rows->Text(1), std::string(100, 'x'));
        ++read;
      }
      ADD_FAILURE() << "the rows were not bounded";
    } catch (const DbError& e) {
      EXPECT_NE(std::string(e.what()).find("would hold more than 1 MiB"), std::string::npos)
          << e.what();
    }
    EXPECT_GT(read, 5000);
    rows.reset();
    EXPECT_EQ(Scalar(bounded, "SELECT COUNT(*) FROM T_ALLOC"), round == 0 ? "1" : "2");
    if (round > 0) bounded.Commit();
  }
}

// One row larger than the bound of a query's rows, a text or a BYTEA, is refused as it arrives
// and the connection goes on. libpq's receive buffer grew to hold it and never shrinks, so the
// connection is then no longer kept: a pool drops it once its user is done.
TEST_F(PostgresTransactionTest, AHugeRowIsRefusedAndItsConnectionIsNotKept) {
  RunScript(*c_,
            "CREATE TABLE T_DOC (ID NUMBER(10), DOC BLOB);\n"
            "INSERT INTO T_DOC VALUES (1, NULL);\n");
  ASSERT_TRUE(c_->WriteBlob("SELECT DOC FROM T_DOC WHERE ID = 1", std::string(1100000, 'b')));
  // 18.5 MB, past what a kept connection may have received.
  const char* huge_text =
      "SELECT REPLACE(RPAD('x', 4300, 'x'), 'x', RPAD('x', 4300, 'x')) V FROM DUAL";
  PostgresConnection bounded(std::make_shared<PostgresDatabase>(ConnectionString::Parse(init_)),
                             size_t{1} << 20);
  EXPECT_EQ(Scalar(bounded, "SELECT LENGTH(RPAD('x', 4000, 'x')) FROM DUAL"), "4000");
  EXPECT_TRUE(bounded.Alive());
  for (const char* huge : {huge_text, "SELECT DOC FROM T_DOC"}) {
    try {
      bounded.Execute(huge);
      ADD_FAILURE() << "the row was not refused: " << huge;
    } catch (const DbError& e) {
      EXPECT_NE(std::string(e.what()).find("would hold more than 1 MiB"), std::string::npos)
          << e.what();
    }
    EXPECT_EQ(Scalar(bounded, "SELECT COUNT(*) FROM T_ALLOC"), "1");
  }
  EXPECT_FALSE(bounded.Alive());

  const std::string sessions =
      "SELECT count(*) FROM pg_stat_activity WHERE datname = current_database() AND "
      "application_name = 'korvalis'";
  testing::PostgresTestServer& server = testing::PostgresTestServer::Get();
  {
    PooledConnection kept = ConnectionPools::Acquire(init_);
    EXPECT_EQ(kept->Execute(huge_text)->ColumnCount(), 1);
    const std::string open = server.RunSql(init_, sessions);
    kept = PooledConnection();
    std::string now = open;
    for (int i = 0; i < 200 && now == open; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      now = server.RunSql(init_, sessions);
    }
    EXPECT_EQ(std::stoi(now), std::stoi(open) - 1);
  }
}

// A writer that stays idle inside its transaction (a client stopped or gone) is ended by the
// server after Idle Transaction Timeout: the writers kept waiting for the turn go on, the idle
// one's next statement fails with a message that says so, nothing it wrote stays, and the pool
// would not hand its connection out again. A reader idle as long goes on.
TEST_F(PostgresTransactionTest, AWriterIdleTooLongIsEndedAndTheOtherWritersGoOn) {
  const std::string bounded = init_ + ";Idle Transaction Timeout=1";
  auto other = OpenConnection(init_);
  // A writing transaction, and a reading one that wrote (a SQL shell's run, a reading call).
  for (auto mode : {Connection::TransactionMode::kWriting, Connection::TransactionMode::kReading}) {
    SCOPED_TRACE(mode == Connection::TransactionMode::kWriting ? "writing" : "reading");
    auto idle = OpenConnection(bounded);
    auto reader = OpenConnection(bounded);
    reader->Begin(Connection::TransactionMode::kReading);
    EXPECT_EQ(Scalar(*reader, "SELECT COUNT(*) FROM T_ALLOC"), "1");
    idle->Begin(mode);
    EXPECT_EQ(Scalar(*idle, "SELECT COUNT(*) FROM T_ALLOC"), "1");
    idle->Execute("INSERT INTO T_ALLOC VALUES (2, 'idle')");
    // Waits for the turn until the server ends the idle writer (a second), not for the lock
    // timeout (30 seconds), after which it would fail.
    try {
      other->Execute("INSERT INTO T_FREE SELECT COUNT(*) + 1 FROM T_FREE");
    } catch (const DbError& e) {
      ADD_FAILURE() << e.what();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(Scalar(*reader, "SELECT COUNT(*) FROM T_ALLOC"), "1");
    reader->Commit();
    try {
      idle->Execute("INSERT INTO T_ALLOC VALUES (3, 'idle')");
      ADD_FAILURE() << "the idle writer went on";
    } catch (const DbError& e) {
      EXPECT_NE(std::string(e.what()).find("ORA-02396: exceeded maximum idle time"),
                std::string::npos)
          << e.what();
    }
    // The transaction is over for its caller too, who cannot commit it; the connection is not
    // used again.
    EXPECT_FALSE(idle->InTransaction());
    EXPECT_THROW(idle->Commit(), DbError);
    EXPECT_FALSE(idle->Alive());
    EXPECT_THROW(idle->Begin(Connection::TransactionMode::kWriting), DbError);
  }
  EXPECT_EQ(Scalar(*c_, "SELECT COUNT(*) FROM T_ALLOC WHERE WHO = 'idle'"), "0");
  EXPECT_EQ(Scalar(*c_, "SELECT COUNT(*) FROM T_FREE"), "2");
  // The bound is a number of seconds.
  for (const char* bound : {"soon", "-1", "1.5", "99999999999"}) {
    try {
      OpenConnection(init_ + ";Idle Transaction Timeout=" + bound);
      ADD_FAILURE() << bound;
    } catch (const DbError& e) {
      EXPECT_EQ(e.code(), kCannotConnect) << bound;
      EXPECT_NE(std::string(e.what()).find("Idle Transaction Timeout"), std::string::npos)
          << e.what();
    }
  }
}

}  // namespace
}  // namespace korvalis::db
