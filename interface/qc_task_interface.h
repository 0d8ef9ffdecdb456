// IQCTask: the dual interface of the automation class QCTask, the QC grade tasks, their patients,
// rectification notices and summaries.
//
// The methods follow the three IUnknown and four IDispatch slots in dispatch-identifier order;
// kIQCTaskInfo describes them to late-bound callers. Parameter names are those that clients pass as
// named arguments.
//
// Thread-safety: as the threading model registered for QCTask ("Both") allows.
#pragma once

#include "platform/com/dispatch.h"
#include "platform/com/type_info_table.h"

inline constexpr GUID IID_IQCTask = korvalis::com::MakeGuid("53448940-3066-493E-8FDC-1D79B9FD12A0");
inline constexpr GUID CLSID_QCTask =
    korvalis::com::MakeGuid("1E9D9B7E-2BE1-4A1E-8A49-B65F940637DB");

struct IQCTask : IDispatch {
  virtual HRESULT New(BSTR bstrProperty, BSTR* pbstrTaskID) = 0;
  virtual HRESULT Modify(BSTR bstrTaskID, BSTR bstrProperty) = 0;
  virtual HRESULT Delete(BSTR bstrTaskID) = 0;
  virtual HRESULT GetProperty(BSTR bstrTaskID, BSTR* pbstrProperty) = 0;
  virtual HRESULT GetTaskList(BSTR bstrCondition, BSTR* pbstrList) = 0;
  virtual HRESULT GetPatientList(BSTR bstrCondition, BSTR* pbstrPatientList) = 0;
  virtual HRESULT AddPatient(BSTR bstrTaskID, BSTR bstrPatientList) = 0;
  virtual HRESULT DispatchPatient(BSTR bstrUserID, BSTR bstrPatientList) = 0;
  virtual HRESULT RemovePatient(BSTR bstrCondition) = 0;
  virtual HRESULT GetTaskId(BSTR bstrOwnerType, BSTR* pbstrTaskID) = 0;
  virtual HRESULT GetDeptQCPatientList(BSTR bstrCondition, BSTR* pbstrPatientList) = 0;
  virtual HRESULT NewDeptQCTask(BSTR bstrProperty) = 0;
  virtual HRESULT GetQCRectifyList(BSTR bstrCondition, BSTR* pbstrRectifyList) = 0;
  virtual HRESULT SetTaskSummarize(BSTR bstrProperty) = 0;
  virtual HRESULT GetTaskSummarize(BSTR bstrTaskID, BSTR bstrUserID, BSTR* pbstrTaskSummarize) = 0;
  virtual HRESULT GetToSummariseTask(BSTR bstrCondition, BSTR* pbstrTaskList) = 0;
  virtual HRESULT NewMonthTaskForDept(BSTR bstrCondition) = 0;

 protected:
  ~IQCTask() = default;
};

extern const korvalis::com::InterfaceInfo kIQCTaskInfo;
