// The text of an XPath 1.0 expression with its comparisons (=, !=, <, <=, >, >=) made calls of
// the system's comparison functions, so that the string values a comparison of node-sets reads
// are built where their cost is charged (xpath_comparisons.h) rather than inside libxml2,
// uncounted. One comparison is a call of its operator's function (kPairFunctions):
// `a = b` is korvalis-compare-eq(a, b). A chain of comparisons of one precedence is one call of
// kCompareFunction, its operands in order and its operators last, in one text: `a = b != c` is
// korvalis-compare(a, b, c, "= !="), which compares from the left as the chain does. One call
// nests no deeper than the chain it stands for, so that a long chain stays within libxml2's
// depth.
//
// The expression is read as libxml2 reads it: a `*` or a name that follows a token other than
// `@ :: ( [ ,` or an operator is the multiplication or an operator name, and an operator name
// is the first letters that spell one (`.=2or.=3` is `. = 2 or . = 3`); a number may have an
// exponent. It is split by precedence (or, and, equality, relational; each left-associative),
// inside parentheses, predicates and function arguments too; everything but the comparisons is
// kept as written. The work is linear in the path and charged to the running call
// (sql_function_support.h), which it stops past the statement's deadline.
//
// Thread-safety: stateless functions.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace korvalis::db {

inline constexpr std::string_view kCompareFunction = "korvalis-compare";
// The function of one comparison by its operator; each name begins with kCompareFunction.
inline constexpr std::array<std::pair<std::string_view, std::string_view>, 6> kPairFunctions = {{
    {"=", "korvalis-compare-eq"},
    {"!=", "korvalis-compare-ne"},
    {"<", "korvalis-compare-lt"},
    {"<=", "korvalis-compare-le"},
    {">", "korvalis-compare-gt"},
    {">=", "korvalis-compare-ge"},
}};

// The function of one comparison of `op`; empty for a text that is no comparison's operator.
std::string_view PairFunction(std::string_view op);

// The rewritten expression; the expression itself when it holds no comparison; nullopt when it
// cannot be read, nests brackets past the depth a path needs, or names a name that begins with
// kCompareFunction.
std::optional<std::string> RewriteComparisons(std::string_view path);

}  // namespace korvalis::db
