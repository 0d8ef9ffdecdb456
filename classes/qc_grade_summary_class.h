// CQCGradeSummary: the automation class QCGradeSummary, QC grade summaries and their templates,
// generated as HTML. Each method is a wrapper that gives the call its own data source (and, for the
// methods that vote, a vote on the call's transaction), hands its arguments unchanged to the body
// CBQCGradeSummary::<Method> and turns a failure into the thread's error information and E_FAIL.
//
// The class is a template over its business class so that tests can put a recording body in its
// place; CQCGradeSummary is the class the library creates.
//
// Thread-safety: an object has no state but its atomic reference count; each call works on its own
// stack.
#pragma once

#include "interface/method_frame.h"
#include "interface/qc_grade_summary_interface.h"
#include "platform/com/com_object.h"
#include "platform/com/dispatch_impl.h"
#include "report/qc_grade_summary.h"

template <class Body>
class CQCGradeSummaryT : public korvalis::com::ComObjectRoot,
                         public korvalis::com::DispatchImpl<IQCGradeSummary, kIQCGradeSummaryInfo> {
 public:
  static std::span<const korvalis::com::InterfaceMapEntry> InterfaceMap() {
    using korvalis::com::MapEntry;
    static constexpr korvalis::com::InterfaceMapEntry kMap[] = {
        MapEntry<CQCGradeSummaryT, IQCGradeSummary>(IID_IQCGradeSummary),
        MapEntry<CQCGradeSummaryT, IDispatch>(IID_IDispatch)};
    return kMap;
  }

  HRESULT GetXslContent(BSTR bstrID, BSTR* pbstrXslContent) override {
    return korvalis::frame::Run(kNoVote, "CQCGradeSummary::GetXslContent",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetXslContent(pDataSource, bstrID, pbstrXslContent);
                                });
  }

  HRESULT GetDetailData(BSTR bstrCondition, BSTR* pbstrDetailDataList) override {
    return korvalis::frame::Run(
        kNoVote, "CQCGradeSummary::GetDetailData", [&](CEMRDataSource* pDataSource) {
          Body::GetDetailData(pDataSource, bstrCondition, pbstrDetailDataList);
        });
  }

  HRESULT GenerateSummary(BSTR bstrCondition, BSTR bstrTemplageID,
                          BSTR* pbstrSummaryHtml) override {
    return korvalis::frame::Run(
        kNoVote, "CQCGradeSummary::GenerateSummary", [&](CEMRDataSource* pDataSource) {
          Body::GenerateSummary(pDataSource, bstrCondition, bstrTemplageID, pbstrSummaryHtml);
        });
  }

  HRESULT SaveContent(BSTR bstrID, BSTR strProperty) override {
    return korvalis::frame::Run(
        kVote, "CQCGradeSummary::SaveContent",
        [&](CEMRDataSource* pDataSource) { Body::SaveContent(pDataSource, bstrID, strProperty); });
  }

  HRESULT SaveXslContent(BSTR bstrID, BSTR bstrProperty) override {
    return korvalis::frame::Run(kVote, "CQCGradeSummary::SaveXslContent",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::SaveXslContent(pDataSource, bstrID, bstrProperty);
                                });
  }

  HRESULT ModifySummary(BSTR bstrProperty) override {
    return korvalis::frame::Run(
        kVote, "CQCGradeSummary::ModifySummary",
        [&](CEMRDataSource* pDataSource) { Body::ModifySummary(pDataSource, bstrProperty); });
  }

  HRESULT ModifySummaryTemplate(BSTR bstrProperty) override {
    return korvalis::frame::Run(kVote, "CQCGradeSummary::ModifySummaryTemplate",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::ModifySummaryTemplate(pDataSource, bstrProperty);
                                });
  }

  HRESULT NewSummary(BSTR bstrProperty, BSTR* pbstrNewID) override {
    return korvalis::frame::Run(kVote, "CQCGradeSummary::NewSummary",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::NewSummary(pDataSource, bstrProperty, pbstrNewID);
                                });
  }

  HRESULT NewSummaryTemplate(BSTR bstrProperty, BSTR* pbstrNewID) override {
    return korvalis::frame::Run(kVote, "CQCGradeSummary::NewSummaryTemplate",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::NewSummaryTemplate(pDataSource, bstrProperty, pbstrNewID);
                                });
  }

  HRESULT GetHtmlContent(BSTR bstrID, BSTR* pbstrHtmlContent) override {
    return korvalis::frame::Run(kVote, "CQCGradeSummary::GetHtmlContent",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetHtmlContent(pDataSource, bstrID, pbstrHtmlContent);
                                });
  }

  HRESULT GetSummaryList(BSTR bstrCondition, BSTR* pbstrSummaryList) override {
    return korvalis::frame::Run(
        kNoVote, "CQCGradeSummary::GetSummaryList", [&](CEMRDataSource* pDataSource) {
          Body::GetSummaryList(pDataSource, bstrCondition, pbstrSummaryList);
        });
  }

  HRESULT GetSummaryTemplateList(BSTR bstrCondition, BSTR* pbstrSummaryTemplateList) override {
    return korvalis::frame::Run(
        kNoVote, "CQCGradeSummary::GetSummaryTemplateList", [&](CEMRDataSource* pDataSource) {
          Body::GetSummaryTemplateList(pDataSource, bstrCondition, pbstrSummaryTemplateList);
        });
  }

  HRESULT GenerateSelfGradeTable(BSTR bstrCondition, LONG lngTemplageID,
                                 BSTR* pbstrSummaryHtml) override {
    return korvalis::frame::Run(
        kNoVote, "CQCGradeSummary::GenerateSelfGradeTable", [&](CEMRDataSource* pDataSource) {
          Body::GenerateSelfGradeTable(pDataSource, bstrCondition, lngTemplageID, pbstrSummaryHtml);
        });
  }

  HRESULT RemoveSummary(BSTR bstrProperty) override {
    return korvalis::frame::Run(
        kVote, "CQCGradeSummary::RemoveSummary",
        [&](CEMRDataSource* pDataSource) { Body::RemoveSummary(pDataSource, bstrProperty); });
  }

 protected:
  ~CQCGradeSummaryT() = default;

 private:
  static constexpr korvalis::frame::Vote kVote = korvalis::frame::Vote::kYes;
  static constexpr korvalis::frame::Vote kNoVote = korvalis::frame::Vote::kNo;
};

using CQCGradeSummary = CQCGradeSummaryT<CBQCGradeSummary>;
extern template class CQCGradeSummaryT<CBQCGradeSummary>;

// Creates one QCGradeSummary object; refuses an outer object.
HRESULT CreateQCGradeSummary(IUnknown* outer, REFIID riid, void** ppv);
