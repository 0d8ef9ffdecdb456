#include "platform/xml/transformation_turns.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>

namespace korvalis::xml {

TransformationTurns::Turn& TransformationTurns::Turn::operator=(Turn&& other) noexcept {
  if (this != &other) {
    Release();
    turns_ = other.turns_;
    style_ = other.style_;
    other.turns_ = nullptr;
  }
  return *this;
}

void TransformationTurns::Turn::Release() {
  if (turns_ == nullptr) return;
  turns_->Release(style_);
  turns_ = nullptr;
}

TransformationTurns::TransformationTurns(int capacity)
    : capacity_(capacity), share_(std::max(capacity - 1, 1)), free_(capacity) {}

std::size_t TransformationTurns::StyleOf(std::string_view stylesheet) {
  return std::hash<std::string_view>{}(stylesheet);
}

bool TransformationTurns::CanTake(std::size_t style) const {
  if (free_ == 0) return false;
  const auto held = held_.find(style);
  return held == held_.end() || held->second < share_;
}

void TransformationTurns::Grant(std::size_t style) {
  --free_;
  ++held_[style];
}

TransformationTurns::Turn TransformationTurns::Take(std::size_t style, const Deadline& deadline) {
  std::unique_lock lock(mutex_);
  // Every free turn that a waiter could take was handed over at its release, so a free turn
  // is this arrival's unless its style sheet holds its share.
  if (CanTake(style)) {
    Grant(style);
    return Turn(this, style);
  }
  Waiter waiter{style, false, {}};
  const auto place = waiting_.insert(waiting_.end(), &waiter);
  if (deadline) {
    waiter.woken.wait_until(lock, *deadline, [&] { return waiter.granted; });
  } else {
    waiter.woken.wait(lock, [&] { return waiter.granted; });
  }
  if (waiter.granted) return Turn(this, style);  // Release took it out of the line
  waiting_.erase(place);
  return Turn();
}

void TransformationTurns::Release(std::size_t style) {
  std::lock_guard lock(mutex_);
  const auto held = held_.find(style);
  if (--held->second == 0) held_.erase(held);
  ++free_;
  // The turn goes to the first waiter that can take it; one freed for a style sheet at its
  // share may let several take theirs.
  for (auto next = waiting_.begin(); next != waiting_.end() && free_ > 0;) {
    Waiter* waiter = *next;
    if (!CanTake(waiter->style)) {
      ++next;
      continue;
    }
    Grant(waiter->style);
    waiter->granted = true;
    next = waiting_.erase(next);
    // Woken under the lock: the waiter's stack holds its condition, and it leaves only once
    // it has the lock.
    waiter->woken.notify_one();
  }
}

namespace {

struct ProcessTurns {
  pid_t process;
  TransformationTurns turns;
};

}  // namespace

TransformationTurns& ProcessTransformationTurns() {
  // Never destroyed: no exit-time race with a thread still transforming. A forked process
  // leaves its parent's copy as it is (its mutex may even be held) and makes its own.
  static std::atomic<ProcessTurns*> current{nullptr};
  const pid_t process = ::getpid();
  ProcessTurns* turns = current.load(std::memory_order_acquire);
  if (turns != nullptr && turns->process == process) return turns->turns;
  auto* made = new ProcessTurns{
      process, TransformationTurns(std::clamp(static_cast<int>(std::thread::hardware_concurrency()),
                                              kMinTransformationsInFlight,
                                              kMaxTransformationsInFlight))};
  if (current.compare_exchange_strong(turns, made, std::memory_order_acq_rel)) return made->turns;
  delete made;  // another thread of this process made them first
  return turns->turns;
}

}  // namespace korvalis::xml
