// IQCGradeSummary: the dual interface of the automation class QCGradeSummary, QC grade summaries
// and their templates, generated as HTML.
//
// The methods follow the three IUnknown and four IDispatch slots in dispatch-identifier order;
// kIQCGradeSummaryInfo describes them to late-bound callers. Parameter names are those that clients
// pass as named arguments.
//
// Thread-safety: as the threading model registered for QCGradeSummary ("Both") allows.
#pragma once

#include "platform/com/dispatch.h"
#include "platform/com/type_info_table.h"

inline constexpr GUID IID_IQCGradeSummary =
    korvalis::com::MakeGuid("F4A4B165-F070-4FA2-AF9E-A64881EB4C79");
inline constexpr GUID CLSID_QCGradeSummary =
    korvalis::com::MakeGuid("44BDF459-DB7F-4F54-8E82-3B0018A85E77");

struct IQCGradeSummary : IDispatch {
  virtual HRESULT GetXslContent(BSTR bstrID, BSTR* pbstrXslContent) = 0;
  virtual HRESULT GetDetailData(BSTR bstrCondition, BSTR* pbstrDetailDataList) = 0;
  virtual HRESULT GenerateSummary(BSTR bstrCondition, BSTR bstrTemplageID,
                                  BSTR* pbstrSummaryHtml) = 0;
  virtual HRESULT SaveContent(BSTR bstrID, BSTR strProperty) = 0;
  virtual HRESULT SaveXslContent(BSTR bstrID, BSTR bstrProperty) = 0;
  virtual HRESULT ModifySummary(BSTR bstrProperty) = 0;
  virtual HRESULT ModifySummaryTemplate(BSTR bstrProperty) = 0;
  virtual HRESULT NewSummary(BSTR bstrProperty, BSTR* pbstrNewID) = 0;
  virtual HRESULT NewSummaryTemplate(BSTR bstrProperty, BSTR* pbstrNewID) = 0;
  virtual HRESULT GetHtmlContent(BSTR bstrID, BSTR* pbstrHtmlContent) = 0;
  virtual HRESULT GetSummaryList(BSTR bstrCondition, BSTR* pbstrSummaryList) = 0;
  virtual HRESULT GetSummaryTemplateList(BSTR bstrCondition, BSTR* pbstrSummaryTemplateList) = 0;
  virtual HRESULT GenerateSelfGradeTable(BSTR bstrCondition, LONG lngTemplageID,
                                         BSTR* pbstrSummaryHtml) = 0;
  virtual HRESULT RemoveSummary(BSTR bstrProperty) = 0;

 protected:
  ~IQCGradeSummary() = default;
};

extern const korvalis::com::InterfaceInfo kIQCGradeSummaryInfo;
