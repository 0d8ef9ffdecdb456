#include "platform/xml/transformation_turns.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>

namespace korvalis::xml {
namespace {

// The most style sheets remembered as short or long; past it, the memory starts afresh.
constexpr std::size_t kStylesKept = 1024;

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
    : capacity_(capacity), share_(std::max(capacity - 1, 1)), now_(now) {}

std::size_t TransformationTurns::Waiting() {
  std::lock_guard lock(mutex_);
  return waiting_.size();
}

std::size_t TransformationTurns::HoldingOrWaiting() {
  std::lock_guard lock(mutex_);
  return holdings_.size() + waiting_.size();
}

std::size_t TransformationTurns::StyleOf(std::string_view stylesheet) {
  return std::hash<std::string_view>{}(stylesheet);
}

TransformationTurns::Kind TransformationTurns::KindOf(std::size_t style,
                                                      Clock::time_point now) const {
  const bool running_long =
      std::any_of(holdings_.begin(), holdings_.end(), [&](const Turn::Holding& holding) {
        return holding.style == style && now - holding.since > kLongWork;
      });
  if (running_long) return Kind::kLong;
  const auto known = known_.find(style);
  return known == known_.end() ? Kind::kNew : known->second;
}

TransformationTurns::Counts TransformationTurns::Count(Clock::time_point now) const {
  Counts counts;
  for (const Turn::Holding& holding : holdings_) {
    ++counts.held;
    switch (KindOf(holding.style, now)) {
      case Kind::kLong: ++counts.long_work; break;
      case Kind::kShort: ++counts.short_work; break;
      case Kind::kNew: ++counts.new_work; break;
    }
  }
  return counts;
}

bool TransformationTurns::CanTake(std::size_t style, const Counts& counts,
                                  Clock::time_point now) const {
  const auto held = held_.find(style);
  if (held != held_.end() && held->second >= share_) return false;
  if (capacity_ == 1) return counts.held == 0;
  const Kind kind = KindOf(style, now);
  if (counts.held < capacity_) return kind != Kind::kLong || counts.long_work < capacity_ - 1;
  // Every turn is held. Once long work holds all but one or more, short work and new work each
  // have one turn beside it; new work no more than twice the capacity in all, so that new
  // runaways cannot multiply without bound.
  if (counts.long_work < capacity_ - 1) return false;
  switch (kind) {
    case Kind::kShort: return counts.short_work == 0;
    case Kind::kNew: return counts.new_work == 0 && counts.held < 2 * capacity_;
    case Kind::kLong: return false;
  }
  return false;
}

TransformationTurns::Turn TransformationTurns::Grant(std::size_t style, Clock::time_point now) {
  ++held_[style];
  return Turn(this, holdings_.insert(holdings_.end(), {style, now}));
}

void TransformationTurns::HandOut(Clock::time_point now) {
  // A turn freed for a style sheet at its share, by long work or by work turned long may let
  // several waiters take theirs.
  Counts counts = Count(now);
  for (auto next = waiting_.begin(); next != waiting_.end();) {
    Waiter* waiter = *next;
    if (!CanTake(waiter->style, counts, now)) {
      ++next;
      continue;
    }
    waiter->granted = Grant(waiter->style, now);
    counts = Count(now);
    next = waiting_.erase(next);
    // Woken under the lock: the waiter's stack holds its condition, and it leaves only once
    // it has the lock.
    waiter->woken.notify_one();
  }
}

std::optional<TransformationTurns::Clock::time_point> TransformationTurns::NextTurnsLong(
    Clock::time_point now) const {
  std::optional<Clock::time_point> next;
  for (const Turn::Holding& holding : holdings_) {
    const Clock::time_point turns_long = holding.since + kLongWork;
    if (turns_long >= now && (!next || turns_long < *next)) next = turns_long;
  }
  return next;
}

TransformationTurns::Turn TransformationTurns::Take(std::size_t style, const Deadline& deadline) {
  std::unique_lock lock(mutex_);
  // Work turned long since anyone looked may have opened turns for those waiting already; once
  // they have theirs, a free turn is this arrival's unless it cannot take it.
  const Clock::time_point now = now_();
  HandOut(now);
  if (CanTake(style, Count(now), now)) return Grant(style, now);
  Waiter waiter{style, {}, {}};
  const auto place = waiting_.insert(waiting_.end(), &waiter);
  for (;;) {
    // Wakes by itself, a moment after the next work held turns long, to look at the line again;
    // with none held, within kLongWork, before any work taken meanwhile can turn long.
    const std::optional<Clock::time_point> turns_long = NextTurnsLong(now_());
    const Clock::time_point look_again =
        turns_long ? Clock::now() + (*turns_long - now_()) + std::chrono::milliseconds(1)
                   : Clock::now() + kLongWork;
    const Clock::time_point wake = deadline ? std::min(*deadline, look_again) : look_again;
    waiter.woken.wait_until(lock, wake, [&] { return waiter.granted.held(); });
    if (waiter.granted.held()) return std::move(waiter.granted);  // HandOut took it out of the line
    if (deadline && Clock::now() >= *deadline) break;
    HandOut(now_());
    if (waiter.granted.held()) return std::move(waiter.granted);
  }
  waiting_.erase(place);
  return Turn();
}

void TransformationTurns::Release(std::list<Turn::Holding>::iterator holding, WorkEnded ended) {
  std::lock_guard lock(mutex_);
  const Clock::time_point now = now_();
  const std::size_t style = holding->style;
  // Only work that held its turn long makes its style sheet long; work stopped by its time soon
  // after its turn came (it spent that time waiting) tells nothing of it.
  std::optional<Kind> learned;
  if (now - holding->since > kLongWork) {
    learned = Kind::kLong;
  } else if (ended == WorkEnded::kFinished) {
    learned = Kind::kShort;
  }
  if (learned) {
    if (known_.size() >= kStylesKept && !known_.contains(style)) known_.clear();
    known_[style] = *learned;
  }
  holdings_.erase(holding);
  const auto held = held_.find(style);
  if (--held->second == 0) held_.erase(held);
  HandOut(now);
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
