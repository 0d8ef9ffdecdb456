#include "platform/db/oracle_functions.h"

#include <sqlite3.h>

#include "platform/db/exact_number_values.h"
#include "platform/db/rownum_walk.h"
#include "platform/db/sql_function_support.h"

namespace korvalis::db {

int RegisterOracleFunctions(sqlite3* db) {
  using functions::FunctionEntry;
  for (auto family : {functions::ConversionFunctions(), functions::TextFunctions(),
                      functions::NumberFunctions(), functions::DateFunctions(),
                      functions::NumberOrderFunctions(), functions::ExactNumberFunctions(),
                      functions::RegexpFunctions()}) {
    for (const FunctionEntry& f : family) {
      const int flags = SQLITE_UTF8 | (f.deterministic ? SQLITE_DETERMINISTIC : 0);
      const int rc = sqlite3_create_function_v2(db, f.name, f.args, flags, nullptr, f.body,
                                                nullptr, nullptr, nullptr);
      if (rc != SQLITE_OK) return rc;
    }
  }
  int rc = functions::RegisterNumberAggregates(db);
  if (rc == SQLITE_OK) rc = functions::RegisterListagg(db);
  return rc != SQLITE_OK ? rc : RegisterRownumWalk(db);
}

}  // namespace korvalis::db
