// korvalis::xml::TransformToText: XSLT 1.0 transformation of one document by a stylesheet
// document, over libxslt, giving the output as text the way the system's clients expect of
// their platform's transformer:
//   - the extension function node-set of the namespace "urn:schemas-microsoft-com:xslt" is
//     available (result tree fragments, node-sets, and other values as one text node);
//   - the output is text, so an XML declaration, when written, names UTF-16 whatever the
//     stylesheet's xsl:output says, and so does the content-type META of HTML output;
//   - a stylesheet can read no file and reach no network, and writes nothing.
//
// Thread-safe: distinct calls may run on distinct threads at once.
#pragma once

#include <cstddef>
#include <string>

#include "platform/xml/dom.h"

namespace korvalis::xml {

// The namespace under which node-set is registered.
inline constexpr char kMsxslNamespace[] = "urn:schemas-microsoft-com:xslt";

// What one transformation may take.
struct TransformLimits {
  std::size_t max_output_units;   // the output's length as UTF-16 code units
  std::size_t max_working_bytes;  // what libxml2 and libxslt allocate while it runs
};

enum class TransformOutcome {
  kDone,      // `output` holds the text
  kFailed,    // the stylesheet does not compile, or the transformation fails or is stopped
              // (xsl:message terminate="yes")
  kTooLarge,  // the output or the work would pass `limits`; stopped at the bound
};

// Transforms `source` by `stylesheet` into `output` (UTF-8). Unless the outcome is kDone,
// `output` is left unchanged. Whatever the stylesheet writes, the work stops once its memory
// passes max_working_bytes, at its next instruction or XPath step: memory stays within the
// limit and what that instruction or step takes (a buffer of output aside).
// Precondition: both documents have a document element.
TransformOutcome TransformToText(const Document& source, const Document& stylesheet,
                                 const TransformLimits& limits, std::string& output);

}  // namespace korvalis::xml

