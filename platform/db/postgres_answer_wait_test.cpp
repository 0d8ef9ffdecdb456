// The client's deadline on a server connection: a server that does not answer by Command
// Timeout (its backend stopped here, as a backend inside a function that never looks for
// interrupts is) is asked to cancel and then given up, in every state a statement waits in,
// within Command Timeout and the grace; the connection is closed, never used again, leaves no
// descriptor or thread behind, and the writers' turn it held goes to the next writer once the
// backend ends. The backend is stopped before the client sends what it waits for, so that the
// server is slower than the client by construction. A server whose main process is stopped too
// does not take the cancel request, which is given up by the grace as well.
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/db/connection_string.h"
#include "platform/db/postgres_connection.h"
#include "platform/db/script_runner.h"
#include "platform/db/testing/db_test_util.h"
#include "platform/db/testing/packet_proxy.h"
#include "platform/db/testing/postgres_test_server.h"

namespace korvalis::db {
namespace {

using Clock = std::chrono::steady_clock;
using Mode = Connection::TransactionMode;
using testing::Scalar;

int Entries(const char* directory) {
  int count = 0;
  if (DIR* entries = ::opendir(directory)) {
    while (::readdir(entries) != nullptr) ++count;
    ::closedir(entries);
  }
  return count;
}
int OpenDescriptors() { return Entries("/proc/self/fd"); }
int Threads() { return Entries("/proc/self/task"); }
// The process's threads once no more than `expected`, or after five seconds: a joined thread's
// last steps in the kernel may follow its join.
int ThreadsAfterJoins(int expected) {
  int threads = Threads();
  for (int i = 0; i < 500 && threads > expected; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    threads = Threads();
  }
  return threads;
}

// The parent of process `pid`: a backend's is the server's main process.
int ParentOf(int pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const size_t after_name = text.rfind(')');
  if (after_name == std::string::npos) return 0;
  char state;
  int parent = 0;
  return std::sscanf(text.c_str() + after_name + 1, " %c %d", &state, &parent) == 2 ? parent : 0;
}

// How long a wait bounded by the tests' Command Timeout of one second may take: the bound and
// the grace of its cancel, with two seconds more for a loaded machine whose threads wait their
// turn to run. A wait that the deadline does not end waits for a stopped process: for ever.
constexpr auto kGivenUpWithin = std::chrono::seconds(1) + AnswerWait::kCancelGrace +
                                std::chrono::seconds(2);

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
    Resume();
    server_.DropDatabase(database_);
  }

  std::shared_ptr<PostgresDatabase> Open(const std::string& init = "") {
    return std::make_shared<PostgresDatabase>(ConnectionString::Parse(init.empty() ? init_ : init));
  }
  // Stops the backend of the test's one connection in `state`, as a backend busy where it
  // looks for no interrupt is: it answers neither the server's timeout nor a cancel. With
  // `main_process`, the server's main process too: it takes no cancel request.
  bool StopBackend(const char* state, bool main_process = false) {
    const std::string pid = server_.RunSql(
        database_,
        std::string("SELECT pid FROM pg_stat_activity WHERE datname = current_database() "
                    "AND pid <> pg_backend_pid() AND application_name = 'korvalis' AND "
                    "state = '") +
            state + "'");
    if (pid.empty() || ::kill(std::stoi(pid), SIGSTOP) != 0) return false;
    stopped_ = std::stoi(pid);
    if (main_process) {
      main_process_ = ParentOf(stopped_);
      if (main_process_ <= 1 || ::kill(main_process_, SIGSTOP) != 0) return false;
    }
    return true;
  }
  // Lets the stopped processes go on: the backend meets the cancel, finds its client gone and
  // ends.
  void Resume() {
    if (main_process_ > 0) ::kill(main_process_, SIGCONT);
    if (stopped_ > 0) ::kill(stopped_, SIGCONT);
    main_process_ = stopped_ = 0;
  }
  // Runs `run` on a backend stopped in `state`, expecting it to fail at the deadline with
  // `failure` within Command Timeout and the grace.
  void ExpectGivenUp(const std::function<void()>& run, const std::string& what, const char* state,
                     const std::string& failure) {
    ASSERT_TRUE(StopBackend(state)) << what;
    const auto start = Clock::now();
    try {
      run();
      ADD_FAILURE() << what << " answered";
    } catch (const DbError& e) {
      EXPECT_TRUE(std::string(e.what()).starts_with(failure)) << what << ": " << e.what();
    }
    EXPECT_LT(Clock::now() - start, kGivenUpWithin) << what;
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
    Resume();
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
  int main_process_ = 0;
};

// A write in a writing transaction, a write in a transaction of its own, a blob write and a
// blob read, a streamed query, and the catalog's load before a connection's first statement:
// each waiting on a backend that does not answer. The write of its own was sent with its COMMIT,
// which the server may run once it goes on: whether it committed is not known.
TEST_F(AnswerDeadlineTest, AStatementInAnyStateIsGivenUpAndItsTurnFreed) {
  if (::geteuid() != 0) GTEST_SKIP() << "the server's backends can be stopped by root alone";
  const int descriptors = OpenDescriptors();
  const int threads = Threads();
  const std::string endless_write = std::string("INSERT INTO T_TURN ") + kEndless;
  const std::string given_up =
      "ORA-01013: user requested cancel of current operation: the statement ran longer than its "
      "Command Timeout of 1 seconds; the server did not end it when asked to, so its connection "
      "was closed";
  const std::string commit_unknown =
      "ORA-03113: end-of-file on communication channel (the server did not answer the statement "
      "and its COMMIT within Command Timeout, so its connection was closed: whether the statement "
      "was committed is not known)";
  // Translates what the case runs, so that the catalog is read before the backend stops.
  const auto read_catalog = [](PostgresConnection& c) { Scalar(c, "SELECT COUNT(*) FROM T_BLOB"); };
  const struct {
    const char* what;
    std::function<void(PostgresConnection&)> before;  // run before the backend stops
    const char* state;                                // the backend's, once stopped
    std::function<void(PostgresConnection&)> run;
    const std::string& failure;
  } kStatements[] = {
      {"a write holding the turn",
       [](PostgresConnection& c) {
         c.Begin(Mode::kWriting);
         c.Execute("INSERT INTO T_TURN VALUES (1)");
       },
       "idle in transaction", [&](PostgresConnection& c) { c.Execute(endless_write); }, given_up},
      {"a write of its own", read_catalog, "idle",
       [&](PostgresConnection& c) { c.Execute(endless_write); }, commit_unknown},
      {"a blob write", read_catalog, "idle",
       [](PostgresConnection& c) {
         c.WriteBlob("SELECT DATA FROM T_BLOB WHERE ID = 1", std::string(1 << 20, 'b'));
       },
       given_up},
      {"a blob read", read_catalog, "idle", [](PostgresConnection& c) { c.ReadBlob(kEndless); },
       given_up},
      {"a streamed query",
       [](PostgresConnection& c) {
         c.Begin(Mode::kReading);
         Scalar(c, "SELECT COUNT(*) FROM R_BIG");
       },
       "idle in transaction",
       [](PostgresConnection& c) {
         std::unique_ptr<Rowset> rows = c.ExecuteStreamed("SELECT A.ID FROM R_BIG A");
         rows->Next();
       },
       given_up},
      {"the catalog's load", [](PostgresConnection&) {}, "idle",
       [](PostgresConnection& c) { c.Execute("SELECT COUNT(*) FROM T_TURN"); }, given_up},
  };
  for (const auto& s : kStatements) {
    {
      PostgresConnection c(Open());
      s.before(c);
      ExpectGivenUp([&] { s.run(c); }, s.what, s.state, s.failure);
      ExpectClosed(c);
    }
    EXPECT_EQ(OpenDescriptors(), descriptors) << s.what;
    EXPECT_EQ(ThreadsAfterJoins(threads), threads) << s.what;
    ExpectTurnFree();
    PostgresConnection cleaner(Open());
    cleaner.Execute("DELETE FROM T_TURN");
  }
}

// A server whose main process is stopped with its backend takes no cancel request: a statement,
// a reader that stops early, and a connection closed with its COMMIT unread each end within the
// grace of their bound all the same, and leave no descriptor or thread of the request behind.
TEST_F(AnswerDeadlineTest, AServerWhoseMainProcessIsStoppedIsGivenUpByTheGrace) {
  if (::geteuid() != 0) GTEST_SKIP() << "the server's processes can be stopped by root alone";
  const int descriptors = OpenDescriptors();
  const int threads = Threads();
  const auto within = [](Clock::duration bound, const std::function<void()>& run) {
    const auto start = Clock::now();
    run();
    return Clock::now() - start < bound;
  };
  {
    PostgresConnection c(Open());
    Scalar(c, "SELECT COUNT(*) FROM T_TURN");
    ASSERT_TRUE(StopBackend("idle", /*main_process=*/true));
    EXPECT_TRUE(within(kGivenUpWithin, [&] {
      EXPECT_THROW(c.Execute(std::string("INSERT INTO T_TURN ") + kEndless), DbError);
    }));
    ExpectClosed(c);
  }
  Resume();
  {
    // The rows stream while the reader reads; a long Command Timeout leaves the bound to the
    // reader's own cancel.
    PostgresConnection c(Open(database_ + ";Command Timeout=600"));
    c.Begin(Mode::kReading);
    std::unique_ptr<Rowset> rows =
        c.ExecuteStreamed("SELECT A.ID || RPAD('x', 100, 'x') FROM R_BIG A, R_BIG B");
    ASSERT_TRUE(rows->Next());
    ASSERT_TRUE(StopBackend("active", /*main_process=*/true));
    EXPECT_TRUE(
        within(AnswerWait::kCancelGrace + std::chrono::seconds(2), [&] { rows.reset(); }));
    EXPECT_FALSE(c.Alive());
  }
  Resume();
  {
    auto c = std::make_unique<PostgresConnection>(Open());
    c->Begin(Mode::kReading);
    Scalar(*c, "SELECT COUNT(*) FROM T_TURN");
    ASSERT_TRUE(StopBackend("idle in transaction", /*main_process=*/true));
    c->Commit();  // sent, not waited for: the connection's end reads it for a second
    EXPECT_TRUE(within(kGivenUpWithin, [&] { c.reset(); }));
  }
  Resume();
  EXPECT_EQ(OpenDescriptors(), descriptors);
  EXPECT_EQ(ThreadsAfterJoins(threads), threads);
}

// A write outside a transaction goes in one round trip with its own COMMIT: once that was sent,
// a client that gets no answer cannot tell whether the server committed, and says so, never
// that the write was cancelled.
TEST_F(AnswerDeadlineTest, AWriteOfItsOwnWhoseAnswersAreLostIsNotKnownToBeCommitted) {
  testing::PacketProxy proxy(init_);
  {
    PostgresConnection c(Open(proxy.init()));
    Scalar(c, "SELECT COUNT(*) FROM T_TURN");
    proxy.Arm("COMMIT", testing::PacketProxy::Then::kDropReplies);
    const auto start = Clock::now();
    try {
      c.Execute("INSERT INTO T_TURN VALUES (7)");
      ADD_FAILURE() << "answered";
    } catch (const DbError& e) {
      EXPECT_TRUE(std::string(e.what()).starts_with("ORA-03113: ")) << e.what();
      EXPECT_NE(std::string(e.what()).find("whether the statement was committed is not known"),
                std::string::npos)
          << e.what();
    }
    EXPECT_LT(Clock::now() - start, kGivenUpWithin);
    ExpectClosed(c);
  }
  PostgresConnection check(Open());
  EXPECT_EQ(Scalar(check, "SELECT COUNT(*) FROM T_TURN WHERE ID = 7"), "1");
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
    EXPECT_LT(Clock::now() - start, kGivenUpWithin);
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
  EXPECT_LT(Clock::now() - start, kGivenUpWithin);
}

// The runtime's installation, made by a connection that finds an older one, waits no longer
// than its bound either: Command Timeout, but never less than the installation's floor, so that
// a short Command Timeout still lets it finish. The proxy holds what the installation sends.
TEST_F(AnswerDeadlineTest, AnInstallationThatGetsNoAnswerIsGivenUpByItsBound) {
  server_.RunSql(database_,
                 "CREATE OR REPLACE FUNCTION korvalis_runtime_version() RETURNS integer "
                 "LANGUAGE sql IMMUTABLE AS $f$ SELECT 1 $f$");
  {
    testing::PacketProxy proxy(init_);
    proxy.Arm("pg_advisory_xact_lock", testing::PacketProxy::Then::kHold);
    const auto start = Clock::now();
    try {
      PostgresConnection c(Open(proxy.init()));
      ADD_FAILURE() << "connected";
    } catch (const DbError& e) {
      EXPECT_EQ(e.code(), kCannotConnect) << e.what();
      EXPECT_TRUE(std::string(e.what()).starts_with("cannot prepare the PostgreSQL database"))
          << e.what();
    }
    const auto took = Clock::now() - start;
    EXPECT_TRUE(proxy.Met());
    EXPECT_GE(took, PostgresDatabase::kInstallationFloor);
    EXPECT_LT(took, PostgresDatabase::kInstallationFloor + AnswerWait::kCancelGrace +
                        std::chrono::seconds(2));
  }
  PostgresConnection installed(Open());
  EXPECT_EQ(Scalar(installed, "SELECT COUNT(*) FROM T_TURN"), "0");
}

}  // namespace
}  // namespace korvalis::db
