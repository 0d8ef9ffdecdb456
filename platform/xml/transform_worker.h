// The process's transformation worker, seen from the host: the program korvalis-transformer,
// found beside the library (platform/sys/installed_file.h), held open from its first start and
// started from that open file with posix_spawn when the process first transforms, so that no
// transformation forks the host, whatever its size and its threads, and a worker started again
// after the package was upgraded is still the host's own build. A new worker announces its
// version (kHello); one that ends before it does is named with its exit status and what it
// wrote to its standard error, and no other is started for a pause, so that a storm of calls
// does not start a program that cannot run for each of them.
//
// The worker state belongs to the process that made it: a host's forked child that transforms
// starts a worker of its own, of the program its parent chose and held open. A worker that fails to
// acknowledge a start (it was stopped or hangs) is replaced: the next hand-over starts another, and
// the one replaced is killed once the transformations it had taken are over, so that those whose
// children still work finish. The worker ends itself when the host process ends; a thread of the
// host waits for it so that no zombie stays behind.
//
// Thread-safety: thread-safe; the lock is held to hand a connection over or to start the worker,
// each bounded by the caller's deadline and the start's own bound.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "platform/sys/message_socket.h"
#include "platform/xml/transform_protocol.h"

namespace korvalis::xml {

// How long a worker has to announce itself, and to acknowledge a start, before it is taken for
// stopped and replaced.
inline constexpr std::chrono::seconds kWorkerAnswerTime{3};
// How long after a worker that could not start no other is started.
inline constexpr std::chrono::seconds kWorkerRestartPause{2};

// Which worker took a transformation, held while the transformation is in the host's hands: a
// worker that was replaced is killed once no ticket of its own is held.
class WorkerTicket {
 public:
  WorkerTicket() = default;
  ~WorkerTicket() { Release(); }
  WorkerTicket(const WorkerTicket&) = delete;
  WorkerTicket& operator=(const WorkerTicket&) = delete;

  std::uint64_t generation() const { return generation_; }
  // Gives the ticket back: the transformation is over for the worker that took it.
  void Release();

 private:
  friend bool HandToWorker(sys::MessageSocket&, const TransformOrder&,
                           const sys::MessageSocket::Deadline&, WorkerTicket*, TransformOutcome*,
                           std::string*);
  std::uint64_t generation_ = 0;
  int process_ = 0;  // the process whose worker it is: a forked copy is no ticket of its own
};

// Hands the worker's end of a transformation's connection to the worker with its order, starting
// the worker first when none runs; *ticket then names that worker (the ticket it held before is
// released first). False, with *outcome (kUnavailable or kDeadlinePassed) and
// *cause naming the program and the reason, when the worker cannot be found, started or reached
// before `deadline`. `worker_end` is closed here either way.
bool HandToWorker(sys::MessageSocket& worker_end, const TransformOrder& order,
                  const sys::MessageSocket::Deadline& deadline, WorkerTicket* ticket,
                  TransformOutcome* outcome, std::string* cause);

// The worker of `ticket` did not acknowledge a start in time: it is let go, the next hand-over
// starts another, and it is killed once every ticket of its own is released. Nothing is done
// when that worker was replaced already.
void ReplaceWorker(const WorkerTicket& ticket);

// How the worker of `ticket` ended ("killed by signal 9 (Killed)"), waiting up to `wait` for
// its end to be known; empty when it is not.
std::string WorkerEnd(const WorkerTicket& ticket, std::chrono::milliseconds wait);

// The program the next worker runs instead of the installed one; empty restores the installed
// one. The running worker, if any, is let go (it ends with the host). For hosts that install
// the program elsewhere, and for tests.
void SetWorkerProgram(const std::string& path);

}  // namespace korvalis::xml
