// CSysEvent: the automation class SysEvent, the quality rules that a system event opens or closes,
// and the events that oppose an event. Each method is a wrapper that gives the call its own data
// source (and, for the methods that vote, a vote on the call's transaction), hands its arguments
// unchanged to the body CBSysEvent::<Method> and turns a failure into the thread's error
// information and E_FAIL.
//
// InitNew, GetProperty, SaveProperty and Delete do nothing.
//
// The class is a template over its business class so that tests can put a recording body in its
// place; CSysEvent is the class the library creates.
//
// Thread-safety: an object has no state but its atomic reference count; each call works on its own
// stack.
#pragma once

#include "interface/method_frame.h"
#include "interface/sys_event_interface.h"
#include "platform/com/com_object.h"
#include "platform/com/dispatch_impl.h"
#include "platform/com/support_error_info.h"
#include "quality/rules/sys_event.h"

template <class Body>
class CSysEventT : public korvalis::com::ComObjectRoot,
                   public korvalis::com::DispatchImpl<ISysEvent, kISysEventInfo>,
                   public korvalis::com::SupportErrorInfoImpl<IID_ISysEvent> {
 public:
  static std::span<const korvalis::com::InterfaceMapEntry> InterfaceMap() {
    using korvalis::com::MapEntry;
    static constexpr korvalis::com::InterfaceMapEntry kMap[] = {
        MapEntry<CSysEventT, ISysEvent>(IID_ISysEvent),
        MapEntry<CSysEventT, IDispatch>(IID_IDispatch),
        MapEntry<CSysEventT, ISupportErrorInfo>(IID_ISupportErrorInfo)};
    return kMap;
  }

  // Present in the interface; does nothing and leaves its results as the caller set them.
  HRESULT InitNew(BSTR, BSTR*) override { return S_OK; }

  // Present in the interface; does nothing and leaves its results as the caller set them.
  HRESULT GetProperty(BSTR, BSTR*) override { return S_OK; }

  // Present in the interface; does nothing and leaves its results as the caller set them.
  HRESULT SaveProperty(BSTR, BSTR) override { return S_OK; }

  // Present in the interface; does nothing and leaves its results as the caller set them.
  HRESULT Delete(BSTR) override { return S_OK; }

  HRESULT GetEventRuleList(BSTR bstrEventCode, LONG lngOwnerType, BSTR* pbstrList) override {
    return korvalis::frame::Run(
        kNoVote, "CSysEvent::GetEventRuleList", [&](CEMRDataSource* pDataSource) {
          Body::GetEventRuleList(pDataSource, bstrEventCode, lngOwnerType, pbstrList);
        });
  }

  HRESULT SetEventRuleList(BSTR bstrEventCode, LONG lngOwnerType, BSTR bstrList) override {
    return korvalis::frame::Run(
        kVote, "CSysEvent::SetEventRuleList", [&](CEMRDataSource* pDataSource) {
          Body::SetEventRuleList(pDataSource, bstrEventCode, lngOwnerType, bstrList);
        });
  }

  HRESULT AddEventRule(BSTR bstrEventCode, LONG lngRuleID, LONG lngOwnerType) override {
    return korvalis::frame::Run(kVote, "CSysEvent::AddEventRule", [&](CEMRDataSource* pDataSource) {
      Body::AddEventRule(pDataSource, bstrEventCode, lngRuleID, lngOwnerType);
    });
  }

  HRESULT DeleteEventRule(BSTR bstrEventCode, LONG lngRuleID, LONG lngOwnerType) override {
    return korvalis::frame::Run(
        kVote, "CSysEvent::DeleteEventRule", [&](CEMRDataSource* pDataSource) {
          Body::DeleteEventRule(pDataSource, bstrEventCode, lngRuleID, lngOwnerType);
        });
  }

  HRESULT GetOpposeEvent(BSTR bstrEventCode, BSTR* pbstrCode) override {
    return korvalis::frame::Run(kNoVote, "CSysEvent::GetOpposeEvent",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetOpposeEvent(pDataSource, bstrEventCode, pbstrCode);
                                });
  }

 protected:
  ~CSysEventT() = default;

 private:
  static constexpr korvalis::frame::Vote kVote = korvalis::frame::Vote::kYes;
  static constexpr korvalis::frame::Vote kNoVote = korvalis::frame::Vote::kNo;
};

using CSysEvent = CSysEventT<CBSysEvent>;
extern template class CSysEventT<CBSysEvent>;

// Creates one SysEvent object; refuses an outer object.
HRESULT CreateSysEvent(IUnknown* outer, REFIID riid, void** ppv);
