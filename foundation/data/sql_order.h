// ORDER BY clauses that give a statement's rows one order on every engine.
//
// Thread-safety: stateless functions.
#pragma once

#include <cstddef>
#include <string>

namespace korvalis {

// " ORDER BY 1 NULLS FIRST, 2 NULLS FIRST, ..." up to `columns`: the rows by their columns, left
// to right, an empty value before any other. Rows it leaves tied are alike, so the order is
// total; over a UNION it is the order in which the embedded engine lists the merged rows.
// Precondition: columns >= 1 and the statement selects at least that many columns.
std::u16string EveryColumnOrder(std::size_t columns);

}  // namespace korvalis
