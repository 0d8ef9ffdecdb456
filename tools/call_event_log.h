// The event-log records that the calls of one `korvalis call` write, so that the command can
// show the person at the command line (the administrator) the cause behind a call's generic
// message. Records go to the file that KORVALIS_EVENTLOG names; when it names none, the
// command names a private temporary file of its own for its run and removes it at the end, also
// when a signal ends the run (syslog gets every record either way).
//
// Thread-safety: main thread only (it sets the process's environment).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/sys/event_log.h"

namespace korvalis::tools {

class CallEventLog {
 public:
  CallEventLog();
  ~CallEventLog();  // removes the temporary file and its name from the environment
  CallEventLog(const CallEventLog&) = delete;
  CallEventLog& operator=(const CallEventLog&) = delete;

  // The records written since the object was made or since the last call.
  std::vector<sys::EventRecord> TakeNew();

  // One record as a line for standard error: its kind, its text and, when it carries a
  // result code other than 0 (no statement ran), that code.
  static std::string Describe(const sys::EventRecord& record);

  // Whether `record` only repeats the record `before` it: the statement's record of a failed
  // connection is the connection's record without the connection string.
  static bool Repeats(const sys::EventRecord& record, const sys::EventRecord& before);

 private:
  std::string path_;
  bool temporary_ = false;
  std::uint64_t offset_ = 0;
};

}  // namespace korvalis::tools
