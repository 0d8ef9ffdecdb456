// The error every part of the database layer throws: a result code a caller can act on and
// a description a person can read.
//
// Thread-safety: immutable after construction.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

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

}  // namespace korvalis::db
