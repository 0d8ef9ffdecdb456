// CBQCGradeSummary: the bodies behind the automation class QCGradeSummary: QC grade summaries and
// their templates, generated as HTML.
//
// The method wrappers of CQCGradeSummary call each member with the call's data source first and the
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

class CBQCGradeSummary {
 public:
  static long GetXslContent(CEMRDataSource* pDataSource, BSTR bstrID, BSTR* pbstrXslContent);
  static long GetDetailData(CEMRDataSource* pDataSource, BSTR bstrCondition,
                            BSTR* pbstrDetailDataList);
  static long GenerateSummary(CEMRDataSource* pDataSource, BSTR bstrCondition, BSTR bstrTemplageID,
                              BSTR* pbstrSummaryHtml);
  static long SaveContent(CEMRDataSource* pDataSource, BSTR bstrID, BSTR strProperty);
  static long SaveXslContent(CEMRDataSource* pDataSource, BSTR bstrID, BSTR bstrProperty);
  static long ModifySummary(CEMRDataSource* pDataSource, BSTR bstrProperty);
  static long ModifySummaryTemplate(CEMRDataSource* pDataSource, BSTR bstrProperty);
  static long NewSummary(CEMRDataSource* pDataSource, BSTR bstrProperty, BSTR* pbstrNewID);
  static long NewSummaryTemplate(CEMRDataSource* pDataSource, BSTR bstrProperty, BSTR* pbstrNewID);
  static long GetHtmlContent(CEMRDataSource* pDataSource, BSTR bstrID, BSTR* pbstrHtmlContent);
  static long GetSummaryList(CEMRDataSource* pDataSource, BSTR bstrCondition,
                             BSTR* pbstrSummaryList);
  static long GetSummaryTemplateList(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                     BSTR* pbstrSummaryTemplateList);
  static long GenerateSelfGradeTable(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                     LONG lngTemplageID, BSTR* pbstrSummaryHtml);
  static long RemoveSummary(CEMRDataSource* pDataSource, BSTR bstrProperty);
};
