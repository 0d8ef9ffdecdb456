// CBEMRReport: the bodies behind the automation class EMRReport: the report catalogue and the
// reports (SQL, XSLT, parameters), their export, import, distribution and content.
//
// The method wrappers of CEMRReport call each member with the call's data source first and the
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

class CBEMRReport {
 public:
  static long InitNewCatalog(CEMRDataSource* pDataSource, BSTR bstrParentCode, BSTR bstrProperty,
                             LONG* plngCatalogID);
  static long DeleteCatalog(CEMRDataSource* pDataSource, LONG lngCatalogID);
  static long GetCatalogList(CEMRDataSource* pDataSource, LONG lngParentID, BSTR* pbstrList);
  static long GetCatalogProperty(CEMRDataSource* pDataSource, LONG lngCatalogID,
                                 BSTR* pbstrProperty);
  static long SetCatalogProperty(CEMRDataSource* pDataSource, LONG lngCatalogID, BSTR bstrProperty);
  static long InitNewReport(CEMRDataSource* pDataSource, LONG lngCatalogID, BSTR bstrProperty,
                            LONG* plngReportID);
  static long DeleteReport(CEMRDataSource* pDataSource, LONG lngReportID);
  static long GetReportList(CEMRDataSource* pDataSource, LONG lngCatalogID, BSTR* pbstrList);
  static long GetReportProperty(CEMRDataSource* pDataSource, LONG lngReportID, BSTR* pbstrProperty);
  static long SetReportProperty(CEMRDataSource* pDataSource, LONG lngReprotID, BSTR bstrProperty);
  static long GetReportSQL(CEMRDataSource* pDataSource, LONG lngReportID, BSTR* pbstrSQL);
  static long SetReportSQL(CEMRDataSource* pDataSource, LONG lngReportID, BSTR bstrSQL);
  static long GetReportXSLT(CEMRDataSource* pDataSource, LONG lngReportID, BSTR* pbstrXSLT);
  static long SetReportXSLT(CEMRDataSource* pDataSource, LONG lngReportID, BSTR bstrXSLT);
  static long GetSQLProperty(CEMRDataSource* pDataSource, LONG lngReportID, BSTR* pbstrProperty);
  static long SetSQLProperty(CEMRDataSource* pDataSource, LONG lngReportID, BSTR bstrProperty);
  static long GetSQLParam(CEMRDataSource* pDataSource, LONG lngReportID, BSTR* pbstrProperty);
  static long SetSQLParam(CEMRDataSource* pDataSource, LONG lngReportID, BSTR bstrParam);
  static long ExportReport(CEMRDataSource* pDataSource, LONG lngReportID, BSTR* pbstrReport);
  static long ImportReport(CEMRDataSource* pDataSource, LONG lngReportID, BSTR bstrReport,
                           BSTR* pbstrPortion);
  static long GetUserReport(CEMRDataSource* pDataSource, BSTR bstrUserID, LONG lngCatalogID,
                            BSTR* pbstrList);
  static long DistributeReport(CEMRDataSource* pDataSource, BSTR bstrUserID, BSTR bstrList);
  static long GetReportContent(CEMRDataSource* pDataSource, LONG lngReportID, BSTR bstrParam,
                               BSTR bstrClientInfo, BSTR* pbstrContent);
  static long GetUserCatalog(CEMRDataSource* pDataSource, BSTR bstrUserID, LONG lngCatalogID,
                             BSTR* pbstrList);
  static long DistributeReportToUser(CEMRDataSource* pDataSource, BSTR bstrReportIDList);
  static long GetAllDistributedUserList(CEMRDataSource* pDataSource, LONG lngReportID,
                                        BSTR* pbstrUserList);
  static long GetReportSQL2(CEMRDataSource* pDataSource, LONG lngReportID, BSTR* pbstrSQL);
  static long SetReportSQL2(CEMRDataSource* pDataSource, LONG lngReportID, BSTR bstrSQL);
  static long IsNewFormat(CEMRDataSource* pDataSource, LONG lngReportID, VARIANT_BOOL* pbNewFormat);
  static long GetResultXML(CEMRDataSource* pDataSource, LONG lngReportID, BSTR bstrParam,
                           BSTR bstrClientInfo, BSTR* pbstrXml);
  static long GetReportData(CEMRDataSource* pDataSource, BSTR bstrCatalogID, BSTR* pbstrProperty);
  static long GetCurrTime(CEMRDataSource* pDataSource, BSTR* pbstrTime);
};
