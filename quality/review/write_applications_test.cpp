#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/data/single_data_source.h"
#include "quality/review/qc_collector.h"
#include "quality/review/testing/collector_test_support.h"

namespace korvalis::review::testing {
namespace {

using korvalis::testing::kUnreachableDatabase;

class WriteApplicationsTest : public CollectorTest {
 protected:
  WriteApplicationsTest() {
    db_.AddPatient({.id = "P1", .name = "张三"});
    db_.AddVisit({.patient_id = "P1", .event_no = "E1", .dept_id = "0101", .dept_name = "心内科"});
    db_.AddPatient({.id = "P2", .name = "李四"});
    db_.AddVisit({.patient_id = "P2", .event_no = "E2", .dept_id = "0102", .dept_name = "呼吸科"});
    db_.AddRule({.id = 1, .name = "入院记录"});
    db_.AddRule({.id = 2, .name = "首次病程"});
  }

  // An application of P1/E1 for rule 1, serial 1, with further keys.
  void Apply(const std::u16string& more, const std::u16string& key = u"") {
    Call(&CBQCCollector::SetEmrApplyInfo, Condition(more, key));
  }
  static std::u16string Condition(const std::u16string& more, const std::u16string& key = u"") {
    return u"<root><patient_id>P1</patient_id><event_no>E1</event_no><emr_type>2</emr_type>" +
           (key.empty() ? u"<rule_id>1</rule_id><serial>1</serial>" : key) + more + u"</root>";
  }
  Rows Applications() {
    return db_.Query(
        "SELECT PATIENT_ID, EVENT_NO, EMR_TYPE, RULE_ID, SERIAL, APPLYER_ID, APPLYER_NAME, "
        "APPLY_DATE, STATUS, AUDIT_NAME, AUDIT_DATE FROM PEV_EMR_WRITE_APPLY "
        "ORDER BY PATIENT_ID, RULE_ID, SERIAL");
  }
  std::vector<std::string> Listed(const std::u16string& condition) {
    return AttributeOfEach(List(&CBQCCollector::GetEmrApplyInfo, condition), "rule_id");
  }
};

TEST_F(WriteApplicationsTest, OneKeySavedTwiceLeavesOneRowWithTheLaterValues) {
  Apply(
      u"<applyer_id>D1</applyer_id><applyer_name>王医生</applyer_name>"
      u"<apply_date>2012-05-01 08:30:00</apply_date><status>0</status>");
  Apply(
      u"<applyer_id>D2</applyer_id><applyer_name>O'Brien</applyer_name>"
      u"<apply_date>2012-05-02</apply_date><status>1</status><audit_name>审'核</audit_name>"
      u"<audit_date>2012-05-03 10:00:00</audit_date>");
  EXPECT_EQ(Applications(), (Rows{{"P1", "E1", "2", "1", "1", "D2", "O'Brien",
                                   "2012-05-02 00:00:00", "1", "审'核", "2012-05-03 10:00:00"}}));
}

TEST_F(WriteApplicationsTest, DatesAreReadInTheDefaultFormatAndABadOneWritesNothing) {
  Apply(u"<apply_date>2012-05-01 08:30:00</apply_date><status>0</status>");
  EXPECT_EQ(Applications()[0][7], "2012-05-01 08:30:00");
  EXPECT_EQ(Applications()[0][10], "");  // an empty date is NULL

  const Rows before = Applications();
  EXPECT_EQ(Failure(&CBQCCollector::SetEmrApplyInfo,
                    Condition(u"<apply_date>2012-13-01</apply_date><status>1</status>")),
            kDatabaseErrorMessage);
  EXPECT_EQ(Failure(&CBQCCollector::SetApplyStatus,
                    Condition(u"<status>1</status><audit_date>'; DROP</audit_date>")),
            kDatabaseErrorMessage);
  EXPECT_EQ(Applications(), before);
}

TEST_F(WriteApplicationsTest, TheAuditChangesOnlyAnExistingApplication) {
  Apply(u"<applyer_name>王</applyer_name><status>0</status>");
  Call(&CBQCCollector::SetApplyStatus, Condition(u"<status>2</status><audit_name>质'控</audit_name>"
                                                 u"<audit_date>2012-06-01 09:00:00</audit_date>"));
  Call(&CBQCCollector::SetApplyStatus,
       Condition(u"<status>2</status>", u"<rule_id>1</rule_id><serial>9</serial>"));
  EXPECT_EQ(Applications(),
            (Rows{{"P1", "E1", "2", "1", "1", "", "王", "", "2", "质'控", "2012-06-01 09:00:00"}}));
  // Without the whole key and a status nothing is written, and the database is not asked.
  for (auto body : {&CBQCCollector::SetEmrApplyInfo, &CBQCCollector::SetApplyStatus}) {
    EXPECT_EQ(Failure(body, Condition(u""), kUnreachableDatabase), u"");
    EXPECT_EQ(Failure(body, Condition(u"<status>1</status>", u"<rule_id>1</rule_id>"),
                      kUnreachableDatabase),
              u"");
  }
}

TEST_F(WriteApplicationsTest, ApplicationsAreListedWithTheirRuleAndVisit) {
  Apply(
      u"<applyer_id>D1</applyer_id><applyer_name>欧'阳明</applyer_name>"
      u"<apply_date>2012-05-01 23:59:59</apply_date><status>0</status>"
      u"<audit_name>审核甲</audit_name>");
  Apply(
      u"<applyer_name>阳光</applyer_name><apply_date>2012-05-02 00:00:00</apply_date>"
      u"<status>1</status>",
      u"<rule_id>2</rule_id><serial>1</serial>");
  Apply(u"<applyer_name>张</applyer_name><apply_date>2012-05-01</apply_date><status>0</status>",
        u"<rule_id>3</rule_id><serial>1</serial>");  // rule 3 does not exist
  EXPECT_EQ(List(&CBQCCollector::GetEmrApplyInfo, u"<root><rule_id>1</rule_id></root>"),
            (std::vector<Element>{{"patient_id",
                                   "P1",
                                   {{"applyer_date", "2012-05-01 23:59:59"},
                                    {"applyer_name", "欧'阳明"},
                                    {"audit_date", ""},
                                    {"audit_name", "审核甲"},
                                    {"emr_type", "2"},
                                    {"event_no", "E1"},
                                    {"now_dept_name", "心内科"},
                                    {"patient_name", "张三"},
                                    {"rule_id", "1"},
                                    {"rule_name", "入院记录"},
                                    {"serial", "1"},
                                    {"status", "0"}}}}));
  EXPECT_EQ(Listed(u"<root/>"), (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(Listed(u"<root><applyer_name>阳</applyer_name></root>"),
            (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(Listed(u"<root><applyer_name>'阳</applyer_name></root>"),
            std::vector<std::string>{"1"});
  EXPECT_EQ(Listed(u"<root><apply_date>2012-05-01</apply_date></root>"),
            std::vector<std::string>{"1"});
  EXPECT_EQ(Listed(u"<root><audit_name>核</audit_name><status>0</status></root>"),
            std::vector<std::string>{"1"});
  EXPECT_EQ(Listed(u"<root><apply_dept>0101</apply_dept><applyer_id>D1</applyer_id></root>"),
            std::vector<std::string>{"1"});
  EXPECT_EQ(Listed(u"<root><apply_dept>0102</apply_dept></root>"), std::vector<std::string>{});
  EXPECT_EQ(Listed(u"<root><patient_id>P1' OR '1'='1</patient_id></root>"),
            std::vector<std::string>{});

  db_.Execute("DELETE FROM PEV_RULE WHERE ID = 2");
  EXPECT_EQ(Listed(u"<root/>"), std::vector<std::string>{"1"});
}

}  // namespace
}  // namespace korvalis::review::testing
