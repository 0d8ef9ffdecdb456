#include <libpq-fe.h>

#include <memory>
#include <optional>
#include <utility>

#include "platform/db/connection_support.h"
#include "platform/db/postgres_connection.h"
#include "platform/db/postgres_connection_internal.h"
#include "platform/db/postgres_error.h"
#include "platform/db/postgres_rows.h"

namespace korvalis::db {

// The rows of a query received one at a time as the server sends them (libpq's single-row
// mode): the server runs the plain query's plan, and only the row being read is held. The
// query runs in a savepoint of its own; the rowset is the connection's streamed_ while its rows
// arrive:
//
//   arriving --Next() reaches the end---------------> ended: savepoint released
//      |  \-----the query fails--------------------> ended: query undone, Next throws
//      |------the rowset ends first----------------> stopped: the server asked to cancel, what
//      |                                             it sent meanwhile dropped, query undone
//      \------the connection runs anything else----> held: the rest received into the rowset
//                                                    (at most the bound of a query's rows: past
//                                                    it the query is stopped as above and
//                                                    fails with ORA-04030) and ended as above;
//                                                    Next reads the held rows, then throws the
//                                                    query's failure
class PostgresStreamedRowset final : public Rowset {
 public:
  // `first`: the query's first row, a single-row result owned once the rowset is made.
  PostgresStreamedRowset(PostgresConnection* connection, const Translation& t, PGresult* first)
      : connection_(connection), held_(connection->held_row_bytes_), pending_(first) {
    const int n = PQnfields(first);
    const bool named = t.column_names.size() == static_cast<size_t>(n);
    for (int i = 0; i < n; ++i) {
      names_.push_back(named ? t.column_names[static_cast<size_t>(i)] : PQfname(first, i));
      types_.push_back(PQftype(first, i));
    }
    buffers_.resize(static_cast<size_t>(n));
    connection_->streamed_ = this;
  }
  ~PostgresStreamedRowset() override {
    PQclear(current_);
    PQclear(pending_);
    if (connection_->streamed_ == this) connection_->StopStreamedRows();
  }
  PostgresStreamedRowset(const PostgresStreamedRowset&) = delete;
  PostgresStreamedRowset& operator=(const PostgresStreamedRowset&) = delete;

  int ColumnCount() const override { return static_cast<int>(names_.size()); }
  const std::string& ColumnName(int column) const override {
    return names_[static_cast<size_t>(column)];
  }
  bool Next() override {
    PQclear(current_);
    current_ = nullptr;
    reading_held_ = false;
    if (pending_ != nullptr) {
      current_ = std::exchange(pending_, nullptr);
      return true;
    }
    if (held_read_ < held_.CellCount()) {
      held_cell_ = held_read_;
      held_read_ += names_.size();
      reading_held_ = true;
      return true;
    }
    if (failure_) {
      const DbError failure = *failure_;
      failure_.reset();
      throw failure;
    }
    if (connection_->streamed_ != this) return false;
    current_ = connection_->ReceiveStreamedRow();
    return current_ != nullptr;
  }
  bool IsNull(int column) const override {
    if (reading_held_) return held_.IsNull(held_cell_ + static_cast<size_t>(column));
    return PQgetisnull(current_, 0, column) != 0;
  }
  std::string_view Text(int column) const override {
    if (IsNull(column)) return {};
    std::string_view raw;
    if (reading_held_) {
      raw = held_.Cell(held_cell_ + static_cast<size_t>(column));
      if (IsBlob(column)) return raw;  // held as its bytes
    } else {
      raw = std::string_view(PQgetvalue(current_, 0, column),
                             static_cast<size_t>(PQgetlength(current_, 0, column)));
    }
    return ProviderText(types_[static_cast<size_t>(column)], raw,
                        &buffers_[static_cast<size_t>(column)]);
  }
  bool IsBlob(int column) const override {
    return types_[static_cast<size_t>(column)] == kByteaOid;
  }
  long long ChangedRows() const override { return -1; }

  // Receives the rows not yet read, and the query's failure if it fails, into the rowset, so
  // that the connection can run another statement. The row being read stays as it is. Rows that
  // would pass the bound of a query's rows stop the query, which then fails at that row.
  void HoldRest() {
    try {
      while (PGresult* row = connection_->ReceiveStreamedRow()) {
        ResultGuard guard{row};
        if (!held_.Append(row, 0)) {
          failure_ = HeldRowsExceeded(held_.bound());
          connection_->StopStreamedRows();
          return;
        }
      }
    } catch (const DbError& e) {
      failure_ = e;
    }
  }

 private:
  PostgresConnection* connection_;
  std::vector<std::string> names_;
  std::vector<Oid> types_;
  mutable std::vector<std::string> buffers_;
  // Rows received before they were read, and how many of their cells were read.
  PostgresHeldRows held_;
  size_t held_read_ = 0;
  PGresult* pending_;  // the first row, received with the statement and not read yet
  PGresult* current_ = nullptr;  // the row being read, unless it is held
  bool reading_held_ = false;  // the row being read is held_'s, from its cell held_cell_
  size_t held_cell_ = 0;
  std::optional<DbError> failure_;  // the query's failure, met while its rows were held
};

std::unique_ptr<Rowset> PostgresConnection::ExecuteStreamed(std::string_view sql) {
  CheckOpen();
  // Outside a transaction the rows come whole.
  if (!InTransaction()) return ExecuteWhole(sql, /*rows_then_failure=*/true);
  std::shared_ptr<const Translation> t = Translate(sql);
  if (t->kind != sql::StatementKind::kSelect || t->statements.size() != 1 || t->changes_schema) {
    return Execute(sql);
  }
  // A transaction that holds the writers' turn, or takes it with this query (a writing one, a
  // query FOR UPDATE), receives the rows whole, to the bound of a query's rows: while rows are
  // sent the server's session is busy, not idle, and a holder whose reader stalls (a pager left
  // open) would keep every writer waiting past Idle Transaction Timeout.
  if (turn_held_ || TakesTurn(*t)) return ExecuteWhole(sql, /*rows_then_failure=*/true);
  ResultGuard first{RunStatements({Request{t->statements[0]}}, /*takes_turn=*/false,
                                  t->reads_sysdate, KeepsWork(*t, false), nullptr,
                                  /*streams_rows=*/true)};
  if (PQresultStatus(first.result) == PGRES_SINGLE_TUPLE) {
    try {
      auto rows = std::make_unique<PostgresStreamedRowset>(this, *t, first.result);
      first.result = nullptr;
      return rows;
    } catch (...) {
      // No rowset reads the rows: the query ends here.
      StopStreamedRows();
      throw;
    }
  }
  // No row: the query ended within its round trip.
  EndStreamedQuery(/*undo=*/false);
  return RowsOf(std::exchange(first.result, nullptr), *t, nullptr,
                PostgresHeldRows(held_row_bytes_));
}

pg_result* PostgresConnection::ReceiveStreamedRow() {
  if (!AwaitAnswer()) {
    streamed_ = nullptr;
    EndStreamedQuery(/*undo=*/true);
    throw GivenUp();
  }
  PGresult* row = PQgetResult(conn_);
  NoteReceivedRow(row);
  const ExecStatusType status = row != nullptr ? PQresultStatus(row) : PGRES_FATAL_ERROR;
  if (status == PGRES_SINGLE_TUPLE) return row;
  streamed_ = nullptr;
  std::optional<DbError> failure;
  if (status != PGRES_TUPLES_OK) {
    failure = FailureOf(row);
  }
  PQclear(row);
  DrainStreamedRoundTrip(/*query_ended=*/row == nullptr);
  EndStreamedQuery(/*undo=*/failure.has_value());
  if (failure) throw *failure;
  return nullptr;
}

void PostgresConnection::StopStreamedRows() noexcept {
  streamed_ = nullptr;
  // Without the cancel the server would compute every row up to the last, however many.
  CancelRunningStatement();
  DrainStreamedRoundTrip(/*query_ended=*/false);
  EndStreamedQuery(/*undo=*/true);
}

// A cancel that arrives after the statement ended finds the session waiting for a statement,
// which the server does not cancel.
void PostgresConnection::CancelRunningStatement() noexcept { answer_.Cancel(); }

void PostgresConnection::HoldStreamedRows() {
  if (streamed_ != nullptr) streamed_->HoldRest();
}

void PostgresConnection::DrainStreamedRoundTrip(bool query_ended) {
  if (!query_ended) {
    while (AwaitAnswer()) {
      PGresult* r = PQgetResult(conn_);
      if (r == nullptr) break;
      PQclear(r);
    }
  }
  if (given_up_ || !AwaitAnswer()) return;  // the connection is closed
  PQclear(PQgetResult(conn_));  // the round trip's sync
  PQexitPipelineMode(conn_);
}

void PostgresConnection::EndStreamedQuery(bool undo) {
  StreamedHolds holds = std::move(streamed_holds_);
  streamed_holds_ = StreamedHolds{};
  if (PQstatus(conn_) == CONNECTION_BAD || given_up_) {
    // The server undid the transaction; the next statement reports the lost connection.
    RecoverFromFailure({}, 0, /*savepoint=*/true, /*in_transaction=*/true);
    return;
  }
  if (undo) {
    // Undoes a query that failed or was cancelled; one that ended meanwhile changed nothing.
    PQclear(Exec(kUndoStatement));
    return;
  }
  ResultGuard released{Exec(kRelease)};
  if (PQresultStatus(released.result) != PGRES_COMMAND_OK) {
    if (PQstatus(conn_) == CONNECTION_BAD) {
      // The session ended after the query's last row (an idle transaction while a slow reader
      // read its rows): the rows stand, and the next statement reports why it ended.
      RecoverFromFailure({}, 0, /*savepoint=*/true, /*in_transaction=*/true);
      return;
    }
    throw PostgresError(released.result, conn_);
  }
  turn_held_ = turn_held_ || holds.turn;
  held_ = held_ || holds.work;
  if (holds.sysdate) sysdate_set_ = std::move(*holds.sysdate);
}

}  // namespace korvalis::db
