// The tolerant HTML parser: reads the markup that page editors write (upper- or lower-case
// tags, unquoted attributes, omitted end tags of P, LI, TD, TR and the like, void elements,
// comments, entities, STYLE and SCRIPT text, namespace-prefixed custom tags) into a Document.
//
// Repairs follow the browsers' rules in a reduced form: implied end tags close open P, LI,
// DT/DD, TD/TH, TR, table sections and OPTION; stray end tags are dropped; an end tag does not
// reach out of a table cell or table; nesting deeper than kMaxDepth continues at that depth.
// No character of text is ever dropped: markup that cannot be read as a tag stays text.
//
// Thread-safety: the functions keep no state between calls.
#pragma once

#include <string_view>

#include "platform/html/document.h"

namespace korvalis::html {

// Elements deeper than this are added as siblings at this depth, so hostile input cannot
// make the tree (or the work of the parser) grow without bound in depth. Such an element
// stays empty, its content follows it, and its end tag closes nothing else, so a page written
// out and read again keeps its shape.
constexpr size_t kMaxDepth = 512;

// Parses a whole page into `document`, whose content must be the empty HTML/HEAD/BODY frame.
void ParseDocument(std::u16string_view html, Document& document);

// Parses markup as the content of `context` and appends the nodes to it. HTML, HEAD and BODY
// tags are ignored; head elements stay where they are written.
void ParseFragment(std::u16string_view html, Element& context);

}  // namespace korvalis::html
