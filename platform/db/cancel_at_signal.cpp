#include "platform/db/cancel_at_signal.h"

#include <libpq-fe.h>

#include <atomic>

namespace korvalis::cancel_at_signal_detail {

// The cancel object of one connection, with the libpq function of the copy of this code that
// made it: that copy's library is loaded, where another copy's may not be (loading is no work
// for a signal handler).
struct Place {
  PGcancel* cancel;
  int (*send)(PGcancel*, char*, int);
};

// A static data member of a class template has vague linkage, which the toolchain gives unique
// binding: every shared object of the process that carries this code uses the same members.
struct PlacesTag;
template <typename Tag>
struct ProcessWide {
  static inline std::atomic<bool> enabled{false};
  static inline std::atomic<void*> places[korvalis::db::kMaxCancelAtSignal]{};
};
using Shared = ProcessWide<PlacesTag>;

}  // namespace korvalis::cancel_at_signal_detail

namespace korvalis::db {

using cancel_at_signal_detail::Place;
using cancel_at_signal_detail::Shared;

void EnableCancelAtSignal() { Shared::enabled.store(true); }

void CancelStatementsAtSignal() noexcept {
  for (std::atomic<void*>& slot : Shared::places) {
    // Taken from its place, the object is never freed: the connection's end finds it gone.
    if (auto* place = static_cast<Place*>(slot.exchange(nullptr))) {
      char error[256];
      place->send(place->cancel, error, sizeof error);
    }
  }
}

CancelAtSignal::CancelAtSignal(pg_conn* connection) {
  if (!Shared::enabled.load()) return;
  PGcancel* cancel = PQgetCancel(connection);
  if (cancel == nullptr) return;
  auto* place = new Place{cancel, &PQcancel};
  for (int i = 0; i < kMaxCancelAtSignal; ++i) {
    void* free_place = nullptr;
    if (Shared::places[i].compare_exchange_strong(free_place, place)) {
      place_ = i;
      return;
    }
  }
  PQfreeCancel(cancel);
  delete place;
}

CancelAtSignal::~CancelAtSignal() {
  if (place_ < 0) return;
  if (auto* place = static_cast<Place*>(Shared::places[place_].exchange(nullptr))) {
    PQfreeCancel(place->cancel);
    delete place;
  }
}

}  // namespace korvalis::db
