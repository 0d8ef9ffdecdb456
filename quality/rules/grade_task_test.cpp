#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>
#include <vector>

#include "foundation/data/db_type.h"
#include "foundation/xml/xml_property.h"
#include "quality/rules/grade_task_statements.h"
#include "quality/rules/testing/grade_task_test_util.h"

namespace korvalis::testing {
namespace {

using com::ScopedBstr;

constexpr char16_t kTask[] =
    u"<root><title>O'Brien的任务</title><creator_id>9001</creator_id><creator>韩志强</creator>"
    u"<phase_type>2</phase_type><content_type>1</content_type><owner_type>1</owner_type>"
    u"<status>1</status><valid>1</valid><executor_type>0</executor_type>"
    u"<content>抽查</content></root>";

// The task document with one element replaced (or added) by `element`.
std::u16string TaskWith(const std::u16string& name, const std::u16string& element) {
  std::u16string task = kTask;
  const std::size_t open = task.find(u"<" + name + u">");
  if (open == std::u16string::npos) return task.insert(task.size() - 7, element);
  const std::u16string close = u"</" + name + u">";
  return task.replace(open, task.find(close) + close.size() - open, element);
}

using TaskRow = std::vector<std::string>;
constexpr char kTaskColumns[] =
    "SELECT TITLE, CREATE_DATE, CREATOR_ID, CREATOR, PHASE_TYPE, CONTENT_TYPE, OWNER_TYPE, "
    "STATUS, VALID, EXECUTOR_TYPE, CONTENT FROM PEV_GRADE_TASK WHERE ID = ";

class TaskOperationsTest : public GradeTaskTest {
 protected:
  std::u16string New(const std::u16string& task, std::u16string* id = nullptr) {
    ScopedBstr property(task), result;
    const std::u16string failure =
        Call([&](CEMRDataSource* ds) { CBQCTask::New(ds, property.get(), result.out()); });
    if (id != nullptr) *id = result.text();
    return failure;
  }
  TaskRow Row(const std::string& id) {
    auto rows = db_.Query(kTaskColumns + schema::SqlText(id));
    return rows.empty() ? TaskRow() : rows.front();
  }
};

TEST_F(TaskOperationsTest, NewStoresTheTaskUnderAFreshLowerCaseGuid) {
  std::u16string first, second;
  ASSERT_EQ(New(kTask, &first), u"");
  ASSERT_EQ(
      New(TaskWith(u"create_date", u"<create_date>2012-05-01 08:30:00</create_date>"), &second),
      u"");
  const std::regex guid("[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}");
  EXPECT_TRUE(std::regex_match(ToUtf8(first), guid)) << ToUtf8(first);
  EXPECT_TRUE(std::regex_match(ToUtf8(second), guid)) << ToUtf8(second);
  EXPECT_NE(first, second);
  // Without a date the server's time, with one that time.
  EXPECT_EQ(Row(ToUtf8(first)), (TaskRow{"O'Brien的任务", "2026-12-07 08:00:00", "9001", "韩志强",
                                         "2", "1", "1", "1", "1", "0", "抽查"}));
  EXPECT_EQ(Row(ToUtf8(second))[1], "2012-05-01 08:30:00");
}

TEST_F(TaskOperationsTest, NewDeptQCTaskStoresTheGivenIdWithoutExecutorType) {
  ScopedBstr property(TaskWith(u"id", u"<id>dept-0101-2026-12</id>"));
  ASSERT_EQ(Call([&](CEMRDataSource* ds) { CBQCTask::NewDeptQCTask(ds, property.get()); }), u"");
  const TaskRow row = Row("dept-0101-2026-12");
  ASSERT_FALSE(row.empty());
  EXPECT_EQ(row[0], "O'Brien的任务");
  EXPECT_EQ(row[9], "") << "EXECUTOR_TYPE is not written";
}

TEST_F(TaskOperationsTest, ATaskCodeThatIsNoNumberFailsBeforeAnythingIsWritten) {
  EXPECT_EQ(New(TaskWith(u"status", u"<status>1 OR 1=1</status>")),
            u"不是有效的数字: '1 OR 1=1' (status)");
  EXPECT_EQ(New(TaskWith(u"executor_type", u"")), u"不是有效的数字: '' (executor_type)");
  ScopedBstr dept(TaskWith(u"valid", u"<valid>1)--</valid><id>d1</id>"));
  EXPECT_EQ(Call([&](CEMRDataSource* ds) { CBQCTask::NewDeptQCTask(ds, dept.get()); }),
            u"不是有效的数字: '1)--' (valid)");
  EXPECT_EQ(New(u"<root><title>未闭合</root>"), u"解析属性信息错误.");
  EXPECT_EQ(db_.Count("PEV_GRADE_TASK"), 0);
}

TEST_F(TaskOperationsTest, ModifySetsTheGivenColumnsAndAlwaysTheContent) {
  AddTask("T1", "2026-11-01 09:00:00");
  const TaskRow before = Row("T1");
  auto modify = [&](const std::u16string& id, const std::u16string& property) {
    ScopedBstr task_id(id), task(property);
    long result = -1;
    std::u16string failure =
        Call([&](CEMRDataSource* ds) { result = CBQCTask::Modify(ds, task_id.get(), task.get()); });
    EXPECT_EQ(failure, u"");
    return result;
  };
  EXPECT_EQ(modify(u"T1", u"<root><title>新标题</title></root>"), 0);
  TaskRow expected = before;
  expected[0] = "新标题";
  expected[10] = "";
  EXPECT_EQ(Row("T1"), expected) << "the title set, the content emptied, the rest kept";

  EXPECT_EQ(modify(u"T1", u"<root><content>新内容</content></root>"), 0);
  expected[10] = "新内容";
  EXPECT_EQ(Row("T1"), expected);

  EXPECT_EQ(modify(u"T1",
                   u"<root><create_date>2012-05-01 08:30:00</create_date>"
                   u"<status>3</status><executor_type>1</executor_type></root>"),
            0);
  expected[1] = "2012-05-01 08:30:00";
  expected[7] = "3";
  expected[9] = "1";
  expected[10] = "";
  EXPECT_EQ(Row("T1"), expected);

  // An empty task ID ends the call before anything is read.
  ScopedBstr empty_id(u""), task(u"<root><title>x</title></root>");
  TestDataSource unreachable(kUnreachableDatabase);
  EXPECT_EQ(CBQCTask::Modify(&unreachable, empty_id.get(), task.get()), 1);
  EXPECT_EQ(CBQCTask::Delete(&unreachable, empty_id.get()), 1);
}

TEST_F(TaskOperationsTest, TheChangeStatementHasTwoBlanksAfterSetAndNoCommaBeforeWhere) {
  CDBOracle oracle;
  EXPECT_EQ(quality::TaskUpdateStatement(oracle, u"T1",
                                         CXmlProperty(u"<root><title>a'b</title>"
                                                      u"<owner_type>2</owner_type></root>")),
            u"UPDATE PEV_GRADE_TASK XAT SET  XAT.TITLE = 'a''b', XAT.OWNER_TYPE = 2, "
            u"XAT.CONTENT = '' WHERE XAT.ID = 'T1'");
  ScopedBstr id(u"T1"), injected(u"<root><phase_type>1, TITLE = 'x'</phase_type></root>");
  EXPECT_EQ(Call([&](CEMRDataSource* ds) { CBQCTask::Modify(ds, id.get(), injected.get()); }),
            u"不是有效的数字: '1, TITLE = 'x'' (phase_type)");
}

TEST_F(TaskOperationsTest, DeleteRemovesOnlyTheTaskRow) {
  AddTask("T1", "2026-11-01 09:00:00");
  AddTaskVisit("T1", "P1", "E1");
  AddGradeItem("T1", "P1", "E1");
  AddNotice("R1", "P1", "E1", "T1");
  db_.Execute("INSERT INTO PEV_GRADE_TASK_SUMMARIZE (TASK_ID, USER_ID) VALUES ('T1', '9001')");
  ScopedBstr id(u"T1");
  ASSERT_EQ(Call([&](CEMRDataSource* ds) { CBQCTask::Delete(ds, id.get()); }), u"");
  EXPECT_EQ(db_.Count("PEV_GRADE_TASK"), 0);
  for (const char* table : {"PEV_GRADE_PATIENT", "PEV_GRADE_ITEM", "PEV_GRADE_TASK_RECTIFY",
                            "PEV_GRADE_TASK_SUMMARIZE", "PEV_RECTIFY_INFO"}) {
    EXPECT_EQ(db_.Count(table), 1) << table;
  }
}

TEST_F(TaskOperationsTest, ASecondSummaryReplacesTheFirstAndAFailedOneKeepsIt) {
  auto summarize = [&](const std::u16string& property) {
    ScopedBstr summary(property);
    return Call([&](CEMRDataSource* ds) { CBQCTask::SetTaskSummarize(ds, summary.get()); });
  };
  const std::string opinions =
      "SELECT OPINION, SUGGESTION FROM PEV_GRADE_TASK_SUMMARIZE WHERE TASK_ID = 'T1'";
  ASSERT_EQ(summarize(u"<root><task_id>T1</task_id><user_id>9001</user_id>"
                      u"<opinion>初评</opinion><suggestion>无</suggestion></root>"),
            u"");
  ASSERT_EQ(summarize(u"<root><task_id>T1</task_id><user_id>9001</user_id>"
                      u"<opinion>复评</opinion></root>"),
            u"");
  EXPECT_EQ(db_.Query(opinions), (std::vector<std::vector<std::string>>{{"复评", ""}}));

  EXPECT_EQ(summarize(u"<root><task_id>T1</task_id><opinion>x</opinion></root>"),
            u"任务ID与用户ID不能为空!");
  EXPECT_EQ(summarize(u"<root><user_id>9001</user_id></root>"), u"任务ID与用户ID不能为空!");

  // The database refuses the new summary after the old one was deleted: the call is undone.
  RefuseInserts("PEV_GRADE_TASK_SUMMARIZE", "NEW.OPINION = 'refused'");
  EXPECT_NE(summarize(u"<root><task_id>T1</task_id><user_id>9001</user_id>"
                      u"<opinion>refused</opinion></root>"),
            u"");
  EXPECT_EQ(db_.Query(opinions), (std::vector<std::vector<std::string>>{{"复评", ""}}));
}

}  // namespace
}  // namespace korvalis::testing
