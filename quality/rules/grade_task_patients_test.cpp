#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quality/rules/testing/grade_task_test_util.h"

namespace korvalis::testing {
namespace {

using com::ScopedBstr;
using Rows = std::vector<std::vector<std::string>>;

class TaskPatientsTest : public GradeTaskTest {
 protected:
  std::u16string Add(const std::u16string& task_id, const std::u16string& list) {
    ScopedBstr task(task_id), patients(list);
    return Call([&](CEMRDataSource* ds) { CBQCTask::AddPatient(ds, task.get(), patients.get()); });
  }
  std::u16string Dispatch(const std::u16string& user_id, const std::u16string& list) {
    ScopedBstr user(user_id), patients(list);
    return Call(
        [&](CEMRDataSource* ds) { CBQCTask::DispatchPatient(ds, user.get(), patients.get()); });
  }
  std::u16string Remove(const std::u16string& list) {
    ScopedBstr condition(list);
    return Call([&](CEMRDataSource* ds) { CBQCTask::RemovePatient(ds, condition.get()); });
  }
  Rows Visits() {
    return db_.Query(
        "SELECT TASK_ID, PATIENT_ID, EVENT_NO, STATUS, EXECUTOR_ID, USER_ID FROM "
        "PEV_GRADE_PATIENT ORDER BY TASK_ID, PATIENT_ID, EVENT_NO");
  }
};

TEST_F(TaskPatientsTest, AVisitEntersATaskOnce) {
  const std::u16string list =
      u"<list><group><item patient_id='P1' event_no='E1'/></group>"
      u"<item patient_id='P2' event_no='E1'/><item patient_id='P3'/><other patient_id='P4' "
      u"event_no='E1'/></list>";
  ASSERT_EQ(Add(u"T1", list), u"");
  db_.Execute("UPDATE PEV_GRADE_PATIENT SET STATUS = 1 WHERE PATIENT_ID = 'P1'");
  ASSERT_EQ(Add(u"T1", list), u"");
  ASSERT_EQ(Add(u"T2", u"<root><item patient_id='P1' event_no='E1'/></root>"), u"");
  EXPECT_EQ(Visits(), (Rows{{"T1", "P1", "E1", "1", "", ""},
                            {"T1", "P2", "E1", "0", "", ""},
                            {"T2", "P1", "E1", "0", "", ""}}))
      << "a visit already in the task is left as it is; an item without a visit is skipped";
  EXPECT_EQ(db_.QueryScalar("SELECT MIN(ADD_DATE) FROM PEV_GRADE_PATIENT"), "2026-12-07 08:00:00");
}

TEST_F(TaskPatientsTest, AListThatIsNoXmlFailsBeforeAnyStatement) {
  AddTaskVisit("T1", "P1", "E1", "9002");
  const std::u16string broken = u"<root><item patient_id='P2' event_no='E1'/>";
  EXPECT_EQ(Add(u"T1", broken), u"无效XML!");
  EXPECT_EQ(Dispatch(u"", broken), u"无效XML!");
  EXPECT_EQ(Remove(u"<root><item patient_id='P1' event_no='E1' task_id='T1'></root>"), u"无效XML!");
  EXPECT_EQ(Visits(), (Rows{{"T1", "P1", "E1", "1", "9002", ""}}));
  EXPECT_EQ(Add(u"T1", u""), u"") << "an empty list holds no visit";
}

TEST_F(TaskPatientsTest, DispatchCarriesTheUserByExecutorType) {
  for (const char* patient : {"P1", "P2", "P3", "P4", "P5"}) AddTaskVisit("T1", patient, "E1");
  ASSERT_EQ(Dispatch(u"9002",
                     u"<root><item patient_id='P1' event_no='E1' task_id='T1' executor_type='0'/>"
                     u"<item patient_id='P2' event_no='E1' task_id='T1'/>"
                     u"<item patient_id='P3' event_no='E1' task_id='T1' executor_type='1'/>"
                     u"<item patient_id='P4' event_no='E1' task_id='T1'/>"
                     u"<item patient_id='P5' event_no='E1' task_id='T2' executor_type='0'/>"
                     u"<item event_no='E1' task_id='T1' executor_type='0'/></root>"),
            u"");
  EXPECT_EQ(Visits(), (Rows{{"T1", "P1", "E1", "1", "9002", "9002"},
                            {"T1", "P2", "E1", "1", "9002", "9002"},
                            {"T1", "P3", "E1", "1", "9002", ""},
                            {"T1", "P4", "E1", "1", "9002", ""},
                            {"T1", "P5", "E1", "0", "", ""}}))
      << "a visit of another task, or an item without a patient, changes nothing";

  // Withdrawn: status 0, no executor; the first item of another type gets no user.
  ASSERT_EQ(Dispatch(u"",
                     u"<root><item patient_id='P1' event_no='E1' task_id='T1'/>"
                     u"<item patient_id='P2' event_no='E1' task_id='T1' executor_type='0'/>"
                     u"</root>"),
            u"");
  const Rows visits = Visits();
  EXPECT_EQ(visits[0], (std::vector<std::string>{"T1", "P1", "E1", "0", "", ""}));
  EXPECT_EQ(visits[1], (std::vector<std::string>{"T1", "P2", "E1", "0", "", ""}));
}

TEST_F(TaskPatientsTest, RemoveTakesTheVisitWithItsGradesLinksAndEveryLinkedNotice) {
  AddTaskVisit("T1", "P1", "E1");
  AddTaskVisit("T2", "P1", "E1");
  AddTaskVisit("T1", "P2", "E1");
  for (const char* task : {"T1", "T2"}) AddGradeItem(task, "P1", "E1");
  AddNotice("R1", "P1", "E1", "T1");
  AddNotice("R2", "P1", "E1", "T1");
  AddNotice("R3", "P1", "E1", "T2");
  AddNotice("R4", "P2", "E1");  // a notice of the visit without a link
  AddGradeItem("T1", "P2", "E1");

  ASSERT_EQ(Remove(u"<root><item patient_id='P1' event_no='E1' task_id='T1'/>"
                   u"<item patient_id='P1' event_no='E1'/></root>"),
            u"");
  EXPECT_EQ(Visits(), (Rows{{"T1", "P2", "E1", "0", "", ""}, {"T2", "P1", "E1", "0", "", ""}}));
  EXPECT_EQ(db_.Query("SELECT TASK_ID FROM PEV_GRADE_ITEM WHERE PATIENT_ID = 'P1'"),
            (Rows{{"T2"}}));
  EXPECT_EQ(db_.Query("SELECT RECTIFY_ID FROM PEV_GRADE_TASK_RECTIFY"), (Rows{{"R3"}}));
  EXPECT_EQ(db_.Query("SELECT ID FROM PEV_RECTIFY_INFO ORDER BY ID"), (Rows{{"R3"}, {"R4"}}))
      << "both notices linked in T1 go";
  EXPECT_EQ(db_.Query("SELECT RECTIFY_ID FROM PEV_RECTIFY_ITEM ORDER BY RECTIFY_ID"),
            (Rows{{"R3"}, {"R4"}}));

  // A visit without links: its grade items go, no notice is touched.
  ASSERT_EQ(Remove(u"<root><item patient_id='P2' event_no='E1' task_id='T1'/></root>"), u"");
  EXPECT_EQ(db_.Count("PEV_GRADE_ITEM", "PATIENT_ID = 'P2'"), 0);
  EXPECT_EQ(db_.Count("PEV_RECTIFY_INFO"), 2);
}

}  // namespace
}  // namespace korvalis::testing
