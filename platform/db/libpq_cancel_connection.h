// libpq's own non-blocking cancel request (its cancel connection, in libpq 17 and later), found
// in the library at run time: a libpq without it leaves every member null. Its calls never
// wait: the request is driven by poll on its socket, as a connection is.
//
//   create(connection)  a cancel connection for the connection's server, or null
//   start(cancel)       starts connecting it; 0 when that failed at once
//   poll(cancel)        moves it on: PGRES_POLLING_OK once the server took the request,
//                       _FAILED, or _READING / _WRITING to wait for on its socket
//   socket(cancel)      the socket to wait on
//   finish(cancel)      closes and frees it
//
// Thread-safety: the functions are found once, thread-safely; a cancel connection belongs to one
// thread at a time.
#pragma once

#include <libpq-fe.h>

struct pg_cancel_conn;

namespace korvalis::db {

struct LibpqCancelConnection {
  pg_cancel_conn* (*create)(pg_conn*) = nullptr;
  int (*start)(pg_cancel_conn*) = nullptr;
  PostgresPollingStatusType (*poll)(pg_cancel_conn*) = nullptr;
  int (*socket)(const pg_cancel_conn*) = nullptr;
  void (*finish)(pg_cancel_conn*) = nullptr;
};

// The library's functions, all null where it has not all of them (or cannot be loaded).
const LibpqCancelConnection& LibpqCancelConnectionFunctions();

}  // namespace korvalis::db
