#include "platform/db/postgres_connection.h"

#include <libpq-fe.h>
#include <poll.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

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

// A value in the server's text form as the provider reads it: a NUMERIC as Oracle writes it, a
// BYTEA as its bytes, any other as it stands. Returns `raw` itself or the text written into
// `buffer`. Precondition: a NUL follows `raw`.
std::string_view ProviderText(Oid type, std::string_view raw, std::string* buffer) {
  switch (type) {
    case kNumericOid:
      return OracleDecimal(raw, buffer);
    case kByteaOid: {
      size_t length = 0;
      unsigned char* bytes =
          PQunescapeBytea(reinterpret_cast<const unsigned char*>(raw.data()), &length);
      if (bytes == nullptr) throw DbError(kProviderFailed, "out of memory");
      buffer->assign(reinterpret_cast<const char*>(bytes), length);
      PQfreemem(bytes);
      return *buffer;
    }
    default:
      return raw;
  }
}

// Grows `cells` to hold `needed` elements: doubling as a vector does, but never past `most`,
// so that rows held to a bound never take twice the bound while they grow.
template <class T>
void ReserveWithin(std::vector<T>* cells, size_t needed, size_t most) {
  if (needed <= cells->capacity()) return;
  cells->reserve(std::max(needed, std::min(cells->capacity() * 2, most)));
}

}  // namespace

bool PostgresHeldRows::Append(const PGresult* result, int row) {
  const int columns = PQnfields(result);
  // A BYTEA value is held as its bytes, half its text.
  std::vector<std::unique_ptr<unsigned char, decltype(&PQfreemem)>> decoded;
  std::vector<std::string_view> cells(static_cast<size_t>(columns));
  size_t text = 0;
  for (int i = 0; i < columns; ++i) {
    const char* value = PQgetvalue(result, row, i);
    size_t length = static_cast<size_t>(PQgetlength(result, row, i));
    if (PQftype(result, i) == kByteaOid && PQgetisnull(result, row, i) == 0) {
      unsigned char* bytes =
          PQunescapeBytea(reinterpret_cast<const unsigned char*>(value), &length);
      if (bytes == nullptr) throw DbError(kProviderFailed, "out of memory");
      decoded.emplace_back(bytes, &PQfreemem);
      value = reinterpret_cast<const char*>(bytes);
    }
    cells[static_cast<size_t>(i)] = std::string_view(value, length);
    text += length + 1;
  }
  const size_t cell_count = ends_.size() + cells.size();
  const size_t held = values_.size() + text + cell_count * sizeof(uint32_t) + cell_count / 8;
  if (held > bound_) return false;
  ReserveWithin(&values_, values_.size() + text, bound_);
  ReserveWithin(&ends_, cell_count, bound_ / sizeof(uint32_t));
  for (int i = 0; i < columns; ++i) {
    values_.insert(values_.end(), cells[static_cast<size_t>(i)].begin(),
                   cells[static_cast<size_t>(i)].end());
    values_.push_back('\0');
    ends_.push_back(static_cast<uint32_t>(values_.size()));
    nulls_.push_back(PQgetisnull(result, row, i) != 0);
  }
  return true;
}

std::string_view PostgresHeldRows::Cell(size_t cell) const {
  const size_t start = cell == 0 ? 0 : ends_[cell - 1];
  return std::string_view(values_.data() + start, ends_[cell] - start - 1);
}

namespace {

// The rows of one query, all received.
class PostgresRowset final : public Rowset {
 public:
  // `described`: the query's result, whose columns name and type the rows. `names`: the
  // query's column names as Oracle reports them, when known.
  PostgresRowset(const PGresult* described, PostgresHeldRows rows,
                 const std::vector<std::string>& names, const StatementShape* shape)
      : rows_(std::move(rows)) {
    const int n = PQnfields(described);
    names_.reserve(static_cast<size_t>(n));
    types_.reserve(static_cast<size_t>(n));
    const bool named = names.size() == static_cast<size_t>(n);
    for (int i = 0; i < n; ++i) {
      const std::string name = named ? names[static_cast<size_t>(i)] : PQfname(described, i);
      names_.push_back(shape != nullptr ? ColumnNameWithValues(name, shape->literals) : name);
      types_.push_back(PQftype(described, i));
    }
    buffers_.resize(static_cast<size_t>(n));
    row_count_ = n == 0 ? 0 : rows_.CellCount() / static_cast<size_t>(n);
  }

  int ColumnCount() const override { return static_cast<int>(names_.size()); }
  const std::string& ColumnName(int column) const override {
    return names_[static_cast<size_t>(column)];
  }
  bool Next() override {
    if (next_row_ >= row_count_) return false;
    first_cell_ = next_row_++ * names_.size();
    return true;
  }
  bool IsNull(int column) const override {
    return rows_.IsNull(first_cell_ + static_cast<size_t>(column));
  }
  std::string_view Text(int column) const override {
    if (IsNull(column)) return {};
    const std::string_view cell = rows_.Cell(first_cell_ + static_cast<size_t>(column));
    if (IsBlob(column)) return cell;  // held as its bytes
    return ProviderText(types_[static_cast<size_t>(column)], cell,
                        &buffers_[static_cast<size_t>(column)]);
  }
  bool IsBlob(int column) const override {
    return types_[static_cast<size_t>(column)] == kByteaOid;
  }
  long long ChangedRows() const override { return -1; }

 private:
  PostgresHeldRows rows_;
  size_t row_count_ = 0;
  size_t next_row_ = 0;
  size_t first_cell_ = 0;  // the row being read's first cell
  std::vector<std::string> names_;
  std::vector<Oid> types_;
  mutable std::vector<std::string> buffers_;
};

struct ResultGuard {
  PGresult* result = nullptr;
  ~ResultGuard() { PQclear(result); }
};

// The rowset of a statement's result: `rows` received one at a time before it, and any rows
// the result holds itself. Takes the result.
std::unique_ptr<Rowset> RowsOf(PGresult* result, const Translation& t,
                               const StatementShape* shape, PostgresHeldRows rows) {
  if (PQresultStatus(result) != PGRES_TUPLES_OK) {
    const char* count = PQcmdTuples(result);  // "" for a statement that changes no rows
    const long long changed =
        CountsChangedRows(t.kind) && *count != '\0' ? std::strtoll(count, nullptr, 10) : -1;
    PQclear(result);
    return std::make_unique<EmptyRowset>(changed);
  }
  ResultGuard described{result};
  for (int row = 0; row < PQntuples(result); ++row) {
    if (!rows.Append(result, row)) throw HeldRowsExceeded(rows.bound());
  }
  return std::make_unique<PostgresRowset>(result, std::move(rows), t.column_names, shape);
}

// Whether the statement leaves in the transaction what a later failing statement must not
// undo: anything but a query, or the writers' turn it takes.
bool KeepsWork(const Translation& t, bool takes_turn) {
  return takes_turn || t.changes_schema || t.kind != sql::StatementKind::kSelect;
}

// The lock a query FOR UPDATE takes; null for any other statement.
const RowLock* LockOf(const std::optional<RowLock>& lock) { return lock ? &*lock : nullptr; }

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

constexpr const char* kSavepoint = "SAVEPOINT korvalis_statement";
constexpr const char* kRelease = "RELEASE SAVEPOINT korvalis_statement";
constexpr const char* kUndoStatement =
    "ROLLBACK TO SAVEPOINT korvalis_statement; RELEASE SAVEPOINT korvalis_statement";

}  // namespace

PostgresConnection::PostgresConnection(std::shared_ptr<PostgresDatabase> database,
                                       size_t held_row_bytes)
    : database_(std::move(database)), conn_(database_->Connect()), held_row_bytes_(held_row_bytes) {
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
  HoldStreamedRows();
  ReadCommitAnswer();
  if (PQstatus(conn_) == CONNECTION_OK) return;
  open_ = false;
  pending_begin_.clear();
  if (ended_by_server_) throw *ended_by_server_;
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
  if (!InTransaction()) return Execute(sql);
  std::shared_ptr<const Translation> t = Translate(sql);
  if (t->kind != sql::StatementKind::kSelect || t->statements.size() != 1 || t->changes_schema) {
    return Execute(sql);
  }
  // A transaction that holds the writers' turn, or takes it with this query (a writing one, a
  // query FOR UPDATE), receives the rows whole, to the bound of a query's rows: while rows are
  // sent the server's session is busy, not idle, and a holder whose reader stalls (a pager left
  // open) would keep every writer waiting past Idle Transaction Timeout.
  if (turn_held_ || TakesTurn(*t)) return Execute(sql);
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
  PGresult* row = PQgetResult(conn_);
  const ExecStatusType status = row != nullptr ? PQresultStatus(row) : PGRES_FATAL_ERROR;
  if (status == PGRES_SINGLE_TUPLE) return row;
  streamed_ = nullptr;
  std::optional<DbError> failure;
  if (status != PGRES_TUPLES_OK) {
    failure = StatementError(row, conn_, database_->command_timeout());
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
void PostgresConnection::CancelRunningStatement() noexcept {
  if (PGcancel* cancel = PQgetCancel(conn_)) {
    char error[256];
    PQcancel(cancel, error, sizeof error);
    PQfreeCancel(cancel);
  }
}

void PostgresConnection::HoldStreamedRows() {
  if (streamed_ != nullptr) streamed_->HoldRest();
}

void PostgresConnection::DrainStreamedRoundTrip(bool query_ended) {
  if (!query_ended) {
    while (PGresult* r = PQgetResult(conn_)) PQclear(r);
  }
  PQclear(PQgetResult(conn_));  // the round trip's sync
  PQexitPipelineMode(conn_);
}

void PostgresConnection::EndStreamedQuery(bool undo) {
  StreamedHolds holds = std::move(streamed_holds_);
  streamed_holds_ = StreamedHolds{};
  if (PQstatus(conn_) == CONNECTION_BAD) {
    // The server undid the transaction; the next statement reports the lost connection.
    RecoverFromFailure({}, 0, /*savepoint=*/true, /*in_transaction=*/true);
    return;
  }
  if (undo) {
    // Undoes a query that failed or was cancelled; one that ended meanwhile changed nothing.
    PQclear(PQexec(conn_, kUndoStatement));
    return;
  }
  ResultGuard released{PQexec(conn_, kRelease)};
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
    // The rows are received one at a time, so that a query without end fails at the bound
    // instead of being received whole first.
    PostgresHeldRows held(held_row_bytes_);
    pg_result* result =
        RunStatements({std::move(statement)}, turn, t->reads_sysdate, KeepsWork(*t, turn),
                      LockOf(t->row_lock), /*streams_rows=*/false, &held);
    return RowsOf(result, *t, shape, std::move(held));
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
  return Writes(t) || t.row_lock || (InTransaction() && mode_ == TransactionMode::kWriting);
}

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
    pg_result* result = RunPipeline(requests, last_statement, streams_rows, held);
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

pg_result* PostgresConnection::RunPipeline(std::vector<Request>& requests, size_t wanted,
                                           bool streams_rows, PostgresHeldRows* held) {
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
      if ((streams_rows || held != nullptr) && i == wanted && a == answers - 1 && !failure &&
          PQsetSingleRowMode(conn_) == 1) {
        first = PQgetResult(conn_);
        if (streams_rows && PQresultStatus(first) == PGRES_SINGLE_TUPLE) return first;
        while (held != nullptr && PQresultStatus(first) == PGRES_SINGLE_TUPLE) {
          // Rows that arrive after the bound was passed, until the cancel takes, are dropped.
          if (!failure && !held->Append(first, 0)) {
            failure = HeldRowsExceeded(held->bound());
            CancelRunningStatement();
          }
          PQclear(first);
          first = PQgetResult(conn_);
        }
      }
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
  const BlobStatement b =
      TranslateBlobSelect(sql, *database_->CurrentCatalog(conn_, transaction_translations_.get()), Engine::kPostgres);
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
  HoldStreamedRows();
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
  HoldStreamedRows();
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

std::chrono::seconds PostgresConnection::IdleTransactionTimeout() const {
  return database_->idle_transaction_timeout();
}

bool PostgresConnection::HoldsWritersTurn() const { return turn_held_; }

}  // namespace korvalis::db
