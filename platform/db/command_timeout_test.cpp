// Command Timeout on the embedded file and on the server: statements that read all their input
// before their first row (sorted, grouped, distinct, analytic, recursive, set operations) are
// cancelled in the engine at the bound, a statement whose rows take longer to make fails while
// its reader's time between rows is not counted, the transaction keeps what came before, and
// the item is read and refused by name for both providers.
#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/db/connection_pool.h"
#include "platform/db/script_runner.h"
#include "platform/db/testing/db_test_util.h"
#include "platform/db/testing/engine_database.h"
#include "platform/sys/testing/sanitizer.h"

namespace korvalis::db {
namespace {

using testing::Scalar;
using Mode = Connection::TransactionMode;

class CommandTimeoutTest : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    RunScript(database_.owner(),
              "CREATE TABLE R_BIG (ID NUMBER(10), NAME VARCHAR2(40));\n"
              "INSERT INTO R_BIG SELECT LEVEL, 'visit ' || LEVEL FROM DUAL "
              "CONNECT BY LEVEL <= 3000;\n"
              "CREATE TABLE T_KEPT (ID NUMBER(10));\n");
  }

  // Expects `run` to fail with the cancel of a one-second Command Timeout; answers the message.
  template <class Run>
  static std::string ExpectCancelled(Run run, const std::string& what) {
    try {
      run();
      ADD_FAILURE() << what << " was not cancelled";
    } catch (const DbError& e) {
      EXPECT_EQ(e.code(), kBusy) << what;
      EXPECT_EQ(std::string(e.what()).rfind("ORA-01013: user requested cancel of current "
                                            "operation: the statement ran longer than its "
                                            "Command Timeout of 1 seconds",
                                            0),
                0u)
          << what << ": " << e.what();
      return e.what();
    }
    return "";
  }

  testing::SharedEmptyDatabase database_{GetParam(), "command_timeout"};
  const std::string& init_ = database_.init_string();
};

TEST_P(CommandTimeoutTest, StatementsThatReadAllTheirInputFirstAreCancelledAtTheBound) {
  std::unique_ptr<Connection> c = OpenConnection(init_ + ";Command Timeout=1");
  EXPECT_EQ(c->CommandTimeout(), std::chrono::seconds(1));
  const char* const kRunaways[] = {
      "SELECT A.ID, B.ID, C.NAME FROM R_BIG A, R_BIG B, R_BIG C ORDER BY C.NAME",
      "SELECT A.ID + B.ID + C.ID S, COUNT(*) FROM R_BIG A, R_BIG B, R_BIG C "
      "GROUP BY A.ID + B.ID + C.ID",
      "SELECT DISTINCT A.NAME || B.NAME || C.NAME FROM R_BIG A, R_BIG B, R_BIG C",
      "SELECT ROW_NUMBER() OVER (ORDER BY C.NAME DESC) FROM R_BIG A, R_BIG B, R_BIG C",
      "SELECT COUNT(*) FROM R_BIG START WITH ID = 1 CONNECT BY PRIOR ID < ID",
      "SELECT A.NAME FROM R_BIG A, R_BIG B, R_BIG C UNION SELECT NAME FROM R_BIG",
  };
  for (const char* sql : kRunaways) {
    const std::string message = ExpectCancelled([&] { testing::Query(*c, sql); }, sql);
    // The file says how much of the last half of its work the processor gave the statement.
    if (GetParam() == Engine::kSqlite) {
      double had = 0, of = 0;
      ASSERT_EQ(std::sscanf(message.c_str() + message.find(" (it had the processor for "),
                            " (it had the processor for %lf of its last %lf seconds", &had, &of),
                2)
          << message;
      EXPECT_GT(of, 0.0) << message;
      EXPECT_LE(had, of + 0.01) << message;
    }
  }
  // Inside a transaction the cancelled statement undoes only itself; the connection goes on.
  c->Begin(Mode::kWriting);
  c->Execute("INSERT INTO T_KEPT VALUES (1)");
  EXPECT_TRUE(c->HoldsWritersTurn());
  ExpectCancelled([&] { testing::Query(*c, kRunaways[0]); }, "a runaway after a write");
  EXPECT_EQ(Scalar(*c, "SELECT COUNT(*) FROM T_KEPT"), "1");
  c->Rollback();
  EXPECT_EQ(Scalar(*c, "SELECT COUNT(*) FROM R_BIG"), "3000");
}

// The file undoes the whole transaction of a write it interrupts, and then refuses the rest of
// the transaction, so that nothing after it commits alone; the server undoes the write alone.
TEST_P(CommandTimeoutTest, AWriteCancelledInATransactionCommitsNothingBehindItsCaller) {
  const bool file = GetParam() == Engine::kSqlite;
  std::unique_ptr<Connection> c = OpenConnection(init_ + ";Command Timeout=1");
  c->BeginSubordinate(Mode::kWriting);
  c->Execute("INSERT INTO T_KEPT VALUES (1)");
  ExpectCancelled(
      [&] {
        c->Execute("INSERT INTO T_KEPT SELECT A.ID FROM R_BIG A, R_BIG B, R_BIG C ORDER BY C.NAME");
      },
      "a runaway write");
  if (file) {
    for (const auto& next : std::vector<std::function<void()>>{
             [&] { c->Execute("INSERT INTO T_KEPT VALUES (2)"); }, [&] { c->Commit(); }}) {
      try {
        next();
        ADD_FAILURE() << "the undone transaction went on";
      } catch (const DbError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("ORA-02091: transaction rolled back", 0), 0u);
      }
    }
  } else {
    c->Execute("INSERT INTO T_KEPT VALUES (2)");
    c->Commit();
  }
  EXPECT_EQ(Scalar(database_.owner(), "SELECT COUNT(*) FROM T_KEPT"), file ? "0" : "2");
  c->Begin(Mode::kWriting);
  c->Execute("INSERT INTO T_KEPT VALUES (3)");
  c->Commit();
  EXPECT_EQ(Scalar(database_.owner(), "SELECT MAX(ID) FROM T_KEPT"), "3");
}

// The time a reader takes between a statement's rows is the reader's: the rows of a statement
// whose work is done within the bound are all read, however long the reader pauses. A statement
// whose rows take longer to make than the bound fails past it.
TEST_P(CommandTimeoutTest, TheReadersTimeBetweenRowsIsNotTheStatements) {
  std::unique_ptr<Connection> c = OpenConnection(init_ + ";Command Timeout=1");
  c->Begin(Mode::kReading);
  std::unique_ptr<Rowset> rows =
      c->ExecuteStreamed("SELECT ID FROM R_BIG WHERE ID <= 300 ORDER BY ID");
  ASSERT_TRUE(rows->Next());
  std::this_thread::sleep_for(std::chrono::milliseconds(1200));
  int read = 1;
  while (rows->Next()) ++read;
  EXPECT_EQ(read, 300);
  rows = c->ExecuteStreamed("SELECT A.ID FROM R_BIG A, R_BIG B, R_BIG C");
  ASSERT_TRUE(rows->Next());
  std::this_thread::sleep_for(std::chrono::milliseconds(1200));
  ExpectCancelled(
      [&] {
        while (rows->Next()) {
        }
      },
      "rows made past the bound");
  rows.reset();
  // A statement started afterwards has its own bound.
  EXPECT_EQ(Scalar(*c, "SELECT COUNT(*) FROM R_BIG"), "3000");
  c->Commit();
}

TEST_P(CommandTimeoutTest, TheItemIsSecondsFromZeroAndAnythingElseIsRefusedByName) {
  EXPECT_EQ(OpenConnection(init_)->CommandTimeout(), kDefaultCommandTimeout);
  std::unique_ptr<Connection> unbounded = OpenConnection(init_ + ";Command Timeout=0");
  EXPECT_EQ(unbounded->CommandTimeout(), std::chrono::seconds(0));
  EXPECT_EQ(Scalar(*unbounded, "SELECT COUNT(*) FROM R_BIG A, R_BIG B WHERE A.ID = B.ID"),
            "3000");
  for (const char* bound : {"-1", "1.5", "ten", "2147484", "30s"}) {
    try {
      OpenConnection(init_ + ";Command Timeout=" + bound);
      ADD_FAILURE() << bound << " was taken";
    } catch (const DbError& e) {
      EXPECT_EQ(e.code(), kCannotConnect);
      EXPECT_EQ(std::string(e.what()), std::string("Command Timeout '") + bound +
                                           "' is not a number of seconds from 0 to 2147483");
    }
  }
}

TEST_P(CommandTimeoutTest, TheWritersTurnIsHeldByWritingTransactionsAndReadingOnesThatWrote) {
  std::unique_ptr<Connection> c = OpenConnection(init_);
  c->Begin(Mode::kReading);
  Scalar(*c, "SELECT COUNT(*) FROM R_BIG");
  EXPECT_FALSE(c->HoldsWritersTurn());
  c->Execute("INSERT INTO T_KEPT VALUES (1)");
  EXPECT_TRUE(c->HoldsWritersTurn());
  c->Rollback();
  EXPECT_FALSE(c->HoldsWritersTurn());
  c->Begin(Mode::kWriting);
  Scalar(*c, "SELECT COUNT(*) FROM R_BIG");
  EXPECT_TRUE(c->HoldsWritersTurn());
  c->Commit();
  EXPECT_FALSE(c->HoldsWritersTurn());
}

// A wait for the writers' turn is part of the statement that waits: it ends at Command Timeout
// when that comes before the wait's own bound, whichever transaction waits.
TEST_P(CommandTimeoutTest, AWaitForTheWritersTurnEndsAtTheBound) {
  std::unique_ptr<Connection> holder = OpenConnection(init_);
  holder->Begin(Mode::kWriting);
  holder->Execute("INSERT INTO T_KEPT VALUES (1)");
  std::unique_ptr<Connection> c = OpenConnection(init_ + ";Command Timeout=1");
  const std::string waited = ExpectCancelled(
      [&] {
        c->Begin(Mode::kWriting);
        c->Execute("INSERT INTO T_KEPT VALUES (2)");
      },
      "a writing transaction");
  // The file says what the statement waited for.
  if (GetParam() == Engine::kSqlite) {
    EXPECT_NE(waited.find("it waited all that time for the database's write lock"),
              std::string::npos)
        << waited;
  }
  c->Rollback();
  c->Begin(Mode::kReading);
  ExpectCancelled([&] { c->Execute("INSERT INTO T_KEPT VALUES (2)"); }, "a reading one's write");
  c->Rollback();
  ExpectCancelled([&] { testing::Query(*c, "SELECT ID FROM T_KEPT FOR UPDATE WAIT 5"); },
                  "a query FOR UPDATE WAIT 5");
  try {
    testing::Query(*c, "SELECT ID FROM T_KEPT FOR UPDATE NOWAIT");
    ADD_FAILURE() << "NOWAIT had the turn";
  } catch (const DbError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("ORA-00054: ", 0), 0u) << e.what();
  }
  holder->Commit();
  EXPECT_EQ(Scalar(*c, "SELECT COUNT(*) FROM T_KEPT"), "1");
}

// The memory bound is the file's: the server's memory is its own.
using FileMemoryBoundTest = CommandTimeoutTest;

// Without a time bound, a runaway sort on the file is stopped by the memory bound, the process
// staying under 1.5 GB. LISTAGG keeps its texts outside the engine's memory: over a runaway
// join it fails at the row that passes its 4000 bytes instead of holding every row's text.
TEST_P(FileMemoryBoundTest, ARunawayWithoutTimeBoundIsStoppedForMemory) {
  std::unique_ptr<Connection> c = OpenConnection(init_ + ";Command Timeout=0");
  const std::pair<const char*, const char*> kRunaways[] = {
      {"SELECT A.NAME, B.NAME, C.NAME FROM R_BIG A, R_BIG B, R_BIG C ORDER BY "
       "C.NAME || B.NAME || A.NAME",
       "ORA-04030: out of process memory"},
      {"SELECT LISTAGG(A.NAME, ',') WITHIN GROUP (ORDER BY B.NAME) FROM R_BIG A, R_BIG B, "
       "R_BIG C",
       "ORA-01489: result of string concatenation"},
  };
  for (const auto& [sql, refusal] : kRunaways) {
    try {
      testing::Query(*c, sql);
      ADD_FAILURE() << "the runaway was not stopped: " << sql;
    } catch (const DbError& e) {
      EXPECT_EQ(std::string(e.what()).rfind(refusal, 0), 0u) << e.what();
    }
  }
  if (!sys::testing::kSanitizerHoldsMemory) {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    EXPECT_LT(usage.ru_maxrss, 1500L * 1000) << "kB";
  }
  EXPECT_EQ(Scalar(*c, "SELECT COUNT(*) FROM R_BIG"), "3000");
}

// The processor is the file's own: the server's statements run in its processes.
using FileProcessorTest = CommandTimeoutTest;

// Another thread holds the processor of the statement's thread: the runaway is stopped at its
// bound all the same (its time is counted inside its steps, whoever else the machine runs), and
// says that it waited for the processor.
TEST_P(FileProcessorTest, AStatementShortOfTheProcessorIsStoppedAtTheBoundSayingSo) {
  std::unique_ptr<Connection> c = OpenConnection(init_ + ";Command Timeout=1");
  cpu_set_t own;
  ASSERT_EQ(::pthread_getaffinity_np(::pthread_self(), sizeof own, &own), 0);
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(::sched_getcpu(), &one);
  ASSERT_EQ(::pthread_setaffinity_np(::pthread_self(), sizeof one, &one), 0);
  std::atomic<bool> stop{false};
  std::thread holder([&] {
    ::pthread_setaffinity_np(::pthread_self(), sizeof one, &one);
    while (!stop.load(std::memory_order_relaxed)) {
    }
  });
  const auto start = std::chrono::steady_clock::now();
  const std::string message = ExpectCancelled(
      [&] { testing::Query(*c, "SELECT COUNT(*) FROM R_BIG A, R_BIG B, R_BIG C"); },
      "a runaway short of the processor");
  const auto took = std::chrono::steady_clock::now() - start;
  stop = true;
  holder.join();
  ::pthread_setaffinity_np(::pthread_self(), sizeof own, &own);
  EXPECT_LT(took, std::chrono::seconds(1 + 2));
  EXPECT_NE(message.find("; it waited the rest for a processor that other work held"),
            std::string::npos)
      << message;
}

INSTANTIATE_TEST_SUITE_P(Engines, CommandTimeoutTest, testing::kBothEngines, testing::EngineName);
INSTANTIATE_TEST_SUITE_P(File, FileMemoryBoundTest, ::testing::Values(Engine::kSqlite),
                         testing::EngineName);
INSTANTIATE_TEST_SUITE_P(File, FileProcessorTest, ::testing::Values(Engine::kSqlite),
                         testing::EngineName);

}  // namespace
}  // namespace korvalis::db
