// A `korvalis sql` script whose statement fails, on the embedded file and on a PostgreSQL
// server. An ordinary failure undoes that statement only on both, and the script goes on under
// WHENEVER SQLERROR CONTINUE. A write interrupted by Command Timeout undoes the whole
// transaction on the file but the statement only on the server: the file's run says so and runs
// nothing more, so that no later part of the transaction is committed without the earlier one.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "db/testing/temp_directory.h"
#include "platform/db/testing/postgres_test_server.h"
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

  // Runs `script` with `korvalis sql -f`, `settings` added to the initialisation string;
  // standard error follows standard output.
  Outcome Script(const std::string& settings, const std::string& script) {
    std::ofstream(directory_ + "/script.sql") << script;
    const std::string err = directory_ + "/stderr.txt";
    return RunCommand(KORVALIS_COMMAND " sql --no-feedback --connect '" + init_ + settings +
                          "' -f '" + directory_ + "/script.sql' 2> '" + err + "'",
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
  if (GetParam()) {
    // The server undid the statement only: the script goes on as after any failure.
    EXPECT_EQ(run.out.find("korvalis sql:"), std::string::npos) << run.out;
    EXPECT_EQ(Notes(), "NOTE\nhead\ntail\n");
  } else {
    EXPECT_NE(run.out.find("\nkorvalis sql: the database undid the whole transaction: the changes "
                           "since the last COMMIT are undone; the rest of the script, from line "
                           "5, was not run\n"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(Notes(), "NOTE\nx\nx\n");
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, SqlTransactionTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Server" : "File";
                         });

}  // namespace
