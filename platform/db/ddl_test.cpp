// The schema's DDL subset on the embedded database: what it creates, what it keeps in the
// metadata tables, and what it refuses.
#include <gtest/gtest.h>

#include "platform/db/connection_pool.h"
#include "platform/db/connection_string.h"
#include "platform/db/database_clock.h"
#include "platform/db/testing/db_test_util.h"
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
