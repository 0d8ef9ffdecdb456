// The texts that make a report run, each in a BLOB column of TELV_REPORT: the old format's query
// (SQL), the new format's multi-SQL document (MULTI_SQL), the parameter definitions (SQL_PARAM)
// and the style sheet (XSLT). Their stored forms are in report_store.h. The getters answer the
// stored bytes as they are and the setters store the argument's bytes as they are; a deleted
// report's columns stay readable and writable.
#include "foundation/data/emr_data_source.h"
#include "report/emr_report.h"
#include "report/report_store.h"

using korvalis::report::ReadReportColumn;
using korvalis::report::WriteReportColumn;

long CBEMRReport::GetReportSQL(CEMRDataSource* pDataSource, LONG lngReportID, BSTR* pbstrSQL) {
  ReadReportColumn(*pDataSource, korvalis::report::kSqlColumn, lngReportID, pbstrSQL);
  return 0;
}

long CBEMRReport::SetReportSQL(CEMRDataSource* pDataSource, LONG lngReportID, BSTR bstrSQL) {
  WriteReportColumn(*pDataSource, korvalis::report::kSqlColumn, lngReportID, bstrSQL);
  return 0;
}

long CBEMRReport::GetReportXSLT(CEMRDataSource* pDataSource, LONG lngReportID, BSTR* pbstrXSLT) {
  ReadReportColumn(*pDataSource, korvalis::report::kXsltColumn, lngReportID, pbstrXSLT);
  return 0;
}

long CBEMRReport::SetReportXSLT(CEMRDataSource* pDataSource, LONG lngReportID, BSTR bstrXSLT) {
  WriteReportColumn(*pDataSource, korvalis::report::kXsltColumn, lngReportID, bstrXSLT);
  return 0;
}

long CBEMRReport::GetSQLParam(CEMRDataSource* pDataSource, LONG lngReportID, BSTR* pbstrProperty) {
  ReadReportColumn(*pDataSource, korvalis::report::kSqlParamColumn, lngReportID, pbstrProperty);
  return 0;
}

long CBEMRReport::SetSQLParam(CEMRDataSource* pDataSource, LONG lngReportID, BSTR bstrParam) {
  WriteReportColumn(*pDataSource, korvalis::report::kSqlParamColumn, lngReportID, bstrParam);
  return 0;
}

long CBEMRReport::GetReportSQL2(CEMRDataSource* pDataSource, LONG lngReportID, BSTR* pbstrSQL) {
  ReadReportColumn(*pDataSource, korvalis::report::kMultiSqlColumn, lngReportID, pbstrSQL);
  return 0;
}

long CBEMRReport::SetReportSQL2(CEMRDataSource* pDataSource, LONG lngReportID, BSTR bstrSQL) {
  WriteReportColumn(*pDataSource, korvalis::report::kMultiSqlColumn, lngReportID, bstrSQL);
  return 0;
}
