// Writes a tree back as HTML in the manner of the platform's HTML engine: element names in
// upper case, namespace-prefixed tags with their prefix ("CUSTOMTAG:LABEL"), every non-void
// element closed, attribute values quoted unless they are plain words, text escaped (&, <, >
// and the no-break space as &nbsp;), STYLE and SCRIPT text written as it stands.
//
// Writing never recurses, so trees of any depth are safe.
//
// Thread-safety: stateless.
#pragma once

#include <string>

#include "platform/html/node.h"

namespace korvalis::html {

void AppendOuterHtml(const Node& node, std::u16string& out);
void AppendInnerHtml(const Element& element, std::u16string& out);

}  // namespace korvalis::html
