// Dates at the ends of their range and the seconds of date arithmetic, with the answers Oracle
// gives, on both engines. A date is of 1582-10-15 (the first day Oracle counts in the Gregorian
// calendar) to 9999-12-31 23:59:59: whatever would make a date outside fails with ORA-01841 and
// stores nothing, while a date stored before it was refused still reads as stored. Date
// arithmetic moves a date by the NUMBER of days times 86400 seconds, rounded to the nearest
// second (an exact half away from zero).
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

#include "platform/db/oracle_test_fixture.h"
#include "platform/db/testing/postgres_test_server.h"

namespace korvalis::db {
namespace {

class DateRangeAgreementTest : public testing::OracleFixture,
                               public ::testing::WithParamInterface<Engine> {
 protected:
  void SetUp() override {
    Open(R"(
CREATE TABLE VISIT (ID NUMBER, D DATE);
INSERT INTO VISIT VALUES (1, TO_DATE('1582-10-15', 'YYYY-MM-DD'));
INSERT INTO VISIT VALUES (2, TO_DATE('2000-03-01', 'YYYY-MM-DD'));
INSERT INTO VISIT VALUES (3, TO_DATE('9999-12-31 23:59:58', 'YYYY-MM-DD HH24:MI:SS'));
)",
         GetParam());
  }
};

TEST_P(DateRangeAgreementTest, DatesBeforeTheGregorianCalendarAreRefused) {
  Check({
      {"SELECT DATE '1582-10-15', TO_CHAR(DATE '1582-10-15', 'J') FROM DUAL",
       "1582-10-15 00:00:00|2299161"},
      {"SELECT TO_DATE('2299161', 'J'), TO_DATE('5373484', 'J') FROM DUAL",
       "1582-10-15 00:00:00|9999-12-31 00:00:00"},
      {"SELECT TO_DATE('2299160', 'J') FROM DUAL", "ORA-01841"},
      {"SELECT TO_DATE('1', 'J') FROM DUAL", "ORA-01841"},
      {"SELECT TO_DATE('1721424', 'J') FROM DUAL", "ORA-01841"},
      {"SELECT DATE '1582-10-14' FROM DUAL", "ORA-01841"},
      {"SELECT DATE '0001-01-01' - 1 FROM DUAL", "ORA-01841"},
      {"SELECT TO_DATE('1582-10-04', 'YYYY-MM-DD') FROM DUAL", "ORA-01841"},
      {"SELECT TO_DATE('1500-02-29', 'YYYY-MM-DD') FROM DUAL", "ORA-01841"},
      {"SELECT TO_DATE('-0100-06-15', 'SYYYY-MM-DD') FROM DUAL", "ORA-01841"},
      {"SELECT TO_DATE('0100-06-15 BC', 'YYYY-MM-DD BC') FROM DUAL", "ORA-01841"},
      {"SELECT CAST('1500-01-01' AS DATE) FROM DUAL", "ORA-01841"},
      {"SELECT ID FROM VISIT WHERE D > '1500-01-01'", "ORA-01841"},
      // Whatever would take a date of the range before it.
      {"SELECT D - 1 FROM VISIT WHERE ID = 1", "ORA-01841"},
      {"SELECT D - 1 / 86400 FROM VISIT WHERE ID = 1", "ORA-01841"},
      {"SELECT DATE '9999-12-31' - 5373446 FROM DUAL", "ORA-01841"},
      {"SELECT ADD_MONTHS(DATE '2000-01-31', -80051) FROM DUAL", "ORA-01841"},
      {"SELECT ADD_MONTHS(DATE '1582-11-14', -1) FROM DUAL", "ORA-01841"},
      {"SELECT TRUNC(D, 'YYYY') FROM VISIT WHERE ID = 1", "ORA-01841"},
      {"SELECT TRUNC(D, 'MM') FROM VISIT WHERE ID = 1", "ORA-01841"},
      {"SELECT TRUNC(D, 'DAY') FROM VISIT WHERE ID = 1", "ORA-01841"},
      {"SELECT TRUNC(D, 'IW') FROM VISIT WHERE ID = 1", "ORA-01841"},
      // What stays within answers.
      {"SELECT ADD_MONTHS(DATE '1582-11-15', -1), D + 0, TRUNC(D), LAST_DAY(D), "
       "NEXT_DAY(D, 'MONDAY'), TO_CHAR(D, 'SYYYY Dy') FROM VISIT WHERE ID = 1",
       "1582-10-15 00:00:00|1582-10-15 00:00:00|1582-10-15 00:00:00|1582-10-31 00:00:00|"
       "1582-10-18 00:00:00| 1582 Fri"},
      {"SELECT MIN(D), MAX(D), COUNT(*) FROM VISIT WHERE D BETWEEN DATE '1582-10-15' AND "
       "DATE '9999-12-31' + 86399 / 86400",
       "1582-10-15 00:00:00|9999-12-31 23:59:58|3"},
  });
}

TEST_P(DateRangeAgreementTest, ADateOutsideTheRangeStoresNothing) {
  Check({
      {"INSERT INTO VISIT VALUES (4, '1500-01-01')", "ORA-01841"},
      {"INSERT INTO VISIT VALUES (4, TO_DATE('1582-10-14', 'YYYY-MM-DD'))", "ORA-01841"},
      {"INSERT INTO VISIT SELECT 4, D - 1 FROM VISIT", "ORA-01841"},
      {"UPDATE VISIT SET D = D + 1", "ORA-01841"},
      {"UPDATE VISIT SET D = ADD_MONTHS(D, -1)", "ORA-01841"},
      {"SELECT ID, D FROM VISIT ORDER BY D",
       "1|1582-10-15 00:00:00,2|2000-03-01 00:00:00,3|9999-12-31 23:59:58"},
  });
}

// A few days or months and many of them take different ways on the server: they answer alike.
TEST_P(DateRangeAgreementTest, ArithmeticNearAndFarAnswersAlike) {
  Check({
      {"SELECT D + 700, D + 701, D - 701, D + 3000, D - 150000 FROM VISIT WHERE ID = 2",
       "2002-01-30 00:00:00|2002-01-31 00:00:00|1998-03-31 00:00:00|2008-05-18 00:00:00|"
       "1589-06-24 00:00:00"},
      {"SELECT ADD_MONTHS(D, 24), ADD_MONTHS(D, 25), ADD_MONTHS(D, -25), "
       "ADD_MONTHS(DATE '2000-02-29', 25), ADD_MONTHS(DATE '9999-12-31', -100000) "
       "FROM VISIT WHERE ID = 2",
       "2002-03-01 00:00:00|2002-04-01 00:00:00|1998-02-01 00:00:00|2002-03-31 00:00:00|"
       "1666-08-31 00:00:00"},
      {"SELECT D + ID * 350, D + ID * 1000, ADD_MONTHS(D, ID * 20) FROM VISIT WHERE ID < 3 "
       "ORDER BY ID",
       "1583-09-30 00:00:00|1585-07-11 00:00:00|1584-06-15 00:00:00,"
       "2002-01-30 00:00:00|2005-08-22 00:00:00|2003-07-01 00:00:00"},
      {"SELECT D + ID * 1000 FROM VISIT", "ORA-01841"},
      {"SELECT ADD_MONTHS(D, ID * 1000) FROM VISIT", "ORA-01841"},
      {"SELECT ADD_MONTHS(D, ID - 1e9), D - ID * 1e12 FROM VISIT", "ORA-01841"},
  });
}

// Oracle holds the days as a NUMBER (0.5 / 86400 is 5.787...03704E-6, a little over half a
// second); the seconds they make are rounded to the nearest, an exact half away from zero.
TEST_P(DateRangeAgreementTest, FractionsOfASecondRoundAlike) {
  Check({
      {"SELECT TO_CHAR(DATE '2000-01-01' + 0.5 / 86400, 'HH24:MI:SS'), "
       "TO_CHAR(DATE '2000-01-01' + 1.5 / 86400, 'HH24:MI:SS'), "
       "TO_CHAR(DATE '2000-01-01' + 2.5 / 86400, 'HH24:MI:SS'), "
       "TO_CHAR(DATE '2000-01-01' + 3.5 / 86400, 'HH24:MI:SS'), "
       "TO_CHAR(DATE '2000-01-01' + 0.4 / 86400, 'HH24:MI:SS') FROM DUAL",
       "00:00:01|00:00:01|00:00:03|00:00:04|00:00:00"},
      {"SELECT DATE '2000-01-01' - 0.5 / 86400, DATE '2000-01-01' - 1.5 / 86400 FROM DUAL",
       "1999-12-31 23:59:59|1999-12-31 23:59:59"},
      // 0.00015625 days are 13.5 seconds exactly.
      {"SELECT DATE '2000-01-01' + 0.00015625, DATE '2000-01-01' - 0.00015625 FROM DUAL",
       "2000-01-01 00:00:14|1999-12-31 23:59:46"},
      {"SELECT D + 12.5 / 86400, D + 1, D + 0.25 FROM VISIT WHERE ID < 3 ORDER BY ID",
       "1582-10-15 00:00:13|1582-10-16 00:00:00|1582-10-15 06:00:00,"
       "2000-03-01 00:00:13|2000-03-02 00:00:00|2000-03-01 06:00:00"},
      // Halves computed from a row's values.
      {"SELECT D + ID * 0.00015625, D + (ID + 2) * 0.00015625 FROM VISIT WHERE ID = 1",
       "1582-10-15 00:00:14|1582-10-15 00:00:41"},
      {"SELECT D - (ID - 1) * 0.00015625 FROM VISIT WHERE ID = 2", "2000-02-29 23:59:46"},
      {"SELECT D - 1.5, D - 1 / 3 FROM VISIT WHERE ID = 2",
       "2000-02-28 12:00:00|2000-02-29 16:00:00"},
      {"SELECT D + 1.5 / 86400 FROM VISIT WHERE ID = 3", "9999-12-31 23:59:59"},
      {"SELECT D + 2.5 / 86400 FROM VISIT WHERE ID = 3", "ORA-01841"},
      {"SELECT DATE '9999-12-31' + 43199.5 / 86400 FROM DUAL", "9999-12-31 12:00:00"},
      {"SELECT DATE '9999-12-31' + 86399.4 / 86400 FROM DUAL", "9999-12-31 23:59:59"},
      {"SELECT DATE '9999-12-31' + 86399.5 / 86400 FROM DUAL", "ORA-01841"},
  });
}

// The years -4712 to 1582 were once taken: such a date, stored, reads as it is; a date made
// from it is refused unless it falls within the range.
class StoredDateBeforeTheRangeTest : public testing::OracleFixture,
                                     public ::testing::WithParamInterface<Engine> {};

TEST_P(StoredDateBeforeTheRangeTest, ReadsAsStored) {
  testing::SharedEmptyDatabase database(GetParam(), "date_range");
  RunScript(database.owner(), "CREATE TABLE VISIT (ID NUMBER, D DATE);\n");
  if (GetParam() == Engine::kSqlite) {
    const std::string& init = database.init_string();
    const std::string file = init.substr(init.find("Data Source=") + 12);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, "INSERT INTO VISIT VALUES (9, '1500-06-15 08:00:00')", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
  } else {
    testing::PostgresTestServer::Get().RunSql(
        database.init_string(), "INSERT INTO \"VISIT\" VALUES (9, '1500-06-15 08:00:00')");
  }
  c_ = OpenConnection(database.init_string());
  Check({
      {"SELECT D, TO_CHAR(D, 'DD.MM.YYYY HH24'), EXTRACT(YEAR FROM D) FROM VISIT",
       "1500-06-15 08:00:00|15.06.1500 08|1500"},
      {"SELECT ID FROM VISIT WHERE D < TO_DATE('1582-10-15', 'YYYY-MM-DD')", "9"},
      {"SELECT ADD_MONTHS(D, 1200) FROM VISIT", "1600-06-15 08:00:00"},
      {"SELECT D + 1 FROM VISIT", "ORA-01841"},
      {"SELECT LAST_DAY(D) FROM VISIT", "ORA-01841"},
      {"SELECT TRUNC(D) FROM VISIT", "ORA-01841"},
  });
  c_.reset();
}

INSTANTIATE_TEST_SUITE_P(Engines, StoredDateBeforeTheRangeTest, testing::kBothEngines,
                         testing::EngineName);

INSTANTIATE_TEST_SUITE_P(Engines, DateRangeAgreementTest, testing::kBothEngines,
                         testing::EngineName);

}  // namespace
}  // namespace korvalis::db
