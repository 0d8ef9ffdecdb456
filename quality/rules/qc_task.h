// CBQCTask: the bodies behind the automation class QCTask: the QC grade tasks, their patients,
// rectification notices and summaries.
//
// The method wrappers of CQCTask call each member with the call's data source first and the
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

class CBQCTask {
 public:
  // ---- grade_task.cpp ----
  static long New(CEMRDataSource* pDataSource, BSTR bstrProperty, BSTR* pbstrTaskID);
  static long Modify(CEMRDataSource* pDataSource, BSTR bstrTaskID, BSTR bstrProperty);
  static long Delete(CEMRDataSource* pDataSource, BSTR bstrTaskID);
  static long NewDeptQCTask(CEMRDataSource* pDataSource, BSTR bstrProperty);
  static long SetTaskSummarize(CEMRDataSource* pDataSource, BSTR bstrProperty);

  // ---- grade_task_queries.cpp ----
  static long GetProperty(CEMRDataSource* pDataSource, BSTR bstrTaskID, BSTR* pbstrProperty);
  static long GetTaskId(CEMRDataSource* pDataSource, BSTR bstrOwnerType, BSTR* pbstrTaskID);
  static long GetQCRectifyList(CEMRDataSource* pDataSource, BSTR bstrCondition,
                               BSTR* pbstrRectifyList);
  static long GetTaskSummarize(CEMRDataSource* pDataSource, BSTR bstrTaskID, BSTR bstrUserID,
                               BSTR* pbstrTaskSummarize);
  static long GetToSummariseTask(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                 BSTR* pbstrTaskList);

  // ---- grade_task_list.cpp ----
  static long GetTaskList(CEMRDataSource* pDataSource, BSTR bstrCondition, BSTR* pbstrList);

  // ---- grade_task_patient_lists.cpp ----
  static long GetPatientList(CEMRDataSource* pDataSource, BSTR bstrCondition,
                             BSTR* pbstrPatientList);
  static long GetDeptQCPatientList(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                   BSTR* pbstrPatientList);

  // ---- grade_task_patients.cpp ----
  static long AddPatient(CEMRDataSource* pDataSource, BSTR bstrTaskID, BSTR bstrPatientList);
  static long DispatchPatient(CEMRDataSource* pDataSource, BSTR bstrUserID, BSTR bstrPatientList);
  static long RemovePatient(CEMRDataSource* pDataSource, BSTR bstrCondition);

  // ---- dept_month_tasks.cpp ----
  static long NewMonthTaskForDept(CEMRDataSource* pDataSource, BSTR bstrCondition);

  // ---- terminal_qc_patient.cpp ----
  // The final-QC task `lngTaskID` (PEV_TASK_RECORD) gets STATUS 2 (visits assigned) or 3 (every
  // assigned visit scored); no task of that identifier changes nothing.
  static void SetTaskRecordStatus2(CEMRDataSource* pDataSource, LONG lngTaskID);
  static void SetTaskRecordStatus3(CEMRDataSource* pDataSource, LONG lngTaskID);
};
