// CQCAdmin: the automation class QCAdmin, QC administration: time-limit rules and their relations
// and events, QC standards and catalogues, advice maps and table tools. Each method is a wrapper
// that gives the call its own data source (and, for the methods that vote, a vote on the call's
// transaction), hands its arguments unchanged to the body CBQCAdmin::<Method> and turns a failure
// into the thread's error information and E_FAIL.
//
// TestForSql answers "true" or "false" instead of failing; SaveEMRAndQCMap runs the whole call and
// stores nothing.
//
// The class is a template over its business class so that tests can put a recording body in its
// place; CQCAdmin is the class the library creates.
//
// Thread-safety: an object has no state but its atomic reference count; each call works on its own
// stack.
#pragma once

#include "interface/method_frame.h"
#include "interface/qc_admin_interface.h"
#include "platform/com/com_object.h"
#include "platform/com/dispatch_impl.h"
#include "platform/com/support_error_info.h"
#include "quality/rules/qc_admin.h"

template <class Body>
class CQCAdminT : public korvalis::com::ComObjectRoot,
                  public korvalis::com::DispatchImpl<IQCAdmin, kIQCAdminInfo>,
                  public korvalis::com::SupportErrorInfoImpl<IID_IQCAdmin> {
 public:
  static std::span<const korvalis::com::InterfaceMapEntry> InterfaceMap() {
    using korvalis::com::MapEntry;
    static constexpr korvalis::com::InterfaceMapEntry kMap[] = {
        MapEntry<CQCAdminT, IQCAdmin>(IID_IQCAdmin), MapEntry<CQCAdminT, IDispatch>(IID_IDispatch),
        MapEntry<CQCAdminT, ISupportErrorInfo>(IID_ISupportErrorInfo)};
    return kMap;
  }

  HRESULT InitNewRule(BSTR bstrProperty, LONG* plngNewID) override {
    return korvalis::frame::Run(kVote, "CQCAdmin::InitNewRule", [&](CEMRDataSource* pDataSource) {
      Body::InitNewRule(pDataSource, bstrProperty, plngNewID);
    });
  }

  HRESULT GetRuleProperty(LONG lngRule, BSTR* pbstrProperty) override {
    return korvalis::frame::Run(kNoVote, "CQCAdmin::GetRuleProperty",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetRuleProperty(pDataSource, lngRule, pbstrProperty);
                                });
  }

  HRESULT SaveRuleProperty(LONG lngRule, BSTR bstrProperty) override {
    return korvalis::frame::Run(kVote, "CQCAdmin::SaveRuleProperty",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::SaveRuleProperty(pDataSource, lngRule, bstrProperty);
                                });
  }

  HRESULT DeleteRule(LONG lngRule) override {
    return korvalis::frame::Run(kVote, "CQCAdmin::DeleteRule", [&](CEMRDataSource* pDataSource) {
      Body::DeleteRule(pDataSource, lngRule);
    });
  }

  HRESULT GetEmrTypeList(LONG lngRule, BSTR* pbstrList) override {
    return korvalis::frame::Run(kNoVote, "CQCAdmin::GetEmrTypeList",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetEmrTypeList(pDataSource, lngRule, pbstrList);
                                });
  }

  HRESULT SaveEmrTypeList(LONG lngRule, BSTR bstrList) override {
    return korvalis::frame::Run(kVote, "CQCAdmin::SaveEmrTypeList",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::SaveEmrTypeList(pDataSource, lngRule, bstrList);
                                });
  }

  HRESULT GetReplaceRuleList(LONG lngRule, BSTR* pbstrList) override {
    return korvalis::frame::Run(kNoVote, "CQCAdmin::GetReplaceRuleList",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetReplaceRuleList(pDataSource, lngRule, pbstrList);
                                });
  }

  HRESULT SaveReplaceRuleList(LONG lngRule, BSTR bstrList) override {
    return korvalis::frame::Run(kVote, "CQCAdmin::SaveReplaceRuleList",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::SaveReplaceRuleList(pDataSource, lngRule, bstrList);
                                });
  }

  HRESULT GetOpposeRuleList(LONG lngRule, BSTR* pbstrList) override {
    return korvalis::frame::Run(kNoVote, "CQCAdmin::GetOpposeRuleList",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetOpposeRuleList(pDataSource, lngRule, pbstrList);
                                });
  }

  HRESULT SaveOpposeRuleList(LONG lngRule, BSTR bstrList) override {
    return korvalis::frame::Run(kVote, "CQCAdmin::SaveOpposeRuleList",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::SaveOpposeRuleList(pDataSource, lngRule, bstrList);
                                });
  }

  HRESULT GetRuleList(BSTR* pbstrList) override {
    return korvalis::frame::Run(kNoVote, "CQCAdmin::GetRuleList", [&](CEMRDataSource* pDataSource) {
      Body::GetRuleList(pDataSource, pbstrList);
    });
  }

  HRESULT GetEventList(BSTR* pbstrList) override {
    return korvalis::frame::Run(
        kNoVote, "CQCAdmin::GetEventList",
        [&](CEMRDataSource* pDataSource) { Body::GetEventList(pDataSource, pbstrList); });
  }

  HRESULT GetEventRuleList(BSTR bstrEventCode, BSTR* pbstrList) override {
    return korvalis::frame::Run(kNoVote, "CQCAdmin::GetEventRuleList",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetEventRuleList(pDataSource, bstrEventCode, pbstrList);
                                });
  }

  HRESULT SaveEventRule(BSTR bstrEventCode, LONG lngRuleID) override {
    return korvalis::frame::Run(kVote, "CQCAdmin::SaveEventRule", [&](CEMRDataSource* pDataSource) {
      Body::SaveEventRule(pDataSource, bstrEventCode, lngRuleID);
    });
  }

  HRESULT GetAllEventRule(BSTR* pbstrList) override {
    return korvalis::frame::Run(
        kVote, "CQCAdmin::GetAllEventRule",
        [&](CEMRDataSource* pDataSource) { Body::GetAllEventRule(pDataSource, pbstrList); });
  }

  HRESULT GetAllStandardList(BSTR* pbstrList) override {
    return korvalis::frame::Run(
        kNoVote, "CQCAdmin::GetAllStandardList",
        [&](CEMRDataSource* pDataSource) { Body::GetAllStandardList(pDataSource, pbstrList); });
  }

  HRESULT GetStandardCatalogList(BSTR bstrCondition, BSTR* pbstrList) override {
    return korvalis::frame::Run(
        kNoVote, "CQCAdmin::GetStandardCatalogList", [&](CEMRDataSource* pDataSource) {
          Body::GetStandardCatalogList(pDataSource, bstrCondition, pbstrList);
        });
  }

  HRESULT GetStandardList(LONG lngCatalogID, BSTR* pbstrList) override {
    return korvalis::frame::Run(kNoVote, "CQCAdmin::GetStandardList",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetStandardList(pDataSource, lngCatalogID, pbstrList);
                                });
  }

  HRESULT InitNewStandard(BSTR bstrProperty, LONG* plngNewID) override {
    return korvalis::frame::Run(kVote, "CQCAdmin::InitNewStandard",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::InitNewStandard(pDataSource, bstrProperty, plngNewID);
                                });
  }

  HRESULT SaveStandardProperty(LONG lngID, BSTR bstrProperty) override {
    return korvalis::frame::Run(kVote, "CQCAdmin::SaveStandardProperty",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::SaveStandardProperty(pDataSource, lngID, bstrProperty);
                                });
  }

  HRESULT InitNewStandardCatalog(BSTR bstrProperty, LONG* plngNewID) override {
    return korvalis::frame::Run(
        kVote, "CQCAdmin::InitNewStandardCatalog", [&](CEMRDataSource* pDataSource) {
          Body::InitNewStandardCatalog(pDataSource, bstrProperty, plngNewID);
        });
  }

  HRESULT SaveStandardCatalogProperty(LONG lngID, BSTR bstrProperty) override {
    return korvalis::frame::Run(
        kVote, "CQCAdmin::SaveStandardCatalogProperty", [&](CEMRDataSource* pDataSource) {
          Body::SaveStandardCatalogProperty(pDataSource, lngID, bstrProperty);
        });
  }

  HRESULT GetAllStandardCatalogList(BSTR* pbstrList) override {
    return korvalis::frame::Run(kNoVote, "CQCAdmin::GetAllStandardCatalogList",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetAllStandardCatalogList(pDataSource, pbstrList);
                                });
  }

  HRESULT GetStandardProperty(LONG lngID, BSTR* pbstrProperty) override {
    return korvalis::frame::Run(kNoVote, "CQCAdmin::GetStandardProperty",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetStandardProperty(pDataSource, lngID, pbstrProperty);
                                });
  }

  HRESULT GetStandardCatalogProperty(LONG lngID, BSTR* pbstrProperty) override {
    return korvalis::frame::Run(
        kNoVote, "CQCAdmin::GetStandardCatalogProperty", [&](CEMRDataSource* pDataSource) {
          Body::GetStandardCatalogProperty(pDataSource, lngID, pbstrProperty);
        });
  }

  HRESULT DeleteStandard(LONG lngID) override {
    return korvalis::frame::Run(
        kVote, "CQCAdmin::DeleteStandard",
        [&](CEMRDataSource* pDataSource) { Body::DeleteStandard(pDataSource, lngID); });
  }

  HRESULT DeleteStandardCatalog(LONG lngID) override {
    return korvalis::frame::Run(
        kVote, "CQCAdmin::DeleteStandardCatalog",
        [&](CEMRDataSource* pDataSource) { Body::DeleteStandardCatalog(pDataSource, lngID); });
  }

  HRESULT GetEMRAndQCMap(BSTR* pbstrMapList) override {
    return korvalis::frame::Run(
        kNoVote, "CQCAdmin::GetEMRAndQCMap",
        [&](CEMRDataSource* pDataSource) { Body::GetEMRAndQCMap(pDataSource, pbstrMapList); });
  }

  HRESULT SaveEMRAndQCMap(BSTR bstrMapList) override {
    // Kept for its callers: runs the whole call, vote included, and stores nothing.
    return korvalis::frame::Run(
        kVote, "CQCAdmin::SaveEMRAndQCMap",
        [&](CEMRDataSource* pDataSource) { korvalis::frame::DoNothing(pDataSource, bstrMapList); });
  }

  HRESULT GetRuleException(BSTR bstrRuleId, BSTR* pbstrExceptionProperty) override {
    return korvalis::frame::Run(
        kNoVote, "CQCAdmin::GetRuleException", [&](CEMRDataSource* pDataSource) {
          Body::GetRuleException(pDataSource, bstrRuleId, pbstrExceptionProperty);
        });
  }

  HRESULT SaveRuleException(BSTR bstrRuleId, BSTR bstrExceptionProperty) override {
    return korvalis::frame::Run(
        kVote, "CQCAdmin::SaveRuleException", [&](CEMRDataSource* pDataSource) {
          Body::SaveRuleException(pDataSource, bstrRuleId, bstrExceptionProperty);
        });
  }

  HRESULT GetStandardList2(BSTR bstrCondition, BSTR* pbstrList) override {
    return korvalis::frame::Run(kNoVote, "CQCAdmin::GetStandardList2",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetStandardList2(pDataSource, bstrCondition, pbstrList);
                                });
  }

  HRESULT GetStandardListByID(BSTR bstrIDList, BSTR* pbstrList) override {
    return korvalis::frame::Run(kNoVote, "CQCAdmin::GetStandardListByID",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetStandardListByID(pDataSource, bstrIDList, pbstrList);
                                });
  }

  HRESULT IsStandardCodeExist(BSTR bstrID, BSTR bstrCode, LONG* pbExist) override {
    return korvalis::frame::Run(kNoVote, "CQCAdmin::IsStandardCodeExist",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::IsStandardCodeExist(pDataSource, bstrID, bstrCode, pbExist);
                                });
  }

  HRESULT AddQcEventAdviceMap(BSTR bstrProperty) override {
    return korvalis::frame::Run(
        kVote, "CQCAdmin::AddQcEventAdviceMap",
        [&](CEMRDataSource* pDataSource) { Body::AddQcEventAdviceMap(pDataSource, bstrProperty); });
  }

  HRESULT RemoveQcEventMap(BSTR bstrQcEventCode, BSTR bstrAdviceCode) override {
    return korvalis::frame::Run(
        kVote, "CQCAdmin::RemoveQcEventMap", [&](CEMRDataSource* pDataSource) {
          Body::RemoveQcEventMap(pDataSource, bstrQcEventCode, bstrAdviceCode);
        });
  }

  HRESULT GetQcEventAdviceMapList(BSTR bstrCondition, BSTR* pbstrMapList) override {
    return korvalis::frame::Run(
        kNoVote, "CQCAdmin::GetQcEventAdviceMapList", [&](CEMRDataSource* pDataSource) {
          Body::GetQcEventAdviceMapList(pDataSource, bstrCondition, pbstrMapList);
        });
  }

  HRESULT GetFieldsOfTable(BSTR bstrTableName, BSTR* pbstrFieldList) override {
    return korvalis::frame::Run(
        kNoVote, "CQCAdmin::GetFieldsOfTable", [&](CEMRDataSource* pDataSource) {
          Body::GetFieldsOfTable(pDataSource, bstrTableName, pbstrFieldList);
        });
  }

  HRESULT TestForSql(BSTR bstrStrSql, BSTR* pbstrResult) override {
    // Answers whether the client's SQL runs, "true" or "false", and never fails.
    return korvalis::frame::RunAnswering(
        [&](CEMRDataSource* pDataSource) { Body::TestForSql(pDataSource, bstrStrSql); },
        pbstrResult);
  }

  HRESULT GetDataOfTable(BSTR bstrCondition, BSTR* pbstrDataList) override {
    return korvalis::frame::Run(kNoVote, "CQCAdmin::GetDataOfTable",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetDataOfTable(pDataSource, bstrCondition, pbstrDataList);
                                });
  }

  HRESULT GetExistPrimary(BSTR bstrCondition, BSTR* pbstrDataList) override {
    return korvalis::frame::Run(kNoVote, "CQCAdmin::GetExistPrimary",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetExistPrimary(pDataSource, bstrCondition, pbstrDataList);
                                });
  }

  HRESULT PostSqlQuery(BSTR bstrCondition) override {
    return korvalis::frame::Run(kVote, "CQCAdmin::PostSqlQuery", [&](CEMRDataSource* pDataSource) {
      Body::PostSqlQuery(pDataSource, bstrCondition);
    });
  }

 protected:
  ~CQCAdminT() = default;

 private:
  static constexpr korvalis::frame::Vote kVote = korvalis::frame::Vote::kYes;
  static constexpr korvalis::frame::Vote kNoVote = korvalis::frame::Vote::kNo;
};

using CQCAdmin = CQCAdminT<CBQCAdmin>;
extern template class CQCAdminT<CBQCAdmin>;

// Creates one QCAdmin object; accepts an outer object that asks for IUnknown.
HRESULT CreateQCAdmin(IUnknown* outer, REFIID riid, void** ppv);
