#include "archive/patient_search.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "archive/archive_patient.h"
#include "archive/testing/patient_search_test_util.h"
#include "foundation/data/db_type.h"
#include "foundation/testing/data_source_test_util.h"
#include "foundation/xml/xml_text.h"
#include "platform/com/scoped_bstr.h"
#include "platform/db/testing/engine_database.h"

namespace korvalis::archive::testing {
namespace {

using Events = std::vector<std::string>;

// Four patients with five visits, and every column of one visit (E1002) set.
class PatientSearchTest : public ::testing::TestWithParam<db::Engine> {
 protected:
  void SetUp() override {
    db_.AddPatient({.id = "P1", .name = "张三", .sex = 1, .case_no = "C001"});
    db_.AddPatient({.id = "P2",
                    .name = "O'Brien",
                    .sex = 0,
                    .birthday = "1980-02-03 00:00:00",
                    .case_no = "C002"});
    db_.AddPatient({.id = "P3", .name = "李四"});
    db_.AddPatient({.id = "P4", .name = "王五"});
    db_.AddVisit({.patient_id = "P1",
                  .event_no = "E1001",
                  .dept_id = "0101",
                  .in_time = "2026-11-10 10:00:00",
                  .doctor_name = "刘静怡"});
    db_.AddVisit({.patient_id = "P2",
                  .event_no = "E1002",
                  .dept_id = "0102",
                  .in_time = "2026-11-20 08:30:00",
                  .out_time = "2026-11-30 09:00:00",
                  .bed_no = "07",
                  .doctor_name = "陈浩然",
                  .doctor_id = "D9",
                  .emr_status = 2,
                  .forbid_flag = "1",
                  .code_status = 6});
    db_.AddVisit({.patient_id = "P3",
                  .event_no = "E2001",
                  .dept_id = "0101",
                  .in_time = "2026-10-01 08:00:00",
                  .out_time = "2026-10-15 08:00:00",
                  .residence_flag = 1});
    db_.AddVisit({.patient_id = "P4",
                  .event_no = "E2002",
                  .dept_id = "0103",
                  .in_time = "2026-12-02 08:00:00",
                  .residence_flag = 0,
                  .emr_status = 0});
    db_.AddVisit({.patient_id = "P1",
                  .event_no = "E1003",
                  .dept_id = "0101",
                  .in_time = "2026-12-01 00:00:00"});
    db_.Execute(
        "UPDATE TELV_VISIT_RECORD SET IN_DEPT_NAME = '内科A', NOW_DEPT_NAME = '内科B', "
        "OUT_DEPT_NAME = '内科C', COMMIT_TIME = TO_DATE('2026-12-03 10:00:00', "
        "'YYYY-MM-DD HH24:MI:SS'), ROLLBACK_TIME = TO_DATE('2026-12-04 11:00:00', "
        "'YYYY-MM-DD HH24:MI:SS'), ARCHIVE_TIME = TO_DATE('2026-12-05 08:00:00', "
        "'YYYY-MM-DD HH24:MI:SS'), CODE_DATE = TO_DATE('2026-12-06 12:00:00', "
        "'YYYY-MM-DD HH24:MI:SS'), ROLLBACK_NOTES = '退回说明', ROLLBACKER = '质控员', "
        "ARCHIVER = '归档员', ARCHIVE_NOTES = '归档说明', EVENT_STATUS = 3, RECTIFY_STATUS = 4, "
        "COMMITER = '提交人', COMMIT_NOTES = '提交说明', PAPER_EMR_STATUS = 2, "
        "ADMISSION_DEPT_TIME = TO_DATE('2026-11-21 09:00:00', 'YYYY-MM-DD HH24:MI:SS') "
        "WHERE EVENT_NO = 'E1002'");
    db_.AddRecord({.patient_id = "P2", .event_no = "E1002", .status = 1});
    db_.AddRecord({.patient_id = "P2", .event_no = "E1002", .status = 1});
    db_.AddRecord({.patient_id = "P3", .event_no = "E2001", .status = 0});
  }

  std::vector<Patient> Search(const std::u16string& condition) {
    korvalis::com::ScopedBstr info(condition);
    BSTR result = nullptr;
    {
      TestDataSource data_source(db_.init_string());
      CBArchivePatient::SearchPatient(&data_source, info.get(), &result);
    }
    return ReadPatients(result);
  }
  Events Find(const std::u16string& elements) {
    Events found = EventNumbers(Search(u"<root>" + elements + u"</root>"));
    std::sort(found.begin(), found.end());
    return found;
  }
  std::u16string FailureOfSearch(const std::u16string& condition) {
    return FailureOf([&] { Search(condition); });
  }

  ScopedDatabaseClock clock_;
  schema::TestDatabase db_{schema::DatabaseContents::kInstallation, GetParam()};
};

const Events kAll = {"E1001", "E1002", "E1003", "E2001", "E2002"};

TEST_P(PatientSearchTest, EveryAttributeHoldsItsColumnWithDayCountsAgainstTheDatabaseClock) {
  std::vector<Patient> found = Search(u"<root><eventno>E1002</eventno></root>");
  ASSERT_EQ(found.size(), 1u);
  const Patient& p = found[0];
  EXPECT_EQ(p.name, "O'Brien");
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"sex", "0"},
      {"id", "P2"},
      {"eventno", "E1002"},
      {"birth", "1980-02-03 00:00:00"},
      {"intime", "2026-11-20 08:30:00"},
      {"leavetime", "2026-11-30 09:00:00"},
      {"indept", "内科A"},
      {"nowdept", "内科B"},
      {"leavedept", "内科C"},
      {"status", "2"},
      {"committime", "2026-12-03 10:00:00"},
      {"rollbacktime", "2026-12-04 11:00:00"},
      {"archivetime", "2026-12-05 08:00:00"},
      {"forbid", "1"},
      {"bed", "07"},
      {"doctor", "陈浩然"},
      {"doctorid", "D9"},
      {"codestatus", "6"},
      {"codedate", "2026-12-06 12:00:00"},
      {"rollbacknotes", "退回说明"},
      {"leaveday", "6"},    // 6 days 23 hours since discharge
      {"commitday", "3"},   // 3 days 22 hours since the commit
      {"archiveday", "4"},  // 4 days 23 hours from discharge to archiving
      {"archiver", "归档员"},
      {"archivernotes", "归档说明"},
      {"eventstatus", "3"},
      {"commit_times", "2"},
      {"rectify_status", "4"},
      {"commiter", "提交人"},
      {"commit_notes", "提交说明"},
      {"have_emr", "1"},
      {"admission_dept_time", "2026-11-21 09:00:00"},
      {"case_no", "C002"}};
  for (const auto& [attribute, value] : expected) EXPECT_EQ(p[attribute], value) << attribute;

  // 33 attributes, written in name order as the data source's documents have them.
  std::vector<std::string> names;
  for (const auto& attribute : p.attributes) names.push_back(attribute.first);
  std::vector<std::string> in_name_order;
  for (const auto& attribute : expected) in_name_order.push_back(attribute.first);
  std::sort(in_name_order.begin(), in_name_order.end());
  EXPECT_EQ(names, in_name_order);
}

TEST_P(PatientSearchTest, AVisitInHospitalWithoutRecordsHasEmptyDischargeCountsAndNoEmr) {
  db_.AddRecord({.patient_id = "P1", .event_no = "E1003", .status = 0});
  std::vector<Patient> found = Search(
      u"<root><eventno>E100</eventno><patient_id>P1</patient_id>"
      u"<orderby>EVENT_NO</orderby></root>");
  ASSERT_EQ(EventNumbers(found), (Events{"E1001", "E1003"}));
  for (const Patient& p : found) {
    EXPECT_EQ(p["leavetime"], "");
    EXPECT_EQ(p["leaveday"], "");
    EXPECT_EQ(p["commitday"], "");
    EXPECT_EQ(p["archiveday"], "");
    EXPECT_EQ(p["have_emr"], "");  // no record, or one that is not confirmed
    EXPECT_EQ(p["commit_times"], "1");
  }
  // A visit with two confirmed records is one row.
  EXPECT_EQ(Find(u"<have>1</have><name>O'Brien</name>"), (Events{"E1002"}));
}

TEST_P(PatientSearchTest, AnEmptyOrUnknownConditionListsEveryVisit) {
  EXPECT_EQ(Find(u""), kAll);
  EXPECT_EQ(Find(u"<unknown>x</unknown><name></name><orderby></orderby><maxrow></maxrow>"), kAll);
  EXPECT_EQ(EventNumbers(Search(u"")).size(), 5u);
  BSTR result = nullptr;
  {
    TestDataSource data_source(db_.init_string());
    CBArchivePatient::SearchPatient(&data_source, nullptr, &result);  // null reads as empty
  }
  EXPECT_EQ(ReadPatients(result).size(), 5u);
  // The root element may have any name; a repeated element counts with its first text.
  EXPECT_EQ(EventNumbers(Search(u"<query><nowdept>0103</nowdept><nowdept>0101</nowdept></query>")),
            (Events{"E2002"}));
}

TEST_P(PatientSearchTest, ANameXmlCannotCarryIsAnsweredWithReplacementCharactersAndLogged) {
  db_.AddPatient({.id = "P5",
                  .name = "赵\x01六",
                  .case_no = "C\x1B"
                             "5"});
  db_.AddVisit({.patient_id = "P5", .event_no = "E5001", .dept_id = "0101"});
  db_.AddPatient({.id = "P6", .name = "钱\x08七"});
  db_.AddVisit({.patient_id = "P6", .event_no = "E6001", .dept_id = "0101"});
  datasource::testing::EventLogCapture events;
  std::vector<Patient> ward =
      Search(u"<root><nowdept>0101</nowdept><orderby>EVENT_NO</orderby></root>");
  ASSERT_EQ(EventNumbers(ward), (Events{"E1001", "E1003", "E2001", "E5001", "E6001"}));
  EXPECT_EQ(ward[3].name, "赵\uFFFD六");
  EXPECT_EQ(ward[3]["case_no"], "C\uFFFD5");
  EXPECT_EQ(ward[4].name, "钱\uFFFD七");
  EXPECT_EQ(ward[0].name, "张三");
  // The stored values are as they were imported.
  EXPECT_EQ(db_.QueryScalar("SELECT NAME FROM TELV_PATIENT WHERE ID = 'P5'"), "赵\x01六");
  // One record for the call, naming both visits.
  const std::vector<sys::EventRecord> records = events.Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_NE(records[0].text.find(u"id=P5 eventno=E5001;"), std::u16string::npos)
      << ToUtf8(records[0].text);
  EXPECT_NE(records[0].text.find(u"id=P6 eventno=E6001;"), std::u16string::npos);
}

TEST_P(PatientSearchTest, TextConditionsMatchPartsOrWholeValues) {
  EXPECT_EQ(Find(u"<name>三</name>"), (Events{"E1001", "E1003"}));
  EXPECT_EQ(Find(u"<doctor>静</doctor><nowdept>0101</nowdept>"), (Events{"E1001"}));
  EXPECT_EQ(Find(u"<indept>0101</indept>"), (Events{"E1001", "E1003", "E2001"}));
  EXPECT_EQ(Find(u"<leavedept>0102</leavedept>"), (Events{"E1002"}));
  EXPECT_EQ(Find(u"<code_status>6</code_status>"), (Events{"E1002"}));
  EXPECT_EQ(Find(u"<trans_status>3</trans_status>"), (Events{"E1002"}));
  EXPECT_EQ(Find(u"<caseno>C001</caseno>"), (Events{"E1001", "E1003"}));
  EXPECT_EQ(Find(u"<paper_status>2</paper_status>"), (Events{"E1002"}));
  EXPECT_EQ(Find(u"<emrtype>1,2</emrtype>"), (Events{"E1001", "E1002", "E1003", "E2001"}));
  EXPECT_EQ(Find(u"<code>6,10</code>"), (Events{"E1002"}));
}

TEST_P(PatientSearchTest, PatientIdCountsOnlyWithTheVisitNumber) {
  EXPECT_EQ(Find(u"<eventno>100</eventno>"), (Events{"E1001", "E1002", "E1003"}));
  EXPECT_EQ(Find(u"<eventno>100</eventno><patient_id>P1</patient_id>"), (Events{"E1001", "E1003"}));
  EXPECT_EQ(Find(u"<patient_id>P1</patient_id>"), kAll);
}

TEST_P(PatientSearchTest, PatientTypeIsReadAsANumberAnd99MeansAny) {
  EXPECT_EQ(Find(u"<patienttype>99</patienttype>"), kAll);
  EXPECT_EQ(Find(u"<patienttype>2</patienttype>"), (Events{"E1001", "E1002", "E1003"}));
  EXPECT_EQ(Find(u"<patienttype>1x</patienttype>"), (Events{"E2001"}));
  EXPECT_EQ(Find(u"<patienttype>x</patienttype>"), (Events{"E2002"}));  // no number: 0
}

TEST_P(PatientSearchTest, BothForbidConditionsStandTogether) {
  EXPECT_EQ(Find(u"<forbid_flag>1</forbid_flag>"), (Events{"E1002"}));
  EXPECT_EQ(Find(u"<forbid>0</forbid>"), (Events{"E1001", "E1003", "E2001", "E2002"}));
  EXPECT_EQ(Find(u"<forbid_flag>0</forbid_flag><forbid>1</forbid>"), Events{});
}

TEST_P(PatientSearchTest, SpansApplyOnlyWithExactlyTwoPiecesAsHalfOpenIntervals) {
  EXPECT_EQ(Find(u"<intime_span>2026-11-10 10:00:00|2026-12-01 00:00:00</intime_span>"),
            (Events{"E1001", "E1002"}));  // start included, end excluded
  EXPECT_EQ(Find(u"<intime_span>2026-11-01|2026-12-01|</intime_span>"),
            (Events{"E1001", "E1002"}));  // a separator at the end adds no piece
  EXPECT_EQ(Find(u"<intime_span>2026-11-01|</intime_span>"), kAll);
  EXPECT_EQ(Find(u"<intime_span>|2026-11-01</intime_span>"), kAll);
  EXPECT_EQ(Find(u"<intime_span>a|b|c</intime_span>"), kAll);
  EXPECT_EQ(Find(u"<intime_span>|</intime_span>"), kAll);
  EXPECT_EQ(Find(u"<leavetime_span>2026-10-15|2026-11-30 09:00:01</leavetime_span>"),
            (Events{"E1002", "E2001"}));
  EXPECT_EQ(Find(u"<commit_time_span>2026-12-03|2026-12-04</commit_time_span>"), (Events{"E1002"}));
  EXPECT_EQ(Find(u"<archive_time_span>2026-12-06|2026-12-07</archive_time_span>"), Events{});
  EXPECT_EQ(Find(u"<codedate>2026-12-06 12:00:00|2026-12-06 12:00:01</codedate>"),
            (Events{"E1002"}));
  // A piece that is not a date fails the statement.
  EXPECT_EQ(FailureOfSearch(u"<root><intime_span>a|b</intime_span></root>"), kDatabaseErrorMessage);
}

TEST_P(PatientSearchTest, TheLeaveTimeNamingNullIsSqlTextAndOtherwiseASpan) {
  EXPECT_EQ(Find(u"<leavetime_span>is null</leavetime_span>"), (Events{"E1001", "E1003", "E2002"}));
  EXPECT_EQ(Find(u"<leavetime_span> is null </leavetime_span>"),
            (Events{"E1001", "E1003", "E2002"}));
  EXPECT_EQ(Find(u"<leavetime_span> is not null</leavetime_span>"), (Events{"E1002", "E2001"}));
  EXPECT_EQ(Find(u"<leavetime_span>IS NULL</leavetime_span>"), kAll);  // a span of one piece
}

TEST_P(PatientSearchTest, TheRowLimitAppliesAroundTheOrderedQuery) {
  EXPECT_EQ(EventNumbers(Search(u"<root><orderby>IN_TIME DESC</orderby></root>")),
            (Events{"E2002", "E1003", "E1002", "E1001", "E2001"}));
  EXPECT_EQ(EventNumbers(Search(u"<root><orderby>IN_TIME DESC</orderby><maxrow>3</maxrow></root>")),
            (Events{"E2002", "E1003"}));  // ROWNUM < 3
  // Visits the client's order leaves tied, or all without one, are cut in the visits' order.
  EXPECT_EQ(
      EventNumbers(Search(u"<root><orderby>EMR_STATUS</orderby><maxrow>4</maxrow></root>")),
      (Events{"E2002", "E1001", "E1003"}));
  EXPECT_EQ(EventNumbers(Search(u"<root><maxrow>3</maxrow></root>")), (Events{"E1001", "E1003"}));
  EXPECT_EQ(Search(u"<root><maxrow>1</maxrow></root>").size(), 0u);
  EXPECT_EQ(Search(u"<root><maxrow> 2 </maxrow></root>").size(), 1u);
  EXPECT_EQ(Search(u"<root><maxrow>2.5</maxrow></root>").size(), 2u);
  EXPECT_EQ(Search(u"<root><maxrow>-1</maxrow></root>").size(), 0u);
  for (int i = 0; i < 12; ++i) {
    std::string n = std::to_string(i);
    db_.AddPatient({.id = "Q" + n});
    db_.AddVisit({.patient_id = "Q" + n, .event_no = "Q" + n});
  }
  EXPECT_EQ(Search(u"<root><maxrow>11</maxrow></root>").size(), 10u);
  EXPECT_EQ(Search(u"<root><maxrow>100</maxrow></root>").size(), 17u);
}

TEST_P(PatientSearchTest, ARowLimitThatIsNoNumberFailsAsADatabaseError) {
  for (const char16_t* maxrow : {u"x", u"10) OR (1=1", u"1e3", u"5 5"}) {
    EXPECT_EQ(FailureOfSearch(u"<root><maxrow>" + std::u16string(maxrow) + u"</maxrow></root>"),
              kDatabaseErrorMessage);
  }
}

TEST_P(PatientSearchTest, QuotedValuesAreSearchedForAndCannotChangeTheStatement) {
  EXPECT_EQ(Find(u"<name>O'Brien</name>"), (Events{"E1002"}));
  EXPECT_EQ(Find(u"<name>'</name>"), (Events{"E1002"}));
  auto element = [](const char16_t* name, const char16_t* value) {
    return u"<" + std::u16string(name) + u">" + value + u"</" + name + u">";
  };
  for (const char16_t* text_column : {u"name", u"eventno", u"doctor", u"forbid_flag", u"indept",
                                      u"leavedept", u"nowdept", u"forbid", u"caseno"}) {
    SCOPED_TRACE(ToUtf8(text_column));
    EXPECT_EQ(Find(element(text_column, u"x' OR '1'='1")), Events{});
    EXPECT_EQ(Find(element(text_column, u"x%' OR NAME LIKE '%")), Events{});
  }
  // Compared with a number column, the whole text is one value that is no number.
  for (const char16_t* number_column : {u"code_status", u"trans_status", u"paper_status"}) {
    SCOPED_TRACE(ToUtf8(number_column));
    EXPECT_EQ(FailureOfSearch(u"<root>" + element(number_column, u"6' OR '1'='1") + u"</root>"),
              kDatabaseErrorMessage);
  }
  EXPECT_EQ(Find(u"<eventno>1</eventno><patient_id>P1' OR 'a'='a</patient_id>"), Events{});
  // A quote in a date piece is part of the date text, which then does not convert.
  EXPECT_EQ(FailureOfSearch(
                u"<root><intime_span>2026-01-01', 'YYYY') OR (1=1|2027-01-01</intime_span></root>"),
            kDatabaseErrorMessage);
  // Markup in a value is read as text.
  EXPECT_EQ(Find(u"<name>&lt;&amp;</name>"), Events{});
}

TEST_P(PatientSearchTest, ThePiecesThatStandBareTakeEveryFormTheListsAndClientsWrite) {
  EXPECT_EQ(Find(u"<emrtype>1</emrtype>"), (Events{"E1001", "E1003", "E2001"}));
  EXPECT_EQ(Find(u"<emrtype>0,1,2</emrtype>"), kAll);
  EXPECT_EQ(Find(u"<emrtype> 0 ,\t1 , 2 </emrtype><code>6,10</code>"), (Events{"E1002"}));
  EXPECT_EQ(Find(u"<emrtype>-1</emrtype>"), Events{});
  EXPECT_EQ(Find(u"<code> 10 </code>"), Events{});
  EXPECT_EQ(Find(u"<orderby>COMMIT_TIME,BED_NO</orderby>"), kAll);
  EXPECT_EQ(EventNumbers(Search(u"<root><orderby>IN_TIME DESC</orderby></root>")),
            (Events{"E2002", "E1003", "E1002", "E1001", "E2001"}));
  EXPECT_EQ(EventNumbers(Search(u"<root><orderby> v.out_time  desc nulls last , W.Name asc,"
                                u"event_no</orderby></root>")),
            (Events{"E1002", "E2001", "E1001", "E1003", "E2002"}));
  EXPECT_EQ(EventNumbers(Search(u"<root><orderby>OUT_TIME NULLS FIRST,EVENT_NO</orderby></root>")),
            (Events{"E1001", "E1003", "E2002", "E2001", "E1002"}));
  EXPECT_EQ(Find(u"<leavetime_span>\tis \t not  null\t</leavetime_span>"),
            (Events{"E1002", "E2001"}));
  EXPECT_EQ(Find(u"<leavetime_span>Is NOT null</leavetime_span>"), (Events{"E1002", "E2001"}));
  // Every named column of the result orders it.
  for (const char16_t* column : {u"NAME",
                                 u"SEX",
                                 u"PATIENT_ID",
                                 u"EVENT_NO",
                                 u"BIRTHDAY",
                                 u"IN_TIME",
                                 u"OUT_TIME",
                                 u"IN_DEPT_NAME",
                                 u"NOW_DEPT_NAME",
                                 u"OUT_DEPT_NAME",
                                 u"EMR_STATUS",
                                 u"COMMIT_TIME",
                                 u"ROLLBACK_TIME",
                                 u"ARCHIVE_TIME",
                                 u"FORBID_FLAG",
                                 u"BED_NO",
                                 u"DOCTOR_NAME",
                                 u"REG_DOCTOR_ID",
                                 u"CODE_STATUS",
                                 u"CODE_DATE",
                                 u"ROLLBACK_NOTES",
                                 u"ARCHIVER",
                                 u"ARCHIVE_NOTES",
                                 u"EVENT_STATUS",
                                 u"COMMIT_TIMES",
                                 u"RECTIFY_STATUS",
                                 u"COMMITER",
                                 u"COMMIT_NOTES",
                                 u"ADMISSION_DEPT_TIME",
                                 u"CASE_NO"}) {
    SCOPED_TRACE(ToUtf8(column));
    EXPECT_EQ(Find(u"<orderby>" + std::u16string(column) + u" DESC</orderby>"), kAll);
  }
}

TEST_P(PatientSearchTest, PiecesOfAnyOtherFormAreRefusedBeforeAnyStatementAndLogged) {
  const std::pair<const char16_t*, const char16_t*> refused[] = {
      {u"emrtype", u"SELECT 2 FROM DUAL"},
      {u"emrtype", u"1) OR (1=1"},
      {u"emrtype", u"1,"},
      {u"emrtype", u"1 2"},
      {u"code", u"6,"},
      {u"code", u"6;10"},
      {u"orderby", u"NO_SUCH_COLUMN"},
      {u"orderby", u"1"},
      {u"orderby", u"NAME,"},
      {u"orderby", u"NAME DESC ASC"},
      {u"orderby", u"NAME NULLS"},
      {u"orderby", u"X.NAME"},
      {u"orderby", u"TELV_PATIENT.NAME"},
      {u"orderby", u"(SELECT PASSWORD FROM TELV_USER_TABLE)"},
      {u"orderby", u"NAME -- comment"},
      {u"leavetime_span", u"is not null AND EVENT_NO = 'E2001'"},
      {u"leavetime_span", u"null"},
      {u"leavetime_span", u"is null is null"},
      {u"leavetime_span", u"isnull"},
      {u"leavetime_span", u"2026-01-01|is null"},
      {u"maxrow", u"10) OR (1=1"},
  };
  // On a database that cannot be reached, any statement would fail and log its connection.
  TestDataSource unreachable("Provider=SQLite;Data Source=/nonexistent/dir/none.db");
  datasource::testing::EventLogCapture events;
  for (const auto& [element, text] : refused) {
    SCOPED_TRACE(ToUtf8(element) + " " + ToUtf8(text));
    events.Clear();
    const std::u16string condition = u"<root><" + std::u16string(element) + u">" +
                                     XmlEscaped(text) + u"</" + element + u"></root>";
    EXPECT_EQ(FailureOfSearch(condition), kDatabaseErrorMessage);
    com::ScopedBstr info(condition);
    EXPECT_EQ(FailureOf([&] {
                BSTR result = nullptr;
                CBArchivePatient::SearchPatient(&unreachable, info.get(), &result);
              }),
              kDatabaseErrorMessage);
    const std::vector<sys::EventRecord> records = events.Records();
    ASSERT_EQ(records.size(), 2u);  // one per search, and no connection was tried
    for (const sys::EventRecord& record : records) {
      EXPECT_NE(record.text.find(std::u16string(u" ") + element + u" "), std::u16string::npos);
      EXPECT_NE(record.text.find(text), std::u16string::npos);
    }
  }
}

TEST_P(PatientSearchTest, AConditionThatIsNotXmlFailsAfterTheServerTime) {
  EXPECT_EQ(FailureOfSearch(u"<root><name>x</root>"), u"解析属性信息错误.");
  // The server time is asked first: without a database that is the failure.
  BSTR info = AllocBstr(u"<root><name>x</root>");
  TestDataSource unreachable(korvalis::testing::kUnreachableDatabase);
  EXPECT_EQ(FailureOf([&] {
              BSTR result = nullptr;
              CBArchivePatient::SearchPatient(&unreachable, info, &result);
            }),
            kDatabaseErrorMessage);
  SysFreeString(info);
}

INSTANTIATE_TEST_SUITE_P(Engines, PatientSearchTest, db::testing::kBothEngines,
                         db::testing::EngineName);

TEST(PatientSearchSqlTest, TheStatementTakesItsDatesFromTheDialectAndClosesWithTheVisitOrder) {
  CDBOracle oracle;
  CDBSQLServer sql_server;
  const CXmlProperty::Map none;
  std::u16string sql = PatientSearchSql(oracle, u"2026-12-07 08:00:00", none);
  EXPECT_TRUE(sql.starts_with(u"SELECT/*+rule*/ NAME,"));
  EXPECT_NE(sql.find(u"TRUNC(to_date('2026-12-07 08:00:00', 'YYYY-MM-DD HH24:MI:SS') - OUT_TIME)"),
            std::u16string::npos);
  EXPECT_TRUE(sql.ends_with(
      u"FROM TELV_VISIT_RECORD V, TELV_PATIENT W WHERE V.PATIENT_ID = W.ID ORDER BY "
      u"V.PATIENT_ID, V.EVENT_NO"));
  const CXmlProperty::Map span = {
      {u"intime_span", u"2008-01-01|2008-02-01"}, {u"orderby", u"BED_NO"}, {u"maxrow", u"11"}};
  sql = PatientSearchSql(sql_server, u"2026-12-07 08:00:00", span);
  EXPECT_NE(sql.find(u"W.ID AND IN_TIME >= CONVERT(DATETIME, '2008-01-01', 20) AND IN_TIME < "
                     u"CONVERT(DATETIME, '2008-02-01', 20)  ORDER BY BED_NO, V.PATIENT_ID, "
                     u"V.EVENT_NO) "
                     u"WHERE ROWNUM < 11"),
            std::u16string::npos);
  EXPECT_TRUE(sql.starts_with(u"SELECT * FROM (SELECT/*+rule*/ "));
}

}  // namespace
}  // namespace korvalis::archive::testing
