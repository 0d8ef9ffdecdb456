// The round trip of a statement on the server: the requests it needs around it (the
// transaction's start, its savepoint, the writers' turn, the clock's time) sent in one libpq
// pipeline, its answers read, and the recovery after a failure.
#include <libpq-fe.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/db/database_clock.h"
#include "platform/db/ora_date.h"
#include "platform/db/postgres_connection.h"
#include "platform/db/postgres_connection_internal.h"
#include "platform/db/postgres_error.h"
#include "platform/db/postgres_rows.h"

namespace korvalis::db {
namespace {

// The writers' turn: one advisory lock of the database (its key spells "korvalis"), taken
// for the transaction and released by the server when the transaction ends, however it ends.
// The transaction that holds it is also bounded in how long it may stay idle ($1, in
// milliseconds): the server ends the session of a holder that stopped (a frozen or vanished
// client) and undoes its work, so that the other writers go on.
constexpr const char* kTakeWritersTurn =
    "SELECT pg_advisory_xact_lock(7741532137239374195), "
    "set_config('idle_in_transaction_session_timeout', $1, true)";

// Appends the requests that take the writers' turn, the holder idle at most `idle_timeout_ms`:
// waiting as long as a write waits (the session's lock_timeout), or as the query FOR UPDATE
// `lock` says. NOWAIT and WAIT 0 try the lock once; WAIT n waits n seconds for it, the
// transaction's lock_timeout set for that wait alone.
void AppendTakingTurn(std::vector<PostgresConnection::Request>* requests,
                      const std::string& idle_timeout_ms, const RowLock* lock) {
  using Request = PostgresConnection::Request;
  const int wait_ms = lock ? lock->WaitMs(-1) : -1;
  if (wait_ms == 0) {
    Request turn{
        "SELECT CASE WHEN pg_try_advisory_xact_lock(7741532137239374195) THEN '' "
        "ELSE ora_raise($2, '55P03', ''::text) END, "
        "set_config('idle_in_transaction_session_timeout', $1, true)"};
    turn.values = {idle_timeout_ms, std::string(lock->ExpiredMessage())};
    requests->push_back(std::move(turn));
    return;
  }
  if (wait_ms > 0) {
    requests->push_back(Request{
        "SELECT set_config('korvalis.lock_timeout', current_setting('lock_timeout'), true)"});
    Request wait{"SELECT set_config('lock_timeout', $1, true)"};
    wait.values.emplace_back(std::to_string(wait_ms));
    requests->push_back(std::move(wait));
  }
  Request turn{kTakeWritersTurn};
  turn.values.emplace_back(idle_timeout_ms);
  requests->push_back(std::move(turn));
  if (wait_ms > 0) {
    requests->push_back(Request{
        "SELECT set_config('lock_timeout', current_setting('korvalis.lock_timeout'), true)"});
  }
}

// Whether `failure`, of a round trip that took the turn for `lock`, is the server's lock
// timeout ending the wait of a WAIT n.
bool WaitOfSecondsExpired(const DbError& failure, const RowLock* lock) {
  return lock != nullptr && lock->wait == RowLock::Wait::kSeconds && failure.code() == kBusy &&
         std::string_view(failure.what()).starts_with("ORA-00054");
}

}  // namespace

pg_result* PostgresConnection::RunStatements(std::vector<Request> statements, bool takes_turn,
                                             bool reads_sysdate, bool keeps_work,
                                             const RowLock* lock, bool streams_rows,
                                             PostgresHeldRows* held) {
  CheckOpen();
  std::vector<Request> requests;
  if (deallocate_all_) {
    requests.push_back(Request{"DEALLOCATE ALL"});
    deallocate_all_ = false;
  }
  const bool in_transaction = InTransaction();
  // A unit that writes outside any transaction is one of its own, so that the turn holds
  // until it ends.
  const bool own = !in_transaction && (takes_turn || statements.size() > 1);
  // A savepoint only where the transaction holds work or locks: before that, a failing
  // statement is undone with the whole transaction, which starts again with the next one. A
  // streamed query always has one: a reader that stops early cancels it, which must not end
  // the transaction's snapshot.
  const bool savepoint = in_transaction && (held_ || streams_rows);
  // The first write of a reading transaction that has only read: its snapshot was fixed
  // before the turn, so the write would read the world as it was before the writers ahead of
  // it committed. The reading part holds nothing and ends; the transaction goes on as a
  // writing one (READ COMMITTED after the turn), so the write and all after it see the world
  // after the turn.
  const bool becoming_writer = in_transaction && takes_turn && !held_ && !turn_held_ &&
                               mode_ == TransactionMode::kReading;
  if (becoming_writer && open_) {
    requests.push_back(Request{"COMMIT"});
    requests.push_back(Request{kBeginWriting});
    sysdate_set_.clear();
  } else if (becoming_writer) {
    pending_begin_ = kBeginWriting;
  }
  if (!pending_begin_.empty()) requests.push_back(Request{pending_begin_});
  if (own) requests.push_back(Request{kBeginWriting});
  if (savepoint) requests.push_back(Request{kSavepoint});
  const bool taking_turn = takes_turn && !(in_transaction && turn_held_);
  if (taking_turn) AppendTakingTurn(&requests, database_->idle_transaction_timeout_ms(), lock);
  // The clock's time is set for the transaction, and again only when it reads another second.
  std::string sysdate;
  if (reads_sysdate) {
    sysdate = FormatDate(CurrentDatabaseTime());
    if (!in_transaction || sysdate != sysdate_set_) {
      Request clock{"SELECT set_config('korvalis.sysdate', $1, true)"};
      clock.values.emplace_back(sysdate);
      requests.push_back(std::move(clock));
    }
  }
  const size_t first_statement = requests.size();
  for (Request& s : statements) requests.push_back(std::move(s));
  const size_t last_statement = requests.size() - 1;
  if (savepoint && !streams_rows) requests.push_back(Request{kRelease});
  if (own) requests.push_back(Request{"COMMIT"});
  try {
    pg_result* result = RunPipeline(requests, last_statement, streams_rows, held, own);
    if (!pending_begin_.empty()) {
      pending_begin_.clear();
      open_ = true;
    }
    if (streams_rows) {
      // Undone with the query if its reader stops early or it fails.
      streamed_holds_ = StreamedHolds{taking_turn, keeps_work, std::nullopt};
      if (reads_sysdate) streamed_holds_.sysdate = std::move(sysdate);
    } else if (in_transaction) {
      turn_held_ = turn_held_ || taking_turn;
      held_ = held_ || keeps_work;
      if (reads_sysdate) sysdate_set_ = std::move(sysdate);
    }
    return result;
  } catch (const DbError& e) {
    RecoverFromFailure(requests, first_statement, savepoint, in_transaction);
    if (taking_turn && WaitOfSecondsExpired(e, lock)) {
      throw DbError(kBusy, std::string(lock->ExpiredMessage()) + " [SQLSTATE 55P03]");
    }
    throw;
  }
}

void PostgresConnection::RecoverFromFailure(const std::vector<Request>& requests,
                                            size_t first_statement, bool savepoint,
                                            bool in_transaction) {
  // Statements prepared in the failed round trip may not exist.
  for (size_t i = first_statement; i < requests.size(); ++i) {
    if (requests[i].prepare) prepared_.erase(requests[i].sql);
  }
  // A clock set in the failed round trip is undone with it.
  sysdate_set_.clear();
  if (PQstatus(conn_) == CONNECTION_BAD || given_up_) {
    // The server ended the session (a transaction idle too long), the connection was lost, or
    // the client gave it up: the server undoes the transaction, which is over for the caller
    // too.
    open_ = false;
    timeout_off_ = false;
    pending_begin_.clear();
    turn_held_ = false;
    held_ = false;
    if (transaction_translations_) {
      database_->SchemaChanged();
      transaction_translations_.reset();
    }
    return;
  }
  const PGTransactionStatusType status = PQtransactionStatus(conn_);
  const bool server_open = status == PQTRANS_INTRANS || status == PQTRANS_INERROR;
  if (!pending_begin_.empty() && server_open) {
    pending_begin_.clear();
    open_ = true;
  }
  if (status == PQTRANS_INERROR) {
    if (savepoint) {
      // Only the statement's own work is undone; the transaction goes on.
      PQclear(Exec(kUndoStatement));
    } else {
      PQclear(Exec("ROLLBACK"));
      if (in_transaction) {
        // Nothing was held: the transaction starts again with the next statement.
        open_ = false;
        pending_begin_ = BeginStatement(mode_);
        turn_held_ = false;
      }
    }
  }
}

void PostgresConnection::SendRequests(const std::vector<Request>& requests) {
  for (const Request& r : requests) {
    std::vector<const char*> values;
    std::vector<int> lengths, formats;
    for (size_t i = 0; i < r.values.size(); ++i) {
      values.push_back(r.values[i] ? r.values[i]->data() : nullptr);
      lengths.push_back(r.values[i] ? static_cast<int>(r.values[i]->size()) : 0);
      formats.push_back(i < r.binary.size() && r.binary[i] ? 1 : 0);
    }
    const int n = static_cast<int>(values.size());
    int sent;
    if (r.prepared.empty()) {
      sent = PQsendQueryParams(conn_, r.sql.c_str(), n, nullptr, values.data(), lengths.data(),
                               formats.data(), 0);
    } else {
      sent = !r.prepare || PQsendPrepare(conn_, r.prepared.c_str(), r.sql.c_str(), n, nullptr);
      if (sent) {
        sent = PQsendQueryPrepared(conn_, r.prepared.c_str(), n, values.data(), lengths.data(),
                                   formats.data(), 0);
      }
    }
    if (!sent) {
      DbError e = PostgresError(nullptr, conn_);
      open_ = false;
      throw e;
    }
  }
}

pg_result* PostgresConnection::RunPipeline(std::vector<Request>& requests, size_t wanted,
                                           bool streams_rows, PostgresHeldRows* held,
                                           bool commits) {
  answer_ = AnswerWait(conn_, AnswerBound());
  if (PQenterPipelineMode(conn_) != 1) throw PostgresError(nullptr, conn_);
  SendRequests(requests);
  if (PQpipelineSync(conn_) != 1) throw PostgresError(nullptr, conn_);
  std::optional<DbError> failure;
  try {
    return ReadPipeline(requests, wanted, streams_rows, held, &failure);
  } catch (const DbError&) {
    // Given up once the unit's closing COMMIT was sent whole, and no failure before it undid
    // the unit: the server may have run the COMMIT before it stopped answering.
    if (commits && given_up_ && answer_.sent() && !failure) {
      throw CommitUnknown("the statement and its COMMIT", "the statement");
    }
    throw;
  }
}

pg_result* PostgresConnection::ReadPipeline(std::vector<Request>& requests, size_t wanted,
                                            bool streams_rows, PostgresHeldRows* held,
                                            std::optional<DbError>* failure_out) {
  // Each request answers with its results and then a null; a prepared one first answers for
  // the preparation. After a failure the server skips the rest up to the sync.
  ResultGuard kept;
  std::optional<DbError>& failure = *failure_out;
  for (size_t i = 0; i < requests.size(); ++i) {
    const int answers = requests[i].prepare ? 2 : 1;
    for (int a = 0; a < answers; ++a) {
      ResultGuard first;
      if ((streams_rows || held != nullptr) && i == wanted && a == answers - 1 && !failure &&
          PQsetSingleRowMode(conn_) == 1) {
        first.result = NextResult();
        NoteReceivedRow(first.result);
        if (streams_rows && PQresultStatus(first.result) == PGRES_SINGLE_TUPLE) {
          return std::exchange(first.result, nullptr);
        }
        while (held != nullptr && PQresultStatus(first.result) == PGRES_SINGLE_TUPLE) {
          // Rows that arrive after the bound was passed, until the cancel takes, are dropped.
          if (!failure && !held->Append(first.result, 0)) {
            failure = HeldRowsExceeded(held->bound());
            CancelRunningStatement();
            held->KeepRefusedRow(std::exchange(first.result, nullptr));
          }
          PQclear(std::exchange(first.result, nullptr));
          first.result = NextResult();
          NoteReceivedRow(first.result);
        }
      }
      while (PGresult* r = NextResult()) {
        if (first.result == nullptr) {
          first.result = r;
        } else {
          PQclear(r);
        }
      }
      const ExecStatusType status = first.result ? PQresultStatus(first.result) : PGRES_FATAL_ERROR;
      if (status == PGRES_FATAL_ERROR && !failure) failure = FailureOf(first.result);
      if (i == wanted && a == answers - 1 &&
          (status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK)) {
        kept.result = std::exchange(first.result, nullptr);
      }
    }
  }
  ResultGuard sync{NextResult()};
  const bool synced = sync.result != nullptr && PQresultStatus(sync.result) == PGRES_PIPELINE_SYNC;
  if (!synced || PQexitPipelineMode(conn_) != 1) {
    if (!failure) failure = PostgresError(nullptr, conn_);
  }
  if (failure) throw *failure;
  return std::exchange(kept.result, nullptr);
}

}  // namespace korvalis::db
