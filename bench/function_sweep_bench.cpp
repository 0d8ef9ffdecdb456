// The sweep over every function the embedded file registers at full size, one call at a time so
// that each call's own memory peak is measured: every call must end within two seconds of a
// one-second Command Timeout, fail with an Oracle code when it fails, and hold the process under
// the heap limit. The longest text is KORVALIS_SWEEP_MB mebibytes (16 unless set; the engine's
// memory bound admits texts up to about 419 MB). Findings are printed; the counters give the
// calls made, the slowest call's seconds and the largest peak in MiB. The same sweep runs over the
// server's runtime.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <iostream>
#include <string>

#include "platform/db/sqlite_statement_bounds.h"
#include "platform/db/testing/embedded_function_sweep.h"
#include "platform/db/testing/postgres_test_server.h"
#include "platform/db/testing/server_function_sweep.h"
#include "platform/sys/testing/resident_memory.h"

namespace {

using namespace korvalis::db;
using korvalis::sys::testing::ResetPeak;
using korvalis::sys::testing::ResidentBytes;

size_t LongestText() {
  const char* mb = std::getenv("KORVALIS_SWEEP_MB");
  return (mb != nullptr ? std::stoul(mb) : size_t{16}) << 20;
}

void BM_EmbeddedFunctionSweep(benchmark::State& state) {
  const testing::WorstArguments arguments({LongestText()});
  const std::vector<testing::SweptFunction> functions = testing::EmbeddedFunctions();
  for (auto _ : state) {
    ResetPeak();
    const size_t baseline = ResidentBytes("VmRSS:");
    size_t largest = 0;
    std::string largest_call;
    const auto measure = [&](const std::string& call) -> std::optional<std::string> {
      const size_t peak = ResidentBytes("VmHWM:");
      const size_t held = peak > baseline ? peak - baseline : 0;
      ResetPeak();
      if (held > largest) {
        largest = held;
        largest_call = call;
      }
      if (held <= static_cast<size_t>(kEmbeddedHeapLimit)) return std::nullopt;
      return call + " held " + std::to_string(held >> 20) + " MiB";
    };
    const testing::SweepReport report =
        testing::Sweep(functions, arguments, testing::OpenEmbeddedCaller, 1, measure);
    for (const std::string& finding : report.findings) std::cerr << finding << "\n";
    std::cerr << "slowest: " << report.slowest_call << "; largest peak: " << largest_call << "\n";
    state.counters["functions"] = static_cast<double>(functions.size());
    state.counters["calls"] = static_cast<double>(report.calls);
    state.counters["findings"] = static_cast<double>(report.findings.size());
    state.counters["slowest_s"] = std::chrono::duration<double>(report.slowest).count();
    state.counters["peak_MiB"] = static_cast<double>(largest >> 20);
  }
}
BENCHMARK(BM_EmbeddedFunctionSweep)->Iterations(1)->Unit(benchmark::kSecond);

// Every function of the server's runtime, each overload, on the tests' server from four callers;
// the server's processes hold the memory, which the operator bounds (docs/server.md).
void BM_ServerFunctionSweep(benchmark::State& state) {
  const testing::WorstArguments arguments({LongestText()});
  const std::string init = testing::PostgresTestServer::Get().CreateDatabase();
  const std::vector<testing::SweptFunction> functions = testing::ServerFunctions(init);
  for (auto _ : state) {
    const testing::SweepReport report = testing::Sweep(
        functions, arguments, [&] { return testing::OpenServerCaller(init); }, 4);
    for (const std::string& finding : report.findings) std::cerr << finding << "\n";
    std::cerr << "slowest: " << report.slowest_call << "\n";
    state.counters["functions"] = static_cast<double>(functions.size());
    state.counters["calls"] = static_cast<double>(report.calls);
    state.counters["findings"] = static_cast<double>(report.findings.size());
    state.counters["slowest_s"] = std::chrono::duration<double>(report.slowest).count();
  }
}
BENCHMARK(BM_ServerFunctionSweep)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
