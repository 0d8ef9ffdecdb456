// CEventLogEntry: one record of the system event log under the source "电子病历": a type
// (error, warning, information), one text and optional raw bytes. The database layer attaches
// the failing call's 4-byte result code as raw data.
//
// Thread-safety: an entry belongs to one thread; Report may run on many threads at once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The source name under which the system's records are written.
inline constexpr char16_t kEventSourceName[] = u"电子病历";

class CEventLogEntry {
 public:
  // Event types.
  static constexpr std::uint16_t kError = 1;
  static constexpr std::uint16_t kWarning = 2;
  static constexpr std::uint16_t kInformation = 4;

  // A record without raw data.
  CEventLogEntry(const std::u16string& message, std::uint16_t type);

  // Replaces the raw data by a copy of `length` bytes at `data`; a null pointer or a length
  // of 0 removes the raw data.
  void SetData(const void* data, std::uint32_t length);

  // Writes the record. A log that cannot be written loses the record silently.
  void Report() const;

  std::uint16_t type() const { return type_; }
  const std::u16string& message() const { return message_; }
  const std::vector<std::uint8_t>& data() const { return data_; }

 private:
  std::uint16_t type_;
  std::u16string message_;
  std::vector<std::uint8_t> data_;
};
