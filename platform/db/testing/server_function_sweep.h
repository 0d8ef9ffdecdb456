// The server's side of the function sweep (function_sweep.h): every function of the runtime a
// PostgreSQL database has installed (postgres_runtime.h), read from the server's own catalog of
// functions, each overload by its argument types, and a caller that runs each call as a
// statement of its own, its arguments cast to the overload's types, on a connection bounded as
// the provider bounds it, its failures read as the provider reads them.
//
// Thread-safety: each caller belongs to one thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/db/testing/function_sweep.h"

namespace korvalis::db::testing {

// The runtime's functions in the database `init_string` names (installing the runtime when it
// is missing): "name(type, type ...)" with its count of arguments, -1 for a VARIADIC one.
// ora_raise, ora_raise_stable and ora_raise_immutable, which fail with the message they are
// given by design, are left out.
std::vector<SweptFunction> ServerFunctions(const std::string& init_string);

// A connection to that database at Command Timeout 1 s. A call whose answer has not come
// when the provider would give it up (its Command Timeout and the grace after it) is given up
// so, its connection closed, and lasts until its server process is no longer busy
// (pg_stat_activity), at most 30 s: the time the next writer waits for its turn.
std::unique_ptr<FunctionCaller> OpenServerCaller(const std::string& init_string);

}  // namespace korvalis::db::testing
