#include "quality/rules/quality_rule.h"

#include <algorithm>
#include <thread>

#include "classes/quality_rule_class.h"
#include "foundation/log/event_log_entry.h"
#include "foundation/xml/xml_property.h"
#include "interface/emr_call_scope.h"
#include "quality/rules/testing/rule_test_util.h"

namespace korvalis::rules::testing {
namespace {

using schema::RecordRow;
using schema::RuleInstanceRow;
using schema::RuleRow;

// The property document of a rule as the rule administration gives it.
std::u16string RuleDocument(const std::u16string& id, const std::u16string& quantity,
                            const std::u16string& time_out,
                            const std::u16string& emr_type = u";2;") {
  return CXmlProperty(CXmlProperty::Map{{u"id", id},
                                        {u"quantity", quantity},
                                        {u"time_out", time_out},
                                        {u"emr_type", emr_type},
                                        {u"name", u"规则" + id}})
      .ToXml();
}

class QualityRuleEngineTest : public RuleDatabaseTest {
 protected:
  // Opens for visit P1/E1 unless another visit is given; answers the serial, `initial` when
  // nothing was inserted.
  static LONG Open(const std::u16string& rule, const std::u16string& event, LONG initial = 0,
                   const std::u16string& patient_id = u"P1",
                   const std::u16string& event_no = u"E1") {
    LONG serial = initial;
    ScopedBstr p(patient_id), e(event_no), r(rule), d(event);
    EXPECT_EQ(Run([&](CEMRDataSource* source) {
                CBQualityRule::Open(source, p.get(), e.get(), r.get(), d.get(), &serial);
              }),
              u"");
    return serial;
  }

  // Closes an instance of `rule_id` in P1/E1; answers Close's result, the serial in `closed`.
  static long Close(const std::u16string& rule_id, const std::u16string& event,
                    LONG* closed = nullptr) {
    long result = 1;
    ScopedBstr p(u"P1"), e(u"E1"), r(rule_id), d(event);
    LONG serial = -1;
    EXPECT_EQ(Run([&](CEMRDataSource* source) {
                result = CBQualityRule::Close(source, p.get(), e.get(), r.get(), d.get(), &serial);
              }),
              u"");
    if (closed != nullptr) *closed = serial;
    return result;
  }

  static std::u16string CloseFailure(const std::u16string& rule_id, const std::u16string& event) {
    ScopedBstr p(u"P1"), e(u"E1"), r(rule_id), d(event);
    LONG serial = -1;
    return Run([&](CEMRDataSource* source) {
      CBQualityRule::Close(source, p.get(), e.get(), r.get(), d.get(), &serial);
    });
  }

  static bool AutoClose(long serial, const std::u16string& code = u"A01") {
    bool closed = false;
    EXPECT_EQ(Run([&](CEMRDataSource* source) {
                closed = AutoCloseByExistingEmr(source, u"P1", u"E1", serial, code);
              }),
              u"");
    return closed;
  }

  // The columns of one instance of P1/E1.
  static std::vector<std::string> Instance(int serial, const std::string& columns) {
    const auto rows = Rows("SELECT " + columns +
                           " FROM PEV_TIME_RULE_RECORD WHERE PATIENT_ID = 'P1' AND EVENT_NO = "
                           "'E1' AND SERIAL = " +
                           std::to_string(serial));
    return rows.empty() ? std::vector<std::string>() : rows.front();
  }

  static void AddInstance(RuleInstanceRow row) {
    if (row.patient_id.empty()) row.patient_id = "P1";
    if (row.event_no.empty()) row.event_no = "E1";
    if (row.start_time.empty()) row.start_time = "2026-12-07 08:00:00";
    if (row.over_time.empty()) row.over_time = "2026-12-08 08:00:00";
    db().AddRuleInstance(row);
  }

  suite::testing::SiblingDoubles doubles_;
  SharedClock clock_{doubles_, "2026-12-07 12:00:00"};
  EventLogCapture event_log_;
};

// ---- Open ----

TEST_F(QualityRuleEngineTest, OpenInsertsTheFirstInstanceWithItsDeadline) {
  EXPECT_EQ(Open(RuleDocument(u"1", u"1", u"24", u";2;8;"), OpenEvent(u"2026-12-07 08:00:00")), 1);
  EXPECT_EQ(Instance(1,
                     "RULE_ID, START_TIME, OVER_TIME, STATUS, EMR_TYPE, OPEN_EVENT_CODE, "
                     "SUPERIOR_SIGN_FLAG, EMR_ID, USER_ID, REOPEN"),
            (std::vector<std::string>{"1", "2026-12-07 08:00:00", "2026-12-08 08:00:00", "1", "2",
                                      "A01", "0", "", "", ""}));
  // A negative time-out puts the start before the trigger and the deadline at it; a rule
  // without EMR types opens with none; the time-out is read as a whole number.
  EXPECT_EQ(Open(RuleDocument(u"2", u"1", u"-2", u""), OpenEvent(u"2026-12-07 08:00")), 2);
  EXPECT_EQ(Instance(2, "START_TIME, OVER_TIME, EMR_TYPE"),
            (std::vector<std::string>{"2026-12-07 06:00:00", "2026-12-07 08:00:00", ""}));
  EXPECT_EQ(Open(RuleDocument(u"3", u"1", u"1.5"), OpenEvent(u"2026-12-31 23:30:00")), 3);
  EXPECT_EQ(Instance(3, "OVER_TIME"), std::vector<std::string>{"2027-01-01 00:30:00"});
}

TEST_F(QualityRuleEngineTest, ARepeatedTriggerOfARuleWithANegativeTimeOutOpensNoSecondInstance) {
  const std::u16string rule = RuleDocument(u"1", u"1", u"-2");
  EXPECT_EQ(Open(rule, OpenEvent(u"2026-12-07 08:00:00")), 1);
  EXPECT_EQ(Open(rule, OpenEvent(u"2026-12-07 08:00:00")), 0);
  EXPECT_EQ(Statuses("P1", "E1"), "1:1");
}

TEST_F(QualityRuleEngineTest, TheGatesOfQuantityOneZeroAndTwo) {
  const std::u16string once = RuleDocument(u"1", u"1", u"24");
  EXPECT_EQ(Open(once, OpenEvent(u"2026-12-07 08:00:00")), 1);
  EXPECT_EQ(Open(once, OpenEvent(u"2026-12-07 08:00:00")), 0);  // the same time
  EXPECT_EQ(Open(once, OpenEvent(u"2026-12-07 09:00:00")), 2);  // another time
  db().Execute(
      "UPDATE PEV_TIME_RULE_RECORD SET STATUS = 2, FINISH_TIME = OVER_TIME WHERE "
      "SERIAL = 1");
  EXPECT_EQ(Open(once, OpenEvent(u"2026-12-07 10:00:00")), 0);  // one has finished
  EXPECT_EQ(Statuses("P1", "E1"), "1:2 2:1");

  const std::u16string unlimited = RuleDocument(u"2", u"0", u"6");
  EXPECT_EQ(Open(unlimited, OpenEvent(u"2026-12-07 08:00:00")), 3);
  EXPECT_EQ(Open(unlimited, OpenEvent(u"2026-12-07 11:00:00")), 0);  // any open one blocks

  const std::u16string twice = RuleDocument(u"3", u"2", u"6");
  for (int serial = 10; serial < 12; ++serial) {
    AddInstance({.serial = serial,
                 .rule_id = 3,
                 .status = 2,
                 .finish_time = "2026-12-07 09:00:00",
                 .over_hour = 0});
  }
  EXPECT_EQ(Open(twice, OpenEvent(u"2026-12-07 12:00:00")), 0);  // 2 finished
  AddInstance({.serial = 12, .rule_id = 3, .status = 2, .finish_time = "2026-12-07 10:00:00"});
  EXPECT_EQ(Open(twice, OpenEvent(u"2026-12-07 12:00:00")), 13);  // 3 finished
}

TEST_F(QualityRuleEngineTest, ASuspendedInstanceIsOpenedAgainInsteadOfANewOne) {
  AddInstance({.serial = 1, .rule_id = 1, .status = 3});
  AddInstance({.serial = 2, .rule_id = 1, .status = 3});
  AddInstance({.serial = 3, .rule_id = 2, .status = 3});
  EXPECT_EQ(Open(RuleDocument(u"1", u"0", u"24"), OpenEvent(u"2026-12-07 10:00:00"), 77), 77);
  EXPECT_EQ(Statuses("P1", "E1"), "1:1 2:1 3:3");
  EXPECT_EQ(Instance(1, "START_TIME, OVER_TIME"),
            (std::vector<std::string>{"2026-12-07 08:00:00", "2026-12-08 08:00:00"}));
}

TEST_F(QualityRuleEngineTest, ATriggerTimeThatIsNoDateIsLoggedAndOpensNothingWhateverTheQuantity) {
  for (const char16_t* quantity : {u"1", u"0"}) {
    event_log_.Clear();
    EXPECT_EQ(Open(RuleDocument(u"1", quantity, u"24"), OpenEvent(u"yesterday", u"A'01"), 5), 5);
    const auto records = event_log_.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].type, CEventLogEntry::kError);
    EXPECT_EQ(records[0].text,
              u"解析规则触发时间出错,病人ID:P1, 住院事件号:E1, 事件代码:A'01, "
              u"触发时间:yesterday");
  }
  EXPECT_EQ(Statuses("P1", "E1"), "");
}

TEST_F(QualityRuleEngineTest, SuperiorSignatureInstancesNeedTheRecordAndTheSuperior) {
  const std::u16string rule = RuleDocument(u"1", u"0", u"72");
  const std::u16string signed_record = EventDocument{
      {{u"code", u"S01"}, {u"type", u"3"}, {u"time", u"2026-12-07 08:00:00"}},
      {{u"emr_id", u"R1"},
       {u"user_id", u"1002"},
       {u"user_name", u"刘静怡"}}}.Xml();
  EXPECT_EQ(Open(rule, signed_record), 1);
  EXPECT_EQ(Instance(1, "SUPERIOR_SIGN_FLAG, EMR_ID, USER_ID, USER_NAME, OPEN_EVENT_CODE"),
            (std::vector<std::string>{"1", "R1", "1002", "刘静怡", "S01"}));

  const std::u16string no_superior = EventDocument{
      {{u"code", u"S01"}, {u"type", u"3"}, {u"time", u"2026-12-09 08:00:00"}},
      {{u"emr_id", u"R2"}}}.Xml();
  EXPECT_EQ(Open(RuleDocument(u"2", u"0", u"72"), no_superior, 9), 9);
  const auto records = event_log_.Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].text,
            u"打开签名规则需要病历ID、上级医生ID, 病人ID:P1, 住院事件号:E1, 事件代码:S01, "
            u"触发时间:2026-12-09 08:00:00");
  EXPECT_EQ(Statuses("P1", "E1"), "1:1");
}

TEST_F(QualityRuleEngineTest, OpenKeepsQuotesAsDataAndRefusesBareValuesThatAreNoNumbers) {
  EXPECT_EQ(Open(RuleDocument(u"1", u"1", u"24"), OpenEvent(u"2026-12-07 08:00:00", u"A'1"), 0,
                 u"P'1", u"E1' OR '1'='1"),
            1);
  EXPECT_EQ(Rows("SELECT PATIENT_ID, EVENT_NO, OPEN_EVENT_CODE FROM PEV_TIME_RULE_RECORD"),
            (std::vector<std::vector<std::string>>{{"P'1", "E1' OR '1'='1", "A'1"}}));

  ScopedBstr p(u"P1"), e(u"E1"), event(OpenEvent(u"2026-12-07 08:00:00"));
  for (const auto& [rule, message] :
       {std::pair{RuleDocument(u"1 OR 1=1", u"1", u"24"),
                  std::u16string(u"不是有效的数字: '1 OR 1=1' (id)")},
        std::pair{RuleDocument(u"1", u"1", u"24", u"2);DROP TABLE PEV_RULE;--"),
                  std::u16string(u"不是有效的数字: '2)' (emr_type)")},
        std::pair{RuleDocument(u"1", u"1", u"9999999999"),
                  std::u16string(u"规则时限超出日期范围: 9999999999")}}) {
    ScopedBstr r(rule);
    LONG serial = 0;
    EXPECT_EQ(Run([&](CEMRDataSource* source) {
                CBQualityRule::Open(source, p.get(), e.get(), r.get(), event.get(), &serial);
              }),
              message);
  }
  EXPECT_EQ(Statuses("P1", "E1"), "");
}

// ---- Close ----

TEST_F(QualityRuleEngineTest, LatenessIsCountedInWholeHoursAfterTheDeadline) {
  const std::pair<const char16_t*, const char*> kCloses[] = {
      {u"2026-12-08 08:00:00", "0"}, {u"2026-12-08 08:59:00", "0"}, {u"2026-12-08 09:00:00", "1"},
      {u"2026-12-08 09:30:00", "1"}, {u"2026-12-08 05:00:00", "0"}, {u"2026-12-10 07:59:59", "47"}};
  int serial = 0;
  for (const auto& [time, over_hour] : kCloses) {
    SCOPED_TRACE(ToUtf8(time));
    SetUp();
    AddInstance({.serial = ++serial, .rule_id = 1});
    LONG closed = 0;
    EXPECT_EQ(Close(u"1", CloseEvent(time, u"R1", u"2"), &closed), 0);
    EXPECT_EQ(closed, serial);
    EXPECT_EQ(Instance(serial, "OVER_HOUR, STATUS, FINISH_TIME"),
              (std::vector<std::string>{over_hour, "2", ToUtf8(time)}));
  }
}

TEST_F(QualityRuleEngineTest, CloseTakesTheEarliestOpenInstanceOnceAndWritesTheRecordAndUser) {
  AddInstance({.serial = 1, .rule_id = 1, .start_time = "2026-12-07 09:00:00"});
  AddInstance({.serial = 2, .rule_id = 1, .start_time = "2026-12-07 07:00:00"});
  AddInstance({.serial = 3, .rule_id = 2, .start_time = "2026-12-07 06:00:00"});
  LONG closed = 0;
  EXPECT_EQ(Close(u"1", CloseEvent(u"2026-12-07 10:00:00", u"R1", u"8"), &closed), 0);
  EXPECT_EQ(closed, 2);
  EXPECT_EQ(Instance(2,
                     "STATUS, EMR_ID, EMR_TYPE, USER_ID, USER_NAME, CLOSE_EVENT_CODE, "
                     "FINISH_TIME, OVER_HOUR"),
            (std::vector<std::string>{"2", "R1", "8", "1003", "陈浩然", "E03",
                                      "2026-12-07 10:00:00", "0"}));
  // The same record closes no second instance of the rule (the document element names it).
  const std::u16string again = EventDocument{
      {{u"code", u"E03"}, {u"type", u"1"}, {u"time", u"2026-12-07 11:00:00"}, {u"emr_id", u"R1"}},
      {{u"emr_id", u"R1"},
       {u"emr_type", u"8"}}}.Xml();
  closed = 0;
  EXPECT_EQ(Close(u"1", again, &closed), E_FAIL);
  EXPECT_EQ(closed, -1);  // left as it was
  EXPECT_EQ(Statuses("P1", "E1"), "1:1 2:2 3:1");
  EXPECT_EQ(Close(u"4", CloseEvent(u"2026-12-07 10:00:00", u"R2", u"8")), E_FAIL);
}

TEST_F(QualityRuleEngineTest,
       SuperiorSignatureInstancesAreClosedOnlyByATypeFourEventOfTheirRecord) {
  AddInstance({.serial = 1, .rule_id = 1, .emr_id = "R1", .superior_sign_flag = 1});
  AddInstance({.serial = 2, .rule_id = 1, .emr_id = "R2", .superior_sign_flag = 1});
  AddInstance({.serial = 3, .rule_id = 1, .start_time = "2026-12-07 09:00:00"});
  EXPECT_EQ(Close(u"1", CloseEvent(u"2026-12-07 10:00:00", u"R2", u"2", u"4", u"S02")), 0);
  EXPECT_EQ(Statuses("P1", "E1"), "1:1 2:2 3:1");
  EXPECT_EQ(Close(u"1", CloseEvent(u"2026-12-07 10:00:00", u"R1", u"2", u"1")), 0);
  EXPECT_EQ(Statuses("P1", "E1"), "1:1 2:2 3:2");
  EXPECT_EQ(Close(u"1", CloseEvent(u"2026-12-07 10:00:00", u"R1", u"2", u"1")), E_FAIL);
  EXPECT_EQ(Close(u"1", CloseEvent(u"2026-12-07 10:00:00", u"R3", u"2", u"4")), E_FAIL);
}

TEST_F(QualityRuleEngineTest, AnInstanceWithoutLimitIsNotClosedBeforeItsStart) {
  db().AddRule({.id = 1, .name = "抢救记录", .emr_types = {15}, .quantity = "0", .time_out = 6});
  db().AddRule({.id = 2, .name = "入院记录", .emr_types = {2}, .quantity = "1"});
  AddInstance({.serial = 1, .rule_id = 1, .start_time = "2026-12-07 11:00:00"});
  AddInstance({.serial = 2, .rule_id = 2, .start_time = "2026-12-07 11:00:00"});
  EXPECT_EQ(Close(u"1", CloseEvent(u"2026-12-07 10:00:00", u"R1", u"15")), E_FAIL);
  EXPECT_EQ(Close(u"2", CloseEvent(u"2026-12-07 10:00:00", u"R1", u"2")), 0);
  EXPECT_EQ(Statuses("P1", "E1"), "1:1 2:2");
}

TEST_F(QualityRuleEngineTest, ACloseEventThatCannotBeWrittenIsRefusedBeforeAnyStatement) {
  AddInstance({.serial = 1, .rule_id = 1});
  EXPECT_EQ(CloseFailure(u"1 OR 1=1", CloseEvent(u"2026-12-07 10:00:00", u"R1", u"2")),
            u"不是有效的数字: '1 OR 1=1' (bstrRuleId)");
  EXPECT_EQ(CloseFailure(u"1", CloseEvent(u"2026-12-07 10:00:00", u"R1", u"")),
            u"不是有效的数字: '' (extend/emr_type)");
  EXPECT_EQ(CloseFailure(u"1", CloseEvent(u"2026-12-07 10:00:00", u"R1", u"2, STATUS = 0")),
            u"不是有效的数字: '2, STATUS = 0' (extend/emr_type)");
  EXPECT_EQ(CloseFailure(u"1", CloseEvent(u"", u"R1", u"2")),
            u"解析规则关闭时间出错,病人ID:P1, 住院事件号:E1, 事件代码:E03, 关闭时间:");
  EXPECT_EQ(CloseFailure(u"1", u"<root><code>"), u"无效XML!");
  EXPECT_EQ(Instance(1, "STATUS, FINISH_TIME, EMR_ID"), (std::vector<std::string>{"1", "", ""}));
}

// ---- AutoCloseByExistingEmr ----

class AutoCloseTest : public QualityRuleEngineTest {
 protected:
  void SetUp() override {
    QualityRuleEngineTest::SetUp();
    db().AddPatient({.id = "P1"});
    db().AddVisit({.patient_id = "P1", .event_no = "E1"});
    db().AddRule({.id = 1, .name = "入院记录", .emr_types = {2}, .quantity = "1"});
    db().AddRule({.id = 2, .name = "抢救记录", .emr_types = {15}, .quantity = "0"});
    AddInstance({.serial = 1, .rule_id = 1});
  }
};

TEST_F(AutoCloseTest, AnExistingRecordOfTheRulesTypeClosesTheInstanceOnTimeWhateverItsTime) {
  db().AddRecord({.id = "R0", .patient_id = "P1", .event_no = "E1", .emr_type = 3});
  db().AddRecord({.id = "R9", .patient_id = "P1", .event_no = "E1", .emr_type = 2, .status = 0});
  db().AddRecord({.id = "R1",
                  .patient_id = "P1",
                  .event_no = "E1",
                  .emr_type = 2,
                  .creator_id = "1003",
                  .creator = "陈浩然",
                  .create_date = "2026-12-05 10:00:00",
                  .confirm_time = "2026-12-09 20:00:00"});
  EXPECT_TRUE(AutoClose(1));
  EXPECT_EQ(
      Instance(1,
               "STATUS, OVER_HOUR, FINISH_TIME, EMR_ID, EMR_TYPE, USER_ID, USER_NAME, "
               "CLOSE_EVENT_CODE"),
      (std::vector<std::string>{"2", "0", "2026-12-09 20:00:00", "R1", "2", "1003", "陈浩然", ""}));
  // The record has closed an instance of the rule: it closes no second one.
  AddInstance({.serial = 2, .rule_id = 1});
  EXPECT_FALSE(AutoClose(2));
  // Without a confirmation time, the creation date.
  db().AddRecord({.id = "R2",
                  .patient_id = "P1",
                  .event_no = "E1",
                  .emr_type = 2,
                  .create_date = "2026-12-06 09:00:00"});
  EXPECT_TRUE(AutoClose(2));
  EXPECT_EQ(Instance(2, "FINISH_TIME, EMR_ID"),
            (std::vector<std::string>{"2026-12-06 09:00:00", "R2"}));
}

TEST_F(AutoCloseTest, NothingForV03ToV05ForNoInstanceAndForARuleWithoutLimit) {
  db().AddRecord({.id = "R1", .patient_id = "P1", .event_no = "E1", .emr_type = 2});
  db().AddRecord({.id = "R2", .patient_id = "P1", .event_no = "E1", .emr_type = 15});
  AddInstance({.serial = 2, .rule_id = 2});
  for (const char16_t* code : {u"V03", u"V04", u"V05"}) EXPECT_FALSE(AutoClose(1, code));
  EXPECT_FALSE(AutoClose(0));
  EXPECT_FALSE(AutoClose(2));
  EXPECT_EQ(Statuses("P1", "E1"), "1:1 2:1");
  EXPECT_TRUE(AutoClose(1, u"V06"));
}

TEST_F(AutoCloseTest, AClosedInstanceWithoutRecordDoesNotHideTheRecordsOfTheVisit) {
  AddInstance({.serial = 2, .rule_id = 1, .status = 2, .finish_time = "2026-12-07 09:00:00"});
  db().AddRecord({.id = "R1", .patient_id = "P1", .event_no = "E1", .emr_type = 2});
  EXPECT_TRUE(AutoClose(1));
  EXPECT_EQ(Instance(1, "EMR_ID"), std::vector<std::string>{"R1"});
}

// ---- Undo, ReOpenUndo ----

TEST_F(QualityRuleEngineTest, UndoKeepsOverdueInstancesOnlyWhenAsked) {
  // Now is 2026-12-07 12:00:00.
  auto add = [](int serial, const std::string& deadline, std::optional<std::string> emr_id) {
    AddInstance({.serial = serial, .rule_id = 1, .over_time = deadline, .emr_id = emr_id});
  };
  add(1, "2026-12-07 11:00:00", std::nullopt);
  add(2, "2026-12-07 13:00:00", std::nullopt);
  add(3, "2026-12-07 13:00:00", "R3");
  AddInstance({.serial = 4, .rule_id = 2});
  auto undo = [](const std::u16string& emr_id, VARIANT_BOOL keep_overdue) {
    ScopedBstr p(u"P1"), e(u"E1"), r(u"1"), m(emr_id);
    return Run([&](CEMRDataSource* source) {
      CBQualityRule::Undo(source, p.get(), e.get(), r.get(), m.get(), keep_overdue);
    });
  };
  EXPECT_EQ(undo(u"R3", VARIANT_TRUE), u"");
  EXPECT_EQ(Statuses("P1", "E1"), "1:1 2:1 3:0 4:1");
  EXPECT_EQ(undo(u"", VARIANT_TRUE), u"");
  EXPECT_EQ(Statuses("P1", "E1"), "1:1 2:0 3:0 4:1");
  EXPECT_EQ(undo(u"", VARIANT_FALSE), u"");
  EXPECT_EQ(Statuses("P1", "E1"), "1:0 2:0 3:0 4:1");

  ScopedBstr p(u"P1"), e(u"E1"), r(u"1");
  EXPECT_EQ(Run([&](CEMRDataSource* source) {
              CBQualityRule::ReOpenUndo(source, p.get(), e.get(), r.get());
            }),
            u"");
  EXPECT_EQ(Statuses("P1", "E1"), "1:1 2:1 3:1 4:1");
}

TEST_F(QualityRuleEngineTest, AFailingDateTimeComponentFailsUndoWithItsDescription) {
  AddInstance({.serial = 1, .rule_id = 1, .over_time = "2026-12-08 08:00:00"});
  AddInstance({.serial = 2, .rule_id = 2, .over_time = "2026-12-08 08:00:00"});
  ScopedBstr p(u"P1"), e(u"E1"), r(u"1"), r2(u"2");
  auto undo_keeping_overdue = [&](BSTR rule_id) {
    return Run([&](CEMRDataSource* source) {
      CBQualityRule::Undo(source, p.get(), e.get(), rule_id, nullptr, VARIANT_TRUE);
    });
  };
  EXPECT_EQ(undo_keeping_overdue(r2.get()), u"");
  doubles_.Fail(IID_IDateTimeService, 7, E_FAIL, u"时间服务器不可用");
  EXPECT_EQ(undo_keeping_overdue(r.get()), u"时间服务器不可用");
  doubles_.Fail(IID_IDateTimeService, 7, E_FAIL);
  EXPECT_EQ(undo_keeping_overdue(r.get()), u"系统未知错误.");
  EXPECT_EQ(Statuses("P1", "E1"), "1:1 2:0");
  ScopedBstr bad_rule(u"1 OR 1=1");
  EXPECT_EQ(Run([&](CEMRDataSource* source) {
              CBQualityRule::Undo(source, p.get(), e.get(), bad_rule.get(), nullptr, VARIANT_FALSE);
            }),
            u"不是有效的数字: '1 OR 1=1' (bstrRuleId)");
  EXPECT_EQ(Statuses("P1", "E1"), "1:1 2:0");
}

// ---- ReOpen ----

class ReOpenTest : public QualityRuleEngineTest {
 protected:
  void SetUp() override {
    QualityRuleEngineTest::SetUp();
    db().AddPatient({.id = "P1"});
    db().AddVisit({.patient_id = "P1", .event_no = "E1"});
  }
  static void ReOpen(const std::u16string& emr_id, const std::u16string& patient_id = u"P1",
                     const std::u16string& event_no = u"E1") {
    ScopedBstr event(EventDocument{
        {{u"code", u"V02"}, {u"type", u"2"}, {u"patient_id", patient_id}, {u"event_no", event_no}},
        {{u"emr_id",
          emr_id}}}.Xml());
    EXPECT_EQ(Run([&](CEMRDataSource* source) { CBQualityRule::ReOpen(source, event.get()); }),
              u"");
  }
  static void AddClosed(int serial, int rule_id, const std::string& emr_id,
                        const std::string& event_no = "E1") {
    AddInstance({.event_no = event_no,
                 .serial = serial,
                 .rule_id = rule_id,
                 .status = 2,
                 .emr_type = 2,
                 .emr_id = emr_id,
                 .finish_time = "2026-12-08 10:00:00",
                 .over_hour = 2});
  }
};

TEST_F(ReOpenTest, ARecordThatClosedNothingOnlyTakesItsSuperiorSignatureInstances) {
  AddInstance({.serial = 1, .rule_id = 1, .status = 2, .emr_id = "R1", .superior_sign_flag = 1});
  AddInstance({.serial = 2, .rule_id = 1, .emr_id = "R1", .superior_sign_flag = 1});
  AddInstance({.serial = 3, .rule_id = 1, .emr_id = "R2", .superior_sign_flag = 1});
  AddClosed(4, 1, "R2");
  ReOpen(u"R1");
  EXPECT_EQ(Statuses("P1", "E1"), "3:1 4:2");
}

TEST_F(ReOpenTest, AnInstanceOfARuleOfOneIsReopenedAndClosedAgainByAnotherRecord) {
  db().AddRule({.id = 1, .name = "入院记录", .emr_types = {2}, .quantity = "1"});
  AddClosed(1, 1, "R1");
  ReOpen(u"R1");
  EXPECT_EQ(Instance(1,
                     "STATUS, OVER_HOUR, FINISH_TIME, USER_ID, USER_NAME, EMR_ID, REOPEN, "
                     "START_TIME, OVER_TIME, EMR_TYPE"),
            (std::vector<std::string>{"1", "0", "", "", "", "", "1", "2026-12-07 08:00:00",
                                      "2026-12-08 08:00:00", "2"}));
  db().AddRecord({.id = "R2",
                  .patient_id = "P1",
                  .event_no = "E1",
                  .emr_type = 2,
                  .create_date = "2026-12-09 09:00:00"});
  AddClosed(2, 1, "R2");
  db().Execute("DELETE FROM PEV_TIME_RULE_RECORD WHERE SERIAL = 2");
  ReOpen(u"R9");  // closed nothing: no change
  EXPECT_EQ(Statuses("P1", "E1"), "1:1");
  AddClosed(3, 1, "R3");
  ReOpen(u"R3");  // reopened, then closed at once by R2, which closed nothing yet
  EXPECT_EQ(Instance(3, "STATUS, EMR_ID, REOPEN, FINISH_TIME"),
            (std::vector<std::string>{"2", "R2", "1", "2026-12-09 09:00:00"}));
}

TEST_F(ReOpenTest, OtherInstancesWaitWhileTheReopenedOneOfARuleWithoutLimitIsOpen) {
  db().AddRule({.id = 1, .name = "抢救记录", .emr_types = {15}, .quantity = "0"});
  db().AddRule({.id = 2, .name = "病危记录", .emr_types = {16}, .quantity = "1"});
  db().Execute(
      "INSERT INTO PEV_EVENT_RULE (EVENT_CODE, RULE_ID, RELATION_TYPE) VALUES "
      "('A01', 2, 3)");
  AddClosed(1, 1, "R1");
  AddInstance({.serial = 2, .rule_id = 1});
  AddInstance({.serial = 3, .rule_id = 1});
  AddInstance({.serial = 4, .rule_id = 2});
  AddInstance({.serial = 5, .rule_id = 2, .status = 2});
  ReOpen(u"R1");
  EXPECT_EQ(Statuses("P1", "E1"), "1:1 2:3 3:3 4:3 5:2");
}

TEST_F(ReOpenTest, EachInstanceIsReopenedInItsOwnVisitWhateverVisitTheEventNames) {
  AddClosed(1, 1, "R1");
  AddClosed(1, 1, "R7", "E2");
  ReOpen(u"R7", u"P1", u"E1");
  EXPECT_EQ(Statuses("P1", "E1"), "1:2");
  EXPECT_EQ(Statuses("P1", "E2"), "1:1");
}

// ---- the class ----

// Open, then Close, through the automation class as a client calls them.
TEST_F(QualityRuleEngineTest, OpenAndCloseThroughTheClassVoteAndAnswerTheirResults) {
  const frame::CallScopeRunner previous = frame::SetCallScopeRunner(&frame::RunEMRCall);
  IQualityRule* rule = nullptr;
  ASSERT_EQ(CreateQualityRule(nullptr, IID_IQualityRule, reinterpret_cast<void**>(&rule)), S_OK);
  ScopedBstr p(u"P1"), e(u"E1"), document(RuleDocument(u"1", u"1", u"24"));
  ScopedBstr open(OpenEvent(u"2026-12-07 08:00:00"));
  LONG serial = 0;
  EXPECT_EQ(rule->Open(p.get(), e.get(), document.get(), open.get(), &serial), S_OK);
  EXPECT_EQ(serial, 1);
  ScopedBstr r(u"1"), close(CloseEvent(u"2026-12-08 10:00:00", u"R1", u"2"));
  EXPECT_EQ(rule->Close(p.get(), e.get(), r.get(), close.get()), S_OK);
  EXPECT_EQ(rule->Close(p.get(), e.get(), r.get(), close.get()), S_OK);  // closes nothing
  EXPECT_EQ(Instance(1, "STATUS, OVER_HOUR"), (std::vector<std::string>{"2", "2"}));
  // A refused call leaves nothing and says why.
  ScopedBstr bad(u"2 OR 1=1");
  EXPECT_EQ(rule->Close(p.get(), e.get(), bad.get(), close.get()), E_FAIL);
  rule->Release();
  frame::SetCallScopeRunner(previous);
}

TEST_F(QualityRuleEngineTest, TwoCallsOpeningForOneVisitAtOnceGetSerialsOneAndTwo) {
  const frame::CallScopeRunner previous = frame::SetCallScopeRunner(&frame::RunEMRCall);
  for (int round = 0; round < 5; ++round) {
    SetUp();
    std::vector<LONG> serials(2, 0);
    std::vector<HRESULT> results(2, E_UNEXPECTED);
    std::vector<std::thread> threads;
    for (int i = 0; i < 2; ++i) {
      threads.emplace_back([i, &serials, &results] {
        IQualityRule* rule = nullptr;
        CreateQualityRule(nullptr, IID_IQualityRule, reinterpret_cast<void**>(&rule));
        ScopedBstr p(u"P1"), e(u"E1"), document(RuleDocument(i == 0 ? u"1" : u"2", u"1", u"24"));
        ScopedBstr event(OpenEvent(u"2026-12-07 08:00:00"));
        results[i] = rule->Open(p.get(), e.get(), document.get(), event.get(), &serials[i]);
        rule->Release();
      });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(results, (std::vector<HRESULT>{S_OK, S_OK}));
    std::sort(serials.begin(), serials.end());
    EXPECT_EQ(serials, (std::vector<LONG>{1, 2}));
    EXPECT_EQ(Statuses("P1", "E1"), "1:1 2:1");
  }
  frame::SetCallScopeRunner(previous);
}

}  // namespace
}  // namespace korvalis::rules::testing
