// The system's date and time: asked of the suite's date-time component, created anew for every
// call so that a change of the suite's clock is seen at once.
#include "foundation/suite/factory.h"
#include "foundation/suite/suite_interfaces.h"
#include "lookups/record_library.h"

long GetSystemDateTime(CSingleDataSource*, BSTR* pbstrDateTime) {
  IDateTimeService* clock = nullptr;
  DIDUFactory::Instance()->CreateInstance(IID_IDateTimeService, reinterpret_cast<void**>(&clock));
  BSTR discarded = nullptr;
  HRESULT hr = clock->GetDateTime(pbstrDateTime != nullptr ? pbstrDateTime : &discarded);
  SysFreeString(discarded);
  clock->Release();
  CheckSiblingCall(hr);
  return 0;
}
