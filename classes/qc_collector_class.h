// CQCCollector: the automation class QCCollector, QC collection: time-limit QC results, condition
// groups and items, query templates and their distribution, write applications and critical values.
// Each method is a wrapper that gives the call its own data source (and, for the methods that vote,
// a vote on the call's transaction), hands its arguments unchanged to the body
// CBQCCollector::<Method> and turns a failure into the thread's error information and E_FAIL.
//
// GetDeptQCList, GetHospitalQCList, SaveConditionList, UnameFunGet and UnameFunSave do nothing.
//
// The class is a template over its business class so that tests can put a recording body in its
// place; CQCCollector is the class the library creates.
//
// Thread-safety: an object has no state but its atomic reference count; each call works on its own
// stack.
#pragma once

#include "interface/method_frame.h"
#include "interface/qc_collector_interface.h"
#include "platform/com/com_object.h"
#include "platform/com/dispatch_impl.h"
#include "quality/review/qc_collector.h"

template <class Body>
class CQCCollectorT : public korvalis::com::ComObjectRoot,
                      public korvalis::com::DispatchImpl<IQCCollector, kIQCCollectorInfo> {
 public:
  static std::span<const korvalis::com::InterfaceMapEntry> InterfaceMap() {
    using korvalis::com::MapEntry;
    static constexpr korvalis::com::InterfaceMapEntry kMap[] = {
        MapEntry<CQCCollectorT, IQCCollector>(IID_IQCCollector),
        MapEntry<CQCCollectorT, IDispatch>(IID_IDispatch)};
    return kMap;
  }

  HRESULT GetPatientQCList(BSTR bstrPatientID, BSTR bstrEventNo, BSTR* pbstrQCList) override {
    return korvalis::frame::Run(
        kNoVote, "CQCCollector::GetPatientQCList", [&](CEMRDataSource* pDataSource) {
          Body::GetPatientQCList(pDataSource, bstrPatientID, bstrEventNo, pbstrQCList);
        });
  }

  // Present in the interface; does nothing and leaves its results as the caller set them.
  HRESULT GetDeptQCList(BSTR, BSTR*) override { return S_OK; }

  // Present in the interface; does nothing and leaves its results as the caller set them.
  HRESULT GetHospitalQCList(BSTR, BSTR*) override { return S_OK; }

  HRESULT GetQCList(BSTR bstrParam, BSTR* pbstrQCList) override {
    return korvalis::frame::Run(
        kNoVote, "CQCCollector::GetQCList",
        [&](CEMRDataSource* pDataSource) { Body::GetQCList(pDataSource, bstrParam, pbstrQCList); });
  }

  HRESULT GetConditionList(BSTR bstrParam, BSTR* pbstrList) override {
    return korvalis::frame::Run(kNoVote, "CQCCollector::GetConditionList",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetConditionList(pDataSource, bstrParam, pbstrList);
                                });
  }

  // Present in the interface; does nothing and leaves its results as the caller set them.
  HRESULT SaveConditionList(BSTR, BSTR) override { return S_OK; }

  HRESULT GetQueryTplList(BSTR bstrCondition, BSTR* pbstrList) override {
    return korvalis::frame::Run(kNoVote, "CQCCollector::GetQueryTplList",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetQueryTplList(pDataSource, bstrCondition, pbstrList);
                                });
  }

  HRESULT SaveQueryTplList(BSTR bstrCondition, BSTR bstrList) override {
    return korvalis::frame::Run(kVote, "CQCCollector::SaveQueryTplList",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::SaveQueryTplList(pDataSource, bstrCondition, bstrList);
                                });
  }

  // Present in the interface; does nothing and leaves its results as the caller set them.
  HRESULT UnameFunGet(BSTR, BSTR, BSTR*) override { return S_OK; }

  // Present in the interface; does nothing and leaves its results as the caller set them.
  HRESULT UnameFunSave(BSTR, BSTR, BSTR*) override { return S_OK; }

  HRESULT DeleteQueryTplList(BSTR bstrCondition) override {
    return korvalis::frame::Run(
        kVote, "CQCCollector::DeleteQueryTplList",
        [&](CEMRDataSource* pDataSource) { Body::DeleteQueryTplList(pDataSource, bstrCondition); });
  }

  HRESULT AddConditionGroup(BSTR bstrList) override {
    return korvalis::frame::Run(
        kVote, "CQCCollector::AddConditionGroup",
        [&](CEMRDataSource* pDataSource) { Body::AddConditionGroup(pDataSource, bstrList); });
  }

  HRESULT DeleteConditionGroupByCode(BSTR bstrGroupCode) override {
    return korvalis::frame::Run(kVote, "CQCCollector::DeleteConditionGroupByCode",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::DeleteConditionGroupByCode(pDataSource, bstrGroupCode);
                                });
  }

  HRESULT SetConditionGroupContent(BSTR bstrList) override {
    return korvalis::frame::Run(kVote, "CQCCollector::SetConditionGroupContent",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::SetConditionGroupContent(pDataSource, bstrList);
                                });
  }

  HRESULT GetConditionGroupList(BSTR* pbstrList) override {
    return korvalis::frame::Run(
        kNoVote, "CQCCollector::GetConditionGroupList",
        [&](CEMRDataSource* pDataSource) { Body::GetConditionGroupList(pDataSource, pbstrList); });
  }

  HRESULT AddConditionItem(BSTR bstrList) override {
    return korvalis::frame::Run(
        kVote, "CQCCollector::AddConditionItem",
        [&](CEMRDataSource* pDataSource) { Body::AddConditionItem(pDataSource, bstrList); });
  }

  HRESULT DelConditionItem(BSTR bstrCode) override {
    return korvalis::frame::Run(
        kVote, "CQCCollector::DelConditionItem",
        [&](CEMRDataSource* pDataSource) { Body::DelConditionItem(pDataSource, bstrCode); });
  }

  HRESULT SetConditionItemContent(BSTR bstrList) override {
    return korvalis::frame::Run(
        kVote, "CQCCollector::SetConditionItemContent",
        [&](CEMRDataSource* pDataSource) { Body::SetConditionItemContent(pDataSource, bstrList); });
  }

  HRESULT GetColumnByTabName(BSTR bstrTabName, BSTR* pbstrList) override {
    return korvalis::frame::Run(kNoVote, "CQCCollector::GetColumnByTabName",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetColumnByTabName(pDataSource, bstrTabName, pbstrList);
                                });
  }

  HRESULT GetQCUserList(BSTR* pbstrQCUserList) override {
    return korvalis::frame::Run(
        kNoVote, "CQCCollector::GetQCUserList",
        [&](CEMRDataSource* pDataSource) { Body::GetQCUserList(pDataSource, pbstrQCUserList); });
  }

  HRESULT SaveConditionDistribute(BSTR bstrItemList) override {
    return korvalis::frame::Run(kVote, "CQCCollector::SaveConditionDistribute",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::SaveConditionDistribute(pDataSource, bstrItemList);
                                });
  }

  HRESULT GetConditionDistribute(BSTR pbstrUserID, BSTR* pbstrConditionList) override {
    return korvalis::frame::Run(
        kNoVote, "CQCCollector::GetConditionDistribute", [&](CEMRDataSource* pDataSource) {
          Body::GetConditionDistribute(pDataSource, pbstrUserID, pbstrConditionList);
        });
  }

  HRESULT GetColumnData(BSTR pbstrTabName, BSTR* pbstrConditionList) override {
    return korvalis::frame::Run(
        kNoVote, "CQCCollector::GetColumnData", [&](CEMRDataSource* pDataSource) {
          Body::GetColumnData(pDataSource, pbstrTabName, pbstrConditionList);
        });
  }

  HRESULT DelConditionItemByGroupCode(BSTR pbstrGroupCode) override {
    return korvalis::frame::Run(kVote, "CQCCollector::DelConditionItemByGroupCode",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::DelConditionItemByGroupCode(pDataSource, pbstrGroupCode);
                                });
  }

  HRESULT GetQCResultInfo(BSTR bstrCondition, BSTR* bstrList) override {
    return korvalis::frame::Run(kVote, "CQCCollector::GetQCResultInfo",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetQCResultInfo(pDataSource, bstrCondition, bstrList);
                                });
  }

  HRESULT DistributeTpList(BSTR bstrDistrbuteInfo) override {
    return korvalis::frame::Run(kNoVote, "CQCCollector::DistributeTpList",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::DistributeTpList(pDataSource, bstrDistrbuteInfo);
                                });
  }

  HRESULT GetDistributeInfo(BSTR bstrCondition, BSTR* pbstrList) override {
    return korvalis::frame::Run(kNoVote, "CQCCollector::GetDistributeInfo",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetDistributeInfo(pDataSource, bstrCondition, pbstrList);
                                });
  }

  HRESULT GetConditionDistributeEx(BSTR pbstrUserID, BSTR* pbstrConditionList) override {
    return korvalis::frame::Run(
        kNoVote, "CQCCollector::GetConditionDistributeEx", [&](CEMRDataSource* pDataSource) {
          Body::GetConditionDistributeEx(pDataSource, pbstrUserID, pbstrConditionList);
        });
  }

  HRESULT SetConditionDistributeEx(BSTR pbstrUserID, BSTR bstrConditionList) override {
    return korvalis::frame::Run(
        kVote, "CQCCollector::SetConditionDistributeEx", [&](CEMRDataSource* pDataSource) {
          Body::SetConditionDistributeEx(pDataSource, pbstrUserID, bstrConditionList);
        });
  }

  HRESULT DelConditionDistributeUser(BSTR bstrItemList) override {
    return korvalis::frame::Run(kVote, "CQCCollector::DelConditionDistributeUser",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::DelConditionDistributeUser(pDataSource, bstrItemList);
                                });
  }

  HRESULT AddConditionDistributeUser(BSTR bstrItemList) override {
    return korvalis::frame::Run(kVote, "CQCCollector::AddConditionDistributeUser",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::AddConditionDistributeUser(pDataSource, bstrItemList);
                                });
  }

  HRESULT GetConditionDistributeUser(BSTR* pbstrUserList) override {
    return korvalis::frame::Run(kVote, "CQCCollector::GetConditionDistributeUser",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetConditionDistributeUser(pDataSource, pbstrUserList);
                                });
  }

  HRESULT GetEmrApplyInfo(BSTR bstrCondition, BSTR* bstrList) override {
    return korvalis::frame::Run(kVote, "CQCCollector::GetEmrApplyInfo",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetEmrApplyInfo(pDataSource, bstrCondition, bstrList);
                                });
  }

  HRESULT SetEmrApplyInfo(BSTR bstrCondition) override {
    return korvalis::frame::Run(
        kVote, "CQCCollector::SetEmrApplyInfo",
        [&](CEMRDataSource* pDataSource) { Body::SetEmrApplyInfo(pDataSource, bstrCondition); });
  }

  HRESULT SetApplyStatus(BSTR bstrCondition) override {
    return korvalis::frame::Run(
        kVote, "CQCCollector::SetApplyStatus",
        [&](CEMRDataSource* pDataSource) { Body::SetApplyStatus(pDataSource, bstrCondition); });
  }

  HRESULT GetPatientCrisisInfo(BSTR bstrCondition, BSTR* pbstrList) override {
    return korvalis::frame::Run(kVote, "CQCCollector::GetPatientCrisisInfo",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetPatientCrisisInfo(pDataSource, bstrCondition, pbstrList);
                                });
  }

  HRESULT ConfirmCrisisInfo(BSTR bstrCondition) override {
    return korvalis::frame::Run(
        kVote, "CQCCollector::ConfirmCrisisInfo",
        [&](CEMRDataSource* pDataSource) { Body::ConfirmCrisisInfo(pDataSource, bstrCondition); });
  }

 protected:
  ~CQCCollectorT() = default;

 private:
  static constexpr korvalis::frame::Vote kVote = korvalis::frame::Vote::kYes;
  static constexpr korvalis::frame::Vote kNoVote = korvalis::frame::Vote::kNo;
};

using CQCCollector = CQCCollectorT<CBQCCollector>;
extern template class CQCCollectorT<CBQCCollector>;

// Creates one QCCollector object; refuses an outer object.
HRESULT CreateQCCollector(IUnknown* outer, REFIID riid, void** ppv);
