// CMonitorService: the automation class MonitorService, the watchdog tick that keeps listed
// services and programs running, and its list. Each method is a wrapper that gives the call its own
// data source (and, for the methods that vote, a vote on the call's transaction), hands its
// arguments unchanged to the body CBMonitorService::<Method> and turns a failure into the thread's
// error information and E_FAIL.
//
// The class is a template over its business class so that tests can put a recording body in its
// place; CMonitorService is the class the library creates.
//
// Thread-safety: an object has no state but its atomic reference count; each call works on its own
// stack.
#pragma once

#include "interface/method_frame.h"
#include "interface/monitor_service_interface.h"
#include "platform/com/com_object.h"
#include "platform/com/dispatch_impl.h"
#include "report/monitor_service.h"

template <class Body>
class CMonitorServiceT : public korvalis::com::ComObjectRoot,
                         public korvalis::com::DispatchImpl<IMonitorService, kIMonitorServiceInfo> {
 public:
  static std::span<const korvalis::com::InterfaceMapEntry> InterfaceMap() {
    using korvalis::com::MapEntry;
    static constexpr korvalis::com::InterfaceMapEntry kMap[] = {
        MapEntry<CMonitorServiceT, IMonitorService>(IID_IMonitorService),
        MapEntry<CMonitorServiceT, IDispatch>(IID_IDispatch)};
    return kMap;
  }

  HRESULT MonitorService() override {
    return korvalis::frame::Run(
        kVote, "CMonitorService::MonitorService",
        [&](CEMRDataSource* pDataSource) { Body::MonitorService(pDataSource); });
  }

  HRESULT AddServiceList(BSTR bstrServiceList) override {
    return korvalis::frame::Run(
        kVote, "CMonitorService::AddServiceList",
        [&](CEMRDataSource* pDataSource) { Body::AddServiceList(pDataSource, bstrServiceList); });
  }

  HRESULT GetServiceList(BSTR bstrCondition, BSTR* pbstrList) override {
    return korvalis::frame::Run(kVote, "CMonitorService::GetServiceList",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetServiceList(pDataSource, bstrCondition, pbstrList);
                                });
  }

  HRESULT DeleteServiceList(BSTR bstrServiceList) override {
    return korvalis::frame::Run(kVote, "CMonitorService::DeleteServiceList",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::DeleteServiceList(pDataSource, bstrServiceList);
                                });
  }

 protected:
  ~CMonitorServiceT() = default;

 private:
  static constexpr korvalis::frame::Vote kVote = korvalis::frame::Vote::kYes;
  static constexpr korvalis::frame::Vote kNoVote = korvalis::frame::Vote::kNo;
};

using CMonitorService = CMonitorServiceT<CBMonitorService>;
extern template class CMonitorServiceT<CBMonitorService>;

// Creates one MonitorService object; refuses an outer object.
HRESULT CreateMonitorService(IUnknown* outer, REFIID riid, void** ppv);
