#include "quality/review/config_task.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/text/string_util.h"
#include "platform/db/testing/engine_database.h"
#include "platform/sys/testing/fixed_local_clock.h"
#include "quality/review/testing/collector_test_support.h"

namespace korvalis::review::testing {
namespace {

using korvalis::sys::LocalTime;
using korvalis::sys::testing::ScopedLocalClock;
using korvalis::testing::kUnreachableDatabase;

double At(int hour, int minute) { return hour + minute / 60.0; }

struct WindowCase {
  const char16_t* schedule;
  int hour;
  int minute;
  const char16_t* text;  // the active window's text; "" when none is active
};

TEST(ActiveScheduleTest, WindowsStartAfterTheirStartAndEndWithTheirEnd) {
  const WindowCase cases[] = {
      {u"<time start='8' end='12'>上午</time>", 8, 0, u""},
      {u"<time start='8' end='12'>上午</time>", 8, 1, u"上午"},
      {u"<time start='8' end='12'>上午</time>", 12, 0, u"上午"},
      {u"<time start='8' end='12'>上午</time>", 12, 1, u""},
      {u"<time start='22' end='6'>夜间</time>", 23, 30, u"夜间"},
      {u"<time start='22' end='6'>夜间</time>", 6, 0, u"夜间"},
      {u"<time start='22' end='6'>夜间</time>", 0, 0, u""},
      {u"<time start='22' end='6'>夜间</time>", 6, 1, u""},
      {u"<time start='22' end='6'>夜间</time>", 22, 0, u""},
      {u"<time start='12.5' end='13'>午后</time>", 12, 30, u""},
      {u"<time start='12.5' end='13'>午后</time>", 12, 31, u"午后"},
      {u"<time start='5' end='5'>从不</time>", 5, 0, u""},
      {u"<time start='5' end='5'>从不</time>", 5, 1, u""},
      {u"<time start='5' end='5'>从不</time>", 4, 59, u""},
      // A missing (or unreadable) start counts as 0, which is exclusive.
      {u"<time end='10'>早</time>", 0, 0, u""},
      {u"<time end='10'>早</time>", 0, 1, u"早"},
      {u"<time start='x' end='10'>早</time>", 0, 1, u"早"},
      // The first active window decides; a later one that is active too is not read.
      {u"<time start='1' end='2'>一</time><time start='8' end='20'>二</time>"
       u"<w><time start='0' end='24'>三</time></w>",
       9, 0, u"二"},
      {u"<w><time start='0' end='24'>深处</time></w><time start='8' end='20'>二</time>", 9, 0,
       u"深处"},
      {u"<time start='8' end='20'/>", 9, 0, u" "},
      {u"", 9, 0, u""},
      {u"<time start='8' end='20'>未闭合", 9, 0, u""},
      {u"<time>09:00</time>", 9, 0, u""},
  };
  for (const WindowCase& c : cases) {
    EXPECT_EQ(CBConfigTask::GetActiveScheduleText(c.schedule, At(c.hour, c.minute)), c.text)
        << ToUtf8(c.schedule) << " at " << c.hour << ":" << c.minute;
  }
}

TEST(CountRowElementsTest, CountsTheElementChildrenOfTheDocumentElement) {
  EXPECT_EQ(CBConfigTask::CountRowElements(u""), 0);
  EXPECT_EQ(CBConfigTask::CountRowElements(u"<root><a>"), 0);
  EXPECT_EQ(CBConfigTask::CountRowElements(u"<root/>"), 0);
  EXPECT_EQ(CBConfigTask::CountRowElements(u"<root> <a/>text<b><c/></b><!-- x --></root>"), 2);
}

constexpr char kInHospitalOfDept[] =
    "SELECT P.NAME, V.PATIENT_ID, V.EVENT_NO FROM TELV_VISIT_RECORD V, TELV_PATIENT P WHERE "
    "V.PATIENT_ID = P.ID AND V.OUT_TIME IS NULL AND V.NOW_DEPT_ID = '{DeptId}' ORDER BY "
    "V.PATIENT_ID";
constexpr char kAllDay[] = "<time start=\"0\" end=\"24\">全天</time>";

struct TaskRow {
  int id = 0;
  std::string name = "提醒";
  std::string type = "0";
  std::string config_sql = kInHospitalOfDept;
  std::string schedule = kAllDay;
  std::string autoremind = "1";
  std::string view_code = "V";
  std::string notes = "说明";
  int sequence_no = 0;
  std::string valid = "1";
};

class ConfigTaskTest : public CollectorTest {
 protected:
  explicit ConfigTaskTest(db::Engine engine = db::Engine::kSqlite) : CollectorTest(engine) {
    db_.AddPatient({.id = "P1", .name = "李一"});
    db_.AddPatient({.id = "P2", .name = "王二"});
    db_.AddPatient({.id = "P3", .name = "赵三"});
    db_.AddPatient({.id = "P4", .name = "钱四"});
    db_.AddVisit({.patient_id = "P1", .event_no = "E1", .dept_id = "0101"});
    db_.AddVisit({.patient_id = "P2", .event_no = "E1", .dept_id = "0101"});
    db_.AddVisit({.patient_id = "P3",
                  .event_no = "E1",
                  .dept_id = "0101",
                  .out_time = "2026-01-10 09:00:00"});
    db_.AddVisit({.patient_id = "P4", .event_no = "E1", .dept_id = "01'01"});
  }

  void AddTask(const TaskRow& t) {
    db_.Execute(
        "INSERT INTO PEV_TASK_CONFIG_RECORD (ID, NAME, TYPE, CONFIG_SQL, DEFAULT_SCHEDULE, "
        "AUTO_REMIND_FLAG, VIEW_CODE, NOTES, SEQUENCE_NO, VALID_FLAG) VALUES (" +
        std::to_string(t.id) + ", " + schema::SqlText(t.name) + ", " + schema::SqlText(t.type) +
        ", " + schema::SqlText(t.config_sql) + ", " + schema::SqlText(t.schedule) + ", " +
        schema::SqlText(t.autoremind) + ", " + schema::SqlText(t.view_code) + ", " +
        schema::SqlText(t.notes) + ", " + std::to_string(t.sequence_no) + ", " +
        schema::SqlText(t.valid) + ")");
  }

  std::u16string CountList(const std::u16string& dept, LONG identity) {
    TestDataSource data_source(db_.init_string());
    ScopedBstr user(u"u"), dept_id(dept), result;
    EXPECT_EQ(CBConfigTask::GetQcTaskCountList(&data_source, user.get(), dept_id.get(), identity,
                                               result.out()),
              0);
    EXPECT_NE(result.get(), nullptr);
    return result.text();
  }

  // The patient list of a task; nullptr stands for no result at all.
  BSTR PatientList(const std::u16string& task_id, LONG identity = 11,
                   const std::u16string& dept = u"0101") {
    TestDataSource data_source(db_.init_string());
    ScopedBstr user(u"u"), dept_id(dept), task(task_id);
    BSTR result = nullptr;
    EXPECT_EQ(CBConfigTask::GetTaskPatientList(&data_source, user.get(), dept_id.get(), identity,
                                               task.get(), &result),
              0);
    return result;
  }

  LONG NewTask(const std::u16string& property) {
    TestDataSource data_source(db_.init_string());
    ScopedBstr text(property);
    LONG id = -1;
    EXPECT_EQ(CBConfigTask::NewTendTask(&data_source, text.get(), &id), 0);
    return id;
  }

  Rows TaskRows() {
    return db_.Query(
        "SELECT ID, NAME, TYPE, CONFIG_SQL, DEFAULT_SCHEDULE, AUTO_REMIND_FLAG, VIEW_CODE, NOTES, "
        "SEQUENCE_NO, VALID_FLAG FROM PEV_TASK_CONFIG_RECORD ORDER BY ID");
  }

  ScopedLocalClock clock_{LocalTime{2026, 12, 7, 9, 30, 0}};
};

constexpr char16_t kCountListHead[] =
    u"<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\" ?> <root>";

TEST_F(ConfigTaskTest, CountListNamesTheActiveTasksThatFindVisits) {
  AddTask({.id = 1, .name = "护理<记录>", .type = "1", .notes = "在院\"病人\"", .sequence_no = 2});
  AddTask({.id = 2, .name = "全部病人", .type = "0", .view_code = "ALL", .sequence_no = 1});
  // Left out: a query without visits, an inactive window, no automatic reminder, switched off.
  AddTask({.id = 3, .config_sql = "SELECT NAME, ID, ID FROM TELV_PATIENT WHERE 1=0"});
  AddTask({.id = 4, .schedule = "<time start=\"14\" end=\"18\">下午</time>"});
  AddTask({.id = 5, .autoremind = "0"});
  AddTask({.id = 6, .valid = "0"});
  // A blank window text shows as one blank; the start and end here cover 09:30 too.
  AddTask({.id = 7,
           .name = "空",
           .type = "1",
           .schedule = "<time start=\"9\" end=\"10\"/>",
           .sequence_no = 3});

  EXPECT_EQ(
      CountList(u"0101", 11),
      std::u16string(kCountListHead) +
          u"<task notes=\"说明\" id=\"2\" count=\"2\"\tschedule=\"全天\" view_code=\"ALL\">"
          u"全部病人</task> "
          u"<task notes=\"在院&quot;病人&quot;\" id=\"1\" count=\"2\"\tschedule=\"全天\" "
          u"view_code=\"V\">护理&lt;记录&gt;</task> "
          u"<task notes=\"说明\" id=\"7\" count=\"2\"\tschedule=\" \" view_code=\"V\">空</task> "
          u"</root>");
  // Nurses (identity 20) are offered tasks of type "1" only.
  const std::vector<Element> nurse = ReadElements(CountList(u"0101", 20));
  EXPECT_EQ(AttributeOfEach(nurse, "id"), (std::vector<std::string>{"1", "7"}));
  // A department without visits: the declaration, a blank and an empty root.
  EXPECT_EQ(CountList(u"0999", 11), std::u16string(kCountListHead) + u"</root>");
}

TEST_F(ConfigTaskTest, ADepartmentHoldingAQuoteStaysOneValue) {
  AddTask({.id = 1});
  const std::vector<Element> tasks = ReadElements(CountList(u"01'01", 11));
  ASSERT_EQ(tasks.size(), 1u);
  EXPECT_EQ(tasks[0].attributes.at("count"), "1");

  ScopedBstr list;
  *list.out() = PatientList(u"1", 11, u"01'01");
  EXPECT_EQ(TextOfEach(ReadElements(list.text())), (std::vector<std::string>{"钱四"}));
}

TEST_F(ConfigTaskTest, OneRefusedTaskQueryFailsTheWholeCountList) {
  AddTask({.id = 1});
  AddTask({.id = 2, .config_sql = "SELECT NOTHING FROM NOWHERE", .sequence_no = 1});
  EXPECT_EQ(korvalis::testing::FailureOf([&] { CountList(u"0101", 11); }), kDatabaseErrorMessage);
}

// A task's stored statement runs only as a query, on either engine: one that writes, changes
// the schema or ends the transaction is refused before it runs, and nothing changes.
class ConfigTaskQueryTest : public ConfigTaskTest,
                            public ::testing::WithParamInterface<db::Engine> {
 protected:
  ConfigTaskQueryTest() : ConfigTaskTest(GetParam()) {}
};

TEST_P(ConfigTaskQueryTest, AStoredStatementThatIsNoQueryIsRefusedBeforeItRuns) {
  constexpr char16_t kRefused[] = u"任务SQL语句不是查询语句,无法获取任务病人: ";
  const std::string others[] = {"DELETE FROM TELV_PATIENT",
                                "UPDATE TELV_PATIENT SET NAME = 'x' WHERE ID = '{DeptId}'",
                                "DROP TABLE TELV_PATIENT", "COMMIT"};
  int id = 1;
  for (const std::string& other : others) {
    SCOPED_TRACE(other);
    db_.Execute("DELETE FROM PEV_TASK_CONFIG_RECORD");
    AddTask({.id = id, .type = "1", .config_sql = other});
    std::u16string statement = FromUtf8(other);
    ReplaceAll(statement, u"{DeptId}", u"0101");
    EXPECT_EQ(korvalis::testing::FailureOf([&] { CountList(u"0101", 11); }), kRefused + statement);
    EXPECT_EQ(korvalis::testing::FailureOf([&] {
                ScopedBstr list;
                *list.out() = PatientList(FromUtf8(std::to_string(id)));
              }),
              kRefused + statement);
    EXPECT_EQ(db_.Count("TELV_PATIENT"), 4);
    EXPECT_EQ(db_.Query("SELECT NAME FROM TELV_PATIENT WHERE ID = 'P1'"), (Rows{{"李一"}}));
    ++id;
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, ConfigTaskQueryTest, db::testing::kBothEngines,
                         db::testing::EngineName);

TEST_F(ConfigTaskTest, PatientListOfAnActiveTaskListsItsVisits) {
  AddTask({.id = 1, .type = "1"});
  ScopedBstr list;
  *list.out() = PatientList(u"1", 20);
  EXPECT_EQ(
      ReadElements(list.text()),
      (std::vector<Element>{{"patient", "李一", {{"patient_id", "P1"}, {"event_no", "E1"}}},
                            {"patient", "王二", {{"patient_id", "P2"}, {"event_no", "E1"}}}}));
}

TEST_F(ConfigTaskTest, PatientListGivesNoResultUnlessOneTaskIsActive) {
  AddTask({.id = 1, .valid = "0"});
  AddTask({.id = 2, .schedule = "<time start=\"14\" end=\"18\">下午</time>"});
  AddTask({.id = 3, .type = "0"});
  for (const char16_t* id : {u"1", u"2", u"99"}) EXPECT_EQ(PatientList(id), nullptr);
  EXPECT_EQ(PatientList(u"3", 20), nullptr) << "a nurse sees type 1 only";
  // The clock is read by the call: at 15:00 the afternoon window is active.
  clock_.Set(LocalTime{2026, 12, 7, 15, 0, 0});
  ScopedBstr list;
  *list.out() = PatientList(u"2");
  EXPECT_EQ(ReadElements(list.text()).size(), 2u);
}

TEST_F(ConfigTaskTest, NewTasksNumberOnFromTheGreatestId) {
  EXPECT_EQ(NewTask(u"<root><task>首个</task></root>"), 0);
  AddTask({.id = 7, .sequence_no = 3});
  EXPECT_EQ(NewTask(u"<root><task>入院记录</task><type>1</type><config_sql>SELECT P.NAME, "
                    u"V.PATIENT_ID, V.EVENT_NO FROM TELV_VISIT_RECORD V, TELV_PATIENT P WHERE "
                    u"V.PATIENT_ID = P.ID AND V.NOW_DEPT_ID = ''{DeptId}'' AND P.NAME &lt;&gt; "
                    u"''王二'' ORDER BY V.PATIENT_ID</config_sql><schedule>&lt;time start=\"0\" "
                    u"end=\"24\"/&gt;</schedule><autoremind>1</autoremind><view_code>VC</view_code>"
                    u"<notes>说明</notes></root>"),
            8);
  const Rows rows = TaskRows();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"0", "首个", "", "", "", "", "", "", "0", "1"}));
  // The client's doubled quotes are stored as the single quotes it meant.
  EXPECT_EQ(rows[2], (std::vector<std::string>{
                         "8", "入院记录", "1",
                         "SELECT P.NAME, V.PATIENT_ID, V.EVENT_NO FROM TELV_VISIT_RECORD V, "
                         "TELV_PATIENT P WHERE V.PATIENT_ID = P.ID AND V.NOW_DEPT_ID = '{DeptId}' "
                         "AND P.NAME <> '王二' ORDER BY V.PATIENT_ID",
                         "<time start=\"0\" end=\"24\"/>", "1", "VC", "说明", "8", "1"}));
  // ... and the stored query runs as the client meant it.
  ScopedBstr list;
  *list.out() = PatientList(u"8");
  EXPECT_EQ(TextOfEach(ReadElements(list.text())), (std::vector<std::string>{"李一", "赵三"}));
}

TEST_F(ConfigTaskTest, AQuoteThatIsNotDoubledIsRefusedBeforeAnyStatement) {
  const std::u16string refused = u"单引号须成对书写";
  const auto new_task = [](CEMRDataSource* ds, BSTR property) {
    LONG id = 0;
    return CBConfigTask::NewTendTask(ds, property, &id);
  };
  EXPECT_NE(
      Failure(new_task, u"<root><config_sql>A = 'x'</config_sql></root>", kUnreachableDatabase)
          .find(refused),
      std::u16string::npos);
  EXPECT_NE(Failure(new_task, u"<root><task>a'''b</task></root>", kUnreachableDatabase)
                .find(u"NewTendTask: task"),
            std::u16string::npos);
  const std::u16string update = korvalis::testing::FailureOf([&] {
    TestDataSource data_source(kUnreachableDatabase);
    ScopedBstr property(u"<root><valid>0</valid></root>"), id(u"1' OR '1'='1");
    CBConfigTask::UpdateTendTask(&data_source, property.get(), id.get());
  });
  EXPECT_NE(update.find(refused), std::u16string::npos) << ToUtf8(update);
  EXPECT_NE(korvalis::testing::FailureOf([&] { PatientList(u"1' OR ''='"); }).find(refused),
            std::u16string::npos);
  EXPECT_EQ(db_.Count("PEV_TASK_CONFIG_RECORD"), 0);
}

TEST_F(ConfigTaskTest, UpdateRewritesOrSwitchesOffAndRefusesOtherFlags) {
  AddTask({.id = 1, .name = "旧", .sequence_no = 5});
  const auto update = [&](const std::u16string& property, const std::string& database) {
    return korvalis::testing::FailureOf([&] {
      TestDataSource data_source(database);
      ScopedBstr text(property), id(u"1");
      CBConfigTask::UpdateTendTask(&data_source, text.get(), id.get());
    });
  };
  EXPECT_EQ(update(u"<root><valid>0</valid><task>不改</task></root>", db_.init_string()), u"");
  EXPECT_EQ(TaskRows()[0][1], "旧");
  EXPECT_EQ(TaskRows()[0][9], "0");

  EXPECT_EQ(update(u"<root><valid>1</valid><task>新</task><type>1</type><notes>n</notes></root>",
                   db_.init_string()),
            u"");
  EXPECT_EQ(TaskRows()[0],
            (std::vector<std::string>{"1", "新", "1", "", "", "", "", "n", "5", "1"}));

  for (const char16_t* property :
       {u"<root><valid>2</valid></root>", u"<root><task>x</task></root>"}) {
    EXPECT_EQ(update(property, kUnreachableDatabase),
              u"CBConfigTask::UpdateTendTask: 任务的有效标志(valid)只能为\"1\"或\"0\".");
  }
}

TEST_F(ConfigTaskTest, TaskListShowsEveryTaskOrOne) {
  AddTask({.id = 1, .name = "甲", .sequence_no = 2, .valid = "0"});
  AddTask({.id = 2, .name = "乙", .type = "1", .sequence_no = 1});
  EXPECT_EQ(TextOfEach(List(CBConfigTask::GetTendTaskList, u"")),
            (std::vector<std::string>{"乙", "甲"}));
  EXPECT_EQ(List(CBConfigTask::GetTendTaskList, u"1"),
            (std::vector<Element>{{"task",
                                   "甲",
                                   {{"id", "1"},
                                    {"type", "0"},
                                    {"config_sql", kInHospitalOfDept},
                                    {"schedule", kAllDay},
                                    {"autoremind", "1"},
                                    {"view_code", "V"},
                                    {"notes", "说明"},
                                    {"valid", "0"}}}}));
}

}  // namespace
}  // namespace korvalis::review::testing
