// CFunctionAdmin: the automation class FunctionAdmin, the configurable menu items of the client
// applications and their groups. Each method is a wrapper that gives the call its own data source
// (and, for the methods that vote, a vote on the call's transaction), hands its arguments unchanged
// to the body CBFunctionAdmin::<Method> and turns a failure into the thread's error information and
// E_FAIL.
//
// The class is a template over its business class so that tests can put a recording body in its
// place; CFunctionAdmin is the class the library creates.
//
// Thread-safety: an object has no state but its atomic reference count; each call works on its own
// stack.
#pragma once

#include "interface/function_admin_interface.h"
#include "interface/method_frame.h"
#include "platform/com/com_object.h"
#include "platform/com/dispatch_impl.h"
#include "report/function_admin.h"

template <class Body>
class CFunctionAdminT : public korvalis::com::ComObjectRoot,
                        public korvalis::com::DispatchImpl<IFunctionAdmin, kIFunctionAdminInfo> {
 public:
  static std::span<const korvalis::com::InterfaceMapEntry> InterfaceMap() {
    using korvalis::com::MapEntry;
    static constexpr korvalis::com::InterfaceMapEntry kMap[] = {
        MapEntry<CFunctionAdminT, IFunctionAdmin>(IID_IFunctionAdmin),
        MapEntry<CFunctionAdminT, IDispatch>(IID_IDispatch)};
    return kMap;
  }

  HRESULT GetFunctionConfig(BSTR bstrCondition, BSTR* pbstrList) override {
    return korvalis::frame::Run(kVote, "CFunctionAdmin::GetFunctionConfig",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetFunctionConfig(pDataSource, bstrCondition, pbstrList);
                                });
  }

  HRESULT SetFunctionConfig(BSTR bstrCondition) override {
    return korvalis::frame::Run(
        kVote, "CFunctionAdmin::SetFunctionConfig",
        [&](CEMRDataSource* pDataSource) { Body::SetFunctionConfig(pDataSource, bstrCondition); });
  }

  HRESULT DelFunctionConfig(BSTR bstrCondition) override {
    return korvalis::frame::Run(
        kVote, "CFunctionAdmin::DelFunctionConfig",
        [&](CEMRDataSource* pDataSource) { Body::DelFunctionConfig(pDataSource, bstrCondition); });
  }

  HRESULT SetFunctionGroup(BSTR bstrCondition, BSTR* pbstrId) override {
    return korvalis::frame::Run(kVote, "CFunctionAdmin::SetFunctionGroup",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::SetFunctionGroup(pDataSource, bstrCondition, pbstrId);
                                });
  }

  HRESULT DelFunctionGroup(BSTR bstrCondition) override {
    return korvalis::frame::Run(
        kVote, "CFunctionAdmin::DelFunctionGroup",
        [&](CEMRDataSource* pDataSource) { Body::DelFunctionGroup(pDataSource, bstrCondition); });
  }

  HRESULT GetGroupMenu(BSTR bstrCondition, BSTR* pbstrList) override {
    return korvalis::frame::Run(kVote, "CFunctionAdmin::GetGroupMenu",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetGroupMenu(pDataSource, bstrCondition, pbstrList);
                                });
  }

 protected:
  ~CFunctionAdminT() = default;

 private:
  static constexpr korvalis::frame::Vote kVote = korvalis::frame::Vote::kYes;
  static constexpr korvalis::frame::Vote kNoVote = korvalis::frame::Vote::kNo;
};

using CFunctionAdmin = CFunctionAdminT<CBFunctionAdmin>;
extern template class CFunctionAdminT<CBFunctionAdmin>;

// Creates one FunctionAdmin object; refuses an outer object.
HRESULT CreateFunctionAdmin(IUnknown* outer, REFIID riid, void** ppv);
