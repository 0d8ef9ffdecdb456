// The factories: a new text identifier, and one creation of a sibling component by interface
// identifier (map lookup, registry, class object, instance) with one call and its release.
#include <benchmark/benchmark.h>

#include "foundation/suite/factory.h"
#include "foundation/suite/suite_interfaces.h"
#include "platform/com/bstr.h"
#include "suite/testing/sibling_doubles.h"

namespace {

void BM_NewGuid(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(CEMRFactory::Instance()->NewGuid());
}
BENCHMARK(BM_NewGuid);

void BM_CreateAndCallDateTime(benchmark::State& state) {
  korvalis::suite::testing::SiblingDoubles doubles;
  CSingleFactory factory;
  for (auto _ : state) {
    IDateTimeService* clock = nullptr;
    factory.CreateInstance(IID_IDateTimeService, reinterpret_cast<void**>(&clock));
    BSTR now = nullptr;
    CheckSiblingCall(clock->GetDateTime(&now));
    SysFreeString(now);
    clock->Release();
  }
}
BENCHMARK(BM_CreateAndCallDateTime);

}  // namespace
