// The time bounds of the work one call does. Command Timeout, an item of the database's
// initialisation string (seconds; 0: no bound; default kDefaultCommandSeconds), bounds every
// statement a call runs and every transformation it makes. A transformation made while the
// call holds the database's writers' turn is bounded further by the writers' wait
// (kWritersWaitSeconds): the writers waiting for the turn fail once they have waited that long.
// On the server it also ends a second before the database's Idle Transaction Timeout, so that a
// writing call that is working is stopped by its own bound and never ended as idle.
//
// Thread-safety: reads the calling thread's call; safe on any thread.
#pragma once

#include <chrono>

#include "platform/db/provider.h"

namespace korvalis {

// Long enough for a hospital's monthly statistics over its data, short enough that a
// statement or style sheet that runs away is ended within minutes: the providers' default.
inline constexpr std::chrono::seconds kDefaultCommandSeconds = db::kDefaultCommandTimeout;
// How long a writer waits for the writers' turn before it fails.
inline constexpr std::chrono::seconds kWritersWaitSeconds{30};

// The names of the bounds, as a refusal names the one that applied.
inline constexpr char16_t kCommandTimeoutBound[] = u"Command Timeout";
inline constexpr char16_t kWritersWaitBound[] = u"writers' wait";
inline constexpr char16_t kIdleTransactionBound[] = u"Idle Transaction Timeout";

// A time bound and the name of the setting it comes from.
struct TimeBound {
  std::chrono::seconds seconds;
  const char16_t* name;
};

// How long a transformation made now, on the calling thread, may run; zero: no bound. Outside
// any call, or before the call opened a database: kDefaultCommandSeconds. In a call: the
// tightest Command Timeout of its databases, at most kWritersWaitSeconds for a database whose
// writers' turn the call holds (a writing call, or a reading call that wrote), and then a second
// less than that database's idle bound (one second at least).
std::chrono::seconds TransformationTimeLimit();
// The same, with the name of the bound it comes from (Command Timeout when there is none).
TimeBound TransformationTimeBound();

}  // namespace korvalis
