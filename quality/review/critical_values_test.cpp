#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/data/single_data_source.h"
#include "quality/review/qc_collector.h"
#include "quality/review/testing/collector_test_support.h"

namespace korvalis::review::testing {
namespace {

using korvalis::testing::kUnreachableDatabase;

class CriticalValuesTest : public CollectorTest {
 protected:
  CriticalValuesTest() {
    db_.AddPatient({.id = "P1", .name = "张三", .sex = 0});
    db_.AddVisit({.patient_id = "P1", .event_no = "E1", .dept_id = "0101", .bed_no = "15"});
    db_.AddPatient({.id = "P2"});
    db_.AddVisit({.patient_id = "P2", .event_no = "E2", .dept_id = "0102"});
  }

  // A pending item of a report; the item code doubles as its serial number.
  void AddItem(const std::string& patient_id, const std::string& event_no,
               const std::string& report_id, const std::string& item,
               const std::string& report_time = "2026-12-04 08:30:15",
               const std::string& respone_time = "") {
    db_.Execute("INSERT INTO TELV_CRISIS_T VALUES (" + schema::SqlText(patient_id) + ", " +
                schema::SqlText(event_no) + ", " + schema::SqlText(item) +
                ", '2', 'LIS', '生化', 'RX1', " + "'AP1', " + schema::SqlText(report_id) + ", " +
                schema::SqlDate(report_time) + ", " + schema::SqlText(item) +
                ", '血''钾', '6.8', '3.5', '5.5', " +
                schema::SqlDate(respone_time.empty() ? std::nullopt : std::optional(respone_time)) +
                ", '旧医生', 'OLD', '3.5-5.5')");
  }
  std::u16string Confirmation(const std::u16string& respone_time,
                              const std::u16string& report = u"R1") {
    return u"<root><patient_id>P1</patient_id><event_no>E1</event_no><report_id>" + report +
           u"</report_id><accepter_id>D'1</accepter_id><accepter>王'医生</accepter>"
           u"<respone_time>" +
           respone_time + u"</respone_time></root>";
  }
  Rows Pending() {
    return db_.Query("SELECT PATIENT_ID, REPORT_ID, ITEM_CODE FROM TELV_CRISIS_T ORDER BY 1, 2, 3");
  }
  std::vector<std::string> ListedItems(const std::u16string& condition) {
    return AttributeOfEach(List(&CBQCCollector::GetPatientCrisisInfo, condition), "item_code");
  }
};

TEST_F(CriticalValuesTest, AConfirmationArchivesEveryPendingItemOfTheReport) {
  AddItem("P1", "E1", "R1", "K1", "2026-12-04 08:30:15", "2026-12-04 08:40:00");
  AddItem("P1", "E1", "R1", "K2", "2026-12-04 08:30:16");
  AddItem("P1", "E1", "R1", "K3", "2026-12-04 23:59:59");
  AddItem("P1", "E1", "R2", "K4");
  AddItem("P2", "E2", "R1", "K5");
  Call(&CBQCCollector::ConfirmCrisisInfo, Confirmation(u"2026-12-05 09:00:01"));
  EXPECT_EQ(Pending(), (Rows{{"P1", "R2", "K4"}, {"P2", "R1", "K5"}}));
  const std::vector<std::string> archived = {
      "P1",      "E1",  "",       "2",     "LIS", "生化", "RX1", "AP1",
      "R1",      "",    "",       "血'钾", "6.8", "3.5",  "5.5", "2026-12-05 09:00:01",
      "王'医生", "D'1", "3.5-5.5"};
  Rows expected;
  for (const auto& [item, time] :
       std::vector<std::pair<std::string, std::string>>{{"K1", "2026-12-04 08:30:15"},
                                                        {"K2", "2026-12-04 08:30:16"},
                                                        {"K3", "2026-12-04 23:59:59"}}) {
    expected.push_back(archived);
    expected.back()[2] = expected.back()[10] = item;
    expected.back()[9] = time;
  }
  EXPECT_EQ(db_.Query("SELECT * FROM TELV_CRISIS_RECORD ORDER BY ITEM_CODE"), expected);

  // A report without pending items: nothing is deleted or inserted.
  Call(&CBQCCollector::ConfirmCrisisInfo, Confirmation(u"2026-12-05 09:00:01"));
  Call(&CBQCCollector::ConfirmCrisisInfo, Confirmation(u"2026-12-05 09:00:01", u"R9"));
  EXPECT_EQ(db_.Count("TELV_CRISIS_RECORD"), 3);
  EXPECT_EQ(Pending().size(), 2u);
}

TEST_F(CriticalValuesTest, AnItemWhoseVisitTheViewLacksStaysPending) {
  AddItem("P1", "E1", "R1", "K1");
  AddItem("P1", "E1", "R1", "K2");
  db_.Execute("DELETE FROM TELV_VISIT_RECORD WHERE PATIENT_ID = 'P1'");
  AddItem("P1", "E1", "R1", "K3");
  Call(&CBQCCollector::ConfirmCrisisInfo, Confirmation(u"2026-12-05 09:00:00"));
  EXPECT_EQ(Pending().size(), 3u);
  EXPECT_EQ(db_.Count("TELV_CRISIS_RECORD"), 0);
}

TEST_F(CriticalValuesTest, AFailedConfirmationLeavesEveryItemPending) {
  AddItem("P1", "E1", "R1", "K1");
  AddItem("P1", "E1", "R1", "K2");
  AddItem("P1", "E1", "R1", "K3");
  for (const char16_t* time :
       {u"2026-13-05 09:00:00", u"2026-12-05 25:00:00", u"'); DELETE TELV_CRISIS_T; --"}) {
    EXPECT_EQ(Failure(&CBQCCollector::ConfirmCrisisInfo, Confirmation(time)),
              kDatabaseErrorMessage);
  }
  EXPECT_EQ(Pending().size(), 3u);
  EXPECT_EQ(db_.Count("TELV_CRISIS_RECORD"), 0);
  // Without the patient, visit, report or accepter nothing is done.
  EXPECT_EQ(Failure(&CBQCCollector::ConfirmCrisisInfo,
                    u"<root><patient_id>P1</patient_id><event_no>E1</event_no>"
                    u"<report_id>R1</report_id></root>",
                    kUnreachableDatabase),
            u"");
}

TEST_F(CriticalValuesTest, PendingItemsAreListedByTheirKeysAndWholeDays) {
  AddItem("P1", "E1", "R1", "K1", "2026-12-03 23:59:59");
  AddItem("P1", "E1", "R1", "K2", "2026-12-04 00:00:00", "2026-12-06 10:00:00");
  AddItem("P1", "E1", "R'2", "K3", "2026-12-05 00:00:00");
  AddItem("P1", "E1", "R'2", "K4", "2026-12-05 00:00:01");
  AddItem("P2", "E2", "R3", "K5", "2026-12-04 12:00:00");
  AddItem("P3", "E3", "R3", "K6", "2026-12-04 12:00:00");  // no such visit
  EXPECT_EQ(
      List(&CBQCCollector::GetPatientCrisisInfo, u"<root><item_code>K1</item_code></root>").size(),
      5u);  // not a key of the list
  const std::vector<Element> k2 =
      List(&CBQCCollector::GetPatientCrisisInfo, u"<root><serial_no>K2</serial_no></root>");
  EXPECT_EQ(k2, (std::vector<Element>{{"patient_name",
                                       "张三",
                                       {{"accepter", "旧医生"},
                                        {"apply_number", "AP1"},
                                        {"bed_no", "15"},
                                        {"event_no", "E1"},
                                        {"item_code", "K2"},
                                        {"item_name", "血'钾"},
                                        {"normal_val", "3.5-5.5"},
                                        {"patient_id", "P1"},
                                        {"patient_type", "2"},
                                        {"prescribe_number", "RX1"},
                                        {"ref_high", "5.5"},
                                        {"ref_low", "3.5"},
                                        {"report_id", "R1"},
                                        {"report_time", "2026-12-04 00:00:00"},
                                        {"respone_time", "2026-12-06 10:00:00"},
                                        {"serial_no", "K2"},
                                        {"sex", "0"},
                                        {"sub_type", "生化"},
                                        {"type", "LIS"},
                                        {"val", "6.8"}}}}));
  // The end day is included up to its following midnight; one bound alone filters nothing.
  EXPECT_EQ(ListedItems(u"<root><report_time_begin>2026-12-04</report_time_begin>"
                        u"<report_time_end>2026-12-04</report_time_end></root>"),
            (std::vector<std::string>{"K2", "K3", "K5"}));
  EXPECT_EQ(ListedItems(u"<root><report_time_begin>2026-12-04</report_time_begin></root>").size(),
            5u);
  EXPECT_EQ(ListedItems(u"<root><respone_time_begin>2026-12-06</respone_time_begin>"
                        u"<respone_time_end>2026-12-06</respone_time_end></root>"),
            std::vector<std::string>{"K2"});
  EXPECT_EQ(ListedItems(u"<root><report_id>R'2</report_id><patient_id>P1</patient_id>"
                        u"<event_no>E1</event_no></root>"),
            (std::vector<std::string>{"K3", "K4"}));
  EXPECT_EQ(ListedItems(u"<root><dept_id>0102</dept_id><type>LIS</type><sub_type>生化</sub_type>"
                        u"<patient_type>2</patient_type><prescribe_number>RX1</prescribe_number>"
                        u"<apply_number>AP1</apply_number><accepter_id>OLD</accepter_id></root>"),
            std::vector<std::string>{"K5"});
}

}  // namespace
}  // namespace korvalis::review::testing
