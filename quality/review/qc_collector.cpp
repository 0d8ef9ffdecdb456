#include "quality/review/qc_collector.h"

#include "foundation/not_available.h"

long CBQCCollector::GetPatientQCList(CEMRDataSource*, BSTR, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCCollector::GetPatientQCList");
}

long CBQCCollector::GetQCList(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCCollector::GetQCList");
}

long CBQCCollector::GetConditionList(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCCollector::GetConditionList");
}

long CBQCCollector::GetQueryTplList(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCCollector::GetQueryTplList");
}

long CBQCCollector::SaveQueryTplList(CEMRDataSource*, BSTR, BSTR) {
  korvalis::ThrowNotAvailable("CBQCCollector::SaveQueryTplList");
}

long CBQCCollector::DeleteQueryTplList(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBQCCollector::DeleteQueryTplList");
}

long CBQCCollector::AddConditionGroup(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBQCCollector::AddConditionGroup");
}

long CBQCCollector::DeleteConditionGroupByCode(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBQCCollector::DeleteConditionGroupByCode");
}

long CBQCCollector::SetConditionGroupContent(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBQCCollector::SetConditionGroupContent");
}

long CBQCCollector::GetConditionGroupList(CEMRDataSource*, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCCollector::GetConditionGroupList");
}

long CBQCCollector::AddConditionItem(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBQCCollector::AddConditionItem");
}

long CBQCCollector::DelConditionItem(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBQCCollector::DelConditionItem");
}

long CBQCCollector::SetConditionItemContent(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBQCCollector::SetConditionItemContent");
}

long CBQCCollector::GetColumnByTabName(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCCollector::GetColumnByTabName");
}

long CBQCCollector::GetQCUserList(CEMRDataSource*, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCCollector::GetQCUserList");
}

long CBQCCollector::SaveConditionDistribute(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBQCCollector::SaveConditionDistribute");
}

long CBQCCollector::GetConditionDistribute(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCCollector::GetConditionDistribute");
}

long CBQCCollector::GetColumnData(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCCollector::GetColumnData");
}

long CBQCCollector::DelConditionItemByGroupCode(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBQCCollector::DelConditionItemByGroupCode");
}

long CBQCCollector::GetQCResultInfo(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCCollector::GetQCResultInfo");
}

long CBQCCollector::DistributeTpList(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBQCCollector::DistributeTpList");
}

long CBQCCollector::GetDistributeInfo(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCCollector::GetDistributeInfo");
}

long CBQCCollector::GetConditionDistributeEx(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCCollector::GetConditionDistributeEx");
}

long CBQCCollector::SetConditionDistributeEx(CEMRDataSource*, BSTR, BSTR) {
  korvalis::ThrowNotAvailable("CBQCCollector::SetConditionDistributeEx");
}

long CBQCCollector::DelConditionDistributeUser(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBQCCollector::DelConditionDistributeUser");
}

long CBQCCollector::AddConditionDistributeUser(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBQCCollector::AddConditionDistributeUser");
}

long CBQCCollector::GetConditionDistributeUser(CEMRDataSource*, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCCollector::GetConditionDistributeUser");
}

long CBQCCollector::GetEmrApplyInfo(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCCollector::GetEmrApplyInfo");
}

long CBQCCollector::SetEmrApplyInfo(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBQCCollector::SetEmrApplyInfo");
}

long CBQCCollector::SetApplyStatus(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBQCCollector::SetApplyStatus");
}

long CBQCCollector::GetPatientCrisisInfo(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBQCCollector::GetPatientCrisisInfo");
}

long CBQCCollector::ConfirmCrisisInfo(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBQCCollector::ConfirmCrisisInfo");
}
