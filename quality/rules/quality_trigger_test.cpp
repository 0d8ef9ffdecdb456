#include "quality/rules/quality_trigger.h"

#include "classes/quality_trigger_class.h"
#include "quality/rules/testing/rule_test_util.h"

namespace korvalis::rules::testing {
namespace {

using schema::RuleInstanceRow;

class QualityTriggerTest : public RuleDatabaseTest {
 protected:
  void SetUp() override {
    RuleDatabaseTest::SetUp();
    db().AddPatient({.id = "P1"});
    db().AddVisit({.patient_id = "P1", .event_no = "E1"});
  }

  using Body = long (*)(CEMRDataSource*, BSTR, BSTR, BSTR);
  // Runs a body of the trigger for P1/E1 with the event; answers its failure, "" for none.
  static std::u16string Fire(Body body, const std::u16string& event) {
    ScopedBstr p(u"P1"), e(u"E1"), d(event);
    return Run([&](CEMRDataSource* source) { body(source, p.get(), e.get(), d.get()); });
  }
  static std::u16string FireOpen(const std::u16string& event) {
    return Fire(&CBQualityTrigger::FireOpen, event);
  }
  static std::u16string FireClose(const std::u16string& event) {
    return Fire(&CBQualityTrigger::FireClose, event);
  }
  static std::u16string Cancel(const std::u16string& event) {
    return Fire(
        [](CEMRDataSource* source, BSTR p, BSTR e, BSTR d) -> long {
          CancelRulesOfEvent(source, p, e, d);
          return 0;
        },
        event);
  }

  // An instance of P1/E1.
  static void AddInstance(RuleInstanceRow row) {
    row.patient_id = "P1";
    row.event_no = "E1";
    if (row.start_time.empty()) row.start_time = "2026-12-06 08:00:00";
    if (row.over_time.empty()) row.over_time = "2026-12-07 08:00:00";
    db().AddRuleInstance(row);
  }
  static void MarkReopened(int serial) {
    db().Execute("UPDATE PEV_TIME_RULE_RECORD SET REOPEN = 1 WHERE SERIAL = " +
                 std::to_string(serial));
  }

  static std::string P1Statuses() { return Statuses("P1", "E1"); }

  suite::testing::SiblingDoubles doubles_;
  SharedClock clock_{doubles_, "2026-12-07 12:00:00"};
  EventLogCapture event_log_;
};

// ---- FireOpen ----

TEST_F(QualityTriggerTest, AnEventOpensItsRulesWithTheirDeadlinesButNoRuleWithoutAnEmrType) {
  db().AddRule({.id = 1, .emr_types = {2}, .time_out = 24, .open_events = {"A01"}});
  db().AddRule({.id = 2, .emr_types = {}, .time_out = 8, .open_events = {"A01"}});  // skipped
  db().AddRule({.id = 3, .emr_types = {}, .time_out = 8, .open_events = {"A01"}});
  db().Execute("UPDATE PEV_RULE SET EMR_TYPE = 8 WHERE ID = 3");  // its type in PEV_RULE alone
  db().AddRule({.id = 4, .emr_types = {5}, .open_events = {"B01"}});
  BindEvent("A01", 4, 3);  // cancelling, not opening
  EXPECT_EQ(FireOpen(OpenEvent(u"2026-12-07 08:00:00")), u"");
  EXPECT_EQ(Instances("SERIAL, RULE_ID, START_TIME, OVER_TIME, STATUS, OPEN_EVENT_CODE"),
            (std::vector<std::string>{"1|1|2026-12-07 08:00:00|2026-12-08 08:00:00|1|A01",
                                      "2|3|2026-12-07 08:00:00|2026-12-07 16:00:00|1|A01"}));

  // An event that opens no rule succeeds without doing anything.
  EXPECT_EQ(FireOpen(OpenEvent(u"2026-12-07 09:00:00", u"Z99")), u"");
  EXPECT_EQ(P1Statuses(), "1:1 2:1");
}

TEST_F(QualityTriggerTest, AnOpenedInstanceIsClosedAtOnceByARecordTheVisitHolds) {
  db().AddRule({.id = 1, .emr_types = {2}, .time_out = 24, .open_events = {"A01"}});
  db().AddRule({.id = 2, .emr_types = {8}, .time_out = 8, .open_events = {"A01"}});
  const std::string record = db().AddRecord({.patient_id = "P1",
                                             .event_no = "E1",
                                             .emr_type = 8,
                                             .creator_id = "1003",
                                             .creator = "陈浩然",
                                             .create_date = "2026-12-07 07:00:00",
                                             .confirm_time = "2026-12-07 09:30:00"});
  EXPECT_EQ(FireOpen(OpenEvent(u"2026-12-07 08:00:00")), u"");
  EXPECT_EQ(
      Instances("RULE_ID, STATUS, EMR_ID, FINISH_TIME, OVER_HOUR, USER_NAME"),
      (std::vector<std::string>{"1|1||||", "2|2|" + record + "|2026-12-07 09:30:00|0|陈浩然"}));
}

TEST_F(QualityTriggerTest, OpeningARuleUndoesTheOpenInstancesOfTheRulesItOpposes) {
  db().AddRule({.id = 1, .emr_types = {2}, .time_out = 24, .open_events = {"A03"}});
  db().AddRule({.id = 7, .emr_types = {10}});
  Oppose(1, 7);
  AddInstance({.serial = 1, .rule_id = 7, .status = 1});
  AddInstance({.serial = 2, .rule_id = 7, .status = 2, .emr_id = "R0"});
  db().AddPatient({.id = "P2"});
  db().AddRuleInstance({.patient_id = "P2",
                        .event_no = "E2",
                        .rule_id = 7,
                        .start_time = "2026-12-06 08:00:00",
                        .over_time = "2026-12-07 08:00:00"});
  EXPECT_EQ(FireOpen(OpenEvent(u"2026-12-07 08:00:00", u"A03")), u"");
  EXPECT_EQ(P1Statuses(), "1:0 2:2 3:1");
  EXPECT_EQ(Statuses("P2", "E2"), "1:1");  // another visit keeps its instance
}

// ---- FireClose ----

TEST_F(QualityTriggerTest, AClosedInstanceIsFollowedFromItsDeadlineWhileTheVisitIsInHospital) {
  db().AddRule({.id = 1, .emr_types = {2}, .quantity = "3", .time_out = 24});
  AddInstance({.serial = 1, .rule_id = 1});  // deadline 2026-12-07 08:00
  EXPECT_EQ(FireClose(CloseEvent(u"2026-12-07 12:30:00", u"R1", u"2")), u"");
  EXPECT_EQ(Instances("STATUS, START_TIME, OVER_TIME, EMR_ID, OVER_HOUR, OPEN_EVENT_CODE"),
            (std::vector<std::string>{"2|2026-12-06 08:00:00|2026-12-07 08:00:00|R1|4|A01",
                                      "1|2026-12-07 08:00:00|2026-12-08 08:00:00|||A01"}));

  // A discharged visit gets no next instance: by its discharge time, or its department alone.
  db().Execute("UPDATE TELV_VISIT_RECORD SET OUT_TIME = SYSDATE WHERE PATIENT_ID = 'P1'");
  EXPECT_EQ(FireClose(CloseEvent(u"2026-12-07 13:00:00", u"R2", u"2")), u"");
  EXPECT_EQ(P1Statuses(), "1:2 2:2");
  db().Execute(
      "UPDATE TELV_VISIT_RECORD SET OUT_TIME = NULL, OUT_DEPT_ID = '0101' WHERE PATIENT_ID = "
      "'P1'");
  AddInstance({.serial = 3, .rule_id = 1, .start_time = "2026-12-07 10:00:00"});
  EXPECT_EQ(FireClose(CloseEvent(u"2026-12-07 13:00:00", u"R3", u"2")), u"");
  EXPECT_EQ(P1Statuses(), "1:2 2:2 3:2");
}

TEST_F(QualityTriggerTest, ARuleOfOneOccurrenceHasNoNextInstance) {
  db().AddRule({.id = 1, .emr_types = {2}, .quantity = "1", .time_out = 24});
  AddInstance({.serial = 1, .rule_id = 1});
  EXPECT_EQ(FireClose(CloseEvent(u"2026-12-07 06:00:00", u"R1", u"2")), u"");
  EXPECT_EQ(Instances("STATUS, OVER_HOUR"), std::vector<std::string>{"2|0"});
}

TEST_F(QualityTriggerTest, EveryOpenInstanceOfACoveredRuleIsClosedInTurn) {
  db().AddRule({.id = 3, .emr_types = {15}, .quantity = "0", .time_out = 6});
  db().AddRule({.id = 4, .emr_types = {16}, .quantity = "0", .time_out = 6});
  AddInstance({.serial = 1,
               .rule_id = 3,
               .start_time = "2026-12-07 01:00:00",
               .over_time = "2026-12-07 07:00:00"});
  AddInstance({.serial = 2,
               .rule_id = 3,
               .start_time = "2026-12-07 02:00:00",
               .over_time = "2026-12-07 08:00:00"});
  AddInstance({.serial = 3, .rule_id = 4});                        // of another type
  db().Execute("UPDATE PEV_RULE SET EMR_TYPE = 15 WHERE ID = 3");  // both columns name type 15
  EXPECT_EQ(FireClose(CloseEvent(u"2026-12-07 09:00:00", u"R1", u"15")), u"");
  // Both are closed by the record; the next instance follows the last one closed, once no
  // instance of the rule is open.
  EXPECT_EQ(
      Instances("SERIAL, RULE_ID, STATUS, START_TIME, EMR_ID"),
      (std::vector<std::string>{"1|3|2|2026-12-07 01:00:00|R1", "2|3|2|2026-12-07 02:00:00|R1",
                                "3|4|1|2026-12-06 08:00:00|", "4|3|1|2026-12-07 08:00:00|"}));
}

TEST_F(QualityTriggerTest, AReopenedInstanceOfAnUnlimitedRuleResumesOneSuspendedInsteadOfANew) {
  db().AddRule({.id = 1, .emr_types = {2}, .quantity = "0", .time_out = 24});
  AddInstance({.serial = 1, .rule_id = 1});
  MarkReopened(1);
  for (int serial : {2, 3}) {
    AddInstance({.serial = serial, .rule_id = 1, .start_time = "2026-12-07 08:00:00", .status = 3});
  }
  EXPECT_EQ(FireClose(CloseEvent(u"2026-12-07 10:00:00", u"R1", u"2")), u"");
  // Opening a next instance would have resumed both.
  EXPECT_EQ(Instances("STATUS, REOPEN"), (std::vector<std::string>{"2|1", "1|", "3|"}));

  // Without a reopened instance the next one is opened, which resumes every suspended one.
  db().Execute("UPDATE PEV_TIME_RULE_RECORD SET STATUS = 3 WHERE SERIAL = 3");
  EXPECT_EQ(FireClose(CloseEvent(u"2026-12-07 11:00:00", u"R2", u"2")), u"");
  EXPECT_EQ(P1Statuses(), "1:2 2:2 3:1");
}

TEST_F(QualityTriggerTest, TheRulesTheOpeningEventCancelsResumeOnceNoReopenedInstanceStaysOpen) {
  db().AddRule({.id = 1, .emr_types = {2}, .quantity = "0", .time_out = 24});
  db().AddRule({.id = 2, .emr_types = {8}, .quantity = "0", .time_out = 24});
  db().AddRule({.id = 9, .emr_types = {9}, .quantity = "0", .time_out = 24});
  BindEvent("A01", 9, 3);
  AddInstance({.serial = 1, .rule_id = 1});
  MarkReopened(1);
  AddInstance({.serial = 2, .rule_id = 2});
  MarkReopened(2);
  AddInstance({.serial = 3, .rule_id = 9, .status = 3});
  // The reopened instance of rule 2 that A01 opened is still open: rule 9 waits.
  EXPECT_EQ(FireClose(CloseEvent(u"2026-12-07 10:00:00", u"R1", u"2")), u"");
  EXPECT_EQ(P1Statuses(), "1:2 2:1 3:3");
  EXPECT_EQ(FireClose(CloseEvent(u"2026-12-07 11:00:00", u"R2", u"8")), u"");
  EXPECT_EQ(P1Statuses(), "1:2 2:2 3:1");
}

TEST_F(QualityTriggerTest, ADischargedVisitResumesNothing) {
  db().Execute("UPDATE TELV_VISIT_RECORD SET OUT_TIME = SYSDATE, OUT_DEPT_ID = '0101'");
  db().AddRule({.id = 1, .emr_types = {2}, .quantity = "0", .time_out = 24});
  AddInstance({.serial = 1, .rule_id = 1});
  MarkReopened(1);
  AddInstance({.serial = 2, .rule_id = 1, .status = 3});
  EXPECT_EQ(FireClose(CloseEvent(u"2026-12-07 10:00:00", u"R1", u"2")), u"");
  EXPECT_EQ(P1Statuses(), "1:2 2:3");
}

TEST_F(QualityTriggerTest, AnInstanceOfARuleNoLongerLiveIsClosedWithoutANextOne) {
  db().AddRule({.id = 1, .emr_types = {2}, .quantity = "0", .time_out = 24, .status = 0});
  AddInstance({.serial = 1, .rule_id = 1});
  EXPECT_EQ(FireClose(CloseEvent(u"2026-12-07 10:00:00", u"R1", u"2")), u"");
  EXPECT_EQ(P1Statuses(), "1:2");
}

TEST_F(QualityTriggerTest, ARecordTypeThatIsNoNumberIsRefusedBeforeAnyStatement) {
  db().AddRule({.id = 1, .emr_types = {2}, .quantity = "0", .time_out = 24});
  AddInstance({.serial = 1, .rule_id = 1});
  EXPECT_EQ(FireClose(CloseEvent(u"2026-12-07 10:00:00", u"R1", u"abc")),
            u"不是有效的数字: 'abc' (extend/emr_type)");
  EXPECT_EQ(FireClose(EventDocument{{{u"code", u"E03"}, {u"type", u"1"}}}.Xml()),
            u"不是有效的数字: '' (extend/emr_type)");
  EXPECT_EQ(FireClose(u"<root"), u"无效XML!");
  EXPECT_EQ(P1Statuses(), "1:1");
}

// ---- Cancelling ----

TEST_F(QualityTriggerTest, AnEventCancelsEveryInstanceOfAOnceRuleAndTheActiveOnesOfOthers) {
  db().AddRule({.id = 4, .emr_types = {10}, .quantity = "1"});
  db().AddRule({.id = 5, .emr_types = {11}, .quantity = "0"});
  db().AddRule({.id = 6, .emr_types = {12}, .quantity = "1"});  // not bound
  BindEvent("A02", 4, 3);
  BindEvent("A02", 5, 3);
  int serial = 0;
  for (int rule : {4, 5, 6}) {
    for (int status : {0, 1, 2, 3})
      AddInstance({.serial = ++serial, .rule_id = rule, .status = status});
  }
  EXPECT_EQ(Cancel(OpenEvent(u"2026-12-07 08:00:00", u"A02")), u"");
  EXPECT_EQ(P1Statuses(), "5:0 7:2 9:0 10:1 11:2 12:3");
}

TEST_F(QualityTriggerTest, ACancelNamingARecordRemovesOnlyThatRecordsInstances) {
  db().AddRule({.id = 4, .emr_types = {10}, .quantity = "1"});
  BindEvent("A02", 4, 3);
  AddInstance({.serial = 1, .rule_id = 4, .status = 2, .emr_id = "R1"});
  AddInstance({.serial = 2, .rule_id = 4, .status = 2, .emr_id = "R2"});
  EXPECT_EQ(Cancel(EventDocument{{{u"code", u"A02"}}, {{u"emr_id", u"R1"}}}.Xml()), u"");
  EXPECT_EQ(P1Statuses(), "2:2");
}

TEST_F(QualityTriggerTest, CancelThroughTheClassChangesNothing) {
  db().AddRule({.id = 4, .emr_types = {10}, .quantity = "1"});
  AddInstance({.serial = 1, .rule_id = 4});
  IQualityTrigger* trigger = nullptr;
  ASSERT_EQ(CreateQualityTrigger(nullptr, IID_IQualityTrigger, reinterpret_cast<void**>(&trigger)),
            S_OK);
  ScopedBstr p(u"P1"), e(u"E1");
  EXPECT_EQ(trigger->Cancel(p.get(), e.get(), 1), S_OK);
  trigger->Release();
  EXPECT_EQ(P1Statuses(), "1:1");
}

}  // namespace
}  // namespace korvalis::rules::testing
