// CBEMRDictT: the bodies behind the automation class EMRDictT: the dictionaries configured as XML
// and the data query that a dictionary describes.
//
// The method wrappers of CEMRDictT call each member with the call's data source first and the
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

class CBEMRDictT {
 public:
  static long NewDict(CEMRDataSource* pDataSource, BSTR bstrProperty);
  static long GetDictByDictName(CEMRDataSource* pDataSource, BSTR bstrDictName,
                                BSTR* pbstrDictProperty);
  static long SetDictContent(CEMRDataSource* pDataSource, BSTR bstrDictName, BSTR bstrDictContent);
  static long GetDictContent(CEMRDataSource* pDataSource, BSTR bstrDictName,
                             BSTR* pbstrDictContent);
  static long GetDataList(CEMRDataSource* pDataSource, BSTR bstrDictName, BSTR* pbstrDataList);
  static long GetDictList(CEMRDataSource* pDataSource, BSTR* pbstrDictList);
  static long DeleteDictByName(CEMRDataSource* pDataSource, BSTR bstrDictName);
  static long SetDictName(CEMRDataSource* pDataSource, BSTR bstrDictList);
};
