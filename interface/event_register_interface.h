// IEventRegister: the dual interface of the automation class EventRegister, the register of the
// clinical events that the suite reports.
//
// The methods follow the three IUnknown and four IDispatch slots in dispatch-identifier order;
// kIEventRegisterInfo describes them to late-bound callers. Parameter names are those that clients
// pass as named arguments.
//
// Thread-safety: as the threading model registered for EventRegister ("Apartment") allows.
#pragma once

#include "platform/com/dispatch.h"
#include "platform/com/type_info_table.h"

inline constexpr GUID IID_IEventRegister =
    korvalis::com::MakeGuid("8773B477-50AF-4862-859F-813E3C50F410");
inline constexpr GUID CLSID_EventRegister =
    korvalis::com::MakeGuid("152D1478-982C-4182-BC22-69F7F7FBE4B5");

struct IEventRegister : IDispatch {
  virtual HRESULT RegisterEvent(BSTR bstrEventInfo, BSTR* pbstrReturnInfo) = 0;
  virtual HRESULT GetRegisterEventList(BSTR bstrCondition, BSTR* pbstrEventList) = 0;
  virtual HRESULT RegisterEvent2(BSTR bstrEventInfo, BSTR* pbstrReturnInfo) = 0;
  virtual HRESULT UnRegisterEvent(BSTR bstrEventInfo, BSTR* pbstrReturnInfo) = 0;

 protected:
  ~IEventRegister() = default;
};

extern const korvalis::com::InterfaceInfo kIEventRegisterInfo;
