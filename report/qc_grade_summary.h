// CBQCGradeSummary: the bodies behind the automation class QCGradeSummary: QC grade summaries and
// their templates, generated as HTML.
//
// A summary (PEV_SUMMARY) is a titled report on grade tasks whose HTML is stored with it; a
// summary template (PEV_SUMMARY_TEMPLATE) holds the XSL that turns the summary data of grade
// tasks into such HTML (GenerateSummary). GenerateSelfGradeTable fills the self-grade form of
// one visit, an EMR template, with the deductions a client passes in. Both contents are stored
// as UTF-16 text behind a byte-order mark, neither compressed nor encrypted.
//
// Property and condition documents are property bags (a key counts when its text is not
// empty). Text values are quoted with their quotes doubled; values that stand bare in a
// statement (identifiers, types, statuses) are checked to be numbers before any statement runs.
//
// The method wrappers of CQCGradeSummary call each member with the call's data source first and the
// interface arguments unchanged and in their order, result pointers last. A member returns 0, which
// the wrapper ignores, writes its results only through those pointers and fails by throwing
// CEMRException.
//
// Thread-safety: static members without state of their own; concurrent calls work on
// their own data sources.
#pragma once

#include <string>

#include "platform/com/bstr.h"
#include "platform/com/types.h"

class CEMRDataSource;

class CBQCGradeSummary {
 public:
  // ---- qc_grade_summary.cpp ----
  static long GetXslContent(CEMRDataSource* pDataSource, BSTR bstrID, BSTR* pbstrXslContent);
  static long GetDetailData(CEMRDataSource* pDataSource, BSTR bstrCondition,
                            BSTR* pbstrDetailDataList);
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
  static long RemoveSummary(CEMRDataSource* pDataSource, BSTR bstrProperty);

  // The identifier of the next template: one above the highest one, 1 on an empty table.
  static void GetNewTemplateId(CEMRDataSource* pDataSource, std::u16string& strNewID);

  // ---- summary_generation.cpp ----
  static long GenerateSummary(CEMRDataSource* pDataSource, BSTR bstrCondition, BSTR bstrTemplageID,
                              BSTR* pbstrSummaryHtml);

  // The summary data document of the grade tasks and visits that `condition` selects, as text
  // with an XML declaration naming UTF-16: the input of GenerateSummary's transformation.
  static void BuildSummaryData(CEMRDataSource* pDataSource, const std::u16string& condition,
                               std::u16string& data);

  // ---- self_grade_table.cpp ----
  static long GenerateSelfGradeTable(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                     LONG lngTemplageID, BSTR* pbstrSummaryHtml);
};
