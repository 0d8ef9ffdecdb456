// IQCAdmin: the dual interface of the automation class QCAdmin, QC administration: time-limit rules
// and their relations and events, QC standards and catalogues, advice maps and table tools.
//
// The methods follow the three IUnknown and four IDispatch slots in dispatch-identifier order;
// kIQCAdminInfo describes them to late-bound callers. Parameter names are those that clients pass
// as named arguments.
//
// Thread-safety: as the threading model registered for QCAdmin ("Apartment") allows.
#pragma once

#include "platform/com/dispatch.h"
#include "platform/com/type_info_table.h"

inline constexpr GUID IID_IQCAdmin =
    korvalis::com::MakeGuid("2D02C1A3-C561-4F3C-A4BD-E119199B49A0");
inline constexpr GUID CLSID_QCAdmin =
    korvalis::com::MakeGuid("081F68B2-C8BB-4502-A56B-380BDCFB952A");

struct IQCAdmin : IDispatch {
  virtual HRESULT InitNewRule(BSTR bstrProperty, LONG* plngNewID) = 0;
  virtual HRESULT GetRuleProperty(LONG lngRule, BSTR* pbstrProperty) = 0;
  virtual HRESULT SaveRuleProperty(LONG lngRule, BSTR bstrProperty) = 0;
  virtual HRESULT DeleteRule(LONG lngRule) = 0;
  virtual HRESULT GetEmrTypeList(LONG lngRule, BSTR* pbstrList) = 0;
  virtual HRESULT SaveEmrTypeList(LONG lngRule, BSTR bstrList) = 0;
  virtual HRESULT GetReplaceRuleList(LONG lngRule, BSTR* pbstrList) = 0;
  virtual HRESULT SaveReplaceRuleList(LONG lngRule, BSTR bstrList) = 0;
  virtual HRESULT GetOpposeRuleList(LONG lngRule, BSTR* pbstrList) = 0;
  virtual HRESULT SaveOpposeRuleList(LONG lngRule, BSTR bstrList) = 0;
  virtual HRESULT GetRuleList(BSTR* pbstrList) = 0;
  virtual HRESULT GetEventList(BSTR* pbstrList) = 0;
  virtual HRESULT GetEventRuleList(BSTR bstrEventCode, BSTR* pbstrList) = 0;
  virtual HRESULT SaveEventRule(BSTR bstrEventCode, LONG lngRuleID) = 0;
  virtual HRESULT GetAllEventRule(BSTR* pbstrList) = 0;
  virtual HRESULT GetAllStandardList(BSTR* pbstrList) = 0;
  virtual HRESULT GetStandardCatalogList(BSTR bstrCondition, BSTR* pbstrList) = 0;
  virtual HRESULT GetStandardList(LONG lngCatalogID, BSTR* pbstrList) = 0;
  virtual HRESULT InitNewStandard(BSTR bstrProperty, LONG* plngNewID) = 0;
  virtual HRESULT SaveStandardProperty(LONG lngID, BSTR bstrProperty) = 0;
  virtual HRESULT InitNewStandardCatalog(BSTR bstrProperty, LONG* plngNewID) = 0;
  virtual HRESULT SaveStandardCatalogProperty(LONG lngID, BSTR bstrProperty) = 0;
  virtual HRESULT GetAllStandardCatalogList(BSTR* pbstrList) = 0;
  virtual HRESULT GetStandardProperty(LONG lngID, BSTR* pbstrProperty) = 0;
  virtual HRESULT GetStandardCatalogProperty(LONG lngID, BSTR* pbstrProperty) = 0;
  virtual HRESULT DeleteStandard(LONG lngID) = 0;
  virtual HRESULT DeleteStandardCatalog(LONG lngID) = 0;
  virtual HRESULT GetEMRAndQCMap(BSTR* pbstrMapList) = 0;
  virtual HRESULT SaveEMRAndQCMap(BSTR bstrMapList) = 0;
  virtual HRESULT GetRuleException(BSTR bstrRuleId, BSTR* pbstrExceptionProperty) = 0;
  virtual HRESULT SaveRuleException(BSTR bstrRuleId, BSTR bstrExceptionProperty) = 0;
  virtual HRESULT GetStandardList2(BSTR bstrCondition, BSTR* pbstrList) = 0;
  virtual HRESULT GetStandardListByID(BSTR bstrIDList, BSTR* pbstrList) = 0;
  virtual HRESULT IsStandardCodeExist(BSTR bstrID, BSTR bstrCode, LONG* pbExist) = 0;
  virtual HRESULT AddQcEventAdviceMap(BSTR bstrProperty) = 0;
  virtual HRESULT RemoveQcEventMap(BSTR bstrQcEventCode, BSTR bstrAdviceCode) = 0;
  virtual HRESULT GetQcEventAdviceMapList(BSTR bstrCondition, BSTR* pbstrMapList) = 0;
  virtual HRESULT GetFieldsOfTable(BSTR bstrTableName, BSTR* pbstrFieldList) = 0;
  virtual HRESULT TestForSql(BSTR bstrStrSql, BSTR* pbstrResult) = 0;
  virtual HRESULT GetDataOfTable(BSTR bstrCondition, BSTR* pbstrDataList) = 0;
  virtual HRESULT GetExistPrimary(BSTR bstrCondition, BSTR* pbstrDataList) = 0;
  virtual HRESULT PostSqlQuery(BSTR bstrCondition) = 0;

 protected:
  ~IQCAdmin() = default;
};

extern const korvalis::com::InterfaceInfo kIQCAdminInfo;
