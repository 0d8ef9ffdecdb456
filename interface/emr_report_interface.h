// IEMRReport: the dual interface of the automation class EMRReport, the report catalogue and the
// reports (SQL, XSLT, parameters), their export, import, distribution and content.
//
// The methods follow the three IUnknown and four IDispatch slots in dispatch-identifier order;
// kIEMRReportInfo describes them to late-bound callers. Parameter names are those that clients pass
// as named arguments.
//
// Thread-safety: as the threading model registered for EMRReport ("Apartment") allows.
#pragma once

#include "platform/com/dispatch.h"
#include "platform/com/type_info_table.h"

inline constexpr GUID IID_IEMRReport =
    korvalis::com::MakeGuid("7F3DD6EB-EA14-4399-BBD5-69F6914FCB80");
inline constexpr GUID CLSID_EMRReport =
    korvalis::com::MakeGuid("7B9BD235-733E-4BF4-809E-C923670C21E1");

struct IEMRReport : IDispatch {
  virtual HRESULT InitNewCatalog(BSTR bstrParentCode, BSTR bstrProperty, LONG* plngCatalogID) = 0;
  virtual HRESULT DeleteCatalog(LONG lngCatalogID) = 0;
  virtual HRESULT GetCatalogList(LONG lngParentID, BSTR* pbstrList) = 0;
  virtual HRESULT GetCatalogProperty(LONG lngCatalogID, BSTR* pbstrProperty) = 0;
  virtual HRESULT SetCatalogProperty(LONG lngCatalogID, BSTR bstrProperty) = 0;
  virtual HRESULT InitNewReport(LONG lngCatalogID, BSTR bstrProperty, LONG* plngReportID) = 0;
  virtual HRESULT DeleteReport(LONG lngReportID) = 0;
  virtual HRESULT GetReportList(LONG lngCatalogID, BSTR* pbstrList) = 0;
  virtual HRESULT GetReportProperty(LONG lngReportID, BSTR* pbstrProperty) = 0;
  virtual HRESULT SetReportProperty(LONG lngReprotID, BSTR bstrProperty) = 0;
  virtual HRESULT GetReportSQL(LONG lngReportID, BSTR* pbstrSQL) = 0;
  virtual HRESULT SetReportSQL(LONG lngReportID, BSTR bstrSQL) = 0;
  virtual HRESULT GetReportXSLT(LONG lngReportID, BSTR* pbstrXSLT) = 0;
  virtual HRESULT SetReportXSLT(LONG lngReportID, BSTR bstrXSLT) = 0;
  virtual HRESULT GetSQLProperty(LONG lngReportID, BSTR* pbstrProperty) = 0;
  virtual HRESULT SetSQLProperty(LONG lngReportID, BSTR bstrProperty) = 0;
  virtual HRESULT GetSQLParam(LONG lngReportID, BSTR* pbstrProperty) = 0;
  virtual HRESULT SetSQLParam(LONG lngReportID, BSTR bstrParam) = 0;
  virtual HRESULT ExportReport(LONG lngReportID, BSTR* pbstrReport) = 0;
  virtual HRESULT ImportReport(LONG lngReportID, BSTR bstrReport, BSTR* pbstrPortion) = 0;
  virtual HRESULT GetUserReport(BSTR bstrUserID, LONG lngCatalogID, BSTR* pbstrList) = 0;
  virtual HRESULT DistributeReport(BSTR bstrUserID, BSTR bstrList) = 0;
  virtual HRESULT GetReportContent(LONG lngReportID, BSTR bstrParam, BSTR bstrClientInfo,
                                   BSTR* pbstrContent) = 0;
  virtual HRESULT GetUserCatalog(BSTR bstrUserID, LONG lngCatalogID, BSTR* pbstrList) = 0;
  virtual HRESULT GetReportDict(BSTR bstrDictName, BSTR* pbstrDictList) = 0;
  virtual HRESULT DistributeReportToUser(BSTR bstrReportIDList) = 0;
  virtual HRESULT GetAllDistributedUserList(LONG lngReportID, BSTR* pbstrUserList) = 0;
  virtual HRESULT GetReportSQL2(LONG lngReportID, BSTR* pbstrSQL) = 0;
  virtual HRESULT SetReportSQL2(LONG lngReportID, BSTR bstrSQL) = 0;
  virtual HRESULT IsNewFormat(LONG lngReportID, VARIANT_BOOL* pbNewFormat) = 0;
  virtual HRESULT GetResultXML(LONG lngReportID, BSTR bstrParam, BSTR bstrClientInfo,
                               BSTR* pbstrXml) = 0;
  virtual HRESULT GetReportData(BSTR bstrCatalogID, BSTR* pbstrProperty) = 0;

 protected:
  ~IEMRReport() = default;
};

extern const korvalis::com::InterfaceInfo kIEMRReportInfo;
