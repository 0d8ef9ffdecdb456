// The extension domain over a second embedded database, asked through the domain registry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/testing/test_database.h"
#include "emrdoc/domain_manager.h"
#include "emrdoc/domain_table.h"
#include "emrdoc/testing/domain_lookup.h"
#include "emrdoc/testing/patient_visit_fixture.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/log/event_log_entry.h"
#include "foundation/testing/data_source_test_util.h"

namespace {

using korvalis::com::ScopedBstr;
using korvalis::datasource::testing::EventLogCapture;
using korvalis::emrdoc::testing::kGetResidenceNo;
using korvalis::emrdoc::testing::PatientVisitTest;

class ExtendDomainTest : public PatientVisitTest {
 protected:
  ExtendDomainTest() {
    AddVisit({});
    doubles_.Answer(IID_IHISPatientInfo, kGetResidenceNo, u"Z001");
    lab_.Execute(
        "CREATE TABLE LAB_RESULT (PATIENT_ID VARCHAR2(32), EVENT_NO VARCHAR2(32), "
        "RESIDENCE_NO VARCHAR2(32), EMR_ID VARCHAR2(32), ROW_ID VARCHAR2(8), WBC VARCHAR2(8), "
        "RBC VARCHAR2(8))");
    lab_.Execute("INSERT INTO LAB_RESULT VALUES ('P1', 'E1', 'Z001', 'R1', '1', '5.2', '4.1')");
    AddDatabase(1, "LAB", lab_.init_string());
  }

  void AddDatabase(int id, const std::string& code, const std::string& db_string) {
    database_.Execute("INSERT INTO TELV_EXTEND_DBSTRING (ID, CODE, DB_STRING) VALUES (" +
                      std::to_string(id) + ", '" + code + "', '" + db_string + "')");
  }
  // `column_num` is written into the statement as it stands ("3", "NULL").
  void AddItem(int db, const std::string& code, const std::string& sql,
               const std::string& column_num, const std::string& sub_code,
               const std::string& sub_name, int status = 1) {
    database_.Execute(
        "INSERT INTO TELV_EXTEND_DOMAIN (EXTEND_DB, CODE, SQL, COLUMN_NUM, SUB_CODE, SUB_NAME, "
        "STATUS) VALUES (" +
        std::to_string(db) + ", '" + code + "', '" + sql + "', " + column_num + ", '" + sub_code +
        "', '" + sub_name + "', " + std::to_string(status) + ")");
  }
  // The blood item of the lab database, its statement selecting by `condition`.
  void AddBlood(const std::string& condition = "PATIENT_ID = ''{#patientid#}''",
                const std::string& code = "Blood") {
    AddItem(1, code, "SELECT ROW_ID, WBC, RBC FROM LAB_RESULT WHERE " + condition, "3", "WBC,rbc",
            "白细胞,红细胞");
  }

  static std::u16string Ask(CBDomainManager& registry, const std::u16string& key,
                            const char16_t* patient = u"P1") {
    return korvalis::emrdoc::testing::AskRegistry(registry, kExtendDomainCode, key, patient);
  }
  static std::u16string AskForEmr(CBDomainManager& registry, const char16_t* emr,
                                  const std::u16string& key) {
    ScopedBstr patient_id(u"P1"), event_no(u"E1"), emr_id(emr), key_text(key), value;
    EXPECT_EQ(registry.GetValueForEmr(patient_id.get(), event_no.get(), emr_id.get(),
                                      kExtendDomainCode, key_text.get(), value.out()),
              0);
    return value.text();
  }
  std::u16string AskOne(const std::u16string& key) {
    auto source = Source();
    CBDomainManager registry(&source);
    return Ask(registry, key);
  }

  korvalis::schema::TestDatabase lab_;
  EventLogCapture events_;
};

TEST_F(ExtendDomainTest, ValuesOfTheSubCodesUnderLowerCaseKeys) {
  AddBlood();
  auto source = Source();
  CBDomainManager registry(&source);
  EXPECT_EQ(Ask(registry, u"ex.lab.blood.1.wbc"), u"5.2");
  EXPECT_EQ(Ask(registry, u"ex.lab.blood.1.rbc"), u"4.1");
  EXPECT_EQ(Ask(registry, u"ex.lab.blood.2.wbc"), u"");
  EXPECT_EQ(Ask(registry, u"EX.LAB.BLOOD.1.WBC"), u"");  // compared unchanged
  EXPECT_EQ(Ask(registry, u"ex.lab.blood.1"), u"");
  EXPECT_TRUE(events_.Records().empty());
}

TEST_F(ExtendDomainTest, EveryLookupRunsTheItemsAgain) {
  AddBlood();
  auto source = Source();
  CBDomainManager registry(&source);
  EXPECT_EQ(Ask(registry, u"ex.lab.blood.1.wbc"), u"5.2");
  lab_.Execute("UPDATE LAB_RESULT SET WBC = '7.0'");
  EXPECT_EQ(Ask(registry, u"ex.lab.blood.1.wbc"), u"7.0");
  EXPECT_EQ(doubles_.Calls(IID_IHISPatientInfo).size(), 2u);
  // A key outside the item keeps what was stored.
  lab_.Execute("UPDATE LAB_RESULT SET WBC = '9.9'");
  EXPECT_EQ(Ask(registry, u"ex.other"), u"");
  EXPECT_EQ(Ask(registry, u"ex.lab.blood.1.rbc"), u"4.1");
}

TEST_F(ExtendDomainTest, ColumnCountsThatAreNotPositiveSkipTheItem) {
  AddItem(1, "zero", "SELECT broken", "0", "a", "A");
  AddItem(1, "unset", "SELECT broken", "NULL", "a", "A");
  AddItem(1, "off", "SELECT broken", "2", "a", "A", 0);
  AddBlood();
  EXPECT_EQ(AskOne(u"ex.lab.blood.1.wbc"), u"5.2");
  EXPECT_EQ(AskOne(u"ex.lab.zero.1.a"), u"");
  EXPECT_TRUE(events_.Records().empty());  // none of the broken statements ran
}

TEST_F(ExtendDomainTest, AnItemKeyEndingWithADotGetsNoSecondOne) {
  AddBlood("1 = 1", "blood.");
  EXPECT_EQ(AskOne(u"ex.lab.blood.1.wbc"), u"5.2");
}

TEST_F(ExtendDomainTest, AFailingItemIsLoggedMaskedOnEveryLookupAndTheOthersAnswer) {
  AddDatabase(2, "bad",
              "Provider=SQLite;Data Source=/nonexistent-korvalis/x.db;Password=topsecret");
  AddItem(2, "blood", "SELECT 1 FROM DUAL", "2", "a", "A");
  AddBlood();
  auto source = Source();
  CBDomainManager registry(&source);
  EXPECT_EQ(Ask(registry, u"ex.lab.blood.1.wbc"), u"5.2");
  EXPECT_EQ(Ask(registry, u"ex.lab.blood.1.rbc"), u"4.1");
  std::vector<std::u16string> errors;
  for (const auto& record : events_.Records()) {
    EXPECT_EQ(record.text.find(u"topsecret"), std::u16string::npos);
    if (record.type == CEventLogEntry::kError) errors.push_back(record.text);
  }
  EXPECT_GE(errors.size(), 2u);
}

// An item's statement that is no query is refused before it runs, on an extension database of
// either engine; it is logged and the other items answer.
TEST_F(ExtendDomainTest, AnItemThatIsNoQueryIsLoggedAndNeverRuns) {
  korvalis::schema::TestDatabase server_lab(korvalis::schema::DatabaseContents::kInstallation,
                                            korvalis::db::Engine::kPostgres);
  server_lab.Execute("CREATE TABLE LAB_RESULT (ROW_ID VARCHAR2(8), WBC VARCHAR2(8))");
  server_lab.Execute("INSERT INTO LAB_RESULT VALUES ('1', '6.6')");
  AddDatabase(2, "SRV", server_lab.init_string());
  const std::string others[] = {"DELETE FROM LAB_RESULT", "UPDATE LAB_RESULT SET WBC = ''0''",
                                "DROP TABLE LAB_RESULT"};
  int code = 0;
  for (const std::string& other : others) {
    for (int db : {1, 2}) AddItem(db, "w" + std::to_string(code++), other, "2", "a", "A");
  }
  AddBlood();
  AddItem(2, "blood", "SELECT ROW_ID, WBC FROM LAB_RESULT", "2", "wbc", "白细胞");
  EXPECT_EQ(AskOne(u"ex.lab.blood.1.wbc"), u"5.2");
  EXPECT_EQ(AskOne(u"ex.srv.blood.1.wbc"), u"6.6");
  EXPECT_EQ(lab_.Query("SELECT WBC FROM LAB_RESULT"),
            (std::vector<std::vector<std::string>>{{"5.2"}}));
  EXPECT_EQ(server_lab.Query("SELECT WBC FROM LAB_RESULT"),
            (std::vector<std::vector<std::string>>{{"6.6"}}));
  std::vector<std::u16string> refusals;
  for (const auto& record : events_.Records()) refusals.push_back(record.text);
  EXPECT_EQ(refusals.size(), 12u);  // six items on each of the two lookups
  EXPECT_EQ(refusals.front(), u"扩展数据项SQL语句不是查询语句,无法取值: DELETE FROM LAB_RESULT");
}

TEST_F(ExtendDomainTest, PlaceholderValuesHaveTheirQuotesDoubled) {
  database_.Execute("DELETE FROM TELV_VISIT_RECORD");
  AddVisit({.patient_id = "P'1"});
  lab_.Execute("INSERT INTO LAB_RESULT VALUES ('P''1', 'E1', 'Z001', 'R1', '2', '6.0', '5.0')");
  AddBlood(
      "PATIENT_ID = ''{#patientid#}'' AND EVENT_NO = ''{#eventno#}'' AND "
      "RESIDENCE_NO = ''{#residenceno#}''");
  auto source = Source();
  CBDomainManager registry(&source);
  EXPECT_EQ(Ask(registry, u"ex.lab.blood.2.wbc", u"P'1"), u"6.0");
  EXPECT_EQ(Ask(registry, u"ex.lab.blood.1.wbc", u"P'1"), u"");
}

TEST_F(ExtendDomainTest, EmrIdOfTheRecordThatCreatedTheDomain) {
  AddBlood("EMR_ID = ''{#emrid#}''");
  {
    auto source = Source();
    CBDomainManager registry(&source);
    EXPECT_EQ(AskForEmr(registry, u"R1", u"ex.lab.blood.1.wbc"), u"5.2");
    // The domain exists now: a later record's id does not replace the first.
    EXPECT_EQ(AskForEmr(registry, u"R2", u"ex.lab.blood.1.rbc"), u"4.1");
  }
  {
    auto source = Source();
    CBDomainManager registry(&source);
    EXPECT_EQ(AskForEmr(registry, u"", u"ex.lab.blood.1.wbc"), u"");
  }
  {
    auto source = Source();
    CBDomainManager registry(&source);
    EXPECT_EQ(Ask(registry, u"ex.lab.blood.1.wbc"), u"");
    EXPECT_EQ(AskForEmr(registry, u"R1", u"ex.lab.blood.1.wbc"), u"");
  }
}

TEST_F(ExtendDomainTest, SubCodesWithoutAColumnOrANameReadNothingPastTheRow) {
  AddItem(1, "short", "SELECT ROW_ID, WBC FROM LAB_RESULT", "2", "a,b,c", "甲");
  EXPECT_EQ(AskOne(u"ex.lab.short.1.a"), u"5.2");
  EXPECT_EQ(AskOne(u"ex.lab.short.1.b"), u"");
  EXPECT_EQ(AskOne(u"ex.lab.short.1.c"), u"");
}

TEST_F(ExtendDomainTest, AResidenceNumberFailureReachesTheCaller) {
  AddBlood();
  doubles_.Fail(IID_IHISPatientInfo, kGetResidenceNo, E_FAIL, u"HIS不可用");
  auto source = Source();
  CBDomainManager registry(&source);
  EXPECT_EQ(Ask(registry, u"ex.lab.blood.1.wbc"), u"5.2");  // the number queued first
  ScopedBstr patient_id(u"P1"), event_no(u"E1"), key(u"ex.lab.blood.1.wbc"), value;
  EXPECT_THROW(registry.GetValue(patient_id.get(), event_no.get(), kExtendDomainCode, key.get(),
                                 value.out()),
               CEMRException);
}

}  // namespace
