#include "platform/db/postgres_database.h"

#include <libpq-fe.h>

#include <algorithm>
#include <charconv>
#include <optional>
#include <unordered_map>

#include "platform/db/postgres_answer_wait.h"
#include "platform/db/postgres_error.h"
#include "platform/db/postgres_runtime.h"
#include "platform/db/provider.h"
#include "platform/sys/high_descriptor.h"
#include "platform/text/ascii.h"

namespace korvalis::db {
namespace {

// The result of `sql`, owned; throws DbError when it failed.
struct Result {
  PGresult* result = nullptr;
  ~Result() { PQclear(result); }
  std::string_view Text(int row, int column) const {
    return PQgetisnull(result, row, column) ? std::string_view()
                                            : std::string_view(PQgetvalue(result, row, column));
  }
  int Integer(int row, int column) const {
    if (PQgetisnull(result, row, column)) return -1;
    const std::string_view t = Text(row, column);
    int value = -1;
    std::from_chars(t.data(), t.data() + t.size(), value);
    return value;
  }
};

// A writer idle this long inside its transaction is taken for stopped: longer than any pause
// inside a call (an HTTP or SOAP answer is cut at 30 s), short enough that the writers kept
// waiting (30 s each, the lock timeout) go on within about two minutes.
constexpr std::chrono::seconds kDefaultIdleTransactionSeconds{60};

// A duration in milliseconds, as the server's settings read it.
std::string Milliseconds(std::chrono::seconds seconds) {
  return std::to_string(static_cast<long long>(seconds.count()) * 1000);
}

// The server's notices (a name shortened, an object that exists already) are no failures.
void IgnoreNotice(void*, const char*) {}

void Query(const PostgresDatabase::ServerQuery& query, const char* sql, Result* out) {
  out->result = query(sql);
}

// Statements on `connection` before a provider's connection owns it, each bounded by `bound`
// (zero: none) as a provider's statement is.
PostgresDatabase::ServerQuery BoundedQuery(pg_conn* connection, std::chrono::seconds bound) {
  return [connection, bound](const char* sql) {
    AnswerWait wait(connection, bound);
    PGresult* result = ExecAwaited(connection, sql, &wait);
    if (wait.given_up()) throw ServerGivenUp(wait.timed_out(), bound);
    const ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
      const DbError failure = StatementError(result, connection, bound, wait.timed_out());
      PQclear(result);
      throw failure;
    }
    return result;
  };
}

// A client that vanishes while its statement runs (a killed program, a host gone down) closes
// its socket, but a statement that sends nothing meanwhile (a write, a sort) would not learn it
// until Command Timeout, holding its locks and the writers' turn all along. From PostgreSQL 14
// the server looks at the socket of a running statement this often, and ends the statement and
// its session once the client is gone; any role may set it for its session. A client that is
// stopped but alive keeps its socket open and is bounded by Command Timeout alone.
constexpr int kFirstServerCheckingClients = 140000;
constexpr const char* kCheckClientWhileRunning = "SET client_connection_check_interval = 2000";

void WatchForVanishedClient(pg_conn* connection, const PostgresDatabase::ServerQuery& query) {
  if (PQserverVersion(connection) < kFirstServerCheckingClients) return;
  Result set;
  Query(query, kCheckClientWhileRunning, &set);
}

}  // namespace

void RunPostgresScript(pg_conn* connection, const char* sql, std::chrono::seconds bound) {
  Result r;
  Query(BoundedQuery(connection, bound), sql, &r);
}

PostgresDatabase::PostgresDatabase(const ConnectionString& init)
    : idle_transaction_timeout_(
          init.Seconds("Idle Transaction Timeout", kDefaultIdleTransactionSeconds)),
      idle_transaction_timeout_ms_(Milliseconds(idle_transaction_timeout_)),
      command_timeout_(init.Seconds("Command Timeout", kDefaultCommandTimeout)) {
  // A service name, URI or connection string in Data Source comes first, so that the items
  // named on their own add to it.
  if (std::optional<std::string> source = init.Get("Data Source"); source && !source->empty()) {
    const bool expanded =
        source->find("://") != std::string::npos || source->find('=') != std::string::npos;
    parameters_.emplace_back(expanded ? "dbname" : "service", *source);
  }
  const std::pair<const char*, std::vector<const char*>> items[] = {
      {"host", {"Host", "Server"}},
      {"port", {"Port"}},
      {"dbname", {"Database", "Initial Catalog"}},
      {"user", {"User ID", "User", "UID"}},
      {"password", {"Password", "PWD"}},
  };
  for (const auto& [keyword, names] : items) {
    for (const char* name : names) {
      if (std::optional<std::string> value = init.Get(name); value && !value->empty()) {
        parameters_.emplace_back(keyword, *value);
        break;
      }
    }
  }
  if (parameters_.empty()) {
    throw DbError(kCannotConnect,
                  "the initialisation string names no PostgreSQL server (Host, Database or "
                  "Data Source)");
  }
  // Checked as every other number of seconds, so that a wrong one is refused by name.
  parameters_.emplace_back(
      "connect_timeout",
      std::to_string(init.Seconds("Connect Timeout", std::chrono::seconds{10}).count()));
  parameters_.emplace_back("application_name", "korvalis");
  parameters_.emplace_back("client_encoding", "UTF8");
  // Dates are written "YYYY-MM-DD HH:MM:SS"; a writer waits for a table at most as long as
  // the embedded engine waits for its lock. A statement prepared by its shape is planned as
  // the server chooses: for its first runs' values, then once for any values where that plan
  // is estimated as cheap as theirs. Every statement is cancelled by the server once it has
  // run Command Timeout. No statement is compiled to machine code: the compiler is a call
  // that no cancel reaches, and a statement of thousands of conditions keeps it busy for
  // seconds.
  parameters_.emplace_back("options",
                           "-c DateStyle=ISO,YMD -c IntervalStyle=postgres -c lock_timeout=30s "
                           "-c standard_conforming_strings=on -c plan_cache_mode=auto -c jit=off "
                           "-c statement_timeout=" +
                               Milliseconds(command_timeout_));
}

pg_conn* PostgresDatabase::Connect(bool* runtime_left_open) {
  std::vector<const char*> keywords, values;
  for (const auto& [k, v] : parameters_) {
    keywords.push_back(k.c_str());
    values.push_back(v.c_str());
  }
  keywords.push_back(nullptr);
  values.push_back(nullptr);
  pg_conn* connection = nullptr;
  {
    // The connection's socket stays clear of the standard descriptors a host may have closed.
    const sys::StandardDescriptorsHeld standard_descriptors;
    connection = PQconnectdbParams(keywords.data(), values.data(), 1);
  }
  if (connection == nullptr) throw DbError(kCannotConnect, "out of memory");
  PQsetNoticeProcessor(connection, IgnoreNotice, nullptr);
  if (PQstatus(connection) != CONNECTION_OK) {
    std::string message = PQerrorMessage(connection);
    while (!message.empty() && message.back() == '\n') message.pop_back();
    PQfinish(connection);
    throw DbError(kCannotConnect, "cannot connect to the PostgreSQL server: " + message);
  }
  // Requests go out as the server reads them, so that no send waits on a busy server past the
  // round trip's deadline (AnswerWait sends the rest while it waits), and PQfinish writes its
  // goodbye without waiting.
  PQsetnonblocking(connection, 1);
  try {
    const ServerQuery query = BoundedQuery(connection, command_timeout_);
    WatchForVanishedClient(connection, query);
    const bool left_open = EnsureRuntime(connection, query, runtime_left_open != nullptr);
    if (runtime_left_open != nullptr) *runtime_left_open = left_open;
  } catch (const DbError& e) {
    PQfinish(connection);
    throw DbError(kCannotConnect,
                  std::string("cannot prepare the PostgreSQL database: ") + e.what());
  }
  return connection;
}

// Installs the runtime objects when they are missing or of another version; one process at a
// time (an advisory lock), in one transaction, committed unless it is to be left open.
bool PostgresDatabase::EnsureRuntime(pg_conn* connection, const ServerQuery& query,
                                     bool leave_open) {
  std::lock_guard<std::mutex> lock(runtime_mutex_);
  if (runtime_checked_) return false;
  // The schema the objects are made in, and the version there.
  Result version;
  Query(query,
        "SELECT current_schema(), (SELECT prosrc FROM pg_proc WHERE proname = "
        "'korvalis_runtime_version' AND pronamespace = current_schema()::regnamespace)",
        &version);
  const std::string expected = " SELECT " + std::to_string(kPostgresRuntimeVersion) + " ";
  if (version.Text(0, 1) != expected) {
    // Each step, and the wait for another process's installation, by the installation's bound,
    // which the server keeps too.
    const std::chrono::seconds bound = command_timeout_.count() == 0
                                           ? command_timeout_
                                           : std::max(command_timeout_, kInstallationFloor);
    const std::string begin = "BEGIN; SET LOCAL statement_timeout = " + Milliseconds(bound) +
                              "; SELECT pg_advisory_xact_lock(48480001)";
    RunPostgresScript(connection, begin.c_str(), bound);
    try {
      // Without a schema on the search path, the server refuses the first object.
      RunPostgresScript(connection, PostgresRuntimeSql(version.Text(0, 0)).c_str(), bound);
      // Left open, the objects are not there for other connections until the owner commits.
      if (leave_open) return true;
      RunPostgresScript(connection, "COMMIT", bound);
    } catch (const DbError&) {
      try {
        Result undone;
        Query(query, "ROLLBACK", &undone);
      } catch (const DbError&) {
        // The connection is closed with the failure, which undoes the installation too.
      }
      throw;
    }
  }
  runtime_checked_ = true;
  return false;
}

std::shared_ptr<const Translation> PostgresDatabase::Translate(std::string_view oracle_sql,
                                                               const ServerQuery& query,
                                                               bool* seen_before,
                                                               TranslationCache* transaction) {
  return (transaction ? *transaction : translations_)
      .Translate(
          oracle_sql, [&query] { return LoadCatalog(query); }, seen_before);
}

std::shared_ptr<const Catalog> PostgresDatabase::CurrentCatalog(const ServerQuery& query,
                                                                TranslationCache* transaction) {
  return (transaction ? *transaction : translations_).CurrentCatalog([&query] {
    return LoadCatalog(query);
  });
}

std::shared_ptr<const Catalog> PostgresDatabase::LoadCatalog(const ServerQuery& query) {
  // Every table and view of the schema, described or not; the metadata's own tables are read
  // through their views of upper-case names.
  Result tables;
  Query(query,
        "SELECT c.relname, c.relkind FROM pg_class c WHERE c.relnamespace = "
        "current_schema()::regnamespace AND c.relkind IN ('r', 'p', 'v', 'm', 'f') "
        "AND c.relname NOT LIKE 'korvalis\\_%' ORDER BY c.relname",
        &tables);
  std::vector<TableInfo> infos;
  std::unordered_map<std::string, size_t> by_name;
  for (int i = 0; i < PQntuples(tables.result); ++i) {
    TableInfo info;
    info.name = std::string(tables.Text(i, 0));
    const std::string_view kind = tables.Text(i, 1);
    info.is_view = kind == "v" || kind == "m";
    by_name.emplace(info.name, infos.size());
    infos.push_back(std::move(info));
  }
  Result declared;
  Query(query,
        "SELECT table_name, column_name, data_type, data_scale, data_precision, data_length, "
        "char_length FROM korvalis_columns ORDER BY table_name, column_id",
        &declared);
  for (int i = 0; i < PQntuples(declared.result); ++i) {
    auto it = by_name.find(std::string(declared.Text(i, 0)));
    if (it == by_name.end()) continue;
    ColumnInfo col;
    col.name = std::string(declared.Text(i, 1));
    sql::TypeName type;
    type.name = std::string(declared.Text(i, 2));
    col.type = type.name.empty() ? SqlType::kUnknown : TypeOfDeclared(type);
    col.timestamp = type.name.starts_with("TIMESTAMP");
    col.scale = declared.Integer(i, 3);
    col.precision = declared.Integer(i, 4);
    SetDeclaredLength(type.name, declared.Integer(i, 5), declared.Integer(i, 6), &col);
    infos[it->second].columns.push_back(std::move(col));
  }
  // Tables the metadata does not describe: columns by name, of unknown type.
  Result attributes;
  Query(query,
        "SELECT c.relname, a.attname FROM pg_attribute a JOIN pg_class c ON c.oid = a.attrelid "
        "WHERE c.relnamespace = current_schema()::regnamespace AND c.relkind IN "
        "('r', 'p', 'v', 'm', 'f') AND a.attnum > 0 AND NOT a.attisdropped "
        "ORDER BY c.relname, a.attnum",
        &attributes);
  std::vector<bool> described(infos.size());
  for (size_t i = 0; i < infos.size(); ++i) described[i] = !infos[i].columns.empty();
  for (int i = 0; i < PQntuples(attributes.result); ++i) {
    auto it = by_name.find(std::string(attributes.Text(i, 0)));
    if (it == by_name.end() || described[it->second]) continue;
    ColumnInfo col;
    col.name = std::string(attributes.Text(i, 1));
    infos[it->second].columns.push_back(std::move(col));
  }
  // Text indexes, under the names the translator looks them up by (their table's name).
  Result text_indexes;
  Query(query,
        "SELECT c.relname FROM pg_class c WHERE c.relnamespace = "
        "current_schema()::regnamespace AND c.relkind = 'i' AND (c.relname LIKE "
        "'KORVALIS\\_TEXT$%' OR c.relname LIKE 'KORVALIS\\_XMLTEXT$%')",
        &text_indexes);
  for (int i = 0; i < PQntuples(text_indexes.result); ++i) {
    TableInfo info;
    info.name = std::string(text_indexes.Text(i, 0));
    infos.push_back(std::move(info));
  }
  return Catalog::Make(std::move(infos));
}

}  // namespace korvalis::db
