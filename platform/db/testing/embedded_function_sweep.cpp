#include "platform/db/testing/embedded_function_sweep.h"

#include <sqlite3.h>

#include <algorithm>
#include <stdexcept>
#include <string>

#include "platform/db/oracle_functions.h"
#include "platform/db/sqlite_errors.h"
#include "platform/db/sqlite_statement_bounds.h"

namespace korvalis::db::testing {
namespace {

// A connection in memory with the functions and bounds an embedded connection has.
class EmbeddedCaller : public FunctionCaller {
 public:
  EmbeddedCaller() {
    if (sqlite3_open_v2(":memory:", &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) !=
        SQLITE_OK) {
      throw std::runtime_error("cannot open a database in memory");
    }
    sqlite3_extended_result_codes(db_, 1);
    bounds_ = std::make_unique<SqliteStatementBounds>(db_, std::chrono::seconds(1), 0);
    if (RegisterEmbeddedFunctions(db_) != SQLITE_OK) {
      throw std::runtime_error(std::string("cannot register the functions: ") +
                               sqlite3_errmsg(db_));
    }
  }
  ~EmbeddedCaller() override {
    bounds_.reset();
    sqlite3_close(db_);
  }

  // The statement "SELECT f(?1, ...)", as a scalar or as an aggregate of one row.
  CallOutcome Call(const std::string& function,
                   std::span<const SweptValue* const> arguments) override {
    std::string sql = "SELECT " + function + "(";
    for (size_t i = 0; i < arguments.size(); ++i) sql += (i ? ", ?" : "?");
    sql += ")";
    const std::chrono::nanoseconds start = ThreadProcessorTime();
    CallOutcome outcome;
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr);
    if (rc == SQLITE_OK) {
      for (size_t i = 0; i < arguments.size(); ++i) Bind(stmt, static_cast<int>(i + 1), *arguments[i]);
      StatementDeadline deadline = bounds_->Start();
      while ((rc = bounds_->Step(stmt, deadline)) == SQLITE_ROW) {
      }
    }
    if (rc != SQLITE_DONE) outcome.error = ErrorFromSqlite(db_, rc, stmt).what();
    sqlite3_finalize(stmt);
    outcome.work = ThreadProcessorTime() - start;
    return outcome;
  }

 private:
  static void Bind(sqlite3_stmt* stmt, int at, const SweptValue& v) {
    switch (v.kind) {
      case SweptValue::Kind::kNull:
        sqlite3_bind_null(stmt, at);
        break;
      case SweptValue::Kind::kInteger:
        sqlite3_bind_int64(stmt, at, std::stoll(v.text));
        break;
      case SweptValue::Kind::kReal:
        sqlite3_bind_double(stmt, at, std::stod(v.text));
        break;
      case SweptValue::Kind::kText:
        sqlite3_bind_text64(stmt, at, v.text.data(), v.text.size(), SQLITE_STATIC, SQLITE_UTF8);
        break;
    }
  }

  sqlite3* db_ = nullptr;
  std::unique_ptr<SqliteStatementBounds> bounds_;
};

}  // namespace

namespace {

// The functions a connection has, as SQLite lists them.
std::vector<SweptFunction> ListedFunctions(sqlite3* db) {
  std::vector<SweptFunction> functions;
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT name, narg FROM pragma_function_list ORDER BY name, narg", -1,
                         &stmt, nullptr) == SQLITE_OK) {
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      functions.push_back({reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)),
                           sqlite3_column_int(stmt, 1)});
    }
  }
  sqlite3_finalize(stmt);
  return functions;
}

}  // namespace

// Those of a connection with the embedded functions registered that a bare one lacks (SQLite's
// own and its extensions' are listed by both), and the engine's own that translated statements
// call with values of theirs (as oracle_functions.cpp lists them), LIKE's among them: printf,
// rtrim, instr and glob are called only with a format, a set, a key to search for and a pattern
// of their own.
std::vector<SweptFunction> EmbeddedFunctions() {
  sqlite3* db = nullptr;
  sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE, nullptr);
  const std::vector<SweptFunction> bare = ListedFunctions(db);
  std::vector<SweptFunction> functions = {
      {"like", 2},     {"like", 3},  {"length", 1}, {"unicode", 1}, {"typeof", 1},
      {"coalesce", 2}, {"nullif", 2}, {"unixepoch", 1}, {"count", 1}, {"sum", 1},
      {"avg", 1},      {"min", 1},   {"max", 1},
  };
  if (RegisterEmbeddedFunctions(db) == SQLITE_OK) {
    for (SweptFunction& f : ListedFunctions(db)) {
      const bool engines = std::any_of(bare.begin(), bare.end(), [&](const SweptFunction& b) {
        return b.name == f.name && b.arity == f.arity;
      });
      if (!engines) functions.push_back(std::move(f));
    }
  }
  sqlite3_close(db);
  return functions;
}

std::unique_ptr<FunctionCaller> OpenEmbeddedCaller() { return std::make_unique<EmbeddedCaller>(); }

}  // namespace korvalis::db::testing
