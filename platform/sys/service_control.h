// ServiceControl: the services of the machine, as far as the watchdog needs them: the state of
// a service by name and its start. The process-wide instance is the machine's service manager
// (systemd_service_control.h) unless a host or a test installs another, the way the database
// clock is installed.
//
// Thread-safety: SetServiceControl and CurrentServiceControl may be called from any thread;
// an implementation must be safe to call from several threads at once.
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace korvalis::sys {

enum class ServiceState {
  kStopped,  // not running and not about to: the one state in which a start is asked for
  kRunning,
  kPending,  // starting or stopping
  kOther,    // any state the manager names otherwise
};

class ServiceControl {
 public:
  virtual ~ServiceControl() = default;
  // The state of the service `name` (UTF-8); none when there is no such service or no service
  // manager. Never throws.
  virtual std::optional<ServiceState> State(const std::string& name) = 0;
  // Asks the manager to start the service and returns without waiting for it. Never throws;
  // a start that fails is not reported.
  virtual void Start(const std::string& name) = 0;
};

// Installs `control` for the whole process; nullptr restores the machine's service manager.
void SetServiceControl(std::shared_ptr<ServiceControl> control);

// The installed service control.
std::shared_ptr<ServiceControl> CurrentServiceControl();

}  // namespace korvalis::sys
