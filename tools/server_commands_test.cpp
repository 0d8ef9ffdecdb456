// The `korvalis` command on a PostgreSQL server: initdb fills an empty server database with the
// sample hospital and points telv.config.xml at it, refuses one that holds the schema, sql runs
// Oracle SQL there, and a class method called by name answers from the server. A failed initdb,
// on the server or into a file, leaves nothing behind.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "db/testing/temp_directory.h"
#include "platform/db/testing/postgres_test_server.h"
#include "tools/testing/command_test_util.h"

namespace {

using korvalis::testing::Outcome;
using korvalis::testing::RunCommand;

class ServerCommandTest : public ::testing::Test {
 protected:
  // Runs the command in the scratch directory, standard error after standard output.
  Outcome Run(const std::string& arguments) {
    return korvalis::testing::RunCommandIn(directory_, KORVALIS_COMMAND, arguments);
  }

  // Runs the command in a directory removed before it starts, where no file can be written.
  Outcome RunWhereNothingCanBeWritten(const std::string& arguments) {
    const std::string gone = directory_ + "/gone";
    const std::string err = directory_ + "/stderr.txt";
    return RunCommand("mkdir '" + gone + "' && cd '" + gone + "' && rmdir '" + gone + "' && " +
                          KORVALIS_COMMAND " " + arguments + " 2> '" + err + "'",
                      err);
  }

  std::string ServerScalar(const std::string& sql) {
    return korvalis::db::testing::PostgresTestServer::Get().RunSql(init_, sql);
  }

  mode_t Mode(const std::string& name) {
    struct stat status {};
    EXPECT_EQ(::stat((directory_ + "/" + name).c_str(), &status), 0) << name;
    return status.st_mode & 07777;
  }

  korvalis::testing::TempDirectory scratch_{"korvalis-server-command"};
  const std::string directory_ = scratch_.path();
  const std::string init_ = korvalis::db::testing::PostgresTestServer::Get().CreateDatabase();
};

TEST_F(ServerCommandTest, InitdbFillsAServerDatabaseThatSqlAndCallsThenUse) {
  const std::string connect = "--connect '" + init_ + ";Password=not-shown'";
  Outcome created = Run("initdb --sample " + connect);
  ASSERT_EQ(created.status, 0) << created.out;
  EXPECT_NE(created.out.find("Password=******"), std::string::npos) << created.out;
  EXPECT_EQ(created.out.find("not-shown"), std::string::npos) << created.out;
  std::ifstream config(directory_ + "/telv.config.xml");
  std::stringstream text;
  text << config.rdbuf();
  EXPECT_NE(text.str().find("Provider=PostgreSQL"), std::string::npos) << text.str();

  Outcome again = Run("initdb " + connect);
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.out.find("already holds the system's schema"), std::string::npos) << again.out;

  Outcome counted =
      Run("sql --connect '" + init_ +
          "' \"SELECT COUNT(*) FROM TELV_V_PATIENT_VISIT_RECORD WHERE NOW_DEPT_ID = '0101'\"");
  ASSERT_EQ(counted.status, 0) << counted.out;
  EXPECT_NE(counted.out.find("COUNT(*)\n"), std::string::npos) << counted.out;

  ASSERT_EQ(Run("regsvr " KORVALIS_LIBRARY).status, 0);
  ASSERT_EQ(Run("regsvr " KORVALIS_SUITE_COMPONENTS).status, 0);
  Outcome listed = Run("call ArchivePatient GetInPatientList 0101 2026-11-01 2027-01-01");
  ASSERT_EQ(listed.status, 0) << listed.out;
  EXPECT_NE(listed.out.find("<patient "), std::string::npos) << listed.out;

  // A call whose output is lost says that it was made: its record is saved.
  const std::string rescues = "SELECT COUNT(*) FROM \"PEV_RESCUE_RECORD\"";
  const int saved_before = std::stoi(ServerScalar(rescues));
  Outcome saved = Run(
      "call CoreSystem SetRescueRecord '<root><patient_id>P0001</patient_id><event_no>2025061501"
      "</event_no><rescue_date>2026-12-05 14:20:00</rescue_date></root>' > /dev/full");
  EXPECT_EQ(saved.status, 1);
  EXPECT_EQ(saved.out, "korvalis: korvalis.CoreSystem.SetRescueRecord was called and answered; "
                       "its output could not be written: No space left on device\n");
  EXPECT_EQ(std::stoi(ServerScalar(rescues)), saved_before + 1);

  // An embedded file is no server database.
  EXPECT_EQ(Run("initdb --connect 'Provider=SQLite;Data Source=x.db'").status, 2);
}

// `sql` prints a query's rows as the server sends them and never holds them all (a join without
// its condition would fill the host's memory): the rows sent before a failure are printed.
TEST_F(ServerCommandTest, SqlPrintsRowsAsTheServerSendsThem) {
  const std::string sql = "sql --connect '" + init_ + "' ";
  ASSERT_EQ(Run(sql + "\"CREATE TABLE P (ID NUMBER)\"").status, 0);
  ASSERT_EQ(Run(sql + "\"INSERT INTO P SELECT LEVEL FROM DUAL CONNECT BY LEVEL <= 3\"").status,
            0);
  Outcome text = Run(sql + "\"SELECT 6 / (3 - ID) Q FROM P\"");
  EXPECT_EQ(text.status, 1);
  EXPECT_TRUE(text.out.starts_with("Q\n3\n6\nORA-01476")) << text.out;
}

// Four processes call writing methods that touch the same tables in other orders, each many
// times, while reading calls run: every call succeeds, and the server logs no deadlock and no
// answer sent into a connection already closed.
TEST_F(ServerCommandTest, WritingCallsOfDifferentMethodsAtOnceAllSucceed) {
  ASSERT_EQ(Run("initdb --sample --connect '" + init_ + "'").status, 0);
  ASSERT_EQ(Run("regsvr " KORVALIS_LIBRARY).status, 0);
  ASSERT_EQ(Run("regsvr " KORVALIS_SUITE_COMPONENTS).status, 0);
  const std::string calls[] = {
      "DeptQCPatient ScorePatient P0004 2026120601 \"<root><score>98</score><grade>1</grade>"
      "<item item_id='5' score='2' serial='1' note='n'/></root>\" \"<root><user id='9002'>"
      "杨慧敏</user></root>\"",
      "DeptQCPatient GenerateQCReport P0001 2026120101 \"<root><user id='9002'>杨慧敏</user>"
      "</root>\" ''",
      "QualityTrigger FireOpen P0004 2026120601 \"<root><code>R01</code>"
      "<time>2026-12-07 03:00:00</time></root>\"",
      "QualityTrigger FireClose P0002 2026120301 \"<root><code>E03</code><type>1</type>"
      "<time>2026-12-04 16:30:00</time><extend><emr_type>2</emr_type><emr_id>"
      "5e3a9c10-0099-4c6b-9d2e-000000000099</emr_id><user_id>1003</user_id></extend></root>\"",
  };
  std::string script;
  for (const std::string& call : calls) {
    script += "(for i in $(seq 15); do " KORVALIS_COMMAND " call " + call +
              " > /dev/null 2>> failures.txt || echo failed; done) & ";
  }
  script += "for i in $(seq 15); do " KORVALIS_COMMAND
            " call ArchivePatient GetInPatientList 0101 2026-11-01 2027-01-01 > /dev/null "
            "|| echo failed; done; wait";
  const std::string before = korvalis::db::testing::PostgresTestServer::Get().ServerLog();
  Outcome ran = RunCommand("cd '" + directory_ + "' || exit 1; export KORVALIS_REGISTRY='" +
                           directory_ + "/registry'; " + script);
  EXPECT_EQ(ran.out, "");
  std::ifstream failures(directory_ + "/failures.txt");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(failures), {}), "");
  const std::string log =
      korvalis::db::testing::PostgresTestServer::Get().ServerLog().substr(before.size());
  EXPECT_EQ(log.find("deadlock"), std::string::npos) << log;
  EXPECT_EQ(log.find("could not send data"), std::string::npos) << log;
}

// Processes that write through `korvalis sql` at once, each run one reading transaction: every
// write waits for the writers' turn and reads what the writers before it committed, so an
// UPDATE never fails for a row another run changed and a MAX + 1 gives no duplicate.
TEST_F(ServerCommandTest, SqlRunsThatWriteAtOnceReadWhatTheWritersBeforeThemLeft) {
  const std::string connect = "sql --connect '" + init_ + "' ";
  ASSERT_EQ(Run(connect + "\"CREATE TABLE C (NAME VARCHAR2(10), VALUE VARCHAR2(100))\"").status, 0);
  ASSERT_EQ(Run(connect + "\"INSERT INTO C VALUES ('counter', NULL)\"").status, 0);
  ASSERT_EQ(Run(connect + "\"CREATE TABLE S (SERIAL NUMBER(10), WHO VARCHAR2(10))\"").status, 0);
  const std::string statements[] = {
      "UPDATE C SET VALUE = VALUE || 'x' WHERE NAME = 'counter'",
      "UPDATE C SET VALUE = VALUE || 'x' WHERE NAME = 'counter'",
      "UPDATE C SET VALUE = VALUE || 'x' WHERE NAME = 'counter'",
      "INSERT INTO S (SERIAL, WHO) SELECT NVL(MAX(SERIAL), 0) + 1, 'sql' FROM S",
      "INSERT INTO S (SERIAL, WHO) SELECT NVL(MAX(SERIAL), 0) + 1, 'sql' FROM S",
  };
  std::string script = "cd '" + directory_ + "' || exit 1; ";
  for (const std::string& statement : statements) {
    script += "(for i in $(seq 10); do " KORVALIS_COMMAND " " + connect + "\"" + statement +
              "\" > /dev/null 2>> failures.txt || echo failed; done) & ";
  }
  Outcome ran = RunCommand(script + "wait");
  EXPECT_EQ(ran.out, "");
  std::ifstream failures(directory_ + "/failures.txt");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(failures), {}), "");
  EXPECT_EQ(Run(connect + "--no-feedback \"SELECT LENGTH(VALUE) FROM C\"").out,
            "LENGTH(VALUE)\n30\n");
  EXPECT_EQ(Run(connect + "--no-feedback \"SELECT COUNT(DISTINCT SERIAL) || ':' || COUNT(*) "
                          "RESULT FROM S\"").out,
            "RESULT\n20:20\n");
}

// A script whose transaction the server ended (a writer left idle past Idle Transaction Timeout
// while its rows waited for a reader) says so once, with the line of the statement that found
// it out (a COMMIT too), and that the rest of the script was not run; at the end of the script,
// that its changes could not be committed. Nothing of the transaction is kept.
TEST_F(ServerCommandTest, AScriptWhoseWriterTheServerEndedSaysSoAndStops) {
  const std::string bounded = init_ + ";Idle Transaction Timeout=1";
  const std::string count = "sql --connect '" + init_ + "' --no-feedback \"SELECT COUNT(*) FROM W\"";
  ASSERT_EQ(Run("sql --connect '" + init_ + "' \"CREATE TABLE W (N NUMBER(5), PAD VARCHAR2(2000))\"")
                .status,
            0);
  std::string rows = "INSERT INTO W VALUES (1, RPAD('x', 2000, 'x'));\n";
  for (int n = 1; n < 128; n *= 2) {
    rows += "INSERT INTO W SELECT N + " + std::to_string(n) + ", PAD FROM W;\n";
  }
  rows += "SELECT N, PAD FROM W ORDER BY N;\n";  // line 9
  const std::string ended =
      "ORA-02396: exceeded maximum idle time: the transaction stayed idle longer than Idle "
      "Transaction Timeout; the server ended the connection and undid the transaction's work "
      "(terminating connection due to idle-in-transaction timeout) [SQLSTATE 25P03]\n";
  const std::pair<std::string, std::string> scripts[] = {
      {rows + "INSERT INTO W VALUES (1000, 'after');\nCOMMIT;\nINSERT INTO W VALUES (1, 'x');\n",
       "line 10: " + ended +
           "korvalis sql: the connection to the database is lost: the changes since the last "
           "COMMIT are undone; the rest of the script, from line 11, was not run\n"},
      {rows + "COMMIT;\n",
       "line 10: " + ended +
           "korvalis sql: the connection to the database is lost: the changes since the last "
           "COMMIT are undone\n"},
      {rows, "korvalis sql: the changes could not be committed: " + ended},
  };
  for (const auto& [script, said] : scripts) {
    std::ofstream(directory_ + "/script.sql") << script;
    // The rows fill the pipe to a reader that waits: the writer stays idle in between.
    const std::string err = directory_ + "/stderr.txt";
    Outcome run = RunCommand("cd '" + directory_ + "' && { " KORVALIS_COMMAND " sql --connect '" +
                             bounded + "' -f script.sql 2> '" + err +
                             "'; echo $? > status.txt; } | { sleep 3; cat > /dev/null; }; cat "
                             "status.txt '" + err + "'");
    EXPECT_EQ(run.out, "1\n" + said);
    EXPECT_EQ(Run(count).out, "COUNT(*)\n0\n");
  }
}

// A dump of the sample, its text indexes with it, is restored by one pg_restore into an empty
// database, which then answers as the original: its indexes, its rows and a text search.
TEST_F(ServerCommandTest, ADumpIsRestoredByOnePgRestoreAndAnswersAsTheOriginal) {
  ASSERT_EQ(Run("initdb --sample --connect '" + init_ + "'").status, 0);
  korvalis::db::testing::PostgresTestServer& server =
      korvalis::db::testing::PostgresTestServer::Get();
  const std::string restored = server.CreateDatabase();
  const std::string dump = "'" + directory_ + "/emr.dump'";
  Outcome copied = RunCommand("pg_dump -Fc -f " + dump + " '" + server.ClientConninfo(init_) +
                              "' 2>&1 && pg_restore --exit-on-error -d '" +
                              server.ClientConninfo(restored) + "' " + dump + " 2>&1");
  ASSERT_EQ(copied.status, 0) << copied.out;
  const std::string indexes = "SELECT count(*) FROM pg_indexes WHERE schemaname = 'public'";
  EXPECT_EQ(server.RunSql(restored, indexes), ServerScalar(indexes));
  const std::string sql = "sql --no-feedback --connect '" + restored + "' ";
  EXPECT_EQ(Run(sql + "\"SELECT COUNT(*) FROM TELV_PATIENT\"").out, "COUNT(*)\n12\n");
  EXPECT_EQ(Run(sql + "\"SELECT COUNT(*) FROM MOLB_XML_TEXT WHERE CONTAINS(FULL_TEXT, '肺炎') > 0\"")
                .out,
            "COUNT(*)\n2\n");
}

TEST_F(ServerCommandTest, AFailedInitdbLeavesNothingBehindAndMayBeRerun) {
  const std::string connect = "--connect '" + init_ + "'";
  Outcome refused = RunWhereNothingCanBeWritten("initdb --sample " + connect);
  EXPECT_EQ(refused.status, 1) << refused.out;
  EXPECT_NE(refused.out.find("cannot write"), std::string::npos) << refused.out;
  EXPECT_EQ(ServerScalar("SELECT count(*) FROM pg_tables WHERE tablename ILIKE 'telv_%'"), "0");

  const std::string file = "'" + directory_ + "/emr.db'";
  refused = RunWhereNothingCanBeWritten("initdb " + file);
  EXPECT_EQ(refused.status, 1) << refused.out;
  EXPECT_FALSE(std::filesystem::exists(directory_ + "/emr.db"));

  // Rerun where the configuration can go, both succeed; the files holding the connection
  // (the server's password with it) are their owner's only.
  Outcome created = Run("initdb --sample " + connect);
  ASSERT_EQ(created.status, 0) << created.out;
  EXPECT_EQ(Mode("telv.config.xml"), 0600u);
  EXPECT_EQ(Mode("suite.config.xml"), 0600u);
  std::filesystem::remove(directory_ + "/telv.config.xml");
  created = Run("initdb " + file);
  ASSERT_EQ(created.status, 0) << created.out;
  EXPECT_EQ(Mode("telv.config.xml"), 0600u);

  // A build that fails takes back the configuration that the run wrote.
  std::filesystem::remove(directory_ + "/telv.config.xml");
  std::filesystem::remove(directory_ + "/suite.config.xml");
  EXPECT_EQ(Run("initdb " + connect).status, 1);
  EXPECT_FALSE(std::filesystem::exists(directory_ + "/telv.config.xml"));
  EXPECT_FALSE(std::filesystem::exists(directory_ + "/suite.config.xml"));
}

}  // namespace
