// IRepository: the dual interface of the automation class Repository, the knowledge-base
// repository: catalogues, items, structures, elements, department distribution and reference
// configuration.
//
// The methods follow the three IUnknown and four IDispatch slots in dispatch-identifier order;
// kIRepositoryInfo describes them to late-bound callers. Parameter names are those that clients
// pass as named arguments.
//
// Thread-safety: as the threading model registered for Repository ("Both") allows.
#pragma once

#include "platform/com/dispatch.h"
#include "platform/com/type_info_table.h"

inline constexpr GUID IID_IRepository =
    korvalis::com::MakeGuid("F97D6406-DBB4-4F81-BE15-D2A3D3257228");
inline constexpr GUID CLSID_Repository =
    korvalis::com::MakeGuid("C4D99C61-B661-437C-B68A-3181D336A7C8");

struct IRepository : IDispatch {
  virtual HRESULT SetVktCatalog(BSTR bstrProperty, BSTR* pbstrCatalogID) = 0;
  virtual HRESULT DelVktCatalog(BSTR bstrID) = 0;
  virtual HRESULT GetVktCatalogList(BSTR bstrCondition, BSTR* pbstrCatalogList) = 0;
  virtual HRESULT SetVktItem(BSTR bstrProperty, BSTR* pbstrItemID) = 0;
  virtual HRESULT DelVktItem(BSTR bstrCondition) = 0;
  virtual HRESULT GetVktItemList(BSTR bstrCondition, BSTR* pbstrItemList) = 0;
  virtual HRESULT SetVktStructure(BSTR bstrProperty, BSTR* pbstrStructureID) = 0;
  virtual HRESULT DelVktStructure(BSTR bstrID) = 0;
  virtual HRESULT GetVktStructure(BSTR bstrCondition, BSTR* pbstrStructure) = 0;
  virtual HRESULT SetVktElement(BSTR bstrProperty) = 0;
  virtual HRESULT DelVktElement(BSTR bstrCondition) = 0;
  virtual HRESULT GetVktElementList(BSTR bstrCondition, BSTR* pbstrElemList) = 0;
  virtual HRESULT GetVktDistriCatalog(BSTR bstrCondition, BSTR* pbstrCatalogList) = 0;
  virtual HRESULT AddVktDistriCatalog(BSTR bstrCondition) = 0;
  virtual HRESULT DelVktDistriCatalog(BSTR bstrCondition) = 0;
  virtual HRESULT GetVktRfConfig(BSTR bstrCondition, BSTR* pbstrElemList) = 0;
  virtual HRESULT SetVktRfConfig(BSTR bstrCondition, BSTR* pbstrTemplateID) = 0;
  virtual HRESULT DelVktRfConfig(BSTR bstrCondition) = 0;
  virtual HRESULT GetVktCatalogListByDept(BSTR bstrCondition, BSTR* pbstrCatalogList) = 0;

 protected:
  ~IRepository() = default;
};

extern const korvalis::com::InterfaceInfo kIRepositoryInfo;
