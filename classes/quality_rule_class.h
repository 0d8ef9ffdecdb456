// CQualityRule: the automation class QualityRule, the time-limit rule catalogue and the rule
// instances of a patient visit. Each method is a wrapper that gives the call its own data source
// (and, for the methods that vote, a vote on the call's transaction), hands its arguments unchanged
// to the body CBQualityRule::<Method> and turns a failure into the thread's error information and
// E_FAIL.
//
// DeleteOpenRule does nothing. A host may pass a construction string, which is read and dropped.
//
// The class is a template over its business class so that tests can put a recording body in its
// place; CQualityRule is the class the library creates.
//
// Thread-safety: an object has no state but its atomic reference count; each call works on its own
// stack.
#pragma once

#include "classes/object_construct.h"
#include "interface/method_frame.h"
#include "interface/quality_rule_interface.h"
#include "platform/com/com_object.h"
#include "platform/com/dispatch_impl.h"
#include "platform/com/support_error_info.h"
#include "quality/rules/quality_rule.h"

template <class Body>
class CQualityRuleT : public korvalis::com::ComObjectRoot,
                      public korvalis::com::DispatchImpl<IQualityRule, kIQualityRuleInfo>,
                      public korvalis::com::SupportErrorInfoImpl<IID_IQualityRule>,
                      public IObjectConstruct {
 public:
  static std::span<const korvalis::com::InterfaceMapEntry> InterfaceMap() {
    using korvalis::com::MapEntry;
    static constexpr korvalis::com::InterfaceMapEntry kMap[] = {
        MapEntry<CQualityRuleT, IQualityRule>(IID_IQualityRule),
        MapEntry<CQualityRuleT, IObjectConstruct>(IID_IObjectConstruct),
        MapEntry<CQualityRuleT, IDispatch>(IID_IDispatch),
        MapEntry<CQualityRuleT, ISupportErrorInfo>(IID_ISupportErrorInfo)};
    return kMap;
  }

  HRESULT InitNew(BSTR bstrProperty, LONG* plngNewID) override {
    return korvalis::frame::Run(kVote, "CQualityRule::InitNew", [&](CEMRDataSource* pDataSource) {
      Body::InitNew(pDataSource, bstrProperty, plngNewID);
    });
  }

  HRESULT GetProperty(LONG lngRule, BSTR* pbstrProperty) override {
    return korvalis::frame::Run(kNoVote, "CQualityRule::GetProperty",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetProperty(pDataSource, lngRule, pbstrProperty);
                                });
  }

  HRESULT SaveProperty(LONG lngRule, BSTR bstrProperty) override {
    return korvalis::frame::Run(kVote, "CQualityRule::SaveProperty",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::SaveProperty(pDataSource, lngRule, bstrProperty);
                                });
  }

  HRESULT Delete(LONG lngRule) override {
    return korvalis::frame::Run(kVote, "CQualityRule::Delete", [&](CEMRDataSource* pDataSource) {
      Body::Delete(pDataSource, lngRule);
    });
  }

  HRESULT GetRelationRuleList(LONG lngRule, LONG lngRelationType, BSTR* pbstrList) override {
    return korvalis::frame::Run(
        kNoVote, "CQualityRule::GetRelationRuleList", [&](CEMRDataSource* pDataSource) {
          Body::GetRelationRuleList(pDataSource, lngRule, lngRelationType, pbstrList);
        });
  }

  HRESULT SaveRelationRuleList(LONG lngRule, LONG lngRelationType, BSTR bstrList) override {
    return korvalis::frame::Run(
        kVote, "CQualityRule::SaveRelationRuleList", [&](CEMRDataSource* pDataSource) {
          Body::SaveRelationRuleList(pDataSource, lngRule, lngRelationType, bstrList);
        });
  }

  HRESULT Open(BSTR bstrPatientID, BSTR bstrEventNo, BSTR bstrRulePro, BSTR bstrEventPro,
               LONG* plngSerial) override {
    return korvalis::frame::Run(kVote, "CQualityRule::Open", [&](CEMRDataSource* pDataSource) {
      Body::Open(pDataSource, bstrPatientID, bstrEventNo, bstrRulePro, bstrEventPro, plngSerial);
    });
  }

  HRESULT Close(BSTR bstrPatientID, BSTR bstrEventNo, BSTR bstrRuleId, BSTR bstrEventPro) override {
    // The body also reports the serial of the closed instance, which this interface does
    // not return.
    return korvalis::frame::Run(kVote, "CQualityRule::Close", [&](CEMRDataSource* pDataSource) {
      LONG serial = 0;
      Body::Close(pDataSource, bstrPatientID, bstrEventNo, bstrRuleId, bstrEventPro, &serial);
    });
  }

  HRESULT Undo(BSTR bstrPatientID, BSTR bstrEventNo, BSTR bstrRuleId, BSTR bstrEMRID,
               VARIANT_BOOL bReserveOutTimeRule) override {
    return korvalis::frame::Run(kVote, "CQualityRule::Undo", [&](CEMRDataSource* pDataSource) {
      Body::Undo(pDataSource, bstrPatientID, bstrEventNo, bstrRuleId, bstrEMRID,
                 bReserveOutTimeRule);
    });
  }

  HRESULT ReOpen(BSTR bstrEventInfo) override {
    return korvalis::frame::Run(kVote, "CQualityRule::ReOpen", [&](CEMRDataSource* pDataSource) {
      Body::ReOpen(pDataSource, bstrEventInfo);
    });
  }

  HRESULT ReOpenUndo(BSTR bstrPatientID, BSTR bstrEventNo, BSTR bstrRuleId) override {
    return korvalis::frame::Run(
        kVote, "CQualityRule::ReOpenUndo", [&](CEMRDataSource* pDataSource) {
          Body::ReOpenUndo(pDataSource, bstrPatientID, bstrEventNo, bstrRuleId);
        });
  }

  // Present in the interface; does nothing and leaves its results as the caller set them.
  HRESULT DeleteOpenRule(BSTR, BSTR, BSTR) override { return S_OK; }

  // Reads the construction string that a host passes and drops it: the object keeps no state.
  HRESULT Construct(IDispatch* pCtorObj) override {
    return korvalis::com::ReadConstructString(pCtorObj);
  }

 protected:
  ~CQualityRuleT() = default;

 private:
  static constexpr korvalis::frame::Vote kVote = korvalis::frame::Vote::kYes;
  static constexpr korvalis::frame::Vote kNoVote = korvalis::frame::Vote::kNo;
};

using CQualityRule = CQualityRuleT<CBQualityRule>;
extern template class CQualityRuleT<CBQualityRule>;

// Creates one QualityRule object; refuses an outer object.
HRESULT CreateQualityRule(IUnknown* outer, REFIID riid, void** ppv);
