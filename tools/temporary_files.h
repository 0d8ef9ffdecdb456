// The files the command makes for its own run only (the event log of its calls, an answer being
// written beside its file, a database being built and the configuration naming it) are removed
// when the run is ended by a signal (any whose default action ends the process, SIGKILL aside,
// which no process can catch), as they are at its normal end: the handler removes them, the last
// taken first (an empty folder too, after the files in it), and ends the process by the same
// signal, so its parent sees how it ended. Before that it asks the server of each open database
// connection to cancel the statement it runs, as the server would otherwise run a write or a sort
// on until Command Timeout. A signal that was ignored or handled by someone else when the command
// started stays so.
//
// Thread-safety: CancelStatementsAtSignal, RemoveAtSignal, KeepAtSignal and SayAtSignal on the main
// thread only; the handler may run at any time between them.
#pragma once

#include <signal.h>

#include <string>
#include <string_view>

namespace korvalis::tools {

// At most this many files are removed at a signal at once: initdb --sample takes about thirty.
inline constexpr int kMaxTemporaryFiles = 48;

// From now on a signal that ends the run cancels the statements of its server connections
// first. Installs the handlers.
void CancelStatementsAtSignal();

// Removes `path` (a file, or a folder empty by then) if the run is ended by a signal, until
// KeepAtSignal(path). The handlers are installed on the first call. False when `path` cannot be
// taken (too long, or the last place taken): the file is then left at a signal.
bool RemoveAtSignal(const std::string& path);

// The run removes or keeps `path` itself from now on.
void KeepAtSignal(const std::string& path);

// Until the next call, a signal that ends the run writes `line` (with its line feed; at most
// 511 bytes are kept) to standard error before the run ends: what the signal undid. "" says
// nothing.
void SayAtSignal(std::string_view line);

// Holds back the signals that end a run while it lives, so that files made (or kept) meanwhile
// are taken by RemoveAtSignal (or KeepAtSignal) before a signal can end the run; one that came
// meanwhile ends it when the object ends.
class SignalsHeld {
 public:
  SignalsHeld();
  ~SignalsHeld();
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t before_;
};

}  // namespace korvalis::tools
