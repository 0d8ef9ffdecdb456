#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "platform/xml/dom.h"
#include "quality/review/qc_patient.h"
#include "quality/review/testing/collector_test_support.h"
#include "quality/rules/testing/grade_task_test_util.h"

namespace korvalis::testing {
namespace {

using com::ScopedBstr;
using review::testing::AttributeOfEach;
using review::testing::Element;
using review::testing::ReadElements;
using Attributes = std::map<std::string, std::string>;

// The markup of the children of each child of the document's `root`.
std::vector<std::string> ChildrenMarkup(const std::u16string& text) {
  xml::Document document;
  EXPECT_TRUE(document.LoadXml(ToUtf8(text))) << ToUtf8(text);
  std::vector<std::string> markup;
  for (const xml::Node& child : document.DocumentElement().Children()) {
    std::string& inner = markup.emplace_back();
    for (const xml::Node& grandchild : child.Children()) inner += grandchild.Xml();
  }
  return markup;
}

class RectifyListsTest : public GradeTaskTest {
 protected:
  void SetUp() override {
    db_.AddPatient({.id = "P1", .name = "张三"});
    db_.AddVisit({.patient_id = "P1", .event_no = "E1", .dept_id = "0101", .bed_no = "07"});
    db_.AddPatient({.id = "P2", .name = "李四", .sex = 0});
    db_.AddVisit({.patient_id = "P2",
                  .event_no = "E2",
                  .dept_id = "0102",
                  .out_time = "2026-11-20 10:00:00"});
    db_.AddStandardItem({.id = 1, .standard = "主诉不清"});
  }

  void AddNoticeTo(const std::string& id, const std::string& patient_id,
                   const std::string& event_no, const std::string& receivers, int user_type,
                   int status, const std::string& create_date) {
    db_.Execute(
        "INSERT INTO PEV_RECTIFY_INFO (ID, TITLE, PATIENT_ID, EVENT_NO, NOTES, PEV_USER_ID, "
        "PEV_USER_NAME, USER_ID, USER_NAME, USER_TYPE, CREATE_DATE, TYPE, STATUS) VALUES ('" +
        id + "', '整改" + id + "', '" + patient_id + "', '" + event_no + "', 'a''b&c', '9002', " +
        "'杨慧敏', '" + receivers + "', '某', " + std::to_string(user_type) + ", " +
        schema::SqlDate(create_date) + ", 1, " + std::to_string(status) + ")");
  }
  void AddItem(const std::string& notice, int standard_id, int serial, const std::string& content) {
    db_.Execute(
        "INSERT INTO PEV_RECTIFY_ITEM (RECTIFY_ID, STANDARD_ID, SERIAL, CONTENT, EMR_ID, "
        "EMR_TITLE, FEED_BACK, DEDUCT) VALUES ('" +
        notice + "', " + std::to_string(standard_id) + ", " + std::to_string(serial) + ", " +
        schema::SqlText(content) + ", 'R9', '入院记录', '已改', 1.5)");
  }

  std::u16string Property(const std::u16string& id) {
    ScopedBstr argument(id), result;
    EXPECT_EQ(Call([&](CEMRDataSource* ds) {
                CBQCPatient::GetEmrRectifyProperty(ds, argument.get(), result.out());
              }),
              u"");
    return result.text();
  }
  // The result of GetRectifyInfo, or the failure's text.
  std::u16string InfoText(const std::u16string& condition) {
    ScopedBstr argument(condition), result;
    const std::u16string failure = Call(
        [&](CEMRDataSource* ds) { CBQCPatient::GetRectifyInfo(ds, argument.get(), result.out()); });
    return failure.empty() ? result.text() : failure;
  }
  std::vector<Element> Info(const std::u16string& condition) {
    const std::u16string text = InfoText(condition);
    if (text.empty()) return {};  // no notice
    return ReadElements(text);
  }
  std::vector<std::string> InfoIds(const std::u16string& condition) {
    return AttributeOfEach(Info(condition), "id");
  }
  std::vector<Element> PatientList(const std::u16string& filter) {
    ScopedBstr argument(filter), result;
    EXPECT_EQ(Call([&](CEMRDataSource* ds) {
                CBQCPatient::GetRectificationPatientList(ds, argument.get(), result.out());
              }),
              u"");
    return ReadElements(result.text());
  }
  std::vector<std::string> ListedNotices(const std::u16string& filter) {
    std::vector<std::string> ids = AttributeOfEach(PatientList(filter), "rectification_id");
    std::sort(ids.begin(), ids.end());
    return ids;
  }
};

TEST_F(RectifyListsTest, OneNoticeWithItsItemsAsText) {
  AddNoticeTo("R1", "P1", "E1", "D1;D2", 0, 1, "2026-12-01 10:00:00");
  AddItem("R1", 0, 2, "无标准");
  AddItem("R1", 1, 1, "缺<b>主诉</b>");
  EXPECT_EQ(
      Property(u"R1"),
      u"<?xml version='1.0' ?><root><rectify id='R1' title='整改R1' patient_id='P1' "
      u"\t\tevent_no='E1' notes='a&apos;b&amp;c' pev_user_id='9002' pev_user_name='杨慧敏' "
      u"user_id='D1;D2' user_name='某' \t\tuser_type='0' create_date='2026-12-01 10:00:00' "
      u"feed_time='' type='1' status='1'>"
      u"<item serial='1' standard_id='1' standard='主诉不清' emr_id='R9' emr_title='入院记录' "
      u"\t\t\t\t\t\t feed_back='已改' deduct='1.5'>缺<b>主诉</b></item>"
      u"<item serial='2' standard_id='0' standard='' emr_id='R9' emr_title='入院记录' "
      u"\t\t\t\t\t\t feed_back='已改' deduct='1.5'>无标准</item></rectify></root>");

  AddNoticeTo("R2", "P1", "E1", "D1", 0, 1, "2026-12-01 10:00:00");
  const std::u16string without_items = Property(u"R2");
  EXPECT_TRUE(without_items.ends_with(u" type='1' status='1'></rectify></root>"))
      << ToUtf8(without_items);
  EXPECT_EQ(Property(u"none"), u"<?xml version='1.0' ?><root></root>");
}

TEST_F(RectifyListsTest, TheNoticesOfAVisitNewestFirstWithTheirItems) {
  EXPECT_EQ(InfoText(u"<root><patient_id>P1</patient_id><event_no>E1</event_no></root>"), u"");
  EXPECT_EQ(InfoText(u"<root><patient_id>P1</patient_id></root>"),
            u"查询整改信息错误：未指定病人ID、住院号");

  AddNoticeTo("R1", "P1", "E1", "D1", 0, 1, "2026-12-01 10:00:00");
  AddNoticeTo("R2", "P1", "E1", "D1", 0, 2, "2026-12-02 10:00:00");
  AddNoticeTo("R3", "P2", "E2", "D1", 0, 1, "2026-12-03 10:00:00");
  AddItem("R1", 1, 1, "缺<b>主诉</b>文");
  AddItem("R1", 0, 2, "");
  const std::u16string visit = u"<root><patient_id>P1</patient_id><event_no>E1</event_no></root>";
  const std::vector<Element> notices = Info(visit);
  ASSERT_EQ(notices.size(), 2u);
  EXPECT_EQ(notices[0].attributes.at("id"), "R2");
  EXPECT_EQ(notices[1].attributes, (Attributes{{"id", "R1"},
                                               {"title", "整改R1"},
                                               {"notes", "a'b&c"},
                                               {"pev_user_id", "9002"},
                                               {"pev_user_name", "杨慧敏"},
                                               {"user_id", "D1"},
                                               {"user_name", "某"},
                                               {"user_type", "0"},
                                               {"create_date", "2026-12-01 10:00:00"},
                                               {"feed_time", ""},
                                               {"type", "1"},
                                               {"status", "1"}}));
  EXPECT_EQ(ChildrenMarkup(InfoText(visit))[1],
            "<item standard_id=\"1\" standard=\"主诉不清\" serial=\"1\" emr_id=\"R9\" "
            "emr_title=\"入院记录\" feed_back=\"已改\" deduct=\"1.5\">缺<b>主诉</b>文</item>"
            "<item standard_id=\"0\" standard=\"\" serial=\"2\" emr_id=\"R9\" "
            "emr_title=\"入院记录\" feed_back=\"已改\" deduct=\"1.5\"/>");

  EXPECT_EQ(InfoIds(u"<root><patient_id>P1</patient_id><event_no>E1</event_no>"
                    u"<status>2</status></root>"),
            std::vector<std::string>{"R2"});
  EXPECT_EQ(InfoText(u"<root><patient_id>P1</patient_id><event_no>E1</event_no>"
                     u"<status>1 OR 1=1</status></root>"),
            u"不是有效的数字: '1 OR 1=1' (status)");

  AddItem("R2", 1, 1, "未闭合<b>");
  EXPECT_EQ(InfoText(u"<root><patient_id>P1</patient_id><event_no>E1</event_no></root>"),
            u"无效XML!");
}

TEST_F(RectifyListsTest, ANoticeIsListedOncePerTaskLink) {
  AddNoticeTo("R1", "P1", "E1", "D1", 0, 1, "2026-12-01 10:00:00");
  AddNoticeTo("R2", "P1", "E1", "D1", 0, 1, "2026-12-02 10:00:00");
  for (const char* task : {"T1", "T2"}) {
    db_.Execute(std::string("INSERT INTO PEV_GRADE_TASK_RECTIFY (TASK_ID, PATIENT_ID, EVENT_NO, "
                            "RECTIFY_ID) VALUES ('") +
                task + "', 'P1', 'E1', 'R1')");
  }
  EXPECT_EQ(InfoIds(u"<root><patient_id>P1</patient_id><event_no>E1</event_no></root>"),
            (std::vector<std::string>{"R2", "R1", "R1"}));
  EXPECT_EQ(InfoIds(u"<root><patient_id>P1</patient_id><event_no>E1</event_no>"
                    u"<task_id>T2</task_id></root>"),
            std::vector<std::string>{"R1"});
}

TEST_F(RectifyListsTest, AReceiverIsMatchedAsAWholeIdentifier) {
  AddNoticeTo("R1", "P1", "E1", "12;123", 0, 1, "2026-12-01 10:00:00");
  AddNoticeTo("R2", "P1", "E1", "123", 0, 1, "2026-12-02 10:00:00");
  AddNoticeTo("R3", "P2", "E2", "0101;0102", 1, 1, "2026-12-03 10:00:00");
  AddNoticeTo("R4", "P2", "E2", "12", 1, 1, "2026-12-04 10:00:00");
  const std::u16string visit = u"<patient_id>P1</patient_id><event_no>E1</event_no>";
  EXPECT_EQ(InfoIds(u"<root>" + visit + u"<user_id>12</user_id></root>"),
            std::vector<std::string>{"R1"});
  EXPECT_EQ(InfoIds(u"<root>" + visit + u"<user_id>123</user_id></root>"),
            (std::vector<std::string>{"R2", "R1"}));
  EXPECT_EQ(InfoIds(u"<root>" + visit + u"<user_id>%</user_id></root>"),
            std::vector<std::string>{});

  EXPECT_EQ(ListedNotices(u"<root><user_id>12</user_id></root>"), std::vector<std::string>{"R1"})
      << "a department's notice is not a user's";
  EXPECT_EQ(ListedNotices(u"<root><user_id>123</user_id></root>"),
            (std::vector<std::string>{"R1", "R2"}));
  EXPECT_EQ(ListedNotices(u"<root><dept_id>0102</dept_id></root>"), std::vector<std::string>{"R3"});
  EXPECT_EQ(ListedNotices(u"<root><user_id>12</user_id><dept_id>12</dept_id></root>"),
            (std::vector<std::string>{"R1", "R4"}));
}

TEST_F(RectifyListsTest, TheVisitsOfNoticesByStateAndSentDate) {
  AddNoticeTo("R1", "P1", "E1", "D1", 0, 1, "2026-12-01 10:00:00");
  AddNoticeTo("R2", "P1", "E1", "D1", 0, 2, "2026-12-02 10:00:00");
  AddNoticeTo("R3", "P1", "E1", "D1", 0, 2, "2026-12-03 10:00:00");
  AddNoticeTo("R4", "P2", "E2", "D1", 0, 4, "2026-11-25 10:00:00");
  const std::vector<std::string> all = {"R1", "R2", "R3", "R4"};
  EXPECT_EQ(ListedNotices(u"<root/>"), all);
  EXPECT_EQ(ListedNotices(u"<root><rectification_status>99999</rectification_status></root>"), all);
  EXPECT_EQ(ListedNotices(u"<root><rectification_status>2</rectification_status></root>"),
            (std::vector<std::string>{"R2", "R3"}));
  EXPECT_EQ(ListedNotices(u"<root><rectification_sent_date_span>2026-12-02 00:00:00|"
                          u"2026-12-03 10:00:00</rectification_sent_date_span></root>"),
            (std::vector<std::string>{"R2", "R3"}));
  for (const char16_t* span : {u"2026-12-02 00:00:00", u"2026-12-02|2026-12-03|2026-12-04"}) {
    EXPECT_EQ(ListedNotices(u"<root><rectification_sent_date_span>" + std::u16string(span) +
                            u"</rectification_sent_date_span></root>"),
              all);
  }
  EXPECT_EQ(ListedNotices(u"<root><rectification_status>3</rectification_status></root>"),
            std::vector<std::string>{});

  std::vector<Element> discharged =
      PatientList(u"<root><rectification_status>4</rectification_status></root>");
  ASSERT_EQ(discharged.size(), 1u);
  EXPECT_EQ(discharged[0].name, "patient");
  EXPECT_EQ(discharged[0].text, "李四");
  EXPECT_EQ(discharged[0].attributes,
            (Attributes{{"sex", "0"},
                        {"patient_id", "P2"},
                        {"event_no", "E2"},
                        {"in_time", "2026-01-05 08:00:00"},
                        {"leave_time", "2026-11-20 10:00:00"},
                        {"cur_dept_id", "0102"},
                        {"cur_dept", "心血管内科"},
                        {"manager_doctor", "测试医生"},
                        {"rectification_status", "4"},
                        {"rectification_title", "整改R4"},
                        {"rectification_id", "R4"},
                        {"rectification_sent_time", "2026-11-25 10:00:00"},
                        {"rectification_feedback_time", ""},
                        {"user_id", "D1"},
                        {"user_name", "某"},
                        {"emr_status", "1"},
                        {"out_time", "2026-11-20 10:00:00"},
                        {"bed_no", "01"}}));
}

}  // namespace
}  // namespace korvalis::testing
