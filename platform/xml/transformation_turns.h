// korvalis::xml::TransformationTurns: the turns of the transformations of one process. At most
// `capacity` transformations work at once; more would make none sooner and would multiply the
// memory that runaways take. A transformation waits for its turn until its deadline, first come
// first served, and no one style sheet holds more than capacity - 1 turns (one at least): a
// report that many users run at once, or one that runs away, leaves a turn for every other.
// Long work, together, holds no more than capacity - 1 turns either: a style sheet is long while
// one of its transformations has held its turn longer than kLongWork, or when its last one did or
// was stopped by its time limit (however short its turn: a transformation that waited most of its
// time for a turn is stopped soon after it took one), and a waiter of a long style sheet takes a
// turn only while the long work holds fewer; so runaway style sheets, however many, leave a turn
// for short work. A waiter that cannot take the free turn lets those behind it pass.
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
#include <unordered_set>

namespace korvalis::xml {

// The bounds of the process's capacity: as many as the machine has processors, within them.
inline constexpr int kMinTransformationsInFlight = 2;
inline constexpr int kMaxTransformationsInFlight = 8;
// How long a transformation holds its turn before its style sheet counts as long work.
inline constexpr std::chrono::seconds kLongWork{1};

class TransformationTurns {
 public:
  using Clock = std::chrono::steady_clock;
  using Deadline = std::optional<Clock::time_point>;
  // The clock that times the turns held (a test's own, or the steady clock).
  using Now = Clock::time_point (*)();
  // How the work of a turn ended.
  enum class WorkEnded {
    kFinished,    // it answered: a page, or a failure of its own
    kTimeRanOut,  // its time limit stopped it: its style sheet is long work
  };

  // A turn held, given back when destroyed; an empty one holds nothing.
  class Turn {
   public:
    Turn() = default;
    ~Turn() { Release(); }
    Turn(Turn&& other) noexcept : turns_(other.turns_), holding_(other.holding_) {
      other.turns_ = nullptr;
    }
    Turn& operator=(Turn&& other) noexcept;
    Turn(const Turn&) = delete;
    Turn& operator=(const Turn&) = delete;

    bool held() const { return turns_ != nullptr; }
    // Gives the turn back, its work having ended as `ended`.
    void Release(WorkEnded ended = WorkEnded::kFinished);

   private:
    friend class TransformationTurns;
    struct Holding {
      std::size_t style;
      Clock::time_point since;
    };
    Turn(TransformationTurns* turns, std::list<Holding>::iterator holding)
        : turns_(turns), holding_(holding) {}

    TransformationTurns* turns_ = nullptr;
    std::list<Holding>::iterator holding_;
  };

  // Precondition: capacity >= 1.
  explicit TransformationTurns(int capacity, Now now = &Clock::now);
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
    Turn granted;
    std::condition_variable woken;
  };

  // Precondition (all): mutex_ is held.
  bool CanTake(std::size_t style, Clock::time_point now) const;
  bool IsLong(std::size_t style, Clock::time_point now) const;
  Turn Grant(std::size_t style, Clock::time_point now);
  void Release(std::list<Turn::Holding>::iterator holding, WorkEnded ended);

  const int capacity_;
  const int share_;
  const Now now_;
  std::mutex mutex_;
  int free_;
  std::unordered_map<std::size_t, int> held_;  // turns held by style sheet, none at zero
  std::list<Turn::Holding> holdings_;          // the turns held
  std::unordered_set<std::size_t> long_;       // style sheets whose last work was long
  std::list<Waiter*> waiting_;                 // in order of arrival
};

// The turns of this process, sized for the machine's processors.
TransformationTurns& ProcessTransformationTurns();

}  // namespace korvalis::xml
