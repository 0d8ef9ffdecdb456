// IEMRDictT: the dual interface of the automation class EMRDictT, the dictionaries configured as
// XML and the data query that a dictionary describes.
//
// The methods follow the three IUnknown and four IDispatch slots in dispatch-identifier order;
// kIEMRDictTInfo describes them to late-bound callers. Parameter names are those that clients pass
// as named arguments.
//
// Thread-safety: as the threading model registered for EMRDictT ("Both") allows.
#pragma once

#include "platform/com/dispatch.h"
#include "platform/com/type_info_table.h"

inline constexpr GUID IID_IEMRDictT =
    korvalis::com::MakeGuid("2F098C0C-22D8-48B2-9AE0-3547CB67737D");
inline constexpr GUID CLSID_EMRDictT =
    korvalis::com::MakeGuid("04FC1C53-5B52-472C-AF7F-7DA2FA42B3F3");

struct IEMRDictT : IDispatch {
  virtual HRESULT NewDict(BSTR bstrProperty) = 0;
  virtual HRESULT GetDictByDictName(BSTR bstrDictName, BSTR* pbstrDictProperty) = 0;
  virtual HRESULT SetDictContent(BSTR bstrDictName, BSTR bstrDictContent) = 0;
  virtual HRESULT GetDictContent(BSTR bstrDictName, BSTR* pbstrDictContent) = 0;
  virtual HRESULT GetDataList(BSTR bstrDictName, BSTR* pbstrDataList) = 0;
  virtual HRESULT GetDictList(BSTR* pbstrDictList) = 0;
  virtual HRESULT DeleteDictByName(BSTR bstrDictName) = 0;
  virtual HRESULT SetDictName(BSTR bstrDictList) = 0;

 protected:
  ~IEMRDictT() = default;
};

extern const korvalis::com::InterfaceInfo kIEMRDictTInfo;
