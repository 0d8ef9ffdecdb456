// IQCCollector: the dual interface of the automation class QCCollector, QC collection: time-limit
// QC results, condition groups and items, query templates and their distribution, write
// applications and critical values.
//
// The methods follow the three IUnknown and four IDispatch slots in dispatch-identifier order;
// kIQCCollectorInfo describes them to late-bound callers. Parameter names are those that clients
// pass as named arguments.
//
// Thread-safety: as the threading model registered for QCCollector ("Both") allows.
#pragma once

#include "platform/com/dispatch.h"
#include "platform/com/type_info_table.h"

inline constexpr GUID IID_IQCCollector =
    korvalis::com::MakeGuid("060EF259-820C-4A15-A2DB-1E889A493710");
inline constexpr GUID CLSID_QCCollector =
    korvalis::com::MakeGuid("25F5E3FC-B163-4664-8A7E-077BF15FA0D3");

struct IQCCollector : IDispatch {
  virtual HRESULT GetPatientQCList(BSTR bstrPatientID, BSTR bstrEventNo, BSTR* pbstrQCList) = 0;
  virtual HRESULT GetDeptQCList(BSTR bstrDeptParam, BSTR* pbstrQCList) = 0;
  virtual HRESULT GetHospitalQCList(BSTR bstrHospitalParam, BSTR* pbstrQCList) = 0;
  virtual HRESULT GetQCList(BSTR bstrParam, BSTR* pbstrQCList) = 0;
  virtual HRESULT GetConditionList(BSTR bstrParam, BSTR* pbstrList) = 0;
  virtual HRESULT SaveConditionList(BSTR bstrCondition, BSTR bstrList) = 0;
  virtual HRESULT GetQueryTplList(BSTR bstrCondition, BSTR* pbstrList) = 0;
  virtual HRESULT SaveQueryTplList(BSTR bstrCondition, BSTR bstrList) = 0;
  virtual HRESULT UnameFunGet(BSTR bstrParam1, BSTR bstrParam2, BSTR* pbstrRt) = 0;
  virtual HRESULT UnameFunSave(BSTR bstrParam1, BSTR bstrParam2, BSTR* pbstrRt) = 0;
  virtual HRESULT DeleteQueryTplList(BSTR bstrCondition) = 0;
  virtual HRESULT AddConditionGroup(BSTR bstrList) = 0;
  virtual HRESULT DeleteConditionGroupByCode(BSTR bstrGroupCode) = 0;
  virtual HRESULT SetConditionGroupContent(BSTR bstrList) = 0;
  virtual HRESULT GetConditionGroupList(BSTR* pbstrList) = 0;
  virtual HRESULT AddConditionItem(BSTR bstrList) = 0;
  virtual HRESULT DelConditionItem(BSTR bstrCode) = 0;
  virtual HRESULT SetConditionItemContent(BSTR bstrList) = 0;
  virtual HRESULT GetColumnByTabName(BSTR bstrTabName, BSTR* pbstrList) = 0;
  virtual HRESULT GetQCUserList(BSTR* pbstrQCUserList) = 0;
  virtual HRESULT SaveConditionDistribute(BSTR bstrItemList) = 0;
  virtual HRESULT GetConditionDistribute(BSTR pbstrUserID, BSTR* pbstrConditionList) = 0;
  virtual HRESULT GetColumnData(BSTR pbstrTabName, BSTR* pbstrConditionList) = 0;
  virtual HRESULT DelConditionItemByGroupCode(BSTR pbstrGroupCode) = 0;
  virtual HRESULT GetQCResultInfo(BSTR bstrCondition, BSTR* bstrList) = 0;
  virtual HRESULT DistributeTpList(BSTR bstrDistrbuteInfo) = 0;
  virtual HRESULT GetDistributeInfo(BSTR bstrCondition, BSTR* pbstrList) = 0;
  virtual HRESULT GetConditionDistributeEx(BSTR pbstrUserID, BSTR* pbstrConditionList) = 0;
  virtual HRESULT SetConditionDistributeEx(BSTR pbstrUserID, BSTR bstrConditionList) = 0;
  virtual HRESULT DelConditionDistributeUser(BSTR bstrItemList) = 0;
  virtual HRESULT AddConditionDistributeUser(BSTR bstrItemList) = 0;
  virtual HRESULT GetConditionDistributeUser(BSTR* pbstrUserList) = 0;
  virtual HRESULT GetEmrApplyInfo(BSTR bstrCondition, BSTR* bstrList) = 0;
  virtual HRESULT SetEmrApplyInfo(BSTR bstrCondition) = 0;
  virtual HRESULT SetApplyStatus(BSTR bstrCondition) = 0;
  virtual HRESULT GetPatientCrisisInfo(BSTR bstrCondition, BSTR* pbstrList) = 0;
  virtual HRESULT ConfirmCrisisInfo(BSTR bstrCondition) = 0;

 protected:
  ~IQCCollector() = default;
};

extern const korvalis::com::InterfaceInfo kIQCCollectorInfo;
