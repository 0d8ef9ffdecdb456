// The server statements a program asks to be cancelled when a signal ends it. A program that
// ends on a signal closes its connections without a word: the server learns that the client is
// gone only when it next looks at its socket, and a statement that sends nothing meanwhile (a
// write, a sort) runs on until Command Timeout, holding what it locked. A command-line program
// opts in with EnableCancelAtSignal before it opens a database; every server connection then
// keeps, from its start, the libpq cancel object that its signal handler hands to
// CancelStatementsAtSignal. A host that does not opt in pays nothing.
//
// The places are shared by every copy of this code in the process (the program's, a component
// library's), so that a handler of the program reaches the connections of a library it loaded.
//
// Thread-safety: thread-safe; CancelStatementsAtSignal is async-signal-safe.
#pragma once

struct pg_conn;
struct pg_cancel;

namespace korvalis::db {

// At most this many connections at once are cancelled at a signal.
inline constexpr int kMaxCancelAtSignal = 16;

// Server connections opened from now on are cancelled at a signal. Starts the program's
// cancelling thread, which sends the requests when a handler asks: libpq's PQcancel, the one
// cancel a signal handler may call, waits without a limit for a server's main process (stopped,
// or behind a network that drops packets), so the handler waits for the thread by
// AnswerWait::kCancelGrace at most, and the process then ends with the thread still waiting.
void EnableCancelAtSignal();

// Asks the server of every open connection to cancel the statement it runs (one that is waiting
// for a statement is not affected), through the cancelling thread, and waits until the requests
// are taken or the grace has passed. Only async-signal-safe calls; each connection's request is
// sent once, and its place is then left to the process's end. Does nothing in a process without
// the thread (one forked from the program: the connections are its parent's).
void CancelStatementsAtSignal() noexcept;

// A connection's place among those cancelled at a signal, held while it is open; nothing when
// the program did not opt in or every place is taken.
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
