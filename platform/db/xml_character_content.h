// The character content of an XML text, as the text search reads a stored XML document.
//
// Thread-safety: a pure function.
#pragma once

#include <string>
#include <string_view>

namespace korvalis::db::text {

// The character content of an XML text: markup skipped, entities and character references
// decoded, CDATA kept.
std::string XmlCharacterContent(std::string_view xml);

}  // namespace korvalis::db::text
