// The error every part of the database layer throws: a result code a caller can act on and
// a description a person can read.
//
// Thread-safety: immutable after construction.
#pragma once

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace korvalis::db {

// Result codes, in the HRESULT form the data source reports and logs.
enum ResultCode : int32_t {
  kErrorsInCommand = static_cast<int32_t>(0x80040E14),     // syntax or translation error
  kIntegrityViolation = static_cast<int32_t>(0x80040E2F),  // constraint violated
  kConversionFailed = static_cast<int32_t>(0x80040E07),    // invalid number or date text
  kNoSuchTable = static_cast<int32_t>(0x80040E37),         // object does not exist
  kDataOverflow = static_cast<int32_t>(0x80040E57),        // value too large for column
  kCannotConnect = static_cast<int32_t>(0x80004005),       // database cannot be opened
  kBusy = static_cast<int32_t>(0x80040E31),                // timed out waiting for a lock
  kNotSupported = static_cast<int32_t>(0x80040E53),        // construct not supported
  kProviderFailed = static_cast<int32_t>(0x80004005),      // any other failure
  // The statement nests or chains deeper than the front end or the engine takes.
  kStatementTooComplex = static_cast<int32_t>(0x80040E1D),
};

// The description of a statement refused for its nesting or length, before what exceeded.
inline constexpr const char* kTooComplexMessage = "ORA-00900: invalid SQL statement: too complex";

class DbError : public std::runtime_error {
 public:
  DbError(int32_t code, const std::string& description)
      : std::runtime_error(description), code_(code) {}
  int32_t code() const { return code_; }
  const char* description() const { return what(); }

 private:
  int32_t code_;
};

// A statement the front end cannot read or will not translate.
class SqlError : public DbError {
 public:
  explicit SqlError(const std::string& description, int32_t code = kErrorsInCommand)
      : DbError(code, description) {}
};

// Oracle's descriptions of a row a constraint refuses, naming the constraint or the column.
inline std::string UniqueViolated(std::string_view constraint) {
  return "ORA-00001: unique constraint (KORVALIS." + std::string(constraint) + ") violated";
}
inline std::string NullRefused(std::string_view table, std::string_view column) {
  return "ORA-01400: cannot insert NULL into (\"KORVALIS\".\"" + std::string(table) + "\".\"" +
         std::string(column) + "\")";
}
inline std::string CheckViolated(std::string_view constraint) {
  return "ORA-02290: check constraint (KORVALIS." + std::string(constraint) + ") violated";
}
// A foreign key broken by a child row without parent (`child_found` false) or by a parent row
// that child rows still read.
inline std::string ForeignKeyViolated(std::string_view constraint, bool child_found) {
  return std::string(child_found ? "ORA-02292" : "ORA-02291") +
         ": integrity constraint (KORVALIS." + std::string(constraint) + ") violated - " +
         (child_found ? "child record found" : "parent key not found");
}
// The characters of a value a message quotes at most; a longer value is quoted by its start.
inline constexpr size_t kQuotedValueCharacters = 64;

// `value` between single quotes as a message names it: whole when it is short, otherwise its
// first kQuotedValueCharacters characters (never part of a UTF-8 sequence) and "...", so that
// a long argument is not written whole into the message and the event log.
inline std::string QuotedValue(std::string_view value) {
  size_t characters = 0, cut = 0;
  for (; cut < value.size(); ++cut) {
    if ((static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80) continue;
    if (characters++ == kQuotedValueCharacters) break;
  }
  if (cut == value.size()) return "'" + std::string(value) + "'";
  return "'" + std::string(value.substr(0, cut)) + "...'";
}

// A statement cancelled because it ran longer than Command Timeout (`bound`).
inline DbError CommandTimedOut(std::chrono::seconds bound) {
  return DbError(kBusy,
                 "ORA-01013: user requested cancel of current operation: the statement ran "
                 "longer than its Command Timeout of " +
                     std::to_string(bound.count()) + " seconds");
}
// A statement refused before it runs because its work, counted in advance, could not finish
// within the time its Command Timeout (`bound`) leaves.
inline DbError CommandTimeoutTooShort(std::chrono::seconds bound) {
  return DbError(kBusy,
                 "ORA-01013: user requested cancel of current operation: the statement was not "
                 "run, as its work could not finish within its Command Timeout of " +
                     std::to_string(bound.count()) + " seconds");
}
// Said by every failure after which the client closed a server connection that did not answer
// in time: the server undoes the open transaction only once its process runs again.
inline constexpr const char* kClosedUnanswered = "so its connection was closed";
// Whether `e` is a statement cancelled at its Command Timeout, on either engine.
inline bool IsCommandTimedOut(const DbError& e) {
  return std::string_view(e.what()).starts_with("ORA-01013: ");
}
// A text read as a number that is none, named so that a person can tell which of many values
// is wrong.
inline std::string InvalidNumberMessage(std::string_view text) {
  return "ORA-01722: invalid number: " + QuotedValue(text);
}

}  // namespace korvalis::db
