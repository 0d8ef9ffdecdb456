#include "platform/xml/xslt.h"

#include <libxml/tree.h>
#include <libxml/xmlIO.h>
#include <libxml/xpathInternals.h>
#include <libxslt/extensions.h>
#include <libxslt/extra.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xslt.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include <mutex>

#include "platform/sys/on_demand_library.h"

namespace korvalis::xml {
namespace {

// node-set(value): result tree fragments and node-sets as node-sets; any other value as a
// node-set of one text node holding its string value.
void NodeSetFunction(xmlXPathParserContextPtr context, int argument_count) {
  if (argument_count != 1) {
    xmlXPathSetArityError(context);
    return;
  }
  xmlXPathObjectPtr top = context->value;
  if (top != nullptr && (top->type == XPATH_XSLT_TREE || top->type == XPATH_NODESET)) {
    xsltFunctionNodeSet(context, argument_count);
    return;
  }
  xsltTransformContextPtr transform = xsltXPathGetTransformContext(context);
  xmlChar* text = xmlXPathPopString(context);
  if (transform == nullptr || context->error != 0) {
    xmlFree(text);
    xmlXPathSetError(context, XPATH_INVALID_OPERAND);
    return;
  }
  xmlDocPtr fragment = xsltCreateRVT(transform);
  if (fragment == nullptr) {
    xmlFree(text);
    xmlXPathSetError(context, XPATH_MEMORY_ERROR);
    return;
  }
  xsltRegisterLocalRVT(transform, fragment);
  xmlNodePtr node = xmlNewDocText(fragment, text);
  xmlFree(text);
  xmlAddChild(reinterpret_cast<xmlNodePtr>(fragment), node);
  valuePush(context, xmlXPathNewNodeSet(node));
}

// Messages of the processor (xsl:message included) are not for the process's stderr.
void DiscardMessage(void*, const char*, ...) {}

void StartProcessor() {
  static std::once_flag started;
  std::call_once(started, [] {
    EnsureLibraryStarted();
    xsltInit();
    xsltSetGenericErrorFunc(nullptr, DiscardMessage);
    xsltRegisterExtModuleFunction(BAD_CAST "node-set", BAD_CAST kMsxslNamespace, NodeSetFunction);
    xsltSecurityPrefsPtr prefs = xsltNewSecurityPrefs();
    xsltSetSecurityPrefs(prefs, XSLT_SECPREF_READ_FILE, xsltSecurityForbid);
    xsltSetSecurityPrefs(prefs, XSLT_SECPREF_WRITE_FILE, xsltSecurityForbid);
    xsltSetSecurityPrefs(prefs, XSLT_SECPREF_CREATE_DIRECTORY, xsltSecurityForbid);
    xsltSetSecurityPrefs(prefs, XSLT_SECPREF_READ_NETWORK, xsltSecurityForbid);
    xsltSetSecurityPrefs(prefs, XSLT_SECPREF_WRITE_NETWORK, xsltSecurityForbid);
    xsltSetDefaultSecurityPrefs(prefs);
  });
}

// Keeps libxml2's messages of this thread off stderr while it lives.
class QuietErrors {
 public:
  QuietErrors() : handler_(xmlGenericError), context_(xmlGenericErrorContext) {
    xmlSetGenericErrorFunc(nullptr, DiscardMessage);
  }
  ~QuietErrors() { xmlSetGenericErrorFunc(context_, handler_); }
  QuietErrors(const QuietErrors&) = delete;
  QuietErrors& operator=(const QuietErrors&) = delete;

 private:
  xmlGenericErrorFunc handler_;
  void* context_;
};

struct StylesheetDeleter {
  void operator()(xsltStylesheetPtr style) const { xsltFreeStylesheet(style); }
};
struct TransformContextDeleter {
  void operator()(xsltTransformContextPtr context) const { xsltFreeTransformContext(context); }
};
struct DocDeleter {
  void operator()(xmlDocPtr doc) const { xmlFreeDoc(doc); }
};
struct OutputBufferDeleter {
  void operator()(xmlOutputBufferPtr buffer) const { xmlOutputBufferClose(buffer); }
};

}  // namespace

bool TransformToText(const Document& source, const Document& stylesheet, std::string& output) {
  try {
    StartProcessor();
  } catch (const sys::LibraryUnavailable&) {
    return false;  // without the processor no stylesheet can run
  }
  QuietErrors quiet;
  // The compiled stylesheet takes its document over, so it compiles a copy.
  xmlDocPtr style_doc = xmlCopyDoc(stylesheet.Native(), 1);
  if (style_doc == nullptr) return false;
  std::unique_ptr<xsltStylesheet, StylesheetDeleter> style(xsltParseStylesheetDoc(style_doc));
  if (style == nullptr) {
    xmlFreeDoc(style_doc);
    return false;
  }
  if (style->errors != 0) return false;

  std::unique_ptr<xsltTransformContext, TransformContextDeleter> context(
      xsltNewTransformContext(style.get(), source.Native()));
  if (context == nullptr) return false;
  xsltSetCtxtSecurityPrefs(xsltGetDefaultSecurityPrefs(), context.get());
  xsltSetTransformErrorFunc(context.get(), nullptr, DiscardMessage);
  std::unique_ptr<xmlDoc, DocDeleter> result(
      xsltApplyStylesheetUser(style.get(), source.Native(), nullptr, nullptr, nullptr,
                              context.get()));
  if (result == nullptr || context->state != XSLT_STATE_OK) return false;

  // The output is text: a declaration or content-type it carries names UTF-16.
  xmlFree(style->encoding);
  style->encoding = xmlStrdup(BAD_CAST "UTF-16");
  std::unique_ptr<xmlOutputBuffer, OutputBufferDeleter> buffer(xmlAllocOutputBuffer(nullptr));
  if (buffer == nullptr || xsltSaveResultTo(buffer.get(), result.get(), style.get()) < 0) {
    return false;
  }
  xmlOutputBufferFlush(buffer.get());
  const xmlChar* bytes = xmlOutputBufferGetContent(buffer.get());
  output.assign(reinterpret_cast<const char*>(bytes), xmlOutputBufferGetSize(buffer.get()));
  return true;
}

}  // namespace korvalis::xml
