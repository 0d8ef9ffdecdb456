#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quality/review/core_system.h"
#include "quality/review/testing/collector_test_support.h"

namespace korvalis::review::testing {
namespace {

using korvalis::testing::kUnreachableDatabase;
using korvalis::testing::ScopedDatabaseClock;

class RescueRecordTest : public CollectorTest {
 protected:
  RescueRecordTest() {
    db_.AddPatient({.id = "P1", .name = "张'三", .sex = 0, .birthday = "1970-01-01 00:00:00"});
    db_.AddVisit({.patient_id = "P1", .event_no = "E1", .dept_id = "01'01", .bed_no = "15"});
    db_.AddPatient({.id = "P2", .name = "李四", .birthday = "2026-06-10 00:00:00"});
    db_.AddVisit({.patient_id = "P2", .event_no = "E2", .dept_id = "0102", .bed_no = "21"});
  }

  // Saves a rescue of the visit; answers its ID.
  std::string Save(const std::string& patient_id, const std::string& event_no,
                   const std::string& rescue_date, const std::string& more = "") {
    return ToUtf8(Answer(
        &CBCoreSystem::SetRescueRecord,
        FromUtf8("<root><patient_id>" + patient_id + "</patient_id><event_no>" + event_no +
                 "</event_no><rescue_date>" + rescue_date + "</rescue_date>" + more + "</root>")));
  }
  std::vector<std::string> ListedIds(const std::u16string& condition) {
    return AttributeOfEach(List(&CBCoreSystem::GetRescueRecord, condition), "id");
  }

  ScopedDatabaseClock clock_;  // 2026-12-07 08:00:00
};

TEST_F(RescueRecordTest, ARecordIsStoredByPositionAndListedWithItsPatient) {
  const std::string id = Save(
      "P1", "E1", "2026-12-05 14:20:00",
      "<diagnosis>急性'心梗</diagnosis><measure>电除颤 &amp; 胸外按压</measure>"
      "<result>成功</result><participant>陈'浩然</participant><clinic_change>室颤</clinic_change>"
      "<register_id>1003</register_id><register_dept>心血管内科</register_dept>"
      "<register_date>2026-12-05</register_date><notes>&lt;无&gt;</notes>");
  EXPECT_EQ(id.size(), 36u);
  EXPECT_EQ(
      db_.Query("SELECT ID, PATIENT_ID, EVENT_NO, DIAGNOSIS, MEASURE, RESULT, "
                "TO_CHAR(RESCUE_DATE, 'YYYY-MM-DD HH24:MI:SS'), PARTICIPANTS, CLINIC_CHANGE, "
                "REGISTER_ID, REGISTER_DEPT, TO_CHAR(REGISTER_DATE, 'YYYY-MM-DD HH24:MI:SS'), "
                "NOTES FROM PEV_RESCUE_RECORD"),
      (Rows{{id, "P1", "E1", "急性'心梗", "电除颤 & 胸外按压", "成功", "2026-12-05 14:20:00",
             "陈'浩然", "室颤", "1003", "心血管内科", "2026-12-05 00:00:00", "<无>"}}));
  EXPECT_EQ(List(&CBCoreSystem::GetRescueRecord, u"<root/>"),
            (std::vector<Element>{{"item",
                                   "",
                                   {{"id", id},
                                    {"patient_id", "P1"},
                                    {"event_no", "E1"},
                                    {"diagnosis", "急性'心梗"},
                                    {"measure", "电除颤 & 胸外按压"},
                                    {"result", "成功"},
                                    {"rescue_date", "2026-12-05 14:20:00"},
                                    {"participants", "陈'浩然"},
                                    {"clinic_change", "室颤"},
                                    {"notes", "<无>"},
                                    {"patient_name", "张'三"},
                                    {"patient_sex", "0"},
                                    {"bed_no", "15"},
                                    {"patient_age", "58"},
                                    {"row_num", "1"},
                                    {"register_dept", "心血管内科"},
                                    {"register_id", "1003"},
                                    {"register_date", "2026-12-05 00:00:00"}}}}));
}

TEST_F(RescueRecordTest, RowsAreNumberedInTheirOrderByDate) {
  const std::string later = Save("P1", "E1", "2026-12-05 10:00:00");
  const std::string earlier = Save("P1", "E1", "2026-12-03 10:00:00");
  const std::string newborn = Save("P2", "E2", "2026-12-04 10:00:00");
  const std::vector<Element> listed =
      List(&CBCoreSystem::GetRescueRecord, u"<root><patient_id>P1</patient_id></root>");
  EXPECT_EQ(AttributeOfEach(listed, "id"), (std::vector<std::string>{earlier, later}));
  EXPECT_EQ(AttributeOfEach(listed, "row_num"), (std::vector<std::string>{"1", "2"}));
  // Days since birth / 365 + 1, rounded to whole years: 180.3 days give 1.
  const std::vector<Element> young =
      List(&CBCoreSystem::GetRescueRecord, u"<root><event_no>E2</event_no></root>");
  EXPECT_EQ(AttributeOfEach(young, "patient_age"), std::vector<std::string>{"1"});
  EXPECT_EQ(AttributeOfEach(young, "id"), std::vector<std::string>{newborn});
}

TEST_F(RescueRecordTest, ARescueOfAVisitMissingFromTheViewIsNotListed) {
  const std::string listed = Save("P1", "E1", "2026-12-05 10:00:00");
  Save("P9", "E9", "2026-12-05 10:00:00");
  Save("P1", "E2", "2026-12-05 10:00:00");
  EXPECT_EQ(db_.Count("PEV_RESCUE_RECORD"), 3);
  EXPECT_EQ(ListedIds(u"<root/>"), std::vector<std::string>{listed});
}

TEST_F(RescueRecordTest, FiltersIncludeTheEndDayAndTakeValuesHoldingQuotes) {
  const std::string late =
      Save("P1", "E1", "2026-12-03 23:59:59",
           "<register_id>10'03</register_id><register_dept>心'内</register_dept>");
  const std::string next_day = Save("P1", "E1", "2026-12-04 00:00:00");
  const std::string other = Save("P2", "E2", "2026-12-02 08:00:00");
  EXPECT_EQ(ListedIds(u"<root><rescue_date_end>2026-12-03</rescue_date_end></root>"),
            (std::vector<std::string>{other, late}));
  EXPECT_EQ(ListedIds(u"<root><rescue_date_begin>2026-12-03</rescue_date_begin>"
                      u"<rescue_date_end>2026-12-03</rescue_date_end></root>"),
            std::vector<std::string>{late});
  EXPECT_EQ(ListedIds(u"<root><rescue_date_begin>2026-12-04</rescue_date_begin></root>"),
            std::vector<std::string>{next_day});
  for (const char16_t* condition : {u"<root><register_id>10'03</register_id></root>",
                                    u"<root><register_dept>心'内</register_dept></root>"}) {
    EXPECT_EQ(ListedIds(condition), std::vector<std::string>{late});
  }
  EXPECT_EQ(ListedIds(u"<root><now_dept_id>01'01</now_dept_id></root>"),
            (std::vector<std::string>{late, next_day}));
  EXPECT_EQ(ListedIds(FromUtf8("<root><id>" + other +
                               "</id><patient_id>P2</patient_id>"
                               "<event_no>E2</event_no></root>")),
            std::vector<std::string>{other});
  EXPECT_TRUE(ListedIds(u"<root><patient_id>P1' OR '1'='1</patient_id></root>").empty());
}

TEST_F(RescueRecordTest, ASaveWithAnIdReplacesItsRowAndADeleteRemovesIt) {
  const std::string id = Save("P1", "E1", "2026-12-05 10:00:00");
  EXPECT_EQ(Save("P2", "E2", "2026-12-06", "<id>" + id + "</id>"), id);
  EXPECT_EQ(db_.Query("SELECT ID, PATIENT_ID, TO_CHAR(RESCUE_DATE, 'YYYY-MM-DD HH24:MI:SS') "
                      "FROM PEV_RESCUE_RECORD"),
            (Rows{{id, "P2", "2026-12-06 00:00:00"}}));
  Call(&CBCoreSystem::DelRescueRecord, u"<root><id/></root>");
  EXPECT_EQ(db_.Count("PEV_RESCUE_RECORD"), 1);
  Call(&CBCoreSystem::DelRescueRecord, FromUtf8("<root><id>" + id + "</id></root>"));
  EXPECT_EQ(db_.Count("PEV_RESCUE_RECORD"), 0);
}

TEST_F(RescueRecordTest, ASaveWhoseDateIsNoDateWritesNothing) {
  const std::string id = Save("P1", "E1", "2026-12-05 10:00:00");
  for (const char* date : {"2026-02-30", "昨天", "2026-12-05 25:00:00"}) {
    EXPECT_EQ(Failure(&CBCoreSystem::SetRescueRecord, FromUtf8("<root><id>" + id +
                                                               "</id><patient_id>P2</patient_id>"
                                                               "<rescue_date>" +
                                                               date + "</rescue_date></root>")),
              kDatabaseErrorMessage)
        << date;
    EXPECT_EQ(Failure(&CBCoreSystem::SetRescueRecord,
                      FromUtf8(std::string("<root><patient_id>P2</patient_id><register_date>") +
                               date + "</register_date></root>")),
              kDatabaseErrorMessage)
        << date;
  }
  EXPECT_EQ(db_.Query("SELECT ID, PATIENT_ID FROM PEV_RESCUE_RECORD"), (Rows{{id, "P1"}}));
  EXPECT_EQ(Failure(&CBCoreSystem::SetRescueRecord, u"<root>", kUnreachableDatabase),
            u"解析属性信息错误.");
  EXPECT_EQ(Failure(&CBCoreSystem::GetRescueRecord, u"<root>", kUnreachableDatabase),
            u"解析属性信息错误.");
  EXPECT_EQ(Failure(&CBCoreSystem::DelRescueRecord, u"<root>", kUnreachableDatabase),
            u"解析属性信息错误.");
}

}  // namespace
}  // namespace korvalis::review::testing
