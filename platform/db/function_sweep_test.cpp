// The sweep over the embedded file's functions reaches every function it registers.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/db/testing/embedded_function_sweep.h"

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

}  // namespace
}  // namespace korvalis::db
