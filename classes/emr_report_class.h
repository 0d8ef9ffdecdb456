// CEMRReport: the automation class EMRReport, the report catalogue and the reports (SQL, XSLT,
// parameters), their export, import, distribution and content. Each method is a wrapper that gives
// the call its own data source (and, for the methods that vote, a vote on the call's transaction),
// hands its arguments unchanged to the body CBEMRReport::<Method> and turns a failure into the
// thread's error information and E_FAIL.
//
// GetReportDict is not offered (E_NOTIMPL). ExportReport, ImportReport, DistributeReportToUser and
// GetAllDistributedUserList refuse a bad report identifier, a null list or a null result with
// E_FAIL before the call starts, without error information.
//
// The class is a template over its business class so that tests can put a recording body in its
// place; CEMRReport is the class the library creates.
//
// Thread-safety: an object has no state but its atomic reference count; each call works on its own
// stack.
#pragma once

#include "interface/emr_report_interface.h"
#include "interface/method_frame.h"
#include "platform/com/com_object.h"
#include "platform/com/dispatch_impl.h"
#include "platform/com/support_error_info.h"
#include "report/emr_report.h"

template <class Body>
class CEMRReportT : public korvalis::com::ComObjectRoot,
                    public korvalis::com::DispatchImpl<IEMRReport, kIEMRReportInfo>,
                    public korvalis::com::SupportErrorInfoImpl<IID_IEMRReport> {
 public:
  static std::span<const korvalis::com::InterfaceMapEntry> InterfaceMap() {
    using korvalis::com::MapEntry;
    static constexpr korvalis::com::InterfaceMapEntry kMap[] = {
        MapEntry<CEMRReportT, IEMRReport>(IID_IEMRReport),
        MapEntry<CEMRReportT, IDispatch>(IID_IDispatch),
        MapEntry<CEMRReportT, ISupportErrorInfo>(IID_ISupportErrorInfo)};
    return kMap;
  }

  HRESULT InitNewCatalog(BSTR bstrParentCode, BSTR bstrProperty, LONG* plngCatalogID) override {
    return korvalis::frame::Run(
        kVote, "CEMRReport::InitNewCatalog", [&](CEMRDataSource* pDataSource) {
          Body::InitNewCatalog(pDataSource, bstrParentCode, bstrProperty, plngCatalogID);
        });
  }

  HRESULT DeleteCatalog(LONG lngCatalogID) override {
    return korvalis::frame::Run(
        kVote, "CEMRReport::DeleteCatalog",
        [&](CEMRDataSource* pDataSource) { Body::DeleteCatalog(pDataSource, lngCatalogID); });
  }

  HRESULT GetCatalogList(LONG lngParentID, BSTR* pbstrList) override {
    return korvalis::frame::Run(kNoVote, "CEMRReport::GetCatalogList",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetCatalogList(pDataSource, lngParentID, pbstrList);
                                });
  }

  HRESULT GetCatalogProperty(LONG lngCatalogID, BSTR* pbstrProperty) override {
    return korvalis::frame::Run(
        kNoVote, "CEMRReport::GetCatalogProperty", [&](CEMRDataSource* pDataSource) {
          Body::GetCatalogProperty(pDataSource, lngCatalogID, pbstrProperty);
        });
  }

  HRESULT SetCatalogProperty(LONG lngCatalogID, BSTR bstrProperty) override {
    return korvalis::frame::Run(kVote, "CEMRReport::SetCatalogProperty",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::SetCatalogProperty(pDataSource, lngCatalogID, bstrProperty);
                                });
  }

  HRESULT InitNewReport(LONG lngCatalogID, BSTR bstrProperty, LONG* plngReportID) override {
    return korvalis::frame::Run(
        kVote, "CEMRReport::InitNewReport", [&](CEMRDataSource* pDataSource) {
          Body::InitNewReport(pDataSource, lngCatalogID, bstrProperty, plngReportID);
        });
  }

  HRESULT DeleteReport(LONG lngReportID) override {
    return korvalis::frame::Run(
        kVote, "CEMRReport::DeleteReport",
        [&](CEMRDataSource* pDataSource) { Body::DeleteReport(pDataSource, lngReportID); });
  }

  HRESULT GetReportList(LONG lngCatalogID, BSTR* pbstrList) override {
    return korvalis::frame::Run(kNoVote, "CEMRReport::GetReportList",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetReportList(pDataSource, lngCatalogID, pbstrList);
                                });
  }

  HRESULT GetReportProperty(LONG lngReportID, BSTR* pbstrProperty) override {
    return korvalis::frame::Run(kNoVote, "CEMRReport::GetReportProperty",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetReportProperty(pDataSource, lngReportID, pbstrProperty);
                                });
  }

  HRESULT SetReportProperty(LONG lngReprotID, BSTR bstrProperty) override {
    return korvalis::frame::Run(kVote, "CEMRReport::SetReportProperty",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::SetReportProperty(pDataSource, lngReprotID, bstrProperty);
                                });
  }

  HRESULT GetReportSQL(LONG lngReportID, BSTR* pbstrSQL) override {
    return korvalis::frame::Run(kNoVote, "CEMRReport::GetReportSQL",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetReportSQL(pDataSource, lngReportID, pbstrSQL);
                                });
  }

  HRESULT SetReportSQL(LONG lngReportID, BSTR bstrSQL) override {
    return korvalis::frame::Run(kVote, "CEMRReport::SetReportSQL",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::SetReportSQL(pDataSource, lngReportID, bstrSQL);
                                });
  }

  HRESULT GetReportXSLT(LONG lngReportID, BSTR* pbstrXSLT) override {
    return korvalis::frame::Run(kNoVote, "CEMRReport::GetReportXSLT",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetReportXSLT(pDataSource, lngReportID, pbstrXSLT);
                                });
  }

  HRESULT SetReportXSLT(LONG lngReportID, BSTR bstrXSLT) override {
    return korvalis::frame::Run(kVote, "CEMRReport::SetReportXSLT",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::SetReportXSLT(pDataSource, lngReportID, bstrXSLT);
                                });
  }

  HRESULT GetSQLProperty(LONG lngReportID, BSTR* pbstrProperty) override {
    return korvalis::frame::Run(kNoVote, "CEMRReport::GetSQLProperty",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetSQLProperty(pDataSource, lngReportID, pbstrProperty);
                                });
  }

  HRESULT SetSQLProperty(LONG lngReportID, BSTR bstrProperty) override {
    return korvalis::frame::Run(kNoVote, "CEMRReport::SetSQLProperty",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::SetSQLProperty(pDataSource, lngReportID, bstrProperty);
                                });
  }

  HRESULT GetSQLParam(LONG lngReportID, BSTR* pbstrProperty) override {
    return korvalis::frame::Run(kNoVote, "CEMRReport::GetSQLParam",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetSQLParam(pDataSource, lngReportID, pbstrProperty);
                                });
  }

  HRESULT SetSQLParam(LONG lngReportID, BSTR bstrParam) override {
    return korvalis::frame::Run(kVote, "CEMRReport::SetSQLParam", [&](CEMRDataSource* pDataSource) {
      Body::SetSQLParam(pDataSource, lngReportID, bstrParam);
    });
  }

  HRESULT ExportReport(LONG lngReportID, BSTR* pbstrReport) override {
    if (lngReportID < 0) {
      if (pbstrReport != nullptr) *pbstrReport = SysAllocString(u"");
      return E_FAIL;
    }
    return korvalis::frame::Run(kNoVote, "CEMRReport::ExportReport",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::ExportReport(pDataSource, lngReportID, pbstrReport);
                                });
  }

  HRESULT ImportReport(LONG lngReportID, BSTR bstrReport, BSTR* pbstrPortion) override {
    if (lngReportID < 0 || pbstrPortion == nullptr) return E_FAIL;
    *pbstrPortion = SysAllocString(u"");
    return korvalis::frame::Run(
        kVote, "CEMRReport::ImportReport", [&](CEMRDataSource* pDataSource) {
          Body::ImportReport(pDataSource, lngReportID, bstrReport, pbstrPortion);
        });
  }

  HRESULT GetUserReport(BSTR bstrUserID, LONG lngCatalogID, BSTR* pbstrList) override {
    return korvalis::frame::Run(
        kNoVote, "CEMRReport::GetUserReport", [&](CEMRDataSource* pDataSource) {
          Body::GetUserReport(pDataSource, bstrUserID, lngCatalogID, pbstrList);
        });
  }

  HRESULT DistributeReport(BSTR bstrUserID, BSTR bstrList) override {
    return korvalis::frame::Run(kVote, "CEMRReport::DistributeReport",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::DistributeReport(pDataSource, bstrUserID, bstrList);
                                });
  }

  HRESULT GetReportContent(LONG lngReportID, BSTR bstrParam, BSTR bstrClientInfo,
                           BSTR* pbstrContent) override {
    return korvalis::frame::Run(
        kNoVote, "CEMRReport::GetReportContent", [&](CEMRDataSource* pDataSource) {
          Body::GetReportContent(pDataSource, lngReportID, bstrParam, bstrClientInfo, pbstrContent);
        });
  }

  HRESULT GetUserCatalog(BSTR bstrUserID, LONG lngCatalogID, BSTR* pbstrList) override {
    return korvalis::frame::Run(
        kNoVote, "CEMRReport::GetUserCatalog", [&](CEMRDataSource* pDataSource) {
          Body::GetUserCatalog(pDataSource, bstrUserID, lngCatalogID, pbstrList);
        });
  }

  // Not offered by this class.
  HRESULT GetReportDict(BSTR, BSTR*) override { return E_NOTIMPL; }

  HRESULT DistributeReportToUser(BSTR bstrReportIDList) override {
    if (bstrReportIDList == nullptr) return E_FAIL;
    return korvalis::frame::Run(kVote, "CEMRReport::DistributeReportToUser",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::DistributeReportToUser(pDataSource, bstrReportIDList);
                                });
  }

  HRESULT GetAllDistributedUserList(LONG lngReportID, BSTR* pbstrUserList) override {
    if (lngReportID < 1 || pbstrUserList == nullptr) return E_FAIL;
    return korvalis::frame::Run(
        kNoVote, "CEMRReport::GetAllDistributedUserList", [&](CEMRDataSource* pDataSource) {
          Body::GetAllDistributedUserList(pDataSource, lngReportID, pbstrUserList);
        });
  }

  HRESULT GetReportSQL2(LONG lngReportID, BSTR* pbstrSQL) override {
    return korvalis::frame::Run(kNoVote, "CEMRReport::GetReportSQL2",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetReportSQL2(pDataSource, lngReportID, pbstrSQL);
                                });
  }

  HRESULT SetReportSQL2(LONG lngReportID, BSTR bstrSQL) override {
    return korvalis::frame::Run(kVote, "CEMRReport::SetReportSQL2",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::SetReportSQL2(pDataSource, lngReportID, bstrSQL);
                                });
  }

  HRESULT IsNewFormat(LONG lngReportID, VARIANT_BOOL* pbNewFormat) override {
    return korvalis::frame::Run(kNoVote, "CEMRReport::IsNewFormat",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::IsNewFormat(pDataSource, lngReportID, pbNewFormat);
                                });
  }

  HRESULT GetResultXML(LONG lngReportID, BSTR bstrParam, BSTR bstrClientInfo,
                       BSTR* pbstrXml) override {
    return korvalis::frame::Run(
        kNoVote, "CEMRReport::GetResultXML", [&](CEMRDataSource* pDataSource) {
          Body::GetResultXML(pDataSource, lngReportID, bstrParam, bstrClientInfo, pbstrXml);
        });
  }

  HRESULT GetReportData(BSTR bstrCatalogID, BSTR* pbstrProperty) override {
    return korvalis::frame::Run(kNoVote, "CEMRReport::GetReportData",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetReportData(pDataSource, bstrCatalogID, pbstrProperty);
                                });
  }

  // The database server's current date and time. An operation of the class that its
  // interface does not offer.
  HRESULT GetCurrTime(BSTR* pbstrTime) {
    return korvalis::frame::Run(
        kNoVote, "CEMRReport::GetCurrTime",
        [&](CEMRDataSource* pDataSource) { Body::GetCurrTime(pDataSource, pbstrTime); });
  }

 protected:
  ~CEMRReportT() = default;

 private:
  static constexpr korvalis::frame::Vote kVote = korvalis::frame::Vote::kYes;
  static constexpr korvalis::frame::Vote kNoVote = korvalis::frame::Vote::kNo;
};

using CEMRReport = CEMRReportT<CBEMRReport>;
extern template class CEMRReportT<CBEMRReport>;

// Creates one EMRReport object; accepts an outer object that asks for IUnknown.
HRESULT CreateEMRReport(IUnknown* outer, REFIID riid, void** ppv);
