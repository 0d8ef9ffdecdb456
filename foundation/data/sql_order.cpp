#include "foundation/data/sql_order.h"

#include "foundation/text/string_util.h"

namespace korvalis {

std::u16string EveryColumnOrder(std::size_t columns) {
  std::u16string order = u" ORDER BY 1 NULLS FIRST";
  for (std::size_t column = 2; column <= columns; ++column) {
    order.append(u", ").append(LongToString(static_cast<long>(column))).append(u" NULLS FIRST");
  }
  return order;
}

}  // namespace korvalis
