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

#include <string>
#include <xercesc/util/XercesDefs.hpp>

#include "platform/com/bstr.h"
#include "platform/com/types.h"

XERCES_CPP_NAMESPACE_BEGIN
class DOMDocument;
XERCES_CPP_NAMESPACE_END

class CEMRDataSource;

class CBEMRReport {
 public:
  // ---- report_catalog.cpp ----
  static long InitNewCatalog(CEMRDataSource* pDataSource, BSTR bstrParentCode, BSTR bstrProperty,
                             LONG* plngCatalogID);
  static long DeleteCatalog(CEMRDataSource* pDataSource, LONG lngCatalogID);
  static long GetCatalogList(CEMRDataSource* pDataSource, LONG lngParentID, BSTR* pbstrList);
  static long GetCatalogProperty(CEMRDataSource* pDataSource, LONG lngCatalogID,
                                 BSTR* pbstrProperty);
  static long SetCatalogProperty(CEMRDataSource* pDataSource, LONG lngCatalogID, BSTR bstrProperty);

  // ---- report_properties.cpp ----
  static long InitNewReport(CEMRDataSource* pDataSource, LONG lngCatalogID, BSTR bstrProperty,
                            LONG* plngReportID);
  static long DeleteReport(CEMRDataSource* pDataSource, LONG lngReportID);
  static long GetReportList(CEMRDataSource* pDataSource, LONG lngCatalogID, BSTR* pbstrList);
  static long GetReportProperty(CEMRDataSource* pDataSource, LONG lngReportID, BSTR* pbstrProperty);
  static long SetReportProperty(CEMRDataSource* pDataSource, LONG lngReprotID, BSTR bstrProperty);
  static long GetSQLProperty(CEMRDataSource* pDataSource, LONG lngReportID, BSTR* pbstrProperty);
  static long SetSQLProperty(CEMRDataSource* pDataSource, LONG lngReportID, BSTR bstrProperty);
  static long IsNewFormat(CEMRDataSource* pDataSource, LONG lngReportID, VARIANT_BOOL* pbNewFormat);
  static long GetReportData(CEMRDataSource* pDataSource, BSTR bstrCatalogID, BSTR* pbstrProperty);
  static long GetCurrTime(CEMRDataSource* pDataSource, BSTR* pbstrTime);

  // ---- report_columns.cpp ----
  static long GetReportSQL(CEMRDataSource* pDataSource, LONG lngReportID, BSTR* pbstrSQL);
  static long SetReportSQL(CEMRDataSource* pDataSource, LONG lngReportID, BSTR bstrSQL);
  static long GetReportXSLT(CEMRDataSource* pDataSource, LONG lngReportID, BSTR* pbstrXSLT);
  static long SetReportXSLT(CEMRDataSource* pDataSource, LONG lngReportID, BSTR bstrXSLT);
  static long GetSQLParam(CEMRDataSource* pDataSource, LONG lngReportID, BSTR* pbstrProperty);
  static long SetSQLParam(CEMRDataSource* pDataSource, LONG lngReportID, BSTR bstrParam);
  static long GetReportSQL2(CEMRDataSource* pDataSource, LONG lngReportID, BSTR* pbstrSQL);
  static long SetReportSQL2(CEMRDataSource* pDataSource, LONG lngReportID, BSTR bstrSQL);

  // ---- report_export.cpp ----
  static long ExportReport(CEMRDataSource* pDataSource, LONG lngReportID, BSTR* pbstrReport);

  // The two versions of the report document: version 1 for old-format reports, version 2 for
  // new-format ones.
  static long ExportReportV1(CEMRDataSource* pDataSource, LONG lngReportID, BSTR* pbstrReport);
  static long ExportReportV2(CEMRDataSource* pDataSource, LONG lngReportID, BSTR* pbstrReport);

  // ---- report_import.cpp ----
  static long ImportReport(CEMRDataSource* pDataSource, LONG lngReportID, BSTR bstrReport,
                           BSTR* pbstrPortion);

  // The two versions of the report document. An import stores the property document it applied
  // through `pstrPortion` (the empty text when the document has no `property`).
  static long ImportReportV1(const xercesc::DOMDocument* pDocument, CEMRDataSource* pDataSource,
                             LONG lngReportID, std::u16string* pstrPortion);
  static long ImportReportV2(const xercesc::DOMDocument* pDocument, CEMRDataSource* pDataSource,
                             LONG lngReportID, std::u16string* pstrPortion);

  // ---- report_distribution.cpp ----
  static long GetUserReport(CEMRDataSource* pDataSource, BSTR bstrUserID, LONG lngCatalogID,
                            BSTR* pbstrList);
  static long DistributeReport(CEMRDataSource* pDataSource, BSTR bstrUserID, BSTR bstrList);
  static long GetUserCatalog(CEMRDataSource* pDataSource, BSTR bstrUserID, LONG lngCatalogID,
                             BSTR* pbstrList);
  static long DistributeReportToUser(CEMRDataSource* pDataSource, BSTR bstrReportIDList);
  static long GetAllDistributedUserList(CEMRDataSource* pDataSource, LONG lngReportID,
                                        BSTR* pbstrUserList);

  // The distribution routines. Each answers false for a refused argument, and for a failure
  // that it has written to the event log; none throws. `strTable` is
  // TELV_REPORT_DISTRIBUTE_TO_USER (rows keyed by USER_ID, list elements `user`) or
  // TELV_REPORT_DISTRIBUTE_TO_DEPT (DEPT_ID, `dept`).
  //
  // Replaces the rows of every `report` of the distribution list `strList` by the identifiers
  // below it; statements already run are not undone here (the call's transaction does that).
  static bool DistributeReports(CEMRDataSource* pDataSource, const std::u16string& strList,
                                const std::u16string& strTable);

  // Adds the row (report number, identifier) unless it is there.
  static bool SaveDistributionRow(CEMRDataSource* pDataSource, long lngReportNo,
                                  const std::u16string& strId, const std::u16string& strTable);

  // The user list of a report: one `user` per distributed user the property lookup knows.
  static bool BuildDistributedUserList(CEMRDataSource* pDataSource, long lngReportID,
                                       std::u16string* pstrUserList);

  // ---- report_execution.cpp ----
  static long GetReportContent(CEMRDataSource* pDataSource, LONG lngReportID, BSTR bstrParam,
                               BSTR bstrClientInfo, BSTR* pbstrContent);
  static long GetResultXML(CEMRDataSource* pDataSource, LONG lngReportID, BSTR bstrParam,
                           BSTR bstrClientInfo, BSTR* pbstrXml);
};
