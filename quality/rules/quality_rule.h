// CBQualityRule: the bodies behind the automation class QualityRule: the time-limit rule catalogue
// and the rule instances of a patient visit.
//
// The method wrappers of CQualityRule call each member with the call's data source first and the
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

class CBQualityRule {
 public:
  static long InitNew(CEMRDataSource* pDataSource, BSTR bstrProperty, LONG* plngNewID);
  static long GetProperty(CEMRDataSource* pDataSource, LONG lngRule, BSTR* pbstrProperty);
  static long SaveProperty(CEMRDataSource* pDataSource, LONG lngRule, BSTR bstrProperty);
  static long Delete(CEMRDataSource* pDataSource, LONG lngRule);
  static long GetRelationRuleList(CEMRDataSource* pDataSource, LONG lngRule, LONG lngRelationType,
                                  BSTR* pbstrList);
  static long SaveRelationRuleList(CEMRDataSource* pDataSource, LONG lngRule, LONG lngRelationType,
                                   BSTR bstrList);
  static long Open(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                   BSTR bstrRulePro, BSTR bstrEventPro, LONG* plngSerial);
  static long Close(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                    BSTR bstrRuleId, BSTR bstrEventPro, LONG* plngResult);
  static long Undo(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                   BSTR bstrRuleId, BSTR bstrEMRID, VARIANT_BOOL bReserveOutTimeRule);
  static long ReOpen(CEMRDataSource* pDataSource, BSTR bstrEventInfo);
  static long ReOpenUndo(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                         BSTR bstrRuleId);
};
