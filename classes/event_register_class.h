// CEventRegister: the automation class EventRegister, the register of the clinical events that the
// suite reports. Each method is a wrapper that gives the call its own data source (and, for the
// methods that vote, a vote on the call's transaction), hands its arguments unchanged to the body
// CBEventRegister::<Method> and turns a failure into the thread's error information and E_FAIL.
//
// RegisterEvent and RegisterEvent2 run the same body, the first with a vote and the second without.
//
// The class is a template over its business class so that tests can put a recording body in its
// place; CEventRegister is the class the library creates.
//
// Thread-safety: an object has no state but its atomic reference count; each call works on its own
// stack.
#pragma once

#include "interface/event_register_interface.h"
#include "interface/method_frame.h"
#include "platform/com/com_object.h"
#include "platform/com/dispatch_impl.h"
#include "platform/com/support_error_info.h"
#include "quality/rules/event_register.h"

template <class Body>
class CEventRegisterT : public korvalis::com::ComObjectRoot,
                        public korvalis::com::DispatchImpl<IEventRegister, kIEventRegisterInfo>,
                        public korvalis::com::SupportErrorInfoImpl<IID_IEventRegister> {
 public:
  static std::span<const korvalis::com::InterfaceMapEntry> InterfaceMap() {
    using korvalis::com::MapEntry;
    static constexpr korvalis::com::InterfaceMapEntry kMap[] = {
        MapEntry<CEventRegisterT, IEventRegister>(IID_IEventRegister),
        MapEntry<CEventRegisterT, IDispatch>(IID_IDispatch),
        MapEntry<CEventRegisterT, ISupportErrorInfo>(IID_ISupportErrorInfo)};
    return kMap;
  }

  HRESULT RegisterEvent(BSTR bstrEventInfo, BSTR* pbstrReturnInfo) override {
    return korvalis::frame::Run(kVote, "CEventRegister::RegisterEvent",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::RegisterEvent(pDataSource, bstrEventInfo, pbstrReturnInfo);
                                });
  }

  HRESULT GetRegisterEventList(BSTR bstrCondition, BSTR* pbstrEventList) override {
    return korvalis::frame::Run(
        kNoVote, "CEventRegister::GetRegisterEventList", [&](CEMRDataSource* pDataSource) {
          Body::GetRegisterEventList(pDataSource, bstrCondition, pbstrEventList);
        });
  }

  HRESULT RegisterEvent2(BSTR bstrEventInfo, BSTR* pbstrReturnInfo) override {
    return korvalis::frame::Run(kNoVote, "CEventRegister::RegisterEvent2",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::RegisterEvent(pDataSource, bstrEventInfo, pbstrReturnInfo);
                                });
  }

  HRESULT UnRegisterEvent(BSTR bstrEventInfo, BSTR* pbstrReturnInfo) override {
    return korvalis::frame::Run(
        kVote, "CEventRegister::UnRegisterEvent", [&](CEMRDataSource* pDataSource) {
          Body::UnRegisterEvent(pDataSource, bstrEventInfo, pbstrReturnInfo);
        });
  }

 protected:
  ~CEventRegisterT() = default;

 private:
  static constexpr korvalis::frame::Vote kVote = korvalis::frame::Vote::kYes;
  static constexpr korvalis::frame::Vote kNoVote = korvalis::frame::Vote::kNo;
};

using CEventRegister = CEventRegisterT<CBEventRegister>;
extern template class CEventRegisterT<CBEventRegister>;

// Creates one EventRegister object; accepts an outer object that asks for IUnknown.
HRESULT CreateEventRegister(IUnknown* outer, REFIID riid, void** ppv);
