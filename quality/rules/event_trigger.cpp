#include "quality/rules/event_trigger.h"

#include "foundation/not_available.h"

long CBEventTrigger::OnSysEvent(CEMRDataSource*, BSTR) {
  korvalis::ThrowNotAvailable("CBEventTrigger::OnSysEvent");
}
