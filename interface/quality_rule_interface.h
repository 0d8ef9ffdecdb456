// IQualityRule: the dual interface of the automation class QualityRule, the time-limit rule
// catalogue and the rule instances of a patient visit.
//
// The methods follow the three IUnknown and four IDispatch slots in dispatch-identifier order;
// kIQualityRuleInfo describes them to late-bound callers. Parameter names are those that clients
// pass as named arguments.
//
// Thread-safety: as the threading model registered for QualityRule ("Neutral") allows.
#pragma once

#include "platform/com/dispatch.h"
#include "platform/com/type_info_table.h"

inline constexpr GUID IID_IQualityRule =
    korvalis::com::MakeGuid("7BCFE3F9-8263-4F4F-82B5-BA1EF2BA051F");
inline constexpr GUID CLSID_QualityRule =
    korvalis::com::MakeGuid("CEEB0A6D-0A18-4C3D-BD44-A97CFB0742A5");

struct IQualityRule : IDispatch {
  virtual HRESULT InitNew(BSTR bstrProperty, LONG* plngNewID) = 0;
  virtual HRESULT GetProperty(LONG lngRule, BSTR* pbstrProperty) = 0;
  virtual HRESULT SaveProperty(LONG lngRule, BSTR bstrProperty) = 0;
  virtual HRESULT Delete(LONG lngRule) = 0;
  virtual HRESULT GetRelationRuleList(LONG lngRule, LONG lngRelationType, BSTR* pbstrList) = 0;
  virtual HRESULT SaveRelationRuleList(LONG lngRule, LONG lngRelationType, BSTR bstrList) = 0;
  virtual HRESULT Open(BSTR bstrPatientID, BSTR bstrEventNo, BSTR bstrRulePro, BSTR bstrEventPro,
                       LONG* plngSerial) = 0;
  virtual HRESULT Close(BSTR bstrPatientID, BSTR bstrEventNo, BSTR bstrRuleId,
                        BSTR bstrEventPro) = 0;
  virtual HRESULT Undo(BSTR bstrPatientID, BSTR bstrEventNo, BSTR bstrRuleId, BSTR bstrEMRID,
                       VARIANT_BOOL bReserveOutTimeRule) = 0;
  virtual HRESULT ReOpen(BSTR bstrEventInfo) = 0;
  virtual HRESULT ReOpenUndo(BSTR bstrPatientID, BSTR bstrEventNo, BSTR bstrRuleId) = 0;
  virtual HRESULT DeleteOpenRule(BSTR bstrPatientID, BSTR bstrEventNo, BSTR bstrRuleId) = 0;

 protected:
  ~IQualityRule() = default;
};

extern const korvalis::com::InterfaceInfo kIQualityRuleInfo;
