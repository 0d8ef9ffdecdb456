// IMyService: the dual interface of the automation class MyService, the work-list service: a
// login's records to write, rolled-back records, consultation requests, notices and records to
// commit.
//
// The methods follow the three IUnknown and four IDispatch slots in dispatch-identifier order;
// kIMyServiceInfo describes them to late-bound callers. Parameter names are those that clients pass
// as named arguments.
//
// Thread-safety: as the threading model registered for MyService ("Both") allows.
#pragma once

#include "platform/com/dispatch.h"
#include "platform/com/type_info_table.h"

inline constexpr GUID IID_IMyService =
    korvalis::com::MakeGuid("7B058666-6079-40AD-8612-FF9C45E7F2F1");
inline constexpr GUID CLSID_MyService =
    korvalis::com::MakeGuid("BA5072A0-A13B-4846-9017-7FC8215A27AD");

struct IMyService : IDispatch {
  virtual HRESULT Init(BSTR bstrSession) = 0;
  virtual HRESULT GetToWriteEMR(BSTR* pbstrList) = 0;
  virtual HRESULT GetRollbackEMR(BSTR* pbstrList) = 0;
  virtual HRESULT GetConsultRequest(BSTR* pbstrList) = 0;
  virtual HRESULT GetNotifyMessage(BSTR* pbstrList) = 0;
  virtual HRESULT GetToCommitEMR(BSTR* pbstrList) = 0;

 protected:
  ~IMyService() = default;
};

extern const korvalis::com::InterfaceInfo kIMyServiceInfo;
