// What the parser and serializer know about each HTML element name: whether it is void,
// holds raw text, belongs in HEAD, closes an open P, and so on.
//
// Thread-safety: the table is constant; every function may be called from any thread.
#pragma once

#include <cstdint>
#include <string_view>

namespace korvalis::html {

enum TagFlag : uint32_t {
  kTagVoid = 1u << 0,            // never has content or an end tag (BR, IMG, META)
  kTagRawText = 1u << 1,         // content is text up to the matching end tag (STYLE, SCRIPT)
  kTagRcData = 1u << 2,          // as raw text, but entities are decoded (TITLE, TEXTAREA)
  kTagHeadContent = 1u << 3,     // goes into HEAD while BODY has not begun
  kTagClosesP = 1u << 4,         // a start tag closes an open P first
  kTagBlock = 1u << 5,           // starts a new line in innerText
  kTagScopeBoundary = 1u << 6,   // an end tag of an unrelated element does not reach past it
  kTagTableStructure = 1u << 7,  // TABLE and its sections, rows, cells
  kTagHeading = 1u << 8,         // H1 to H6
};

// The flags of an HTML element given by its upper-case local name; 0 for unknown names.
// Precondition: `upper_name` is upper case (ASCII).
uint32_t TagFlags(std::u16string_view upper_name);

}  // namespace korvalis::html
