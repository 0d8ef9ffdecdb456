// CEMRDictT: the automation class EMRDictT, the dictionaries configured as XML and the data query
// that a dictionary describes. Each method is a wrapper that gives the call its own data source
// (and, for the methods that vote, a vote on the call's transaction), hands its arguments unchanged
// to the body CBEMRDictT::<Method> and turns a failure into the thread's error information and
// E_FAIL.
//
// The class is a template over its business class so that tests can put a recording body in its
// place; CEMRDictT is the class the library creates.
//
// Thread-safety: an object has no state but its atomic reference count; each call works on its own
// stack.
#pragma once

#include "archive/emr_dict_t.h"
#include "interface/emr_dict_t_interface.h"
#include "interface/method_frame.h"
#include "platform/com/com_object.h"
#include "platform/com/dispatch_impl.h"

template <class Body>
class CEMRDictTT : public korvalis::com::ComObjectRoot,
                   public korvalis::com::DispatchImpl<IEMRDictT, kIEMRDictTInfo> {
 public:
  static std::span<const korvalis::com::InterfaceMapEntry> InterfaceMap() {
    using korvalis::com::MapEntry;
    static constexpr korvalis::com::InterfaceMapEntry kMap[] = {
        MapEntry<CEMRDictTT, IEMRDictT>(IID_IEMRDictT),
        MapEntry<CEMRDictTT, IDispatch>(IID_IDispatch)};
    return kMap;
  }

  HRESULT NewDict(BSTR bstrProperty) override {
    return korvalis::frame::Run(kVote, "CEMRDictT::NewDict", [&](CEMRDataSource* pDataSource) {
      Body::NewDict(pDataSource, bstrProperty);
    });
  }

  HRESULT GetDictByDictName(BSTR bstrDictName, BSTR* pbstrDictProperty) override {
    return korvalis::frame::Run(
        kNoVote, "CEMRDictT::GetDictByDictName", [&](CEMRDataSource* pDataSource) {
          Body::GetDictByDictName(pDataSource, bstrDictName, pbstrDictProperty);
        });
  }

  HRESULT SetDictContent(BSTR bstrDictName, BSTR bstrDictContent) override {
    return korvalis::frame::Run(kVote, "CEMRDictT::SetDictContent",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::SetDictContent(pDataSource, bstrDictName, bstrDictContent);
                                });
  }

  HRESULT GetDictContent(BSTR bstrDictName, BSTR* pbstrDictContent) override {
    return korvalis::frame::Run(kNoVote, "CEMRDictT::GetDictContent",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetDictContent(pDataSource, bstrDictName, pbstrDictContent);
                                });
  }

  HRESULT GetDataList(BSTR bstrDictName, BSTR* pbstrDataList) override {
    return korvalis::frame::Run(kNoVote, "CEMRDictT::GetDataList",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetDataList(pDataSource, bstrDictName, pbstrDataList);
                                });
  }

  HRESULT GetDictList(BSTR* pbstrDictList) override {
    return korvalis::frame::Run(
        kNoVote, "CEMRDictT::GetDictList",
        [&](CEMRDataSource* pDataSource) { Body::GetDictList(pDataSource, pbstrDictList); });
  }

  HRESULT DeleteDictByName(BSTR bstrDictName) override {
    return korvalis::frame::Run(
        kVote, "CEMRDictT::DeleteDictByName",
        [&](CEMRDataSource* pDataSource) { Body::DeleteDictByName(pDataSource, bstrDictName); });
  }

  HRESULT SetDictName(BSTR bstrDictList) override {
    return korvalis::frame::Run(kVote, "CEMRDictT::SetDictName", [&](CEMRDataSource* pDataSource) {
      Body::SetDictName(pDataSource, bstrDictList);
    });
  }

 protected:
  ~CEMRDictTT() = default;

 private:
  static constexpr korvalis::frame::Vote kVote = korvalis::frame::Vote::kYes;
  static constexpr korvalis::frame::Vote kNoVote = korvalis::frame::Vote::kNo;
};

using CEMRDictT = CEMRDictTT<CBEMRDictT>;
extern template class CEMRDictTT<CBEMRDictT>;

// Creates one EMRDictT object; refuses an outer object.
HRESULT CreateEMRDictT(IUnknown* outer, REFIID riid, void** ppv);
