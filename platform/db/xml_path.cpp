#include "platform/db/xml_path.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "platform/db/sql_error.h"
#include "platform/db/sql_function_support.h"
#include "platform/db/sqlite_statement_bounds.h"
#include "platform/db/xpath_comparison_rewrite.h"
#include "platform/db/xpath_string_values.h"
#include "platform/xml/attribute_work.h"
#include "platform/xml/entity_expansion.h"
#include "platform/xml/parser_entity_bound.h"
#include "platform/xml/quiet_messages.h"

namespace korvalis::db {
namespace {

// Pieces a document is parsed in.
constexpr size_t kParsedPiece = size_t{1} << 20;

void StartLibxml() {
  static std::once_flag once;
  std::call_once(once, [] { xmlInitParser(); });
}

// XPath messages are answered by the error the caller throws, never printed.
void IgnoreStructuredError(void*, xmlErrorPtr) {}

struct XPathContext {
  xmlXPathContextPtr ctx;
  explicit XPathContext(xmlDoc* doc) : ctx(xmlXPathNewContext(doc)) {}
  ~XPathContext() { xmlXPathFreeContext(ctx); }
};
struct XPathResult {
  xmlXPathObjectPtr obj = nullptr;
  ~XPathResult() { xmlXPathFreeObject(obj); }
};
struct XmlText {
  xmlChar* text;
  ~XmlText() { xmlFree(text); }
};

// libxml2's nodes and attributes with their allocations, and the text they copy: what a
// document of a given text may take at most once parsed. Every node but the document's is an
// element, a closing tag's partner, or the text or comment beside one, so that it starts at or
// follows a '<'; an attribute has its '='.
constexpr size_t kBytesPerTag = 160;
constexpr size_t kBytesPerAttribute = 256;

// Refuses, before it is parsed, a document whose tree would take the process's SQLite memory
// and its own past the memory bound.
void ReserveTree(std::string_view xml) {
  functions::ChargeWork(xml.size());
  const size_t tags = static_cast<size_t>(std::count(xml.begin(), xml.end(), '<'));
  const size_t attributes = static_cast<size_t>(std::count(xml.begin(), xml.end(), '='));
  const uint64_t tree =
      uint64_t{tags} * kBytesPerTag + uint64_t{attributes} * kBytesPerAttribute + xml.size();
  if (static_cast<uint64_t>(sqlite3_memory_used()) + tree >
      static_cast<uint64_t>(kEmbeddedMemoryBound)) {
    throw OutOfStatementMemory();
  }
}

// libxml2 limits a document to 257 levels of elements and a text to 10 MB together, or neither
// (XML_PARSE_HUGE); past the text's limit it cuts the text short and goes on as if the document
// were whole. A document is parsed without libxml2's limits, the levels counted here as libxml2
// counts them, so that a text of any length is read whole and a document nested deeper is refused
// as before, as the server refuses it.
constexpr int kMaxElementLevels = 257;

struct ElementLevels {
  startElementNsSAX2Func start;
  endElementNsSAX2Func end;
  int open = 0;
};

void StartCountedElement(void* context, const xmlChar* name, const xmlChar* prefix,
                         const xmlChar* uri, int namespaces, const xmlChar** namespace_list,
                         int attributes, int defaulted, const xmlChar** attribute_list) {
  auto* parser = static_cast<xmlParserCtxtPtr>(context);
  auto* levels = static_cast<ElementLevels*>(parser->_private);
  if (++levels->open > kMaxElementLevels) {
    parser->wellFormed = 0;
    xmlStopParser(parser);
    return;
  }
  levels->start(context, name, prefix, uri, namespaces, namespace_list, attributes, defaulted,
                attribute_list);
}

void EndCountedElement(void* context, const xmlChar* name, const xmlChar* prefix,
                       const xmlChar* uri) {
  auto* parser = static_cast<xmlParserCtxtPtr>(context);
  auto* levels = static_cast<ElementLevels*>(parser->_private);
  --levels->open;
  levels->end(context, name, prefix, uri);
}

void FreeParser(xmlParserCtxtPtr parser) {
  if (parser->myDoc != nullptr) xmlFreeDoc(parser->myDoc);
  xmlFreeParserCtxt(parser);
}

// The operations of the first try at a path: most paths take far fewer.
constexpr unsigned long kFirstOperations = 1ul << 20;

// `path` evaluated in `ctx`, null when it is invalid. Within a statement's Command Timeout the
// evaluation is cut into tries of a bounded count of libxml2's operations (it cannot be paused,
// and each try starts it afresh), their counts as NextTryOperations gives them; a path that needs
// more than the time left allows, as a try that the deadline passes, ends the call with ORA-01013, as
// does a string value that the deadline passes while it is built (xpath_string_values.h), for a
// comparison too (xpath_comparison_rewrite.h). A path whose comparisons cannot be read is invalid
// at once: libxml2 would weigh them uncounted.
xmlXPathObjectPtr EvaluateInTime(const std::string& path, xmlXPathContextPtr ctx) {
  const std::optional<std::string> rewritten = RewriteComparisons(path);
  if (!rewritten) return nullptr;
  const auto* expression = reinterpret_cast<const xmlChar*>(rewritten->c_str());
  functions::StatementTime time;
  ChargedStringValues values(ctx);
  const StatementDeadline* deadline = time.deadline();
  if (deadline == nullptr || deadline->bound().count() == 0) {
    return xmlXPathEvalExpression(expression, ctx);
  }
  // An evaluation the deadline stopped in a string value reads as invalid to libxml2.
  const auto stopped = [&] {
    if (values.stopped()) time.Stop();
  };
  for (unsigned long limit = kFirstOperations;;) {
    ctx->opLimit = limit;
    ctx->opCount = 0;
    const auto start = std::chrono::steady_clock::now();
    xmlXPathObjectPtr result = xmlXPathEvalExpression(expression, ctx);
    if (result == nullptr) stopped();
    // Past its limit libxml2 leaves the count at the limit and fails the evaluation.
    if (result != nullptr || ctx->opCount < limit) return result;
    limit = NextTryOperations(limit, std::chrono::steady_clock::now() - start, deadline->Left());
    if (limit == 0) time.Stop();
  }
}

}  // namespace

unsigned long NextTryOperations(unsigned long limit, std::chrono::duration<double> took,
                                std::chrono::duration<double> left) {
  // Half the time left: the try may run at half the rate measured (a busy machine, operations
  // that cost more) and still end by the deadline.
  const double affordable =
      static_cast<double>(limit) / std::max(took.count(), 1e-6) * left.count() / 2;
  if (affordable <= static_cast<double>(limit)) return 0;
  return static_cast<unsigned long>(std::min(affordable, static_cast<double>(limit) * 2));
}

XmlPathDocument::XmlPathDocument(std::string_view xml) {
  StartLibxml();
  if (xml.size() > static_cast<size_t>(INT32_MAX)) throw SqlError("ORA-31011: XML parsing failed");
  ReserveTree(xml);
  if (xml::AttributesPassParserBound(xml)) {
    throw SqlError("ORA-31011: XML parsing failed: " + std::string(xml::kAttributesRefused),
                   kConversionFailed);
  }
  std::unique_ptr<xmlParserCtxt, void (*)(xmlParserCtxtPtr)> parser(
      xmlCreatePushParserCtxt(nullptr, nullptr, nullptr, 0, nullptr), FreeParser);
  if (!parser) throw OutOfStatementMemory();
  // As xmlReadMemory with an encoding: the input is read as UTF-8, whatever it declares. Its
  // messages are answered by the error thrown, never printed on the host's standard error.
  xmlCtxtUseOptions(parser.get(),
                    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE);
  parser->sax->serror = IgnoreStructuredError;
  ElementLevels levels{parser->sax->startElementNs, parser->sax->endElementNs};
  parser->_private = &levels;
  parser->sax->startElementNs = StartCountedElement;
  parser->sax->endElementNs = EndCountedElement;
  parser->encoding = xmlStrdup(BAD_CAST "UTF-8");
  xmlCharEncodingHandlerPtr utf8 = xmlFindCharEncodingHandler("UTF-8");
  if (parser->encoding == nullptr || utf8 == nullptr ||
      xmlSwitchToEncoding(parser.get(), utf8) != 0) {
    throw OutOfStatementMemory();
  }
  // In pieces that end before a character's first byte, the statement's time read between them.
  // The entities libxml2 expands itself (in attribute values) are held to the DOM's bound.
  functions::StatementTime time;
  xml::ParserEntityBound entities(parser.get());
  xml::ParserEntityBound::Parsing parsing(entities);
  while (!xml.empty() && parser->wellFormed) {
    size_t cut = std::min(xml.size(), kParsedPiece);
    while (cut < xml.size() && (static_cast<unsigned char>(xml[cut]) & 0xC0) == 0x80) ++cut;
    xmlParseChunk(parser.get(), xml.data(), static_cast<int>(cut), 0);
    time.Spend(cut);
    xml.remove_prefix(cut);
  }
  if (parser->wellFormed) xmlParseChunk(parser.get(), nullptr, 0, 1);
  const bool well_formed = parser->wellFormed;
  doc_ = std::exchange(parser->myDoc, nullptr);
  if (!well_formed || !doc_ || !xmlDocGetRootElement(doc_)) {
    xmlFreeDoc(doc_);
    doc_ = nullptr;
    if (!entities.Refused().empty()) {
      throw SqlError("ORA-31011: XML parsing failed: " + std::string(entities.Refused()),
                     kConversionFailed);
    }
    throw SqlError("ORA-31011: XML parsing failed", kConversionFailed);
  }
  // The entities the document declares stand for their text, as an XML reader reads it; a
  // document without any (nearly every one) is spared the walk.
  if (doc_->intSubset != nullptr && doc_->intSubset->entities != nullptr) {
    if (const std::string_view why = xml::ExpandInternalEntities(doc_); !why.empty()) {
      xmlFreeDoc(doc_);
      doc_ = nullptr;
      throw SqlError("ORA-31011: XML parsing failed: " + std::string(why), kConversionFailed);
    }
  }
}

XmlPathDocument::~XmlPathDocument() { xmlFreeDoc(doc_); }

XmlPathDocument::Selection XmlPathDocument::Select(std::string_view path) const {
  XPathContext context(doc_);
  if (!context.ctx) throw SqlError("out of memory evaluating an XPath");
  context.ctx->error = IgnoreStructuredError;
  // A path is read from the document: a relative one starts at the document node, which is also
  // what `.` and the functions of the context node (string(), number(), ...) read at its top.
  context.ctx->node = reinterpret_cast<xmlNode*>(doc_);
  const std::string p(path);
  XPathResult result;
  {
    // A function libxml2 does not know is named on standard error, not in the structured error.
    xml::QuietMessages quiet;
    result.obj = EvaluateInTime(p, context.ctx);
  }
  if (!result.obj) throw SqlError("ORA-31013: Invalid XPATH expression: " + p);
  Selection s;
  switch (result.obj->type) {
    case XPATH_NODESET:
      if (result.obj->nodesetval) {
        for (int i = 0; i < result.obj->nodesetval->nodeNr; ++i) {
          xmlNode* n = result.obj->nodesetval->nodeTab[i];
          if (n->type != XML_NAMESPACE_DECL) s.nodes.push_back(n);
        }
      }
      break;
    default: {
      s.is_value = true;
      XmlText text{xmlXPathCastToString(result.obj)};
      if (text.text) s.value = reinterpret_cast<const char*>(text.text);
    }
  }
  return s;
}

std::string XmlPathDocument::Text(xmlNode* node) {
  XmlText text{xmlNodeGetContent(node)};
  return text.text ? std::string(reinterpret_cast<const char*>(text.text)) : std::string();
}

std::string XmlPathDocument::Markup(xmlNode* node) {
  if (node->type == XML_ATTRIBUTE_NODE) return Text(node);
  xmlBufferPtr buffer = xmlBufferCreate();
  if (!buffer) throw SqlError("out of memory serialising XML");
  xmlNodeDump(buffer, node->doc, node, 0, 0);
  std::string out(reinterpret_cast<const char*>(xmlBufferContent(buffer)),
                  static_cast<size_t>(xmlBufferLength(buffer)));
  xmlBufferFree(buffer);
  return out;
}

bool XmlPathDocument::IsLeaf(xmlNode* node) {
  if (node->type != XML_ELEMENT_NODE && node->type != XML_DOCUMENT_NODE) return true;
  for (xmlNode* c = node->children; c; c = c->next) {
    if (c->type != XML_TEXT_NODE && c->type != XML_CDATA_SECTION_NODE) return false;
  }
  return true;
}

}  // namespace korvalis::db
