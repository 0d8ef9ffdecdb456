// IArchivePatient: the dual interface of the automation class ArchivePatient, the patient lists and
// searches of medical-record archive management (in-hospital, discharged, to-commit, committed,
// uncoded, sealed and copied records, first pages and batch printing).
//
// The methods follow the three IUnknown and four IDispatch slots in dispatch-identifier order;
// kIArchivePatientInfo describes them to late-bound callers. Parameter names are those that clients
// pass as named arguments.
//
// Thread-safety: as the threading model registered for ArchivePatient ("Apartment") allows.
#pragma once

#include "platform/com/dispatch.h"
#include "platform/com/type_info_table.h"

inline constexpr GUID IID_IArchivePatient =
    korvalis::com::MakeGuid("13D73880-0B14-4DCD-86CD-59A1CFD506F8");
inline constexpr GUID CLSID_ArchivePatient =
    korvalis::com::MakeGuid("B3D0E392-5627-409D-A604-801CD463A347");

struct IArchivePatient : IDispatch {
  virtual HRESULT GetInPatientList(BSTR bstrDeptID, BSTR bstrStartTime, BSTR bstrEndTime,
                                   BSTR* pbstrList) = 0;
  virtual HRESULT GetAllInPatientList(BSTR bstrStartTime, BSTR bstrEndTime, BSTR* pbstrList) = 0;
  virtual HRESULT GetLeavePatientList(BSTR bstrDeptID, BSTR bstrStartTime, BSTR bstrEndTime,
                                      BSTR* pbstrList) = 0;
  virtual HRESULT GetAllLeavePatientList(BSTR bstrStartTime, BSTR bstrEndTime, BSTR* pbstrList) = 0;
  virtual HRESULT GetToCommitPatient(BSTR bstrDeptID, BSTR* pbstrList) = 0;
  virtual HRESULT GetAllToCommitPatient(BSTR bstrStartTime, BSTR bstrEndTime, BSTR* pbstrList) = 0;
  virtual HRESULT GetCommitedPatient(BSTR bstrArgs, BSTR* pbstrList) = 0;
  virtual HRESULT GetAllCommitedPatient(BSTR bstrStartTime, BSTR bstrEndTime, BSTR* pbstrList) = 0;
  virtual HRESULT GetUncodedPatient(BSTR bstrDeptID, BSTR* pbstrList) = 0;
  virtual HRESULT GetAllUncodedPatient(BSTR bstrStartTime, BSTR bstrEndTime, BSTR* pbstrList) = 0;
  virtual HRESULT SearchPatient(BSTR bstrSearchInfo, BSTR* pbstrList) = 0;
  virtual HRESULT GetFreezePatient(BSTR bstrArgs, BSTR* pbstrList) = 0;
  virtual HRESULT GetPatientHeaderEmrList(BSTR bstrPatientID, BSTR bstrEventNo, BSTR* pbstrIds) = 0;
  virtual HRESULT SavePatientHeaderRecord(BSTR bstrPatientID, BSTR bstrEventNo, BSTR bstrList) = 0;
  virtual HRESULT GetPreCommitPatient(BSTR bstrArgs, BSTR* pbstrList) = 0;
  virtual HRESULT GetAllPreCommitPatient(BSTR bstrStartTime, BSTR bstrEndTime, BSTR* pbstrList) = 0;
  virtual HRESULT GetEmrBatchPrintCatalogList(BSTR bstrPatientID, BSTR bstrEventNo,
                                              BSTR* pbstrList) = 0;
  virtual HRESULT GetEmrBatchPrintList(BSTR bstrPatientID, BSTR bstrEventNo, LONG lngCatalogID,
                                       BSTR* pbstrList) = 0;
  virtual HRESULT SaveCopiedPatient(BSTR bstrArgs, BSTR* pbstrRecordId) = 0;
  virtual HRESULT GetCopiedPatientList(BSTR bstrArgs, BSTR* pbstrList) = 0;
  virtual HRESULT DeleteCopyRecord(BSTR bstrPatientID, BSTR bstrEventNo, BSTR bstrSerial) = 0;
  virtual HRESULT GetCheckPatientList(BSTR bstrArgs, BSTR* pbstrPatientList) = 0;
  virtual HRESULT SaveCheckEMR(BSTR bstrEMRInfo, BSTR bstrContent, BSTR bstrXML,
                               BSTR bstrClientInfo) = 0;
  virtual HRESULT GetCheckEMR(BSTR bstrEMRInfo, BSTR* pbstrXml, BSTR* pbstrContent) = 0;
  virtual HRESULT SearchCheckinPatient(BSTR bstrSearchInfo, BSTR* bstrPatientList) = 0;

 protected:
  ~IArchivePatient() = default;
};

extern const korvalis::com::InterfaceInfo kIArchivePatientInfo;
