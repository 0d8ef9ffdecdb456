// A `korvalis` run on a PostgreSQL server that is ended while its statement runs does not leave
// the statement running there: ended by a signal it asks the server to cancel the statement
// first, and killed outright the server finds the client gone within seconds. Either way the
// writers' turn is free long before Command Timeout (ten minutes here).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "db/testing/temp_directory.h"
#include "platform/db/postgres_answer_wait.h"
#include "platform/db/testing/packet_proxy.h"
#include "platform/db/testing/postgres_test_server.h"
#include "tools/testing/command_test_util.h"

namespace {

using korvalis::db::testing::PacketProxy;
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
  pid_t StartRunning(const std::vector<std::string>& arguments,
                     const std::string& error_file = "") {
    const pid_t pid =
        korvalis::testing::StartCommand(directory_, KORVALIS_COMMAND, arguments, error_file);
    // A loaded machine (a sanitizer's build among parallel tests) may take many seconds to start
    // the command.
    for (int i = 0; i < 1'200 && RunningStatements() == "0"; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(RunningStatements(), "1");
    return pid;
  }

  // The run's slow statements on the server (its seventh table's column): never what the run
  // reads before it (the catalog, the runtime's version), which is active a moment only.
  std::string RunningStatements() {
    return server_.RunSql(database_,
                          "SELECT count(*) FROM pg_stat_activity WHERE datname = "
                          "current_database() AND application_name = 'korvalis' AND state = "
                          "'active' AND query LIKE '%\"G\".\"ID\"%'");
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
  // It says which call it stopped and what became of it and of those before it.
  const size_t before = server_.ServerLog().size();
  const pid_t pid = StartRunning({"call", "QCAdmin", "GetEventList", "--", "GetExistPrimary",
                                  "<root><sql>SELECT ID FROM R WHERE ID IN " + SlowCondition("R") +
                                      "</sql><col_count>1</col_count></root>"},
                                 directory_ + "/call.txt");
  EXPECT_TRUE(EndsOnTheServer(pid, SIGINT, 3));
  EXPECT_TRUE(LoggedCancel(before)) << LoggedFor(before);
  std::ifstream said(directory_ + "/call.txt");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(said), {}),
            "korvalis call: interrupted during korvalis.QCAdmin.GetExistPrimary: its changes to "
            "the database are undone; korvalis.QCAdmin.GetEventList was called and answered\n");
}

// Ctrl-C of a script says at which line it stopped and what it undid; what was committed stays.
TEST_F(ServerSignalTest, AnInterruptedScriptSaysAtWhichLineAndWhatIsUndone) {
  std::ofstream(directory_ + "/script.sql")
      << "UPDATE W SET NOTE = 'kept' WHERE ID = 1;\nCOMMIT;\n"
      << "UPDATE W SET NOTE = 'undone' WHERE ID = 2;\n"
      << "UPDATE W SET NOTE = 'slow' WHERE ID IN " << SlowCondition("W") << ";\n";
  const pid_t pid =
      StartRunning({"sql", "--connect", init_, "-f", "script.sql"}, directory_ + "/stderr.txt");
  EXPECT_TRUE(EndsOnTheServer(pid, SIGINT, 3));
  std::ifstream said(directory_ + "/stderr.txt");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(said), {}),
            "korvalis sql: interrupted at line 4: the changes since the last COMMIT are undone\n");
  EXPECT_EQ(server_.RunSql(database_,
                           "SELECT string_agg(\"NOTE\", ',' ORDER BY \"ID\") FROM "
                           "\"W\" WHERE \"ID\" <= 2"),
            "kept,x");
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

// A run whose server stops answering (a proxy holds the statement, and every connection after
// it, the cancel request's included, as a stopped server would) gives the connection up by
// Command Timeout and the grace, also while it loads the catalog before its first statement,
// and says what is known: the connection was closed, and the server undoes the transaction
// once its process runs again.
TEST_F(ServerSignalTest, ARunOnAServerThatStopsAnsweringEndsByItsCommandTimeout) {
  const std::string given_up =
      "ORA-01013: user requested cancel of current operation: the statement ran longer than its "
      "Command Timeout of 1 seconds; the server did not end it when asked to, so its connection "
      "was closed\n"
      "korvalis sql: the connection to the database was closed when the server did not answer "
      "in time: the server undoes the changes since the last COMMIT once its process runs again";
  struct Case {
    std::string trigger, arguments, said;
  };
  std::ofstream(directory_ + "/script.sql") << "UPDATE W SET NOTE = 'first' WHERE ID = 1;\n"
                                               "SELECT ID FROM R WHERE NOTE <> 'held';\n"
                                               "UPDATE W SET NOTE = 'third' WHERE ID = 2;\n";
  const Case cases[] = {
      {"korvalis_columns", "\"SELECT COUNT(*) FROM R\"", given_up + "\n"},
      {"'held'", "-f script.sql",
       "1 row updated\nline 2: " + given_up +
           "; the rest of the script, from line 3, was not run\n"},
  };
  for (const Case& c : cases) {
    PacketProxy proxy(database_);
    proxy.Arm(c.trigger, PacketProxy::Then::kHold);
    const korvalis::testing::Outcome run = korvalis::testing::RunCommandIn(
        directory_, KORVALIS_COMMAND,
        "sql --connect '" + proxy.init() + ";Command Timeout=1' " + c.arguments);
    const auto end = std::chrono::steady_clock::now();
    EXPECT_EQ(run.status, 1) << c.trigger;
    EXPECT_EQ(run.out, c.said) << c.trigger;
    ASSERT_TRUE(proxy.Met()) << c.trigger;
    // Command Timeout and the grace of the cancel, with room for a loaded machine.
    EXPECT_LT(end - proxy.MetAt(), std::chrono::seconds(1) + korvalis::db::AnswerWait::kCancelGrace +
                                       std::chrono::seconds(2))
        << c.trigger;
  }
  // The server undid the first update once the held connection ended.
  EXPECT_EQ(korvalis::testing::RunCommand(KORVALIS_COMMAND " sql --connect '" + init_ +
                                          "' --no-feedback \"SELECT NOTE FROM W WHERE ID = 1\"")
                .out,
            "NOTE\nx\n");
}

// SIGTERM to a run whose server stops answering, its main process included (which takes no
// cancel request), ends the run by its signal within the grace of the cancel.
TEST_F(ServerSignalTest, ASignalledRunOnAServerThatStopsAnsweringEndsWithinTheGrace) {
  PacketProxy proxy(database_);
  proxy.Arm("'held'", PacketProxy::Then::kHold);
  const pid_t pid =
      korvalis::testing::StartCommand(directory_, KORVALIS_COMMAND,
                                      {"sql", "--connect", proxy.init() + ";Command Timeout=600",
                                       "SELECT ID FROM R WHERE NOTE <> 'held'"});
  // A loaded machine may take many seconds to start the command.
  for (int i = 0; i < 1'200 && !proxy.Met(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_TRUE(proxy.Met());
  const auto signalled = std::chrono::steady_clock::now();
  ::kill(pid, SIGTERM);
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0 &&
         std::chrono::steady_clock::now() - signalled < std::chrono::seconds(10)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  const auto ended = std::chrono::steady_clock::now();
  if (::kill(pid, 0) == 0 && ::waitpid(pid, &status, WNOHANG) == 0) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    FAIL() << "the run did not end";
  }
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_LT(ended - signalled, korvalis::db::AnswerWait::kCancelGrace + std::chrono::seconds(2));
}

}  // namespace
