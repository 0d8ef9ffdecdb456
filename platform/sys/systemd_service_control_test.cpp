#include "platform/sys/systemd_service_control.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/testing/temp_directory.h"
#include "platform/sys/testing/system_doubles.h"

namespace korvalis::sys {
namespace {

using testing::RecordingCommandRunner;
using Argv = std::vector<std::string>;

class SystemdServiceControlTest : public ::testing::Test {
 protected:
  korvalis::testing::TempDirectory runtime_folder_{"korvalis-systemd"};
  std::shared_ptr<RecordingCommandRunner> runner_ = std::make_shared<RecordingCommandRunner>();
  SystemdServiceControl control_{runner_, runtime_folder_.path()};
};

TEST_F(SystemdServiceControlTest, ReadsTheStateFromWhatSystemctlShows) {
  struct Case {
    CommandResult shown;
    std::optional<ServiceState> state;
  };
  const Case cases[] = {
      {{true, 0, "LoadState=loaded\nActiveState=active\n"}, ServiceState::kRunning},
      {{true, 0, "LoadState=loaded\nActiveState=reloading\n"}, ServiceState::kRunning},
      {{true, 0, "LoadState=loaded\nActiveState=inactive\n"}, ServiceState::kStopped},
      {{true, 0, "ActiveState=failed\nLoadState=loaded"}, ServiceState::kStopped},
      {{true, 0, "LoadState=loaded\nActiveState=activating\n"}, ServiceState::kPending},
      {{true, 0, "LoadState=loaded\nActiveState=deactivating\n"}, ServiceState::kPending},
      {{true, 0, "LoadState=masked\nActiveState=maintenance\n"}, ServiceState::kOther},
      // No such service, and answers that say nothing usable.
      {{true, 0, "LoadState=not-found\nActiveState=inactive\n"}, std::nullopt},
      {{true, 0, "ActiveState=inactive\n"}, std::nullopt},
      {{true, 0, "LoadState=loaded\n"}, std::nullopt},
      {{true, 0, ""}, std::nullopt},
      {{true, 1, "LoadState=loaded\nActiveState=inactive\n"}, std::nullopt},
      {{false, -1, "LoadState=loaded\nActiveState=inactive\n"}, std::nullopt},  // timed out
  };
  for (const Case& c : cases) runner_->Answer(c.shown);
  for (const Case& c : cases) {
    EXPECT_EQ(control_.State("cron"), c.state) << c.shown.output;
  }
  ASSERT_EQ(runner_->Runs().size(), std::size(cases));
  EXPECT_EQ(runner_->Runs()[0],
            (Argv{"/bin/systemctl", "show", "--property=LoadState,ActiveState", "--", "cron"}));
  EXPECT_GT(runner_->Timeouts()[0].count(), 0);
}

TEST_F(SystemdServiceControlTest, StartsWithoutWaitingForTheService) {
  control_.Start("getty@tty1.service");
  EXPECT_EQ(
      runner_->Runs(),
      (std::vector<Argv>{{"/bin/systemctl", "start", "--no-block", "--", "getty@tty1.service"}}));
}

TEST_F(SystemdServiceControlTest, NamesThatAreNoUnitNamesAreNoServices) {
  const std::string too_long(256, 'a');
  for (const std::string& name :
       {std::string(), std::string("a b"), std::string("x;reboot"), std::string("$(id)"),
        std::string("a/b"), std::string("服务"), std::string("a\nb"), too_long}) {
    EXPECT_EQ(control_.State(name), std::nullopt) << name;
    control_.Start(name);
  }
  EXPECT_TRUE(runner_->Runs().empty());
  for (const std::string& name :
       {std::string(255, 'a'), std::string("-.mount"), std::string("sys-devices-a\\x2db.device"),
        std::string("a:b_c")}) {
    EXPECT_TRUE(SystemdServiceControl::IsValidUnitName(name)) << name;
  }
}

TEST_F(SystemdServiceControlTest, AMachineWithoutSystemdHasNoServiceManager) {
  SystemdServiceControl without(runner_, runtime_folder_.path() + "/missing");
  runner_->AnswerOutput("LoadState=loaded\nActiveState=inactive\n");
  EXPECT_EQ(without.State("cron"), std::nullopt);
  without.Start("cron");
  EXPECT_TRUE(runner_->Runs().empty());
}

TEST(ServiceControlInstallation, TheInstalledControlIsUsedUntilItIsRemoved) {
  const std::shared_ptr<ServiceControl> machine = CurrentServiceControl();
  EXPECT_NE(dynamic_cast<SystemdServiceControl*>(machine.get()), nullptr);
  auto fake = std::make_shared<testing::FakeServiceControl>();
  SetServiceControl(fake);
  EXPECT_EQ(CurrentServiceControl(), fake);
  SetServiceControl(nullptr);
  EXPECT_EQ(CurrentServiceControl(), machine);
}

}  // namespace
}  // namespace korvalis::sys
