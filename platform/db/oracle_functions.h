// The SQL functions, registered on every embedded connection, through which translated
// statements get Oracle's results: conversions (ora_num, ora_date_in ...), NULL-aware
// concatenation, exact division, date arithmetic, and the Oracle built-ins (SUBSTR, INSTR,
// TO_CHAR, TO_DATE, ADD_MONTHS ...), and the regular-expression functions. Their errors carry
// Oracle's error numbers.
//
// Thread-safety: the functions keep no state; registering is per connection.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_value;

namespace korvalis::db {

struct DecimalDigits;

// Registers the functions on `db`; returns an SQLite result code.
int RegisterOracleFunctions(sqlite3* db);
// Registers every function an embedded connection has: these and the text search's
// (text_search.h); returns an SQLite result code.
int RegisterEmbeddedFunctions(sqlite3* db);

// The result code of the failure a function reported on `db`, when the statement failing there
// with `message` failed for it; nothing otherwise. Taking it forgets it.
std::optional<int32_t> TakeFunctionFailure(sqlite3* db, std::string_view message);

// TO_CHAR(number, format) with Oracle's number format models (9, 0, '.', ',', FM); throws
// SqlError for a format it does not know.
// A double stands for the decimal of at most 15 digits it reads back as, when it does.
std::string FormatNumberModel(double value, std::string_view format);
std::string FormatNumberModel(const DecimalDigits& value, std::string_view format);
// TO_NUMBER(text, format): the numeric text (ParseNumber reads it) that `text` written by the
// model stands for, empty for blanks; nothing when the text does not follow the model. Throws
// SqlError (ORA-01481) for a model that is invalid or reads no number (RN).
std::optional<std::string> ReadNumberByModel(std::string_view text, std::string_view format);

}  // namespace korvalis::db
