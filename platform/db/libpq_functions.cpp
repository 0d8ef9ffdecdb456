// The functions of libpq that the system calls, defined here as forwarders to the library
// opened on first use (platform/sys/on_demand_library.h): a process that never opens a
// PostgreSQL database never loads libpq and the security libraries it pulls in. Programs are
// linked without libpq; a libpq function that is called anywhere needs its forwarder here (the
// link fails with an undefined reference until it has one).
//
// Every function is looked up when the library is first needed, so that a libpq without one of
// them fails there, with the error of a database that cannot be opened, and never later.
//
// Thread-safety: as libpq's own functions; the library is opened once under a lock.

// The forwarders bind inside whatever links them and are exported by no program or library.
#pragma GCC visibility push(hidden)
#include <libpq-fe.h>
#pragma GCC visibility pop

#include <dlfcn.h>

#include "platform/db/libpq_cancel_connection.h"
#include "platform/db/sql_error.h"
#include "platform/sys/on_demand_library.h"

namespace {

#define KORVALIS_LIBPQ_FUNCTIONS(X)                                                      \
  X(PQbackendPID) X(PQcancel) X(PQclear) X(PQcmdStatus) X(PQcmdTuples)                  \
  X(PQconnectdb) X(PQconnectdbParams) X(PQconninfoFree) X(PQconninfoParse)               \
  X(PQconsumeInput)                                                                      \
  X(PQenterPipelineMode) X(PQerrorMessage) X(PQexec) X(PQexecPrepared)                   \
  X(PQexitPipelineMode) X(PQfinish) X(PQflush) X(PQfname) X(PQfreeCancel) X(PQfreemem)   \
  X(PQftype) X(PQgetCancel) X(PQgetResult) X(PQgetisnull) X(PQgetlength) X(PQgetvalue)   \
  X(PQisBusy) X(PQlibVersion) X(PQnfields) X(PQntuples) X(PQpipelineSync) X(PQprepare)   \
  X(PQresultErrorField) X(PQresultErrorMessage) X(PQresultStatus) X(PQsendPrepare)       \
  X(PQserverVersion) X(PQsendQuery) X(PQsendQueryParams) X(PQsendQueryPrepared)          \
  X(PQsetNoticeProcessor) X(PQsetNoticeReceiver) X(PQsetnonblocking)                     \
  X(PQsetSingleRowMode) X(PQsocket) X(PQstatus) X(PQtransactionStatus)                   \
  X(PQunescapeBytea)

struct LibpqFunctions {
  KORVALIS_LIBPQ_FUNCTIONS(KORVALIS_ON_DEMAND_MEMBER)
};

korvalis::sys::OnDemandLibrary& LibpqLibrary() {
  static korvalis::sys::OnDemandLibrary& library =
      *new korvalis::sys::OnDemandLibrary("libpq.so.5");
  return library;
}

// A function of libpq as a program linked with it would call it: the one a library preloaded
// into the process defines (LD_PRELOAD) first, then the library's own. Throws
// LibraryUnavailable when the library or the function is missing.
void* LibpqSymbol(const char* name) {
  LibpqLibrary().Symbol("PQlibVersion");  // the library is open, so that a missing one fails
  if (void* interposed = ::dlsym(RTLD_DEFAULT, name)) return interposed;
  return LibpqLibrary().Symbol(name);
}

#define KORVALIS_LIBPQ_FIND(name) \
  functions.name = reinterpret_cast<decltype(&::name)>(LibpqSymbol(#name));

LibpqFunctions LoadLibpq() {
  try {
    LibpqFunctions functions;
    KORVALIS_LIBPQ_FUNCTIONS(KORVALIS_LIBPQ_FIND)
    return functions;
  } catch (const korvalis::sys::LibraryUnavailable& error) {
    throw korvalis::db::DbError(korvalis::db::kCannotConnect,
                                std::string("the PostgreSQL client library is missing: ") +
                                    error.what());
  }
}

// Throws DbError (kCannotConnect) while the library cannot be loaded.
const LibpqFunctions& Libpq() {
  static const LibpqFunctions functions = LoadLibpq();
  return functions;
}

}  // namespace

// The five that release something do nothing for nothing, without loading the library: they
// may run in a destructor of a process that never connected.
void PQclear(PGresult* res) {
  if (res != nullptr) Libpq().PQclear(res);
}
int PQbackendPID(const PGconn* conn) { return Libpq().PQbackendPID(conn); }
int PQcancel(PGcancel* cancel, char* errbuf, int errbufsize) {
  return Libpq().PQcancel(cancel, errbuf, errbufsize);
}
char* PQcmdStatus(PGresult* res) { return Libpq().PQcmdStatus(res); }
char* PQcmdTuples(PGresult* res) { return Libpq().PQcmdTuples(res); }
int PQconsumeInput(PGconn* conn) { return Libpq().PQconsumeInput(conn); }
PGconn* PQconnectdb(const char* conninfo) { return Libpq().PQconnectdb(conninfo); }
PGconn* PQconnectdbParams(const char* const* keywords, const char* const* values,
                          int expand_dbname) {
  return Libpq().PQconnectdbParams(keywords, values, expand_dbname);
}
void PQconninfoFree(PQconninfoOption* connOptions) {
  if (connOptions != nullptr) Libpq().PQconninfoFree(connOptions);
}
PQconninfoOption* PQconninfoParse(const char* conninfo, char** errmsg) {
  return Libpq().PQconninfoParse(conninfo, errmsg);
}
int PQenterPipelineMode(PGconn* conn) { return Libpq().PQenterPipelineMode(conn); }
char* PQerrorMessage(const PGconn* conn) { return Libpq().PQerrorMessage(conn); }
PGresult* PQexec(PGconn* conn, const char* query) { return Libpq().PQexec(conn, query); }
PGresult* PQexecPrepared(PGconn* conn, const char* stmtName, int nParams,
                         const char* const* paramValues, const int* paramLengths,
                         const int* paramFormats, int resultFormat) {
  return Libpq().PQexecPrepared(conn, stmtName, nParams, paramValues, paramLengths, paramFormats,
                                resultFormat);
}
int PQexitPipelineMode(PGconn* conn) { return Libpq().PQexitPipelineMode(conn); }
void PQfinish(PGconn* conn) {
  if (conn != nullptr) Libpq().PQfinish(conn);
}
char* PQfname(const PGresult* res, int field_num) { return Libpq().PQfname(res, field_num); }
void PQfreeCancel(PGcancel* cancel) {
  if (cancel != nullptr) Libpq().PQfreeCancel(cancel);
}
void PQfreemem(void* ptr) {
  if (ptr != nullptr) Libpq().PQfreemem(ptr);
}
Oid PQftype(const PGresult* res, int field_num) { return Libpq().PQftype(res, field_num); }
int PQgetisnull(const PGresult* res, int tup_num, int field_num) {
  return Libpq().PQgetisnull(res, tup_num, field_num);
}
int PQgetlength(const PGresult* res, int tup_num, int field_num) {
  return Libpq().PQgetlength(res, tup_num, field_num);
}
PGcancel* PQgetCancel(PGconn* conn) { return Libpq().PQgetCancel(conn); }
int PQflush(PGconn* conn) { return Libpq().PQflush(conn); }
PGresult* PQgetResult(PGconn* conn) { return Libpq().PQgetResult(conn); }
int PQisBusy(PGconn* conn) { return Libpq().PQisBusy(conn); }
char* PQgetvalue(const PGresult* res, int tup_num, int field_num) {
  return Libpq().PQgetvalue(res, tup_num, field_num);
}
int PQlibVersion() { return Libpq().PQlibVersion(); }
int PQnfields(const PGresult* res) { return Libpq().PQnfields(res); }
int PQntuples(const PGresult* res) { return Libpq().PQntuples(res); }
int PQpipelineSync(PGconn* conn) { return Libpq().PQpipelineSync(conn); }
PGresult* PQprepare(PGconn* conn, const char* stmtName, const char* query, int nParams,
                    const Oid* paramTypes) {
  return Libpq().PQprepare(conn, stmtName, query, nParams, paramTypes);
}
char* PQresultErrorField(const PGresult* res, int fieldcode) {
  return Libpq().PQresultErrorField(res, fieldcode);
}
char* PQresultErrorMessage(const PGresult* res) { return Libpq().PQresultErrorMessage(res); }
ExecStatusType PQresultStatus(const PGresult* res) { return Libpq().PQresultStatus(res); }
int PQsendPrepare(PGconn* conn, const char* stmtName, const char* query, int nParams,
                  const Oid* paramTypes) {
  return Libpq().PQsendPrepare(conn, stmtName, query, nParams, paramTypes);
}
int PQsendQuery(PGconn* conn, const char* query) { return Libpq().PQsendQuery(conn, query); }
int PQsendQueryParams(PGconn* conn, const char* command, int nParams, const Oid* paramTypes,
                      const char* const* paramValues, const int* paramLengths,
                      const int* paramFormats, int resultFormat) {
  return Libpq().PQsendQueryParams(conn, command, nParams, paramTypes, paramValues, paramLengths,
                                   paramFormats, resultFormat);
}
int PQsendQueryPrepared(PGconn* conn, const char* stmtName, int nParams,
                        const char* const* paramValues, const int* paramLengths,
                        const int* paramFormats, int resultFormat) {
  return Libpq().PQsendQueryPrepared(conn, stmtName, nParams, paramValues, paramLengths,
                                     paramFormats, resultFormat);
}
PQnoticeProcessor PQsetNoticeProcessor(PGconn* conn, PQnoticeProcessor proc, void* arg) {
  return Libpq().PQsetNoticeProcessor(conn, proc, arg);
}
PQnoticeReceiver PQsetNoticeReceiver(PGconn* conn, PQnoticeReceiver proc, void* arg) {
  return Libpq().PQsetNoticeReceiver(conn, proc, arg);
}
int PQsetnonblocking(PGconn* conn, int arg) { return Libpq().PQsetnonblocking(conn, arg); }
int PQsetSingleRowMode(PGconn* conn) { return Libpq().PQsetSingleRowMode(conn); }
int PQserverVersion(const PGconn* conn) { return Libpq().PQserverVersion(conn); }
int PQsocket(const PGconn* conn) { return Libpq().PQsocket(conn); }
ConnStatusType PQstatus(const PGconn* conn) { return Libpq().PQstatus(conn); }
PGTransactionStatusType PQtransactionStatus(const PGconn* conn) {
  return Libpq().PQtransactionStatus(conn);
}
unsigned char* PQunescapeBytea(const unsigned char* strtext, size_t* retbuflen) {
  return Libpq().PQunescapeBytea(strtext, retbuflen);
}

namespace korvalis::db {

const LibpqCancelConnection& LibpqCancelConnectionFunctions() {
  static const LibpqCancelConnection functions = [] {
    const auto find = [](const char* name) -> void* {
      try {
        return LibpqSymbol(name);
      } catch (const sys::LibraryUnavailable&) {
        return nullptr;
      }
    };
    LibpqCancelConnection found;
    found.create = reinterpret_cast<decltype(found.create)>(find("PQcancelCreate"));
    found.start = reinterpret_cast<decltype(found.start)>(find("PQcancelStart"));
    found.poll = reinterpret_cast<decltype(found.poll)>(find("PQcancelPoll"));
    found.socket = reinterpret_cast<decltype(found.socket)>(find("PQcancelSocket"));
    found.finish = reinterpret_cast<decltype(found.finish)>(find("PQcancelFinish"));
    if (!found.create || !found.start || !found.poll || !found.socket || !found.finish) {
      return LibpqCancelConnection{};
    }
    return found;
  }();
  return functions;
}

}  // namespace korvalis::db
