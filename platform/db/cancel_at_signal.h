// The server statements a program asks to be cancelled when a signal ends it. A program that
// ends on a signal closes its connections without a word: the server learns that the client is
// gone only when it next looks at its socket, and a statement that sends nothing meanwhile (a
// write, a sort) runs on until Command Timeout, holding what it locked. A command-line program
// opts in with EnableCancelAtSignal before it opens a database; every server connection then
// keeps, from its start, the target of its cancel request (postgres_cancel_request.h), which
// CancelStatementsAtSignal sends from the program's signal handler. A host that does not opt in
// pays nothing.
//
// The places are shared by every copy of this code in the process (the program's, a component
// library's), so that a handler of the program reaches the connections of a library it loaded.
//
// Thread-safety: thread-safe; CancelStatementsAtSignal is async-signal-safe.
#pragma once

#include "platform/db/postgres_cancel_request.h"

struct pg_conn;

namespace korvalis::db {

// At most this many connections at once are cancelled at a signal.
inline constexpr int kMaxCancelAtSignal = kMaxCancelRequests;

// Server connections opened from now on by this process are cancelled at a signal.
void EnableCancelAtSignal();

// Asks the server of every open connection to cancel the statement it runs (one that is waiting
// for a statement is not affected), all requests at once, and waits until they are taken or
// AnswerWait::kCancelGrace has passed (the requests are then closed). Only async-signal-safe
// calls; each connection's request is sent once, and its place is then left to the process's
// end. Does nothing in a process other than the one that opted in (one forked from the program:
// the connections are its parent's).
void CancelStatementsAtSignal() noexcept;

// A connection's place among those cancelled at a signal, held while it is open; nothing when
// the program did not opt in, every place is taken, or the connection gives no target.
class CancelAtSignal {
 public:
  explicit CancelAtSignal(pg_conn* connection);
  ~CancelAtSignal();
  CancelAtSignal(const CancelAtSignal&) = delete;
  CancelAtSignal& operator=(const CancelAtSignal&) = delete;

 private:
  int place_ = -1;
};

}  // namespace korvalis::db
