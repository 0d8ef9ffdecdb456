// SpareChildren: the worker's children forked ahead of their transformations, as a zygote keeps
// them. The worker forks a spare while it has nothing else to do; the spare sets itself up,
// writes ahead the memory a transformation first writes (each page is the worker's until a
// process writes it), confines itself and waits on a connection of its own to the worker
// (transform_child.h); it writes ahead only while few transformations run, when processors would
// otherwise be idle, and a child forked for a waiting transformation never does. A
// transformation is handed to a waiting spare with one message (its connection and its order),
// so that it never waits for a fork, a set-up or a confinement; when none waits, one is forked
// for it there and then. A spare serves one transformation and ends with it, as every child does.
//
//   spare:  forked ──(set up, confined)──▶ waiting ──(HandOver: kStart)──▶ the worker's child
//             │                               │                            at work
//             └──────(the worker ends: killed with it)──────────────────▶ ended
//
// Thread-safety: the worker's one thread.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <deque>
#include <string_view>

#include "platform/sys/message_socket.h"
#include "platform/xml/worker/child_sandbox.h"

namespace korvalis::xml {

class SpareChildren {
 public:
  // Keeps `kept` spares of the worker `worker` waiting, each to enter `sandbox` (prepared).
  SpareChildren(pid_t worker, std::size_t kept, ChildSandbox& sandbox)
      : worker_(worker), kept_(kept), sandbox_(sandbox) {}
  // Kills the spares that still wait.
  ~SpareChildren();
  SpareChildren(const SpareChildren&) = delete;
  SpareChildren& operator=(const SpareChildren&) = delete;

  // Hands the transformation's connection `connection` and its encoded order to a waiting spare,
  // or to one forked now. Returns the child's process id, or -1 with errno when no child can be
  // made. The worker keeps its own copy of the connection.
  pid_t HandOver(int connection, std::string_view order);

  // Whether a spare should be forked now: fewer than `kept` wait, and the last fork succeeded.
  bool Wanted() const { return ready_.size() < kept_ && !failed_; }
  // Forks one more spare, which writes ahead the memory its transformation will write when
  // `write_ahead` (transform_child.h). Precondition: called on the worker's main thread.
  void AddOne(bool write_ahead);
  // Forgets the spare `pid` that ended while it waited; false when `pid` is none of them.
  bool Forget(pid_t pid);

 private:
  struct Spare {
    pid_t pid;
    sys::MessageSocket socket;  // the worker's end of the spare's connection
  };
  // Forks a spare into `made`; false with errno.
  bool Fork(Spare& made, bool write_ahead);

  const pid_t worker_;
  const std::size_t kept_;
  ChildSandbox& sandbox_;
  std::deque<Spare> ready_;
  bool failed_ = false;
};

}  // namespace korvalis::xml
