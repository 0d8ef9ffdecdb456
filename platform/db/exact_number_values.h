// Arguments and results of the SQL functions that compute NUMBERs exactly (ora_decimal.h):
// a value as the engine holds it read as a decimal, and a decimal given back to the engine.
//
// Thread-safety: stateless functions.
#pragma once

#include <sqlite3.h>

#include <optional>

#include "platform/db/ora_decimal.h"

namespace korvalis::db::functions {

// An integer, or a double standing for a decimal of at most 15 significant digits.
std::optional<ShortDecimal> ShortArgument(sqlite3_value* v);
// The operand as a decimal: `short_form` when there is one, else numeric text (failing with
// ORA-01722 on other text); nothing for a double that stands for no short decimal.
std::optional<Decimal> DecimalArgument(sqlite3_value* v,
                                       const std::optional<ShortDecimal>& short_form);
void ResultNumberValue(sqlite3_context* ctx, const NumberValue& value);
// Any number as its exact digits: a double as the shortest text that reads back as it, numeric
// text as written (failing with ORA-01722 on other text).
DecimalDigits DigitsArgument(sqlite3_value* v);
// Negative, zero or positive as the number `a` is below, equal to or above `b`, exactly.
// Precondition: neither is NULL.
int CompareNumbers(sqlite3_value* a, sqlite3_value* b);

// SUM and AVG of NUMBERs computed exactly, as aggregates and over windows: ora_sum and ora_avg
// give a number the engine compares (the double nearest when it has more digits), the
// ora_exact_ forms an operand of exact arithmetic, the ora_result_ forms a result's text.
int RegisterNumberAggregates(sqlite3* db);
// LISTAGG's values joined in the order of their keys (listagg.cpp).
int RegisterListagg(sqlite3* db);

}  // namespace korvalis::db::functions
