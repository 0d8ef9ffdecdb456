// CArchivePatient: the automation class ArchivePatient, the patient lists and searches of medical-
// record archive management (in-hospital, discharged, to-commit, committed, uncoded, sealed and
// copied records, first pages and batch printing). Each method is a wrapper that gives the call its
// own data source (and, for the methods that vote, a vote on the call's transaction), hands its
// arguments unchanged to the body CBArchivePatient::<Method> and turns a failure into the thread's
// error information and E_FAIL.
//
// The class is a template over its business class so that tests can put a recording body in its
// place; CArchivePatient is the class the library creates.
//
// Thread-safety: an object has no state but its atomic reference count; each call works on its own
// stack.
#pragma once

#include "archive/archive_patient.h"
#include "interface/archive_patient_interface.h"
#include "interface/method_frame.h"
#include "platform/com/com_object.h"
#include "platform/com/dispatch_impl.h"
#include "platform/com/support_error_info.h"

template <class Body>
class CArchivePatientT : public korvalis::com::ComObjectRoot,
                         public korvalis::com::DispatchImpl<IArchivePatient, kIArchivePatientInfo>,
                         public korvalis::com::SupportErrorInfoImpl<IID_IArchivePatient> {
 public:
  static std::span<const korvalis::com::InterfaceMapEntry> InterfaceMap() {
    using korvalis::com::MapEntry;
    static constexpr korvalis::com::InterfaceMapEntry kMap[] = {
        MapEntry<CArchivePatientT, IArchivePatient>(IID_IArchivePatient),
        MapEntry<CArchivePatientT, IDispatch>(IID_IDispatch),
        MapEntry<CArchivePatientT, ISupportErrorInfo>(IID_ISupportErrorInfo)};
    return kMap;
  }

  HRESULT GetInPatientList(BSTR bstrDeptID, BSTR bstrStartTime, BSTR bstrEndTime,
                           BSTR* pbstrList) override {
    return korvalis::frame::Run(
        kNoVote, "CArchivePatient::GetInPatientList", [&](CEMRDataSource* pDataSource) {
          Body::GetInPatientList(pDataSource, bstrDeptID, bstrStartTime, bstrEndTime, pbstrList);
        });
  }

  HRESULT GetAllInPatientList(BSTR bstrStartTime, BSTR bstrEndTime, BSTR* pbstrList) override {
    return korvalis::frame::Run(
        kNoVote, "CArchivePatient::GetAllInPatientList", [&](CEMRDataSource* pDataSource) {
          Body::GetAllInPatientList(pDataSource, bstrStartTime, bstrEndTime, pbstrList);
        });
  }

  HRESULT GetLeavePatientList(BSTR bstrDeptID, BSTR bstrStartTime, BSTR bstrEndTime,
                              BSTR* pbstrList) override {
    return korvalis::frame::Run(
        kNoVote, "CArchivePatient::GetLeavePatientList", [&](CEMRDataSource* pDataSource) {
          Body::GetLeavePatientList(pDataSource, bstrDeptID, bstrStartTime, bstrEndTime, pbstrList);
        });
  }

  HRESULT GetAllLeavePatientList(BSTR bstrStartTime, BSTR bstrEndTime, BSTR* pbstrList) override {
    return korvalis::frame::Run(
        kNoVote, "CArchivePatient::GetAllLeavePatientList", [&](CEMRDataSource* pDataSource) {
          Body::GetAllLeavePatientList(pDataSource, bstrStartTime, bstrEndTime, pbstrList);
        });
  }

  HRESULT GetToCommitPatient(BSTR bstrDeptID, BSTR* pbstrList) override {
    return korvalis::frame::Run(kNoVote, "CArchivePatient::GetToCommitPatient",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetToCommitPatient(pDataSource, bstrDeptID, pbstrList);
                                });
  }

  HRESULT GetAllToCommitPatient(BSTR bstrStartTime, BSTR bstrEndTime, BSTR* pbstrList) override {
    return korvalis::frame::Run(
        kNoVote, "CArchivePatient::GetAllToCommitPatient", [&](CEMRDataSource* pDataSource) {
          Body::GetAllToCommitPatient(pDataSource, bstrStartTime, bstrEndTime, pbstrList);
        });
  }

  HRESULT GetCommitedPatient(BSTR bstrArgs, BSTR* pbstrList) override {
    return korvalis::frame::Run(kNoVote, "CArchivePatient::GetCommitedPatient",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetCommitedPatient(pDataSource, bstrArgs, pbstrList);
                                });
  }

  HRESULT GetAllCommitedPatient(BSTR bstrStartTime, BSTR bstrEndTime, BSTR* pbstrList) override {
    return korvalis::frame::Run(
        kNoVote, "CArchivePatient::GetAllCommitedPatient", [&](CEMRDataSource* pDataSource) {
          Body::GetAllCommitedPatient(pDataSource, bstrStartTime, bstrEndTime, pbstrList);
        });
  }

  HRESULT GetUncodedPatient(BSTR bstrDeptID, BSTR* pbstrList) override {
    return korvalis::frame::Run(kNoVote, "CArchivePatient::GetUncodedPatient",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetUncodedPatient(pDataSource, bstrDeptID, pbstrList);
                                });
  }

  HRESULT GetAllUncodedPatient(BSTR bstrStartTime, BSTR bstrEndTime, BSTR* pbstrList) override {
    return korvalis::frame::Run(
        kNoVote, "CArchivePatient::GetAllUncodedPatient", [&](CEMRDataSource* pDataSource) {
          Body::GetAllUncodedPatient(pDataSource, bstrStartTime, bstrEndTime, pbstrList);
        });
  }

  HRESULT SearchPatient(BSTR bstrSearchInfo, BSTR* pbstrList) override {
    return korvalis::frame::Run(kNoVote, "CArchivePatient::SearchPatient",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::SearchPatient(pDataSource, bstrSearchInfo, pbstrList);
                                });
  }

  HRESULT GetFreezePatient(BSTR bstrArgs, BSTR* pbstrList) override {
    return korvalis::frame::Run(kNoVote, "CArchivePatient::GetFreezePatient",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetFreezePatient(pDataSource, bstrArgs, pbstrList);
                                });
  }

  HRESULT GetPatientHeaderEmrList(BSTR bstrPatientID, BSTR bstrEventNo, BSTR* pbstrIds) override {
    return korvalis::frame::Run(
        kNoVote, "CArchivePatient::GetPatientHeaderEmrList", [&](CEMRDataSource* pDataSource) {
          Body::GetPatientHeaderEmrList(pDataSource, bstrPatientID, bstrEventNo, pbstrIds);
        });
  }

  HRESULT SavePatientHeaderRecord(BSTR bstrPatientID, BSTR bstrEventNo, BSTR bstrList) override {
    return korvalis::frame::Run(
        kVote, "CArchivePatient::SavePatientHeaderRecord", [&](CEMRDataSource* pDataSource) {
          Body::SavePatientHeaderRecord(pDataSource, bstrPatientID, bstrEventNo, bstrList);
        });
  }

  HRESULT GetPreCommitPatient(BSTR bstrArgs, BSTR* pbstrList) override {
    return korvalis::frame::Run(kNoVote, "CArchivePatient::GetPreCommitPatient",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetPreCommitPatient(pDataSource, bstrArgs, pbstrList);
                                });
  }

  HRESULT GetAllPreCommitPatient(BSTR bstrStartTime, BSTR bstrEndTime, BSTR* pbstrList) override {
    return korvalis::frame::Run(
        kNoVote, "CArchivePatient::GetAllPreCommitPatient", [&](CEMRDataSource* pDataSource) {
          Body::GetAllPreCommitPatient(pDataSource, bstrStartTime, bstrEndTime, pbstrList);
        });
  }

  HRESULT GetEmrBatchPrintCatalogList(BSTR bstrPatientID, BSTR bstrEventNo,
                                      BSTR* pbstrList) override {
    return korvalis::frame::Run(
        kNoVote, "CArchivePatient::GetEmrBatchPrintCatalogList", [&](CEMRDataSource* pDataSource) {
          Body::GetEmrBatchPrintCatalogList(pDataSource, bstrPatientID, bstrEventNo, pbstrList);
        });
  }

  HRESULT GetEmrBatchPrintList(BSTR bstrPatientID, BSTR bstrEventNo, LONG lngCatalogID,
                               BSTR* pbstrList) override {
    return korvalis::frame::Run(kNoVote, "CArchivePatient::GetEmrBatchPrintList",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetEmrBatchPrintList(pDataSource, bstrPatientID,
                                                             bstrEventNo, lngCatalogID, pbstrList);
                                });
  }

  HRESULT SaveCopiedPatient(BSTR bstrArgs, BSTR* pbstrRecordId) override {
    return korvalis::frame::Run(kVote, "CArchivePatient::SaveCopiedPatient",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::SaveCopiedPatient(pDataSource, bstrArgs, pbstrRecordId);
                                });
  }

  HRESULT GetCopiedPatientList(BSTR bstrArgs, BSTR* pbstrList) override {
    return korvalis::frame::Run(kNoVote, "CArchivePatient::GetCopiedPatientList",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetCopiedPatientList(pDataSource, bstrArgs, pbstrList);
                                });
  }

  HRESULT DeleteCopyRecord(BSTR bstrPatientID, BSTR bstrEventNo, BSTR bstrSerial) override {
    return korvalis::frame::Run(
        kVote, "CArchivePatient::DeleteCopyRecord", [&](CEMRDataSource* pDataSource) {
          Body::DeleteCopyRecord(pDataSource, bstrPatientID, bstrEventNo, bstrSerial);
        });
  }

  HRESULT GetCheckPatientList(BSTR bstrArgs, BSTR* pbstrPatientList) override {
    return korvalis::frame::Run(
        kNoVote, "CArchivePatient::GetCheckPatientList", [&](CEMRDataSource* pDataSource) {
          Body::GetCheckPatientList(pDataSource, bstrArgs, pbstrPatientList);
        });
  }

  HRESULT SaveCheckEMR(BSTR bstrEMRInfo, BSTR bstrContent, BSTR bstrXML,
                       BSTR bstrClientInfo) override {
    return korvalis::frame::Run(
        kVote, "CArchivePatient::SaveCheckEMR", [&](CEMRDataSource* pDataSource) {
          Body::SaveCheckEMR(pDataSource, bstrEMRInfo, bstrContent, bstrXML, bstrClientInfo);
        });
  }

  HRESULT GetCheckEMR(BSTR bstrEMRInfo, BSTR* pbstrXml, BSTR* pbstrContent) override {
    return korvalis::frame::Run(
        kNoVote, "CArchivePatient::GetCheckEMR", [&](CEMRDataSource* pDataSource) {
          Body::GetCheckEMR(pDataSource, bstrEMRInfo, pbstrXml, pbstrContent);
        });
  }

  HRESULT SearchCheckinPatient(BSTR bstrSearchInfo, BSTR* bstrPatientList) override {
    return korvalis::frame::Run(
        kNoVote, "CArchivePatient::SearchCheckinPatient", [&](CEMRDataSource* pDataSource) {
          Body::SearchCheckinPatient(pDataSource, bstrSearchInfo, bstrPatientList);
        });
  }

 protected:
  ~CArchivePatientT() = default;

 private:
  static constexpr korvalis::frame::Vote kVote = korvalis::frame::Vote::kYes;
  static constexpr korvalis::frame::Vote kNoVote = korvalis::frame::Vote::kNo;
};

using CArchivePatient = CArchivePatientT<CBArchivePatient>;
extern template class CArchivePatientT<CBArchivePatient>;

// Creates one ArchivePatient object; accepts an outer object that asks for IUnknown.
HRESULT CreateArchivePatient(IUnknown* outer, REFIID riid, void** ppv);
