// The in-process baseline's transformation: korvalis::xml::Transformation and TransformText
// defined again for a benchmark program of their own, so that the library's definitions
// (platform/xml/xslt.cpp) stay out of its link. The texts are loaded and transformed in the
// calling thread by the processor code the worker's children run (worker/xslt_processor.h),
// within the same memory budgets: a source the system wrote loaded piece by piece, a caller's
// text within the parser's limits. No worker, no connection, no turn and no time limit: what the
// whole call costs without the transformation's own process.
//
// Thread-safety: as the library's, a transformation belongs to one thread.
#include <libxml/xmlIO.h>

#include <string>
#include <utility>

#include "platform/xml/dom.h"
#include "platform/xml/memory_budget.h"
#include "platform/xml/worker/xslt_processor.h"
#include "platform/xml/xslt.h"

namespace korvalis::xml {
namespace {

// The documents may take twice the work's budget, as in a child.
constexpr std::size_t kLoadingBudgets = 2;

Document::Writer WriterOf(TextWriter writer) {
  return writer == TextWriter::kCaller ? Document::Writer::kCaller : Document::Writer::kSystem;
}

// The budget's handler: in the calling process the work cannot be ended, only marked.
void MarkExceeded(void* exceeded) { *static_cast<bool*>(exceeded) = true; }

void Quiet(void*, const char*, ...) {}

int AppendPage(void* page, const char* bytes, int length) {
  static_cast<std::string*>(page)->append(bytes, static_cast<std::size_t>(length));
  return length;
}

}  // namespace

Transformation::Transformation(std::string stylesheet, TextWriter stylesheet_writer,
                               TextWriter source_writer, const TransformLimits& limits)
    : stylesheet_(std::move(stylesheet)),
      style_(0),
      order_{limits.max_output_units,
             limits.max_working_bytes,
             0,
             stylesheet_writer,
             source_writer,
             1},
      limits_(limits) {}

Transformation::~Transformation() = default;

void Transformation::AppendSource(std::string_view piece) { held_.append(piece); }

TransformOutcome Transformation::Finish(std::string_view last_piece, std::string& output,
                                        std::string* cause) {
  StartProcessor();
  held_.append(last_piece);
  bool exceeded = false;
  Document source;
  Document stylesheet;
  {
    MemoryBudget loading(kLoadingBudgets * order_.max_working_bytes);
    loading.OnExceeded(MarkExceeded, &exceeded);
    bool loaded = false;
    if (order_.source_writer == TextWriter::kSystem) {
      DocumentLoader loader;
      loader.Append(held_);
      loaded = loader.Finish(source);
    } else {
      loaded = source.LoadXml(held_, Document::Writer::kCaller);
    }
    if (!loaded || !source.HasDocumentElement()) return TransformOutcome::kSourceNotLoaded;
    if (!stylesheet.LoadXml(stylesheet_, WriterOf(order_.stylesheet_writer)) ||
        !stylesheet.HasDocumentElement()) {
      return TransformOutcome::kStylesheetNotLoaded;
    }
  }
  MemoryBudget working(order_.max_working_bytes);
  working.OnExceeded(MarkExceeded, &exceeded);
  std::string page;
  xmlOutputBufferPtr sink = xmlOutputBufferCreateIO(AppendPage, nullptr, &page, nullptr);
  if (sink == nullptr) return TransformOutcome::kOutOfMemory;
  if (!TransformToOutput(source, stylesheet, sink, nullptr, Quiet)) {
    if (cause != nullptr) *cause = "the processor failed";
    return TransformOutcome::kFailed;
  }
  if (exceeded) return TransformOutcome::kOutOfMemory;
  output = std::move(page);
  return TransformOutcome::kDone;
}

}  // namespace korvalis::xml
