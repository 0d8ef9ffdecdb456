#include "quality/rules/quality_rule.h"

#include "foundation/not_available.h"

long CBQualityRule::InitNew(CEMRDataSource*, BSTR, LONG*) {
  korvalis::ThrowNotAvailable("CBQualityRule::InitNew");
}

long CBQualityRule::GetProperty(CEMRDataSource*, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("CBQualityRule::GetProperty");
}

long CBQualityRule::SaveProperty(CEMRDataSource*, LONG, BSTR) {
  korvalis::ThrowNotAvailable("CBQualityRule::SaveProperty");
}

long CBQualityRule::Delete(CEMRDataSource*, LONG) {
  korvalis::ThrowNotAvailable("CBQualityRule::Delete");
}

long CBQualityRule::GetRelationRuleList(CEMRDataSource*, LONG, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("CBQualityRule::GetRelationRuleList");
}

long CBQualityRule::SaveRelationRuleList(CEMRDataSource*, LONG, LONG, BSTR) {
  korvalis::ThrowNotAvailable("CBQualityRule::SaveRelationRuleList");
}

long CBQualityRule::Open(CEMRDataSource*, BSTR, BSTR, BSTR, BSTR, LONG*) {
  korvalis::ThrowNotAvailable("CBQualityRule::Open");
}

long CBQualityRule::Close(CEMRDataSource*, BSTR, BSTR, BSTR, BSTR, LONG*) {
  korvalis::ThrowNotAvailable("CBQualityRule::Close");
}

long CBQualityRule::Undo(CEMRDataSource*, BSTR, BSTR, BSTR, BSTR, VARIANT_BOOL) {
  korvalis::ThrowNotAvailable("CBQualityRule::Undo");
}

long CBQualityRule::ReOpen(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBQualityRule::ReOpen");
}

long CBQualityRule::ReOpenUndo(CEMRDataSource*, BSTR, BSTR, BSTR) {
  korvalis::ThrowNotAvailable("CBQualityRule::ReOpenUndo");
}
