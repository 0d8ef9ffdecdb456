// ISysEvent: the dual interface of the automation class SysEvent, the quality rules that a system
// event opens or closes, and the events that oppose an event.
//
// The methods follow the three IUnknown and four IDispatch slots in dispatch-identifier order;
// kISysEventInfo describes them to late-bound callers. Parameter names are those that clients pass
// as named arguments.
//
// Thread-safety: as the threading model registered for SysEvent ("Both") allows.
#pragma once

#include "platform/com/dispatch.h"
#include "platform/com/type_info_table.h"

inline constexpr GUID IID_ISysEvent =
    korvalis::com::MakeGuid("B0051198-B334-4C2B-8F66-760EC887A085");
inline constexpr GUID CLSID_SysEvent =
    korvalis::com::MakeGuid("FE7FB6C7-ADBF-4B00-8096-0C9F624FC4F5");

struct ISysEvent : IDispatch {
  virtual HRESULT InitNew(BSTR bstrProperty, BSTR* pbstrNewCode) = 0;
  virtual HRESULT GetProperty(BSTR bstrEventCode, BSTR* pbstrProperty) = 0;
  virtual HRESULT SaveProperty(BSTR bstrEventCode, BSTR bstrProperty) = 0;
  virtual HRESULT Delete(BSTR bstrEventCode) = 0;
  virtual HRESULT GetEventRuleList(BSTR bstrEventCode, LONG lngOwnerType, BSTR* pbstrList) = 0;
  virtual HRESULT SetEventRuleList(BSTR bstrEventCode, LONG lngOwnerType, BSTR bstrList) = 0;
  virtual HRESULT AddEventRule(BSTR bstrEventCode, LONG lngRuleID, LONG lngOwnerType) = 0;
  virtual HRESULT DeleteEventRule(BSTR bstrEventCode, LONG lngRuleID, LONG lngOwnerType) = 0;
  virtual HRESULT GetOpposeEvent(BSTR bstrEventCode, BSTR* pbstrCode) = 0;

 protected:
  ~ISysEvent() = default;
};

extern const korvalis::com::InterfaceInfo kISysEventInfo;
