#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/xml/dom.h"
#include "quality/rules/testing/grade_task_test_util.h"

namespace korvalis::testing {
namespace {

using com::ScopedBstr;

// One listed task: its child elements as (name, text), in document order.
using ListedTask = std::vector<std::pair<std::string, std::string>>;

class TaskListTest : public GradeTaskTest {
 protected:
  void SetUp() override {
    AddTask("OLD", "2026-10-01 09:00:00", "9001");
    AddTask("DEPT", "2026-11-01 00:00:00", "0101", 2);
    AddTask("NEW", "2026-12-01 10:15:30", "9002");
    AddTaskVisit("OLD", "P1", "E1", "9002");
    AddTaskVisit("OLD", "P2", "E1", "9002");
    AddTaskVisit("OLD", "P3", "E1", "9003");
    AddTaskVisit("DEPT", "P1", "E1");
  }

  // The result text of a condition; the failure's text instead when the call fails.
  std::u16string ListText(const std::u16string& condition) {
    ScopedBstr argument(condition), list;
    const std::u16string failure =
        Call([&](CEMRDataSource* ds) { CBQCTask::GetTaskList(ds, argument.get(), list.out()); });
    return failure.empty() ? list.text() : failure;
  }
  std::vector<ListedTask> List(const std::u16string& condition) {
    const std::u16string text = ListText(condition);
    xml::Document document;
    EXPECT_TRUE(document.LoadXml(ToUtf8(text))) << ToUtf8(text);
    std::vector<ListedTask> tasks;
    if (!document.HasDocumentElement()) return tasks;
    EXPECT_EQ(document.DocumentElement().Name(), "root");
    for (const xml::Node& item : document.DocumentElement().Children()) {
      EXPECT_EQ(item.Name(), "item");
      ListedTask& task = tasks.emplace_back();
      for (const xml::Node& child : item.Children()) task.emplace_back(child.Name(), child.Text());
    }
    return tasks;
  }
  std::vector<std::string> Ids(const std::u16string& condition) {
    std::vector<std::string> ids;
    for (const ListedTask& task : List(condition)) ids.push_back(task.front().second);
    return ids;
  }
};

TEST_F(TaskListTest, WithoutKeysEveryTaskNewestFirstWithItsCounts) {
  const std::vector<ListedTask> tasks = List(u"<root/>");
  ASSERT_EQ(tasks.size(), 3u);
  EXPECT_EQ(tasks[0], (ListedTask{{"id", "NEW"},
                                  {"title", "任务NEW"},
                                  {"create_date", "2026-12-01 10:15"},
                                  {"creator_id", "9002"},
                                  {"creator", "韩志强"},
                                  {"phase_type", "1"},
                                  {"content_type", "2"},
                                  {"owner_type", "1"},
                                  {"status", "1"},
                                  {"valid", "1"},
                                  {"executor_type", "0"},
                                  {"content", "内容NEW"},
                                  {"patient_count", "0"},
                                  {"user_patient_count", "0"},
                                  {"receiver_patient_count", "0"}}));
  EXPECT_EQ(tasks[1][0].second, "DEPT");
  EXPECT_EQ(tasks[1][12].second, "1");
  EXPECT_EQ(tasks[2][0].second, "OLD");
  EXPECT_EQ(tasks[2][12].second, "3");
  EXPECT_EQ(tasks[2][13].second, "0");
}

TEST_F(TaskListTest, CountsTheVisitsDispatchedToTheUserAndTheReceiver) {
  const std::vector<ListedTask> tasks =
      List(u"<root><user_id>9002</user_id><executor_id>9003</executor_id></root>");
  ASSERT_EQ(tasks.size(), 3u);
  EXPECT_EQ(tasks[2][13], (std::pair<std::string, std::string>("user_patient_count", "2")));
  EXPECT_EQ(tasks[2][14], (std::pair<std::string, std::string>("receiver_patient_count", "1")));
  EXPECT_EQ(tasks[1][13].second, "0");
}

TEST_F(TaskListTest, FiltersByCreatorDepartmentDatesAndCodes) {
  EXPECT_EQ(Ids(u"<root><creator_id>9001</creator_id></root>"), std::vector<std::string>{"OLD"});
  EXPECT_EQ(Ids(u"<root><creator_id>9001</creator_id><dept_id>0101</dept_id></root>"),
            (std::vector<std::string>{"DEPT", "OLD"}));
  EXPECT_EQ(Ids(u"<root><dept_id>0101</dept_id></root>"), std::vector<std::string>{"DEPT"});
  // From inclusive, to exclusive.
  EXPECT_EQ(Ids(u"<root><create_date_from>2026-11-01 00:00:00</create_date_from>"
                u"<create_date_to>2026-12-01 10:15:30</create_date_to></root>"),
            std::vector<std::string>{"DEPT"});
  EXPECT_EQ(Ids(u"<root><owner_type>2</owner_type><valid>1</valid></root>"),
            std::vector<std::string>{"DEPT"});
  EXPECT_EQ(Ids(u"<root><title>任务OLD</title><creator>韩志强</creator></root>"),
            std::vector<std::string>{"OLD"});
}

TEST_F(TaskListTest, NoMatchGivesTheEmptyListAndABadCodeFails) {
  EXPECT_EQ(ListText(u"<root><title>无此任务</title></root>"), u"<?xml version='1.0' ?><root/>");
  EXPECT_EQ(ListText(u"<root><status>1 OR 1=1</status></root>"),
            u"不是有效的数字: '1 OR 1=1' (status)");
  EXPECT_EQ(ListText(u"<root><status>"), u"解析属性信息错误.");
}

TEST_F(TaskListTest, TextsWithMarkupAreEscapedAndValuesXmlCannotCarryRefused) {
  db_.Execute("UPDATE PEV_GRADE_TASK SET TITLE = 'a<b>&c', CONTENT = NULL WHERE ID = 'NEW'");
  const std::vector<ListedTask> tasks = List(u"<root><creator_id>9002</creator_id></root>");
  ASSERT_EQ(tasks.size(), 1u);
  EXPECT_EQ(tasks[0][1].second, "a<b>&c");
  EXPECT_EQ(tasks[0][11], (std::pair<std::string, std::string>("content", "")));
  db_.Execute("UPDATE PEV_GRADE_TASK SET TITLE = 'bell' || CHR(7) WHERE ID = 'NEW'");
  EXPECT_EQ(ListText(u"<root/>"), u"查询结果含有XML不允许的字符.");
}

}  // namespace
}  // namespace korvalis::testing
