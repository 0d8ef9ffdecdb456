// CBQualityTrigger: the bodies behind the automation class QualityTrigger: the clinical events that
// open and close time-limit rule instances.
//
// The method wrappers of CQualityTrigger call each member with the call's data source first and the
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

class CBQualityTrigger {
 public:
  static long FireOpen(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                       BSTR bstrEventPro);
  static long FireClose(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                        BSTR bstrEventPro);
  static long ReFireOpen(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                         BSTR bstrEventInfo);
};
