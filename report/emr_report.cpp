#include "report/emr_report.h"

#include "foundation/not_available.h"

long CBEMRReport::InitNewCatalog(CEMRDataSource*, BSTR, BSTR, LONG*) {
  korvalis::ThrowNotAvailable("CBEMRReport::InitNewCatalog");
}

long CBEMRReport::DeleteCatalog(CEMRDataSource*, LONG) {
  korvalis::ThrowNotAvailable("CBEMRReport::DeleteCatalog");
}

long CBEMRReport::GetCatalogList(CEMRDataSource*, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRReport::GetCatalogList");
}

long CBEMRReport::GetCatalogProperty(CEMRDataSource*, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRReport::GetCatalogProperty");
}

long CBEMRReport::SetCatalogProperty(CEMRDataSource*, LONG, BSTR) {
  korvalis::ThrowNotAvailable("CBEMRReport::SetCatalogProperty");
}

long CBEMRReport::InitNewReport(CEMRDataSource*, LONG, BSTR, LONG*) {
  korvalis::ThrowNotAvailable("CBEMRReport::InitNewReport");
}

long CBEMRReport::DeleteReport(CEMRDataSource*, LONG) {
  korvalis::ThrowNotAvailable("CBEMRReport::DeleteReport");
}

long CBEMRReport::GetReportList(CEMRDataSource*, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRReport::GetReportList");
}

long CBEMRReport::GetReportProperty(CEMRDataSource*, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRReport::GetReportProperty");
}

long CBEMRReport::SetReportProperty(CEMRDataSource*, LONG, BSTR) {
  korvalis::ThrowNotAvailable("CBEMRReport::SetReportProperty");
}

long CBEMRReport::GetReportSQL(CEMRDataSource*, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRReport::GetReportSQL");
}

long CBEMRReport::SetReportSQL(CEMRDataSource*, LONG, BSTR) {
  korvalis::ThrowNotAvailable("CBEMRReport::SetReportSQL");
}

long CBEMRReport::GetReportXSLT(CEMRDataSource*, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRReport::GetReportXSLT");
}

long CBEMRReport::SetReportXSLT(CEMRDataSource*, LONG, BSTR) {
  korvalis::ThrowNotAvailable("CBEMRReport::SetReportXSLT");
}

long CBEMRReport::GetSQLProperty(CEMRDataSource*, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRReport::GetSQLProperty");
}

long CBEMRReport::SetSQLProperty(CEMRDataSource*, LONG, BSTR) {
  korvalis::ThrowNotAvailable("CBEMRReport::SetSQLProperty");
}

long CBEMRReport::GetSQLParam(CEMRDataSource*, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRReport::GetSQLParam");
}

long CBEMRReport::SetSQLParam(CEMRDataSource*, LONG, BSTR) {
  korvalis::ThrowNotAvailable("CBEMRReport::SetSQLParam");
}

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

long CBEMRReport::GetReportContent(CEMRDataSource*, LONG, BSTR, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRReport::GetReportContent");
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

long CBEMRReport::GetReportSQL2(CEMRDataSource*, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRReport::GetReportSQL2");
}

long CBEMRReport::SetReportSQL2(CEMRDataSource*, LONG, BSTR) {
  korvalis::ThrowNotAvailable("CBEMRReport::SetReportSQL2");
}

long CBEMRReport::IsNewFormat(CEMRDataSource*, LONG, VARIANT_BOOL*) {
  korvalis::ThrowNotAvailable("CBEMRReport::IsNewFormat");
}

long CBEMRReport::GetResultXML(CEMRDataSource*, LONG, BSTR, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRReport::GetResultXML");
}

long CBEMRReport::GetReportData(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRReport::GetReportData");
}

long CBEMRReport::GetCurrTime(CEMRDataSource*, BSTR*) {
  korvalis::ThrowNotAvailable("CBEMRReport::GetCurrTime");
}
