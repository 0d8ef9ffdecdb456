#include "platform/sys/event_log.h"

#include <fcntl.h>
#include <syslog.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <mutex>

#include "platform/sys/private_file.h"
#include "platform/sys/write_all.h"
#include "platform/text/control_escape.h"
#include "platform/text/hex.h"
#include "platform/text/unicode.h"

namespace korvalis::sys {
namespace {

// syslog keeps the ident pointer, so it must outlive every call.
constexpr char kSyslogIdent[] = "电子病历";

int SyslogPriority(std::uint16_t type) {
  switch (type) {
    case kEventError:
      return LOG_ERR;
    case kEventWarning:
      return LOG_WARNING;
    case kEventInformation:
      return LOG_INFO;
    default:
      return LOG_NOTICE;
  }
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void WriteToSyslog(std::uint16_t type, const std::string& text, const std::string& hex) {
  static std::once_flag opened;
  std::call_once(opened, [] { openlog(kSyslogIdent, LOG_PID, LOG_USER); });
  if (hex.empty()) {
    syslog(SyslogPriority(type), "%s", text.c_str());
  } else {
    syslog(SyslogPriority(type), "%s [%s]", text.c_str(), hex.c_str());
  }
}

void AppendToFile(const char* path, const std::string& line) {
  // Records hold statements and their values: the file is the owner's only.
  const int fd = OpenPrivateFile(path, O_WRONLY | O_APPEND);
  if (fd < 0) return;
  WriteAll(fd, line);
  ::close(fd);
}

}  // namespace

void ReportEvent(std::uint16_t type, std::u16string_view text, const std::uint8_t* raw,
                 std::uint32_t raw_length) {
  const std::string hex =
      raw != nullptr ? HexText({raw, raw_length}, HexLetters::kSmall) : std::string();
  // A caller's value in the text may hold any character: none may end the record or reach a
  // reader's terminal as a control.
  const std::string escaped = EscapeControls(ToUtf8(text));
  WriteToSyslog(type, escaped, hex);
  const char* path = std::getenv(kEventLogFileVariable);
  if (path == nullptr || *path == 0) return;
  AppendToFile(path, std::to_string(type) + '\t' + escaped + '\t' + hex + '\n');
}

std::vector<EventRecord> ReadEventLogFile(const std::string& path) {
  std::uint64_t offset = 0;
  return ReadEventLogFileFrom(path, &offset);
}

std::vector<EventRecord> ReadEventLogFileFrom(const std::string& path, std::uint64_t* offset) {
  std::vector<EventRecord> records;
  std::ifstream in(path, std::ios::binary);
  if (!in.seekg(static_cast<std::streamoff>(*offset))) return records;
  std::string line;
  while (std::getline(in, line)) {
    if (in.eof()) break;  // a line still being written is read next time
    *offset += line.size() + 1;
    const std::size_t first_tab = line.find('\t');
    const std::size_t second_tab =
        first_tab == std::string::npos ? std::string::npos : line.find('\t', first_tab + 1);
    if (second_tab == std::string::npos || first_tab == 0 || first_tab > 5) continue;
    EventRecord record;
    unsigned type = 0;
    bool well_formed = true;
    for (std::size_t i = 0; i < first_tab; ++i) {
      if (line[i] < '0' || line[i] > '9') well_formed = false;
      type = type * 10 + static_cast<unsigned>(line[i] - '0');
    }
    const std::string_view hex = std::string_view(line).substr(second_tab + 1);
    if (!well_formed || type > 0xFFFF || hex.size() % 2 != 0) continue;
    for (std::size_t i = 0; i < hex.size() && well_formed; i += 2) {
      const int high = HexValue(hex[i]);
      const int low = HexValue(hex[i + 1]);
      well_formed = high >= 0 && low >= 0;
      record.raw.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    if (!well_formed) continue;
    record.type = static_cast<std::uint16_t>(type);
    record.text = FromUtf8(
        UnescapeControls(std::string_view(line).substr(first_tab + 1, second_tab - first_tab - 1)));
    records.push_back(std::move(record));
  }
  return records;
}

}  // namespace korvalis::sys
