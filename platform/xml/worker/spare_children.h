// SpareChildren: the worker's children forked ahead of their transformations, as a zygote keeps
// them. The worker forks a spare while it has nothing else to do; the spare sets itself up,
// writes ahead the memory a transformation first writes (each page is the worker's until a
// process writes it), confines itself and waits on a connection of its own to the worker
// (transform_child.h); it writes ahead only while few transformations run, when processors would
// otherwise be idle, and a child forked for a waiting transformation never does. A
// transformation is handed to a waiting spare with one message (its connection and its order),
// so that it never waits for a fork, a set-up or a confinement; when none waits, one is forked
// for it there and then. A child whose transformation ended with its page whole comes back
// (TakeBack) and waits for the next one, the warmest first; one that ended otherwise, or answered
// its number of transformations, ends with it. A child that came back and waits longer than
// kIdleRetirement is retired (killed), so that an idle host keeps only fresh spares, which share
// their pages with the worker.
//
//   spare:  forked ──(set up, confined)──▶ waiting ──(HandOver: kStart)──▶ the worker's child
//             │                            │    ▲                          at work
//             │                            │    └──(TakeBack: page whole)──────┘ │ (any other end)
//             │                            └─(came back, idle kIdleRetirement)──▶ retired: killed
//             └──────(the worker ends: killed with it)─────────────────────────▶ ended
//
// Thread-safety: the worker's one thread.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string_view>

#include "platform/sys/message_socket.h"
#include "platform/xml/transform_protocol.h"
#include "platform/xml/worker/child_sandbox.h"

namespace korvalis::xml {

// How long a child that came back waits before it is retired.
inline constexpr std::chrono::seconds kIdleRetirement{5};

class SpareChildren {
 public:
  // Keeps `kept` spares of the worker `worker` waiting, each to enter `sandbox` (prepared).
  // At most `idle` wait, those come back included.
  SpareChildren(pid_t worker, std::size_t kept, std::size_t idle, ChildSandbox& sandbox)
      : worker_(worker), kept_(kept), idle_(idle), sandbox_(sandbox) {}
  // Kills the spares that still wait.
  ~SpareChildren();
  SpareChildren(const SpareChildren&) = delete;
  SpareChildren& operator=(const SpareChildren&) = delete;

  // A child at work: its process id (-1 when none could be made), the worker's end of its own
  // connection, and the processor seconds it had used before this transformation.
  struct Handed {
    pid_t pid = -1;
    sys::MessageSocket socket;
    std::uint32_t used_seconds = 0;
    std::chrono::steady_clock::time_point idle_since{};  // when it came back; never: a spare
  };
  // Hands the transformation's connection `connection` and its order to a waiting spare, or to
  // one forked now, its limits set for the order first; pid -1 with errno when no child can be
  // made. The worker keeps its own copy of the connection.
  Handed HandOver(int connection, const TransformOrder& order);
  // Takes back the child `handed`, free again after `used_seconds` of processor time. When enough
  // wait already, its connection to the worker is closed: it ends itself once it has answered.
  void TakeBack(Handed handed);

  // Whether a spare should be forked now: fewer than `kept` wait, and the last fork succeeded.
  bool Wanted() const { return ready_.size() < kept_ && !failed_; }
  // Forks one more spare, which writes ahead the memory its transformation will write when
  // `write_ahead` (transform_child.h). Precondition: called on the worker's main thread.
  void AddOne(bool write_ahead);
  // Forgets the spare `pid` that ended while it waited; false when `pid` is none of them.
  bool Forget(pid_t pid);
  // Retires the children that came back and waited kIdleRetirement; answers the milliseconds
  // until the next is due, -1 when none waits to be.
  int RetireIdle();

 private:
  using Spare = Handed;
  // Forks a spare into `made`; false with errno.
  bool Fork(Spare& made, bool write_ahead);
  // Sets the limits of `spare` for `order` and sends it the start; false with errno.
  bool Start(Spare& spare, int connection, const TransformOrder& order, std::string_view encoded);

  const pid_t worker_;
  const std::size_t kept_;
  const std::size_t idle_;
  ChildSandbox& sandbox_;
  std::deque<Spare> ready_;
  bool failed_ = false;
};

}  // namespace korvalis::xml
