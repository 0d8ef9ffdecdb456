// The expansion of a parsed document's internal entities into its tree, as every document is
// loaded (dom.h): each reference to an entity that the document declares with its own text
// (<!ENTITY nbsp "&#160;">) is replaced by the nodes of that text, as an XML reader reads the
// document, so that a style sheet's templates, a source's values and a caller's elements hold
// what their entities stand for. Entities are expanded within a bound that stops entity bombs;
// an external entity is never read, and a reference to it (or to an entity not declared) stays
// as the parser left it.
//
// Thread-safety: a document belongs to one thread.
#pragma once

#include <cstddef>

struct _xmlDoc;

namespace korvalis::xml {

// What the copies of one document's expansion may take, each node counted with its text: far
// beyond the entities of any page, while an entity bomb (entities nested ten deep, an entity of a
// hundred kilobytes referenced thousands of times) stops there, having made no more.
inline constexpr std::size_t kMaxExpansionBytes = std::size_t{16} << 20;

// Expands the document's references to its internal entities; false when the expansion would
// pass kMaxExpansionBytes or nest entities deeper than the parser admits, the document then
// being half expanded and to be dropped. Adjacent texts are joined into one text node.
// Precondition: `doc` is a parsed document with a document element.
bool ExpandInternalEntities(_xmlDoc* doc);

}  // namespace korvalis::xml
