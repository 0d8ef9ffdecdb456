// A `korvalis` run on a PostgreSQL server that is ended while its statement runs does not leave
// the statement running there: ended by a signal it asks the server to cancel the statement
// first, and killed outright the server finds the client gone within seconds. Either way the
// writers' turn is free long before Command Timeout (ten minutes here).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "db/testing/temp_directory.h"
#include "platform/db/testing/postgres_test_server.h"
#include "tools/testing/command_test_util.h"

namespace {

using korvalis::db::testing::PostgresTestServer;
using korvalis::testing::RunCommand;

// A statement that runs for hours: a join of seven copies of 40 rows without its condition.
std::string SlowCondition(const std::string& table) {
  return "(SELECT COUNT(*) FROM " + table + " A, " + table + " B, " + table + " C, " + table +
         " D, " + table + " E, " + table + " F, " + table + " G WHERE A.ID + B.ID + C.ID + D.ID + "
         "E.ID + F.ID + G.ID > 0)";
}

class ServerSignalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* table : {"W", "R"}) {
      Sql("CREATE TABLE " + std::string(table) + " (ID NUMBER, NOTE VARCHAR2(20))");
      Sql("INSERT INTO " + std::string(table) +
          " SELECT LEVEL, 'x' FROM DUAL CONNECT BY LEVEL <= 40");
    }
  }

  void Sql(const std::string& statement) {
    ASSERT_EQ(RunCommand(KORVALIS_COMMAND " sql --connect '" + init_ + "' \"" + statement +
                         "\" > /dev/null")
                  .status,
              0)
        << statement;
  }

  // Starts the command with `arguments` (no shell between, so that no signal is ignored), and
  // returns once its statement runs on the server.
  pid_t StartRunning(const std::vector<std::string>& arguments) {
    const pid_t pid = korvalis::testing::StartCommand(directory_, KORVALIS_COMMAND, arguments);
    // A loaded machine (a sanitizer's build among parallel tests) may take many seconds to start
    // the command.
    for (int i = 0; i < 1'200 && RunningStatements() == "0"; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(RunningStatements(), "1");
    return pid;
  }

  std::string RunningStatements() {
    return server_.RunSql(database_,
                          "SELECT count(*) FROM pg_stat_activity WHERE datname = "
                          "current_database() AND application_name = 'korvalis' AND state = "
                          "'active'");
  }

  // Sends `signal_number` to the run and waits for its end; true when the server no longer runs
  // the statement within `seconds`.
  bool EndsOnTheServer(pid_t pid, int signal_number, int seconds) {
    ::kill(pid, signal_number);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal_number) << status;
    for (int i = 0; i < seconds * 10; ++i) {
      if (RunningStatements() == "0") return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  }

  // What the server logged since its log was `before` long.
  std::string LoggedFor(size_t before) { return server_.ServerLog().substr(before); }

  // Whether the server logged a statement ended by the run's cancel request since `before`. On
  // a busy machine the server may find the client gone before it acts on the request: both end
  // the statement at once (the cancel itself is shown in the provider's tests).
  bool LoggedCancel(size_t before) {
    const std::string log = LoggedFor(before);
    return log.find("canceling statement due to user request") != std::string::npos ||
           log.find("connection to client lost") != std::string::npos;
  }

  korvalis::testing::TempDirectory scratch_{"korvalis-server-signal"};
  const std::string directory_ = scratch_.path();
  PostgresTestServer& server_ = PostgresTestServer::Get();
  const std::string database_ = server_.CreateDatabase();
  const std::string init_ = database_ + ";Command Timeout=600";
};

// SIGINT (Ctrl-C), SIGTERM and the other signals that end a process: the statement is cancelled
// at once, before the run ends, and a second writer takes the turn; the run still ends by its
// signal. So is a call's.
TEST_F(ServerSignalTest, ASignalledRunCancelsItsWriteOrItsQueryFirst) {
  struct Case {
    int signal_number;
    std::string statement;
  };
  const Case cases[] = {
      {SIGINT, "UPDATE W SET NOTE = 'slow' WHERE ID IN " + SlowCondition("W")},
      {SIGTERM, "SELECT COUNT(*) FROM R WHERE ID IN " + SlowCondition("R")},
      // Any other signal that ends the process by default as well (Ctrl-\, a timer's, a user's).
      {SIGQUIT, "UPDATE W SET NOTE = 'slow' WHERE ID IN " + SlowCondition("W")},
      {SIGUSR1, "SELECT COUNT(*) FROM R WHERE ID IN " + SlowCondition("R")},
  };
  for (const Case& c : cases) {
    const size_t before = server_.ServerLog().size();
    const pid_t pid = StartRunning({"sql", "--connect", init_, c.statement});
    EXPECT_TRUE(EndsOnTheServer(pid, c.signal_number, 3)) << c.statement;
    EXPECT_TRUE(LoggedCancel(before)) << LoggedFor(before);
  }
  Sql("UPDATE W SET NOTE = 'after' WHERE ID = 1");

  // A call's statements run in the component library the command loaded.
  ASSERT_EQ(RunCommand("cd '" + directory_ + "' && export KORVALIS_REGISTRY='" + directory_ +
                       "/registry' && " KORVALIS_COMMAND " initdb --connect '" + init_ +
                       "' && " KORVALIS_COMMAND " regsvr " KORVALIS_LIBRARY " && " KORVALIS_COMMAND
                       " regsvr " KORVALIS_SUITE_COMPONENTS " > /dev/null")
                .status,
            0);
  const size_t before = server_.ServerLog().size();
  const pid_t pid = StartRunning({"call", "QCAdmin", "GetExistPrimary",
                                  "<root><sql>SELECT ID FROM R WHERE ID IN " + SlowCondition("R") +
                                      "</sql><col_count>1</col_count></root>"});
  EXPECT_TRUE(EndsOnTheServer(pid, SIGINT, 3));
  EXPECT_TRUE(LoggedCancel(before)) << LoggedFor(before);
}

// kill -9 leaves no handler to cancel anything: the server finds the client gone while the
// statement runs, ends it and undoes its work.
TEST_F(ServerSignalTest, AKilledRunsStatementEndsOnTheServerWithinSeconds) {
  const std::string statements[] = {
      "UPDATE W SET NOTE = 'slow' WHERE ID IN " + SlowCondition("W"),
      "SELECT COUNT(*) FROM R WHERE ID IN " + SlowCondition("R"),
  };
  for (const std::string& statement : statements) {
    const size_t before = server_.ServerLog().size();
    const pid_t pid = StartRunning({"sql", "--connect", init_, statement});
    EXPECT_TRUE(EndsOnTheServer(pid, SIGKILL, 10)) << statement;
    EXPECT_NE(LoggedFor(before).find("connection to client lost"), std::string::npos)
        << LoggedFor(before);
  }
  Sql("UPDATE W SET NOTE = 'after' WHERE ID = 1");
}

}  // namespace
