// `korvalis sql` next to the SQL shells an operator knows: scripts from a file, feedback after
// each statement, stopping at the first error, the shells' own lines and procedural blocks
// refused alone, and output that stays one line of tab-separated values per row.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "db/testing/temp_directory.h"
#include "tools/testing/command_test_util.h"

namespace {

using korvalis::testing::Outcome;
using korvalis::testing::RunCommand;

class SqlShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ofstream(directory_ + "/k.db");  // an empty file is an empty database
    ASSERT_EQ(Sql("--no-feedback -f seed.sql",
                  "CREATE TABLE P (ID NUMBER, NAME VARCHAR2(20));\n"
                  "INSERT INTO P (ID, NAME) VALUES (1, 'a');\n"
                  "INSERT INTO P (ID, NAME) VALUES (2, 'b');\n")
                  .status,
              0);
  }

  // Runs `korvalis sql --db k.db <arguments>` with `script` in the file seed.sql (also on
  // standard input); standard error follows standard output.
  Outcome Sql(const std::string& arguments, const std::string& script = "") {
    std::ofstream(directory_ + "/seed.sql") << script;
    return RunCommand("cd '" + directory_ + "' && " KORVALIS_COMMAND " sql --db k.db " + arguments +
                      " < seed.sql 2>&1");
  }

  std::string Names() {
    return Sql("--no-feedback \"SELECT ID, NAME FROM P ORDER BY ID\"").out;
  }

  korvalis::testing::TempDirectory scratch_{"korvalis-sql-shell"};
  const std::string directory_ = scratch_.path();
};

TEST_F(SqlShellTest, EachStatementIsFollowedByWhatItDid) {
  const std::string script =
      "INSERT INTO P (ID, NAME) VALUES (3, 'c');\n"
      "UPDATE P SET NAME = 'x' WHERE ID > 1;\n"
      "SELECT ID FROM P WHERE ID < 3 ORDER BY ID;\n"
      "DELETE FROM P WHERE ID = 9;\n"
      "DELETE P WHERE ID = 3;\n"
      "CREATE INDEX P_NAME ON P (NAME);\n"
      "/* seeding */ INSERT INTO P (ID, NAME) SELECT ID + 10, NAME FROM P;\n";
  Outcome fed = Sql("-f seed.sql", script);
  ASSERT_EQ(fed.status, 0) << fed.out;
  EXPECT_EQ(fed.out,
            "1 row inserted\n2 rows updated\nID\n1\n2\n2 rows selected\n0 rows deleted\n"
            "1 row deleted\n2 rows inserted\n");
  Outcome quiet = Sql("--no-feedback \"SELECT ID FROM P WHERE ID = 1\"");
  EXPECT_EQ(quiet.out, "ID\n1\n");
}

TEST_F(SqlShellTest, TheFirstErrorEndsTheRunAndRollsBackWhatIsPending) {
  const struct {
    const char* option;
    const char* script_start;
  } ways[] = {
      {"--stop-on-error", ""},
      {"", "WHENEVER SQLERROR EXIT FAILURE\n"},
  };
  for (const auto& way : ways) {
    Outcome stopped = Sql(std::string(way.option) + " -f seed.sql",
                          std::string(way.script_start) +
                              "UPDATE P SET NAME = 'gone';\n"
                              "SELECT NOPE FROM P;\n"
                              "INSERT INTO P (ID, NAME) VALUES (4, 'd');\n");
    SCOPED_TRACE(stopped.out);
    EXPECT_EQ(stopped.status, 1);
    EXPECT_NE(stopped.out.find("ORA-00904"), std::string::npos);
    EXPECT_NE(stopped.out.find("stopped at the first error"), std::string::npos);
    EXPECT_EQ(Names(), "ID\tNAME\n1\ta\n2\tb\n");
  }
  // Without it the run goes on past the failure and commits the rest.
  Outcome went_on = Sql("--no-feedback -f seed.sql",
                        "SELECT NOPE FROM P;\nUPDATE P SET NAME = 'z' WHERE ID = 1;\n");
  EXPECT_EQ(went_on.status, 1);
  EXPECT_EQ(Names(), "ID\tNAME\n1\tz\n2\tb\n");
}

TEST_F(SqlShellTest, ShellLinesAndProceduralBlocksAreRefusedAlone) {
  Outcome run = Sql("--no-feedback -f seed.sql",
                    "SET PAGESIZE 0\n"
                    "PROMPT seeding\n"
                    "SELECT NAME FROM P WHERE ID = 1;\n"
                    "BEGIN\n"
                    "  UPDATE P SET NAME = 'block';\n"
                    "END;\n"
                    "/\n"
                    "SPOOL off\n"
                    "DESC P\n"
                    "SET TRANSACTION READ WRITE;\n"
                    "SELECT NAME FROM P WHERE ID = 2;\n");
  EXPECT_EQ(run.status, 1);
  for (const char* says :
       {"line 1: SET is a command of SQL*Plus, not SQL: the line is not run\n",
        "line 2: PROMPT is a command", "line 4: a PL/SQL block (BEGIN ...) is not run",
        "line 8: SPOOL is a command", "line 9: DESC is a command", "NAME\na\n", "NAME\nb\n"}) {
    EXPECT_NE(run.out.find(says), std::string::npos) << says << "\n" << run.out;
  }
  EXPECT_EQ(run.out.find("line 10: SET"), std::string::npos) << "SET TRANSACTION is SQL";
  EXPECT_EQ(Names(), "ID\tNAME\n1\ta\n2\tb\n");  // nothing of the block ran
}

// A delimited literal's quotes and line ends open and end nothing: the shell's lines after it
// are still told apart.
TEST_F(SqlShellTest, DelimitedLiteralsHoldQuotesAndLineEnds) {
  Outcome run = Sql("--no-feedback -f seed.sql",
                    "UPDATE P SET NAME = q'[it's]' WHERE ID = 1;\n"
                    "PROMPT between\n"
                    "UPDATE P SET NAME = q'{b';\n}' WHERE ID = 2;\n"
                    "SET PAGESIZE 0\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("line 2: PROMPT is a command"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("line 5: SET is a command"), std::string::npos) << run.out;
  EXPECT_EQ(Names(), "ID\tNAME\n1\tit's\n2\tb';\\n\n");
}

TEST_F(SqlShellTest, RowsStayOneLineOfTextAndBlobsShowTheirLength) {
  Outcome text =
      Sql("--no-feedback \"SELECT 'a' || CHR(9) || 'b' || CHR(10) || 'c\\' || CHR(13) V FROM DUAL\"");
  EXPECT_EQ(text.out, "V\na\\tb\\nc\\\\\\r\n") << text.out;

  Outcome blobs = Sql("--no-feedback -f seed.sql",
                      "CREATE TABLE B (ID NUMBER, DATA BLOB);\n"
                      "INSERT INTO B VALUES (1, 'a' || CHR(10) || '病');\n"
                      "INSERT INTO B VALUES (2, EMPTY_BLOB());\n"
                      "INSERT INTO B VALUES (3, 'x');\n"
                      "INSERT INTO B VALUES (4, NULL);\n"
                      "SELECT ID, DATA FROM B ORDER BY ID;\n");
  ASSERT_EQ(blobs.status, 0) << blobs.out;
  EXPECT_EQ(blobs.out,
            "ID\tDATA\n1\t(BLOB, 5 bytes)\n2\t(BLOB, 0 bytes)\n3\t(BLOB, 1 byte)\n4\t\n");
  Outcome xml = Sql("--xml \"SELECT DATA FROM B WHERE ID = 1\"");
  EXPECT_NE(xml.out.find("<column name=\"DATA\">(BLOB, 5 bytes)</column>"), std::string::npos)
      << xml.out;
}

TEST_F(SqlShellTest, AScriptFileThatCannotBeReadIsNamed) {
  Outcome missing = Sql("-f nowhere.sql");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.out.find("cannot read nowhere.sql: No such file or directory"),
            std::string::npos)
      << missing.out;
  EXPECT_EQ(Sql("-f seed.sql \"SELECT 1 FROM DUAL\"").status, 2);
}

// Ctrl-C while the statements are still being typed (standard input not ended) runs nothing,
// and says so and how the input ends. The command has read what was written, so it waits in
// its read when the signal comes.
TEST_F(SqlShellTest, CtrlCWhileTheInputIsReadSaysNothingRan) {
  int typed[2];
  ASSERT_EQ(::pipe(typed), 0);
  const std::string err = directory_ + "/interrupted.txt";
  const pid_t pid = korvalis::testing::StartCommand(directory_, KORVALIS_COMMAND,
                                                    {"sql", "--db", "k.db"}, err, typed[0]);
  const std::string line = "DELETE FROM P;\n";
  ASSERT_EQ(::write(typed[1], line.data(), line.size()), static_cast<ssize_t>(line.size()));
  int unread = 1;
  for (int i = 0; i < 6'000 && unread > 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(::ioctl(typed[0], FIONREAD, &unread), 0);
  }
  ASSERT_EQ(unread, 0);
  ::kill(pid, SIGINT);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ::close(typed[0]);
  ::close(typed[1]);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
  std::ifstream said(err);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(said), {}),
            "korvalis sql: interrupted while reading standard input: nothing was run (at a "
            "terminal, Ctrl-D ends the input and runs it)\n");
  EXPECT_EQ(Names(), "ID\tNAME\n1\ta\n2\tb\n");
}

}  // namespace
