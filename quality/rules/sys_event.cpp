#include "quality/rules/sys_event.h"

#include "foundation/not_available.h"

long CBSysEvent::GetEventRuleList(CEMRDataSource*, BSTR, LONG, BSTR*) {
  korvalis::ThrowNotAvailable("CBSysEvent::GetEventRuleList");
}

long CBSysEvent::SetEventRuleList(CEMRDataSource*, BSTR, LONG, BSTR) {
  korvalis::ThrowNotAvailable("CBSysEvent::SetEventRuleList");
}

long CBSysEvent::AddEventRule(CEMRDataSource*, BSTR, LONG, LONG) {
  korvalis::ThrowNotAvailable("CBSysEvent::AddEventRule");
}

long CBSysEvent::DeleteEventRule(CEMRDataSource*, BSTR, LONG, LONG) {
  korvalis::ThrowNotAvailable("CBSysEvent::DeleteEventRule");
}

long CBSysEvent::GetOpposeEvent(CEMRDataSource*, BSTR, BSTR*) {
  korvalis::ThrowNotAvailable("CBSysEvent::GetOpposeEvent");
}
