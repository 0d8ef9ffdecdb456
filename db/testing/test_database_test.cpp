// The fixture builder: isolated databases, and helpers that write rows the way the system's
// readers expect them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "db/stored_text.h"
#include "db/testing/test_database.h"
#include "platform/db/connection_pool.h"

namespace korvalis::schema {
namespace {

using Rows = std::vector<std::vector<std::string>>;

TEST(TestDatabaseTest, EachFixtureIsItsOwnDatabaseAndGoesAway) {
  std::string path;
  {
    TestDatabase first;
    TestDatabase second;
    EXPECT_NE(first.path(), second.path());
    first.AddPatient({.id = "P1"});
    EXPECT_EQ(first.Count("TELV_PATIENT"), 1);
    EXPECT_EQ(second.Count("TELV_PATIENT"), 0);
    EXPECT_EQ(first.init_string(), "Provider=SQLite;Data Source=" + first.path());
    path = first.path();
  }
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(path).parent_path()));
}

// Open descriptors of the process that refer to files under `directory`.
int OpenFilesUnder(const std::string& directory) {
  int count = 0;
  for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    std::string target = std::filesystem::read_symlink(fd.path(), error).string();
    if (!error && target.starts_with(directory)) ++count;
  }
  return count;
}

TEST(TestDatabaseTest, PooledConnectionsOfTheCodeUnderTestCloseWithTheFixture) {
  std::string directory;
  {
    TestDatabase db;
    directory = std::filesystem::path(db.path()).parent_path().string();
    {
      db::PooledConnection first = db::ConnectionPools::Acquire(db.init_string());
      db::PooledConnection second = db::ConnectionPools::Acquire(db.init_string());
      first->Execute("SELECT COUNT(*) FROM TELV_PATIENT");
      second->Execute("SELECT COUNT(*) FROM TELV_VISIT_RECORD");
    }
    EXPECT_GT(OpenFilesUnder(directory), 0);  // idle in the pool
  }
  EXPECT_EQ(OpenFilesUnder(directory), 0);
}

TEST(TestDatabaseTest, VisitsAndRecordsAsTheReadersExpectThem) {
  TestDatabase db;
  db.AddPatient({.id = "P1", .name = "O'Brien"});
  db.AddVisit({.patient_id = "P1", .event_no = "E1"});
  db.AddVisit({.patient_id = "P1", .event_no = "E2", .dept_id = "0102", .dept_name = "呼吸内科",
               .out_time = "2026-01-20 10:00:00"});
  EXPECT_EQ(db.Query("SELECT EVENT_NO, NAME, OUT_DEPT_ID, OUT_DEPT_NAME FROM "
                     "TELV_V_PATIENT_VISIT_RECORD ORDER BY EVENT_NO"),
            (Rows{{"E1", "O'Brien", "", ""}, {"E2", "O'Brien", "0102", "呼吸内科"}}));

  std::string first = db.AddRecord({.patient_id = "P1", .event_no = "E1", .html = "<HTML>入院</HTML>"});
  std::string second = db.AddRecord({.patient_id = "P1", .event_no = "E1", .status = 0});
  EXPECT_NE(first, second);
  db::BlobValue content =
      db.connection().ReadBlob("SELECT CONTENT FROM TELV_EMR_CONTENT WHERE ID = '" + first + "'");
  ASSERT_EQ(content.state, db::BlobValue::kBytes);
  EXPECT_EQ(content.bytes, StoredText("<HTML>入院</HTML>"));
  EXPECT_EQ(db.connection()
                .ReadBlob("SELECT CONTENT FROM TELV_EMR_CONTENT WHERE ID = '" + second + "'")
                .state,
            db::BlobValue::kNull);
  EXPECT_EQ(db.Count("TELV_EMR_CONTENT", "STATUS = 1 AND COMPRESSION = 0 AND ENCRYPTION = 0"), 1);
}

TEST(TestDatabaseTest, RulesAreLinkedUnderBothColumnSets) {
  TestDatabase db;
  db.AddRule({.id = 3, .name = "入院记录24小时内完成", .emr_types = {2, 45}, .open_events = {"A01"}});
  EXPECT_EQ(db.Query("SELECT SORT_CODE, QUANTITY, TIME_OUT, EMR_TYPE FROM PEV_RULE WHERE ID = 3"),
            (Rows{{"00003", "1", "24", ""}}));
  EXPECT_EQ(db.Query("SELECT EMR_TYPE, EMRTYPE FROM PEV_RULE_EMRTYPE WHERE RULE_ID = 3 ORDER BY 1"),
            (Rows{{"2", "2"}, {"45", "45"}}));
  EXPECT_EQ(db.Query("SELECT EVENT_CODE, RULE_ID, RELATION_TYPE, RULE_CODE FROM PEV_EVENT_RULE"),
            (Rows{{"A01", "3", "1", "3"}}));
}

TEST(TestDatabaseTest, SystemParametersAreReplaced) {
  TestDatabase db;
  db.SetSysParam("emr_browse_max", "3");
  db.SetSysParam("dept_qc_param", std::nullopt);
  EXPECT_EQ(db.Query("SELECT VALUE FROM TELV_SYS_PARAM WHERE NAME = 'emr_browse_max'"), (Rows{{"3"}}));
  EXPECT_EQ(db.Query("SELECT VALUE FROM TELV_SYS_PARAM WHERE NAME = 'dept_qc_param'"), (Rows{{""}}));
}

TEST(TestDatabaseTest, LiteralsDoubleQuotesAndDatesConvert) {
  EXPECT_EQ(SqlText("it's"), "'it''s'");
  EXPECT_EQ(SqlTextOrNull(std::nullopt), "NULL");
  EXPECT_EQ(SqlDate(std::string("2026-01-02 03:04:05")),
            "TO_DATE('2026-01-02 03:04:05', 'YYYY-MM-DD HH24:MI:SS')");
  EXPECT_EQ(SqlDate(std::nullopt), "NULL");
}

}  // namespace
}  // namespace korvalis::schema
