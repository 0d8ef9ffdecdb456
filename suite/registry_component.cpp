// The registry component: publishes which class implements each interface of the suite, as
// the configuration file lists them.
#include "foundation/suite/suite_interfaces.h"
#include "suite/components.h"
#include "suite/stand_in.h"
#include "suite/suite_config.h"

namespace korvalis::suite {
namespace {

class RegistryComponent : public StandIn<ISuiteRegistry, IID_ISuiteRegistry> {
 public:
  HRESULT GetInterfaceList(BSTR* pbstrList) override {
    return Serve([&] { return Answer(pbstrList, SuiteConfig::Load()->interface_list); });
  }
};

}  // namespace

HRESULT CreateRegistryComponent(IUnknown* outer, REFIID riid, void** ppv) {
  return com::CreateComInstance<RegistryComponent, com::Aggregation::kRefused>(outer, riid, ppv);
}

}  // namespace korvalis::suite
