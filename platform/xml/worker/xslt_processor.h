// The XSLT processor as the transformation worker runs it (libxslt over libxml2), with the
// conventions of the system's clients:
//   - the extension function node-set of the namespace "urn:schemas-microsoft-com:xslt" is
//     available (result tree fragments, node-sets, and other values as one text node);
//   - the output is text, so an XML declaration, when written, names UTF-16 whatever the
//     stylesheet's xsl:output says, and so does the content-type META of HTML output;
//   - a stylesheet can read no file and reach no network, and writes nothing;
//   - templates may nest 10,000 levels deep (a template that calls itself for every row of a
//     long list), each with a few instructions and variables of its own; deeper is refused.
//
// Thread-safety: StartProcessor once before any transformation; a transformation belongs to one
// thread.
#pragma once

#include <libxml/xmlIO.h>

#include <chrono>
#include <cstddef>
#include <string_view>

#include "platform/xml/dom.h"

namespace korvalis::xml {

// The namespace under which node-set is registered.
inline constexpr char kMsxslNamespace[] = "urn:schemas-microsoft-com:xslt";

// Loads and starts the processor: node-set registered, files and network forbidden.
// Throws sys::LibraryUnavailable when libxslt cannot be loaded.
void StartProcessor();

// Transforms `source` by the style sheet document `stylesheet` and saves the page into `page`
// (closed here); false when the style sheet does not compile or the processor fails. The
// processor's messages go to the generic error handlers the caller has set. A page saved whole
// frees the processor's work, the documents left to their owners; after a failure nothing is
// freed: the transformation's process ends.
// Precondition: StartProcessor was called; both documents have a document element.
bool TransformToOutput(const Document& source, const Document& stylesheet, xmlOutputBufferPtr page,
                       void* message_context, void (*message)(void*, const char*, ...));

// Transforms `source_text` by `stylesheet_text` in the calling process, drops the page and frees
// all it made: the processor as a fuzzer drives it, so that its coverage is seen. The work is
// stopped once it has run `time` or allocated `working_bytes`, as its own process would be
// ended. Precondition: StartProcessor was called; the calling thread has no memory budget.
void TransformAndDiscard(std::string_view source_text, std::string_view stylesheet_text,
                         std::chrono::milliseconds time, std::size_t working_bytes);

// Runs one small transformation through every stage of the processor and frees what it made, so
// that what the libraries start on their first use (their tables, handlers, caches) is started
// once in the worker, before its children are forked, rather than again in each child.
// Precondition: StartProcessor was called; the calling thread has no memory budget.
void WarmProcessor();

}  // namespace korvalis::xml
