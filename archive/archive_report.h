// CBArchiveReport: the bodies behind the automation class ArchiveReport: the archive statistics:
// the in-hospital department list and the writers of documents in a date span.
//
// The method wrappers of CArchiveReport call each member with the call's data source first and the
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

class CBArchiveReport {
 public:
  static long GetInDeptList(CEMRDataSource* pDataSource, BSTR* pbstrList);
  static long GetWriterInfoList(CEMRDataSource* pDataSource, BSTR bstrStartDate, BSTR bstrEndDate,
                                BSTR bstrDeptID, BSTR bstrTempID, BSTR* pbstrList);
};
