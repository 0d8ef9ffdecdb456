#include "platform/db/postgres_error.h"

#include <libpq-fe.h>

#include <cctype>
#include <string>

namespace korvalis::db {
namespace {

constexpr std::string_view kOutOfMemory = "ORA-04030: out of process memory when trying to allocate";

struct Mapping {
  std::string_view sqlstate;  // a whole SQLSTATE, or a class of two characters
  int32_t code;
  std::string_view oracle;  // the Oracle message that stands first; empty: the server's own
};

// The most specific entry first; a class of two characters matches what no entry names.
constexpr Mapping kMappings[] = {
    // The front end's functions: the message is Oracle's already.
    {"KV000", kProviderFailed, ""},
    {"KV001", kConversionFailed, ""},
    {"KV002", kDataOverflow, ""},
    {"KV003", kErrorsInCommand, ""},
    {"KV004", kNotSupported, ""},
    {"23505", kIntegrityViolation, "ORA-00001: unique constraint violated"},
    {"23502", kIntegrityViolation, "ORA-01400: cannot insert NULL"},
    {"23503", kIntegrityViolation,
     "ORA-02291: integrity constraint violated - parent key not found"},
    {"23514", kIntegrityViolation, "ORA-02290: check constraint violated"},
    {"23", kIntegrityViolation, "ORA-00001: integrity constraint violated"},
    {"22P02", kConversionFailed, "ORA-01722: invalid number"},
    {"22007", kConversionFailed, "ORA-01861: literal does not match format string"},
    {"22008", kConversionFailed, "ORA-01843: not a valid month or day"},
    {"22012", kProviderFailed, "ORA-01476: divisor is equal to zero"},
    {"22003", kDataOverflow, "ORA-01438: value larger than specified precision allowed"},
    {"22001", kDataOverflow, "ORA-12899: value too large for column"},
    {"21000", kProviderFailed, "ORA-01427: single-row subquery returns more than one row"},
    {"2200M", kConversionFailed, "ORA-31011: XML parsing failed"},
    {"2200N", kConversionFailed, "ORA-31011: XML parsing failed"},
    {"22", kConversionFailed, "ORA-01722: invalid value"},
    {"42P01", kNoSuchTable, "ORA-00942: table or view does not exist"},
    {"42703", kErrorsInCommand, "ORA-00904: invalid identifier"},
    {"42702", kErrorsInCommand, "ORA-00918: column ambiguously defined"},
    {"42P07", kErrorsInCommand, "ORA-00955: name is already used by an existing object"},
    {"42883", kErrorsInCommand, "ORA-00932: inconsistent datatypes"},
    {"42804", kErrorsInCommand, "ORA-00932: inconsistent datatypes"},
    {"42725", kErrorsInCommand, "ORA-00932: inconsistent datatypes"},
    {"42846", kErrorsInCommand, "ORA-00932: inconsistent datatypes"},
    {"42601", kErrorsInCommand, "ORA-00900: invalid SQL statement"},
    {"42501", kErrorsInCommand, "ORA-01031: insufficient privileges"},
    {"54001", kStatementTooComplex, kTooComplexMessage},
    // A value past what the server allocates or holds ("requested length too large").
    {"54000", kProviderFailed, kOutOfMemory},
    {"54", kStatementTooComplex, kTooComplexMessage},
    {"42", kErrorsInCommand, "ORA-00900: invalid SQL statement"},
    {"40001", kBusy, "ORA-08177: can't serialize access for this transaction"},
    {"40P01", kBusy, "ORA-00060: deadlock detected while waiting for resource"},
    {"55P03", kBusy,
     "ORA-00054: resource busy and acquire with NOWAIT specified or timeout expired"},
    {"57014", kBusy, "ORA-01013: user requested cancel of current operation"},
    {"25006", kProviderFailed, "ORA-16000: database open for read-only access"},
    {"25P03", kProviderFailed,
     "ORA-02396: exceeded maximum idle time: the transaction stayed idle longer than Idle "
     "Transaction Timeout; the server ended the connection and undid the transaction's work"},
    {"08", kProviderFailed, "ORA-03113: end-of-file on communication channel"},
    {"57P", kProviderFailed, "ORA-03113: end-of-file on communication channel"},
    {"53", kProviderFailed, "ORA-04031: the server is out of resources"},
    {"28", kCannotConnect, "ORA-01017: invalid username/password; logon denied"},
    {"XX", kProviderFailed, "ORA-00600: internal error code"},
};

const Mapping* Find(std::string_view sqlstate) {
  for (const Mapping& m : kMappings) {
    if (sqlstate.starts_with(m.sqlstate)) return &m;
  }
  return nullptr;
}

// A type of the server as Oracle names it.
std::string_view OracleType(std::string_view type) {
  if (type == "timestamp without time zone" || type == "date") return "DATE";
  if (type == "numeric" || type == "integer" || type == "bigint" || type == "smallint" ||
      type == "double precision" || type == "real") {
    return "NUMBER";
  }
  if (type == "text" || type == "character varying" || type == "character") return "VARCHAR2";
  if (type == "unknown") return "NULL";
  if (type == "bytea") return "BLOB";
  return type;
}

// The server's words for a call of a runtime function (ora_...) that no overload takes, e.g.
// "function ora_next_day(timestamp without time zone, integer) does not exist", as Oracle's
// words for the SQL function the statement wrote; empty when the message names no such call.
std::string RuntimeCallRefused(std::string_view message) {
  const size_t at = message.find("ora_");
  const size_t open = message.find('(', at);
  const size_t close = message.find(')', open);
  if (at == std::string_view::npos || open == std::string_view::npos ||
      close == std::string_view::npos) {
    return "";
  }
  std::string name;
  for (char c : message.substr(at + 4, open - at - 4)) {
    name.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  }
  for (std::string_view suffix : {"_ANY", "_DATE"}) {
    if (name.size() > suffix.size() && name.ends_with(suffix)) name.resize(name.size() - suffix.size());
  }
  std::string types;
  std::string_view rest = message.substr(open + 1, close - open - 1);
  while (!rest.empty()) {
    const size_t comma = rest.find(", ");
    if (!types.empty()) types.append(", ");
    types.append(OracleType(rest.substr(0, comma)));
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 2);
  }
  return "ORA-00932: inconsistent datatypes: " + name + ": no form of it takes (" + types + ")";
}

// A regular expression whose compiling or matching the server stopped for a cancel: the
// statement was cancelled, whatever the engine was doing.
bool RegexCancelled(std::string_view sqlstate, std::string_view message) {
  return sqlstate == "2201B" && message.find("operation cancelled") != std::string_view::npos;
}

}  // namespace

DbError PostgresError(std::string_view sqlstate, std::string_view message) {
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) {
    message.remove_suffix(1);
  }
  const Mapping* m = Find(RegexCancelled(sqlstate, message) ? "57014" : sqlstate);
  // The server reports an XPath it cannot read, or cannot evaluate (a function it does not
  // have, an argument of the wrong type), as an internal or a syntax error.
  static constexpr Mapping kInvalidXPath = {"", kErrorsInCommand,
                                            "ORA-31013: Invalid XPATH expression"};
  if (message.starts_with("invalid XPath expression") ||
      message.starts_with("could not create XPath object")) {
    m = &kInvalidXPath;
  }
  // A regular expression past what the server compiles.
  static constexpr Mapping kRegexTooLong = {"", kProviderFailed,
                                            "ORA-12733: regular expression too long"};
  if (sqlstate == "2201B" && message.find("too complex") != std::string_view::npos) {
    m = &kRegexTooLong;
  }
  // An allocation past the server's largest (1 GB) is a value too large to build.
  static constexpr Mapping kTooLarge = {"", kProviderFailed, kOutOfMemory};
  if (message.starts_with("invalid memory alloc request size")) m = &kTooLarge;
  // A runtime function's name is the system's own: the statement named the SQL function.
  if (sqlstate == "42883" || sqlstate == "42725") {
    std::string refused = RuntimeCallRefused(message);
    if (!refused.empty()) {
      return DbError(kErrorsInCommand, refused.append(" [SQLSTATE ").append(sqlstate).append("]"));
    }
  }
  // A foreign key broken by removing or changing a parent row: its child rows remain.
  static constexpr Mapping kChildRecordFound = {
      "", kIntegrityViolation, "ORA-02292: integrity constraint violated - child record found"};
  if (sqlstate == "23503" && message.starts_with("update or delete on table")) {
    m = &kChildRecordFound;
  }
  std::string text;
  if (m == nullptr || m->oracle.empty() || message.starts_with("ORA-")) {
    text.assign(message);
  } else {
    text.assign(m->oracle).append(" (").append(message).append(")");
  }
  if (!sqlstate.empty()) text.append(" [SQLSTATE ").append(sqlstate).append("]");
  return DbError(m ? m->code : kProviderFailed, text);
}

DbError PostgresError(const pg_result* result, const pg_conn* connection) {
  const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  const char* primary = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
  if (primary == nullptr) {
    primary = result ? PQresultErrorMessage(result) : nullptr;
    if (primary == nullptr || *primary == '\0') primary = PQerrorMessage(connection);
  }
  if (state == nullptr && PQstatus(connection) == CONNECTION_BAD) state = "08006";
  // A constraint's failure names the constraint, or the column, as Oracle does.
  const std::string_view sqlstate = state ? state : "";
  auto field = [&](int code) {
    const char* value = result ? PQresultErrorField(result, code) : nullptr;
    return std::string_view(value ? value : "");
  };
  const std::string_view constraint = field(PG_DIAG_CONSTRAINT_NAME);
  const std::string_view table = field(PG_DIAG_TABLE_NAME), column = field(PG_DIAG_COLUMN_NAME);
  std::string text;
  if (sqlstate == "23505" && !constraint.empty()) {
    text = UniqueViolated(constraint);
  } else if (sqlstate == "23502" && !table.empty() && !column.empty()) {
    text = NullRefused(table, column);
  } else if (sqlstate == "23514" && !constraint.empty()) {
    text = CheckViolated(constraint);
  } else if (sqlstate == "23503" && !constraint.empty()) {
    const std::string_view message = primary ? primary : "";
    text = ForeignKeyViolated(constraint, message.starts_with("update or delete"));
  }
  if (!text.empty()) {
    return DbError(kIntegrityViolation, text.append(" [SQLSTATE ").append(sqlstate).append("]"));
  }
  return PostgresError(sqlstate, primary ? primary : "");
}

DbError StatementError(const pg_result* result, const pg_conn* connection,
                       std::chrono::seconds command_timeout, bool cancelled_at_deadline) {
  const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  const char* primary = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
  // Work refused before it ran, as it could not finish within the time left (the runtime's
  // ora_admit), is no statement that ran past its timeout.
  // Its detail, when given, says what passes it.
  if (state != nullptr && primary != nullptr && std::string_view(state) == "57014" &&
      std::string_view(primary).ends_with(": its work would pass it")) {
    DbError e = CommandTimeoutTooShort(command_timeout);
    std::string text = e.what();
    if (const char* detail = PQresultErrorField(result, PG_DIAG_MESSAGE_DETAIL)) {
      text.append(": ").append(detail);
    }
    return DbError(e.code(), text + " [SQLSTATE " + state + "]");
  }
  // The server's words: "canceling statement due to statement timeout" ("... user request" for
  // the client's cancel).
  if (state != nullptr && primary != nullptr &&
      ((std::string_view(state) == "57014" &&
        (cancelled_at_deadline ||
         std::string_view(primary).find("statement timeout") != std::string_view::npos)) ||
       RegexCancelled(state, primary))) {
    DbError e = CommandTimedOut(command_timeout);
    return DbError(e.code(), std::string(e.what()) + " [SQLSTATE " + state + "]");
  }
  return PostgresError(result, connection);
}

DbError ServerGivenUp(bool timed_out, std::chrono::seconds bound) {
  return DbError(kBusy, std::string(timed_out ? CommandTimedOut(bound).what()
                                              : "ORA-01013: user requested cancel of current "
                                                "operation") +
                            "; the server did not end it when asked to, " + kClosedUnanswered);
}

DbError CommitUnknown(const char* what, const char* whose) {
  return DbError(kProviderFailed,
                 std::string("ORA-03113: end-of-file on communication channel (the server did "
                             "not answer ") +
                     what + " within Command Timeout, " + kClosedUnanswered + ": whether " + whose +
                     " was committed is not known)");
}

}  // namespace korvalis::db
