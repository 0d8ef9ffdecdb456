// `korvalis sql` as an operator uses it: a database named on the command line or by the
// configuration file of the current directory, scripts on standard input, rows as text.
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "db/testing/temp_directory.h"
#include "tools/testing/command_test_util.h"

namespace {

using korvalis::testing::Outcome;
using korvalis::testing::RunCommand;

class SqlCommandTest : public ::testing::Test {
 protected:
  // Runs `korvalis sql <arguments>` in the test directory with `input` on standard input.
  Outcome Sql(const std::string& arguments, const std::string& input = "") {
    const std::string in = directory_ + "/stdin.sql";
    std::ofstream(in) << input;
    const std::string err = directory_ + "/stderr.txt";
    std::string command = "cd '" + directory_ + "' && " KORVALIS_COMMAND " sql --no-feedback " + arguments +
                          " < '" + in + "' 2> '" + err + "'";
    return RunCommand(command, err);
  }

  // An empty file is an empty database; only `korvalis initdb` creates database files.
  void EmptyDatabase(const std::string& name) { std::ofstream(directory_ + "/" + name); }

  korvalis::testing::TempDirectory scratch_{"korvalis-sql"};
  const std::string directory_ = scratch_.path();
};

TEST_F(SqlCommandTest, ScriptsSeedAndQueriesPrintTabSeparatedRows) {
  EmptyDatabase("k.db");
  Outcome seed = Sql("--db k.db",
                     "CREATE TABLE P (ID VARCHAR2(5), NAME VARCHAR2(20), BORN DATE);\n"
                     "INSERT INTO P VALUES ('1', '张三', '1980-02-29');\n"
                     "INSERT INTO P (ID) VALUES ('2')\n/\n"
                     "SELECT ID, NAME, ADD_MONTHS(BORN, 12) NEXT FROM P ORDER BY ID;\n");
  ASSERT_EQ(seed.status, 0) << seed.out;
  EXPECT_EQ(seed.out, "ID\tNAME\tNEXT\n1\t张三\t1981-02-28 00:00:00\n2\t\t\n");
  Outcome xml = Sql("--db k.db --xml \"SELECT NAME FROM P WHERE ID = '1'\"");
  EXPECT_EQ(xml.out,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><root><row><column name=\"NAME\">张三"
            "</column></row></root>\n");
}

TEST_F(SqlCommandTest, XmlRowsAreWellFormedWhateverTheNamesAndValues) {
  EmptyDatabase("k.db");
  Outcome xml =
      Sql("--db k.db --xml",
          "SELECT COUNT(*), 'a<b>&\"c' \"</column><x y='1'>\", CHR(1) || '病' || CHR(31) V, "
          "NULL N FROM DUAL;\n"
          "SELECT 1 \"1st\" FROM DUAL WHERE 1 = 0;\n");
  ASSERT_EQ(xml.status, 0) << xml.out;
  const std::string first = xml.out.substr(0, xml.out.find('\n'));
  EXPECT_EQ(first,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><root><row>"
            "<column name=\"COUNT(*)\">1</column>"
            "<column name=\"&lt;/column>&lt;x y='1'>\">a&lt;b&gt;&amp;\"c</column>"
            "<column name=\"V\">\uFFFD病\uFFFD</column><column name=\"N\"></column></row></root>");
  for (const std::string& document : {first, xml.out.substr(first.size() + 1)}) {
    xmlDocPtr parsed = xmlReadMemory(document.data(), static_cast<int>(document.size()), nullptr,
                                     nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR);
    EXPECT_NE(parsed, nullptr) << document;
    xmlFreeDoc(parsed);
  }
}

TEST_F(SqlCommandTest, OneRunIsOneTransactionThatCommitsAtTheEndOfInput) {
  EmptyDatabase("k.db");
  Outcome run = Sql("--db k.db",
                    "CREATE TABLE P (ID NUMBER PRIMARY KEY);\n"
                    "INSERT INTO P VALUES (1);\n"
                    "COMMIT;\n"
                    "INSERT INTO P VALUES (2);\n"
                    "ROLLBACK;\n"
                    "INSERT INTO P VALUES (3);\n"
                    "SELECT ID FROM P ORDER BY ID;\n");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out, "ID\n1\n3\n");  // a statement sees the changes pending before it
  EXPECT_EQ(Sql("--db k.db \"SELECT ID FROM P ORDER BY ID\"").out, "ID\n1\n3\n");
}

TEST_F(SqlCommandTest, AFailingStatementIsReportedAndLeavesTheOthersToCommitOrRollback) {
  EmptyDatabase("k.db");
  Outcome run = Sql("--db k.db",
                    "CREATE TABLE P (ID NUMBER PRIMARY KEY);\n"
                    "INSERT INTO P VALUES (1);\n"
                    "INSERT INTO P VALUES (1);\n"
                    "INSERT INTO P VALUES (2);\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("line 3: ORA-00001"), std::string::npos) << run.out;
  EXPECT_EQ(Sql("--db k.db \"SELECT COUNT(*) FROM P\"").out, "COUNT(*)\n2\n");
  // A ROLLBACK after the failure undoes what came before it.
  run = Sql("--db k.db",
            "INSERT INTO P VALUES (3);\n"
            "INSERT INTO P VALUES (NULL, 4);\n"
            "ROLLBACK;\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("line 2: ORA-"), std::string::npos) << run.out;
  EXPECT_EQ(Sql("--db k.db \"SELECT COUNT(*) FROM P\"").out, "COUNT(*)\n2\n");
  // A failure that echoes what the script wrote escapes its control characters.
  run = Sql("--db k.db", "SELECT * FROM \"\x1b[31mRED\";\n");
  EXPECT_EQ(run.out.find('\x1b'), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("line 1: ORA-00942: table or view does not exist: \\x1b[31mRED"),
            std::string::npos)
      << run.out;
}

// Two processes that run an UPDATE of one row through `korvalis sql` at once, again and again:
// each run waits for the file's write lock and appends to what the run before it wrote.
TEST_F(SqlCommandTest, RunsThatWriteAtOnceWaitTheirTurn) {
  EmptyDatabase("k.db");
  ASSERT_EQ(Sql("--db k.db",
                "CREATE TABLE C (NAME VARCHAR2(10), VALUE VARCHAR2(100));\n"
                "INSERT INTO C VALUES ('counter', NULL);\n")
                .status,
            0);
  std::string script = "cd '" + directory_ + "' || exit 1; ";
  for (int process = 0; process < 2; ++process) {
    script += "(for i in $(seq 20); do " KORVALIS_COMMAND
              " sql --db k.db \"UPDATE C SET VALUE = VALUE || 'x' WHERE NAME = 'counter'\" "
              "> /dev/null 2>> failures.txt || echo failed; done) & ";
  }
  Outcome ran = RunCommand(script + "wait");
  EXPECT_EQ(ran.out, "");
  std::ifstream failures(directory_ + "/failures.txt");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(failures), {}), "");
  EXPECT_EQ(Sql("--db k.db \"SELECT LENGTH(VALUE) FROM C\"").out, "LENGTH(VALUE)\n40\n");
}

TEST_F(SqlCommandTest, RowsPrintAsTheyAreReadAndAScriptMayStartWithAByteOrderMark) {
  EmptyDatabase("k.db");
  Outcome run = Sql("--db k.db",
                    "\xEF\xBB\xBF"
                    "CREATE TABLE P (ID NUMBER);\n"
                    "INSERT INTO P VALUES (1);\n"
                    "INSERT INTO P VALUES (2);\n"
                    "INSERT INTO P VALUES (3);\n");
  ASSERT_EQ(run.status, 0) << run.out;
  // The third row divides by zero: the rows read before it are printed.
  Outcome text = Sql("--db k.db \"SELECT 6 / (3 - ID) Q FROM P\"");
  EXPECT_EQ(text.status, 1);
  EXPECT_TRUE(text.out.starts_with("Q\n3\n6\nORA-01476")) << text.out;
  Outcome xml = Sql("--db k.db --xml \"SELECT 6 / (3 - ID) Q FROM P\"");
  EXPECT_EQ(xml.status, 1);
  EXPECT_TRUE(
      xml.out.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?><root><row>"
                          "<column name=\"Q\">3</column></row><row><column name=\"Q\">6"
                          "</column></row></root>\nORA-01476"))
      << xml.out;
}

TEST_F(SqlCommandTest, TheConfigurationFileNamesTheDatabase) {
  Outcome missing = Sql("\"SELECT 1 FROM DUAL\"");
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.out.find("telv.config.xml"), std::string::npos);
  std::ofstream(directory_ + "/telv.config.xml")
      << "<?xml version=\"1.0\"?><config><db><datasource dbtype=\"oracle\" encrypt=\"\">"
         "Provider=SQLite;Data Source="
      << directory_ << "/c.db</datasource></db></config>";
  EmptyDatabase("c.db");
  Outcome ok = Sql("\"SELECT 6/4 X FROM DUAL\"");
  EXPECT_EQ(ok.status, 0) << ok.out;
  EXPECT_EQ(ok.out, "X\n1.5\n");
  std::ofstream(directory_ + "/telv.config.xml")
      << "<?xml version=\"1.0\"?><config><db><datasource dbtype=\"oracle\" encrypt=\"3\">"
         "c2VjcmV0</datasource></db></config>";
  Outcome encrypted = Sql("\"SELECT 1 FROM DUAL\"");
  EXPECT_EQ(encrypted.status, 2);
  EXPECT_NE(encrypted.out.find("encrypted"), std::string::npos);
  for (const char* nameless : {"<config><db/></config>", "<config><db><datasource/></db></config>",
                               "<config><db><datasource>x</datasource></db><db/></config>"}) {
    std::ofstream(directory_ + "/telv.config.xml") << nameless;
    Outcome refused = Sql("\"SELECT 1 FROM DUAL\"");
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.out,
              "korvalis sql: telv.config.xml must hold exactly one db element with a datasource "
              "that names the database (as korvalis initdb writes it)\n");
  }
  EXPECT_EQ(Sql("--bogus").status, 2);
}

TEST_F(SqlCommandTest, AMissingDatabaseIsNamedAndNeverCreated) {
  Outcome run = Sql("--db missing.db \"SELECT 1 FROM DUAL\"");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("missing.db' does not exist"), std::string::npos) << run.out;
  EXPECT_FALSE(std::filesystem::exists(directory_ + "/missing.db"));
}

TEST_F(SqlCommandTest, ADatabaseOrConfigurationThatCannotBeUsedIsNamed) {
  std::ofstream(directory_ + "/damaged.db") << std::string(5000, 'x');
  Outcome damaged = Sql("--db damaged.db \"SELECT 1 FROM DUAL\"");
  EXPECT_EQ(damaged.status, 1);
  EXPECT_EQ(damaged.out, "the database '" + directory_ + "/damaged.db' is damaged: file is not a "
                         "database\n");
  std::filesystem::create_directory(directory_ + "/telv.config.xml");
  Outcome unreadable = Sql("\"SELECT 1 FROM DUAL\"");
  EXPECT_EQ(unreadable.status, 2);
  EXPECT_EQ(unreadable.out, "korvalis sql: cannot read telv.config.xml: Is a directory\n");
}

// A database whose folder cannot be written (where its log and the log's index are made) is
// read, and a write is refused naming the folder, not the file, which may be written.
TEST_F(SqlCommandTest, ADatabaseInAFolderThatCannotBeWrittenIsReadAndItsWritesNameTheFolder) {
  const std::string folder = directory_ + "/read-only";
  std::filesystem::create_directory(folder);
  ASSERT_EQ(RunCommand("cd '" + folder + "' && " KORVALIS_COMMAND " initdb k.db > /dev/null").status,
            0);
  // Root may write any folder: the command then runs as nobody, who owns the database file.
  std::string as = "";
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown((folder + "/k.db").c_str(), 65534, 65534), 0);
    ::chmod(directory_.c_str(), 0755);
    as = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
  }
  ::chmod(folder.c_str(), 0555);
  const std::string sql = as + KORVALIS_COMMAND " sql --no-feedback --db '" + folder + "/k.db' ";
  Outcome read = RunCommand(sql + "\"SELECT COUNT(*) FROM TELV_PATIENT\" 2>&1");
  EXPECT_EQ(read.status, 0);
  EXPECT_EQ(read.out, "COUNT(*)\n0\n");
  Outcome write = RunCommand(sql + "\"DELETE FROM TELV_PATIENT\" 2>&1");
  EXPECT_EQ(write.status, 1);
  EXPECT_EQ(write.out, "ORA-16000: database open for read-only access (the folder '" + folder +
                           "' cannot be written, and the database's log and index (-wal, -shm) "
                           "are made there)\n");
  ::chmod(folder.c_str(), 0755);
}

TEST_F(SqlCommandTest, AScriptWithoutEndIsRefusedAtTheBound) {
  EmptyDatabase("z.db");
  Outcome file = Sql("--db z.db -f /dev/zero");
  EXPECT_EQ(file.status, 1);
  EXPECT_NE(file.out.find("korvalis: sql: /dev/zero holds more than 64 MB, the limit of a script"),
            std::string::npos)
      << file.out;
  Outcome input = RunCommand("cd '" + directory_ + "' && " KORVALIS_COMMAND
                             " sql --db z.db < /dev/zero 2>&1");
  EXPECT_EQ(input.status, 1);
  EXPECT_NE(input.out.find("standard input holds more than 64 MB"), std::string::npos)
      << input.out;
}

}  // namespace
