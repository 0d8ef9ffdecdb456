// The embedded database file is whole when a command ends: initdb names a database only once
// its log is in the file and synced (on a disk too small for it, it fails and leaves nothing),
// and after a call that wrote, a copy of the file alone holds the call's rows.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "db/testing/temp_directory.h"
#include "tools/testing/command_test_util.h"

namespace {

using korvalis::testing::Outcome;
using korvalis::testing::RunCommandIn;

class WholeFileTest : public ::testing::Test {
 protected:
  Outcome Run(const std::string& arguments) {
    return RunCommandIn(directory_, KORVALIS_COMMAND, arguments);
  }

  korvalis::testing::TempDirectory scratch_{"korvalis-whole-file"};
  const std::string directory_ = scratch_.path();
};

// The sample needs about 2.8 MB: on a file system of 2.5 MB its log fits but the file does not.
// The file system is a tmpfs in a mount namespace of the test's own, where one may be made.
TEST_F(WholeFileTest, InitdbOnADiskTooSmallForTheFileFailsSayingWhyAndLeavesNothing) {
  const std::string small = directory_ + "/small";
  std::filesystem::create_directory(small);
  const std::string err = directory_ + "/stderr.txt";
  const Outcome run = korvalis::testing::RunCommand(
      "unshare -rm sh -c 'mount -t tmpfs -o size=2500k korvalis-test " + small +
          " 2>/dev/null || exit 77; cd " + small + " && KORVALIS_REGISTRY=" + directory_ +
          "/registry " KORVALIS_COMMAND " initdb --sample emr.db; echo status=$?; ls -A' 2> '" +
          err + "'",
      err);
  if (run.status != 0) GTEST_SKIP() << "no tmpfs can be mounted here: " << run.out;
  // The status, no file listed, then the message.
  EXPECT_TRUE(run.out.starts_with("status=1\nkorvalis initdb: ")) << run.out;
  // It names the database asked for, never the name it was being built under, which is gone.
  EXPECT_NE(run.out.find("could not be moved into its file: the disk holding the database '" +
                         small + "/emr.db' is full"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(run.out.find(".initdb-"), std::string::npos) << run.out;
  EXPECT_TRUE(run.out.ends_with("; nothing of it was left behind\n")) << run.out;
}

// A file size limit (a quota) fails the build with the engine's bare "disk I/O error": the
// message says which database could not be made.
TEST_F(WholeFileTest, InitdbPastAFileSizeLimitNamesTheDatabaseAndLeavesNothing) {
  const std::string limited = directory_ + "/limited";
  std::filesystem::create_directory(limited);
  const Outcome run =
      korvalis::testing::RunCommand("cd " + limited +
                                    " && trap '' XFSZ && ulimit -f 200 && " KORVALIS_COMMAND
                                    " initdb --sample emr.db 2>&1; echo status=$?; ls -A");
  EXPECT_EQ(run.out, "korvalis initdb: cannot create " + limited +
                         "/emr.db: disk I/O error; nothing of it was left behind\nstatus=1\n");
}

TEST_F(WholeFileTest, AfterAWritingCallACopyOfTheFileAloneHoldsTheCallsRows) {
  ASSERT_EQ(Run("initdb --sample emr.db").status, 0);
  ASSERT_EQ(Run("regsvr " KORVALIS_LIBRARY).status, 0);
  ASSERT_EQ(Run("regsvr " KORVALIS_SUITE_COMPONENTS).status, 0);
  const Outcome call =
      Run("call EventRegister RegisterEvent '<root><code>A01</code><src_sys>1</src_sys><patient_id>"
          "P0004</patient_id><event_no>2026120601</event_no><time>2026-12-06 10:45:00</time>"
          "<type>0</type></root>'");
  ASSERT_EQ(call.status, 0) << call.out;
  std::filesystem::copy_file(directory_ + "/emr.db", directory_ + "/copy.db");
  const Outcome copied =
      Run("sql --db copy.db \"SELECT PATIENT_ID, EVENT_NO FROM TELV_REGISTER_EVENT\"");
  EXPECT_EQ(copied.out, "PATIENT_ID\tEVENT_NO\nP0004\t2026120601\n1 row selected\n");
}

}  // namespace
