// The PostgreSQL provider: one libpq connection that runs Oracle SQL through the front end's
// PostgreSQL printer. Each statement goes to the server in one round trip (a libpq pipeline)
// with what it needs around it: the transaction's start, a savepoint so that a failing
// statement undoes only itself as in Oracle (needed only once the transaction holds work or
// locks; before that a failure undoes the whole transaction, which starts again with the next
// statement), the writers' turn below, and the database clock's time for SYSDATE (once per
// transaction and second). A translated text met again, or a query's shape, keeps a prepared
// statement of the connection; the values of a shape are bound as parameters. The server
// cancels a statement that runs past Command Timeout (its statement_timeout); a query read
// through a cursor is also refused its next batch once its deadline has passed. A query's rows
// are received one at a time into a compact rowset that counts what they hold: one whose rows
// would hold more than kMaxHeldRowBytes is cancelled there and fails with ORA-04030, undone as
// any failing statement is, so that a query without end never fills the process's memory.
//
// A reading transaction that holds no work or locks is committed without waiting for the
// server's answer: it has nothing to lose, and the answer is read before the connection is
// used again.
//
// Transactions:
//   reading  REPEATABLE READ: one snapshot for the whole call, never blocked by writers;
//   writing  READ COMMITTED, and before its first statement the transaction takes the
//            database's writers' turn (a transaction-level advisory lock of the server, held
//            until it ends). Writers take turns, as on the embedded file, so a MAX(ID) + 1
//            read, and any value read before a write, stays valid until commit; readers are
//            never blocked. The turn is the one lock a writer waits for, so two writers never
//            wait for each other's locks: no deadlock, whatever tables and rows they touch and
//            in whatever order. (Locks per table, taken as each statement names its tables,
//            let writers of other tables run at once but deadlock two calls that take the same
//            tables in other orders; a statement cannot know the tables of the call's later
//            statements.)
// A statement that writes (DML, TRUNCATE, DDL) outside any transaction takes the turn the same
// way for a transaction of its own. A query FOR UPDATE takes the turn as a write does (NOWAIT
// trying it once, WAIT n waiting n seconds for it): every writer then waits for its
// transaction, so the rows it read stay as they are. The first write of a reading transaction ends its reading
// part (which holds nothing) and goes on as a writing transaction: the reads before it keep
// one snapshot, the write and all after it see the world after the turn. A transaction that
// holds the turn and stays idle longer than Idle Transaction Timeout is ended by the server,
// its work undone, so that a stopped client does not hold every writer.
//
// Thread-safety: one thread at a time (see provider.h).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/db/cancel_at_signal.h"
#include "platform/db/postgres_answer_wait.h"
#include "platform/db/connection_support.h"
#include "platform/db/postgres_held_rows.h"
#include "platform/db/postgres_database.h"
#include "platform/db/provider.h"
#include "platform/db/statement_shape.h"

struct pg_conn;
struct pg_result;

namespace korvalis::db {

class PostgresStreamedRowset;

class PostgresConnection final : public Connection {
 public:
  // What a connection is opened for. One opened to build the database installs the runtime
  // objects, when they must be, in the transaction its first Begin (for writing) goes on with,
  // so that a build that never commits (failed, or its process ended) leaves none of them.
  enum class Purpose { kUse, kBuild };

  // Connects; throws DbError (kCannotConnect). A query run by Execute fails with ORA-04030
  // once its rows would hold more than `held_row_bytes`.
  explicit PostgresConnection(std::shared_ptr<PostgresDatabase> database,
                              size_t held_row_bytes = kMaxHeldRowBytes,
                              Purpose purpose = Purpose::kUse);
  ~PostgresConnection() override;
  PostgresConnection(const PostgresConnection&) = delete;
  PostgresConnection& operator=(const PostgresConnection&) = delete;

  std::unique_ptr<Rowset> Execute(std::string_view sql) override;
  // A query in a transaction is run as Execute runs it, in a savepoint of its own, and its rows
  // are received one at a time as the server sends them (see PostgresStreamedRowset); in a
  // transaction that holds or takes the writers' turn they are received whole first, as Execute
  // receives them, so that its session stays idle while they are read. Rows that pass the bound
  // of a query's rows are read up to the row refused there before the query fails, as streamed
  // rows are.
  std::unique_ptr<Rowset> ExecuteStreamed(std::string_view sql) override;
  BlobValue ReadBlob(std::string_view sql) override;
  bool WriteBlob(std::string_view sql, std::optional<std::string_view> bytes) override;
  void Begin(TransactionMode mode) override;
  void BeginSubordinate(TransactionMode mode) override;
  void Commit() override;
  void Rollback() override;
  bool InTransaction() const override;
  // False also once the connection received a row larger than kLargestRowKept, or was given up
  // at a statement's deadline.
  bool Alive() override;
  std::chrono::seconds CommandTimeout() const override;
  std::chrono::seconds IdleTransactionTimeout() const override;
  bool HoldsWritersTurn() const override;

  // One request of a pipeline: a statement with its parameters (text, or binary where
  // `binary` says so), run as a prepared statement when `prepared` names one.
  struct Request {
    std::string sql;
    std::vector<std::optional<std::string>> values{};  // nullopt: NULL
    std::vector<bool> binary{};
    std::string prepared{};  // the prepared statement's name; empty: run unnamed
    bool prepare = false;  // prepare `prepared` from `sql` first
  };

 private:
  // Runs `sql` with its rows received whole. `rows_then_failure`: a query whose rows pass the
  // bound of a query's rows answers the rows held before and the row refused there, and fails
  // when its reader reads past them (see RowsThenFailure).
  std::unique_ptr<Rowset> ExecuteWhole(std::string_view sql, bool rows_then_failure);
  std::unique_ptr<Rowset> Run(std::string_view sql, const StatementShape* shape,
                              bool rows_then_failure);
  std::unique_ptr<Rowset> RunUnit(const Translation& t);
  std::shared_ptr<const Translation> Translate(std::string_view sql, bool* seen_before = nullptr);
  // Whether `t` writes, locks rows (FOR UPDATE), or reads in a writing transaction: it runs
  // after the writers' turn.
  bool TakesTurn(const Translation& t) const;
  // Runs `statements` as one unit with the requests they need around them; returns the last
  // one's result (owned by the caller). Throws DbError, after undoing the unit's own work.
  // `keeps_work`: the statements leave work or locks that a later failure must not undo.
  // `takes_turn`: the statements write, or read in a writing transaction (their values must stay
  // valid until it commits), and run after the writers' turn.
  // `lock`: the statements are a query FOR UPDATE, which waits for the turn as it says.
  // `streams_rows` (one query, in a transaction): the query runs in a savepoint that stays until
  // EndStreamedQuery, and only its first row is received; what the statement leaves in the
  // transaction is kept in streamed_holds_ until then.
  // `held` (one statement): its rows are received one at a time into `held`, and the statement
  // fails once they pass its bound.
  pg_result* RunStatements(std::vector<Request> statements, bool takes_turn, bool reads_sysdate,
                           bool keeps_work, const RowLock* lock = nullptr,
                           bool streams_rows = false, PostgresHeldRows* held = nullptr);
  // After a failed round trip: forgets what it prepared and the clock it set, and undoes the
  // failed statement (`savepoint`) or the transaction that the failure left aborted.
  void RecoverFromFailure(const std::vector<Request>& requests, size_t first_statement,
                          bool savepoint, bool in_transaction);
  // Sends `requests` in one round trip; returns the result of requests[wanted], or throws the
  // first failure's DbError once every result is read. `streams_rows`: requests[wanted] is the
  // last request, a query whose rows are received one at a time; when it has a row, its first
  // row is returned and the rest of the round trip is left to ReceiveStreamedRow. `held`: the
  // rows of requests[wanted] are received one at a time into it; once they would pass its
  // bound the statement is cancelled, and the round trip fails with ORA-04030 once read.
  // `commits`: the last request is the COMMIT of a unit of its own; a round trip given up once
  // it was sent fails as a commit whose outcome is not known (ORA-03113).
  pg_result* RunPipeline(std::vector<Request>& requests, size_t wanted, bool streams_rows = false,
                         PostgresHeldRows* held = nullptr, bool commits = false);
  // Reads the answers of the round trip RunPipeline sent; the first failure read is kept in
  // *failure, and thrown once every answer is read.
  pg_result* ReadPipeline(std::vector<Request>& requests, size_t wanted, bool streams_rows,
                          PostgresHeldRows* held, std::optional<DbError>* failure);
  // Sends `requests` in pipeline mode, each as its own statement. Throws DbError when libpq
  // cannot send one.
  void SendRequests(const std::vector<Request>& requests);

  // The streamed query whose rows are still arriving (see PostgresStreamedRowset).
  friend class PostgresStreamedRowset;
  // Its next row (a single-row result, owned by the caller); nullptr once its rows ended, the
  // query's savepoint released. Throws DbError when the query fails, after undoing it.
  pg_result* ReceiveStreamedRow();
  // Ends the query before its last row: the server is asked to cancel it, what it sent
  // meanwhile is read and dropped, and the query is undone (the transaction goes on as before
  // it).
  void StopStreamedRows() noexcept;
  // Asks the server to cancel the running statement; one that ended meanwhile is not affected.
  // Its answer is then awaited for AnswerWait's grace alone.
  void CancelRunningStatement() noexcept;
  // The bound of a round trip's wait: Command Timeout, none while the transaction installs the
  // runtime (the server's timeout is off there too).
  std::chrono::seconds AnswerBound() const;
  // Waits for the next result of the round trip in flight (answer_); false once the server was
  // given up, the connection then marked so.
  bool AwaitAnswer() noexcept;
  // The next result of the round trip in flight, owned by the caller. Throws GivenUp() when the
  // server was given up.
  pg_result* NextResult();
  // Runs `sql` (no parameters, any number of statements) as a round trip of its own, as PQexec
  // does; nullptr when it could not be sent or the server was given up.
  pg_result* Exec(const char* sql) noexcept;
  // As Exec, the result owned by the caller; throws DbError when it failed or was given up.
  pg_result* Query(const char* sql);
  // Reads the shared catalog through Query, bounded as a statement is.
  PostgresDatabase::ServerQuery CatalogQuery();
  // After the server was given up: the connection is marked so, with the reason.
  void NoteGivenUp() noexcept;
  // The failure of a statement's result (see StatementError).
  DbError FailureOf(const pg_result* result) const;
  // The failure of a statement whose server was given up.
  DbError GivenUp() const;
  // Before the connection runs anything else: the rows of the streamed query not yet read are
  // received into its rowset.
  void HoldStreamedRows();
  // Reads what is left of the streamed round trip, keeping nothing, and leaves pipeline mode.
  // `query_ended`: the query's results were read to their end.
  void DrainStreamedRoundTrip(bool query_ended);
  // Releases the query's savepoint and keeps what the statement left in the transaction, or
  // (`undo`) undoes the query alone. Throws DbError when the release fails.
  void EndStreamedQuery(bool undo);
  // Notes a row received in single-row mode: libpq's receive buffer grows to hold the largest
  // row and never shrinks, so a connection that received one larger than kLargestRowKept is not
  // kept for reuse (Alive answers false).
  void NoteReceivedRow(const pg_result* row);
  // The prepared statement for `text`: its name, and whether it must be prepared first.
  std::string PreparedName(const std::string& text, bool* prepare);
  void Send(const char* sql);
  // Reads the answer of a COMMIT sent without waiting, if any; then throws DbError when the
  // connection is lost.
  void CheckOpen();
  void ReadCommitAnswer();

  std::shared_ptr<PostgresDatabase> database_;
  // The runtime's installation, left open for a build, not yet taken on by Begin. Declared
  // before conn_, whose connecting sets it.
  bool runtime_open_ = false;
  pg_conn* conn_ = nullptr;
  // The open transaction installs the runtime, with the server's statement timeout off.
  bool timeout_off_ = false;
  AnswerWait answer_;  // the wait of the round trip in flight
  bool given_up_ = false;  // the server did not answer in time: the connection is closed
  CancelAtSignal cancel_at_signal_;  // the program's signal handler cancels its statement
  size_t held_row_bytes_;  // the most the rows of a query run by Execute may hold
  // Why the server ended the session, when it said so between statements (an idle transaction
  // ended): the reason libpq hands over as a notice once no statement is waiting for it.
  std::optional<DbError> ended_by_server_;
  TransactionMode mode_ = TransactionMode::kReading;
  bool subordinate_ = false;
  // BEGIN waits for the transaction's first statement, in whose round trip it goes.
  std::string pending_begin_;
  bool open_ = false;  // the server holds an open transaction of ours
  bool commit_unread_ = false;  // a COMMIT was sent whose answer is not read yet
  // The translations of the open transaction once it changed the schema, against the schema as
  // it sees it: other connections meanwhile read the shared catalog as committed, without what
  // this transaction made. Dropped when it ends; a commit makes every connection read again.
  std::unique_ptr<TranslationCache> transaction_translations_;
  bool turn_held_ = false;  // the open transaction holds the writers' turn
  // The open transaction holds work or locks: a failing statement undoes only itself.
  bool held_ = false;
  std::string sysdate_set_;  // the clock's time set in the open transaction; empty: none
  // Prepared statements by translated text, with the schema generation they were made for.
  struct Prepared {
    std::string name;
    uint64_t generation = 0;
  };
  std::unordered_map<std::string, Prepared> prepared_;
  int next_prepared_ = 0;
  bool deallocate_all_ = false;  // the next round trip drops every prepared statement first
  ShapeMemo shapes_;
  // The rowset of the streamed query whose rows are still arriving; nullptr when none.
  PostgresStreamedRowset* streamed_ = nullptr;
  // What the streamed query's statement leaves in the transaction once its rows end: the
  // writers' turn taken with it, work kept, the clock's time set.
  struct StreamedHolds {
    bool turn = false;
    bool work = false;
    std::optional<std::string> sysdate;
  };
  StreamedHolds streamed_holds_;
  static constexpr size_t kMaxPrepared = 256;
  static constexpr size_t kLargestRowKept = size_t{16} << 20;
  bool swollen_ = false;  // a row larger than kLargestRowKept was received
};

}  // namespace korvalis::db
