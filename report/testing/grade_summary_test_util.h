// What the tests of the grade-summary bodies share: a fresh database per case with the database
// clock stopped (the grade task fixture), the bodies called as one call each, and summary and
// template rows written directly.
//
// Thread-safety: one test thread.
#pragma once

#include <string>
#include <vector>

#include "foundation/data/single_data_source.h"
#include "quality/rules/testing/grade_task_test_util.h"
#include "report/qc_grade_summary.h"

namespace korvalis::report::testing {

using korvalis::testing::GradeTaskTest;

// A PEV_SUMMARY row; NULL for empty texts.
struct SummaryRow {
  std::string id{};
  std::string title = "总结";
  int template_id = 1;
  std::string creator_id = "9001";
  int status = 1;
  int type = 1;
  std::string dept_id = "0101";
  std::string task_id = "T1";
  int report_status = 0;
};

class GradeSummaryTest : public GradeTaskTest {
 protected:
  using GradeTaskTest::GradeTaskTest;

  // A method of one text argument without an answer: the failure's text, "" on success.
  std::u16string Do(long (*method)(CEMRDataSource*, BSTR), const std::u16string& argument) {
    com::ScopedBstr text(argument);
    return Call([&](CEMRDataSource* ds) { method(ds, text.get()); });
  }
  // A method of two text arguments without an answer.
  std::u16string Do(long (*method)(CEMRDataSource*, BSTR, BSTR), const std::u16string& first,
                    const std::u16string& second) {
    com::ScopedBstr one(first), two(second);
    return Call([&](CEMRDataSource* ds) { method(ds, one.get(), two.get()); });
  }

  void AddSummary(const SummaryRow& row) {
    db_.Execute(
        "INSERT INTO PEV_SUMMARY (ID, TITLE, TEMPLATE_ID, CREATE_DATE, CREATOR_ID, STATUS, TYPE, "
        "DEPT_ID, TASK_ID, REPORT_STATUS) VALUES (" +
        schema::SqlText(row.id) + ", " + schema::SqlText(row.title) + ", " +
        std::to_string(row.template_id) + ", TO_DATE('2026-12-01', 'YYYY-MM-DD'), " +
        schema::SqlText(row.creator_id) + ", " + std::to_string(row.status) + ", " +
        std::to_string(row.type) + ", " + schema::SqlText(row.dept_id) + ", " +
        schema::SqlText(row.task_id) + ", " + std::to_string(row.report_status) + ")");
  }
  void AddSummaryTemplate(int id, const std::string& creator = "韩志强",
                          const std::string& sort_code = "") {
    db_.Execute(
        "INSERT INTO PEV_SUMMARY_TEMPLATE (ID, NAME, CREATOR, CREATE_DATE, SORT_CODE, STATUS, "
        "TYPE) VALUES (" +
        std::to_string(id) + ", '模板" + std::to_string(id) + "', " + schema::SqlText(creator) +
        ", TO_DATE('2026-09-01', 'YYYY-MM-DD'), " +
        schema::SqlText(sort_code.empty() ? std::to_string(id) : sort_code) + ", 1, 1)");
  }
  // The template's XSL stored as SaveXslContent stores it.
  void SetXsl(int template_id, const std::u16string& xsl) {
    EXPECT_EQ(Do(&CBQCGradeSummary::SaveXslContent, FromUtf8(std::to_string(template_id)), xsl),
              u"");
  }

  // The identifiers of the summaries, sorted.
  std::vector<std::string> SummaryIds() {
    std::vector<std::string> ids;
    for (const auto& row : db_.Query("SELECT ID FROM PEV_SUMMARY ORDER BY ID")) {
      ids.push_back(row[0]);
    }
    return ids;
  }
};

}  // namespace korvalis::report::testing
