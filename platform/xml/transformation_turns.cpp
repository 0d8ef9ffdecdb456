#include "platform/xml/transformation_turns.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>

namespace korvalis::xml {
namespace {

// The most style sheets remembered as long work; past it, the memory starts afresh.
constexpr std::size_t kLongStylesKept = 1024;

}  // namespace

TransformationTurns::Turn& TransformationTurns::Turn::operator=(Turn&& other) noexcept {
  if (this != &other) {
    Release();
    turns_ = other.turns_;
    holding_ = other.holding_;
    other.turns_ = nullptr;
  }
  return *this;
}

void TransformationTurns::Turn::Release(WorkEnded ended) {
  if (turns_ == nullptr) return;
  turns_->Release(holding_, ended);
  turns_ = nullptr;
}

TransformationTurns::TransformationTurns(int capacity, Now now)
    : capacity_(capacity), share_(std::max(capacity - 1, 1)), now_(now), free_(capacity) {}

std::size_t TransformationTurns::StyleOf(std::string_view stylesheet) {
  return std::hash<std::string_view>{}(stylesheet);
}

bool TransformationTurns::IsLong(std::size_t style, Clock::time_point now) const {
  if (long_.contains(style)) return true;
  return std::any_of(holdings_.begin(), holdings_.end(), [&](const Turn::Holding& holding) {
    return holding.style == style && now - holding.since > kLongWork;
  });
}

bool TransformationTurns::CanTake(std::size_t style, Clock::time_point now) const {
  if (free_ == 0) return false;
  const auto held = held_.find(style);
  if (held != held_.end() && held->second >= share_) return false;
  if (capacity_ == 1 || !IsLong(style, now)) return true;
  const auto long_work =
      std::count_if(holdings_.begin(), holdings_.end(),
                    [&](const Turn::Holding& holding) { return IsLong(holding.style, now); });
  return long_work < capacity_ - 1;
}

TransformationTurns::Turn TransformationTurns::Grant(std::size_t style, Clock::time_point now) {
  --free_;
  ++held_[style];
  return Turn(this, holdings_.insert(holdings_.end(), {style, now}));
}

TransformationTurns::Turn TransformationTurns::Take(std::size_t style, const Deadline& deadline) {
  std::unique_lock lock(mutex_);
  // Every free turn that a waiter could take was handed over at its release, so a free turn
  // is this arrival's unless it cannot take it.
  if (CanTake(style, now_())) return Grant(style, now_());
  Waiter waiter{style, {}, {}};
  const auto place = waiting_.insert(waiting_.end(), &waiter);
  if (deadline) {
    waiter.woken.wait_until(lock, *deadline, [&] { return waiter.granted.held(); });
  } else {
    waiter.woken.wait(lock, [&] { return waiter.granted.held(); });
  }
  if (waiter.granted.held()) return std::move(waiter.granted);  // Release took it out of the line
  waiting_.erase(place);
  return Turn();
}

void TransformationTurns::Release(std::list<Turn::Holding>::iterator holding, WorkEnded ended) {
  std::lock_guard lock(mutex_);
  const Clock::time_point now = now_();
  const std::size_t style = holding->style;
  // The style sheet is long work from now on when this turn was, or when its time ran out
  // however soon; short work again only when it finished within kLongWork.
  if (ended == WorkEnded::kTimeRanOut || now - holding->since > kLongWork) {
    if (long_.size() >= kLongStylesKept) long_.clear();
    long_.insert(style);
  } else {
    long_.erase(style);
  }
  holdings_.erase(holding);
  const auto held = held_.find(style);
  if (--held->second == 0) held_.erase(held);
  ++free_;
  // The turn goes to the first waiter that can take it; one freed for a style sheet at its
  // share, or by long work, may let several take theirs.
  for (auto next = waiting_.begin(); next != waiting_.end() && free_ > 0;) {
    Waiter* waiter = *next;
    if (!CanTake(waiter->style, now)) {
      ++next;
      continue;
    }
    waiter->granted = Grant(waiter->style, now);
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
