#include "platform/db/sql_function_support.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <utility>

#include "platform/db/ora_number.h"
#include "platform/db/oracle_functions.h"
#include "platform/db/sqlite_statement_bounds.h"

namespace korvalis::db::functions {

[[noreturn]] void InvalidNumber(std::string_view text) {
  throw FunctionError{InvalidNumberMessage(text), kConversionFailed};
}

namespace {

// The failure a function reported last on this thread. A connection runs on one thread at a
// time and its statement fails right after its function did, so the failure is taken on the
// same thread before the next statement can run.
struct ReportedFailure {
  sqlite3* db = nullptr;
  int32_t code = 0;
  std::string message;
};
thread_local ReportedFailure reported;

}  // namespace

void ReportFunctionFailure(sqlite3_context* ctx, int32_t code, const char* message) {
  sqlite3_result_error(ctx, message, -1);
  reported.db = sqlite3_context_db_handle(ctx);
  reported.code = code;
  reported.message = message;
}

// ---- reading arguments ----

std::string_view TextView(sqlite3_value* v) {
  const unsigned char* t = sqlite3_value_text(v);
  return t ? std::string_view(reinterpret_cast<const char*>(t),
                              static_cast<size_t>(sqlite3_value_bytes(v)))
           : std::string_view();
}

std::string AsText(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: {
      std::string s;
      AppendInteger(sqlite3_value_int64(v), &s);
      return s;
    }
    case SQLITE_FLOAT:
      return NumberAsText(sqlite3_value_double(v));
    case SQLITE_NULL:
      return std::string();
    case SQLITE_BLOB: {
      const void* b = sqlite3_value_blob(v);
      return std::string(static_cast<const char*>(b), static_cast<size_t>(sqlite3_value_bytes(v)));
    }
    default:
      return std::string(TextView(v));
  }
}

double AsNumber(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
      return static_cast<double>(sqlite3_value_int64(v));
    case SQLITE_FLOAT:
      return sqlite3_value_double(v);
    case SQLITE_TEXT: {
      std::string_view t = TextView(v);
      auto n = ParseNumber(t);
      if (!n) InvalidNumber(t);
      return *n;
    }
    default:
      throw FunctionError{"ORA-00932: inconsistent datatypes: expected NUMBER got BLOB",
                          kConversionFailed};
  }
}

double NumberOfText(std::string_view text) {
  const std::optional<double> value = ParseNumber(text);
  if (!value) InvalidNumber(text);
  if (!WithinNumberRange(text)) throw FunctionError{"ORA-01426: numeric overflow"};
  if (*value != 0 && std::fabs(*value) < 1e-129 && BelowLeastNumber(text)) return 0;
  return *value;
}

int64_t AsInteger(sqlite3_value* v) {
  if (sqlite3_value_type(v) == SQLITE_INTEGER) return sqlite3_value_int64(v);
  double d = std::trunc(AsNumber(v));
  if (d > 9.2e18) return INT64_MAX;
  if (d < -9.2e18) return INT64_MIN;
  return static_cast<int64_t>(d);
}

DateTime AsDate(sqlite3_value* v) {
  if (sqlite3_value_type(v) == SQLITE_TEXT) {
    if (auto d = ParseDefaultDate(TextView(v))) return *d;
    throw FunctionError{
        "ORA-01861: literal does not match format string: " + QuotedValue(TextView(v)),
        kConversionFailed};
  }
  throw FunctionError{"ORA-00932: inconsistent datatypes: expected DATE got NUMBER",
                      kConversionFailed};
}

bool LooksLikeDate(sqlite3_value* v) {
  if (sqlite3_value_type(v) != SQLITE_TEXT) return false;
  std::string_view t = TextView(v);
  return t.size() == 19 && t[4] == '-' && t[7] == '-' && t[10] == ' ' && t[13] == ':' &&
         t[16] == ':' && ParseStoredDate(t).has_value();
}

// ---- results ----

void ResultNumber(sqlite3_context* ctx, double d) {
  if (!WithinNumberRange(d)) throw FunctionError{"ORA-01426: numeric overflow"};
  if (d == std::trunc(d) && std::fabs(d) < 9.2e18) {
    sqlite3_result_int64(ctx, static_cast<int64_t>(d));
  } else {
    sqlite3_result_double(ctx, d);
  }
}

void ResultText(sqlite3_context* ctx, std::string_view s) {
  if (s.empty()) {
    sqlite3_result_null(ctx);
  } else {
    sqlite3_result_text64(ctx, s.data(), s.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
  }
}

void ResultDate(sqlite3_context* ctx, const DateTime& d) {
  if (!IsValid(d) || !IsWithinDateRange(d)) throw FunctionError{kDateRangeMessage, kConversionFailed};
  std::string s;
  s.reserve(19);
  AppendDate(d, &s);
  sqlite3_result_text64(ctx, s.data(), s.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

// ---- UTF-8 characters ----

size_t CharCount(std::string_view s) {
  ChargeWork(s.size());
  size_t n = 0;
  for (char c : s) n += StartsCharacter(c);
  return n;
}

size_t ByteAfterChars(std::string_view s, size_t from, size_t chars) {
  ChargeWork(std::min(s.size() - std::min(from, s.size()), chars * 4));
  for (size_t at = from; at < s.size(); ++at) {
    if (StartsCharacter(s[at]) && chars-- == 0) return at;
  }
  return s.size();
}

size_t ByteBeforeChars(std::string_view s, size_t chars) {
  ChargeWork(std::min(s.size(), chars * 4));
  for (size_t at = s.size(); at > 0 && chars > 0;) {
    if (StartsCharacter(s[--at]) && --chars == 0) return at;
  }
  return chars == 0 ? s.size() : std::string_view::npos;
}

// ---- the bounds of a call ----

thread_local StatementTime::CallAccount StatementTime::account;

void StatementTime::Stop() const { throw account.deadline->TimedOut(); }

// The running call's account, lent the deadline of the step that called it; a call inside
// another (a function querying the connection) gives the outer one its account back.
class BoundedCall {
 public:
  BoundedCall()
      : outer_(std::exchange(StatementTime::account,
                             {SqliteStatementBounds::RunningDeadline(), StatementTime::kCheckEvery})) {
    const StatementTime::CallAccount& a = StatementTime::account;
    if (a.deadline != nullptr && a.deadline->PassedCoarse()) StatementTime().Stop();
  }
  ~BoundedCall() { StatementTime::account = outer_; }
  BoundedCall(const BoundedCall&) = delete;
  BoundedCall& operator=(const BoundedCall&) = delete;

 private:
  StatementTime::CallAccount outer_;
};

namespace {

// The exception in flight as the call's error.
void ReportCaught(sqlite3_context* ctx) noexcept {
  try {
    throw;
  } catch (const FunctionError& e) {
    ReportFunctionFailure(ctx, e.code, e.message.c_str());
  } catch (const DbError& e) {
    ReportFunctionFailure(ctx, e.code(), e.what());
  } catch (const std::bad_alloc&) {
    ReportFunctionFailure(ctx, kProviderFailed, OutOfStatementMemory().what());
  } catch (const std::length_error&) {
    ReportFunctionFailure(ctx, kProviderFailed, OutOfStatementMemory().what());
  } catch (const std::overflow_error&) {
    ReportFunctionFailure(ctx, kProviderFailed, "ORA-01426: numeric overflow");
  } catch (const std::exception& e) {
    const std::string message = std::string("ORA-00600: internal error code, arguments: [") +
                                e.what() + "]";
    ReportFunctionFailure(ctx, kProviderFailed, message.c_str());
  } catch (...) {
    ReportFunctionFailure(ctx, kProviderFailed, "ORA-00600: internal error code");
  }
}

void CallRegistered(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  const auto* f = static_cast<const FunctionEntry*>(sqlite3_user_data(ctx));
  if (f->args < 0 && (argc < f->fewest || argc > f->most)) {
    return ReportFunctionFailure(ctx, kErrorsInCommand, "ORA-00909: invalid number of arguments");
  }
  RunBounded(f->body, ctx, argc, argv);
}

}  // namespace

void RunBounded(Body body, sqlite3_context* ctx, int argc, sqlite3_value** argv) noexcept {
  try {
    BoundedCall call;
    body(ctx, argc, argv);
  } catch (...) {
    ReportCaught(ctx);
  }
}

void RunBoundedValue(ValueBody body, ValueBody release, sqlite3_context* ctx) noexcept {
  try {
    BoundedCall call;
    body(ctx);
  } catch (...) {
    ReportCaught(ctx);
  }
  if (release != nullptr) release(ctx);
}

int RegisterFunction(sqlite3* db, const FunctionEntry& f) {
  const int flags = SQLITE_UTF8 | (f.deterministic ? SQLITE_DETERMINISTIC : 0);
  return sqlite3_create_function_v2(db, f.name, f.args, flags, const_cast<FunctionEntry*>(&f),
                                    CallRegistered, nullptr, nullptr, nullptr);
}

bool AnyNull(int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i) {
    if (IsNull(argv[i])) return true;
  }
  return false;
}

}  // namespace korvalis::db::functions

namespace korvalis::db {

std::optional<int32_t> TakeFunctionFailure(sqlite3* db, std::string_view message) {
  functions::ReportedFailure& failure = functions::reported;
  const bool ours = failure.db == db && failure.message == message;
  const int32_t code = failure.code;
  failure = functions::ReportedFailure{};
  if (!ours) return std::nullopt;
  return code;
}

}  // namespace korvalis::db
