#include "platform/db/postgres_connection.h"

#include <libpq-fe.h>
#include <poll.h>

#include <cstdlib>
#include <cstring>

#include "platform/db/connection_support.h"
#include "platform/db/database_clock.h"
#include "platform/db/ora_date.h"
#include "platform/db/postgres_error.h"
#include "platform/db/sql_translator.h"
#include "platform/db/statement_deadline.h"

namespace korvalis::db {
namespace {

// PostgreSQL's type identifiers the rowset reads apart.
constexpr Oid kByteaOid = 17;
constexpr Oid kNumericOid = 1700;

}  // namespace

std::string_view OracleDecimal(std::string_view text, std::string* buffer) {
  const bool negative = !text.empty() && text.front() == '-';
  const std::string_view unsigned_text = negative ? text.substr(1) : text;
  const size_t point = unsigned_text.find('.');
  std::string digits(unsigned_text.substr(0, point));
  size_t integer_digits = digits.size();
  if (point != std::string_view::npos) digits.append(unsigned_text.substr(point + 1));
  const size_t first = digits.find_first_not_of('0');
  // A NUMBER's 20 base-100 digits: 40 significant digits when the leading digit's decimal
  // exponent is odd, 39 when it is even.
  const auto exponent = static_cast<int64_t>(integer_digits) - 1 - static_cast<int64_t>(first);
  const size_t kept = exponent % 2 != 0 ? 40 : 39;
  if (first != std::string::npos && digits.size() - first > kept) {
    // Rounded half up at the last digit kept.
    const size_t cut = first + kept;
    const bool up = digits[cut] >= '5';
    digits.resize(cut);
    for (size_t i = cut; up && i-- > 0;) {
      if (digits[i] != '9') {
        ++digits[i];
        break;
      }
      digits[i] = '0';
      if (i == 0) {
        digits.insert(digits.begin(), '1');
        ++integer_digits;
      }
    }
    if (digits.size() < integer_digits) digits.append(integer_digits - digits.size(), '0');
  } else if (point == std::string_view::npos) {
    return text;
  }
  buffer->clear();
  if (negative) buffer->push_back('-');
  buffer->append(digits, 0, integer_digits);
  if (integer_digits == 0) buffer->push_back('0');
  std::string fraction = digits.substr(std::min(integer_digits, digits.size()));
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  if (!fraction.empty()) buffer->append(".").append(fraction);
  if (*buffer == "-0") buffer->assign("0");
  return *buffer;
}

namespace {

// The rows of one statement, all received; owns its result.
class PostgresRowset final : public Rowset {
 public:
  // `names`: the query's column names as Oracle reports them, when known.
  PostgresRowset(PGresult* result, const std::vector<std::string>& names,
                 const StatementShape* shape)
      : result_(result), rows_(PQntuples(result)) {
    const int n = PQnfields(result_);
    names_.reserve(static_cast<size_t>(n));
    types_.reserve(static_cast<size_t>(n));
    const bool named = names.size() == static_cast<size_t>(n);
    for (int i = 0; i < n; ++i) {
      const std::string name = named ? names[static_cast<size_t>(i)] : PQfname(result_, i);
      names_.push_back(shape != nullptr ? ColumnNameWithValues(name, shape->literals) : name);
      types_.push_back(PQftype(result_, i));
    }
    buffers_.resize(static_cast<size_t>(n));
  }
  ~PostgresRowset() override { PQclear(result_); }

  int ColumnCount() const override { return static_cast<int>(names_.size()); }
  const std::string& ColumnName(int column) const override {
    return names_[static_cast<size_t>(column)];
  }
  bool Next() override {
    if (row_ + 1 >= rows_) {
      row_ = rows_;
      return false;
    }
    ++row_;
    return true;
  }
  bool IsNull(int column) const override { return PQgetisnull(result_, row_, column) != 0; }
  std::string_view Text(int column) const override {
    if (IsNull(column)) return {};
    const char* value = PQgetvalue(result_, row_, column);
    const std::string_view text(value, static_cast<size_t>(PQgetlength(result_, row_, column)));
    switch (types_[static_cast<size_t>(column)]) {
      case kNumericOid:
        return OracleDecimal(text, &buffers_[static_cast<size_t>(column)]);
      case kByteaOid: {
        size_t length = 0;
        unsigned char* bytes =
            PQunescapeBytea(reinterpret_cast<const unsigned char*>(value), &length);
        std::string& b = buffers_[static_cast<size_t>(column)];
        if (bytes == nullptr) throw DbError(kProviderFailed, "out of memory");
        b.assign(reinterpret_cast<const char*>(bytes), length);
        PQfreemem(bytes);
        return b;
      }
      default:
        return text;
    }
  }
  bool IsBlob(int column) const override {
    return types_[static_cast<size_t>(column)] == kByteaOid;
  }
  long long ChangedRows() const override { return -1; }

 private:
  PGresult* result_;
  int rows_;
  int row_ = -1;
  std::vector<std::string> names_;
  std::vector<Oid> types_;
  mutable std::vector<std::string> buffers_;
};

std::unique_ptr<Rowset> RowsOf(PGresult* result, const Translation& t,
                               const StatementShape* shape) {
  if (PQresultStatus(result) != PGRES_TUPLES_OK) {
    const char* count = PQcmdTuples(result);  // "" for a statement that changes no rows
    const long long changed =
        CountsChangedRows(t.kind) && *count != '\0' ? std::strtoll(count, nullptr, 10) : -1;
    PQclear(result);
    return std::make_unique<EmptyRowset>(changed);
  }
  return std::make_unique<PostgresRowset>(result, t.column_names, shape);
}

struct ResultGuard {
  PGresult* result = nullptr;
  ~ResultGuard() { PQclear(result); }
};

// Whether the statement leaves in the transaction what a later failing statement must not
// undo: anything but a query, or the writers' turn it takes.
bool KeepsWork(const Translation& t, bool takes_turn) {
  return takes_turn || t.changes_schema || t.kind != sql::StatementKind::kSelect;
}

constexpr const char* kBeginWriting = "BEGIN ISOLATION LEVEL READ COMMITTED";

const char* BeginStatement(Connection::TransactionMode mode) {
  return mode == Connection::TransactionMode::kWriting ? kBeginWriting
                                                       : "BEGIN ISOLATION LEVEL REPEATABLE READ";
}

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

// The writers' turn: one advisory lock of the database (its key spells "korvalis"), taken
// for the transaction and released by the server when the transaction ends, however it ends.
// The transaction that holds it is also bounded in how long it may stay idle ($1, in
// milliseconds): the server ends the session of a holder that stopped (a frozen or vanished
// client) and undoes its work, so that the other writers go on.
constexpr const char* kTakeWritersTurn =
    "SELECT pg_advisory_xact_lock(7741532137239374195), "
    "set_config('idle_in_transaction_session_timeout', $1, true)";
constexpr const char* kSavepoint = "SAVEPOINT korvalis_statement";
constexpr const char* kRelease = "RELEASE SAVEPOINT korvalis_statement";
constexpr const char* kUndoStatement =
    "ROLLBACK TO SAVEPOINT korvalis_statement; RELEASE SAVEPOINT korvalis_statement";

}  // namespace

PostgresConnection::PostgresConnection(std::shared_ptr<PostgresDatabase> database)
    : database_(std::move(database)), conn_(database_->Connect()) {}

// A COMMIT sent without waiting is answered before the connection closes, so that the server
// does not write its answer into a closed socket. A server that does not answer within a second
// does not hold the process.
PostgresConnection::~PostgresConnection() {
  if (commit_unread_) {
    pollfd ready{PQsocket(conn_), POLLIN, 0};
    bool answered = true;
    while (answered) {
      while (answered && PQisBusy(conn_)) {
        answered = ::poll(&ready, 1, 1000) > 0 && PQconsumeInput(conn_) == 1;
      }
      PGresult* r = answered ? PQgetResult(conn_) : nullptr;
      if (r == nullptr) break;
      PQclear(r);
    }
  }
  PQfinish(conn_);
}

bool PostgresConnection::Alive() {
  ReadCommitAnswer();
  if (PQstatus(conn_) != CONNECTION_OK) return false;
  // An idle connection has nothing to read: whatever came is the server saying it goes away
  // (or the end of the connection), so the connection is not used again.
  pollfd ready{PQsocket(conn_), POLLIN, 0};
  return ::poll(&ready, 1, 0) == 0;
}

void PostgresConnection::ReadCommitAnswer() {
  if (!commit_unread_) return;
  commit_unread_ = false;
  // The transaction read only: whatever the answer, nothing was lost; a lost connection shows
  // in its status.
  while (PGresult* r = PQgetResult(conn_)) PQclear(r);
}

void PostgresConnection::CheckOpen() {
  ReadCommitAnswer();
  if (PQstatus(conn_) == CONNECTION_OK) return;
  open_ = false;
  pending_begin_.clear();
  throw DbError(kProviderFailed,
                "ORA-03113: end-of-file on communication channel (the connection to the "
                "PostgreSQL server is lost) [SQLSTATE 08006]");
}

void PostgresConnection::Send(const char* sql) {
  ResultGuard r{PQexec(conn_, sql)};
  const ExecStatusType status = PQresultStatus(r.result);
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
    throw PostgresError(r.result, conn_);
  }
}

std::shared_ptr<const Translation> PostgresConnection::Translate(std::string_view sql,
                                                                 bool* seen_before) {
  return database_->Translate(sql, conn_, seen_before, transaction_translations_.get());
}

std::unique_ptr<Rowset> PostgresConnection::Execute(std::string_view sql) {
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
    if (std::unique_ptr<Rowset> rows = Run(shape->text, shape)) return rows;
  }
  return Run(sql, nullptr);
}

// The rows of a query read through a cursor of the open transaction, a batch at a time: only
// the batch being read is held. The cursor ends with the transaction (the rowset ends before
// it, as every rowset does).
class PostgresCursorRowset final : public Rowset {
 public:
  // `first`: the result of the first FETCH, owned from here on; `deadline`: the statement's,
  // started before the cursor was declared.
  PostgresCursorRowset(PostgresConnection* connection, std::string fetch,
                       std::shared_ptr<const Translation> translation, PGresult* first,
                       const StatementDeadline& deadline)
      : connection_(connection),
        fetch_(std::move(fetch)),
        translation_(std::move(translation)),
        deadline_(deadline) {
    Take(first);
    ++connection_->cursors_read_;
  }
  ~PostgresCursorRowset() override { --connection_->cursors_read_; }
  PostgresCursorRowset(const PostgresCursorRowset&) = delete;
  PostgresCursorRowset& operator=(const PostgresCursorRowset&) = delete;

  int ColumnCount() const override { return batch_->ColumnCount(); }
  const std::string& ColumnName(int column) const override { return batch_->ColumnName(column); }
  bool Next() override {
    while (!batch_->Next()) {
      if (last_batch_) return false;
      deadline_.Check();
      Take(connection_->FetchRows(fetch_));
    }
    return true;
  }
  bool IsNull(int column) const override { return batch_->IsNull(column); }
  std::string_view Text(int column) const override { return batch_->Text(column); }
  bool IsBlob(int column) const override { return batch_->IsBlob(column); }
  long long ChangedRows() const override { return -1; }

  // Rows asked for by one FETCH.
  static constexpr int kBatchRows = 1000;

 private:
  void Take(PGresult* result) {
    last_batch_ = PQntuples(result) < kBatchRows;
    batch_ = RowsOf(result, *translation_, nullptr);
  }

  PostgresConnection* connection_;
  std::string fetch_;
  std::shared_ptr<const Translation> translation_;
  std::unique_ptr<Rowset> batch_;
  bool last_batch_ = false;
  // The server bounds each FETCH; the statement as a whole is bounded here.
  StatementDeadline deadline_;
};

std::unique_ptr<Rowset> PostgresConnection::ExecuteStreamed(std::string_view sql) {
  CheckOpen();
  // A cursor lives in a transaction; outside one the rows come whole.
  if (!InTransaction()) return Execute(sql);
  std::shared_ptr<const Translation> t = Translate(sql);
  if (t->kind != sql::StatementKind::kSelect || t->statements.size() != 1 || t->changes_schema) {
    return Execute(sql);
  }
  const std::string cursor = "korvalis_rows_" + std::to_string(++next_cursor_);
  std::string fetch = "FETCH FORWARD " + std::to_string(PostgresCursorRowset::kBatchRows) +
                      " FROM " + cursor;
  const bool turn = TakesTurn(*t);
  const StatementDeadline deadline(CommandTimeout());
  std::vector<Request> statements;
  statements.push_back(Request{"DECLARE " + cursor + " NO SCROLL CURSOR FOR " + t->statements[0]});
  statements.push_back(Request{fetch});
  PGresult* first =
      RunStatements(std::move(statements), turn, t->reads_sysdate, KeepsWork(*t, turn));
  return std::make_unique<PostgresCursorRowset>(this, std::move(fetch), std::move(t), first,
                                                deadline);
}

pg_result* PostgresConnection::FetchRows(const std::string& fetch) {
  return RunStatements({Request{fetch}}, false, false, false);
}

std::unique_ptr<Rowset> PostgresConnection::Run(std::string_view sql, const StatementShape* shape) {
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
  try {
    pg_result* result =
        RunStatements({std::move(statement)}, turn, t->reads_sysdate, KeepsWork(*t, turn));
    return RowsOf(result, *t, shape);
  } catch (const DbError& e) {
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
  return Writes(t) || (InTransaction() && mode_ == TransactionMode::kWriting);
}

pg_result* PostgresConnection::RunStatements(std::vector<Request> statements, bool takes_turn,
                                             bool reads_sysdate, bool keeps_work) {
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
  // statement is undone with the whole transaction, which starts again with the next one.
  const bool savepoint = in_transaction && held_;
  // The first write of a reading transaction that has only read: its snapshot was fixed
  // before the turn, so the write would read the world as it was before the writers ahead of
  // it committed. The reading part holds nothing and ends; the transaction goes on as a
  // writing one (READ COMMITTED after the turn), so the write and all after it see the world
  // after the turn.
  // A cursor still being read lives in the reading part: then the write runs in it as it
  // stands.
  const bool becoming_writer = in_transaction && takes_turn && !held_ && !turn_held_ &&
                               mode_ == TransactionMode::kReading && cursors_read_ == 0;
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
  if (taking_turn) {
    Request turn{kTakeWritersTurn};
    turn.values.emplace_back(database_->idle_transaction_timeout_ms());
    requests.push_back(std::move(turn));
  }
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
  if (savepoint) requests.push_back(Request{kRelease});
  if (own) requests.push_back(Request{"COMMIT"});
  try {
    pg_result* result = RunPipeline(requests, last_statement);
    if (!pending_begin_.empty()) {
      pending_begin_.clear();
      open_ = true;
    }
    if (in_transaction) {
      turn_held_ = turn_held_ || taking_turn;
      held_ = held_ || keeps_work;
      if (reads_sysdate) sysdate_set_ = std::move(sysdate);
    }
    return result;
  } catch (const DbError&) {
    RecoverFromFailure(requests, first_statement, savepoint, in_transaction);
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
  if (PQstatus(conn_) == CONNECTION_BAD) {
    // The server ended the session (a transaction idle too long) or the connection was lost:
    // the server undid the transaction, which is over for the caller too.
    open_ = false;
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
      PQclear(PQexec(conn_, kUndoStatement));
    } else {
      PQclear(PQexec(conn_, "ROLLBACK"));
      if (in_transaction) {
        // Nothing was held: the transaction starts again with the next statement.
        open_ = false;
        pending_begin_ = BeginStatement(mode_);
        turn_held_ = false;
      }
    }
  }
}

pg_result* PostgresConnection::RunPipeline(std::vector<Request>& requests, size_t wanted) {
  if (PQenterPipelineMode(conn_) != 1) throw PostgresError(nullptr, conn_);
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
  if (PQpipelineSync(conn_) != 1) throw PostgresError(nullptr, conn_);
  // Each request answers with its results and then a null; a prepared one first answers for
  // the preparation. After a failure the server skips the rest up to the sync.
  PGresult* kept = nullptr;
  std::optional<DbError> failure;
  for (size_t i = 0; i < requests.size(); ++i) {
    const int answers = requests[i].prepare ? 2 : 1;
    for (int a = 0; a < answers; ++a) {
      PGresult* first = nullptr;
      while (PGresult* r = PQgetResult(conn_)) {
        if (first == nullptr) {
          first = r;
        } else {
          PQclear(r);
        }
      }
      const ExecStatusType status = first ? PQresultStatus(first) : PGRES_FATAL_ERROR;
      if (status == PGRES_FATAL_ERROR && !failure) {
        failure = StatementError(first, conn_, database_->command_timeout());
      }
      if (i == wanted && a == answers - 1 &&
          (status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK)) {
        kept = first;
      } else {
        PQclear(first);
      }
    }
  }
  PGresult* sync = PQgetResult(conn_);
  const bool synced = sync != nullptr && PQresultStatus(sync) == PGRES_PIPELINE_SYNC;
  PQclear(sync);
  if (!synced || PQexitPipelineMode(conn_) != 1) {
    if (!failure) failure = PostgresError(nullptr, conn_);
  }
  if (failure) {
    PQclear(kept);
    throw *failure;
  }
  return kept;
}

BlobValue PostgresConnection::ReadBlob(std::string_view sql) {
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
  const BlobStatement b =
      TranslateBlobSelect(sql, *database_->CurrentCatalog(conn_, transaction_translations_.get()), Engine::kPostgres);
  // The row's address holds while the writers' turn is held: both statements run in one
  // transaction.
  const bool own = !InTransaction();
  if (own) Begin(TransactionMode::kWriting);
  try {
    ResultGuard found{RunStatements({Request{b.rowid_sql}}, true, false, true)};
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
  if (InTransaction()) throw DbError(kProviderFailed, "a transaction is already open");
  CheckOpen();
  pending_begin_ = BeginStatement(mode);
  mode_ = mode;
  subordinate_ = false;
  transaction_translations_.reset();
  turn_held_ = false;
  held_ = false;
  sysdate_set_.clear();
}

void PostgresConnection::BeginSubordinate(TransactionMode mode) {
  Begin(mode);
  subordinate_ = true;
}

void PostgresConnection::Commit() {
  if (!InTransaction()) {
    // A transaction whose session the server ended (idle too long, or the connection lost) was
    // undone there: its commit fails, so that no caller takes its work for done.
    if (PQstatus(conn_) != CONNECTION_OK) CheckOpen();
    return;
  }
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
  if (read_only &&
      PQsendQueryParams(conn_, "COMMIT", 0, nullptr, nullptr, nullptr, nullptr, 0) == 1) {
    commit_unread_ = true;
    return;
  }
  ResultGuard r{PQexec(conn_, "COMMIT")};
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
  if (!InTransaction()) return;
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

bool PostgresConnection::HoldsWritersTurn() const { return turn_held_; }

}  // namespace korvalis::db
