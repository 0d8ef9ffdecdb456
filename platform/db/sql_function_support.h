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
// A text converted to a NUMBER (TO_NUMBER, CAST, a value written into a column): ORA-01722 for
// text that is no number, ORA-01426 past a NUMBER's range as the text's own digits tell (the
// double nearest a value just below 1E126 is the one nearest 1E126), zero below its least
// value (1E-130).
double NumberOfText(std::string_view text);
int64_t AsInteger(sqlite3_value* v);
DateTime AsDate(sqlite3_value* v);
// A stored date: exactly "YYYY-MM-DD HH:MM:SS".
bool LooksLikeDate(sqlite3_value* v);

// ---- results ----
// Throws FunctionError (ORA-01426) for a magnitude of 1E126 or more.
void ResultNumber(sqlite3_context* ctx, double d);
// The empty text is NULL.
void ResultText(sqlite3_context* ctx, std::string_view s);
// Throws FunctionError (ORA-01841) for a date outside the range of dates a statement makes
// (IsWithinDateRange), a date IsValid refuses among them.
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

// ---- the bounds of a call ----
// Every function of ours runs through RunBounded, by the way it is registered (RegisterFunction
// for the tables below, Guarded for an aggregate's steps and GuardedValue for its values), never
// by code in its body (but for LIKE's short matches: RegisterLikeOfTexts):
// - before the body runs, a statement already past its Command Timeout fails the call with
//   ORA-01013 (memory is checked where it is taken: function_memory.h);
// - while it runs, the step that called it lends it its deadline: work that grows with the
//   input is charged to the call (StatementTime, and the helpers here and in function_memory.h
//   that loop over texts or build them charge what they do), and past the deadline the call
//   fails with ORA-01013 as the engine's own check would;
// - whatever the body throws becomes the call's error with an Oracle code: its own, ORA-04030
//   for memory, ORA-01426 for an overflow, ORA-00600 for anything unforeseen.
// The engine checks its bounds only between its instructions, and one call is one of them.

// The account of the running call's work against its statement's Command Timeout: every
// kCheckEvery units (bytes read or written, ways of matching tried) the clock is read, and past
// the deadline of the step that called the function it throws CommandTimedOut. Outside a
// bounded call it never throws. A handle on the call's own account: any number may be made.
class StatementTime {
 public:
  void Spend(size_t units) {
    if (Exhausted(units)) Stop();
  }
  // Spend, for a caller that cannot throw (a callout of PCRE2): whether the deadline passed.
  bool Exhausted(size_t units) {
    CallAccount& a = account;
    if (units < a.left) {
      a.left -= units;
      return false;
    }
    a.left = kCheckEvery;
    return a.deadline != nullptr && a.deadline->PassedCoarse();
  }
  // Whether the deadline passed, asked at once (as the coarse clock tells it): for work whose
  // units cannot be counted, such as a try of a regular expression at one position.
  bool PassedNow() const { return account.deadline != nullptr && account.deadline->PassedCoarse(); }
  // The deadline of the running call's statement; null outside a bounded call.
  const StatementDeadline* deadline() const { return account.deadline; }
  // Throws the error of a statement past its Command Timeout.
  // Precondition: Exhausted or PassedNow answered true.
  [[noreturn]] void Stop() const;
  static constexpr size_t kCheckEvery = size_t{1} << 16;

 private:
  friend class BoundedCall;
  struct CallAccount {
    const StatementDeadline* deadline = nullptr;
    size_t left = kCheckEvery;
  };
  static thread_local CallAccount account;
};

// Charges `units` of work to the running call.
inline void ChargeWork(size_t units) { StatementTime().Spend(units); }

using Body = void (*)(sqlite3_context*, int, sqlite3_value**);

// Runs `body` within its statement's bounds, its failure reported as the call's error.
void RunBounded(Body body, sqlite3_context* ctx, int argc, sqlite3_value** argv) noexcept;

template <Body body>
void Guarded(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  RunBounded(body, ctx, argc, argv);
}

// An aggregate's final or current value, and what releases its state.
using ValueBody = void (*)(sqlite3_context*);
// Runs `body` as RunBounded runs a function, then `release` (which must not throw), however the
// body ended: SQLite asks for the final value once, and a state not released then is lost.
void RunBoundedValue(ValueBody body, ValueBody release, sqlite3_context* ctx) noexcept;

template <ValueBody body, ValueBody release = nullptr>
void GuardedValue(sqlite3_context* ctx) {
  RunBoundedValue(body, release, ctx);
}

struct FunctionEntry {
  const char* name;
  int args;  // -1: from `fewest` to `most`
  Body body;
  bool deterministic;
  int fewest = 0;
  int most = 0;
};

// Registers `f` on `db`, its body run through RunBounded, a call with a number of arguments
// outside its range refused with ORA-00909; returns an SQLite result code.
// Precondition: `f` outlives `db`.
int RegisterFunction(sqlite3* db, const FunctionEntry& f);

// The functions by family, each in its own file.
std::span<const FunctionEntry> ConversionFunctions();
std::span<const FunctionEntry> TextFunctions();
std::span<const FunctionEntry> NumberFunctions();
std::span<const FunctionEntry> DateFunctions();
std::span<const FunctionEntry> NumberOrderFunctions();
std::span<const FunctionEntry> ExactNumberFunctions();
std::span<const FunctionEntry> RegexpFunctions();
// LIKE, in place of the engine's own (like_pattern.h).
std::span<const FunctionEntry> LikeFunctions();
// LIKE without an escape, registered apart: it matches a short text at once, as the engine's own
// LIKE would, and runs through RunBounded otherwise. Returns an SQLite result code.
int RegisterLikeOfTexts(sqlite3* db);

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
