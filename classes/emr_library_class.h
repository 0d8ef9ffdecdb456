// CEMRLibrary: the automation class EMRLibrary, the record library: full-text and path search,
// browsing, search frames, conditions, operators, users and login check. Each method is a wrapper
// that gives the call its own data source (and, for the methods that vote, a vote on the call's
// transaction), hands its arguments unchanged to the body CBEMRLibrary::<Method> and turns a
// failure into the thread's error information and E_FAIL.
//
// The class is a template over its business class so that tests can put a recording body in its
// place; CEMRLibrary is the class the library creates.
//
// Thread-safety: an object has no state but its atomic reference count; each call works on its own
// stack.
#pragma once

#include "archive/emr_library.h"
#include "interface/emr_library_interface.h"
#include "interface/method_frame.h"
#include "platform/com/com_object.h"
#include "platform/com/dispatch_impl.h"
#include "platform/com/support_error_info.h"

template <class Body>
class CEMRLibraryT : public korvalis::com::ComObjectRoot,
                     public korvalis::com::DispatchImpl<IEMRLibrary, kIEMRLibraryInfo>,
                     public korvalis::com::SupportErrorInfoImpl<IID_IEMRLibrary> {
 public:
  static std::span<const korvalis::com::InterfaceMapEntry> InterfaceMap() {
    using korvalis::com::MapEntry;
    static constexpr korvalis::com::InterfaceMapEntry kMap[] = {
        MapEntry<CEMRLibraryT, IEMRLibrary>(IID_IEMRLibrary),
        MapEntry<CEMRLibraryT, IDispatch>(IID_IDispatch),
        MapEntry<CEMRLibraryT, ISupportErrorInfo>(IID_ISupportErrorInfo)};
    return kMap;
  }

  HRESULT FullSearch(BSTR bstrWhat, LONG lngStartRow, LONG lngEndRow, BSTR* pbstrResult) override {
    return korvalis::frame::Run(
        kNoVote, "CEMRLibrary::FullSearch", [&](CEMRDataSource* pDataSource) {
          Body::FullSearch(pDataSource, bstrWhat, lngStartRow, lngEndRow, pbstrResult);
        });
  }

  HRESULT GetHeaderXml(BSTR bstrPatientID, BSTR bstrEventNo, BSTR* pbstrXml) override {
    return korvalis::frame::Run(
        kNoVote, "CEMRLibrary::GetHeaderXml", [&](CEMRDataSource* pDataSource) {
          Body::GetHeaderXml(pDataSource, bstrPatientID, bstrEventNo, pbstrXml);
        });
  }

  HRESULT GetEMRContent(BSTR bstrEMRID, BSTR* pbstrContent) override {
    return korvalis::frame::Run(kNoVote, "CEMRLibrary::GetEMRContent",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetEMRContent(pDataSource, bstrEMRID, pbstrContent);
                                });
  }

  HRESULT BrowseEMR(BSTR bstrPatientID, BSTR bstrEventNo, LONG lngCatalog,
                    BSTR* pbstrContent) override {
    return korvalis::frame::Run(
        kNoVote, "CEMRLibrary::BrowseEMR", [&](CEMRDataSource* pDataSource) {
          Body::BrowseEMR(pDataSource, bstrPatientID, bstrEventNo, lngCatalog, pbstrContent);
        });
  }

  HRESULT SingleSearch(BSTR bstrPatientID, BSTR* pbstrResult) override {
    return korvalis::frame::Run(kNoVote, "CEMRLibrary::SingleSearch",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::SingleSearch(pDataSource, bstrPatientID, pbstrResult);
                                });
  }

  HRESULT FullSearch2(BSTR bstrCondition, BSTR bstrWhat, LONG lngStartRow, LONG lngEndRow,
                      BSTR* pbstrResult) override {
    return korvalis::frame::Run(kNoVote, "CEMRLibrary::FullSearch2",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::FullSearch2(pDataSource, bstrCondition, bstrWhat,
                                                    lngStartRow, lngEndRow, pbstrResult);
                                });
  }

  HRESULT PathSearch(BSTR bstrCondition, BSTR bstrPathWhat, LONG lngStartRow, LONG lngEndRow,
                     BSTR* pbstrResult) override {
    return korvalis::frame::Run(kNoVote, "CEMRLibrary::PathSearch",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::PathSearch(pDataSource, bstrCondition, bstrPathWhat,
                                                   lngStartRow, lngEndRow, pbstrResult);
                                });
  }

  HRESULT GetConditionList(BSTR* pbstrList) override {
    return korvalis::frame::Run(
        kNoVote, "CEMRLibrary::GetConditionList",
        [&](CEMRDataSource* pDataSource) { Body::GetConditionList(pDataSource, pbstrList); });
  }

  HRESULT GetOperatorList(BSTR bstrType, BSTR* pbstrList) override {
    return korvalis::frame::Run(kNoVote, "CEMRLibrary::GetOperatorList",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetOperatorList(pDataSource, bstrType, pbstrList);
                                });
  }

  HRESULT GetXmlFrameList(BSTR* pbstrList) override {
    return korvalis::frame::Run(
        kNoVote, "CEMRLibrary::GetXmlFrameList",
        [&](CEMRDataSource* pDataSource) { Body::GetXmlFrameList(pDataSource, pbstrList); });
  }

  HRESULT SaveXmlFrameProperty(LONG lngID, BSTR bstrProperty, LONG* plngID) override {
    return korvalis::frame::Run(
        kVote, "CEMRLibrary::SaveXmlFrameProperty", [&](CEMRDataSource* pDataSource) {
          Body::SaveXmlFrameProperty(pDataSource, lngID, bstrProperty, plngID);
        });
  }

  HRESULT GetXmlFrameContent(LONG lngID, BSTR* pbstrContent) override {
    return korvalis::frame::Run(kNoVote, "CEMRLibrary::GetXmlFrameContent",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetXmlFrameContent(pDataSource, lngID, pbstrContent);
                                });
  }

  HRESULT SaveXmlFrameContent(LONG lngID, BSTR bstrContent) override {
    return korvalis::frame::Run(kVote, "CEMRLibrary::SaveXmlFrameContent",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::SaveXmlFrameContent(pDataSource, lngID, bstrContent);
                                });
  }

  HRESULT GetPathValue(BSTR bstrID, BSTR bstrPath, BSTR* pbstrValue) override {
    return korvalis::frame::Run(kNoVote, "CEMRLibrary::GetPathValue",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetPathValue(pDataSource, bstrID, bstrPath, pbstrValue);
                                });
  }

  HRESULT GetDictContent(LONG lngID, BSTR* pbstrContent) override {
    return korvalis::frame::Run(kNoVote, "CEMRLibrary::GetDictContent",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetDictContent(pDataSource, lngID, pbstrContent);
                                });
  }

  HRESULT GetBrowserCatalog(BSTR bstrPatientID, BSTR bstrEventNo, BSTR* pbstrList) override {
    return korvalis::frame::Run(
        kNoVote, "CEMRLibrary::GetBrowserCatalog", [&](CEMRDataSource* pDataSource) {
          Body::GetBrowserCatalog(pDataSource, bstrPatientID, bstrEventNo, pbstrList);
        });
  }

  HRESULT IsPass(BSTR bstrLoginCode, BSTR bstrPassCode, VARIANT_BOOL* pvbPass) override {
    return korvalis::frame::Run(kNoVote, "CEMRLibrary::IsPass", [&](CEMRDataSource* pDataSource) {
      Body::IsPass(pDataSource, bstrLoginCode, bstrPassCode, pvbPass);
    });
  }

  HRESULT SaveConditionList(BSTR bstrList) override {
    return korvalis::frame::Run(
        kVote, "CEMRLibrary::SaveConditionList",
        [&](CEMRDataSource* pDataSource) { Body::SaveConditionList(pDataSource, bstrList); });
  }

  HRESULT SaveOperatorList(BSTR bstrList) override {
    return korvalis::frame::Run(
        kVote, "CEMRLibrary::SaveOperatorList",
        [&](CEMRDataSource* pDataSource) { Body::SaveOperatorList(pDataSource, bstrList); });
  }

  HRESULT GetUserList(BSTR* pbstrList) override {
    return korvalis::frame::Run(
        kNoVote, "CEMRLibrary::GetUserList",
        [&](CEMRDataSource* pDataSource) { Body::GetUserList(pDataSource, pbstrList); });
  }

  HRESULT SaveUserList(BSTR bstrList) override {
    return korvalis::frame::Run(
        kVote, "CEMRLibrary::SaveUserList",
        [&](CEMRDataSource* pDataSource) { Body::SaveUserList(pDataSource, bstrList); });
  }

  HRESULT DeleteXmlFrame(LONG lngID) override {
    return korvalis::frame::Run(
        kVote, "CEMRLibrary::DeleteXmlFrame",
        [&](CEMRDataSource* pDataSource) { Body::DeleteXmlFrame(pDataSource, lngID); });
  }

  HRESULT GetUserProperty(BSTR bstrLoginCode, BSTR* pbstrPro) override {
    return korvalis::frame::Run(kNoVote, "CEMRLibrary::GetUserProperty",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetUserProperty(pDataSource, bstrLoginCode, pbstrPro);
                                });
  }

  HRESULT GetXmlFrameProperty(LONG lngID, BSTR* pbstrProperty) override {
    return korvalis::frame::Run(kNoVote, "CEMRLibrary::GetXmlFrameProperty",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetXmlFrameProperty(pDataSource, lngID, pbstrProperty);
                                });
  }

  HRESULT UnLimitBrowseEMR(BSTR bstrPatientID, BSTR bstrEventNo, LONG lngCatalog,
                           BSTR* pbstrContent) override {
    return korvalis::frame::Run(
        kNoVote, "CEMRLibrary::UnLimitBrowseEMR", [&](CEMRDataSource* pDataSource) {
          Body::UnLimitBrowseEMR(pDataSource, bstrPatientID, bstrEventNo, lngCatalog, pbstrContent);
        });
  }

  HRESULT GetURLXmlFile(BSTR bstrURL, BSTR* pbstrContent) override {
    return korvalis::frame::Run(kNoVote, "CEMRLibrary::GetURLXmlFile",
                                [&](CEMRDataSource* pDataSource) {
                                  Body::GetURLXmlFile(pDataSource, bstrURL, pbstrContent);
                                });
  }

 protected:
  ~CEMRLibraryT() = default;

 private:
  static constexpr korvalis::frame::Vote kVote = korvalis::frame::Vote::kYes;
  static constexpr korvalis::frame::Vote kNoVote = korvalis::frame::Vote::kNo;
};

using CEMRLibrary = CEMRLibraryT<CBEMRLibrary>;
extern template class CEMRLibraryT<CBEMRLibrary>;

// Creates one EMRLibrary object; refuses an outer object.
HRESULT CreateEMRLibrary(IUnknown* outer, REFIID riid, void** ppv);
