// CQualityTrigger: the automation class QualityTrigger, the clinical events that open and close
// time-limit rule instances. Each method is a wrapper that gives the call its own data source (and,
// for the methods that vote, a vote on the call's transaction), hands its arguments unchanged to
// the body CBQualityTrigger::<Method> and turns a failure into the thread's error information and
// E_FAIL.
//
// Cancel only votes complete; ReFireOpen reads the visit from its event document first. A host may
// pass a construction string, which is read and dropped.
//
// The class is a template over its business class so that tests can put a recording body in its
// place; CQualityTrigger is the class the library creates.
//
// Thread-safety: an object has no state but its atomic reference count; each call works on its own
// stack.
#pragma once

#include "classes/object_construct.h"
#include "foundation/calls/body_arguments.h"
#include "foundation/xml/xml_property.h"
#include "interface/method_frame.h"
#include "interface/quality_trigger_interface.h"
#include "platform/com/com_object.h"
#include "platform/com/dispatch_impl.h"
#include "platform/com/scoped_bstr.h"
#include "platform/com/support_error_info.h"
#include "quality/rules/quality_trigger.h"

template <class Body>
class CQualityTriggerT : public korvalis::com::ComObjectRoot,
                         public korvalis::com::DispatchImpl<IQualityTrigger, kIQualityTriggerInfo>,
                         public korvalis::com::SupportErrorInfoImpl<IID_IQualityTrigger>,
                         public IObjectConstruct {
 public:
  static std::span<const korvalis::com::InterfaceMapEntry> InterfaceMap() {
    using korvalis::com::MapEntry;
    static constexpr korvalis::com::InterfaceMapEntry kMap[] = {
        MapEntry<CQualityTriggerT, IQualityTrigger>(IID_IQualityTrigger),
        MapEntry<CQualityTriggerT, IObjectConstruct>(IID_IObjectConstruct),
        MapEntry<CQualityTriggerT, IDispatch>(IID_IDispatch),
        MapEntry<CQualityTriggerT, ISupportErrorInfo>(IID_ISupportErrorInfo)};
    return kMap;
  }

  HRESULT FireOpen(BSTR bstrPatientID, BSTR bstrEventNo, BSTR bstrEventPro) override {
    return korvalis::frame::Run(
        kVote, "CQualityTrigger::FireOpen", [&](CEMRDataSource* pDataSource) {
          Body::FireOpen(pDataSource, bstrPatientID, bstrEventNo, bstrEventPro);
        });
  }

  HRESULT FireClose(BSTR bstrPatientID, BSTR bstrEventNo, BSTR bstrEventPro) override {
    return korvalis::frame::Run(
        kVote, "CQualityTrigger::FireClose", [&](CEMRDataSource* pDataSource) {
          Body::FireClose(pDataSource, bstrPatientID, bstrEventNo, bstrEventPro);
        });
  }

  // Takes part in the transaction without work of its own: votes complete.
  HRESULT Cancel(BSTR, BSTR, LONG) override { return korvalis::frame::RunVoteOnly(); }

  HRESULT ReFireOpen(BSTR bstrEventInfo) override {
    // The visit is read from the event document before the body runs, so a document that
    // does not parse fails the call at once.
    return korvalis::frame::Run(
        kVote, "CQualityTrigger::ReFireOpen", [&](CEMRDataSource* pDataSource) {
          CXmlProperty event = korvalis::PropertyBag(bstrEventInfo);
          korvalis::com::ScopedBstr eventNo(event.GetValue(u"event_no"));
          korvalis::com::ScopedBstr patientID(event.GetValue(u"patient_id"));
          Body::ReFireOpen(pDataSource, patientID.get(), eventNo.get(), bstrEventInfo);
        });
  }

  // Reads the construction string that a host passes and drops it: the object keeps no state.
  HRESULT Construct(IDispatch* pCtorObj) override {
    return korvalis::com::ReadConstructString(pCtorObj);
  }

 protected:
  ~CQualityTriggerT() = default;

 private:
  static constexpr korvalis::frame::Vote kVote = korvalis::frame::Vote::kYes;
  static constexpr korvalis::frame::Vote kNoVote = korvalis::frame::Vote::kNo;
};

using CQualityTrigger = CQualityTriggerT<CBQualityTrigger>;
extern template class CQualityTriggerT<CBQualityTrigger>;

// Creates one QualityTrigger object; refuses an outer object.
HRESULT CreateQualityTrigger(IUnknown* outer, REFIID riid, void** ppv);
