// korvalis::xml::TransformToText: XSLT 1.0 transformation of one document by a stylesheet
// document, over libxslt, giving the output as text the way the system's clients expect of
// their platform's transformer:
//   - the extension function node-set of the namespace "urn:schemas-microsoft-com:xslt" is
//     available (result tree fragments, node-sets, and other values as one text node);
//   - the output is text, so an XML declaration, when written, names UTF-16 whatever the
//     stylesheet's xsl:output says, and so does the content-type META of HTML output;
//   - a stylesheet can read no file and reach no network, and writes nothing.
//
// The transformation runs in a child process of its own (platform/sys/limited_child.h): its
// time, its memory (even within one XPath step), its output and any fault of the processor are
// bounded there, and the calling process only reads the page. Templates may nest 10,000 levels
// deep (a template that calls itself for every row of a long list), each with a few instructions
// and variables of its own; deeper is refused.
//
// Thread-safe: distinct calls may run on distinct threads at once.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

#include "platform/xml/dom.h"

namespace korvalis::xml {

// The namespace under which node-set is registered.
inline constexpr char kMsxslNamespace[] = "urn:schemas-microsoft-com:xslt";

// What one transformation may take.
struct TransformLimits {
  std::size_t max_output_units;         // the output's length as UTF-16 code units
  std::size_t max_working_bytes;        // what libxml2 and libxslt allocate while it runs
  std::chrono::milliseconds max_duration;  // how long it may run; zero: no bound
};

enum class TransformOutcome {
  kDone,         // `output` holds the text
  kFailed,       // the stylesheet does not compile, or the transformation fails or is stopped
                 // (xsl:message terminate="yes", templates nested too deep, a fault)
  kTooLarge,     // the output would pass max_output_units; stopped at the bound
  kOutOfMemory,  // the work would pass max_working_bytes; stopped at that allocation
  kTimedOut,     // the work ran for max_duration; stopped then
};

// Transforms `source` by `stylesheet` into `output` (UTF-8). Unless the outcome is kDone,
// `output` is left unchanged and `cause`, when given, receives what the processor said of its
// failure, or how the transformation ended (empty when there is nothing more to say).
// Precondition: both documents have a document element.
TransformOutcome TransformToText(const Document& source, const Document& stylesheet,
                                 const TransformLimits& limits, std::string& output,
                                 std::string* cause = nullptr);

}  // namespace korvalis::xml

