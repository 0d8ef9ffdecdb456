#include "archive/emr_library.h"

#include "archive/record_library.h"
#include "foundation/emr_data_source.h"
#include "foundation/not_available.h"
#include "platform/com/scoped_bstr.h"

long CBEMRLibrary::GetHeaderXml(CEMRDataSource*, BSTR, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRLibrary::GetHeaderXml");
}

long CBEMRLibrary::GetEMRContent(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRLibrary::GetEMRContent");
}

long CBEMRLibrary::BrowseEMR(CEMRDataSource*, BSTR, BSTR, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRLibrary::BrowseEMR");
}

long CBEMRLibrary::GetDictContent(CEMRDataSource*, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRLibrary::GetDictContent");
}

long CBEMRLibrary::GetBrowserCatalog(CEMRDataSource*, BSTR, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRLibrary::GetBrowserCatalog");
}

long CBEMRLibrary::GetUserProperty(CEMRDataSource* pDataSource, BSTR bstrLoginCode,
                                   BSTR* pbstrPro) {
  korvalis::com::ScopedBstr user_id;
  GetUserIdByLoginCode(pDataSource, bstrLoginCode, user_id.out());
  return GetUserPropertyById(pDataSource, user_id.get(), pbstrPro);
}

long CBEMRLibrary::UnLimitBrowseEMR(CEMRDataSource*, BSTR, BSTR, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRLibrary::UnLimitBrowseEMR");
}

long CBEMRLibrary::GetURLXmlFile(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRLibrary::GetURLXmlFile");
}
