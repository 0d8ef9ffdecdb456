// ITerminalQCPatient: the dual interface of the automation class TerminalQCPatient, terminal QC:
// the sampled discharged patients of a task, their departments and scores.
//
// The methods follow the three IUnknown and four IDispatch slots in dispatch-identifier order;
// kITerminalQCPatientInfo describes them to late-bound callers. Parameter names are those that
// clients pass as named arguments.
//
// Thread-safety: as the threading model registered for TerminalQCPatient ("Both") allows.
#pragma once

#include "platform/com/dispatch.h"
#include "platform/com/type_info_table.h"

inline constexpr GUID IID_ITerminalQCPatient =
    korvalis::com::MakeGuid("BF8EFFBC-9433-42F9-A108-9CE99656BBBE");
inline constexpr GUID CLSID_TerminalQCPatient =
    korvalis::com::MakeGuid("F708A5E3-125B-4F9E-9C34-67A94CED3DF2");

struct ITerminalQCPatient : IDispatch {
  virtual HRESULT GetDeptList(LONG lngTaskID, BSTR* pbstrDeptList) = 0;
  virtual HRESULT GetDeptPatientList(LONG lngTaskID, BSTR bstrDeptID, BSTR* pbstrPatientList) = 0;
  virtual HRESULT GetPatientList(LONG lngTaskID, BSTR* pbstrPatientList) = 0;
  virtual HRESULT ManagePatient(BSTR bstrPatientList, BSTR bstrClientInfo) = 0;
  virtual HRESULT SearchPatient(BSTR bstrWhatInfo, BSTR* pbstrPatientList) = 0;
  virtual HRESULT ScorePatient(BSTR bstrPatientID, BSTR bstrEventNo, BSTR bstrScoreInfo,
                               BSTR bstrClientInfo) = 0;
  virtual HRESULT GetPatientScore(LONG lngTaskID, BSTR bstrPatientID, BSTR bstrEventNo,
                                  BSTR* pbstrScore) = 0;
  virtual HRESULT RemoveAllPatient(LONG lngTaskID) = 0;

 protected:
  ~ITerminalQCPatient() = default;
};

extern const korvalis::com::InterfaceInfo kITerminalQCPatientInfo;
