// A record saved through the record store with the product's own quality bodies bound, as the
// library binds them: the saved-record notification closes the visit's time-limit instances of
// the record's EMR type and stores the QC markers of a front sheet, all within the save's call.
#include <gtest/gtest.h>

#include "emrdoc/content_switches.h"
#include "emrdoc/emr_content_hand_over.h"
#include "emrdoc/emr_content_store.h"
#include "emrdoc/quality_bodies.h"
#include "foundation/testing/test_call.h"
#include "quality/review/qc_patient.h"
#include "quality/rules/event_register.h"
#include "quality/rules/event_trigger.h"
#include "quality/rules/quality_trigger.h"
#include "quality/rules/testing/rule_test_util.h"

namespace korvalis::rules::testing {
namespace {

using korvalis::testing::RunAsCall;
using schema::RuleInstanceRow;

constexpr int kCourseTemplate = 901;      // EMR type 8, the first course record
constexpr int kFrontSheetTemplate = 902;  // EMR type 1

// A record page long enough for an update, holding the given table cells.
std::u16string Page(const std::u16string& cells = u"") {
  return u"<HTML XMLNS:CUSTOMTAG><HEAD><TITLE>病历</TITLE></HEAD><BODY><P>" +
         std::u16string(800, u'记') + u"</P><TABLE><TR>" + cells + u"</TR></TABLE></BODY></HTML>";
}

std::u16string MarkerCell(const std::u16string& qcid, const std::u16string& id) {
  return u"<TD qlevel='1' qcid='" + qcid + u"' qinfo='不规范' id='" + id + u"' xid='1-1'>x</TD>";
}

class SavedRecordTest : public RuleDatabaseTest {
 protected:
  void SetUp() override {
    RuleDatabaseTest::SetUp();
    emrdoc::SaveDocumentSwitches().Clear();
    emrdoc::UpdateContentSwitches().Clear();
    db().Execute("DELETE FROM TELV_EMR_CATALOG WHERE ID = 901");
    db().Execute("DELETE FROM TELV_EMR_TEMPLATE WHERE ID IN (901, 902)");
    db().AddCatalog({.id = 901, .code = "901", .name = "病程记录"});
    db().AddTemplate(
        {.id = kCourseTemplate, .name = "首次病程记录", .emr_type = 8, .catalog_id = 901});
    db().AddTemplate(
        {.id = kFrontSheetTemplate, .name = "病案首页", .emr_type = 1, .catalog_id = 901});
    db().AddPatient({.id = "P1"});
    db().AddVisit({.patient_id = "P1", .event_no = "E1"});
    // The product's bodies, as the library binds them.
    previous_ =
        emrdoc::BindQualityBodies({&CBQualityTrigger::FireClose, &CBQCPatient::SaveContentQCInfo});
  }
  void TearDown() override {
    emrdoc::BindQualityBodies(previous_);
    emrdoc::SaveDocumentSwitches().Clear();
    emrdoc::UpdateContentSwitches().Clear();
  }

  // SaveEmrDocument of a record of the template for P1/E1 as one call: the new id, or
  // "failed: " and the failure's text.
  static std::u16string Save(int template_id, const std::u16string& page = Page()) {
    ScopedBstr patient(u"P1"), event_no(u"E1"), client(u"<root/>"), id, content;
    ScopedBstr properties(u"<root><catalog>901</catalog><template>" +
                          FromUtf8(std::to_string(template_id)) +
                          u"</template><title>病历</title><author>陈浩然</author><authorid>1003"
                          u"</authorid></root>");
    *content.out() = PackEmrContent(page);
    const std::u16string failure = RunAsCall(db().init_string(), [&](CEMRDataSource* source) {
      SaveEmrDocument(source, patient.get(), event_no.get(), properties.get(), client.get(),
                      content.get(), id.out());
    });
    return failure.empty() ? id.text() : u"failed: " + failure;
  }

  static void AddInstance(RuleInstanceRow row) {
    row.patient_id = "P1";
    row.event_no = "E1";
    db().AddRuleInstance(row);
  }

  suite::testing::SiblingDoubles doubles_;
  SharedClock clock_{doubles_, "2026-12-07 12:00:00"};
  EventLogCapture event_log_;
  emrdoc::QualityBodies previous_;
};

TEST_F(SavedRecordTest, ASavedRecordClosesItsRuleWithItsLatenessAndTheNextOneFollowsInHospital) {
  db().AddRule({.id = 2, .emr_types = {8}, .quantity = "0", .time_out = 8});
  db().AddRule({.id = 1, .emr_types = {2}, .quantity = "1", .time_out = 24});
  AddInstance({.serial = 1,
               .rule_id = 2,
               .start_time = "2026-12-06 08:00:00",
               .over_time = "2026-12-06 16:00:00"});
  AddInstance({.serial = 2,
               .rule_id = 1,
               .start_time = "2026-12-06 08:00:00",
               .over_time = "2026-12-07 08:00:00"});
  const std::u16string first = Save(kCourseTemplate);
  ASSERT_EQ(first.size(), 36u) << ToUtf8(first);
  const std::string record = ToUtf8(first);
  EXPECT_EQ(Instances("SERIAL, RULE_ID, STATUS, START_TIME, OVER_TIME, FINISH_TIME, EMR_ID, "
                      "EMR_TYPE, OVER_HOUR, USER_ID, USER_NAME, OPEN_EVENT_CODE, "
                      "CLOSE_EVENT_CODE"),
            (std::vector<std::string>{
                "1|2|2|2026-12-06 08:00:00|2026-12-06 16:00:00|2026-12-07 12:00:00|" + record +
                    "|8|20|1003|陈浩然|A01|E03",
                "2|1|1|2026-12-06 08:00:00|2026-12-07 08:00:00|||||||A01|",
                "3|2|1|2026-12-06 16:00:00|2026-12-07 00:00:00|||8||||A01|"}));

  // Discharged, the visit gets no next instance.
  db().Execute("UPDATE TELV_VISIT_RECORD SET OUT_TIME = SYSDATE, OUT_DEPT_ID = '0101'");
  EXPECT_EQ(Save(kCourseTemplate).size(), 36u);
  EXPECT_EQ(Statuses("P1", "E1"), "1:2 2:1 3:2");
  EXPECT_EQ(db().Count("PEV_CONTENT_QUALITY"), 0);  // no markers of a course record
}

TEST_F(SavedRecordTest, AfterAReopenedInstanceAnUnlimitedRuleResumesOneSuspendedInstead) {
  db().AddRule({.id = 2, .emr_types = {8}, .quantity = "0", .time_out = 8});
  for (int serial : {1, 2, 3}) {
    AddInstance({.serial = serial,
                 .rule_id = 2,
                 .start_time = "2026-12-06 08:00:00",
                 .over_time = "2026-12-06 16:00:00",
                 .status = serial == 1 ? 1 : 3});
  }
  db().Execute("UPDATE PEV_TIME_RULE_RECORD SET REOPEN = 1 WHERE SERIAL = 1");
  EXPECT_EQ(Save(kCourseTemplate).size(), 36u);
  EXPECT_EQ(Statuses("P1", "E1"), "1:2 2:1 3:3");
}

TEST_F(SavedRecordTest, ADeletedRecordsEventReopensWhatItsSaveClosed) {
  db().AddRule({.id = 1, .emr_types = {1}, .quantity = "1", .time_out = 24});
  AddInstance({.serial = 1,
               .rule_id = 1,
               .start_time = "2026-12-07 08:00:00",
               .over_time = "2026-12-08 08:00:00"});
  const std::u16string record = Save(kFrontSheetTemplate);
  ASSERT_EQ(record.size(), 36u) << ToUtf8(record);
  EXPECT_EQ(Instances("STATUS, OVER_HOUR"), std::vector<std::string>{"2|0"});

  // The record is deleted; its event follows.
  db().Execute("UPDATE TELV_EMR_CONTENT SET STATUS = 0 WHERE ID = " +
               schema::SqlText(ToUtf8(record)));
  const std::u16string deleted = EventDocument{
      {{u"code", u"E05"},
       {u"src_sys", u"0"},
       {u"patient_id", u"P1"},
       {u"event_no", u"E1"},
       {u"time", u"2026-12-07 13:00:00"},
       {u"type", u"2"}},
      {{u"emr_id", record}}}.Xml();
  ScopedBstr registration(deleted);
  ASSERT_EQ(RunAsCall(db().init_string(),
                      [&](CEMRDataSource* source) {
                        CBEventRegister::RegisterEvent(source, registration.get(), nullptr);
                      }),
            u"");
  ScopedBstr handled(u"<root><id>" + FromUtf8(Scalar("SELECT ID FROM TELV_REGISTER_EVENT")) +
                     u"</id>" + deleted.substr(6));
  EXPECT_EQ(
      RunAsCall(db().init_string(),
                [&](CEMRDataSource* source) { CBEventTrigger::OnSysEvent(source, handled.get()); }),
      u"");
  EXPECT_EQ(Instances("STATUS, EMR_ID, FINISH_TIME, REOPEN, OVER_TIME"),
            std::vector<std::string>{"1|||1|2026-12-08 08:00:00"});
}

TEST_F(SavedRecordTest, AFrontSheetStoresTheMarkersOfItsPageWhenSavedAndWhenUpdated) {
  const std::u16string id =
      Save(kFrontSheetTemplate, Page(MarkerCell(u"CR1", u"D1") + MarkerCell(u"CR2", u"D2")));
  ASSERT_EQ(id.size(), 36u) << ToUtf8(id);
  const std::string record = ToUtf8(id);
  EXPECT_EQ(Rows("SELECT PATIENT_ID, EVENT_NO, RULE_ID, ELEMENT_ID, EMR_ID, SEND_COUNT FROM "
                 "PEV_CONTENT_QUALITY ORDER BY RULE_ID"),
            (std::vector<std::vector<std::string>>{{"P1", "E1", "CR1", "D1", record, "0"},
                                                   {"P1", "E1", "CR2", "D2", record, "0"}}));

  ScopedBstr emr_id(id), content, client(u"<root><user id='1003'>陈浩然</user></root>");
  *content.out() = PackEmrContent(Page(MarkerCell(u"CR3", u"D3")));
  EXPECT_EQ(RunAsCall(db().init_string(),
                      [&](CEMRDataSource* source) {
                        UpdateEmrContent(source, emr_id.get(), content.get(), client.get());
                      }),
            u"");
  EXPECT_EQ(Rows("SELECT RULE_ID, EMR_ID FROM PEV_CONTENT_QUALITY"),
            (std::vector<std::vector<std::string>>{{"CR3", record}}));
}

TEST_F(SavedRecordTest, AFailingSaveLeavesNoRecordNoMarkerAndNoInstanceChanged) {
  // The instance's deadline is the last day there is: the next instance after it cannot be
  // opened, and the save fails after its markers were stored and the instance was closed.
  db().AddRule({.id = 1, .emr_types = {1}, .quantity = "0", .time_out = 48});
  AddInstance({.serial = 1,
               .rule_id = 1,
               .start_time = "2026-12-07 08:00:00",
               .over_time = "9999-12-31 00:00:00"});
  EXPECT_EQ(Save(kFrontSheetTemplate, Page(MarkerCell(u"CR1", u"D1"))),
            u"failed: 规则时限超出日期范围: 48");
  EXPECT_EQ(db().Count("TELV_EMR_CONTENT"), 0);
  EXPECT_EQ(db().Count("PEV_CONTENT_QUALITY"), 0);
  EXPECT_EQ(Instances("STATUS, EMR_ID"), std::vector<std::string>{"1|"});
}

}  // namespace
}  // namespace korvalis::rules::testing
