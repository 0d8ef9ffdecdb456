#include "platform/db/xpath_comparisons.h"

#include <libxml/tree.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/db/xpath_comparison_rewrite.h"
#include "platform/db/xpath_string_values.h"

namespace korvalis::db {
namespace {

enum class Op { kEqual, kNotEqual, kLess, kLessOrEqual, kGreater, kGreaterOrEqual };

std::optional<Op> ReadOp(std::string_view text) {
  if (text == "=") return Op::kEqual;
  if (text == "!=") return Op::kNotEqual;
  if (text == "<") return Op::kLess;
  if (text == "<=") return Op::kLessOrEqual;
  if (text == ">") return Op::kGreater;
  if (text == ">=") return Op::kGreaterOrEqual;
  return std::nullopt;
}

// The number a text or a number stands for (what else is compared here is a node-set).
double NumberOfValue(const xmlXPathObject& o) {
  if (o.type == XPATH_NUMBER) return o.floatval;
  if (o.type == XPATH_STRING && o.stringval != nullptr)
    return xmlXPathStringEvalNumber(o.stringval);
  return std::numeric_limits<double>::quiet_NaN();
}

bool IsNodeSet(const xmlXPathObject& o) {
  return o.type == XPATH_NODESET || o.type == XPATH_XSLT_TREE;
}
int Count(const xmlXPathObject& o) { return o.nodesetval == nullptr ? 0 : o.nodesetval->nodeNr; }

// libxml2's own comparison of the two values on top of the parser's stack, which it takes off.
bool DecideByLibxml2(xmlXPathParserContextPtr parser, Op op) {
  switch (op) {
    case Op::kEqual:
      return xmlXPathEqualValues(parser) != 0;
    case Op::kNotEqual:
      return xmlXPathNotEqualValues(parser) != 0;
    case Op::kLess:
      return xmlXPathCompareValues(parser, 1, 1) != 0;
    case Op::kLessOrEqual:
      return xmlXPathCompareValues(parser, 1, 0) != 0;
    case Op::kGreater:
      return xmlXPathCompareValues(parser, 0, 1) != 0;
    case Op::kGreaterOrEqual:
      return xmlXPathCompareValues(parser, 0, 0) != 0;
  }
  return false;
}

// Takes the two values on top of the parser's stack off it, released as libxml2 releases its own
// (their cast to a boolean reads no string value).
void TakeOffOperands(xmlXPathParserContextPtr parser) {
  xmlXPathPopBoolean(parser);
  xmlXPathPopBoolean(parser);
}

// Pushes the boolean `result`; false with the parser's error set when it finds no memory.
bool PushBoolean(xmlXPathParserContextPtr parser, bool result) {
  xmlXPathObjectPtr answer = xmlXPathNewBoolean(result ? 1 : 0);
  if (answer != nullptr && valuePush(parser, answer) >= 0) return true;
  xmlXPathFreeObject(answer);
  parser->error = XPATH_MEMORY_ERROR;
  return false;
}

// Replaces the two values on top of the parser's stack by the boolean `result`. A text or a
// number among them becomes the boolean in place, sparing an allocation at each of a predicate's
// many comparisons; the other is released as libxml2 releases its own.
bool AnswerInPlaceOfOperands(xmlXPathParserContextPtr parser, bool result) {
  const auto plain = [](const xmlXPathObject* o) {
    return o->type == XPATH_STRING || o->type == XPATH_NUMBER;
  };
  xmlXPathObjectPtr& lower = parser->valueTab[parser->valueNr - 2];
  xmlXPathObjectPtr& upper = parser->valueTab[parser->valueNr - 1];
  if (!plain(lower) && !plain(upper)) {
    TakeOffOperands(parser);
    return PushBoolean(parser, result);
  }
  if (!plain(lower)) std::swap(lower, upper);
  xmlXPathPopBoolean(parser);
  xmlXPathObjectPtr answer = parser->valueTab[parser->valueNr - 1];
  if (answer->type == XPATH_STRING) {
    xmlFree(answer->stringval);
    answer->stringval = nullptr;
  }
  answer->type = XPATH_BOOLEAN;
  answer->boolval = result ? 1 : 0;
  return true;
}

// A comparison that reads the string values of a node-set, each built and charged; once the
// deadline has passed, `stopped` is set and what the functions answer is of no use.
class NodeSetComparison {
 public:
  explicit NodeSetComparison(ChargedStringValues& values) : values_(values) {}

  bool stopped = false;

  // Whether `a op b`, one of them a node-set and neither a boolean.
  bool Decide(Op op, const xmlXPathObject& a, const xmlXPathObject& b) {
    if (op != Op::kEqual && op != Op::kNotEqual) return Relational(op, a, b);
    if (IsNodeSet(a) && IsNodeSet(b)) {
      return op == Op::kEqual ? SharedValue(a, b) : TwoValues(a, b);
    }
    const xmlXPathObject& set = IsNodeSet(a) ? a : b;
    const xmlXPathObject& other = IsNodeSet(a) ? b : a;
    if (other.type == XPATH_STRING) {
      const char* text = reinterpret_cast<const char*>(other.stringval);
      return AnyValue(set, text == nullptr ? "" : text, op == Op::kEqual);
    }
    const double x = NumberOfValue(other);
    for (int i = 0; i < Count(set) && !stopped; ++i) {
      const double n = NumberOf(set.nodesetval->nodeTab[i]);
      if (op == Op::kEqual ? n == x : n != x) return true;
    }
    return false;
  }

 private:
  // The string value of `node` in `out`, no longer than `most` + 1 bytes.
  const std::string& Value(xmlNode* node, std::string& out, size_t most = std::string::npos) {
    out.clear();
    if (!stopped && !values_.Append(node, &out, most)) stopped = true;
    return out;
  }

  double NumberOf(xmlNode* node) {
    return xmlXPathStringEvalNumber(BAD_CAST Value(node, value_).c_str());
  }

  // Whether a node's string value is `text` (equal) or is not (!equal).
  bool AnyValue(const xmlXPathObject& set, std::string_view text, bool equal) {
    for (int i = 0; i < Count(set) && !stopped; ++i) {
      if ((Value(set.nodesetval->nodeTab[i], value_, text.size()) == text) == equal) return true;
    }
    return false;
  }

  // Whether a node of `a` and one of `b` have the same string value: a's values are known by
  // their hashes, a hash found among them is checked by building the value again.
  bool SharedValue(const xmlXPathObject& a, const xmlXPathObject& b) {
    if (Count(a) == 0 || Count(b) == 0) return false;
    std::vector<xmlNode*> in_a(a.nodesetval->nodeTab, a.nodesetval->nodeTab + Count(a));
    std::sort(in_a.begin(), in_a.end());
    for (int j = 0; j < Count(b); ++j) {
      if (std::binary_search(in_a.begin(), in_a.end(), b.nodesetval->nodeTab[j])) return true;
    }
    const std::hash<std::string_view> hash;
    std::vector<std::pair<size_t, xmlNode*>> by_hash;
    by_hash.reserve(in_a.size());
    for (xmlNode* node : in_a) {
      if (stopped) return false;
      by_hash.emplace_back(hash(Value(node, value_)), node);
    }
    std::sort(by_hash.begin(), by_hash.end());
    for (int j = 0; j < Count(b) && !stopped; ++j) {
      const std::string& v = Value(b.nodesetval->nodeTab[j], value_);
      const size_t h = hash(v);
      auto k =
          std::lower_bound(by_hash.begin(), by_hash.end(), std::pair<size_t, xmlNode*>(h, nullptr));
      for (; k != by_hash.end() && k->first == h && !stopped; ++k) {
        if (Value(k->second, other_, v.size()) == v) return true;
      }
    }
    return false;
  }

  // Whether a node of `a` and one of `b` have different string values: whether the nodes of
  // both, neither empty, have more than one value among them.
  bool TwoValues(const xmlXPathObject& a, const xmlXPathObject& b) {
    if (Count(a) == 0 || Count(b) == 0) return false;
    const std::string& first = Value(a.nodesetval->nodeTab[0], other_);
    return AnyValue(a, first, false) || AnyValue(b, first, false);
  }

  // Whether numbers n of `a` and m of `b` exist with `n op m`: the least of one side against
  // the greatest of the other. A node-set without a number has none.
  bool Relational(Op op, const xmlXPathObject& a, const xmlXPathObject& b) {
    const bool less = op == Op::kLess || op == Op::kLessOrEqual;
    const std::optional<double> n = Extreme(a, !less);
    const std::optional<double> m = Extreme(b, less);
    if (!n || !m || stopped) return false;
    switch (op) {
      case Op::kLess:
        return *n < *m;
      case Op::kLessOrEqual:
        return *n <= *m;
      case Op::kGreater:
        return *n > *m;
      default:
        return *n >= *m;
    }
  }

  // The greatest (or least) number a node-set's values stand for, NaN left out; a value's own
  // number.
  std::optional<double> Extreme(const xmlXPathObject& o, bool greatest) {
    if (!IsNodeSet(o)) return NumberOfValue(o);
    std::optional<double> extreme;
    for (int i = 0; i < Count(o) && !stopped; ++i) {
      const double n = NumberOf(o.nodesetval->nodeTab[i]);
      if (std::isnan(n)) continue;
      if (!extreme || (greatest ? n > *extreme : n < *extreme)) extreme = n;
    }
    return extreme;
  }

  ChargedStringValues& values_;
  std::string value_;
  std::string other_;
};

// Replaces the two values on top of the parser's stack, `a` below `b`, by whether `a op b`;
// false with the parser's error set when the comparison fails.
bool CompareTopTwo(xmlXPathParserContextPtr parser, Op op) {
  const xmlXPathObject* a = parser->valueTab[parser->valueNr - 2];
  const xmlXPathObject* b = parser->valueTab[parser->valueNr - 1];
  if (a == nullptr || b == nullptr) {
    parser->error = XPATH_INVALID_OPERAND;
    return false;
  }
  ChargedStringValues& values = ChargedStringValues::Of(parser);
  if (!values.ChargeSteps(parser)) {
    TakeOffOperands(parser);
    values.Stop(parser);
    return false;
  }
  if ((IsNodeSet(*a) || IsNodeSet(*b)) && a->type != XPATH_BOOLEAN && b->type != XPATH_BOOLEAN) {
    NodeSetComparison comparison(values);
    // Nothing may be thrown through libxml2: a value that finds no memory fails the evaluation.
    bool failed = false;
    bool result = false;
    try {
      result = comparison.Decide(op, *a, *b);
    } catch (const std::exception&) {
      failed = true;
    }
    if (!comparison.stopped && !failed) return AnswerInPlaceOfOperands(parser, result);
    TakeOffOperands(parser);
    if (comparison.stopped) {
      values.Stop(parser);
    } else {
      parser->error = XPATH_MEMORY_ERROR;
    }
    return false;
  }
  const bool result = DecideByLibxml2(parser, op);
  return parser->error == XPATH_EXPRESSION_OK && PushBoolean(parser, result);
}

// The operators of a chain, apart by blanks, read in order.
class Operators {
 public:
  explicit Operators(std::string_view text) : rest_(text) {}

  // The next operator; nullopt at the end or at a word that names none.
  std::optional<Op> Next() {
    const size_t blank = std::min(rest_.find(' '), rest_.size());
    const std::optional<Op> op = ReadOp(rest_.substr(0, blank));
    rest_.remove_prefix(std::min(blank + 1, rest_.size()));
    return op;
  }
  bool AtEnd() const { return rest_.empty(); }

  // How many operators `text` names; 0 when a word names none.
  static size_t Count(std::string_view text) {
    Operators ops(text);
    size_t count = 0;
    while (!ops.AtEnd()) {
      if (!ops.Next()) return 0;
      ++count;
    }
    return count;
  }

 private:
  std::string_view rest_;
};

void SwapTopTwo(xmlXPathParserContextPtr parser) {
  std::swap(parser->valueTab[parser->valueNr - 1], parser->valueTab[parser->valueNr - 2]);
  parser->value = parser->valueTab[parser->valueNr - 1];
}

// kCompareFunction: a chain of comparisons.
void CompareChain(xmlXPathParserContext* parser, int nargs) {
  // The operands x0 ... xn, then the text of the n operators.
  const xmlXPathObject* text =
      nargs >= 3 && parser->valueNr >= nargs ? parser->valueTab[parser->valueNr - 1] : nullptr;
  const std::string_view ops_text =
      text == nullptr || text->type != XPATH_STRING || text->stringval == nullptr
          ? std::string_view()
          : reinterpret_cast<const char*>(text->stringval);
  if (Operators::Count(ops_text) + 2 != static_cast<size_t>(nargs)) {
    parser->error = XPATH_INVALID_ARITY;
    return;
  }
  // The text is taken off the stack and read while the operands are compared.
  std::unique_ptr<xmlXPathObject, void (*)(xmlXPathObjectPtr)> taken(
      parser->valueTab[--parser->valueNr], xmlXPathFreeObject);
  parser->valueTab[parser->valueNr] = nullptr;
  // Reversed, x0 is on top: each comparison takes the answer so far and the next operand, the
  // answer below the operand, and leaves its own answer on top.
  std::reverse(parser->valueTab + parser->valueNr - (nargs - 1),
               parser->valueTab + parser->valueNr);
  for (Operators ops(ops_text); !ops.AtEnd();) {
    SwapTopTwo(parser);
    if (!CompareTopTwo(parser, *ops.Next())) return;
  }
}

// The function of one comparison of `op`.
template <Op op>
void ComparePair(xmlXPathParserContext* parser, int nargs) {
  if (nargs != 2 || parser->valueNr < 2) {
    parser->error = XPATH_INVALID_ARITY;
    return;
  }
  CompareTopTwo(parser, op);
}

// By Op, in its order.
constexpr std::array<ComparisonFunction, 6> kPairs = {
    ComparePair<Op::kEqual>,       ComparePair<Op::kNotEqual>, ComparePair<Op::kLess>,
    ComparePair<Op::kLessOrEqual>, ComparePair<Op::kGreater>,  ComparePair<Op::kGreaterOrEqual>};

}  // namespace

ComparisonFunction FindComparison(std::string_view name) {
  if (name == kCompareFunction) return CompareChain;
  for (const auto& [op, function] : kPairFunctions) {
    if (name == function) return kPairs[static_cast<size_t>(*ReadOp(op))];
  }
  return nullptr;
}

}  // namespace korvalis::db
