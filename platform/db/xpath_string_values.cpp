#include "platform/db/xpath_string_values.h"

#include <libxml/tree.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <string_view>
#include <utility>

#include "platform/db/sql_function_support.h"
#include "platform/db/xpath_comparison_rewrite.h"
#include "platform/db/xpath_comparisons.h"

namespace korvalis::db {
namespace {

// What a replaced function makes of a node-set argument.
enum class Reads {
  kString,  // the string value of its first node in document order
  kSum,     // the sum of the numbers its nodes' string values stand for
  kWords,   // the string values of all its nodes, as words apart (id)
};

struct Replaced {
  const char* name;
  Reads reads;
  bool reads_context_node;  // without arguments, the function reads the context node's value
};

constexpr std::array<Replaced, 13> kReplaced = {{
    {"string", Reads::kString, true},
    {"string-length", Reads::kString, true},
    {"normalize-space", Reads::kString, true},
    {"number", Reads::kString, true},
    {"concat", Reads::kString, false},
    {"contains", Reads::kString, false},
    {"starts-with", Reads::kString, false},
    {"substring", Reads::kString, false},
    {"substring-before", Reads::kString, false},
    {"substring-after", Reads::kString, false},
    {"translate", Reads::kString, false},
    {"sum", Reads::kSum, false},
    {"id", Reads::kWords, false},
}};

// libxml2's own functions of those names, found once on a context of its own.
const std::array<xmlXPathFunction, kReplaced.size()>& Originals() {
  static const auto originals = [] {
    std::array<xmlXPathFunction, kReplaced.size()> found{};
    xmlXPathContextPtr context = xmlXPathNewContext(nullptr);
    if (context == nullptr) throw std::bad_alloc();
    for (size_t k = 0; k < kReplaced.size(); ++k) {
      found[k] = xmlXPathFunctionLookup(context, BAD_CAST kReplaced[k].name);
    }
    xmlXPathFreeContext(context);
    return found;
  }();
  return originals;
}

// The argument `i` places below the top of the stack.
xmlXPathObjectPtr& Argument(xmlXPathParserContextPtr parser, int i) {
  return parser->valueTab[parser->valueNr - 1 - i];
}

// Replaces a node-set argument by what a function that `reads` so takes of it: a text, or the
// sum; false once the deadline has passed.
bool ReadNodes(ChargedStringValues& values, Reads reads, xmlXPathObjectPtr* argument) {
  xmlNodeSetPtr nodes = (*argument)->nodesetval;
  const int count = nodes == nullptr ? 0 : nodes->nodeNr;
  std::string& text = values.Text();
  double sum = 0;
  if (reads == Reads::kString && count > 0) {
    if (count > 1) xmlXPathNodeSetSort(nodes);
    if (!values.Append(nodes->nodeTab[0], &text)) return false;
  } else if (reads != Reads::kString) {
    for (int i = 0; i < count; ++i) {
      if (reads == Reads::kSum) text.clear();
      if (!values.Append(nodes->nodeTab[i], &text)) return false;
      if (reads == Reads::kSum) sum += xmlXPathStringEvalNumber(BAD_CAST text.c_str());
      if (reads == Reads::kWords) text.push_back(' ');
    }
  }
  xmlXPathObjectPtr read =
      reads == Reads::kSum ? xmlXPathNewFloat(sum) : xmlXPathNewString(BAD_CAST text.c_str());
  if (read == nullptr) throw std::bad_alloc();
  xmlXPathFreeObject(*argument);
  *argument = read;
  return true;
}

// Replaced function `k`: its string values built here, then libxml2's own on texts; sum, whose
// own takes only a node-set, answers here. A function that reads the context node reads the
// document's string value at a path's top level; without any context node libxml2's own answers.
template <size_t k>
void CallCharged(xmlXPathParserContextPtr parser, int nargs) {
  const Replaced& f = kReplaced[k];
  ChargedStringValues& values = ChargedStringValues::Of(parser);
  if (!values.ChargeSteps(parser)) return values.Stop(parser);
  if (nargs == 0 && f.reads_context_node && parser->context->node != nullptr) {
    std::string& text = values.Text();
    if (!values.Append(parser->context->node, &text)) return values.Stop(parser);
    valuePush(parser, xmlXPathNewString(BAD_CAST text.c_str()));
    nargs = 1;
  } else {
    bool summed = false;
    for (int i = 0; i < nargs && i < parser->valueNr; ++i) {
      xmlXPathObjectPtr& argument = Argument(parser, i);
      if (argument == nullptr || argument->type != XPATH_NODESET) continue;
      if (!ReadNodes(values, f.reads, &argument)) return values.Stop(parser);
      summed = f.reads == Reads::kSum;
    }
    parser->value = parser->valueNr > 0 ? parser->valueTab[parser->valueNr - 1] : nullptr;
    if (summed && nargs == 1) return;  // the sum stands where its node-set stood
  }
  Originals()[k](parser, nargs);
}

template <size_t... k>
constexpr std::array<xmlXPathFunction, sizeof...(k)> Charged(std::index_sequence<k...>) {
  return {&CallCharged<k>...};
}
constexpr auto kCharged = Charged(std::make_index_sequence<kReplaced.size()>());

// Found before libxml2's own functions: the replaced ones and the comparison functions by their
// names, without a namespace.
xmlXPathFunction LookUp(void*, const xmlChar* name, const xmlChar* ns_uri) {
  if (ns_uri != nullptr || name == nullptr) return nullptr;
  const std::string_view wanted = reinterpret_cast<const char*>(name);
  if (wanted.starts_with(kCompareFunction)) return FindComparison(wanted);
  for (size_t k = 0; k < kReplaced.size(); ++k) {
    if (wanted == kReplaced[k].name) return kCharged[k];
  }
  return nullptr;
}

}  // namespace

ChargedStringValues::ChargedStringValues(xmlXPathContext* context) {
  Originals();
  xmlXPathRegisterFuncLookup(context, LookUp, this);
}

ChargedStringValues& ChargedStringValues::Of(xmlXPathParserContext* parser) {
  return *static_cast<ChargedStringValues*>(parser->context->funcLookupData);
}

bool ChargedStringValues::Append(xmlNode* node, std::string* out, size_t most) {
  functions::StatementTime time;
  switch (node->type) {
    case XML_ELEMENT_NODE:
    case XML_DOCUMENT_NODE:
    case XML_DOCUMENT_FRAG_NODE:
    case XML_HTML_DOCUMENT_NODE:
    case XML_ATTRIBUTE_NODE:
      break;
    default: {
      // A text, comment, instruction or namespace: its own content.
      const size_t before = out->size();
      xmlChar* content = xmlNodeGetContent(node);
      if (content != nullptr) out->append(reinterpret_cast<const char*>(content));
      xmlFree(content);
      return !time.Exhausted(1 + out->size() - before);
    }
  }
  // The text and CDATA under the node, in document order; an entity's reference reads the
  // entity's content.
  for (xmlNode* n = node->children; n != nullptr;) {
    size_t units = 1;
    if (n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE) {
      if (n->content != nullptr) {
        const char* text = reinterpret_cast<const char*>(n->content);
        const size_t length = most == std::string::npos
                                  ? std::strlen(text)
                                  : strnlen(text, most + 1 - std::min(out->size(), most + 1));
        out->append(text, length);
        units += length;
      }
    } else if (n->type == XML_ENTITY_REF_NODE) {
      xmlChar* content = xmlNodeGetContent(n);
      if (content != nullptr) {
        const size_t before = out->size();
        out->append(reinterpret_cast<const char*>(content));
        units += out->size() - before;
      }
      xmlFree(content);
    }
    if (time.Exhausted(units)) return false;
    if (out->size() > most) break;
    if (n->type == XML_ELEMENT_NODE && n->children != nullptr) {
      n = n->children;
      continue;
    }
    while (n != node && n->next == nullptr) n = n->parent;
    if (n == node) break;
    n = n->next;
  }
  return true;
}

bool ChargedStringValues::ChargeSteps(xmlXPathParserContext* parser) {
  const unsigned long count = parser->context->opCount;
  // A try at the path counts afresh from zero.
  if (count < steps_charged_) steps_charged_ = 0;
  const unsigned long steps = count - steps_charged_;
  steps_charged_ = count;
  return !functions::StatementTime().Exhausted(steps);
}

void ChargedStringValues::Stop(xmlXPathParserContext* parser) {
  stopped_ = true;
  parser->error = XPATH_OP_LIMIT_EXCEEDED;
}

}  // namespace korvalis::db
