#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <set>
#include <thread>

#include "platform/db/connection_pool.h"
#include "platform/db/testing/db_test_util.h"
#include "platform/db/script_runner.h"
#include "platform/db/testing/engine_database.h"

namespace korvalis::db {
namespace {

using testing::Query;
using testing::Rows;
using testing::Scalar;

constexpr char kMemory[] = "Provider=SQLite;Data Source=:memory:";

constexpr char kSchema[] = R"(
CREATE TABLE TELV_PATIENT (
  PATIENT_ID VARCHAR2(20) NOT NULL,
  NAME NVARCHAR2(50),
  SEX CHAR(1) DEFAULT '1',
  AGE NUMBER(3),
  SCORE NUMBER(5,2),
  BIRTHDAY DATE,
  PHOTO BLOB,
  NOTE CLOB,
  CONSTRAINT PK_TELV_PATIENT PRIMARY KEY (PATIENT_ID)
);
COMMENT ON TABLE TELV_PATIENT IS '病人';
COMMENT ON COLUMN TELV_PATIENT.NAME IS '姓名';
CREATE TABLE TELV_VISIT (
  PATIENT_ID VARCHAR2(20) NOT NULL REFERENCES TELV_PATIENT (PATIENT_ID),
  SERIAL INTEGER NOT NULL,
  DEPT_ID VARCHAR2(10) UNIQUE,
  PRIMARY KEY (PATIENT_ID, SERIAL)
)
/
CREATE INDEX IX_VISIT_DEPT ON TELV_VISIT (DEPT_ID DESC);
CREATE OR REPLACE VIEW V_PATIENT AS SELECT PATIENT_ID, NAME, AGE * 2 AS AGE2 FROM TELV_PATIENT;
)";

class ProviderTest : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    connection_ = testing::OpenEmptyDatabase(GetParam());
    RunScript(*connection_, kSchema);
  }
  Connection& c() { return *connection_; }
  std::unique_ptr<Connection> connection_;
};

TEST_P(ProviderTest, DdlKeepsDeclaredTypesAndComments) {
  Rows cols = Query(c(),
                    "SELECT COLUMN_NAME, DATA_TYPE, DATA_LENGTH, DATA_PRECISION, DATA_SCALE, "
                    "NULLABLE, DATA_DEFAULT, COMMENTS FROM KORVALIS_COLUMNS "
                    "WHERE TABLE_NAME = 'TELV_PATIENT' ORDER BY COLUMN_ID");
  ASSERT_EQ(cols.size(), 8u);
  EXPECT_EQ(cols[0], (std::vector<std::string>{"PATIENT_ID", "VARCHAR2", "20", "<null>", "<null>",
                                               "N", "<null>", "<null>"}));
  EXPECT_EQ(cols[1], (std::vector<std::string>{"NAME", "NVARCHAR2", "100", "<null>", "<null>", "Y",
                                               "<null>", "姓名"}));
  EXPECT_EQ(cols[2], (std::vector<std::string>{"SEX", "CHAR", "1", "<null>", "<null>", "Y", "'1'",
                                               "<null>"}));
  EXPECT_EQ(cols[3][1] + cols[3][3] + cols[3][4], "NUMBER30");
  EXPECT_EQ(cols[4][1] + cols[4][3] + cols[4][4], "NUMBER52");
  EXPECT_EQ(cols[5][1] + cols[5][2], "DATE7");
  EXPECT_EQ(Scalar(c(), "SELECT COMMENTS FROM KORVALIS_TABLES WHERE TABLE_NAME = 'TELV_PATIENT'"),
            "病人");
  EXPECT_EQ(Scalar(c(),
                   "SELECT DATA_TYPE || DATA_SCALE FROM KORVALIS_COLUMNS WHERE TABLE_NAME = "
                   "'TELV_VISIT' AND COLUMN_NAME = 'SERIAL'"),
            "NUMBER0");
  EXPECT_EQ(Scalar(c(), "SELECT TABLE_TYPE FROM KORVALIS_TABLES WHERE TABLE_NAME = 'V_PATIENT'"),
            "VIEW");

  Rows keys = Query(c(),
                    "SELECT C.CONSTRAINT_NAME, C.CONSTRAINT_TYPE, K.COLUMN_NAME, K.POSITION "
                    "FROM KORVALIS_CONSTRAINTS C JOIN KORVALIS_CONS_COLUMNS K "
                    "ON K.CONSTRAINT_NAME = C.CONSTRAINT_NAME WHERE C.TABLE_NAME = 'TELV_VISIT' "
                    "ORDER BY C.CONSTRAINT_TYPE, K.POSITION");
  ASSERT_EQ(keys.size(), 4u);
  EXPECT_EQ(keys[0][1] + keys[0][2] + keys[0][3], "PPATIENT_ID1");
  EXPECT_EQ(keys[1][1] + keys[1][2] + keys[1][3], "PSERIAL2");
  EXPECT_EQ(keys[2][1] + keys[2][2], "RPATIENT_ID");
  EXPECT_EQ(keys[3][1] + keys[3][2], "UDEPT_ID");
}

TEST_P(ProviderTest, ConstraintsAreEnforced) {
  c().Execute("INSERT INTO TELV_PATIENT (PATIENT_ID, NAME) VALUES ('p1', 'A')");
  try {
    c().Execute("INSERT INTO TELV_PATIENT (PATIENT_ID, NAME) VALUES ('p1', 'B')");
    FAIL() << "duplicate key accepted";
  } catch (const DbError& e) {
    EXPECT_EQ(e.code(), kIntegrityViolation);
    EXPECT_NE(std::string(e.what()).find("ORA-00001"), std::string::npos);
  }
  // '' is NULL: a NOT NULL column refuses it.
  EXPECT_THROW(c().Execute("INSERT INTO TELV_PATIENT (PATIENT_ID) VALUES ('')"), DbError);
  // Foreign key to a missing patient.
  EXPECT_THROW(c().Execute("INSERT INTO TELV_VISIT (PATIENT_ID, SERIAL) VALUES ('nobody', 1)"),
               DbError);
  c().Execute("INSERT INTO TELV_VISIT (PATIENT_ID, SERIAL) VALUES ('p1', 1)");
  EXPECT_EQ(Scalar(c(), "SELECT COUNT(*) FROM TELV_VISIT"), "1");
}

TEST_P(ProviderTest, ValuesAreConvertedForTheirColumns) {
  c().Execute(
      "INSERT INTO TELV_PATIENT (PATIENT_ID, AGE, SCORE, BIRTHDAY) VALUES (12, '42', 7.456, "
      "'2008-02-29')");
  c().Execute(
      "INSERT INTO TELV_PATIENT VALUES ('p2', 'Li', '2', 35.5, 1.5, TO_DATE('2001-01-31 "
      "10:20','yyyy-mm-dd hh24:mi'), NULL, '')");
  Rows rows = Query(
      c(),
      "SELECT PATIENT_ID, SEX, AGE, SCORE, BIRTHDAY, NOTE FROM TELV_PATIENT ORDER BY PATIENT_ID");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0],
            (std::vector<std::string>{"12", "1", "42", "7.46", "2008-02-29 00:00:00", "<null>"}));
  EXPECT_EQ(rows[1],
            (std::vector<std::string>{"p2", "2", "36", "1.5", "2001-01-31 10:20:00", "<null>"}));
  // Malformed dates and numbers fail and write nothing.
  EXPECT_THROW(
      c().Execute("INSERT INTO TELV_PATIENT (PATIENT_ID, BIRTHDAY) VALUES ('p3', '2008-02-30')"),
      DbError);
  EXPECT_THROW(c().Execute("INSERT INTO TELV_PATIENT (PATIENT_ID, AGE) VALUES ('p3', 'abc')"),
               DbError);
  EXPECT_THROW(c().Execute("INSERT INTO TELV_PATIENT (PATIENT_ID, AGE) VALUES ('p3', 1000)"),
               DbError);
  EXPECT_EQ(Scalar(c(), "SELECT COUNT(*) FROM TELV_PATIENT"), "2");
  // UPDATE with a table alias and alias-qualified SET columns; DELETE without FROM.
  c().Execute(
      "UPDATE TELV_PATIENT t SET t.AGE = t.AGE + 1, t.BIRTHDAY = '2009-01-01 08:00:00' WHERE "
      "t.PATIENT_ID = 'p2'");
  EXPECT_EQ(Query(c(), "SELECT AGE, BIRTHDAY FROM TELV_PATIENT WHERE PATIENT_ID = 'p2'")[0],
            (std::vector<std::string>{"37", "2009-01-01 08:00:00"}));
  c().Execute("DELETE TELV_PATIENT p WHERE p.PATIENT_ID = 'p2'");
  EXPECT_EQ(Scalar(c(), "SELECT COUNT(*) FROM TELV_PATIENT"), "1");
}

TEST_P(ProviderTest, InsertSelectAndColumnNames) {
  c().Execute("INSERT INTO TELV_PATIENT (PATIENT_ID, NAME, AGE) VALUES ('p1', 'A', 10)");
  c().Execute(
      "INSERT INTO TELV_PATIENT (PATIENT_ID, NAME, BIRTHDAY) SELECT PATIENT_ID || 'x', NAME, "
      "'2010-05-06' FROM TELV_PATIENT");
  EXPECT_EQ(Scalar(c(), "SELECT BIRTHDAY FROM TELV_PATIENT WHERE PATIENT_ID = 'p1x'"),
            "2010-05-06 00:00:00");
  EXPECT_EQ(
      testing::ColumnNames(
          c(), "select patient_id, name \"Mixed\", age a, count(*) over () from telv_patient"),
      (std::vector<std::string>{"PATIENT_ID", "Mixed", "A", "COUNT(*)OVER()"}));
  EXPECT_EQ(testing::ColumnNames(c(), "SELECT * FROM V_PATIENT"),
            (std::vector<std::string>{"PATIENT_ID", "NAME", "AGE2"}));
  EXPECT_EQ(Scalar(c(), "SELECT AGE2 FROM V_PATIENT WHERE PATIENT_ID = 'p1'"), "20");
}

TEST_P(ProviderTest, DdlFailuresAreClearAndLeaveNoTrace) {
  EXPECT_THROW(c().Execute("CREATE TABLE TELV_PATIENT (A NUMBER)"), SqlError);
  EXPECT_THROW(c().Execute("CREATE TABLE T2 (A NUMBER, A DATE)"), SqlError);
  EXPECT_THROW(c().Execute("CREATE TABLE T2 (A VARCHAR2)"), SqlError);
  EXPECT_THROW(c().Execute("CREATE TABLE T2 (A BOGUS)"), SqlError);
  EXPECT_EQ(Scalar(c(), "SELECT COUNT(*) FROM KORVALIS_TABLES WHERE TABLE_NAME = 'T2'"), "0");
  c().Execute("DROP VIEW V_PATIENT");
  EXPECT_EQ(Scalar(c(), "SELECT COUNT(*) FROM KORVALIS_COLUMNS WHERE TABLE_NAME = 'V_PATIENT'"),
            "0");
  try {
    c().Execute("SELECT * FROM V_PATIENT");
    FAIL();
  } catch (const DbError& e) {
    EXPECT_EQ(e.code(), kNoSuchTable);
    EXPECT_NE(std::string(e.what()).find("ORA-00942"), std::string::npos);
  }
}

TEST_P(ProviderTest, BlobReadAndWrite) {
  c().Execute("INSERT INTO TELV_PATIENT (PATIENT_ID) VALUES ('p1')");
  const std::string bytes("\xFF\xFE\0a\x01", 5);
  EXPECT_EQ(c().ReadBlob("SELECT PHOTO FROM TELV_PATIENT WHERE PATIENT_ID = 'p1'").state,
            BlobValue::kNull);
  EXPECT_TRUE(c().WriteBlob("SELECT t.PHOTO FROM TELV_PATIENT t WHERE t.PATIENT_ID = 'p1'", bytes));
  BlobValue v = c().ReadBlob("SELECT PHOTO FROM TELV_PATIENT WHERE PATIENT_ID = 'p1'");
  EXPECT_EQ(v.state, BlobValue::kBytes);
  EXPECT_EQ(v.bytes, bytes);
  // LENGTH and LENGTHB of a BLOB count its bytes, whatever text they would spell.
  ASSERT_TRUE(c().WriteBlob("SELECT PHOTO FROM TELV_PATIENT WHERE PATIENT_ID = 'p1'",
                            std::string("\xC3\xA9\x80\0", 4)));
  EXPECT_EQ(Scalar(c(), "SELECT LENGTH(PHOTO) || '|' || LENGTHB(PHOTO) || '|' || "
                        "LENGTH(EMPTY_BLOB()) FROM TELV_PATIENT WHERE LENGTH(PHOTO) > 3"),
            "4|4|0");
  EXPECT_TRUE(
      c().WriteBlob("SELECT PHOTO FROM TELV_PATIENT WHERE PATIENT_ID = 'p1'", std::nullopt));
  EXPECT_EQ(c().ReadBlob("SELECT PHOTO FROM TELV_PATIENT WHERE PATIENT_ID = 'p1'").state,
            BlobValue::kNull);
  EXPECT_FALSE(c().WriteBlob("SELECT PHOTO FROM TELV_PATIENT WHERE PATIENT_ID = 'none'", bytes));
  EXPECT_EQ(c().ReadBlob("SELECT PHOTO FROM TELV_PATIENT WHERE PATIENT_ID = 'none'").state,
            BlobValue::kNoRow);
  EXPECT_THROW(c().WriteBlob("SELECT PHOTO FROM TELV_PATIENT, TELV_VISIT", bytes), SqlError);
}

TEST_P(ProviderTest, ABlobIsReadFromTheFirstColumnOfTheFirstRowOfAnyQuery) {
  const std::string older("\x01\x00\x02", 3), newer("\x03\x00", 2);
  c().Execute("INSERT INTO TELV_PATIENT (PATIENT_ID, AGE) VALUES ('p1', 30)");
  c().Execute("INSERT INTO TELV_PATIENT (PATIENT_ID, AGE) VALUES ('p2', 40)");
  c().Execute("INSERT INTO TELV_VISIT (PATIENT_ID, SERIAL, DEPT_ID) VALUES ('p2', 1, '0101')");
  ASSERT_TRUE(c().WriteBlob("SELECT PHOTO FROM TELV_PATIENT WHERE PATIENT_ID = 'p1'", older));
  ASSERT_TRUE(c().WriteBlob("SELECT PHOTO FROM TELV_PATIENT WHERE PATIENT_ID = 'p2'", newer));
  // An inline view ordered newest first and cut to its first row.
  EXPECT_EQ(c().ReadBlob("SELECT PHOTO FROM (SELECT PHOTO FROM TELV_PATIENT ORDER BY AGE DESC) "
                         "WHERE ROWNUM = 1")
                .bytes,
            newer);
  EXPECT_EQ(c().ReadBlob("SELECT P.PHOTO, V.SERIAL FROM TELV_PATIENT P, TELV_VISIT V "
                         "WHERE P.PATIENT_ID = V.PATIENT_ID AND V.DEPT_ID = '0101'")
                .bytes,
            newer);
  EXPECT_EQ(c().ReadBlob("SELECT PHOTO FROM TELV_PATIENT ORDER BY AGE").bytes, older);
  EXPECT_EQ(c().ReadBlob("SELECT PHOTO FROM (SELECT PHOTO FROM TELV_PATIENT WHERE AGE > 50)").state,
            BlobValue::kNoRow);
  // A statement that is no query is refused before it runs.
  EXPECT_THROW(c().ReadBlob("UPDATE TELV_PATIENT SET PHOTO = NULL"), SqlError);
  EXPECT_THROW(c().ReadBlob("DELETE FROM TELV_VISIT"), SqlError);
  EXPECT_EQ(c().ReadBlob("SELECT PHOTO FROM TELV_PATIENT WHERE PATIENT_ID = 'p1'").bytes, older);
  EXPECT_EQ(Scalar(c(), "SELECT COUNT(*) FROM TELV_VISIT"), "1");
}

TEST_P(ProviderTest, TransactionsCommitAndRollBack) {
  c().Begin(Connection::TransactionMode::kWriting);
  c().Execute("INSERT INTO TELV_PATIENT (PATIENT_ID) VALUES ('p1')");
  EXPECT_TRUE(c().InTransaction());
  c().Rollback();
  EXPECT_EQ(Scalar(c(), "SELECT COUNT(*) FROM TELV_PATIENT"), "0");
  c().Begin(Connection::TransactionMode::kReading);
  c().Execute("INSERT INTO TELV_PATIENT (PATIENT_ID) VALUES ('p1')");
  c().Commit();
  EXPECT_FALSE(c().InTransaction());
  EXPECT_EQ(Scalar(c(), "SELECT COUNT(*) FROM TELV_PATIENT"), "1");
  // DDL rolled back leaves the catalog as it was.
  c().Begin(Connection::TransactionMode::kWriting);
  c().Execute("CREATE TABLE T_TEMP (A NUMBER)");
  c().Execute("INSERT INTO T_TEMP VALUES (1)");
  c().Rollback();
  EXPECT_THROW(c().Execute("SELECT * FROM T_TEMP"), DbError);
  c().Execute("CREATE TABLE T_TEMP (A DATE)");
  c().Execute("INSERT INTO T_TEMP VALUES ('2001-02-03')");
  EXPECT_EQ(Scalar(c(), "SELECT A + 1 FROM T_TEMP"), "2001-02-04 00:00:00");
}

TEST_P(ProviderTest, NestedQueriesOfTheSameTextGetTheirOwnStatements) {
  c().Execute("INSERT INTO TELV_PATIENT (PATIENT_ID) VALUES ('p1')");
  c().Execute("INSERT INTO TELV_PATIENT (PATIENT_ID) VALUES ('p2')");
  const char* sql = "SELECT PATIENT_ID FROM TELV_PATIENT ORDER BY PATIENT_ID";
  auto outer = c().Execute(sql);
  int pairs = 0;
  while (outer->Next()) {
    auto inner = c().Execute(sql);
    while (inner->Next()) ++pairs;
  }
  EXPECT_EQ(pairs, 4);
  EXPECT_EQ(Query(c(), sql).size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Engines, ProviderTest, testing::kBothEngines, testing::EngineName);

TEST(ConnectionPoolTest, PoolsPerInitialisationStringAndRollsBackOnReturn) {
  const std::string file = (std::filesystem::temp_directory_path() /
                            ("korvalis_pool_" + std::to_string(::getpid()) + ".db"))
                               .string();
  std::filesystem::remove(file);
  const std::string init = "Provider=SQLite; Data Source=" + file + ";";
  CreateDatabase(init);
  {
    PooledConnection c = ConnectionPools::Acquire(init);
    c->Execute("CREATE TABLE T_ID (ID NUMBER PRIMARY KEY)");
    c->Execute("INSERT INTO T_ID VALUES (0)");
    c->Begin(Connection::TransactionMode::kWriting);
    c->Execute("INSERT INTO T_ID VALUES (100)");
  }  // returned with an open transaction: rolled back
  {
    PooledConnection c = ConnectionPools::Acquire(init);
    EXPECT_EQ(Scalar(*c, "SELECT MAX(ID) FROM T_ID"), "0");
  }
  // Writers allocating MAX(ID)+1 in writing transactions never collide.
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 25; ++i) {
        try {
          PooledConnection c = ConnectionPools::Acquire(init);
          c->Begin(Connection::TransactionMode::kWriting);
          std::string next = Scalar(*c, "SELECT NVL(MAX(ID), 0) + 1 FROM T_ID");
          c->Execute("INSERT INTO T_ID VALUES (" + next + ")");
          c->Commit();
        } catch (const DbError&) {
          ++failures;
        }
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
  PooledConnection c = ConnectionPools::Acquire(init);
  EXPECT_EQ(Scalar(*c, "SELECT COUNT(*) || '/' || MAX(ID) FROM T_ID"), "101/100");
  EXPECT_THROW(ConnectionPools::Acquire("Provider=MSDAORA;Data Source=x"), DbError);
  EXPECT_THROW(ConnectionPools::Acquire("Provider=SQLite"), DbError);
  EXPECT_THROW(OpenConnection("Provider=SQLite;Data Source=/nonexistent/dir/x.db"), DbError);
  std::filesystem::remove(file);
  std::filesystem::remove(file + "-wal");
  std::filesystem::remove(file + "-shm");
}

TEST(ConnectionPoolTest, SchemaChangesReachEveryConnectionOfTheDatabase) {
  const std::string init = "Provider=SQLite;Data Source=:memory:;Name=schema-change-test";
  PooledConnection a = ConnectionPools::Acquire(init);
  PooledConnection b = ConnectionPools::Acquire(init);
  a->Execute("CREATE TABLE T_GEN (A VARCHAR2(10))");
  a->Execute("INSERT INTO T_GEN VALUES ('2001-01-01')");
  const char* sql = "SELECT A FROM T_GEN";
  EXPECT_EQ(Scalar(*b, sql), "2001-01-01");
  // The column becomes a DATE: the statement b prepared before is translated again.
  a->Execute("DROP TABLE T_GEN");
  a->Execute("CREATE TABLE T_GEN (A DATE)");
  a->Execute("INSERT INTO T_GEN VALUES ('2001-01-01')");
  EXPECT_EQ(Scalar(*b, sql), "2001-01-01 00:00:00");
  EXPECT_EQ(Scalar(*b, "SELECT A + 1 FROM T_GEN"), "2001-01-02 00:00:00");
}

TEST(ConnectionPoolTest, ConnectionsToOneFileShareTheSchemaHoweverTheyNameIt) {
  const auto dir = std::filesystem::temp_directory_path();
  const std::string name = "korvalis_names_" + std::to_string(::getpid()) + ".db";
  const std::string file = (dir / name).string();
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(file + suffix);
  {
    auto a = CreateDatabase("Provider=SQLite;Data Source=" + file);
    PooledConnection b =
        ConnectionPools::Acquire("provider=sqlite; data source=" + (dir / "." / name).string());
    a->Execute("CREATE TABLE T_NAMES (A VARCHAR2(10))");
    a->Execute("INSERT INTO T_NAMES VALUES ('2001-01-01')");
    EXPECT_EQ(Scalar(*b, "SELECT A FROM T_NAMES"), "2001-01-01");
    a->Execute("DROP TABLE T_NAMES");
    a->Execute("CREATE TABLE T_NAMES (A DATE)");
    a->Execute("INSERT INTO T_NAMES VALUES ('2001-01-01')");
    EXPECT_EQ(Scalar(*b, "SELECT A + 1 FROM T_NAMES"), "2001-01-02 00:00:00");
  }
  ConnectionPools::Close("provider=sqlite; data source=" + (dir / "." / name).string());
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(file + suffix);
}

TEST(ConnectionPoolTest, ReadersSeeCommittedRowsOnlyAndDoNotBlockTheWriter) {
  const std::string file = (std::filesystem::temp_directory_path() /
                            ("korvalis_wal_" + std::to_string(::getpid()) + ".db"))
                               .string();
  std::filesystem::remove(file);
  const std::string init = "Provider=SQLite;Data Source=" + file;
  {
    auto writer = CreateDatabase(init);
    auto reader = OpenConnection(init);
    writer->Execute("CREATE TABLE T_WAL (ID NUMBER)");
    writer->Execute("INSERT INTO T_WAL VALUES (1)");
    reader->Begin(Connection::TransactionMode::kReading);
    EXPECT_EQ(Scalar(*reader, "SELECT COUNT(*) FROM T_WAL"), "1");
    writer->Begin(Connection::TransactionMode::kWriting);
    writer->Execute("INSERT INTO T_WAL VALUES (2)");
    EXPECT_EQ(Scalar(*reader, "SELECT COUNT(*) FROM T_WAL"), "1");
    writer->Commit();
    EXPECT_EQ(Scalar(*reader, "SELECT COUNT(*) FROM T_WAL"), "1");  // its snapshot stands
    reader->Commit();
    EXPECT_EQ(Scalar(*reader, "SELECT COUNT(*) FROM T_WAL"), "2");
    // COMMIT and ROLLBACK written as statements end the work so far and go on in a new
    // transaction of the same kind.
    writer->Begin(Connection::TransactionMode::kWriting);
    writer->Execute("INSERT INTO T_WAL VALUES (3)");
    writer->Execute("COMMIT");
    EXPECT_TRUE(writer->InTransaction());
    writer->Execute("INSERT INTO T_WAL VALUES (4)");
    writer->Execute("ROLLBACK");
    writer->Rollback();
    EXPECT_EQ(Scalar(*reader, "SELECT COUNT(*) || ':' || MAX(ID) FROM T_WAL"), "3:3");
    EXPECT_TRUE(std::filesystem::exists(file + "-wal"));
  }
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(file + suffix);
}

TEST_P(ProviderTest, ASubordinateTransactionRefusesCommitAndRollbackStatements) {
  c().Execute("CREATE TABLE T_SUB (ID NUMBER)");
  c().BeginSubordinate(Connection::TransactionMode::kWriting);
  c().Execute("INSERT INTO T_SUB VALUES (1)");
  for (const char* statement : {"COMMIT", "rollback work", "COMMIT;"}) {
    try {
      c().Execute(statement);
      ADD_FAILURE() << statement << " ran";
    } catch (const DbError& e) {
      EXPECT_STREQ(e.description(), "ORA-02089: COMMIT is not allowed in a subordinate session");
    }
  }
  EXPECT_TRUE(c().InTransaction());
  EXPECT_EQ(Scalar(c(), "SELECT COUNT(*) FROM T_SUB"), "1");
  c().Rollback();
  EXPECT_EQ(Scalar(c(), "SELECT COUNT(*) FROM T_SUB"), "0");
  // Once the owner has ended it, the connection's own transactions take them again.
  c().Begin(Connection::TransactionMode::kWriting);
  c().Execute("INSERT INTO T_SUB VALUES (2)");
  c().Execute("COMMIT");
  EXPECT_TRUE(c().InTransaction());
  c().Rollback();
  EXPECT_EQ(Scalar(c(), "SELECT COUNT(*) FROM T_SUB"), "1");
  // Outside any transaction they do nothing.
  c().Execute("ROLLBACK");
  EXPECT_EQ(Scalar(c(), "SELECT COUNT(*) FROM T_SUB"), "1");
}

TEST_P(ProviderTest, RowsetsRenderEveryStorageClass) {
  auto r = c().Execute("SELECT 42, 2.50, -0.125, 'text', NULL, EMPTY_BLOB(), 1e11 + 0.5 FROM DUAL");
  ASSERT_EQ(r->ColumnCount(), 7);
  ASSERT_TRUE(r->Next());
  EXPECT_EQ(r->Text(0), "42");
  EXPECT_EQ(r->Text(1), "2.5");
  EXPECT_EQ(r->Text(2), "-0.125");
  EXPECT_EQ(r->Text(3), "text");
  EXPECT_TRUE(r->IsNull(4));
  EXPECT_EQ(r->Text(4), "");
  EXPECT_FALSE(r->IsNull(5));
  EXPECT_EQ(r->Text(5), "");
  EXPECT_EQ(r->Text(6), "100000000000.5");
  EXPECT_FALSE(r->Next());
  EXPECT_FALSE(r->Next());
  EXPECT_EQ(c().Execute("INSERT INTO TELV_PATIENT (PATIENT_ID) VALUES ('x')")->ColumnCount(), 0);
  // A failure while fetching is an error, not a shortened result.
  c().Execute("INSERT INTO TELV_PATIENT (PATIENT_ID, NAME) VALUES ('y', 'not a number')");
  EXPECT_THROW(
      {
        auto rows =
            c().Execute("SELECT TO_NUMBER(NVL(NAME, '1')) FROM TELV_PATIENT ORDER BY PATIENT_ID");
        while (rows->Next()) {
        }
      },
      DbError);
}

TEST_P(ProviderTest, RowsetsTellBlobValuesAndTheRowsAStatementChanged) {
  const std::pair<const char*, long long> statements[] = {
      {"INSERT INTO TELV_PATIENT (PATIENT_ID, AGE) VALUES ('p1', 1)", 1},
      {"INSERT INTO TELV_PATIENT (PATIENT_ID, AGE) SELECT PATIENT_ID || 'c', AGE FROM TELV_PATIENT",
       1},
      {"INSERT INTO TELV_PATIENT (PATIENT_ID, AGE) SELECT PATIENT_ID || 'd', AGE FROM TELV_PATIENT",
       2},
      {"UPDATE TELV_PATIENT SET AGE = AGE + 1", 4},
      {"UPDATE TELV_PATIENT SET AGE = AGE + 1", 4},  // a statement met again runs its kept form
      {"UPDATE TELV_PATIENT p SET p.AGE = 0 WHERE p.PATIENT_ID = 'none'", 0},
      {"DELETE TELV_PATIENT WHERE PATIENT_ID LIKE '%d'", 2},
      {"SELECT COUNT(*) FROM TELV_PATIENT", -1},
      {"CREATE TABLE T_EMPTY (A NUMBER)", -1},
      {"TRUNCATE TABLE TELV_PATIENT", -1},
  };
  for (const auto& [sql, changed] : statements) {
    EXPECT_EQ(c().Execute(sql)->ChangedRows(), changed) << sql;
  }

  c().Execute("INSERT INTO TELV_PATIENT (PATIENT_ID, NAME) VALUES ('b', 'x')");
  ASSERT_TRUE(c().WriteBlob("SELECT PHOTO FROM TELV_PATIENT WHERE PATIENT_ID = 'b'", "\x01"));
  c().Execute("INSERT INTO TELV_PATIENT (PATIENT_ID) VALUES ('n')");
  auto rows = c().Execute(
      "SELECT PHOTO, NAME, EMPTY_BLOB(), AGE, P FROM TELV_PATIENT, "
      "(SELECT PHOTO P FROM TELV_PATIENT WHERE PATIENT_ID = 'b') ORDER BY PATIENT_ID");
  for (bool with_photo : {true, false}) {
    ASSERT_TRUE(rows->Next());
    EXPECT_EQ(rows->IsNull(0), !with_photo);
    const std::vector<bool> blobs = {rows->IsBlob(0), rows->IsBlob(1), rows->IsBlob(2),
                                     rows->IsBlob(3), rows->IsBlob(4)};
    EXPECT_EQ(blobs, std::vector<bool>({true, false, true, false, true}));
  }
}

TEST_P(ProviderTest, LargeBlobsRoundTrip) {
  c().Execute("INSERT INTO TELV_PATIENT (PATIENT_ID) VALUES ('big')");
  std::string bytes(3 * 1024 * 1024 + 7, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 131 + (i >> 9));
  ASSERT_TRUE(c().WriteBlob("SELECT PHOTO FROM TELV_PATIENT WHERE PATIENT_ID = 'big'", bytes));
  EXPECT_EQ(c().ReadBlob("SELECT PHOTO FROM TELV_PATIENT WHERE PATIENT_ID = 'big'").bytes, bytes);
  ASSERT_TRUE(
      c().WriteBlob("SELECT PHOTO FROM TELV_PATIENT WHERE PATIENT_ID = 'big'", std::string_view()));
  BlobValue empty = c().ReadBlob("SELECT PHOTO FROM TELV_PATIENT WHERE PATIENT_ID = 'big'");
  EXPECT_EQ(empty.state, BlobValue::kBytes);
  EXPECT_TRUE(empty.bytes.empty());
}

TEST(ScriptRunnerTest, SplitsAtSemicolonsAtLineEndsAndSlashLines) {
  auto s = SplitScript(
      "CREATE TABLE A (X VARCHAR2(10));\n"
      "INSERT INTO A VALUES ('a;\n/\nb'); -- comment; here\n"
      "INSERT INTO A VALUES ('c'); INSERT INTO A VALUES ('d')\n"
      "/\n"
      "/* a ; comment\n; */ SELECT X FROM A\n"
      "  /  \n"
      "SELECT 1 FROM DUAL");
  ASSERT_EQ(s.size(), 5u);
  EXPECT_EQ(s[0].text, "CREATE TABLE A (X VARCHAR2(10))");
  EXPECT_EQ(s[1].text, "INSERT INTO A VALUES ('a;\n/\nb')");
  EXPECT_EQ(s[1].line, 2);
  EXPECT_EQ(s[2].text, "-- comment; here\nINSERT INTO A VALUES ('c'); INSERT INTO A VALUES ('d')");
  EXPECT_EQ(s[3].text, "/* a ; comment\n; */ SELECT X FROM A");
  EXPECT_EQ(s[4].text, "SELECT 1 FROM DUAL");
  EXPECT_EQ(s[4].line, 10);
  EXPECT_THROW(SplitScript("SELECT 'open FROM DUAL;"), SqlError);
  // A delimited literal is copied whole, its own quotes and line ends included.
  s = SplitScript("SELECT q'[it's;\n]', NQ'!;\n/\n!' FROM DUAL;\nSELECT Q FROM T;\n");
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0].text, "SELECT q'[it's;\n]', NQ'!;\n/\n!' FROM DUAL");
  EXPECT_EQ(s[1].line, 5);
  EXPECT_THROW(SplitScript("SELECT q'[open]; FROM DUAL;"), SqlError);
}

// A MiB of blank lines (with blanks and carriage returns) between and inside statements: each
// statement keeps its own text and first line.
TEST(ScriptRunnerTest, LongRunsOfBlankLinesKeepStatementsAndLines) {
  constexpr int kBlankLines = 1 << 20;
  std::string blanks;
  for (int i = 0; i < kBlankLines; ++i) blanks += i % 3 == 0 ? " \r\n" : "\n";
  const std::string script =
      "SELECT 1 FROM DUAL;\n" + blanks + "SELECT 2\n" + blanks + "FROM DUAL;\n" + blanks;
  const std::vector<ScriptStatement> s = SplitScript(script);
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0].line, 1);
  EXPECT_EQ(s[1].line, kBlankLines + 2);
  EXPECT_EQ(s[1].text, "SELECT 2\n" + blanks + "FROM DUAL");
}

TEST(ScriptRunnerTest, StopsAtTheFirstFailureNamingItsLine) {
  auto c = OpenConnection(kMemory);
  try {
    RunScript(*c,
              "CREATE TABLE A (X NUMBER);\nINSERT INTO A VALUES (1);\n\nINSERT INTO B VALUES "
              "(2);\nINSERT INTO A VALUES (3);\n");
    FAIL();
  } catch (const DbError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("line 4: ORA-00942", 0), 0u) << e.what();
  }
  EXPECT_EQ(Scalar(*c, "SELECT COUNT(*) FROM A"), "1");
}

}  // namespace
}  // namespace korvalis::db
