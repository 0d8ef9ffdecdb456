#include "platform/db/postgres_connection.h"

#include <libpq-fe.h>
#include <poll.h>

#include <cstring>
#include <utility>

#include "platform/db/connection_support.h"
#include "platform/db/database_clock.h"
#include "platform/db/ora_date.h"
#include "platform/db/postgres_connection_internal.h"
#include "platform/db/postgres_error.h"
#include "platform/db/postgres_rows.h"
#include "platform/db/sql_translator.h"

namespace korvalis::db {
namespace {

// The lock a query FOR UPDATE takes; null for any other statement.
const RowLock* LockOf(const std::optional<RowLock>& lock) { return lock ? &*lock : nullptr; }

// A query of the clock's time alone is short and names SYSDATE; only such texts are parsed
// before they run to find out.
constexpr size_t kLongestClockQuery = 96;
bool ContainsSysdate(std::string_view sql) {
  constexpr std::string_view kSysdate = "SYSDATE";
  for (size_t at = 0; at + kSysdate.size() <= sql.size(); ++at) {
    size_t i = 0;
    while (i < kSysdate.size() && (sql[at + i] & ~0x20) == kSysdate[i]) ++i;
    if (i == kSysdate.size()) return true;
  }
  return false;
}

}  // namespace

PostgresConnection::PostgresConnection(std::shared_ptr<PostgresDatabase> database,
                                       size_t held_row_bytes, Purpose purpose)
    : database_(std::move(database)),
      conn_(database_->Connect(purpose == Purpose::kBuild ? &runtime_open_ : nullptr)),
      cancel_at_signal_(conn_),
      held_row_bytes_(held_row_bytes) {
  // The installation is work of the open transaction that a failing statement must not undo.
  open_ = held_ = timeout_off_ = runtime_open_;
  PQsetNoticeReceiver(
      conn_,
      [](void* self, const PGresult* notice) {
        const char* severity = PQresultErrorField(notice, PG_DIAG_SEVERITY_NONLOCALIZED);
        if (severity == nullptr || std::strcmp(severity, "FATAL") != 0) return;
        const char* sqlstate = PQresultErrorField(notice, PG_DIAG_SQLSTATE);
        const char* message = PQresultErrorField(notice, PG_DIAG_MESSAGE_PRIMARY);
        try {
          static_cast<PostgresConnection*>(self)->ended_by_server_ =
              PostgresError(sqlstate ? sqlstate : "", message ? message : "");
        } catch (const std::bad_alloc&) {
          // The lost connection is reported without the server's reason.
        }
      },
      this);
}

// A COMMIT sent without waiting is answered before the connection closes, so that the server
// does not write its answer into a closed socket. A server that does not answer within a second
// does not hold the process.
PostgresConnection::~PostgresConnection() {
  if (commit_unread_) {
    answer_ = AnswerWait(conn_, std::chrono::seconds(1));
    while (answer_.Await()) {
      PGresult* r = PQgetResult(conn_);
      if (r == nullptr) break;
      PQclear(r);
    }
  }
  PQfinish(conn_);
}

bool PostgresConnection::Alive() {
  ReadCommitAnswer();
  if (swollen_ || given_up_) return false;
  if (PQstatus(conn_) != CONNECTION_OK) return false;
  // An idle connection has nothing to read: whatever came is the server saying it goes away
  // (or the end of the connection), so the connection is not used again.
  pollfd ready{PQsocket(conn_), POLLIN, 0};
  return ::poll(&ready, 1, 0) == 0;
}

void PostgresConnection::NoteReceivedRow(const pg_result* row) {
  if (PQresultStatus(row) == PGRES_SINGLE_TUPLE && RowTextBytes(row, 0) > kLargestRowKept) {
    swollen_ = true;
  }
}

void PostgresConnection::ReadCommitAnswer() {
  if (!commit_unread_) return;
  commit_unread_ = false;
  // The transaction read only: whatever the answer, nothing was lost; a lost connection shows
  // in its status.
  while (AwaitAnswer()) {
    PGresult* r = PQgetResult(conn_);
    if (r == nullptr) break;
    PQclear(r);
  }
}

std::chrono::seconds PostgresConnection::AnswerBound() const {
  return timeout_off_ ? std::chrono::seconds(0) : database_->command_timeout();
}

bool PostgresConnection::AwaitAnswer() noexcept {
  if (answer_.Await()) return true;
  NoteGivenUp();
  return false;
}

void PostgresConnection::NoteGivenUp() noexcept {
  if (given_up_) return;
  given_up_ = true;
  try {
    ended_by_server_ = DbError(
        kProviderFailed,
        "ORA-03113: end-of-file on communication channel (the server did not end a statement " +
            (answer_.timed_out() ? "at its Command Timeout of " +
                                       std::to_string(answer_.bound().count()) + " seconds"
                                 : std::string("when it was asked to cancel")) +
            ", " + kClosedUnanswered + ")");
  } catch (const std::bad_alloc&) {
    // The closed connection is reported as lost, without the reason.
  }
}

pg_result* PostgresConnection::NextResult() {
  if (!AwaitAnswer()) throw GivenUp();
  return PQgetResult(conn_);
}

pg_result* PostgresConnection::Exec(const char* sql) noexcept {
  answer_ = AnswerWait(conn_, AnswerBound());
  pg_result* result = ExecAwaited(conn_, sql, &answer_);
  if (answer_.given_up()) NoteGivenUp();
  return result;
}

pg_result* PostgresConnection::Query(const char* sql) {
  pg_result* result = Exec(sql);
  if (given_up_) throw GivenUp();
  const ExecStatusType status = PQresultStatus(result);
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
    const DbError failure = FailureOf(result);
    PQclear(result);
    throw failure;
  }
  return result;
}

DbError PostgresConnection::FailureOf(const pg_result* result) const {
  return StatementError(result, conn_, database_->command_timeout(), answer_.timed_out());
}

DbError PostgresConnection::GivenUp() const {
  return ServerGivenUp(answer_.timed_out(), answer_.bound());
}

void PostgresConnection::CheckOpen() {
  HoldStreamedRows();
  ReadCommitAnswer();
  if (PQstatus(conn_) == CONNECTION_OK && !given_up_) return;
  open_ = false;
  pending_begin_.clear();
  if (ended_by_server_) throw *ended_by_server_;
  throw DbError(kProviderFailed,
                "ORA-03113: end-of-file on communication channel (the connection to the "
                "PostgreSQL server is lost) [SQLSTATE 08006]");
}

void PostgresConnection::Send(const char* sql) {
  ResultGuard r{Exec(sql)};
  const ExecStatusType status = PQresultStatus(r.result);
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
    throw PostgresError(r.result, conn_);
  }
}

PostgresDatabase::ServerQuery PostgresConnection::CatalogQuery() {
  return [this](const char* sql) { return Query(sql); };
}

std::shared_ptr<const Translation> PostgresConnection::Translate(std::string_view sql,
                                                                 bool* seen_before) {
  return database_->Translate(sql, CatalogQuery(), seen_before, transaction_translations_.get());
}

std::unique_ptr<Rowset> PostgresConnection::Execute(std::string_view sql) {
  return ExecuteWhole(sql, /*rows_then_failure=*/false);
}

std::unique_ptr<Rowset> PostgresConnection::ExecuteWhole(std::string_view sql,
                                                         bool rows_then_failure) {
  CheckOpen();
  // The clock's time is answered here: it is the value the server would be given to answer.
  if (sql.size() <= kLongestClockQuery && ContainsSysdate(sql)) {
    std::shared_ptr<const Translation> t = Translate(sql);
    if (t->reads_clock_only && t->column_names.size() == 1) {
      return std::make_unique<ValueRowset>(t->column_names[0],
                                           FormatDate(CurrentDatabaseTime()));
    }
  }
  if (const StatementShape* shape = shapes_.ShapeOf(sql)) {
    if (std::unique_ptr<Rowset> rows = Run(shape->text, shape, rows_then_failure)) return rows;
  }
  return Run(sql, nullptr, rows_then_failure);
}

std::unique_ptr<Rowset> PostgresConnection::Run(std::string_view sql, const StatementShape* shape,
                                                bool rows_then_failure) {
  bool seen_before = false;
  std::shared_ptr<const Translation> t;
  if (shape == nullptr) {
    t = Translate(sql, &seen_before);
  } else {
    // A shape that does not translate to one plain query leaves the text to run as written,
    // which also reports any failure in the text's own words.
    try {
      t = Translate(sql, &seen_before);
    } catch (const DbError&) {
      return nullptr;
    }
    if (t->statements.size() != 1 || t->changes_schema || t->kind == sql::StatementKind::kCommit ||
        t->kind == sql::StatementKind::kRollback) {
      return nullptr;
    }
  }
  if (auto done = db::RunTransactionControl(*this, *t, subordinate_, mode_)) return done;
  if (t->kind == sql::StatementKind::kRollbackForce) return std::make_unique<EmptyRowset>();
  if (t->statements.size() != 1 || t->changes_schema) return RunUnit(*t);
  Request statement;
  statement.sql = t->statements[0];
  if (shape != nullptr) {
    if (!BindMarkers(&statement.sql, shape->values.size(), '$')) return nullptr;
    statement.values.assign(shape->values.begin(), shape->values.end());
    // A date parameter takes the date its value reads as; a value not in the stored form is
    // read by the text as written.
    for (size_t k = 0; k < shape->values.size(); ++k) {
      if (!BindsAsDate(shape->formats[k])) continue;
      std::optional<std::string> date = BoundDate(shape->values[k], shape->formats[k]);
      if (!date) return nullptr;
      statement.values[k] = std::move(date);
    }
  }
  if (seen_before || shape != nullptr) {
    statement.prepared = PreparedName(statement.sql, &statement.prepare);
  }
  const bool turn = TakesTurn(*t);
  // The rows are received one at a time, so that a query without end fails at the bound
  // instead of being received whole first.
  PostgresHeldRows held(held_row_bytes_);
  try {
    pg_result* result =
        RunStatements({std::move(statement)}, turn, t->reads_sysdate, KeepsWork(*t, turn),
                      LockOf(t->row_lock), /*streams_rows=*/false, &held);
    return RowsOf(result, *t, shape, std::move(held));
  } catch (const DbError& e) {
    if (rows_then_failure && held.refused_row() != nullptr) {
      return RowsThenFailure(std::move(held), e, *t, shape);
    }
    // A shape whose parameters the server cannot type runs as written instead.
    if (shape != nullptr && e.code() == kErrorsInCommand) return nullptr;
    throw;
  }
}

std::unique_ptr<Rowset> PostgresConnection::RunUnit(const Translation& t) {
  std::vector<Request> statements;
  for (const std::string& s : t.statements) statements.push_back(Request{s});
  const bool turn = TakesTurn(t);
  ResultGuard result{
      RunStatements(std::move(statements), turn, t.reads_sysdate, KeepsWork(t, turn))};
  if (t.changes_schema) {
    database_->SchemaChanged();
    if (InTransaction()) SchemaChangedInTransaction(&transaction_translations_, Engine::kPostgres);
  }
  return std::make_unique<EmptyRowset>();
}

std::string PostgresConnection::PreparedName(const std::string& text, bool* prepare) {
  const uint64_t generation = database_->generation();
  auto it = prepared_.find(text);
  if (it != prepared_.end() && it->second.generation == generation) {
    *prepare = false;
    return it->second.name;
  }
  // Statements prepared before the schema changed, or too many of them: all are dropped.
  if (it != prepared_.end() || prepared_.size() >= kMaxPrepared) {
    prepared_.clear();
    deallocate_all_ = true;
  }
  std::string name = "korvalis_" + std::to_string(++next_prepared_);
  prepared_[text] = Prepared{name, generation};
  *prepare = true;
  return name;
}

bool PostgresConnection::TakesTurn(const Translation& t) const {
  return Writes(t) || t.row_lock || (InTransaction() && mode_ == TransactionMode::kWriting);
}

BlobValue PostgresConnection::ReadBlob(std::string_view sql) {
  CheckOpen();
  // Any query reads: inline views, joins and views included. Only writing needs one table.
  if (Translate(sql)->kind != sql::StatementKind::kSelect) {
    throw SqlError("a BLOB read of a statement that is not a query is not supported",
                   kNotSupported);
  }
  std::unique_ptr<Rowset> rows = Execute(sql);
  BlobValue value;
  if (rows->ColumnCount() == 0 || !rows->Next()) return value;
  if (rows->IsNull(0)) {
    value.state = BlobValue::kNull;
    return value;
  }
  value.state = BlobValue::kBytes;
  value.bytes.assign(rows->Text(0));
  return value;
}

bool PostgresConnection::WriteBlob(std::string_view sql, std::optional<std::string_view> bytes) {
  CheckOpen();
  const BlobStatement b = TranslateBlobSelect(
      sql, *database_->CurrentCatalog(CatalogQuery(), transaction_translations_.get()),
      Engine::kPostgres);
  // The row's address holds while the writers' turn is held: both statements run in one
  // transaction.
  const bool own = !InTransaction();
  if (own) Begin(TransactionMode::kWriting);
  try {
    ResultGuard found{
        RunStatements({Request{b.rowid_sql}}, true, false, true, LockOf(b.row_lock))};
    if (PQntuples(found.result) == 0) {
      if (own) Commit();
      return false;
    }
    Request update{b.update_sql};
    if (bytes) {
      update.values.emplace_back(std::string(*bytes));
    } else {
      update.values.emplace_back(std::nullopt);
    }
    update.values.emplace_back(std::string(PQgetvalue(found.result, 0, 0)));
    update.binary = {true, false};
    ResultGuard written{RunStatements({std::move(update)}, true, false, true)};
    if (own) Commit();
    return true;
  } catch (...) {
    if (own) {
      try {
        Rollback();
      } catch (const DbError&) {
        // The pool drops a connection that cannot roll back.
      }
    }
    throw;
  }
}

void PostgresConnection::Begin(TransactionMode mode) {
  // A build's first transaction goes on from the runtime's installation.
  const bool goes_on = runtime_open_ && mode == TransactionMode::kWriting;
  if (InTransaction() && !goes_on) {
    throw DbError(kProviderFailed, "a transaction is already open");
  }
  runtime_open_ = false;
  timeout_off_ = timeout_off_ && goes_on;
  CheckOpen();
  pending_begin_ = goes_on ? "" : BeginStatement(mode);
  mode_ = mode;
  subordinate_ = false;
  transaction_translations_.reset();
  turn_held_ = false;
  held_ = goes_on;
  sysdate_set_.clear();
}

void PostgresConnection::BeginSubordinate(TransactionMode mode) {
  Begin(mode);
  subordinate_ = true;
}

void PostgresConnection::Commit() {
  HoldStreamedRows();
  if (!InTransaction()) {
    // A transaction whose session the server ended (idle too long, or the connection lost) was
    // undone there: its commit fails, so that no caller takes its work for done.
    if (PQstatus(conn_) != CONNECTION_OK || given_up_) CheckOpen();
    return;
  }
  runtime_open_ = timeout_off_ = false;
  const bool schema_changed = transaction_translations_ != nullptr;
  transaction_translations_.reset();
  const bool read_only = mode_ == TransactionMode::kReading && !held_ && !schema_changed;
  pending_begin_.clear();
  subordinate_ = false;
  turn_held_ = false;
  held_ = false;
  sysdate_set_.clear();
  if (!open_) return;  // no statement ran: nothing to commit
  open_ = false;
  if (read_only) {
    answer_ = AnswerWait(conn_, AnswerBound());
    if (PQsendQueryParams(conn_, "COMMIT", 0, nullptr, nullptr, nullptr, nullptr, 0) == 1) {
      commit_unread_ = true;
      return;
    }
  }
  ResultGuard r{Exec("COMMIT")};
  if (given_up_) throw CommitUnknown("the COMMIT", "the transaction");
  if (PQresultStatus(r.result) != PGRES_COMMAND_OK) throw PostgresError(r.result, conn_);
  // The server answers ROLLBACK to the COMMIT of a transaction that failed.
  if (std::strcmp(PQcmdStatus(r.result), "COMMIT") != 0) {
    throw DbError(kProviderFailed, "ORA-02091: transaction rolled back");
  }
  // Other connections may have read the catalog while this transaction's schema was not theirs
  // to see: it is read again.
  if (schema_changed) database_->SchemaChanged();
}

void PostgresConnection::Rollback() {
  HoldStreamedRows();
  if (!InTransaction()) return;
  runtime_open_ = timeout_off_ = false;
  pending_begin_.clear();
  subordinate_ = false;
  turn_held_ = false;
  held_ = false;
  sysdate_set_.clear();
  if (transaction_translations_) {
    database_->SchemaChanged();
    transaction_translations_.reset();
  }
  if (!open_) return;
  open_ = false;
  Send("ROLLBACK");
}

bool PostgresConnection::InTransaction() const { return open_ || !pending_begin_.empty(); }

std::chrono::seconds PostgresConnection::CommandTimeout() const {
  return database_->command_timeout();
}

std::chrono::seconds PostgresConnection::IdleTransactionTimeout() const {
  return database_->idle_transaction_timeout();
}

bool PostgresConnection::HoldsWritersTurn() const { return turn_held_; }

}  // namespace korvalis::db
