// CQCPatient: the automation class QCPatient, the review of one patient's records: rectification
// notices, grades and content QC findings. Each method is a wrapper that gives the call its own
// data source (and, for the methods that vote, a vote on the call's transaction), hands its
// arguments unchanged to the body CBQCPatient::<Method> and turns a failure into the thread's error
// information and E_FAIL.
//
// SaveContentQCInfo passes its body an empty record content; UpdateRectifyInfo writes without a
// vote.
//
// The class is a template over its business class so that tests can put a recording body in its
// place; CQCPatient is the class the library creates.
//
// Thread-safety: an object has no state but its atomic reference count; each call works on its own
// stack.
#pragma once

#include "interface/method_frame.h"
#include "interface/qc_patient_interface.h"
#include "platform/com/com_object.h"
#include "platform/com/dispatch_impl.h"
#include "platform/com/scoped_bstr.h"
#include "platform/com/support_error_info.h"
#include "quality/review/qc_patient.h"

template <class Body>
class CQCPatientT : public korvalis::com::ComObjectRoot,
                    public korvalis::com::DispatchImpl<IQCPatient, kIQCPatientInfo>,
                    public korvalis::com::SupportErrorInfoImpl<IID_IQCPatient> {
 public:
  static std::span<const korvalis::com::InterfaceMapEntry> InterfaceMap() {
    using korvalis::com::MapEntry;
    static constexpr korvalis::com::InterfaceMapEntry kMap[] = {
        MapEntry<CQCPatientT, IQCPatient>(IID_IQCPatient),
        MapEntry<CQCPatientT, IDispatch>(IID_IDispatch),
        MapEntry<CQCPatientT, ISupportErrorInfo>(IID_ISupportErrorInfo)};
    return kMap;
  }

  HRESULT SendRectifyInfo(BSTR bstrInfo, LONG lngRectifyType, BSTR* pbstrRectifyID) override {
    return korvalis::frame::Run(
        kVote, "CQCPatient::SendRectifyInfo", [&](CEMRDataSource* pDataSource) {
          Body::SendRectifyInfo(pDataSource, bstrInfo, lngRectifyType, pbstrRectifyID);
        });
  }

  HRESULT GetEmrRectifyProperty(BSTR bstrRectifyID, BSTR* pbstrInfo) override {
    return korvalis::frame::Run(
        kNoVote, "CQCPatient::GetEmrRectifyProperty", [&](CEMRDataSource* pDataSource) {
          Body::GetEmrRectifyProperty(pDataSource, bstrRectifyID, pbstrInfo);
        });
  }

  HRESULT GetRectifyInfo(BSTR bstrCondition, BSTR* pbstrInfo) override {
    return korvalis::frame::Run(kNoVote, "CQCPatient::GetRectifyInfo",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetRectifyInfo(pDataSource, bstrCondition, pbstrInfo);
                                });
  }

  HRESULT FeedBackRectifyInfo(BSTR bstrRectifyID, BSTR bstrInfo) override {
    return korvalis::frame::Run(kVote, "CQCPatient::FeedBackRectifyInfo",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::FeedBackRectifyInfo(pDataSource, bstrRectifyID, bstrInfo);
                                });
  }

  HRESULT GetRectificationPatientList(BSTR bstrFilter, BSTR* pbstrPatientList) override {
    return korvalis::frame::Run(
        kNoVote, "CQCPatient::GetRectificationPatientList", [&](CEMRDataSource* pDataSource) {
          Body::GetRectificationPatientList(pDataSource, bstrFilter, pbstrPatientList);
        });
  }

  HRESULT GetEmrGradeInfo(BSTR bstrCondition, BSTR* pbstrList) override {
    return korvalis::frame::Run(kNoVote, "CQCPatient::GetEmrGradeInfo",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetEmrGradeInfo(pDataSource, bstrCondition, pbstrList);
                                });
  }

  HRESULT SaveEmrGrade(BSTR bstrList) override {
    return korvalis::frame::Run(
        kVote, "CQCPatient::SaveEmrGrade",
        [&](CEMRDataSource* pDataSource) { Body::SaveEmrGrade(pDataSource, bstrList); });
  }

  HRESULT GetQCPatientGradeList(BSTR bstrCondition, BSTR* pbstrList) override {
    return korvalis::frame::Run(
        kNoVote, "CQCPatient::GetQCPatientGradeList", [&](CEMRDataSource* pDataSource) {
          Body::GetQCPatientGradeList(pDataSource, bstrCondition, pbstrList);
        });
  }

  HRESULT UpdateRectifyInfo(BSTR bstrInfo) override {
    return korvalis::frame::Run(
        kNoVote, "CQCPatient::UpdateRectifyInfo",
        [&](CEMRDataSource* pDataSource) { Body::UpdateRectifyInfo(pDataSource, bstrInfo); });
  }

  HRESULT GetContentQCInfo(BSTR bstrCondition, BSTR* pbstrList) override {
    return korvalis::frame::Run(kNoVote, "CQCPatient::GetContentQCInfo",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetContentQCInfo(pDataSource, bstrCondition, pbstrList);
                                });
  }

  HRESULT SaveContentQCInfo(BSTR bstrList) override {
    // Without a record content the body finds no markers in it: it sets the send count of
    // the record's stored markers, or clears them when no count is given.
    return korvalis::frame::Run(kVote, "CQCPatient::SaveContentQCInfo",
                                [&](CEMRDataSource* pDataSource) {
                                  korvalis::com::ScopedBstr noContent(u"");
                                  Body::SaveContentQCInfo(pDataSource, bstrList, noContent.get());
                                });
  }

  HRESULT GetPatientProperty(BSTR bstrCondition, BSTR* pbstrPatientList) override {
    return korvalis::frame::Run(
        kNoVote, "CQCPatient::GetPatientProperty", [&](CEMRDataSource* pDataSource) {
          Body::GetPatientProperty(pDataSource, bstrCondition, pbstrPatientList);
        });
  }

 protected:
  ~CQCPatientT() = default;

 private:
  static constexpr korvalis::frame::Vote kVote = korvalis::frame::Vote::kYes;
  static constexpr korvalis::frame::Vote kNoVote = korvalis::frame::Vote::kNo;
};

using CQCPatient = CQCPatientT<CBQCPatient>;
extern template class CQCPatientT<CBQCPatient>;

// Creates one QCPatient object; accepts an outer object that asks for IUnknown.
HRESULT CreateQCPatient(IUnknown* outer, REFIID riid, void** ppv);
