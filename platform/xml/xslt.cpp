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

#include <cstddef>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/sys/on_demand_library.h"
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

// Where the serialised output goes: into `text` while its length as UTF-16 stays within
// `max_units`; beyond, the write is refused and nothing more is kept.
struct BoundedOutput {
  std::string text;
  std::size_t units = 0;
  std::size_t max_units = 0;
  bool too_large = false;
};

int WriteBounded(void* context, const char* bytes, int length) {
  auto* output = static_cast<BoundedOutput*>(context);
  for (int i = 0; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    // A UTF-8 sequence's first byte counts its UTF-16 units: two for four bytes.
    if ((byte & 0xC0) != 0x80) output->units += byte >= 0xF0 ? 2 : 1;
  }
  if (output->units > output->max_units) {
    output->too_large = true;
    return -1;
  }
  output->text.append(bytes, static_cast<std::size_t>(length));
  return length;
}

// A transformation whose memory is exceeded stops at its next instruction, and an XPath
// evaluation in progress at its next step: the XPath context's allowance of steps is spent.
void StopTransformation(void* context) {
  auto* transform = static_cast<xsltTransformContextPtr>(context);
  transform->state = XSLT_STATE_STOPPED;
  if (xmlXPathContextPtr xpath = transform->xpathCtxt; xpath != nullptr) {
    xpath->opLimit = 1;
    xpath->opCount = 1;
  }
}

}  // namespace

TransformOutcome TransformToText(const Document& source, const Document& stylesheet,
                                 const TransformLimits& limits, std::string& output) {
  try {
    StartProcessor();
  } catch (const sys::LibraryUnavailable&) {
    return TransformOutcome::kFailed;  // without the processor no stylesheet can run
  }
  QuietErrors quiet;
  // The compiled stylesheet takes its document over, so it compiles a copy.
  xmlDocPtr style_doc = xmlCopyDoc(stylesheet.Native(), 1);
  if (style_doc == nullptr) return TransformOutcome::kFailed;
  std::unique_ptr<xsltStylesheet, StylesheetDeleter> style(xsltParseStylesheetDoc(style_doc));
  if (style == nullptr) {
    xmlFreeDoc(style_doc);
    return TransformOutcome::kFailed;
  }
  if (style->errors != 0) return TransformOutcome::kFailed;

  std::unique_ptr<xsltTransformContext, TransformContextDeleter> context(
      xsltNewTransformContext(style.get(), source.Native()));
  if (context == nullptr) return TransformOutcome::kFailed;
  xsltSetCtxtSecurityPrefs(xsltGetDefaultSecurityPrefs(), context.get());
  xsltSetTransformErrorFunc(context.get(), nullptr, DiscardMessage);
  // The output is text: a declaration or content-type it carries names UTF-16.
  xmlFree(style->encoding);
  style->encoding = xmlStrdup(BAD_CAST "UTF-16");

  BoundedOutput written;
  written.max_units = limits.max_output_units;
  bool done = false;
  bool out_of_memory = false;
  {
    MemoryBudget budget(limits.max_working_bytes);
    budget.OnExceeded(StopTransformation, context.get());
    std::unique_ptr<xmlDoc, DocDeleter> result(xsltApplyStylesheetUser(
        style.get(), source.Native(), nullptr, nullptr, nullptr, context.get()));
    if (result != nullptr && context->state == XSLT_STATE_OK) {
      std::unique_ptr<xmlOutputBuffer, OutputBufferDeleter> buffer(
          xmlOutputBufferCreateIO(WriteBounded, nullptr, &written, nullptr));
      done = buffer != nullptr && xsltSaveResultTo(buffer.get(), result.get(), style.get()) >= 0 &&
             xmlOutputBufferFlush(buffer.get()) >= 0;
    }
    out_of_memory = budget.exceeded();
  }
  if (out_of_memory || written.too_large) return TransformOutcome::kTooLarge;
  if (!done) return TransformOutcome::kFailed;
  output = std::move(written.text);
  return TransformOutcome::kDone;
}

}  // namespace korvalis::xml
