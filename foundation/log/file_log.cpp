#include "foundation/log/file_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/sys/private_file.h"
#include "platform/sys/write_all.h"
#include "platform/text/control_escape.h"
#include "platform/text/unicode.h"

namespace korvalis::filelog {
namespace {

constexpr char kSeparator[] =
    "-------------------------------------------------------------------\r\n";

}  // namespace

std::string LogFolderFrom(const char* named, const char* state_home, const char* home) {
  auto set = [](const char* value) { return value != nullptr && *value != 0; };
  if (set(named)) return named;
  if (set(state_home) && *state_home == '/') return std::string(state_home) + "/korvalis";
  if (set(home)) return std::string(home) + "/.local/state/korvalis";
  return "Log";
}

std::string LogFolder() {
  return LogFolderFrom(std::getenv(kLogFolderVariable), std::getenv("XDG_STATE_HOME"),
                       std::getenv("HOME"));
}

bool AppendEntry(const std::string& folder, const std::tm& local_time, const std::u16string& text) {
  // Entries hold patient data: the folder and its files are the owner's only.
  if (!korvalis::sys::MakePrivateFolders(folder)) return false;
  char name[32];
  std::snprintf(name, sizeof(name), "/%d-%02d.log", local_time.tm_year + 1900,
                local_time.tm_mon + 1);
  char stamp[64];
  std::snprintf(stamp, sizeof(stamp), "-----%d-%02d-%02d %02d:%02d:%02d\n",
                local_time.tm_year + 1900, local_time.tm_mon + 1, local_time.tm_mday,
                local_time.tm_hour, local_time.tm_min, local_time.tm_sec);
  std::string entry = stamp;
  entry += kSeparator;
  entry += korvalis::EscapeControls(korvalis::ToUtf8(text));
  entry += "\r\n\r\n";

  const int fd = korvalis::sys::OpenPrivateFile(folder + name, O_WRONLY | O_APPEND);
  if (fd < 0) return false;
  const bool written = korvalis::sys::WriteAll(fd, entry);
  close(fd);
  return written;
}

}  // namespace korvalis::filelog

void WriteLogFile(const std::u16string& text, int /*flag*/) {
  const std::time_t now = std::time(nullptr);
  std::tm local_time{};
  if (localtime_r(&now, &local_time) == nullptr) return;
  korvalis::filelog::AppendEntry(korvalis::filelog::LogFolder(), local_time, text);
}
