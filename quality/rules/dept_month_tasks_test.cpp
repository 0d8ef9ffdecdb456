#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/db/database_clock.h"
#include "quality/rules/testing/grade_task_test_util.h"
#include "quality/rules/self_grade_list.h"

namespace korvalis::testing {
namespace {

using com::ScopedBstr;
using Rows = std::vector<std::vector<std::string>>;

constexpr char16_t kABC[] = u"<root><dept_id>0105</dept_id><dept_name>ABC</dept_name></root>";
constexpr char kDeptTasks[] =
    "SELECT TITLE, CONTENT, CREATE_DATE, CREATOR_ID, CREATOR, PHASE_TYPE, CONTENT_TYPE, "
    "OWNER_TYPE, STATUS, VALID, EXECUTOR_TYPE FROM PEV_GRADE_TASK WHERE CREATOR_ID = '0105' "
    "ORDER BY TITLE";

std::vector<std::string> Row(const std::string& title) {
  return {title, title, "2012-05-16 09:30:00", "0105", "ABC", "1", "1", "2", "1", "1", "1"};
}

const Rows kWeeklyTasks{Row("ABC2012年05月第1周环节质控"), Row("ABC2012年05月第2周环节质控"),
                        Row("ABC2012年05月第3周环节质控"), Row("ABC2012年05月第4周环节质控")};

// The database's clock stands in the middle of May 2012.
class DeptMonthTasksTest : public GradeTaskTest {
 protected:
  void SetUp() override {
    db::SetDatabaseClock(std::make_shared<FixedDatabaseClock>(db::DateTime{2012, 5, 16, 9, 30, 0}));
  }

  std::u16string NewMonthTasks(const std::u16string& condition = kABC) {
    ScopedBstr argument(condition);
    return Call([&](CEMRDataSource* ds) { CBQCTask::NewMonthTaskForDept(ds, argument.get()); });
  }
  void SetFrequency(const std::string& parameter) {
    db_.SetSysParam("emr_grade_default", parameter);
  }
};

TEST_F(DeptMonthTasksTest, FrequencyOneMakesTheMonthsTask) {
  SetFrequency(
      "<root><dept_grade_task_autocreate><frequency>1</frequency>"
      "</dept_grade_task_autocreate></root>");
  ASSERT_EQ(NewMonthTasks(), u"");
  EXPECT_EQ(db_.Query(kDeptTasks), Rows{Row("ABC2012年05月环节质控")});
  const std::regex guid("[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}");
  EXPECT_TRUE(std::regex_match(db_.QueryScalar("SELECT ID FROM PEV_GRADE_TASK"), guid));
}

TEST_F(DeptMonthTasksTest, AnyOtherFrequencyMakesFourWeeklyTasksEachWithItsOwnId) {
  for (const char* parameter :
       {"<root><dept_grade_task_autocreate><frequency>2</frequency></dept_grade_task_autocreate>"
        "</root>",
        "<root><dept_grade_task_autocreate><frequency/></dept_grade_task_autocreate></root>",
        "<root><dept_grade_task_autocreate/></root>", ""}) {
    db_.Execute("DELETE FROM PEV_GRADE_TASK");
    SetFrequency(parameter);
    ASSERT_EQ(NewMonthTasks(), u"") << parameter;
    EXPECT_EQ(db_.Query(kDeptTasks), kWeeklyTasks) << parameter;
    EXPECT_EQ(db_.QueryScalar("SELECT COUNT(DISTINCT ID) FROM PEV_GRADE_TASK"), "4");
  }
  // No parameter at all.
  db_.Execute("DELETE FROM PEV_GRADE_TASK");
  db_.Execute("DELETE FROM TELV_SYS_PARAM WHERE NAME = 'emr_grade_default'");
  ASSERT_EQ(NewMonthTasks(), u"");
  EXPECT_EQ(db_.Query(kDeptTasks), kWeeklyTasks);
}

TEST_F(DeptMonthTasksTest, AMonthWithADepartmentTaskGetsNoneAndLastMonthDoesNotCount) {
  AddTask(
      {.id = "april", .create_date = "2012-04-30 23:59:59", .creator_id = "0105", .owner_type = 2});
  AddTask({.id = "user's",
           .create_date = "2012-05-02 08:00:00",
           .creator_id = "0105",
           .owner_type = 1});
  ASSERT_EQ(NewMonthTasks(), u"");
  EXPECT_EQ(db_.Count("PEV_GRADE_TASK"), 6);
  ASSERT_EQ(NewMonthTasks(), u"");
  EXPECT_EQ(db_.Count("PEV_GRADE_TASK"), 6) << "a second call writes nothing";

  // A department task made this month by other means counts as the month's.
  ScopedBstr task(
      u"<root><id>dept-may</id><title>科室任务</title><creator_id>0106</creator_id>"
      u"<creator>DEF</creator><phase_type>1</phase_type><content_type>1</content_type>"
      u"<owner_type>2</owner_type><status>1</status><valid>1</valid></root>");
  ASSERT_EQ(Call([&](CEMRDataSource* ds) { CBQCTask::NewDeptQCTask(ds, task.get()); }), u"");
  ASSERT_EQ(NewMonthTasks(u"<root><dept_id>0106</dept_id><dept_name>DEF</dept_name></root>"), u"");
  EXPECT_EQ(db_.Count("PEV_GRADE_TASK", "CREATOR_ID = '0106'"), 1);
}

TEST_F(DeptMonthTasksTest, AFailureLeavesNoneOfTheMonthsTasks) {
  SetFrequency("<root><dept_grade_task_autocreate>");
  EXPECT_EQ(NewMonthTasks(), u"无效XML!");
  EXPECT_EQ(NewMonthTasks(u"<root><dept_id>0105"), u"解析属性信息错误.");
  EXPECT_EQ(db_.Count("PEV_GRADE_TASK"), 0);

  SetFrequency("");
  RefuseInserts("PEV_GRADE_TASK", "NEW.TITLE LIKE '%第3周%'");
  EXPECT_NE(NewMonthTasks(), u"");
  EXPECT_EQ(db_.Count("PEV_GRADE_TASK"), 0) << "the first two weeks are undone";
}

TEST_F(DeptMonthTasksTest, TwoFirstCallsAtOnceMakeTheMonthsTasksOnce) {
  SetFrequency("");
  std::u16string first, second;
  std::thread one([&] { first = NewMonthTasks(); });
  std::thread two([&] { second = NewMonthTasks(); });
  one.join();
  two.join();
  EXPECT_EQ(first, u"");
  EXPECT_EQ(second, u"");
  EXPECT_EQ(db_.Query(kDeptTasks), kWeeklyTasks);
}

class SelfGradeListTest : public GradeTaskTest {
 protected:
  void SetUp() override {
    db_.AddPatient({.id = "P1", .name = "O'Hara<甲>", .sex = 0});
    db_.AddVisit({.patient_id = "P1", .event_no = "E1"});
    db_.AddPatient({.id = "P2", .name = "李四"});
    db_.AddVisit({.patient_id = "P2", .event_no = "E2", .emr_status = 2});
    db_.AddPatient({.id = "P3", .name = "王五"});
    db_.AddVisit({.patient_id = "P3", .event_no = "E3"});
    for (const auto& [user, patient, event] :
         {std::tuple{"1002", "P1", "E1"}, {"1002", "P2", "E2"}, {"1003", "P3", "E3"}}) {
      db_.Execute(std::string("INSERT INTO TELV_MANAGE_PATIENT (USER_ID, PATIENT_ID, EVENT_NO) "
                              "VALUES ('") +
                  user + "', '" + patient + "', '" + event + "')");
    }
    // P2 is self-graded; its grade in another task is not a self-grade.
    AddGrade({.task_id = "0000-self-grade-0000",
              .patient_id = "P2",
              .event_no = "E2",
              .score = "95.5",
              .user_id = "1002",
              .grade_date = "2026-12-03 17:00:00"});
    AddGrade({.task_id = "T1", .patient_id = "P1", .event_no = "E1"});
    db_.AddRecord({.patient_id = "P2", .event_no = "E2"});
    db_.AddRecord({.patient_id = "P2", .event_no = "E2"});
    db_.AddRecord({.patient_id = "P1", .event_no = "E1", .status = 0});
  }
  std::u16string SelfGradeList(const std::u16string& condition) {
    ScopedBstr argument(condition), result;
    EXPECT_EQ(Call([&](CEMRDataSource* ds) {
                quality::GetSelfGradePatientList(ds, argument.get(), result.out());
              }),
              u"");
    return result.text();
  }
};

TEST_F(SelfGradeListTest, TheUsersVisitsUngradedFirstInTheListsOwnSpacing) {
  EXPECT_EQ(SelfGradeList(u"<root><user_id>1002</user_id></root>"),
            u"<?xml version='1.0' ?><root>"
            u"<item patient_id = 'P1' patient_name = 'O&apos;Hara&lt;甲&gt;' sex = '0' "
            u"event_no = 'E1' status = '' score = '' class = '' user_id ='' grade_date ='' "
            u"emr_status='1'  has_emr=''></item>"
            u"<item patient_id = 'P2' patient_name = '李四' sex = '1' event_no = 'E2' "
            u"status = '2' score = '95.5' class = '1' user_id ='1002' "
            u"grade_date ='2026-12-03 17:00:00' emr_status='2'  has_emr='1'></item></root>");
  EXPECT_EQ(SelfGradeList(u"<root><user_id></user_id></root>"),
            u"<?xml version='1.0' ?><root></root>");
  EXPECT_EQ(SelfGradeList(u"<root/>"), u"<?xml version='1.0' ?><root></root>");
}

}  // namespace
}  // namespace korvalis::testing
