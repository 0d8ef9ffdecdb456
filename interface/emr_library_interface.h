// IEMRLibrary: the dual interface of the automation class EMRLibrary, the record library: full-text
// and path search, browsing, search frames, conditions, operators, users and login check.
//
// The methods follow the three IUnknown and four IDispatch slots in dispatch-identifier order;
// kIEMRLibraryInfo describes them to late-bound callers. Parameter names are those that clients
// pass as named arguments.
//
// Thread-safety: as the threading model registered for EMRLibrary ("Both") allows.
#pragma once

#include "platform/com/dispatch.h"
#include "platform/com/type_info_table.h"

inline constexpr GUID IID_IEMRLibrary =
    korvalis::com::MakeGuid("3615B668-94C7-46DC-9311-D1C12FD237AA");
inline constexpr GUID CLSID_EMRLibrary =
    korvalis::com::MakeGuid("D8E8D292-30FE-465E-895B-A76F47A99984");

struct IEMRLibrary : IDispatch {
  virtual HRESULT FullSearch(BSTR bstrWhat, LONG lngStartRow, LONG lngEndRow,
                             BSTR* pbstrResult) = 0;
  virtual HRESULT GetHeaderXml(BSTR bstrPatientID, BSTR bstrEventNo, BSTR* pbstrXml) = 0;
  virtual HRESULT GetEMRContent(BSTR bstrEMRID, BSTR* pbstrContent) = 0;
  virtual HRESULT BrowseEMR(BSTR bstrPatientID, BSTR bstrEventNo, LONG lngCatalog,
                            BSTR* pbstrContent) = 0;
  virtual HRESULT SingleSearch(BSTR bstrPatientID, BSTR* pbstrResult) = 0;
  virtual HRESULT FullSearch2(BSTR bstrCondition, BSTR bstrWhat, LONG lngStartRow, LONG lngEndRow,
                              BSTR* pbstrResult) = 0;
  virtual HRESULT PathSearch(BSTR bstrCondition, BSTR bstrPathWhat, LONG lngStartRow,
                             LONG lngEndRow, BSTR* pbstrResult) = 0;
  virtual HRESULT GetConditionList(BSTR* pbstrList) = 0;
  virtual HRESULT GetOperatorList(BSTR bstrType, BSTR* pbstrList) = 0;
  virtual HRESULT GetXmlFrameList(BSTR* pbstrList) = 0;
  virtual HRESULT SaveXmlFrameProperty(LONG lngID, BSTR bstrProperty, LONG* plngID) = 0;
  virtual HRESULT GetXmlFrameContent(LONG lngID, BSTR* pbstrContent) = 0;
  virtual HRESULT SaveXmlFrameContent(LONG lngID, BSTR bstrContent) = 0;
  virtual HRESULT GetPathValue(BSTR bstrID, BSTR bstrPath, BSTR* pbstrValue) = 0;
  virtual HRESULT GetDictContent(LONG lngID, BSTR* pbstrContent) = 0;
  virtual HRESULT GetBrowserCatalog(BSTR bstrPatientID, BSTR bstrEventNo, BSTR* pbstrList) = 0;
  virtual HRESULT IsPass(BSTR bstrLoginCode, BSTR bstrPassCode, VARIANT_BOOL* pvbPass) = 0;
  virtual HRESULT SaveConditionList(BSTR bstrList) = 0;
  virtual HRESULT SaveOperatorList(BSTR bstrList) = 0;
  virtual HRESULT GetUserList(BSTR* pbstrList) = 0;
  virtual HRESULT SaveUserList(BSTR bstrList) = 0;
  virtual HRESULT DeleteXmlFrame(LONG lngID) = 0;
  virtual HRESULT GetUserProperty(BSTR bstrLoginCode, BSTR* pbstrPro) = 0;
  virtual HRESULT GetXmlFrameProperty(LONG lngID, BSTR* pbstrProperty) = 0;
  virtual HRESULT UnLimitBrowseEMR(BSTR bstrPatientID, BSTR bstrEventNo, LONG lngCatalog,
                                   BSTR* pbstrContent) = 0;
  virtual HRESULT GetURLXmlFile(BSTR bstrURL, BSTR* pbstrContent) = 0;

 protected:
  ~IEMRLibrary() = default;
};

extern const korvalis::com::InterfaceInfo kIEMRLibraryInfo;
