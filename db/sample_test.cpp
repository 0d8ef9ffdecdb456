// The sample hospital: the searches the main job and a newcomer run answer, and its rows hang
// together (every visit has its patient, every record its visit, every instance its rule and
// a deadline that agrees with the rule and its lateness).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/testing/test_database.h"
#include "foundation/codec/emr_compression.h"
#include "platform/text/unicode.h"

namespace korvalis::schema {
namespace {

using Rows = std::vector<std::vector<std::string>>;

std::string FromUtf16(std::string_view bytes) {
  std::u16string text;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                         static_cast<unsigned char>(bytes[i + 1]) << 8));
  }
  return ToUtf8(text);
}

std::string Uncompressed(const std::string& bytes) {
  CGzipCompression compression;
  BYTE* out = nullptr;
  ULONG size = 0;
  compression.Uncompress(reinterpret_cast<const BYTE*>(bytes.data()),
                         static_cast<ULONG>(bytes.size()), out, size);
  std::string result(reinterpret_cast<const char*>(out), size);
  delete[] out;
  return result;
}

class SampleTest : public ::testing::Test {
 protected:
  TestDatabase db_{DatabaseContents::kSampleHospital};
};

TEST_F(SampleTest, InHospitalPatientsOfADepartment) {
  // The condition of the in-hospital list: department, admission span, not discharged,
  // residence flag 2, record status 1.
  Rows rows = db_.Query(
      "SELECT/*+rule*/ NAME, SEX, PATIENT_ID, EVENT_NO, BED_NO FROM TELV_VISIT_RECORD V, "
      "TELV_PATIENT W WHERE V.PATIENT_ID = W.ID AND NOW_DEPT_ID='0101' AND IN_TIME >= "
      "to_date('2026-11-01 00:00:00', 'YYYY-MM-DD HH24:MI:SS') AND IN_TIME < "
      "to_date('2027-01-01 00:00:00', 'YYYY-MM-DD HH24:MI:SS') AND OUT_TIME is null AND "
      "RESIDENCE_FLAG=2 AND EMR_STATUS IN (1) AND 1=1 ORDER BY BED_NO");
  EXPECT_EQ(rows, (Rows{{"李建华", "1", "P0001", "2026120101", "12"},
                        {"王秀兰", "0", "P0002", "2026120301", "15"}}));
  // Every clinical department has patients in hospital.
  for (const char* dept : {"0101", "0102", "0201", "0301", "0401"}) {
    EXPECT_GT(db_.Count("TELV_VISIT_RECORD", std::string("NOW_DEPT_ID = '") + dept +
                                                 "' AND OUT_TIME IS NULL"),
              0)
        << dept;
  }
}

TEST_F(SampleTest, DischargedVisitsCoverTheArchiveStates) {
  Rows states = db_.Query(
      "SELECT EMR_STATUS, COUNT(*) FROM TELV_VISIT_RECORD WHERE OUT_TIME IS NOT NULL "
      "GROUP BY EMR_STATUS ORDER BY EMR_STATUS");
  ASSERT_EQ(states.size(), 4u);  // writing, committed, rolled back, archived
  EXPECT_EQ(db_.Count("TELV_VISIT_RECORD", "FORBID_FLAG = '1'"),
            db_.Count("TELV_PATIENT_FORBID"));
  // Discharged visits carry their discharge department; in-hospital ones none.
  EXPECT_EQ(db_.Count("TELV_VISIT_RECORD", "(OUT_TIME IS NULL AND OUT_DEPT_ID IS NOT NULL) OR "
                                                 "(OUT_TIME IS NOT NULL AND OUT_DEPT_ID IS NULL)"), 0);
}

TEST_F(SampleTest, RowsHangTogether) {
  EXPECT_EQ(db_.Count("TELV_VISIT_RECORD V", "NOT EXISTS (SELECT 1 FROM TELV_PATIENT P WHERE P.ID = V.PATIENT_ID)"), 0);
  EXPECT_EQ(db_.Count("TELV_EMR_CONTENT A", "NOT EXISTS (SELECT 1 FROM TELV_VISIT_RECORD V WHERE "
                                            "V.PATIENT_ID = A.PATIENT_ID AND V.EVENT_NO = A.EVENT_NO)"),
            0);
  EXPECT_EQ(db_.Count("TELV_EMR_CONTENT A", "NOT EXISTS (SELECT 1 FROM TELV_EMR_TEMPLATE T WHERE "
                                            "T.ID = A.TEMPLATE_ID AND T.EMR_TYPE = A.EMR_TYPE AND "
                                            "T.CATALOG_ID = A.CATALOG_ID)"),
            0);
  EXPECT_EQ(db_.Count("PEV_TIME_RULE_RECORD R", "NOT EXISTS (SELECT 1 FROM PEV_RULE P WHERE P.ID = R.RULE_ID)"), 0);
  EXPECT_EQ(db_.Count("PEV_TIME_RULE_RECORD R", "STATUS = 2 AND NOT EXISTS (SELECT 1 FROM "
                                                "TELV_EMR_CONTENT A WHERE A.ID = R.EMR_ID AND "
                                                "A.EMR_TYPE = R.EMR_TYPE)"),
            0);
  EXPECT_EQ(db_.Count("PEV_EVENT_RULE E", "NOT EXISTS (SELECT 1 FROM TELV_EVENT T WHERE T.CODE = E.EVENT_CODE)"), 0);
  EXPECT_EQ(db_.Count("PEV_RULE R", "POINT_ID IS NOT NULL AND NOT EXISTS (SELECT 1 FROM "
                                    "PEV_STANDARD_ITEM S WHERE S.ID = R.POINT_ID)"),
            0);
  EXPECT_EQ(db_.Count("TELV_MANAGE_PATIENT M", "NOT EXISTS (SELECT 1 FROM TELV_STAFF_DICT S WHERE S.ID = M.USER_ID)"), 0);
  EXPECT_EQ(db_.Count("PEV_GRADE_PATIENT G", "G.TASK_ID <> '0000-self-grade-0000' AND NOT EXISTS "
                                             "(SELECT 1 FROM PEV_GRADE_TASK T WHERE T.ID = G.TASK_ID)"),
            0);
  // Both column sets of the rule links name the same types and rules.
  EXPECT_EQ(db_.Count("PEV_RULE_EMRTYPE", "EMR_TYPE IS NULL OR EMRTYPE IS NULL OR EMR_TYPE <> EMRTYPE"), 0);
  EXPECT_EQ(db_.Count("PEV_EVENT_RULE", "RULE_ID IS NULL OR RULE_CODE IS NULL OR RULE_ID <> RULE_CODE"), 0);
}

TEST_F(SampleTest, RuleInstancesAgreeWithTheirRules) {
  // Deadline = start + TIME_OUT hours; a closed instance is late by whole hours past it.
  EXPECT_EQ(db_.Count("PEV_TIME_RULE_RECORD R, PEV_RULE P",
                      "R.RULE_ID = P.ID AND ABS((R.OVER_TIME - R.START_TIME) * 24 - P.TIME_OUT) > 0.001"),
            0);
  EXPECT_EQ(db_.Count("PEV_TIME_RULE_RECORD", "STATUS = 2 AND (FINISH_TIME IS NULL OR "
                                              "OVER_HOUR <> GREATEST(0, TRUNC((FINISH_TIME - OVER_TIME) * 24)))"),
            0);
  // The time limits of the hospital's rules.
  EXPECT_EQ(db_.Query("SELECT P.TIME_OUT, E.EMR_TYPE, R.EVENT_CODE FROM PEV_RULE P, PEV_RULE_EMRTYPE "
                      "E, PEV_EVENT_RULE R WHERE P.ID = E.RULE_ID AND P.ID = R.RULE_ID AND P.ID IN "
                      "(1, 2, 3, 4) ORDER BY P.ID"),
            (Rows{{"24", "2", "A01"}, {"8", "8", "A01"}, {"6", "15", "R01"}, {"24", "10", "A03"}}));
  // Serials number the instances of each visit from 1 without gaps.
  EXPECT_EQ(db_.Count("PEV_TIME_RULE_RECORD R", "SERIAL > (SELECT COUNT(*) FROM PEV_TIME_RULE_RECORD "
                                                "S WHERE S.PATIENT_ID = R.PATIENT_ID AND S.EVENT_NO = R.EVENT_NO)"),
            0);
}

TEST_F(SampleTest, RecordContentsAreStoredTextWithTheirTitle) {
  Rows records = db_.Query("SELECT ID, TITLE FROM TELV_EMR_CONTENT WHERE COMPRESSION = 0 AND ENCRYPTION = 0");
  ASSERT_EQ(static_cast<int>(records.size()), db_.Count("TELV_EMR_CONTENT"));
  for (const auto& record : records) {
    db::BlobValue blob = db_.connection().ReadBlob(
        "SELECT CONTENT FROM TELV_EMR_CONTENT WHERE ID = '" + record[0] + "'");
    ASSERT_EQ(blob.state, db::BlobValue::kBytes) << record[0];
    ASSERT_GE(blob.bytes.size(), 2u);
    ASSERT_EQ(blob.bytes.substr(0, 2), "\xFF\xFE") << record[0];
    ASSERT_EQ(blob.bytes.size() % 2, 0u);
    std::string html = FromUtf16(std::string_view(blob.bytes).substr(2));
    EXPECT_TRUE(html.starts_with("<HTML>")) << html;
    EXPECT_NE(html.find("<TITLE>" + record[1] + "</TITLE>"), std::string::npos) << html;
  }
}

TEST_F(SampleTest, ReportsRunTheirStatementsAndCarryTheirStyleSheets) {
  Rows reports = db_.Query("SELECT ID FROM TELV_REPORT WHERE STATUS = 1 AND NEW_FORMAT = 1 ORDER BY ID");
  ASSERT_EQ(reports.size(), 2u);
  for (const auto& report : reports) {
    SCOPED_TRACE(report[0]);
    const std::string where = " FROM TELV_REPORT WHERE ID = " + report[0];
    // The multi-SQL document: UTF-16LE without mark or codec.
    db::BlobValue multi = db_.connection().ReadBlob("SELECT MULTI_SQL" + where);
    ASSERT_EQ(multi.state, db::BlobValue::kBytes);
    std::string document = FromUtf16(multi.bytes);
    size_t begin = document.find("<gramar>"), end = document.find("</gramar>");
    ASSERT_NE(end, std::string::npos) << document;
    std::string statement = document.substr(begin + 8, end - begin - 8);
    for (size_t at; (at = statement.find("{dept}")) != std::string::npos;) {
      statement.replace(at, 6, "'0101'");
    }
    EXPECT_FALSE(db_.Query(statement).empty()) << statement;
    // The style sheet and the parameters: compressed UTF-16LE behind a byte-order mark.
    for (const char* column : {"XSLT", "SQL_PARAM"}) {
      db::BlobValue blob = db_.connection().ReadBlob(std::string("SELECT ") + column + where);
      ASSERT_EQ(blob.state, db::BlobValue::kBytes) << column;
      std::string stored = Uncompressed(blob.bytes);
      ASSERT_EQ(stored.substr(0, 2), "\xFF\xFE") << column;
      EXPECT_TRUE(FromUtf16(stored.substr(2)).starts_with("<?xml")) << column;
    }
  }
  db::BlobValue summary =
      db_.connection().ReadBlob("SELECT CONTENT2 FROM PEV_SUMMARY_TEMPLATE WHERE ID = 1");
  ASSERT_EQ(summary.state, db::BlobValue::kBytes);
  EXPECT_NE(FromUtf16(summary.bytes.substr(2)).find("xsl:stylesheet"), std::string::npos);
}

TEST_F(SampleTest, SampleUsersLogInWithTheDocumentedPassword) {
  // MD5 of "123456" as UTF-16LE, upper-case hexadecimal.
  EXPECT_EQ(db_.Count("TELV_USER_TABLE", "PASSWORD <> 'CE0BFD15059B68D67688884D7A3D3E8C'"), 0);
  EXPECT_EQ(db_.QueryScalar("SELECT T.VALID_FLAG FROM TELV_STAFF_DICT T, TELV_USER_TABLE U "
                            "WHERE U.ID = T.ID AND U.USER_CODE = 'zhangmy'"),
            "1");
  EXPECT_EQ(db_.QueryScalar("SELECT SUPER_LEVEL FROM TELV_USER_TABLE WHERE USER_CODE = 'hanzq' "
                            "AND VALID_FLAG = '1'"),
            "9");
}

}  // namespace
}  // namespace korvalis::schema
