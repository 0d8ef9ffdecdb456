// The SQL functions, registered on every embedded connection, through which translated
// statements get Oracle's results: conversions (ora_num, ora_date_in ...), NULL-aware
// concatenation, exact division, date arithmetic, and the Oracle built-ins (SUBSTR, INSTR,
// TO_CHAR, TO_DATE, ADD_MONTHS ...). Their errors carry Oracle's error numbers.
//
// Thread-safety: the functions keep no state; registering is per connection.
#pragma once

#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_value;

namespace korvalis::db {

// Registers the functions on `db`; returns an SQLite result code.
int RegisterOracleFunctions(sqlite3* db);

// TO_CHAR(number, format) with Oracle's number format models (9, 0, '.', ',', FM); throws
// SqlError for a format it does not know.
std::string FormatNumberModel(double value, std::string_view format);

}  // namespace korvalis::db
