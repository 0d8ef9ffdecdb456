// CArchiveReport: the automation class ArchiveReport, the archive statistics: the in-hospital
// department list and the writers of documents in a date span. Each method is a wrapper that gives
// the call its own data source (and, for the methods that vote, a vote on the call's transaction),
// hands its arguments unchanged to the body CBArchiveReport::<Method> and turns a failure into the
// thread's error information and E_FAIL.
//
// Init and GetTimeOutUnwriteList do nothing; GetTimeOutWriteList answers an empty text.
//
// The class is a template over its business class so that tests can put a recording body in its
// place; CArchiveReport is the class the library creates.
//
// Thread-safety: an object has no state but its atomic reference count; each call works on its own
// stack.
#pragma once

#include "archive/archive_report.h"
#include "interface/archive_report_interface.h"
#include "interface/method_frame.h"
#include "platform/com/com_object.h"
#include "platform/com/dispatch_impl.h"

template <class Body>
class CArchiveReportT : public korvalis::com::ComObjectRoot,
                        public korvalis::com::DispatchImpl<IArchiveReport, kIArchiveReportInfo> {
 public:
  static std::span<const korvalis::com::InterfaceMapEntry> InterfaceMap() {
    using korvalis::com::MapEntry;
    static constexpr korvalis::com::InterfaceMapEntry kMap[] = {
        MapEntry<CArchiveReportT, IArchiveReport>(IID_IArchiveReport),
        MapEntry<CArchiveReportT, IDispatch>(IID_IDispatch)};
    return kMap;
  }

  // Present in the interface; does nothing and leaves its results as the caller set them.
  HRESULT Init(BSTR) override { return S_OK; }

  HRESULT GetInDeptList(BSTR* pbstrList) override {
    return korvalis::frame::Run(
        kNoVote, "CArchiveReport::GetInDeptList",
        [&](CEMRDataSource* pDataSource) { Body::GetInDeptList(pDataSource, pbstrList); });
  }

  HRESULT GetWriterInfoList(BSTR bstrStartDate, BSTR bstrEndDate, BSTR bstrDeptID, BSTR bstrTempID,
                            BSTR* pbstrList) override {
    return korvalis::frame::Run(kNoVote, "CArchiveReport::GetWriterInfoList",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetWriterInfoList(pDataSource, bstrStartDate, bstrEndDate,
                                                          bstrDeptID, bstrTempID, pbstrList);
                                });
  }

  // Present in the interface; answers an empty list without reading anything.
  HRESULT GetTimeOutWriteList(BSTR, BSTR, BSTR* pbstrList) override {
    return korvalis::frame::StoreEmptyResult(pbstrList);
  }

  // Present in the interface; does nothing and leaves its results as the caller set them.
  HRESULT GetTimeOutUnwriteList(BSTR, BSTR, BSTR, BSTR*) override { return S_OK; }

 protected:
  ~CArchiveReportT() = default;

 private:
  static constexpr korvalis::frame::Vote kVote = korvalis::frame::Vote::kYes;
  static constexpr korvalis::frame::Vote kNoVote = korvalis::frame::Vote::kNo;
};

using CArchiveReport = CArchiveReportT<CBArchiveReport>;
extern template class CArchiveReportT<CBArchiveReport>;

// Creates one ArchiveReport object; refuses an outer object.
HRESULT CreateArchiveReport(IUnknown* outer, REFIID riid, void** ppv);
