#include "platform/xml/worker/spare_children.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string>

#include "platform/xml/transform_protocol.h"
#include "platform/xml/worker/transform_child.h"

namespace korvalis::xml {
namespace {
using Clock = std::chrono::steady_clock;
}  // namespace

SpareChildren::~SpareChildren() {
  for (const Spare& spare : ready_) ::kill(spare.pid, SIGKILL);
}

bool SpareChildren::Fork(Spare& made, bool write_ahead) {
  sys::MessageSocket worker_end, spare_end;
  if (const int error = sys::MessageSocket::MakePair(worker_end, spare_end); error != 0) {
    errno = error;
    return false;
  }
  const pid_t pid = ::fork();
  if (pid == 0) RunSpareChild(spare_end.descriptor(), worker_, sandbox_, write_ahead);
  if (pid < 0) return false;
  made = {pid, std::move(worker_end), 0};
  return true;
}

void SpareChildren::AddOne(bool write_ahead) {
  Spare made;
  failed_ = !Fork(made, write_ahead);
  if (!failed_) ready_.push_back(std::move(made));
}

bool SpareChildren::Start(Spare& spare, int connection, const TransformOrder& order,
                          std::string_view encoded) {
  if (const int error = LimitChild(spare.pid, order, spare.used_seconds); error != 0) {
    errno = error;
    return false;
  }
  return spare.socket.Send(Kind(TransformMessage::kStart), 0, encoded, Clock::now(), connection);
}

SpareChildren::Handed SpareChildren::HandOver(int connection, const TransformOrder& order) {
  failed_ = false;  // a failed fork is tried again for each transformation
  const std::string encoded = EncodeOrder(order);
  while (!ready_.empty()) {
    Spare spare = std::move(ready_.front());
    ready_.pop_front();
    // A spare that ended while it waited cannot take it: the worker reaps it later.
    if (Start(spare, connection, order, encoded)) return spare;
    ::kill(spare.pid, SIGKILL);
  }
  Spare made;
  if (!Fork(made, false)) return {};
  if (Start(made, connection, order, encoded)) return made;
  const int error = errno;
  ::kill(made.pid, SIGKILL);
  errno = error;
  return {};
}

void SpareChildren::TakeBack(Handed handed) {
  if (ready_.size() >= idle_) return;
  handed.idle_since = Clock::now();
  ready_.push_front(std::move(handed));
}

int SpareChildren::RetireIdle() {
  const Clock::time_point now = Clock::now();
  Clock::duration next = Clock::duration::max();
  for (auto spare = ready_.begin(); spare != ready_.end();) {
    if (spare->idle_since == Clock::time_point{}) {
      ++spare;
      continue;
    }
    const Clock::duration left = spare->idle_since + kIdleRetirement - now;
    if (left > Clock::duration::zero()) {
      next = std::min(next, left);
      ++spare;
      continue;
    }
    ::kill(spare->pid, SIGKILL);  // the worker reaps it
    spare = ready_.erase(spare);
  }
  if (next == Clock::duration::max()) return -1;
  return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(next).count());
}

bool SpareChildren::Forget(pid_t pid) {
  for (auto spare = ready_.begin(); spare != ready_.end(); ++spare) {
    if (spare->pid != pid) continue;
    ready_.erase(spare);
    return true;
  }
  return false;
}

}  // namespace korvalis::xml
