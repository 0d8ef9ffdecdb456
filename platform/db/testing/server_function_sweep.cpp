#include "platform/db/testing/server_function_sweep.h"

#include <libpq-fe.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>

#include "platform/db/connection_string.h"
#include "platform/db/postgres_database.h"
#include "platform/db/postgres_error.h"

namespace korvalis::db::testing {
namespace {

constexpr std::chrono::seconds kCommandTimeout{1};

pg_conn* Connect(const std::string& init_string) {
  static_assert(kCommandTimeout.count() == 1);
  PostgresDatabase database(ConnectionString::Parse(init_string + ";Command Timeout=1"));
  pg_conn* conn = database.Connect();
  // The sweep's failures are read from its answers. Logged, each would carry its argument of
  // megabytes into the server's log, tens of thousands of them (the tests' role may set this).
  PQclear(PQexec(conn, "SET log_min_messages = fatal"));
  return conn;
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
      : init_string_(std::move(init_string)), conn_(Connect(init_string_)) {}
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
    PGresult* r = nullptr;
    if (PQsendQueryParams(conn_, sql.c_str(), static_cast<int>(values.size()), nullptr,
                          values.data(), nullptr, nullptr, 0) == 1) {
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
    outcome.elapsed = std::chrono::steady_clock::now() - start;
    if (PQstatus(conn_) != CONNECTION_OK) {
      PQfinish(conn_);
      conn_ = Connect(init_string_);
    }
    return outcome;
  }

 private:
  std::string init_string_;
  pg_conn* conn_;
};

}  // namespace

std::vector<SweptFunction> ServerFunctions(const std::string& init_string) {
  pg_conn* conn = Connect(init_string);
  PGresult* r = PQexec(
      conn,
      "SELECT p.proname || '(' || CASE WHEN p.provariadic <> 0 "
      "THEN regexp_replace(oidvectortypes(p.proargtypes), '([^ ,][^,]*)$', 'VARIADIC \\1') "
      "ELSE oidvectortypes(p.proargtypes) END || ')', "
      "CASE WHEN p.provariadic <> 0 THEN -1 ELSE p.pronargs END "
      "FROM pg_proc p WHERE p.pronamespace = current_schema()::regnamespace "
      "AND p.proname LIKE 'ora\\_%' AND p.proname NOT IN ('ora_raise', 'ora_raise_stable') "
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
