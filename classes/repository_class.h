// CRepository: the automation class Repository, the knowledge-base repository: catalogues, items,
// structures, elements, department distribution and reference configuration. Each method is a
// wrapper that gives the call its own data source (and, for the methods that vote, a vote on the
// call's transaction), hands its arguments unchanged to the body CBRepository::<Method> and turns a
// failure into the thread's error information and E_FAIL.
//
// The class is a template over its business class so that tests can put a recording body in its
// place; CRepository is the class the library creates.
//
// Thread-safety: an object has no state but its atomic reference count; each call works on its own
// stack.
#pragma once

#include "interface/method_frame.h"
#include "interface/repository_interface.h"
#include "platform/com/com_object.h"
#include "platform/com/dispatch_impl.h"
#include "report/repository.h"

template <class Body>
class CRepositoryT : public korvalis::com::ComObjectRoot,
                     public korvalis::com::DispatchImpl<IRepository, kIRepositoryInfo> {
 public:
  static std::span<const korvalis::com::InterfaceMapEntry> InterfaceMap() {
    using korvalis::com::MapEntry;
    static constexpr korvalis::com::InterfaceMapEntry kMap[] = {
        MapEntry<CRepositoryT, IRepository>(IID_IRepository),
        MapEntry<CRepositoryT, IDispatch>(IID_IDispatch)};
    return kMap;
  }

  HRESULT SetVktCatalog(BSTR bstrProperty, BSTR* pbstrCatalogID) override {
    return korvalis::frame::Run(kVote, "CRepository::SetVktCatalog",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::SetVktCatalog(pDataSource, bstrProperty, pbstrCatalogID);
                                });
  }

  HRESULT DelVktCatalog(BSTR bstrID) override {
    return korvalis::frame::Run(
        kVote, "CRepository::DelVktCatalog",
        [&](CEMRDataSource* pDataSource) { Body::DelVktCatalog(pDataSource, bstrID); });
  }

  HRESULT GetVktCatalogList(BSTR bstrCondition, BSTR* pbstrCatalogList) override {
    return korvalis::frame::Run(
        kNoVote, "CRepository::GetVktCatalogList", [&](CEMRDataSource* pDataSource) {
          Body::GetVktCatalogList(pDataSource, bstrCondition, pbstrCatalogList);
        });
  }

  HRESULT SetVktItem(BSTR bstrProperty, BSTR* pbstrItemID) override {
    return korvalis::frame::Run(kVote, "CRepository::SetVktItem", [&](CEMRDataSource* pDataSource) {
      Body::SetVktItem(pDataSource, bstrProperty, pbstrItemID);
    });
  }

  HRESULT DelVktItem(BSTR bstrCondition) override {
    return korvalis::frame::Run(kVote, "CRepository::DelVktItem", [&](CEMRDataSource* pDataSource) {
      Body::DelVktItem(pDataSource, bstrCondition);
    });
  }

  HRESULT GetVktItemList(BSTR bstrCondition, BSTR* pbstrItemList) override {
    return korvalis::frame::Run(kNoVote, "CRepository::GetVktItemList",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetVktItemList(pDataSource, bstrCondition, pbstrItemList);
                                });
  }

  HRESULT SetVktStructure(BSTR bstrProperty, BSTR* pbstrStructureID) override {
    return korvalis::frame::Run(
        kVote, "CRepository::SetVktStructure", [&](CEMRDataSource* pDataSource) {
          Body::SetVktStructure(pDataSource, bstrProperty, pbstrStructureID);
        });
  }

  HRESULT DelVktStructure(BSTR bstrID) override {
    return korvalis::frame::Run(
        kVote, "CRepository::DelVktStructure",
        [&](CEMRDataSource* pDataSource) { Body::DelVktStructure(pDataSource, bstrID); });
  }

  HRESULT GetVktStructure(BSTR bstrCondition, BSTR* pbstrStructure) override {
    return korvalis::frame::Run(kNoVote, "CRepository::GetVktStructure",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetVktStructure(pDataSource, bstrCondition, pbstrStructure);
                                });
  }

  HRESULT SetVktElement(BSTR bstrProperty) override {
    return korvalis::frame::Run(
        kVote, "CRepository::SetVktElement",
        [&](CEMRDataSource* pDataSource) { Body::SetVktElement(pDataSource, bstrProperty); });
  }

  HRESULT DelVktElement(BSTR bstrCondition) override {
    return korvalis::frame::Run(
        kVote, "CRepository::DelVktElement",
        [&](CEMRDataSource* pDataSource) { Body::DelVktElement(pDataSource, bstrCondition); });
  }

  HRESULT GetVktElementList(BSTR bstrCondition, BSTR* pbstrElemList) override {
    return korvalis::frame::Run(
        kNoVote, "CRepository::GetVktElementList", [&](CEMRDataSource* pDataSource) {
          Body::GetVktElementList(pDataSource, bstrCondition, pbstrElemList);
        });
  }

  HRESULT GetVktDistriCatalog(BSTR bstrCondition, BSTR* pbstrCatalogList) override {
    return korvalis::frame::Run(
        kNoVote, "CRepository::GetVktDistriCatalog", [&](CEMRDataSource* pDataSource) {
          Body::GetVktDistriCatalog(pDataSource, bstrCondition, pbstrCatalogList);
        });
  }

  HRESULT AddVktDistriCatalog(BSTR bstrCondition) override {
    return korvalis::frame::Run(kVote, "CRepository::AddVktDistriCatalog",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::AddVktDistriCatalog(pDataSource, bstrCondition);
                                });
  }

  HRESULT DelVktDistriCatalog(BSTR bstrCondition) override {
    return korvalis::frame::Run(kVote, "CRepository::DelVktDistriCatalog",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::DelVktDistriCatalog(pDataSource, bstrCondition);
                                });
  }

  HRESULT GetVktRfConfig(BSTR bstrCondition, BSTR* pbstrElemList) override {
    return korvalis::frame::Run(kNoVote, "CRepository::GetVktRfConfig",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetVktRfConfig(pDataSource, bstrCondition, pbstrElemList);
                                });
  }

  HRESULT SetVktRfConfig(BSTR bstrCondition, BSTR* pbstrTemplateID) override {
    return korvalis::frame::Run(kVote, "CRepository::SetVktRfConfig",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::SetVktRfConfig(pDataSource, bstrCondition, pbstrTemplateID);
                                });
  }

  HRESULT DelVktRfConfig(BSTR bstrCondition) override {
    return korvalis::frame::Run(
        kVote, "CRepository::DelVktRfConfig",
        [&](CEMRDataSource* pDataSource) { Body::DelVktRfConfig(pDataSource, bstrCondition); });
  }

  HRESULT GetVktCatalogListByDept(BSTR bstrCondition, BSTR* pbstrCatalogList) override {
    return korvalis::frame::Run(
        kNoVote, "CRepository::GetVktCatalogListByDept", [&](CEMRDataSource* pDataSource) {
          Body::GetVktCatalogListByDept(pDataSource, bstrCondition, pbstrCatalogList);
        });
  }

 protected:
  ~CRepositoryT() = default;

 private:
  static constexpr korvalis::frame::Vote kVote = korvalis::frame::Vote::kYes;
  static constexpr korvalis::frame::Vote kNoVote = korvalis::frame::Vote::kNo;
};

using CRepository = CRepositoryT<CBRepository>;
extern template class CRepositoryT<CBRepository>;

// Creates one Repository object; refuses an outer object.
HRESULT CreateRepository(IUnknown* outer, REFIID riid, void** ppv);
