#include "quality/rules/qc_admin.h"

#include "foundation/not_available.h"

long CBQCAdmin::InitNewRule(CEMRDataSource*, BSTR, LONG*) {
  korvalis::ThrowNotAvailable("CBQCAdmin::InitNewRule");
}

long CBQCAdmin::GetRuleProperty(CEMRDataSource*, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCAdmin::GetRuleProperty");
}

long CBQCAdmin::SaveRuleProperty(CEMRDataSource*, LONG, BSTR) {
  korvalis::ThrowNotAvailable("CBQCAdmin::SaveRuleProperty");
}

long CBQCAdmin::DeleteRule(CEMRDataSource*, LONG) {
  korvalis::ThrowNotAvailable("CBQCAdmin::DeleteRule");
}

long CBQCAdmin::GetEmrTypeList(CEMRDataSource*, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCAdmin::GetEmrTypeList");
}

long CBQCAdmin::SaveEmrTypeList(CEMRDataSource*, LONG, BSTR) {
  korvalis::ThrowNotAvailable("CBQCAdmin::SaveEmrTypeList");
}

long CBQCAdmin::GetReplaceRuleList(CEMRDataSource*, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCAdmin::GetReplaceRuleList");
}

long CBQCAdmin::SaveReplaceRuleList(CEMRDataSource*, LONG, BSTR) {
  korvalis::ThrowNotAvailable("CBQCAdmin::SaveReplaceRuleList");
}

long CBQCAdmin::GetOpposeRuleList(CEMRDataSource*, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCAdmin::GetOpposeRuleList");
}

long CBQCAdmin::SaveOpposeRuleList(CEMRDataSource*, LONG, BSTR) {
  korvalis::ThrowNotAvailable("CBQCAdmin::SaveOpposeRuleList");
}

long CBQCAdmin::GetRuleList(CEMRDataSource*, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCAdmin::GetRuleList");
}

long CBQCAdmin::GetEventList(CEMRDataSource*, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCAdmin::GetEventList");
}

long CBQCAdmin::GetEventRuleList(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCAdmin::GetEventRuleList");
}

long CBQCAdmin::SaveEventRule(CEMRDataSource*, BSTR, LONG) {
  korvalis::ThrowNotAvailable("CBQCAdmin::SaveEventRule");
}

long CBQCAdmin::GetAllEventRule(CEMRDataSource*, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCAdmin::GetAllEventRule");
}

long CBQCAdmin::GetAllStandardList(CEMRDataSource*, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCAdmin::GetAllStandardList");
}

long CBQCAdmin::GetStandardCatalogList(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCAdmin::GetStandardCatalogList");
}

long CBQCAdmin::GetStandardList(CEMRDataSource*, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCAdmin::GetStandardList");
}

long CBQCAdmin::InitNewStandard(CEMRDataSource*, BSTR, LONG*) {
  korvalis::ThrowNotAvailable("CBQCAdmin::InitNewStandard");
}

long CBQCAdmin::SaveStandardProperty(CEMRDataSource*, LONG, BSTR) {
  korvalis::ThrowNotAvailable("CBQCAdmin::SaveStandardProperty");
}

long CBQCAdmin::InitNewStandardCatalog(CEMRDataSource*, BSTR, LONG*) {
  korvalis::ThrowNotAvailable("CBQCAdmin::InitNewStandardCatalog");
}

long CBQCAdmin::SaveStandardCatalogProperty(CEMRDataSource*, LONG, BSTR) {
  korvalis::ThrowNotAvailable("CBQCAdmin::SaveStandardCatalogProperty");
}

long CBQCAdmin::GetAllStandardCatalogList(CEMRDataSource*, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCAdmin::GetAllStandardCatalogList");
}

long CBQCAdmin::GetStandardProperty(CEMRDataSource*, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCAdmin::GetStandardProperty");
}

long CBQCAdmin::GetStandardCatalogProperty(CEMRDataSource*, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCAdmin::GetStandardCatalogProperty");
}

long CBQCAdmin::DeleteStandard(CEMRDataSource*, LONG) {
  korvalis::ThrowNotAvailable("CBQCAdmin::DeleteStandard");
}

long CBQCAdmin::DeleteStandardCatalog(CEMRDataSource*, LONG) {
  korvalis::ThrowNotAvailable("CBQCAdmin::DeleteStandardCatalog");
}

long CBQCAdmin::GetEMRAndQCMap(CEMRDataSource*, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCAdmin::GetEMRAndQCMap");
}

long CBQCAdmin::GetRuleException(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCAdmin::GetRuleException");
}

long CBQCAdmin::SaveRuleException(CEMRDataSource*, BSTR, BSTR) {
  korvalis::ThrowNotAvailable("CBQCAdmin::SaveRuleException");
}

long CBQCAdmin::GetStandardList2(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCAdmin::GetStandardList2");
}

long CBQCAdmin::GetStandardListByID(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCAdmin::GetStandardListByID");
}

long CBQCAdmin::IsStandardCodeExist(CEMRDataSource*, BSTR, BSTR, LONG*) {
  korvalis::ThrowNotAvailable("CBQCAdmin::IsStandardCodeExist");
}

long CBQCAdmin::AddQcEventAdviceMap(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBQCAdmin::AddQcEventAdviceMap");
}

long CBQCAdmin::RemoveQcEventMap(CEMRDataSource*, BSTR, BSTR) {
  korvalis::ThrowNotAvailable("CBQCAdmin::RemoveQcEventMap");
}

long CBQCAdmin::GetQcEventAdviceMapList(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCAdmin::GetQcEventAdviceMapList");
}

long CBQCAdmin::GetFieldsOfTable(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCAdmin::GetFieldsOfTable");
}

long CBQCAdmin::TestForSql(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBQCAdmin::TestForSql");
}

long CBQCAdmin::GetDataOfTable(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCAdmin::GetDataOfTable");
}

long CBQCAdmin::GetExistPrimary(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCAdmin::GetExistPrimary");
}

long CBQCAdmin::PostSqlQuery(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBQCAdmin::PostSqlQuery");
}
