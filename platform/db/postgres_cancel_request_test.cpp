// The cancel request is the system's own, on a socket of its own: it reaches the server under a
// system call filter that refuses what a container's default profile refuses (unshare), and a
// descriptor of the host's that another thread closes while a request waits is closed at once.
// It goes where the client connected, and with a libpq unknown here, libpq's own is sent.
#include "platform/db/postgres_cancel_request.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <sched.h>
#include <seccomp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "platform/db/cancel_at_signal.h"
#include "platform/db/connection_string.h"
#include "platform/db/postgres_connection.h"
#include "platform/db/script_runner.h"
#include "platform/db/testing/packet_proxy.h"
#include "platform/db/testing/postgres_test_server.h"
#include "platform/sys/event_log.h"
#include "platform/text/unicode.h"

namespace korvalis::db {
namespace {

using Clock = std::chrono::steady_clock;

// Refuses unshare to the calling thread (and threads it makes) alone; the filter ends with it.
bool RefuseUnshareOnThisThread() {
  scmp_filter_ctx filter = seccomp_init(SCMP_ACT_ALLOW);
  if (filter == nullptr) return false;
  const bool loaded = seccomp_rule_add(filter, SCMP_ACT_ERRNO(EPERM), SCMP_SYS(unshare), 0) == 0 &&
                      seccomp_load(filter) == 0;
  seccomp_release(filter);
  return loaded && ::unshare(CLONE_FILES) != 0 && errno == EPERM;
}

class CancelRequestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    database_ = server_.CreateDatabase();
    init_ = database_ + ";Command Timeout=10";
  }
  void TearDown() override { server_.DropDatabase(database_); }

  std::shared_ptr<PostgresDatabase> Open(const std::string& init) {
    return std::make_shared<PostgresDatabase>(ConnectionString::Parse(init));
  }

  testing::PostgresTestServer& server_ = testing::PostgresTestServer::Get();
  std::string database_;  // as the server names it
  std::string init_;      // with the Command Timeout of the test
};

// A query whose rows pass the reader's bound is stopped by its client, which asks the server to
// cancel it: as soon under the filter as without it, the backend idle when the reader's error
// comes. A request that never left would have the server run on to Command Timeout.
TEST_F(CancelRequestTest, AStatementStoppedByItsClientEndsAsSoonUnderAFilterRefusingUnshare) {
  {
    PostgresConnection owner(Open(init_));
    RunScript(owner,
              "CREATE TABLE T_MANY (N NUMBER(10));\n"
              "INSERT INTO T_MANY SELECT LEVEL FROM DUAL CONNECT BY LEVEL <= 2000;\n");
  }
  const auto stop_a_runaway = [&] {
    PostgresConnection bounded(Open(init_), size_t{1} << 20);
    const size_t logged = server_.ServerLog().size();
    const auto start = Clock::now();
    EXPECT_THROW(bounded.Execute("SELECT A.N, RPAD('x', 100, 'x') RUNAWAY_MARKER "
                                 "FROM T_MANY A, T_MANY B, T_MANY C"),
                 DbError);
    const auto took = Clock::now() - start;
    EXPECT_NE(server_.ServerLog().find("canceling statement due to user request", logged),
              std::string::npos);
    EXPECT_EQ(server_.RunSql(database_,
                             "SELECT count(*) FROM pg_stat_activity WHERE state <> 'idle' AND "
                             "query ILIKE '%runaway_marker%' AND pid <> pg_backend_pid()"),
              "0");
    return took;
  };
  const auto unfiltered = stop_a_runaway();
  Clock::duration filtered{};
  std::thread confined([&] {
    ASSERT_TRUE(RefuseUnshareOnThisThread());
    filtered = stop_a_runaway();
  });
  confined.join();
  EXPECT_LT(filtered, 2 * unfiltered + std::chrono::seconds(1))
      << std::chrono::duration_cast<std::chrono::milliseconds>(filtered).count() << " ms against "
      << std::chrono::duration_cast<std::chrono::milliseconds>(unfiltered).count() << " ms";
}

// A request that waits for a main process that holds it (the proxy accepts its connection and
// reads nothing) leaves the host's descriptors as they are: one that the host closes meanwhile
// is closed at once, its peer seeing the end, and nothing of the request outlives it.
TEST_F(CancelRequestTest, AHostDescriptorClosedDuringACancelIsClosedAtOnce) {
  testing::PacketProxy proxy(init_);
  pg_conn* connection = Open(proxy.init())->Connect();
  ASSERT_EQ(PQstatus(connection), CONNECTION_OK);
  int host[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, host), 0);
  proxy.Arm("HOLD_MARKER", testing::PacketProxy::Then::kHold);
  ASSERT_EQ(PQsendQuery(connection, "SELECT 'HOLD_MARKER'"), 1);
  while (PQflush(connection) > 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  // The request is made once the proxy holds: made before, it would reach the server.
  for (int i = 0; i < 10'000 && !proxy.Met(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_TRUE(proxy.Met());

  CancelOutcome outcome = CancelOutcome::kTaken;
  const auto end = Clock::now() + std::chrono::seconds(5);
  std::thread cancelling([&] { outcome = RequestCancel(connection, end); });
  for (int i = 0; i < 10'000 && proxy.HeldConnections() == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(proxy.HeldConnections(), 1);
  ::close(host[0]);
  char byte = 0;
  EXPECT_EQ(::recv(host[1], &byte, 1, MSG_DONTWAIT), 0) << "errno " << errno;
  EXPECT_EQ(::send(host[1], "x", 1, MSG_NOSIGNAL), -1);
  EXPECT_EQ(errno, EPIPE);
  cancelling.join();
  EXPECT_EQ(outcome, CancelOutcome::kUnknown);
  EXPECT_GE(Clock::now(), end);
  ::close(host[1]);
  PQfinish(connection);
}

// Runs a statement that sleeps for a minute on `connection`, asks for its cancel by `cancel`
// once the server shows it running (a request that comes before is dropped by an idle backend),
// and returns the SQLSTATE it ended with ("" when it was not cancelled within 10 s). `database`
// is the init string of the connection's database, watched from a connection of its own.
template <typename Cancel>
std::string StateOfASleepCancelled(const std::string& database, pg_conn* connection,
                                   Cancel cancel) {
  if (PQsendQuery(connection, "SELECT pg_sleep(60)") != 1) return "not sent";
  while (PQflush(connection) > 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const std::string running =
      "SELECT count(*) FROM pg_stat_activity WHERE state = 'active' AND pid = " +
      std::to_string(PQbackendPID(connection));
  for (int i = 0; i < 1'000 && testing::PostgresTestServer::Get().RunSql(database, running) != "1";
       ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  cancel();
  std::string state;
  const auto end = Clock::now() + std::chrono::seconds(10);
  while (Clock::now() < end && PQconsumeInput(connection) == 1 && PQisBusy(connection)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (PQisBusy(connection)) return "";
  while (PGresult* r = PQgetResult(connection)) {
    if (const char* s = PQresultErrorField(r, PG_DIAG_SQLSTATE)) state = s;
    PQclear(r);
  }
  return state;
}

// The init string of `init` with the host its server's socket directory named relatively.
std::string ThroughRelativeSocket(const std::string& init) {
  const std::string& directory = testing::PostgresTestServer::Get().directory();
  const size_t host = init.find("Host=" + directory + ";");
  if (host == std::string::npos) return "";
  return init.substr(0, host) +
         "Host=" + testing::PostgresTestServer::Get().RelativeSocketDirectory() +
         init.substr(host + 5 + directory.size());
}

// The server reports the name of a socket directory it was given relatively as that relative
// name, which the client does not reach; the request goes where the client connected.
TEST_F(CancelRequestTest, ARequestReachesAServerWhoseSocketDirectoryIsRelative) {
  const std::string init = ThroughRelativeSocket(init_);
  ASSERT_FALSE(init.empty()) << init_;
  pg_conn* connection = Open(init)->Connect();
  ASSERT_EQ(PQstatus(connection), CONNECTION_OK);
  CancelOutcome outcome = CancelOutcome::kNotSent;
  EXPECT_EQ(
      StateOfASleepCancelled(
          database_, connection,
          [&] { outcome = RequestCancel(connection, Clock::now() + std::chrono::seconds(5)); }),
      "57014");
  EXPECT_EQ(outcome, CancelOutcome::kTaken);
  PQfinish(connection);
}

// With a libpq whose cancel object is of a layout not known here (18.1, as a preload of
// PQlibVersion makes the installed library report), libpq's own request is sent: by a client
// waiting past its deadline and by the program's signal handler, through either socket
// directory. The preload is the test's CTest entry's; run without it, the test is skipped.
class NewerLibpqCancelTest : public CancelRequestTest {
 protected:
  void SetUp() override {
    const char* preload = std::getenv("LD_PRELOAD");
    if (preload == nullptr || std::string(preload).find("libpq_version_18") == std::string::npos) {
      GTEST_SKIP() << "runs with the preload of its CTest entry";
    }
    CancelRequestTest::SetUp();
  }
};

TEST_F(NewerLibpqCancelTest, LibpqsOwnRequestIsSent) {
  ASSERT_EQ(PQlibVersion(), 180100);
  for (const std::string& init : {init_, ThroughRelativeSocket(init_)}) {
    pg_conn* connection = Open(init)->Connect();
    ASSERT_EQ(PQstatus(connection), CONNECTION_OK);
    CancelTarget target;
    ASSERT_TRUE(ReadCancelTarget(connection, &target));
    EXPECT_EQ(target.address_length, 0u);
    FreeCancelTarget(&target);
    CancelOutcome outcome = CancelOutcome::kNotSent;
    EXPECT_EQ(
        StateOfASleepCancelled(
            database_, connection,
            [&] { outcome = RequestCancel(connection, Clock::now() + std::chrono::seconds(5)); }),
        "57014")
        << init;
    EXPECT_EQ(outcome, CancelOutcome::kTaken);
    PQfinish(connection);
  }
  EnableCancelAtSignal();
  pg_conn* connection = Open(init_)->Connect();
  CancelAtSignal at_signal(connection);
  EXPECT_EQ(StateOfASleepCancelled(database_, connection, [] { CancelStatementsAtSignal(); }),
            "57014");
  PQfinish(connection);
}

// A request that cannot reach the server's main process (its socket gone) is said in the event
// log, once for the process however often it recurs: the statement runs on to the server's own
// timeout.
TEST_F(NewerLibpqCancelTest, ARequestThatCannotBeSentIsSaidOnceInTheEventLog) {
  const std::string log = server_.directory() + "/cancel-events.log";
  ::setenv(sys::kEventLogFileVariable, log.c_str(), 1);
  testing::PacketProxy proxy(init_);
  pg_conn* connection = Open(proxy.init())->Connect();
  ASSERT_EQ(PQstatus(connection), CONNECTION_OK);
  const auto item = [](const std::string& init, const std::string& key) {
    const size_t at = init.find(";" + key + "=") + key.size() + 2;
    return init.substr(at, init.find(';', at) - at);
  };
  ASSERT_EQ(::unlink((item(proxy.init(), "Host") + "/.s.PGSQL." + item(init_, "Port")).c_str()), 0);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(RequestCancel(connection, Clock::now() + std::chrono::seconds(2)),
              CancelOutcome::kNotSent);
  }
  const std::vector<sys::EventRecord> records = sys::ReadEventLogFile(log);
  ::unsetenv(sys::kEventLogFileVariable);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].type, sys::kEventWarning);
  EXPECT_NE(ToUtf8(records[0].text)
                .find("a cancel request could not be sent (libpq's PQcancel "
                      "failed)"),
            std::string::npos)
      << ToUtf8(records[0].text);
  PQfinish(connection);
}

}  // namespace
}  // namespace korvalis::db
