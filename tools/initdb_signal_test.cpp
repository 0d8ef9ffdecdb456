// An initdb ended by a signal at any point of its work leaves nothing behind, on the embedded
// file and on a PostgreSQL server: no half-built database, log, index, configuration or sample
// visits in its folder, no table, view or function in the server's database. Every signal whose
// default action ends the process is handled so, not only those a terminal sends.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "db/testing/temp_directory.h"
#include "platform/db/testing/postgres_test_server.h"
#include "tools/testing/command_test_util.h"

namespace {

using korvalis::db::testing::PostgresTestServer;
namespace fs = std::filesystem;

class InitdbSignalTest : public ::testing::TestWithParam<bool> {
 protected:
  bool OnServer() const { return GetParam(); }

  // The folder's names, sorted, one a line.
  std::string Listing() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    std::string listing;
    for (const std::string& name : names) listing += name + "\n";
    return listing;
  }

  // What the server's database holds of ours: relations and functions of its schema.
  std::string ServerObjects() {
    return server().RunSql(database_,
                           "SELECT (SELECT count(*) FROM pg_class WHERE relnamespace = "
                           "'public'::regnamespace) + (SELECT count(*) FROM pg_proc WHERE "
                           "pronamespace = 'public'::regnamespace)");
  }

  // Runs initdb, ends it by `signal_number` after `delay`; false when the run ended before the
  // signal came.
  bool Interrupt(int signal_number, std::chrono::milliseconds delay) {
    const std::vector<std::string> arguments =
        OnServer() ? std::vector<std::string>{"initdb", "--sample", "--connect", database_}
                   : std::vector<std::string>{"initdb", "--sample", "emr.db"};
    const pid_t pid = korvalis::testing::StartCommand(folder_, KORVALIS_COMMAND, arguments);
    std::this_thread::sleep_for(delay);
    ::kill(pid, signal_number);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFEXITED(status)) return false;
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal_number) << status;
    return true;
  }

  // Makes the folder (and on a server the database) afresh after a run that was done.
  void StartAfresh() {
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    if (OnServer()) database_ = server().CreateDatabase();
  }

  static PostgresTestServer& server() { return PostgresTestServer::Get(); }

  korvalis::testing::TempDirectory scratch_{"korvalis-initdb-signal"};
  const std::string folder_ = scratch_.path() + "/run";
  std::string database_;
};

TEST_P(InitdbSignalTest, ARunEndedByAnySignalLeavesNothingBehind) {
  std::vector<int> signals = {SIGTERM, SIGQUIT, SIGUSR1, SIGALRM, SIGXFSZ, SIGRTMIN + 1};
  if (!OnServer()) {
    signals.insert(signals.end(), {SIGINT, SIGUSR2, SIGXCPU, SIGVTALRM, SIGPROF, SIGPWR});
  }
  // The file's build takes about a tenth of a second, the server's about half a second.
  const int step_ms = OnServer() ? 150 : 20;
  const int steps = OnServer() ? 4 : 7;
  const std::string whole = OnServer() ? "his\nsuite.config.xml\ntelv.config.xml\n"
                                       : "emr.db\nhis\nsuite.config.xml\ntelv.config.xml\n";
  StartAfresh();
  int interrupted = 0;
  for (int signal_number : signals) {
    for (int delay_ms = 0; delay_ms < steps * step_ms; delay_ms += step_ms) {
      SCOPED_TRACE(std::string(strsignal(signal_number)) + " after " + std::to_string(delay_ms) +
                   " ms");
      const bool ended_by_signal = Interrupt(signal_number, std::chrono::milliseconds(delay_ms));
      // Done before the signal came, or ended by it only as it exited with its work kept (a
      // loaded machine): everything is there. Anything short of that is a run cut short.
      if (Listing() == whole) {
        StartAfresh();
        continue;
      }
      EXPECT_TRUE(ended_by_signal) << "a run that was not interrupted left " << Listing();
      ++interrupted;
      EXPECT_EQ(Listing(), "");
      if (OnServer()) {
        EXPECT_EQ(ServerObjects(), "0");
      }
    }
  }
  EXPECT_GT(interrupted, static_cast<int>(signals.size()));
}

// Ctrl-C says what it stopped and what is left: stopped once its configuration is written, the
// run is building the database or has built it, and says which, as its folder shows.
TEST_P(InitdbSignalTest, AnInterruptedRunSaysWhatItStoppedAndWhatIsLeft) {
  const std::string database = OnServer() ? "the server database" : "the database emr.db";
  const std::string said_file = scratch_.path() + "/said.txt";
  int stopped = 0;
  for (int attempt = 0; attempt < 5 && stopped == 0; ++attempt) {
    StartAfresh();
    const std::vector<std::string> arguments =
        OnServer() ? std::vector<std::string>{"initdb", "--connect", database_}
                   : std::vector<std::string>{"initdb", "emr.db"};
    const pid_t pid =
        korvalis::testing::StartCommand(folder_, KORVALIS_COMMAND, arguments, said_file);
    int status = 0;
    while (!fs::exists(folder_ + "/telv.config.xml") && ::waitpid(pid, &status, WNOHANG) == 0) {
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    if (::kill(pid, SIGSTOP) != 0 || ::waitpid(pid, &status, WUNTRACED) != pid ||
        !WIFSTOPPED(status)) {
      ::waitpid(pid, &status, 0);
      continue;  // done before it could be stopped
    }
    ++stopped;
    ::kill(pid, SIGINT);
    ::kill(pid, SIGCONT);
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
    std::ifstream said(said_file);
    const std::string told(std::istreambuf_iterator<char>(said), {});
    if (Listing().empty()) {
      EXPECT_EQ(told,
                "korvalis initdb: interrupted: " + database +
                    (OnServer() ? " was not filled (the server undoes it)" : " was not created") +
                    ", and what the run had made is removed; run korvalis initdb again\n");
    } else {
      EXPECT_EQ(Listing(), OnServer() ? "suite.config.xml\ntelv.config.xml\n"
                                      : "emr.db\nsuite.config.xml\ntelv.config.xml\n");
      EXPECT_EQ(told, "korvalis initdb: interrupted after " + database +
                          (OnServer() ? " was filled" : " was created") + "; it is whole\n");
    }
  }
  EXPECT_EQ(stopped, 1);
}

// A build that fails on the server (a table of the schema is there already) takes the front
// end's runtime objects back with it: the database holds what it held before, nothing more.
TEST_P(InitdbSignalTest, AFailedBuildOnTheServerLeavesTheDatabaseAsItWas) {
  if (!OnServer()) GTEST_SKIP() << "the file's failed build is shown with the command's tests";
  StartAfresh();
  server().RunSql(database_, "CREATE TABLE \"TELV_SYS_PARAM\" (owner_note text)");
  const std::string before = ServerObjects();
  korvalis::testing::Outcome failed = korvalis::testing::RunCommandIn(
      folder_, KORVALIS_COMMAND, "initdb --connect '" + database_ + "'");
  EXPECT_EQ(failed.status, 1) << failed.out;
  EXPECT_NE(failed.out.find("db/schema/01_foundation.sql"), std::string::npos) << failed.out;
  EXPECT_EQ(ServerObjects(), before);
  EXPECT_EQ(Listing(), "stderr.txt\n");
}

INSTANTIATE_TEST_SUITE_P(Engines, InitdbSignalTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Server" : "File";
                         });

}  // namespace
