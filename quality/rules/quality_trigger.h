// CBQualityTrigger: the bodies behind the automation class QualityTrigger: the clinical events that
// open and close time-limit rule instances.
//
// The method wrappers of CQualityTrigger call each member with the call's data source first and the
// interface arguments unchanged and in their order, result pointers last. A member returns 0, which
// the wrapper ignores, writes its results only through those pointers and fails by throwing
// CEMRException.
//
// The trigger decides which rules an event reaches and in which order the engine
// (quality_rule.h) and the instance primitives (rule_instances.h) run; the bookkeeping of the
// instances is theirs. An event opens the live rules bound to its code in relation 1 (those with
// at least one EMR type), each instance closed at once when the visit already holds a matching
// record and the rules it opposes undone; it cancels the instances of the rules bound in
// relation 3. A record written closes the visit's open instances of the rules of its EMR type,
// each followed, while the visit is in hospital, by the next instance from the closed one's
// deadline.
//
// The event document is read as rule_documents.h reads it; a document without a document element
// is refused with "无效XML!". Values placed bare in a statement (the EMR type of a closing
// event, rule ids) are refused with SqlNumber's message before any statement runs.
//
// Thread-safety: static members without state of their own; concurrent calls work on
// their own data sources.
#pragma once

#include "platform/com/bstr.h"
#include "platform/com/types.h"

class CEMRDataSource;

class CBQualityTrigger {
 public:
  // Opens an instance of every live rule bound to the event's `code` in relation 1 that has an
  // EMR type, in the order the bindings are listed; see the top of this file.
  static long FireOpen(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                       BSTR bstrEventPro);
  // Closes, once per open instance of the visit whose rule covers the EMR type of the event's
  // record (`emr_type` under `extend`), the rule's earliest open instance by that record (so two
  // open instances of one rule are both closed); after each close, unless the rule's quantity
  // is "1" or the visit has left hospital, opens the rule's next instance from the closed one's
  // deadline (none after a reopened instance of a rule of quantity "0"), resumes one suspended
  // instance of the rule, and resumes the rules that the closed instance's opening event
  // cancels once no reopened instance of that event stays open.
  static long FireClose(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                        BSTR bstrEventPro);
  // Hands the event to CBQualityRule::ReOpen; the patient and the visit are read from the event
  // document there.
  static long ReFireOpen(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                         BSTR bstrEventInfo);
};

// Removes the instances in the visit of every live rule bound to the event's `code` in
// relation 3: the open and suspended ones, or every one for a rule of quantity "1"; only those
// of the event's record when it names one (`emr_id` under `extend`).
void CancelRulesOfEvent(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                        BSTR bstrEventPro);
