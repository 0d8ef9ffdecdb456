#include "foundation/calls/work_bounds.h"

#include <algorithm>

#include "foundation/calls/call_scope.h"

namespace korvalis {

namespace {

// The tightest bound of one database's work.
TimeBound BoundOf(const db::Connection& connection) {
  TimeBound bound{connection.CommandTimeout(), kCommandTimeoutBound};
  if (!connection.HoldsWritersTurn()) return bound;
  if (bound.seconds.count() == 0 || bound.seconds > kWritersWaitSeconds) {
    bound = {kWritersWaitSeconds, kWritersWaitBound};
  }
  const std::chrono::seconds idle = connection.IdleTransactionTimeout();
  if (idle.count() > 0) {
    const std::chrono::seconds before_idle =
        std::max(idle - std::chrono::seconds{1}, std::chrono::seconds{1});
    if (before_idle < bound.seconds) bound = {before_idle, kIdleTransactionBound};
  }
  return bound;
}

}  // namespace

TimeBound TransformationTimeBound() {
  const TimeBound fallback{kDefaultCommandSeconds, kCommandTimeoutBound};
  CCallScope* call = CCallScope::Current();
  if (call == nullptr) return fallback;
  const std::vector<db::Connection*> connections = call->Connections();
  if (connections.empty()) return fallback;
  TimeBound limit{std::chrono::seconds{0}, kCommandTimeoutBound};  // zero: no bound found yet
  for (const db::Connection* connection : connections) {
    const TimeBound bound = BoundOf(*connection);
    if (bound.seconds.count() > 0 &&
        (limit.seconds.count() == 0 || bound.seconds < limit.seconds)) {
      limit = bound;
    }
  }
  return limit;
}

std::chrono::seconds TransformationTimeLimit() { return TransformationTimeBound().seconds; }

}  // namespace korvalis
