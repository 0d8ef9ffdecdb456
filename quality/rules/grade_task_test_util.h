// The fixture of the grade task tests: a fresh database with the system's schema, the
// database clock stopped, bodies run as calls, and rows of tasks, task visits, grade items,
// rectification notices and their links written in one line each.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "db/testing/test_database.h"
#include "foundation/testing/test_call.h"
#include "platform/com/scoped_bstr.h"
#include "platform/com/unicode.h"
#include "quality/rules/qc_task.h"

namespace korvalis::testing {

class GradeTaskTest : public ::testing::Test {
 protected:
  // Runs the body as one call; the failure's text, "" on success.
  template <class Body>
  std::u16string Call(Body&& body) {
    return RunAsCall(db_.init_string(), body);
  }

  void AddTask(const std::string& id, const std::string& create_date,
               const std::string& creator_id = "9001", int owner_type = 1) {
    db_.Execute(
        "INSERT INTO PEV_GRADE_TASK (ID, TITLE, CREATE_DATE, CREATOR_ID, CREATOR, PHASE_TYPE, "
        "CONTENT_TYPE, OWNER_TYPE, STATUS, VALID, EXECUTOR_TYPE, CONTENT) VALUES ('" +
        id + "', '任务" + id + "', " + schema::SqlDate(create_date) + ", '" + creator_id +
        "', '韩志强', 1, 2, " + std::to_string(owner_type) + ", 1, 1, 0, '内容" + id + "')");
  }
  void AddTaskVisit(const std::string& task_id, const std::string& patient_id,
                    const std::string& event_no, const std::string& executor_id = "") {
    db_.Execute(
        "INSERT INTO PEV_GRADE_PATIENT (TASK_ID, PATIENT_ID, EVENT_NO, STATUS, EXECUTOR_ID) "
        "VALUES ('" +
        task_id + "', '" + patient_id + "', '" + event_no + "', " +
        (executor_id.empty() ? "0, NULL" : "1, '" + executor_id + "'") + ")");
  }
  void AddGradeItem(const std::string& task_id, const std::string& patient_id,
                    const std::string& event_no) {
    db_.Execute(
        "INSERT INTO PEV_GRADE_ITEM (TASK_ID, PATIENT_ID, EVENT_NO, STANDARD_ID, DEDUCT) "
        "VALUES ('" +
        task_id + "', '" + patient_id + "', '" + event_no + "', '1', 2)");
  }
  // A notice of the visit with one item, linked to the task when `task_id` is given.
  void AddNotice(const std::string& id, const std::string& patient_id, const std::string& event_no,
                 const std::string& task_id = "") {
    db_.Execute(
        "INSERT INTO PEV_RECTIFY_INFO (ID, TITLE, PATIENT_ID, EVENT_NO, TYPE, STATUS) "
        "VALUES ('" +
        id + "', '整改', '" + patient_id + "', '" + event_no + "', 1, 1)");
    db_.Execute(
        "INSERT INTO PEV_RECTIFY_ITEM (RECTIFY_ID, STANDARD_ID, SERIAL, CONTENT) VALUES ('" + id +
        "', 1, 1, '缺项')");
    if (task_id.empty()) return;
    db_.Execute(
        "INSERT INTO PEV_GRADE_TASK_RECTIFY (TASK_ID, PATIENT_ID, EVENT_NO, RECTIFY_ID) VALUES "
        "('" +
        task_id + "', '" + patient_id + "', '" + event_no + "', '" + id + "')");
  }

  schema::TestDatabase db_;
  ScopedDatabaseClock clock_{{2026, 12, 7, 8, 0, 0}};
};

}  // namespace korvalis::testing
