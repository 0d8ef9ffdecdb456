// korvalis::xml::TransformationTurns: the turns of the transformations of one process. At most
// `capacity` transformations work at once; more would make none sooner and would multiply the
// memory that runaways take. A transformation waits for its turn until its deadline, first come
// first served, and no one style sheet holds more than capacity - 1 turns (one at least): a
// report that many users run at once, or one that runs away, leaves a turn for every other.
// A waiter whose style sheet holds its share lets those behind it pass.
//
//   waiting ──(a turn is free for its style sheet, and no waiter before it can take one)──▶ holding
//   waiting ──(its deadline passes first)──▶ refused: it never had a turn
//   holding ──(Turn destroyed)──▶ the turn goes straight to the first waiter that can take it,
//                                 never back to the thread that released it
//
// ProcessTransformationTurns() is the process's: a process forked from another makes its own on
// first use, since the turns copied with its memory belong to threads that did not come along.
//
// Thread-safety: thread-safe; one mutex, held only to count turns and hand them over.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <list>
#include <mutex>
#include <optional>
#include <string_view>
#include <unordered_map>

namespace korvalis::xml {

// The bounds of the process's capacity: as many as the machine has processors, within them.
inline constexpr int kMinTransformationsInFlight = 2;
inline constexpr int kMaxTransformationsInFlight = 8;

class TransformationTurns {
 public:
  using Deadline = std::optional<std::chrono::steady_clock::time_point>;

  // A turn held, given back when destroyed; an empty one holds nothing.
  class Turn {
   public:
    Turn() = default;
    ~Turn() { Release(); }
    Turn(Turn&& other) noexcept : turns_(other.turns_), style_(other.style_) {
      other.turns_ = nullptr;
    }
    Turn& operator=(Turn&& other) noexcept;
    Turn(const Turn&) = delete;
    Turn& operator=(const Turn&) = delete;

    bool held() const { return turns_ != nullptr; }
    void Release();

   private:
    friend class TransformationTurns;
    Turn(TransformationTurns* turns, std::size_t style) : turns_(turns), style_(style) {}

    TransformationTurns* turns_ = nullptr;
    std::size_t style_ = 0;
  };

  // Precondition: capacity >= 1.
  explicit TransformationTurns(int capacity);
  TransformationTurns(const TransformationTurns&) = delete;
  TransformationTurns& operator=(const TransformationTurns&) = delete;

  // A turn for a transformation by the style sheet `style` (StyleOf), waited for until
  // `deadline` (none: as long as it takes); an empty Turn when the deadline passed first.
  Turn Take(std::size_t style, const Deadline& deadline);

  int capacity() const { return capacity_; }
  // The most turns one style sheet holds at once.
  int share() const { return share_; }

  // What identifies a style sheet among the turns: its text's hash.
  static std::size_t StyleOf(std::string_view stylesheet);

 private:
  struct Waiter {
    std::size_t style;
    bool granted = false;
    std::condition_variable woken;
  };

  // Precondition (both): mutex_ is held.
  bool CanTake(std::size_t style) const;
  void Grant(std::size_t style);
  void Release(std::size_t style);

  const int capacity_;
  const int share_;
  std::mutex mutex_;
  int free_;
  std::unordered_map<std::size_t, int> held_;  // turns held by style sheet, none at zero
  std::list<Waiter*> waiting_;                 // in order of arrival
};

// The turns of this process, sized for the machine's processors.
TransformationTurns& ProcessTransformationTurns();

}  // namespace korvalis::xml
