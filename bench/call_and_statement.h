// The two sides of the benchmarks that hold a call against the statement it runs: the call
// through IDispatch::Invoke, as a client makes it, and the statement, translated once by the
// embedded provider's front end, stepped on plain SQLite with every column read as text, as
// the provider's rows read them; and the database both sides work on.
//
// Thread-safety: a benchmark's object and database connection belong to its thread.
#pragma once

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "db/database_file.h"
#include "db/testing/temp_directory.h"
#include "platform/com/dispatch.h"
#include "platform/com/variant.h"
#include "platform/db/connection_pool.h"
#include "platform/db/oracle_functions.h"
#include "platform/db/text_search.h"
#include "platform/text/unicode.h"

namespace korvalis::bench {

// The local time as the embedded database renders a date: "YYYY-MM-DD HH:MM:SS".
inline std::string Now() {
  char now[24];
  const std::time_t t = std::time(nullptr);
  std::strftime(now, sizeof now, "%Y-%m-%d %H:%M:%S", std::localtime(&t));
  return now;
}

// Ends the process with SQLite's message when `rc` is a failure.
inline void CheckSqlite(int rc, sqlite3* db) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
    std::abort();
  }
}

// A database with the system's schema and installation rows in a directory of its own (its
// name begins with `prefix`), which also holds telv.config.xml naming the database and becomes
// the process's current directory. `fill` writes the benchmark's rows first, in one
// transaction on a plain connection that has the Oracle functions of the schema's generated
// columns and the tokenizers of its text indexes. Removed at exit.
class BenchDatabase {
 public:
  BenchDatabase(const char* prefix, const std::function<void(sqlite3*)>& fill)
      : scratch_(prefix), path_(scratch_.path() + "/hospital.db") {
    const std::string init =
        schema::CreateDatabaseFile(path_, schema::DatabaseContents::kInstallation);
    db::ConnectionPools::Close(init);
    sqlite3* db = nullptr;
    CheckSqlite(sqlite3_open(path_.c_str(), &db), db);
    CheckSqlite(db::RegisterOracleFunctions(db), db);
    CheckSqlite(db::RegisterTextSearch(db), db);
    CheckSqlite(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db);
    fill(db);
    CheckSqlite(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
    sqlite3_close(db);
    schema::WriteDatabaseConfig(scratch_.path(), init);
    if (::chdir(scratch_.path().c_str()) != 0) std::abort();
  }

  const std::string& path() const { return path_; }

 private:
  testing::TempDirectory scratch_;
  std::string path_;
};

// Calls method `dispid` of `object` once through Invoke with `count` arguments (reversed, as
// DISPPARAMS holds them) into `result`. A failing call ends the benchmark with the call's error
// description and answers false.
inline bool InvokeMethod(benchmark::State& state, IDispatch* object, DISPID dispid,
                         VARIANT* arguments, UINT count, VARIANT* result) {
  DISPPARAMS params{arguments, nullptr, count, 0};
  VariantInit(result);
  EXCEPINFO excep{};
  UINT arg_err = 0;
  if (object->Invoke(dispid, IID_NULL, 0, DISPATCH_METHOD, &params, result, &excep, &arg_err) ==
      S_OK) {
    return true;
  }
  state.SkipWithError(korvalis::ToUtf8(korvalis::BstrView(excep.bstrDescription)).c_str());
  return false;
}

// Calls method `dispid` of `object` through Invoke once per iteration, with BSTR arguments
// given in order; `before_call` (when given) may change them before each call, with the
// number of calls made so far. Counts the elements that `element` opens ("<patient ") in the
// first answer, under the counter `element_name`.
inline void InvokeList(benchmark::State& state, IDispatch* object, DISPID dispid,
                       const std::vector<std::u16string>& texts, std::u16string_view element,
                       const char* element_name,
                       const std::function<void(long, std::vector<VARIANT>&)>& before_call = {}) {
  std::vector<VARIANT> arguments(texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) {  // reversed, as DISPPARAMS holds them
    VariantInit(&arguments[i]);
    arguments[i].vt = VT_BSTR;
    arguments[i].bstrVal = korvalis::AllocBstr(texts[texts.size() - 1 - i]);
  }
  std::size_t elements = 0;
  long calls = 0;
  for (auto _ : state) {
    if (before_call) before_call(calls++, arguments);
    VARIANT result;
    if (!InvokeMethod(state, object, dispid, arguments.data(), static_cast<UINT>(arguments.size()),
                      &result)) {
      break;
    }
    if (elements == 0) {  // the same list every time: counted once
      std::u16string_view document = korvalis::BstrView(result.bstrVal);
      for (std::size_t at = document.find(element); at != std::u16string_view::npos;
           at = document.find(element, at + 1)) {
        ++elements;
      }
    }
    VariantClear(&result);
  }
  for (VARIANT& argument : arguments) VariantClear(&argument);
  state.SetItemsProcessed(static_cast<int64_t>(elements) * state.iterations());
  state.counters[element_name] = static_cast<double>(elements);
}

// SQLite's plan of the statement, its steps joined by "; ".
inline std::string QueryPlan(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* stmt = nullptr;
  std::string plan;
  if (sqlite3_prepare_v2(db, ("EXPLAIN QUERY PLAN " + sql).c_str(), -1, &stmt, nullptr) !=
      SQLITE_OK) {
    return sqlite3_errmsg(db);
  }
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    plan += (plan.empty() ? "" : "; ") +
            std::string(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 3)));
  }
  sqlite3_finalize(stmt);
  return plan;
}

inline sqlite3* OpenAsProvider(const std::string& path);

// Runs the statement that `translate` gives for the database at `path` (opened with the
// Oracle and text-search functions registered, and with the provider's settings unless
// `as_provider` is false) once per iteration, in autocommit (one statement, one transaction, as
// a call runs it): prepared on every run, or once (`prepared_once`). The label shows the plan;
// the counter `rows_name` the rows of one run.
inline void RunRawStatement(benchmark::State& state, const std::string& path,
                            const std::function<std::string(sqlite3*)>& translate,
                            bool prepared_once, const char* rows_name, bool as_provider = true) {
  sqlite3* db = nullptr;
  if (as_provider) {
    db = OpenAsProvider(path);
  } else {
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    korvalis::db::RegisterOracleFunctions(db);
  }
  korvalis::db::RegisterTextSearch(db);
  const std::string sql = translate(db);
  state.SetLabel(QueryPlan(db, sql));
  std::size_t rows = 0, bytes = 0;
  sqlite3_stmt* stmt = nullptr;
  for (auto _ : state) {
    if (stmt == nullptr && sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
      state.SkipWithError(sqlite3_errmsg(db));
      break;
    }
    const int columns = sqlite3_column_count(stmt);
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      ++rows;
      for (int c = 0; c < columns; ++c) {
        benchmark::DoNotOptimize(sqlite3_column_text(stmt, c));
        bytes += static_cast<std::size_t>(sqlite3_column_bytes(stmt, c));
      }
    }
    if (prepared_once) {
      sqlite3_reset(stmt);
    } else {
      sqlite3_finalize(stmt);
      stmt = nullptr;
    }
  }
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  benchmark::DoNotOptimize(bytes);
  state.SetItemsProcessed(static_cast<int64_t>(rows));
  state.counters[rows_name] =
      static_cast<double>(rows) / static_cast<double>(std::max<int64_t>(state.iterations(), 1));
}

// Statements prepared once on one connection, as the provider keeps the statements it meets
// again; finalized before the connection closes.
class PreparedStatements {
 public:
  PreparedStatements(sqlite3* db, const std::vector<std::string>& sql) {
    for (const std::string& text : sql) {
      sqlite3_stmt* stmt = nullptr;
      CheckSqlite(sqlite3_prepare_v3(db, text.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &stmt,
                                     nullptr),
                  db);
      statements_.push_back(stmt);
    }
  }
  ~PreparedStatements() {
    for (sqlite3_stmt* stmt : statements_) sqlite3_finalize(stmt);
  }
  PreparedStatements(const PreparedStatements&) = delete;
  PreparedStatements& operator=(const PreparedStatements&) = delete;

  sqlite3_stmt* operator[](std::size_t i) const { return statements_[i]; }

 private:
  std::vector<sqlite3_stmt*> statements_;
};

// Prepares, steps and finalizes the statement, reading every column as text, as a statement
// new to the database runs; answers the first column of the first row ("" without one).
inline std::string StepStatement(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* stmt = nullptr;
  CheckSqlite(sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr), db);
  std::string first;
  bool first_row = true;
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
      const unsigned char* text = sqlite3_column_text(stmt, c);
      if (first_row && c == 0 && text != nullptr) first = reinterpret_cast<const char*>(text);
    }
    first_row = false;
  }
  CheckSqlite(rc, db);
  sqlite3_finalize(stmt);
  return first;
}

// A plain connection to the database at `path`, set up as the embedded provider sets up its
// own: the Oracle functions registered and the provider's settings applied.
inline sqlite3* OpenAsProvider(const std::string& path) {
  sqlite3* db = nullptr;
  CheckSqlite(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), db);
  CheckSqlite(korvalis::db::RegisterOracleFunctions(db), db);
  for (const char* pragma :
       {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=FULL", "PRAGMA foreign_keys=ON",
        "PRAGMA case_sensitive_like=ON", "PRAGMA cache_size=-16384", "PRAGMA mmap_size=268435456",
        "PRAGMA temp_store=MEMORY"}) {
    StepStatement(db, pragma);
  }
  return db;
}

}  // namespace korvalis::bench
