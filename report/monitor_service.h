// CBMonitorService: the bodies behind the automation class MonitorService: the watchdog tick that
// keeps listed services and programs running on this machine, and its list (TELV_MONITOR_SERVICE:
// NAME, PATH, TYPE; type 0 a service, 1 a program, any other kind listed but never acted on).
//
// The method wrappers of CMonitorService call each member with the call's data source first and the
// interface arguments unchanged and in their order, result pointers last. A member returns 0, which
// the wrapper ignores, writes its results only through those pointers and fails by throwing
// CEMRException.
//
// The tick counts its calls (monitor_call_counter.h); every 50th reads the list and checks each
// entry. Services are asked of the installed service control, programs looked for in the
// installed process table and started by the installed process starter (platform/sys), so the
// checks start things with the rights of the host process. Each start, and each program whose
// command line is refused (program_command_line.h) or cannot be started, is written to the
// event log; nothing of a check reaches the caller.
//
// Thread-safety: static members; the call counter is process-wide and atomic, at most one
// check runs at a time, and concurrent calls work on their own data sources.
#pragma once

#include <string>

#include "platform/com/bstr.h"
#include "platform/com/types.h"

class CEMRDataSource;

class CBMonitorService {
 public:
  static long MonitorService(CEMRDataSource* pDataSource);
  static long AddServiceList(CEMRDataSource* pDataSource, BSTR bstrServiceList);
  static long GetServiceList(CEMRDataSource* pDataSource, BSTR bstrCondition, BSTR* pbstrList);
  static long DeleteServiceList(CEMRDataSource* pDataSource, BSTR bstrServiceList);

  // Starts the service `name` when it is stopped; a service that runs, is starting or stopping,
  // or does not exist is left alone. `path` is not used. Silent: never throws.
  static void CheckService(std::u16string name, std::u16string path) noexcept;
  // Starts the command line `path` when no running process's executable path contains `name`
  // (case-sensitive). A process whose executable cannot be read does not count; when the
  // processes cannot be listed at all, nothing is started. Silent: never throws.
  static void CheckProcess(std::u16string name, std::u16string path) noexcept;
};
