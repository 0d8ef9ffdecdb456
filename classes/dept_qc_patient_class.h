// CDeptQCPatient: the automation class DeptQCPatient, department QC of one patient visit: adding,
// removing, scoring and verifying it, and its result document. Each method is a wrapper that gives
// the call its own data source (and, for the methods that vote, a vote on the call's transaction),
// hands its arguments unchanged to the body CBDeptQCPatient::<Method> and turns a failure into the
// thread's error information and E_FAIL.
//
// The class is a template over its business class so that tests can put a recording body in its
// place; CDeptQCPatient is the class the library creates.
//
// Thread-safety: an object has no state but its atomic reference count; each call works on its own
// stack.
#pragma once

#include "interface/dept_qc_patient_interface.h"
#include "interface/method_frame.h"
#include "platform/com/com_object.h"
#include "platform/com/dispatch_impl.h"
#include "quality/rules/dept_qc_patient.h"

template <class Body>
class CDeptQCPatientT : public korvalis::com::ComObjectRoot,
                        public korvalis::com::DispatchImpl<IDeptQCPatient, kIDeptQCPatientInfo> {
 public:
  static std::span<const korvalis::com::InterfaceMapEntry> InterfaceMap() {
    using korvalis::com::MapEntry;
    static constexpr korvalis::com::InterfaceMapEntry kMap[] = {
        MapEntry<CDeptQCPatientT, IDeptQCPatient>(IID_IDeptQCPatient),
        MapEntry<CDeptQCPatientT, IDispatch>(IID_IDispatch)};
    return kMap;
  }

  HRESULT AddQCPatient(BSTR bstrPatientID, BSTR bstrEventNo, BSTR bstrClientInfo,
                       LONG* plngStatus) override {
    return korvalis::frame::Run(
        kVote, "CDeptQCPatient::AddQCPatient", [&](CEMRDataSource* pDataSource) {
          Body::AddQCPatient(pDataSource, bstrPatientID, bstrEventNo, bstrClientInfo, plngStatus);
        });
  }

  HRESULT RemoveQCPatient(BSTR bstrPatientID, BSTR bstrEventNo, BSTR bstrClientInfo) override {
    return korvalis::frame::Run(
        kVote, "CDeptQCPatient::RemoveQCPatient", [&](CEMRDataSource* pDataSource) {
          Body::RemoveQCPatient(pDataSource, bstrPatientID, bstrEventNo, bstrClientInfo);
        });
  }

  HRESULT ScorePatient(BSTR bstrPatientID, BSTR bstrEventNo, BSTR bstrScoreInfo,
                       BSTR bstrClientInfo) override {
    return korvalis::frame::Run(kVote, "CDeptQCPatient::ScorePatient",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::ScorePatient(pDataSource, bstrPatientID, bstrEventNo,
                                                     bstrScoreInfo, bstrClientInfo);
                                });
  }

  HRESULT GetPatientScore(BSTR bstrPatientID, BSTR bstrEventNo, BSTR* pbstrScoreInfo) override {
    return korvalis::frame::Run(
        kNoVote, "CDeptQCPatient::GetPatientScore", [&](CEMRDataSource* pDataSource) {
          Body::GetPatientScore(pDataSource, bstrPatientID, bstrEventNo, pbstrScoreInfo);
        });
  }

  HRESULT GetQCPatient(BSTR bstrDeptID, BSTR* pbstrList) override {
    return korvalis::frame::Run(kNoVote, "CDeptQCPatient::GetQCPatient",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetQCPatient(pDataSource, bstrDeptID, pbstrList);
                                });
  }

  HRESULT VerifyPatientScore(BSTR bstrPatientID, BSTR bstrEventNo,
                             VARIANT_BOOL varCancel) override {
    return korvalis::frame::Run(
        kVote, "CDeptQCPatient::VerifyPatientScore", [&](CEMRDataSource* pDataSource) {
          Body::VerifyPatientScore(pDataSource, bstrPatientID, bstrEventNo, varCancel);
        });
  }

  HRESULT GenerateQCReport(BSTR bstrPatientID, BSTR bstrEventNo, BSTR bstrClientInfo,
                           BSTR* pbstrReportID, BSTR* pbstrContent) override {
    return korvalis::frame::Run(
        kVote, "CDeptQCPatient::GenerateQCReport", [&](CEMRDataSource* pDataSource) {
          Body::GenerateQCReport(pDataSource, bstrPatientID, bstrEventNo, bstrClientInfo,
                                 pbstrReportID, pbstrContent);
        });
  }

 protected:
  ~CDeptQCPatientT() = default;

 private:
  static constexpr korvalis::frame::Vote kVote = korvalis::frame::Vote::kYes;
  static constexpr korvalis::frame::Vote kNoVote = korvalis::frame::Vote::kNo;
};

using CDeptQCPatient = CDeptQCPatientT<CBDeptQCPatient>;
extern template class CDeptQCPatientT<CBDeptQCPatient>;

// Creates one DeptQCPatient object; refuses an outer object.
HRESULT CreateDeptQCPatient(IUnknown* outer, REFIID riid, void** ppv);
