// The failures of a PostgreSQL server as the data sources know failures: an Oracle-style
// description with the result code a caller acts on, the server's SQLSTATE and message kept in
// the description.
//
// Thread-safety: pure functions.
#pragma once

#include <chrono>
#include <string_view>

#include "platform/db/sql_error.h"

struct pg_result;
struct pg_conn;

namespace korvalis::db {

// The error for a failure the server reported with `sqlstate` and `message` (its primary
// message, which the front end's functions write as Oracle's).
DbError PostgresError(std::string_view sqlstate, std::string_view message);

// The error of a failed result, or of the connection when there is no result.
DbError PostgresError(const pg_result* result, const pg_conn* connection);

// The error of a statement's failed result: as above, except that a statement the server
// cancelled for running past its statement timeout, or that the client asked it to cancel at
// that bound (`cancelled_at_deadline`), fails as CommandTimedOut(command_timeout).
DbError StatementError(const pg_result* result, const pg_conn* connection,
                       std::chrono::seconds command_timeout, bool cancelled_at_deadline = false);

// The failure of a round trip whose server was given up after it was asked to cancel: at the
// deadline of `bound` when `timed_out`, else by the client's own cancel.
DbError ServerGivenUp(bool timed_out, std::chrono::seconds bound);

// The failure of a round trip given up once it sent `what` (a COMMIT) for `whose` work: the
// server may have committed it or not.
DbError CommitUnknown(const char* what, const char* whose);

}  // namespace korvalis::db
