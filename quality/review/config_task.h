// CBConfigTask: the bodies behind the automation class ConfigTask: the QC task configurations and
// the task counts and patient lists that remind QC users of their work.
//
// The method wrappers of CConfigTask call each member with the call's data source first and the
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

class CBConfigTask {
 public:
  static long GetQcTaskCountList(CEMRDataSource* pDataSource, BSTR strUserId, BSTR strDeptId,
                                 LONG lngUserIdentity, BSTR* bstrList);
  static long GetTaskPatientList(CEMRDataSource* pDataSource, BSTR strUserId, BSTR strDeptId,
                                 LONG lngUserIdentity, BSTR strTaskId, BSTR* bstrList);
  static long NewTendTask(CEMRDataSource* pDataSource, BSTR bstrProperty, LONG* plngNewTaskId);
  static long GetTendTaskList(CEMRDataSource* pDataSource, BSTR strTaskId, BSTR* bstrList);
  static long UpdateTendTask(CEMRDataSource* pDataSource, BSTR bstrProperty, BSTR bstrTaskID);
};
