// The sweep over the server's runtime: every function the runtime installs, each overload, is
// called with the worst arguments at a reduced size under Command Timeout 1 s, and works within
// the sweep's limit, failing, when it fails, with an Oracle code.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/db/testing/engine_database.h"
#include "platform/db/testing/server_function_sweep.h"

namespace korvalis::db {
namespace {

using testing::SweptFunction;

TEST(ServerFunctionSweepTest, EveryRuntimeFunctionEndsInTimeWithAnOracleCode) {
  testing::SharedEmptyDatabase database(Engine::kPostgres, "server_function_sweep");
  const std::string init = database.init_string();
  const std::vector<SweptFunction> functions = testing::ServerFunctions(init);
  EXPECT_GT(functions.size(), 150u);
  for (const char* name : {"ora_to_char(timestamp without time zone, text)", "ora_to_date(text, text)",
                           "ora_instr(text, text, numeric, numeric)",
                           "ora_regexp_replace(text, text, text, numeric, numeric, text)",
                           "ora_extractvalue(text, text)", "ora_concat(VARIADIC text[])"}) {
    EXPECT_TRUE(std::any_of(functions.begin(), functions.end(),
                            [&](const SweptFunction& f) { return f.name == name; }))
        << name;
  }
  // Subjects of 4,096 characters: the full size runs as a benchmark.
  const testing::WorstArguments arguments(testing::SweepSize{4096});
  const testing::SweepReport report = testing::Sweep(
      functions, arguments, [&] { return testing::OpenServerCaller(init); }, 4);
  std::string findings;
  for (size_t i = 0; i < report.findings.size() && i < 40; ++i) {
    findings += report.findings[i] + "\n";
  }
  EXPECT_TRUE(report.findings.empty()) << report.findings.size() << " findings of "
                                       << report.calls << " calls:\n" << findings;
  EXPECT_GT(report.calls, functions.size());
}

}  // namespace
}  // namespace korvalis::db
