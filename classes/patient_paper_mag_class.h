// CPatientPaperMag: the automation class PatientPaperMag, the circulation of paper records: search,
// commit, cancel, return and sign-in. Each method is a wrapper that gives the call its own data
// source (and, for the methods that vote, a vote on the call's transaction), hands its arguments
// unchanged to the body CBPatientPaperMag::<Method> and turns a failure into the thread's error
// information and E_FAIL.
//
// The class is a template over its business class so that tests can put a recording body in its
// place; CPatientPaperMag is the class the library creates.
//
// Thread-safety: an object has no state but its atomic reference count; each call works on its own
// stack.
#pragma once

#include "archive/patient_paper_mag.h"
#include "interface/method_frame.h"
#include "interface/patient_paper_mag_interface.h"
#include "platform/com/com_object.h"
#include "platform/com/dispatch_impl.h"

template <class Body>
class CPatientPaperMagT
    : public korvalis::com::ComObjectRoot,
      public korvalis::com::DispatchImpl<IPatientPaperMag, kIPatientPaperMagInfo> {
 public:
  static std::span<const korvalis::com::InterfaceMapEntry> InterfaceMap() {
    using korvalis::com::MapEntry;
    static constexpr korvalis::com::InterfaceMapEntry kMap[] = {
        MapEntry<CPatientPaperMagT, IPatientPaperMag>(IID_IPatientPaperMag),
        MapEntry<CPatientPaperMagT, IDispatch>(IID_IDispatch)};
    return kMap;
  }

  HRESULT SearchPatientPMRList(BSTR bstrSearchInfo, BSTR* pbstrPatientList) override {
    return korvalis::frame::Run(
        kNoVote, "CPatientPaperMag::SearchPatientPMRList", [&](CEMRDataSource* pDataSource) {
          Body::SearchPatientPMRList(pDataSource, bstrSearchInfo, pbstrPatientList);
        });
  }

  HRESULT CommitPaperCase(BSTR bstrPMRInfo, BSTR bstrClientInfo) override {
    return korvalis::frame::Run(kVote, "CPatientPaperMag::CommitPaperCase",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::CommitPaperCase(pDataSource, bstrPMRInfo, bstrClientInfo);
                                });
  }

  HRESULT CancelCommitPaper(BSTR bstrPMRInfo) override {
    return korvalis::frame::Run(
        kVote, "CPatientPaperMag::CancelCommitPaper",
        [&](CEMRDataSource* pDataSource) { Body::CancelCommitPaper(pDataSource, bstrPMRInfo); });
  }

  HRESULT RollbackPaperCase(BSTR bstrPMRInfo, BSTR bstrClientInfo) override {
    return korvalis::frame::Run(kVote, "CPatientPaperMag::RollbackPaperCase",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::RollbackPaperCase(pDataSource, bstrPMRInfo, bstrClientInfo);
                                });
  }

  HRESULT CheckinPaperCase(BSTR bstrPMRInfo, BSTR bstrClientInfo) override {
    return korvalis::frame::Run(kVote, "CPatientPaperMag::CheckinPaperCase",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::CheckinPaperCase(pDataSource, bstrPMRInfo, bstrClientInfo);
                                });
  }

 protected:
  ~CPatientPaperMagT() = default;

 private:
  static constexpr korvalis::frame::Vote kVote = korvalis::frame::Vote::kYes;
  static constexpr korvalis::frame::Vote kNoVote = korvalis::frame::Vote::kNo;
};

using CPatientPaperMag = CPatientPaperMagT<CBPatientPaperMag>;
extern template class CPatientPaperMagT<CBPatientPaperMag>;

// Creates one PatientPaperMag object; refuses an outer object.
HRESULT CreatePatientPaperMag(IUnknown* outer, REFIID riid, void** ppv);
