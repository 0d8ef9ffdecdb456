// CBQCAdmin: the bodies behind the automation class QCAdmin: QC administration: time-limit rules
// and their relations and events, QC standards and catalogues, advice maps and table tools.
//
// The method wrappers of CQCAdmin call each member with the call's data source first and the
// interface arguments unchanged and in their order, result pointers last. A member returns 0, which
// the wrapper ignores, writes its results only through those pointers and fails by throwing
// CEMRException.
//
// Thread-safety: static members without state of their own; concurrent calls work on
// their own data sources.
#pragma once

#include <string>

#include "platform/com/bstr.h"
#include "platform/com/types.h"

class CEMRDataSource;

class CBQCAdmin {
 public:
  // ---- qc_rule_admin.cpp ----
  static long InitNewRule(CEMRDataSource* pDataSource, BSTR bstrProperty, LONG* plngNewID);
  static long GetRuleProperty(CEMRDataSource* pDataSource, LONG lngRule, BSTR* pbstrProperty);
  static long SaveRuleProperty(CEMRDataSource* pDataSource, LONG lngRule, BSTR bstrProperty);
  static long DeleteRule(CEMRDataSource* pDataSource, LONG lngRule);
  static long GetEmrTypeList(CEMRDataSource* pDataSource, LONG lngRule, BSTR* pbstrList);
  static long SaveEmrTypeList(CEMRDataSource* pDataSource, LONG lngRule, BSTR bstrList);
  static long GetReplaceRuleList(CEMRDataSource* pDataSource, LONG lngRule, BSTR* pbstrList);
  static long SaveReplaceRuleList(CEMRDataSource* pDataSource, LONG lngRule, BSTR bstrList);
  static long GetOpposeRuleList(CEMRDataSource* pDataSource, LONG lngRule, BSTR* pbstrList);
  static long SaveOpposeRuleList(CEMRDataSource* pDataSource, LONG lngRule, BSTR bstrList);
  static long GetRuleList(CEMRDataSource* pDataSource, BSTR* pbstrList);
  static long GetEventList(CEMRDataSource* pDataSource, BSTR* pbstrList);
  static long GetEventRuleList(CEMRDataSource* pDataSource, BSTR bstrEventCode, BSTR* pbstrList);
  static long SaveEventRule(CEMRDataSource* pDataSource, BSTR bstrEventCode, LONG lngRuleID);
  static long GetAllEventRule(CEMRDataSource* pDataSource, BSTR* pbstrList);
  static long GetRuleException(CEMRDataSource* pDataSource, BSTR bstrRuleId,
                               BSTR* pbstrExceptionProperty);
  static long SaveRuleException(CEMRDataSource* pDataSource, BSTR bstrRuleId,
                                BSTR bstrExceptionProperty);

  // ---- qc_standards.cpp ----
  static long GetAllStandardList(CEMRDataSource* pDataSource, BSTR* pbstrList);
  static long GetStandardCatalogList(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                     BSTR* pbstrList);
  static long GetStandardList(CEMRDataSource* pDataSource, LONG lngCatalogID, BSTR* pbstrList);
  static long InitNewStandard(CEMRDataSource* pDataSource, BSTR bstrProperty, LONG* plngNewID);
  static long SaveStandardProperty(CEMRDataSource* pDataSource, LONG lngID, BSTR bstrProperty);
  static long InitNewStandardCatalog(CEMRDataSource* pDataSource, BSTR bstrProperty,
                                     LONG* plngNewID);
  static long SaveStandardCatalogProperty(CEMRDataSource* pDataSource, LONG lngID,
                                          BSTR bstrProperty);
  static long GetAllStandardCatalogList(CEMRDataSource* pDataSource, BSTR* pbstrList);
  static long GetStandardProperty(CEMRDataSource* pDataSource, LONG lngID, BSTR* pbstrProperty);
  static long GetStandardCatalogProperty(CEMRDataSource* pDataSource, LONG lngID,
                                         BSTR* pbstrProperty);
  static long DeleteStandard(CEMRDataSource* pDataSource, LONG lngID);
  static long DeleteStandardCatalog(CEMRDataSource* pDataSource, LONG lngID);
  static long GetEMRAndQCMap(CEMRDataSource* pDataSource, BSTR* pbstrMapList);
  static long GetStandardList2(CEMRDataSource* pDataSource, BSTR bstrCondition, BSTR* pbstrList);
  static long GetStandardListByID(CEMRDataSource* pDataSource, BSTR bstrIDList, BSTR* pbstrList);
  static long IsStandardCodeExist(CEMRDataSource* pDataSource, BSTR bstrID, BSTR bstrCode,
                                  LONG* pbExist);

  // The next ID of `table` (MAX(ID) + 1; "1" for an empty table) as decimal text. Throws
  // CEMRException when it would not fit the interface's long.
  static std::u16string GetMaxIdPlusOne(CEMRDataSource* pDataSource, const std::u16string& table);

  // Keeps the one link row of QC catalogue `qc` to the EMR catalogue `emr`: nothing for an empty
  // or "0" `qc`, the row deleted for an empty `emr`, else inserted or changed when it differs.
  // Precondition: `qc` and a non-empty `emr` are plain decimal numbers (they stand bare).
  static void SaveEmrCatalogMap(CEMRDataSource* pDataSource, const std::u16string& qc,
                                const std::u16string& emr);

  // ---- qc_event_advice_map.cpp ----
  static long AddQcEventAdviceMap(CEMRDataSource* pDataSource, BSTR bstrProperty);
  static long RemoveQcEventMap(CEMRDataSource* pDataSource, BSTR bstrQcEventCode,
                               BSTR bstrAdviceCode);
  static long GetQcEventAdviceMapList(CEMRDataSource* pDataSource, BSTR bstrCondition,
                                      BSTR* pbstrMapList);

  // ---- table_transfer.cpp ----
  static long GetFieldsOfTable(CEMRDataSource* pDataSource, BSTR bstrTableName,
                               BSTR* pbstrFieldList);
  static long TestForSql(CEMRDataSource* pDataSource, BSTR bstrStrSql);
  static long GetDataOfTable(CEMRDataSource* pDataSource, BSTR bstrCondition, BSTR* pbstrDataList);
  static long GetExistPrimary(CEMRDataSource* pDataSource, BSTR bstrCondition, BSTR* pbstrDataList);
  static long PostSqlQuery(CEMRDataSource* pDataSource, BSTR bstrCondition);
};
