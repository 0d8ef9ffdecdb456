#include "platform/sys/systemd_service_control.h"

#include <sys/stat.h>

#include <string_view>

namespace korvalis::sys {
namespace {

constexpr std::size_t kMaxUnitName = 255;
constexpr auto kTimeout = std::chrono::seconds(10);

// The value of `key` in systemctl's "KEY=value" lines; empty when it is absent.
std::string_view PropertyValue(std::string_view output, std::string_view key) {
  while (!output.empty()) {
    const std::size_t end = output.find('\n');
    std::string_view line = output.substr(0, end);
    if (line.size() > key.size() && line.starts_with(key) && line[key.size()] == '=') {
      return line.substr(key.size() + 1);
    }
    if (end == std::string_view::npos) break;
    output.remove_prefix(end + 1);
  }
  return {};
}

ServiceState StateOf(std::string_view active_state) {
  if (active_state == "inactive" || active_state == "failed") return ServiceState::kStopped;
  if (active_state == "active" || active_state == "reloading") return ServiceState::kRunning;
  if (active_state == "activating" || active_state == "deactivating") {
    return ServiceState::kPending;
  }
  return ServiceState::kOther;
}

}  // namespace

SystemdServiceControl::SystemdServiceControl()
    : SystemdServiceControl(std::make_shared<SpawnCommandRunner>(), kSystemdRuntimeFolder) {}

SystemdServiceControl::SystemdServiceControl(std::shared_ptr<CommandRunner> runner,
                                             std::string runtime_folder)
    : runner_(std::move(runner)), runtime_folder_(std::move(runtime_folder)) {}

bool SystemdServiceControl::IsValidUnitName(const std::string& name) {
  if (name.empty() || name.size() > kMaxUnitName) return false;
  for (const char c : name) {
    const bool alphanumeric =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!alphanumeric && std::string_view(":-_.\\@").find(c) == std::string_view::npos) {
      return false;
    }
  }
  return true;
}

bool SystemdServiceControl::ManagerRunning() const {
  struct stat folder;
  return ::lstat(runtime_folder_.c_str(), &folder) == 0 && S_ISDIR(folder.st_mode);
}

std::optional<ServiceState> SystemdServiceControl::State(const std::string& name) {
  if (!IsValidUnitName(name) || !ManagerRunning()) return std::nullopt;
  const CommandResult shown = runner_->Run(
      {kSystemctlPath, "show", "--property=LoadState,ActiveState", "--", name}, kTimeout);
  if (!shown.exited || shown.exit_status != 0) return std::nullopt;
  const std::string_view load_state = PropertyValue(shown.output, "LoadState");
  const std::string_view active_state = PropertyValue(shown.output, "ActiveState");
  if (load_state.empty() || load_state == "not-found" || active_state.empty()) {
    return std::nullopt;
  }
  return StateOf(active_state);
}

void SystemdServiceControl::Start(const std::string& name) {
  if (!IsValidUnitName(name) || !ManagerRunning()) return;
  runner_->Run({kSystemctlPath, "start", "--no-block", "--", name}, kTimeout);
}

}  // namespace korvalis::sys
