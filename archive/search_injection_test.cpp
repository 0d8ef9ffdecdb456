// Statements smuggled into the patient search and its twelve lists: through the time arguments,
// the departments, the copied condition elements and every element of the search. Each call
// either refuses or lists nothing but the hospital's own visits, and the database is the same
// afterwards.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "archive/archive_patient.h"
#include "archive/testing/patient_search_test_util.h"
#include "foundation/testing/data_source_test_util.h"
#include "foundation/xml/xml_text.h"
#include "platform/com/scoped_bstr.h"

namespace korvalis::archive::testing {
namespace {

using P = CBArchivePatient;
using com::ScopedBstr;

constexpr char kLogin[] = "leaked-login";
constexpr char kDigest[] = "E10ADC3949BA59ABBE56E057F20F883E";
const std::set<std::string> kOwnVisits = {"V1", "V2", "V3", "V4"};

// "<prefix> UNION ALL SELECT USER_CODE, PASSWORD, NULL ... FROM TELV_USER_TABLE": the logins
// with their digests in the 34 columns of the search's result.
std::u16string LoginsAfter(std::u16string_view prefix) {
  std::u16string text(prefix);
  text += u" UNION ALL SELECT USER_CODE, PASSWORD";
  for (int i = 0; i < 32; ++i) text += u", NULL";
  return text + u" FROM TELV_USER_TABLE";
}

// What a caller may put where a time, a status list or a value belongs.
std::vector<std::u16string> Payloads() {
  return {
      LoginsAfter(u"is null AND 1=0") + u" --",
      LoginsAfter(u"-1)") + u" --",
      LoginsAfter(u"is not null AND 1=0") + u" /* the rest */ --",
      LoginsAfter(u"1) AND 1=0") + u" ORDER BY 1 --",
      u"is null AND EXISTS (SELECT 1 FROM TELV_USER_TABLE WHERE PASSWORD LIKE 'E%')",
      u"is null OR 1=1",
      u"1) OR (1=1",
      u"is null; DELETE FROM TELV_PATIENT --",
      u"1); DELETE FROM TELV_PATIENT; --",
      u"is null' OR '1'='1",
      u"x' OR '1'='1' --",
      u"is null AND NAME = '张三' --",
      u"空 null 值",
      u"null",
      u"2099-01-01|",
      u"|2099-02-01",
      u"2026-11-01|2026-12-01",
      u"2026-11-01' OR '1'='1",
      u"(SELECT MAX(PASSWORD) FROM TELV_USER_TABLE)",
  };
}

class SearchInjectionTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    db_ = new schema::TestDatabase;
    db_->AddPatient({.id = "P1", .name = "张三"});
    db_->AddPatient({.id = "P2", .name = "李四"});
    db_->AddVisit({.patient_id = "P1", .event_no = "V1", .in_time = "2026-11-05 08:00:00"});
    db_->AddVisit({.patient_id = "P1",
                   .event_no = "V2",
                   .in_time = "2026-11-01 08:00:00",
                   .out_time = "2026-11-10 08:00:00"});
    db_->AddVisit({.patient_id = "P2",
                   .event_no = "V3",
                   .in_time = "2026-11-02 08:00:00",
                   .out_time = "2026-11-12 08:00:00",
                   .residence_flag = 1,
                   .code_status = 6});
    db_->AddVisit({.patient_id = "P2",
                   .event_no = "V4",
                   .in_time = "2026-11-03 08:00:00",
                   .residence_flag = 1,
                   .emr_status = 0,
                   .code_status = 10});
    db_->AddStaff({.id = "U1", .login = kLogin, .password_digest = kDigest});
  }
  static void TearDownTestSuite() {
    delete db_;
    db_ = nullptr;
  }

  // Every row of the tables a smuggled statement could read or change.
  static std::vector<std::vector<std::string>> Snapshot() {
    std::vector<std::vector<std::string>> rows;
    for (const char* query :
         {"SELECT * FROM TELV_PATIENT ORDER BY ID",
          "SELECT * FROM TELV_VISIT_RECORD ORDER BY EVENT_NO",
          "SELECT * FROM TELV_USER_TABLE ORDER BY ID", "SELECT COUNT(*) FROM TELV_EMR_CONTENT"}) {
      for (auto& row : db_->Query(query)) rows.push_back(std::move(row));
    }
    return rows;
  }

  // A list body called with its BSTR arguments.
  using Call = std::function<void(CEMRDataSource*, const std::deque<ScopedBstr>&, BSTR*)>;
  static Call Of(long (*body)(CEMRDataSource*, BSTR, BSTR*)) {
    return [body](CEMRDataSource* ds, const std::deque<ScopedBstr>& a, BSTR* result) {
      body(ds, a.at(0).get(), result);
    };
  }
  static Call Of(long (*body)(CEMRDataSource*, BSTR, BSTR, BSTR*)) {
    return [body](CEMRDataSource* ds, const std::deque<ScopedBstr>& a, BSTR* result) {
      body(ds, a.at(0).get(), a.at(1).get(), result);
    };
  }
  static Call Of(long (*body)(CEMRDataSource*, BSTR, BSTR, BSTR, BSTR*)) {
    return [body](CEMRDataSource* ds, const std::deque<ScopedBstr>& a, BSTR* result) {
      body(ds, a.at(0).get(), a.at(1).get(), a.at(2).get(), result);
    };
  }

  // Calls the list with the texts; it must refuse with the generic message or list only the
  // hospital's own visits.
  void ExpectOwnRowsOrRefusal(const Call& list, const std::vector<std::u16string>& texts) {
    std::deque<ScopedBstr> arguments;
    for (const std::u16string& text : texts) arguments.emplace_back(text);
    BSTR result = nullptr;
    const std::u16string failure = FailureOf([&] {
      TestDataSource data_source(db_->init_string());
      list(&data_source, arguments, &result);
    });
    if (!failure.empty()) {
      EXPECT_EQ(failure, kDatabaseErrorMessage);
      ++refusals_;
      return;
    }
    ++answers_;
    for (const Patient& patient : ReadPatients(result)) {
      EXPECT_TRUE(kOwnVisits.contains(patient["eventno"])) << patient.name;
      EXPECT_NE(patient.name, kLogin);
      for (const auto& [name, value] : patient.attributes) EXPECT_NE(value, kDigest) << name;
    }
  }

  static std::u16string Element(std::u16string_view name, std::u16string_view value) {
    return u"<" + std::u16string(name) + u">" + XmlEscaped(value) + u"</" + std::u16string(name) +
           u">";
  }
  // A condition document of one element.
  static std::u16string Condition(std::u16string_view name, std::u16string_view value) {
    return u"<root>" + Element(name, value) + u"</root>";
  }

  // Whatever a test sends, no table it could reach has changed.
  void SetUp() override { before_ = Snapshot(); }
  void TearDown() override { EXPECT_EQ(Snapshot(), before_); }

  // The payloads met both outcomes: some were refused, some answered (with own rows only).
  void ExpectBothOutcomes() const {
    EXPECT_GT(refusals_, 0);
    EXPECT_GT(answers_, 0);
  }

  static schema::TestDatabase* db_;
  std::vector<std::vector<std::string>> before_;
  int refusals_ = 0;
  int answers_ = 0;
};

schema::TestDatabase* SearchInjectionTest::db_ = nullptr;

TEST_F(SearchInjectionTest, TimeArgumentsOfTheListsAreDatesOrEmpty) {
  using TimeList = long (*)(CEMRDataSource*, BSTR, BSTR, BSTR*);
  using DeptTimeList = long (*)(CEMRDataSource*, BSTR, BSTR, BSTR, BSTR*);
  const TimeList time_lists[] = {&P::GetAllInPatientList,   &P::GetAllLeavePatientList,
                                 &P::GetAllToCommitPatient, &P::GetAllCommitedPatient,
                                 &P::GetAllUncodedPatient,  &P::GetAllPreCommitPatient};
  const DeptTimeList dept_time_lists[] = {&P::GetInPatientList, &P::GetLeavePatientList};
  for (const std::u16string& payload : Payloads()) {
    SCOPED_TRACE(ToUtf8(payload));
    for (const char16_t* other : {u"2026-12-01", u"x", u""}) {
      for (TimeList list : time_lists) {
        ExpectOwnRowsOrRefusal(Of(list), {payload, other});
        ExpectOwnRowsOrRefusal(Of(list), {other, payload});
      }
      for (DeptTimeList list : dept_time_lists) {
        ExpectOwnRowsOrRefusal(Of(list), {u"0101", payload, other});
        ExpectOwnRowsOrRefusal(Of(list), {u"0101", other, payload});
        ExpectOwnRowsOrRefusal(Of(list), {payload, u"2026-11-01", u"2026-12-01"});
      }
    }
  }
  ExpectBothOutcomes();
}

TEST_F(SearchInjectionTest, DepartmentsAndCopiedConditionsAreValues) {
  for (const std::u16string& payload : Payloads()) {
    SCOPED_TRACE(ToUtf8(payload));
    ExpectOwnRowsOrRefusal(Of(&P::GetToCommitPatient), {payload});
    ExpectOwnRowsOrRefusal(Of(&P::GetUncodedPatient), {payload});
    for (const char16_t* element :
         {u"name", u"eventno", u"doctor", u"leavedept", u"leavetime_span"}) {
      ExpectOwnRowsOrRefusal(Of(&P::GetCommitedPatient), {Condition(element, payload)});
    }
    for (const char16_t* element : {u"name", u"eventno", u"nowdept", u"intime_span"}) {
      ExpectOwnRowsOrRefusal(Of(&P::GetPreCommitPatient), {Condition(element, payload)});
    }
    for (const std::u16string& span : {payload + u"|2026-12-01", u"2026-11-01|" + payload}) {
      ExpectOwnRowsOrRefusal(Of(&P::GetCommitedPatient), {Condition(u"leavetime_span", span)});
      ExpectOwnRowsOrRefusal(Of(&P::GetPreCommitPatient), {Condition(u"intime_span", span)});
    }
  }
  ExpectBothOutcomes();
}

TEST_F(SearchInjectionTest, EveryElementOfTheSearch) {
  for (const std::u16string& payload : Payloads()) {
    SCOPED_TRACE(ToUtf8(payload));
    for (const char16_t* element :
         {u"name",    u"eventno",     u"doctor",         u"patienttype",      u"forbid_flag",
          u"emrtype", u"code_status", u"trans_status",   u"indept",           u"leavedept",
          u"nowdept", u"intime_span", u"leavetime_span", u"commit_time_span", u"archive_time_span",
          u"forbid",  u"code",        u"codedate",       u"caseno",           u"paper_status",
          u"orderby", u"maxrow"}) {
      ExpectOwnRowsOrRefusal(Of(&P::SearchPatient), {Condition(element, payload)});
    }
    ExpectOwnRowsOrRefusal(Of(&P::SearchPatient), {u"<root><eventno>V</eventno>" +
                                                   Element(u"patient_id", payload) + u"</root>"});
  }
  ExpectBothOutcomes();
}

TEST_F(SearchInjectionTest, ARefusedTimeIsLoggedWithItsElementBeforeAnyStatement) {
  datasource::testing::EventLogCapture events;
  TestDataSource unreachable("Provider=SQLite;Data Source=/nonexistent/dir/none.db");
  ScopedBstr start(u"2099-01-01|");
  ScopedBstr end(u"2099-02-01");
  BSTR result = nullptr;
  EXPECT_EQ(
      FailureOf([&] { P::GetAllInPatientList(&unreachable, start.get(), end.get(), &result); }),
      kDatabaseErrorMessage);
  const std::vector<sys::EventRecord> records = events.Records();
  ASSERT_EQ(records.size(), 1u);  // no connection was tried
  EXPECT_NE(records[0].text.find(u" intime_span "), std::u16string::npos);
  EXPECT_NE(records[0].text.find(u"2099-01-01|"), std::u16string::npos);
}

}  // namespace
}  // namespace korvalis::archive::testing
