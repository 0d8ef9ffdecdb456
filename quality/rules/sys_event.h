// CBSysEvent: the bodies behind the automation class SysEvent: the quality rules that a system
// event opens or closes, and the events that oppose an event.
//
// The method wrappers of CSysEvent call each member with the call's data source first and the
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

class CBSysEvent {
 public:
  static long GetEventRuleList(CEMRDataSource* pDataSource, BSTR bstrEventCode, LONG lngOwnerType,
                               BSTR* pbstrList);
  static long SetEventRuleList(CEMRDataSource* pDataSource, BSTR bstrEventCode, LONG lngOwnerType,
                               BSTR bstrList);
  static long AddEventRule(CEMRDataSource* pDataSource, BSTR bstrEventCode, LONG lngRuleID,
                           LONG lngOwnerType);
  static long DeleteEventRule(CEMRDataSource* pDataSource, BSTR bstrEventCode, LONG lngRuleID,
                              LONG lngOwnerType);
  static long GetOpposeEvent(CEMRDataSource* pDataSource, BSTR bstrEventCode, BSTR* pbstrCode);
};
