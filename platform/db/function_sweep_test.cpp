// Every function the embedded file registers, called with the worst arguments at a size CI
// affords, works no more than two seconds of processor time under a one-second Command Timeout,
// fails with an Oracle code when it fails, and leaves the process within the memory bound.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <string>

#include "platform/db/sqlite_statement_bounds.h"
#include "platform/db/testing/embedded_function_sweep.h"
#include "platform/sys/testing/resident_memory.h"
#include "platform/sys/testing/sanitizer.h"

namespace korvalis::db {
namespace {

using testing::SweptFunction;

bool Registered(const std::vector<SweptFunction>& functions, const std::string& name) {
  return std::any_of(functions.begin(), functions.end(),
                     [&](const SweptFunction& f) { return f.name == name; });
}

TEST(FunctionSweepTest, TheRegistrationTableNamesEveryFamily) {
  const std::vector<SweptFunction> functions = testing::EmbeddedFunctions();
  EXPECT_GT(functions.size(), 100u);
  for (const char* name : {"ora_to_char", "ora_to_date", "ora_instr", "ora_replace",
                           "ora_regexp_count", "ora_extractvalue", "ora_extract", "ora_contains",
                           "ora_listagg", "ora_exact_add", "ora_rownum_walk"}) {
    EXPECT_TRUE(Registered(functions, name)) << name;
  }
}

TEST(FunctionSweepTest, EveryFunctionEndsWithinItsBoundsOnTheWorstArguments) {
  const std::vector<SweptFunction> functions = testing::EmbeddedFunctions();
  const testing::WorstArguments arguments({size_t{256} << 10});
  sys::testing::ResetPeak();
  const size_t before = sys::testing::ResidentBytes("VmRSS:");
  const testing::SweepReport report =
      testing::Sweep(functions, arguments, testing::OpenEmbeddedCaller, 4);
  const size_t peak = sys::testing::ResidentBytes("VmHWM:");
  for (const std::string& finding : report.findings) ADD_FAILURE() << finding;
  // Calls on four connections at once may each hold what the bound leaves them; beyond SQLite's
  // heap the process holds its libraries, stacks and the arguments themselves.
  if (!sys::testing::kSanitizerHoldsMemory) {
    EXPECT_LT(peak - std::min(peak, before),
              static_cast<size_t>(kEmbeddedHeapLimit) + (128u << 20));
  }
  std::cout << functions.size() << " functions, " << report.calls << " calls; the slowest "
            << std::chrono::duration<double>(report.slowest).count()
            << " s of processor time: " << report.slowest_call << "\n";
}

}  // namespace
}  // namespace korvalis::db
