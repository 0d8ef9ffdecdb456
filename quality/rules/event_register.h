// CBEventRegister: the bodies behind the automation class EventRegister: the register of the
// clinical events that the suite reports.
//
// The method wrappers of CEventRegister call each member with the call's data source first and the
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

class CBEventRegister {
 public:
  static long RegisterEvent(CEMRDataSource* pDataSource, BSTR bstrEventInfo, BSTR* pbstrReturnInfo);
  static long GetRegisterEventList(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                   BSTR* pbstrEventList);
  static long UnRegisterEvent(CEMRDataSource* pDataSource, BSTR bstrEventInfo,
                              BSTR* pbstrReturnInfo);
};
