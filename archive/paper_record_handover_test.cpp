// The paper record's hand-over on the embedded database: every move of the state table, the
// numbering of the log rows, the refusals and what each leaves behind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/patient_paper_mag.h"
#include "db/testing/test_database.h"
#include "foundation/data/single_data_source.h"
#include "foundation/testing/test_call.h"
#include "platform/com/scoped_bstr.h"
#include "platform/text/unicode.h"

namespace korvalis::archive::testing {
namespace {

using korvalis::com::ScopedBstr;
using korvalis::testing::kUnreachableDatabase;
using korvalis::testing::RunAsCall;
using Rows = std::vector<std::vector<std::string>>;

constexpr char16_t kClerk[] = u"<root><user id='9003'>马丽华</user></root>";
constexpr char kNow[] = "2026-12-07 08:00:00";

class PaperRecordHandoverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* visit : {"E1", "E2", "E3", "Q'1"}) {
      db_.AddPatient({.id = std::string("P") + visit});
      db_.AddVisit({.patient_id = std::string("P") + visit,
                    .event_no = visit,
                    .out_time = "2026-11-20 10:00:00",
                    .emr_status = 0});
    }
  }

  // Each runs its body as one call on the fixture's database (or `database`) and answers the
  // message that ends it, "" when it succeeds.
  std::u16string Commit(const std::u16string& info, const std::u16string& client = kClerk,
                        const std::string& database = {}) {
    return Run(
        database,
        [&](CEMRDataSource* ds, BSTR a, BSTR b) { CBPatientPaperMag::CommitPaperCase(ds, a, b); },
        info, client);
  }
  std::u16string Cancel(const std::u16string& info, const std::string& database = {}) {
    return Run(
        database,
        [&](CEMRDataSource* ds, BSTR a, BSTR) { CBPatientPaperMag::CancelCommitPaper(ds, a); },
        info, u"");
  }
  std::u16string Return(const std::u16string& info, const std::u16string& client = kClerk,
                        const std::string& database = {}) {
    return Run(
        database,
        [&](CEMRDataSource* ds, BSTR a, BSTR b) { CBPatientPaperMag::RollbackPaperCase(ds, a, b); },
        info, client);
  }
  std::u16string SignIn(const std::u16string& info, const std::u16string& client = kClerk,
                        const std::string& database = {}) {
    return Run(
        database,
        [&](CEMRDataSource* ds, BSTR a, BSTR b) { CBPatientPaperMag::CheckinPaperCase(ds, a, b); },
        info, client);
  }

  // The visit's paper-record state.
  std::string State(const std::string& event_no) {
    return db_.QueryScalar("SELECT PAPER_EMR_STATUS FROM TELV_VISIT_RECORD WHERE EVENT_NO = " +
                           schema::SqlText(event_no));
  }
  void SetState(const std::string& event_no, int state) {
    db_.Execute("UPDATE TELV_VISIT_RECORD SET PAPER_EMR_STATUS = " + std::to_string(state) +
                " WHERE EVENT_NO = " + schema::SqlText(event_no));
  }
  // The visit's log rows by SERIAL: SERIAL, COMMIT_SERIAL, OLD_PAPER_STATUS.
  Rows Serials(const std::string& event_no) {
    return db_.Query(
        "SELECT SERIAL, COMMIT_SERIAL, OLD_PAPER_STATUS FROM TELV_PAPER_CHECKIN_RECORD WHERE "
        "EVENT_NO = " +
        schema::SqlText(event_no) + " ORDER BY SERIAL");
  }
  // Everything the hand-over writes: the log and the visits' states.
  Rows Everything() {
    Rows rows =
        db_.Query("SELECT * FROM TELV_PAPER_CHECKIN_RECORD ORDER BY PATIENT_ID, EVENT_NO, SERIAL");
    for (auto& visit : db_.Query("SELECT EVENT_NO, PAPER_EMR_STATUS, EMR_STATUS, COMMIT_TIME, "
                                 "COMMITER FROM TELV_VISIT_RECORD ORDER BY EVENT_NO")) {
      rows.push_back(visit);
    }
    return rows;
  }

  korvalis::testing::ScopedDatabaseClock clock_;
  schema::TestDatabase db_;

 private:
  template <class Body>
  std::u16string Run(const std::string& database, Body body, const std::u16string& info,
                     const std::u16string& client) {
    return RunAsCall(database.empty() ? db_.init_string() : database, [&](CEMRDataSource* ds) {
      ScopedBstr a(info), b(client);
      body(ds, a.get(), b.get());
    });
  }
};

std::u16string OneVisit(const std::u16string& attributes) {
  return u"<root><patient " + attributes + u"/></root>";
}

TEST_F(PaperRecordHandoverTest, TheFirstRowKeepsTheCallersSerialAndLaterOnesTheirOwn) {
  EXPECT_EQ(Commit(OneVisit(u"id='PE1' event_no='E1' commit_serial='5' paper_status='0' "
                            u"commit_memo='首次'")),
            u"");
  EXPECT_EQ(Commit(OneVisit(u"id='PE1' event_no='E1' commit_serial='9' paper_status='1'")), u"");
  EXPECT_EQ(Serials("E1"), (Rows{{"1", "5", "0"}, {"2", "2", "1"}}));
  EXPECT_EQ(State("E1"), "1");
  EXPECT_EQ(
      db_.Query("SELECT COMMIT_DATE, COMMIT_OPER_NAME, COMMIT_OPER_ID, COMMIT_MEMO, "
                "ROLLBACK_DATE, CHECKIN_DATE FROM TELV_PAPER_CHECKIN_RECORD WHERE SERIAL = 1"),
      (Rows{{kNow, "马丽华", "9003", "首次", "", ""}}));
}

TEST_F(PaperRecordHandoverTest, VisitsAtAnyDepthCommitInDocumentOrder) {
  EXPECT_EQ(Commit(u"<list><ward><patient id='PE1' event_no='E1' commit_serial='7'/></ward>"
                   u"<patient id='PE1' event_no='E1' commit_serial='8'/>"
                   u"<patient id='PE2' event_no='E2' commit_serial='3'/></list>"),
            u"");
  EXPECT_EQ(Serials("E1"), (Rows{{"1", "7", "0"}, {"2", "2", "0"}}));
  EXPECT_EQ(Serials("E2"), (Rows{{"1", "3", "0"}}));
}

TEST_F(PaperRecordHandoverTest, NumbersAreTheLeadingNumbersOfTheirTexts) {
  ASSERT_EQ(Commit(OneVisit(u"id='PE1' event_no='E1' commit_serial=' 12abc' paper_status='7x'")),
            u"");
  ASSERT_EQ(Commit(OneVisit(u"id='PE2' event_no='E2' commit_serial='x1' paper_status='-'")), u"");
  EXPECT_EQ(Serials("E1"), (Rows{{"1", "12", "7"}}));
  EXPECT_EQ(Serials("E2"), (Rows{{"1", "0", "0"}}));
  EXPECT_EQ(Return(u"<root><patient_id>PE1</patient_id><event_no>E1</event_no>"
                   u"<serial> 1st</serial></root>"),
            u"");
  EXPECT_EQ(State("E1"), "2");
}

TEST_F(PaperRecordHandoverTest, OneDocumentCancelsAVisitsRowsOneAfterAnother) {
  for (const char16_t* status : {u"0", u"2", u"3"}) {
    ASSERT_EQ(
        Commit(OneVisit(u"id='PE1' event_no='E1' paper_status='" + std::u16string(status) + u"'")),
        u"");
  }
  // Each `patient` reads the rows the one before it left: rows 3 and 2 go, the state is row 2's.
  EXPECT_EQ(Cancel(u"<root><patient id='PE1' event_no='E1'/><patient id='PE1' event_no='E1'/>"
                   u"</root>"),
            u"");
  EXPECT_EQ(Serials("E1"), (Rows{{"1", "0", "0"}}));
  EXPECT_EQ(State("E1"), "2");
}

TEST_F(PaperRecordHandoverTest, ACancelRestoresTheStateOfTheCurrentRow) {
  ASSERT_EQ(Commit(OneVisit(u"id='PE1' event_no='E1' commit_serial='1' paper_status='0'")), u"");
  ASSERT_EQ(Commit(OneVisit(u"id='PE1' event_no='E1' paper_status='2'")), u"");
  const std::u16string visit = OneVisit(u"id='PE1' event_no='E1'");
  EXPECT_EQ(Cancel(visit), u"");
  EXPECT_EQ(State("E1"), "2");
  EXPECT_EQ(Serials("E1"), (Rows{{"1", "1", "0"}}));
  EXPECT_EQ(Cancel(visit), u"");
  EXPECT_EQ(State("E1"), "0");
  EXPECT_EQ(Serials("E1"), Rows{});
  // A visit without rows gets state 0, whatever it had.
  SetState("E2", 3);
  EXPECT_EQ(Cancel(OneVisit(u"id='PE2' event_no='E2'")), u"");
  EXPECT_EQ(State("E2"), "0");
}

TEST_F(PaperRecordHandoverTest, OnlyExactlyOneCommitsTheElectronicRecordToo) {
  struct Case {
    const char* visit;
    std::u16string patient;
    Rows expected;  // PAPER_EMR_STATUS, EMR_STATUS, COMMIT_TIME, COMMITER
  };
  const Case cases[] = {
      {"E1", u"id='PE1' event_no='E1' update_emrstatus='1'", {{"1", "1", kNow, "马丽华"}}},
      {"E2", u"id='PE2' event_no='E2' update_emrstatus='true'", {{"1", "0", "", ""}}},
      {"E3", u"id='PE3' event_no='E3' update_emrstatus='01'", {{"1", "0", "", ""}}},
      {"Q'1", u"id=\"PQ'1\" event_no=\"Q'1\"", {{"1", "0", "", ""}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Commit(OneVisit(c.patient)), u"") << c.visit;
    EXPECT_EQ(db_.Query("SELECT PAPER_EMR_STATUS, EMR_STATUS, COMMIT_TIME, COMMITER FROM "
                        "TELV_VISIT_RECORD WHERE EVENT_NO = " +
                        schema::SqlText(c.visit)),
              c.expected)
        << c.visit;
  }
}

TEST_F(PaperRecordHandoverTest, AReturnCompletesTheNamedRowOfACommittedVisit) {
  ASSERT_EQ(Commit(OneVisit(u"id='PE1' event_no='E1' commit_serial='1'")), u"");
  ASSERT_EQ(Commit(OneVisit(u"id='PE1' event_no='E1'")), u"");
  EXPECT_EQ(Return(u"<root><patient_id>PE1</patient_id><event_no>E1</event_no><serial>1</serial>"
                   u"<rollback_memo>缺首页</rollback_memo></root>"),
            u"");
  EXPECT_EQ(State("E1"), "2");
  EXPECT_EQ(
      db_.Query("SELECT SERIAL, OLD_PAPER_STATUS, ROLLBACK_DATE, ROLLBACK_OPER_NAME, "
                "ROLLBACK_OPER_ID, ROLLBACK_MEMO, CHECKIN_DATE FROM "
                "TELV_PAPER_CHECKIN_RECORD ORDER BY SERIAL"),
      (Rows{{"1", "1", kNow, "马丽华", "9003", "缺首页", ""}, {"2", "0", "", "", "", "", ""}}));
  // A returned record is committed again by a new row, and a cancel of it goes back to 1.
  ASSERT_EQ(Commit(OneVisit(u"id='PE1' event_no='E1' paper_status='2'")), u"");
  ASSERT_EQ(Cancel(OneVisit(u"id='PE1' event_no='E1'")), u"");
  EXPECT_EQ(State("E1"), "2");
}

TEST_F(PaperRecordHandoverTest, ASignInCompletesTheCurrentRowWhateverSerialSays) {
  ASSERT_EQ(Commit(OneVisit(u"id='PE1' event_no='E1' commit_serial='1'")), u"");
  ASSERT_EQ(Commit(OneVisit(u"id='PE1' event_no='E1'")), u"");
  EXPECT_EQ(SignIn(u"<root><patient_id>PE1</patient_id><event_no>E1</event_no><serial>1</serial>"
                   u"<checkin_memo>完整</checkin_memo></root>"),
            u"");
  EXPECT_EQ(State("E1"), "3");
  EXPECT_EQ(
      db_.Query("SELECT SERIAL, OLD_PAPER_STATUS, CHECKIN_DATE, CHECKIN_OPER_NAME, "
                "CHECKIN_OPER_ID, CHECKIN_MEMO FROM TELV_PAPER_CHECKIN_RECORD ORDER BY SERIAL"),
      (Rows{{"1", "0", "", "", "", ""}, {"2", "1", kNow, "马丽华", "9003", "完整"}}));
  // A cancel after the sign-in removes that row and goes back to committed.
  ASSERT_EQ(Cancel(OneVisit(u"id='PE1' event_no='E1'")), u"");
  EXPECT_EQ(State("E1"), "1");
}

TEST_F(PaperRecordHandoverTest, ReturnAndSignInOutsideStateOneChangeNothing) {
  ASSERT_EQ(Commit(OneVisit(u"id='PE1' event_no='E1' commit_serial='1'")), u"");
  const std::u16string row1 =
      u"<root><patient_id>PE1</patient_id><event_no>E1</event_no><serial>1</serial></root>";
  for (int state : {2, 3, 0, 4}) {
    SetState("E1", state);
    const Rows before = Everything();
    EXPECT_EQ(Return(row1), u"纸质病历退回记录出错！") << state;
    EXPECT_EQ(SignIn(row1), u"纸质病历未提交或者数据库错误，无法签收！") << state;
    EXPECT_EQ(Everything(), before) << state;
  }
  // In state 1: a row that does not exist cannot be returned, a visit without rows not signed in.
  SetState("E1", 1);
  SetState("E2", 1);
  const Rows before = Everything();
  EXPECT_EQ(Return(u"<root><patient_id>PE1</patient_id><event_no>E1</event_no><serial>2</serial>"
                   u"</root>"),
            u"纸质病历退回记录出错！");
  EXPECT_EQ(SignIn(u"<root><patient_id>PE2</patient_id><event_no>E2</event_no><serial>1</serial>"
                   u"</root>"),
            u"纸质病历未提交或者数据库错误，无法签收！");
  EXPECT_EQ(Everything(), before);
}

TEST_F(PaperRecordHandoverTest, BadInputIsRefusedBeforeAnyStatement) {
  // The unreachable database fails any statement: each message shows none ran.
  const std::string none = kUnreachableDatabase;
  const std::u16string row =
      u"<root><patient_id>P</patient_id><event_no>E</event_no>"
      u"<serial>1</serial></root>";
  for (const char16_t* not_xml : {u"<root><patient id='P' event_no='E'>", u"<a></b>", u"text"}) {
    EXPECT_EQ(Commit(not_xml, kClerk, none), u"无效XML!") << ToUtf8(not_xml);
    EXPECT_EQ(Cancel(not_xml, none), u"无效XML!") << ToUtf8(not_xml);
    EXPECT_EQ(Return(not_xml, kClerk, none), u"无效XML!") << ToUtf8(not_xml);
    EXPECT_EQ(SignIn(not_xml, kClerk, none), u"无效XML!") << ToUtf8(not_xml);
  }
  for (const char16_t* incomplete :
       {u"", u"<root/>", u"<root><event_no>E</event_no><serial>1</serial></root>",
        u"<root><patient_id>P</patient_id><serial>1</serial></root>",
        u"<root><patient_id>P</patient_id><event_no>E</event_no><serial/></root>"}) {
    EXPECT_EQ(Return(incomplete, kClerk, none), u"纸质病历回退错误！") << ToUtf8(incomplete);
    EXPECT_EQ(SignIn(incomplete, kClerk, none), u"纸质病历签收记录错误！") << ToUtf8(incomplete);
  }
  EXPECT_EQ(Commit(OneVisit(u"id='P' event_no='E'"), u"<root><user>", none), u"解析属性信息错误.");
  EXPECT_EQ(Return(row, u"<root><user>", none), u"解析属性信息错误.");
  EXPECT_EQ(SignIn(row, u"<root><user>", none), u"解析属性信息错误.");
  // Without a `patient` the client identity is not read and nothing runs.
  for (const char16_t* nobody : {u"", u"<root/>", u"<root><patients/></root>"}) {
    EXPECT_EQ(Commit(nobody, u"<root><user>", none), u"") << ToUtf8(nobody);
    EXPECT_EQ(Cancel(nobody, none), u"") << ToUtf8(nobody);
  }
}

TEST_F(PaperRecordHandoverTest, AFailureAtTheThirdVisitLeavesNothingOfTheCall) {
  const Rows before = Everything();
  // The log's key columns are NOT NULL, and an empty text is NULL.
  for (const char16_t* third : {u"<patient event_no='E3'/>", u"<patient id='PE3'/>"}) {
    EXPECT_EQ(Commit(u"<root><patient id='PE1' event_no='E1' update_emrstatus='1'/>"
                     u"<patient id='PE2' event_no='E2'/>" +
                     std::u16string(third) + u"</root>"),
              kDatabaseErrorMessage)
        << ToUtf8(third);
    EXPECT_EQ(Everything(), before) << ToUtf8(third);
  }
}

TEST_F(PaperRecordHandoverTest, QuotesInValuesAreStoredAsWritten) {
  const std::u16string client = u"<root><user id=\"9'3\">O'Neil</user></root>";
  ASSERT_EQ(Commit(OneVisit(u"id=\"PQ'1\" event_no=\"Q'1\" commit_serial='1' "
                            u"commit_memo=\"it's ' OR '1'='1\""),
                   client),
            u"");
  EXPECT_EQ(Return(u"<root><patient_id>PQ'1</patient_id><event_no>Q'1</event_no>"
                   u"<serial>1</serial><rollback_memo>don't</rollback_memo></root>",
                   client),
            u"");
  EXPECT_EQ(db_.Query("SELECT PATIENT_ID, EVENT_NO, COMMIT_OPER_NAME, COMMIT_OPER_ID, "
                      "COMMIT_MEMO, ROLLBACK_OPER_NAME, ROLLBACK_MEMO FROM "
                      "TELV_PAPER_CHECKIN_RECORD"),
            (Rows{{"PQ'1", "Q'1", "O'Neil", "9'3", "it's ' OR '1'='1", "O'Neil", "don't"}}));
  EXPECT_EQ(State("Q'1"), "2");
  EXPECT_EQ(State("E1"), "0");
}

}  // namespace
}  // namespace korvalis::archive::testing
