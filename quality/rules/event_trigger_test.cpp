// The road of a clinical event: registered in the queue, listed, handed to the quality trigger
// by OnSysEvent and archived. Each body runs as one call (committed when it succeeds, rolled back
// when it fails).
#include "quality/rules/event_trigger.h"

#include "foundation/testing/test_call.h"
#include "foundation/xml/xml_property.h"
#include "quality/rules/event_register.h"
#include "quality/rules/testing/rule_test_util.h"

namespace korvalis::rules::testing {
namespace {

using korvalis::testing::RunAsCall;

// The registered event of P1/E1 with the code, type and time given.
std::u16string VisitEvent(const std::u16string& code, const std::u16string& type,
                          const std::u16string& time = u"2026-12-07 08:00:00",
                          std::vector<std::pair<std::u16string, std::u16string>> extend = {
                              {u"user_id", u"1003"}}) {
  return EventDocument{{{u"code", code},
                        {u"src_sys", u"1"},
                        {u"patient_id", u"P1"},
                        {u"event_no", u"E1"},
                        {u"time", time},
                        {u"type", type}},
                       std::move(extend)}
      .Xml();
}

// `event` with its queue id as the child `id`.
std::u16string WithId(const std::u16string& event, const std::string& id) {
  return u"<root><id>" + FromUtf8(id) + u"</id>" + event.substr(6);
}

class EventRoadTest : public RuleDatabaseTest {
 protected:
  void SetUp() override {
    RuleDatabaseTest::SetUp();
    db().AddPatient({.id = "P1"});
    db().AddVisit({.patient_id = "P1", .event_no = "E1"});
  }

  // RegisterEvent as a call: its failure ("" for none); the reply and the result through the
  // pointers.
  static std::u16string Register(const std::u16string& event, std::u16string* reply = nullptr,
                                 long* result = nullptr) {
    ScopedBstr document(event), answer;
    const std::u16string failure = RunAsCall(db().init_string(), [&](CEMRDataSource* source) {
      const long returned = CBEventRegister::RegisterEvent(source, document.get(), answer.out());
      if (result != nullptr) *result = returned;
    });
    if (reply != nullptr) *reply = answer.text();
    return failure;
  }
  static std::u16string OnSysEvent(const std::u16string& event) {
    ScopedBstr document(event);
    return RunAsCall(db().init_string(), [&](CEMRDataSource* source) {
      CBEventTrigger::OnSysEvent(source, document.get());
    });
  }
  static std::u16string UnRegister(const std::u16string& event, BSTR* reply = nullptr) {
    ScopedBstr document(event);
    return RunAsCall(db().init_string(), [&](CEMRDataSource* source) {
      CBEventRegister::UnRegisterEvent(source, document.get(), reply);
    });
  }
  static std::vector<Element> Queue(const std::u16string& condition = u"") {
    ScopedBstr argument(condition), list;
    EXPECT_EQ(RunAsCall(db().init_string(),
                        [&](CEMRDataSource* source) {
                          CBEventRegister::GetRegisterEventList(source, argument.get(), list.out());
                        }),
              u"");
    return ReadElements(list.text());
  }
  // Registers the event; answers its queue id.
  static std::string Registered(const std::u16string& event) {
    EXPECT_EQ(Register(event), u"");
    return Scalar("SELECT MAX(ID) FROM TELV_REGISTER_EVENT WHERE EVENT_CODE = " +
                  schema::SqlText(ToUtf8(CXmlProperty(event).GetValue(u"code"))));
  }
  static int Queued() { return db().Count("TELV_REGISTER_EVENT"); }
  static int Archived() { return db().Count("TELV_REGISTER_EVENT_RECORD"); }

  suite::testing::SiblingDoubles doubles_;
  SharedClock clock_{doubles_, "2026-12-07 12:00:00"};
  EventLogCapture event_log_;
};

// ---- Registration ----

TEST_F(EventRoadTest, AnEventIsQueuedWithTheLocalTimeAndReplacesTheSameEventRegisteredBefore) {
  std::u16string reply;
  long result = -1;
  const std::u16string event = VisitEvent(u"A01", u"0", u"2026-12-07 08:00:00",
                                          {{u"user_id", u"1003"}, {u"user_name", u"O'Neil"}});
  EXPECT_EQ(Register(event, &reply, &result), u"");
  EXPECT_EQ(reply, u"OK");
  EXPECT_EQ(result, 0);
  const auto first = Rows("SELECT * FROM TELV_REGISTER_EVENT");
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0][0].size(), 36u);
  EXPECT_EQ(
      std::vector<std::string>(first[0].begin() + 1, first[0].end()),
      (std::vector<std::string>{"A01", "2026-12-07 08:00:00", "P1", "E1", "2026-12-07 12:00:00",
                                "0", "<user_id>1003</user_id><user_name>O'Neil</user_name>", "1"}));
  // The same visit, code, source system and time again: the row is replaced.
  EXPECT_EQ(Register(event), u"");
  const auto second = Rows("SELECT ID FROM TELV_REGISTER_EVENT");
  ASSERT_EQ(second.size(), 1u);
  EXPECT_NE(second[0][0], first[0][0]);
  // Another time is another event.
  EXPECT_EQ(Register(VisitEvent(u"A01", u"0", u"2026-12-07 09:00:00")), u"");
  EXPECT_EQ(Queued(), 2);
}

TEST_F(EventRoadTest, AnEventWithoutVisitOrTimeIsAnsweredWithoutWritingAnything) {
  for (const char16_t* missing : {u"patient_id", u"event_no", u"time"}) {
    CXmlProperty::Map fields = CXmlProperty(VisitEvent(u"A01", u"0")).GetMap();
    fields.erase(missing);
    std::u16string reply;
    long result = -1;
    EXPECT_EQ(Register(CXmlProperty(fields).ToXml(), &reply, &result), u"");
    EXPECT_EQ(reply, u"'病人ID'、'住院事件号'、'事件时间'，不能为空");
    EXPECT_EQ(result, 1);
  }
  EXPECT_EQ(Queued(), 0);
}

TEST_F(EventRoadTest, ATypeOrSourceSystemThatIsNoNumberIsRefusedBeforeAnyStatement) {
  EXPECT_EQ(Register(VisitEvent(u"A01", u"0")), u"");
  const std::string queued = Scalar("SELECT ID FROM TELV_REGISTER_EVENT");
  struct Case {
    std::u16string event, failure;
  };
  const Case cases[] = {
      {VisitEvent(u"A01", u""), u"不是有效的数字: '' (type)"},
      {VisitEvent(u"A01", u"abc"), u"不是有效的数字: 'abc' (type)"},
      {VisitEvent(u"A01", u"0) --"), u"不是有效的数字: '0) --' (type)"},
      {EventDocument{{{u"code", u"A01"},
                      {u"src_sys", u"abc"},
                      {u"patient_id", u"P1"},
                      {u"event_no", u"E1"},
                      {u"time", u"2026-12-07 08:00:00"},
                      {u"type", u"0"}}}
           .Xml(),
       u"不是有效的数字: 'abc' (src_sys)"},
      {u"<root><code>", u"解析属性信息错误."},
  };
  for (const Case& c : cases) {
    std::u16string reply;
    EXPECT_EQ(Register(c.event, &reply), c.failure);
    EXPECT_EQ(reply, u"ERROR:" + c.failure);
  }
  // The event registered before is neither replaced nor joined by another.
  EXPECT_EQ(Rows("SELECT ID FROM TELV_REGISTER_EVENT"),
            (std::vector<std::vector<std::string>>{{queued}}));
}

TEST_F(EventRoadTest, TheQueueIsListedOldestRegistrationFirstWhateverTheCondition) {
  EXPECT_EQ(Register(VisitEvent(u"A01", u"0", u"2026-12-07 08:00:00", {{u"emr_id", u"R<1>"}})),
            u"");
  const std::string newest = Scalar("SELECT ID FROM TELV_REGISTER_EVENT");
  db().Execute(
      "INSERT INTO TELV_REGISTER_EVENT (ID, EVENT_CODE, CREATE_TIME, PATIENT_ID, EVENT_NO, "
      "REGIST_TIME, TYPE, EXTEND_INFO, SRC_SYS) VALUES ('old', 'A03', "
      "TO_DATE('2026-12-06 09:00:00', 'YYYY-MM-DD HH24:MI:SS'), 'P2', 'E2', "
      "TO_DATE('2026-12-06 09:05:00', 'YYYY-MM-DD HH24:MI:SS'), 1, NULL, 2)");
  const std::vector<Element> expected = {{"event",
                                          "old",
                                          {{"code", "A03"},
                                           {"create_time", "2026-12-06 09:00:00"},
                                           {"patient_id", "P2"},
                                           {"event_no", "E2"},
                                           {"register_time", "2026-12-06 09:05:00"},
                                           {"extend_info", ""},
                                           {"src_sys", "2"},
                                           {"type", "1"}}},
                                         {"event",
                                          newest,
                                          {{"code", "A01"},
                                           {"create_time", "2026-12-07 08:00:00"},
                                           {"patient_id", "P1"},
                                           {"event_no", "E1"},
                                           {"register_time", "2026-12-07 12:00:00"},
                                           {"extend_info", "<emr_id>R&lt;1&gt;</emr_id>"},
                                           {"src_sys", "1"},
                                           {"type", "0"}}}};
  EXPECT_EQ(Queue(), expected);
  EXPECT_EQ(Queue(u"<root><patient_id>P1</patient_id></root>"), expected);
}

TEST_F(EventRoadTest, UnregisteringMovesTheRowWholeByItsIdOrByItsFiveKeys) {
  const std::string first = Registered(VisitEvent(u"A01", u"0"));
  const std::string second = Registered(VisitEvent(u"A03", u"0"));
  const auto rows_before = Rows("SELECT * FROM TELV_REGISTER_EVENT ORDER BY EVENT_CODE");
  BSTR reply = nullptr;
  EXPECT_EQ(UnRegister(u"<root><id>" + FromUtf8(first) + u"</id></root>", &reply), u"");
  EXPECT_EQ(reply, nullptr);  // no reply
  // Without id: by patient, visit, code, source system and time.
  EXPECT_EQ(UnRegister(u"<root><id/>" + VisitEvent(u"A03", u"9").substr(6)), u"");
  EXPECT_EQ(Queued(), 0);
  EXPECT_EQ(Rows("SELECT * FROM TELV_REGISTER_EVENT_RECORD ORDER BY EVENT_CODE"), rows_before);
  EXPECT_EQ(rows_before[1][0], second);

  // A source system placed bare must be a number.
  Registered(VisitEvent(u"A04", u"0"));
  EXPECT_EQ(UnRegister(u"<root><code>A04</code><src_sys>1 OR 1=1</src_sys></root>"),
            u"不是有效的数字: '1 OR 1=1' (src_sys)");
  EXPECT_EQ(Queued(), 1);
}

// ---- Dispatch ----

TEST_F(EventRoadTest, AnEventMissingItsKeysIsRefusedWithOneTextNamingEach) {
  EXPECT_EQ(OnSysEvent(u"<root/>"), u"病人ID为空住院号为空事件代码为空事件ID为空");
  EXPECT_EQ(OnSysEvent(u"<root><patient_id>P1</patient_id><code>A01</code></root>"),
            u"住院号为空事件ID为空");
  EXPECT_EQ(OnSysEvent(u"<root><patient_id>P1</patient_id><event_no>E1</event_no><code>A01"
                       u"</code><id>x</id>"),
            u"解析属性信息错误.");
}

TEST_F(EventRoadTest, AnEventNotInTheQueueIsIgnored) {
  db().AddRule({.id = 1, .emr_types = {2}, .open_events = {"A01"}});
  EXPECT_EQ(OnSysEvent(WithId(VisitEvent(u"A01", u"0"), "no-such-event")), u"");
  EXPECT_EQ(Statuses("P1", "E1"), "");
  EXPECT_EQ(Archived(), 0);
}

TEST_F(EventRoadTest, ClosingEventsOfType1And4CloseAndAreArchived) {
  db().AddRule({.id = 1, .emr_types = {2}, .quantity = "1"});
  db().AddRuleInstance({.patient_id = "P1",
                        .event_no = "E1",
                        .rule_id = 1,
                        .start_time = "2026-12-06 08:00:00",
                        .over_time = "2026-12-07 08:00:00"});
  const std::u16string event =
      VisitEvent(u"E03", u"1", u"2026-12-07 10:00:00", {{u"emr_id", u"R1"}, {u"emr_type", u"2"}});
  EXPECT_EQ(OnSysEvent(WithId(event, Registered(event))), u"");
  EXPECT_EQ(Rows("SELECT STATUS, EMR_ID, OVER_HOUR FROM PEV_TIME_RULE_RECORD"),
            (std::vector<std::vector<std::string>>{{"2", "R1", "2"}}));
  EXPECT_EQ(Queued(), 0);
  EXPECT_EQ(Archived(), 1);
}

TEST_F(EventRoadTest, ADeletedRecordReopensWhatItClosedAndWithoutRecordFailsEveryTime) {
  db().AddRule({.id = 1, .emr_types = {2}, .quantity = "0"});
  db().AddRuleInstance({.patient_id = "P1",
                        .event_no = "E1",
                        .rule_id = 1,
                        .start_time = "2026-12-06 08:00:00",
                        .over_time = "2026-12-07 08:00:00",
                        .status = 2,
                        .emr_id = "R1",
                        .finish_time = "2026-12-07 10:00:00",
                        .over_hour = 2});
  const std::u16string without_record = VisitEvent(u"E05", u"2");
  const std::string id = Registered(without_record);
  for (int attempt = 0; attempt < 2; ++attempt) {
    EXPECT_EQ(OnSysEvent(WithId(without_record, id)),
              u"删除病历触发事件缺少病历ID:病人ID:P1, 住院事件号:E1, 事件代码:E05");
  }
  EXPECT_EQ(Queued(), 1);

  const std::u16string deleted =
      VisitEvent(u"E05", u"2", u"2026-12-07 08:00:00", {{u"emr_id", u"R1"}});
  EXPECT_EQ(OnSysEvent(WithId(deleted, id)), u"");
  EXPECT_EQ(Rows("SELECT STATUS, EMR_ID, FINISH_TIME, REOPEN FROM PEV_TIME_RULE_RECORD"),
            (std::vector<std::vector<std::string>>{{"1", "", "", "1"}}));
  EXPECT_EQ(Queued(), 0);
}

TEST_F(EventRoadTest, AFailurePartWayLeavesNoInstanceAndTheEventRegistered) {
  // An admission on the last day there is: the first rule's deadline still falls on it, the
  // second rule's does not, and its opening fails.
  db().AddRule({.id = 1, .emr_types = {2}, .time_out = 12, .open_events = {"A01"}});
  db().AddRule({.id = 2, .emr_types = {8}, .time_out = 48, .open_events = {"A01"}});
  const std::u16string event = VisitEvent(u"A01", u"0", u"9999-12-31 00:00:00");
  const std::string id = Registered(event);
  // Run without the call's transaction, the first rule's instance would stay.
  ScopedBstr document(WithId(event, id));
  EXPECT_EQ(
      Run([&](CEMRDataSource* source) { CBEventTrigger::OnSysEvent(source, document.get()); }),
      u"规则时限超出日期范围: 48");
  EXPECT_EQ(Statuses("P1", "E1"), "1:1");
  db().Execute("DELETE FROM PEV_TIME_RULE_RECORD");

  EXPECT_EQ(OnSysEvent(WithId(event, id)), u"规则时限超出日期范围: 48");
  EXPECT_EQ(Statuses("P1", "E1"), "");
  EXPECT_EQ(Queued(), 1);
  EXPECT_EQ(Archived(), 0);
}

// ---- The sample hospital ----

// An admission of the sample's visit P0004 2026120601 (cardiology, in hospital since
// 2026-12-06 10:45) on the sample's rules: A01 opens rules 1, 2 and 5.
class SampleEventRoadTest : public ::testing::Test {
 protected:
  std::vector<std::string> Instances() {
    return JoinedRows(
        sample_.Query("SELECT SERIAL, RULE_ID, STATUS, START_TIME, OVER_TIME, EMR_ID FROM "
                      "PEV_TIME_RULE_RECORD WHERE PATIENT_ID = 'P0004' ORDER BY SERIAL"));
  }
  void AddInstance(int serial, int rule_id, int status) {
    sample_.AddRuleInstance({.patient_id = "P0004",
                             .event_no = "2026120601",
                             .serial = serial,
                             .rule_id = rule_id,
                             .start_time = "2026-12-06 11:00:00",
                             .over_time = "2026-12-07 11:00:00",
                             .status = status,
                             .open_event_code = "X01"});
  }

  schema::TestDatabase sample_{schema::DatabaseContents::kSampleHospital};
  suite::testing::SiblingDoubles doubles_;
  SharedClock clock_{doubles_, "2026-12-07 09:30:00"};
};

TEST_F(SampleEventRoadTest, AnAdmissionRegisteredListedAndHandledRunsTheSamplesRules) {
  // The visit holds a first course record (type 8), which closes rule 2 at once.
  const std::string record = sample_.AddRecord({.patient_id = "P0004",
                                                .event_no = "2026120601",
                                                .emr_type = 8,
                                                .title = "首次病程记录",
                                                .creator_id = "1003",
                                                .creator = "陈浩然",
                                                .create_date = "2026-12-06 15:20:00"});
  // Rule 1 opposes rule 6, whose open instance is undone; A01 cancels rule 4 (once per visit:
  // every instance goes) and rule 3 (unlimited: its open and suspended instances go).
  sample_.Execute("INSERT INTO PEV_RULE_DEPEND (RULE_ID, SUB_ID, RELATION) VALUES (1, 6, 1)");
  sample_.Execute(
      "INSERT INTO PEV_EVENT_RULE (EVENT_CODE, RULE_ID, RELATION_TYPE) VALUES ('A01', 4, 3)");
  sample_.Execute(
      "INSERT INTO PEV_EVENT_RULE (EVENT_CODE, RULE_ID, RELATION_TYPE) VALUES ('A01', 3, 3)");
  AddInstance(1, 6, 1);
  AddInstance(2, 4, 2);
  AddInstance(3, 4, 3);
  AddInstance(4, 3, 1);
  AddInstance(5, 3, 2);
  AddInstance(6, 3, 3);

  const std::u16string event =
      u"<root><code>A01</code><src_sys>1</src_sys><patient_id>P0004</patient_id>"
      u"<event_no>2026120601</event_no><time>2026-12-06 10:45:00</time><type>0</type>"
      u"<extend><user_id>1003</user_id><user_name>陈浩然</user_name></extend></root>";
  ScopedBstr document(event), reply;
  EXPECT_EQ(korvalis::testing::RunAsCall(sample_.init_string(),
                                         [&](CEMRDataSource* source) {
                                           CBEventRegister::RegisterEvent(source, document.get(),
                                                                          reply.out());
                                         }),
            u"");
  EXPECT_EQ(reply.text(), u"OK");

  ScopedBstr list;
  korvalis::testing::RunAsCall(sample_.init_string(), [&](CEMRDataSource* source) {
    CBEventRegister::GetRegisterEventList(source, nullptr, list.out());
  });
  const std::vector<Element> queue = ReadElements(list.text());
  ASSERT_EQ(queue.size(), 1u);
  const std::string id = queue[0].text;
  EXPECT_EQ(queue[0].attributes,
            (std::map<std::string, std::string>{
                {"code", "A01"},
                {"create_time", "2026-12-06 10:45:00"},
                {"patient_id", "P0004"},
                {"event_no", "2026120601"},
                {"register_time", "2026-12-07 09:30:00"},
                {"extend_info", "<user_id>1003</user_id><user_name>陈浩然</user_name>"},
                {"src_sys", "1"},
                {"type", "0"}}));

  ScopedBstr handled(u"<root><id>" + FromUtf8(id) + u"</id>" + event.substr(6));
  EXPECT_EQ(korvalis::testing::RunAsCall(
                sample_.init_string(),
                [&](CEMRDataSource* source) { CBEventTrigger::OnSysEvent(source, handled.get()); }),
            u"");
  EXPECT_EQ(Instances(),
            (std::vector<std::string>{"1|6|0|2026-12-06 11:00:00|2026-12-07 11:00:00|",
                                      "5|3|2|2026-12-06 11:00:00|2026-12-07 11:00:00|",
                                      "7|1|1|2026-12-06 10:45:00|2026-12-07 10:45:00|",
                                      "8|2|2|2026-12-06 10:45:00|2026-12-06 18:45:00|" + record,
                                      "9|5|1|2026-12-06 10:45:00|2026-12-08 10:45:00|"}));
  EXPECT_EQ(sample_.Count("TELV_REGISTER_EVENT"), 0);
  EXPECT_EQ(sample_.Query("SELECT * FROM TELV_REGISTER_EVENT_RECORD"),
            (std::vector<std::vector<std::string>>{
                {id, "A01", "2026-12-06 10:45:00", "P0004", "2026120601", "2026-12-07 09:30:00",
                 "0", "<user_id>1003</user_id><user_name>陈浩然</user_name>", "1"}}));
}

}  // namespace
}  // namespace korvalis::rules::testing
