#include "platform/xml/worker/xslt_processor.h"

#include <libxml/tree.h>
#include <libxml/xpathInternals.h>
#include <libxslt/extensions.h>
#include <libxslt/extra.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xslt.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include <mutex>

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

// Nested templates, instructions and variables the processor admits: a template that calls
// itself for each of 10,000 rows takes a level for each instruction it nests the call in (two for
// a call in an xsl:choose, six in a for-each with a sort, a variable, an element and an xsl:if)
// and a variable for each parameter and variable, so these admit 10,000 rows of templates nesting
// ten instructions and twenty variables.
constexpr int kMaxTemplateDepth = 100'000;
constexpr int kMaxTemplateVariables = 200'000;

}  // namespace

void StartProcessor() {
  static std::once_flag started;
  std::call_once(started, [] {
    EnsureLibraryStarted();
    xsltInit();
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

bool TransformToOutput(const Document& source, const Document& stylesheet, xmlOutputBufferPtr page,
                       void* message_context, void (*message)(void*, const char*, ...)) {
  xsltStylesheetPtr style = xsltParseStylesheetDoc(stylesheet.Native());
  if (style == nullptr || style->errors != 0) return false;
  xsltTransformContextPtr context = xsltNewTransformContext(style, source.Native());
  if (context == nullptr) return false;
  xsltSetCtxtSecurityPrefs(xsltGetDefaultSecurityPrefs(), context);
  xsltSetTransformErrorFunc(context, message_context, message);
  context->maxTemplateDepth = kMaxTemplateDepth;
  context->maxTemplateVars = kMaxTemplateVariables;
  // The output is text: a declaration or content-type it carries names UTF-16.
  xmlFree(style->encoding);
  style->encoding = xmlStrdup(BAD_CAST "UTF-16");

  xmlDocPtr result =
      xsltApplyStylesheetUser(style, source.Native(), nullptr, nullptr, nullptr, context);
  if (result == nullptr || context->state != XSLT_STATE_OK) return false;
  const bool saved = xsltSaveResultTo(page, result, style) >= 0;
  if (xmlOutputBufferClose(page) < 0 || !saved) return false;
  return true;
}

}  // namespace korvalis::xml
