// IQCPatient: the dual interface of the automation class QCPatient, the review of one patient's
// records: rectification notices, grades and content QC findings.
//
// The methods follow the three IUnknown and four IDispatch slots in dispatch-identifier order;
// kIQCPatientInfo describes them to late-bound callers. Parameter names are those that clients pass
// as named arguments.
//
// Thread-safety: as the threading model registered for QCPatient ("Apartment") allows.
#pragma once

#include "platform/com/dispatch.h"
#include "platform/com/type_info_table.h"

inline constexpr GUID IID_IQCPatient =
    korvalis::com::MakeGuid("BBA2ED9E-D885-4ABD-88B5-81841DDA5076");
inline constexpr GUID CLSID_QCPatient =
    korvalis::com::MakeGuid("91F58880-5AFF-49C0-96E2-AC7778180E36");

struct IQCPatient : IDispatch {
  virtual HRESULT SendRectifyInfo(BSTR bstrInfo, LONG lngRectifyType, BSTR* pbstrRectifyID) = 0;
  virtual HRESULT GetEmrRectifyProperty(BSTR bstrRectifyID, BSTR* pbstrInfo) = 0;
  virtual HRESULT GetRectifyInfo(BSTR bstrCondition, BSTR* pbstrInfo) = 0;
  virtual HRESULT FeedBackRectifyInfo(BSTR bstrRectifyID, BSTR bstrInfo) = 0;
  virtual HRESULT GetRectificationPatientList(BSTR bstrFilter, BSTR* pbstrPatientList) = 0;
  virtual HRESULT GetEmrGradeInfo(BSTR bstrCondition, BSTR* pbstrList) = 0;
  virtual HRESULT SaveEmrGrade(BSTR bstrList) = 0;
  virtual HRESULT GetQCPatientGradeList(BSTR bstrCondition, BSTR* pbstrList) = 0;
  virtual HRESULT UpdateRectifyInfo(BSTR bstrInfo) = 0;
  virtual HRESULT GetContentQCInfo(BSTR bstrCondition, BSTR* pbstrList) = 0;
  virtual HRESULT SaveContentQCInfo(BSTR bstrList) = 0;
  virtual HRESULT GetPatientProperty(BSTR bstrCondition, BSTR* pbstrPatientList) = 0;

 protected:
  ~IQCPatient() = default;
};

extern const korvalis::com::InterfaceInfo kIQCPatientInfo;
