// The client's deadline on a server connection: a server that does not answer by Command
// Timeout (its backend stopped here, as a backend inside a function that never looks for
// interrupts is) is asked to cancel and then given up, in every state a statement waits in,
// within Command Timeout and the grace; the connection is closed, never used again, leaves no
// descriptor behind, and the writers' turn it held goes to the next writer once the backend
// ends.
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/db/connection_string.h"
#include "platform/db/postgres_connection.h"
#include "platform/db/script_runner.h"
#include "platform/db/testing/db_test_util.h"
#include "platform/db/testing/postgres_test_server.h"

namespace korvalis::db {
namespace {

using Clock = std::chrono::steady_clock;
using Mode = Connection::TransactionMode;
using testing::Scalar;

int OpenDescriptors() {
  int count = 0;
  if (DIR* fds = ::opendir("/proc/self/fd")) {
    while (::readdir(fds) != nullptr) ++count;
    ::closedir(fds);
  }
  return count;
}

// A long join, which runs past any Command Timeout of a few seconds.
constexpr const char* kEndless = "SELECT COUNT(*) FROM R_BIG A, R_BIG B, R_BIG C";

class AnswerDeadlineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    database_ = server_.CreateDatabase();
    init_ = database_ + ";Command Timeout=1";
    PostgresConnection owner(Open());
    RunScript(owner,
              "CREATE TABLE T_TURN (ID NUMBER(10));\n"
              "CREATE TABLE T_BLOB (ID NUMBER(10), DATA BLOB);\n"
              "INSERT INTO T_BLOB VALUES (1, NULL);\n"
              "CREATE TABLE R_BIG (ID NUMBER(10));\n"
              "INSERT INTO R_BIG SELECT LEVEL FROM DUAL CONNECT BY LEVEL <= 3000;\n");
  }
  void TearDown() override {
    if (stopped_ > 0) ::kill(stopped_, SIGCONT);
    server_.DropDatabase(database_);
  }

  std::shared_ptr<PostgresDatabase> Open() {
    return std::make_shared<PostgresDatabase>(ConnectionString::Parse(init_));
  }
  // Stops the backend of the test's one connection in `state`, as a backend busy where it
  // looks for no interrupt is: it answers neither the server's timeout nor a cancel.
  bool StopBackend(const char* state) {
    const std::string pid = server_.RunSql(
        database_,
        std::string("SELECT pid FROM pg_stat_activity WHERE datname = current_database() "
                    "AND pid <> pg_backend_pid() AND application_name = 'korvalis' AND "
                    "state = '") +
            state + "'");
    if (pid.empty() || ::kill(std::stoi(pid), SIGSTOP) != 0) return false;
    stopped_ = std::stoi(pid);
    return true;
  }
  // Stops the backend once it runs a statement, polled from another thread.
  std::thread StopWhenRunning() {
    return std::thread([this] {
      for (int i = 0; i < 200 && !StopBackend("active"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    });
  }
  // Lets the stopped backend go on: it meets the cancel, finds its client gone and ends.
  void ResumeBackend() {
    if (stopped_ > 0) ::kill(stopped_, SIGCONT);
    stopped_ = 0;
  }
  // Runs `run` while its backend is stopped, expecting it to fail at the deadline with
  // "ORA-01013" within Command Timeout and the grace.
  void ExpectGivenUp(const std::function<void()>& run, const std::string& what) {
    std::thread stopper = StopWhenRunning();
    const auto start = Clock::now();
    try {
      run();
      ADD_FAILURE() << what << " answered";
    } catch (const DbError& e) {
      EXPECT_TRUE(std::string(e.what()).starts_with(
          "ORA-01013: user requested cancel of current operation: the statement ran longer "
          "than its Command Timeout of 1 seconds; the server did not end it"))
          << what << ": " << e.what();
    }
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(2000)) << what;
    stopper.join();
    EXPECT_GT(stopped_, 0) << what;
  }
  // The closed connection: not alive, and every later use fails saying why.
  static void ExpectClosed(PostgresConnection& c) {
    EXPECT_FALSE(c.Alive());
    EXPECT_FALSE(c.InTransaction());
    try {
      c.Execute("SELECT 1 FROM DUAL");
      ADD_FAILURE() << "a closed connection ran a statement";
    } catch (const DbError& e) {
      EXPECT_TRUE(std::string(e.what()).starts_with("ORA-03113: ")) << e.what();
      EXPECT_NE(std::string(e.what()).find("Command Timeout of 1 seconds"), std::string::npos)
          << e.what();
    }
    EXPECT_THROW(c.Commit(), DbError);
  }
  // Another connection's writer gets the turn within seconds of the backend's resuming, and
  // finds the given-up transaction undone.
  void ExpectTurnFree() {
    ResumeBackend();
    PostgresConnection next(Open());
    const auto start = Clock::now();
    next.Begin(Mode::kWriting);
    next.Execute("INSERT INTO T_TURN VALUES (2)");
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(Scalar(next, "SELECT COUNT(*) || '/' || MAX(ID) FROM T_TURN"), "1/2");
    EXPECT_EQ(Scalar(next, "SELECT NVL(LENGTH(DATA), 0) FROM T_BLOB"), "0");
    next.Rollback();
  }

  testing::PostgresTestServer& server_ = testing::PostgresTestServer::Get();
  std::string database_;  // as the server names it
  std::string init_;      // with the Command Timeout of the test
  int stopped_ = 0;
};

// A write in a writing transaction, a write in a transaction of its own, a blob write and a
// blob read, a streamed query: each waiting on a backend that does not answer.
TEST_F(AnswerDeadlineTest, AStatementInAnyStateIsGivenUpAndItsTurnFreed) {
  if (::geteuid() != 0) GTEST_SKIP() << "the server's backends can be stopped by root alone";
  const int descriptors = OpenDescriptors();
  const std::string endless_write = std::string("INSERT INTO T_TURN ") + kEndless;
  const struct {
    const char* what;
    std::function<void(PostgresConnection&)> run;
  } kStatements[] = {
      {"a write holding the turn",
       [&](PostgresConnection& c) {
         c.Begin(Mode::kWriting);
         c.Execute("INSERT INTO T_TURN VALUES (1)");
         c.Execute(endless_write);
       }},
      {"a write of its own", [&](PostgresConnection& c) { c.Execute(endless_write); }},
      {"a blob write",
       [](PostgresConnection& c) {
         c.WriteBlob(
             "SELECT DATA FROM T_BLOB WHERE ID = 1 AND EXISTS (SELECT 1 FROM R_BIG A, "
             "R_BIG B, R_BIG C WHERE A.ID + B.ID + C.ID < 0)",
             std::string(1 << 20, 'b'));
       }},
      {"a blob read", [](PostgresConnection& c) { c.ReadBlob(kEndless); }},
      {"a streamed query",
       [](PostgresConnection& c) {
         c.Begin(Mode::kReading);
         std::unique_ptr<Rowset> rows = c.ExecuteStreamed(
             "SELECT A.ID FROM R_BIG A, R_BIG B, R_BIG C WHERE A.ID + B.ID + C.ID < 0");
         rows->Next();
       }},
  };
  for (const auto& s : kStatements) {
    {
      PostgresConnection c(Open());
      ExpectGivenUp([&] { s.run(c); }, s.what);
      ExpectClosed(c);
    }
    EXPECT_EQ(OpenDescriptors(), descriptors) << s.what;
    ExpectTurnFree();
    PostgresConnection cleaner(Open());
    cleaner.Execute("DELETE FROM T_TURN");
  }
}

// A reading transaction's COMMIT sent without waiting is read by a deadline of its own.
TEST_F(AnswerDeadlineTest, AnUnreadCommitIsGivenUp) {
  if (::geteuid() != 0) GTEST_SKIP() << "the server's backends can be stopped by root alone";
  const int descriptors = OpenDescriptors();
  {
    PostgresConnection c(Open());
    c.Begin(Mode::kReading);
    Scalar(c, "SELECT COUNT(*) FROM T_TURN");
    ASSERT_TRUE(StopBackend("idle in transaction"));
    c.Commit();  // sent, not waited for
    const auto start = Clock::now();
    EXPECT_FALSE(c.Alive());
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(2000));
    ExpectClosed(c);
  }
  EXPECT_EQ(OpenDescriptors(), descriptors);
  ExpectTurnFree();
}

// A statement whose backend goes on long after the server's own cancel (the case change of
// about a hundred million characters looks for no interrupt) ends within the bound all the same.
TEST_F(AnswerDeadlineTest, AStatementPastTheServersCancelEndsWithinTheBound) {
  PostgresConnection c(Open());
  const auto start = Clock::now();
  try {
    Scalar(c,
           "SELECT LENGTH(INITCAP(REPLACE(RPAD('x', 32767, 'x'), 'x', RPAD('a', 3000, 'a')))) "
           "FROM DUAL");
    ADD_FAILURE() << "answered";
  } catch (const DbError& e) {
    EXPECT_TRUE(IsCommandTimedOut(e)) << e.what();
  }
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(2000));
}

}  // namespace
}  // namespace korvalis::db
