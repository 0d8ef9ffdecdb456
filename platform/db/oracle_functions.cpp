#include "platform/db/oracle_functions.h"

#include <sqlite3.h>

#include "platform/db/exact_number_values.h"
#include "platform/db/rownum_walk.h"
#include "platform/db/sql_function_support.h"
#include "platform/db/text_search.h"

namespace korvalis::db {

int RegisterOracleFunctions(sqlite3* db) {
  using functions::FunctionEntry;
  for (auto family : {functions::ConversionFunctions(), functions::TextFunctions(),
                      functions::NumberFunctions(), functions::DateFunctions(),
                      functions::NumberOrderFunctions(), functions::ExactNumberFunctions(),
                      functions::RegexpFunctions()}) {
    for (const FunctionEntry& f : family) {
      const int rc = functions::RegisterFunction(db, f);
      if (rc != SQLITE_OK) return rc;
    }
  }
  int rc = functions::RegisterNumberAggregates(db);
  if (rc == SQLITE_OK) rc = functions::RegisterListagg(db);
  return rc != SQLITE_OK ? rc : RegisterRownumWalk(db);
}

int RegisterEmbeddedFunctions(sqlite3* db) {
  const int rc = RegisterOracleFunctions(db);
  return rc != SQLITE_OK ? rc : RegisterTextSearch(db);
}

}  // namespace korvalis::db
