// A host that connects to the server database with a role of its own, not the database's owner,
// works once the owner grants it what docs/server.md says: the rows of every table (the runtime's
// own catalog included) and of the tables the owner makes later. Without the grants it is
// refused with ORA-01031.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "db/testing/temp_directory.h"
#include "platform/db/testing/postgres_test_server.h"
#include "tools/testing/command_test_util.h"

namespace {

using korvalis::db::testing::PostgresTestServer;
using korvalis::testing::Outcome;

class ServerRolesTest : public ::testing::Test {
 protected:
  Outcome Run(const std::string& arguments) {
    return korvalis::testing::RunCommandIn(directory_, KORVALIS_COMMAND, arguments);
  }

  korvalis::testing::TempDirectory scratch_{"korvalis-server-roles"};
  const std::string directory_ = scratch_.path();
  PostgresTestServer& server_ = PostgresTestServer::Get();
  const std::string owner_ = server_.CreateDatabase();
  const std::string database_ = owner_.substr(owner_.rfind("Database=") + 9);
  const std::string role_ = "host_of_" + database_;
};

TEST_F(ServerRolesTest, ASecondRoleWorksWithTheGrantsTheReadmeGives) {
  ASSERT_EQ(Run("initdb --sample --connect '" + owner_ + "' > /dev/null").status, 0);
  ASSERT_EQ(Run("regsvr " KORVALIS_LIBRARY " > /dev/null").status, 0);
  ASSERT_EQ(Run("regsvr " KORVALIS_SUITE_COMPONENTS " > /dev/null").status, 0);
  server_.RunSql(owner_, "DROP ROLE IF EXISTS " + role_ + "; CREATE ROLE " + role_ + " LOGIN");
  std::string host = owner_;
  host.replace(host.find("User ID=postgres"), 16, "User ID=" + role_);
  const std::string count = "sql --connect '" + host + "' \"SELECT COUNT(*) N FROM TELV_PATIENT\"";

  Outcome refused = Run(count);
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.out.find("ORA-01031"), std::string::npos) << refused.out;

  // The owner's grants, as docs/server.md gives them.
  server_.RunSql(owner_,
                 "GRANT USAGE ON SCHEMA public TO " + role_ + ";"
                 "GRANT SELECT, INSERT, UPDATE, DELETE, TRUNCATE ON ALL TABLES IN SCHEMA public "
                 "TO " + role_ + ";"
                 "GRANT USAGE, SELECT, UPDATE ON ALL SEQUENCES IN SCHEMA public TO " + role_ + ";"
                 "ALTER DEFAULT PRIVILEGES IN SCHEMA public GRANT SELECT, INSERT, UPDATE, DELETE, "
                 "TRUNCATE ON TABLES TO " + role_ + ";"
                 "ALTER DEFAULT PRIVILEGES IN SCHEMA public GRANT USAGE, SELECT, UPDATE ON "
                 "SEQUENCES TO " + role_);
  Outcome counted = Run(count);
  ASSERT_EQ(counted.status, 0) << counted.out;
  EXPECT_NE(counted.out.find("N\n"), std::string::npos) << counted.out;
  // A table the owner makes later is the host's too.
  ASSERT_EQ(Run("sql --connect '" + owner_ + "' \"CREATE TABLE LATER (ID NUMBER(5))\"").status,
            0);
  Outcome later = Run("sql --connect '" + host + "' \"INSERT INTO LATER VALUES (1)\"");
  EXPECT_EQ(later.status, 0) << later.out;

  // The host's calls, reading and writing, run as that role.
  std::ofstream(directory_ + "/telv.config.xml")
      << "<config><db><datasource dbtype=\"oracle\">" << host << "</datasource></db></config>";
  Outcome listed = Run("call ArchivePatient GetInPatientList 0101 2026-11-01 2027-01-01");
  ASSERT_EQ(listed.status, 0) << listed.out;
  EXPECT_NE(listed.out.find("<patient "), std::string::npos) << listed.out;
  Outcome scored = Run(
      "call DeptQCPatient ScorePatient P0004 2026120601 \"<root><score>98</score><grade>1</grade>"
      "<item item_id='5' score='2' serial='1' note='n'/></root>\" \"<root><user id='9002'>"
      "杨慧敏</user></root>\"");
  EXPECT_EQ(scored.status, 0) << scored.out;
}

}  // namespace
