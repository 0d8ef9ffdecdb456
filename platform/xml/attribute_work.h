// What the attributes of a document's start tags cost its parser, counted before it parses them.
//
// libxml2 (2.9) checks each attribute of a start tag against those before it, the attributes the
// document's ATTLIST declarations default for that element included, and appends each to the
// element's list by walking that list, so a start tag of n attributes costs it n² steps; Xerces'
// well-formedness scanner compares each attribute with those before it too, where its validating
// scanner keeps a table once a tag holds 100. One start tag of 100,000 attributes (a document of
// 1 MB) keeps either busy for about a minute, which no Command Timeout reaches. The count reads a
// start tag's attributes as its '=' outside quoted values, a declared element's defaults as the
// default values of its ATTLIST declarations, and the start tags in an internal entity's value,
// which libxml2 parses as content at its first reference, as those of the document.
// Comments, CDATA sections, processing instructions and end tags hold none.
//
// Thread-safety: free functions over their argument.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace korvalis::xml {

// The work of libxml2 on attributes that a document loaded by the system may make: one start tag
// of 16,384 attributes (under a second), or 26,000 tags of 100. A text past it is refused
// before it is parsed, with kAttributesRefused.
inline constexpr std::uint64_t kMaxAttributeWork = std::uint64_t{1} << 28;
inline constexpr char kAttributesRefused[] =
    "its elements hold more attributes than the parser reads in time";

// Whether libxml2's work on the attributes of `text` (UTF-8), the sum over its start tags of the
// square of their attributes written and defaulted, passes kMaxAttributeWork.
bool AttributesPassParserBound(std::string_view text);

// Whether one start tag of `text` (UTF-16) writes `count` attributes or more.
bool WritesAttributesInOneTag(std::u16string_view text, std::size_t count);

}  // namespace korvalis::xml
