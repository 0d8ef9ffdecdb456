#include "report/emr_report.h"

#include "foundation/not_available.h"

long CBEMRReport::ExportReport(CEMRDataSource*, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRReport::ExportReport");
}

long CBEMRReport::ImportReport(CEMRDataSource*, LONG, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRReport::ImportReport");
}

long CBEMRReport::GetUserReport(CEMRDataSource*, BSTR, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRReport::GetUserReport");
}

long CBEMRReport::DistributeReport(CEMRDataSource*, BSTR, BSTR) {
  korvalis::ThrowNotAvailable("CBEMRReport::DistributeReport");
}

long CBEMRReport::GetUserCatalog(CEMRDataSource*, BSTR, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRReport::GetUserCatalog");
}

long CBEMRReport::DistributeReportToUser(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBEMRReport::DistributeReportToUser");
}

long CBEMRReport::GetAllDistributedUserList(CEMRDataSource*, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRReport::GetAllDistributedUserList");
}
