// The comparisons of XPath 1.0 (=, !=, <, <=, >, >=) as the functions that rewritten paths call
// (xpath_comparison_rewrite.h), installed with the charged string values of
// xpath_string_values.h: the function of one comparison, korvalis-compare-eq(a, b) and its
// kin, answers whether `a = b`; kCompareFunction(x0, x1, ..., xn, "op1 ... opn") answers
// (...((x0 op1 x1) op2 x2) ...) opn xn, a chain of comparisons from the left.
//
// A comparison that reads string values, one of a node-set with a text, a number or another
// node-set, is decided here: every string value it reads is built and charged
// (ChargedStringValues::Append), a value compared with a text no further than the text's length,
// and a node-set against a node-set in time that grows with their nodes, where libxml2 weighs
// every pair. Past the statement's deadline the evaluation stops. Comparisons of other values,
// and of a node-set with a boolean (which reads no string value), are libxml2's own.
//
// Thread-safety: called by libxml2 on the thread that evaluates the path.
#pragma once

#include <string_view>

typedef struct _xmlXPathParserContext xmlXPathParserContext;

namespace korvalis::db {

using ComparisonFunction = void (*)(xmlXPathParserContext* parser, int nargs);

// The comparison function of that name; null for a name that is none. The functions' precondition:
// the context's function lookup data is a ChargedStringValues.
ComparisonFunction FindComparison(std::string_view name);

}  // namespace korvalis::db
