#include "quality/rules/quality_trigger.h"

#include "foundation/not_available.h"
#include "quality/rules/quality_rule.h"

long CBQualityTrigger::FireOpen(CEMRDataSource*, BSTR, BSTR, BSTR) {
  korvalis::ThrowNotAvailable("CBQualityTrigger::FireOpen");
}

long CBQualityTrigger::FireClose(CEMRDataSource*, BSTR, BSTR, BSTR) {
  korvalis::ThrowNotAvailable("CBQualityTrigger::FireClose");
}

// The patient and visit are read from the event document by CBQualityRule::ReOpen itself.
long CBQualityTrigger::ReFireOpen(CEMRDataSource* pDataSource, BSTR, BSTR, BSTR bstrEventInfo) {
  CBQualityRule::ReOpen(pDataSource, bstrEventInfo);
  return 0;
}
