// The core-system registers read the dates their callers give by the statements' formats, on
// both engines alike: a day where a day is read, a time refused there (the call fails with the
// database error and writes nothing) rather than cut to midnight or to the day before.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/testing/test_database.h"
#include "foundation/data/single_data_source.h"
#include "foundation/testing/emr_exception_test_util.h"
#include "foundation/testing/list_elements.h"
#include "foundation/testing/test_data_source.h"
#include "platform/com/scoped_bstr.h"
#include "platform/text/unicode.h"
#include "platform/db/testing/engine_database.h"
#include "quality/review/core_system.h"

namespace korvalis::review::testing {
namespace {

using korvalis::com::ScopedBstr;
using korvalis::testing::TestDataSource;
using Body = long (*)(CEMRDataSource*, BSTR, BSTR*);

class DateBoundsTest : public ::testing::TestWithParam<db::Engine> {
 protected:
  DateBoundsTest() : db_(korvalis::schema::DatabaseContents::kInstallation, GetParam()) {}

  // The answer of `body` to `condition`, or the failure's message.
  std::u16string Call(Body body, const std::string& condition) {
    std::u16string answer;
    const std::u16string failure = korvalis::testing::FailureOf([&] {
      TestDataSource data_source(db_.init_string());
      ScopedBstr text(FromUtf8(condition)), result;
      body(&data_source, text.get(), result.out());
      answer = result.text();
    });
    return failure.empty() ? answer : failure;
  }
  // The values of `attribute` of the listed items.
  std::vector<std::string> Listed(Body body, const std::string& condition,
                                  const std::string& attribute) {
    std::vector<std::string> values;
    for (const auto& item : korvalis::testing::ReadElements(Call(body, condition))) {
      values.push_back(item.attributes.at(attribute));
    }
    return values;
  }

  korvalis::schema::TestDatabase db_;
};

TEST_P(DateBoundsTest, CoreReportsAreBoundedByDaysAndATimeIsRefused) {
  db_.Execute(
      "INSERT INTO PEV_CORESYSTEM_REPORT (ID, REPORT_NAME, CREATE_TIME) VALUES ('R1', '早', "
      "TO_DATE('2026-12-01 00:00:00', 'YYYY-MM-DD HH24:MI:SS'))");
  db_.Execute(
      "INSERT INTO PEV_CORESYSTEM_REPORT (ID, REPORT_NAME, CREATE_TIME) VALUES ('R2', '九点', "
      "TO_DATE('2026-12-01 09:00:00', 'YYYY-MM-DD HH24:MI:SS'))");
  const std::u16string day = Call(&CBCoreSystem::GetCoreReport,
                                  "<root><create_time_end>2026-12-01</create_time_end></root>");
  EXPECT_NE(day.find(u"R1"), std::u16string::npos) << ToUtf8(day);
  EXPECT_EQ(day.find(u"R2"), std::u16string::npos) << ToUtf8(day);
  EXPECT_EQ(Call(&CBCoreSystem::GetCoreReport,
                 "<root><create_time_end>2026-12-01 09:00:00</create_time_end></root>"),
            kDatabaseErrorMessage);
}

TEST_P(DateBoundsTest, ADeptActivityStoresTheDayItIsGivenAndRefusesATime) {
  const std::u16string id = Call(&CBCoreSystem::SetDeptActivity,
                                 "<root><create_time>2026-12-05</create_time></root>");
  EXPECT_EQ(db_.QueryScalar("SELECT TO_CHAR(CREATE_TIME, 'YYYY-MM-DD HH24:MI:SS') FROM "
                            "PEV_DEPT_ACTIVITY WHERE ID = '" + ToUtf8(id) + "'"),
            "2026-12-05 00:00:00");
  EXPECT_EQ(Call(&CBCoreSystem::SetDeptActivity,
                 "<root><create_time>2026-12-05 10:00:00</create_time></root>"),
            kDatabaseErrorMessage);
  EXPECT_EQ(db_.Count("PEV_DEPT_ACTIVITY"), 1);
  // The list reads months.
  EXPECT_EQ(Listed(&CBCoreSystem::GetDeptActivity,
                   "<root><create_begin_time>2026-12</create_begin_time>"
                   "<create_end_time>2026-12</create_end_time></root>",
                   "id"),
            std::vector<std::string>{ToUtf8(id)});
  EXPECT_EQ(Call(&CBCoreSystem::GetDeptActivity,
                 "<root><create_end_time>2026-12-05 10:00</create_end_time></root>"),
            kDatabaseErrorMessage);
}

TEST_P(DateBoundsTest, ShiftsAndRescuesAreBoundedByDaysAndATimeIsRefused) {
  db_.Execute(
      "INSERT INTO PEV_DT_SHIFT_DETAIL (ID, PATIENT_ID, EVENT_NO, SHIFT_TIME, VAILD_FLAG) VALUES "
      "('S1', 'P1', 'E1', TO_DATE('2026-12-01 09:00:00', 'YYYY-MM-DD HH24:MI:SS'), 1)");
  EXPECT_EQ(Listed(&CBCoreSystem::GetDoctorShiftRecord,
                   "<root><shift_begin_date>2026-12-01</shift_begin_date>"
                   "<shift_end_date>2026-12-01</shift_end_date></root>",
                   "id"),
            std::vector<std::string>{"S1"});
  EXPECT_EQ(Call(&CBCoreSystem::GetDoctorShiftRecord,
                 "<root><shift_end_date>2026-12-01 09:00:00</shift_end_date></root>"),
            kDatabaseErrorMessage);
  db_.AddPatient({.id = "P1", .name = "张三"});
  db_.AddVisit({.patient_id = "P1", .event_no = "E1", .dept_id = "0101"});
  Call(&CBCoreSystem::SetRescueRecord,
       "<root><patient_id>P1</patient_id><event_no>E1</event_no>"
       "<rescue_date>2026-12-01 09:00:00</rescue_date></root>");
  EXPECT_EQ(Listed(&CBCoreSystem::GetRescueRecord,
                   "<root><rescue_date_begin>2026-12-01</rescue_date_begin>"
                   "<rescue_date_end>2026-12-01</rescue_date_end></root>",
                   "patient_id"),
            std::vector<std::string>{"P1"});
  for (const char* key : {"rescue_date_begin", "rescue_date_end"}) {
    const std::string bound = std::string("<") + key + ">2026-12-01 09:00:00</" + key + ">";
    EXPECT_EQ(Call(&CBCoreSystem::GetRescueRecord, "<root>" + bound + "</root>"),
              kDatabaseErrorMessage)
        << key;
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, DateBoundsTest, db::testing::kBothEngines,
                         db::testing::EngineName);

}  // namespace
}  // namespace korvalis::review::testing
