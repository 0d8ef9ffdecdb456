// What the SQL functions of oracle_functions.h share: reading arguments as Oracle converts
// them, returning results (the empty text as NULL, whole numbers as integers), UTF-8
// characters, and the guard that turns a failure into an SQLite error.
//
// Thread-safety: stateless functions.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/ora_date.h"
#include "platform/db/sql_error.h"
#include "platform/db/statement_deadline.h"

namespace korvalis::db::functions {

// A failure inside a function: its Oracle message, and the result code the provider's DbError
// carries for it.
struct FunctionError {
  std::string message;
  int32_t code = kProviderFailed;
};

// Reports a failure of the function running in `ctx`: SQLite gets the message, and the code
// waits for the provider, which takes it with TakeFunctionFailure when the statement fails.
void ReportFunctionFailure(sqlite3_context* ctx, int32_t code, const char* message);

[[noreturn]] void InvalidNumber(std::string_view text);

// ---- reading arguments ----
inline bool IsNull(sqlite3_value* v) { return sqlite3_value_type(v) == SQLITE_NULL; }
bool AnyNull(int argc, sqlite3_value** argv);
std::string_view TextView(sqlite3_value* v);
// The value as Oracle renders it as text.
std::string AsText(sqlite3_value* v);
// The value as a number, converting text as Oracle does (failing on invalid text).
double AsNumber(sqlite3_value* v);
int64_t AsInteger(sqlite3_value* v);
DateTime AsDate(sqlite3_value* v);
// A stored date: exactly "YYYY-MM-DD HH:MM:SS".
bool LooksLikeDate(sqlite3_value* v);

// ---- results ----
void ResultNumber(sqlite3_context* ctx, double d);
// The empty text is NULL.
void ResultText(sqlite3_context* ctx, std::string_view s);
void ResultDate(sqlite3_context* ctx, const DateTime& d);

// ---- UTF-8 characters ----
// A character starts at every byte that does not continue one (10xxxxxx).
inline bool StartsCharacter(char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }
size_t CharCount(std::string_view s);
// The byte `chars` characters on from byte `from` (a character's start); s.size() when the text
// ends first.
size_t ByteAfterChars(std::string_view s, size_t from, size_t chars);
// The byte where the `chars`th character before the text's end starts; npos when the text has
// fewer characters.
size_t ByteBeforeChars(std::string_view s, size_t chars);
// The byte after the character starting at `at`.
inline size_t NextChar(std::string_view s, size_t at) {
  if (at < s.size()) ++at;
  while (at < s.size() && !StartsCharacter(s[at])) ++at;
  return at;
}

// ---- time ----
// A function's account of its own work against its statement's Command Timeout: the engine
// checks the bound only between its instructions, and one call of a function is one of them.
// Every kCheckEvery units of work (bytes read or written, ways of matching tried) it looks at
// the clock, and past the deadline of the step that called the function it throws
// CommandTimedOut, the error the engine gives. Outside a bounded step it never throws.
class StatementTime {
 public:
  StatementTime();
  void Spend(size_t units) {
    if (Exhausted(units)) Stop();
  }
  // Spend, for a caller that cannot throw (a callout of PCRE2): whether the deadline passed.
  bool Exhausted(size_t units) {
    if (units < left_) {
      left_ -= units;
      return false;
    }
    left_ = kCheckEvery;
    return deadline_ != nullptr && deadline_->Passed();
  }
  // Whether the deadline passed, asked at once (as the coarse clock tells it): for work whose
  // units cannot be counted, such as a try of a regular expression at one position.
  bool PassedNow() const { return deadline_ != nullptr && deadline_->PassedCoarse(); }
  // Throws the error of a statement past its Command Timeout.
  // Precondition: Exhausted or PassedNow answered true.
  [[noreturn]] void Stop() const { throw CommandTimedOut(deadline_->bound()); }
  static constexpr size_t kCheckEvery = size_t{1} << 16;

 private:
  const StatementDeadline* deadline_;
  size_t left_ = kCheckEvery;
};

using Body = void (*)(sqlite3_context*, int, sqlite3_value**);

template <Body body>
void Guarded(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  try {
    body(ctx, argc, argv);
  } catch (const FunctionError& e) {
    ReportFunctionFailure(ctx, e.code, e.message.c_str());
  } catch (const DbError& e) {
    ReportFunctionFailure(ctx, e.code(), e.what());
  } catch (const std::bad_alloc&) {
    sqlite3_result_error_nomem(ctx);
  }
}

struct FunctionEntry {
  const char* name;
  int args;  // -1: any number
  Body body;
  bool deterministic;
};

// The functions by family, each in its own file.
std::span<const FunctionEntry> ConversionFunctions();
std::span<const FunctionEntry> TextFunctions();
std::span<const FunctionEntry> NumberFunctions();
std::span<const FunctionEntry> DateFunctions();
std::span<const FunctionEntry> NumberOrderFunctions();
std::span<const FunctionEntry> ExactNumberFunctions();
std::span<const FunctionEntry> RegexpFunctions();

// The functions of numbers on doubles, shared with their forms for values of unknown type and
// with the exact forms, which compute a double standing for no short decimal as they do.
void Round(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void Trunc(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void Floor(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void Ceil(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void Mod(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void Power(sqlite3_context* ctx, int argc, sqlite3_value** argv);
// A double at the 15 significant digits it is shown with.
double AtShownPrecision(double value);

}  // namespace korvalis::db::functions
