// IQualityTrigger: the dual interface of the automation class QualityTrigger, the clinical events
// that open and close time-limit rule instances.
//
// The methods follow the three IUnknown and four IDispatch slots in dispatch-identifier order;
// kIQualityTriggerInfo describes them to late-bound callers. Parameter names are those that clients
// pass as named arguments.
//
// Thread-safety: as the threading model registered for QualityTrigger ("Neutral") allows.
#pragma once

#include "platform/com/dispatch.h"
#include "platform/com/type_info_table.h"

inline constexpr GUID IID_IQualityTrigger =
    korvalis::com::MakeGuid("92763075-1E9D-4593-8604-FA6A208DE75A");
inline constexpr GUID CLSID_QualityTrigger =
    korvalis::com::MakeGuid("243F8F33-034B-4600-93AD-2135DB1FB979");

struct IQualityTrigger : IDispatch {
  virtual HRESULT FireOpen(BSTR bstrPatientID, BSTR bstrEventNo, BSTR bstrEventPro) = 0;
  virtual HRESULT FireClose(BSTR bstrPatientID, BSTR bstrEventNo, BSTR bstrEventPro) = 0;
  virtual HRESULT Cancel(BSTR bstrPatientID, BSTR bstrEventNo, LONG lngTrigger) = 0;
  virtual HRESULT ReFireOpen(BSTR bstrEventInfo) = 0;

 protected:
  ~IQualityTrigger() = default;
};

extern const korvalis::com::InterfaceInfo kIQualityTriggerInfo;
