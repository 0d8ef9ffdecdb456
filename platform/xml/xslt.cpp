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

#include <algorithm>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <mutex>
#include <string_view>
#include <utility>

#include "platform/sys/limited_child.h"
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

// Nested templates, instructions and variables the processor admits: a template that calls
// itself for each of 10,000 rows takes a level for each instruction it nests the call in (two for
// a call in an xsl:choose, six in a for-each with a sort, a variable, an element and an xsl:if)
// and a variable for each parameter and variable, so these admit 10,000 rows of templates nesting
// ten instructions and twenty variables.
constexpr int kMaxTemplateDepth = 100'000;
constexpr int kMaxTemplateVariables = 200'000;
// The stack the transformation runs on: a level takes under 500 bytes of it.
constexpr std::size_t kWorkStackBytes = std::size_t{256} << 20;
// Address space the child may take beyond its counted working memory: the allocator's own
// reserves, the buffer of its output, the code's own allocations.
constexpr std::size_t kUncountedBytes = std::size_t{256} << 20;
// A UTF-16 code unit is at most three bytes of UTF-8.
constexpr std::size_t kUtf8BytesPerUnit = 3;

// How the transformation's process ends.
enum ChildStatus : int {
  kTransformed = 0,
  kNotTransformed = 1,
  kPageTooLarge = 2,
  kMemorySpent = 3,
};

struct TransformJob {
  const Document* source;
  const Document* stylesheet;
  std::size_t max_output_units;
  std::size_t max_working_bytes;
};

// The processor's messages (xsl:message included) go with a failure to the caller.
void NoteMessage(void* channel, const char* format, ...) {
  char text[1024];
  va_list arguments;
  va_start(arguments, format);
  const int length = std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  if (length <= 0) return;
  static_cast<sys::ChildChannel*>(channel)->Note(
      std::string_view(text, std::min(static_cast<std::size_t>(length), sizeof text - 1)));
}

// The first allocation past the budget ends the work before it is used: even a single XPath
// step that builds one huge text stops there.
void EndForMemory(void* channel) { static_cast<sys::ChildChannel*>(channel)->Finish(kMemorySpent); }

// The page goes to the caller while its length as UTF-16 stays within `max_units`.
struct PageWriter {
  sys::ChildChannel* channel;
  std::size_t units = 0;
  std::size_t max_units = 0;
};

int WritePage(void* context, const char* bytes, int length) {
  auto* page = static_cast<PageWriter*>(context);
  for (int i = 0; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    // A UTF-8 sequence's first byte counts its UTF-16 units: two for four bytes.
    if ((byte & 0xC0) != 0x80) page->units += byte >= 0xF0 ? 2 : 1;
  }
  if (page->units > page->max_units) page->channel->Finish(kPageTooLarge);
  return page->channel->Write(std::string_view(bytes, static_cast<std::size_t>(length))) ? length
                                                                                         : -1;
}

// The transformation, in its own process: nothing is freed, the process's end frees it all.
int TransformInChild(sys::ChildChannel& channel, void* argument) {
  const auto& job = *static_cast<const TransformJob*>(argument);
  xmlSetGenericErrorFunc(&channel, NoteMessage);
  xsltSetGenericErrorFunc(&channel, NoteMessage);
  MemoryBudget budget(job.max_working_bytes);
  budget.OnExceeded(EndForMemory, &channel);

  // The compiled stylesheet takes its document over, so it compiles a copy.
  xmlDocPtr style_doc = xmlCopyDoc(job.stylesheet->Native(), 1);
  if (style_doc == nullptr) return kNotTransformed;
  xsltStylesheetPtr style = xsltParseStylesheetDoc(style_doc);
  if (style == nullptr || style->errors != 0) return kNotTransformed;
  xsltTransformContextPtr context = xsltNewTransformContext(style, job.source->Native());
  if (context == nullptr) return kNotTransformed;
  xsltSetCtxtSecurityPrefs(xsltGetDefaultSecurityPrefs(), context);
  xsltSetTransformErrorFunc(context, &channel, NoteMessage);
  context->maxTemplateDepth = kMaxTemplateDepth;
  context->maxTemplateVars = kMaxTemplateVariables;
  // The output is text: a declaration or content-type it carries names UTF-16.
  xmlFree(style->encoding);
  style->encoding = xmlStrdup(BAD_CAST "UTF-16");

  xmlDocPtr result =
      xsltApplyStylesheetUser(style, job.source->Native(), nullptr, nullptr, nullptr, context);
  if (result == nullptr || context->state != XSLT_STATE_OK) return kNotTransformed;
  PageWriter page{&channel, 0, job.max_output_units};
  xmlOutputBufferPtr buffer = xmlOutputBufferCreateIO(WritePage, nullptr, &page, nullptr);
  if (buffer == nullptr) return kNotTransformed;
  const bool saved = xsltSaveResultTo(buffer, result, style) >= 0;
  if (xmlOutputBufferClose(buffer) < 0 || !saved) return kNotTransformed;
  return channel.Flush() ? kTransformed : kNotTransformed;
}

TransformOutcome OutcomeOf(const sys::ChildResult& ran) {
  switch (ran.end) {
    case sys::ChildEnd::kFinished:
      switch (ran.status) {
        case kTransformed: return TransformOutcome::kDone;
        case kPageTooLarge: return TransformOutcome::kTooLarge;
        case kMemorySpent: return TransformOutcome::kOutOfMemory;
        default: return TransformOutcome::kFailed;
      }
    case sys::ChildEnd::kTimedOut: return TransformOutcome::kTimedOut;
    case sys::ChildEnd::kOutputTooLarge: return TransformOutcome::kTooLarge;
    case sys::ChildEnd::kDied:
    case sys::ChildEnd::kNotStarted: break;
  }
  return TransformOutcome::kFailed;
}

}  // namespace

TransformOutcome TransformToText(const Document& source, const Document& stylesheet,
                                 const TransformLimits& limits, std::string& output,
                                 std::string* cause) {
  try {
    // Loaded and started here, so the child finds the processor ready.
    StartProcessor();
  } catch (const sys::LibraryUnavailable& unavailable) {
    if (cause != nullptr) *cause = unavailable.what();
    return TransformOutcome::kFailed;  // without the processor no stylesheet can run
  }
  TransformJob job{&source, &stylesheet, limits.max_output_units, limits.max_working_bytes};
  const sys::ChildLimits child_limits{limits.max_duration,
                                      limits.max_working_bytes + kUncountedBytes,
                                      limits.max_output_units * kUtf8BytesPerUnit,
                                      kWorkStackBytes};
  sys::ChildResult ran = sys::RunInChild(child_limits, TransformInChild, &job);
  const TransformOutcome outcome = OutcomeOf(ran);
  if (outcome == TransformOutcome::kDone) {
    output = std::move(ran.output);
  } else if (cause != nullptr) {
    *cause = std::move(ran.note);
  }
  return outcome;
}

}  // namespace korvalis::xml
