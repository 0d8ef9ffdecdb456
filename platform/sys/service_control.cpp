#include "platform/sys/service_control.h"

#include <atomic>

#include "platform/sys/systemd_service_control.h"

namespace korvalis::sys {
namespace {

std::shared_ptr<ServiceControl>& InstalledControl() {
  static std::shared_ptr<ServiceControl> control;
  return control;
}

}  // namespace

void SetServiceControl(std::shared_ptr<ServiceControl> control) {
  std::atomic_store(&InstalledControl(), std::move(control));
}

std::shared_ptr<ServiceControl> CurrentServiceControl() {
  if (std::shared_ptr<ServiceControl> control = std::atomic_load(&InstalledControl())) {
    return control;
  }
  static const std::shared_ptr<ServiceControl> machine = std::make_shared<SystemdServiceControl>();
  return machine;
}

}  // namespace korvalis::sys
