#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "archive/archive_patient.h"
#include "archive/testing/patient_search_test_util.h"

namespace korvalis::archive::testing {
namespace {

using Events = std::vector<std::string>;

// One visit of the list fixture; its patient has the visit's number as identifier.
struct ListVisit {
  std::string event_no;
  std::string dept;
  std::string in_time;
  std::optional<std::string> out_time;
  int residence_flag;
  int emr_status;
  std::optional<int> code_status{};
  std::string forbid_flag = "0";
  std::optional<std::string> commit_time{};
  std::string bed_no = "01";
  std::string name{};
  std::string doctor = "测试医生";
};

// Visits that each list's conditions tell apart: in hospital (A), discharged (L), uncoded (U),
// committed (C), archived (G), pre-committed (P, AP), and one of a department whose code holds
// markup and a quote (M1). The lists are asked about November 2026.
const ListVisit kVisits[] = {
    {"A1", "0101", "2026-11-05", {}, 2, 1},
    {"A2", "0102", "2026-11-05", {}, 2, 1},
    {"A3", "0101", "2026-10-01", {}, 2, 1},
    {"A4", "0101", "2026-11-06", {}, 2, 0},
    {"A5", "0101", "2026-11-07", {}, 1, 1},
    {"L1", "0101", "2026-11-01", "2026-11-10", 2, 1},
    {"L2", "0101", "2026-10-01", "2026-10-20", 2, 1},
    {"L3", "0102", "2026-11-01", "2026-11-12", 2, 1},
    {"U1", "0101", "2026-11-08", {}, 2, 1, 1},
    {"C1", "0101", "2026-11-01", "2026-11-15", 1, 1, {}, "0", "2026-11-16", "05", "赵一", "刘静怡"},
    {"C2", "0101", "2026-11-01", "2026-11-14", 1, 1, {}, "0", "2026-11-16", "02", "O'Brien"},
    {"C3", "0101", "2026-11-01", "2026-11-13", 1, 1, {}, "1", "2026-11-16", "01"},
    {"C4", "0102", "2026-11-01", "2026-11-20", 1, 1, {}, "0", "2026-11-10", "09"},
    {"G1", "0101", "2026-11-01", "2026-11-18", 2, 2, {}, "0", "2026-11-19", "03"},
    {"G2", "0101", "2026-11-01", "2026-11-17", 2, 2, {}, "0", "2026-11-19", "01"},
    {"P1", "0101", "2026-11-02", "2026-11-09", 1, 0, 6},
    {"P2", "0101", "2026-10-02", "2026-10-09", 1, 0, 10},
    {"P3", "0101", "2026-11-02", "2026-11-09", 1, 0, 5},
    {"AP1", "0101", "2026-11-03", {}, 2, 0, 6},
    {"M1", "K<&'1", "2026-11-09", {}, 2, 1},
};

std::string AtEight(const std::string& day) { return day + " 08:00:00"; }

class ArchivePatientListsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    db_ = new schema::TestDatabase;
    for (const ListVisit& v : kVisits) {
      db_->AddPatient({.id = v.event_no, .name = v.name.empty() ? "病人" + v.event_no : v.name});
      db_->AddVisit({.patient_id = v.event_no,
                     .event_no = v.event_no,
                     .dept_id = v.dept,
                     .in_time = AtEight(v.in_time),
                     .out_time = v.out_time ? std::optional(AtEight(*v.out_time)) : std::nullopt,
                     .bed_no = v.bed_no,
                     .doctor_name = v.doctor,
                     .residence_flag = v.residence_flag,
                     .emr_status = v.emr_status,
                     .forbid_flag = v.forbid_flag,
                     .code_status = v.code_status});
      if (v.commit_time) {
        db_->Execute("UPDATE TELV_VISIT_RECORD SET COMMIT_TIME = " +
                     schema::SqlDate(AtEight(*v.commit_time)) + " WHERE EVENT_NO = '" + v.event_no +
                     "'");
      }
    }
  }
  static void TearDownTestSuite() {
    delete db_;
    db_ = nullptr;
  }

  // Calls a list body with texts for its BSTR arguments (nullopt passes a null BSTR) and
  // answers the visits in the list's order.
  template <class Body, class... Texts>
  static Events Call(Body body, Texts... texts) {
    std::vector<BSTR> arguments = {Bstr(texts)...};
    // The arguments are freed also when the body throws.
    struct FreeArguments {
      std::vector<BSTR>& bstrs;
      ~FreeArguments() {
        for (BSTR argument : bstrs) SysFreeString(argument);
      }
    } free_arguments{arguments};
    BSTR result = nullptr;
    {
      TestDataSource data_source(db_->init_string());
      CallWith(body, &data_source, arguments, &result, std::index_sequence_for<Texts...>());
    }
    return EventNumbers(ReadPatients(result));
  }
  template <class Body, std::size_t... I>
  static void CallWith(Body body, CEMRDataSource* data_source, const std::vector<BSTR>& arguments,
                       BSTR* result, std::index_sequence<I...>) {
    body(data_source, arguments[I]..., result);
  }
  static BSTR Bstr(const std::optional<std::u16string>& text) {
    return text ? AllocBstr(*text) : nullptr;
  }
  static Events Sorted(Events events) {
    std::sort(events.begin(), events.end());
    return events;
  }

  static schema::TestDatabase* db_;
};

schema::TestDatabase* ArchivePatientListsTest::db_ = nullptr;

using Text = std::optional<std::u16string>;
const Text kStart = u"2026-11-01";
const Text kEnd = u"2026-12-01";
const Text kEmpty = u"";
const Text kNull = std::nullopt;

TEST_F(ArchivePatientListsTest, InHospitalLists) {
  using P = CBArchivePatient;
  EXPECT_EQ(Sorted(Call(&P::GetInPatientList, Text(u"0101"), kStart, kEnd)), (Events{"A1", "U1"}));
  EXPECT_EQ(Call(&P::GetInPatientList, Text(u"9999"), kStart, kEnd), Events{});
  // One time missing: a span of one piece, so no time condition.
  EXPECT_EQ(Sorted(Call(&P::GetInPatientList, Text(u"0101"), kStart, kEmpty)),
            (Events{"A1", "A3", "U1"}));
  EXPECT_EQ(Sorted(Call(&P::GetInPatientList, Text(u"0101"), kNull, kEnd)),
            (Events{"A1", "A3", "U1"}));
  EXPECT_EQ(Sorted(Call(&P::GetAllInPatientList, kStart, kEnd)), (Events{"A1", "A2", "M1", "U1"}));
}

TEST_F(ArchivePatientListsTest, DischargedListsTakeEveryDischargeWhenATimeIsMissing) {
  using P = CBArchivePatient;
  EXPECT_EQ(Call(&P::GetLeavePatientList, Text(u"0101"), kStart, kEnd), (Events{"L1"}));
  EXPECT_EQ(Sorted(Call(&P::GetLeavePatientList, Text(u"0101"), kStart, kEmpty)),
            (Events{"L1", "L2"}));
  EXPECT_EQ(Sorted(Call(&P::GetLeavePatientList, Text(u"0101"), kNull, kEnd)),
            (Events{"L1", "L2"}));
  EXPECT_EQ(Sorted(Call(&P::GetAllLeavePatientList, kStart, kEnd)), (Events{"L1", "L3"}));
  EXPECT_EQ(Sorted(Call(&P::GetAllLeavePatientList, kEmpty, kNull)), (Events{"L1", "L2", "L3"}));
}

TEST_F(ArchivePatientListsTest, ToCommitLists) {
  using P = CBArchivePatient;
  EXPECT_EQ(Sorted(Call(&P::GetToCommitPatient, Text(u"0101"))),
            (Events{"A1", "A3", "L1", "L2", "U1"}));
  EXPECT_EQ(Sorted(Call(&P::GetAllToCommitPatient, kStart, kEnd)), (Events{"L1", "L3"}));
  // Two empty times make the span "|", which has no piece: no time condition at all.
  const Events every_confirmed_stay = {"A1", "A2", "A3", "L1", "L2", "L3", "M1", "U1"};
  EXPECT_EQ(Sorted(Call(&P::GetAllToCommitPatient, kEmpty, kEmpty)), every_confirmed_stay);
  EXPECT_EQ(Sorted(Call(&P::GetAllToCommitPatient, kNull, kNull)), every_confirmed_stay);
}

TEST_F(ArchivePatientListsTest, CommittedListsAreOrderedByCommitTimeThenBed) {
  using P = CBArchivePatient;
  // Residence 1, confirmed, not sealed; a visit never committed comes last.
  EXPECT_EQ(Call(&P::GetCommitedPatient, Text(u"<root/>")), (Events{"C4", "C2", "C1", "A5"}));
  EXPECT_EQ(Call(&P::GetCommitedPatient,
                 Text(u"<root><leavedept>0101</leavedept>"
                      u"<leavetime_span>2026-11-01|2026-12-01</leavetime_span></root>")),
            (Events{"C2", "C1"}));
  EXPECT_EQ(Call(&P::GetCommitedPatient, Text(u"<root><name>O'Brien</name></root>")),
            (Events{"C2"}));
  EXPECT_EQ(Call(&P::GetCommitedPatient, Text(u"<root><doctor>静</doctor></root>")),
            (Events{"C1"}));
  EXPECT_EQ(Call(&P::GetCommitedPatient, Text(u"<root><eventno>C</eventno></root>")),
            (Events{"C4", "C2", "C1"}));
  // A span of three pieces and every element the list does not copy are dropped.
  EXPECT_EQ(Call(&P::GetCommitedPatient,
                 Text(u"<root><leavetime_span>2026-11-01|2026-11-15|2026-12-01</leavetime_span>"
                      u"<nowdept>0102</nowdept><maxrow>1</maxrow><patienttype>2</patienttype>"
                      u"</root>")),
            (Events{"C4", "C2", "C1", "A5"}));
  EXPECT_EQ(Call(&P::GetAllCommitedPatient, kStart, kEnd), (Events{"G2", "G1"}));
}

TEST_F(ArchivePatientListsTest, UncodedLists) {
  using P = CBArchivePatient;
  EXPECT_EQ(Call(&P::GetUncodedPatient, Text(u"0101")), (Events{"U1"}));
  EXPECT_EQ(Call(&P::GetUncodedPatient, Text(u"0102")), Events{});
  EXPECT_EQ(Call(&P::GetAllUncodedPatient, kStart, kEnd), (Events{"U1"}));
  EXPECT_EQ(Call(&P::GetAllUncodedPatient, Text(u"2026-11-09"), kEnd), Events{});
}

TEST_F(ArchivePatientListsTest, PreCommitListsDifferInResidence) {
  using P = CBArchivePatient;
  EXPECT_EQ(Sorted(Call(&P::GetPreCommitPatient, Text(u"<root/>"))), (Events{"P1", "P2"}));
  EXPECT_EQ(Call(&P::GetPreCommitPatient,
                 Text(u"<root><nowdept>0101</nowdept>"
                      u"<intime_span>2026-11-01|2026-12-01</intime_span></root>")),
            (Events{"P1"}));
  EXPECT_EQ(Sorted(Call(&P::GetPreCommitPatient,
                        Text(u"<root><intime_span>2026-11-01</intime_span></root>"))),
            (Events{"P1", "P2"}));
  EXPECT_EQ(Call(&P::GetPreCommitPatient, Text(u"<root><eventno>2</eventno></root>")),
            (Events{"P2"}));
  EXPECT_EQ(Call(&P::GetAllPreCommitPatient, kStart, kEnd), (Events{"AP1"}));
}

TEST_F(ArchivePatientListsTest, TimesAreDatesInAnyFormTheDatabaseReadsOrEmpty) {
  using P = CBArchivePatient;
  EXPECT_EQ(Sorted(Call(&P::GetAllInPatientList, Text(u"2026-11-1"), Text(u"2026-12-01 00:00:00"))),
            (Events{"A1", "A2", "M1", "U1"}));
  EXPECT_EQ(
      Call(&P::GetAllLeavePatientList, Text(u"2026-11-10 08:00"), Text(u"2026-11-10 8:00:01")),
      (Events{"L1"}));
  // A time that is no date is refused, also where the list would not use it.
  for (const Text& time : {Text(u"2026-11-01|"), Text(u"x"), Text(u"is not null")}) {
    EXPECT_EQ(FailureOf([&] { Call(&P::GetLeavePatientList, Text(u"0101"), time, kEmpty); }),
              kDatabaseErrorMessage);
    EXPECT_EQ(FailureOf([&] { Call(&P::GetAllCommitedPatient, kStart, time); }),
              kDatabaseErrorMessage);
  }
}

TEST_F(ArchivePatientListsTest, MarkupAndQuotesInArgumentsAreSearchedForAsText) {
  using P = CBArchivePatient;
  EXPECT_EQ(Call(&P::GetToCommitPatient, Text(u"K<&'1")), (Events{"M1"}));
  EXPECT_EQ(Call(&P::GetInPatientList, Text(u"K<&'1"), kStart, kEnd), (Events{"M1"}));
  EXPECT_EQ(Call(&P::GetUncodedPatient, Text(u"</nowdept><emrtype>1) OR (1=1</emrtype>")),
            Events{});
  EXPECT_EQ(Call(&P::GetCommitedPatient, Text(u"<root><name>&lt;&amp;</name></root>")), Events{});
  EXPECT_EQ(Call(&P::GetPreCommitPatient, Text(u"<root><nowdept>K&lt;&amp;'1</nowdept></root>")),
            Events{});  // M1 is no pre-committed visit
  // A null department reads as the empty text: no department condition.
  EXPECT_EQ(Sorted(Call(&P::GetToCommitPatient, kNull)).size(), 8u);
}

TEST_F(ArchivePatientListsTest, ArgumentsThatAreNoXmlFailBeforeTheSearch) {
  using P = CBArchivePatient;
  for (auto body : {&P::GetCommitedPatient, &P::GetPreCommitPatient}) {
    EXPECT_EQ(FailureOf([&] { Call(body, Text(u"<root><name>x</root>")); }), u"解析属性信息错误.");
  }
  // Null arguments read as empty documents.
  EXPECT_EQ(Call(&P::GetCommitedPatient, kNull), (Events{"C4", "C2", "C1", "A5"}));
}

}  // namespace
}  // namespace korvalis::archive::testing
