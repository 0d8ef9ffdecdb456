// IMonitorService: the dual interface of the automation class MonitorService, the watchdog tick
// that keeps listed services and programs running, and its list.
//
// The methods follow the three IUnknown and four IDispatch slots in dispatch-identifier order;
// kIMonitorServiceInfo describes them to late-bound callers. Parameter names are those that clients
// pass as named arguments.
//
// Thread-safety: as the threading model registered for MonitorService ("Both") allows.
#pragma once

#include "platform/com/dispatch.h"
#include "platform/com/type_info_table.h"

inline constexpr GUID IID_IMonitorService =
    korvalis::com::MakeGuid("E0105DB1-9C85-4C0A-89AD-9D982A4B91B9");
inline constexpr GUID CLSID_MonitorService =
    korvalis::com::MakeGuid("A10DDE37-47C9-4C58-AB0B-26B106ED059A");

struct IMonitorService : IDispatch {
  virtual HRESULT MonitorService() = 0;
  virtual HRESULT AddServiceList(BSTR bstrServiceList) = 0;
  virtual HRESULT GetServiceList(BSTR bstrCondition, BSTR* pbstrList) = 0;
  virtual HRESULT DeleteServiceList(BSTR bstrServiceList) = 0;

 protected:
  ~IMonitorService() = default;
};

extern const korvalis::com::InterfaceInfo kIMonitorServiceInfo;
