// The part of the server's runtime script (postgres_runtime.h) that creates Oracle's functions of
// texts, regular expressions, numbers and dates, named as the embedded engine's are: text
// functions that read an empty text as NULL, the regular-expression functions over PostgreSQL's
// AREs, NUMBER rounding and quotients, and date arithmetic in days kept to the second.
//
// Thread-safety: constants.
#pragma once

namespace korvalis::db {

// The script's text; it runs after the conversions and the format models, whose functions it
// calls.
const char* PostgresFunctionsSql();

}  // namespace korvalis::db
