#include "quality/rules/qc_admin.h"

#include "foundation/not_available.h"

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
