#include "tools/call_event_log.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/text/unicode.h"
#include "tools/temporary_files.h"

namespace korvalis::tools {

CallEventLog::CallEventLog() {
  if (const char* named = std::getenv(sys::kEventLogFileVariable); named != nullptr && *named) {
    path_ = named;
    struct stat status;
    if (::stat(path_.c_str(), &status) == 0) offset_ = static_cast<std::uint64_t>(status.st_size);
    return;
  }
  const char* folder = std::getenv("TMPDIR");
  std::string name = std::string(folder != nullptr && *folder ? folder : "/tmp") +
                     "/korvalis-events-XXXXXX";
  const int fd = ::mkstemp(name.data());  // mode 0600: records hold statements and values
  if (fd < 0) return;
  ::close(fd);
  path_ = name;
  temporary_ = true;
  RemoveAtSignal(path_);
  ::setenv(sys::kEventLogFileVariable, path_.c_str(), 1);
}

CallEventLog::~CallEventLog() {
  if (!temporary_) return;
  ::unsetenv(sys::kEventLogFileVariable);
  ::unlink(path_.c_str());
  KeepAtSignal(path_);
}

std::vector<sys::EventRecord> CallEventLog::TakeNew() {
  if (path_.empty()) return {};
  return sys::ReadEventLogFileFrom(path_, &offset_);
}

std::string CallEventLog::Describe(const sys::EventRecord& record) {
  const char* kind = record.type == sys::kEventError     ? "error"
                     : record.type == sys::kEventWarning ? "warning"
                                                         : "information";
  std::string line = std::string("event log (") + kind + "): " + ToUtf8(record.text);
  if (record.raw.size() == 4) {
    const std::uint32_t code = record.raw[0] | record.raw[1] << 8 | record.raw[2] << 16 |
                               static_cast<std::uint32_t>(record.raw[3]) << 24;
    if (code == 0) return line;
    char text[48];
    std::snprintf(text, sizeof text, " (result code 0x%08X)", code);
    line += text;
  }
  return line;
}

bool CallEventLog::Repeats(const sys::EventRecord& record, const sys::EventRecord& before) {
  return record.type == before.type && !record.text.empty() && before.text.starts_with(record.text);
}

}  // namespace korvalis::tools
