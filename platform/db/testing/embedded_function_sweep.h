// The embedded file's side of the function sweep (function_sweep.h): the functions an embedded
// connection registers, read from SQLite's own list of them, and a caller that runs each call
// as a statement of its own on a connection bounded as the provider bounds it.
//
// Thread-safety: each caller belongs to one thread.
#pragma once

#include <memory>
#include <vector>

#include "platform/db/testing/function_sweep.h"

namespace korvalis::db::testing {

// Every function an embedded connection has that SQLite does not: its name and arity.
std::vector<SweptFunction> EmbeddedFunctions();

// A connection with the embedded connection's functions and bounds, at Command Timeout 1 s.
std::unique_ptr<FunctionCaller> OpenEmbeddedCaller();

}  // namespace korvalis::db::testing
