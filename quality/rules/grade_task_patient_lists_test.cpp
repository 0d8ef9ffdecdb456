#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "foundation/suite/suite_interfaces.h"
#include "foundation/testing/list_elements.h"
#include "quality/rules/testing/grade_task_test_util.h"
#include "quality/rules/self_grade_list.h"
#include "suite/testing/sibling_doubles.h"

namespace korvalis::testing {
namespace {

using com::ScopedBstr;
using suite::testing::SiblingAnswer;
using suite::testing::SiblingDoubles;
using Attributes = std::map<std::string, std::string>;

constexpr int kGetUserProperty = 7;

// The attributes of each `item` of a hand-made list, in document order.
std::vector<Attributes> Items(const std::u16string& list) {
  std::vector<Attributes> items;
  for (Element& item : ReadElements(list)) items.push_back(std::move(item.attributes));
  return items;
}

// One attribute of each item, sorted.
std::vector<std::string> Sorted(const std::vector<Attributes>& items, const std::string& name) {
  std::vector<std::string> values;
  for (const Attributes& item : items) values.push_back(item.at(name));
  std::sort(values.begin(), values.end());
  return values;
}

class PatientListsTest : public GradeTaskTest {
 protected:
  void SetUp() override {
    db_.AddPatient({.id = "P1", .name = "O'Hara<甲>"});
    db_.AddVisit({.patient_id = "P1", .event_no = "E1", .dept_id = "0101", .bed_no = "07"});
    db_.AddPatient({.id = "P2", .name = "李四", .sex = 0});
    db_.AddVisit({.patient_id = "P2",
                  .event_no = "E2",
                  .dept_id = "0101",
                  .in_time = "2026-11-01 08:00:00",
                  .out_time = "2026-11-20 10:00:00"});
    db_.AddPatient({.id = "P3", .name = "王五"});
    db_.AddVisit({.patient_id = "P3", .event_no = "E3", .dept_id = "0102"});
    AddTask({.id = "T1", .owner_type = 2, .status = 3});
    AddTask({.id = "T2", .owner_type = 2, .valid = 0});
    AddTask({.id = "T3", .owner_type = 1});
  }

  std::vector<Attributes> TaskVisits(const std::u16string& condition) {
    return Items(Answer(&CBQCTask::GetPatientList, condition));
  }
  // The listed visits as "patient/task", sorted.
  std::vector<std::string> Listed(const std::u16string& condition) {
    return ListedVisits(Answer(&CBQCTask::GetPatientList, condition));
  }
};

TEST_F(PatientListsTest, AGradedVisitWithItsNoticeInTheListsOwnSpacing) {
  AddGrade({.task_id = "T1",
            .patient_id = "P1",
            .event_no = "E1",
            .score = "88.5",
            .grade_class = 2,
            .user_id = "9002",
            .executor_id = "9003",
            .grade_date = "2026-12-05 10:00:00",
            .rectify_id = "R1",
            .add_date = "2026-12-02 08:30:00"});
  AddNotice("R1", "P1", "E1", "T1");
  AddNotice("R0", "P1", "E1", "T1");  // an earlier notice of the visit in the task
  db_.AddRecord({.patient_id = "P1", .event_no = "E1"});
  EXPECT_EQ(Answer(&CBQCTask::GetPatientList, u"<root><task_id>T1</task_id></root>"),
            u"<?xml version='1.0' ?><root><item patient_id = 'P1' patient_name = "
            u"'O&apos;Hara&lt;甲&gt;' sex = '1' event_no = 'E1' status = '2' score = '88.5' "
            u"class = '2' user_id ='9002' grade_date ='2026-12-05' rectify_id ='R1' "
            u"executor_id ='9003' rectify_status ='1' now_dept_name ='心血管内科' "
            u"now_dept_id ='0101' doctor_name ='测试医生' in_time ='2026-01-05' out_time='' "
            u"emr_status='1' has_emr='1' rectify_count='2' task_id='T1' task_title='任务T1' "
            u"task_status='3' bed_no='07' add_time='2026-12-02 08:30:00'></item></root>");
}

TEST_F(PatientListsTest, EachConditionRestrictsTheVisitsInTasks) {
  AddGrade({.task_id = "T1",
            .patient_id = "P1",
            .event_no = "E1",
            .status = 1,
            .user_id = "9002",
            .executor_id = "9003",
            .grade_date = "2026-12-05 10:00:00"});
  AddGrade({.task_id = "T2",
            .patient_id = "P2",
            .event_no = "E2",
            .grade_class = 3,
            .user_id = "9001",
            .executor_id = "9001",
            .grade_date = "2026-12-06 10:00:00"});
  AddGrade({.task_id = "T3",
            .patient_id = "P1",
            .event_no = "E1",
            .user_id = "",
            .executor_id = "9003",
            .grade_date = ""});
  AddGrade({.task_id = "0000-self-grade-0000",
            .patient_id = "P3",
            .event_no = "E3",
            .user_id = "1002",
            .executor_id = "1002"});

  EXPECT_EQ(Listed(u"<root><self_grade>1</self_grade></root>"),
            (std::vector<std::string>{"P1/T1", "P1/T3", "P2/T2", "P3/0000-self-grade-0000"}));
  EXPECT_EQ(Listed(u"<root><self_grade>0</self_grade></root>"),
            (std::vector<std::string>{"P1/T1", "P1/T3", "P2/T2"}));
  // Only the executor: the user stands in the condition as an empty text, which matches none.
  EXPECT_EQ(Listed(u"<root><executor_id>9003</executor_id></root>"),
            (std::vector<std::string>{"P1/T1", "P1/T3"}));
  EXPECT_EQ(Listed(u"<root><user_id>9001</user_id><executor_id>9003</executor_id></root>"),
            (std::vector<std::string>{"P1/T1", "P1/T3", "P2/T2"}));
  EXPECT_EQ(Listed(u"<root><patient_id>P1</patient_id><event_no>E1</event_no></root>"),
            (std::vector<std::string>{"P1/T1", "P1/T3"}));
  EXPECT_EQ(Listed(u"<root><status>1</status></root>"), (std::vector<std::string>{"P1/T1"}));
  EXPECT_EQ(Listed(u"<root><class>3</class></root>"), (std::vector<std::string>{"P2/T2"}));
  EXPECT_EQ(Listed(u"<root><task_valid>1</task_valid><owner_type>2</owner_type></root>"),
            (std::vector<std::string>{"P1/T1"}));
  EXPECT_EQ(Listed(u"<root><task_status>3</task_status></root>"),
            (std::vector<std::string>{"P1/T1"}));
  // Newest grade first; descending order puts the ungraded first.
  std::vector<std::string> order;
  for (const Attributes& item : TaskVisits(u"<root><self_grade>0</self_grade></root>")) {
    order.push_back(item.at("task_id"));
  }
  EXPECT_EQ(order, (std::vector<std::string>{"T3", "T2", "T1"}));
  // A visit without a notice.
  const std::vector<Attributes> plain = TaskVisits(u"<root><task_id>T3</task_id></root>");
  ASSERT_EQ(plain.size(), 1u);
  EXPECT_EQ(plain[0].at("rectify_count"), "0");
  EXPECT_EQ(plain[0].at("rectify_id"), "");
  EXPECT_EQ(plain[0].at("rectify_status"), "");
  EXPECT_EQ(plain[0].at("has_emr"), "");
}

TEST_F(PatientListsTest, VisitsGradedOnOneDayFollowTheirTaskPatientAndVisit) {
  // Written out of the order of their keys; the list compares the grade's day only.
  AddGrade(
      {.task_id = "T3", .patient_id = "P2", .event_no = "E2", .grade_date = "2026-12-05 09:00:00"});
  AddGrade(
      {.task_id = "T3", .patient_id = "P1", .event_no = "E1", .grade_date = "2026-12-05 11:00:00"});
  AddGrade(
      {.task_id = "T1", .patient_id = "P3", .event_no = "E3", .grade_date = "2026-12-05 10:00:00"});
  AddGrade(
      {.task_id = "T2", .patient_id = "P1", .event_no = "E1", .grade_date = "2026-12-06 10:00:00"});
  std::vector<std::string> order;
  for (const Attributes& item : TaskVisits(u"<root><self_grade>0</self_grade></root>")) {
    order.push_back(item.at("task_id") + "/" + item.at("patient_id"));
  }
  EXPECT_EQ(order, (std::vector<std::string>{"T2/P1", "T1/P3", "T3/P1", "T3/P2"}));
}

TEST_F(PatientListsTest, AnEmptyConditionOrTheSelfGradeTaskAsksNothingElse) {
  ScopedBstr empty(u"<root/>"), result;
  EXPECT_EQ(RunAsCall(kUnreachableDatabase,
                      [&](CEMRDataSource* ds) {
                        CBQCTask::GetPatientList(ds, empty.get(), result.out());
                      }),
            u"");
  EXPECT_EQ(result.text(), u"<?xml version='1.0' ?><root></root>");

  db_.Execute(
      "INSERT INTO TELV_MANAGE_PATIENT (USER_ID, PATIENT_ID, EVENT_NO) VALUES ('1002', 'P1', "
      "'E1')");
  const std::u16string self_grade =
      u"<root><task_id>0000-self-grade-0000</task_id><user_id>1002</user_id>"
      u"<status>1 OR 1=1</status><executor_id>9003</executor_id></root>";
  ScopedBstr condition(self_grade), own;
  ASSERT_EQ(Call([&](CEMRDataSource* ds) {
              quality::GetSelfGradePatientList(ds, condition.get(), own.out());
            }),
            u"");
  EXPECT_EQ(Answer(&CBQCTask::GetPatientList, self_grade), own.text());
  EXPECT_EQ(Items(own.text()).size(), 1u);
}

TEST_F(PatientListsTest, CodesThatAreNoNumbersAreRefused) {
  AddGrade({.task_id = "T1", .patient_id = "P1", .event_no = "E1"});
  for (const char16_t* key : {u"status", u"class", u"task_valid", u"owner_type", u"task_status"}) {
    const std::u16string name(key);
    EXPECT_EQ(
        Answer(&CBQCTask::GetPatientList, u"<root><" + name + u">1 OR 1=1</" + name + u"></root>"),
        u"failed: 不是有效的数字: '1 OR 1=1' (" + name + u")");
  }
  // Texts stand quoted, a quote and all.
  EXPECT_TRUE(TaskVisits(u"<root><patient_id>P1' OR '1'='1</patient_id></root>").empty());
  EXPECT_EQ(Answer(&CBQCTask::GetPatientList, u"<root><status>"), u"failed: 解析属性信息错误.");
}

class DeptPatientListTest : public PatientListsTest {
 protected:
  void SetUp() override {
    PatientListsTest::SetUp();
    doubles_.Answer(IID_IUserProperty, kGetUserProperty, u"<root><name>O'Brien</name></root>");
  }
  std::u16string DeptList(const std::u16string& condition) {
    return Answer(&CBQCTask::GetDeptQCPatientList, condition);
  }
  std::vector<std::u16string> LookedUp() {
    std::vector<std::u16string> users;
    for (const auto& call : doubles_.Calls(IID_IUserProperty)) users.push_back(call.args.at(0));
    std::sort(users.begin(), users.end());
    return users;
  }

  SiblingDoubles doubles_;
};

TEST_F(DeptPatientListTest, EveryVisitOfTheDepartmentWithItsDepartmentTaskGrades) {
  // P1 graded in two department tasks (one invalid, still listed) and in a task of owner
  // type 1, which is never listed; P2 graded only in a task of owner type 1.
  AddGrade({.task_id = "T1",
            .patient_id = "P1",
            .event_no = "E1",
            .score = "88.5",
            .user_id = "9002",
            .grade_date = "2026-12-05 10:00:00"});
  AddGrade({.task_id = "T2", .patient_id = "P1", .event_no = "E1", .user_id = ""});
  AddGrade({.task_id = "T3", .patient_id = "P1", .event_no = "E1", .user_id = "9009"});
  AddGrade({.task_id = "T3", .patient_id = "P2", .event_no = "E2", .user_id = "9009"});

  const std::u16string list = DeptList(u"<root><dept_id>0101</dept_id></root>");
  const std::vector<Attributes> items = Items(list);
  ASSERT_EQ(items.size(), 3u) << ToUtf8(list);
  EXPECT_EQ(Sorted(items, "task_id"), (std::vector<std::string>{"", "T1", "T2"}));
  // One lookup per grader of the list, the empty grader too.
  EXPECT_EQ(LookedUp(), (std::vector<std::u16string>{u"", u"9002"}));
  const auto t1 = std::find_if(items.begin(), items.end(),
                               [](const Attributes& a) { return a.at("task_id") == "T1"; });
  ASSERT_NE(t1, items.end());
  EXPECT_EQ(*t1, (Attributes{{"patient_id", "P1"},
                             {"patient_name", "O'Hara<甲>"},
                             {"task_id", "T1"},
                             {"sex", "1"},
                             {"event_no", "E1"},
                             {"status", "2"},
                             {"score", "88.5"},
                             {"class", "1"},
                             {"user_id", "9002"},
                             {"user_name", "O'Brien"},
                             {"grade_date", "2026-12-05"},
                             {"in_dept_name", "心血管内科"},
                             {"doctor_name", "测试医生"},
                             {"emr_status", "1"},
                             {"in_time", "2026-01-05"},
                             {"out_time", ""}}));
  // The visit graded only in a task of owner type 1 has no grade.
  const auto p2 = std::find_if(items.begin(), items.end(),
                               [](const Attributes& a) { return a.at("patient_id") == "P2"; });
  ASSERT_NE(p2, items.end());
  for (const char* grade : {"task_id", "status", "score", "class", "user_id", "grade_date"}) {
    EXPECT_EQ(p2->at(grade), "") << grade;
  }
  EXPECT_EQ(p2->at("out_time"), "2026-11-20");
  // The hand-made text escapes what it writes.
  EXPECT_NE(list.find(u"patient_name = 'O&apos;Hara&lt;甲&gt;' task_id = 'T1' sex = '1' "
                      u"event_no = 'E1' status = '2' score = '88.5' class = '1' "
                      u"user_id ='9002' user_name ='O&apos;Brien' grade_date ='2026-12-05' "
                      u"in_dept_name ='心血管内科' doctor_name ='测试医生' emr_status ='1' "
                      u"in_time ='2026-01-05' out_time=''></item>"),
            std::u16string::npos)
      << ToUtf8(list);
}

TEST_F(DeptPatientListTest, TimeRangeOnlyWithBothEndsAndAnEmptyDepartmentListsEveryVisit) {
  EXPECT_EQ(Sorted(Items(DeptList(u"<root><dept_id>0101</dept_id>"
                                  u"<start_time>2026-12-01 00:00:00</start_time></root>")),
                   "patient_id"),
            (std::vector<std::string>{"P1", "P2"}));
  // Newest admission first within the range.
  std::vector<std::string> order;
  for (const Attributes& item :
       Items(DeptList(u"<root><dept_id>0101</dept_id><start_time>2026-01-01 00:00:00"
                      u"</start_time><end_time>2026-12-31 00:00:00</end_time></root>"))) {
    order.push_back(item.at("patient_id"));
  }
  EXPECT_EQ(order, (std::vector<std::string>{"P2", "P1"}));
  EXPECT_EQ(Items(DeptList(u"<root><dept_id>0101</dept_id><start_time>2026-01-06 00:00:00"
                           u"</start_time><end_time>2026-12-31 00:00:00</end_time></root>"))
                .size(),
            1u);

  AddGrade({.task_id = "T1", .patient_id = "P1", .event_no = "E1"});
  const std::vector<Attributes> every = Items(DeptList(u"<root><dept_id/></root>"));
  EXPECT_EQ(Sorted(every, "patient_id"), (std::vector<std::string>{"P1", "P2", "P3"}));
  EXPECT_EQ(Sorted(every, "task_id"), (std::vector<std::string>{"", "", ""}));
}

TEST_F(DeptPatientListTest, AFailingOrUnreadableLookupFailsTheWholeList) {
  // Both visits are ungraded: one lookup per list, the first taking the fixture's answer.
  EXPECT_EQ(Sorted(Items(DeptList(u"<root><dept_id>0101</dept_id></root>")), "user_name"),
            (std::vector<std::string>{"O'Brien", "O'Brien"}));
  doubles_.Fail(IID_IUserProperty, kGetUserProperty, E_FAIL, u"用户服务不可用");
  EXPECT_EQ(DeptList(u"<root><dept_id>0101</dept_id></root>"), u"failed: 用户服务不可用");
  doubles_.Fail(IID_IUserProperty, kGetUserProperty, E_FAIL);
  EXPECT_EQ(DeptList(u"<root><dept_id>0101</dept_id></root>"), u"failed: 系统未知错误.");
  doubles_.Answer(IID_IUserProperty, kGetUserProperty, u"<root><name>");
  EXPECT_EQ(DeptList(u"<root><dept_id>0101</dept_id></root>"), u"failed: 解析属性信息错误.");
  // An answer without text gives an empty name.
  SiblingAnswer no_text;
  no_text.text = std::nullopt;
  doubles_.Answer(IID_IUserProperty, kGetUserProperty, no_text);
  EXPECT_EQ(Sorted(Items(DeptList(u"<root><dept_id>0101</dept_id></root>")), "user_name"),
            (std::vector<std::string>{"", ""}));
  // A department without visits asks nothing.
  doubles_.ClearCalls();
  EXPECT_EQ(DeptList(u"<root><dept_id>0909</dept_id></root>"),
            u"<?xml version='1.0' ?><root></root>");
  EXPECT_TRUE(doubles_.Calls(IID_IUserProperty).empty());
}

}  // namespace
}  // namespace korvalis::testing
