#include "archive/emr_library.h"

#include "archive/record_library.h"
#include "foundation/emr_data_source.h"
#include "foundation/not_available.h"
#include "platform/com/scoped_bstr.h"

long CBEMRLibrary::FullSearch(CEMRDataSource*, BSTR, LONG, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRLibrary::FullSearch");
}

long CBEMRLibrary::GetHeaderXml(CEMRDataSource*, BSTR, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRLibrary::GetHeaderXml");
}

long CBEMRLibrary::GetEMRContent(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRLibrary::GetEMRContent");
}

long CBEMRLibrary::BrowseEMR(CEMRDataSource*, BSTR, BSTR, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRLibrary::BrowseEMR");
}

long CBEMRLibrary::SingleSearch(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRLibrary::SingleSearch");
}

long CBEMRLibrary::FullSearch2(CEMRDataSource*, BSTR, BSTR, LONG, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRLibrary::FullSearch2");
}

long CBEMRLibrary::PathSearch(CEMRDataSource*, BSTR, BSTR, LONG, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRLibrary::PathSearch");
}

long CBEMRLibrary::GetConditionList(CEMRDataSource*, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRLibrary::GetConditionList");
}

long CBEMRLibrary::GetOperatorList(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRLibrary::GetOperatorList");
}

long CBEMRLibrary::GetXmlFrameList(CEMRDataSource*, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRLibrary::GetXmlFrameList");
}

long CBEMRLibrary::SaveXmlFrameProperty(CEMRDataSource*, LONG, BSTR, LONG*) {
  korvalis::ThrowNotAvailable("CBEMRLibrary::SaveXmlFrameProperty");
}

long CBEMRLibrary::GetXmlFrameContent(CEMRDataSource*, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRLibrary::GetXmlFrameContent");
}

long CBEMRLibrary::SaveXmlFrameContent(CEMRDataSource*, LONG, BSTR) {
  korvalis::ThrowNotAvailable("CBEMRLibrary::SaveXmlFrameContent");
}

long CBEMRLibrary::GetPathValue(CEMRDataSource*, BSTR, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRLibrary::GetPathValue");
}

long CBEMRLibrary::GetDictContent(CEMRDataSource*, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRLibrary::GetDictContent");
}

long CBEMRLibrary::GetBrowserCatalog(CEMRDataSource*, BSTR, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRLibrary::GetBrowserCatalog");
}

long CBEMRLibrary::IsPass(CEMRDataSource*, BSTR, BSTR, VARIANT_BOOL*) {
  korvalis::ThrowNotAvailable("CBEMRLibrary::IsPass");
}

long CBEMRLibrary::SaveConditionList(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBEMRLibrary::SaveConditionList");
}

long CBEMRLibrary::SaveOperatorList(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBEMRLibrary::SaveOperatorList");
}

long CBEMRLibrary::GetUserList(CEMRDataSource*, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRLibrary::GetUserList");
}

long CBEMRLibrary::SaveUserList(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBEMRLibrary::SaveUserList");
}

long CBEMRLibrary::DeleteXmlFrame(CEMRDataSource*, LONG) {
  korvalis::ThrowNotAvailable("CBEMRLibrary::DeleteXmlFrame");
}

long CBEMRLibrary::GetUserProperty(CEMRDataSource* pDataSource, BSTR bstrLoginCode,
                                   BSTR* pbstrPro) {
  korvalis::com::ScopedBstr user_id;
  GetUserIdByLoginCode(pDataSource, bstrLoginCode, user_id.out());
  return GetUserPropertyById(pDataSource, user_id.get(), pbstrPro);
}

long CBEMRLibrary::GetXmlFrameProperty(CEMRDataSource*, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRLibrary::GetXmlFrameProperty");
}

long CBEMRLibrary::UnLimitBrowseEMR(CEMRDataSource*, BSTR, BSTR, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRLibrary::UnLimitBrowseEMR");
}

long CBEMRLibrary::GetURLXmlFile(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRLibrary::GetURLXmlFile");
}
