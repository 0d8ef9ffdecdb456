// CBCoreSystem: the bodies behind the automation class CoreSystem: the records of the hospital's
// core quality systems: department activities, core reports, doctor shift and rescue records.
//
// The method wrappers of CCoreSystem call each member with the call's data source first and the
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

class CBCoreSystem {
 public:
  // ---- dept_activity.cpp ----
  static long GetDeptActivity(CEMRDataSource* pDataSource, BSTR bstrCondition, BSTR* pbstrList);
  static long SetDeptActivity(CEMRDataSource* pDataSource, BSTR bstrCondition, BSTR* pbstrList);
  static long DelDeptActivity(CEMRDataSource* pDataSource, BSTR bstrCondition);

  // ---- core_reports.cpp ----
  static long GetCoreReport(CEMRDataSource* pDataSource, BSTR bstrCondition, BSTR* pbstrList);
  static long SetCoreReport(CEMRDataSource* pDataSource, BSTR bstrCondition, BSTR* pbstrList);
  static long DelCoreReport(CEMRDataSource* pDataSource, BSTR bstrCondition);

  // ---- doctor_shift.cpp ----
  static long GetDoctorShiftRecord(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                   BSTR* pbstrProperty);
  static long DeleteDoctorShiftRecord(CEMRDataSource* pDataSource, BSTR bstrShiftRecordID);
  static long DoctorShiftRecordNext(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                    BSTR* pbstrProperty);
  static long DoctorShiftRecordPrevious(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                        BSTR* pbstrProperty);

  // ---- rescue_records.cpp ----
  static long GetRescueRecord(CEMRDataSource* pDataSource, BSTR bstrCondition, BSTR* pbstrList);
  static long SetRescueRecord(CEMRDataSource* pDataSource, BSTR bstrList, BSTR* pbstrId);
  static long DelRescueRecord(CEMRDataSource* pDataSource, BSTR bstrCondition);

  // ---- core_system.cpp ----
  static long RefreshRecord(CEMRDataSource* pDataSource, BSTR bstrRecordList);
};
