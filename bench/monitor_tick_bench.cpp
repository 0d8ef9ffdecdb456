// The watchdog tick on a call that does not check (calls 1 to 49 of every 50) through
// IDispatch::Invoke, side by side with Invoke of the same method of the same wrapper whose body
// does nothing: the difference is the tick's own cost, one atomic update. Goal: within 1.1
// times. Both run under the product's call scope on a database that cannot be opened, so a
// tick that reached the database would fail, and the run with it.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>

#include "classes/monitor_service_class.h"
#include "db/database_file.h"
#include "db/testing/temp_directory.h"
#include "interface/emr_call_scope.h"
#include "report/monitor_call_counter.h"

namespace {

using korvalis::report::MonitorCallCounter;

// MonitorService's wrapper with bodies that do nothing.
struct IdleMonitorBody {
  static long MonitorService(CEMRDataSource*) { return 0; }
  static long AddServiceList(CEMRDataSource*, BSTR) { return 0; }
  static long GetServiceList(CEMRDataSource*, BSTR, BSTR*) { return 0; }
  static long DeleteServiceList(CEMRDataSource*, BSTR) { return 0; }
};

// The calls' database configuration names a file that cannot be opened; made once.
void UseUnreachableDatabase() {
  static korvalis::testing::TempDirectory* directory = [] {
    auto* made = new korvalis::testing::TempDirectory("korvalis-bench-monitor");
    korvalis::schema::WriteDatabaseConfig(made->path(),
                                          "Provider=SQLite;Data Source=/nonexistent/dir/none.db");
    if (::chdir(made->path().c_str()) != 0) std::abort();
    return made;
  }();
  benchmark::DoNotOptimize(directory);
  korvalis::frame::InstallEMRCallScope();
}

template <class Body>
void InvokeMonitorService(benchmark::State& state) {
  UseUnreachableDatabase();
  MonitorCallCounter& counter = MonitorCallCounter::Process();
  counter.Reset();
  IDispatch* dispatch = nullptr;
  korvalis::com::CreateComInstance<CMonitorServiceT<Body>, korvalis::com::Aggregation::kRefused>(
      nullptr, IID_IDispatch, reinterpret_cast<void**>(&dispatch));
  DISPPARAMS no_arguments{nullptr, nullptr, 0, 0};
  for (auto _ : state) {
    // The 50th call would check: the count starts again before it.
    if (counter.count() == MonitorCallCounter::kCheckEvery - 1) counter.Reset();
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO exception;
    UINT argument_error = 0;
    const HRESULT hr = dispatch->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &no_arguments, &result,
                                        &exception, &argument_error);
    if (FAILED(hr)) {
      state.SkipWithError("MonitorService failed: the call reached the database");
      break;
    }
  }
  dispatch->Release();
  korvalis::frame::SetCallScopeRunner(nullptr);
}

void BM_InvokeEmptyBody(benchmark::State& state) { InvokeMonitorService<IdleMonitorBody>(state); }
BENCHMARK(BM_InvokeEmptyBody);

void BM_InvokeTickWithoutCheck(benchmark::State& state) {
  InvokeMonitorService<CBMonitorService>(state);
}
BENCHMARK(BM_InvokeTickWithoutCheck);

}  // namespace
