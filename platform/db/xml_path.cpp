#include "platform/db/xml_path.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>

#include <mutex>

#include "platform/db/sql_error.h"

namespace korvalis::db {
namespace {

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

}  // namespace

XmlPathDocument::XmlPathDocument(std::string_view xml) {
  StartLibxml();
  if (xml.size() > static_cast<size_t>(INT32_MAX)) throw SqlError("ORA-31011: XML parsing failed");
  doc_ = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), nullptr, "UTF-8",
                       XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  if (!doc_ || !xmlDocGetRootElement(doc_)) {
    xmlFreeDoc(doc_);
    doc_ = nullptr;
    throw SqlError("ORA-31011: XML parsing failed", kConversionFailed);
  }
}

XmlPathDocument::~XmlPathDocument() { xmlFreeDoc(doc_); }

XmlPathDocument::Selection XmlPathDocument::Select(std::string_view path) const {
  XPathContext context(doc_);
  if (!context.ctx) throw SqlError("out of memory evaluating an XPath");
  context.ctx->error = IgnoreStructuredError;
  const std::string p(path);
  XPathResult result;
  result.obj = xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(p.c_str()), context.ctx);
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
  if (node->type != XML_ELEMENT_NODE) return true;
  for (xmlNode* c = node->children; c; c = c->next) {
    if (c->type != XML_TEXT_NODE && c->type != XML_CDATA_SECTION_NODE) return false;
  }
  return true;
}

}  // namespace korvalis::db
