// Dates at the ends of their range and the seconds of date arithmetic, alike on both engines.
// A date is of 0001-01-01 to 9999-12-31 23:59:59, counted in the proleptic Gregorian calendar
// (1582-10-04 is followed by 1582-10-05, where Oracle's Julian days before 1582-10-15 go on
// to the 15th): whatever would make a date outside fails with ORA-01841 and stores nothing,
// while a date stored before it was refused still reads as stored. Date arithmetic moves a
// date by the NUMBER of days times 86400 seconds, rounded to the nearest second (an exact half
// away from zero; days computed from a row's values round a fraction from 0.499 away).
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
INSERT INTO VISIT VALUES (1, TO_DATE('0001-01-01', 'YYYY-MM-DD'));
INSERT INTO VISIT VALUES (2, TO_DATE('2000-03-01', 'YYYY-MM-DD'));
INSERT INTO VISIT VALUES (3, TO_DATE('9999-12-31 23:59:58', 'YYYY-MM-DD HH24:MI:SS'));
)",
         GetParam());
  }
};

// Hospitals write year 1 for "no date" and early years for lower bounds: such dates compare,
// store and move as any other, and only a year before 1 is refused.
TEST_P(DateRangeAgreementTest, DatesFromYearOneAnswer) {
  constexpr const char* kYearsTaken = "ORA-01841: (full) year must be between 1 and 9999";
  Check({
      {"SELECT DATE '0001-01-01', TO_CHAR(DATE '0001-01-01', 'J'), "
       "TO_CHAR(DATE '1582-10-15', 'J'), DATE '1582-10-04' + 1 FROM DUAL",
       "0001-01-01 00:00:00|1721426|2299161|1582-10-05 00:00:00"},
      {"SELECT TO_DATE('1721426', 'J'), TO_DATE('5373484', 'J') FROM DUAL",
       "0001-01-01 00:00:00|9999-12-31 00:00:00"},
      {"SELECT TO_DATE('1721425', 'J') FROM DUAL", kYearsTaken},
      {"SELECT TO_DATE('1', 'J') FROM DUAL", kYearsTaken},
      {"SELECT DATE '0001-01-01' - 1 FROM DUAL", kYearsTaken},
      {"SELECT TO_DATE('0000-06-15', 'YYYY-MM-DD') FROM DUAL", "ORA-01841"},
      {"SELECT TO_DATE('-0100-06-15', 'SYYYY-MM-DD') FROM DUAL", "ORA-01841"},
      {"SELECT TO_DATE('0100-06-15 BC', 'YYYY-MM-DD BC') FROM DUAL", "ORA-01841"},
      // A leap day of the Julian calendar that the Gregorian one does not have.
      {"SELECT TO_DATE('1500-02-29', 'YYYY-MM-DD') FROM DUAL", "ORA-01839"},
      {"SELECT NVL(MAX(D), TO_DATE('0001-01-01', 'YYYY-MM-DD')) FROM VISIT WHERE ID > 3",
       "0001-01-01 00:00:00"},
      {"SELECT ID, CASE WHEN ID = 2 THEN D ELSE DATE '1000-01-01' END FROM VISIT ORDER BY ID",
       "1|1000-01-01 00:00:00,2|2000-03-01 00:00:00,3|1000-01-01 00:00:00"},
      {"SELECT COUNT(*) FROM VISIT WHERE D > DATE '0001-01-01'", "2"},
      {"SELECT ID FROM VISIT WHERE D BETWEEN TO_DATE('1000-01-01', 'YYYY-MM-DD') AND SYSDATE",
       "2"},
      {"SELECT CAST('1500-01-01' AS DATE), ID FROM VISIT WHERE D < '1500-01-01'",
       "1500-01-01 00:00:00|1"},
      {"SELECT TRUNC(D, 'YYYY'), TRUNC(D, 'CC'), TRUNC(D + 2, 'IW'), ADD_MONTHS(D, 13), "
       "LAST_DAY(D), D + 0, NEXT_DAY(D, 'MONDAY'), TO_CHAR(D, 'SYYYY-MM-DD') FROM VISIT "
       "WHERE ID = 1",
       "0001-01-01 00:00:00|0001-01-01 00:00:00|0001-01-01 00:00:00|0002-02-01 00:00:00|"
       "0001-01-31 00:00:00|0001-01-01 00:00:00|0001-01-08 00:00:00| 0001-01-01"},
      {"SELECT TRUNC(DATE '1500-02-28', 'MM'), ADD_MONTHS(DATE '1500-01-31', 1), "
       "LAST_DAY(DATE '1500-02-10'), ROUND(DATE '1500-06-15 13:00:00', 'DD') FROM DUAL",
       "1500-02-01 00:00:00|1500-02-28 00:00:00|1500-02-28 00:00:00|1500-06-16 00:00:00"},
      // Whatever would take a date of year 1 before it.
      {"SELECT D - 1 / 86400 FROM VISIT WHERE ID = 1", "ORA-01841"},
      {"SELECT ADD_MONTHS(D, -1) FROM VISIT WHERE ID = 1", "ORA-01841"},
      {"SELECT TRUNC(D, 'DAY') FROM VISIT WHERE ID = 1", "ORA-01841"},
      {"SELECT DATE '9999-12-31' - 3652059 FROM DUAL", "ORA-01841"},
      {"SELECT MIN(D), MAX(D), COUNT(*) FROM VISIT WHERE D BETWEEN DATE '0001-01-01' AND "
       "DATE '9999-12-31' + 86399 / 86400",
       "0001-01-01 00:00:00|9999-12-31 23:59:58|3"},
  });
}

TEST_P(DateRangeAgreementTest, ADateOutsideTheRangeStoresNothing) {
  Check({
      {"INSERT INTO VISIT VALUES (4, TO_DATE('0000-12-31', 'YYYY-MM-DD'))", "ORA-01841"},
      {"INSERT INTO VISIT SELECT 4, D - 1 FROM VISIT", "ORA-01841"},
      {"UPDATE VISIT SET D = D + 1", "ORA-01841"},
      {"UPDATE VISIT SET D = ADD_MONTHS(D, -1)", "ORA-01841"},
      {"SELECT ID, D FROM VISIT ORDER BY D",
       "1|0001-01-01 00:00:00,2|2000-03-01 00:00:00,3|9999-12-31 23:59:58"},
      {"INSERT INTO VISIT VALUES (4, '1500-02-28 12:00:00')", ""},
      {"INSERT INTO VISIT VALUES (5, TO_DATE('0001-01-01', 'YYYY-MM-DD') + 1)", ""},
      {"SELECT ID, D FROM VISIT WHERE D < DATE '2000-01-01' ORDER BY D DESC",
       "4|1500-02-28 12:00:00,5|0001-01-02 00:00:00,1|0001-01-01 00:00:00"},
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
       "0001-12-17 00:00:00|0003-09-28 00:00:00|0002-09-01 00:00:00,"
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
       "0001-01-01 00:00:13|0001-01-02 00:00:00|0001-01-01 06:00:00,"
       "2000-03-01 00:00:13|2000-03-02 00:00:00|2000-03-01 06:00:00"},
      // Halves computed from a row's values.
      {"SELECT D + ID * 0.00015625, D + (ID + 2) * 0.00015625 FROM VISIT WHERE ID = 1",
       "0001-01-01 00:00:14|0001-01-01 00:00:41"},
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

// Days computed from a row's values (a column, a subquery's column) are a double on the file:
// both engines round a fraction of a second from 0.499 up away from zero, so that a half the
// exact NUMBER holds a little under or over half moves a date alike.
TEST_P(DateRangeAgreementTest, HalvesOfASecondFromRowsRoundAlike) {
  Check({
      {"SELECT DATE '9998-01-31' - F, DATE '9998-01-31' + F FROM (SELECT 0.5 / 86400 F FROM DUAL)",
       "9998-01-30 23:59:59|9998-01-31 00:00:01"},
      {"SELECT COUNT(*) FROM (SELECT LEVEL K FROM DUAL CONNECT BY LEVEL <= 2000) "
       "WHERE DATE '2000-01-01' + (K + 0.5) / 86400 <> DATE '2000-01-01' + (K + 1) / 86400 "
       "OR DATE '2000-01-01' - (K + 0.5) / 86400 <> DATE '2000-01-01' - (K + 1) / 86400",
       "0"},
      {"SELECT D + (ID + 1.4989) / 86400, D + (ID + 1.4991) / 86400, D - (ID + 1.4991) / 86400 "
       "FROM VISIT WHERE ID = 2",
       "2000-03-01 00:00:03|2000-03-01 00:00:04|2000-02-29 23:59:56"},
      // The last second plus a fraction: a half is the next second, past the range.
      {"SELECT D + (ID - 2.6) / 86400, D + (ID - 1.6) / 86400 FROM VISIT WHERE ID = 3",
       "9999-12-31 23:59:58|9999-12-31 23:59:59"},
      {"SELECT D + (ID - 1.5) / 86400 FROM VISIT WHERE ID = 3", "ORA-01841"},
      {"SELECT D + F FROM (SELECT DATE '9999-12-31' + 86399 / 86400 D, 0.4 / 86400 F FROM DUAL)",
       "9999-12-31 23:59:59"},
      {"SELECT D + F FROM (SELECT DATE '9999-12-31' + 86399 / 86400 D, 0.5 / 86400 F FROM DUAL)",
       "ORA-01841"},
  });
}

// A text compared with a date is read as a date on both engines: one that holds no date fails.
TEST_P(DateRangeAgreementTest, TextComparedWithADateIsReadAsOne) {
  Check({
      {"CREATE TABLE NOTE (ID NUMBER, T VARCHAR2(30))", ""},
      {"INSERT INTO NOTE VALUES (1, '2000-01-01')", ""},
      {"SELECT V.ID FROM VISIT V, NOTE N WHERE V.D > N.T ORDER BY V.ID", "2,3"},
      {"SELECT V.ID FROM VISIT V WHERE V.D < (SELECT T FROM NOTE)", "1"},
      {"INSERT INTO NOTE VALUES (2, 'not a date')", ""},
      {"SELECT V.ID FROM VISIT V, NOTE N WHERE V.D > N.T", "ORA-01861"},
      {"SELECT V.ID FROM VISIT V, NOTE N WHERE N.T <= V.D", "ORA-01861"},
  });
}

// A date stored by an earlier build reads and works as any other; the years -4712 to 0 were
// once taken: such a date, stored, reads as it is, and a date made from it is refused unless
// it falls within the range.
class StoredDateBeforeTheRangeTest : public testing::OracleFixture,
                                     public ::testing::WithParamInterface<Engine> {};

TEST_P(StoredDateBeforeTheRangeTest, ReadsAsStored) {
  testing::SharedEmptyDatabase database(GetParam(), "date_range");
  RunScript(database.owner(), "CREATE TABLE VISIT (ID NUMBER, D DATE);\n");
  const bool file = GetParam() == Engine::kSqlite;
  const std::string rows = file ? "(9, '1500-06-15 08:00:00'), (8, '-0100-06-15 08:00:00')"
                                : "(9, '1500-06-15 08:00:00'), (8, '0101-06-15 08:00:00 BC')";
  if (file) {
    const std::string& init = database.init_string();
    const std::string path = init.substr(init.find("Data Source=") + 12);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, ("INSERT INTO VISIT VALUES " + rows).c_str(), nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
    sqlite3_close(db);
  } else {
    testing::PostgresTestServer::Get().RunSql(database.init_string(),
                                              "INSERT INTO \"VISIT\" VALUES " + rows);
  }
  c_ = OpenConnection(database.init_string());
  Check({
      {"SELECT D, TO_CHAR(D, 'DD.MM.YYYY HH24'), EXTRACT(YEAR FROM D), D + 1, LAST_DAY(D), "
       "TRUNC(D), ADD_MONTHS(D, 1200) FROM VISIT WHERE ID = 9",
       "1500-06-15 08:00:00|15.06.1500 08|1500|1500-06-16 08:00:00|1500-06-30 08:00:00|"
       "1500-06-15 00:00:00|1600-06-15 08:00:00"},
      {"SELECT ID FROM VISIT WHERE D < TO_DATE('0001-01-01', 'YYYY-MM-DD')", "8"},
      {"SELECT ID FROM VISIT ORDER BY D", "8,9"},
  });
  // A year before 1 reads as each engine stored it (the file as its text, "-0100-06-15
  // 08:00:00", the server as "0101-06-15 08:00:00 BC"); no date one day later is made from it
  // (ORA-01861 on the file, ORA-01841 on the server).
  EXPECT_EQ(Rows("SELECT D FROM VISIT WHERE ID = 8"),
            file ? "-0100-06-15 08:00:00" : "0101-06-15 08:00:00 BC");
  EXPECT_NE(Error("SELECT D + 1 FROM VISIT WHERE ID = 8").find(file ? "ORA-01861" : "ORA-01841"),
            std::string::npos);
  c_.reset();
}

INSTANTIATE_TEST_SUITE_P(Engines, StoredDateBeforeTheRangeTest, testing::kBothEngines,
                         testing::EngineName);

INSTANTIATE_TEST_SUITE_P(Engines, DateRangeAgreementTest, testing::kBothEngines,
                         testing::EngineName);

}  // namespace
}  // namespace korvalis::db
