// IEventTrigger: the dual interface of the automation class EventTrigger, the entry through which a
// registered event reaches the time-limit QC rules.
//
// The methods follow the three IUnknown and four IDispatch slots in dispatch-identifier order;
// kIEventTriggerInfo describes them to late-bound callers. Parameter names are those that clients
// pass as named arguments.
//
// Thread-safety: as the threading model registered for EventTrigger ("Apartment") allows.
#pragma once

#include "platform/com/dispatch.h"
#include "platform/com/type_info_table.h"

inline constexpr GUID IID_IEventTrigger =
    korvalis::com::MakeGuid("2AE6E22B-51B6-428A-B43E-F4D4002FFE1A");
inline constexpr GUID CLSID_EventTrigger =
    korvalis::com::MakeGuid("759F4035-EBF1-415C-8147-A65DA05069A9");

struct IEventTrigger : IDispatch {
  virtual HRESULT OnSysEvent(BSTR bstrEventInfo) = 0;
  virtual HRESULT SaveSysEventProperty(BSTR bstrProperty) = 0;

 protected:
  ~IEventTrigger() = default;
};

extern const korvalis::com::InterfaceInfo kIEventTriggerInfo;
