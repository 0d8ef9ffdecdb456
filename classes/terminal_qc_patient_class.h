// CTerminalQCPatient: the automation class TerminalQCPatient, terminal QC: the sampled discharged
// patients of a task, their departments and scores. Each method is a wrapper that gives the call
// its own data source (and, for the methods that vote, a vote on the call's transaction), hands its
// arguments unchanged to the body CBTerminalQCPatient::<Method> and turns a failure into the
// thread's error information and E_FAIL.
//
// The class is a template over its business class so that tests can put a recording body in its
// place; CTerminalQCPatient is the class the library creates.
//
// Thread-safety: an object has no state but its atomic reference count; each call works on its own
// stack.
#pragma once

#include "interface/method_frame.h"
#include "interface/terminal_qc_patient_interface.h"
#include "platform/com/com_object.h"
#include "platform/com/dispatch_impl.h"
#include "quality/rules/terminal_qc_patient.h"

template <class Body>
class CTerminalQCPatientT
    : public korvalis::com::ComObjectRoot,
      public korvalis::com::DispatchImpl<ITerminalQCPatient, kITerminalQCPatientInfo> {
 public:
  static std::span<const korvalis::com::InterfaceMapEntry> InterfaceMap() {
    using korvalis::com::MapEntry;
    static constexpr korvalis::com::InterfaceMapEntry kMap[] = {
        MapEntry<CTerminalQCPatientT, ITerminalQCPatient>(IID_ITerminalQCPatient),
        MapEntry<CTerminalQCPatientT, IDispatch>(IID_IDispatch)};
    return kMap;
  }

  HRESULT GetDeptList(LONG lngTaskID, BSTR* pbstrDeptList) override {
    return korvalis::frame::Run(kNoVote, "CTerminalQCPatient::GetDeptList",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetDeptList(pDataSource, lngTaskID, pbstrDeptList);
                                });
  }

  HRESULT GetDeptPatientList(LONG lngTaskID, BSTR bstrDeptID, BSTR* pbstrPatientList) override {
    return korvalis::frame::Run(
        kNoVote, "CTerminalQCPatient::GetDeptPatientList", [&](CEMRDataSource* pDataSource) {
          Body::GetDeptPatientList(pDataSource, lngTaskID, bstrDeptID, pbstrPatientList);
        });
  }

  HRESULT GetPatientList(LONG lngTaskID, BSTR* pbstrPatientList) override {
    return korvalis::frame::Run(kNoVote, "CTerminalQCPatient::GetPatientList",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetPatientList(pDataSource, lngTaskID, pbstrPatientList);
                                });
  }

  HRESULT ManagePatient(BSTR bstrPatientList, BSTR bstrClientInfo) override {
    return korvalis::frame::Run(kVote, "CTerminalQCPatient::ManagePatient",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::ManagePatient(pDataSource, bstrPatientList, bstrClientInfo);
                                });
  }

  HRESULT SearchPatient(BSTR bstrWhatInfo, BSTR* pbstrPatientList) override {
    return korvalis::frame::Run(kNoVote, "CTerminalQCPatient::SearchPatient",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::SearchPatient(pDataSource, bstrWhatInfo, pbstrPatientList);
                                });
  }

  HRESULT ScorePatient(BSTR bstrPatientID, BSTR bstrEventNo, BSTR bstrScoreInfo,
                       BSTR bstrClientInfo) override {
    return korvalis::frame::Run(kVote, "CTerminalQCPatient::ScorePatient",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::ScorePatient(pDataSource, bstrPatientID, bstrEventNo,
                                                     bstrScoreInfo, bstrClientInfo);
                                });
  }

  HRESULT GetPatientScore(LONG lngTaskID, BSTR bstrPatientID, BSTR bstrEventNo,
                          BSTR* pbstrScore) override {
    return korvalis::frame::Run(
        kNoVote, "CTerminalQCPatient::GetPatientScore", [&](CEMRDataSource* pDataSource) {
          Body::GetPatientScore(pDataSource, lngTaskID, bstrPatientID, bstrEventNo, pbstrScore);
        });
  }

  HRESULT RemoveAllPatient(LONG lngTaskID) override {
    return korvalis::frame::Run(
        kVote, "CTerminalQCPatient::RemoveAllPatient",
        [&](CEMRDataSource* pDataSource) { Body::RemoveAllPatient(pDataSource, lngTaskID); });
  }

 protected:
  ~CTerminalQCPatientT() = default;

 private:
  static constexpr korvalis::frame::Vote kVote = korvalis::frame::Vote::kYes;
  static constexpr korvalis::frame::Vote kNoVote = korvalis::frame::Vote::kNo;
};

using CTerminalQCPatient = CTerminalQCPatientT<CBTerminalQCPatient>;
extern template class CTerminalQCPatientT<CBTerminalQCPatient>;

// Creates one TerminalQCPatient object; refuses an outer object.
HRESULT CreateTerminalQCPatient(IUnknown* outer, REFIID riid, void** ppv);
