// CEventTrigger: the automation class EventTrigger, the entry through which a registered event
// reaches the time-limit QC rules. Each method is a wrapper that gives the call its own data source
// (and, for the methods that vote, a vote on the call's transaction), hands its arguments unchanged
// to the body CBEventTrigger::<Method> and turns a failure into the thread's error information and
// E_FAIL.
//
// SaveSysEventProperty does nothing.
//
// The class is a template over its business class so that tests can put a recording body in its
// place; CEventTrigger is the class the library creates.
//
// Thread-safety: an object has no state but its atomic reference count; each call works on its own
// stack.
#pragma once

#include "interface/event_trigger_interface.h"
#include "interface/method_frame.h"
#include "platform/com/com_object.h"
#include "platform/com/dispatch_impl.h"
#include "platform/com/support_error_info.h"
#include "quality/rules/event_trigger.h"

template <class Body>
class CEventTriggerT : public korvalis::com::ComObjectRoot,
                       public korvalis::com::DispatchImpl<IEventTrigger, kIEventTriggerInfo>,
                       public korvalis::com::SupportErrorInfoImpl<IID_IEventTrigger> {
 public:
  static std::span<const korvalis::com::InterfaceMapEntry> InterfaceMap() {
    using korvalis::com::MapEntry;
    static constexpr korvalis::com::InterfaceMapEntry kMap[] = {
        MapEntry<CEventTriggerT, IEventTrigger>(IID_IEventTrigger),
        MapEntry<CEventTriggerT, IDispatch>(IID_IDispatch),
        MapEntry<CEventTriggerT, ISupportErrorInfo>(IID_ISupportErrorInfo)};
    return kMap;
  }

  HRESULT OnSysEvent(BSTR bstrEventInfo) override {
    return korvalis::frame::Run(
        kVote, "CEventTrigger::OnSysEvent",
        [&](CEMRDataSource* pDataSource) { Body::OnSysEvent(pDataSource, bstrEventInfo); });
  }

  // Present in the interface; does nothing and leaves its results as the caller set them.
  HRESULT SaveSysEventProperty(BSTR) override { return S_OK; }

 protected:
  ~CEventTriggerT() = default;

 private:
  static constexpr korvalis::frame::Vote kVote = korvalis::frame::Vote::kYes;
  static constexpr korvalis::frame::Vote kNoVote = korvalis::frame::Vote::kNo;
};

using CEventTrigger = CEventTriggerT<CBEventTrigger>;
extern template class CEventTriggerT<CBEventTrigger>;

// Creates one EventTrigger object; accepts an outer object that asks for IUnknown.
HRESULT CreateEventTrigger(IUnknown* outer, REFIID riid, void** ppv);
