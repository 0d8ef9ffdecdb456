// The fixture of the grade task tests: a fresh database with the system's schema, the
// database clock stopped, bodies run as calls, and rows of tasks, task visits, grade items,
// rectification notices and their links written in one line each.
//
// Thread-safety: a fixture and its database belong to its test's thread.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <string>
#include <vector>

#include "db/testing/test_database.h"
#include "foundation/testing/list_elements.h"
#include "foundation/testing/test_call.h"
#include "platform/com/scoped_bstr.h"
#include "platform/text/unicode.h"
#include "quality/rules/qc_task.h"

namespace korvalis::testing {

// A row of PEV_GRADE_TASK; the title is "任务" and the id when left empty.
struct GradeTaskRow {
  std::string id{};
  std::string create_date = "2026-12-01 08:00:00";
  std::string creator_id = "9001";
  int owner_type = 1;
  int phase_type = 1;
  int executor_type = 0;
  int valid = 1;
  int status = 1;
  std::string title{};
};

// A graded visit of a task (PEV_GRADE_PATIENT); an empty date writes NULL.
struct GradeRow {
  std::string task_id{};
  std::string patient_id{};
  std::string event_no{};
  int status = 2;
  std::string score = "90";
  int grade_class = 1;
  std::string user_id = "9002";
  std::string executor_id = "9002";
  std::string grade_date = "2026-12-05 10:00:00";
  std::string rectify_id{};
  std::string add_date = "2026-12-02 08:00:00";
};

// The visits of a list as "<patient_id>/<task_id>" of each child of its `root`, sorted.
inline std::vector<std::string> ListedVisits(const std::u16string& list) {
  std::vector<std::string> visits;
  for (const Element& item : ReadElements(list)) {
    visits.push_back(item.attributes.at("patient_id") + "/" + item.attributes.at("task_id"));
  }
  std::sort(visits.begin(), visits.end());
  return visits;
}

class GradeTaskTest : public ::testing::Test {
 protected:
  GradeTaskTest() = default;
  explicit GradeTaskTest(db::Engine engine)
      : db_(schema::DatabaseContents::kInstallation, engine) {}

  // Runs the body as one call; the failure's text, "" on success.
  template <class Body>
  std::u16string Call(Body&& body) {
    return RunAsCall(db_.init_string(), body);
  }

  // Runs `body(data source, argument, result)` as one call: its answer, or "failed: " and the
  // failure's text.
  template <class Body>
  std::u16string Answer(Body body, const std::u16string& argument) {
    com::ScopedBstr text(argument), result;
    const std::u16string failure =
        Call([&](CEMRDataSource* ds) { body(ds, text.get(), result.out()); });
    return failure.empty() ? result.text() : u"failed: " + failure;
  }

  void AddTask(const std::string& id, const std::string& create_date,
               const std::string& creator_id = "9001", int owner_type = 1) {
    AddTask(
        {.id = id, .create_date = create_date, .creator_id = creator_id, .owner_type = owner_type});
  }
  void AddTask(const GradeTaskRow& task) {
    db_.Execute(
        "INSERT INTO PEV_GRADE_TASK (ID, TITLE, CREATE_DATE, CREATOR_ID, CREATOR, PHASE_TYPE, "
        "CONTENT_TYPE, OWNER_TYPE, STATUS, VALID, EXECUTOR_TYPE, CONTENT) VALUES (" +
        schema::SqlText(task.id) + ", " +
        schema::SqlText(task.title.empty() ? "任务" + task.id : task.title) + ", " +
        schema::SqlDate(task.create_date) + ", " + schema::SqlText(task.creator_id) +
        ", '韩志强', " + std::to_string(task.phase_type) + ", 2, " +
        std::to_string(task.owner_type) + ", " + std::to_string(task.status) + ", " +
        std::to_string(task.valid) + ", " + std::to_string(task.executor_type) + ", " +
        schema::SqlText("内容" + task.id) + ")");
  }
  void AddGrade(const GradeRow& grade) {
    const auto date = [](const std::string& text) {
      return text.empty() ? std::string("NULL") : schema::SqlDate(text);
    };
    db_.Execute(
        "INSERT INTO PEV_GRADE_PATIENT (TASK_ID, PATIENT_ID, EVENT_NO, STATUS, SCORE, CLASS, "
        "USER_ID, EXECUTOR_ID, GRADE_DATE, RECTIFY_ID, ADD_DATE) VALUES (" +
        schema::SqlText(grade.task_id) + ", " + schema::SqlText(grade.patient_id) + ", " +
        schema::SqlText(grade.event_no) + ", " + std::to_string(grade.status) + ", " +
        (grade.score.empty() ? "NULL" : grade.score) + ", " + std::to_string(grade.grade_class) +
        ", " + schema::SqlText(grade.user_id) + ", " + schema::SqlText(grade.executor_id) + ", " +
        date(grade.grade_date) + ", " + schema::SqlText(grade.rectify_id) + ", " +
        date(grade.add_date) + ")");
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

  // The database refuses every insert into `table` whose new row meets `when` (SQLite's
  // condition on NEW), as a constraint would: the statement fails.
  void RefuseInserts(const std::string& table, const std::string& when) {
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(db_.path().c_str(), &raw), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(raw,
                           ("CREATE TRIGGER REFUSE_" + table + " BEFORE INSERT ON " + table +
                            " WHEN " + when + " BEGIN SELECT RAISE(ABORT, 'refused'); END")
                               .c_str(),
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(raw);
  }

  schema::TestDatabase db_;
  ScopedDatabaseClock clock_{{2026, 12, 7, 8, 0, 0}};
};

}  // namespace korvalis::testing
