// korvalis::xml::TransformationTurns: the turns of the transformations of one process. At most
// `capacity` transformations work at once, beside what runaways hold; more would make none sooner
// and would multiply the memory that runaways take. A transformation waits for its turn until its
// deadline, first come first served, and no one style sheet holds more than capacity - 1 turns
// (one at least): a report that many users run at once, or one that runs away, leaves a turn for
// every other.
//
// Work is long while it has held its turn longer than kLongWork, and a style sheet is long while
// one of its transformations is, or when its last one was; it is short when its last one answered
// within kLongWork, and new until either is known. A transformation that its time limit stopped
// within kLongWork of its turn tells nothing (it waited most of its time for the turn): its style
// sheet stays what it was. A waiter of a long style sheet takes a turn only while long work holds
// fewer than capacity - 1. Work turns long while it runs, so long work may come to hold every turn;
// then short work and new work each keep one turn more beside it (new work only while fewer than
// twice the capacity work in all), so that a sheet known short waits for no runaway, and new
// runaways, one after another, each hold the turn of new work no longer than kLongWork.
//
// A style sheet, as the turns see it:
//
//   new ──(answered within kLongWork)──▶ short ──(held its turn past kLongWork)──▶ long
//    │                                     ▲                                         │
//    └──────(held its turn past kLongWork)─┼────────────────────────────────────────▶│
//                                          └────────(answered within kLongWork)──────┘
//   (stopped by its time limit within kLongWork of its turn: unchanged)
//
// A waiter:
//
//   waiting ──(a turn its kind may take is free, and no waiter before it can take one)──▶ holding
//   waiting ──(its deadline passes first)──▶ refused: it never had a turn
//   holding ──(Turn destroyed)──▶ the turn goes straight to the first waiter that can take it,
//                                 never back to the thread that released it
//
// Waiters are looked at again whenever a turn is given back, and when work held turns long (a
// waiter wakes then on its own), since long work past all turns but one opens the turns kept
// beside it.
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
// How long a transformation holds its turn before it, and its style sheet, count as long work.
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
    kTimeRanOut,  // its time limit stopped it: long work if it held its turn past kLongWork
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

  // How many calls wait in line for a turn now.
  std::size_t Waiting();
  // How many calls hold a turn or wait in line for one now.
  std::size_t HoldingOrWaiting();

  // What identifies a style sheet among the turns: its text's hash.
  static std::size_t StyleOf(std::string_view stylesheet);

 private:
  enum class Kind { kNew, kShort, kLong };
  struct Waiter {
    std::size_t style;
    Turn granted;
    std::condition_variable woken;
  };
  // The work at hand, counted at one moment.
  struct Counts {
    int held = 0;        // turns held in all
    int long_work = 0;   // of them, held by long work
    int short_work = 0;  // held by short work, not long yet
    int new_work = 0;    // held by new work, not long yet
  };

  // Precondition (all): mutex_ is held.
  Kind KindOf(std::size_t style, Clock::time_point now) const;
  Counts Count(Clock::time_point now) const;
  // Whether a waiter of `style` may take a turn, the work at hand being `counts`.
  bool CanTake(std::size_t style, const Counts& counts, Clock::time_point now) const;
  Turn Grant(std::size_t style, Clock::time_point now);
  // Hands free turns to the waiters that can take them, in their order.
  void HandOut(Clock::time_point now);
  // When the first work held now that is not long turns long; nullopt when none is.
  std::optional<Clock::time_point> NextTurnsLong(Clock::time_point now) const;
  void Release(std::list<Turn::Holding>::iterator holding, WorkEnded ended);

  const int capacity_;
  const int share_;
  const Now now_;
  std::mutex mutex_;
  std::unordered_map<std::size_t, int> held_;     // turns held by style sheet, none at zero
  std::list<Turn::Holding> holdings_;             // the turns held
  std::unordered_map<std::size_t, Kind> known_;   // style sheets known short or long
  std::list<Waiter*> waiting_;                    // in order of arrival
};

// The turns of this process, sized for the machine's processors.
TransformationTurns& ProcessTransformationTurns();

}  // namespace korvalis::xml
