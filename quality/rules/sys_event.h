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

#include <string>
#include <vector>

#include "foundation/text/string_util.h"
#include "platform/com/bstr.h"
#include "platform/com/types.h"

class CEMRDataSource;

class CBSysEvent {
 public:
  // The live rules bound to the event code in the relation `lngOwnerType` (1 the event opens
  // the rule, 3 it cancels the rule's instances): under `root` one element `id` per binding,
  // its text the rule id and its attribute `name` the rule's name; a rule bound twice is
  // listed twice.
  static long GetEventRuleList(CEMRDataSource* pDataSource, BSTR bstrEventCode, LONG lngOwnerType,
                               BSTR* pbstrList);
  // Adds a binding for the text of every element `id` of the list, at any depth; the bindings
  // already there stay, so a list saved twice binds its rules twice. Every id is checked to
  // be a number before the first binding is written; a list that is not well-formed XML is
  // refused with "无效XML!".
  static long SetEventRuleList(CEMRDataSource* pDataSource, BSTR bstrEventCode, LONG lngOwnerType,
                               BSTR bstrList);
  // Binds the rule to the event in this relation only: its other bindings to the event go.
  static long AddEventRule(CEMRDataSource* pDataSource, BSTR bstrEventCode, LONG lngRuleID,
                           LONG lngOwnerType);
  static long DeleteEventRule(CEMRDataSource* pDataSource, BSTR bstrEventCode, LONG lngRuleID,
                              LONG lngOwnerType);
  // One event code that opposes the given one, whichever column holds it; "" when none does.
  static long GetOpposeEvent(CEMRDataSource* pDataSource, BSTR bstrEventCode, BSTR* pbstrCode);
};

// The relations of an event to a rule in PEV_EVENT_RULE.
inline constexpr LONG kEventOpensRule = 1;
inline constexpr LONG kEventCancelsRule = 3;

// The ids of the live rules bound to the event code in the relation, as GetEventRuleList lists
// them (a rule bound twice twice), in its order.
std::vector<std::u16string> EventRuleIds(CEMRDataSource* pDataSource, korvalis::TextRef event_code,
                                         LONG relation);
