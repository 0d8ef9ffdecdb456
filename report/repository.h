// CBRepository: the bodies behind the automation class Repository: the knowledge-base repository:
// catalogues, items, structures, elements, department distribution and reference configuration.
//
// The method wrappers of CRepository call each member with the call's data source first and the
// interface arguments unchanged and in their order, result pointers last. A member returns 0, which
// the wrapper ignores, writes its results only through those pointers and fails by throwing
// CEMRException.
//
// Thread-safety: static members without state of their own; concurrent calls work on
// their own data sources.
#pragma once

#include "platform/com/bstr.h"
#include "platform/com/types.h"

class CEMRDataSource;

class CBRepository {
 public:
  // ---- repository_catalogs.cpp ----
  static long SetVktCatalog(CEMRDataSource* pDataSource, BSTR bstrProperty, BSTR* pbstrCatalogID);
  static long DelVktCatalog(CEMRDataSource* pDataSource, BSTR bstrID);
  static long GetVktCatalogList(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                BSTR* pbstrCatalogList);
  static long SetVktItem(CEMRDataSource* pDataSource, BSTR bstrProperty, BSTR* pbstrItemID);
  static long DelVktItem(CEMRDataSource* pDataSource, BSTR bstrCondition);
  static long GetVktItemList(CEMRDataSource* pDataSource, BSTR bstrCondition, BSTR* pbstrItemList);
  static long GetVktCatalogListByDept(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                      BSTR* pbstrCatalogList);

  // ---- repository_contents.cpp ----
  static long SetVktStructure(CEMRDataSource* pDataSource, BSTR bstrProperty,
                              BSTR* pbstrStructureID);
  static long DelVktStructure(CEMRDataSource* pDataSource, BSTR bstrID);
  static long GetVktStructure(CEMRDataSource* pDataSource, BSTR bstrCondition,
                              BSTR* pbstrStructure);
  static long SetVktElement(CEMRDataSource* pDataSource, BSTR bstrProperty);
  static long DelVktElement(CEMRDataSource* pDataSource, BSTR bstrCondition);
  static long GetVktElementList(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                BSTR* pbstrElemList);
  static long GetVktDistriCatalog(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                  BSTR* pbstrCatalogList);
  static long AddVktDistriCatalog(CEMRDataSource* pDataSource, BSTR bstrCondition);
  static long DelVktDistriCatalog(CEMRDataSource* pDataSource, BSTR bstrCondition);
  static long GetVktRfConfig(CEMRDataSource* pDataSource, BSTR bstrCondition, BSTR* pbstrElemList);
  static long SetVktRfConfig(CEMRDataSource* pDataSource, BSTR bstrCondition,
                             BSTR* pbstrTemplateID);
  static long DelVktRfConfig(CEMRDataSource* pDataSource, BSTR bstrCondition);
};
