// SystemdServiceControl: the service control of a machine run by systemd, through its command
// line tool `systemctl` (run by absolute path, without a shell, as every program is run here):
//
//   state:  systemctl show --property=LoadState,ActiveState -- <unit>
//           LoadState "not-found"          -> no such service
//           ActiveState "inactive"/"failed" -> stopped
//           "active", "reloading"          -> running
//           "activating", "deactivating"   -> pending
//           anything else                  -> other
//   start:  systemctl start --no-block -- <unit>
//
// A name that is not a valid unit name is no service, and nothing is run for it. A machine
// where systemd is not running (its runtime folder /run/systemd/system is missing) has no
// service manager: no state and no start. A `systemctl` that fails, prints no states or does
// not end within its time-out gives no state.
//
// Thread-safety: thread-safe (no state of its own beyond the runner's).
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "platform/sys/command_runner.h"
#include "platform/sys/service_control.h"

namespace korvalis::sys {

inline constexpr char kSystemctlPath[] = "/bin/systemctl";
inline constexpr char kSystemdRuntimeFolder[] = "/run/systemd/system";

class SystemdServiceControl : public ServiceControl {
 public:
  // The machine's own: `systemctl` run by SpawnCommandRunner.
  SystemdServiceControl();
  // `runner` in place of the real one, and the folder whose presence says systemd runs.
  SystemdServiceControl(std::shared_ptr<CommandRunner> runner, std::string runtime_folder);

  std::optional<ServiceState> State(const std::string& name) override;
  void Start(const std::string& name) override;

  // True when `name` may be handed to systemctl as a unit name: 1 to 255 characters, each an
  // ASCII letter or digit or one of ":-_.\@".
  static bool IsValidUnitName(const std::string& name);

 private:
  bool ManagerRunning() const;

  std::shared_ptr<CommandRunner> runner_;
  std::string runtime_folder_;
};

}  // namespace korvalis::sys
