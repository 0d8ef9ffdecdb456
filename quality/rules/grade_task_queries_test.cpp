#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "foundation/testing/list_elements.h"
#include "quality/rules/testing/grade_task_test_util.h"

namespace korvalis::testing {
namespace {

using com::ScopedBstr;
using Attributes = std::map<std::string, std::string>;

class TaskQueriesTest : public GradeTaskTest {
 protected:
  void SetUp() override {
    db_.AddPatient({.id = "P1", .name = "O'Hara<甲>"});
    db_.AddVisit({.patient_id = "P1",
                  .event_no = "E1",
                  .dept_id = "0101",
                  .out_time = "2026-12-06 10:00:00"});
    db_.Execute("UPDATE TELV_VISIT_RECORD SET IN_DEPT_ID = '0101', IN_DEPT_NAME = '心内科'");
  }

  std::u16string Summary(const std::u16string& task_id, const std::u16string& user_id) {
    ScopedBstr task(task_id), user(user_id), result;
    const std::u16string failure = Call([&](CEMRDataSource* ds) {
      CBQCTask::GetTaskSummarize(ds, task.get(), user.get(), result.out());
    });
    return failure.empty() ? result.text() : u"failed: " + failure;
  }

  void AddNoticeSent(const std::string& id, const std::string& task_id, int status,
                     const std::string& sent, const std::string& fed = "") {
    db_.Execute(
        "INSERT INTO PEV_RECTIFY_INFO (ID, TITLE, PATIENT_ID, EVENT_NO, PEV_USER_NAME, USER_ID, "
        "USER_NAME, CREATE_DATE, FEED_TIME, TYPE, STATUS) VALUES ('" +
        id + "', '整改" + id + "', 'P1', 'E1', '杨慧敏', '1002', '刘静怡', " +
        schema::SqlDate(sent) + ", " + (fed.empty() ? "NULL" : schema::SqlDate(fed)) + ", 1, " +
        std::to_string(status) + ")");
    if (task_id.empty()) return;
    db_.Execute(
        "INSERT INTO PEV_GRADE_TASK_RECTIFY (TASK_ID, PATIENT_ID, EVENT_NO, RECTIFY_ID) VALUES ('" +
        task_id + "', 'P1', 'E1', '" + id + "')");
  }
  // The notices of the rectification list with their time-out flags.
  std::map<std::string, std::string> Timeouts(const std::u16string& condition) {
    std::map<std::string, std::string> flags;
    for (const Element& item : ReadElements(Answer(&CBQCTask::GetQCRectifyList, condition))) {
      flags[item.attributes.at("rectify_id")] = item.attributes.at("timeout_status");
    }
    return flags;
  }
  void AddSummary(const std::string& task_id, const std::string& user_id,
                  const std::string& opinion, const std::string& suggestion) {
    db_.Execute(
        "INSERT INTO PEV_GRADE_TASK_SUMMARIZE (TASK_ID, USER_ID, OPINION, SUGGESTION) VALUES (" +
        schema::SqlText(task_id) + ", " + schema::SqlText(user_id) + ", " +
        schema::SqlText(opinion) + ", " + schema::SqlText(suggestion) + ")");
  }
};

TEST_F(TaskQueriesTest, RectifyListFlagsTimeOutsOfValidTasksOnly) {
  AddTask({.id = "T1", .owner_type = 2, .status = 3});
  AddTask({.id = "T2", .valid = 0});
  AddNoticeSent("N1", "T1", 2, "2026-12-06 07:00:00");                         // 25 h, waiting
  AddNoticeSent("N2", "T1", 2, "2026-12-06 09:00:00");                         // 23 h, waiting
  AddNoticeSent("N3", "T1", 3, "2026-12-01 08:00:00", "2026-12-02 14:00:00");  // answered in 30 h
  AddNoticeSent("N4", "T1", 3, "2026-12-01 07:00:00", "2026-12-02 07:00:00");  // in 24 h
  AddNoticeSent("N5", "T1", 1, "2026-11-01 08:00:00");
  AddNoticeSent("X1", "T2", 2, "2026-11-01 08:00:00");  // of an invalid task
  AddNoticeSent("X2", "", 2, "2026-11-01 08:00:00");    // of no task

  EXPECT_EQ(Timeouts(u"<root><over_time>24</over_time></root>"),
            (std::map<std::string, std::string>{
                {"N1", "1"}, {"N2", "0"}, {"N3", "1"}, {"N4", "0"}, {"N5", "0"}}));
  EXPECT_EQ(Timeouts(u"<root/>"),
            (std::map<std::string, std::string>{
                {"N1", "0"}, {"N2", "0"}, {"N3", "0"}, {"N4", "0"}, {"N5", "0"}}));
  // The send date's range takes whole days.
  EXPECT_EQ(Timeouts(u"<root><send_date_begin>2026-12-06</send_date_begin>"
                     u"<send_date_end>2026-12-06</send_date_end></root>"),
            (std::map<std::string, std::string>{{"N1", "0"}, {"N2", "0"}}));

  const std::vector<Element> n3 =
      ReadElements(Answer(&CBQCTask::GetQCRectifyList,
                          u"<root><over_time>24</over_time><status>3</status>"
                          u"<patient_name>'Hara</patient_name><event_no>E</event_no>"
                          u"<owner_type>2</owner_type><task_status>3</task_status>"
                          u"<dept_id>0101</dept_id><in_dept_begin>2026-01-05"
                          u"</in_dept_begin><in_dept_end>2026-01-05</in_dept_end>"
                          u"<send_date_end>2026-12-01</send_date_end></root>"));
  ASSERT_EQ(n3.size(), 2u);
  EXPECT_EQ(n3[0].text, "整改N3");
  EXPECT_EQ(n3[0].name, "item");
  EXPECT_EQ(n3[0].attributes, (Attributes{{"rectify_id", "N3"},
                                          {"patient_name", "O'Hara<甲>"},
                                          {"patient_id", "P1"},
                                          {"event_no", "E1"},
                                          {"owner_type", "2"},
                                          {"receiver_id", "1002"},
                                          {"receiver_name", "刘静怡"},
                                          {"send_time", "2026-12-01 08:00"},
                                          {"sender_name", "杨慧敏"},
                                          {"status", "3"},
                                          {"in_dept_id", "0101"},
                                          {"in_dept_name", "心内科"},
                                          {"feed_time", "2026-12-02 14:00"},
                                          {"in_time", "2026-01-05 08:00:00"},
                                          {"out_time", "2026-12-06 10:00:00"},
                                          {"out_dept_name", "心血管内科"},
                                          {"user_name", "刘静怡"},
                                          {"task_id", "T1"},
                                          {"task_name", "任务T1"},
                                          {"timeout_status", "1"}}));
}

TEST_F(TaskQueriesTest, RectifyListRefusesBareValuesThatAreNoNumbers) {
  for (const char16_t* key : {u"over_time", u"status", u"owner_type", u"task_status"}) {
    const std::u16string name(key);
    EXPECT_EQ(Answer(&CBQCTask::GetQCRectifyList,
                     u"<root><" + name + u">24) OR (1=1</" + name + u"></root>"),
              u"failed: 不是有效的数字: '24) OR (1=1' (" + name + u")");
  }
}

TEST_F(TaskQueriesTest, TaskSummaryAsItsTabbedText) {
  AddSummary("T1", "9001", "<很好> & 'ok'", "");
  EXPECT_EQ(Summary(u"T1", u"9001"),
            u"<?xml version='1.0' ?><root> \t<task_id>T1</task_id> \t<user_id>9001</user_id> "
            u"\t<opinion>&lt;很好&gt; &amp; 'ok'</opinion> \t<suggestion></suggestion> </root> ");
  EXPECT_EQ(Summary(u"T1", u"9002"), u"<?xml version='1.0' ?><root></root>");
  EXPECT_EQ(Summary(u"", u"9001"), u"failed: 任务ID与用户ID不能为空!");
  EXPECT_EQ(Summary(u"T1", u""), u"failed: 任务ID与用户ID不能为空!");
}

TEST_F(TaskQueriesTest, TasksToSumUpByRoleAgeAndSummary) {
  const std::string eight_days = "2026-11-29 08:00:00";
  // For a QC office officer (41): tasks with EXECUTOR_TYPE 0 and a visit dispatched to him.
  AddTask({.id = "A", .create_date = eight_days, .title = "A<'任务'>"});
  AddTask({.id = "B", .create_date = "2026-11-29 09:00:00"});  // 7 days 23 hours
  AddTask({.id = "C", .create_date = eight_days, .executor_type = 1});
  AddTask({.id = "D", .create_date = eight_days});  // summed up
  AddTask({.id = "E", .create_date = eight_days});  // an opinion only
  AddTask({.id = "F", .create_date = eight_days, .valid = 0});
  AddTask({.id = "G", .create_date = eight_days, .phase_type = 2});
  AddTask({.id = "H", .create_date = eight_days});  // dispatched to another user
  for (const char* task : {"A", "B", "C", "D", "E", "F", "G"})
    AddTaskVisit(task, "P1", "E1", "9001");
  AddTaskVisit("H", "P1", "E1", "9003");
  AddSummary("D", "9001", "意见", "建议");
  AddSummary("E", "9001", "意见", "");
  AddSummary("A", "9002", "别人的意见", "别人的建议");
  // For a department's officer (40): his department tasks, and tasks of owner type 1 with a
  // visit dispatched to his department, both with EXECUTOR_TYPE 1.
  AddTask({.id = "I",
           .create_date = eight_days,
           .creator_id = "9002",
           .owner_type = 2,
           .executor_type = 1});
  AddTask({.id = "J", .create_date = eight_days, .executor_type = 1});
  AddTaskVisit("J", "P1", "E1", "0101");

  EXPECT_EQ(
      Answer(&CBQCTask::GetToSummariseTask,
             u"<root><user_id>9001</user_id><user_indentity>41</user_indentity></root>"),
      u"<?xml version='1.0' ?><root> <item task_id='A' task_title='A&lt;&apos;任务&apos;&gt;' "
      u"create_date='2026-11-29' owner_type='1' /><item task_id='E' task_title='任务E' "
      u"create_date='2026-11-29' owner_type='1' /></root>");
  std::vector<std::string> ids;
  for (const Element& item :
       ReadElements(Answer(&CBQCTask::GetToSummariseTask,
                           u"<root><user_id>9002</user_id><dept_id>0101</dept_id>"
                           u"<user_indentity>40</user_indentity></root>"))) {
    ids.push_back(item.attributes.at("task_id"));
  }
  EXPECT_EQ(ids, (std::vector<std::string>{"I", "J"}));
  EXPECT_EQ(Answer(&CBQCTask::GetToSummariseTask,
                   u"<root><user_id>9001</user_id><user_indentity>43</user_indentity></root>"),
            u"<?xml version='1.0' ?><root> </root>");
  EXPECT_EQ(Answer(&CBQCTask::GetToSummariseTask,
                   u"<root><user_id>9001</user_id><user_indentity>40 OR 1=1</user_indentity>"
                   u"</root>"),
            u"failed: 不是有效的数字: '40 OR 1=1' (user_indentity)");

  // Without a role nothing is asked of the database.
  ScopedBstr condition(u"<root><user_id>9001</user_id><user_identity>41</user_identity></root>"),
      result;
  EXPECT_EQ(RunAsCall(kUnreachableDatabase,
                      [&](CEMRDataSource* ds) {
                        CBQCTask::GetToSummariseTask(ds, condition.get(), result.out());
                      }),
            u"");
  EXPECT_EQ(result.text(), u"<?xml version='1.0' ?><root/>");
}

TEST_F(TaskQueriesTest, TaskIdOfTheLatestGradeOfTheOwnerType) {
  AddTask({.id = "T1", .owner_type = 2});
  AddTask({.id = "T2", .owner_type = 2});
  AddTask({.id = "T3", .owner_type = 2});
  AddTask({.id = "T4", .owner_type = 1});
  AddGrade(
      {.task_id = "T1", .patient_id = "P1", .event_no = "E1", .grade_date = "2026-12-05 10:00:00"});
  AddGrade(
      {.task_id = "T2", .patient_id = "P1", .event_no = "E1", .grade_date = "2026-12-06 10:00:00"});
  AddGrade({.task_id = "T3", .patient_id = "P1", .event_no = "E1", .grade_date = ""});
  AddGrade(
      {.task_id = "T4", .patient_id = "P1", .event_no = "E1", .grade_date = "2026-12-07 07:00:00"});
  const auto task_of = [&](const std::u16string& owner_type, const std::u16string& event_no) {
    return Answer(&CBQCTask::GetTaskId, u"<root><owner_type>" + owner_type +
                                            u"</owner_type><patient_id>P1</patient_id>"
                                            u"<event_no>" +
                                            event_no + u"</event_no></root>");
  };
  EXPECT_EQ(task_of(u"2", u"E1"), u"T2");
  EXPECT_EQ(task_of(u"1", u"E1"), u"T4");
  EXPECT_EQ(task_of(u"2", u"E9"), u"");
  EXPECT_EQ(task_of(u"", u"E1"), u"");
  EXPECT_EQ(task_of(u"2' OR '1'='1", u"E1"),
            u"failed: 不是有效的数字: '2' OR '1'='1' (owner_type)");
}

TEST_F(TaskQueriesTest, PropertyOfATaskInKeyOrder) {
  AddTask(
      {.id = "T1", .create_date = "2026-12-01 08:30:45", .owner_type = 2, .title = "心内科<抽查>"});
  std::vector<std::string> names, texts;
  for (const Element& key : ReadElements(Answer(&CBQCTask::GetProperty, u"T1"))) {
    names.push_back(key.name);
    texts.push_back(key.text);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"content", "content_type", "create_date", "creator",
                                             "creator_id", "executor_type", "id", "owner_type",
                                             "phase_type", "status", "title", "valid"}));
  EXPECT_EQ(texts, (std::vector<std::string>{"内容T1", "2", "2026-12-01 08:30", "韩志强", "9001",
                                             "0", "T1", "2", "1", "1", "心内科<抽查>", "1"}));

  EXPECT_EQ(Answer(&CBQCTask::GetProperty, u"T9"), u"<?xml version='1.0' ?><root/>");
  // An empty id: the body ends at once and the result stays unset.
  ScopedBstr empty(u""), result;
  long answer = 0;
  EXPECT_EQ(RunAsCall(kUnreachableDatabase,
                      [&](CEMRDataSource* ds) {
                        answer = CBQCTask::GetProperty(ds, empty.get(), result.out());
                      }),
            u"");
  EXPECT_EQ(answer, 1);
  EXPECT_EQ(result.get(), nullptr);
}

}  // namespace
}  // namespace korvalis::testing
