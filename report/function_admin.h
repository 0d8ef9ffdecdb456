// CBFunctionAdmin: the bodies behind the automation class FunctionAdmin: the configurable menu
// items of the client applications and their groups.
//
// The method wrappers of CFunctionAdmin call each member with the call's data source first and the
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

class CBFunctionAdmin {
 public:
  static long GetFunctionConfig(CEMRDataSource* pDataSource, BSTR bstrCondition, BSTR* pbstrList);
  static long SetFunctionConfig(CEMRDataSource* pDataSource, BSTR bstrCondition);
  static long DelFunctionConfig(CEMRDataSource* pDataSource, BSTR bstrCondition);
  static long SetFunctionGroup(CEMRDataSource* pDataSource, BSTR bstrCondition, BSTR* pbstrId);
  static long DelFunctionGroup(CEMRDataSource* pDataSource, BSTR bstrCondition);
  static long GetGroupMenu(CEMRDataSource* pDataSource, BSTR bstrCondition, BSTR* pbstrList);
};
