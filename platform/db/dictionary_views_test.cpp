// The dictionary views, read as the system reads them, compared with Oracle's answers.
#include <gtest/gtest.h>

#include "platform/db/oracle_test_fixture.h"

namespace korvalis::db {
namespace {

class DictionaryViewsTest : public testing::OracleFixture {
 protected:
  void SetUp() override {
    Open(R"(
CREATE TABLE DEPT (ID VARCHAR2(10) NOT NULL, NAME NVARCHAR2(20), CONSTRAINT PK_DEPT PRIMARY KEY (ID));
CREATE TABLE STAFF (
  DEPT_ID VARCHAR2(10) NOT NULL,
  NO NUMBER(6) NOT NULL,
  SALARY NUMBER(8,2) DEFAULT 0,
  HIRED DATE,
  PHOTO BLOB,
  NOTES CLOB,
  CODE CHAR(2) UNIQUE,
  CONSTRAINT PK_STAFF PRIMARY KEY (DEPT_ID, NO),
  CONSTRAINT FK_STAFF_DEPT FOREIGN KEY (DEPT_ID) REFERENCES DEPT (ID) ON DELETE CASCADE,
  CONSTRAINT CK_STAFF_SALARY CHECK (SALARY >= 0));
COMMENT ON COLUMN STAFF.SALARY IS '月薪';
COMMENT ON COLUMN STAFF.HIRED IS '入职日期';
)");
  }
};

TEST_F(DictionaryViewsTest, ColumnsWithOracleTypeNamesLengthsAndComments) {
  EXPECT_EQ(Rows("SELECT COLUMN_NAME, DATA_TYPE, DATA_LENGTH, DATA_PRECISION, DATA_SCALE, NULLABLE, COLUMN_ID, "
                 "DATA_DEFAULT FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'STAFF' ORDER BY COLUMN_ID"),
            "DEPT_ID|VARCHAR2|10|<null>|<null>|N|1|<null>,"
            "NO|NUMBER|22|6|0|N|2|<null>,"
            "SALARY|NUMBER|22|8|2|Y|3|0,"
            "HIRED|DATE|7|<null>|<null>|Y|4|<null>,"
            "PHOTO|BLOB|4000|<null>|<null>|Y|5|<null>,"
            "NOTES|CLOB|4000|<null>|<null>|Y|6|<null>,"
            "CODE|CHAR|2|<null>|<null>|Y|7|<null>");
  EXPECT_EQ(Rows("SELECT DATA_LENGTH, CHAR_LENGTH FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'DEPT' AND COLUMN_NAME = 'NAME'"),
            "40|20");
  // The column list of a table, the way the report designer reads it.
  EXPECT_EQ(Rows("SELECT COLUMN_NAME FROM USER_TAB_COLUMNS A WHERE A.TABLE_NAME='DEPT'"), "ID,NAME");
  EXPECT_EQ(Rows("SELECT COLUMN_NAME FROM USER_TAB_COLUMNS A WHERE A.TABLE_NAME='dept'"), "");
  // Types with their precision or length, and comments beside them.
  EXPECT_EQ(Rows("SELECT B.COMMENTS, B.COLUMN_NAME, A.DATA_TYPE || '(' || DECODE(A.DATA_TYPE, 'NUMBER', "
                 "A.DATA_PRECISION, 'DATE', A.DATA_LENGTH) || ')' XX FROM DBA_TAB_COLS A, DBA_COL_COMMENTS B "
                 "WHERE A.TABLE_NAME = B.TABLE_NAME AND A.COLUMN_NAME = B.COLUMN_NAME AND A.TABLE_NAME = 'STAFF' "
                 "ORDER BY A.COLUMN_ID"),
            "<null>|DEPT_ID|VARCHAR2(),<null>|NO|NUMBER(6),月薪|SALARY|NUMBER(8),入职日期|HIRED|DATE(7),"
            "<null>|PHOTO|BLOB(),<null>|NOTES|CLOB(),<null>|CODE|CHAR()");
  EXPECT_EQ(Rows("SELECT DISTINCT OWNER FROM DBA_TAB_COLS"), "KORVALIS");
}

TEST_F(DictionaryViewsTest, ConstraintsAndTheirColumns) {
  EXPECT_EQ(Rows("SELECT CONSTRAINT_NAME, CONSTRAINT_TYPE, R_CONSTRAINT_NAME, DELETE_RULE FROM USER_CONSTRAINTS "
                 "WHERE TABLE_NAME = 'STAFF' AND CONSTRAINT_TYPE <> 'U' ORDER BY CONSTRAINT_NAME"),
            "CK_STAFF_SALARY|C|<null>|<null>,FK_STAFF_DEPT|R|PK_DEPT|CASCADE,PK_STAFF|P|<null>|<null>");
  EXPECT_EQ(Rows("SELECT COL.COLUMN_NAME, COL.POSITION FROM USER_CONSTRAINTS CON, USER_CONS_COLUMNS COL "
                 "WHERE CON.CONSTRAINT_NAME = COL.CONSTRAINT_NAME AND CON.CONSTRAINT_TYPE = 'P' "
                 "AND CON.TABLE_NAME = 'STAFF' ORDER BY COL.POSITION"),
            "DEPT_ID|1,NO|2");
  // The field list of the table copier: each column with its type and whether it is a key.
  const char* fields =
      "SELECT TC.COLUMN_NAME, TC.DATA_TYPE,  (SELECT 'true' FROM USER_CONSTRAINTS CON, USER_CONS_COLUMNS COL "
      "WHERE CON.CONSTRAINT_NAME=COL.CONSTRAINT_NAME AND CON.CONSTRAINT_TYPE='P' AND COL.COLUMN_NAME=TC.COLUMN_NAME "
      "AND COL.TABLE_NAME=TC.TABLE_NAME) AS PRIMARY FROM USER_TAB_COLUMNS TC WHERE TC.TABLE_NAME='%s' ";
  std::string staff = fields;
  staff.replace(staff.find("%s"), 2, "STAFF");
  EXPECT_EQ(Rows(staff), "DEPT_ID|VARCHAR2|true,NO|NUMBER|true,SALARY|NUMBER|<null>,HIRED|DATE|<null>,"
                         "PHOTO|BLOB|<null>,NOTES|CLOB|<null>,CODE|CHAR|<null>");
  std::string none = fields;
  none.replace(none.find("%s"), 2, "NO_SUCH_TABLE");
  EXPECT_EQ(Rows(none), "");
  // New tables and dropped ones show at once.
  c_->Execute("CREATE TABLE LATER (X NUMBER PRIMARY KEY)");
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM USER_CONSTRAINTS WHERE TABLE_NAME = 'LATER' AND CONSTRAINT_TYPE = 'P'"), "1");
  c_->Execute("DROP TABLE LATER");
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'LATER'"), "0");
}

TEST_F(DictionaryViewsTest, NoTransactionIsEverInDoubt) {
  EXPECT_EQ(Rows("SELECT LOCAL_TRAN_ID FROM DBA_2PC_PENDING"), "");
  EXPECT_EQ(testing::ColumnNames(*c_, "SELECT LOCAL_TRAN_ID FROM DBA_2PC_PENDING"),
            (std::vector<std::string>{"LOCAL_TRAN_ID"}));
  // ROLLBACK FORCE does nothing: the open transaction keeps its work.
  c_->Begin(Connection::TransactionMode::kWriting);
  c_->Execute("INSERT INTO DEPT (ID) VALUES ('D9')");
  c_->Execute("ROLLBACK FORCE '1.2.3'");
  EXPECT_TRUE(c_->InTransaction());
  c_->Commit();
  EXPECT_EQ(Rows("SELECT ID FROM DEPT"), "D9");
  EXPECT_NE(Error("ROLLBACK FORCE").find("ORA-02234"), std::string::npos);
  EXPECT_NE(Error("INSERT INTO USER_TAB_COLUMNS (TABLE_NAME) VALUES ('X')").find("USER_TAB_COLUMNS"),
            std::string::npos);
}

}  // namespace
}  // namespace korvalis::db
