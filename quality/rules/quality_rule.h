// CBQualityRule: the bodies behind the automation class QualityRule: the time-limit rule catalogue
// (rule properties and relations, rule_properties.cpp) and the engine that opens, closes, undoes
// and reopens the rule instances of a patient visit (quality_rule.cpp; the instance states are
// drawn in rule_instances.h).
//
// The method wrappers of CQualityRule call each member with the call's data source first and the
// interface arguments unchanged and in their order, result pointers last. A member returns 0, which
// the wrapper ignores, writes its results only through those pointers and fails by throwing
// CEMRException. Close also answers in-process callers through its result (below).
//
// The quality trigger drives the engine from clinical events: Open with the rule property
// document of GetProperty, AutoCloseByExistingEmr right after it, Close per open instance of a
// closing event, Undo for the rules an opening rule opposes and ReOpen for a deleted record.
//
// Thread-safety: static members without state of their own; concurrent calls work on
// their own data sources.
#pragma once

#include "foundation/text/string_util.h"
#include "platform/com/bstr.h"
#include "platform/com/types.h"

class CEMRDataSource;
class CSingleDataSource;

class CBQualityRule {
 public:
  // ---- rule_properties.cpp ----
  // Creates a live rule from its property document (the next id, its sort code the id padded
  // to five digits, its `emr_type` as link rows) and stores its id through `plngNewID`.
  static long InitNew(CEMRDataSource* pDataSource, BSTR bstrProperty, LONG* plngNewID);

  // The property document of a live rule (see rule_properties.cpp); for a deleted or unknown
  // rule "<?xml version='1.0' ?><root/>".
  static long GetProperty(CEMRDataSource* pDataSource, LONG lngRule, BSTR* pbstrProperty);

  // Writes every property of the document; the rule's link rows become those of its
  // `emr_type` (none when it has none).
  static long SaveProperty(CEMRDataSource* pDataSource, LONG lngRule, BSTR bstrProperty);

  // Deletes the rule: its open instances in every visit are undone, its relations, bindings
  // and link rows removed, and the rule is marked deleted.
  static long Delete(CEMRDataSource* pDataSource, LONG lngRule);

  // The rules related to the rule in the relation: under `root` one element `rule` each, its
  // text the related rule's name and its attribute `id` its id.
  static long GetRelationRuleList(CEMRDataSource* pDataSource, LONG lngRule, LONG lngRelationType,
                                  BSTR* pbstrList);

  // Replaces the rule's relations of the type by one per element `rule` of the list (its text
  // the related rule's id, at any depth); a list that is not well-formed XML is refused with
  // "无效XML!" and changes nothing.
  static long SaveRelationRuleList(CEMRDataSource* pDataSource, LONG lngRule, LONG lngRelationType,
                                   BSTR bstrList);

  // ---- quality_rule.cpp ----
  // Opens an instance of the rule (its property document) for the event in the visit and
  // stores its serial through `plngSerial`, which is left as the caller set it when the gates
  // open none: an open instance of the rule (of quantity "0"), or one started at the same
  // time; the quantity reached; suspended instances, which are opened again instead. A trigger
  // time that is not a date, and a superior-signature event without record or superior, are
  // written to the event log and open nothing.
  static long Open(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                   BSTR bstrRulePro, BSTR bstrEventPro, LONG* plngSerial);

  // Closes the open instance of the rule with the earliest start by the event's record.
  // Returns 0 and stores the closed instance's serial through `plngClosedSerial` (when not
  // null); returns E_FAIL and stores nothing when it closed none: no open instance, the
  // record already closed one of the rule, or a quantity-"0" instance that starts after the
  // event.
  static long Close(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                    BSTR bstrRuleId, BSTR bstrEventPro, LONG* plngClosedSerial);

  // Undoes the open instances of the rule in the visit (those of the record `bstrEMRID` when
  // given); with `bReserveOutTimeRule` only those whose deadline is still ahead of the suite's
  // date and time (GetSystemDateTime), so that overdue instances stay open.
  static long Undo(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                   BSTR bstrRuleId, BSTR bstrEMRID, VARIANT_BOOL bReserveOutTimeRule);

  // A record was deleted (the event's `emr_id` under `extend`): its superior-signature
  // instances are removed and the instances it closed are opened again in their own visits,
  // keeping their deadlines; one of a rule of quantity "1" is closed at once by another record
  // when there is one, otherwise the other open instances of its rule, and one of each rule
  // its opening event cancels, are suspended until it is closed again.
  static long ReOpen(CEMRDataSource* pDataSource, BSTR bstrEventInfo);

  // Opens the undone instances of the rule in the visit again.
  static long ReOpenUndo(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                         BSTR bstrRuleId);
};

// Closes the instance `serial` of the visit at once by a live record of the visit of one of
// its rule's EMR types that has not closed an instance of the rule yet (the first the
// database lists), with the record's confirmation time and creator and OVER_HOUR 0. Nothing
// for the event codes "V03", "V04" and "V05", an instance that does not exist, or a rule of
// quantity "0". True when it closed the instance.
bool AutoCloseByExistingEmr(CSingleDataSource* pDataSource, korvalis::TextRef patient_id,
                            korvalis::TextRef event_no, long serial, korvalis::TextRef event_code);
