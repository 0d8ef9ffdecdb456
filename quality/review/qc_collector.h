// CBQCCollector: the bodies behind the automation class QCCollector: QC collection: time-limit QC
// results, condition groups and items, query templates and their distribution, write applications
// and critical values.
//
// The method wrappers of CQCCollector call each member with the call's data source first and the
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

class CBQCCollector {
 public:
  // ---- time_limit_results.cpp ----
  static long GetPatientQCList(CEMRDataSource* pDataSource, BSTR bstrPatientID, BSTR bstrEventNo,
                               BSTR* pbstrQCList);
  static long GetQCList(CEMRDataSource* pDataSource, BSTR bstrParam, BSTR* pbstrQCList);
  static long GetQCResultInfo(CEMRDataSource* pDataSource, BSTR bstrCondition, BSTR* bstrList);

  // ---- condition_catalogue.cpp ----
  static long GetConditionList(CEMRDataSource* pDataSource, BSTR bstrParam, BSTR* pbstrList);
  static long AddConditionGroup(CEMRDataSource* pDataSource, BSTR bstrList);
  static long DeleteConditionGroupByCode(CEMRDataSource* pDataSource, BSTR bstrGroupCode);
  static long SetConditionGroupContent(CEMRDataSource* pDataSource, BSTR bstrList);
  static long GetConditionGroupList(CEMRDataSource* pDataSource, BSTR* pbstrList);
  static long AddConditionItem(CEMRDataSource* pDataSource, BSTR bstrList);
  static long DelConditionItem(CEMRDataSource* pDataSource, BSTR bstrCode);
  static long SetConditionItemContent(CEMRDataSource* pDataSource, BSTR bstrList);
  static long GetColumnByTabName(CEMRDataSource* pDataSource, BSTR bstrTabName, BSTR* pbstrList);
  static long GetColumnData(CEMRDataSource* pDataSource, BSTR pbstrTabName,
                            BSTR* pbstrConditionList);
  static long DelConditionItemByGroupCode(CEMRDataSource* pDataSource, BSTR pbstrGroupCode);

  // ---- query_templates.cpp ----
  static long GetQueryTplList(CEMRDataSource* pDataSource, BSTR bstrCondition, BSTR* pbstrList);
  static long SaveQueryTplList(CEMRDataSource* pDataSource, BSTR bstrCondition, BSTR bstrList);
  static long DeleteQueryTplList(CEMRDataSource* pDataSource, BSTR bstrCondition);
  static long GetQCUserList(CEMRDataSource* pDataSource, BSTR* pbstrQCUserList);
  static long DistributeTpList(CEMRDataSource* pDataSource, BSTR bstrDistrbuteInfo);
  static long GetDistributeInfo(CEMRDataSource* pDataSource, BSTR bstrCondition, BSTR* pbstrList);

  // ---- condition_distribution.cpp ----
  static long SaveConditionDistribute(CEMRDataSource* pDataSource, BSTR bstrItemList);
  static long GetConditionDistribute(CEMRDataSource* pDataSource, BSTR pbstrUserID,
                                     BSTR* pbstrConditionList);
  static long GetConditionDistributeEx(CEMRDataSource* pDataSource, BSTR pbstrUserID,
                                       BSTR* pbstrConditionList);
  static long SetConditionDistributeEx(CEMRDataSource* pDataSource, BSTR pbstrUserID,
                                       BSTR bstrConditionList);
  static long DelConditionDistributeUser(CEMRDataSource* pDataSource, BSTR bstrItemList);
  static long AddConditionDistributeUser(CEMRDataSource* pDataSource, BSTR bstrItemList);
  static long GetConditionDistributeUser(CEMRDataSource* pDataSource, BSTR* pbstrUserList);

  // ---- write_applications.cpp ----
  static long GetEmrApplyInfo(CEMRDataSource* pDataSource, BSTR bstrCondition, BSTR* bstrList);
  static long SetEmrApplyInfo(CEMRDataSource* pDataSource, BSTR bstrCondition);
  static long SetApplyStatus(CEMRDataSource* pDataSource, BSTR bstrCondition);

  // ---- critical_values.cpp ----
  static long GetPatientCrisisInfo(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                   BSTR* pbstrList);
  static long ConfirmCrisisInfo(CEMRDataSource* pDataSource, BSTR bstrCondition);
};
