#include "platform/sys/service_control.h"

#include "platform/sys/installed_instance.h"
#include "platform/sys/systemd_service_control.h"

namespace korvalis::sys {
namespace {

constinit InstalledInstance<ServiceControl, SystemdServiceControl> installed_control;

}  // namespace

void SetServiceControl(std::shared_ptr<ServiceControl> control) {
  installed_control.Install(std::move(control));
}

std::shared_ptr<ServiceControl> CurrentServiceControl() { return installed_control.Current(); }

}  // namespace korvalis::sys
