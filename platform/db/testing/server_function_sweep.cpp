#include "platform/db/testing/server_function_sweep.h"

#include <libpq-fe.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <string_view>
#include <thread>

#include "platform/db/connection_string.h"
#include "platform/db/postgres_database.h"
#include "platform/db/postgres_error.h"

namespace korvalis::db::testing {
namespace {

constexpr std::chrono::seconds kCommandTimeout{1};
// When the provider gives a statement up: its Command Timeout and the grace after it.
constexpr std::chrono::milliseconds kClientGivesUp{1550};
// How long a server process is watched after its client gave up.
constexpr std::chrono::seconds kBackendWatched{30};

pg_conn* Connect(const std::string& init_string) {
  static_assert(kCommandTimeout.count() == 1);
  PostgresDatabase database(ConnectionString::Parse(init_string + ";Command Timeout=1"));
  pg_conn* conn = database.Connect();
  // The sweep's failures are read from its answers. Logged, each would carry its argument of
  // megabytes into the server's log, tens of thousands of them (the tests' role may set this).
  PQclear(PQexec(conn, "SET log_min_messages = fatal"));
  return conn;
}

// The server process that runs the statements of `conn` (of this machine's server).
pid_t BackendOf(pg_conn* conn) {
  PGresult* r = PQexec(conn, "SELECT pg_backend_pid()");
  const pid_t pid = PQresultStatus(r) == PGRES_TUPLES_OK ? std::atoi(PQgetvalue(r, 0, 0)) : 0;
  PQclear(r);
  return pid;
}

// The argument types of "name(type, type ...)".
std::vector<std::string> TypesOf(const std::string& signature) {
  std::vector<std::string> types;
  const size_t open = signature.find('(');
  std::string rest = signature.substr(open + 1, signature.size() - open - 2);
  while (!rest.empty()) {
    const size_t comma = rest.find(", ");
    types.push_back(rest.substr(0, comma));
    rest = comma == std::string::npos ? "" : rest.substr(comma + 2);
  }
  return types;
}

class ServerCaller : public FunctionCaller {
 public:
  explicit ServerCaller(std::string init_string)
      : init_string_(std::move(init_string)),
        conn_(Connect(init_string_)),
        backend_(BackendOf(conn_)) {}
  ~ServerCaller() override { PQfinish(conn_); }

  // "SELECT name($1::type, ...)": a polymorphic type is given as text, the elements of a
  // VARIADIC array one by one.
  CallOutcome Call(const std::string& function,
                   std::span<const SweptValue* const> arguments) override {
    const std::vector<std::string> types = TypesOf(function);
    std::string sql = "SELECT " + function.substr(0, function.find('(')) + "(";
    std::vector<const char*> values;
    for (size_t i = 0; i < arguments.size(); ++i) {
      std::string type = types.empty() ? "text" : types[std::min(i, types.size() - 1)];
      if (type.starts_with("VARIADIC ")) type = type.substr(9, type.size() - 11);
      if (type.starts_with("any")) type = "text";
      sql += (i ? ", $" : "$") + std::to_string(i + 1) + "::" + type;
      values.push_back(arguments[i]->kind == SweptValue::Kind::kNull ? nullptr
                                                                     : arguments[i]->text.c_str());
    }
    sql += ")";
    const auto start = std::chrono::steady_clock::now();
    const std::chrono::nanoseconds work_start = ProcessProcessorTime(backend_);
    PGresult* r = nullptr;
    if (PQsendQueryParams(conn_, sql.c_str(), static_cast<int>(values.size()), nullptr,
                          values.data(), nullptr, nullptr, 0) == 1) {
      if (!AnswerBy(start + kClientGivesUp)) return GiveUp(work_start);
      while (PGresult* next = PQgetResult(conn_)) {
        if (r == nullptr) {
          r = next;
        } else {
          PQclear(next);
        }
      }
    }
    CallOutcome outcome;
    const ExecStatusType status = PQresultStatus(r);
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
      // The description less the server's own state, which the provider appends.
      std::string error = StatementError(r, conn_, kCommandTimeout).what();
      error.erase(std::min(error.size(), error.rfind(" [SQLSTATE ")));
      outcome.error = std::move(error);
    }
    PQclear(r);
    outcome.work = ProcessProcessorTime(backend_) - work_start;
    if (PQstatus(conn_) != CONNECTION_OK) Reconnect();
    return outcome;
  }

 private:
  // Whether the server's answer is all received by `deadline`.
  bool AnswerBy(std::chrono::steady_clock::time_point deadline) {
    while (PQconsumeInput(conn_) == 1 && PQisBusy(conn_) == 1) {
      const auto left = deadline - std::chrono::steady_clock::now();
      if (left <= std::chrono::steady_clock::duration::zero()) return false;
      pollfd socket = {PQsocket(conn_), POLLIN, 0};
      poll(&socket, 1,
           static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count()));
    }
    return true;
  }

  // Gives the call up as the provider does past its Command Timeout and its grace: the
  // connection is closed, and the call's work is its server process's processor time until
  // that process is no longer busy, as the next writer sees it.
  CallOutcome GiveUp(std::chrono::nanoseconds work_start) {
    const pid_t backend = backend_;
    const std::string busy =
        "SELECT count(*) FROM pg_stat_activity WHERE pid = " + std::to_string(backend) +
        " AND state = 'active'";
    std::chrono::nanoseconds work = ProcessProcessorTime(backend) - work_start;
    Reconnect();
    CallOutcome outcome;
    outcome.error = "ORA-01013: the client gave up the call";
    const auto given_up = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - given_up < kBackendWatched) {
      PGresult* r = PQexec(conn_, busy.c_str());
      const bool ended =
          PQresultStatus(r) == PGRES_TUPLES_OK && std::string_view(PQgetvalue(r, 0, 0)) == "0";
      PQclear(r);
      if (ended) break;
      work = std::max(work, ProcessProcessorTime(backend) - work_start);
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    outcome.work = work;
    return outcome;
  }

  void Reconnect() {
    PQfinish(conn_);
    conn_ = Connect(init_string_);
    backend_ = BackendOf(conn_);
  }

  std::string init_string_;
  pg_conn* conn_;
  pid_t backend_ = 0;  // the process id of conn_'s server process
};

}  // namespace

std::vector<SweptFunction> ServerFunctions(const std::string& init_string) {
  pg_conn* conn = Connect(init_string);
  PGresult* r =
      PQexec(conn,
             "SELECT p.proname || '(' || CASE WHEN p.provariadic <> 0 "
             "THEN regexp_replace(oidvectortypes(p.proargtypes), '([^ ,][^,]*)$', 'VARIADIC \\1') "
             "ELSE oidvectortypes(p.proargtypes) END || ')', "
             "CASE WHEN p.provariadic <> 0 THEN -1 ELSE p.pronargs END "
             "FROM pg_proc p WHERE p.pronamespace = current_schema()::regnamespace "
             "AND p.proname LIKE 'ora\\_%' "
             "AND p.proname NOT IN ('ora_raise', 'ora_raise_stable', 'ora_raise_immutable') "
             "ORDER BY 1");
  std::vector<SweptFunction> functions;
  for (int i = 0; i < PQntuples(r); ++i) {
    functions.push_back({PQgetvalue(r, i, 0), std::stoi(PQgetvalue(r, i, 1))});
  }
  const bool listed = PQresultStatus(r) == PGRES_TUPLES_OK;
  PQclear(r);
  PQfinish(conn);
  if (!listed) throw std::runtime_error("the server's functions cannot be listed");
  return functions;
}

std::unique_ptr<FunctionCaller> OpenServerCaller(const std::string& init_string) {
  return std::make_unique<ServerCaller>(init_string);
}

}  // namespace korvalis::db::testing
