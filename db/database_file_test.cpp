// Creating the database file of `korvalis initdb` and its configuration file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "db/database_file.h"
#include "db/testing/temp_directory.h"
#include "foundation/data/db_config.h"
#include "platform/db/connection_pool.h"
#include "platform/db/connection_string.h"
#include "platform/db/sql_error.h"
#include "platform/db/testing/postgres_test_server.h"
#include "platform/text/unicode.h"

namespace korvalis::schema {
namespace {

namespace fs = std::filesystem;

class DatabaseFileTest : public ::testing::Test {
 protected:
  static std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::string QueryScalar(const std::string& init_string, const std::string& sql) {
    std::unique_ptr<db::Connection> connection = db::OpenConnection(init_string);
    std::unique_ptr<db::Rowset> rows = connection->Execute(sql);
    return rows->Next() ? std::string(rows->Text(0)) : "";
  }

  korvalis::testing::TempDirectory scratch_{"korvalis-initdb"};
  const fs::path dir_ = scratch_.path();
};

TEST_F(DatabaseFileTest, CreatesTheDatabaseAndRefusesToOverwriteIt) {
  const std::string path = (dir_ / "emr.db").string();
  const std::string init_string = CreateDatabaseFile(path, DatabaseContents::kInstallation);
  EXPECT_EQ(init_string, "Provider=SQLite;Data Source=" + path);
  EXPECT_EQ(QueryScalar(init_string, "SELECT COUNT(*) FROM TELV_PROPERTY_MAP WHERE MAP_NAME = 'telv_report'"), "12");
  EXPECT_EQ(QueryScalar(init_string, "SELECT COUNT(*) FROM TELV_PATIENT"), "0");

  const auto size = fs::file_size(path);
  try {
    CreateDatabaseFile(path, DatabaseContents::kSampleHospital);
    FAIL() << "an existing database was overwritten";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("refusing to overwrite"), std::string::npos) << e.what();
  }
  EXPECT_EQ(fs::file_size(path), size);
  EXPECT_EQ(QueryScalar(init_string, "SELECT COUNT(*) FROM TELV_PATIENT"), "0");

  // Any file counts, not only a database.
  std::ofstream(dir_ / "notes.txt") << "keep me";
  EXPECT_THROW(CreateDatabaseFile((dir_ / "notes.txt").string(), DatabaseContents::kInstallation),
               std::runtime_error);
  EXPECT_EQ(Read(dir_ / "notes.txt"), "keep me");
}

TEST_F(DatabaseFileTest, RelativePathsBecomeAbsoluteAndMissingDirectoriesFail) {
  const fs::path previous = fs::current_path();
  fs::current_path(dir_);
  std::string init_string;
  EXPECT_NO_THROW(init_string = CreateDatabaseFile("./sub/../rel.db", DatabaseContents::kInstallation));
  fs::current_path(previous);
  EXPECT_EQ(init_string, "Provider=SQLite;Data Source=" + (dir_ / "rel.db").string());
  EXPECT_THROW(CreateDatabaseFile((dir_ / "missing" / "x.db").string(), DatabaseContents::kInstallation),
               std::runtime_error);
  EXPECT_FALSE(fs::exists(dir_ / "missing"));
}

TEST_F(DatabaseFileTest, SampleHospitalGoesInOnRequest) {
  const std::string init_string =
      CreateDatabaseFile((dir_ / "sample.db").string(), DatabaseContents::kSampleHospital);
  EXPECT_EQ(QueryScalar(init_string, "SELECT NAME FROM TELV_PATIENT WHERE ID = 'P0001'"), "李建华");
}

TEST_F(DatabaseFileTest, ConfigurationPointsAtTheDatabaseOnce) {
  // A path with the characters the two formats treat specially survives both.
  const std::string path = (dir_ / "a;b&<c>.db").string();
  const std::string init_string = CreateDatabaseFile(path, DatabaseContents::kInstallation);
  ASSERT_TRUE(WriteDatabaseConfig(dir_.string(), init_string));
  const std::string text = Read(dir_ / kDatabaseConfigFile);
  EXPECT_NE(text.find("<datasource dbtype=\"oracle\" encrypt=\"\">"), std::string::npos) << text;
  EXPECT_NE(text.find("a;b&amp;&lt;c&gt;.db"), std::string::npos) << text;
  EXPECT_EQ(text.find("<db>"), text.rfind("<db>"));
  std::optional<std::string> source = db::ConnectionString::Parse(init_string).Get("data source");
  ASSERT_TRUE(source.has_value());
  EXPECT_EQ(*source, path);
  EXPECT_EQ(QueryScalar(init_string, "SELECT COUNT(*) FROM TELV_EVENT WHERE CODE = 'E03'"), "1");

  // The system reads it back as written: the same initialisation string, the Oracle dialect.
  const std::u16string config = FromUtf8((dir_ / kDatabaseConfigFile).string());
  EXPECT_EQ(ReadDBConfig(config), FromUtf8(init_string));
  std::optional<std::u16string> dialect = ReadDBTypeName(config);
  ASSERT_TRUE(dialect.has_value());
  EXPECT_TRUE(IsOracleTypeName(*dialect));

  // An existing configuration is never replaced.
  EXPECT_FALSE(WriteDatabaseConfig(dir_.string(), "Provider=SQLite;Data Source=/elsewhere.db"));
  EXPECT_EQ(Read(dir_ / kDatabaseConfigFile), text);
  EXPECT_FALSE(fs::exists(dir_ / (std::string(kDatabaseConfigFile) + ".tmp")));
}

TEST_F(DatabaseFileTest, ConfigurationIsTheOwnersOnly) {
  // It holds the server's password: whatever the umask, and whatever mode a temporary left by
  // an earlier run had.
  const fs::path stale = dir_ / (std::string(kDatabaseConfigFile) + ".tmp");
  std::ofstream(stale) << "left over";
  fs::permissions(stale, fs::perms::all);
  const mode_t previous = ::umask(0);
  const bool written =
      WriteDatabaseConfig(dir_.string(), "Provider=PostgreSQL;Host=/tmp;Password=secret");
  ::umask(previous);
  ASSERT_TRUE(written);
  EXPECT_EQ(fs::status(dir_ / kDatabaseConfigFile).permissions(),
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_NE(Read(dir_ / kDatabaseConfigFile).find("Password=secret"), std::string::npos);
  EXPECT_FALSE(fs::exists(stale));
}

TEST(DatabaseBuilderTest, AFailedBuildLeavesNothingBehind) {
  // A database that already holds one of the last tables of the schema: the build fails late,
  // after every earlier table was created, and must take all of them back.
  korvalis::testing::TempDirectory scratch("korvalis-build");
  const std::string init_string = "Provider=SQLite;Data Source=" + scratch.path() + "/partial.db";
  {
    std::unique_ptr<db::Connection> connection = db::CreateDatabase(init_string);
    std::unique_ptr<db::Rowset> rows =
        connection->Execute("CREATE TABLE VKT_ELEMENT (ITEM_ID VARCHAR2(64))");
    try {
      BuildDatabase(*connection, DatabaseContents::kInstallation);
      FAIL() << "the build ignored an existing table";
    } catch (const db::DbError& e) {
      EXPECT_NE(std::string(e.description()).find("db/schema/08_report.sql"), std::string::npos)
          << e.description();
    }
    EXPECT_FALSE(connection->InTransaction());
    EXPECT_THROW(connection->Execute("SELECT COUNT(*) FROM TELV_PATIENT"), db::DbError);
    EXPECT_THROW(connection->Execute("SELECT COUNT(*) FROM TELV_SYS_PARAM"), db::DbError);
  }
}

TEST(DatabaseBuilderTest, AFailedBuildOnTheServerLeavesNothingBehind) {
  db::testing::PostgresTestServer& server = db::testing::PostgresTestServer::Get();
  const std::string init_string = server.CreateDatabase();
  db::OpenConnection(init_string)->Execute("CREATE TABLE VKT_ELEMENT (ITEM_ID VARCHAR2(64))");
  try {
    BuildServerDatabase(init_string, DatabaseContents::kInstallation);
    FAIL() << "the build ignored an existing table";
  } catch (const db::DbError& e) {
    EXPECT_NE(std::string(e.description()).find("db/schema/08_report.sql"), std::string::npos)
        << e.description();
  }
  EXPECT_EQ(server.RunSql(init_string,
                          "SELECT count(*) FROM pg_tables WHERE tablename ILIKE 'telv_%' "
                          "OR tablename ILIKE 'pev_%'"),
            "0");
  server.DropDatabase(init_string);
}

}  // namespace
}  // namespace korvalis::schema
