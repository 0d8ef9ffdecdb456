// The schema's DDL subset on the embedded database: what it creates, what it keeps in the
// metadata tables, and what it refuses.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>

#include "platform/db/catalog.h"
#include "platform/db/connection_pool.h"
#include "platform/db/connection_string.h"
#include "platform/db/database_clock.h"
#include "platform/db/testing/db_test_util.h"
#include "platform/db/testing/engine_database.h"
#include "platform/db/script_runner.h"

namespace korvalis::db {
namespace {

using testing::Query;
using testing::Rows;
using testing::Scalar;

class DdlTest : public ::testing::Test {
 protected:
  void SetUp() override { c_ = OpenConnection("Provider=SQLite;Data Source=:memory:"); }
  std::string Error(std::string_view sql) {
    try {
      c_->Execute(sql);
    } catch (const DbError& e) {
      return e.what();
    }
    return "no error";
  }
  std::unique_ptr<Connection> c_;
};

class FixedClock : public DatabaseClock {
 public:
  DateTime Now() const override { return DateTime{2010, 6, 1, 8, 0, 0}; }
};

TEST_F(DdlTest, DefaultsAreOracleValues) {
  SetDatabaseClock(std::make_shared<FixedClock>());
  c_->Execute("CREATE TABLE T (ID NUMBER(10) NOT NULL, CREATED DATE DEFAULT SYSDATE, FLAG VARCHAR2(1) DEFAULT '1', "
              "NOTE VARCHAR2(10) DEFAULT '', N NUMBER(5,1) DEFAULT 2.25, D DATE DEFAULT TO_DATE('2001-02-03', 'YYYY-MM-DD'))");
  c_->Execute("INSERT INTO T (ID) VALUES (1)");
  SetDatabaseClock(nullptr);
  EXPECT_EQ(Query(*c_, "SELECT CREATED, FLAG, NOTE, N, D FROM T"),
            (Rows{{"2010-06-01 08:00:00", "1", "<null>", "2.3", "2001-02-03 00:00:00"}}));
  EXPECT_EQ(Scalar(*c_, "SELECT DATA_DEFAULT FROM KORVALIS_COLUMNS WHERE COLUMN_NAME = 'D'"),
            "TO_DATE('2001-02-03', 'YYYY-MM-DD')");
}

TEST_F(DdlTest, KeysChecksAndCascades) {
  RunScript(*c_, R"(
CREATE TABLE P (ID NUMBER PRIMARY KEY, CODE VARCHAR2(5) CONSTRAINT UQ_P_CODE UNIQUE, KIND NUMBER CHECK (KIND IN (1, 2)));
CREATE TABLE C (ID NUMBER, P_ID NUMBER, CONSTRAINT FK_C_P FOREIGN KEY (P_ID) REFERENCES P (ID) ON DELETE CASCADE);
INSERT INTO P VALUES (1, 'a', 1);
INSERT INTO C VALUES (10, 1);
)");
  EXPECT_NE(Error("INSERT INTO P VALUES (2, 'a', 1)").find("ORA-00001"), std::string::npos);
  EXPECT_NE(Error("INSERT INTO P VALUES (2, 'b', 3)").find("ORA-02290"), std::string::npos);
  EXPECT_NE(Error("INSERT INTO C VALUES (11, 9)").find("ORA-02291"), std::string::npos);
  c_->Execute("DELETE FROM P WHERE ID = 1");
  EXPECT_EQ(Scalar(*c_, "SELECT COUNT(*) FROM C"), "0");
  Rows keys = Query(*c_, "SELECT CONSTRAINT_NAME, CONSTRAINT_TYPE, R_TABLE_NAME, DELETE_RULE FROM KORVALIS_CONSTRAINTS "
                         "WHERE TABLE_NAME IN ('P', 'C') ORDER BY TABLE_NAME, CONSTRAINT_TYPE");
  ASSERT_EQ(keys.size(), 4u);
  EXPECT_EQ(keys[0], (std::vector<std::string>{"FK_C_P", "R", "P", "CASCADE"}));
  EXPECT_EQ(keys[1][1], "C");
  EXPECT_EQ(keys[2][1], "P");
  EXPECT_EQ(keys[3], (std::vector<std::string>{"UQ_P_CODE", "U", "<null>", "<null>"}));
  EXPECT_NE(Error("CREATE TABLE Q (A NUMBER PRIMARY KEY, B NUMBER, PRIMARY KEY (B))").find("ORA-02260"), std::string::npos);
  EXPECT_NE(Error("CREATE TABLE Q (A NUMBER, PRIMARY KEY (NOPE))").find("ORA-00904"), std::string::npos);
}

TEST_F(DdlTest, ViewsIndexesCommentsAndDrops) {
  RunScript(*c_, R"(
CREATE TABLE T (ID NUMBER, NAME VARCHAR2(20), D DATE) TABLESPACE USERS PCTFREE 10 STORAGE (INITIAL 64K);
CREATE INDEX IX_T_NAME ON T (NAME) TABLESPACE USERS;
CREATE VIEW V (VID, VNAME) AS SELECT ID, NAME FROM T;
COMMENT ON TABLE V IS '视图';
COMMENT ON COLUMN T.D IS '日期';
)");
  c_->Execute("INSERT INTO T VALUES (1, 'x', '2001-01-01')");
  EXPECT_EQ(Scalar(*c_, "SELECT VNAME FROM V WHERE VID = 1"), "x");
  EXPECT_EQ(Scalar(*c_, "SELECT COMMENTS FROM KORVALIS_TABLES WHERE TABLE_NAME = 'V'"), "视图");
  EXPECT_EQ(Scalar(*c_, "SELECT COMMENTS FROM KORVALIS_COLUMNS WHERE TABLE_NAME = 'T' AND COLUMN_NAME = 'D'"), "日期");
  // Columns read unchanged keep their declared types; computed ones get the type of their value.
  EXPECT_EQ(Query(*c_, "SELECT COLUMN_NAME, DATA_TYPE, DATA_LENGTH, NULLABLE FROM KORVALIS_COLUMNS "
                       "WHERE TABLE_NAME = 'V' ORDER BY COLUMN_ID"),
            (Rows{{"VID", "NUMBER", "22", "Y"}, {"VNAME", "VARCHAR2", "20", "Y"}}));
  c_->Execute("CREATE TABLE T2 (K NUMBER(6,1) NOT NULL, S CHAR(2))");
  c_->Execute("CREATE VIEW V2 AS SELECT X.*, K * 2 DOUBLE_K FROM (SELECT K, S FROM T2) X");
  EXPECT_EQ(Query(*c_, "SELECT COLUMN_NAME, DATA_TYPE, DATA_PRECISION, DATA_SCALE, DATA_LENGTH, NULLABLE "
                       "FROM KORVALIS_COLUMNS WHERE TABLE_NAME = 'V2' ORDER BY COLUMN_ID"),
            (Rows{{"K", "NUMBER", "6", "1", "22", "N"},
                  {"S", "CHAR", "<null>", "<null>", "2", "Y"},
                  {"DOUBLE_K", "NUMBER", "<null>", "<null>", "22", "Y"}}));
  EXPECT_NE(Error("CREATE VIEW V3 AS SELECT K, S K FROM T2").find("ORA-00957"), std::string::npos);
  // A view's column types follow its query: date arithmetic through the view works.
  c_->Execute("CREATE OR REPLACE VIEW V AS SELECT ID, D FROM T");
  EXPECT_EQ(Scalar(*c_, "SELECT D + 1 FROM V"), "2001-01-02 00:00:00");
  EXPECT_NE(Error("CREATE VIEW V AS SELECT 1 X FROM DUAL").find("ORA-00955"), std::string::npos);
  EXPECT_NE(Error("CREATE OR REPLACE VIEW T AS SELECT 1 X FROM DUAL").find("ORA-00955"), std::string::npos);
  EXPECT_NE(Error("CREATE VIEW W (A, B) AS SELECT 1 FROM DUAL").find("ORA-01730"), std::string::npos);
  EXPECT_NE(Error("CREATE INDEX IX_BAD ON T (NOPE)").find("ORA-00904"), std::string::npos);
  EXPECT_NE(Error("COMMENT ON COLUMN T.NOPE IS 'x'").find("ORA-00904"), std::string::npos);
  EXPECT_NE(Error("DROP VIEW T").find("not a view"), std::string::npos);
  c_->Execute("DROP INDEX IX_T_NAME");
  c_->Execute("DROP TABLE T");
  EXPECT_EQ(Scalar(*c_, "SELECT COUNT(*) FROM KORVALIS_COLUMNS WHERE TABLE_NAME = 'T'"), "0");
  EXPECT_NE(Error("SELECT * FROM T").find("ORA-00942"), std::string::npos);
}

TEST_F(DdlTest, TablesTheMetadataDoesNotDescribeAreStillUsable) {
  // A table created outside the front end: known by name, columns of unknown type.
  RunScript(*c_, "CREATE TABLE K (A NUMBER);\nINSERT INTO K VALUES (1);\n");
  c_->Execute("DELETE FROM KORVALIS_COLUMNS WHERE TABLE_NAME = 'K'");
  c_->Execute("CREATE TABLE K2 (B NUMBER)");  // any DDL reloads the catalog
  EXPECT_EQ(Scalar(*c_, "SELECT A + 1 FROM K"), "2");
  c_->Execute("TRUNCATE TABLE K");
  EXPECT_EQ(Scalar(*c_, "SELECT COUNT(*) FROM K"), "0");
}

// A catalog read on demand describes each table on its first lookup as a whole reading does:
// declared columns in their positions (ties in the order described), undescribed tables by
// name, views.
TEST(CatalogTest, TablesDescribedOnFirstLookupAsWhenReadWhole) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, CatalogBootstrapSql(), nullptr, nullptr, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, R"(
CREATE TABLE T (A, B, C);
CREATE TABLE U (X, y);
CREATE VIEW V AS SELECT A, B FROM T;
INSERT INTO KORVALIS_COLUMNS VALUES ('T', 'A', 2, 'NUMBER', 22, 5, 2, NULL, 'Y', NULL, NULL);
INSERT INTO KORVALIS_COLUMNS VALUES ('T', 'B', 1, 'VARCHAR2', 10, NULL, NULL, 10, 'N', NULL, NULL);
INSERT INTO KORVALIS_COLUMNS VALUES ('T', 'C', 2, 'DATE', 7, NULL, NULL, NULL, 'Y', NULL, NULL);
INSERT INTO KORVALIS_COLUMNS VALUES ('V', 'A', 1, 'NUMBER', 22, 5, 2, NULL, 'Y', NULL, NULL);
INSERT INTO KORVALIS_COLUMNS VALUES ('V', 'B', 2, 'VARCHAR2', 10, NULL, NULL, 10, 'Y', NULL, NULL);
)", nullptr, nullptr, nullptr), SQLITE_OK);
  const auto whole = Catalog::Load(db);
  const auto on_demand = Catalog::LoadOnDemand(db);
  EXPECT_EQ(on_demand->FindTable("NOPE"), nullptr);
  // Nothing described yet, and no connection named to describe through.
  EXPECT_THROW(on_demand->FindTable("T"), DbError);
  Catalog::DescribingThrough describing(db);
  for (const char* name : {"T", "U", "V"}) {
    SCOPED_TRACE(name);
    const TableInfo* expected = whole->FindTable(name);
    const TableInfo* table = on_demand->FindTable(name);
    ASSERT_NE(expected, nullptr);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->is_view, expected->is_view);
    ASSERT_EQ(table->columns.size(), expected->columns.size());
    for (size_t i = 0; i < table->columns.size(); ++i) {
      const ColumnInfo& got = table->columns[i];
      const ColumnInfo& want = expected->columns[i];
      EXPECT_EQ(std::tie(got.name, got.type, got.scale, got.precision, got.max_length,
                         got.not_null),
                std::tie(want.name, want.type, want.scale, want.precision, want.max_length,
                         want.not_null));
      EXPECT_EQ(got.origin_table, want.origin_table ? table : nullptr);
      EXPECT_EQ(got.origin_column, want.origin_column ? &got : nullptr);
    }
    EXPECT_EQ(on_demand->FindTable(name), table);
  }
  std::vector<std::string> names;
  for (const ColumnInfo& c : on_demand->FindTable("T")->columns) names.push_back(c.name);
  EXPECT_EQ(names, (std::vector<std::string>{"B", "A", "C"}));
  EXPECT_EQ(on_demand->FindTableIgnoringCase("u")->columns.size(), 2u);
  sqlite3_close(db);
}

// A table another connection described while a transaction changed it is read again once the
// transaction commits.
TEST(CatalogTest, TablesChangedByACommittedTransactionAreReadAgain) {
  const std::string file = (std::filesystem::temp_directory_path() /
                            ("korvalis_catalog_" + std::to_string(::getpid()) + ".db")).string();
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(file + suffix);
  const std::string init = "Provider=SQLite;Data Source=" + file;
  {
    std::unique_ptr<Connection> writer = CreateDatabase(init);
    std::unique_ptr<Connection> reader = OpenConnection(init);
    writer->Execute("CREATE TABLE P (ID NUMBER)");
    writer->Execute("INSERT INTO P VALUES (1)");
    writer->Begin(Connection::TransactionMode::kWriting);
    writer->Execute("CREATE TABLE Q (BORN DATE)");
    writer->Execute("DROP TABLE P");
    writer->Execute("CREATE TABLE P (ID NUMBER, BORN DATE)");
    // The reader describes P as it sees it: the table before the transaction.
    EXPECT_EQ(Scalar(*reader, "SELECT COUNT(*) FROM P"), "1");
    writer->Commit();
    writer->Execute("INSERT INTO P VALUES (2, TO_DATE('2001-02-28', 'YYYY-MM-DD'))");
    EXPECT_EQ(Scalar(*reader, "SELECT BORN + 1 FROM P WHERE ID = 2"), "2001-03-01 00:00:00");
  }
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(file + suffix);
}

// A table that a transaction created while another connection read the catalog is known to
// every connection once the transaction commits.
class CommittedSchemaTest : public ::testing::TestWithParam<Engine> {};

TEST_P(CommittedSchemaTest, ATableCreatedInACommittedTransactionIsKnown) {
  std::string init;
  std::unique_ptr<Connection> writer;
  if (GetParam() == Engine::kPostgres) {
    writer = testing::OpenEmptyDatabase(Engine::kPostgres, &init);
  } else {
    const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                       ("korvalis_schema_" + std::to_string(::getpid()) + ".db");
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(file.string() + suffix);
    init = "Provider=SQLite;Data Source=" + file.string();
    writer = CreateDatabase(init);
  }
  writer->Execute("CREATE TABLE P (ID NUMBER)");
  std::unique_ptr<Connection> reader = OpenConnection(init);
  writer->Begin(Connection::TransactionMode::kWriting);
  writer->Execute("CREATE TABLE Q (BORN DATE)");
  // The reader reads the catalog while the new table is not yet its to see.
  EXPECT_EQ(Scalar(*reader, "SELECT COUNT(*) FROM P"), "0");
  writer->Execute("INSERT INTO Q VALUES (TO_DATE('2001-02-28', 'YYYY-MM-DD'))");
  writer->Commit();
  EXPECT_EQ(Scalar(*reader, "SELECT BORN + 1 FROM Q"), "2001-03-01 00:00:00");
}

INSTANTIATE_TEST_SUITE_P(Engines, CommittedSchemaTest, testing::kBothEngines,
                         testing::EngineName);

TEST(ConnectionStringTest, ReadsOleDbItems) {
  ConnectionString cs = ConnectionString::Parse(
      " Provider = SQLite ; data source=\"/tmp/a;b.db\";Password='x;y' ;;User ID=sa");
  EXPECT_EQ(cs.Get("PROVIDER"), "SQLite");
  EXPECT_EQ(cs.Get("Data Source"), "/tmp/a;b.db");
  EXPECT_EQ(cs.Get("password"), "x;y");
  EXPECT_EQ(cs.Get("User ID"), "sa");
  EXPECT_FALSE(cs.Get("Catalog").has_value());
  EXPECT_THROW(ConnectionString::Parse("Provider=SQLite;garbage"), DbError);
  EXPECT_THROW(ConnectionString::Parse("Data Source='open"), DbError);
  EXPECT_THROW(ConnectionString::Parse("=x"), DbError);
}

}  // namespace
}  // namespace korvalis::db
