// IFunctionAdmin: the dual interface of the automation class FunctionAdmin, the configurable menu
// items of the client applications and their groups.
//
// The methods follow the three IUnknown and four IDispatch slots in dispatch-identifier order;
// kIFunctionAdminInfo describes them to late-bound callers. Parameter names are those that clients
// pass as named arguments.
//
// Thread-safety: as the threading model registered for FunctionAdmin ("Both") allows.
#pragma once

#include "platform/com/dispatch.h"
#include "platform/com/type_info_table.h"

inline constexpr GUID IID_IFunctionAdmin =
    korvalis::com::MakeGuid("00C243B5-F2A2-492F-B128-7267BE4547BD");
inline constexpr GUID CLSID_FunctionAdmin =
    korvalis::com::MakeGuid("0DAF6C97-B23D-441E-A8EA-3FB0A39BBF3A");

struct IFunctionAdmin : IDispatch {
  virtual HRESULT GetFunctionConfig(BSTR bstrCondition, BSTR* pbstrList) = 0;
  virtual HRESULT SetFunctionConfig(BSTR bstrCondition) = 0;
  virtual HRESULT DelFunctionConfig(BSTR bstrCondition) = 0;
  virtual HRESULT SetFunctionGroup(BSTR bstrCondition, BSTR* pbstrId) = 0;
  virtual HRESULT DelFunctionGroup(BSTR bstrCondition) = 0;
  virtual HRESULT GetGroupMenu(BSTR bstrCondition, BSTR* pbstrList) = 0;

 protected:
  ~IFunctionAdmin() = default;
};

extern const korvalis::com::InterfaceInfo kIFunctionAdminInfo;
