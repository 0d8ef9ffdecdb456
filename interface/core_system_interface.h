// ICoreSystem: the dual interface of the automation class CoreSystem, the records of the hospital's
// core quality systems: department activities, core reports, doctor shift and rescue records.
//
// The methods follow the three IUnknown and four IDispatch slots in dispatch-identifier order;
// kICoreSystemInfo describes them to late-bound callers. Parameter names are those that clients
// pass as named arguments.
//
// Thread-safety: as the threading model registered for CoreSystem ("Both") allows.
#pragma once

#include "platform/com/dispatch.h"
#include "platform/com/type_info_table.h"

inline constexpr GUID IID_ICoreSystem =
    korvalis::com::MakeGuid("C4F14EC5-8565-45F5-9441-E843FBCE17FC");
inline constexpr GUID CLSID_CoreSystem =
    korvalis::com::MakeGuid("B2A963E4-6A24-4680-BD29-0B053575E1EA");

struct ICoreSystem : IDispatch {
  virtual HRESULT GetDeptActivity(BSTR bstrCondition, BSTR* pbstrList) = 0;
  virtual HRESULT SetDeptActivity(BSTR bstrCondition, BSTR* pbstrList) = 0;
  virtual HRESULT DelDeptActivity(BSTR bstrCondition) = 0;
  virtual HRESULT GetCoreReport(BSTR bstrCondition, BSTR* pbstrList) = 0;
  virtual HRESULT SetCoreReport(BSTR bstrCondition, BSTR* pbstrList) = 0;
  virtual HRESULT DelCoreReport(BSTR bstrCondition) = 0;
  virtual HRESULT SaveDoctorShiftRecord(BSTR bstrCondition) = 0;
  virtual HRESULT GetDoctorShiftRecord(BSTR bstrCondition, BSTR* pbstrProperty) = 0;
  virtual HRESULT DeleteDoctorShiftRecord(BSTR bstrShiftRecordID) = 0;
  virtual HRESULT DoctorShiftRecordNext(BSTR bstrCondition, BSTR* pbstrProperty) = 0;
  virtual HRESULT DoctorShiftRecordPrevious(BSTR bstrCondition, BSTR* pbstrProperty) = 0;
  virtual HRESULT DeptActivilyRecordNext(BSTR bstrCondition, BSTR* pbstrDataList) = 0;
  virtual HRESULT DeptActivilyRecordPrevious(BSTR bstrCondition, BSTR* pbstrDataList) = 0;
  virtual HRESULT RescueRecordNext(BSTR bstrCondition, BSTR* pbstrNestRecord) = 0;
  virtual HRESULT RescueRecordPrevious(BSTR bstrCondition, BSTR* pbstrPreviousRecord) = 0;
  virtual HRESULT GetRescueRecord(BSTR bstrCondition, BSTR* pbstrList) = 0;
  virtual HRESULT SetRescueRecord(BSTR bstrList, BSTR* pbstrId) = 0;
  virtual HRESULT DelRescueRecord(BSTR bstrCondition) = 0;
  virtual HRESULT RefreshRecord(BSTR bstrRecordList) = 0;

 protected:
  ~ICoreSystem() = default;
};

extern const korvalis::com::InterfaceInfo kICoreSystemInfo;
