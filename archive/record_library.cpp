#include "archive/record_library.h"

#include "foundation/not_available.h"

long GetEmrIdOfType(CSingleDataSource*, BSTR, BSTR, int, BSTR*) {
  korvalis::ThrowNotAvailable("GetEmrIdOfType");
}

long GetHeaderEmrId(CSingleDataSource*, BSTR, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("GetHeaderEmrId");
}

long GetResidenceEmrId(CSingleDataSource*, BSTR, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("GetResidenceEmrId");
}

long GetFirstRecordEmrId(CSingleDataSource*, BSTR, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("GetFirstRecordEmrId");
}

long GetLatestEmrIdOfType(CSingleDataSource*, BSTR, BSTR, int, std::u16string&) {
  korvalis::ThrowNotAvailable("GetLatestEmrIdOfType");
}

long GetOperationRecordsXml(CSingleDataSource*, BSTR, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("GetOperationRecordsXml");
}

long IsRecordSealed(CSingleDataSource*, BSTR, BSTR, VARIANT_BOOL*) {
  korvalis::ThrowNotAvailable("IsRecordSealed");
}

long GetAdmissionVitalSigns(CSingleDataSource*, BSTR, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("GetAdmissionVitalSigns");
}

long GetEmrCatalogProperty(CSingleDataSource*, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("GetEmrCatalogProperty");
}

long GetUserIdByLoginCode(CSingleDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("GetUserIdByLoginCode");
}

long GetUserPropertyById(CSingleDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("GetUserPropertyById");
}
