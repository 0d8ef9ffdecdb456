#include "foundation/calls/work_bounds.h"

#include <algorithm>

#include "foundation/calls/call_scope.h"

namespace korvalis {

std::chrono::seconds TransformationTimeLimit() {
  CCallScope* call = CCallScope::Current();
  if (call == nullptr) return kDefaultCommandSeconds;
  const std::vector<db::Connection*> connections = call->Connections();
  if (connections.empty()) return kDefaultCommandSeconds;
  std::chrono::seconds limit{0};  // zero: no bound found yet
  for (const db::Connection* connection : connections) {
    std::chrono::seconds bound = connection->CommandTimeout();
    if (connection->HoldsWritersTurn()) {
      if (bound.count() == 0 || bound > kWritersWaitSeconds) bound = kWritersWaitSeconds;
      const std::chrono::seconds idle = connection->IdleTransactionTimeout();
      if (idle.count() > 0) bound = std::min(bound, std::max(idle - std::chrono::seconds{1},
                                                             std::chrono::seconds{1}));
    }
    if (bound.count() > 0 && (limit.count() == 0 || bound < limit)) limit = bound;
  }
  return limit;
}

}  // namespace korvalis
