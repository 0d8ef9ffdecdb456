#include "foundation/log/event_log_entry.h"

#include "platform/sys/event_log.h"

CEventLogEntry::CEventLogEntry(const std::u16string& message, std::uint16_t type)
    : type_(type), message_(message) {}

void CEventLogEntry::SetData(const void* data, std::uint32_t length) {
  if (data == nullptr || length == 0) {
    data_.clear();
    return;
  }
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  data_.assign(bytes, bytes + length);
}

void CEventLogEntry::Report() const {
  korvalis::sys::ReportEvent(type_, message_, data_.empty() ? nullptr : data_.data(),
                             static_cast<std::uint32_t>(data_.size()));
}
