#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "quality/review/qc_patient.h"
#include "quality/rules/testing/grade_task_test_util.h"

namespace korvalis::testing {
namespace {

using com::ScopedBstr;
using Rows = std::vector<std::vector<std::string>>;

// The pieces of a ";"-joined list.
std::vector<std::string> Split(const std::string& list) {
  std::vector<std::string> pieces;
  for (std::size_t at = 0;;) {
    const std::size_t end = list.find(';', at);
    pieces.push_back(list.substr(at, end - at));
    if (end == std::string::npos) return pieces;
    at = end + 1;
  }
}

// Pieces of a notice document; `extra` is placed before its end.
std::u16string Notice(const std::u16string& extra, const std::u16string& status = u"1") {
  return u"<root><title>病历整改</title><patient_id>P1</patient_id><event_no>E1</event_no>"
         u"<notes>请尽快</notes><pev_user_id>9002</pev_user_id><pev_user_name>杨慧敏"
         u"</pev_user_name><user_type>0</user_type><type>1</type><status>" +
         status + u"</status>" + extra + u"</root>";
}

class RectifyNoticeTest : public GradeTaskTest {
 protected:
  void SetUp() override {
    db_.AddPatient({.id = "P1"});
    db_.AddVisit({.patient_id = "P1", .event_no = "E1", .dept_id = "0101"});
    db_.AddPatient({.id = "P2"});
    db_.AddVisit({.patient_id = "P2", .event_no = "E2", .dept_id = "0999"});
    for (const char* doctor :
         {"('0101', 'D1', '张医生')", "('0101', 'D2', '李医生')", "('0102', 'D9', '别科医生')"}) {
      db_.Execute(std::string("INSERT INTO PEV_DOCTOR_GROUP (DEPT_ID, DOCTOR_ID, DOCTOR_NAME) "
                              "VALUES ") +
                  doctor);
    }
    residence_ = AddSignedRecord(2, {{"S2", "王五"}});
    AddSignedRecord(45, {{"D2", "李医生"}, {"S1", "A&B<C"}});
    AddSignedRecord(3, {{"S3", "不计入"}});
    AddTaskVisit("T1", "P1", "E1");
  }

  // A record of the visit P1/E1 of `emr_type` signed by (id, name) pairs; its identifier.
  std::string AddSignedRecord(int emr_type,
                              const std::vector<std::pair<std::string, std::string>>& signers) {
    const std::string id = db_.AddRecord({.patient_id = "P1",
                                          .event_no = "E1",
                                          .emr_type = emr_type,
                                          .title = "记录" + std::to_string(emr_type)});
    int sub_id = 0;
    for (const auto& [user_id, name] : signers) {
      db_.Execute("INSERT INTO TELV_EMR_SIGNATURE (ID, SUB_ID, USER_ID, NAME) VALUES ('" + id +
                  "', " + std::to_string(++sub_id) + ", '" + user_id + "', " +
                  schema::SqlText(name) + ")");
    }
    return id;
  }

  std::u16string Send(const std::u16string& notice, std::u16string* id = nullptr) {
    ScopedBstr info(notice), result;
    const std::u16string failure = Call(
        [&](CEMRDataSource* ds) { CBQCPatient::SendRectifyInfo(ds, info.get(), 7, result.out()); });
    if (id != nullptr) *id = result.text();
    return failure;
  }
  std::u16string Update(const std::u16string& state) {
    ScopedBstr info(state);
    return Call([&](CEMRDataSource* ds) { CBQCPatient::UpdateRectifyInfo(ds, info.get()); });
  }
  // USER_ID, USER_NAME, STATUS, PEV_USER_ID and CREATE_DATE of the notice.
  std::vector<std::string> Stored(const std::string& id) {
    const Rows rows = db_.Query(
        "SELECT USER_ID, USER_NAME, STATUS, PEV_USER_ID, CREATE_DATE FROM PEV_RECTIFY_INFO WHERE "
        "ID = " +
        schema::SqlText(id));
    return rows.empty() ? std::vector<std::string>() : rows.front();
  }
  Rows Items(const std::string& id) {
    return db_.Query(
        "SELECT STANDARD_ID, SERIAL, CONTENT, EMR_ID, EMR_TITLE, FEED_BACK, DEDUCT FROM "
        "PEV_RECTIFY_ITEM WHERE RECTIFY_ID = " +
        schema::SqlText(id) + " ORDER BY SERIAL");
  }

  std::string residence_;
};

TEST_F(RectifyNoticeTest, ANoticeLacksNothingItNeeds) {
  for (const char16_t* missing : {u"<title>病历整改</title>", u"<event_no>E1</event_no>",
                                  u"<pev_user_name>杨慧敏</pev_user_name>", u"<type>1</type>"}) {
    std::u16string notice = Notice(u"");
    notice.erase(notice.find(missing), std::char_traits<char16_t>::length(missing));
    EXPECT_EQ(Send(notice), u"信息不完整");
  }
  EXPECT_EQ(Send(u"<root><title>"), u"解析属性信息错误.");
  EXPECT_EQ(db_.Count("PEV_RECTIFY_INFO"), 0);
}

TEST_F(RectifyNoticeTest, ANewNoticeGetsAGuidAndASecondSendReplacesIt) {
  std::u16string id;
  ASSERT_EQ(Send(Notice(u"<user_id>U1</user_id><user_name>甲</user_name>"), &id), u"");
  ASSERT_EQ(id.size(), 36u);
  EXPECT_EQ(ToUtf8(id).find_first_not_of("0123456789abcdef-"), std::string::npos);
  EXPECT_EQ(Stored(ToUtf8(id)),
            (std::vector<std::string>{"U1", "甲", "1", "9002", "2026-12-07 08:00:00"}));
  EXPECT_EQ(db_.Count("PEV_GRADE_TASK_RECTIFY"), 0) << "no task, no link";

  std::u16string again;
  ASSERT_EQ(Send(Notice(u"<id>" + id +
                            u"</id><create_date>2026-12-01 10:00:00</create_date>"
                            u"<feed_time>sysdate</feed_time>",
                        u"2"),
                 &again),
            u"");
  EXPECT_EQ(again, id);
  EXPECT_EQ(db_.Query("SELECT STATUS, CREATE_DATE, FEED_TIME, USER_ID FROM PEV_RECTIFY_INFO"),
            (Rows{{"2", "2026-12-01 10:00:00", "2026-12-07 08:00:00", ""}}))
      << "the notice is replaced; without a task it keeps empty receivers";
}

TEST_F(RectifyNoticeTest, ATaskVisitsNoticeGoesToTheDoctorsAndThenTheSigners) {
  std::u16string id;
  ASSERT_EQ(Send(Notice(u"<task_id>T1</task_id>"), &id), u"");
  const std::vector<std::string> stored = Stored(ToUtf8(id));
  ASSERT_FALSE(stored.empty());
  // Doctors of the visit's department first, then the signers of types 45, 2 and 46 not yet
  // listed; the signer of the type-3 record and the other department's doctor are not.
  const std::vector<std::string> ids = Split(stored[0]);
  ASSERT_EQ(ids.size(), 4u) << stored[0];
  std::vector<std::string> doctors(ids.begin(), ids.begin() + 2);
  std::vector<std::string> signers(ids.begin() + 2, ids.end());
  std::sort(doctors.begin(), doctors.end());
  std::sort(signers.begin(), signers.end());
  EXPECT_EQ(doctors, (std::vector<std::string>{"D1", "D2"}));
  EXPECT_EQ(signers, (std::vector<std::string>{"S1", "S2"}));
  std::vector<std::string> names = Split(stored[1]);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"A&B<C", "张医生", "李医生", "王五"}));

  EXPECT_EQ(db_.Query("SELECT TASK_ID, PATIENT_ID, EVENT_NO, RECTIFY_ID FROM "
                      "PEV_GRADE_TASK_RECTIFY"),
            (Rows{{"T1", "P1", "E1", ToUtf8(id)}}));
  EXPECT_EQ(db_.QueryScalar("SELECT RECTIFY_ID FROM PEV_GRADE_PATIENT"), ToUtf8(id));

  // Receivers named by the client are kept; one name alone keeps an empty USER_ID.
  std::u16string named;
  ASSERT_EQ(Send(Notice(u"<task_id>T1</task_id><user_name>某人</user_name>"), &named), u"");
  EXPECT_EQ(Stored(ToUtf8(named))[0], "");
}

TEST_F(RectifyNoticeTest, AVisitWithoutReceiversFailsAndLeavesNoLink) {
  AddTaskVisit("T1", "P2", "E2");
  EXPECT_EQ(Send(u"<root><title>t</title><patient_id>P2</patient_id><event_no>E2</event_no>"
                 u"<pev_user_id>9002</pev_user_id><pev_user_name>杨</pev_user_name>"
                 u"<user_type>0</user_type><type>1</type><status>1</status>"
                 u"<task_id>T1</task_id></root>"),
            u"住院号: E2 所属未指定整改接收人!");
  EXPECT_EQ(db_.Count("PEV_GRADE_TASK_RECTIFY"), 0);
  EXPECT_EQ(db_.Count("PEV_RECTIFY_INFO"), 0);
  EXPECT_EQ(db_.Count("PEV_GRADE_PATIENT", "RECTIFY_ID IS NOT NULL"), 0);
}

TEST_F(RectifyNoticeTest, StatusThreeKeepsTheStoredReceiversAndFourTheItems) {
  const std::u16string items =
      u"<rectify><group><item standard_id='1' serial='1' emr_id='" + FromUtf8(residence_) +
      u"' emr_title='别的标题' feed_back='' deduct='2'>缺&lt;主诉&gt;</item></group>"
      u"<item serial='2' emr_id='none' emr_title='自拟' deduct='0.5'>格式</item></rectify>";
  ASSERT_EQ(Send(Notice(u"<id>R1</id><user_id>U1</user_id><user_name>甲</user_name>" + items)),
            u"");
  const Rows sent_items = {{"1", "1", "缺<主诉>", residence_, "记录2", "", "2"},
                           {"0", "2", "格式", "none", "自拟", "", "0.5"}};
  EXPECT_EQ(Items("R1"), sent_items) << "an item takes its record's title";

  ASSERT_EQ(Send(Notice(u"<id>R1</id><user_id>U2</user_id><user_name>乙</user_name>", u"3")), u"");
  EXPECT_EQ(Stored("R1")[0], "U1");
  EXPECT_EQ(Items("R1"), Rows{}) << "a send without items deletes them";
  ASSERT_EQ(Send(Notice(u"<id>R2</id><user_id>U2</user_id><user_name>乙</user_name>", u"3")), u"");
  EXPECT_EQ(Stored("R2")[0], "U2") << "a new notice keeps the document's receivers";

  ASSERT_EQ(Send(Notice(u"<id>R1</id>" + items)), u"");
  ASSERT_EQ(
      Send(Notice(u"<id>R1</id><rectify><item serial='9' deduct='1'>新</item></rectify>", u"4")),
      u"");
  EXPECT_EQ(Stored("R1")[2], "4");
  EXPECT_EQ(Items("R1"), sent_items) << "status 4 keeps the items";
}

TEST_F(RectifyNoticeTest, BareValuesMustBeNumbersBeforeAnythingIsWritten) {
  EXPECT_EQ(Send(Notice(u"<task_id>T1</task_id>", u"1 OR 1=1")),
            u"不是有效的数字: '1 OR 1=1' (status)");
  std::u16string bad_type = Notice(u"");
  bad_type.replace(bad_type.find(u"<user_type>0"), 12, u"<user_type>0)");
  EXPECT_EQ(Send(bad_type), u"不是有效的数字: '0)' (user_type)");
  EXPECT_EQ(Send(Notice(u"<rectify><item serial='' deduct='1'/></rectify>")),
            u"不是有效的数字: '' (serial)");
  EXPECT_EQ(Send(Notice(u"<rectify><item serial='1' deduct='1' standard_id='1,2'/></rectify>")),
            u"不是有效的数字: '1,2' (standard_id)");
  EXPECT_EQ(Send(Notice(u"<rectify><item serial='1' deduct='x'/></rectify>")),
            u"不是有效的数字: 'x' (deduct)");
  EXPECT_EQ(db_.Count("PEV_RECTIFY_INFO"), 0);
  EXPECT_EQ(db_.Count("PEV_GRADE_TASK_RECTIFY"), 0);
}

TEST_F(RectifyNoticeTest, UpdateToFourConfirmsEveryNoticeOfTheTaskVisit) {
  AddNotice("R1", "P1", "E1", "T1");
  AddNotice("R2", "P1", "E1", "T1");
  AddNotice("R3", "P1", "E1", "T2");
  ASSERT_EQ(Update(u"<root><status>4</status><task_id>T1</task_id><patient_id>P1</patient_id>"
                   u"<event_no>E1</event_no><pev_user_id>9003</pev_user_id></root>"),
            u"");
  EXPECT_EQ(db_.Query("SELECT ID, STATUS, PEV_USER_ID FROM PEV_RECTIFY_INFO ORDER BY ID"),
            (Rows{{"R1", "4", "9003"}, {"R2", "4", "9003"}, {"R3", "1", ""}}));
  EXPECT_EQ(db_.Query("SELECT STATUS FROM PEV_GRADE_PATIENT"), (Rows{{"3"}}));

  AddTaskVisit("T9", "P1", "E1");
  ASSERT_EQ(Update(u"<root><status>4</status><task_id>T9</task_id><patient_id>P1</patient_id>"
                   u"<event_no>E1</event_no></root>"),
            u"");
  EXPECT_EQ(db_.QueryScalar("SELECT STATUS FROM PEV_GRADE_PATIENT WHERE TASK_ID = 'T9'"), "3")
      << "without a notice the visit's state is still set";
}

TEST_F(RectifyNoticeTest, UpdateOfOneNoticeAddressesItToTheSigners) {
  AddNotice("R1", "P1", "E1");
  auto update = [&](const std::u16string& create_date, const std::u16string& id = u"R1") {
    return Update(u"<root><status>2</status><id>" + id +
                  u"</id><patient_id>P1</patient_id>"
                  u"<event_no>E1</event_no><pev_user_id>9003</pev_user_id><create_date>" +
                  create_date + u"</create_date></root>");
  };
  ASSERT_EQ(update(u"sysdate"), u"");
  std::vector<std::string> stored = Stored("R1");
  std::vector<std::string> signers = Split(stored[0]);
  std::sort(signers.begin(), signers.end());
  EXPECT_EQ(signers, (std::vector<std::string>{"D2", "S1", "S2"}));
  EXPECT_EQ(std::vector<std::string>(stored.begin() + 2, stored.end()),
            (std::vector<std::string>{"2", "9003", "2026-12-07 08:00:00"}));

  ASSERT_EQ(update(u"2026-12-01 10:00:00"), u"");
  EXPECT_EQ(Stored("R1")[4], "2026-12-01 10:00:00");
  ASSERT_EQ(update(u"SYSDATE"), u"");
  EXPECT_EQ(Stored("R1")[4], "2026-12-07 08:00:00");
  EXPECT_EQ(update(u"sysdate-1"), u"不是有效的日期: 'sysdate-1' (create_date)");
  EXPECT_EQ(update(u""), u"不是有效的日期: '' (create_date)");
  EXPECT_EQ(Update(u"<root><status>1 OR 1=1</status><id>R1</id></root>"),
            u"不是有效的数字: '1 OR 1=1' (status)");
  EXPECT_EQ(Stored("R1")[2], "2");
  EXPECT_EQ(update(u"sysdate-1", u""), u"") << "without an id nothing is changed";
}

TEST_F(RectifyNoticeTest, UpdateOfANoticeWhoseVisitHasNoSignerKeepsItsReceivers) {
  db_.Execute("DELETE FROM TELV_EMR_SIGNATURE");
  AddNotice("R1", "P1", "E1");
  db_.Execute("UPDATE PEV_RECTIFY_INFO SET USER_ID = 'D1', USER_NAME = '张医生'");
  ASSERT_EQ(Update(u"<root><status>2</status><id>R1</id><patient_id>P1</patient_id>"
                   u"<event_no>E1</event_no><pev_user_id>9003</pev_user_id>"
                   u"<create_date>2026-12-02 09:00:00</create_date></root>"),
            u"");
  EXPECT_EQ(Stored("R1"),
            (std::vector<std::string>{"D1", "张医生", "2", "9003", "2026-12-02 09:00:00"}));
}

}  // namespace
}  // namespace korvalis::testing
