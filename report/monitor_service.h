// CBMonitorService: the bodies behind the automation class MonitorService: the watchdog tick that
// keeps listed services and programs running, and its list.
//
// The method wrappers of CMonitorService call each member with the call's data source first and the
// interface arguments unchanged and in their order, result pointers last. A member returns 0, which
// the wrapper ignores, writes its results only through those pointers and fails by throwing
// CEMRException.
//
// Thread-safety: static members without state of their own; concurrent calls work on
// their own data sources.
#pragma once

#include "platform/com/bstr.h"
#include "platform/com/types.h"

class CEMRDataSource;

class CBMonitorService {
 public:
  static long MonitorService(CEMRDataSource* pDataSource);
  static long AddServiceList(CEMRDataSource* pDataSource, BSTR bstrServiceList);
  static long GetServiceList(CEMRDataSource* pDataSource, BSTR bstrCondition, BSTR* pbstrList);
  static long DeleteServiceList(CEMRDataSource* pDataSource, BSTR bstrServiceList);
};
