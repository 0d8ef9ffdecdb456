// CBEMRLibrary: the bodies behind the automation class EMRLibrary: the record library: full-text
// and path search, browsing, search frames, conditions, operators, users and login check.
//
// The method wrappers of CEMRLibrary call each member with the call's data source first and the
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

class CBEMRLibrary {
 public:
  static long FullSearch(CEMRDataSource* pDataSource, BSTR bstrWhat, LONG lngStartRow,
                         LONG lngEndRow, BSTR* pbstrResult);
  static long GetHeaderXml(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                           BSTR* pbstrXml);
  static long GetEMRContent(CEMRDataSource* pDataSource, BSTR bstrEMRID, BSTR* pbstrContent);
  static long BrowseEMR(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                        LONG lngCatalog, BSTR* pbstrContent);
  static long SingleSearch(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR* pbstrResult);
  static long FullSearch2(CEMRDataSource* pDataSource, BSTR bstrCondition, BSTR bstrWhat,
                          LONG lngStartRow, LONG lngEndRow, BSTR* pbstrResult);
  static long PathSearch(CEMRDataSource* pDataSource, BSTR bstrCondition, BSTR bstrPathWhat,
                         LONG lngStartRow, LONG lngEndRow, BSTR* pbstrResult);
  static long GetConditionList(CEMRDataSource* pDataSource, BSTR* pbstrList);
  static long GetOperatorList(CEMRDataSource* pDataSource, BSTR bstrType, BSTR* pbstrList);
  static long GetXmlFrameList(CEMRDataSource* pDataSource, BSTR* pbstrList);
  static long SaveXmlFrameProperty(CEMRDataSource* pDataSource, LONG lngID, BSTR bstrProperty,
                                   LONG* plngID);
  static long GetXmlFrameContent(CEMRDataSource* pDataSource, LONG lngID, BSTR* pbstrContent);
  static long SaveXmlFrameContent(CEMRDataSource* pDataSource, LONG lngID, BSTR bstrContent);
  static long GetPathValue(CEMRDataSource* pDataSource, BSTR bstrID, BSTR bstrPath,
                           BSTR* pbstrValue);
  static long GetDictContent(CEMRDataSource* pDataSource, LONG lngID, BSTR* pbstrContent);
  static long GetBrowserCatalog(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                                BSTR* pbstrList);
  static long IsPass(CEMRDataSource* pDataSource, BSTR bstrLoginCode, BSTR bstrPassCode,
                     VARIANT_BOOL* pvbPass);
  static long SaveConditionList(CEMRDataSource* pDataSource, BSTR bstrList);
  static long SaveOperatorList(CEMRDataSource* pDataSource, BSTR bstrList);
  static long GetUserList(CEMRDataSource* pDataSource, BSTR* pbstrList);
  static long SaveUserList(CEMRDataSource* pDataSource, BSTR bstrList);
  static long DeleteXmlFrame(CEMRDataSource* pDataSource, LONG lngID);
  static long GetUserProperty(CEMRDataSource* pDataSource, BSTR bstrLoginCode, BSTR* pbstrPro);
  static long GetXmlFrameProperty(CEMRDataSource* pDataSource, LONG lngID, BSTR* pbstrProperty);
  static long UnLimitBrowseEMR(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                               LONG lngCatalog, BSTR* pbstrContent);
  static long GetURLXmlFile(CEMRDataSource* pDataSource, BSTR bstrURL, BSTR* pbstrContent);
};
