// The text of an XPath 1.0 expression with every comparison (=, !=, <, <=, >, >=) made a call
// of the system's comparison function, kCompareFunction(left, right, "op"), so that the string
// values a comparison of node-sets reads are built where their cost is charged
// (xpath_comparisons.h) rather than inside libxml2, uncounted.
//
// The expression is read by XPath 1.0's lexical rules (a `*` or a name that follows a token other
// than `@ :: ( [ ,` or an operator is the multiplication or an operator name) and split by its
// precedence (or, and, equality, relational; each left-associative), inside parentheses,
// predicates and function arguments too. Everything but the comparisons is kept as written.
//
// Thread-safety: stateless functions.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace korvalis::db {

inline constexpr std::string_view kCompareFunction = "korvalis-compare";

// The rewritten expression; the expression itself when it holds no comparison; nullopt when it
// cannot be read (libxml2 then judges it as written) or names kCompareFunction itself.
std::optional<std::string> RewriteComparisons(std::string_view path);

}  // namespace korvalis::db
