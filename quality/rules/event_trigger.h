// CBEventTrigger: the bodies behind the automation class EventTrigger: the entry through which a
// registered event reaches the time-limit QC rules.
//
// The method wrappers of CEventTrigger call each member with the call's data source first and the
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

class CBEventTrigger {
 public:
  static long OnSysEvent(CEMRDataSource* pDataSource, BSTR bstrEventInfo);
};
