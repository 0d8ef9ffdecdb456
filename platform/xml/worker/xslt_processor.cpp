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
#include <pthread.h>

#include <condition_variable>
#include <mutex>

#include "platform/xml/memory_budget.h"

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

namespace {

// A transformation context with the conventions above, or nullptr.
xsltTransformContextPtr NewContext(xsltStylesheetPtr style, const Document& source,
                                   void* message_context,
                                   void (*message)(void*, const char*, ...)) {
  xsltTransformContextPtr context = xsltNewTransformContext(style, source.Native());
  if (context == nullptr) return nullptr;
  xsltSetCtxtSecurityPrefs(xsltGetDefaultSecurityPrefs(), context);
  xsltSetTransformErrorFunc(context, message_context, message);
  context->maxTemplateDepth = kMaxTemplateDepth;
  context->maxTemplateVars = kMaxTemplateVariables;
  // The output is text: a declaration or content-type it carries names UTF-16.
  xmlFree(style->encoding);
  style->encoding = xmlStrdup(BAD_CAST "UTF-16");
  return context;
}

// A transformation stopped from another thread at its time, or by its budget on its own.
struct Stopper {
  std::mutex mutex;
  std::condition_variable finished_or_due;
  bool finished = false;
  bool due = false;
  xsltTransformContextPtr context = nullptr;

  // Precondition: `mutex` held, or called on the transformation's own thread.
  static void Stop(void* argument) {
    auto* stopper = static_cast<Stopper*>(argument);
    stopper->due = true;
    if (stopper->context != nullptr) stopper->context->state = XSLT_STATE_STOPPED;
  }
};

void Quiet(void*, const char*, ...) {}

}  // namespace

bool TransformToOutput(const Document& source, const Document& stylesheet, xmlOutputBufferPtr page,
                       void* message_context, void (*message)(void*, const char*, ...)) {
  xsltStylesheetPtr style = xsltParseStylesheetDoc(stylesheet.Native());
  if (style == nullptr || style->errors != 0) return false;
  xsltTransformContextPtr context = NewContext(style, source, message_context, message);
  if (context == nullptr) return false;

  xmlDocPtr result =
      xsltApplyStylesheetUser(style, source.Native(), nullptr, nullptr, nullptr, context);
  if (result == nullptr || context->state != XSLT_STATE_OK) return false;
  const bool saved = xsltSaveResultTo(page, result, style) >= 0;
  const bool closed = xmlOutputBufferClose(page) >= 0;
  // A whole page: the work is freed, so that the process may take another transformation. The
  // style sheet's document stays the caller's Document's to free.
  xmlFreeDoc(result);
  xsltFreeTransformContext(context);
  style->doc = nullptr;
  xsltFreeStylesheet(style);
  return closed && saved;
}

namespace {

// The stack the discarded work runs on, as deep as a child's.
constexpr std::size_t kDiscardStackBytes = std::size_t{256} << 20;

struct DiscardedWork {
  const Document* source;
  const Document* stylesheet;
  std::size_t working_bytes;
  Stopper stopper;
};

void SetContext(Stopper& stopper, xsltTransformContextPtr context) {
  std::lock_guard lock(stopper.mutex);
  stopper.context = context;
  if (context != nullptr && stopper.due) context->state = XSLT_STATE_STOPPED;
}

void* DoDiscardedWork(void* argument) {
  auto& work = *static_cast<DiscardedWork*>(argument);
  {
    MemoryBudget budget(work.working_bytes);
    budget.OnExceeded(Stopper::Stop, &work.stopper);
    // The processor owns the style sheet's document it compiles: it gets a copy.
    xmlDocPtr owned = xmlCopyDoc(work.stylesheet->Native(), 1);
    xsltStylesheetPtr style = owned ? xsltParseStylesheetDoc(owned) : nullptr;
    if (style == nullptr) xmlFreeDoc(owned);
    xsltTransformContextPtr context =
        style && style->errors == 0 ? NewContext(style, *work.source, nullptr, Quiet) : nullptr;
    SetContext(work.stopper, context);
    if (context != nullptr) {
      xmlDocPtr result =
          xsltApplyStylesheetUser(style, work.source->Native(), nullptr, nullptr, nullptr, context);
      if (result != nullptr && context->state == XSLT_STATE_OK) {
        xmlOutputBufferPtr page = xmlOutputBufferCreateIO(
            [](void*, const char*, int length) { return length; }, nullptr, nullptr, nullptr);
        if (page != nullptr) {
          xsltSaveResultTo(page, result, style);
          xmlOutputBufferClose(page);
        }
      }
      xmlFreeDoc(result);
    }
    SetContext(work.stopper, nullptr);
    if (context != nullptr) xsltFreeTransformContext(context);
    if (style != nullptr) xsltFreeStylesheet(style);
  }
  std::lock_guard lock(work.stopper.mutex);
  work.stopper.finished = true;
  work.stopper.finished_or_due.notify_all();
  return nullptr;
}

}  // namespace

void TransformAndDiscard(std::string_view source_text, std::string_view stylesheet_text,
                         std::chrono::milliseconds time, std::size_t working_bytes) {
  Document source;
  Document stylesheet;
  if (!source.LoadXml(source_text) || !source.HasDocumentElement() ||
      !stylesheet.LoadXml(stylesheet_text) || !stylesheet.HasDocumentElement()) {
    return;
  }
  DiscardedWork work{&source, &stylesheet, working_bytes, {}};
  pthread_attr_t attributes;
  pthread_t thread;
  if (::pthread_attr_init(&attributes) != 0) return;
  const bool started = ::pthread_attr_setstacksize(&attributes, kDiscardStackBytes) == 0 &&
                       ::pthread_create(&thread, &attributes, DoDiscardedWork, &work) == 0;
  ::pthread_attr_destroy(&attributes);
  if (!started) return;
  {
    std::unique_lock lock(work.stopper.mutex);
    if (!work.stopper.finished_or_due.wait_for(lock, time, [&] { return work.stopper.finished; })) {
      Stopper::Stop(&work.stopper);
    }
  }
  ::pthread_join(thread, nullptr);
}

namespace {

// A style sheet with the instructions reports use most, over a source with a few rows.
constexpr char kWarmSource[] =
    "<root><row id='2' name='b'>x</row><row id='1' name='a'>y</row></root>";
constexpr char kWarmStylesheet[] =
    "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform' "
    "xmlns:msxsl='urn:schemas-microsoft-com:xslt'>"
    "<xsl:output method='html' encoding='UTF-8'/>"
    "<xsl:template match='/root'><HTML><BODY><TABLE>"
    "<xsl:variable name='rows'><xsl:copy-of select='row'/></xsl:variable>"
    "<xsl:for-each select='msxsl:node-set($rows)/row'><xsl:sort select='@id' data-type='number'/>"
    "<TR><xsl:attribute name='class'><xsl:value-of select='@name'/></xsl:attribute>"
    "<xsl:choose><xsl:when test='position() = 1'><TD><xsl:value-of select='.'/></TD></xsl:when>"
    "<xsl:otherwise><xsl:call-template name='cell'><xsl:with-param name='text' "
    "select='concat(., format-number(@id, \"0.00\"))'/></xsl:call-template></xsl:otherwise>"
    "</xsl:choose></TR></xsl:for-each></TABLE></BODY></HTML></xsl:template>"
    "<xsl:template name='cell'><xsl:param name='text'/><TD><xsl:if test='string-length($text) "
    "&gt; 0'><xsl:value-of select='translate($text, \"abc\", \"ABC\")'/></xsl:if></TD>"
    "</xsl:template></xsl:stylesheet>";

}  // namespace

void WarmProcessor() {
  TransformAndDiscard(kWarmSource, kWarmStylesheet, std::chrono::seconds(5), std::size_t{64} << 20);
}

}  // namespace korvalis::xml
