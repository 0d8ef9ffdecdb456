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
  // Hands the registered event to the quality trigger by its `type` (DispatchEvent), then
  // moves it from the queue into the archive (CBEventRegister::UnRegisterEvent). An event whose
  // `id` is not registered is not handed on. A failure other than CEMRException becomes
  // "执行时限质控出错:病人ID:<p>, 住院事件号:<e>, 事件代码:<c>"; whatever fails, the event stays
  // registered (the call's work is undone with it).
  static long OnSysEvent(CEMRDataSource* pDataSource, BSTR bstrEventInfo);

  // Routes a registered event: types "1" and "4" to CBQualityTrigger::FireClose, "2" (a record
  // deleted, `emr_id` under `extend` required) to ReFireOpen, any other to FireOpen followed by
  // CancelRulesOfEvent. Refuses an event without `patient_id`, `event_no`, `code` or `id` with
  // one text naming each that is missing; does nothing for an `id` not in the queue.
  static void DispatchEvent(CEMRDataSource* pDataSource, BSTR bstrEventInfo);
};
