// A `korvalis sql` script whose statement fails, on the embedded file and on a PostgreSQL
// server. An ordinary failure undoes that statement only on both, and the script goes on under
// WHENEVER SQLERROR CONTINUE. A write interrupted by Command Timeout undoes the whole
// transaction on the file but the statement only on the server: the file's run says so and runs
// nothing more, so that no later part of the transaction is committed without the earlier one.
// A script that is not UTF-8 runs nothing on either.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "db/testing/temp_directory.h"
#include "platform/db/testing/postgres_test_server.h"
#include "tools/sql_script.h"
#include "tools/testing/command_test_util.h"

namespace {

using korvalis::testing::Outcome;
using korvalis::testing::RunCommand;

class SqlTransactionTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (GetParam()) {
      init_ = korvalis::db::testing::PostgresTestServer::Get().CreateDatabase();
    } else {
      std::ofstream(directory_ + "/k.db");
      init_ = "Provider=SQLite;Data Source=" + directory_ + "/k.db";
    }
    // 512 rows: four of them joined without a condition are more than a second's work.
    std::string seed =
        "CREATE TABLE T (ID NUMBER(9), NOTE VARCHAR2(10));\n"
        "INSERT INTO T VALUES (1, 'x');\n";
    for (int n = 1; n < 512; n *= 2) {
      seed += "INSERT INTO T SELECT ID + " + std::to_string(n) + ", NOTE FROM T;\n";
    }
    ASSERT_EQ(Script("", seed).status, 0);
  }

  // Runs `script` with `korvalis sql -f` and `options`, `settings` added to the initialisation
  // string; standard error follows standard output.
  Outcome Script(const std::string& settings, const std::string& script,
                 const std::string& options = "") {
    std::ofstream(directory_ + "/script.sql") << script;
    const std::string err = directory_ + "/stderr.txt";
    return RunCommand(KORVALIS_COMMAND " sql --no-feedback " + options + " --connect '" + init_ +
                          settings + "' -f '" + directory_ + "/script.sql' 2> '" + err + "'",
                      err);
  }

  std::string Notes() {
    return Script("", "SELECT NOTE FROM T WHERE ID IN (1, 2) ORDER BY ID;\n").out;
  }

  korvalis::testing::TempDirectory scratch_{"korvalis-sql-transaction"};
  const std::string directory_ = scratch_.path();
  std::string init_;
};

TEST_P(SqlTransactionTest, AnOrdinaryFailureUndoesItsStatementOnlyAndTheScriptGoesOn) {
  Outcome run = Script("",
                       "WHENEVER SQLERROR EXIT\n"
                       "WHENEVER SQLERROR CONTINUE\n"
                       "UPDATE T SET NOTE = 'head' WHERE ID = 1;\n"
                       "INSERT INTO T (ID, NOTE) VALUES (1 / 0, 'bad');\n"
                       "UPDATE T SET NOTE = 'tail' WHERE ID = 2;\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.out.starts_with("line 4: ORA-01476")) << run.out;
  EXPECT_EQ(run.out.find("korvalis sql:"), std::string::npos) << run.out;
  EXPECT_EQ(Notes(), "NOTE\nhead\ntail\n");
}

TEST_P(SqlTransactionTest, AWriteInterruptedByCommandTimeoutNeverLeavesTheRestToCommitAlone) {
  Outcome run = Script(";Command Timeout=1",
                       "WHENEVER SQLERROR CONTINUE\n"
                       "UPDATE T SET NOTE = 'head' WHERE ID = 1;\n"
                       "INSERT INTO T (ID, NOTE) SELECT COUNT(*), 'slow' FROM T A, T B, T C, T D\n"
                       "  WHERE A.ID + B.ID + C.ID + D.ID > 0;\n"
                       "UPDATE T SET NOTE = 'tail' WHERE ID = 2;\n"
                       "COMMIT;\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.out.starts_with("line 3: ORA-01013")) << run.out;
  // The server undoes the statement only, and so does the file where the time ran out inside one
  // of the system's own functions: the script goes on as after any failure. Where the file's
  // engine was interrupted it undid the whole transaction, and the rest of the script never runs.
  if (run.out.find("korvalis sql:") == std::string::npos) {
    EXPECT_EQ(Notes(), "NOTE\nhead\ntail\n");
  } else {
    EXPECT_FALSE(GetParam()) << run.out;
    EXPECT_NE(run.out.find("\nkorvalis sql: the database undid the whole transaction: the changes "
                           "since the last COMMIT are undone; the rest of the script, from line "
                           "5, was not run\n"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(Notes(), "NOTE\nx\nx\n");
  }

  // EXIT n COMMIT: the server commits what came before and ends with n; a file that undid the
  // whole transaction has nothing left to commit and ends as a failure, never with the status
  // that says the COMMIT was done.
  ASSERT_EQ(Script("", "UPDATE T SET NOTE = 'x' WHERE ID IN (1, 2);\n").status, 0);
  Outcome exit_commit = Script(";Command Timeout=1",
                               "WHENEVER SQLERROR EXIT 5 COMMIT\n"
                               "UPDATE T SET NOTE = 'head' WHERE ID = 1;\n"
                               "INSERT INTO T (ID, NOTE) SELECT COUNT(*), 'slow' FROM T A, T B, "
                               "T C, T D WHERE A.ID + B.ID + C.ID + D.ID > 0;\n");
  // (The file undoes the statement alone where the time ran out inside one of the system's own
  // functions, which then fails as any statement does: the COMMIT is done and the status 5.)
  const bool committed = exit_commit.status == 5;
  EXPECT_TRUE(committed || (!GetParam() && exit_commit.status == 1)) << exit_commit.out;
  EXPECT_EQ(Notes(), committed ? "NOTE\nhead\nx\n" : "NOTE\nx\nx\n");
}

// WHENEVER SQLERROR's options are carried out: the status EXIT names (SQL.SQLCODE the error's
// number's last byte, a last byte of 0 never reading as success), COMMIT or ROLLBACK of what is
// pending before the run ends or goes on; an option not carried out refuses the whole script.
TEST_P(SqlTransactionTest, WheneverSqlErrorCarriesOutItsOptions) {
  const std::string head = "UPDATE T SET NOTE = 'head' WHERE ID = 1;\n";
  const std::string failing = "INSERT INTO T (ID, NOTE) VALUES (1 / 0, 'bad');\n";  // ORA-01476
  const std::string tail = "UPDATE T SET NOTE = 'tail' WHERE ID = 2;\n";
  struct Case {
    std::string whenever;
    int status;
    std::string notes;
  };
  const Case cases[] = {
      {"WHENEVER SQLERROR EXIT", 1, "x\nx\n"},
      {"WHENEVER SQLERROR EXIT FAILURE COMMIT", 1, "head\nx\n"},
      {"whenever sqlerror exit success commit;", 0, "head\nx\n"},
      {"WHENEVER SQLERROR EXIT WARNING ROLLBACK", 2, "x\nx\n"},
      {"WHENEVER SQLERROR EXIT 3", 3, "x\nx\n"},
      {"WHENEVER SQLERROR EXIT SQL.SQLCODE", 1476 % 256, "x\nx\n"},
      {"WHENEVER SQLERROR CONTINUE ROLLBACK", 1, "x\ntail\n"},
      {"WHENEVER SQLERROR CONTINUE COMMIT", 1, "head\ntail\n"},
      {"WHENEVER SQLERROR CONTINUE NONE", 1, "x\ntail\n"},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(Script("", "UPDATE T SET NOTE = 'x' WHERE ID IN (1, 2);\n").status, 0);
    // The ROLLBACK after the failure undoes only what a COMMIT at the failure left pending.
    Outcome run = Script("", c.whenever + "\n" + head + failing + tail + "ROLLBACK;\n" + tail);
    EXPECT_EQ(run.status, c.status) << c.whenever << "\n" << run.out;
    EXPECT_EQ(Notes(), "NOTE\n" + c.notes) << c.whenever;
  }
  // An error number whose last byte is 0 still ends the run as a failure.
  korvalis::tools::ErrorAction sql_code = korvalis::tools::StopOnError();
  sql_code.status = korvalis::tools::ErrorAction::Status::kSqlCode;
  EXPECT_EQ(sql_code.ExitStatus(1536), 1);

  for (const char* refused :
       {"WHENEVER SQLERROR EXIT :rc", "WHENEVER SQLERROR EXIT 256", "WHENEVER SQLERROR EXIT rc",
        "WHENEVER SQLERROR CONTINUE SUCCESS", "WHENEVER SQLERROR EXIT FAILURE NONE",
        "WHENEVER OSERROR EXIT FAILURE", "WHENEVER SQLERROR EXIT 1 COMMIT ROLLBACK"}) {
    ASSERT_EQ(Script("", "UPDATE T SET NOTE = 'x' WHERE ID IN (1, 2);\n").status, 0);
    Outcome run = Script("", head + refused + "\n" + tail);
    EXPECT_EQ(run.status, 1) << refused;
    EXPECT_TRUE(run.out.starts_with("korvalis sql: line 2: ")) << run.out;
    EXPECT_NE(run.out.find("; nothing was run"), std::string::npos) << run.out;
    EXPECT_EQ(Notes(), "NOTE\nx\nx\n") << refused;
  }
}

// A line that is not run (a PL/SQL block, a command of SQL*Plus) fails as a statement does:
// WHENEVER SQLERROR and --stop-on-error end the run there, as they say, or let it go on.
TEST_P(SqlTransactionTest, ALineThatIsNotRunFailsAsAStatementDoes) {
  const std::string head = "UPDATE T SET NOTE = 'head' WHERE ID = 1;\n";
  const std::string tail = "UPDATE T SET NOTE = 'tail' WHERE ID = 2;\n";
  struct Case {
    std::string options;
    std::string script_start;
    std::string refused;
    int status;
    std::string notes;
  };
  const Case cases[] = {
      {"", "WHENEVER SQLERROR EXIT 9 ROLLBACK\n", "BEGIN NULL; END;\n/\n", 9, "x\nx\n"},
      {"", "WHENEVER SQLERROR EXIT SUCCESS COMMIT\n", "SET ECHO ON\n", 0, "head\nx\n"},
      {"", "WHENEVER SQLERROR EXIT SQL.SQLCODE\n", "SPOOL out.txt\n", 1, "x\nx\n"},
      {"--stop-on-error", "", "DECLARE\n  n NUMBER;\nBEGIN\n  NULL;\nEND;\n/\n", 1, "x\nx\n"},
      {"", "WHENEVER SQLERROR CONTINUE ROLLBACK\n", "PROMPT next\n", 1, "x\ntail\n"},
      {"", "", "PROMPT next\n", 1, "head\ntail\n"},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(Script("", "UPDATE T SET NOTE = 'x' WHERE ID IN (1, 2);\n").status, 0);
    Outcome run = Script("", c.script_start + head + c.refused + tail, c.options);
    SCOPED_TRACE(c.options + c.script_start + c.refused + run.out);
    EXPECT_EQ(run.status, c.status);
    EXPECT_NE(run.out.find(c.script_start.empty() ? "line 2: " : "line 3: "), std::string::npos);
    EXPECT_EQ(Notes(), "NOTE\n" + c.notes);
  }
}

// A script saved in GBK (an editor's "ANSI") is refused whole, with the line where it stops
// being UTF-8, from a file and from standard input: nothing of it is run or stored. A script
// saved as UTF-16, with its byte-order mark or without, is named so with the conversion that
// mends it, and so is a NUL byte in a script; an empty script (a conversion that failed) runs
// nothing either.
TEST_P(SqlTransactionTest, AScriptThatIsNotUtf8IsRefusedBeforeAnythingRuns) {
  const std::string gbk_script =
      "UPDATE T SET NOTE = 'head' WHERE ID = 1;\n"
      "UPDATE T SET NOTE = '\xC0\xEE' WHERE ID = 2;\n";
  Outcome from_file = Script("", gbk_script);
  EXPECT_EQ(from_file.status, 1);
  EXPECT_NE(from_file.out.find("script.sql is not UTF-8 (line 2, byte 63); nothing was run\n"
                               "convert it to UTF-8 (one saved as GBK: iconv -f GBK -t UTF-8 OLD > "
                               "NEW) and run korvalis sql -f NEW\n"),
            std::string::npos)
      << from_file.out;
  const std::string err = directory_ + "/stderr.txt";
  Outcome from_input = RunCommand(KORVALIS_COMMAND " sql --connect '" + init_ + "' < '" +
                                      directory_ + "/script.sql' 2> '" + err + "'",
                                  err);
  EXPECT_EQ(from_input.status, 1);
  EXPECT_NE(from_input.out.find("standard input is not UTF-8 (line 2, byte 63)"), std::string::npos)
      << from_input.out;

  const std::string update = "UPDATE T SET NOTE = 'head' WHERE ID = 1;\n";
  std::string little, big;
  for (char letter : update) {
    little += std::string{letter, '\0'};
    big += std::string{'\0', letter};
  }
  const std::string with_nul = update + "UPDATE T SET NOTE = 'a" + '\0' + "b' WHERE ID = 2;\n";
  const struct {
    std::string script, told;
  } refused[] = {
      {"\xFF\xFE" + little,
       "script.sql is UTF-16 (little-endian, with a byte-order mark), not UTF-8; nothing was run\n"
       "convert it to UTF-8 (iconv -f UTF-16 -t UTF-8 OLD > NEW) and run korvalis sql -f NEW\n"},
      {"\xFE\xFF" + big, "script.sql is UTF-16 (big-endian, with a byte-order mark)"},
      {little,
       "script.sql is UTF-16 (little-endian, without a byte-order mark), not UTF-8; "
       "nothing was run\nconvert it to UTF-8 (iconv -f UTF-16LE -t UTF-8 OLD > NEW)"},
      {big, "(iconv -f UTF-16BE -t UTF-8 OLD > NEW)"},
      {with_nul,
       "script.sql holds a NUL byte (line 2, byte 64), which no text holds; nothing "
       "was run\na script is a text file of SQL statements\n"},
      {"", "script.sql holds no statement; nothing was run\n"},
      {"WHENEVER SQLERROR EXIT\n", "script.sql holds no statement"},
  };
  for (const auto& [script, told] : refused) {
    Outcome run = Script("", script);
    EXPECT_EQ(run.status, 1) << told;
    EXPECT_NE(run.out.find(told), std::string::npos) << run.out;
  }
  EXPECT_EQ(Notes(), "NOTE\nx\nx\n");
}

INSTANTIATE_TEST_SUITE_P(Engines, SqlTransactionTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Server" : "File";
                         });

}  // namespace
