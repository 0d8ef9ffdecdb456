// The rows of a query on the PostgreSQL server as the provider reads them: the server's values
// read as Oracle writes them, and the rowset of a statement whose rows are all received.
//
// Thread-safety: one thread at a time, as the connection whose rows they are.
#pragma once

#include <libpq-fe.h>

#include <memory>
#include <string>
#include <string_view>

#include "platform/db/postgres_held_rows.h"
#include "platform/db/provider.h"
#include "platform/db/sql_translator.h"
#include "platform/db/statement_shape.h"

namespace korvalis::db {

// PostgreSQL's type identifiers the rowsets read apart.
inline constexpr Oid kByteaOid = 17;
inline constexpr Oid kNumericOid = 1700;

// A numeric value of the server as the provider writes numbers: plain decimals without
// trailing zeros, rounded to the digits a NUMBER keeps (20 base-100 digits). Returns `text`
// itself or the text written into `buffer`.
std::string_view OracleDecimal(std::string_view text, std::string* buffer);

// A value in the server's text form as the provider reads it: a NUMERIC as Oracle writes it, a
// BYTEA as its bytes, any other as it stands. Returns `raw` itself or the text written into
// `buffer`. Precondition: a NUL follows `raw`.
std::string_view ProviderText(Oid type, std::string_view raw, std::string* buffer);

// The bytes of the values of row `row` of `result`, as the server sent them.
size_t RowTextBytes(const PGresult* result, int row);

// Clears the result it holds when it goes.
struct ResultGuard {
  PGresult* result = nullptr;
  ~ResultGuard() { PQclear(result); }
};

// The rowset of a statement's result: `rows` received one at a time before it, and any rows
// the result holds itself. Takes the result.
std::unique_ptr<Rowset> RowsOf(PGresult* result, const Translation& t,
                               const StatementShape* shape, PostgresHeldRows rows);

// The rowset of a query that failed with `failure` once its rows passed the bound of `rows`:
// the rows held before, the row refused there, then the failure, so that a reader whose own
// bound is smaller stops first and says so in its own words. Precondition: rows.refused_row().
std::unique_ptr<Rowset> RowsThenFailure(PostgresHeldRows rows, const DbError& failure,
                                        const Translation& t, const StatementShape* shape);

}  // namespace korvalis::db
