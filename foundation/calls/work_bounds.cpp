#include "foundation/calls/work_bounds.h"

namespace korvalis {

std::chrono::seconds TransformationTimeLimit() { return kDefaultCommandSeconds; }

}  // namespace korvalis
