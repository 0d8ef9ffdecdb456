// IDeptQCPatient: the dual interface of the automation class DeptQCPatient, department QC of one
// patient visit: adding, removing, scoring and verifying it, and its result document.
//
// The methods follow the three IUnknown and four IDispatch slots in dispatch-identifier order;
// kIDeptQCPatientInfo describes them to late-bound callers. Parameter names are those that clients
// pass as named arguments.
//
// Thread-safety: as the threading model registered for DeptQCPatient ("Both") allows.
#pragma once

#include "platform/com/dispatch.h"
#include "platform/com/type_info_table.h"

inline constexpr GUID IID_IDeptQCPatient =
    korvalis::com::MakeGuid("9995503B-A6D6-471F-9EF4-FD697913294C");
inline constexpr GUID CLSID_DeptQCPatient =
    korvalis::com::MakeGuid("6FE9D90A-2FE2-4973-ADE9-FD56306F7623");

struct IDeptQCPatient : IDispatch {
  virtual HRESULT AddQCPatient(BSTR bstrPatientID, BSTR bstrEventNo, BSTR bstrClientInfo,
                               LONG* plngStatus) = 0;
  virtual HRESULT RemoveQCPatient(BSTR bstrPatientID, BSTR bstrEventNo, BSTR bstrClientInfo) = 0;
  virtual HRESULT ScorePatient(BSTR bstrPatientID, BSTR bstrEventNo, BSTR bstrScoreInfo,
                               BSTR bstrClientInfo) = 0;
  virtual HRESULT GetPatientScore(BSTR bstrPatientID, BSTR bstrEventNo, BSTR* pbstrScoreInfo) = 0;
  virtual HRESULT GetQCPatient(BSTR bstrDeptID, BSTR* pbstrList) = 0;
  virtual HRESULT VerifyPatientScore(BSTR bstrPatientID, BSTR bstrEventNo,
                                     VARIANT_BOOL varCancel) = 0;
  virtual HRESULT GenerateQCReport(BSTR bstrPatientID, BSTR bstrEventNo, BSTR bstrClientInfo,
                                   BSTR* pbstrReportID, BSTR* pbstrContent) = 0;

 protected:
  ~IDeptQCPatient() = default;
};

extern const korvalis::com::InterfaceInfo kIDeptQCPatientInfo;
