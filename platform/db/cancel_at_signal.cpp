#include "platform/db/cancel_at_signal.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/db/postgres_answer_wait.h"

namespace korvalis::cancel_at_signal_detail {

// A static data member of a class template has vague linkage, which the toolchain gives unique
// binding: every shared object of the process that carries this code uses the same members.
struct PlacesTag;
template <typename Tag>
struct ProcessWide {
  // The process that opted in; 0 until one did.
  static inline std::atomic<pid_t> enabled_in{0};
  static inline std::atomic<db::CancelTarget*> places[db::kMaxCancelAtSignal]{};
  // The targets a signal's requests were sent to, by place: kept, never freed, since a handler
  // may still read them; held here so that they stay reachable to the process's end.
  static inline std::atomic<db::CancelTarget*> sent[db::kMaxCancelAtSignal]{};
};
using Shared = ProcessWide<PlacesTag>;

}  // namespace korvalis::cancel_at_signal_detail

namespace korvalis::db {

using cancel_at_signal_detail::Shared;

void EnableCancelAtSignal() { Shared::enabled_in.store(::getpid()); }

void CancelStatementsAtSignal() noexcept {
  if (Shared::enabled_in.load() != ::getpid()) return;
  const int saved_errno = errno;
  const auto end = AnswerWait::Clock::now() + AnswerWait::kCancelGrace;
  // Each target is taken from its place and never freed: the connection's end finds it gone.
  CancelTarget targets[kMaxCancelAtSignal];
  int count = 0;
  for (int i = 0; i < kMaxCancelAtSignal; ++i) {
    if (CancelTarget* target = Shared::places[i].exchange(nullptr)) {
      targets[count++] = *target;
      CancelTarget* none = nullptr;
      Shared::sent[i].compare_exchange_strong(none, target);
    }
  }
  CancelOutcome outcomes[kMaxCancelAtSignal];
  SendCancelRequests(targets, count, end, outcomes);
  errno = saved_errno;
}

CancelAtSignal::CancelAtSignal(pg_conn* connection) {
  if (Shared::enabled_in.load() != ::getpid()) return;
  auto* target = new CancelTarget;
  if (ReadCancelTarget(connection, target)) {
    for (int i = 0; i < kMaxCancelAtSignal; ++i) {
      CancelTarget* free_place = nullptr;
      if (Shared::places[i].compare_exchange_strong(free_place, target)) {
        place_ = i;
        return;
      }
    }
    FreeCancelTarget(target);
  }
  delete target;
}

CancelAtSignal::~CancelAtSignal() {
  if (place_ < 0) return;
  if (CancelTarget* target = Shared::places[place_].exchange(nullptr)) {
    FreeCancelTarget(target);
    delete target;
  }
}

}  // namespace korvalis::db
